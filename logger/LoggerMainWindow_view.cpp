// Chart view control: X window, zoom, cursors, colours, view toggles, axis units.
#include "LoggerMainWindow.h"

#include "AlertPopUp.h"
#include "Utility.h"
#include "XControlsWindow.h"
#include "ui_LoggerMainWindow.h"

#include <QSlider>
#include <algorithm>
#include <climits>

namespace {

// The X windows the system makes are at least this many samples wide; a slider move that
// runs into the start of the record shrinks the window, but not below this.
constexpr qint64 MinWindowSamples = 10;

int ClampToInt(qint64 v)
{
    return int(std::max<qint64>(INT_MIN, std::min<qint64>(INT_MAX, v)));
}

// The sample step of the slider; a window narrower than 5 samples still moves by one.
int SliderStep(const ConfigSettings *config)
{
    return std::max(1, config->GetXSampleStepSize());
}

}   // namespace

void LoggerMainWindow::RedrawRuns()
{
    if (runList->isEmpty())
        return;
    plotMgr->runList = runList;
    plotMgr->DisplaySignal(runList, loggingActive);
    plotMgr->DisplayStartInfo(runList, true);
    if (!loggingActive)
        plotMgr->DisplayStopInfo(runList, true);
    plotMgr->UpdateChLabelsPosition();
    plotMgr->UpdateStatusLabelPosition();
}

void LoggerMainWindow::AdjustSlider(int value, bool byUser)
{
    XSettings xs = config->xSettings;
    if (byUser) {
        const qint64 d = qint64(value) - pendingSliderValue;
        const double dt = double(d) * config->GetXTimeStepSize();
        const qint64 ds = d * config->GetXSampleStepSize();
        xs.timeMax += dt;
        xs.sampleMax = ClampToInt(qint64(xs.sampleMax) + ds);
        const qint64 start = qint64(xs.sampleMin) + ds;
        if (start < 0) {
            xs.sampleMin = 0;
            xs.timeMin = 0.0;
        } else {
            xs.sampleMin = ClampToInt(start);
            xs.timeMin += dt;
        }
        // Moved far back, the shrunken window would close up (and its step be 0).
        if (qint64(xs.sampleMax) - xs.sampleMin < MinWindowSamples)
            xs.sampleMax = ClampToInt(xs.sampleMin + MinWindowSamples);
        const double minTime = double(MinWindowSamples)
                               * Utility::ConvertToSec(config->sampleInterval, config->intervalUnit);
        if (!(xs.timeMax - xs.timeMin >= minTime))
            xs.timeMax = xs.timeMin + minTime;
        if (!chartFileLoaded) {
            ClearDisplayBuffer();
            ReadDataForScrolling(runList, xs.sampleMin, xs.sampleMax);
        }
    } else {
        // Tracking: the next window starts where this one ends.
        const qint64 width = qint64(xs.sampleMax) - xs.sampleMin;
        const double timeWidth = xs.timeMax - xs.timeMin;
        xs.sampleMin = xs.sampleMax;
        xs.sampleMax = ClampToInt(qint64(xs.sampleMax) + width);
        xs.timeMin = xs.timeMax;
        xs.timeMax += timeWidth;
        if (config->trackDataLogger && loggingActive)
            xControlsWindow->UpdateMinMaxValues(xs.sampleMin, xs.sampleMax, xs.timeMin, xs.timeMax);
    }

    pendingSliderValue = value;
    xs.xMode = config->xSettings.xMode;
    xs.xUnitChanged = false;
    config->xSettings = xs;
    maxScroll = std::max(maxScroll, xs.sampleMax);
    SetAxesLabels();
    plotMgr->UpdateXAxis();
    RedrawRuns();
}

void LoggerMainWindow::TrackDataLogger()
{
    const bool on = !config->trackDataLogger;
    config->trackDataLogger = on;
    SetTicked(ui->action_Track_Data_Logger, on);
    // While tracking, the window is moved by the data, not by the user.
    ui->horizontalSlider->setEnabled(!on);
    if (!on)
        xControlsWindow->EnableTextFields();
}

void LoggerMainWindow::ZoomIn()
{
    // the zoom feature fills this: zoom-in mode
}

void LoggerMainWindow::ZoomInFromMenu()
{
    // the zoom feature fills this: zoom in from the menu
}

void LoggerMainWindow::ZoomOut()
{
    // the zoom feature fills this: zoom-out mode
}

void LoggerMainWindow::ZoomOutFromMenu()
{
    // the zoom feature fills this: zoom out from the menu
}

void LoggerMainWindow::ZoomFull()
{
    // A maximum read from a damaged settings file must not close the window up.
    const int samples = std::max(config->maxSamples, int(MinWindowSamples));
    XSettings &xs = config->xSettings;
    xs.sampleMin = 0;
    xs.sampleMax = samples;
    xs.timeMin = 0.0;
    xs.timeMax = double(samples) * Utility::ConvertToSec(config->sampleInterval, config->intervalUnit);
    xs.xUnitChanged = false;   // the unit stays
    if (!chartFileLoaded) {
        ClearDisplayBuffer();
        ReadDataForScrolling(runList, 0, samples);
    }
    if (xs.xMode == 1)
        SetTimeScale();
    else
        SetSampleNoScale();
    // Shows the new window whatever the unit operations above do with an unchanged unit.
    plotMgr->UpdateXAxis();
    RedrawRuns();
    SetAxesLabels();

    ui->horizontalSlider->setEnabled(false);
    sliderActive = false;
    ui->horizontalSlider->setValue(0);
    pendingSliderValue = 0;
    sliderActive = true;
}

void LoggerMainWindow::AdjustDataCursor()
{
    // the chart cursors fill this: data cursor on or off
}

void LoggerMainWindow::AdjustMarkCursor()
{
    // the chart cursors fill this: memo cursor on or off
}

void LoggerMainWindow::AdjustMissedCursor()
{
    // the chart cursors fill this: missed-data cursor on or off
}

void LoggerMainWindow::on_ZoomInButton_clicked()
{
    // the zoom feature fills this: forwards to ZoomIn
}

void LoggerMainWindow::on_ZoomOutButton_clicked()
{
    // the zoom feature fills this: forwards to ZoomOut
}

void LoggerMainWindow::on_DataCursor_clicked()
{
    // the chart cursors fill this: data cursor button
}

void LoggerMainWindow::SetDataCursorChannel(QAction *action)
{
    Q_UNUSED(action);
    // the chart cursors fill this: data cursor channel
}

void LoggerMainWindow::on_MissedDataCursor_clicked()
{
    // the chart cursors fill this: missed-data cursor button
}

void LoggerMainWindow::SetMissedCursorChannel(QAction *action)
{
    Q_UNUSED(action);
    // the chart cursors fill this: missed cursor channel
}

void LoggerMainWindow::on_MemoCursor_clicked()
{
    // the chart cursors fill this: memo cursor button
}

void LoggerMainWindow::SetMemoCursorChannel(QAction *action)
{
    Q_UNUSED(action);
    // the chart cursors fill this: memo cursor channel
}

void LoggerMainWindow::SetCursorDelta(QAction *action)
{
    Q_UNUSED(action);
    // the chart cursors fill this: delta mode
}

void LoggerMainWindow::on_horizontalSlider_valueChanged(int value)
{
    // Values set by the window itself only record where the slider stands.
    if (!sliderActive) {
        pendingSliderValue = value;
        return;
    }
    if (!config->trackDataLogger)
        AdjustSlider(value, true);
}

void LoggerMainWindow::on_dataRadioButton_clicked()
{
    // the chart cursors fill this: drag the data cursor
}

void LoggerMainWindow::on_missedRadioButton_clicked()
{
    // the chart cursors fill this: drag the missed cursor
}

void LoggerMainWindow::on_markRadioButton_clicked()
{
    // the chart cursors fill this: drag the memo cursor
}

void LoggerMainWindow::EnableTracking()
{
    if (!config->trackDataLogger)
        return;
    // The samples of the old window leave the chart with it.
    ClearDisplayBuffer();
    const XSettings &xs = config->xSettings;
    const int width = ClampToInt(qint64(xs.sampleMax) - xs.sampleMin);
    const int step = SliderStep(config);
    const int maximum = ClampToInt((qint64(xs.sampleMax) + width) / step);
    const int value = maximum - width / step;
    // With tracking on the slider's slot leaves these alone.
    ui->horizontalSlider->setMaximum(maximum);
    ui->horizontalSlider->setValue(value);
    AdjustSlider(value, false);
}

void LoggerMainWindow::ApplyXSettings(XSettings xs, bool apply)
{
    Q_UNUSED(xs);
    Q_UNUSED(apply);
    // the X window fills this: applies a range and redraws
}

void LoggerMainWindow::DisplayMarkerCoordinate(MarkerCoordinate coordinate, double value)
{
    Q_UNUSED(coordinate);
    Q_UNUSED(value);
    // the chart cursors fill this: writes a read-out
}

void LoggerMainWindow::ClearMarkerCoordinate(MarkerCoordinate coordinate)
{
    Q_UNUSED(coordinate);
    // the chart cursors fill this: empties a read-out
}

void LoggerMainWindow::HideShowMemoMarkersInPlot()
{
    // the memo markers fill this: their visibility
}

void LoggerMainWindow::HideShowLabelsinPlot()
{
    // the chart labels fill this: their visibility
}

void LoggerMainWindow::DisplayAlertPopUp(int slot, const QString &systemName,
                                         const QString &userName, const QString &date,
                                         const QString &time, const QString &channel,
                                         const QString &sampleNo, const QString &value)
{
    if (slot < 0 || slot >= 4 || !alertPopUps[slot])
        return;
    AlertPopUp *popUp = alertPopUps[slot];
    popUp->SetAlertMetLabel(QString::number(slot + 1));
    popUp->SetSystemNameLabel(systemName);
    popUp->SetUserNameLabel(userName);
    popUp->SetDateLabel(date);
    popUp->SetTimeLabel(time);
    popUp->SetChannelLabel(channel);
    popUp->SetSampleNoLabel(sampleNo);
    popUp->SetDataValueLabel(value);
    popUp->show();
}

void LoggerMainWindow::UpdateChartInfo()
{
    // the chart-information refresh fills this
}
