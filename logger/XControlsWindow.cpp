#include "XControlsWindow.h"

#include "LoggerMainWindow.h"

#include <QCloseEvent>

XControlsWindow::XControlsWindow(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle(tr("X-Controls"));
    resize(280, 300);
}

void XControlsWindow::Initialize(XSettings settings, double value, SampIntervalUnit unit)
{
    currentSettings = settings;
    savedSettings = settings;
    interval = value;
    intervalUnit = unit;
    // the X range window feature fills this: the fields and the tab from the settings
}

void XControlsWindow::UpdateMinMaxValues(int sampleMin, int sampleMax, double timeMin,
                                         double timeMax)
{
    Q_UNUSED(sampleMin);
    Q_UNUSED(sampleMax);
    Q_UNUSED(timeMin);
    Q_UNUSED(timeMax);
    // the X range window feature fills this: shows the tracked window, fields locked
}

void XControlsWindow::EnableTextFields()
{
    // the X range window feature fills this: unlocks the range fields and Apply
}

void XControlsWindow::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    LoggerWin->CloseXControls();
}

// Compiled here rather than with the library's other meta-objects, so that only code that
// uses this window links it.
#include "moc_XControlsWindow.cpp"
