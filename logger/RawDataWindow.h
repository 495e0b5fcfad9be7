// "Available Bytes": counts the samples received while a run logs without drawing.
#pragma once

#include <QDialog>

class QCloseEvent;
class Ui_RawDataWindow;

class RawDataWindow : public QDialog {
    Q_OBJECT
    friend class TestSideWindows;

public:
    explicit RawDataWindow(QWidget *parent = nullptr);
    ~RawDataWindow() override;

    void UpdateCount(double count);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    Ui_RawDataWindow *ui = nullptr;
};
