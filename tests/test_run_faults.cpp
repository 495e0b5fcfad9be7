// Faults a run must survive, driven through the simulated instrument: rows that keep
// their instant and their number (one channel with gaps, reads cut inside an instant), a
// disk that fills and frees again, an I/O error met after the user's Stop, an instrument
// that stops answering, the backup kept before it is emptied, and the end of the program
// when the logger window closes.
#include <QtTest>

#include "test_home.h"

#include "Resources.h"
#include "Utility.h"
#include "ui_LoggerMainWindow.h"   // generated for this program: the support header uses it
#include "test_run_control_support.h"

#include "Meter.h"

#include <QAbstractButton>
#include <QPointer>
#include <chrono>
#include <csignal>
#include <sys/resource.h>

using namespace RunTest;
using namespace std::chrono_literals;

namespace {

const QString InstrumentStoppedText = QStringLiteral(
    "Logging stopped: the ZR70K33 stopped answering (USB error or unplugged). The samples logged until then are saved.");

// A file that takes only `budget` bytes of the next write, as a disk that fills does, and
// everything after (the space was freed).
class ShortWriteFile : public QFile {
public:
    using QFile::QFile;
    qint64 budget = -1;

protected:
    qint64 writeData(const char *data, qint64 len) override
    {
        if (budget >= 0 && len > budget) {
            const qint64 n = QFile::writeData(data, budget);
            budget = -1;
            return n;
        }
        return QFile::writeData(data, len);
    }
};

// Files of this process may grow to `bytes` and no further (SIGXFSZ ignored: a write past
// the bound fails as on a full disk); 0 lifts the bound.
void LimitFileSize(rlim_t bytes)
{
    rlimit lim{};
    getrlimit(RLIMIT_FSIZE, &lim);
    lim.rlim_cur = bytes ? bytes : lim.rlim_max;
    setrlimit(RLIMIT_FSIZE, &lim);
}

}   // namespace

class TestRunFaults : public QObject {
    Q_OBJECT

    LoggerMainWindow *win = nullptr;

    // Advances the manual clock in steps of `stepMs` and waits for each step's rows.
    void Log(int ms, int expected, int stepMs = 200)
    {
        const int start = FetchedRows(win);
        for (int done = 0; done < ms; done += stepMs) {
            ZrSim::advanceClock(std::chrono::milliseconds(std::min(stepMs, ms - done)));
            const int due = start + (expected - start) * std::min(ms, done + stepMs) / ms;
            QTRY_COMPARE_WITH_TIMEOUT(FetchedRows(win), due, 15000);
        }
    }

private slots:
    void initTestCase()
    {
        InitResources();
        std::signal(SIGXFSZ, SIG_IGN);
    }

    void init()
    {
        FreshFolder();
        ZrSim::reset();
        isIOError = false;
        win = OpenLogger();
        QVERIFY(win);
        ZrSim::useManualClock(true);
    }

    void cleanup()
    {
        LimitFileSize(0);
        if (w)
            CloseLogger();
        win = nullptr;
    }

    // ---- Rows ---------------------------------------------------------------------------

    void rowsKeepTheirInstantAndNumber_data()
    {
        QTest::addColumn<bool>("chA");
        QTest::addColumn<bool>("chB");
        QTest::addColumn<int>("gapEvery");
        QTest::addColumn<int>("readLimit");   // bytes a read delivers at most (0: all)
        QTest::newRow("B only, gaps") << false << true << 40 << 0;
        QTest::newRow("A only, gaps") << true << false << 40 << 0;
        QTest::newRow("both, reads of 42 bytes") << true << true << 0 << 42;
        QTest::newRow("both, reads of 42 bytes, gaps") << true << true << 40 << 42;
        QTest::newRow("B only, reads of 41 bytes, gaps") << false << true << 40 << 41;
    }

    // Row i holds instant i of every channel that is on (the lost ones as 65535) and is
    // numbered on from the run's first sample, in "temp.csv" and in the backup alike.
    void rowsKeepTheirInstantAndNumber()
    {
        QFETCH(bool, chA);
        QFETCH(bool, chB);
        QFETCH(int, gapEvery);
        QFETCH(int, readLimit);
        MessageRecorder boxes;
        win->ui->action_TestMode->trigger();
        if (!chA)
            win->ui->action_Channel_A->trigger();
        if (!chB)
            win->ui->action_Channel_B->trigger();
        ZrSim::setGapEvery(uint64_t(gapEvery));
        QVERIFY(ZrSim::applyOptions("read-limit=" + std::to_string(readLimit)));
        win->ui->RunButton->click();
        QVERIFY(win->loggingActive);
        const int rows = 600;
        Log(rows, rows, 20);   // a 20 ms step needs two reads of 42 bytes
        win->ui->StopButton->click();
        QVERIFY(boxes.boxes.isEmpty());

        auto lost = [&](int k) { return gapEvery && (k + 1) % gapEvery == 0; };
        auto expected = [&](bool on, int channel, int k) {
            return !on ? QString() : lost(k) ? QStringLiteral("65535") : TestModeValue(channel, k);
        };
        const LoggerData *run = win->runList->last();
        const int first = run->firstSampleNo;
        int bad = 0;
        const std::vector<Row> temp = ReadRows(TempPath(), &bad);
        QCOMPARE(bad, 0);
        QCOMPARE(int(temp.size()), rows);
        const RunFile backup = ReadRunFile(BackupPath());
        QCOMPARE(backup.badLines, 0);
        QCOMPARE(int(backup.runs.size()), 1);
        QCOMPARE(int(backup.runs[0].rows.size()), rows);
        for (const std::vector<Row> *file : {&temp, &backup.runs[0].rows}) {
            for (int i = 0; i < rows; ++i) {
                const Row &row = (*file)[size_t(i)];
                const QString where = QStringLiteral("row %1").arg(i);
                QVERIFY2(row.sampleNo == first + i, qPrintable(where + QStringLiteral(" number %1").arg(row.sampleNo)));
                QVERIFY2(row.a == expected(chA, 0, i), qPrintable(where + QStringLiteral(" A ") + row.a));
                QVERIFY2(row.b == expected(chB, 1, i), qPrintable(where + QStringLiteral(" B ") + row.b));
            }
        }
        const int missed = gapEvery ? rows / gapEvery : 0;
        QCOMPARE(run->chA.missedSamples, chA ? missed : 0);
        QCOMPARE(run->chB.missedSamples, chB ? missed : 0);
        QCOMPARE(backup.runs[0].missedA, qint64(chA ? missed : 0));
        QCOMPARE(backup.runs[0].missedB, qint64(chB ? missed : 0));
    }

    // ---- A full disk --------------------------------------------------------------------

    void fullDiskThenFreedAgain()
    {
        // A write that reached the file in part is not written again.
        {
            DataValues a, b;
            for (int i = 0; i < 100000; ++i) {
                a.xValues.push_back(i + 1);
                a.yValues.push_back(-1000 - i % 7);
                b.xValues.push_back(i + 1);
                b.yValues.push_back(2000 + i % 5);
            }
            const std::vector<QString> memo(100000, QStringLiteral(" "));
            const QString path = Folder() + QStringLiteral("short.csv");
            QFile whole(Folder() + QStringLiteral("whole.csv"));
            QVERIFY(whole.open(QIODevice::ReadWrite | QIODevice::Truncate));
            QCOMPARE(Utility::SaveLoggerData(&whole, &a, &b, memo, 100000), 0);
            whole.close();
            ShortWriteFile file(path);
            QVERIFY(file.open(QIODevice::ReadWrite | QIODevice::Truncate));
            file.budget = 500003;   // inside the first chunk, inside a line
            QCOMPARE(Utility::SaveLoggerData(&file, &a, &b, memo, 100000), 1);
            file.close();
            const QByteArray written = FileBytes(path);
            QCOMPARE(written.size(), 500003);
            QCOMPARE(written, FileBytes(whole.fileName()).left(written.size()));
        }

        // A first run, then a second one that the disk cuts short, then space again.
        MessageRecorder boxes;
        win->ui->action_TestMode->trigger();
        win->ui->RunButton->click();
        Log(3000, 3000);
        win->ui->StopButton->click();
        QVERIFY(boxes.boxes.isEmpty());
        const QByteArray firstRun = FileBytes(BackupPath());

        win->ui->RunButton->click();
        Log(200, 200);
        const qint64 limit = QFileInfo(BackupPath()).size() + 1000;
        LimitFileSize(rlim_t(limit));
        for (int i = 0; i < 50 && win->loggingActive; ++i) {
            ZrSim::advanceClock(100ms);
            QTest::qWait(20);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!win->loggingActive, 10000);
        QTRY_COMPARE(boxes.boxes.size(), 1);
        QVERIFY(boxes.SawError(QStringLiteral("Failed to save file.")));
        QVERIFY(QFileInfo(BackupPath()).size() <= limit);
        LimitFileSize(0);

        win->ui->RunButton->click();
        Log(100, 100);
        win->ui->StopButton->click();
        QCOMPARE(boxes.boxes.size(), 1);

        // Every complete run reads back whole; the cut one with the rows that reached the
        // file, each once, in order.
        QVERIFY(FileBytes(BackupPath()).startsWith(firstRun));
        QVector<LoggerData *> back;
        QCOMPARE(Utility::LoadValues(BackupPath(), &back), 0);
        QCOMPARE(back.size(), 3);
        const int rows[3] = {3000, -1, 100};
        for (int r = 0; r < 3; ++r) {
            const LoggerData *run = back[r];
            const std::vector<double> &xs = run->chA.values->xValues;
            const std::vector<double> &ys = run->chA.values->yValues;
            if (rows[r] >= 0) {
                QCOMPARE(int(xs.size()), rows[r]);
                QCOMPARE(run->chA.totalSamples, rows[r]);
                QVERIFY(!run->stopDate.isEmpty());
            } else {
                QVERIFY(!xs.empty());
            }
            QCOMPARE(int(ys.size()), int(xs.size()));
            QCOMPARE(run->firstSampleNo, win->runList->at(r)->firstSampleNo);
            for (size_t i = 0; i < xs.size(); ++i) {
                QCOMPARE(xs[i], double(run->firstSampleNo) + double(i));
                QCOMPARE(ys[i], TestModeValue(0, qint64(i)).toDouble());
            }
        }
        DeleteRuns(back);
        // The layout holds for every run but the cut one's missing stop block.
        const RunFile file = ReadRunFile(BackupPath());
        QCOMPARE(file.badLines, 0);
        QCOMPARE(int(file.runs.size()), 3);
        QVERIFY(file.runs[0].stopped && !file.runs[1].stopped && file.runs[2].stopped);
    }

    // ---- The instrument -----------------------------------------------------------------

    // The user's Stop is handled before the stop queued for an I/O error: the next run
    // starts with no error pending and logs on.
    void staleErrorDoesNotStopTheNextRun()
    {
        MessageRecorder boxes;
        win->ui->RunButton->click();
        Log(100, 100);
        ZrSim::injectIoError();
        win->pollThread->GetData();   // the tick that meets the error queues a stop...
        QVERIFY(isIOError);
        win->ui->StopButton->click();   // ...which the user's Stop overtakes
        QTest::qWait(50);

        win->ui->RunButton->click();
        Log(300, 300);
        QTest::qWait(100);
        QVERIFY(win->loggingActive);
        win->ui->StopButton->click();
        QCOMPARE(win->runList->size(), 2);
        QCOMPARE(win->runList->last()->chA.totalSamples, 300);
        QVERIFY(boxes.boxes.isEmpty());
    }

    void instrumentLossStopsTheRunAndSaysSo_data()
    {
        QTest::addColumn<bool>("unplug");
        QTest::newRow("I/O error") << false;
        QTest::newRow("unplugged") << true;
    }

    // The run ends with its files complete, then the user is told why, once.
    void instrumentLossStopsTheRunAndSaysSo()
    {
        QFETCH(bool, unplug);
        MessageRecorder boxes;
        bool closedFirst = false;
        boxes.onBox = [&] {
            const RunFile file = ReadRunFile(BackupPath());
            closedFirst = !win->loggingActive && file.runs.size() == 1 && file.runs[0].stopped;
        };
        win->ui->RunButton->click();
        Log(150, 150);
        if (unplug)
            ZrSim::disconnect();
        else
            ZrSim::injectIoError();
        QTRY_COMPARE(boxes.boxes.size(), 1);
        QVERIFY2(boxes.SawError(InstrumentStoppedText), qPrintable(boxes.Texts().join(QLatin1Char('|'))));
        QVERIFY(closedFirst);
        QVERIFY(!isIOError);
        QVERIFY(!ZrSim::state().open);
        QCOMPARE(win->runList->last()->chA.totalSamples, 150);
        QCOMPARE(int(ReadRunFile(BackupPath()).runs[0].rows.size()), 150);
        QTest::qWait(100);
        QCOMPARE(boxes.boxes.size(), 1);
        ZrSim::reconnect();
    }

    // ---- The backup file ------------------------------------------------------------------

    // The first start of a program (or after Clear Screen) keeps what the backup held.
    void emptiedBackupIsKeptOnce()
    {
        const QString previous = Folder() + QStringLiteral("tamberlo_backup_previous.csv");
        win->ui->RunButton->click();
        Log(50, 50);
        win->ui->StopButton->click();
        const QByteArray firstProgram = FileBytes(BackupPath());

        CloseLogger();   // the program ends; a new one starts
        win = OpenLogger();
        ZrSim::useManualClock(true);
        win->ui->RunButton->click();
        Log(30, 30);
        win->ui->StopButton->click();
        QCOMPARE(FileBytes(previous), firstProgram);
        QVector<LoggerData *> back;
        QCOMPARE(Utility::LoadValues(previous, &back), 0);
        QCOMPARE(back.size(), 1);
        QCOMPARE(int(back[0]->chA.values->xValues.size()), 50);
        DeleteRuns(back);
        QCOMPARE(int(ReadRunFile(BackupPath()).runs.size()), 1);

        // One copy, replaced by the next emptying.
        const QByteArray secondProgram = FileBytes(BackupPath());
        win->ui->action_Clear_Screen->trigger();
        win->ui->RunButton->click();
        win->ui->StopButton->click();
        QCOMPARE(FileBytes(previous), secondProgram);
    }

    // ---- The end of the program -----------------------------------------------------------

    // Closing the logger window while the scope window is hidden ends the program: the run
    // stops with its files complete and no window is left to keep the program running.
    void closingTheLoggerEndsTheProgram()
    {
        CloseLogger();
        w = new MainWindow();
        w->show();
        auto *meterButton = w->findChild<QAbstractButton *>(QStringLiteral("MeteraButton"));
        QVERIFY(meterButton);
        meterButton->click();
        QVERIFY(Metera && Metera->isVisible());
        w->LoggerModeFunc();
        win = LoggerWin;
        QVERIFY(win && win->isVisible() && !w->isVisible());
        ZrSim::useManualClock(true);
        win->ui->RunButton->click();
        Log(100, 100);

        QVERIFY(win->close());
        QVERIFY(!win->loggingActive);
        const RunFile file = ReadRunFile(BackupPath());
        QCOMPARE(int(file.runs.size()), 1);
        QVERIFY(file.runs[0].stopped);
        QCOMPARE(int(file.runs[0].rows.size()), 100);
        QVERIFY(!ZrSim::state().open);
        for (QWidget *top : QApplication::topLevelWidgets())
            QVERIFY2(!top->isVisible(), qPrintable(top->metaObject()->className() + QStringLiteral(" ")
                                                   + top->windowTitle()));
        QVERIFY(!MeterAWindowOpened);
    }
};

ZR_TEST_MAIN(TestRunFaults)
#include "test_run_faults.moc"
