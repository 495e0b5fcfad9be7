// Recovery after a crash, end to end: a child process (this program with --child) logs
// one run at 1 ms, stops it, logs a second one and is killed with SIGKILL during it. The
// logger started again restores the backup: both runs are back, the cut one with every
// row the child had written to the backup before the kill.
#include <QtTest>

#include "test_home.h"

#include "Resources.h"
#include "Utility.h"
#include "ui_LoggerMainWindow.h"   // generated for this program: the support header uses it
#include "test_kill_child_support.h"
#include "ChartFileDialogs.h"

#include <csignal>
#include <sys/resource.h>

using namespace RunTest;

namespace {

const QByteArray StartBlock = "Start Date:,05/06/2026\nStart Time:,10:00:00 AM\nSample Interval:,1ms\n\n"
                              "Sample Number,ChA Voltage (mV),ChB Voltage (mV),Memo\n";

// Rows numbered first to last of a run logged on channel A, as the logger writes them.
QByteArray RowsText(int first, int last)
{
    QByteArray rows;
    for (int n = first; n <= last; ++n)
        rows += QByteArray::number(n) + ',' + QByteArray::number(n % 1000) + ",, \n";
    return rows;
}

const QByteArray ClosedRun = StartBlock + RowsText(1, 10) + "\nStop Date:,05/06/2026\nStop Time:,10:00:01 AM\n"
                             "Total Samples:,10,0\nMaximum (mV):,10,0\nMinimum (mV):,1,0\nMissed Samples:,0,0\n\n";

// A closed run of the folder's run files of `rows` lines up to sample `last`, whose stop
// block counts `total` samples (by default `rows`).
bool ClosedRunOnDisk(qint64 rows, qint64 last, qint64 total = -1)
{
    for (const QFileInfo &file : QDir(Folder()).entryInfoList({QStringLiteral("*.csv")}, QDir::Files | QDir::Hidden))
        for (const Run &run : ReadRunFile(file.filePath()).runs)
            if (run.stopped && qint64(run.rows.size()) == rows && run.rows.back().sampleNo == last
                && run.totalA == (total < 0 ? rows : total))
                return true;
    return false;
}

// The child: a first run of 300 rows at 1 ms, stopped, then a second one, reporting its
// rows until killed.
int RunChild(int argc, char **argv)
{
    int stage = 1;
    return KillChild::Run(
        argc, argv,
        [](LoggerMainWindow *win) {
            win->config->sampleInterval = 1.0;
            win->config->intervalUnit = MilliSeconds;
            win->ui->RunButton->click();
            return win->loggingActive.load();
        },
        [&stage](LoggerMainWindow *win) {
            const int rows = FetchedRows(win);
            if (stage == 1 && rows >= 300) {
                win->ui->StopButton->click();
                win->ui->RunButton->click();
                stage = 2;
                std::printf("second\n");
            } else if (stage == 2) {
                std::printf("fetched %d backed %d\n", rows, KillChild::BackedUpRows(win, 1));
            }
        });
}

}   // namespace

class TestChartRecovery : public QObject {
    Q_OBJECT

private slots:
    void restoreAfterKill()
    {
        FreshFolder();
        KillChild::Parent child(this);
        bool second = false;   // the reports are the second run's rows
        child.onLine = [&](const QString &line) { second |= line == QLatin1String("second"); };
        QVERIFY(child.Start());
        QTRY_VERIFY_WITH_TIMEOUT(second || child.process.state() == QProcess::NotRunning, 60000);
        QVERIFY(second);
        QVERIFY(child.KillWhen([&] { return child.backedUp >= 500; }));
        // Every whole row the child wrote to "temp.csv"; the backup follows it by a drawing pass.
        const int logged = int(FileBytes(TempPath()).count('\n'));
        QVERIFY(logged >= child.fetched);

        // Started again: File > Restore Backup.
        InitResources();
        MessageRecorder boxes;
        LoggerMainWindow *win = OpenLogger();
        QVERIFY(win);
        win->ui->action_Restore_Backup->trigger();
        QVERIFY2(boxes.boxes.isEmpty(), qPrintable(boxes.Texts().join(QLatin1Char('|'))));
        QCOMPARE(win->runList->size(), 2);
        const LoggerData *first = win->runList->at(0);
        const LoggerData *cut = win->runList->at(1);
        QVERIFY(!first->stopDate.isEmpty());
        QVERIFY(first->chA.totalSamples >= 300);
        QCOMPARE(int(first->chA.values->yValues.size()), first->chA.totalSamples);
        const int rows = int(cut->chA.values->xValues.size());
        QCOMPARE(rows, logged);
        QCOMPARE(cut->chA.totalSamples, rows);
        QVERIFY(!cut->stopDate.isEmpty());
        QVERIFY(cut->firstSampleNo >= first->firstSampleNo + first->chA.totalSamples);
        for (int i = 0; i < rows; ++i)
            QCOMPARE(int(cut->chA.values->xValues[size_t(i)]), cut->firstSampleNo + i);
        QCOMPARE(win->windowTitle(), QStringLiteral("Tamberlo for ZR70K33 - (tamberlo_backup)"));

        // A new chart keeps both runs whole in the previous backup.
        win->ui->action_Data1->trigger();
        win->ui->RunButton->click();
        win->ui->StopButton->click();
        const RunFile kept = ReadRunFile(Folder() + QStringLiteral("tamberlo_backup_previous.csv"));
        QCOMPARE(kept.badLines, 0);
        QCOMPARE(int(kept.runs.size()), 2);
        QVERIFY(kept.runs[1].stopped);
        QCOMPARE(int(kept.runs[1].rows.size()), logged);
        QCOMPARE(kept.runs[1].totalA, qint64(logged));
        CloseLogger();
    }

    // The files a kill leaves at a slow interval (two rows in "temp.csv", the third cut
    // short, none yet in the backup): the next logger adds the rows to the backup before
    // anything empties "temp.csv". A closed run or another run's rows change nothing.
    void rowsOnlyTempHeldAreKept()
    {
        FreshFolder();
        MessageRecorder boxes;
        const QByteArray start = "Start Date:,05/06/2026\nStart Time:,10:00:00 AM\nSample Interval:,5000ms\n\n"
                                 "Sample Number,ChA Voltage (mV),ChB Voltage (mV),Memo\n";
        const QByteArray rows = "1,10,-10, \n2,65535,-20, \n";
        const QByteArray stopped = start + rows + "\nStop Date:,05/06/2026\nStop Time:,10:01:00 AM\n"
                                   "Total Samples:,2,2\nMaximum (mV):,10,-10\nMinimum (mV):,10,-20\nMissed Samples:,0,0\n\n";
        for (const QByteArray &other : {stopped, start + "7,1,1, \n"}) {
            WriteFile(BackupPath(), other);
            WriteFile(TempPath(), rows);
            QVERIFY(OpenLogger());
            CloseLogger();
            QCOMPARE(FileBytes(BackupPath()), other);
        }
        WriteFile(BackupPath(), start + "1,1");
        WriteFile(TempPath(), rows + "3,30,-3");

        LoggerMainWindow *win = OpenLogger();
        const RunFile backup = ReadRunFile(BackupPath());
        QCOMPARE(backup.badLines, 0);
        QCOMPARE(int(backup.runs.size()), 1);
        const Run &run = backup.runs[0];
        QVERIFY(run.stopped && !run.stopDate.isEmpty());
        QCOMPARE(int(run.rows.size()), 2);
        QCOMPARE(run.rows[1].a, QStringLiteral("65535"));
        QCOMPARE(run.totalA, qint64(2));
        QCOMPARE(run.missedA, qint64(1));
        QCOMPARE(run.minB, QStringLiteral("-20"));

        win->ui->action_Restore_Backup->trigger();
        QCOMPARE(int(win->runList->first()->chA.values->xValues.size()), 2);
        win->ui->action_Data1->trigger();
        win->ui->RunButton->click();
        win->ui->StopButton->click();
        const RunFile kept = ReadRunFile(Folder() + QStringLiteral("tamberlo_backup_previous.csv"));
        QCOMPARE(int(kept.runs.size()), 1);
        QCOMPARE(int(kept.runs[0].rows.size()), 2);
        QVERIFY2(boxes.boxes.isEmpty(), qPrintable(boxes.Texts().join(QLatin1Char('|'))));
        CloseLogger();
    }

    // The rows of a killed run that the backup cannot take yet (a full disk) stay on disk
    // through File > Load of a chart or of the previous backup, Clear Screen, Start, Exit
    // and restarts; the start says that they wait, and they are added once the disk has room.
    void rowsWaitingForRoomStayOnDisk()
    {
        InitResources();
        std::signal(SIGXFSZ, SIG_IGN);
        for (const bool previous : {false, true}) {
            FreshFolder();
            const QString other = previous ? Folder() + QStringLiteral("tamberlo_backup_previous.csv")
                                           : QDir::homePath() + QStringLiteral("/a.csv");
            WriteFile(other, ClosedRun);
            WriteFile(BackupPath(), StartBlock + RowsText(1, 100));
            WriteFile(TempPath(), RowsText(1, 50000));
            ChartFileDialogs::Instance().open = [other](auto...) { return other; };
            LimitFileSize(100 * 1000);
            struct Lift {
                ~Lift() { LimitFileSize(0); }
            } lift;
            MessageRecorder boxes;
            LoggerMainWindow *win = OpenLogger();
            const QStringList told = boxes.Texts();
            win->ui->action_Load->trigger();
            QCOMPARE(int(win->runList->first()->chA.values->xValues.size()), 10);
            win->ui->action_Data1->trigger();
            win->ui->action_Clear_Screen->trigger();
            win->ui->RunButton->click();
            // Refused, and said why.
            QVERIFY(!win->loggingActive && boxes.SawError("Failed to save file.\n" + RowsWaitMessage()));
            if (previous) {
                // Room again while the program runs: the next step that touches the files adds them.
                LimitFileSize(0);
                win->ui->action_Load->trigger();
                win->ui->action_Data1->trigger();
                QVERIFY(ClosedRunOnDisk(50000, 50000));
            }
            CloseLogger();
            boxes.boxes.clear();
            OpenLogger();   // a restart, the disk full or not, then one with room
            CloseLogger();
            const int toldAgain = int(boxes.boxes.size());
            LimitFileSize(0);
            OpenLogger();
            CloseLogger();
            QVERIFY(ClosedRunOnDisk(50000, 50000));
            QVERIFY(previous ? ClosedRunOnDisk(10, 10) : FileBytes(other) == ClosedRun);
            QVERIFY2(told == QStringList{RowsWaitMessage()}, qPrintable(told.join('|')));
            QCOMPARE(toldAgain, previous ? 0 : 1);
        }
        ChartFileDialogs::Instance().Reset();
    }

    // A run whose start block the backup could not take either heads temp.csv with it: after
    // an Exit (or a kill) and a restart on the full disk the run is added whole once there is
    // room, to a backup with runs or an empty one, and only once when temp.csv outlives that.
    void startBlockWaitingInTempIsAddedWithItsRows()
    {
        InitResources();
        std::signal(SIGXFSZ, SIG_IGN);
        QByteArray second = StartBlock + RowsText(21, 20000);
        second.replace("10:00:00 AM", "10:00:05 AM");
        for (const QByteArray &runs : {ClosedRun, QByteArray()}) {
            FreshFolder();
            WriteFile(BackupPath(), runs);
            WriteFile(TempPath(), second);
            LimitFileSize(100 * 1000);
            {
                MessageRecorder boxes;
                OpenLogger();
                CloseLogger();
                LimitFileSize(0);
                QCOMPARE(boxes.Texts(), QStringList{RowsWaitMessage()});
            }
            QVERIFY(FileBytes(TempPath()) == second && FileBytes(BackupPath()) == runs);
            OpenLogger();
            CloseLogger();
            const QByteArray added = FileBytes(BackupPath());
            QVERIFY(added.startsWith(runs) && ClosedRunOnDisk(19980, 20000));
            QCOMPARE(ReadRunFile(BackupPath()).runs.back().startTime, QStringLiteral("10:00:05 AM"));
            WriteFile(TempPath(), second);   // as a kill before it was emptied leaves it
            OpenLogger();
            CloseLogger();
            QCOMPARE(FileBytes(BackupPath()), added);
        }
    }

    // A kill inside that adding leaves the backup ending in the run's start block, cut after
    // any of its lines: the block is written anew, whole, with the rows, to a backup with runs
    // or an empty one.
    void startBlockCutByAKillIsWrittenWhole()
    {
        InitResources();
        QByteArray second = StartBlock + RowsText(101, 130);
        second.replace("10:00:00 AM", "10:00:05 AM");
        for (const QByteArray &runs : {ClosedRun, QByteArray()}) {
            for (int cut = second.indexOf('\n') + 1; cut < StartBlock.size(); ++cut) {
                FreshFolder();
                WriteFile(BackupPath(), runs + second.left(cut));
                WriteFile(TempPath(), second);
                QCOMPARE(Utility::KeepRowsOfCutRun(BackupPath(), TempPath()), 0);
                const RunFile file = ReadRunFile(BackupPath());
                const size_t rows = file.runs.empty() ? 0 : file.runs.back().rows.size();
                QVERIFY2(file.badLines == 0 && file.runs.size() == (runs.isEmpty() ? 1u : 2u) && file.runs.back().stopped
                             && file.runs.back().startTime == QLatin1String("10:00:05 AM") && rows == 30,
                         qPrintable(QStringLiteral("cut at %1: %2 runs, %3 of 30 rows").arg(cut).arg(file.runs.size()).arg(rows)));
            }
        }
    }

    // A write that fails part-way leaves nothing of itself: the start's recovery whose stop
    // block the full disk cuts leaves the backup's whole lines as they were. A stop block cut
    // short (by a kill, or by an earlier program) counts as open: the rows are checked against
    // temp.csv and the block is written whole.
    void halfWrittenBlocksAreWrittenWhole()
    {
        InitResources();
        std::signal(SIGXFSZ, SIG_IGN);
        FreshFolder();
        const QByteArray open = StartBlock + RowsText(1, 100);
        WriteFile(BackupPath(), open);
        WriteFile(TempPath(), RowsText(1, 35300));
        LimitFileSize(rlim_t(open.size() + RowsText(101, 35300).size() + 60));
        {
            MessageRecorder boxes;
            OpenLogger();
            CloseLogger();
        }
        LimitFileSize(0);
        QCOMPARE(FileBytes(BackupPath()), open);
        OpenLogger();
        CloseLogger();
        QVERIFY(ClosedRunOnDisk(35300, 35300));

        const QByteArray block = "\nStop Date:,12/08/2026\nStop Time:,12:55:03 AM\nTotal Samples:,100,0\n"
                                 "Maximum (mV):,100,0\nMinimum (mV):,1,0\nMissed Samples:,0,0\n\n";
        for (const int cut : {1, block.indexOf("12:55:") + 6, block.indexOf("Total Samples") + 13, block.indexOf("Missed")}) {
            FreshFolder();
            WriteFile(BackupPath(), open + block.left(cut));
            WriteFile(TempPath(), RowsText(1, 150));
            OpenLogger();
            CloseLogger();
            const RunFile file = ReadRunFile(BackupPath());
            QVERIFY2(file.badLines == 0 && file.runs.size() == 1 && file.runs[0].stopped
                         && file.runs[0].rows.size() == 150 && file.runs[0].totalA == 150,
                     qPrintable(QString::number(cut)));
        }
    }

    // The rows wait less long than temp.csv is large: with room for what the backup lacks
    // (not for temp.csv whole) they are added with no user action.
    void rowsAreAddedOnceThereIsRoomForThem()
    {
        InitResources();
        FreshFolder();
        SmallDisk disk(4 << 20);
        if (!disk.Mounted())
            QSKIP("no file system of the test's own here (it needs root)");
        WriteFile(BackupPath(), StartBlock + RowsText(1, 79960));
        WriteFile(TempPath(), RowsText(1, 80000));
        disk.LeaveRoom(0);
        MessageRecorder boxes;
        OpenLogger();
        QVERIFY(boxes.Texts().contains(RowsWaitMessage()));
        disk.LeaveRoom(100 * 1000);
        QVERIFY(QFileInfo(TempPath()).size() > 1000 * 1000);
        QTRY_VERIFY_WITH_TIMEOUT(ClosedRunOnDisk(80000, 80000), 20000);
        CloseLogger();
    }

    // The recovery's own limits: a last line of the backup longer than any row, a temp.csv
    // that ends in zeros without a line feed (read in bounded memory), and a run killed
    // before its first row (its start block taken out, so that it pushes no backup out).
    void recoveryReadsAnyTail()
    {
        InitResources();
        FreshFolder();
        const QByteArray longRow = "100,100,," + QByteArray(1100 * 1000, 'm') + '\n';
        WriteFile(BackupPath(), StartBlock + RowsText(1, 99) + longRow);
        WriteFile(TempPath(), RowsText(1, 99) + longRow + RowsText(101, 150));
        OpenLogger();
        CloseLogger();
        QVERIFY(ClosedRunOnDisk(150, 150, 149));   // the overlong row is no row to the readers

        WriteFile(BackupPath(), StartBlock + RowsText(1, 100));
        WriteFile(TempPath(), RowsText(1, 150));
        for (int i = 0; i < 96; ++i)
            WriteFile(TempPath(), QByteArray(1 << 20, '\0'), true);
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        OpenLogger();
        getrusage(RUSAGE_SELF, &after);
        CloseLogger();
        QVERIFY(ClosedRunOnDisk(150, 150));
        QVERIFY2(after.ru_maxrss - before.ru_maxrss < 48 * 1024, qPrintable(QString::number(after.ru_maxrss)));

        const QString previous = Folder() + QStringLiteral("tamberlo_backup_previous.csv");
        for (const QByteArray &runs : {ClosedRun, QByteArray()}) {
            WriteFile(previous, ClosedRun);
            WriteFile(BackupPath(), runs + StartBlock);
            WriteFile(TempPath(), QByteArray());
            LoggerMainWindow *win = OpenLogger();
            QCOMPARE(FileBytes(BackupPath()), runs);
            ZrSim::useManualClock(true);
            win->ui->RunButton->click();
            win->ui->StopButton->click();
            QCOMPARE(FileBytes(previous), ClosedRun);   // not pushed out by a backup without runs
            CloseLogger();
        }
    }
};

int main(int argc, char **argv)
{
    return KillChild::Main<TestChartRecovery>(argc, argv, RunChild);
}

#include "test_chart_recovery.moc"
