// Chart files, each against a baseline doing the same work on the same bytes:
//  1. the CSV reader on decimals as the logger writes them (9.76563, -4990.23) against a
//     plain getline + strtod loop over the same file. Goal: within 1.2x.
//  2. opening a 1,000,000-row chart with its memo file and drawing it, against LoadValues
//     alone on the same file. Goal: within 1.5x.
//  3. saving a 10,000,000-row chart as CSV, against a plain copy of the same bytes synced
//     to the disk. Goal: within 1.5x.
//  4. reading a 10,000,000-row chart against reading a 1,000,000-row one: the time grows
//     with the rows. Goal: within 11x.
//  5. saving a 1,000,000-row chart that the backup could not take (its rows are written
//     out), against a plain copy of the same chart synced to the disk. Goal: within 5x.
//  6. opening and drawing a chart of 100,000 runs of 3 rows, against LoadValues alone on
//     the same file. Goal: within 3x.
// Every measurement is warmed, baseline and subject alternate, the median of the rounds
// counts. Exits with 1 when a goal is missed, and when an open or a save fails in any
// round: a message shown, an open that does not give the source's runs, or a saved file
// whose rows (or, for a copy, bytes) are not the source's.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QMessageBox>
#include <QPixmap>
#include <QTimer>
#include <malloc.h>
#include <sys/resource.h>

#include "ChartFileDialogs.h"
#include "LoggerMainWindow.h"
#include "MainWindow.h"
#include "Resources.h"
#include "ScopeGlobals.h"
#include "Utility.h"
#include "bench_home.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

constexpr int Rounds = 5;
int missed = 0;   // goals missed, and opens or saves that failed

void Fault(const char *what, const QString &detail = QString())
{
    std::printf("FAILED: %s %s\n", what, qPrintable(detail));
    std::fflush(stdout);
    ++missed;
}

// A message the logger shows (a failed open or save) would wait for a click: it is
// counted as a fault and closed.
void WatchMessages(QObject *owner)
{
    auto *timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, [] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            Fault("message shown:", box->text());
            box->done(0);
        }
    });
    timer->start(20);
}

// Rows of a run CSV: the lines between a run's column titles and the blank line after them.
qint64 RowCount(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    qint64 rows = 0;
    bool inRows = false;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine(1 << 16);
        if (line.startsWith("Sample Number"))
            inRows = true;
        else if (line.trimmed().isEmpty())
            inRows = false;
        else if (inRows)
            ++rows;
    }
    return rows;
}

// Runs baseline and subject alternately, in turns of order, after one warm-up each; prints
// and returns the ratio of the medians.
double Compare(const char *what, double goal, const std::function<double()> &baseline,
               const std::function<double()> &subject, int rounds = Rounds)
{
    baseline();
    subject();
    std::vector<double> b, s;
    for (int i = 0; i < rounds; ++i) {
        // Which goes first changes every round: neither always finds the caches of the other.
        if (i % 2 == 0) {
            b.push_back(baseline());
            s.push_back(subject());
        } else {
            s.push_back(subject());
            b.push_back(baseline());
        }
    }
    const double ratio = Median(s) / Median(b);
    std::printf("%-58s baseline %8.1f ms  subject %8.1f ms  ratio %.2fx (goal <= %.1fx) %s\n", what,
                Median(b) * 1e3, Median(s) * 1e3, ratio, goal, ratio <= goal ? "ok" : "MISSED");
    std::fflush(stdout);
    if (!(ratio <= goal))
        ++missed;
    return ratio;
}

double Elapsed(const QElapsedTimer &t)
{
    return double(t.nsecsElapsed()) * 1e-9;
}

// A run CSV as the logger writes it, produced row by row so that no chart is held in
// memory: test-mode codes at 9.765625 mV each, six significant digits.
bool WriteChartFile(const QString &path, qint64 rows)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray out = "Start Date:,03/04/2026\nStart Time:,09:15:00 AM\nSample Interval:,1ms\n\n"
                     "Sample Number,ChA Voltage (mV),ChB Voltage (mV),Memo\n";
    for (qint64 i = 0; i < rows; ++i) {
        const int code = int(i % 1024);
        out += QByteArray::number(i + 1);
        out += ',';
        out += QByteArray::number(double(code - 512) * 9.765625, 'g', 6);
        out += ',';
        out += QByteArray::number(double(511 - code) * 9.765625, 'g', 6);
        out += i % 5000 == 0 ? ",ChA ADC saturated.\n" : ", \n";
        if (out.size() > (1 << 20)) {
            if (file.write(out) != out.size())
                return false;
            out.clear();
        }
    }
    out += "\nStop Date:,03/04/2026\nStop Time:,09:31:40 AM\nTotal Samples:,";
    out += QByteArray::number(rows) + ',' + QByteArray::number(rows);
    out += "\nMaximum (mV):,4990.23,4990.23\nMinimum (mV):,-5000,-5000\nMissed Samples:,0,0\n\n";
    return file.write(out) == out.size();
}

// A chart of many short runs, as the logger writes a run per Start and Stop.
bool WriteManyRunsFile(const QString &path, int runs, int rowsPerRun)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray out;
    qint64 sample = 1;
    for (int r = 0; r < runs; ++r) {
        out += "Start Date:,03/04/2026\nStart Time:,09:15:00 AM\nSample Interval:,1ms\n\n"
               "Sample Number,ChA Voltage (mV),ChB Voltage (mV),Memo\n";
        for (int i = 0; i < rowsPerRun; ++i, ++sample) {
            const int code = int(sample % 1024);
            out += QByteArray::number(sample);
            out += ',';
            out += QByteArray::number(double(code - 512) * 9.765625, 'g', 6);
            out += ',';
            out += QByteArray::number(double(511 - code) * 9.765625, 'g', 6);
            out += ", \n";
        }
        out += "\nStop Date:,03/04/2026\nStop Time:,09:15:01 AM\nTotal Samples:,";
        out += QByteArray::number(rowsPerRun) + ',' + QByteArray::number(rowsPerRun);
        out += "\nMaximum (mV):,4990.23,4990.23\nMinimum (mV):,-5000,-5000\nMissed Samples:,0,0\n\n";
        sample += 7;   // intervals counted while stopped
        if (out.size() > (1 << 20)) {
            if (file.write(out) != out.size())
                return false;
            out.clear();
        }
    }
    return file.write(out) == out.size();
}

bool WriteMemoFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray out = "Memo Label,Memo X,Memo Y,\n";
    for (int i = 0; i < 200; ++i)
        out += "note " + QByteArray::number(i) + ',' + QByteArray::number(i * 4000 + 17) + ",12.5,\n";
    return file.write(out) == out.size();
}

double PlainGetlineStrtod(const QString &path)
{
    QElapsedTimer t;
    t.start();
    std::ifstream in(QFile::encodeName(path).constData());
    std::string line;
    double sum = 0.0;
    while (std::getline(in, line)) {
        const char *p = line.c_str();
        char *end = nullptr;
        const double n = std::strtod(p, &end);
        if (end == p || *end != ',')
            continue;   // not a row
        const double a = std::strtod(end + 1, &end);
        const double b = *end == ',' ? std::strtod(end + 1, &end) : 0.0;
        sum += n + a + b;
    }
    const double s = Elapsed(t);
    if (sum == 42.0)
        std::printf(" ");   // keeps the loop
    return s;
}

double LoadOnly(const QString &path)
{
    QElapsedTimer t;
    t.start();
    QVector<LoggerData *> runs;
    const int result = Utility::LoadValues(path, &runs);
    const double s = Elapsed(t);
    if (result != 0 || runs.isEmpty())
        Fault("LoadValues", path);
    DeleteRuns(runs);
    return s;
}

double PlainCopy(const QString &from, const QString &to)
{
    QFile::remove(to);
    QElapsedTimer t;
    t.start();
    QFile in(from);
    QFile out(to);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        Fault("plain copy", to);
        return -1.0;
    }
    std::vector<char> buf(1 << 20);
    bool ok = true;
    for (qint64 n; (n = in.read(buf.data(), qint64(buf.size()))) > 0;)
        ok = out.write(buf.data(), n) == n && ok;
    // On the disk, as a save puts its file before the rename.
    ok = out.flush() && ::fdatasync(out.handle()) == 0 && ok;
    out.close();
    const double s = Elapsed(t);
    if (!ok || out.size() != in.size())
        Fault("plain copy", to);
    return s;
}

}   // namespace

int main(int argc, char **argv)
{
    // Every large list gets fresh memory from the system, as on a chart's first opening:
    // otherwise glibc keeps lists up to 32 MB in its heap and hands them out again already
    // faulted in, which a 1M-row load fits and a 10M-row one does not.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    BenchApp bench(argc, argv);
    if (!bench.Isolated())
        return 1;
    QObject watchOwner;
    WatchMessages(&watchOwner);
    const QString folder = bench.FilePath(QStringLiteral("charts/"));
    QDir().mkpath(folder);

    // 1. The reader's decimal path.
    const QString decimals = folder + QStringLiteral("decimals.csv");
    if (!WriteChartFile(decimals, 1000000)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(decimals));
        return 1;
    }
    Compare("CSV reader, 1M decimal rows vs getline + strtod", 1.2,
            [&] { return PlainGetlineStrtod(decimals); }, [&] { return LoadOnly(decimals); });

    // 2. Opening and drawing a chart with its memo file.
    w = new MainWindow();
    w->LoggerModeFunc();
    LoggerMainWindow *win = LoggerWin;
    if (!win)
        return 1;
    const QString chart = folder + QStringLiteral("chart.csv");
    QFile::copy(decimals, chart);
    WriteMemoFile(folder + QStringLiteral("chart_Memo.csv"));
    Compare("open + draw 1M-row chart with memo vs LoadValues", 1.5, [&] { return LoadOnly(chart); },
            [&] {
                // As the Load button does, the previous chart is freed once the new one
                // is read: inside the timer.
                QElapsedTimer t;
                t.start();
                const int result = win->OpenFile(chart);
                const double s = Elapsed(t);
                if (result != 0 || win->runList->size() != 1)
                    Fault("open", chart);
                return s;
            });
    win->ClearLoggerData();

    // 3. Saving a 10M-row chart: the backup holds it, the save copies it.
    const QString big = win->backupFilePath;
    if (!WriteChartFile(big, 10000000)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(big));
        return 1;
    }
    auto *run = new LoggerData;   // what the chart keeps in memory: the run's counts
    run->chA.values = new DataValues;
    run->chB.values = new DataValues;
    run->chA.totalSamples = run->chB.totalSamples = 10000000;
    win->runList->append(run);
    const QString saved = folder + QStringLiteral("saved.csv");
    ChartFileDialogs::Instance().save = [&](QWidget *, const QString &, const QString &, const QString &,
                                            QString *filter) {
        *filter = QStringLiteral("CSV (*.csv)");
        return saved;
    };
    // A save that copies the backup gives the source's bytes; one that writes the rows out
    // gives the source's rows.
    auto save = [&](const QString &source, qint64 sourceRows) {
        QFile::remove(saved);
        QElapsedTimer t;
        t.start();
        QMetaObject::invokeMethod(win, "on_SaveButton_clicked", Qt::DirectConnection);
        const double s = Elapsed(t);
        if (sourceRows < 0 ? QFileInfo(saved).size() != QFileInfo(source).size()
                           : RowCount(saved) != sourceRows)
            Fault("save incomplete", saved);
        return s;
    };
    const QString copied = folder + QStringLiteral("copy.csv");
    Compare("save 10M-row chart as CSV vs plain copy", 1.5, [&] { return PlainCopy(big, copied); },
            [&] { return save(big, -1); });
    win->ClearLoggerData();

    // 4. Reading grows with the rows: 10M against 1M (one chart in memory at a time).
    Compare("LoadValues 10M rows vs 1M rows", 11.0, [&] { return LoadOnly(decimals); },
            [&] { return LoadOnly(big); });
    {
        QVector<LoggerData *> runs;
        Utility::LoadValues(big, &runs);
        rusage use {};
        getrusage(RUSAGE_SELF, &use);
        std::printf("%-58s peak memory %.0f MB, file %.0f MB\n", "", double(use.ru_maxrss) / 1024.0,
                    double(QFileInfo(big).size()) / 1e6);
        DeleteRuns(runs);
    }
    QFile::remove(big);

    // 5. Saving a chart that the backup could not take when it was opened (its folder was
    // missing then): the chart's rows are written out.
    const QString backup = win->backupFilePath;
    win->backupFilePath = folder + QStringLiteral("missing/tamberlo_backup.csv");
    const int opened = win->OpenFile(chart);
    win->backupFilePath = backup;
    if (opened != 0 || win->runList->size() != 1) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(chart));
        return 1;
    }
    const qint64 chartRows = RowCount(chart);
    if (chartRows != 1000000)
        Fault("rows of the source", QString::number(chartRows));
    Compare("save 1M-row chart the backup could not take vs plain copy", 5.0,
            [&] { return PlainCopy(chart, copied); }, [&] { return save(chart, chartRows); });
    win->ClearLoggerData();
    QFile::remove(saved);
    QFile::remove(copied);

    // 6. A chart of 100,000 short runs: opened and drawn against read alone.
    const QString many = folder + QStringLiteral("many.csv");
    if (!WriteManyRunsFile(many, 100000, 3)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(many));
        return 1;
    }
    Compare("open + draw 100,000 runs of 3 rows vs LoadValues", 3.0, [&] { return LoadOnly(many); },
            [&] {
                QElapsedTimer t;
                t.start();
                const int result = win->OpenFile(many);
                QPixmap image = win->plotMgr->grab();
                const double s = Elapsed(t);
                if (result != 0 || win->runList->size() != 100000)
                    Fault("open", many);
                return s;
            });
    win->ClearLoggerData();
    QFile::remove(many);

    delete w;
    w = nullptr;
    if (missed)
        std::printf("%d goal(s) missed or open/save failures\n", missed);
    return missed ? 1 : 0;
}
