// Axis units: sample numbers or seconds along X; mV, V or a custom scale along Y, with the
// Y Scale menu's entries for the custom scales.
#include "LoggerMainWindow.h"

#include "ui_LoggerMainWindow.h"
#include "Utility.h"
#include "XWindow.h"
#include "YScale.h"
#include "ycontrolsWindow.h"

#include <QAction>
#include <QMenu>
#include <cmath>

namespace {

const char *const TickIcon = ":/images/Images/Icons/Select.png";
const char *const MilliVoltName = "mV";
const char *const VoltageName = "Voltage";

// A zero or broken multiplier would turn every range and extreme into inf or NaN.
bool ShowableYSettings(const YSettings &ys)
{
    return UsableMultiplier(ys.multiplier) && ShowableRange(ys.yMin, ys.yMax);
}

const YScaleSettings *FindScaleByName(const ConfigSettings *config, const QString &name)
{
    for (const YScaleSettings &scale : config->yScales)
        if (scale.name == name)
            return &scale;
    return nullptr;
}

// Stored runs redrawn in the new unit, with their labels; the axes panel in any case.
void RedrawAfterUnitSwitch(LoggerMainWindow *win)
{
    if (!win->runList->isEmpty()) {
        const bool logging = win->loggingActive;
        win->plotMgr->runList = win->runList;
        win->plotMgr->DisplaySignal(win->runList, logging);
        if (!logging)
            win->plotMgr->DisplayStopInfo(win->runList, true);
        if (!logging || win->config->dataFormat != 0)
            win->plotMgr->DisplayStartInfo(win->runList, true);
    }
    win->SetAxesLabels();
}

// The Y-scale entry becomes the ticked one, and the configuration names it as active.
void MakeActiveEntry(LoggerMainWindow *win, QAction *entry)
{
    if (!entry)
        return;
    if (win->activeYScaleAction && win->activeYScaleAction != entry)
        LoggerMainWindow::SetTicked(win->activeYScaleAction, false);
    win->activeYScaleAction = entry;
    LoggerMainWindow::SetTicked(entry, true);
    win->config->activeYScale = entry->text();
}

// The Y axis in the built-in mV (0) or V (1), with its menu entry ticked.
void ShowBuiltInScale(LoggerMainWindow *win, int unit)
{
    QAction *entry = unit == 1 ? win->ui->action_V : win->ui->action_mV;
    LoggerMainWindow::SetTicked(unit == 1 ? win->ui->action_mV : win->ui->action_V, false);
    MakeActiveEntry(win, entry);
    win->config->ySettings.yUnit = unit;
    win->ui->yAxisLabel->setText(unit == 1 ? QStringLiteral("V") : QStringLiteral("mV"));
    win->plotMgr->UpdateYAxis();
    RedrawAfterUnitSwitch(win);
}

// The same physical range in the scale's unit. False when the scale cannot be shown.
bool SwitchToScale(LoggerMainWindow *win, const YScaleSettings &scale)
{
    YSettings ys = win->config->ySettings;
    RangeInScale(ys.multiplier, scale.multiplier, ys.yMin, ys.yMax);
    ys.multiplier = scale.multiplier;
    ys.unitText = scale.unit;
    ys.yUnit = UnitOfScale(scale.name);
    if (!ShowableYSettings(ys))
        return false;
    win->ApplyYSettings(ys);
    return true;
}

// The X axis in sample numbers (0) or seconds (1).
void SwitchXUnit(LoggerMainWindow *win, int mode)
{
    const bool timeAxis = mode == 1;
    LoggerMainWindow::SetTicked(win->ui->action_Time, timeAxis);
    LoggerMainWindow::SetTicked(win->ui->action_Sample_No, !timeAxis);
    XSettings &xs = win->config->xSettings;
    xs.xUnitChanged = xs.xMode != mode;
    xs.xMode = mode;
    // The rows on the chart are those of the window now shown: on the time axis the ones
    // the time window covers, which a zoom in sample numbers has left behind.
    const int first = xs.sampleMin;
    const int last = xs.sampleMax;
    NormalizeXWindow(xs, Utility::ConvertToSec(win->config->sampleInterval, win->config->intervalUnit));
    if (xs.sampleMin != first || xs.sampleMax != last) {
        if (!win->chartFileLoaded) {
            win->ClearDisplayBuffer();
            win->ReadDataForScrolling(win->runList, xs.sampleMin, xs.sampleMax);
        }
        PlaceSliderAtWindow(win);
    }
    win->ui->xAxisLabel->setText(timeAxis ? QStringLiteral("Sec") : QStringLiteral("Sample"));
    win->plotMgr->UpdateXAxis();
    // Converted once: the next X update must not convert the cursors again.
    xs.xUnitChanged = false;
    RedrawAfterUnitSwitch(win);
}

// An open Y-controls window shows what the menu or the Y button chose.
void RefreshYControls(LoggerMainWindow *win)
{
    if (win->yControlsOpen && win->yControlsWindow)
        win->yControlsWindow->ShowConfiguredScale();
}

}   // namespace

// ---- X unit ---------------------------------------------------------------------------

void LoggerMainWindow::SetSampleNoScale()
{
    SwitchXUnit(this, 0);
}

void LoggerMainWindow::SetTimeScale()
{
    SwitchXUnit(this, 1);
}

void LoggerMainWindow::on_xAxisLabel_clicked()
{
    if (config->xSettings.xMode == 1)
        SetSampleNoScale();
    else
        SetTimeScale();
}

// ---- Y unit ---------------------------------------------------------------------------

void LoggerMainWindow::SetVScale()
{
    ShowBuiltInScale(this, 1);
}

void LoggerMainWindow::SetmVScale()
{
    ShowBuiltInScale(this, 0);
}

void LoggerMainWindow::SetCustomYScale()
{
    SetTicked(ui->action_mV, false);
    SetTicked(ui->action_V, false);
    ui->yAxisLabel->setText(config->ySettings.unitText);
    plotMgr->UpdateYAxis();
    RedrawAfterUnitSwitch(this);
}

void LoggerMainWindow::ApplyYSettings(YSettings ys)
{
    if (!ShowableYSettings(ys))
        return;
    config->ySettings = ys;
    switch (ys.yUnit) {
    case 1:
        SetVScale();
        break;
    case 0:
        SetmVScale();
        break;
    default:
        SetCustomYScale();
        break;
    }
}

void LoggerMainWindow::on_yAxisLabel_clicked()
{
    const std::vector<YScaleSettings> &scales = config->yScales;
    const int count = int(scales.size());
    // The active scale when it is the one shown: scales may share a unit (a probe scale in
    // V), and the first of them would send the button back to the same scale for ever.
    int current = -1;
    for (int i = 0; i < count && current < 0; ++i)
        if (scales[size_t(i)].name == config->activeYScale
            && scales[size_t(i)].unit == config->ySettings.unitText)
            current = i;
    for (int i = 0; i < count && current < 0; ++i)
        if (scales[size_t(i)].unit == config->ySettings.unitText)
            current = i;
    if (current < 0)
        return;
    // Scales that cannot be shown are passed over.
    for (int step = 1; step < count; ++step) {
        const YScaleSettings next = scales[size_t((current + step) % count)];
        if (!SwitchToScale(this, next))
            continue;
        for (QAction *entry : qAsConst(yScaleActions))
            if (entry->text() == next.name)
                MakeActiveEntry(this, entry);
        plotMgr->UpdateChLabelText(config->ySettings.unitText);
        RefreshYControls(this);
        return;
    }
}

void LoggerMainWindow::RetrieveCustomYScale(QAction *action)
{
    if (action)
        ChooseYScale(action, activeYScaleAction);
}

bool LoggerMainWindow::ChooseYScale(QAction *entry, QAction *previous)
{
    const YScaleSettings *scale = FindScaleByName(config, entry->text());
    MakeActiveEntry(this, entry);
    if (!scale)
        return true;
    // A scale the chart cannot show does not become the active one: the tick goes back.
    if (!SwitchToScale(this, *scale)) {
        MakeActiveEntry(this, previous);
        return false;
    }
    plotMgr->UpdateChLabelText(config->ySettings.unitText);
    RefreshYControls(this);
    return true;
}

bool LoggerMainWindow::ChooseYScale(const QString &name)
{
    QAction *previous = activeYScaleAction;
    for (QAction *entry : qAsConst(yScaleActions))
        if (entry->text() == name)
            return ChooseYScale(entry, previous);
    if (!FindScaleByName(config, name))
        return false;
    // A scale just defined: its entry is made here, and stays unticked if it is refused.
    AddYScale(name);
    return ChooseYScale(yScaleActions.last(), previous);
}

void LoggerMainWindow::AddYScale(QString name)
{
    QAction *entry = new QAction(name, this);
    entry->setObjectName(name);
    entry->setIcon(QIcon(QString::fromLatin1(TickIcon)));
    MakeActiveEntry(this, entry);
    yScaleActions.append(entry);
    ui->menu_Y_Scale->addAction(entry);
}

void LoggerMainWindow::RemoveYScale(QString name)
{
    // The built-in scales stay.
    if (name == QLatin1String(MilliVoltName) || name == QLatin1String(VoltageName))
        return;
    int index = -1;
    for (int i = 0; i < yScaleActions.size() && index < 0; ++i)
        if (yScaleActions[i]->text() == name)
            index = i;
    if (index < 0)
        return;
    QAction *entry = yScaleActions[index];
    if (entry == ui->action_mV || entry == ui->action_V)
        return;
    if (activeYScaleAction == entry) {
        // The chart leaves the scale together with the tick.
        const YScaleSettings *mV = FindScaleByName(config, QString::fromLatin1(MilliVoltName));
        if (!mV || !SwitchToScale(this, *mV)) {
            const YScaleSettings builtIn{QString::fromLatin1(MilliVoltName),
                                         QString::fromLatin1(MilliVoltName), 1000.0};
            SwitchToScale(this, builtIn);
        }
        MakeActiveEntry(this, ui->action_mV);
        plotMgr->UpdateChLabelText(config->ySettings.unitText);
    }
    yScaleActions.remove(index);
    ui->menu_Y_Scale->removeAction(entry);
    delete entry;
}

void LoggerMainWindow::ChangeCurrentActiveYScale(QString name)
{
    for (QAction *entry : qAsConst(yScaleActions)) {
        if (entry->text() == name) {
            MakeActiveEntry(this, entry);
            break;
        }
    }
    // The channel labels show the unit, not the scale's name.
    const YScaleSettings *scale = FindScaleByName(config, name);
    plotMgr->UpdateChLabelText(scale ? scale->unit : name);
}
