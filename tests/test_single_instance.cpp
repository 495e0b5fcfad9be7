// One program per home folder: the real program started a second time while the first
// runs ends at once with its message and leaves every file of the folder as it was; a
// first program killed with SIGKILL does not keep the next one out.
#include <QtTest>

#include "test_home.h"

#include <QDateTime>
#include <QProcess>

namespace {

QString Folder()
{
    return QDir::homePath() + QStringLiteral("/Documents/KestrimaIII/");
}

// Every file of the folder (the lock too) with its time and content.
QStringList Snapshot()
{
    QStringList files;
    for (const QFileInfo &info : QDir(Folder()).entryInfoList(QDir::Files | QDir::Hidden)) {
        QFile file(info.filePath());
        file.open(QIODevice::ReadOnly);
        files << info.fileName() + QString::number(info.lastModified().toMSecsSinceEpoch())
                     + QString::fromLatin1(file.readAll().toHex());
    }
    return files;
}

// The process id written in the folder's lock.
qint64 LockOwner()
{
    QFile file(Folder() + QStringLiteral(".KestrimaIII.lock"));
    return file.open(QIODevice::ReadOnly) ? file.readLine().trimmed().toLongLong() : 0;
}

// The program as a user starts it; `shell` is run before it (limits of the process).
void Start(QProcess &program, const QString &shell = QString())
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();   // this test's HOME
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));   // no box to close
    program.setProcessEnvironment(env);
    program.start(QStringLiteral("/bin/sh"),
                  {QStringLiteral("-c"), shell + QStringLiteral(" exec \"$0\""), QStringLiteral(ZR_PROGRAM)});
    QVERIFY(program.waitForStarted());
}

QString LockPath()
{
    return QDir::toNativeSeparators(Folder() + QStringLiteral(".KestrimaIII.lock"));
}

}   // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

private slots:
    void secondProgramOnOneFolder()
    {
        QVERIFY(TestHome::IsIsolated());
        QVERIFY(QDir().mkpath(Folder()));
        QFile backup(Folder() + QStringLiteral("tamberlo_backup.csv"));   // a second start renamed it
        QVERIFY(backup.open(QIODevice::WriteOnly) && backup.write("Start Date:,05/06/2026\n") > 0);
        backup.close();

        QProcess first;
        Start(first);
        QTRY_VERIFY_WITH_TIMEOUT(LockOwner() == first.processId(), 60000);
        const QStringList before = Snapshot();
        QProcess second;
        Start(second);
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 1);
        const QString said = QString::fromLocal8Bit(second.readAllStandardError());
        QVERIFY2(said.contains(QLatin1String("Kestrima III is already running.")), qPrintable(said));
        QVERIFY2(said.contains(LockPath()), qPrintable(said));
        QCOMPARE(Snapshot(), before);
        QCOMPARE(first.state(), QProcess::Running);

        // Killed, the first leaves its lock behind; the next start takes it over.
        const qint64 killed = first.processId();
        first.kill();
        QVERIFY(first.waitForFinished(30000));
        QCOMPARE(LockOwner(), killed);
        QProcess third;
        Start(third);
        QTRY_VERIFY_WITH_TIMEOUT(LockOwner() == third.processId() || third.state() != QProcess::Running, 60000);
        QCOMPARE(third.state(), QProcess::Running);
        third.kill();
        QVERIFY(third.waitForFinished(30000));
    }

    // A killed program's lock on a disk that takes no more data (a file size limit of 0
    // stands in for it, for root too): the next start says the folder cannot be written
    // to, not that the program runs, and opens; so too when the killed program's process
    // id now belongs to another program. A lock made on another computer (a shared home
    // folder) keeps the program out and names the file to remove.
    void fullFolderIsToldNotRunning()
    {
        QVERIFY(TestHome::IsIsolated());
        QVERIFY(QDir().mkpath(Folder()));
        QProcess first;
        Start(first);
        QTRY_VERIFY_WITH_TIMEOUT(LockOwner() == first.processId(), 60000);
        const qint64 killed = first.processId();
        first.kill();
        QVERIFY(first.waitForFinished(30000));
        QFile left(LockPath());
        QVERIFY(left.open(QIODevice::ReadOnly));
        const QByteArray afterOwner = left.readAll().mid(QByteArray::number(killed).size());
        left.close();

        QProcess other;
        other.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        QVERIFY(other.waitForStarted());
        for (const qint64 owner : {killed, other.processId()}) {
            QVERIFY(left.open(QIODevice::WriteOnly | QIODevice::Truncate));
            left.write(QByteArray::number(owner) + afterOwner);
            left.close();
            QProcess full;
            Start(full, QStringLiteral("ulimit -f 0; trap '' XFSZ;"));
            QString said;
            QTRY_VERIFY_WITH_TIMEOUT((said += QString::fromLocal8Bit(full.readAllStandardError()))
                                             .contains(QLatin1String("cannot write to the folder"))
                                         || full.state() != QProcess::Running,
                                     60000);
            QTest::qWait(500);
            QCOMPARE(full.state(), QProcess::Running);
            said += QString::fromLocal8Bit(full.readAllStandardError());
            QVERIFY2(said.contains(QLatin1String("cannot write to the folder")), qPrintable(said));
            QVERIFY2(!said.contains(QLatin1String("already running")), qPrintable(said));
            QCOMPARE(LockOwner(), owner);
            full.kill();
            QVERIFY(full.waitForFinished(30000));
        }
        other.kill();
        QVERIFY(other.waitForFinished(30000));

        QVERIFY(left.open(QIODevice::WriteOnly | QIODevice::Truncate));
        left.write(QByteArray::number(QCoreApplication::applicationPid()) + "\nKestrimaIII\nfar-computer\n");
        left.close();
        QProcess second;
        Start(second);
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(second.exitCode(), 1);
        const QString said = QString::fromLocal8Bit(second.readAllStandardError());
        QVERIFY2(said.contains(QLatin1String("Kestrima III is already running.")), qPrintable(said));
        QVERIFY2(said.contains(QLatin1String("far-computer")) && said.contains(LockPath()), qPrintable(said));
    }
};

ZR_TEST_GUILESS_MAIN(TestSingleInstance)

#include "test_single_instance.moc"
