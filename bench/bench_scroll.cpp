// Moving the chart's X window near the end of a long chart: ReadDataForScrolling on a
// backup file of 10,000,000 rows (several runs), against reading the same rows alone from
// their known byte position, and against a reading that counts lines from the file's start.
// The file is written in pieces with the row index brought up to date after each, as the
// logger does after each write: the first move after the run then costs what later ones
// cost, where an index built only then reads the whole file. The first move is measured
// from a fresh window (the index as the run left it) in several rounds, against the later
// moves of the same round; the median of the rounds' ratios counts. Goals: the first move
// within 2x a later one, and within 1/20 of building the index at the first move (which
// reads the whole file); exits with 1 when one is missed.
//
//   bench_scroll [rows]   (default 10000000)
#include "LoggerMainWindow.h"
#include "Resources.h"
#include "Utility.h"
#include "bench_home.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <vector>

namespace {

constexpr int Runs = 5;
constexpr int WindowRows = 1000;   // rows shown by one X window
constexpr int Moves = 50;          // moves of the window near the end

struct Layout {
    std::vector<int> first;          // first sample number per run
    std::vector<int> rows;           // rows per run
    std::vector<qint64> tailPos;     // byte position of each of the last run's rows
    int tailFrom = 0;                // sample number of tailPos[0]
    std::vector<qint64> linesBefore; // lines before each run's first row
};

void Append(QByteArray &out, qint64 v)
{
    char buf[24];
    const int n = std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(v));
    out.append(buf, n);
}

// Writes the file in the backup layout; remembers where the last rows lie. `written` is
// called after each piece reached the file.
template <typename Written>
bool WriteBackup(const QString &path, qint64 totalRows, Layout &layout, Written written)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray out;
    out.reserve(8 << 20);
    qint64 pos = 0, lines = 0;
    int sample = 1;
    const qint64 perRun = totalRows / Runs;
    for (int r = 0; r < Runs; ++r) {
        const int rows = int(r == Runs - 1 ? totalRows - perRun * (Runs - 1) : perRun);
        sample += r == 0 ? 0 : 25;   // intervals counted between runs
        layout.first.push_back(sample);
        layout.rows.push_back(rows);
        out += "Start Date:,12/07/2026\nStart Time:,08:00:00 AM\nSample Interval:,1ms\n\n"
               "Sample Number,ChA Voltage (mV),ChB Voltage (mV),Memo\n";
        lines += 5;
        layout.linesBefore.push_back(lines);
        if (r == Runs - 1) {
            layout.tailFrom = sample + rows - (Moves + 2) * WindowRows;
        }
        for (int i = 0; i < rows; ++i, ++sample) {
            if (r == Runs - 1 && sample >= layout.tailFrom)
                layout.tailPos.push_back(pos + out.size());
            Append(out, sample);
            out += ',';
            Append(out, (sample * 7) % 2001 - 1000);
            out += ',';
            Append(out, (sample * 13) % 3001 - 1500);
            out += ", \n";
            if (out.size() > (4 << 20)) {
                if (f.write(out) != out.size() || !f.flush())
                    return false;
                pos += out.size();
                out.clear();
                written();
            }
        }
        lines += rows;
        out += "\nStop Date:,12/07/2026\nStop Time:,09:00:00 AM\nTotal Samples:,";
        Append(out, rows);
        out += ',';
        Append(out, rows);
        out += "\nMaximum (mV):,1000,1500\nMinimum (mV):,-1000,-1500\nMissed Samples:,0,0\n\n";
        lines += 8;
    }
    if (f.write(out) != out.size() || !f.flush())
        return false;
    written();
    return true;
}

void Empty(QVector<LoggerData *> *runs)
{
    for (LoggerData *run : *runs)
        for (DataValues *v : {run->chA.values, run->chB.values}) {
            v->xValues.clear();
            v->yValues.clear();
        }
}

size_t RowsHeld(QVector<LoggerData *> *runs)
{
    size_t n = 0;
    for (LoggerData *run : *runs)
        n += run->chA.values->xValues.size();
    return n;
}

}   // namespace

int main(int argc, char **argv)
{
    BenchApp bench(argc, argv);
    if (!bench.Isolated())
        return 1;
    const qint64 totalRows = argc > 1 ? QByteArray(argv[1]).toLongLong() : 10000000;
    if (totalRows < Runs * (Moves + 2) * WindowRows) {
        std::fprintf(stderr, "too few rows\n");
        return 1;
    }

    auto *win = new LoggerMainWindow;
    LoggerWin = win;
    Layout layout;
    QElapsedTimer t;
    t.start();
    double updateMs = 0.0;
    int updates = 0;
    QElapsedTimer u;
    if (!WriteBackup(win->backupFilePath, totalRows, layout, [&] {
            u.start();
            win->backupIndex.Update(win->backupFilePath);
            updateMs += double(u.nsecsElapsed()) / 1e6;
            ++updates;
        })) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(win->backupFilePath));
        return 1;
    }
    std::printf("backup file: %lld rows in %d runs, %.1f MB, written in %.2f s\n",
                static_cast<long long>(totalRows), Runs, double(QFile(win->backupFilePath).size()) / 1e6,
                double(t.elapsed()) / 1000.0);

    auto addRuns = [&](LoggerMainWindow *into) {
        for (int r = 0; r < Runs; ++r) {
            auto *run = new LoggerData;
            run->chA.values = new DataValues;
            run->chB.values = new DataValues;
            run->firstSampleNo = layout.first[size_t(r)];
            run->chA.totalSamples = run->chB.totalSamples = layout.rows[size_t(r)];
            into->runList->append(run);
        }
    };
    addRuns(win);
    const int lastSample = layout.first.back() + layout.rows.back() - 1;

    std::printf("index kept current: %d updates while writing, %.1f ms in all\n", updates, updateMs);

    // First use after the run, from a fresh window whose index is as the run left it,
    // against the later moves of the same window.
    const RowIndex afterRun = win->backupIndex;
    constexpr int FreshRounds = 7;
    constexpr int LaterMoves = 9;
    std::vector<double> firstMoves, laterMoves, firstRatios;
    for (int round = 0; round < FreshRounds + 1; ++round) {   // the first round warms up
        delete win;
        win = new LoggerMainWindow;
        LoggerWin = win;
        win->backupIndex = afterRun;
        addRuns(win);
        t.restart();
        win->ReadDataForScrolling(win->runList, lastSample - WindowRows + 1, lastSample);
        const double first = double(t.nsecsElapsed());
        std::vector<double> later;
        for (int m = 1; m <= LaterMoves; ++m) {
            const int hi = lastSample - m * WindowRows;
            Empty(win->runList);
            t.restart();
            win->ReadDataForScrolling(win->runList, hi - WindowRows + 1, hi);
            later.push_back(double(t.nsecsElapsed()));
        }
        if (round == 0)
            continue;
        firstMoves.push_back(first);
        laterMoves.push_back(Median(later));
        firstRatios.push_back(first / Median(later));
    }
    const double firstMs = Median(firstMoves) / 1e6;
    std::printf("first window from a fresh window (index current): %.2f ms, later moves %.2f ms (medians of %d)\n",
                firstMs, Median(laterMoves) / 1e6, FreshRounds);

    // Moves of the window near the end, through the window's reader.
    size_t rowsIndexed = 0;
    t.restart();
    for (int m = 0; m < Moves; ++m) {
        const int first = layout.tailFrom + m * WindowRows;
        Empty(win->runList);
        win->ReadDataForScrolling(win->runList, first, first + WindowRows - 1);
        rowsIndexed += RowsHeld(win->runList);
    }
    const double indexedNs = double(t.nsecsElapsed()) / Moves;

    // The same rows read alone, from the byte position of each window's first row.
    QFile file(win->backupFilePath);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    size_t rowsAlone = 0;
    t.restart();
    for (int m = 0; m < Moves; ++m) {
        const int first = layout.tailFrom + m * WindowRows;
        qint64 pos = layout.tailPos[size_t(first - layout.tailFrom)];
        Empty(win->runList);
        rowsAlone += size_t(Utility::ReadSamplesFromFile(&file, pos, 0, first + WindowRows - 1, win->runList, true,
                                                         Runs - 1));
    }
    const double aloneNs = double(t.nsecsElapsed()) / Moves;

    // Counting lines from the start of the file to the window (a few moves only).
    const int linearMoves = 3;
    t.restart();
    for (int m = 0; m < linearMoves; ++m) {
        const int first = layout.tailFrom + m * WindowRows;
        const qint64 skip = layout.linesBefore.back() + (first - layout.first.back()) + 1;
        qint64 pos = 0;
        Empty(win->runList);
        Utility::ReadSamplesFromFile(&file, pos, int(skip), first + WindowRows - 1, win->runList, true, Runs - 1);
    }
    const double linearNs = double(t.nsecsElapsed()) / linearMoves;

    std::printf("rows per move: indexed %zu, alone %zu (expected %d)\n", rowsIndexed / Moves, rowsAlone / Moves,
                WindowRows);
    std::printf("move near the end, indexed:          %10.1f us\n", indexedNs / 1e3);
    std::printf("same rows read alone:                %10.1f us\n", aloneNs / 1e3);
    std::printf("counting lines from the file start:  %10.1f us\n", linearNs / 1e3);
    std::printf("ratio indexed / alone:   %.2f\n", indexedNs / aloneNs);
    constexpr double Goal = 2.0;
    const double firstRatio = Median(firstRatios);
    std::printf("ratio first move / later moves: %.2f (goal <= %.1f) %s\n", firstRatio, Goal,
                firstRatio <= Goal ? "ok" : "MISSED");
    // What the index kept current saves: an index built only at the first move reads the
    // whole file. The first move must stay far below that.
    std::vector<double> coldBuilds;
    for (int round = 0; round < 3; ++round) {
        RowIndex cold;
        t.restart();
        cold.Update(win->backupFilePath);
        coldBuilds.push_back(double(t.nsecsElapsed()));
    }
    constexpr double ColdGoal = 0.05;
    const double coldRatio = Median(firstMoves) / Median(coldBuilds);
    std::printf("an index built at the first move instead: %.1f ms (%.0fx a later move)\n",
                Median(coldBuilds) / 1e6, Median(coldBuilds) / indexedNs);
    std::printf("ratio first move / index built at the first move: %.4f (goal <= %.2f) %s\n", coldRatio,
                ColdGoal, coldRatio <= ColdGoal ? "ok" : "MISSED");
    std::printf("ratio from-start / indexed: %.0f\n", linearNs / indexedNs);
    std::printf("index: %zu runs, %zu checkpoints\n", win->backupIndex.Runs().size(),
                [&] {
                    size_t n = 0;
                    for (const RowIndex::Run &r : win->backupIndex.Runs())
                        n += r.checkpoints.size();
                    return n;
                }());

    delete win;
    return firstRatio <= Goal && coldRatio <= ColdGoal ? 0 : 1;
}
