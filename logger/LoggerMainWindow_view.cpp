// Chart view control: X window, zoom, cursors, colours, view toggles, axis units.
#include "LoggerMainWindow.h"

#include "AlertPopUp.h"
#include "ScreenPlacement.h"
#include "Utility.h"
#include "XControlsWindow.h"
#include "XWindow.h"
#include "ui_LoggerMainWindow.h"

#include "InfoWindow.h"

#include <QCursor>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>
#include <climits>
#include <cmath>
#include <qwt_plot_canvas.h>
#include <qwt_plot_marker.h>

namespace {

int ClampToInt(qint64 v)
{
    return int(std::max<qint64>(INT_MIN, std::min<qint64>(INT_MAX, v)));
}

// The sample step of the slider; a window narrower than 5 samples still moves by one.
int SliderStep(const ConfigSettings *config)
{
    return std::max(1, config->GetXSampleStepSize());
}

int CeilDiv(int value, int step)
{
    return value / step + (value % step != 0 ? 1 : 0);
}

// What belongs to one cursor in the window: its button, radio button, channel pop-up,
// its active and placed flags, and the chart's channel it follows.
struct CursorControls {
    QPushButton *button;
    QRadioButton *radio;
    QMenu *menu;
    bool &active;
    bool &shown;
    int32_t &channel;
};

CursorControls ControlsOf(LoggerMainWindow *win, ActiveMarker which)
{
    Ui_LoggerMainWindow *ui = win->ui;
    switch (which) {
    case DataMarker:
        return {ui->DataCursor, ui->dataRadioButton, win->dataCursorMenu, win->dataCursorActive,
                win->dataCursorShown, win->plotMgr->dataCursorChannel};
    case MissedMarker:
        return {ui->MissedDataCursor, ui->missedRadioButton, win->missedCursorMenu,
                win->missedCursorActive, win->missedCursorShown, win->plotMgr->missedCursorChannel};
    default:
        return {ui->MemoCursor, ui->markRadioButton, win->memoCursorMenu, win->memoCursorActive,
                win->memoCursorShown, win->plotMgr->memoCursorChannel};
    }
}

// Reaches QSlider's own description of its look, for the style to place its handle.
struct SliderLook : QSlider {
    using QSlider::initStyleOption;
};

// Moves the slider to a new range and value. A tracked run moves it on every turn of the
// X window, mostly by less than a pixel late in a run: when its handle stays where it is,
// nothing of it looks different and it is not repainted.
void MoveSlider(QSlider *slider, int maximum, int value)
{
    QStyleOptionSlider now;
    void (QSlider::*describe)(QStyleOptionSlider *) const = &SliderLook::initStyleOption;
    (slider->*describe)(&now);
    QStyleOptionSlider next = now;
    next.minimum = 0;
    next.maximum = maximum;
    next.sliderPosition = next.sliderValue = std::max(0, std::min(value, maximum));
    QStyle *style = slider->style();
    const bool same = !slider->isSliderDown()
                      && style->subControlRect(QStyle::CC_Slider, &now, QStyle::SC_SliderHandle, slider)
                             == style->subControlRect(QStyle::CC_Slider, &next, QStyle::SC_SliderHandle, slider);
    const bool held = slider->testAttribute(Qt::WA_UpdatesDisabled);
    if (same)
        slider->setAttribute(Qt::WA_UpdatesDisabled, true);
    slider->setRange(0, maximum);
    slider->setValue(value);
    if (same)
        slider->setAttribute(Qt::WA_UpdatesDisabled, held);
}

}   // namespace

void NormalizeXWindow(XSettings &xs, double intervalSec)
{
    if (xs.xMode != 0) {
        if (!std::isfinite(xs.timeMin) || xs.timeMin < 0.0)
            xs.timeMin = 0.0;
        const double minTime = double(MinWindowSamples) * intervalSec;
        if (!std::isfinite(xs.timeMax) || !(xs.timeMax - xs.timeMin >= minTime))
            xs.timeMax = xs.timeMin + minTime;
        if (intervalSec > 0.0) {
            // Tolerant of the representation error of times that are whole intervals.
            const double first = std::floor(xs.timeMin / intervalSec + 1e-6);
            const double last = std::ceil(xs.timeMax / intervalSec - 1e-6);
            xs.sampleMin = ClampToInt(qint64(std::min(first, double(INT_MAX))));
            xs.sampleMax = ClampToInt(qint64(std::min(last, double(INT_MAX))));
        }
    }
    xs.sampleMin = std::max(0, xs.sampleMin);
    if (xs.sampleMin > INT_MAX - int(MinWindowSamples))
        xs.sampleMin = INT_MAX - int(MinWindowSamples);
    if (qint64(xs.sampleMax) - xs.sampleMin < MinWindowSamples)
        xs.sampleMax = xs.sampleMin + int(MinWindowSamples);
}

void LoggerMainWindow::RedrawRuns()
{
    if (runList->isEmpty())
        return;
    plotMgr->runList = runList;
    plotMgr->DisplaySignal(runList, loggingActive);
    plotMgr->DisplayStartInfo(runList, true);
    if (!loggingActive)
        plotMgr->DisplayStopInfo(runList, true);
    UpdatePlotLabels();
}

void LoggerMainWindow::AdjustSlider(int value, bool byUser, double reach)
{
    XSettings xs = config->xSettings;
    if (byUser) {
        const qint64 width = qint64(xs.sampleMax) - xs.sampleMin;
        const qint64 d = qint64(value) - pendingSliderValue;
        const double dt = double(d) * config->GetXTimeStepSize();
        const qint64 ds = d * config->GetXSampleStepSize();
        xs.timeMax += dt;
        xs.sampleMax = ClampToInt(qint64(xs.sampleMax) + ds);
        const qint64 start = qint64(xs.sampleMin) + ds;
        if (start < 0) {
            xs.sampleMin = 0;
            xs.timeMin = 0.0;
        } else if (d < 0 && start < qint64(config->GetXSampleStepSize())) {
            // Back to the slider's start (Home): the window starts at the record's start
            // rather than a part of a step after it, and keeps its width.
            const double timeWidth = config->xSettings.timeMax - config->xSettings.timeMin;
            xs.sampleMin = 0;
            xs.sampleMax = ClampToInt(width);
            xs.timeMin = 0.0;
            xs.timeMax = timeWidth;
        } else {
            // At the last sample number an int holds the window stops, keeping its width.
            xs.sampleMin = ClampToInt(std::min(start, qint64(xs.sampleMax) - width));
            xs.timeMin += dt;
            // Likewise on to within a step of the record's end (End): it ends there.
            const qint64 short_ = qint64(maxScroll) - xs.sampleMax;
            if (d > 0 && short_ > 0 && short_ < config->GetXSampleStepSize()) {
                const double secs = Utility::ConvertToSec(config->sampleInterval, config->intervalUnit);
                xs.sampleMin = ClampToInt(xs.sampleMin + short_);
                xs.sampleMax = maxScroll;
                xs.timeMin += double(short_) * secs;
                xs.timeMax += double(short_) * secs;
            }
        }
        // Moved far back, the shrunken window would close up (and its step be 0).
        if (qint64(xs.sampleMax) - xs.sampleMin < MinWindowSamples)
            xs.sampleMax = ClampToInt(xs.sampleMin + MinWindowSamples);
        const double minTime = double(MinWindowSamples)
                               * Utility::ConvertToSec(config->sampleInterval, config->intervalUnit);
        if (!(xs.timeMax - xs.timeMin >= minTime))
            xs.timeMax = xs.timeMin + minTime;
        // On the time axis the rows are those the moved time window covers: whole sample
        // steps drift from time steps when the window is not a multiple of 5 samples.
        if (config->xSettings.xMode == 1) {
            xs.xMode = 1;
            NormalizeXWindow(xs, Utility::ConvertToSec(config->sampleInterval, config->intervalUnit));
        }
        if (!chartFileLoaded) {
            ClearDisplayBuffer();
            ReadDataForScrolling(runList, xs.sampleMin, xs.sampleMax);
        }
    } else {
        // Tracking: the next window starts where this one ends.
        const qint64 width = qint64(xs.sampleMax) - xs.sampleMin;
        const double timeWidth = xs.timeMax - xs.timeMin;
        // A run started after a long stop begins many windows further on, and a drawing
        // pass may bring more rows than a window is wide: the window goes straight to the
        // one that holds the newest of them instead of falling behind one window a pass.
        if (loggingActive && !runList->isEmpty() && width > 0) {
            qint64 target = runList->last()->firstSampleNo;
            if (reach > double(target))
                target = qint64(std::min(reach, double(MaxChartSample)));
            const qint64 skip = (target - qint64(xs.sampleMax)) / width;
            if (skip > 0) {
                xs.sampleMax = ClampToInt(qint64(xs.sampleMax) + skip * width);
                xs.timeMax += double(skip) * timeWidth;
            }
        }
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
    // Tracked windows reach the newest samples; the user's moves leave the record's end.
    if (!byUser)
        maxScroll = std::max(maxScroll, xs.sampleMax);
    SetAxesLabels();
    plotMgr->UpdateXAxis();
    RedrawRuns();
}

void LoggerMainWindow::UpdateSliderEnabled()
{
    // While tracking a run, the window is moved by the data, not by the user.
    ui->horizontalSlider->setEnabled(!(config->trackDataLogger && loggingActive));
}

void LoggerMainWindow::TrackDataLogger()
{
    const bool on = !config->trackDataLogger;
    config->trackDataLogger = on;
    SetTicked(ui->action_Track_Data_Logger, on);
    UpdateSliderEnabled();
    if (!on)
        xControlsWindow->EnableTextFields();
}

// The zoom-in and zoom-out modes exclude each other: turning one over ends the other.
void LoggerMainWindow::ToggleZoom(bool in)
{
    bool &active = in ? zoomInActive : zoomOutActive;
    bool &otherActive = in ? zoomOutActive : zoomInActive;
    QPushButton *button = in ? ui->ZoomInButton : ui->ZoomOutButton;
    QPushButton *otherButton = in ? ui->ZoomOutButton : ui->ZoomInButton;
    void (PlotMgr::*perform)(bool) = in ? &PlotMgr::PerformZoomingIn : &PlotMgr::PerformZoomingOut;
    void (PlotMgr::*performOther)(bool) = in ? &PlotMgr::PerformZoomingOut : &PlotMgr::PerformZoomingIn;
    active = !active;
    if (otherButton->isChecked() || otherActive) {
        otherButton->setChecked(false);
        (plotMgr->*performOther)(false);
        otherActive = false;
    }
    button->setChecked(active);
    (plotMgr->*perform)(active);
}

void LoggerMainWindow::ZoomIn()
{
    ToggleZoom(true);
}

void LoggerMainWindow::ZoomInFromMenu()
{
    plotMgr->PerformZoomingInFromMenu();
}

void LoggerMainWindow::ZoomOut()
{
    ToggleZoom(false);
}

void LoggerMainWindow::ZoomOutFromMenu()
{
    plotMgr->PerformZoomingOutFromMenu();
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

    UpdateSliderEnabled();
    // The window's step changed with its width: the slider is placed for the new one, or
    // End would move it by the old count of steps of the new size, off the record.
    PlaceSliderAtWindow(this);
}

void LoggerMainWindow::AdjustDataCursor()
{
    ToggleCursor(DataMarker);
}

void LoggerMainWindow::AdjustMarkCursor()
{
    ToggleCursor(MemoMarker);
}

void LoggerMainWindow::AdjustMissedCursor()
{
    ToggleCursor(MissedMarker);
}

void LoggerMainWindow::on_ZoomInButton_clicked()
{
    ZoomIn();
}

void LoggerMainWindow::on_ZoomOutButton_clicked()
{
    ZoomOut();
}

// The cursor's active state: button, radio button and the cursor on the chart.
void LoggerMainWindow::ToggleCursor(ActiveMarker which)
{
    const CursorControls c = ControlsOf(this, which);
    c.active = !c.active;
    c.radio->setEnabled(c.active);
    c.radio->setChecked(c.active);
    if (which == DataMarker)
        plotMgr->MakeDataCursorVisible(c.active);
    else if (which == MissedMarker)
        plotMgr->MakeMissedCursorVisible(c.active);
    else
        plotMgr->MakeMarkCursorVisible(c.active);
    c.button->setFlat(c.active);
    c.button->setChecked(c.active);
}

void LoggerMainWindow::CursorButtonClicked(ActiveMarker which)
{
    const CursorControls c = ControlsOf(this, which);
    // The two delta entries this cursor takes part in, each with the other cursor's flag.
    QAction *deltas[2];
    const bool *others[2];
    switch (which) {
    case DataMarker:
        deltas[0] = deltaDataMissed, others[0] = &missedCursorShown;
        deltas[1] = deltaDataMemo, others[1] = &memoCursorShown;
        break;
    case MissedMarker:
        deltas[0] = deltaDataMissed, others[0] = &dataCursorShown;
        deltas[1] = deltaMissedMemo, others[1] = &memoCursorShown;
        break;
    default:
        deltas[0] = deltaDataMemo, others[0] = &dataCursorShown;
        deltas[1] = deltaMissedMemo, others[1] = &missedCursorShown;
        break;
    }

    if (c.button->isFlat()) {
        // Switching off: no delta can involve this cursor any more.
        c.menu->hide();
        c.shown = false;
        deltas[0]->setEnabled(false);
        deltas[1]->setEnabled(false);
        plotMgr->SetCurrentDelta(DeltaOff);
        SetCursorDelta(deltaOffAction);
    } else {
        const bool haveRuns = !runList->isEmpty();
        for (QAction *entry : c.menu->actions()) {
            if (entry != memoMarkerAction)
                entry->setEnabled(haveRuns);
        }
        if (!haveRuns)
            c.channel = 2;
        c.menu->popup(QCursor::pos());
        c.shown = true;
        if (haveRuns) {
            deltas[0]->setEnabled(*others[0]);
            deltas[1]->setEnabled(*others[1]);
        }
    }
    ToggleCursor(which);
}

void LoggerMainWindow::on_DataCursor_clicked()
{
    CursorButtonClicked(DataMarker);
}

void LoggerMainWindow::SetDataCursorChannel(QAction *action)
{
    const bool chA = action == dataCursorChA;
    plotMgr->dataCursorChannel = chA ? 0 : 1;
    SetTicked(dataCursorChA, chA);
    SetTicked(dataCursorChB, !chA);
    plotMgr->MoveDataCursor(plotMgr->CursorPoint(DataMarker));
}

void LoggerMainWindow::on_MissedDataCursor_clicked()
{
    CursorButtonClicked(MissedMarker);
}

void LoggerMainWindow::SetMissedCursorChannel(QAction *action)
{
    const bool chA = action == missedCursorChA;
    plotMgr->missedCursorChannel = chA ? 0 : 1;
    SetTicked(missedCursorChA, chA);
    SetTicked(missedCursorChB, !chA);
    plotMgr->MoveMissedCursor(plotMgr->CursorPoint(MissedMarker));
}

void LoggerMainWindow::on_MemoCursor_clicked()
{
    CursorButtonClicked(MemoMarker);
}

void LoggerMainWindow::SetMemoCursorChannel(QAction *action)
{
    plotMgr->memoCursorChannel = action == memoCursorChA ? 0 : action == memoCursorChB ? 1 : 99;
    for (QAction *entry : {memoCursorChA, memoCursorChB, memoMarkerAction})
        SetTicked(entry, entry == action
                             || (entry == memoMarkerAction && action != memoCursorChA
                                 && action != memoCursorChB));
    plotMgr->MoveMemoCursor(plotMgr->CursorPoint(MemoMarker));
}

void LoggerMainWindow::SetCursorDelta(QAction *action)
{
    QAction *entry = deltaOffAction;
    QString text = tr("Delta");
    DeltaCalculation delta = DeltaOff;
    if (action == deltaDataMissed) {
        entry = deltaDataMissed, text = tr("Data - Missed"), delta = DataMinusMissed;
    } else if (action == deltaDataMemo) {
        entry = deltaDataMemo, text = tr("Data - Memo"), delta = DataMinusMemo;
    } else if (action == deltaMissedMemo) {
        entry = deltaMissedMemo, text = tr("Missed - Memo"), delta = MissedMinusMemo;
    }
    ui->cursorDelta->setText(text);
    for (QAction *a : {deltaDataMissed, deltaDataMemo, deltaMissedMemo, deltaOffAction})
        SetTicked(a, a == entry);
    plotMgr->SetCurrentDelta(delta);
}

void LoggerMainWindow::on_horizontalSlider_valueChanged(int value)
{
    // Values set by the window itself only record where the slider stands.
    if (!sliderActive) {
        pendingSliderValue = value;
        return;
    }
    // Tracking only holds the slider while a run feeds it; after the run the user scrolls.
    if (!config->trackDataLogger || !loggingActive)
        AdjustSlider(value, true);
}

void LoggerMainWindow::on_dataRadioButton_clicked()
{
    plotMgr->SetActiveMarker(DataMarker);
}

void LoggerMainWindow::on_missedRadioButton_clicked()
{
    plotMgr->SetActiveMarker(MissedMarker);
}

void LoggerMainWindow::on_markRadioButton_clicked()
{
    plotMgr->SetActiveMarker(MemoMarker);
}

void LoggerMainWindow::EnableTracking(double newestSample)
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
    // Only recorded by the slider's slot: the move is the one below.
    sliderActive = false;
    MoveSlider(ui->horizontalSlider, maximum, value);
    sliderActive = true;
    AdjustSlider(value, false, newestSample);
}

void LoggerMainWindow::ApplyXSettings(XSettings xs, bool)
{
    sliderActive = false;
    NormalizeXWindow(xs, Utility::ConvertToSec(config->sampleInterval, config->intervalUnit));
    xs.xUnitChanged = xs.xMode != config->xSettings.xMode;
    config->xSettings = xs;
    if (!chartFileLoaded) {
        ClearDisplayBuffer();
        ReadDataForScrolling(runList, xs.sampleMin, xs.sampleMax);
    }
    const bool timeAxis = xs.xMode == 1;
    SetTicked(ui->action_Time, timeAxis);
    SetTicked(ui->action_Sample_No, !timeAxis);
    ui->xAxisLabel->setText(timeAxis ? QStringLiteral("Sec") : QStringLiteral("Sample"));
    plotMgr->UpdateXAxis();
    // Memo markers and cursors are converted now; a later X update must not do it again.
    config->xSettings.xUnitChanged = false;
    SetAxesLabels();
    PlaceSliderAtWindow(this);
    sliderActive = true;
    RedrawRuns();
}

void PlaceSliderAtWindow(LoggerMainWindow *win)
{
    const XSettings &xs = win->config->xSettings;
    if (win->runList->isEmpty())
        return;
    // Only recorded by the slider's slot: the window is already where the slider goes.
    const bool active = win->sliderActive;
    win->sliderActive = false;
    // The slider counts steps of this window up to its end. Home takes it to the start of
    // the record, End to the record's end, or no further than this window when it lies
    // beyond that (a window wider than the record does not stretch the record).
    const int step = SliderStep(win->config);
    const int value = CeilDiv(xs.sampleMax, step);
    win->ui->horizontalSlider->setRange(value - xs.sampleMin / step,
                                        CeilDiv(std::max(win->maxScroll, xs.sampleMax), step));
    win->ui->horizontalSlider->setValue(value);
    win->pendingSliderValue = value;
    win->sliderActive = active;
}

int LoggerMainWindow::GetMaxScroll() const
{
    return CeilDiv(maxScroll, SliderStep(config));
}

QLabel *LoggerMainWindow::CoordinateLabel(MarkerCoordinate coordinate) const
{
    QLabel *const labels[8] = {ui->xData, ui->yData, ui->xMissed, ui->yMissed,
                               ui->xMemo, ui->yMemo, ui->xDelta, ui->yDelta};
    const int i = int(coordinate);
    return i >= 0 && i < 8 ? labels[i] : nullptr;
}

void LoggerMainWindow::DisplayMarkerCoordinate(MarkerCoordinate coordinate, double value)
{
    if (QLabel *label = CoordinateLabel(coordinate))
        label->setText(QString::asprintf("%.4f", value));
}

void LoggerMainWindow::ClearMarkerCoordinate(MarkerCoordinate coordinate)
{
    if (QLabel *label = CoordinateLabel(coordinate))
        label->clear();
}

void LoggerMainWindow::HideShowMemoMarkersInPlot()
{
    const bool show = config->chartLabels[2];
    for (QwtPlotMarker *marker : plotMgr->GetCurrentMemoMarkerList())
        marker->setVisible(show);
    plotMgr->canvas()->update();
}

void LoggerMainWindow::HideShowLabelsinPlot()
{
    if (runList->isEmpty())
        return;
    plotMgr->MakeTextLabelsVisible(false);
    plotMgr->DisplayStartInfo(runList, true);
    // The run in progress has no stop yet: only the finished runs get a stop label.
    QVector<LoggerData *> finished = *runList;
    if (loggingActive)
        finished.removeLast();
    plotMgr->DisplayStopInfo(&finished, true);
}

void LoggerMainWindow::UpdatePlotLabels()
{
    plotMgr->UpdateChLabelsPosition();
    plotMgr->UpdateStatusLabelPosition();
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
    if (!popUp->isVisible())
        PlaceInSquare(popUp, this, slot);   // all four can be open and seen at once
    popUp->show();
    popUp->raise();   // refilled in place, it must not stay hidden behind another window
}

void LoggerMainWindow::UpdateChartInfo()
{
    if (!infoWindowOpen)
        return;
    LoggerData summary;
    if (SetChartInfo(&summary) == 0)
        infoWindow->Initialize(&summary);
}
