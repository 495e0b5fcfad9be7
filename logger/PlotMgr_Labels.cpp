// The logger chart's information labels: status, channels, and the start and stop
// labels of the runs.
#include "PlotMgr.h"

#include "ChartText.h"
#include "Utility.h"

#include <QFont>
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

QwtPlotMarker *PlotMgr::NewRunLabel(bool start, double x, const QString &text)
{
    auto *label = new QwtPlotMarker(start ? StartKind : StopKind);
    label->setLinePen(QPen(QBrush(Qt::transparent), 0, Qt::DotLine, Qt::SquareCap, Qt::BevelJoin));
    label->setLineStyle(QwtPlotMarker::VLine);
    label->setLabelAlignment(start ? Qt::AlignRight : Qt::AlignLeft);
    label->setLabel(LabelText(text, QFont::Normal, start ? Qt::darkGreen : Qt::red));
    label->setXValue(x);
    textLabels.append(label);
    label->attach(this);
    label->setVisible(config->showTextLabels);
    return label;
}

// A redraw of every run's labels replaces the labels of that kind: hidden old ones would
// come back as duplicates when the labels are shown again.
void PlotMgr::RemoveRunLabels(bool start)
{
    const QString &kind = start ? StartKind : StopKind;
    QVector<QwtPlotMarker *> kept;
    kept.reserve(textLabels.size());
    for (QwtPlotMarker *label : qAsConst(textLabels)) {
        if (label->title().text() == kind)
            delete label;
        else
            kept.append(label);
    }
    textLabels = kept;
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
        QString body = run->startDate + QLatin1Char('\n');
        if (flags[0])
            body += run->startTime + QLatin1Char('\n');
        if (flags[1])
            body += QStringLiteral("Sample Interval: ") + Number(run->sampleInterval)
                    + QLatin1String(Utility::IntervalUnitText(run->intervalUnit));
        NewRunLabel(true, RunLabelX(*config, *run, run->firstSampleNo), QStringLiteral("Started at: \n") + body);
    }
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

        const ChannelRecord &a = run->chA;
        const ChannelRecord &b = run->chB;
        QString body = run->stopDate + QLatin1Char('\n');
        if (flags[3])
            body += run->stopTime + QLatin1Char('\n');
        if (flags[4])
            body += QStringLiteral("Samples:\nChA: ") + QString::number(a.totalSamples)
                    + QStringLiteral("\nChB: ") + QString::number(b.totalSamples);
        if (flags[5])
            body += QStringLiteral("\nMaximum:\nChA: ") + Number(a.maxValue)
                    + QStringLiteral("mV\nChB: ") + Number(b.maxValue) + QStringLiteral("mV");
        if (flags[6])
            body += QStringLiteral("\nMinimum:\nChA: ") + Number(a.minValue)
                    + QStringLiteral("mV\nChB: ") + Number(b.minValue) + QStringLiteral("mV");
        if (flags[7])
            body += QStringLiteral("\nMissed:\nChA: ") + QString::number(a.missedSamples)
                    + QStringLiteral("\nChB: ") + QString::number(b.missedSamples);
        const double x = RunLabelX(*config, *run, double(run->firstSampleNo) + double(std::max(total, 0)));
        NewRunLabel(false, x, QStringLiteral("Stopped at: \n") + body);
    }
    canvas()->update();
}

void PlotMgr::MakeTextLabelsVisible(bool visible)
{
    for (QwtPlotMarker *label : qAsConst(textLabels))
        label->setVisible(visible);
    canvas()->update();
}

void PlotMgr::DeleteLastStopLabel()
{
    if (textLabels.isEmpty())
        return;
    QwtPlotMarker *label = textLabels.takeLast();
    label->hide();
    delete label;
    canvas()->update();
}

void PlotMgr::ClearStartStopInfoLabels()
{
    qDeleteAll(textLabels);
    textLabels.clear();
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
