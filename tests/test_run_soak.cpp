// A logger left running on the real clock at 1 ms, both channels, with lost instants and USB
// reads that end inside an instant, through Stop, Start and Clear Screen: every row once,
// A and B of one instant, numbered on without a step back, in "temp.csv" and the backups.
// ZR_SOAK_SECONDS sets how long each run logs (default 2). And the settings the user left, as
// the program writes them on leaving the logger and reads them at its next start.
#include <QtTest>

#include "test_home.h"

#include "HWIFWrapper.h"

#include "Resources.h"
#include "ui_LoggerMainWindow.h"   // generated for this program: the support header uses it
#include "test_run_control_support.h"

using namespace RunTest;

namespace {

// The test-mode code of a value in mV (range 5), or -1 for a gap marker or a foreign value.
int Code(const QString &text)
{
    static QHash<QString, int> codes;
    if (codes.isEmpty())
        for (int k = 0; k < 1024; ++k)
            codes.insert(TestModeValue(0, k), k);
    return codes.value(text, -1);
}

// Checks one run's rows; returns an empty text when they hold.
QString CheckRows(const std::vector<Row> &rows, qint64 first)
{
    int previous = -1;
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row &r = rows[i];
        const QString where = QStringLiteral("row %1 (%2,%3,%4): ").arg(i).arg(r.sampleNo).arg(r.a, r.b);
        if (r.sampleNo != first + qint64(i))
            return where + QStringLiteral("number");
        if (r.a == QLatin1String("65535") || r.b == QLatin1String("65535")) {
            if (r.a != r.b)
                return where + QStringLiteral("gap on one channel only");
            previous = -1;
            continue;
        }
        const int a = Code(r.a), b = 1023 - Code(r.b);
        if (a < 0 || a != b)
            return where + QStringLiteral("A and B of different instants");
        if (previous >= 0 && a != (previous + 1) % 1024)
            return where + QStringLiteral("an instant lost or repeated without a marker");
        previous = a;
    }
    return QString();
}

}   // namespace

class TestRunSoak : public QObject {
    Q_OBJECT

    LoggerMainWindow *win = nullptr;
    int ms = 2000;

    // Instants the instrument has queued so far, each lost run of them as one marker row.
    static qint64 Produced()
    {
        const ZrSim::State st = ZrSim::state();
        return qint64(st.streamedInstants + st.gapMarkers);
    }

    // Logs `ms` on the real clock; notes the rows the instrument produced before the Stop
    // (all of which the run must hold) and before it was closed (more it cannot hold).
    void Log()
    {
        const qint64 before = Produced();
        win->ui->RunButton->click();
        QVERIFY(win->loggingActive);
        QElapsedTimer t;
        t.start();
        while (t.elapsed() < ms)
            QTest::qWait(50);
        const qint64 atStop = Produced();
        win->ui->StopButton->click();
        QVERIFY(!win->loggingActive);
        // What the start dropped (sampled before the run took its first block) is not the run's.
        const qint64 dropped = win->hwWrapper->discardedInstants;
        produced.push_back({atStop - before - dropped, Produced() - before - dropped});
    }

    std::vector<std::pair<qint64, qint64>> produced;

private slots:
    void initTestCase()
    {
        InitResources();
        ms = qMax(1, qEnvironmentVariableIntValue("ZR_SOAK_SECONDS")) * 1000;
        if (!qEnvironmentVariableIsSet("ZR_SOAK_SECONDS"))
            ms = 2000;
    }

    void everyRowOncePairedAndNumbered()
    {
        FreshFolder();
        ZrSim::reset();
        QVERIFY(ZrSim::applyOptions("gap-every=40,read-limit=42"));
        win = OpenLogger();
        MessageRecorder boxes;
        win->ui->action_TestMode->trigger();
        win->ui->sampleInterval->setText(QStringLiteral("1"));

        Log();
        QTest::qWait(300);   // samples counted while stopped
        Log();
        win->ui->RunButton->click();   // stopped before its first block
        win->ui->StopButton->click();
        produced.push_back({0, 0});
        win->ui->action_Clear_Screen->trigger();
        Log();
        QCOMPARE(boxes.Texts(), QStringList());

        const RunFile previous = ReadRunFile(Folder() + QStringLiteral("tamberlo_backup_previous.csv"));
        const RunFile backup = ReadRunFile(BackupPath());
        QCOMPARE(previous.badLines + backup.badLines, 0);
        QCOMPARE(int(previous.runs.size()), 3);
        QCOMPARE(int(backup.runs.size()), 1);
        std::vector<Run> runs = previous.runs;
        runs.push_back(backup.runs[0]);
        for (size_t r = 0; r < runs.size(); ++r) {
            const Run &run = runs[r];
            QVERIFY(run.stopped);
            QCOMPARE(run.interval, QStringLiteral("1ms"));
            QCOMPARE(run.totalA, qint64(run.rows.size()));
            QCOMPARE(run.totalB, qint64(run.rows.size()));
            if (r == 2)
                continue;
            const qint64 rows = qint64(run.rows.size());
            QVERIFY2(rows >= produced[r].first && rows <= produced[r].second,
                     qPrintable(QStringLiteral("run %1: %2 rows, %3 produced before the Stop, %4 in all")
                                    .arg(r).arg(rows).arg(produced[r].first).arg(produced[r].second)));
            QVERIFY(rows > ms / 4);
            const QString fault = CheckRows(run.rows, run.rows.front().sampleNo);
            QVERIFY2(fault.isEmpty(), qPrintable(QStringLiteral("run %1 %2").arg(r).arg(fault)));
            QVERIFY(run.missedA >= qint64(run.rows.size() / 41) && run.missedA == run.missedB);
        }
        // Numbers go on from run to run, the time stopped counted in; Clear Screen starts at 1.
        QCOMPARE(runs[0].rows.front().sampleNo, qint64(1));
        QVERIFY(runs[1].rows.front().sampleNo >= runs[0].rows.back().sampleNo + 1 + 150);
        QCOMPARE(runs[3].rows.front().sampleNo, qint64(1));
        // "temp.csv" holds the last run, row for row.
        const std::vector<Row> temp = ReadRows(TempPath());
        QCOMPARE(temp.size(), runs[3].rows.size());
        for (size_t i = 0; i < temp.size(); ++i)
            QVERIFY(temp[i].sampleNo == runs[3].rows[i].sampleNo && temp[i].a == runs[3].rows[i].a
                    && temp[i].b == runs[3].rows[i].b);
        CloseLogger();
    }

    void settingsComeBackAtTheNextStart()
    {
        FreshFolder();
        ZrSim::reset();
        auto start = [this] {
            w = new MainWindow();
            w->show();
            w->LoggerModeFunc();
            win = LoggerWin;
        };
        start();
        win->ui->timeUnit->setCurrentIndex(0);
        emit win->ui->timeUnit->activated(0);
        win->ui->sampleInterval->setText(QStringLiteral("2.5"));
        emit win->ui->sampleInterval->editingFinished();
        win->ui->action_Time->trigger();
        win->ui->action_V->trigger();
        win->ui->action_Scope_Mode->trigger();   // back to the scope: the settings are written
        QVERIFY(w->isVisible() && !win->isVisible());
        CloseLogger();

        start();
        QCOMPARE(win->ui->sampleInterval->text(), QStringLiteral("2.50000"));
        QCOMPARE(win->ui->timeUnit->currentText(), QStringLiteral("s"));
        QVERIFY(LoggerMainWindow::IsTicked(win->ui->action_Time));
        QVERIFY(win->activeYScaleAction == win->ui->action_V && win->config->ySettings.yUnit == 1);
        // A run uses what came back, and closing the logger window (the program's end)
        // writes what changed since.
        win->ui->timeUnit->setCurrentIndex(1);
        emit win->ui->timeUnit->activated(1);
        win->ui->sampleInterval->selectAll();
        QTest::keyClicks(win->ui->sampleInterval, QStringLiteral("40"));
        win->ui->action_Sample_No->trigger();
        win->ui->RunButton->click();   // the typed text is committed by the start
        win->ui->StopButton->click();
        QCOMPARE(ReadRunFile(BackupPath()).runs.at(0).interval, QStringLiteral("40ms"));
        QVERIFY(win->close());
        CloseLogger();

        start();
        QCOMPARE(win->ui->sampleInterval->text(), QStringLiteral("40.00000"));
        QCOMPARE(win->ui->timeUnit->currentText(), QStringLiteral("ms"));
        QVERIFY(!LoggerMainWindow::IsTicked(win->ui->action_Time) && win->config->xSettings.xMode == 0);
        QVERIFY(win->activeYScaleAction == win->ui->action_V);
        CloseLogger();
    }
};

ZR_TEST_MAIN(TestRunSoak)
#include "test_run_soak.moc"
