// A modeless notice that a channel has met one of the four configured alerts.
#pragma once

#include <QDialog>
#include <QString>

class AlertPopUp : public QDialog {
    Q_OBJECT
public:
    explicit AlertPopUp(QWidget *parent = nullptr);

    void SetAlertMetLabel(QString alertNumber);
    void SetSystemNameLabel(QString text);
    void SetUserNameLabel(QString text);
    void SetDateLabel(QString text);
    void SetTimeLabel(QString text);
    void SetChannelLabel(QString text);
    void SetSampleNoLabel(QString text);
    void SetDataValueLabel(QString text);
};
