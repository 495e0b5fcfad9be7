// The memo window: lists the chart's memo markers and places, labels and removes them.
#pragma once

#include <QMainWindow>

class PlotMgr;
class QCloseEvent;

class MemoWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MemoWindow(QWidget *parent = nullptr);

    // Binds the window to the chart; run at every opening, followed by UpdateMemoWindow.
    void Initialize(PlotMgr *plot);
    void UpdateMemoWindow();
    void ClearMemoWindow();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    PlotMgr *plotMgr = nullptr;
    bool idle = true;   // not waiting for a marker to be placed on the chart
};
