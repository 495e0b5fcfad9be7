// Recovery after a crash, end to end: a child process (this program with --child) logs
// one run at 1 ms, stops it, logs a second one and is killed with SIGKILL during it. The
// logger started again restores the backup: both runs are back, the cut one with every
// row the child had written to the backup before the kill.
#include <QtTest>

#include "test_home.h"

#include "Resources.h"
#include "ui_LoggerMainWindow.h"   // generated for this program: the support header uses it
#include "test_kill_child_support.h"

using namespace RunTest;

namespace {

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
        QVERIFY2(rows >= child.backedUp, qPrintable(QStringLiteral("%1 rows, %2 written").arg(rows).arg(child.backedUp)));
        QCOMPARE(cut->chA.totalSamples, rows);
        QVERIFY(cut->firstSampleNo >= first->firstSampleNo + first->chA.totalSamples);
        for (int i = 0; i < rows; ++i)
            QCOMPARE(int(cut->chA.values->xValues[size_t(i)]), cut->firstSampleNo + i);
        QCOMPARE(win->windowTitle(), QStringLiteral("Tamberlo for ZR70K33 - (tamberlo_backup)"));
        CloseLogger();
    }
};

int main(int argc, char **argv)
{
    return KillChild::Main<TestChartRecovery>(argc, argv, RunChild);
}

#include "test_chart_recovery.moc"
