#include "InfoWindow.h"
#include "Utility.h"

#include "LoggerMainWindow.h"
#include "ui_InfoWindow.h"

#include <QCloseEvent>

namespace {
QString Number(double v)
{
    return QString::number(v, 'g', 15);
}
}   // namespace

InfoWindow::InfoWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui_InfoWindow)
{
    ui->setupUi(this);
}

InfoWindow::~InfoWindow()
{
    delete ui;
}

void InfoWindow::Initialize(const LoggerData *summary)
{
    if (!summary)
        return;
    const LoggerData &r = *summary;
    ui->startDate->setText(r.startDate);
    ui->startTime->setText(r.startTime);
    ui->sampleInterval->setText(Number(r.sampleInterval) + QLatin1String(Utility::IntervalUnitText(r.intervalUnit)));
    ui->maxVoltLabel->setText(QStringLiteral("Maximum") + r.dataUnit);
    ui->minVoltLabel->setText(QStringLiteral("Minimum") + r.dataUnit);
    ui->chASamples->setText(QString::number(r.chA.totalSamples));
    ui->chAMaxVolt->setText(Number(r.chA.maxValue));
    ui->chAMinVolt->setText(Number(r.chA.minValue));
    ui->chAMissed->setText(QString::number(r.chA.missedSamples));
    ui->chBSamples->setText(QString::number(r.chB.totalSamples));
    ui->chBMaxVolt->setText(Number(r.chB.maxValue));
    ui->chBMinVolt->setText(Number(r.chB.minValue));
    ui->chBMissed->setText(QString::number(r.chB.missedSamples));
}

void InfoWindow::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    if (LoggerWin)
        LoggerWin->CloseChartInfo();
}

// Compiled here rather than with the library's other meta-objects, so that only code that
// uses this window links it.
#include "moc_InfoWindow.cpp"
