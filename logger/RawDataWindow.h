// "Available Bytes": counts the samples received while a run logs without drawing.
#pragma once

#include <QDialog>

class QCloseEvent;

class RawDataWindow : public QDialog {
    Q_OBJECT
public:
    explicit RawDataWindow(QWidget *parent = nullptr);

    void UpdateCount(double count);

protected:
    void closeEvent(QCloseEvent *event) override;
};
