// Feeds arbitrary bytes, as a file, to the run-CSV reader, the memo-CSV reader
// and the paging reader in both modes.
#include <QFile>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <qwt_plot_marker.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "Utility.h"

namespace {

QString *inputPath = nullptr;


void checkAt(bool ok, int line)
{
    if (!ok) {
        std::fprintf(stderr, "check failed at line %d\n", line);
        std::abort();
    }
}
#define check(ok) checkAt((ok), __LINE__)

// Values are written with six significant digits, sample numbers as whole numbers.
bool close(double a, double b, double absolute)
{
    if (a == b || (std::isnan(a) && std::isnan(b)))
        return true;
    return std::fabs(a - b) <= std::max(absolute, 1e-5 * std::max(std::fabs(a), std::fabs(b)));
}

// Every row of a run holds a sample number, a memo and a value for each channel the run
// has (a channel not logged has none): the vectors stay in step, whatever the input. No
// row comes before the one above it (a row of an earlier writer may repeat its number).
bool consistent(const LoggerData &d)
{
    const std::vector<double> &x = d.chA.values->xValues;
    const size_t n = x.size();
    const size_t ya = d.chA.values->yValues.size(), yb = d.chB.values->yValues.size();
    return d.chB.values->xValues.size() == n && d.memo.size() == n && (ya == n || ya == 0)
           && (yb == n || yb == 0) && std::adjacent_find(x.begin(), x.end(), std::greater<double>()) == x.end();
}

// The runs read back hold what was written: the same rows, values and memos, per run.
// `exact` once the numbers have been through the writer already (a second round trip
// must change nothing).
void checkSame(const QVector<LoggerData *> &a, const QVector<LoggerData *> &b, bool exact)
{
    check(a.size() == b.size());
    for (int r = 0; r < a.size(); ++r) {
        const LoggerData &x = *a[r], &y = *b[r];
        check(x.firstSampleNo == y.firstSampleNo || !exact);
        check(x.intervalUnit == y.intervalUnit);
        check(close(x.sampleInterval, y.sampleInterval, exact ? 0.0 : 1e-9));
        if (exact)
            check(x.startDate == y.startDate && x.startTime == y.startTime && x.memo == y.memo);
        check(x.memo.size() == y.memo.size());
        for (const auto ch : {&LoggerData::chA, &LoggerData::chB}) {
            const DataValues &u = *(x.*ch).values, &v = *(y.*ch).values;
            check(u.xValues.size() == v.xValues.size() && u.yValues.size() == v.yValues.size());
            for (size_t i = 0; i < u.xValues.size(); ++i)
                check(close(u.xValues[i], v.xValues[i], exact ? 0.0 : 1.0));
            for (size_t i = 0; i < u.yValues.size(); ++i)
                check(exact ? close(u.yValues[i], v.yValues[i], 0.0) : close(u.yValues[i], v.yValues[i], 1e-9));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static int argc = 1;
    static char name[] = "fuzz_csv_readers";
    static char *argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
    static QTemporaryDir dir;
    static QString path = dir.filePath("input.csv");
    inputPath = &path;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    {
        QFile out(*inputPath);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        out.write(reinterpret_cast<const char *>(data), qint64(size));
    }

    QVector<LoggerData *> runs;
    check(Utility::LoadValues(*inputPath, &runs) == 0);
    for (const LoggerData *run : runs)
        check(run && run->chA.values && run->chB.values && run->drawState == -1 && consistent(*run));
    // What was read can be written and read again, run for run.
    const QString again = *inputPath + ".again";
    check(Utility::SaveToCSVFormat(again, &runs, false) == 0);
    QVector<LoggerData *> reread;
    check(Utility::LoadValues(again, &reread) == 0);
    checkSame(runs, reread, false);
    check(Utility::SaveToCSVFormat(again, &reread, false) == 0);
    QVector<LoggerData *> third;
    check(Utility::LoadValues(again, &third) == 0);
    checkSame(reread, third, true);
    DeleteRuns(third);
    DeleteRuns(reread);
    DeleteRuns(runs);

    QVector<QwtPlotMarker *> markers;
    check(Utility::LoadMemoValues(*inputPath, &markers) == 0);

    // Lines ended by CR LF or a lone CR read as LF-ended ones. (A record near the 64 KB
    // limit may pass it only with the longer ends: small inputs only.)
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    if (!bytes.contains('\r') && size < 60000) {
        QVector<LoggerData *> lf;
        check(Utility::LoadValues(*inputPath, &lf) == 0);
        for (const char *end : {"\r\n", "\r"}) {
            QByteArray other = bytes;
            other.replace('\n', end);
            const QString otherPath = *inputPath + ".ends";
            {
                QFile out(otherPath);
                check(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
                out.write(other);
            }
            QVector<LoggerData *> read;
            check(Utility::LoadValues(otherPath, &read) == 0);
            check(read.size() == lf.size());
            for (int r = 0; r < lf.size(); ++r)
                for (const auto ch : {&LoggerData::chA, &LoggerData::chB})
                    check((lf[r]->*ch).values->xValues == (read[r]->*ch).values->xValues
                          && (lf[r]->*ch).values->yValues == (read[r]->*ch).values->yValues);
            DeleteRuns(read);
            QVector<QwtPlotMarker *> otherMarkers;
            check(Utility::LoadMemoValues(otherPath, &otherMarkers) == 0);
            check(otherMarkers.size() == markers.size());
            for (int i = 0; i < markers.size(); ++i) {
                QString label = otherMarkers[i]->label().text();
                label.replace(QLatin1String(end), QLatin1String("\n"));
                check(label == markers[i]->label().text());
                check(otherMarkers[i]->value() == markers[i]->value()
                      || (std::isnan(otherMarkers[i]->xValue()) && std::isnan(markers[i]->xValue())));
            }
            qDeleteAll(otherMarkers);
        }
        DeleteRuns(lf);
    }
    qDeleteAll(markers);

    QFile file(*inputPath);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const int skip = size > 0 ? data[0] % 16 : 0;
    const int count = size > 1 ? 1 + data[1] * 8 : 100;
    const bool byRun = size > 2 && (data[2] & 1);
    const int runIndex = size > 3 ? data[3] % 3 : 0;
    QVector<LoggerData *> pages;
    for (int i = 0; i < 3; ++i) {
        auto *run = new LoggerData;
        run->chA.values = new DataValues;
        run->chB.values = new DataValues;
        pages.append(run);
    }
    qint64 pos = 0;
    for (int pass = 0; pass < 64; ++pass) {
        const qint64 before = pos;
        const int rows = Utility::ReadSamplesFromFile(&file, pos, pass == 0 ? skip : 0, count, &pages, byRun, runIndex);
        check(rows >= 0 && pos >= before && pos <= qint64(size));
        check(file.pos() == 0);
        if (pos == before)
            break;
    }
    for (const LoggerData *run : pages) {
        check(run->chA.values->xValues.size() == run->chA.values->yValues.size());
        check(run->memo.size() == run->chB.values->yValues.size());
        check(run->chB.values->xValues == run->chA.values->xValues);
    }
    DeleteRuns(pages);
    return 0;
}
