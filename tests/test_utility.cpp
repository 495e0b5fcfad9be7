// Names, times, units and the exact layout of what the run and memo writers produce.
#include <QtTest>

#include "test_home.h"
#include <QTemporaryDir>
#include <QTextStream>
#include <qwt_plot_marker.h>

#include "Utility.h"
#include "test_utility_support.h"

class TestUtility : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString path(const QString &name) const { return dir.filePath(name); }

private slots:
    void fileNames()
    {
        QCOMPARE(Utility::GetFilename("/a/b/chart.old.csv"), QString("chart.old"));
        QCOMPARE(Utility::GetFilename("chart.csv"), QString("chart.csv"));
        QCOMPARE(Utility::GetFilename("/a/b.d/chart"), QString("chart"));
        QCOMPARE(Utility::GetFilename("/home/u/Documents/KestrimaIII/tamberlo_backup.csv"),
                 QString("tamberlo_backup"));
    }

    void intervalConversions()
    {
        QCOMPARE(Utility::ConvertToMilliSec(2.5, Seconds), 2500.0);
        QCOMPARE(Utility::ConvertToMilliSec(500, MicroSeconds), 0.5);
        QCOMPARE(Utility::ConvertToMilliSec(7, MilliSeconds), 7.0);
        QCOMPARE(Utility::ConvertToMicroSec(3, MilliSeconds), 3000.0);
        QCOMPARE(Utility::ConvertToMicroSec(1.5, Seconds), 1500000.0);
        QCOMPARE(Utility::ConvertToMicroSec(9, MicroSeconds), 9.0);
        QCOMPARE(Utility::ConvertToSec(250, MicroSeconds), 0.00025);
        QCOMPARE(Utility::ConvertToSec(250, MilliSeconds), 0.25);
        QCOMPARE(Utility::ConvertToSec(4, Seconds), 4.0);
        const double volts[8] = {100, 200, 500, 1000, 2000, 5000, 10000, 20000};
        for (int i = 0; i < 8; ++i)
            QCOMPARE(Utility::ConvertIndexToVolt(i), volts[i]);
        QCOMPARE(Utility::ConvertIndexToVolt(-1), 0.0);
        QCOMPARE(Utility::ConvertIndexToVolt(8), 0.0);
    }

    void datesAndTimes()
    {
        const QString date = Utility::GetDate();
        QVERIFY2(QRegularExpression("^\\d\\d/\\d\\d/\\d{4}$").match(date).hasMatch(), qPrintable(date));
        const QDate parsed = QDate::fromString(date, "MM/dd/yyyy");
        QVERIFY(qAbs(parsed.daysTo(QDate::currentDate())) <= 1);
        // 12-hour clock with AM/PM, whatever the user's language
        QLocale::setDefault(QLocale(QLocale::German));
        const QString time = Utility::GetTime();
        const QString withMs = Utility::GetTimeWithMs();
        QLocale::setDefault(QLocale::c());
        QVERIFY2(QRegularExpression("^(0[1-9]|1[0-2]):[0-5]\\d:[0-5]\\d (AM|PM)$").match(time).hasMatch(),
                 qPrintable(time));
        QVERIFY2(QRegularExpression("^(0[1-9]|1[0-2]):[0-5]\\d:[0-5]\\d:\\d{3} (AM|PM)$").match(withMs).hasMatch(),
                 qPrintable(withMs));
    }

    void stubs()
    {
        QCOMPARE(Utility::SendEmail("a@b.c"), 1);
        QVector<LoggerData *> runs{newRun(1, 3)};
        QCOMPARE(Utility::SaveToTextFormat(path("text.txt"), &runs), 0);
        QVERIFY(!QFile::exists(path("text.txt")));
        DeleteRuns(runs);
    }

    // The layout is what other programs and users' saved charts rely on, byte for byte.
    void runLayoutIsExact()
    {
        LoggerData *run = newRun(1, 0);
        run->startDate = "01/02/2024";
        run->startTime = "10:11:12 AM";
        run->stopDate = "01/02/2024";
        run->stopTime = "10:12:00 PM";
        run->chA.values->xValues = {1, 2, 3};
        run->chA.values->yValues = {0, 65535, 1000.5};
        run->chB.values->xValues = {1, 2, 3};   // channel B off: numbers but no values
        run->memo = {" ", "ChA ADC saturated.", ""};
        run->chA.totalSamples = 3;
        run->chB.totalSamples = 0;
        run->chA.maxValue = 1000.5;
        run->chA.minValue = 0;
        run->chB.maxValue = run->chB.minValue = 0;
        run->chA.missedSamples = 1;
        run->chB.missedSamples = 0;
        QVector<LoggerData *> runs{run};
        QCOMPARE(Utility::SaveToCSVFormat(path("layout.csv"), &runs, false), 0);
        const QByteArray expected =
            "Start Date:,01/02/2024\n"
            "Start Time:,10:11:12 AM\n"
            "Sample Interval:,1ms\n"
            "\n"
            "Sample Number,ChA Voltage (mV),ChB Voltage (mV),Memo\n"
            "1,0,, \n"
            "2,65535,,ChA ADC saturated.\n"
            "3,1000.5,, \n"
            "\n"
            "Stop Date:,01/02/2024\n"
            "Stop Time:,10:12:00 PM\n"
            "Total Samples:,3,0\n"
            "Maximum (mV):,1000.5,0\n"
            "Minimum (mV):,0,0\n"
            "Missed Samples:,1,0\n"
            "\n";
        QCOMPARE(fileBytes(path("layout.csv")), expected);

        // Appending adds a second complete group after the first.
        QCOMPARE(Utility::SaveToCSVFormat(path("layout.csv"), &runs, true), 0);
        QCOMPARE(fileBytes(path("layout.csv")), expected + expected);
        DeleteRuns(runs);
    }

    void intervalLineUnits_data()
    {
        QTest::addColumn<double>("interval");
        QTest::addColumn<int>("unit");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("s") << 2.0 << int(Seconds) << QByteArray("Sample Interval:,2s");
        QTest::newRow("ms") << 1.0 << int(MilliSeconds) << QByteArray("Sample Interval:,1ms");
        QTest::newRow("us") << 500.0 << int(MicroSeconds) << QByteArray("Sample Interval:,500us");
        QTest::newRow("fraction") << 0.001 << int(Seconds) << QByteArray("Sample Interval:,0.001s");
        QTest::newRow("big") << 1500000.0 << int(MicroSeconds) << QByteArray("Sample Interval:,1.5e+06us");
    }
    void intervalLineUnits()
    {
        QFETCH(double, interval);
        QFETCH(int, unit);
        QFETCH(QByteArray, line);
        LoggerData *run = newRun(1, 2);
        run->sampleInterval = interval;
        // The unit written is the argument's, not the run's.
        run->intervalUnit = unit == int(Seconds) ? MicroSeconds : Seconds;
        QFile *file = Utility::OpenFile(path("interval.csv"), false);
        QVERIFY(file);
        QCOMPARE(Utility::SaveStartInfo(file, run, SampIntervalUnit(unit)), 0);
        QCOMPARE(Utility::SaveLoggerData(file, run->chA.values, run->chB.values, run->memo, 2), 0);
        QCOMPARE(Utility::SaveStopInfo(file, run), 0);
        Utility::CloseFile(file);
        delete file;
        const QList<QByteArray> lines = fileBytes(path("interval.csv")).split('\n');
        QCOMPARE(lines.value(2), line);

        QVector<LoggerData *> back;
        QCOMPARE(Utility::LoadValues(path("interval.csv"), &back), 0);
        QCOMPARE(back.size(), 1);
        QCOMPARE(int(back[0]->intervalUnit), unit);
        QCOMPARE(back[0]->sampleInterval, interval);
        DeleteRuns(back);
        QVector<LoggerData *> mine{run};
        DeleteRuns(mine);
    }

    // Doubles are written as the text stream writes them by default.
    void numbersAsTextStreamWritesThem()
    {
        const double values[] = {0.0, -0.0, 1, 0.5, -12.5, 65535, 999999, 1000000, 1234567, 123456.7,
                                 3.14159265, -0.0001, 1e-5, 2e-300, -987654321.0, 42.000001, 1e21};
        LoggerData *run = newRun(1, 0);
        QVector<LoggerData *> runs{run};
        for (double v : values) {
            run->chA.maxValue = v;
            run->chB.maxValue = -v;
            QFile *file = Utility::OpenFile(path("num.csv"), false);
            QVERIFY(file);
            QCOMPARE(Utility::SaveStopInfo(file, run), 0);
            delete file;
            QString expected;
            QTextStream ts(&expected);
            ts << "Maximum (mV):," << v << "," << -v;
            ts.flush();
            const QList<QByteArray> lines = fileBytes(path("num.csv")).split('\n');
            QCOMPARE(QString::fromLatin1(lines.value(4)), expected);
        }
        DeleteRuns(runs);
    }

    // Sample numbers of a long run (1 ms for over 17 minutes) stay exact.
    void largeSampleNumbersAreWhole()
    {
        LoggerData *run = newRun(999998, 4);
        run->chA.values->xValues.push_back(2147483647.0);
        run->chB.values->xValues.push_back(2147483647.0);
        run->chA.values->yValues.push_back(5);
        run->chB.values->yValues.push_back(6);
        run->memo.push_back(" ");
        run->chA.totalSamples = run->chB.totalSamples = 5;
        QVector<LoggerData *> runs{run};
        QCOMPARE(Utility::SaveToCSVFormat(path("big.csv"), &runs, false), 0);
        const QByteArray bytes = fileBytes(path("big.csv"));
        QVERIFY(bytes.contains("\n1000000,"));
        QVERIFY(bytes.contains("\n1000001,"));
        QVERIFY(bytes.contains("\n2147483647,"));
        QVERIFY(!bytes.contains("e+"));

        QVector<LoggerData *> back;
        QCOMPARE(Utility::LoadValues(path("big.csv"), &back), 0);
        QCOMPARE(back.size(), 1);
        const std::vector<double> expected{999998, 999999, 1000000, 1000001, 2147483647.0};
        QCOMPARE(back[0]->chA.values->xValues, expected);
        QCOMPARE(back[0]->chB.values->xValues, expected);
        QCOMPARE(back[0]->firstSampleNo, 999998);
        DeleteRuns(back);
        DeleteRuns(runs);
    }

    // Whatever count a caller passes, only rows the vectors hold are written.
    void rowCountCutToVectors()
    {
        DataValues a, b;
        a.xValues = {10, 11};
        a.yValues = {1};   // fewer values than numbers
        b.xValues = {10, 11, 12};
        b.yValues = {7, 8, 9};
        const std::vector<QString> memo{"m1"};
        QFile *file = Utility::OpenFile(path("cut.csv"), false);
        QVERIFY(file);
        QCOMPARE(Utility::SaveLoggerData(file, &a, &b, memo, 1000), 0);
        QCOMPARE(Utility::SaveLoggerData(file, nullptr, nullptr, memo, 5), 0);   // nothing to write
        QCOMPARE(Utility::SaveLoggerData(file, &a, &b, memo, 0), 1);
        QCOMPARE(Utility::SaveLoggerData(nullptr, &a, &b, memo, 1), 1);
        delete file;
        QCOMPARE(fileBytes(path("cut.csv")), QByteArray("10,1,7,m1\n11,,8, \n12,,9, \n"));

        // A live run whose totals exceed what the chart holds in memory.
        LoggerData *run = newRun(1, 3);
        run->chA.totalSamples = 50000;
        run->chB.totalSamples = 50000;
        run->memo.clear();
        QVector<LoggerData *> runs{run};
        QCOMPARE(Utility::SaveToCSVFormat(path("live.csv"), &runs, false), 0);
        QCOMPARE(fileBytes(path("live.csv")).count('\n'), 5 + 3 + 8);
        DeleteRuns(runs);
    }

    // Rows written to a file kept open are in the file at once, not at close.
    void blockWritesReachTheFile()
    {
        QFile *file = Utility::OpenFile(path("open.csv"), false);
        QVERIFY(file);
        LoggerData *run = newRun(1, 2);
        QCOMPARE(Utility::SaveStartInfo(file, run, MilliSeconds), 0);
        QCOMPARE(fileBytes(path("open.csv")).count('\n'), 5);
        QCOMPARE(Utility::SaveLoggerData(file, run->chA.values, run->chB.values, run->memo, 2), 0);
        QCOMPARE(fileBytes(path("open.csv")).count('\n'), 7);
        QCOMPARE(Utility::SaveStopInfo(file, run), 0);
        QCOMPARE(fileBytes(path("open.csv")).count('\n'), 15);
        QVERIFY(file->isOpen());
        Utility::CloseFile(file);
        QVERIFY(!file->isOpen());
        delete file;
        QVector<LoggerData *> runs{run};
        DeleteRuns(runs);
    }

    // A full disk is a failure, never a success.
    void fullDiskIsReported()
    {
        if (!QFile::exists("/dev/full"))
            QSKIP("no /dev/full");
        LoggerData *run = newRun(1, 3);
        QVector<LoggerData *> runs{run};
        QFile *file = Utility::OpenFile("/dev/full", true);
        QVERIFY(file);
        QCOMPARE(Utility::SaveStartInfo(file, run, MilliSeconds), 1);
        QCOMPARE(Utility::SaveLoggerData(file, run->chA.values, run->chB.values, run->memo, 3), 1);
        QCOMPARE(Utility::SaveStopInfo(file, run), 1);
        delete file;
        QCOMPARE(Utility::SaveToCSVFormat("/dev/full", &runs, false), 1);
        QVector<QwtPlotMarker *> markers{new QwtPlotMarker};
        QCOMPARE(Utility::SaveMemoToCSVFormat("/dev/full", &markers), 1);
        qDeleteAll(markers);
        DeleteRuns(runs);
    }

    void unopenableTargets()
    {
        QVERIFY(!Utility::OpenFile(dir.path(), false));
        QVERIFY(!Utility::OpenFile(path("no/such/dir/x.csv"), true));
        QVector<LoggerData *> runs;
        QCOMPARE(Utility::SaveToCSVFormat(dir.path(), &runs, false), 1);
        QCOMPARE(Utility::SaveMemoToCSVFormat(dir.path(), nullptr), 1);
        QCOMPARE(Utility::SaveStartInfo(nullptr, nullptr, Seconds), 1);
        QCOMPARE(Utility::SaveStopInfo(nullptr, nullptr), 1);
        Utility::CloseFile(nullptr);
        // An empty chart still gives a file.
        QCOMPARE(Utility::SaveToCSVFormat(path("empty.csv"), &runs, false), 0);
        QVERIFY(QFile::exists(path("empty.csv")));
        QCOMPARE(fileBytes(path("empty.csv")), QByteArray());
    }

    void memoLayoutIsExact()
    {
        auto *m1 = new QwtPlotMarker;
        m1->setLabel(QwtText("pump on"));
        m1->setValue(1234567, -250.5);
        auto *m2 = new QwtPlotMarker;
        m2->setLabel(QwtText("valve 2, closed"));
        m2->setValue(12, 3);
        QVector<QwtPlotMarker *> markers{m1, m2};
        QCOMPARE(Utility::SaveMemoToCSVFormat(path("m_Memo.csv"), &markers), 0);
        QCOMPARE(fileBytes(path("m_Memo.csv")),
                 QByteArray("Memo Label,Memo X,Memo Y,\npump on,1234567,-250.5,\nvalve 2, closed,12,3,\n"));
        QVector<QwtPlotMarker *> none;
        QCOMPARE(Utility::SaveMemoToCSVFormat(path("e_Memo.csv"), &none), 0);
        QCOMPARE(fileBytes(path("e_Memo.csv")), QByteArray("Memo Label,Memo X,Memo Y,\n"));
        qDeleteAll(markers);
    }
};

ZR_TEST_GUILESS_MAIN(TestUtility)
#include "test_utility.moc"
