// Full redraw of a stored run of 2 x 100,000 samples on the logger chart, against a
// bare QwtPlot that is given the same two curves and drawn the same way.
#include "PlotMgr.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <qwt_plot_curve.h>

namespace {

constexpr int Samples = 100000;
constexpr int Rounds = 10;

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

double MedianMs(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}   // namespace

int main(int argc, char **argv)
{
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

    QwtPlot bare;
    bare.resize(1100, 600);
    bare.setAxisScale(QwtPlot::xBottom, 0, Samples);
    bare.setAxisScale(QwtPlot::yLeft, config.ySettings.yMin, config.ySettings.yMax);
    bare.setCanvasBackground(config.colorSettings.background);
    bare.replot();

    std::vector<double> chartMs, bareMs;
    QElapsedTimer timer;
    for (int round = 0; round < Rounds + 1; ++round) {
        timer.start();
        chart.DisplaySignal(&runs, false);
        chart.replot();
        QPixmap chartImage = chart.grab();
        const double c = timer.nsecsElapsed() / 1e6;

        timer.start();
        bare.detachItems(QwtPlotItem::Rtti_PlotCurve, true);
        for (const DataValues *v : {&a, &b}) {
            auto *curve = new QwtPlotCurve();
            curve->setPen(QPen(v == &a ? config.colorSettings.chAColor : config.colorSettings.chBColor, 0));
            curve->setSamples(QVector<double>(v->xValues.begin(), v->xValues.end()),
                              QVector<double>(v->yValues.begin(), v->yValues.end()));
            curve->attach(&bare);
        }
        bare.replot();
        QPixmap bareImage = bare.grab();
        const double r = timer.nsecsElapsed() / 1e6;
        if (round > 0) {   // the first round warms caches and fonts up
            chartMs.push_back(c);
            bareMs.push_back(r);
        }
    }

    const double chartMedian = MedianMs(chartMs), bareMedian = MedianMs(bareMs);
    std::printf("full redraw of 2 x %d samples (median of %d)\n", Samples, Rounds);
    std::printf("  logger chart  %8.2f ms\n", chartMedian);
    std::printf("  bare QwtPlot  %8.2f ms\n", bareMedian);
    std::printf("  ratio         %8.2f (goal <= 1.5)\n", chartMedian / bareMedian);
    return 0;
}
