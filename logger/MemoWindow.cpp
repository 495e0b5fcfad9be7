#include "MemoWindow.h"

#include "LoggerMainWindow.h"

#include <QCloseEvent>

MemoWindow::MemoWindow(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(tr("Memos"));
    resize(340, 450);
}

void MemoWindow::Initialize(PlotMgr *plot)
{
    plotMgr = plot;
    idle = true;
}

void MemoWindow::UpdateMemoWindow()
{
    // the memo window feature fills this: the table of memo markers from the chart
}

void MemoWindow::ClearMemoWindow()
{
    // the memo window feature fills this: empties every cell of the table
}

void MemoWindow::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    idle = true;
    LoggerWin->CloseMemo();
}

// Compiled here rather than with the library's other meta-objects, so that only code that
// uses this window links it.
#include "moc_MemoWindow.cpp"
