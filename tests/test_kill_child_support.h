// A logger in a child process (the test program run again with --child) that the test
// kills with SIGKILL: the child's main loop, and the parent's view of it (the lines it
// prints, when they came, and the kill).
#pragma once

#include "Resources.h"
#include "test_run_control_support.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <utility>
#include <vector>

namespace KillChild {

// The child: opens the logger, lets `start` begin logging (false ends the child with 3),
// then calls `report` every 50 ms until it is killed, and never runs longer than two
// minutes, so that none is left behind.
inline int Run(int argc, char **argv, const std::function<bool(LoggerMainWindow *)> &start,
               const std::function<void(LoggerMainWindow *)> &report)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InitResources();
    LoggerMainWindow *win = RunTest::OpenLogger();
    if (!win)
        return 2;
    if (!start(win))
        return 3;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        report(win);
        std::fflush(stdout);
    });
    timer.start(50);
    QTimer::singleShot(120000, &app, &QCoreApplication::quit);
    return app.exec();
}

// The parent's side: "fetched N" lines are kept with the time they came; every other
// line goes to onLine.
class Parent {
public:
    QProcess process;
    QElapsedTimer clock;
    std::vector<std::pair<qint64, int>> reports;   // (when received, rows fetched)
    std::function<void(const QString &)> onLine;
    qint64 killedAt = -1;

    explicit Parent(QObject *context)
    {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&process, &QProcess::readyReadStandardOutput, context, [this] {
            while (process.canReadLine()) {
                const QString line = QString::fromUtf8(process.readLine()).trimmed();
                if (line.startsWith(QLatin1String("fetched ")))
                    reports.push_back({clock.elapsed(), line.mid(8).toInt()});
                else if (onLine)
                    onLine(line);
            }
        });
    }

    bool Start()
    {
        QProcessEnvironment env = process.processEnvironment();
        if (env.isEmpty())
            env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ZR_KILL_CHILD"), QStringLiteral("1"));
        process.setProcessEnvironment(env);
        clock.start();
        process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child")});
        return process.waitForStarted();
    }

    // Lets the child run until `at` on the clock, then kills it (SIGKILL: no handler, no
    // flush, no stop block). False when the child had ended by itself or does not end.
    bool KillAt(qint64 at)
    {
        while (clock.elapsed() < at && process.state() == QProcess::Running)
            QTest::qWait(20);
        if (process.state() != QProcess::Running)
            return false;
        process.kill();
        killedAt = clock.elapsed();
        return process.waitForFinished(30000);
    }

    // The most rows the child said it had fetched by `moment`.
    int LoggedBy(qint64 moment) const
    {
        int rows = 0;
        for (const auto &report : reports)
            if (report.first <= moment)
                rows = std::max(rows, report.second);
        return rows;
    }
};

// The test program's main: the test, or the child when the test started it.
template <class Test>
int Main(int argc, char **argv, int (*runChild)(int, char **))
{
    // Only as the test's own child: by hand it would log into the real home folder.
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "--child") == 0 && qEnvironmentVariableIsSet("ZR_KILL_CHILD"))
            return runChild(argc, argv);
    TestHome::Isolate();
    QApplication app(argc, argv);
    Test test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

}   // namespace KillChild
