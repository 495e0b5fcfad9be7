#include "DisplayThread.h"
#include "LogCategories.h"

#include "Utility.h"

#include <algorithm>
#include <cmath>

namespace {

QVector<double> Slice(const std::vector<double> &v, int from, int to)
{
    return QVector<double>(v.begin() + from, v.begin() + to);
}

// An empty display record, marked as one no tick has counted for yet.
LoggerData *NewDisplayRecord()
{
    auto *record = new LoggerData();
    record->drawTicks = -1;
    record->drawState = -1;
    record->chA.values = new DataValues();
    record->chB.values = new DataValues();
    return record;
}

}   // namespace

DisplayThread::DisplayThread(QWidget *) : QThread(nullptr) {}

DisplayThread::~DisplayThread()
{
    if (isRunning()) {
        pacer.Quit();
        wait();
    }
    (void)runDone.load(std::memory_order_acquire);
}

void DisplayThread::Initialize(PlotMgr *chart, ConfigSettings *cfg, QVector<LoggerData *> *runs,
                               QVector<LoggerData *> *display)
{
    plotMgr = chart;
    config = cfg;
    runList = runs;
    displayBuffer = display;
    drawingStarted = false;
    stopRequested = false;
    startInfoShown = false;
    heldSamples = 0;
    firstSegment = true;
    recordAppended = false;
    notified = false;
    extremesSeeded[0] = extremesSeeded[1] = false;
    saturated[0].clear();
    saturated[1].clear();
    tickIntervals = 1;
    tickClock.invalidate();
    tickCarryMs = 0.0;
    pacer.Reset();
}

DisplayClient *DisplayThread::Client() const
{
    return client;
}

int DisplayThread::TimerInterval(double interval, SampIntervalUnit unit)
{
    return int(std::trunc(Utility::ConvertToMilliSec(interval, unit)));
}

int DisplayThread::TickInterval(double interval, SampIntervalUnit unit)
{
    return std::max(TimerInterval(interval, unit), MinTickMs);
}

int DisplayThread::IntervalsSinceLastTick()
{
    const double ms = Utility::ConvertToMilliSec(config->sampleInterval, config->intervalUnit);
    if (!(ms > 0.0) || ms >= MinTickMs)
        return 1;   // ticked once per interval
    if (!tickClock.isValid()) {
        tickClock.start();
        tickCarryMs = 0.0;
        return 1;
    }
    const double elapsed = double(tickClock.nsecsElapsed()) / 1e6 + tickCarryMs;
    tickClock.restart();
    const double intervals = std::floor(elapsed / ms);
    tickCarryMs = elapsed - intervals * ms;
    return int(std::max(1.0, std::min(intervals, 1e6)));
}

void DisplayThread::Notify()
{
    notified.store(true, std::memory_order_release);
    // The first block may be handed over in the poll thread; the display record, the
    // flags and the chart's labels belong to the GUI thread.
    if (QThread::currentThread() == thread())
        BeginDrawing();
    else
        QMetaObject::invokeMethod(this, "BeginDrawing", Qt::QueuedConnection);
}

void DisplayThread::BeginDrawing()
{
    // Pairs with Notify's store: what the poll thread wrote into the run before handing
    // over its first block (start date and time) is visible here.
    (void)notified.load(std::memory_order_acquire);
    if (stopRequested || !displayBuffer || !config)
        return;
    if (DisplayClient *c = Client())
        c->TakeStartInfo();
    AppendDisplayRecord();
    drawingStarted = true;
    if (!startInfoShown && (config->chAEnabled || config->chBEnabled) && config->dataFormat != 0) {
        if (plotMgr)
            plotMgr->DisplayStartInfo(runList, false);
        startInfoShown = true;
    }
}

void DisplayThread::AppendDisplayRecord()
{
    if (recordAppended || !displayBuffer || !config)
        return;
    // Keep the run in progress at the same position in both lists, also after a
    // run that stopped before its first block and so got no display record.
    const int runs = runList ? runList->size() : 0;
    while (displayBuffer->size() < runs - 1)
        displayBuffer->append(NewDisplayRecord());
    LoggerData *record = NewDisplayRecord();
    record->sampleInterval = config->sampleInterval;
    record->intervalUnit = config->intervalUnit;
    displayBuffer->append(record);
    recordAppended = true;
}

void DisplayThread::run()
{
    Plot();
    // Paired with the acquire after waiting: whoever deletes the thread sees all of it.
    runDone.store(true, std::memory_order_release);
}

void DisplayThread::Plot()
{
    // Every tick is a call into the GUI thread, where this object lives. A tick that comes
    // while the previous one still waits there is merged into it, so a busy GUI thread (or
    // an interval of 0 ms) never piles up ticks without bound.
    pacer.Run(TickInterval(config->sampleInterval, config->intervalUnit), [this] {
        if (!tickPending.exchange(true))
            QMetaObject::invokeMethod(this, &DisplayThread::OnTimerTick, Qt::QueuedConnection);
    });
}

void DisplayThread::OnTimerTick()
{
    tickPending = false;
    tickIntervals = IntervalsSinceLastTick();
    DrawPoint();
    tickIntervals = 1;
}

bool DisplayThread::StopThread()
{
    stopRequested = true;
    startInfoShown = false;
    drawingStarted = false;
    // Also returns for a thread that never started (a run stopped before its first block).
    pacer.Quit();
    wait();
    (void)runDone.load(std::memory_order_acquire);
    return true;
}

LoggerData *DisplayThread::CurrentRun() const
{
    // The run in progress is the newest run of the chart.
    return runList && !runList->isEmpty() ? runList->last() : nullptr;
}

bool DisplayThread::PassGates() const
{
    if (!displayBuffer || displayBuffer->isEmpty() || !displayBuffer->last() || !config)
        return false;
    if (plotMgr && plotMgr->IsDisplayOngoing())
        return false;
    return drawingStarted && !stopRequested;
}

bool DisplayThread::ChannelEnabled(int channel) const
{
    return channel == 0 ? config->chAEnabled : config->chBEnabled;
}

void DisplayThread::DrawPoint()
{
    qCDebug(lcDisplay) << "DrawPoint() time: " << Utility::GetTimeWithMs();
    if (!PassGates())
        return;
    LoggerData *display = displayBuffer->last();
    display->drawState = heldSamples;
    display->drawTicks += tickIntervals;
    DisplayClient *c = Client();
    const bool formatted = config->dataFormat != 0;
    if (!formatted && c)
        c->UpdateRawCountDisplay(double(display->chA.totalSamples + display->chB.totalSamples));

    // A pass waits as many ticks (sample intervals) as the last block had rows.
    if (display->drawTicks <= 0 || (c && display->drawTicks < c->ReceivedSampleCount()))
        return;
    if (c) {
        c->UpdateChartInfo();
        c->ReadMoreSampleData(displayBuffer, RowsPerPass);
    }
    if (plotMgr && plotMgr->DoesRescaling()) {
        qCDebug(lcDisplay) << "\n[DrawPointFastLogging]Is currently rescaling.";
        return;
    }
    // No row since the last pass: a pass would only draw the held sample once more and
    // hand on nothing. What it leaves behind is set here without it.
    if (OnlyHeldSamples(display)) {
        display->drawTicks = 0;
        if (LoggerData *run = CurrentRun()) {
            for (DataValues *v : {run->chA.values, run->chB.values}) {
                if (v) {
                    v->xValues.clear();
                    v->yValues.clear();
                }
            }
        }
        return;
    }

    PassOverDisplay(display);
}

bool DisplayThread::OnlyHeldSamples(const LoggerData *display) const
{
    if (firstSegment || heldSamples != 1)
        return false;
    bool used = false;
    for (int ch = 0; ch < 2; ++ch) {
        const ChannelRecord &rec = ch == 0 ? display->chA : display->chB;
        if (!rec.values || !ChannelEnabled(ch))
            continue;
        if (rec.values->xValues.size() != 1 || rec.values->yValues.size() != 1)
            return false;
        used = true;
    }
    return used;
}

bool DisplayThread::PassOverDisplay(LoggerData *display)
{
    Range range[2];
    for (int ch = 0; ch < 2; ++ch) {
        const ChannelRecord &rec = ch == 0 ? display->chA : display->chB;
        if (!rec.values)
            continue;
        const int held = int(rec.values->xValues.size());
        qCDebug(lcDisplay) << "numberOfNewSamplesSinceLastDrawn for channel" << (ch ? "B:" : "A:")
                           << held - heldSamples;
        qCDebug(lcDisplay) << "totalNumberOfSamplesNowInLoggerDataVector for channel"
                           << (ch ? "B:" : "A:") << held;
        range[ch].end = int(std::min(rec.values->xValues.size(), rec.values->yValues.size()));
        range[ch].newCount = held - heldSamples;
        range[ch].use = ChannelEnabled(ch);
    }
    if (!RunPass(display, range, firstSegment))
        return false;

    // Keep only the last sample of each list, for the next segment to join on to.
    for (ChannelRecord *rec : {&display->chA, &display->chB}) {
        if (!rec->values)
            continue;
        for (std::vector<double> *v : {&rec->values->xValues, &rec->values->yValues}) {
            if (v->size() > 1)
                v->erase(v->begin(), v->end() - 1);
        }
    }
    if (display->memo.size() > 1)   // one entry per row read: keep it from growing too
        display->memo.erase(display->memo.begin(), display->memo.end() - 1);
    heldSamples = 1;
    firstSegment = false;
    return true;
}

void DisplayThread::FinishRun()
{
    // A stop right after the first block can come before the queued start of drawing.
    if (notified)
        AppendDisplayRecord();
    if (!recordAppended || !displayBuffer || displayBuffer->isEmpty() || !config)
        return;
    DisplayClient *c = Client();
    if (!c)
        return;
    LoggerData *display = displayBuffer->last();
    // Page in and pass on what the ticks had not reached yet, until "temp.csv" is used up.
    for (;;) {
        c->ReadMoreSampleData(displayBuffer, RowsPerPass);
        bool fresh = false;
        for (int ch = 0; ch < 2; ++ch) {
            const ChannelRecord &rec = ch == 0 ? display->chA : display->chB;
            if (ChannelEnabled(ch) && rec.values && int(rec.values->xValues.size()) > heldSamples)
                fresh = true;
        }
        if (!fresh || !PassOverDisplay(display))
            break;
    }
}

void DisplayThread::DrawPointFastLogging()
{
    qCDebug(lcDisplay) << "DrawPointFastLogging() time: " << Utility::GetTimeWithMs();
    if (!PassGates())
        return;
    LoggerData *display = displayBuffer->last();
    display->drawState += 1;
    display->drawTicks += 1;
    qCDebug(lcDisplay) << "count: " << display->drawState;
    qCDebug(lcDisplay) << "val: " << 2;
    DisplayClient *c = Client();
    const bool formatted = config->dataFormat != 0;
    if (!formatted && c)
        c->UpdateRawCountDisplay(double(display->drawState + 1));
    if (display->drawTicks <= 0 || display->drawTicks % 2 != 0)
        return;
    if (c)
        c->UpdateChartInfo();

    auto heldRows = [](const ChannelRecord &rec) {
        return rec.values ? int(std::min(rec.values->xValues.size(), rec.values->yValues.size())) : 0;
    };
    bool readMore = heldRows(display->chA) == 0 && heldRows(display->chB) == 0;
    for (int ch = 0; ch < 2; ++ch) {
        const ChannelRecord &rec = ch == 0 ? display->chA : display->chB;
        if (ChannelEnabled(ch) && rec.values && display->drawTicks > heldRows(rec))
            readMore = true;
    }
    if (readMore && c)
        c->ReadMoreSampleData(displayBuffer, RowsPerPass);
    if (plotMgr && plotMgr->DoesRescaling()) {
        qCDebug(lcDisplay) << "\n[DrawPointFastLogging]Is currently rescaling.";
        return;
    }

    // Two samples per pass, taken from the head of the lists and removed after use, so
    // that each is drawn and handed on once.
    Range range[2];
    for (int ch = 0; ch < 2; ++ch) {
        const ChannelRecord &rec = ch == 0 ? display->chA : display->chB;
        if (!rec.values)
            continue;
        range[ch].end = std::min(display->drawTicks, heldRows(rec));
        range[ch].begin = std::max(0, range[ch].end - 2);
        range[ch].newCount = range[ch].end - range[ch].begin;
        range[ch].use = ChannelEnabled(ch);
    }
    if (!RunPass(display, range, true))
        return;
    for (int ch = 0; ch < 2; ++ch) {
        ChannelRecord &rec = ch == 0 ? display->chA : display->chB;
        if (!rec.values)
            continue;
        for (std::vector<double> *v : {&rec.values->xValues, &rec.values->yValues}) {
            const int to = std::min(range[ch].end, int(v->size()));
            const int from = std::min(range[ch].begin, to);
            v->erase(v->begin() + from, v->begin() + to);
        }
    }
    const int used = std::max(range[0].end - range[0].begin, range[1].end - range[1].begin);
    display->memo.erase(display->memo.begin(),
                        display->memo.begin() + std::min(used, int(display->memo.size())));
}

// One drawing pass over the given part of the display lists: draws (or only checks) each
// used channel's segment, counts the new samples, hands the rows on to the backup file
// and updates the run's extremes. False when a used channel had nothing to draw.
bool DisplayThread::RunPass(LoggerData *display, const Range range[2], bool handFirst)
{
    for (int ch = 0; ch < 2; ++ch) {
        if (range[ch].use && range[ch].end - range[ch].begin <= 0) {
            display->drawTicks = -1;
            qCDebug(lcDisplay) << (ch == 0 ? "Empty ChAX" : "Empty ChBX");
            return false;
        }
    }

    const bool formatted = config->dataFormat != 0;
    QVector<double> seg[2][2];   // [channel][0 sample numbers, 1 values]
    bool any = false;
    bool haveWindow = false;
    double lo = 0.0, hi = 0.0;
    for (int ch = 0; ch < 2; ++ch) {
        saturated[ch].clear();
        if (!range[ch].use)
            continue;
        ChannelRecord &rec = ch == 0 ? display->chA : display->chB;
        seg[ch][0] = Slice(rec.values->xValues, range[ch].begin, range[ch].end);
        seg[ch][1] = Slice(rec.values->yValues, range[ch].begin, range[ch].end);
        any = true;
        if (formatted) {
            if (!haveWindow) {
                lo = std::trunc(seg[ch][0].first() - 1.0);
                hi = lo + LiveWindow;
                haveWindow = true;
            }
            const double first = seg[ch][0].first(), last = seg[ch][0].last();
            const bool inWindow = first >= lo && first <= hi && last >= lo && last <= hi;
            if (plotMgr) {
                const PlotMgr::Channel channel = PlotMgr::Channel(ch);
                if (config->trackDataLogger || inWindow)
                    plotMgr->PlotPoints(seg[ch][0], seg[ch][1], channel, display->sampleInterval,
                                        display->intervalUnit, saturated[ch], true);
                else   // too long to draw live: still tested for saturation and alerts
                    plotMgr->CheckPoints(seg[ch][0], seg[ch][1], channel, display->sampleInterval,
                                         display->intervalUnit, saturated[ch]);
            }
        }
        if (formatted && handFirst && !seg[ch][1].isEmpty() && plotMgr) {
            // A segment's first sample is only tested by the chart as the held one; when
            // it is new (a run's first pass) it is tested here.
            double upper = 0.0, lower = 0.0;
            plotMgr->SaturationLimits(PlotMgr::Channel(ch), upper, lower);
            const double v = seg[ch][1].first();
            if (upper > 0.0 && lower < 0.0 && v != MissedSampleValue && (v >= upper || v <= lower)
                && !saturated[ch].contains(0))
                saturated[ch].prepend(0);
        }
        rec.totalSamples += range[ch].newCount;
        qCDebug(lcDisplay) << (ch == 0 ? "Total samples for channel A now: "
                                       : "Total samples for channel B now: ")
                           << rec.totalSamples;
    }
    if (!any)
        return true;

    HandOff(display, seg, handFirst);
    SetMinMaxValue(seg[0][1], seg[1][1]);
    return true;
}

void DisplayThread::HandOff(LoggerData *display, const QVector<double> seg[2][2], bool handFirst)
{
    display->drawTicks = 0;
    LoggerData *run = CurrentRun();
    if (run) {
        for (DataValues *v : {run->chA.values, run->chB.values}) {
            if (v) {
                v->xValues.clear();
                v->yValues.clear();
            }
        }
    }

    DataValues rowValues[2];
    LoggerData rows;
    rows.chA.values = &rowValues[0];
    rows.chB.values = &rowValues[1];
    for (int ch = 0; ch < 2; ++ch) {
        if (!ChannelEnabled(ch))
            continue;
        const QVector<double> &x = seg[ch][0];
        const QVector<double> &y = seg[ch][1];
        DataValues *runValues = run ? (ch == 0 ? run->chA.values : run->chB.values) : nullptr;
        for (int i = 0; i < x.size(); ++i) {
            // The first sample of a later segment is the one held from the previous
            // pass, already handed on; a repeated sample number is one row.
            if (i == 0 ? !handFirst : x[i] == x[i - 1])
                continue;
            rowValues[ch].xValues.push_back(x[i]);
            rowValues[ch].yValues.push_back(y[i]);
            if (runValues) {
                runValues->xValues.push_back(x[i]);
                runValues->yValues.push_back(y[i]);
            }
        }
        if (run)
            (ch == 0 ? run->chA : run->chB).totalSamples =
                (ch == 0 ? display->chA : display->chB).totalSamples;
    }

    // Saturated positions count the segment's samples without repeats, from 0 at its
    // first sample; rows begin at position 1 when that sample was the held one.
    const int rowCount = int(std::max(rowValues[0].xValues.size(), rowValues[1].xValues.size()));
    rows.memo.assign(size_t(rowCount), QString());
    const int shift = handFirst ? 0 : 1;
    static const QString satA = QStringLiteral("ChA ADC saturated.");
    static const QString satB = QStringLiteral("ChB ADC saturated.");
    for (int ch = 0; ch < 2; ++ch) {
        for (int pos : qAsConst(saturated[ch])) {
            const int row = pos - shift;
            if (row >= 0 && row < rowCount)
                rows.memo[size_t(row)] += ch == 0 ? satA : satB;
        }
    }
    // A row saturated on both channels reads A's text first.
    if (rowCount > 0) {
        if (DisplayClient *c = Client())
            c->SaveOutputDataToFile(&rows);
    }
}

void DisplayThread::SetMinMaxValue(const QVector<double> &valuesA, const QVector<double> &valuesB)
{
    LoggerData *run = CurrentRun();
    if (!run || !config)
        return;
    for (int ch = 0; ch < 2; ++ch) {
        if (!ChannelEnabled(ch))
            continue;
        MeasuredExtremes extremes;
        for (double v : ch == 0 ? valuesA : valuesB)
            extremes.Add(v);
        if (!extremes.any)
            continue;
        ChannelRecord &rec = ch == 0 ? run->chA : run->chB;
        if (!extremesSeeded[ch]) {
            // The run's first values replace the zeros it was created with.
            rec.minValue = extremes.lo;
            rec.maxValue = extremes.hi;
            extremesSeeded[ch] = true;
        } else {
            rec.minValue = std::min(rec.minValue, extremes.lo);
            rec.maxValue = std::max(rec.maxValue, extremes.hi);
        }
    }
}

void DisplayThread::UpdateDisplayBuffer(QVector<double> xA, QVector<double> yA, QVector<double> xB,
                                        QVector<double> yB, int runIndex, QString memo)
{
    DataValues rowValues[2];
    LoggerData rows;
    rows.chA.values = &rowValues[0];
    rows.chB.values = &rowValues[1];
    const QVector<double> *xs[2] = {&xA, &xB};
    const QVector<double> *ys[2] = {&yA, &yB};
    for (int ch = 0; ch < 2; ++ch) {
        if (!xs[ch]->isEmpty())
            rowValues[ch].xValues.push_back(xs[ch]->first());
        if (!ys[ch]->isEmpty())
            rowValues[ch].yValues.push_back(ys[ch]->first());
    }
    rows.memo.push_back(memo);
    if (DisplayClient *c = Client())
        c->SaveOutputDataToFile(&rows);

    if (!config || config->dataFormat == 0 || !runList || runIndex < 0 || runIndex >= runList->size())
        return;
    LoggerData *run = runList->at(runIndex);
    if (!run)
        return;
    const double lo = config->xSettings.sampleMin, hi = config->xSettings.sampleMax;
    for (int ch = 0; ch < 2; ++ch) {
        DataValues *v = ch == 0 ? run->chA.values : run->chB.values;
        if (!v || rowValues[ch].xValues.empty() || rowValues[ch].yValues.empty())
            continue;
        const double sampleNo = rowValues[ch].xValues.front();
        if (sampleNo >= lo && sampleNo <= hi) {
            v->xValues.push_back(sampleNo);
            v->yValues.push_back(rowValues[ch].yValues.front());
        }
    }
}
