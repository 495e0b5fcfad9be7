// Run and memo CSV files written and read back, runs cut off by a crash, and
// files that are not what they should be.
#include <QtTest>

#include "test_home.h"
#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <qwt_plot_marker.h>

#include "RowIndex.h"
#include "Utility.h"
#include "test_utility_support.h"

#include <sys/resource.h>

namespace {

void compareRuns(const LoggerData *a, const LoggerData *b)
{
    QCOMPARE(a->startDate, b->startDate);
    QCOMPARE(a->startTime, b->startTime);
    QCOMPARE(a->stopDate, b->stopDate);
    QCOMPARE(a->stopTime, b->stopTime);
    QCOMPARE(a->sampleInterval, b->sampleInterval);
    QCOMPARE(int(a->intervalUnit), int(b->intervalUnit));
    QCOMPARE(a->firstSampleNo, b->firstSampleNo);
    for (auto ch : {&LoggerData::chA, &LoggerData::chB}) {
        QCOMPARE((a->*ch).totalSamples, (b->*ch).totalSamples);
        QCOMPARE((a->*ch).minValue, (b->*ch).minValue);
        QCOMPARE((a->*ch).maxValue, (b->*ch).maxValue);
        QCOMPARE((a->*ch).missedSamples, (b->*ch).missedSamples);
        QCOMPARE((a->*ch).values->xValues, (b->*ch).values->xValues);
        QCOMPARE((a->*ch).values->yValues, (b->*ch).values->yValues);
    }
}

} // namespace

class TestUtilityCsv : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }

private slots:
    void oneRunBothChannels()
    {
        LoggerData *run = newRun(1, 2);
        run->chA.values->yValues = {12, 65535};
        run->chB.values->yValues = {-3.25, 100000};
        run->memo = {"ChA ADC saturated.ChB ADC saturated.", " "};
        run->chA.missedSamples = 1;
        QVector<LoggerData *> runs{run};
        QCOMPARE(Utility::SaveToCSVFormat(path("one.csv"), &runs, false), 0);

        QVector<LoggerData *> back;
        QCOMPARE(Utility::LoadValues(path("one.csv"), &back), 0);
        QCOMPARE(back.size(), 1);
        compareRuns(back[0], run);
        QCOMPARE(back[0]->dataUnit, QString("mV"));
        QCOMPARE(back[0]->memo, run->memo);
        // A loaded chart is marked for the chart code and the writer.
        QCOMPARE(back[0]->drawState, -1);
        QCOMPARE(back[0]->drawTicks, -1);
        DeleteRuns(back);
        DeleteRuns(runs);
    }

    // The rows' numbers are written as they always were: values with the text
    // QByteArray::number(v, 'g', 6) gives (whole ones below a million as integers), sample
    // numbers whole. Long saves (which keep the texts of repeated values) and short ones alike.
    void rowTextsAsBefore()
    {
        std::vector<double> values = {65535, -65535, 0.0, -0.0, 9.765625, -9.765625, 19.53125, 123456.5,
                                      -123456.5, 999999.5, 9999995, 1e6, 1234567, 0.0001, 0.00001234565,
                                      1e-300, -1.5e-7, 4.9e-324, 1e300, 0.1, 2.5, 4990.234375, -5000.0,
                                      1.7976931348623157e308, std::nan(""), HUGE_VAL, -HUGE_VAL};
        quint64 seed = 12345;
        for (int i = 0; i < 30000; ++i) {
            seed = seed * 6364136223846793005ull + 1442695040888963407ull;
            const int code = int(seed >> 54) - 512;
            values.push_back(code * 9.765625);
            values.push_back(code * 0.1953125 / 3.0);
            values.push_back(std::ldexp(double(qint64(seed >> 20) - (qint64(1) << 43)), int(seed % 90) - 60));
            double any;
            std::memcpy(&any, &seed, sizeof any);
            values.push_back(any);
        }
        auto oldText = [](double v) {
            if (v != 0.0 && std::fabs(v) < 1e6 && v == std::trunc(v))
                return QByteArray::number(qint64(v));
            return QByteArray::number(v, 'g', 6);
        };
        // Sample numbers that count up across digit counts, jump, and run below zero.
        std::vector<double> numbers;
        for (size_t i = 0; i < values.size(); ++i)
            numbers.push_back(i < 2000 ? double(i) + 8 : i < 2010 ? -5.0 + double(i - 2000) : double(i) * 7 + 0.5);
        for (size_t rows : {values.size(), size_t(40)}) {
            DataValues a, b;
            a.xValues.assign(numbers.begin(), numbers.begin() + long(rows));
            a.yValues.assign(values.begin(), values.begin() + long(rows));
            b.xValues = a.xValues;
            b.yValues.assign(values.rbegin(), values.rbegin() + long(rows));
            std::vector<QString> memo(rows, QStringLiteral(" "));
            memo[1] = memo[2] = QStringLiteral("ChA ADC saturated.");
            memo[3] = QString();
            QFile file(path("texts.csv"));
            QVERIFY(file.open(QIODevice::ReadWrite | QIODevice::Truncate));
            QCOMPARE(Utility::SaveLoggerData(&file, &a, &b, memo, int(rows)), 0);
            file.seek(0);
            const QList<QByteArray> lines = file.readAll().split('\n');
            QCOMPARE(size_t(lines.size()), rows + 1);
            for (size_t i = 0; i < rows; ++i) {
                const QByteArray expected = QByteArray::number(std::llround(a.xValues[i])) + ','
                                            + oldText(a.yValues[i]) + ',' + oldText(b.yValues[i]) + ','
                                            + (i == 1 || i == 2 ? "ChA ADC saturated." : " ");
                if (lines[int(i)] != expected)
                    QFAIL(qPrintable(QStringLiteral("row %1: %2 instead of %3")
                                         .arg(i).arg(QString(lines[int(i)]), QString(expected))));
            }
        }
    }

    // Long runs, which are read into lists sized from the file, read back whole: one
    // after another in one file and cut off by a crash.
    void longRunsReadWhole()
    {
        QVector<LoggerData *> runs{newRun(1, 9000), newRun(9100, 2500, true, false), newRun(11700, 6000)};
        QCOMPARE(Utility::SaveToCSVFormat(path("long.csv"), &runs, false), 0);
        QVector<LoggerData *> back;
        QCOMPARE(Utility::LoadValues(path("long.csv"), &back), 0);
        QCOMPARE(back.size(), 3);
        for (int r = 0; r < 3; ++r) {
            compareRuns(back[r], runs[r]);
            QVERIFY(back[r]->chA.values->xValues.capacity() < 4 * back[r]->chA.values->xValues.size());
        }
        DeleteRuns(back);

        QFile file(path("long.csv"));
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.resize(file.size() / 3));   // inside the first run
        file.close();
        QCOMPARE(Utility::LoadValues(path("long.csv"), &back), 0);
        QCOMPARE(back.size(), 1);
        const std::vector<double> &x = back[0]->chA.values->xValues;
        QVERIFY(x.size() > 2048 && x.size() < 9000);
        for (size_t i = 0; i < x.size(); ++i)
            QCOMPARE(x[i], double(i + 1));
        QCOMPARE(back[0]->chA.values->yValues.size(), x.size());
        QCOMPARE(back[0]->memo.size(), x.size());
        DeleteRuns(back);
        DeleteRuns(runs);
    }

    void severalRunsAndOneChannel()
    {
        QVector<LoggerData *> runs{newRun(1, 40), newRun(71, 25, true, false), newRun(120, 7, false, true)};
        runs[1]->memo[3] = "ChA ADC saturated.";
        runs[2]->intervalUnit = Seconds;
        runs[2]->sampleInterval = 2;
        QCOMPARE(Utility::SaveToCSVFormat(path("three.csv"), &runs, false), 0);
        const QByteArray bytes = fileBytes(path("three.csv"));
        QCOMPARE(bytes.count("Start Date:"), 3);
        QCOMPARE(bytes.count("Missed Samples:"), 3);
        QCOMPARE(bytes.count('\n'), 3 * 13 + 40 + 25 + 7);

        QVector<LoggerData *> back;
        QCOMPARE(Utility::LoadValues(path("three.csv"), &back), 0);
        QCOMPARE(back.size(), 3);
        for (int i = 0; i < 3; ++i)
            compareRuns(back[i], runs[i]);
        // Channel off: numbers for every row, no values.
        QVERIFY(back[1]->chB.values->yValues.empty());
        QCOMPARE(back[1]->chB.values->xValues.size(), size_t(25));
        QVERIFY(back[2]->chA.values->yValues.empty());
        QCOMPARE(back[1]->memo[3], QString("ChA ADC saturated."));
        QCOMPARE(back[1]->memo[4], QString(" "));

        // Saving what was read gives the same file again.
        QCOMPARE(Utility::SaveToCSVFormat(path("again.csv"), &back, false), 0);
        QCOMPARE(fileBytes(path("again.csv")), bytes);
        DeleteRuns(back);
        DeleteRuns(runs);
    }

    // Files of the earlier writer, with sample numbers in scientific notation: read as the
    // numbers they are.
    void earlierScientificSampleNumbers()
    {
        const QByteArray old = "Start Date:,01/01/2024\nStart Time:,01:00:00 AM\nSample Interval:,1ms\n\n"
                               "Sample Number,ChA Voltage (mV),ChB Voltage (mV),Memo\n"
                               "999999,1,2, \n1e+06,3,4, \n\n"
                               "Stop Date:,01/01/2024\nStop Time:,01:20:00 AM\nTotal Samples:,2,2\n"
                               "Maximum (mV):,3,4\nMinimum (mV):,1,2\nMissed Samples:,0,0\n\n";
        QVERIFY(writeBytes(path("old.csv"), old));
        QVector<LoggerData *> back;
        QCOMPARE(Utility::LoadValues(path("old.csv"), &back), 0);
        QCOMPARE(back.size(), 1);
        QCOMPARE(back[0]->chA.values->xValues, (std::vector<double>{999999, 1000000}));
        DeleteRuns(back);
    }

    // The backup of a run the program did not live to stop.
    void runCutOffByCrash()
    {
        QVector<LoggerData *> runs{newRun(1, 10), newRun(20, 6)};
        runs[1]->chA.values->yValues = {5, 65535, -7, 65535, 30, 2};
        runs[1]->chB.values->yValues = {65535, 65535, 65535, 65535, 65535, 65535};
        QCOMPARE(Utility::SaveToCSVFormat(path("full.csv"), &runs, false), 0);
        const QByteArray full = fileBytes(path("full.csv"));
        const int secondStop = full.lastIndexOf("\n\nStop Date:");

        // Cut after the rows, in the stop block, and within the start block.
        const QList<int> cuts{secondStop + 1, full.indexOf("Total Samples:", secondStop),
                              full.lastIndexOf("Sample Interval:")};
        for (int cut : cuts) {
            QVERIFY(cut > 0);
            QVERIFY(writeBytes(path("cut.csv"), full.left(cut)));
            QVector<LoggerData *> back;
            QCOMPARE(Utility::LoadValues(path("cut.csv"), &back), 0);
            QCOMPARE(back.size(), 2);
            compareRuns(back[0], runs[0]);   // complete runs exactly as written
            const LoggerData *r = back[1];
            QCOMPARE(r->startDate, runs[1]->startDate);
            // What the stop block did say is kept; the rest is rebuilt from the rows.
            const bool stopRead = cut == cuts[1];
            QCOMPARE(r->stopDate, stopRead ? runs[1]->stopDate : QString());
            QCOMPARE(r->stopTime, stopRead ? runs[1]->stopTime : QString());
            if (cut == cuts.last()) {   // nothing of the run but its date
                QCOMPARE(r->chA.totalSamples, 0);
                QVERIFY(r->chA.values->xValues.empty());
                DeleteRuns(back);
                continue;
            }
            QCOMPARE(r->firstSampleNo, 20);
            QCOMPARE(r->chA.values->yValues, runs[1]->chA.values->yValues);
            QCOMPARE(r->chA.totalSamples, 6);
            QCOMPARE(r->chB.totalSamples, 6);
            QCOMPARE(r->chA.missedSamples, 2);
            QCOMPARE(r->chB.missedSamples, 6);
            QCOMPARE(r->chA.minValue, -7.0);
            QCOMPARE(r->chA.maxValue, 30.0);
            QCOMPARE(r->chB.minValue, 0.0);   // no value but missed ones
            QCOMPARE(r->chB.maxValue, 0.0);
            DeleteRuns(back);
        }

        // A cut-off run followed by later runs is kept as well.
        const QByteArray firstRunOnly = full.left(full.indexOf("\n\nStop Date:") + 1);
        QVERIFY(writeBytes(path("mid.csv"), firstRunOnly + full));
        QVector<LoggerData *> back;
        QCOMPARE(Utility::LoadValues(path("mid.csv"), &back), 0);
        QCOMPARE(back.size(), 3);
        QCOMPARE(back[0]->chA.totalSamples, 10);
        QVERIFY(back[0]->stopDate.isEmpty());
        compareRuns(back[1], runs[0]);
        compareRuns(back[2], runs[1]);
        DeleteRuns(back);
        DeleteRuns(runs);
    }

    void quotesAndLineEnds()
    {
        const QByteArray text = "\xEF\xBB\xBF\"Start Date:\",\"05/06/2024\"\r\nStart Time:,11:00:00 PM\r\n"
                                "Sample Interval:,\"250ms\"\r\n\r\n"
                                "\"Sample Number\",\"ChA Voltage (mV)\",\"ChB Voltage (mV)\",\"Memo\"\r\n"
                                "\"7\",\"1.5\",\"-2\",\"a b\"\r\n 8 ,+2, -3 ,\r\n\r\n"
                                "Stop Date:,05/06/2024\r\nStop Time:,11:01:00 PM\r\nTotal Samples:,2,2\r\n"
                                "Maximum (mV):,2,-2\r\nMinimum (mV):,1.5,-3\r\nMissed Samples:,0,0\r\n";
        QVERIFY(writeBytes(path("quoted.csv"), text));
        QVector<LoggerData *> back;
        QCOMPARE(Utility::LoadValues(path("quoted.csv"), &back), 0);
        QCOMPARE(back.size(), 1);
        const LoggerData *r = back[0];
        QCOMPARE(r->startDate, QString("05/06/2024"));
        QCOMPARE(r->stopTime, QString("11:01:00 PM"));
        QCOMPARE(r->sampleInterval, 250.0);
        QCOMPARE(int(r->intervalUnit), int(MilliSeconds));
        QCOMPARE(r->chA.values->xValues, (std::vector<double>{7, 8}));
        QCOMPARE(r->chA.values->yValues, (std::vector<double>{1.5, 2}));
        QCOMPARE(r->chB.values->yValues, (std::vector<double>{-2, -3}));
        QCOMPARE(r->memo, (std::vector<QString>{"a b", " "}));
        QCOMPARE(r->firstSampleNo, 7);
        DeleteRuns(back);
    }

    // Junk of every kind is read without a crash; a row that cannot be parsed is left out
    // and counted.
    void malformedInput()
    {
        QByteArray text = "Stop Date:,x\nStop Time:,y\nTotal Samples:,1,2\nMaximum (mV):,1\n"
                          "Minimum (mV):\nMissed Samples:,3,4\n"   // a stop block without a start
                          "1,2,3,4\n"                                 // a row outside a run
                          "Start Date:\n"                             // too few fields
                          "Start Date:,01/01/2000\nSample Interval:,\n"
                          "Sample Number,x,y,z\n"
                          "1,2\n"                                     // too few fields for a row
                          ",7,8,no number\n"                          // no sample number: skipped
                          "abc,def,1e400,nan\n"                       // fields that do not parse
                          "99999999999999999999,inf,-1e-400,\n";
        text += QByteArray(3 * 1024 * 1024, 'x') + ",1,2,3\n";      // a line of megabytes
        text += QByteArray("4,5,6,7\n");
        text += QByteArray("\0\x01\xff\xfe,\x80,,\n", 9);       // no B value in a run with B: skipped
        text += QByteArray("8,,9,\n");                                  // nor A
        text += "Stop Date:,d\nTotal Samples:,99999999999,-5\nMaximum (mV):,1e999,5\n"
                "Missed Samples:,abc\nMissed Samples:,1,1\n";
        QVERIFY(writeBytes(path("junk.csv"), text));
        QVector<LoggerData *> back;
        Utility::ChartReadReport report;
        QCOMPARE(Utility::LoadValues(path("junk.csv"), &back, &report), 0);
        QCOMPARE(report.rowsLeftOut, qint64(7));
        QCOMPARE(back.size(), 1);
        const LoggerData *r = back[0];
        QCOMPARE(r->startDate, QString("01/01/2000"));
        QCOMPARE(r->sampleInterval, 0.0);
        QCOMPARE(int(r->intervalUnit), int(Seconds));
        QCOMPARE(r->dataUnit, QString("V"));
        // Every row read holds a number and both values: the vectors stay in step.
        QCOMPARE(r->chA.values->xValues, (std::vector<double>{4}));
        QCOMPARE(r->chB.values->xValues, r->chA.values->xValues);
        QCOMPARE(r->chA.values->yValues, (std::vector<double>{5}));
        QCOMPARE(r->chB.values->yValues, (std::vector<double>{6}));
        QCOMPARE(r->memo, (std::vector<QString>{"7"}));
        QCOMPARE(r->chA.totalSamples, 0);   // out of range
        QCOMPARE(r->chB.totalSamples, -5);
        QCOMPARE(r->chA.maxValue, 0.0);
        QCOMPARE(r->chB.maxValue, 5.0);
        QCOMPARE(r->chA.missedSamples, 0);   // the run ended at its first "Missed Samples:"
        QCOMPARE(r->stopDate, QString("d"));
        DeleteRuns(back);

        QVERIFY(writeBytes(path("empty.csv"), QByteArray()));
        QCOMPARE(Utility::LoadValues(path("empty.csv"), &back), 0);
        QVERIFY(back.isEmpty());
        QCOMPARE(Utility::LoadValues(path("empty.csv"), nullptr), 0);
    }

    void unreadableFiles()
    {
        QVector<LoggerData *> runs;
        QVector<QwtPlotMarker *> markers;
        QCOMPARE(Utility::LoadValues(dir.path(), &runs), 1);
        QCOMPARE(Utility::LoadValues(path("missing.csv"), &runs), 1);
        QCOMPARE(Utility::LoadMemoValues(dir.path(), &markers), 2);
        QCOMPARE(Utility::LoadMemoValues(path("missing_Memo.csv"), &markers), 2);
        QVERIFY(runs.isEmpty());
        QVERIFY(markers.isEmpty());
        // Opens, then fails on the first read: nothing half-read is handed back.
        if (QFile::exists("/proc/self/mem")) {
            QCOMPARE(Utility::LoadValues("/proc/self/mem", &runs), 1);
            QCOMPARE(Utility::LoadMemoValues("/proc/self/mem", &markers), 2);
            QVERIFY(runs.isEmpty());
            QVERIFY(markers.isEmpty());
        }
    }

    void memoRoundTrip()
    {
        auto *m1 = new QwtPlotMarker;
        m1->setLabel(QwtText("pump on, stage 2"));
        m1->setValue(1234567, -250.5);
        auto *m2 = new QwtPlotMarker;
        m2->setLabel(QwtText("  spaced label "));
        m2->setValue(3, 0.125);
        auto *m3 = new QwtPlotMarker;
        m3->setLabel(QwtText(QString::fromUtf8("T > 40 \xC2\xB0" "C")));
        m3->setValue(77, 1e6);
        // Longer than the reader takes: kept, cut.
        auto *m4 = new QwtPlotMarker;
        const QString longLabel = QString::fromUtf8("\"\xC2\xB0, 1, 2\n").repeated(12000);
        m4->setLabel(QwtText(longLabel));
        m4->setValue(5, 6);
        QVector<QwtPlotMarker *> markers{m1, m2, m3, m4};
        QCOMPARE(Utility::SaveMemoToCSVFormat(path("c_Memo.csv"), &markers), 0);

        QVector<QwtPlotMarker *> back;
        QCOMPARE(Utility::LoadMemoValues(path("c_Memo.csv"), &back), 0);
        QCOMPARE(back.size(), 4);
        const QString cut = back[3]->label().text();
        QVERIFY(cut.size() > 20000 && longLabel.startsWith(cut));
        m4->setLabel(QwtText(cut));
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(back[i]->label().text(), markers[i]->label().text());
            QCOMPARE(back[i]->xValue(), markers[i]->xValue());
            QCOMPARE(back[i]->yValue(), markers[i]->yValue());
            QCOMPARE(back[i]->label().font().family(), QString("Arial"));
            QCOMPARE(back[i]->label().font().pointSize(), 10);
            QCOMPARE(back[i]->label().font().weight(), int(QFont::Normal));
            QCOMPARE(back[i]->label().color(), QColor(Qt::cyan));
            QVERIFY(!back[i]->plot());
        }
        qDeleteAll(back);
        qDeleteAll(markers);
    }

    void memoFileLines()
    {
        const QByteArray text = "Memo Label,Memo X,Memo Y,\n\nshort,1\nplain,5,6\nnoend,7,8,9\n"
                                "Memo Label,1,2,\nx,abc,,\n";
        QVERIFY(writeBytes(path("l_Memo.csv"), text));
        QVector<QwtPlotMarker *> back;
        QCOMPARE(Utility::LoadMemoValues(path("l_Memo.csv"), &back), 0);
        QCOMPARE(back.size(), 3);
        QCOMPARE(back[0]->label().text(), QString("plain"));
        QCOMPARE(back[0]->value(), QPointF(5, 6));
        QCOMPARE(back[1]->label().text(), QString("noend"));
        QCOMPARE(back[1]->value(), QPointF(7, 8));
        QCOMPARE(back[2]->value(), QPointF(0, 0));
        qDeleteAll(back);
    }

    // A backup file as a crash leaves it: the last run has no stop block and
    // its last row was only half written.
    void crashCutBackupFile()
    {
        const QString dataDir = qEnvironmentVariable("ZR_TEST_DATA");
        if (dataDir.isEmpty())
            QSKIP("ZR_TEST_DATA not set");
        QVector<LoggerData *> runs;
        QCOMPARE(Utility::LoadValues(QDir(dataDir).filePath("csv_crash_cut_backup.csv"), &runs), 0);
        QCOMPARE(runs.size(), 2);
        QCOMPARE(runs[0]->stopTime, QString("08:00:03 AM"));
        QCOMPARE(runs[0]->chA.missedSamples, 1);
        const LoggerData *r = runs[1];
        QCOMPARE(r->startTime, QString("08:05:00 AM"));
        QCOMPARE(r->firstSampleNo, 304);
        QCOMPARE(r->chA.values->xValues, (std::vector<double>{304, 305, 306, 307}));
        QCOMPARE(r->chA.values->yValues, (std::vector<double>{130, 65535, 2510, -90}));
        QCOMPARE(r->chA.totalSamples, 4);
        QCOMPARE(r->chB.totalSamples, 4);
        QCOMPARE(r->chA.missedSamples, 1);
        QCOMPARE(r->chB.missedSamples, 1);
        QCOMPARE(r->chA.minValue, -90.0);
        QCOMPARE(r->chA.maxValue, 2510.0);
        QCOMPARE(r->chB.minValue, -30.0);
        QCOMPARE(r->chB.maxValue, -20.0);
        QCOMPARE(r->memo[2], QString("ChA ADC saturated."));
        QVERIFY(r->stopDate.isEmpty() && r->stopTime.isEmpty());
        DeleteRuns(runs);

        QCOMPARE(Utility::LoadValues(QDir(dataDir).filePath("csv_stop_without_start.csv"), &runs), 0);
        QVERIFY(runs.isEmpty());
    }

    // Lines ended by CR LF or a lone CR (files saved by other programs) read as LF-ended
    // ones: the chart reader, the backup's row index with the paging reader, and the memo
    // reader; also where a CR LF is split between two reads (the padding moves the line
    // ends over the chart reader's first read and the index's 1 MiB reads).
    void lineEndsOfEveryKind()
    {
        // Every run's rows, then those paged in, then the markers.
        auto readAll = [this](const QByteArray &text, const QByteArray &memo, std::vector<double> &got,
                              QStringList &memos) {
            QVERIFY(writeBytes(path("ends.csv"), text) && writeBytes(path("ends_Memo.csv"), memo));
            QVector<LoggerData *> runs;
            QCOMPARE(Utility::LoadValues(path("ends.csv"), &runs), 0);
            QCOMPARE(runs.size(), 2);
            for (int pass = 0; pass < 2; ++pass) {
                for (LoggerData *r : runs)
                    for (DataValues *v : {r->chA.values, r->chB.values}) {
                        got.insert(got.end(), v->xValues.begin(), v->xValues.end());
                        got.insert(got.end(), v->yValues.begin(), v->yValues.end());
                        v->xValues.clear();
                        v->yValues.clear();
                    }
                if (pass == 1)
                    break;
                RowIndex index;
                int runIndex = 0;
                qint64 pos = 0;
                RunRows::Judge rules;
                QVERIFY(index.Update(path("ends.csv")) && index.Locate(path("ends.csv"), 39000, runIndex, pos, rules));
                QFile file(path("ends.csv"));
                QVERIFY(file.open(QIODevice::ReadOnly));
                QCOMPARE(Utility::ReadSamplesFromFile(&file, pos, 0, 41000, &runs, true, runIndex, &rules), 2001);
                // The newest-run reader ends at the first empty line: the first run's rows.
                pos = 0;
                QCOMPARE(Utility::ReadSamplesFromFile(&file, pos, 6, 100000, &runs, false, 0), 30000);
            }
            DeleteRuns(runs);
            QVector<QwtPlotMarker *> markers;
            QCOMPARE(Utility::LoadMemoValues(path("ends_Memo.csv"), &markers), 0);
            for (const QwtPlotMarker *m : markers)
                memos << m->label().text() + QLatin1Char('@') + QString::number(m->xValue());
            qDeleteAll(markers);
        };

        QVector<LoggerData *> runs{newRun(1, 30000), newRun(38001, 30000)};
        for (LoggerData *r : runs)
            std::fill(r->memo.begin(), r->memo.end(), QStringLiteral("memo text"));
        QVERIFY(Utility::SaveToCSVFormat(path("lf.csv"), &runs, false) == 0);
        DeleteRuns(runs);
        const QByteArray lf = fileBytes(path("lf.csv"));
        QVERIFY(lf.size() > (1 << 20));
        const QByteArray memoLf = "Memo Label,Memo X,Memo Y,\nfirst,12,-1,\n\"two\nlines\",350,9,\nlast,400,2,\n";
        int split[2][2] = {};   // [CR LF, CR][16 KiB, 1 MiB]
        for (int pad = 0; pad < 40; ++pad) {
            QByteArray text = lf;
            text.replace(text.indexOf("\n1,-1000,-450,memo text\n") + 14, 9, QByteArray(pad + 1, 'm'));
            std::vector<double> reference;
            QStringList referenceMemos;
            for (int kind = 0; kind < 2; ++kind) {
                const char *end = kind == 0 ? "\r\n" : "\r";
                QByteArray other = text;
                other.replace('\n', end);
                const bool atBoundary = other[16 * 1024 - 1] == '\r' || other[(1 << 20) - 1] == '\r';
                split[kind][0] += other[16 * 1024 - 1] == '\r';
                split[kind][1] += other[(1 << 20) - 1] == '\r';
                if (pad > 0 && !atBoundary)
                    continue;
                if (reference.empty())
                    readAll(text, memoLf, reference, referenceMemos);
                QByteArray memo = memoLf;
                memo.replace('\n', end);
                std::vector<double> got;
                QStringList memos;
                readAll(other, memo, got, memos);
                QVERIFY(got == reference);
                // A text in quotes keeps its own line break.
                referenceMemos[1] = QStringLiteral("two") + QLatin1String(end) + QStringLiteral("lines@350");
                QCOMPARE(memos, referenceMemos);
            }
        }
        QVERIFY(split[0][0] && split[0][1] && split[1][0] && split[1][1]);
    }

    // The memo reader holds a line at a time: a line over 64 KiB is passed over, a text in
    // quotes that runs on for more is read as a quote that never closes, as it stands; the
    // markers around them are read. A very long line costs no memory of its size.
    void memoFileBounds()
    {
        QByteArray text = "Memo Label,Memo X,Memo Y,\n";
        text += QByteArray(200 * 1024, ',') + "\nafter,5,6,\n\"long";
        for (int i = 0; i < 1000; ++i)
            text += "\n" + QByteArray(70, 't');
        text += "\",7,8,\nlast,9,10,\n\"open,11,12,\n";
        QVERIFY(writeBytes(path("bounds_Memo.csv"), text));
        QVector<QwtPlotMarker *> back;
        QCOMPARE(Utility::LoadMemoValues(path("bounds_Memo.csv"), &back), 0);
        QStringList got;
        for (const QwtPlotMarker *m : back)
            got << QStringLiteral("%1 %2 %3").arg(m->label().text()).arg(m->xValue()).arg(m->yValue());
        QCOMPARE(got, (QStringList{"after 5 6", QString(70, 't') + "\" 7 8", "last 9 10", "\"open 11 12"}));
        qDeleteAll(back);
        back.clear();

        // One line of 32 MiB commas.
        {
            QFile file(path("huge_Memo.csv"));
            QVERIFY(file.open(QIODevice::WriteOnly));
            const QByteArray commas(1 << 20, ',');
            for (int i = 0; i < 32; ++i)
                QCOMPARE(file.write(commas), qint64(commas.size()));
            file.write("\nend,1,2,\n");
        }
        struct rusage before {};
        getrusage(RUSAGE_SELF, &before);
        QCOMPARE(Utility::LoadMemoValues(path("huge_Memo.csv"), &back), 0);
        struct rusage after {};
        getrusage(RUSAGE_SELF, &after);
        QCOMPARE(back.size(), 1);
        QCOMPARE(back[0]->label().text(), QStringLiteral("end"));
        const long grownKiB = after.ru_maxrss - before.ru_maxrss;
        QVERIFY2(grownKiB < 16 * 1024, qPrintable(QString::number(grownKiB)));
        qDeleteAll(back);
        QFile::remove(path("huge_Memo.csv"));
    }

    // A quote that never closes spoils its own record alone, however much follows it and
    // whatever the line ends: every other marker is read.
    void unclosedQuoteInMemoFile()
    {
        for (const QByteArray end : {"\n", "\r\n", "\r"}) {
            QByteArray text = "Memo Label,Memo X,Memo Y," + end;
            for (int i = 0; i < 6002; ++i)
                text += (i == 2 ? "\"m" : "m") + QByteArray::number(i) + ',' + QByteArray::number(i) + ",0.5," + end;
            QVERIFY(text.size() > 80 * 1024);
            QVERIFY(writeBytes(path("open_Memo.csv"), text));
            QVector<QwtPlotMarker *> back;
            QCOMPARE(Utility::LoadMemoValues(path("open_Memo.csv"), &back), 0);
            QCOMPARE(back.size(), 6002);
            for (int i = 0; i < back.size(); ++i) {
                QCOMPARE(back[i]->label().text(), QString(i == 2 ? "\"m%1" : "m%1").arg(i));
                QCOMPARE(back[i]->value(), QPointF(i, 0.5));
            }
            qDeleteAll(back);
        }
    }

    // Inputs kept from fuzzing and from real damaged files: read without harm.
    void regressionInputs()
    {
        const QString dataDir = qEnvironmentVariable("ZR_TEST_DATA");
        if (dataDir.isEmpty())
            QSKIP("ZR_TEST_DATA not set");
        const QStringList files = QDir(dataDir).entryList({"csv_*", "crash-*", "timeout-*", "oom-*"}, QDir::Files);
        if (files.isEmpty())
            QSKIP("no regression inputs");
        for (const QString &name : files) {
            const QString file = QDir(dataDir).filePath(name);
            QVector<LoggerData *> runs;
            QVector<QwtPlotMarker *> markers;
            QCOMPARE(Utility::LoadValues(file, &runs), 0);
            QCOMPARE(Utility::LoadMemoValues(file, &markers), 0);
            // What was read is written and read back row for row.
            QVector<LoggerData *> again;
            QCOMPARE(Utility::SaveToCSVFormat(path("again.csv"), &runs, false), 0);
            QCOMPARE(Utility::LoadValues(path("again.csv"), &again), 0);
            QCOMPARE(again.size(), runs.size());
            for (int r = 0; r < runs.size(); ++r)
                QVERIFY2(again[r]->chA.values->xValues.size() == runs[r]->chA.values->xValues.size(),
                         qPrintable(name));
            DeleteRuns(again);
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVector<LoggerData *> pages{newRun(1, 0)};
            qint64 pos = 0;
            Utility::ReadSamplesFromFile(&f, pos, 2, 1000, &pages, false, 0);
            QVERIFY(pos >= 0 && pos <= f.size());
            pos = 0;
            Utility::ReadSamplesFromFile(&f, pos, 6, 1000000, &pages, true, 0);
            QVERIFY(pos >= 0 && pos <= f.size());
            QCOMPARE(f.pos(), qint64(0));
            const LoggerData *p = pages[0];
            QCOMPARE(p->chA.values->xValues.size(), p->chA.values->yValues.size());
            QCOMPARE(p->memo.size(), p->chB.values->yValues.size());
            DeleteRuns(pages);
            DeleteRuns(runs);
            qDeleteAll(markers);
        }
    }
};

ZR_TEST_GUILESS_MAIN(TestUtilityCsv)
#include "test_utility_csv.moc"
