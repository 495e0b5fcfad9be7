// A modeless notice that a channel has met one of the four configured alerts.
#pragma once

#include <QDialog>
#include <QString>

class Ui_AlertPopUp;

class AlertPopUp : public QDialog {
    Q_OBJECT
    friend class TestSettingsWindow;

public:
    explicit AlertPopUp(QWidget *parent = nullptr);
    ~AlertPopUp() override;

    // The headline "Data has met Alert <alertNumber> condition".
    void SetAlertMetLabel(QString alertNumber);
    void SetSystemNameLabel(QString text);
    void SetUserNameLabel(QString text);
    void SetDateLabel(QString text);
    void SetTimeLabel(QString text);
    void SetChannelLabel(QString text);
    void SetSampleNoLabel(QString text);
    void SetDataValueLabel(QString text);

private slots:
    void on_pushButton_clicked();

private:
    Ui_AlertPopUp *ui;
};
