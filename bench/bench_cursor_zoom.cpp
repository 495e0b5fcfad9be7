// Moving a cursor and zooming cost what the X window shows, not the chart's length: the
// same operations, on the same window width near the end of the record, on a chart of
// 1,000,000 rows in 5 runs against a chart of 10,000 rows in 5 runs. Each operation
// includes the canvas repaint it leads to. Both charts are warmed (their row index built),
// the two are alternated, and the median of several rounds is taken. Goal: within 2x for
// each operation; exits with 1 when missed.
//
//   bench_cursor_zoom [rows]   (default 1000000)
#include "LoggerMainWindow.h"
#include "Resources.h"
#include "Utility.h"
#include "bench_home.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWindow>
#include <qwt_plot_canvas.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int Runs = 5;
constexpr int Window = 2000;      // samples shown
constexpr int CursorMoves = 400;  // per round
constexpr int Zooms = 20;         // zoom-in / zoom-out pairs per round
constexpr int Rounds = 7;

struct Chart {
    std::unique_ptr<LoggerMainWindow> win;
    int lastSample = 0;
};

// A live chart whose runs lie in its backup file; the run records hold no rows yet.
bool MakeChart(Chart &chart, const QString &backupPath, int rows)
{
    chart.win.reset(new LoggerMainWindow);
    LoggerMainWindow *win = chart.win.get();
    win->backupFilePath = backupPath;
    ConfigSettings *c = win->config;
    if (c->trackDataLogger)
        c->trackDataLogger = false;
    c->sampleInterval = 1.0;
    c->intervalUnit = MilliSeconds;
    c->maxSamples = 2 * rows;
    c->xSettings.xMode = 0;

    QVector<LoggerData *> stored;
    int sample = 1;
    for (int r = 0; r < Runs; ++r) {
        auto *run = new LoggerData;
        run->chA.values = new DataValues;
        run->chB.values = new DataValues;
        run->firstSampleNo = sample;
        run->sampleInterval = 1.0;
        run->intervalUnit = MilliSeconds;
        run->startDate = run->stopDate = QStringLiteral("12/07/2026");
        run->startTime = run->stopTime = QStringLiteral("08:00:00 AM");
        const int n = rows / Runs;
        for (int i = 0; i < n; ++i, ++sample) {
            run->chA.values->xValues.push_back(sample);
            run->chB.values->xValues.push_back(sample);
            run->chA.values->yValues.push_back((sample * 7) % 2001 - 1000);
            run->chB.values->yValues.push_back((sample * 13) % 3001 - 1500);
            run->memo.push_back(QString());
        }
        run->chA.totalSamples = run->chB.totalSamples = n;
        stored.append(run);
        sample += 25;   // intervals counted between runs
    }
    if (Utility::SaveToCSVFormat(backupPath, &stored, false) != 0)
        return false;
    for (LoggerData *run : stored) {
        // The chart's records: counts only, the rows are paged in by the X window.
        run->chA.values->xValues.clear();
        run->chA.values->yValues.clear();
        run->chB.values->xValues.clear();
        run->chB.values->yValues.clear();
        run->memo.clear();
        win->runList->append(run);
    }
    chart.lastSample = sample - 25 - 1;
    win->maxScroll = chart.lastSample;
    win->resize(1400, 900);
    win->show();
    QElapsedTimer exposed;
    exposed.start();
    while ((!win->windowHandle() || !win->windowHandle()->isExposed()) && exposed.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    // The window near the end; the first read builds the row index.
    XSettings xs = c->xSettings;
    xs.sampleMin = chart.lastSample - Window;
    xs.sampleMax = chart.lastSample;
    win->ApplyXSettings(xs, true);
    win->plotMgr->dataCursorChannel = 0;
    win->plotMgr->MakeDataCursorVisible(true);
    size_t held = 0;
    for (const LoggerData *run : *win->runList)
        held += run->chA.values->xValues.size();
    std::printf("%d rows: file %.1f MB, %zu rows in the window\n", rows,
                double(QFile(backupPath).size()) / 1e6, held);
    return true;
}

double CursorRound(Chart &chart)
{
    PlotMgr *plot = chart.win->plotMgr;
    const XSettings &xs = chart.win->config->xSettings;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < CursorMoves; ++i) {
        const double x = xs.sampleMin + (i * 37) % (xs.sampleMax - xs.sampleMin);
        plot->MoveDataCursor(QPointF(x, 0.0));
        plot->canvas()->repaint();
    }
    return double(t.nsecsElapsed()) / CursorMoves;
}

double ZoomRound(Chart &chart)
{
    PlotMgr *plot = chart.win->plotMgr;
    const double centre = chart.lastSample - Window / 2;
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < Zooms; ++i) {
        plot->ZoomIn(QPointF(centre, 0.0));
        plot->canvas()->repaint();
        plot->ZoomOut(QPointF(centre, 0.0));
        plot->canvas()->repaint();
    }
    return double(t.nsecsElapsed()) / (2 * Zooms);
}

}   // namespace

int main(int argc, char **argv)
{
    BenchApp bench(argc, argv);
    if (!bench.Isolated())
        return 1;
    const int bigRows = argc > 1 ? QByteArray(argv[1]).toInt() : 1000000;
    const int smallRows = 10000;
    if (bigRows < smallRows) {
        std::fprintf(stderr, "at least %d rows\n", smallRows);
        return 1;
    }

    Chart big, small;
    QElapsedTimer t;
    t.start();
    if (!MakeChart(big, bench.FilePath(QStringLiteral("big.csv")), bigRows)
        || !MakeChart(small, bench.FilePath(QStringLiteral("small.csv")), smallRows)) {
        std::fprintf(stderr, "cannot write the charts\n");
        return 1;
    }
    std::printf("charts: %d and %d rows in %d runs, window %d samples (set up in %.1f s)\n",
                bigRows, smallRows, Runs, Window, double(t.elapsed()) / 1000.0);

    // Warm both, then alternate.
    CursorRound(big), CursorRound(small), ZoomRound(big), ZoomRound(small);
    std::vector<double> cursorRatio, zoomRatio, cursorBig, cursorSmall, zoomBig, zoomSmall;
    for (int r = 0; r < Rounds; ++r) {
        const bool bigFirst = r % 2 == 0;
        const double cb = bigFirst ? CursorRound(big) : 0.0;
        const double cs = CursorRound(small);
        const double cb2 = bigFirst ? cb : CursorRound(big);
        const double zb = bigFirst ? ZoomRound(big) : 0.0;
        const double zs = ZoomRound(small);
        const double zb2 = bigFirst ? zb : ZoomRound(big);
        cursorBig.push_back(cb2), cursorSmall.push_back(cs), cursorRatio.push_back(cb2 / cs);
        zoomBig.push_back(zb2), zoomSmall.push_back(zs), zoomRatio.push_back(zb2 / zs);
    }
    constexpr double Goal = 2.0;
    const double cursor = Median(cursorRatio), zoom = Median(zoomRatio);
    std::printf("cursor move + repaint: %d rows %8.1f us, %d rows %8.1f us, ratio %.2f (goal <= %.0f) %s\n",
                bigRows, Median(cursorBig) / 1e3, smallRows, Median(cursorSmall) / 1e3, cursor, Goal,
                cursor <= Goal ? "ok" : "MISSED");
    std::printf("zoom in/out + repaint: %d rows %8.1f us, %d rows %8.1f us, ratio %.2f (goal <= %.0f) %s\n",
                bigRows, Median(zoomBig) / 1e3, smallRows, Median(zoomSmall) / 1e3, zoom, Goal,
                zoom <= Goal ? "ok" : "MISSED");
    return cursor <= Goal && zoom <= Goal ? 0 : 1;
}
