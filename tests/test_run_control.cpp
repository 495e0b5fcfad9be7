// Running the logger against the simulated instrument: refused starts, a run and its
// files, numbering across runs, Clear Screen, Restore Backup, stops before the first
// block, a full disk, and quick start/stop sequences with the first block
// handed over in the poll thread.
#include <QtTest>

#include "test_home.h"

#include "PollThread.h"

#include "DisplayThread.h"
#include "RawDataWindow.h"
#include "Resources.h"
#include "SettingsWindow.h"
#include "ui_LoggerMainWindow.h"   // generated for this program: the support header uses it
#include "XWindow.h"
#include "test_run_control_support.h"

#include <QElapsedTimer>
#include <QRadioButton>
#include <QSlider>
#include <atomic>
#include <chrono>
#include <thread>

using namespace RunTest;
using namespace std::chrono_literals;

namespace {

// Qt's warnings about objects used from the wrong thread, collected during a test.
QStringList threadWarnings;
QtMessageHandler previousHandler = nullptr;

void CollectThreadWarnings(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtDebugMsg
        && (text.contains(QLatin1String("thread"), Qt::CaseInsensitive) || text.contains(QLatin1String("QPixmap"))))
        threadWarnings << text;
    if (previousHandler)
        previousHandler(type, context, text);
}

// Simulated time running many times faster than real time, from a thread of its own, so
// that data already waits when the poll thread makes its first fetch.
class FastClock {
public:
    FastClock()
    {
        ZrSim::useManualClock(true);
        worker = std::thread([this] {
            while (running) {
                ZrSim::advanceClock(1ms);
                std::this_thread::sleep_for(20us);
            }
        });
    }
    ~FastClock()
    {
        running = false;
        worker.join();
    }

private:
    std::atomic<bool> running{true};
    std::thread worker;
};

}   // namespace

class TestRunControl : public QObject {
    Q_OBJECT

    LoggerMainWindow *win = nullptr;

    // Advances the manual clock by `ms` in steps the instrument's queue can hold and
    // waits until the window has fetched `expected` rows of the run.
    void Log(int ms, int expected)
    {
        const int step = 200;
        for (int done = 0; done < ms; done += step) {
            ZrSim::advanceClock(std::chrono::milliseconds(std::min(step, ms - done)));
            QTest::qWait(5);
        }
        QTRY_COMPARE_WITH_TIMEOUT(FetchedRows(win), expected, 15000);
    }

    void SetInterval(const QString &text)
    {
        win->ui->sampleInterval->setText(text);
        QVERIFY(Invoke(win, "on_sampleInterval_editingFinished"));
    }

    // What a user sees of a window that is not logging.
    void VerifyIdle()
    {
        Ui_LoggerMainWindow *ui = win->ui;
        QVERIFY(!win->loggingActive);
        QVERIFY(ui->RunButton->isEnabled());
        QVERIFY(!ui->StopButton->isEnabled());
        QVERIFY(ui->action_Start->isEnabled());
        QVERIFY(!ui->action_Stop->isEnabled());
        QVERIFY(!LoggerMainWindow::IsTicked(ui->action_Start));
        QCOMPARE(ui->action_Restore_Backup->isEnabled(), win->config->backup);
        for (QAction *a : {ui->action_Scope_Mode, ui->action_Close, ui->action_Track_Data_Logger,
                           ui->action_Channel_A, ui->action_Channel_B, ui->action_TestMode, ui->action_Clear_Screen})
            QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
        for (QWidget *c : {static_cast<QWidget *>(ui->sampleInterval), static_cast<QWidget *>(ui->timeUnit),
                           static_cast<QWidget *>(ui->chAButton), static_cast<QWidget *>(ui->chBButton),
                           static_cast<QWidget *>(ui->TestModeButton)})
            QVERIFY2(c->isEnabled(), qPrintable(c->objectName()));
        // The data format can be switched again (once the settings dialog has its form).
        for (const char *name : {"rawRadio", "formattedRadio"})
            if (auto *radio = win->settingsWindow->findChild<QRadioButton *>(QLatin1String(name)))
                QVERIFY2(radio->isEnabled(), name);
        QVERIFY(!ZrSim::state().open);
        QVERIFY(!win->pollThread || !win->pollThread->isRunning());
        QVERIFY(!win->displayThread || !win->displayThread->isRunning());
    }

    void VerifyLogging()
    {
        Ui_LoggerMainWindow *ui = win->ui;
        QVERIFY(win->loggingActive);
        QVERIFY(!ui->RunButton->isEnabled());
        QVERIFY(ui->StopButton->isEnabled());
        QVERIFY(!ui->action_Start->isEnabled());
        QVERIFY(ui->action_Stop->isEnabled());
        for (QAction *a : {ui->action_Scope_Mode, ui->action_Close, ui->action_Track_Data_Logger,
                           ui->action_Channel_A, ui->action_Channel_B, ui->action_TestMode, ui->action_Clear_Screen,
                           ui->action_Restore_Backup})
            QVERIFY2(!a->isEnabled(), qPrintable(a->objectName()));
        for (QWidget *c : {static_cast<QWidget *>(ui->sampleInterval), static_cast<QWidget *>(ui->timeUnit),
                           static_cast<QWidget *>(ui->chAButton), static_cast<QWidget *>(ui->chBButton),
                           static_cast<QWidget *>(ui->TestModeButton)})
            QVERIFY2(!c->isEnabled(), qPrintable(c->objectName()));
        if (auto *radio = win->settingsWindow->findChild<QRadioButton *>(QStringLiteral("rawRadio")))
            QVERIFY(!radio->isEnabled());
        QVERIFY(ZrSim::state().open);
        QVERIFY(ZrSim::state().streaming);
    }

    // Every run of the backup file matches the run list: same count, each run complete,
    // its rows numbered on from the run's first sample, as many as the run counted.
    void VerifyBackupMatchesRuns()
    {
        const RunFile file = ReadRunFile(BackupPath());
        QCOMPARE(file.badLines, 0);
        QCOMPARE(int(file.runs.size()), win->runList->size());
        for (int j = 0; j < win->runList->size(); ++j) {
            const LoggerData *run = win->runList->at(j);
            const Run &stored = file.runs[size_t(j)];
            const QString where = QStringLiteral("run %1").arg(j);
            QVERIFY2(stored.stopped, qPrintable(where));
            QVERIFY2(!stored.startDate.isEmpty(), qPrintable(where));
            const int rows = std::max(run->chA.totalSamples, run->chB.totalSamples);
            QCOMPARE(int(stored.rows.size()), rows);
            QCOMPARE(stored.totalA, qint64(run->chA.totalSamples));
            QCOMPARE(stored.totalB, qint64(run->chB.totalSamples));
            for (size_t i = 0; i < stored.rows.size(); ++i)
                QCOMPARE(stored.rows[i].sampleNo, qint64(run->firstSampleNo) + qint64(i));
            if (j > 0) {
                const LoggerData *before = win->runList->at(j - 1);
                QVERIFY(run->firstSampleNo
                        >= before->firstSampleNo + std::max(before->chA.totalSamples, before->chB.totalSamples));
            }
        }
    }

private slots:
    void initTestCase()
    {
        InitResources();
        previousHandler = qInstallMessageHandler(CollectThreadWarnings);
    }

    void init()
    {
        FreshFolder();
        ZrSim::reset();
        isIOError = false;
        threadWarnings.clear();
        win = OpenLogger();
        QVERIFY(win);
        QVERIFY(win->isVisible());
    }

    void cleanup()
    {
        CloseLogger();
        win = nullptr;
        QVERIFY2(threadWarnings.isEmpty(), qPrintable(threadWarnings.join(QLatin1Char('\n'))));
    }

    // ---- Refused starts ---------------------------------------------------------------

    void startWithNoChannelShowsMessage8()
    {
        MessageRecorder boxes;
        win->ui->action_Channel_A->trigger();
        win->ui->action_Channel_B->trigger();
        QVERIFY(!win->config->chAEnabled && !win->config->chBEnabled);
        const QByteArray backupBefore = FileBytes(BackupPath());

        win->ui->RunButton->click();
        QTRY_COMPARE(boxes.boxes.size(), 1);
        QVERIFY(boxes.SawError(QStringLiteral("No channel is enabled.")));
        QVERIFY(win->runList->isEmpty());
        QCOMPARE(FileBytes(BackupPath()), backupBefore);
        VerifyIdle();

        // One channel is enough.
        win->ui->action_Channel_B->trigger();
        ZrSim::useManualClock(true);
        win->ui->action_Start->trigger();
        VerifyLogging();
        QCOMPARE(win->runList->size(), 1);
        win->ui->action_Stop->trigger();
        VerifyIdle();
        QCOMPARE(boxes.boxes.size(), 1);
    }

    void startWithoutInstrumentShowsMessage0()
    {
        MessageRecorder boxes;
        QFile previous(BackupPath());
        QVERIFY(previous.open(QIODevice::WriteOnly));
        previous.write("kept\n");
        previous.close();
        ZrSim::setPresent(false);

        win->ui->RunButton->click();
        QTRY_COMPARE(boxes.boxes.size(), 1);
        QVERIFY(boxes.SawError(QStringLiteral("ZR70K33 h/w not found.")));
        QVERIFY(win->runList->isEmpty());
        VerifyIdle();
        // Nothing was started, so nothing was emptied.
        QCOMPARE(FileBytes(BackupPath()), QByteArray("kept\n"));
        QVERIFY(win->backupResetPending);

        // Switched on again, the next start works.
        ZrSim::setPresent(true);
        ZrSim::useManualClock(true);
        win->ui->RunButton->click();
        VerifyLogging();
        win->ui->StopButton->click();
        QCOMPARE(win->runList->size(), 1);
        QCOMPARE(boxes.boxes.size(), 1);
    }

    void startRefusedForFiles_data()
    {
        QTest::addColumn<bool>("tempBlocked");
        QTest::addColumn<QString>("message");
        QTest::newRow("backup") << false << "tamberlo_backup.csv is opened.";
        QTest::newRow("temp") << true << "temp.csv is opened.";
    }

    void startRefusedForFiles()
    {
        QFETCH(bool, tempBlocked);
        QFETCH(QString, message);
        MessageRecorder boxes;
        const QString blocked = tempBlocked ? TempPath() : BackupPath();
        QFile::remove(blocked);
        QVERIFY(QDir().mkpath(blocked));   // a folder of that name cannot be opened as a file

        win->ui->RunButton->click();
        QTRY_COMPARE(boxes.boxes.size(), 1);
        QVERIFY2(boxes.SawError(message), qPrintable(boxes.Texts().join(QLatin1Char('|'))));
        QVERIFY(win->runList->isEmpty());
        VerifyIdle();   // the instrument was closed again

        QVERIFY(QDir(blocked).removeRecursively());
        ZrSim::useManualClock(true);
        win->ui->RunButton->click();
        VerifyLogging();
        Log(20, 20);
        win->ui->StopButton->click();
        QCOMPARE(win->runList->size(), 1);
        QCOMPARE(int(ReadRunFile(BackupPath()).runs.size()), 1);
        QCOMPARE(boxes.boxes.size(), 1);
    }

    // ---- A run and its files ------------------------------------------------------------

    void runRecordsItsRowsInBothFiles()
    {
        MessageRecorder boxes;
        ZrSim::useManualClock(true);
        win->ui->action_TestMode->trigger();   // ramps: every row tells its instant
        QVERIFY(win->config->testMode);

        win->ui->RunButton->click();
        VerifyLogging();
        QCOMPARE(ZrSim::state().divider, 59999u);   // 1 ms
        QVERIFY(ZrSim::state().testMode);
        QCOMPARE(ZrSim::state().channels, (unsigned char)3);
        QCOMPARE(win->runList->size(), 1);
        QCOMPARE(win->runList->last()->firstSampleNo, 1);

        Log(250, 250);
        // The first block wrote the run's start block.
        QTRY_VERIFY(FileBytes(BackupPath()).startsWith("Start Date:"));
        Log(250, 500);
        win->ui->StopButton->click();
        VerifyIdle();
        QVERIFY(boxes.boxes.isEmpty());

        // "temp.csv": exactly the fetched rows, each with its instant's values.
        int bad = 0;
        const std::vector<Row> temp = ReadRows(TempPath(), &bad);
        QCOMPARE(bad, 0);
        QCOMPARE(int(temp.size()), 500);
        double minA = 1e9, maxA = -1e9, minB = 1e9, maxB = -1e9;
        for (int i = 0; i < 500; ++i) {
            QCOMPARE(temp[size_t(i)].sampleNo, qint64(i + 1));
            QCOMPARE(temp[size_t(i)].a, TestModeValue(0, i));
            QCOMPARE(temp[size_t(i)].b, TestModeValue(1, i));
            minA = std::min(minA, TestModeValue(0, i).toDouble());
            maxA = std::max(maxA, TestModeValue(0, i).toDouble());
            minB = std::min(minB, TestModeValue(1, i).toDouble());
            maxB = std::max(maxB, TestModeValue(1, i).toDouble());
        }

        // The run record.
        const LoggerData *run = win->runList->last();
        QVERIFY(QDate::fromString(run->startDate, QStringLiteral("MM/dd/yyyy")).isValid());
        QVERIFY(QTime::fromString(run->startTime, QStringLiteral("hh:mm:ss AP")).isValid());
        QVERIFY(QDate::fromString(run->stopDate, QStringLiteral("MM/dd/yyyy")).isValid());
        QVERIFY(QTime::fromString(run->stopTime, QStringLiteral("hh:mm:ss AP")).isValid());
        QCOMPARE(run->dataUnit, QStringLiteral("mV"));
        QCOMPARE(run->sampleInterval, 1.0);
        QCOMPARE(run->intervalUnit, MilliSeconds);
        QCOMPARE(run->chA.totalSamples, 500);
        QCOMPARE(run->chB.totalSamples, 500);
        QCOMPARE(run->chA.missedSamples, 0);
        QCOMPARE(run->chA.minValue, minA);
        QCOMPARE(run->chA.maxValue, maxA);
        QCOMPARE(run->chB.minValue, minB);
        QCOMPARE(run->chB.maxValue, maxB);
        QCOMPARE(win->maxScroll, 500);

        // The backup: start block, every row once with the values of "temp.csv", stop block.
        const RunFile backup = ReadRunFile(BackupPath());
        QCOMPARE(backup.badLines, 0);
        QVERIFY(backup.endsWithLineFeed);
        QCOMPARE(int(backup.runs.size()), 1);
        const Run &stored = backup.runs[0];
        QCOMPARE(stored.startDate, run->startDate);
        QCOMPARE(stored.startTime, run->startTime);
        QCOMPARE(stored.interval, QStringLiteral("1ms"));
        QCOMPARE(int(stored.rows.size()), 500);
        for (int i = 0; i < 500; ++i) {
            QCOMPARE(stored.rows[size_t(i)].sampleNo, qint64(i + 1));
            QCOMPARE(stored.rows[size_t(i)].a, temp[size_t(i)].a);
            QCOMPARE(stored.rows[size_t(i)].b, temp[size_t(i)].b);
        }
        QVERIFY(stored.stopped);
        QCOMPARE(stored.stopDate, run->stopDate);
        QCOMPARE(stored.totalA, qint64(500));
        QCOMPARE(stored.totalB, qint64(500));
        QCOMPARE(stored.missedA, qint64(0));
        QCOMPARE(stored.maxA.toDouble(), maxA);
        QCOMPARE(stored.minB.toDouble(), minB);

        // After the stop the chart pages the visible range back from the backup.
        QVERIFY(win->reloadPending);
        QVERIFY(win->elapseClock.isValid());
        const int lo = std::max(1, win->config->xSettings.sampleMin);
        const int hi = std::min(500, win->config->xSettings.sampleMax);
        QVector<LoggerData *> *shown = win->GetDisplayBuffer();
        QVERIFY(!win->reloadPending);
        const std::vector<double> &xs = shown->last()->chA.values->xValues;
        QCOMPARE(int(xs.size()), hi - lo + 1);
        for (int i = 0; i < int(xs.size()); ++i) {
            QCOMPARE(xs[size_t(i)], double(lo + i));
            QCOMPARE(shown->last()->chA.values->yValues[size_t(i)], TestModeValue(0, lo + i - 1).toDouble());
        }
    }

    void rawFormatPassesEveryRowAtStop()
    {
        MessageRecorder boxes;
        ZrSim::useManualClock(true);
        win->config->dataFormat = 0;
        win->ui->RunButton->click();
        VerifyLogging();
        QVERIFY(win->rawDataWindow->isVisible());
        Log(1200, 1200);
        win->ui->StopButton->click();
        VerifyIdle();
        QVERIFY(!win->rawDataWindow->isVisible());

        const LoggerData *run = win->runList->last();
        QCOMPARE(run->chA.totalSamples, 1200);
        QCOMPARE(run->chB.totalSamples, 1200);
        VerifyBackupMatchesRuns();
        QCOMPARE(win->maxScroll, 1200);
        // The visible range was read back from the backup at the stop.
        const int lo = std::max(1, win->config->xSettings.sampleMin);
        const int hi = std::min(1200, win->config->xSettings.sampleMax);
        const std::vector<double> &xs = run->chA.values->xValues;
        QCOMPARE(int(xs.size()), hi - lo + 1);
        QCOMPARE(xs.front(), double(lo));
        QCOMPARE(xs.back(), double(hi));
        QVERIFY(boxes.boxes.isEmpty());
    }

    // ---- Numbering across runs -------------------------------------------------------------

    void secondRunStartsAfterFirstPlusElapsedIntervals()
    {
        MessageRecorder boxes;
        ZrSim::useManualClock(true);
        win->ui->action_TestMode->trigger();
        SetInterval(QStringLiteral("100"));
        QCOMPARE(win->config->sampleInterval, 100.0);
        QCOMPARE(win->config->intervalUnit, MilliSeconds);

        win->ui->RunButton->click();
        Log(3000, 30);
        QElapsedTimer outer;
        outer.start();
        win->ui->StopButton->click();
        QElapsedTimer inner;
        inner.start();
        QVERIFY(win->elapseClock.isValid());
        QCOMPARE(win->elapseIntervalMs, 100);

        QTest::qWait(450);
        // The second run logs channel B alone, at another interval: its numbers must still
        // follow on, the time stopped counted at the interval in force while stopped.
        win->ui->action_Channel_A->trigger();
        SetInterval(QStringLiteral("50"));
        const qint64 innerMs = inner.elapsed();
        win->ui->RunButton->click();
        const qint64 outerMs = outer.elapsed();
        QVERIFY(win->elapseCount >= int(innerMs / 100));
        QVERIFY(win->elapseCount <= int(outerMs / 100));

        QCOMPARE(win->runList->size(), 2);
        const int first = win->runList->last()->firstSampleNo;
        QCOMPARE(first, 1 + 30 + win->elapseCount);
        Log(1000, 20);
        win->ui->StopButton->click();

        // "temp.csv" holds the second run only: B values, an empty A column.
        const std::vector<Row> temp = ReadRows(TempPath());
        QCOMPARE(int(temp.size()), 20);
        for (int i = 0; i < 20; ++i) {
            QCOMPARE(temp[size_t(i)].sampleNo, qint64(first + i));
            QCOMPARE(temp[size_t(i)].a, QString());
            QCOMPARE(temp[size_t(i)].b, TestModeValue(1, i));
        }
        const LoggerData *second = win->runList->last();
        QCOMPARE(second->chA.totalSamples, 0);
        QCOMPARE(second->chB.totalSamples, 20);
        VerifyBackupMatchesRuns();
        QCOMPARE(win->maxScroll, first + 19);

        // Both runs page back from the backup, the one without channel A included.
        for (LoggerData *run : *win->runList) {
            run->chA.values->xValues.clear();
            run->chA.values->yValues.clear();
            run->chB.values->xValues.clear();
            run->chB.values->yValues.clear();
        }
        win->ReadDataForScrolling(win->runList, 25, first + 4);
        QCOMPARE(int(win->runList->at(0)->chA.values->xValues.size()), 6);   // 25..30
        QCOMPARE(int(win->runList->at(1)->chB.values->xValues.size()), 5);
        QCOMPARE(win->runList->at(1)->chB.values->xValues.front(), double(first));
        QCOMPARE(win->runList->at(1)->chB.values->yValues.back(), TestModeValue(1, 4).toDouble());
        QVERIFY(boxes.boxes.isEmpty());
    }

    void firstSampleFollowsPreviousRunsLongerChannel()
    {
        // A run of 500 samples on A and 480 on B, and 30 intervals counted since it
        // stopped: the next run starts at 1 + 500 + 30.
        ZrSim::useManualClock(true);
        win->runList->append(NewRun(1, 500, 480));
        win->elapseCount = 30;
        win->ui->RunButton->click();
        QCOMPARE(win->runList->size(), 2);
        QCOMPARE(win->runList->last()->firstSampleNo, 531);
        Log(10, 10);
        win->ui->StopButton->click();
        const std::vector<Row> temp = ReadRows(TempPath());
        QCOMPARE(int(temp.size()), 10);
        QCOMPARE(temp.front().sampleNo, qint64(531));
        QCOMPARE(temp.back().sampleNo, qint64(540));
        QCOMPARE(win->maxScroll, 540);
    }

    // A chart whose numbers end just below the last one the chart can show: the next run
    // logs up to that number and stops by itself, its files whole, and says why; a start
    // that would number past it is refused.
    void runStopsBeforeSampleNumbersPassTheLimit()
    {
        MessageRecorder boxes;
        ZrSim::useManualClock(true);
        win->ui->action_TestMode->trigger();
        const qint64 first = MaxChartSample - 49;
        win->runList->append(NewRun(int(first - 1000), 1000, 1000));
        win->ui->RunButton->click();
        VerifyLogging();
        QCOMPARE(qint64(win->runList->last()->firstSampleNo), first);
        for (int i = 0; i < 3000 && win->loggingActive; ++i) {
            ZrSim::advanceClock(10ms);
            QTest::qWait(5);
        }
        QTRY_COMPARE_WITH_TIMEOUT(boxes.boxes.size(), 1, 15000);
        const QString message = boxes.boxes[0].text;
        QVERIFY2(message.contains(QLatin1String("largest")), qPrintable(message));
        VerifyIdle();

        const LoggerData *run = win->runList->last();
        QCOMPARE(run->chA.totalSamples, 50);
        QCOMPARE(run->chB.totalSamples, 50);
        QCOMPARE(qint64(win->maxScroll), MaxChartSample);
        const std::vector<Row> temp = ReadRows(TempPath());
        const RunFile backup = ReadRunFile(BackupPath());
        QCOMPARE(backup.badLines, 0);
        QCOMPARE(int(backup.runs.size()), 1);
        QVERIFY(backup.runs[0].stopped);
        QCOMPARE(backup.runs[0].totalA, qint64(50));
        for (const std::vector<Row> *rows : {&temp, &backup.runs[0].rows}) {
            QCOMPARE(int(rows->size()), 50);
            for (size_t i = 0; i < rows->size(); ++i) {
                QCOMPARE((*rows)[i].sampleNo, first + qint64(i));
                QCOMPARE((*rows)[i].a, TestModeValue(0, qint64(i)));
            }
        }

        const QByteArray kept = FileBytes(BackupPath());
        win->ui->RunButton->click();
        QTRY_COMPARE(boxes.boxes.size(), 2);
        QCOMPARE(boxes.boxes[1].text, message);
        QCOMPARE(win->runList->size(), 2);
        VerifyIdle();
        QCOMPARE(FileBytes(BackupPath()), kept);
    }

    // ---- Clear Screen, Restore Backup ----------------------------------------------------

    void clearScreenStartsANewChart()
    {
        ZrSim::useManualClock(true);
        win->ui->RunButton->click();
        Log(100, 100);
        win->ui->StopButton->click();
        const QByteArray backup = FileBytes(BackupPath());
        QVERIFY(backup.contains("Missed Samples:"));
        for (AlertEntry &alert : win->config->alertSettings.alerts) {
            alert.alertType = 1;
            alert.fired = true;
        }
        QVERIFY(win->elapseClock.isValid());
        win->ui->horizontalSlider->setValue(3);
        win->ui->action_Full->trigger();   // a window the slider does not lead back from
        QVERIFY(win->ui->xMaxLabel->text() != QString("100"));

        win->ui->action_Clear_Screen->trigger();
        for (const AlertEntry &alert : win->config->alertSettings.alerts)
            QVERIFY(!alert.fired);   // alerts can fire again
        QVERIFY(win->runList->isEmpty());
        QVERIFY(win->displayBuffer->isEmpty());
        QVERIFY(!win->elapseClock.isValid());
        QCOMPARE(win->elapseCount, 0);
        QVERIFY(win->backupResetPending);
        QCOMPARE(win->ui->horizontalSlider->value(), 0);
        QCOMPARE(win->config->xSettings.sampleMin, 0);
        QCOMPARE(win->config->xSettings.sampleMax, 100);
        QCOMPARE(win->ui->xMaxLabel->text(), QString("100"));   // the panel follows the axis
        QCOMPARE(QFileInfo(TempPath()).size(), 0);
        QCOMPARE(FileBytes(BackupPath()), backup);   // untouched until the next start

        win->ui->RunButton->click();
        QCOMPARE(win->runList->last()->firstSampleNo, 1);
        Log(40, 40);
        win->ui->StopButton->click();
        const RunFile file = ReadRunFile(BackupPath());
        QCOMPARE(int(file.runs.size()), 1);   // emptied at the start, then this run alone
        QCOMPARE(int(file.runs[0].rows.size()), 40);
        QCOMPARE(file.runs[0].rows.front().sampleNo, qint64(1));
    }

    // The idle logger after a run at 1 ms wakes no more often than before its first run.
    void idleLoggerDoesNotWakeEveryInterval()
    {
        struct : QObject {
            int events = 0;
            bool eventFilter(QObject *, QEvent *e) override { return (events += e->type() == QEvent::Timer) < 0; }
        } timers;
        const auto idle = [&] {
            QEventLoop loop;
            QTimer::singleShot(300, &loop, &QEventLoop::quit);
            timers.events = 0;
            qApp->installEventFilter(&timers);
            loop.exec();
            qApp->removeEventFilter(&timers);
            return timers.events;
        };
        SetInterval(QStringLiteral("1"));
        const int before = idle();
        ZrSim::useManualClock(true);
        win->ui->RunButton->click();
        Log(100, 100);
        win->ui->StopButton->click();
        const int after = idle();
        QVERIFY2(after <= before + 30, qPrintable(QStringLiteral("%1 timer events, %2 before").arg(after).arg(before)));
    }

    void restoreBackupOpensTheLoggedRuns()
    {
        MessageRecorder boxes;
        ZrSim::useManualClock(true);
        win->ui->RunButton->click();
        Log(60, 60);
        win->ui->StopButton->click();
        const QByteArray backup = FileBytes(BackupPath());
        QVERIFY(win->ui->action_Restore_Backup->isEnabled());

        win->ui->action_Restore_Backup->trigger();
        QVERIFY2(boxes.boxes.isEmpty(), qPrintable(boxes.Texts().join(QLatin1Char('|'))));
        QCOMPARE(win->runList->size(), 1);
        QCOMPARE(int(win->runList->last()->chA.values->yValues.size()), 60);
        QCOMPARE(win->windowTitle(), QStringLiteral("Tamberlo for ZR70K33 - (tamberlo_backup)"));
        QVERIFY(!win->ui->RunButton->isEnabled());
        // The backup itself is neither deleted nor rewritten.
        QCOMPARE(FileBytes(BackupPath()), backup);
    }

    // ---- Stops ---------------------------------------------------------------------------

    void runStoppedBeforeFirstBlockKeepsFileAligned()
    {
        MessageRecorder boxes;
        ZrSim::useManualClock(true);
        win->ui->RunButton->click();
        win->ui->StopButton->click();   // no sample came
        QCOMPARE(win->runList->size(), 1);
        QCOMPARE(win->runList->last()->chA.totalSamples, 0);
        QCOMPARE(win->maxScroll, 0);

        win->elapseCount = 0;
        win->StopElapseTimer();   // keep the numbering free of real time
        win->ui->RunButton->click();
        Log(100, 100);
        // The run in progress sits at the same place in both lists.
        QTRY_COMPARE(win->displayBuffer->size(), 2);
        win->ui->StopButton->click();

        QCOMPARE(win->runList->size(), 2);
        QCOMPARE(win->runList->last()->firstSampleNo, 1);
        VerifyBackupMatchesRuns();
        const RunFile file = ReadRunFile(BackupPath());
        QVERIFY(file.runs[0].rows.empty());
        QCOMPARE(int(file.runs[1].rows.size()), 100);

        // Paging reads the second run's rows into the second run.
        for (LoggerData *run : *win->runList) {
            run->chA.values->xValues.clear();
            run->chA.values->yValues.clear();
        }
        win->ReadDataForScrolling(win->runList, 0, 1000);
        QVERIFY(win->runList->at(0)->chA.values->xValues.empty());
        QCOMPARE(int(win->runList->at(1)->chA.values->xValues.size()), 100);
        QVERIFY(boxes.boxes.isEmpty());
    }

    void quickStartsAndStopsKeepEveryRunWhole()
    {
        MessageRecorder boxes;
        {
            FastClock clock;
            for (int i = 0; i < 16; ++i) {
                win->ui->RunButton->click();
                QVERIFY(win->loggingActive);
                switch (i % 4) {
                case 0:   // before any block
                    break;
                case 1:   // the poll thread's first fetch finds data while we are busy
                    std::this_thread::sleep_for(3ms);
                    break;
                case 2:
                    QTest::qWait(5);
                    break;
                default:   // after a few ticks, and with rows however loaded the machine
                    QTest::qWait(3 * PollThread::MinPollMs);
                    QTRY_VERIFY_WITH_TIMEOUT(FetchedRows(win) > 0, 30000);
                    break;
                }
                win->ui->StopButton->click();
                QVERIFY(!win->loggingActive);
            }
        }
        QCOMPARE(win->runList->size(), 16);
        VerifyBackupMatchesRuns();
        int withRows = 0;
        for (const LoggerData *run : *win->runList)
            withRows += run->chA.totalSamples > 0;
        QVERIFY(withRows >= 4);   // how many more got a block depends on the machine's load
        // "temp.csv" holds the last run.
        const LoggerData *last = win->runList->last();
        const std::vector<Row> temp = ReadRows(TempPath());
        QCOMPARE(int(temp.size()), std::max(last->chA.totalSamples, last->chB.totalSamples));
        if (!temp.empty())
            QCOMPARE(temp.front().sampleNo, qint64(last->firstSampleNo));
        QVERIFY(boxes.boxes.isEmpty());
    }

    // The slider is usable unless a run is tracked, whatever moved the window last: Zoom
    // Full and a zoom with no run, a tracked run and its stop, a run not tracked.
    void sliderUsableUnlessARunIsTracked()
    {
        QSlider *slider = win->ui->horizontalSlider;
        QVERIFY(win->config->trackDataLogger);
        win->ui->action_Full->trigger();
        QVERIFY(slider->isEnabled());
        win->ui->action_In->trigger();
        QVERIFY(slider->isEnabled());

        ZrSim::useManualClock(true);
        win->ui->RunButton->click();
        QVERIFY(win->loggingActive && !slider->isEnabled());
        win->ui->action_Full->trigger();
        win->ui->action_In->trigger();
        QVERIFY(!slider->isEnabled());
        win->ui->StopButton->click();
        QVERIFY(slider->isEnabled());

        win->ui->action_Track_Data_Logger->trigger();
        win->ui->RunButton->click();
        QVERIFY(win->loggingActive && slider->isEnabled());
        win->ui->action_Full->trigger();
        QVERIFY(slider->isEnabled());
        win->ui->StopButton->click();
        win->ui->action_Track_Data_Logger->trigger();
        QVERIFY(slider->isEnabled());
    }

    // Tracking keeps the slider a window ahead of the data: after the stop End shows the
    // run's last samples, not the empty window after them, and Home its first.
    void sliderStaysOnTheRecordAfterATrackedRun()
    {
        ZrSim::useManualClock(true);
        win->ui->RunButton->click();
        Log(250, 250);
        win->ui->StopButton->click();
        QSlider *slider = win->ui->horizontalSlider;
        const XSettings &xs = win->config->xSettings;
        QTest::keyClick(slider, Qt::Key_End);
        QVERIFY2(xs.sampleMin <= 250 && xs.sampleMax >= 250, qPrintable(QString::number(xs.sampleMin)));
        QCOMPARE(xs.sampleMax - xs.sampleMin, 100);
        QTest::keyClick(slider, Qt::Key_Home);
        QCOMPARE(xs.sampleMin, 0);
        QCOMPARE(xs.sampleMax, 100);
    }

    void leavingLoggerModeStopsTheRun()
    {
        ZrSim::useManualClock(true);
        win->ui->RunButton->click();
        Log(80, 80);
        // The Scope Mode entry is disabled while logging; the hand-back itself stops a run.
        QVERIFY(!win->ui->action_Scope_Mode->isEnabled());
        QVERIFY(Invoke(win, "ScopeModefunc"));
        QVERIFY(!win->loggingActive);
        QVERIFY(!ZrSim::state().open);
        QVERIFY(w->isVisible());
        const RunFile file = ReadRunFile(BackupPath());
        QCOMPARE(int(file.runs.size()), 1);
        QVERIFY(file.runs[0].stopped);
        QCOMPARE(int(file.runs[0].rows.size()), 80);
        QCOMPARE(file.runs[0].totalA, qint64(80));
    }

    // ---- A full disk -----------------------------------------------------------------------

    void fullDiskStopsTheRun_data()
    {
        QTest::addColumn<bool>("tempFull");
        QTest::addColumn<bool>("atLastNumber");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("temp.csv") << true << false << QStringList{"Failed to save file."};
        QTest::newRow("backup") << false << false << QStringList{"tamberlo_backup.csv is opened."};
        // Both found in one block, the run's first: neither message is lost.
        QTest::newRow("temp.csv at the last sample number")
            << true << true
            << QStringList{"The sample numbers of this chart have reached the largest the chart can show: no "
                           "more samples can be logged on it. The samples logged are saved. Save the chart "
                           "and clear the screen to log on.",
                           "Failed to save file."};
    }

    void fullDiskStopsTheRun()
    {
        QFETCH(bool, tempFull);
        QFETCH(bool, atLastNumber);
        QFETCH(QStringList, messages);
        if (!tempFull)
            messages << RowsWaitMessage();   // the rows that only temp.csv holds
        if (!QFileInfo::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full here");
        MessageRecorder boxes;
        const QString full = tempFull ? TempPath() : BackupPath();
        QFile::remove(full);
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), full));
        if (atLastNumber)   // the run's first sample is the last the chart can show
            win->runList->append(NewRun(int(MaxChartSample - 1000), 1000, 1000));

        ZrSim::useManualClock(true);
        win->ui->RunButton->click();
        VerifyLogging();
        ZrSim::advanceClock(50ms);
        QTRY_VERIFY_WITH_TIMEOUT(!win->loggingActive, 10000);
        QTRY_COMPARE(boxes.boxes.size(), messages.size());
        QCOMPARE(boxes.Texts(), messages);
        QVERIFY(boxes.SawError(tempFull ? QStringLiteral("Failed to save file.")
                                        : QStringLiteral("tamberlo_backup.csv is opened.")));
        VerifyIdle();
        QCOMPARE(win->runList->size(), atLastNumber ? 2 : 1);

        // It does not go on logging into nothing, and says so once.
        ZrSim::advanceClock(50ms);
        QTest::qWait(100);
        QCOMPARE(boxes.boxes.size(), messages.size());
        if (!tempFull) {
            // The rows of the run are still in "temp.csv".
            const std::vector<Row> temp = ReadRows(TempPath());
            QVERIFY(!temp.empty());
            for (size_t i = 0; i < temp.size(); ++i)
                QCOMPARE(temp[i].sampleNo, qint64(i + 1));
        }
        QFile::remove(full);
    }
};

ZR_TEST_MAIN(TestRunControl)
#include "test_run_control.moc"
