// Every test program runs in a home folder of its own, however it is started (ctest, by hand,
// from a debugger): the program under test keeps its files below $HOME/Documents, and a test
// must never read or delete a developer's real files there.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace TestHome {

// Points HOME (and, when unset, XDG_RUNTIME_DIR and the Qt platform) at a fresh temporary
// folder that lives until the program ends. Call first thing in main, before any Qt object.
inline void Isolate()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/zr-test-home-XXXXXX"));
    if (!dir.isValid())
        qFatal("cannot create a temporary home folder");
    qputenv("HOME", QFile::encodeName(dir.path()));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = dir.path() + QStringLiteral("/runtime");
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
    }
#ifdef ZR_TEST_DATA_DIR
    if (qEnvironmentVariableIsEmpty("ZR_TEST_DATA"))
        qputenv("ZR_TEST_DATA", ZR_TEST_DATA_DIR);
#endif
}

// True when HOME is the temporary folder Isolate made: checked before a test deletes below it.
inline bool IsIsolated()
{
    return QDir::homePath().startsWith(QDir::tempPath() + QStringLiteral("/zr-test-home-"));
}

}   // namespace TestHome

// QTEST_MAIN with a home folder of the test's own.
#define ZR_TEST_MAIN(TestObject)         \
    int main(int argc, char *argv[])     \
    {                                    \
        TestHome::Isolate();             \
        QTEST_MAIN_IMPL(TestObject)      \
    }

// QTEST_GUILESS_MAIN with a home folder of the test's own.
#define ZR_TEST_GUILESS_MAIN(TestObject)                                  \
    int main(int argc, char *argv[])                                      \
    {                                                                     \
        TestHome::Isolate();                                              \
        QCoreApplication app(argc, argv);                                 \
        app.setAttribute(Qt::AA_Use96Dpi, true);                          \
        TestObject tc;                                                    \
        QTEST_SET_MAIN_SOURCE_PATH                                        \
        return QTest::qExec(&tc, argc, argv);                             \
    }
