// Recovery after a crash, end to end: a child process (this program with --child) logs
// one run at 1 ms, stops it, logs a second one and is killed with SIGKILL during it. The
// logger started again restores the backup: both runs are back, the cut one with every
// row logged up to about a second before the kill.
#include <QtTest>

#include "test_home.h"

#include "Resources.h"
#include "ui_LoggerMainWindow.h"   // generated for this program: the support header uses it
#include "test_run_control_support.h"

#include <QProcess>
#include <cstdio>

using namespace RunTest;

namespace {

int RunChild(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InitResources();
    LoggerMainWindow *win = OpenLogger();
    if (!win)
        return 2;
    win->config->sampleInterval = 1.0;
    win->config->intervalUnit = MilliSeconds;
    win->ui->RunButton->click();
    if (!win->loggingActive)
        return 3;
    QTimer report;
    int stage = 1;
    QObject::connect(&report, &QTimer::timeout, [&] {
        const int rows = FetchedRows(win);
        if (stage == 1 && rows >= 300) {
            win->ui->StopButton->click();
            win->ui->RunButton->click();
            stage = 2;
            std::printf("second\n");
        } else if (stage == 2) {
            std::printf("fetched %d\n", rows);
        }
        std::fflush(stdout);
    });
    report.start(50);
    QTimer::singleShot(120000, &app, &QCoreApplication::quit);   // never left behind
    return app.exec();
}

}   // namespace

class TestChartRecovery : public QObject {
    Q_OBJECT

private slots:
    void restoreAfterKill()
    {
        FreshFolder();
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer clock;
        qint64 secondAt = -1;
        std::vector<std::pair<qint64, int>> reports;   // (when received, rows of the second run)
        connect(&child, &QProcess::readyReadStandardOutput, this, [&] {
            while (child.canReadLine()) {
                const QString line = QString::fromUtf8(child.readLine()).trimmed();
                if (line == QLatin1String("second"))
                    secondAt = clock.elapsed();
                else if (line.startsWith(QLatin1String("fetched ")))
                    reports.push_back({clock.elapsed(), line.mid(8).toInt()});
            }
        });
        clock.start();
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child")});
        QVERIFY(child.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(secondAt >= 0 || child.state() == QProcess::NotRunning, 60000);
        QVERIFY(secondAt >= 0);
        while (clock.elapsed() < secondAt + 2500 && child.state() == QProcess::Running)
            QTest::qWait(20);
        QCOMPARE(child.state(), QProcess::Running);
        child.kill();
        const qint64 killedAt = clock.elapsed();
        QVERIFY(child.waitForFinished(30000));
        int loggedBefore = 0;
        for (const auto &report : reports)
            if (report.first <= killedAt - 1000)
                loggedBefore = std::max(loggedBefore, report.second);
        QVERIFY(loggedBefore > 0);

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
        QVERIFY2(rows >= loggedBefore, qPrintable(QStringLiteral("%1 rows, %2 logged a second before").arg(rows).arg(loggedBefore)));
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
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "--child") == 0)
            return RunChild(argc, argv);
    TestHome::Isolate();
    QApplication app(argc, argv);
    TestChartRecovery test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_chart_recovery.moc"
