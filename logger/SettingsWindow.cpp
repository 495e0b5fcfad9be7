#include "SettingsWindow.h"

#include "LoggerMainWindow.h"

#include <QCloseEvent>

SettingsWindow::SettingsWindow(QWidget *parent) : QTabWidget(parent)
{
    setWindowTitle(tr("Data Logger Settings"));
    resize(440, 320);
}

void SettingsWindow::Initialize(ConfigSettings *c)
{
    config = c;
    // the settings dialog feature fills this: the edited copy and the four tabs
}

void SettingsWindow::DisableSettings(bool disable)
{
    Q_UNUSED(disable);
    // the settings dialog feature fills this: the two data-format radio buttons
}

void SettingsWindow::closeEvent(QCloseEvent *event)
{
    QTabWidget::closeEvent(event);
    LoggerWin->CloseSettingsWindow();
}

// Compiled here rather than with the library's other meta-objects, so that only code that
// uses this window links it.
#include "moc_SettingsWindow.cpp"
