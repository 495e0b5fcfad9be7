#include "ycontrolsWindow.h"

#include "LoggerMainWindow.h"

#include <QCloseEvent>

ycontrolsWindow::ycontrolsWindow(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(tr("Y-Controls"));
    resize(680, 185);
}

void ycontrolsWindow::Initialize(ConfigSettings *c, Messages *m)
{
    config = c;
    messages = m;
    settingsCopy = c->ySettings;
    // the Y controls feature fills this: range fields, unit list and channel inputs
}

void ycontrolsWindow::EnableControls()
{
    // the Y controls feature fills this: unlocks the per-channel controls
}

void ycontrolsWindow::DisableControls()
{
    // the Y controls feature fills this: locks the per-channel controls
}

void ycontrolsWindow::RemoveYScale()
{
    // the Y controls feature fills this: refills the unit list
}

void ycontrolsWindow::AddNewYScale()
{
    // the Y controls feature fills this: lists and selects the newly defined scale
}

void ycontrolsWindow::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    LoggerWin->CloseYControls();
}

// Compiled here rather than with the library's other meta-objects, so that only code that
// uses this window links it.
#include "moc_ycontrolsWindow.cpp"
