// A logging program killed without warning keeps what it logged: this program runs itself
// as a child (--child) that opens the windows and logs at 1 ms, kills it with SIGKILL once it
// has written a thousand rows to the backup, and checks "temp.csv" and the backup file in the
// child's home folder against what the child had written by then.
#include <QtTest>

#include "test_home.h"

#include "Resources.h"
#include "ui_LoggerMainWindow.h"   // generated for this program: the support header uses it
#include "test_kill_child_support.h"

using namespace RunTest;

namespace {

// The child: logs until it is killed, telling every 50 ms how many rows it has fetched
// (each of them was written to "temp.csv" before it was counted) and how many it has
// written to the backup.
int RunChild(int argc, char **argv)
{
    return KillChild::Run(
        argc, argv,
        [](LoggerMainWindow *win) {
            win->ui->RunButton->click();
            if (!win->loggingActive) {
                std::printf("refused\n");
                std::fflush(stdout);
                return false;
            }
            std::printf("logging %g %d\n", win->config->sampleInterval, int(win->config->intervalUnit));
            std::fflush(stdout);
            return true;
        },
        [](LoggerMainWindow *win) {
            std::printf("fetched %d backed %d\n", FetchedRows(win), KillChild::BackedUpRows(win, 0));
        });
}

}   // namespace

class TestRunKill : public QObject {
    Q_OBJECT

private slots:
    void killedRunKeepsItsRows()
    {
        const QString home = QDir::homePath() + QStringLiteral("/child");
        QDir(home).removeRecursively();
        QVERIFY(QDir().mkpath(home));
        const QString folder = home + QStringLiteral("/Documents/KestrimaIII/");

        KillChild::Parent child(this);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home);
        child.process.setProcessEnvironment(env);
        bool logging = false;
        QStringList odd;
        child.onLine = [&](const QString &line) {
            if (line.startsWith(QLatin1String("logging"))) {
                logging = true;
                if (line != QLatin1String("logging 1 1"))   // 1 ms
                    odd << line;
            } else {
                odd << line;
            }
        };
        QVERIFY(child.Start());
        QTRY_VERIFY_WITH_TIMEOUT(logging || child.process.state() == QProcess::NotRunning, 60000);
        QVERIFY2(logging, qPrintable(odd.join(QLatin1Char('|'))));
        QVERIFY2(odd.isEmpty(), qPrintable(odd.join(QLatin1Char('|'))));
        // The backup grows while the run goes on: killed once it holds a thousand rows.
        QVERIFY2(child.KillWhen([&] { return child.backedUp >= 1000; }),
                 qPrintable(QStringLiteral("%1 rows fetched, %2 in the backup").arg(child.fetched).arg(child.backedUp)));
        QCOMPARE(child.process.exitStatus(), QProcess::CrashExit);

        // "temp.csv": whole rows numbered from 1, at least those logged by then; only a
        // row cut by the kill may be incomplete, and only at the very end.
        const QByteArray tempBytes = FileBytes(folder + QStringLiteral("temp.csv"));
        int bad = 0;
        const std::vector<Row> temp = ReadRows(folder + QStringLiteral("temp.csv"), &bad);
        QVERIFY(bad == 0 || (bad == 1 && !tempBytes.endsWith('\n')));
        // Each write reaches the file at once: a buffer held back would lose its rows.
        QVERIFY2(int(temp.size()) >= child.fetched,
                 qPrintable(QStringLiteral("%1 rows, %2 fetched").arg(temp.size()).arg(child.fetched)));
        for (size_t i = 0; i < temp.size(); ++i) {
            QCOMPARE(temp[i].sampleNo, qint64(i + 1));
            bool okA = false, okB = false;
            temp[i].a.toDouble(&okA);
            temp[i].b.toDouble(&okB);
            QVERIFY2(okA && okB, qPrintable(QString::number(temp[i].sampleNo)));
        }

        // The backup: the run's start block and its rows so far, each whole, numbered
        // from 1 without a gap, with the values of "temp.csv".
        const RunFile backup = ReadRunFile(folder + QStringLiteral("tamberlo_backup.csv"));
        QVERIFY(backup.badLines == 0 || (backup.badLines == 1 && !backup.endsWithLineFeed));
        QCOMPARE(int(backup.runs.size()), 1);
        const Run &run = backup.runs[0];
        QVERIFY(!run.startDate.isEmpty());
        QCOMPARE(run.interval, QStringLiteral("1ms"));
        QVERIFY(!run.stopped);
        // Every row the child had written to the backup is in it: none waited in a buffer.
        QVERIFY2(int(run.rows.size()) >= child.backedUp,
                 qPrintable(QStringLiteral("%1 rows, %2 written").arg(run.rows.size()).arg(child.backedUp)));
        QVERIFY(run.rows.size() <= temp.size());
        for (size_t i = 0; i < run.rows.size(); ++i) {
            QCOMPARE(run.rows[i].sampleNo, qint64(i + 1));
            QCOMPARE(run.rows[i].a, temp[i].a);
            QCOMPARE(run.rows[i].b, temp[i].b);
        }
    }
};

int main(int argc, char **argv)
{
    return KillChild::Main<TestRunKill>(argc, argv, RunChild);
}

#include "test_run_kill.moc"
