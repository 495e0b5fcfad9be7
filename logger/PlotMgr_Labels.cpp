// The logger chart's information labels: status, channels, and the start and stop
// labels of the runs.
#include "PlotMgr.h"

#include "ChartText.h"
#include "Utility.h"

#include <QFont>
#include <QFontMetrics>
#include <QPen>
#include <qwt_plot_canvas.h>
#include <qwt_plot_marker.h>
#include <qwt_text.h>

#include <algorithm>

namespace {

// Labels hang centred on their line at the axis's left edge: the leading blanks keep the
// visible text inside the canvas.
const QString ChannelPad(21, QLatin1Char(' '));

// Which kind of run label a marker is; kept in the item's title.
const QString StartKind = QStringLiteral("start");
const QString StopKind = QStringLiteral("stop");

QString Number(double v)
{
    return QString::number(v, 'g', 15);
}

QwtText LabelText(const QString &text, int weight, const QColor &color)
{
    QwtText label = ChartText(text);
    label.setFont(QFont(QStringLiteral("Arial"), 8, weight));
    label.setColor(color);
    return label;
}

// Where a run label stands: at a sample of the run, in seconds on the time axis.
double RunLabelX(const ConfigSettings &config, const LoggerData &run, double sampleNo)
{
    if (config.xSettings.xMode == 1)
        return sampleNo * Utility::ConvertToSec(run.sampleInterval, run.intervalUnit);
    return sampleNo;
}

}   // namespace

void PlotMgr::DisplayStatus(bool running, bool testMode)
{
    if (!statusLabel)
        return;
    QString text = testMode ? QString(38, QLatin1Char(' ')) : QString(22, QLatin1Char(' '));
    text += running ? QStringLiteral("Running") : QStringLiteral("Stopped");
    if (testMode)
        text += QStringLiteral("(Test Mode)");
    statusLabel->setLabel(LabelText(text, QFont::Bold, Qt::red));
    canvas()->update();
}

void PlotMgr::DisplayChannelInfo()
{
    // Made once; a second call replaces the labels rather than leaving two of each.
    delete chALabel;
    delete chBLabel;
    const QString unit = config->ySettings.unitText;
    QwtPlotMarker **labels[2] = {&chALabel, &chBLabel};
    for (int c = 0; c < 2; ++c) {
        auto *label = new QwtPlotMarker();
        label->setLinePen(config->colorSettings.gridPen);
        label->setLineStyle(QwtPlotMarker::VLine);
        label->setLabelAlignment(Qt::AlignTop);
        label->attach(this);
        *labels[c] = label;
    }
    chALabel->setLabel(LabelText(ChannelPad + QStringLiteral("ChA-") + unit, QFont::Normal,
                                 config->colorSettings.chAColor));
    chBLabel->setLabel(LabelText(ChannelPad + QStringLiteral("ChB-") + unit, QFont::Normal,
                                 config->colorSettings.chBColor));
    chBLabel->setSpacing(24);   // below channel A's label
    UpdateChLabelsPosition();
}

void PlotMgr::UpdateChLabelText(const QString &unitText)
{
    const QString names[2] = {QStringLiteral("ChA-"), QStringLiteral("ChB-")};
    QwtPlotMarker *labels[2] = {chALabel, chBLabel};
    for (int c = 0; c < 2; ++c) {
        if (!labels[c])
            continue;
        QwtText text = labels[c]->label();
        SetChartText(text, ChannelPad + names[c] + unitText);
        labels[c]->setLabel(text);
    }
    canvas()->update();
}

namespace {
double LeftEdge(const XSettings &xs)
{
    return xs.xMode == 1 ? xs.timeMin : double(xs.sampleMin);
}
}   // namespace

void PlotMgr::UpdateChLabelsPosition()
{
    const double x = LeftEdge(config->xSettings);
    for (QwtPlotMarker *label : {chALabel, chBLabel})
        if (label)
            label->setXValue(x);
    canvas()->update();
}

void PlotMgr::UpdateStatusLabelPosition()
{
    if (statusLabel)
        statusLabel->setXValue(LeftEdge(config->xSettings));
    canvas()->update();
}

QString PlotMgr::RunLabelText(const RunLabel &l)
{
    const bool *flags = l.flags;
    if (l.start) {
        QString body = l.date + QLatin1Char('\n');
        if (flags[0])
            body += l.time + QLatin1Char('\n');
        if (flags[1])
            body += QStringLiteral("Sample Interval: ") + Number(l.interval)
                    + QLatin1String(Utility::IntervalUnitText(l.unit));
        return QStringLiteral("Started at: \n") + body;
    }
    QString body = l.date + QLatin1Char('\n');
    if (flags[3])
        body += l.time + QLatin1Char('\n');
    if (flags[4])
        body += QStringLiteral("Samples:\nChA: ") + QString::number(l.total[0])
                + QStringLiteral("\nChB: ") + QString::number(l.total[1]);
    if (flags[5])
        body += QStringLiteral("\nMaximum:\nChA: ") + Number(l.max[0])
                + QStringLiteral("mV\nChB: ") + Number(l.max[1]) + QStringLiteral("mV");
    if (flags[6])
        body += QStringLiteral("\nMinimum:\nChA: ") + Number(l.min[0])
                + QStringLiteral("mV\nChB: ") + Number(l.min[1]) + QStringLiteral("mV");
    if (flags[7])
        body += QStringLiteral("\nMissed:\nChA: ") + QString::number(l.missed[0])
                + QStringLiteral("\nChB: ") + QString::number(l.missed[1]);
    return QStringLiteral("Stopped at: \n") + body;
}

QwtPlotMarker *PlotMgr::NewRunLabel(const RunLabel &l)
{
    auto *label = new QwtPlotMarker(l.start ? StartKind : StopKind);
    label->setLinePen(QPen(QBrush(Qt::transparent), 0, Qt::DotLine, Qt::SquareCap, Qt::BevelJoin));
    label->setLineStyle(QwtPlotMarker::VLine);
    label->setLabelAlignment(l.start ? Qt::AlignRight : Qt::AlignLeft);
    label->setLabel(LabelText(RunLabelText(l), QFont::Normal, l.start ? Qt::darkGreen : Qt::red));
    label->setXValue(l.x);
    label->attach(this);
    label->setVisible(l.visible);
    return label;
}

void PlotMgr::AddRunLabel(RunLabel label)
{
    label.visible = config->showTextLabels;
    // Dates and times come from files: a long one widens what may reach into the window.
    runLabelChars = std::max({runLabelChars, label.date.size(), label.time.size()});
    runLabels.push_back(std::move(label));
}

void PlotMgr::SyncRunLabels()
{
    const double lo = std::min(xShown[0], xShown[1]);
    const double hi = std::max(xShown[0], xShown[1]);
    const int width = canvas()->contentsRect().width();
    // A label hangs beside its line: one whose line lies just outside the window still
    // shows its text. The reach is bounded by the widest character of the labels' font.
    static const int charWidth = QFontMetrics(QFont(QStringLiteral("Arial"), 8)).maxWidth();
    const double reach = double(runLabelChars * charWidth + 16) * (hi - lo) / double(std::max(width, 1));
    bool changed = false;
    for (RunLabel &l : runLabels) {
        const bool shown = l.x >= lo - reach && l.x <= hi + reach;
        if (shown == (l.marker != nullptr))
            continue;
        if (shown) {
            l.marker = NewRunLabel(l);
        } else {
            delete l.marker;
            l.marker = nullptr;
        }
        changed = true;
    }
    if (changed || textLabels.size() > int(runLabels.size())) {
        textLabels.clear();
        for (const RunLabel &l : runLabels)
            if (l.marker)
                textLabels.append(l.marker);
    }
    runLabelsSynced[0] = lo;
    runLabelsSynced[1] = hi;
    runLabelsSynced[2] = width;
}

void PlotMgr::drawCanvas(QPainter *painter)
{
    // The window or the canvas may have changed since the labels were last placed.
    const double lo = std::min(xShown[0], xShown[1]);
    const double hi = std::max(xShown[0], xShown[1]);
    if (!runLabels.empty()
        && (lo != runLabelsSynced[0] || hi != runLabelsSynced[1]
            || double(canvas()->contentsRect().width()) != runLabelsSynced[2]))
        SyncRunLabels();
    QwtPlot::drawCanvas(painter);
}

// A redraw of every run's labels replaces the labels of that kind: hidden old ones would
// come back as duplicates when the labels are shown again.
void PlotMgr::RemoveRunLabels(bool start)
{
    std::vector<RunLabel> kept;
    kept.reserve(runLabels.size());
    for (RunLabel &l : runLabels) {
        if (l.start == start)
            delete l.marker;
        else
            kept.push_back(std::move(l));
    }
    runLabels.swap(kept);
    textLabels.clear();
    for (const RunLabel &l : runLabels)
        if (l.marker)
            textLabels.append(l.marker);
}

void PlotMgr::DropRunLabels()
{
    for (RunLabel &l : runLabels)
        delete l.marker;
    runLabels.clear();
    textLabels.clear();
    runLabelChars = 40;
}

int PlotMgr::FirstRunToLabel(const QVector<LoggerData *> *runs, bool allRuns, bool start)
{
    if (!runs)
        return -1;
    if (allRuns)
        RemoveRunLabels(start);
    if (runs->isEmpty())
        return -1;
    return allRuns ? 0 : runs->size() - 1;
}

void PlotMgr::DisplayStartInfo(const QVector<LoggerData *> *runs, bool allRuns)
{
    const bool *flags = config->chartLabels;
    for (int i = FirstRunToLabel(runs, allRuns, true); i >= 0 && i < runs->size(); ++i) {
        const LoggerData *run = runs->at(i);
        if (!run || (!run->chA.values && !run->chB.values))
            break;
        RunLabel label;
        label.start = true;
        label.x = RunLabelX(*config, *run, run->firstSampleNo);
        std::copy(flags, flags + 8, label.flags);
        label.date = run->startDate;
        label.time = run->startTime;
        label.interval = run->sampleInterval;
        label.unit = run->intervalUnit;
        AddRunLabel(std::move(label));
    }
    SyncRunLabels();
    canvas()->update();
}

void PlotMgr::DisplayStopInfo(const QVector<LoggerData *> *runs, bool allRuns)
{
    const bool *flags = config->chartLabels;
    for (int i = FirstRunToLabel(runs, allRuns, false); i >= 0 && i < runs->size(); ++i) {
        const LoggerData *run = runs->at(i);
        if (!run || (!run->chA.values && !run->chB.values))
            continue;
        // The label stands after the run's last sample, whichever channel recorded it
        // (not the channels enabled today).
        const int total = std::max(run->chA.totalSamples, run->chB.totalSamples);
        const bool holdsRows = (run->chA.values && !run->chA.values->xValues.empty())
                               || (run->chB.values && !run->chB.values->xValues.empty());
        if (total <= 0 && !holdsRows)
            continue;

        const ChannelRecord *ch[2] = {&run->chA, &run->chB};
        RunLabel label;
        label.start = false;
        label.x = RunLabelX(*config, *run, double(run->firstSampleNo) + double(std::max(total, 0)));
        std::copy(flags, flags + 8, label.flags);
        label.date = run->stopDate;
        label.time = run->stopTime;
        for (int c = 0; c < 2; ++c) {
            label.total[c] = ch[c]->totalSamples;
            label.missed[c] = ch[c]->missedSamples;
            label.max[c] = ch[c]->maxValue;
            label.min[c] = ch[c]->minValue;
        }
        AddRunLabel(std::move(label));
    }
    SyncRunLabels();
    canvas()->update();
}

void PlotMgr::MakeTextLabelsVisible(bool visible)
{
    for (RunLabel &l : runLabels) {
        l.visible = visible;
        if (l.marker)
            l.marker->setVisible(visible);
    }
    canvas()->update();
}

void PlotMgr::DeleteLastStopLabel()
{
    if (runLabels.empty())
        return;
    if (QwtPlotMarker *label = runLabels.back().marker) {
        label->hide();
        delete label;
        textLabels.removeOne(label);
    }
    runLabels.pop_back();
    canvas()->update();
}

void PlotMgr::ClearStartStopInfoLabels()
{
    DropRunLabels();
    canvas()->update();
}

void PlotMgr::ClearChannelInfo()
{
    delete chALabel;
    chALabel = nullptr;
    delete chBLabel;
    chBLabel = nullptr;
    ClearStartStopInfoLabels();
}
