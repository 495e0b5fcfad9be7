// The chart-information window: start, interval and per-channel statistics of a chart.
#pragma once

#include <QMainWindow>

struct LoggerData;
class QCloseEvent;
class Ui_InfoWindow;

class InfoWindow : public QMainWindow {
    Q_OBJECT
    friend class TestSideWindows;

public:
    explicit InfoWindow(QWidget *parent = nullptr);
    ~InfoWindow() override;

    // Shows the summary; the window keeps no pointer to it.
    void Initialize(const LoggerData *summary);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    Ui_InfoWindow *ui = nullptr;
};
