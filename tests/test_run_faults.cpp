// Faults a run must survive, through the simulated instrument: rows that keep their instant
// and number, a disk that fills and frees again, a stale I/O error, a lost instrument, the
// backup kept before it is emptied, and the end of the program with the logger window.
#include <QtTest>

#include "test_home.h"

#include "AlertPopUp.h"
#include "InfoWindow.h"
#include "ChartFileDialogs.h"
#include "Meter.h"
#include "Resources.h"
#include "Utility.h"
#include "ui_LoggerMainWindow.h"   // generated for this program: the support header uses it
#include "test_run_control_support.h"

#include <QAbstractButton>
#include <QLabel>
#include <chrono>
#include <csignal>
#include <sys/resource.h>

using namespace RunTest;
using namespace std::chrono_literals;

namespace {

// Takes only `budget` bytes of the next write, as a disk that fills does, then all again.
class ShortWriteFile : public QFile {
public:
    using QFile::QFile;
    qint64 budget = -1;

protected:
    qint64 writeData(const char *data, qint64 len) override
    {
        const qint64 n = QFile::writeData(data, budget >= 0 ? std::min(len, budget) : len);
        budget = -1;
        return n;
    }
};

}   // namespace

class TestRunFaults : public QObject {
    Q_OBJECT

    LoggerMainWindow *win = nullptr;

    // Advances the manual clock by `ms` in steps, each step's rows fetched before the next.
    void Log(int ms, int rows, int stepMs = 200)
    {
        for (int done = 0, step = 0; done < ms; done += step) {
            step = std::min(stepMs, ms - done);
            ZrSim::advanceClock(std::chrono::milliseconds(step));
            QTRY_COMPARE_WITH_TIMEOUT(FetchedRows(win), rows * (done + step) / ms, 15000);
        }
    }

    // The logger window anew, logging test mode at `ms` on the manual clock.
    void OpenInTestMode(int ms)
    {
        win = OpenLogger();
        ZrSim::useManualClock(true);
        win->ui->action_TestMode->trigger();
        win->ui->sampleInterval->setText(QString::number(ms));
        emit win->ui->sampleInterval->editingFinished();
    }

    // Logs on until a failed write stops the run.
    void LogUntilStopped(int ms)
    {
        for (int i = 0; i < 1000 && win->loggingActive; ++i) {
            ZrSim::advanceClock(std::chrono::milliseconds(10 * ms));
            QTest::qWait(2);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!win->loggingActive, 10000);
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
        ZrSim::useManualClock(true);
    }

    void cleanup()
    {
        LimitFileSize(0);
        CloseLogger();
    }

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

    // Row i holds instant i of each channel that is on (a lost one as 65535), numbered on
    // from the run's first sample, in "temp.csv" and in the backup alike.
    void rowsKeepTheirInstantAndNumber()
    {
        QFETCH(bool, chA);
        QFETCH(bool, chB);
        QFETCH(int, gapEvery);
        QFETCH(int, readLimit);
        win->ui->action_TestMode->trigger();
        if (!chA)
            win->ui->action_Channel_A->trigger();
        if (!chB)
            win->ui->action_Channel_B->trigger();
        ZrSim::setGapEvery(uint64_t(gapEvery));
        QVERIFY(ZrSim::applyOptions("read-limit=" + std::to_string(readLimit)));
        win->ui->RunButton->click();
        const int rows = 600;
        Log(rows, rows, 20);   // a 20 ms step takes two reads of 42 bytes
        win->ui->StopButton->click();

        auto expected = [&](bool on, int channel, int k) {
            return !on ? QString() : gapEvery && (k + 1) % gapEvery == 0 ? QStringLiteral("65535")
                                                                          : TestModeValue(channel, k);
        };
        const LoggerData *run = win->runList->last();
        const RunFile backup = ReadRunFile(BackupPath());
        QCOMPARE(backup.badLines + int(backup.runs.size()), 1);
        const std::vector<Row> temp = ReadRows(TempPath());
        for (const std::vector<Row> *file : {&temp, &backup.runs[0].rows}) {
            QCOMPARE(int(file->size()), rows);
            for (int i = 0; i < rows; ++i) {
                const Row &row = (*file)[size_t(i)];
                const QString text = QStringLiteral("row %1: %2,%3,%4").arg(i).arg(row.sampleNo).arg(row.a, row.b);
                QVERIFY2(row.sampleNo == run->firstSampleNo + i && row.a == expected(chA, 0, i)
                             && row.b == expected(chB, 1, i),
                         qPrintable(text));
            }
        }
        const int missed = gapEvery ? rows / gapEvery : 0;
        QCOMPARE(backup.runs[0].missedA, qint64(chA ? missed : 0));
        QCOMPARE(backup.runs[0].missedB, qint64(chB ? missed : 0));
    }

    void stopKeepsWhatWasSampledBeforeIt_data()
    {
        QTest::addColumn<QString>("interval");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("tailMs");   // sampled after the last fetch, before the Stop
        QTest::addColumn<int>("tailRows");
        QTest::newRow("1 ms") << "1" << 1000 << 15 << 15;
        QTest::newRow("250 ms") << "250" << 4 << 300 << 1;
    }

    void stopKeepsWhatWasSampledBeforeIt()
    {
        QFETCH(QString, interval);
        QFETCH(int, rows);
        QFETCH(int, tailMs);
        QFETCH(int, tailRows);
        win->ui->action_TestMode->trigger();
        win->ui->sampleInterval->setText(interval);
        emit win->ui->sampleInterval->editingFinished();
        win->ui->RunButton->click();
        Log(1000, rows);
        ZrSim::advanceClock(std::chrono::milliseconds(tailMs));
        win->ui->StopButton->click();   // no fetch in between
        const std::vector<Row> temp = ReadRows(TempPath());
        const RunFile backup = ReadRunFile(BackupPath());
        QCOMPARE(int(temp.size()), rows + tailRows);
        QCOMPARE(backup.runs.at(0).rows.size(), temp.size());
        QCOMPARE(backup.runs[0].totalA, qint64(temp.size()));
        for (int i = 0; i < rows + tailRows; ++i)
            QVERIFY(temp[size_t(i)].sampleNo == i + 1 && temp[size_t(i)].a == TestModeValue(0, i)
                    && backup.runs[0].rows[size_t(i)].b == TestModeValue(1, i));
    }

    void fullDiskThenFreedAgain()
    {
        // What a failed write got into the file is taken back: a call writes all or nothing.
        DataValues a;
        for (int i = 0; i < 100000; ++i) {
            a.xValues.push_back(i + 1);
            a.yValues.push_back(-1000 - i % 7);
        }
        const std::vector<QString> memo(a.xValues.size(), QStringLiteral(" "));
        QFile whole(Folder() + QStringLiteral("whole.csv"));
        ShortWriteFile cut(Folder() + QStringLiteral("cut.csv"));
        QVERIFY(whole.open(QIODevice::ReadWrite) && cut.open(QIODevice::ReadWrite));
        cut.budget = 500003;   // inside the first chunk, inside a line
        QCOMPARE(Utility::SaveLoggerData(&whole, &a, nullptr, memo, 100000), 0);
        QCOMPARE(Utility::SaveLoggerData(&cut, &a, nullptr, memo, 100000), 1);
        whole.close();
        cut.close();
        QCOMPARE(FileBytes(cut.fileName()), QByteArray());

        // A run, one that the full disk cuts short inside a line, then space again.
        MessageRecorder boxes;
        win->ui->action_TestMode->trigger();
        win->ui->RunButton->click();
        Log(3000, 3000);
        win->ui->StopButton->click();
        const QByteArray firstRun = FileBytes(BackupPath());
        win->ui->RunButton->click();
        Log(200, 200);
        LimitFileSize(rlim_t(QFileInfo(BackupPath()).size() + 1000));
        for (int i = 0; i < 50 && win->loggingActive; ++i) {
            ZrSim::advanceClock(100ms);
            QTest::qWait(20);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!win->loggingActive, 10000);
        LimitFileSize(0);
        win->ui->RunButton->click();
        Log(100, 100);
        win->ui->StopButton->click();
        QCOMPARE(boxes.Texts(), (QStringList{QStringLiteral("Failed to save file."), RowsWaitMessage()}));

        // The three runs read back whole and closed: the cut one got the rows it lacked from
        // temp.csv at the next start, each once, in order, and the next run is numbered after them.
        QVERIFY(FileBytes(BackupPath()).startsWith(firstRun));
        QVector<LoggerData *> back;
        QCOMPARE(Utility::LoadValues(BackupPath(), &back), 0);
        QCOMPARE(back.size(), 3);
        for (int r = 0; r < 3; ++r) {
            const std::vector<double> &xs = back[r]->chA.values->xValues;
            const std::vector<double> &ys = back[r]->chA.values->yValues;
            if (r != 1)
                QCOMPARE(int(xs.size()), r == 0 ? 3000 : 100);
            QVERIFY(!xs.empty() && ys.size() == xs.size());
            QCOMPARE(back[r]->firstSampleNo, win->runList->at(r)->firstSampleNo);
            for (size_t i = 0; i < xs.size(); ++i)
                QVERIFY(xs[i] == back[r]->firstSampleNo + double(i) && ys[i] == TestModeValue(0, qint64(i)).toDouble());
        }
        for (const LoggerData *run : back)
            QVERIFY(!run->stopDate.isEmpty());
        QVERIFY(back[2]->firstSampleNo > back[1]->chA.values->xValues.back());
        DeleteRuns(back);
    }

    void rowsTheDiskCutShortWaitForRoom_data()
    {
        QTest::addColumn<bool>("smallDisk");
        QTest::addColumn<int>("room");   // bytes free, or the file-size limit
        QTest::addColumn<int>("intervalMs");
        QTest::addColumn<bool>("firstRun");   // the backup holds a run before: it fills first
        QTest::newRow("small disk, 20,000 bytes free, 1 ms") << true << 20000 << 1 << false;
        QTest::newRow("small disk, 60,000 bytes free, 1 ms") << true << 60000 << 1 << false;
        QTest::newRow("file-size limit of 24 kB past a run, 20 ms") << false << 24000 << 20 << true;
    }

    // The disk fills while a run logs, temp.csv and the backup at different moments. Every
    // row temp.csv got stays there through Start, Clear Screen, Exit and a restart on the full
    // disk, and reaches the backup once there is room: once, in order, under a whole stop
    // block that counts them. Neither file is left with a cut line.
    void rowsTheDiskCutShortWaitForRoom()
    {
        QFETCH(bool, smallDisk);
        QFETCH(int, room);
        QFETCH(int, intervalMs);
        QFETCH(bool, firstRun);
        CloseLogger();
        SmallDisk disk(8 << 20);
        if (smallDisk && !disk.Mounted())
            QSKIP("no file system of the test's own here (it needs root)");
        MessageRecorder boxes;
        OpenInTestMode(intervalMs);
        if (firstRun) {
            win->ui->RunButton->click();
            Log(100 * intervalMs, 100);
            win->ui->StopButton->click();
        }
        const rlim_t limit = rlim_t(QFileInfo(BackupPath()).size() + room);
        auto full = [&](bool on) { smallDisk ? disk.LeaveRoom(on ? room : -1) : LimitFileSize(on ? limit : 0); };
        full(true);
        win->ui->RunButton->click();
        LogUntilStopped(intervalMs);
        const QByteArray logged = FileBytes(TempPath());
        const std::vector<Row> rows = ReadRows(TempPath());
        // Closed only with every row; after a first run the backup fills first.
        const Run atStop = ReadRunFile(BackupPath()).runs.back();
        const bool waiting = !atStop.stopped;
        QVERIFY(waiting ? !firstRun || atStop.rows.size() < rows.size() : atStop.rows.size() == rows.size());
        QTRY_COMPARE(boxes.Texts().size(), waiting ? 2 : 1);
        QCOMPARE(boxes.Texts().at(0), QStringLiteral("Failed to save file."));
        QVERIFY(!waiting || boxes.Texts().at(1) == RowsWaitMessage());
        QVERIFY(logged.endsWith('\n') && FileBytes(BackupPath()).endsWith('\n'));
        if (waiting) {
            win->ui->RunButton->click();
            QVERIFY(!win->loggingActive && boxes.Texts().size() == 3);
            win->ui->action_Clear_Screen->trigger();
            CloseLogger();   // Exit
            QCOMPARE(FileBytes(TempPath()), logged);
            win = OpenLogger();   // still full: said again
            QCOMPARE(boxes.Texts().last(), RowsWaitMessage());
        }
        CloseLogger();
        full(false);
        win = OpenLogger();
        const RunFile backup = ReadRunFile(BackupPath());
        QCOMPARE(backup.badLines, 0);
        QCOMPARE(int(backup.runs.size()), firstRun ? 2 : 1);
        const Run &run = backup.runs.back();
        QVERIFY(run.stopped && run.totalA == qint64(rows.size()) && rows.size() > 10);
        QCOMPARE(run.rows.size(), rows.size());
        for (size_t i = 0; i < rows.size(); ++i)
            QVERIFY(run.rows[i].sampleNo == rows[0].sampleNo + qint64(i) && rows[i].sampleNo == run.rows[i].sampleNo
                    && run.rows[i].a == rows[i].a && run.rows[i].b == rows[i].b);
    }

    void waitingRowsAsTheChartShowsThem_data()
    {
        QTest::addColumn<int>("room");   // bytes the backup may grow by past a first run
        QTest::addColumn<int>("ms");
        QTest::newRow("the backup lacks the run's start block, 20 ms") << 0 << 20;
        QTest::newRow("the backup lacks the run's last rows, 1 ms") << 2000 << 1;
    }

    // While a run's rows wait in temp.csv (a file-size limit fills the backup), the X window
    // shows them, Save As keeps them (the run closed as the chart shows it) and Restore
    // Backup, once there is room, shows the backup with them.
    void waitingRowsAsTheChartShowsThem()
    {
        QFETCH(int, room);
        QFETCH(int, ms);
        CloseLogger();
        MessageRecorder boxes;
        OpenInTestMode(ms);
        win->ui->RunButton->click();
        Log(3000, 3000 / ms);
        win->ui->StopButton->click();
        const QByteArray firstRun = FileBytes(BackupPath());
        LimitFileSize(rlim_t(firstRun.size() + room));
        win->ui->RunButton->click();
        LogUntilStopped(ms);
        const std::vector<Row> rows = ReadRows(TempPath());
        QVERIFY(!rows.empty() && FileBytes(TempPath()).startsWith("Start Date:") == !room);
        QTRY_VERIFY(boxes.Texts().contains(RowsWaitMessage()));
        const LoggerData *run = win->runList->last();
        auto sameRows = [&](const std::vector<double> &xs, const std::vector<double> &ys) {
            bool same = xs.size() == rows.size() && ys.size() == rows.size();
            for (size_t i = 0; same && i < rows.size(); ++i)
                same = xs[i] == double(rows[i].sampleNo) && ys[i] == rows[i].a.toDouble();
            return same;
        };

        XSettings xs = win->config->xSettings;
        xs.sampleMin = int(rows.front().sampleNo) - 5;
        xs.sampleMax = int(rows.back().sampleNo) + 5;
        win->ApplyXSettings(xs, true);
        QVERIFY(sameRows(run->chA.values->xValues, run->chA.values->yValues));

        LimitFileSize(0);   // room again; the idle retry waits 5 s
        // Saved onto the file the rows wait in, or the one they wait for: refused and said,
        // both files as they were.
        const QByteArray waitingIn = FileBytes(TempPath());
        const QByteArray waitingFor = FileBytes(BackupPath());
        for (const QString &own : {TempPath(), BackupPath()}) {
            ChartFileDialogs::Instance().save = [own](auto...) { return own; };
            win->ui->action_Save->trigger();
            QCOMPARE(boxes.Texts().last(), "Failed to save file.\n" + QDir::toNativeSeparators(own)
                                               + "\nThe logger itself uses this file: please choose another name.");
        }
        QVERIFY(FileBytes(TempPath()) == waitingIn && FileBytes(BackupPath()) == waitingFor);
        // The copy is closed as the chart shows the run, whenever temp.csv was last written.
        QFile temp(TempPath());
        QVERIFY(temp.open(QIODevice::ReadWrite)
                && temp.setFileTime(QDateTime::currentDateTime().addDays(-2), QFileDevice::FileModificationTime));
        temp.close();
        const QString saved = QDir::homePath() + QStringLiteral("/saved.csv");
        ChartFileDialogs::Instance().save = [saved](auto...) { return saved; };
        win->ui->action_Save->trigger();
        ChartFileDialogs::Instance().Reset();
        const RunFile file = ReadRunFile(saved);
        QVERIFY(FileBytes(saved).startsWith(firstRun) && file.badLines == 0 && file.runs.size() == 2);
        const Run &copy = file.runs[1];
        QVERIFY(copy.stopped && copy.stopDate == run->stopDate && copy.stopTime == run->stopTime);
        QVERIFY(copy.totalA == qint64(rows.size()) && copy.rows.size() == rows.size());
        for (size_t i = 0; i < rows.size(); ++i)
            QVERIFY(copy.rows[i].sampleNo == rows[i].sampleNo && copy.rows[i].a == rows[i].a);

        win->ui->action_Restore_Backup->trigger();
        QCOMPARE(win->runList->size(), 2);
        const LoggerData *restored = win->runList->last();
        QVERIFY(!restored->stopDate.isEmpty() && restored->chA.totalSamples == int(rows.size()));
        QVERIFY(sameRows(restored->chA.values->xValues, restored->chA.values->yValues));
    }

    void runsThatReachNoFileLeaveTheChart_data()
    {
        QTest::addColumn<int>("limit");   // bytes any file may hold; 0: room for a stop block only
        QTest::newRow("temp.csv takes the start block, not the first rows") << 130;
        QTest::newRow("temp.csv takes no start block, the first row would fit") << 60;
        QTest::newRow("stopped before its first block, the backup takes a stop block only") << 0;
    }

    // A run none of whose rows could be written, on a disk full at its start, leaves the
    // chart with a message that says so; the chart and the backup then hold the same runs,
    // and the next run is drawn with its own rows. No row goes into temp.csv without its
    // start block; the backup gets no stop block without its start block.
    void runsThatReachNoFileLeaveTheChart()
    {
        QFETCH(int, limit);
        CloseLogger();
        MessageRecorder boxes;
        OpenInTestMode(20);
        win->ui->RunButton->click();
        Log(2000, 100);
        win->ui->StopButton->click();
        qint64 room = limit;
        if (!limit) {
            // An empty run (stopped before its first block) shows how long its stop block is.
            const qint64 size = QFileInfo(BackupPath()).size();
            const qint64 start = FileBytes(BackupPath()).indexOf("Memo\n") + 5;
            win->ui->RunButton->click();
            win->ui->StopButton->click();
            const qint64 grown = QFileInfo(BackupPath()).size();
            QVERIFY2(grown - size - start < start, "an empty run's stop block is shorter than its start block");
            room = grown + (grown - size - start);
        }
        const int runs = win->runList->size();
        const QByteArray backup = FileBytes(BackupPath());
        LimitFileSize(rlim_t(room));
        win->ui->RunButton->click();
        for (int i = 0; limit && i < 100 && win->loggingActive; ++i) {
            ZrSim::advanceClock(20ms);   // a first block of one row
            QTest::qWait(5);
        }
        if (!limit)
            win->ui->StopButton->click();
        QTRY_VERIFY_WITH_TIMEOUT(!win->loggingActive && !boxes.Texts().isEmpty(), 10000);
        QTest::qWait(50);
        LimitFileSize(0);
        QCOMPARE(boxes.Texts(), QStringList{"The samples of this run could not be written to temp.csv or to the backup "
                                            "file named below (the disk may be full): the run is not kept on the "
                                            "chart.\n" + QDir::toNativeSeparators(BackupPath())});
        QCOMPARE(FileBytes(BackupPath()), backup);
        QCOMPARE(win->runList->size(), runs);
        QCOMPARE(int(ReadRows(TempPath()).size()), 0);

        // Room again: a run of 50 rows, on the chart as in the backup.
        win->ui->RunButton->click();
        Log(1000, 50);
        win->ui->StopButton->click();
        const RunFile file = ReadRunFile(BackupPath());
        QCOMPARE(int(file.runs.size()), runs + 1);
        QCOMPARE(win->runList->size(), runs + 1);
        const LoggerData *last = win->runList->last();
        XSettings xs = win->config->xSettings;
        xs.sampleMin = last->firstSampleNo;
        xs.sampleMax = last->firstSampleNo + 60;
        win->ApplyXSettings(xs, true);
        const size_t own = last->chA.values->xValues.size(), before = win->runList->at(runs - 1)->chA.values->xValues.size();
        QVERIFY2(own == 50 && before == 0, qPrintable(QStringLiteral("drawn as its own: %1 of 50, as the run before's: %2")
                                                          .arg(own).arg(before)));
    }

    // The user's Stop overtakes the stop queued for an I/O error: the next run starts with
    // no error pending and logs on.
    void staleErrorDoesNotStopTheNextRun()
    {
        MessageRecorder boxes;
        win->ui->RunButton->click();
        Log(100, 100);
        ZrSim::injectIoError();
        win->pollThread->GetData();   // the tick that meets the error queues a stop
        QVERIFY(isIOError);
        win->ui->StopButton->click();
        QTest::qWait(50);
        win->ui->RunButton->click();
        Log(300, 300);
        QTest::qWait(100);
        QVERIFY(win->loggingActive);
        win->ui->StopButton->click();
        QVERIFY(boxes.boxes.isEmpty());
    }

    void instrumentLossStopsTheRunAndSaysSo_data()
    {
        QTest::addColumn<bool>("unplug");
        QTest::newRow("I/O error") << false;
        QTest::newRow("unplugged") << true;
    }

    // The run ends with its files complete; then, once, the user is told why.
    void instrumentLossStopsTheRunAndSaysSo()
    {
        QFETCH(bool, unplug);
        MessageRecorder boxes;
        bool closedFirst = false;
        boxes.onBox = [&] { closedFirst = !win->loggingActive && ReadRunFile(BackupPath()).runs.at(0).stopped; };
        win->ui->RunButton->click();
        Log(150, 150);
        unplug ? ZrSim::disconnect() : ZrSim::injectIoError();
        QTRY_COMPARE(boxes.boxes.size(), 1);
        QTest::qWait(100);
        QCOMPARE(boxes.Texts(), QStringList{QStringLiteral("Logging stopped: the ZR70K33 stopped answering (USB "
                                                           "error or unplugged). The samples logged until then are saved.")});
        QVERIFY(closedFirst && !isIOError && !ZrSim::state().open);
        QCOMPARE(ReadRunFile(BackupPath()).runs.at(0).rows.size(), size_t(150));
        ZrSim::reconnect();
    }

    // An alert pop-up belongs to its run: a window of the logger window's own (kept above
    // it), still shown after the run stopped on an instrument error, gone at the next
    // start even when that start is refused; the next run shows only its own alerts.
    void alertPopUpsBelongToTheirRun()
    {
        MessageRecorder boxes;
        AlertEntry *alerts = win->config->alertSettings.alerts;
        for (int slot : {0, 1}) {
            alerts[slot].channel = slot;          // A, then B
            alerts[slot].alertType = 1 - slot;    // B's pop-up is switched on for the last run
            alerts[slot].condition = 0;
            alerts[slot].value = -1e9;            // met by every sample
        }
        AlertPopUp *first = win->alertPopUps[0];
        AlertPopUp *second = win->alertPopUps[1];
        QVERIFY(first->isWindow() && first->parentWidget() == win);

        win->ui->RunButton->click();
        Log(150, 150);
        QTRY_VERIFY(first->isVisible());
        ZrSim::injectIoError();
        QTRY_COMPARE(boxes.boxes.size(), 1);
        QVERIFY(!win->loggingActive && first->isVisible());

        ZrSim::setPresent(false);
        win->ui->RunButton->click();
        QTRY_COMPARE(boxes.boxes.size(), 2);
        QVERIFY(boxes.SawError(QStringLiteral("ZR70K33 h/w not found.")));
        QVERIFY(!first->isVisible());

        ZrSim::setPresent(true);
        alerts[1].alertType = 1;
        win->ui->RunButton->click();
        Log(150, 150);
        QTRY_VERIFY(second->isVisible());
        QVERIFY(!first->isVisible());   // met in the run before: not again
        win->ui->StopButton->click();
        QCOMPARE(boxes.boxes.size(), 2);
    }

    // The first start of a program empties the backup only once its runs are kept, and only
    // once temp.csv, which may hold rows of its last run, is emptied.
    void emptiedBackupIsKept()
    {
        win->ui->RunButton->click();
        Log(50, 50);
        win->ui->StopButton->click();
        const QByteArray before = FileBytes(BackupPath());
        CloseLogger();   // a new program
        win = OpenLogger();
        QVERIFY(QFile::remove(TempPath()) && QFile::link(Folder() + QStringLiteral("gone/temp.csv"), TempPath()));
        {
            MessageRecorder boxes;
            win->ui->RunButton->click();
            QVERIFY(!win->loggingActive && boxes.SawError(QStringLiteral("temp.csv is opened.")));
        }
        QCOMPARE(FileBytes(BackupPath()), before);
        QVERIFY(QFile::remove(TempPath()));
        win->ui->RunButton->click();
        win->ui->StopButton->click();
        QCOMPARE(FileBytes(Folder() + QStringLiteral("tamberlo_backup_previous.csv")), before);
        QCOMPARE(ReadRunFile(BackupPath()).runs.size(), size_t(1));
    }

    // What the user is told at the end of a run and of the program: an open information
    // window shows the run's final figures once it stops; File > Exit on a full disk says
    // that the settings could not be saved, and their file keeps the old ones.
    void stopAndExitShowWhatHolds()
    {
        MessageRecorder boxes;
        win->ui->action_TestMode->trigger();
        win->ShowChartInfo();
        win->ui->RunButton->click();
        Log(145, 145);   // one block: no drawing pass after it before the stop
        win->ui->StopButton->click();
        QCOMPARE(ReadRunFile(BackupPath()).runs.at(0).totalA, qint64(145));
        QCOMPARE(win->infoWindow->findChild<QLabel *>(QStringLiteral("chASamples"))->text(), QStringLiteral("145"));

        const QString settings = Folder() + QStringLiteral("Tamberlo.xml");
        win->SaveXMLConfig();
        const QByteArray saved = FileBytes(settings);
        win->ui->sampleInterval->setText(QStringLiteral("250"));
        emit win->ui->sampleInterval->editingFinished();
        LimitFileSize(1);
        win->ui->action_Exit->trigger();
        LimitFileSize(0);
        QCOMPARE(boxes.Texts(), QStringList{"The settings could not be saved (the disk may be full): the file named "
                                            "below is left as it was.\n"
                                            + QDir::toNativeSeparators(settings)});
        QCOMPARE(FileBytes(settings), saved);
    }

    // With the scope window hidden, closing the logger window ends the program: the run
    // stopped and its files complete, and no window left to keep the program going.
    void closingTheLoggerEndsTheProgram()
    {
        CloseLogger();
        w = new MainWindow();
        w->show();
        w->findChild<QAbstractButton *>(QStringLiteral("MeteraButton"))->click();
        QVERIFY(Metera && Metera->isVisible());
        w->LoggerModeFunc();
        win = LoggerWin;
        win->ui->RunButton->click();
        Log(100, 100);
        QVERIFY(win->close());
        const RunFile file = ReadRunFile(BackupPath());
        QVERIFY(file.runs.size() == 1 && file.runs[0].stopped && file.runs[0].rows.size() == 100);
        QVERIFY(!ZrSim::state().open);
        for (QWidget *top : QApplication::topLevelWidgets())
            QVERIFY2(!top->isVisible(), top->metaObject()->className());
    }
};

ZR_TEST_MAIN(TestRunFaults)
#include "test_run_faults.moc"
