// The sample interval: the field and unit rules, the instrument's clock divider, and the
// spacing of the rows for the slower intervals (one row per interval, numbered as the
// time axis counts them).
#include <QtTest>

#include "test_home.h"

#include "Resources.h"
#include "Utility.h"
#include "ui_LoggerMainWindow.h"   // generated for this program: the support header uses it
#include "test_run_control_support.h"

#include <QLineEdit>
#include <chrono>

using namespace RunTest;
using namespace std::chrono_literals;

class TestRunControlInterval : public QObject {
    Q_OBJECT

    LoggerMainWindow *win = nullptr;

    // Selects a unit in the box as the user does ("us" only exists when the
    // configuration brought it).
    void ChooseUnit(const QString &unit)
    {
        QComboBox *box = win->ui->timeUnit;
        if (box->findText(unit) < 0)
            box->addItem(unit);
        box->setCurrentIndex(box->findText(unit));
        QVERIFY(QMetaObject::invokeMethod(win, "on_timeUnit_activated", Qt::DirectConnection,
                                          Q_ARG(int, box->currentIndex())));
    }

    void Type(const QString &text)
    {
        win->ui->sampleInterval->setText(text);
        QVERIFY(Invoke(win, "on_sampleInterval_editingFinished"));
    }

private slots:
    void initTestCase() { InitResources(); }

    void init()
    {
        win = OpenFreshLogger();
        QVERIFY(win);
    }

    void cleanup()
    {
        CloseLogger();
        win = nullptr;
    }

    // ---- The field ----------------------------------------------------------------------

    void typedInterval_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<double>("stored");
        QTest::newRow("half a ms") << "ms" << "0.5" << "1.00000" << 1.0;
        QTest::newRow("0.0002 s") << "s" << "0.0002" << "0.001" << 0.001;
        QTest::newRow("2.7 ms") << "ms" << "2.7" << "2.00000" << 2.0;
        QTest::newRow("100.5 ms") << "ms" << "100.5" << "100.00000" << 100.0;
        QTest::newRow("1 ms") << "ms" << "1" << "1.00000" << 1.0;
        QTest::newRow("0.001 s") << "s" << "0.001" << "0.00100" << 0.001;
        QTest::newRow("0.0015 s") << "s" << "0.0015" << "0.00100" << 0.001;
        QTest::newRow("1.0005 s") << "s" << "1.0005" << "1.00000" << 1.0;
        QTest::newRow("2.5 s") << "s" << "2.5" << "2.50000" << 2.5;
        QTest::newRow("500 us") << "us" << "500" << "1000.00000" << 1000.0;
        QTest::newRow("1500.7 us") << "us" << "1500.7" << "1000.00000" << 1000.0;
        QTest::newRow("2999 us") << "us" << "2999" << "2000.00000" << 2000.0;
        // The slowest clock the divider gives is 60 MHz / 2^32: 71.582 s in whole ms.
        QTest::newRow("a day in ms") << "ms" << "86400000" << "71582.00000" << 71582.0;
        QTest::newRow("1e11 ms") << "ms" << "99999999999" << "71582.00000" << 71582.0;
        QTest::newRow("5000000 s") << "s" << "5000000" << "71.58200" << 71.582;
        QTest::newRow("zero") << "ms" << "0" << "1.00000" << 1.0;
        QTest::newRow("negative") << "s" << "-3" << "0.001" << 0.001;
        QTest::newRow("empty") << "ms" << "" << "1.00000" << 1.0;
        QTest::newRow("not a number") << "us" << "fast" << "1000.00000" << 1000.0;
    }

    void typedInterval()
    {
        QFETCH(QString, unit);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QFETCH(double, stored);
        ChooseUnit(unit);
        win->config->xSettings.sampleMax = 250;
        Type(typed);
        QCOMPARE(win->ui->sampleInterval->text(), shown);
        QCOMPARE(win->config->sampleInterval, stored);
        QCOMPARE(win->config->intervalUnit,
                 unit == QLatin1String("s") ? Seconds : unit == QLatin1String("ms") ? MilliSeconds : MicroSeconds);
        // The time range follows: the same samples at the new interval.
        QCOMPARE(win->config->xSettings.timeMax, 250.0 * Utility::ConvertToSec(stored, win->config->intervalUnit));
    }

    void unitSwitch_data()
    {
        QTest::addColumn<QString>("fromUnit");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("toUnit");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<double>("stored");
        QTest::newRow("1.5 s to us") << "s" << "1.5" << "us" << "1500000.00000" << 1500000.0;
        QTest::newRow("1 ms to s") << "ms" << "1" << "s" << "0.00100" << 0.001;
        QTest::newRow("0.001 s to ms") << "s" << "0.001" << "ms" << "1.00000" << 1.0;
        QTest::newRow("2 s to ms") << "s" << "2" << "ms" << "2000.00000" << 2000.0;
        QTest::newRow("1000 us to ms") << "us" << "1000" << "ms" << "1.00000" << 1.0;
        QTest::newRow("5 ms to us") << "ms" << "5" << "us" << "5000.00000" << 5000.0;
        QTest::newRow("250 ms to s") << "ms" << "250" << "s" << "0.25000" << 0.25;
    }

    void unitSwitch()
    {
        QFETCH(QString, fromUnit);
        QFETCH(QString, typed);
        QFETCH(QString, toUnit);
        QFETCH(QString, shown);
        QFETCH(double, stored);
        ChooseUnit(fromUnit);
        Type(typed);
        ChooseUnit(toUnit);
        QCOMPARE(win->ui->sampleInterval->text(), shown);
        QVERIFY(qAbs(win->config->sampleInterval - stored) <= 1e-9 * stored);
        // The same interval, whatever the unit.
        QCOMPARE(qRound(Utility::ConvertToMicroSec(win->config->sampleInterval, win->config->intervalUnit)),
                 qRound(Utility::ConvertToMicroSec(typed.toDouble(), fromUnit == QLatin1String("s") ? Seconds
                                                                   : fromUnit == QLatin1String("ms") ? MilliSeconds
                                                                                                     : MicroSeconds)));
    }

    void unitFromConfigurationIsOffered()
    {
        // An interval kept in microseconds (only the file can bring it) gets its unit shown.
        win->config->intervalUnit = MicroSeconds;
        win->config->sampleInterval = 2000.0;
        win->AdjustConfig();
        QCOMPARE(win->ui->timeUnit->currentText(), QStringLiteral("us"));
        Type(QStringLiteral("3000"));
        QCOMPARE(win->config->sampleInterval, 3000.0);
        QCOMPARE(win->config->intervalUnit, MicroSeconds);
    }

    // ---- The clock divider ------------------------------------------------------------------

    void clockDivider_data()
    {
        QTest::addColumn<double>("interval");
        QTest::addColumn<int>("unit");
        QTest::addColumn<uint>("divider");
        // Up to 0.1 s: trunc((60 - f) / f) with f = 1 / microseconds, in doubles; for 10 ms
        // and 100 ms the division yields one less than 60 x us - 1.
        QTest::newRow("1 ms") << 1.0 << int(MilliSeconds) << 59999u;
        QTest::newRow("10 ms") << 10.0 << int(MilliSeconds) << 599998u;
        QTest::newRow("50 ms") << 50.0 << int(MilliSeconds) << 2999999u;   // 20 Hz
        QTest::newRow("100 ms") << 100.0 << int(MilliSeconds) << 5999998u;
        QTest::newRow("1000 us") << 1000.0 << int(MicroSeconds) << 59999u;
        // Slower: one sample per interval.
        QTest::newRow("150 ms") << 150.0 << int(MilliSeconds) << 8999999u;
        QTest::newRow("200 ms") << 200.0 << int(MilliSeconds) << 11999999u;
        QTest::newRow("500 ms") << 500.0 << int(MilliSeconds) << 29999999u;
        QTest::newRow("1 s") << 1.0 << int(Seconds) << 59999999u;
        QTest::newRow("2 s") << 2.0 << int(Seconds) << 119999999u;
        QTest::newRow("71 s") << 71.0 << int(Seconds) << 4259999999u;
        // Beyond what the divider holds the instrument runs at 1 Hz.
        QTest::newRow("72 s") << 72.0 << int(Seconds) << 59999999u;
        QTest::newRow("an hour") << 3600.0 << int(Seconds) << 59999999u;
    }

    void clockDivider()
    {
        QFETCH(double, interval);
        QFETCH(int, unit);
        QFETCH(uint, divider);
        // A start keeps an interval from the file within what the divider gives.
        const uint sent = Utility::ConvertToMilliSec(interval, SampIntervalUnit(unit)) > 71582.0 ? 4294919999u : divider;
        QCOMPARE(LoggerMainWindow::ClockDivider(interval, SampIntervalUnit(unit)), divider);
        if (QTest::currentDataTag() == QLatin1String("50 ms"))
            QCOMPARE(60000000.0 / (divider + 1.0), 20.0);

        // The divider reaches the instrument with the rest of the logging set-up.
        win->config->sampleInterval = interval;
        win->config->intervalUnit = SampIntervalUnit(unit);
        win->config->chBEnabled = false;
        win->config->ySettings.chASaturation.signalType = 0;   // DC
        win->config->ySettings.chASaturation.voltage = 3;
        ZrSim::useManualClock(true);
        MessageRecorder boxes;
        win->ui->RunButton->click();
        QVERIFY(win->loggingActive);
        const ZrSim::State state = ZrSim::state();
        QCOMPARE(state.divider, sent);
        QCOMPARE(state.channels, (unsigned char)1);
        QCOMPARE(state.dcCoupling & 1, 1);
        QCOMPARE(state.rangeA, (unsigned char)3);
        QVERIFY(!state.blockMode && !state.fastMode && !state.testMode);
        win->ui->StopButton->click();
        QVERIFY(boxes.boxes.isEmpty());
    }

    // ---- What a start takes ----------------------------------------------------------------

    // A start takes up the interval the field will log at: one brought by the configuration
    // file beyond what the instrument's clock gives is kept at the slowest it gives, and text
    // typed but not taken up yet (the toolbar buttons take no focus) is taken up. The
    // intervals counted while stopped are of the interval in force then.
    void startTakesUpTheInterval()
    {
        MessageRecorder boxes;
        ZrSim::useManualClock(true);
        ChooseUnit(QStringLiteral("ms"));
        win->config->sampleInterval = 1e11;
        win->ui->RunButton->click();
        QLineEdit *field = win->ui->sampleInterval;
        QCOMPARE(field->text(), QStringLiteral("71582.00000"));
        QCOMPARE((double(ZrSim::state().divider) + 1.0) / 60000.0, 71582.0);
        win->ui->StopButton->click();
        QCOMPARE(ReadRunFile(BackupPath()).runs.at(0).interval, QStringLiteral("71582ms"));

        field->selectAll();
        QTest::keyClicks(field, QStringLiteral("2.5"));
        QCOMPARE(field->text(), QStringLiteral("2.5"));
        QTest::qWait(350);   // 175 intervals of the new length, none of the old one
        win->ui->RunButton->click();
        QCOMPARE(field->text(), QStringLiteral("2.00000"));
        const LoggerData *run = win->runList->last();
        QCOMPARE(run->sampleInterval, 2.0);
        QCOMPARE(ZrSim::state().divider, LoggerMainWindow::ClockDivider(2.0, MilliSeconds));
        QCOMPARE(win->elapseCount, 0);
        QCOMPARE(run->firstSampleNo, 1);
        ZrSim::advanceClock(20ms);
        QTRY_COMPARE_WITH_TIMEOUT(FetchedRows(win), 10, 10000);
        win->ui->StopButton->click();
        QCOMPARE(ReadRunFile(BackupPath()).runs.at(1).interval, QStringLiteral("2ms"));
        QVERIFY(boxes.boxes.isEmpty());
    }

    // ---- One row per interval -----------------------------------------------------------

    void slowIntervalsGiveOneRowPerInterval_data()
    {
        QTest::addColumn<QString>("typed");   // in ms
        QTest::addColumn<int>("seconds");      // simulated time logged
        QTest::newRow("150 ms") << "150" << 3;
        QTest::newRow("200 ms") << "200" << 3;
        QTest::newRow("500 ms") << "500" << 5;
        QTest::newRow("2 s") << "2000" << 12;
    }

    void slowIntervalsGiveOneRowPerInterval()
    {
        QFETCH(QString, typed);
        QFETCH(int, seconds);
        MessageRecorder boxes;
        ChooseUnit(QStringLiteral("ms"));
        Type(typed);
        const double intervalMs = typed.toDouble();
        const int expected = int(seconds * 1000 / intervalMs);
        win->ui->action_TestMode->trigger();   // each row's ramp value tells its instant
        ZrSim::useManualClock(true);

        win->ui->RunButton->click();
        QVERIFY(win->loggingActive);
        for (int ms = 0; ms < seconds * 1000; ms += 100) {
            ZrSim::advanceClock(100ms);
            QTest::qWait(2);
        }
        // Whatever the instrument holds is fetched by the next tick (one per interval).
        QTRY_VERIFY_WITH_TIMEOUT(FetchedRows(win) >= expected - 1, 10000);
        QTest::qWait(int(intervalMs) + 50);
        win->ui->StopButton->click();
        QVERIFY(boxes.boxes.isEmpty());

        const std::vector<Row> temp = ReadRows(TempPath());
        QVERIFY2(qAbs(int(temp.size()) - expected) <= 1,
                 qPrintable(QStringLiteral("%1 rows for %2").arg(temp.size()).arg(expected)));
        // Row n is the sample taken at n intervals: on the time axis it sits at
        // n x interval, and it is the instrument's n-th sample (no sample was dropped).
        for (size_t i = 0; i < temp.size(); ++i) {
            QCOMPARE(temp[i].sampleNo, qint64(i + 1));
            QCOMPARE(temp[i].a, TestModeValue(0, qint64(i)));
            QCOMPARE(temp[i].b, TestModeValue(1, qint64(i)));
        }
        const RunFile backup = ReadRunFile(BackupPath());
        QCOMPARE(int(backup.runs.size()), 1);
        QCOMPARE(backup.runs[0].rows.size(), temp.size());
        QCOMPARE(backup.runs[0].interval, typed + QStringLiteral("ms"));
        QCOMPARE(win->maxScroll, int(temp.size()));
    }
};

ZR_TEST_MAIN(TestRunControlInterval)
#include "test_run_control_interval.moc"
