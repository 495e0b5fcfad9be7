#include "InfoWindow.h"

#include "LoggerMainWindow.h"

#include <QCloseEvent>

InfoWindow::InfoWindow(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(tr("Info"));
    resize(409, 300);
}

void InfoWindow::Initialize(const LoggerData *summary)
{
    Q_UNUSED(summary);
    // the chart-information window feature fills this: the summary into the labels
}

void InfoWindow::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    LoggerWin->CloseChartInfo();
}

// Compiled here rather than with the library's other meta-objects, so that only code that
// uses this window links it.
#include "moc_InfoWindow.cpp"
