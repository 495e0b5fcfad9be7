// Reading a run CSV of 1,000,000 rows into runs, against reading the same
// file's lines with a plain QFile::readLine loop. Goal: within 3x.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

#include "Utility.h"

namespace {

constexpr int Rows = 1000000;
constexpr int Repeats = 3;


bool writeChart(const QString &path)
{
    auto *run = new LoggerData;
    run->startDate = run->stopDate = QStringLiteral("03/04/2024");
    run->startTime = QStringLiteral("09:15:00 AM");
    run->stopTime = QStringLiteral("09:31:40 AM");
    run->sampleInterval = 1.0;
    run->intervalUnit = MilliSeconds;
    run->chA.values = new DataValues;
    run->chB.values = new DataValues;
    for (int i = 0; i < Rows; ++i) {
        run->chA.values->xValues.push_back(i + 1);
        run->chB.values->xValues.push_back(i + 1);
        run->chA.values->yValues.push_back(i % 97 == 0 ? 65535.0 : double((i * 37) % 4000 - 2000));
        run->chB.values->yValues.push_back(double((i * 53) % 1800 - 900));
        run->memo.push_back(i % 1000 == 0 ? QStringLiteral("ChA ADC saturated.") : QStringLiteral(" "));
    }
    run->chA.totalSamples = run->chB.totalSamples = Rows;
    QVector<LoggerData *> runs{run};
    const bool ok = Utility::SaveToCSVFormat(path, &runs, false) == 0;
    DeleteRuns(runs);
    return ok;
}

qint64 plainLines(const QString &path, qint64 *lines)
{
    QElapsedTimer timer;
    timer.start();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    qint64 n = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine();
        n += line.isEmpty() ? 0 : 1;
    }
    *lines = n;
    return timer.nsecsElapsed();
}

qint64 loadRuns(const QString &path, size_t *rows)
{
    QElapsedTimer timer;
    timer.start();
    QVector<LoggerData *> runs;
    if (Utility::LoadValues(path, &runs) != 0 || runs.isEmpty())
        return -1;
    const qint64 ns = timer.nsecsElapsed();
    *rows = runs[0]->chA.values->xValues.size();
    DeleteRuns(runs);
    return ns;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString path = dir.filePath("chart.csv");
    if (!writeChart(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    qint64 bestPlain = -1;
    qint64 bestLoad = -1;
    qint64 lines = 0;
    size_t rows = 0;
    for (int i = 0; i < Repeats; ++i) {
        const qint64 plain = plainLines(path, &lines);
        const qint64 load = loadRuns(path, &rows);
        if (plain < 0 || load < 0) {
            std::fprintf(stderr, "reading failed\n");
            return 1;
        }
        bestPlain = bestPlain < 0 ? plain : std::min(bestPlain, plain);
        bestLoad = bestLoad < 0 ? load : std::min(bestLoad, load);
    }
    const double ratio = double(bestLoad) / double(bestPlain);
    std::printf("file: %lld bytes, %lld lines, %zu rows read\n", static_cast<long long>(QFile(path).size()),
                static_cast<long long>(lines), rows);
    std::printf("QFile::readLine loop: %.1f ms\n", bestPlain / 1e6);
    std::printf("Utility::LoadValues:  %.1f ms\n", bestLoad / 1e6);
    std::printf("ratio: %.2fx (goal: within 3x) %s\n", ratio, ratio <= 3.0 ? "OK" : "SLOWER THAN GOAL");
    return 0;
}
