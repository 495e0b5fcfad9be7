// Full redraw of a stored run of 2 x 100,000 samples on the logger chart, against a
// bare QwtPlot configured as the chart configures itself (no backing store, an opaque canvas
// that paints its own background, no polygon clipping, canvas aligned to the scales, the
// same grid and scales)
// that is given the same two curves and drawn the same way. Both are warmed up, then
// drawn in alternating order; the ratio is the median of the per-round ratios. Goal: within
// 1.2x; exits with 1 when missed.
#include "PlotMgr.h"
#include "bench_home.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <malloc.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
// Qwt's header uses a QFlags constructor Qt has deprecated.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <qwt_plot_layout.h>
#pragma GCC diagnostic pop

namespace {

constexpr int Samples = 100000;
constexpr int Rounds = 15;
constexpr int WarmRounds = 2;

void FillRun(LoggerData &run, DataValues &a, DataValues &b)
{
    for (int i = 0; i < Samples; ++i) {
        a.xValues.push_back(i + 1);
        b.xValues.push_back(i + 1);
        a.yValues.push_back(4000.0 * std::sin(i * 0.001) + 300.0 * std::sin(i * 0.37));
        b.yValues.push_back(2500.0 * std::cos(i * 0.0007) + 200.0 * std::sin(i * 0.53));
    }
    run.firstSampleNo = 1;
    run.sampleInterval = 1.0;
    run.intervalUnit = MilliSeconds;
    run.chA.values = &a;
    run.chB.values = &b;
    run.chA.totalSamples = run.chB.totalSamples = Samples;
}

}   // namespace

int main(int argc, char **argv)
{
    // Both sides allocate and free buffers of several hundred KB each round; glibc would
    // hand them back to the system and fault them in again, a cost that swings from run
    // to run. Kept in the heap, both measure their drawing.
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TRIM_THRESHOLD, 512 << 20);
    QApplication app(argc, argv);

    ConfigSettings config("Tamberlo.xml");
    config.SetDefaultSettings();
    config.maxSamples = Samples;
    config.xSettings.sampleMin = 0;
    config.xSettings.sampleMax = Samples;

    LoggerData run;
    DataValues a, b;
    FillRun(run, a, b);
    QVector<LoggerData *> runs{&run};

    PlotMgr chart;
    chart.resize(1100, 600);
    chart.Initialize(&config);
    chart.replot();

    // The baseline, set up as PlotMgr::Initialize sets up the chart.
    QwtPlot bare;
    bare.setAutoReplot(false);
    if (auto *canvas = qobject_cast<QwtPlotCanvas *>(bare.canvas())) {
        canvas->setPaintAttribute(QwtPlotCanvas::BackingStore, false);
        canvas->setPaintAttribute(QwtPlotCanvas::Opaque, false);
        // Qt paints nothing under it: the canvas fills its own background.
        canvas->setAttribute(Qt::WA_OpaquePaintEvent, true);
        canvas->setAutoFillBackground(true);
    }
    bare.plotLayout()->setAlignCanvasToScales(true);
    bare.resize(1100, 600);
    bare.setAxisScale(QwtPlot::xBottom, 0, Samples, config.GetXSampleStepSize());
    bare.setAxisMaxMinor(QwtPlot::xBottom, 5);
    bare.setAxisScale(QwtPlot::yLeft, config.ySettings.yMin, config.ySettings.yMax, config.GetYStepSize());
    bare.setCanvasBackground(config.colorSettings.background);
    auto *grid = new QwtPlotGrid();
    grid->setPen(config.colorSettings.gridPen);
    grid->enableXMin(false);
    grid->enableYMin(false);
    grid->attach(&bare);
    bare.replot();

    auto drawChart = [&] {
        QElapsedTimer timer;
        timer.start();
        chart.DisplaySignal(&runs, false);
        chart.replot();
        QPixmap image = chart.grab();
        return timer.nsecsElapsed() / 1e6;
    };
    auto drawBare = [&] {
        QElapsedTimer timer;
        timer.start();
        bare.detachItems(QwtPlotItem::Rtti_PlotCurve, true);
        for (const DataValues *v : {&a, &b}) {
            auto *curve = new QwtPlotCurve();
            curve->setStyle(QwtPlotCurve::Lines);
            curve->setPaintAttribute(QwtPlotCurve::ClipPolygons, false);
            curve->setPen(QPen(v == &a ? config.colorSettings.chAColor : config.colorSettings.chBColor, 0,
                               Qt::SolidLine));
            curve->setSamples(QVector<double>(v->xValues.begin(), v->xValues.end()),
                              QVector<double>(v->yValues.begin(), v->yValues.end()));
            curve->attach(&bare);
        }
        bare.replot();
        QPixmap image = bare.grab();
        return timer.nsecsElapsed() / 1e6;
    };

    std::vector<double> chartMs, bareMs, ratios;
    for (int round = 0; round < WarmRounds + Rounds; ++round) {
        double c, r;
        if (round % 2 == 0) {
            c = drawChart();
            r = drawBare();
        } else {
            r = drawBare();
            c = drawChart();
        }
        if (round >= WarmRounds) {   // the first rounds warm caches, fonts and the allocator
            chartMs.push_back(c);
            bareMs.push_back(r);
            ratios.push_back(c / r);
        }
    }

    std::printf("full redraw of 2 x %d samples (median of %d alternating rounds)\n", Samples, Rounds);
    std::printf("  logger chart  %8.2f ms\n", Median(chartMs));
    std::printf("  equal QwtPlot %8.2f ms\n", Median(bareMs));
    constexpr double Goal = 1.2;
    const double ratio = Median(ratios);
    std::printf("  ratio         %8.2f (goal <= %.1f) %s\n", ratio, Goal, ratio <= Goal ? "ok" : "MISSED");
    return ratio <= Goal ? 0 : 1;
}
