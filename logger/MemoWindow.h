// The memo window: lists the chart's memo markers and places, labels and removes them.
#pragma once

#include <QMainWindow>

class PlotMgr;
class QCloseEvent;
class Ui_MemoWindow;

class MemoWindow : public QMainWindow {
    Q_OBJECT
    friend class TestSideWindows;

public:
    explicit MemoWindow(QWidget *parent = nullptr);
    ~MemoWindow() override;

    // Binds the window to the chart; run at every opening, followed by UpdateMemoWindow.
    void Initialize(PlotMgr *plot);
    void UpdateMemoWindow();
    void ClearMemoWindow();

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void on_markerButton_clicked();
    void on_addButton_clicked();
    void on_pushButton_clicked();

private:
    // Brings the chart's window forward, then (optionally) this one.
    void ActivateWindows(bool memoToo);
    // Back to idle: "Marker" released, "Add" locked until the next marker.
    void EndPlacing();

    Ui_MemoWindow *ui = nullptr;
    PlotMgr *plotMgr = nullptr;
    bool idle = true;   // not waiting for a marker to be placed on the chart
};
