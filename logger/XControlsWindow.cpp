#include "XControlsWindow.h"

#include "LoggerMainWindow.h"
#include "Utility.h"
#include "XWindow.h"
#include "ui_XControlsWindow.h"

#include <QCloseEvent>
#include <QDoubleValidator>
#include <QIntValidator>

#include <climits>
#include <cmath>

namespace {

// Sample numbers of a time range. A time that is a whole number of intervals keeps its
// sample despite the representation error (0.7 s at 1 ms is sample 700, not 699); otherwise
// the range covers every sample the times reach into.
double FirstSample(double t, double iv)
{
    const double s = t / iv;
    const double r = std::round(s);
    return std::fabs(s - r) < 1e-6 ? r : std::floor(s);
}

double LastSample(double t, double iv)
{
    const double s = t / iv;
    const double r = std::round(s);
    return std::fabs(s - r) < 1e-6 ? r : std::ceil(s);
}

// A time field's text, to what the logger's sample interval resolves (the one given at
// Initialize when there is no logger window).
QString TimeText(double seconds, double intervalSec)
{
    if (LoggerWin && LoggerWin->config)
        intervalSec = Utility::ConvertToSec(LoggerWin->config->sampleInterval, LoggerWin->config->intervalUnit);
    return Utility::SecondsText(seconds, intervalSec);
}

// The range fields and the Apply button, locked while tracking moves the window.
void EnableRangeFields(Ui_XControlsWindow *ui, bool enabled)
{
    for (QWidget *widget : {static_cast<QWidget *>(ui->xSamplesMin), static_cast<QWidget *>(ui->xSamplesMax),
                            static_cast<QWidget *>(ui->xTimeMin), static_cast<QWidget *>(ui->xTimeMax),
                            static_cast<QWidget *>(ui->apply)})
        widget->setEnabled(enabled);
}

}   // namespace

XControlsWindow::XControlsWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui_XControlsWindow)
{
    ui->setupUi(this);
    timeMinValidator = new QDoubleValidator(this);
    timeMinValidator->setDecimals(3);
    timeMaxValidator = new QDoubleValidator(this);
    timeMaxValidator->setDecimals(3);
    sampleMinValidator = new QIntValidator(this);
    sampleMaxValidator = new QIntValidator(this);
    ui->xTimeMin->setValidator(timeMinValidator);
    ui->xTimeMax->setValidator(timeMaxValidator);
    ui->xSamplesMin->setValidator(sampleMinValidator);
    ui->xSamplesMax->setValidator(sampleMaxValidator);
}

XControlsWindow::~XControlsWindow()
{
    delete ui;
}

void XControlsWindow::ShowRange(const XSettings &s)
{
    const XSettings wanted = s;
    ui->xTimeMax->setText(TimeText(wanted.timeMax, intervalSec));
    ui->xTimeMin->setText(TimeText(wanted.timeMin, intervalSec));
    ui->xSamplesMax->setText(QString::number(uint32_t(wanted.sampleMax)));
    ui->xSamplesMin->setText(QString::number(uint32_t(wanted.sampleMin)));
    // The texts hold the same numbers; the exact values stay.
    currentSettings.timeMin = wanted.timeMin;
    currentSettings.timeMax = wanted.timeMax;
    currentSettings.sampleMin = wanted.sampleMin;
    currentSettings.sampleMax = wanted.sampleMax;
}

void XControlsWindow::Initialize(XSettings settings, double interval, SampIntervalUnit unit)
{
    intervalSec = Utility::ConvertToSec(interval, unit);
    currentSettings = settings;
    savedSettings = settings;
    ShowRange(settings);
    ui->tabWidget->setCurrentWidget(settings.xMode == 1 ? ui->tab : ui->tab_2);
    currentSettings.xMode = settings.xMode == 1 ? 1 : 0;
}

void XControlsWindow::UpdateMinMaxValues(int sampleMin, int sampleMax, double timeMin,
                                         double timeMax)
{
    EnableRangeFields(ui, false);
    // Hidden, the fields are filled from the chart's window when the window is shown; a
    // tracking chart moves its window ten times a second.
    if (!isVisible())
        return;
    ui->xSamplesMin->setText(QString::number(sampleMin));
    ui->xSamplesMax->setText(QString::number(sampleMax));
    ui->xTimeMin->setText(TimeText(timeMin, intervalSec));
    ui->xTimeMax->setText(TimeText(timeMax, intervalSec));
}

void XControlsWindow::EnableTextFields()
{
    EnableRangeFields(ui, true);
}

void XControlsWindow::on_tabWidget_currentChanged(int index)
{
    currentSettings.xMode = index == 0 ? 1 : 0;
}

void XControlsWindow::on_xTimeMin_textChanged(const QString &text)
{
    currentSettings.timeMin = text.toDouble();
}

void XControlsWindow::on_xTimeMax_textChanged(const QString &text)
{
    currentSettings.timeMax = text.toDouble();
}

void XControlsWindow::on_xSamplesMin_textChanged(const QString &text)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    currentSettings.sampleMin = ok && v >= 0 ? v : 0;
}

void XControlsWindow::on_xSamplesMax_textChanged(const QString &text)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    currentSettings.sampleMax = ok && v >= 0 ? v : 0;
}

void XControlsWindow::Revert()
{
    currentSettings = savedSettings;
    ShowRange(savedSettings);
    currentSettings.xMode = ui->tabWidget->currentIndex() == 0 ? 1 : 0;
}

void XControlsWindow::on_apply_clicked()
{
    XSettings &s = currentSettings;
    const double iv = intervalSec;
    if (!(iv > 0.0) || !std::isfinite(iv)) {
        Revert();
        return;
    }
    if (s.xMode == 1) {
        // Times before the start of the record count as its start.
        if (!std::isfinite(s.timeMin) || !std::isfinite(s.timeMax)) {
            Revert();
            return;
        }
        s.timeMin = std::max(0.0, s.timeMin);
        s.timeMax = std::max(0.0, s.timeMax);
        if (s.timeMin >= s.timeMax) {
            Revert();
            return;
        }
        if (s.timeMax - s.timeMin < MinWindowSamples * iv)
            s.timeMax = s.timeMin + MinWindowSamples * iv;
        const double first = FirstSample(s.timeMin, iv);
        const double last = LastSample(s.timeMax, iv);
        if (!(last <= double(INT_MAX))) {
            Revert();
            return;
        }
        s.sampleMin = int(first);
        s.sampleMax = int(last);
    } else {
        if (s.sampleMax <= s.sampleMin) {
            Revert();
            return;
        }
        if (s.sampleMax - s.sampleMin < MinWindowSamples) {
            if (s.sampleMin > INT_MAX - MinWindowSamples) {
                Revert();
                return;
            }
            s.sampleMax = s.sampleMin + int(MinWindowSamples);
        }
        s.timeMin = double(s.sampleMin) * iv;
        s.timeMax = double(s.sampleMax) * iv;
    }
    // Both tabs show the range that is applied.
    ShowRange(s);
    if (LoggerWin)
        LoggerWin->ApplyXSettings(currentSettings, true);
    savedSettings = currentSettings;
}

void XControlsWindow::on_close_clicked()
{
    close();
}

void XControlsWindow::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    if (LoggerWin)
        LoggerWin->CloseXControls();
}

// Compiled here rather than with the library's other meta-objects, so that only code that
// uses this window links it.
#include "moc_XControlsWindow.cpp"
