// Shared by the chart tests: a logger window of its own per test, a stopped run stored in
// the backup file as a live chart pages it, and the points a channel's curves draw.
#pragma once

#include <QtTest>

#include "LoggerMainWindow.h"
#include "Resources.h"
#include "Utility.h"

#include <QDir>
#include <QFile>
#include <memory>
#include <qwt_plot_curve.h>

namespace chart {

// Once per test program: the images and the application folder.
inline bool PrepareApplication()
{
    InitResources();
    return QDir().mkpath(QDir::homePath() + "/Documents/KestrimaIII");
}

// A fresh window with no backup file left by the test before.
inline void NewWindow(std::unique_ptr<LoggerMainWindow> &win)
{
    win.reset(new LoggerMainWindow);
    LoggerWin = win.get();
    QFile::remove(win->backupFilePath);
}

// One run of `rows` samples from sample 1 at 1 ms, channel A `perSampleA` n mV and B
// `perSampleB` n mV, in the backup file and in the run list (whose vectors, as after a
// stop, hold nothing yet). False when the file could not be written.
inline bool StoreRun(LoggerMainWindow *win, int rows, double perSampleA, double perSampleB)
{
    LoggerData stored;
    DataValues a, b;
    for (int n = 1; n <= rows; ++n) {
        a.xValues.push_back(n);
        b.xValues.push_back(n);
        a.yValues.push_back(perSampleA * n);
        b.yValues.push_back(perSampleB * n);
        stored.memo.push_back(QString());
    }
    stored.firstSampleNo = 1;
    stored.sampleInterval = 1.0;
    stored.intervalUnit = MilliSeconds;
    stored.startDate = stored.stopDate = "01/02/2024";
    stored.startTime = stored.stopTime = "10:00:00 AM";
    stored.chA.values = &a;
    stored.chB.values = &b;
    stored.chA.totalSamples = stored.chB.totalSamples = rows;
    const QVector<LoggerData *> list{&stored};
    if (Utility::SaveToCSVFormat(win->backupFilePath, &list, false) != 0)
        return false;

    auto *run = new LoggerData;
    run->firstSampleNo = 1;
    run->sampleInterval = 1.0;
    run->intervalUnit = MilliSeconds;
    run->chA.values = new DataValues;
    run->chB.values = new DataValues;
    run->chA.totalSamples = run->chB.totalSamples = rows;
    win->runList->append(run);
    win->maxScroll = rows;
    return true;
}

// X and Y of a channel's curves, in drawing order.
inline QVector<QPointF> Drawn(PlotMgr *chart, PlotMgr::Channel channel)
{
    QVector<QPointF> points;
    for (QwtPlotCurve *curve : chart->Segments(channel))
        for (size_t i = 0; i < curve->dataSize(); ++i)
            points.append(curve->sample(int(i)));
    return points;
}

}   // namespace chart
