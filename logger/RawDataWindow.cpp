#include "RawDataWindow.h"

#include "ui_RawDataWindow.h"

#include <QCloseEvent>

RawDataWindow::RawDataWindow(QWidget *parent) : QDialog(parent), ui(new Ui_RawDataWindow)
{
    ui->setupUi(this);
    ui->lcdNumber->setSegmentStyle(QLCDNumber::Filled);
    // A title bar without close button: the run control closes the window at stop.
    setWindowFlags(Qt::CustomizeWindowHint | Qt::WindowTitleHint);
}

RawDataWindow::~RawDataWindow()
{
    delete ui;
}

void RawDataWindow::UpdateCount(double count)
{
    ui->lcdNumber->display(count);
}

void RawDataWindow::closeEvent(QCloseEvent *event)
{
    QDialog::closeEvent(event);
}

// Compiled here rather than with the library's other meta-objects, so that only code that
// uses this window links it.
#include "moc_RawDataWindow.cpp"
