#include "RawDataWindow.h"

#include <QCloseEvent>

RawDataWindow::RawDataWindow(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(tr("Available Bytes"));
    setFixedSize(178, 106);
    // A title bar without close button: the run control closes the window at stop.
    setWindowFlags(Qt::CustomizeWindowHint | Qt::WindowTitleHint);
}

void RawDataWindow::UpdateCount(double count)
{
    Q_UNUSED(count);
    // the raw count window feature fills this: the count on the LCD
}

void RawDataWindow::closeEvent(QCloseEvent *event)
{
    QDialog::closeEvent(event);
}

// Compiled here rather than with the library's other meta-objects, so that only code that
// uses this window links it.
#include "moc_RawDataWindow.cpp"
