// Paging a sample range back from the backup file (ReadDataForScrolling and the index of
// the file behind it), checked against a plain reading of the whole file: several runs,
// gaps between them, a run without rows, channels disabled, a file still growing, and a
// file of 100,000 rows.
#include <QtTest>

#include "test_home.h"

#include "LoggerMainWindow.h"
#include "Resources.h"
#include "RowIndex.h"
#include "RunRows.h"
#include "Utility.h"
#include "ui_LoggerMainWindow.h"   // generated for this program: the support header uses it
#include "test_run_control_support.h"

#include <random>

using namespace RunTest;

namespace {

struct RunShape {
    int first;   // first sample number
    int rows;
    bool chA = true;
    bool chB = true;
};

double ValueA(int n)
{
    return n % 97 == 0 ? 65535.0 : double((n * 7) % 2001 - 1000);
}
double ValueB(int n)
{
    return double((n * 13) % 3001 - 1500) + (n % 2 ? 0.5 : 0.0);
}

// One run in the backup layout: five lines before the rows, eight after them.
QByteArray RunText(const RunShape &shape)
{
    QByteArray t;
    t += "Start Date:,12/07/2026\nStart Time:,08:00:00 AM\nSample Interval:,1ms\n\n"
         "Sample Number,ChA Voltage (mV),ChB Voltage (mV),Memo\n";
    for (int i = 0; i < shape.rows; ++i) {
        const int n = shape.first + i;
        t += QByteArray::number(n) + ',';
        if (shape.chA)
            t += QByteArray::number(ValueA(n));
        t += ',';
        if (shape.chB)
            t += QByteArray::number(ValueB(n));
        t += n % 50 == 0 ? ",ChA ADC saturated.\n" : ", \n";
    }
    const int a = shape.chA ? shape.rows : 0, b = shape.chB ? shape.rows : 0;
    t += "\nStop Date:,12/07/2026\nStop Time:,08:00:01 AM\nTotal Samples:," + QByteArray::number(a) + ','
         + QByteArray::number(b) + "\nMaximum (mV):,1000,1500\nMinimum (mV):,-1000,-1500\nMissed Samples:,0,0\n\n";
    return t;
}

}   // namespace

class TestRowIndex : public QObject {
    Q_OBJECT

    LoggerMainWindow *win = nullptr;
    RunFile reference;   // the plain reading of the file, redone when the file changed
    qint64 referenceSize = -1;

    // The chart's runs for the shapes, as the run control keeps them after the stops.
    void SetRuns(const std::vector<RunShape> &shapes)
    {
        win->ClearLoggerData();
        for (const RunShape &s : shapes)
            win->runList->append(NewRun(s.first, s.chA ? s.rows : 0, s.chB ? s.rows : 0));
    }

    void WriteRuns(const std::vector<RunShape> &shapes)
    {
        QByteArray all;
        for (const RunShape &s : shapes)
            all += RunText(s);
        WriteFile(BackupPath(), all);
        SetRuns(shapes);
    }

    // Pages [first, last] in through the window and compares every run with what a plain
    // reading of the whole file gives for that range.
    void Compare(int first, int last)
    {
        for (LoggerData *run : *win->runList)
            for (DataValues *v : {run->chA.values, run->chB.values}) {
                v->xValues.clear();
                v->yValues.clear();
            }
        win->ReadDataForScrolling(win->runList, first, last);

        if (QFileInfo(BackupPath()).size() != referenceSize) {
            reference = ReadRunFile(BackupPath());
            referenceSize = QFileInfo(BackupPath()).size();
        }
        const RunFile &file = reference;
        QCOMPARE(int(file.runs.size()), win->runList->size());
        const QString window = QStringLiteral("[%1, %2]").arg(first).arg(last);
        for (int j = 0; j < win->runList->size(); ++j) {
            std::vector<double> x, a, b;
            for (const Row &row : file.runs[size_t(j)].rows) {
                if (row.sampleNo < first || row.sampleNo > last)
                    continue;
                x.push_back(double(row.sampleNo));
                a.push_back(row.a.isEmpty() ? 0.0 : row.a.toDouble());
                b.push_back(row.b.isEmpty() ? 0.0 : row.b.toDouble());
            }
            const LoggerData *run = win->runList->at(j);
            const QString where = window + QStringLiteral(" run %1").arg(j);
            QVERIFY2(run->chA.values->xValues == x,
                     qPrintable(where + QStringLiteral(": %1 rows, expected %2")
                                            .arg(run->chA.values->xValues.size())
                                            .arg(x.size())));
            QVERIFY2(run->chB.values->xValues == x, qPrintable(where));
            QVERIFY2(run->chA.values->yValues == a, qPrintable(where));
            QVERIFY2(run->chB.values->yValues == b, qPrintable(where));
        }
    }

    std::vector<RunShape> SeveralRuns() const
    {
        return {
            {1, 100},                      // 1..100
            {131, 100},                    // 30 intervals counted in between
            {231, 0},                      // stopped before its first block
            {251, 150, false, true},       // channel A disabled
            {411, 10, true, false},        // channel B disabled
        };
    }

private slots:
    void initTestCase()
    {
        InitResources();
        FreshFolder();
    }

    void init()
    {
        referenceSize = -1;
        win = new LoggerMainWindow;
        LoggerWin = win;
    }

    void cleanup()
    {
        delete win;
        win = nullptr;
        QCOMPARE(LoggerWin, static_cast<LoggerMainWindow *>(nullptr));
    }

    void windowsOverSeveralRuns_data()
    {
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("last");
        QTest::newRow("from 0") << 0 << 50;
        QTest::newRow("one row") << 1 << 1;
        QTest::newRow("first run whole") << 1 << 100;
        QTest::newRow("across a boundary") << 90 << 140;
        QTest::newRow("inside a gap") << 105 << 125;
        QTest::newRow("from a gap on") << 101 << 135;
        QTest::newRow("over the empty run") << 225 << 260;
        QTest::newRow("channel A disabled") << 300 << 310;
        QTest::newRow("boundaries exactly") << 230 << 251;
        QTest::newRow("partly past the end") << 415 << 500;
        QTest::newRow("past the end") << 421 << 500;
        QTest::newRow("far past the end") << 100000 << 100010;
        QTest::newRow("everything") << 0 << 1000000;
        QTest::newRow("below zero") << -5 << 3;
        QTest::newRow("last before first") << 50 << 40;
    }

    void windowsOverSeveralRuns()
    {
        QFETCH(int, first);
        QFETCH(int, last);
        WriteRuns(SeveralRuns());
        Compare(first, last);
    }

    void readingStartsAtTheRowOfFirst()
    {
        // Two runs of 100 rows numbered from 1 and 101: a window from 150 begins with the
        // row of sample 150.
        WriteRuns({{1, 100}, {101, 100}});
        Compare(150, 160);
        const std::vector<double> &xs = win->runList->at(1)->chA.values->xValues;
        QCOMPARE(int(xs.size()), 11);
        QCOMPARE(xs.front(), 150.0);
        QVERIFY(win->runList->at(0)->chA.values->xValues.empty());
    }

    void firstBelowTheFirstRun()
    {
        // Intervals were counted before the first run, which starts at 41: a window that
        // begins earlier starts with the first run's first row.
        WriteRuns({{41, 60}, {120, 30}});
        Compare(10, 45);
        QCOMPARE(win->runList->at(0)->chA.values->xValues.front(), 41.0);
        Compare(0, 40);
        QVERIFY(win->runList->at(0)->chA.values->xValues.empty());
        Compare(1, 200);
    }

    void channelADisabledInEveryRun()
    {
        // No channel A totals at all: the rows are still found by their numbers.
        WriteRuns({{1, 80, false, true}, {95, 80, false, true}, {200, 40, false, true}});
        Compare(0, 10);
        Compare(70, 100);
        Compare(150, 210);
        QCOMPARE(win->runList->at(2)->chB.values->xValues.front(), 200.0);
        QCOMPARE(win->runList->at(2)->chB.values->yValues.front(), ValueB(200));
    }

    void largeFileAgreesWithPlainReading()
    {
        // 100,000 rows in five runs, one without channel A.
        const std::vector<RunShape> shapes = {
            {1, 20000}, {20011, 20000}, {40011, 20000, false, true}, {60500, 20000}, {80500, 20000},
        };
        WriteRuns(shapes);

        std::vector<std::pair<int, int>> windows;
        for (const RunShape &s : shapes) {
            // Around the index's checkpoints and the run boundaries.
            for (int k : {0, 1, 1023, 1024, 1025, 2047, 2048, 19999})
                windows.push_back({s.first + k - 1, s.first + k + 3});
            windows.push_back({s.first + s.rows - 5, s.first + s.rows + 600});
        }
        std::mt19937 random(20261207);
        std::uniform_int_distribution<int> start(-10, 101000), length(0, 3000);
        for (int i = 0; i < 150; ++i) {
            const int first = start(random);
            windows.push_back({first, first + length(random)});
        }
        for (const auto &window : windows) {
            Compare(window.first, window.second);
            if (QTest::currentTestFailed())
                return;
        }

        // The index saw every run and row of the file.
        const std::vector<RowIndex::Run> &runs = win->backupIndex.Runs();
        QCOMPARE(int(runs.size()), int(shapes.size()));
        for (size_t j = 0; j < shapes.size(); ++j) {
            QCOMPARE(runs[j].rows, qint64(shapes[j].rows));
            QCOMPARE(runs[j].lastSampleNo, qint64(shapes[j].first + shapes[j].rows - 1));
        }
    }

    void growingFileIsFollowed()
    {
        // The run in progress: its rows arrive while the chart pages.
        WriteRuns({{1, 50}});
        Compare(0, 1000);
        QByteArray second = RunText({60, 40});
        const int cut = second.indexOf("\n75,") + 3;   // in the middle of the row of 75
        WriteFile(BackupPath(), second.left(cut), true);
        SetRuns({{1, 50}, {60, 40}});
        for (LoggerData *run : *win->runList)
            for (DataValues *v : {run->chA.values, run->chB.values})
                v->xValues.clear();
        win->ReadDataForScrolling(win->runList, 55, 1000);
        // Rows up to 74 are whole; the row being written is not read.
        const std::vector<double> &xs = win->runList->at(1)->chA.values->xValues;
        QCOMPARE(int(xs.size()), 15);
        QCOMPARE(xs.back(), 74.0);

        WriteFile(BackupPath(), second.mid(cut), true);
        Compare(55, 1000);
        Compare(70, 80);
        QCOMPARE(win->runList->at(1)->chA.values->xValues.front(), 70.0);
    }

    void overlongLineDoesNotHideLaterRuns()
    {
        // A line of junk longer than any row, between two runs.
        QByteArray all = RunText({1, 30});
        all += QByteArray(70000, 'x') + '\n';
        all += RunText({40, 30});
        WriteFile(BackupPath(), all);
        SetRuns({{1, 30}, {40, 30}});
        QCOMPARE(ReadRunFile(BackupPath()).badLines, 1);
        Compare(45, 50);
        QCOMPARE(int(win->runList->at(1)->chA.values->xValues.size()), 6);
        Compare(0, 100);
    }

    // The index extended from the bytes just written agrees with one that scans the file,
    // over a stop block, a line too long to be a row and a new run; bytes that do not
    // start where it ends are refused, and the file's marks stay its own.
    void appendedBytesIndexAsTheFileScanDoes()
    {
        const QByteArray all = RunText({1, 3000}) + QByteArray(70000, 'x') + '\n' + RunText({3100, 2500});
        RowIndex appended, scanned;
        int from = all.indexOf('\n', 200) + 1;
        WriteFile(BackupPath(), all.left(from));
        QVERIFY(appended.Update(BackupPath()) && !appended.Appended(from + 1, "5,1,2, \n"));
        for (int cut : {30000, 130000, int(all.size())}) {
            const int to = all.lastIndexOf('\n', cut - 1) + 1;
            WriteFile(BackupPath(), all.left(to));
            QVERIFY(appended.Appended(from, all.mid(from, to - from)));
            from = to;
        }
        QVERIFY(scanned.Update(BackupPath()) && appended.Update(BackupPath()));
        QCOMPARE(appended.Runs().size(), size_t(2));
        for (size_t r = 0; r < 2; ++r) {
            const RowIndex::Run &a = appended.Runs()[r], &b = scanned.Runs()[r];
            QVERIFY(a.rows == b.rows && a.firstRowPos == b.firstRowPos && a.lastSampleNo == b.lastSampleNo);
            for (size_t c = 0; c < b.checkpoints.size(); ++c)
                QVERIFY(a.checkpoints.at(c).pos == b.checkpoints[c].pos);
        }
    }

    void replacedFileIsIndexedAfresh()
    {
        // The file is written anew behind the index (another chart put in its place),
        // longer than before: what was indexed must not be trusted.
        WriteRuns({{1, 3000}, {3100, 3000}});
        Compare(3200, 3210);
        WriteRuns({{1, 10}, {20, 10}, {40, 8000}});
        referenceSize = -1;
        Compare(3200, 3210);
        Compare(0, 60);
        Compare(7990, 8100);
    }

    // Every reader leaves out the same rows: the chart reader of Restore Backup (and the
    // count it tells), the index and paging reader behind any X window, and the live reader.
    // A row without a number, one numbered ahead of its neighbours, one behind, one with a
    // column unlike the run's; rows of the earlier writer past a million share a number.
    void everyReaderLeavesOutTheSameRows()
    {
        QByteArray first = RunText({1, 300});
        for (const auto &damage : {std::pair<int, QByteArray>{51, "551,5,5, "}, {80, "7,5,5, "}, {90, "90,5,, "},
                                   {150, "15x,5,5, "}}) {
            const int at = first.indexOf("\n" + QByteArray::number(damage.first) + ',') + 1;
            first.replace(at, first.indexOf('\n', at) - at, damage.second);
        }
        const QByteArray head = RunText({1, 0});
        QByteArray old = head.left(head.indexOf("Memo\n") + 5);
        std::vector<double> oldNumbers;
        for (int n = 999990; n <= 1000100; ++n) {
            const QByteArray number = QByteArray::number(double(n), 'g', 6);
            oldNumbers.push_back(number.toDouble());
            old += number + ',' + QByteArray::number(ValueA(n)) + ",1, \n";
        }
        WriteFile(BackupPath(), first + old);
        MessageRecorder boxes;
        win->ui->action_Restore_Backup->trigger();
        QTRY_COMPARE(boxes.Texts(), QStringList("Some rows of the file could not be read and were left out of the "
                                                "chart. Rows left out:\n4"));
        std::vector<double> kept;
        for (int n = 1; n <= 300; ++n)
            if (n != 51 && n != 80 && n != 90 && n != 150)
                kept.push_back(n);
        QCOMPARE(win->runList->size(), 2);
        QCOMPARE(win->runList->at(0)->chA.values->xValues, kept);
        QCOMPARE(win->runList->at(1)->chA.values->xValues, oldNumbers);
        std::vector<DataValues> read;
        for (const LoggerData *run : *win->runList)
            read.push_back(*run->chA.values);

        for (const auto &window : std::vector<std::pair<int, int>>{
                 {0, 100}, {45, 55}, {51, 52}, {140, 160}, {149, 151}, {200, 300}, {500, 600}, {999980, 1000050},
                 {1000000, 1000000}, {1000001, 1000100}, {0, 2000000}}) {
            win->ClearDisplayBuffer();
            win->ReadDataForScrolling(win->runList, window.first, window.second);
            for (int j = 0; j < 2; ++j) {
                DataValues inside;
                for (size_t i = 0; i < read[size_t(j)].xValues.size(); ++i)
                    if (read[size_t(j)].xValues[i] >= window.first && read[size_t(j)].xValues[i] <= window.second) {
                        inside.xValues.push_back(read[size_t(j)].xValues[i]);
                        inside.yValues.push_back(read[size_t(j)].yValues[i]);
                    }
                const DataValues &paged = *win->runList->at(j)->chA.values;
                QVERIFY2(paged.xValues == inside.xValues && paged.yValues == inside.yValues,
                         qPrintable(QStringLiteral("[%1, %2] run %3: %4 rows, expected %5")
                                        .arg(window.first).arg(window.second).arg(j)
                                        .arg(paged.xValues.size()).arg(inside.xValues.size())));
            }
        }
        QCOMPARE(win->backupIndex.Runs().at(0).rows, qint64(kept.size()));
        QCOMPARE(win->backupIndex.Runs().at(1).rows, qint64(oldNumbers.size()));

        // The live reader, a page at a time, of the same rows as "temp.csv" holds them.
        const int rowsFrom = first.indexOf("Memo\n") + 5;
        const QByteArray rows = first.mid(rowsFrom, first.indexOf("\n\n", rowsFrom) + 1 - rowsFrom);
        QVector<LoggerData *> live{NewRun(1, 0, 0)};
        RunRows::Judge rules;
        qint64 pos = 0;
        while (Utility::ReadSamplesFromBytes(rows, pos, 64, &live, &rules) > 0) {
        }
        QCOMPARE(live[0]->chA.values->xValues, kept);
        DeleteRuns(live);
    }

    // A row longer than 64 KiB is no row of ours for every reader, however the reading's
    // chunks fall; one of exactly 64 KiB is one for all of them.
    void rowsLongerThan64KiBAlike()
    {
        for (const int length : {65536, 65537, 70000, 200000}) {
            QByteArray run = RunText({1, 4});
            const int at = run.indexOf("\n3,") + 1;
            const QByteArray row = run.mid(at, run.indexOf('\n', at) - at);
            run.replace(at, row.size(), row + QByteArray(length - row.size(), 'x'));
            const int expected = length <= 65536 ? 4 : 3;
            WriteFile(BackupPath(), run);
            win->backupIndex.Reset();
            MessageRecorder boxes;
            win->ui->action_Restore_Backup->trigger();
            const QString what = QString::number(length);
            QVERIFY2(int(win->runList->at(0)->chA.values->xValues.size()) == expected, qPrintable(what));
            win->ClearDisplayBuffer();
            win->ReadDataForScrolling(win->runList, 0, 100);
            QVERIFY2(int(win->runList->at(0)->chA.values->xValues.size()) == expected, qPrintable(what));
            QVERIFY2(win->backupIndex.Runs().at(0).rows == expected, qPrintable(what));
            win->ui->action_Data1->trigger();
        }
    }

    // A last line without its line end is a row for every reader when it holds every field
    // of one (its third comma is there), and none when it is cut inside its values; the
    // recovery and the cut of a broken tail keep such a row. A lone CR ends a line for every
    // reader wherever the reading's chunks fall.
    void lastLineAndLoneCRAlike()
    {
        // The chart reader's rows and the rows it tells were left out, paging from `from` on,
        // the index.
        auto readers = [this](const QByteArray &file, int from) {
            WriteFile(BackupPath(), file);
            win->backupIndex.Reset();
            MessageRecorder boxes;
            win->ui->action_Restore_Backup->trigger();
            QCoreApplication::processEvents();   // the count left out is told after the chart is in
            QVector<qint64> rows{qint64(win->runList->at(0)->chA.values->xValues.size()),
                                 boxes.Texts().value(0).section(QLatin1Char('\n'), -1).toLongLong()};
            win->ClearDisplayBuffer();
            win->ReadDataForScrolling(win->runList, from, from + 100);
            rows << qint64(win->runList->at(0)->chA.values->xValues.size()) << win->backupIndex.Runs().at(0).rows;
            win->ui->action_Data1->trigger();
            return rows;
        };
        auto text = [](const QVector<qint64> &counts) {
            QStringList t;
            for (qint64 n : counts)
                t << QString::number(n);
            return t.join(QStringLiteral(", "));
        };
        const QByteArray rows300 = RunText({1, 300});
        const QByteArray open = rows300.left(rows300.indexOf("\n\nStop Date:") + 1);
        const QByteArray rows = open.mid(open.indexOf("Memo\n") + 5);
        for (const auto &last : {std::pair<QByteArray, int>{"301,7,5, ", 301}, {"301,7,5,", 301}, {"301,7,5", 300},
                                 {"301,7,", 300}, {"30x,7,5,", 300}}) {
            const qint64 n = last.second;
            const bool whole = last.first.count(',') >= 3;
            QVector<qint64> got = readers(open + last.first, 250);
            // The live reader over the rows as "temp.csv" holds them: it moves past a line with
            // every field and waits at one cut inside its values.
            WriteFile(TempPath(), rows + last.first);
            QFile temp(TempPath());
            QVector<LoggerData *> live{NewRun(1, 0, 0)};
            qint64 pos = 0;
            QVERIFY(temp.open(QIODevice::ReadOnly));
            Utility::ReadSamplesFromFile(&temp, pos, 0, 1000, &live, false, 0);
            got << qint64(live[0]->chA.values->xValues.size()) << qint64(pos == temp.size());
            DeleteRuns(live);
            // The recovery adds the rows "temp.csv" holds past row 290 (with their line ends), and
            // its stop block counts them.
            WriteFile(BackupPath(), open.left(open.indexOf("\n291,") + 1));
            Utility::CutRun found;
            QCOMPARE(Utility::KeepRowsOfCutRun(BackupPath(), TempPath(), &found), 0);
            const RunFile recovered = ReadRunFile(BackupPath());
            QCOMPARE(int(recovered.runs.size()), 1);
            got << qint64(recovered.runs[0].rows.size()) << recovered.runs[0].totalA << found.totals.chA.totalSamples
                << qint64(FileBytes(BackupPath()).contains(last.first + "\n\nStop Date:"));
            // The cut of a broken tail gives such a row its line end and cuts any other line; an
            // index that took the row counts it once as the file grows past it.
            WriteFile(BackupPath(), open + last.first);
            RowIndex index;
            QVERIFY(index.Update(BackupPath()) && Utility::CutBrokenTail(BackupPath()) == 0);
            got << qint64(FileBytes(BackupPath()) == (n == 301 ? open + last.first + "\n\n" : open + "\n"));
            WriteFile(BackupPath(), RunText({320, 10}), true);
            QVERIFY(index.Update(BackupPath()) && index.Runs().size() == 2);
            got << index.Runs()[0].rows;
            const QVector<qint64> expected{n, whole && n == 300, n - 249, n, n, whole, n, n, n, n == 301, 1, n};
            QVERIFY2(got == expected,
                     qPrintable("\"" + last.first + "\" rows: " + text(got) + "; expected " + text(expected)));
        }

        // A line too long for a row ends in a CR as the index's first read ends.
        QByteArray head = "Start Date:,x\nSample Number,ChA Voltage (mV),ChB Voltage (mV),Memo\n1,1,, \n";
        const int rowAt = 1048575 - 65537;
        head.prepend(QByteArray(rowAt - head.size() - 1, 'p') + '\n');
        const QByteArray longRow = "2,2,," + QByteArray(65537 - 5, 'm');
        for (const char end : {'\r', '\n'}) {
            const QByteArray file = head + longRow + end + "3,3,, " + end + "4,4,, " + end;
            QCOMPARE(file.indexOf(longRow) + longRow.size(), 1048575);
            QCOMPARE(readers(file, 0), (QVector<qint64>{3, 1, 3, 3}));   // the long line is left out
        }
    }

    void emptyOrMissingFileReadsNothing()
    {
        WriteRuns({{1, 10}});
        QFile::remove(BackupPath());
        win->backupIndex.Reset();
        win->ReadDataForScrolling(win->runList, 0, 100);
        QVERIFY(win->runList->at(0)->chA.values->xValues.empty());
        // With no runs nothing is opened or read.
        win->ClearLoggerData();
        win->ReadDataForScrolling(win->runList, 0, 100);
        QVERIFY(win->runList->isEmpty());
    }
};

ZR_TEST_MAIN(TestRowIndex)
#include "test_row_index.moc"
