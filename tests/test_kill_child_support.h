// A logger in a child process (the test program run again with --child) that the test
// kills with SIGKILL: the child's main loop, and the parent's view of it (the lines it
// prints, and the kill).
#pragma once

#include "Resources.h"
#include "test_run_control_support.h"

#include <QDeadlineTimer>
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

// Rows of the run numbered `run` (from 0) that the logger has written to the backup file.
inline int BackedUpRows(LoggerMainWindow *win, size_t run)
{
    const std::vector<RowIndex::Run> &runs = win->backupIndex.Runs();
    return runs.size() > run ? int(runs[run].rows) : 0;
}

// The parent's side: "fetched N backed M" lines are kept; every other line goes to onLine.
class Parent {
public:
    QProcess process;
    // The most rows the child said it had fetched (each was in "temp.csv" by then) and
    // written to the backup file. Every report was made before the kill.
    int fetched = 0;
    int backedUp = 0;
    std::function<void(const QString &)> onLine;

    explicit Parent(QObject *context)
    {
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&process, &QProcess::readyReadStandardOutput, context, [this] {
            while (process.canReadLine()) {
                const QString line = QString::fromUtf8(process.readLine()).trimmed();
                const QStringList f = line.split(QLatin1Char(' '));
                if (f.size() == 4 && f[0] == QLatin1String("fetched") && f[2] == QLatin1String("backed")) {
                    fetched = std::max(fetched, f[1].toInt());
                    backedUp = std::max(backedUp, f[3].toInt());
                } else if (onLine) {
                    onLine(line);
                }
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
        process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child")});
        return process.waitForStarted();
    }

    // Lets the child run until `ready` holds, however slow the machine, then kills it
    // (SIGKILL: no handler, no flush, no stop block). False when the child had ended by
    // itself, never got ready or does not end.
    bool KillWhen(const std::function<bool()> &ready)
    {
        QDeadlineTimer deadline(100000);   // the child ends itself after two minutes
        while (!ready() && process.state() == QProcess::Running && !deadline.hasExpired())
            QTest::qWait(20);
        if (!ready() || process.state() != QProcess::Running)
            return false;
        process.kill();
        return process.waitForFinished(30000);
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
