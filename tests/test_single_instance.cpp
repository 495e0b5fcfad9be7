// One program per home folder: the real program started a second time while the first
// runs ends at once with its message and leaves every file of the folder as it was; a
// first program killed with SIGKILL does not keep the next one out.
#include <QtTest>

#include "test_home.h"

#include <QDateTime>
#include <QFileInfo>
#include <QMap>
#include <QProcess>

namespace {

QString Folder()
{
    return QDir::homePath() + QStringLiteral("/Documents/KestrimaIII/");
}

// Every file of the folder (hidden ones too) with its size, time and content.
QMap<QString, QString> Snapshot()
{
    QMap<QString, QString> files;
    const QFileInfoList list = QDir(Folder()).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo &info : list) {
        QFile file(info.filePath());
        file.open(QIODevice::ReadOnly);
        files.insert(info.fileName(), QString::number(info.size()) + QLatin1Char(' ')
                                          + QString::number(info.lastModified().toMSecsSinceEpoch()) + QLatin1Char(' ')
                                          + QString::fromLatin1(file.readAll().toHex()));
    }
    return files;
}

// The process id written in the folder's lock, 0 when there is none.
qint64 LockOwner()
{
    QFile file(Folder() + QStringLiteral(".KestrimaIII.lock"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return file.readLine().trimmed().toLongLong();
}

void Start(QProcess &program)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();   // this test's HOME
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(ZR_PROGRAM), QStringList());
}

}   // namespace

class TestSingleInstance : public QObject {
    Q_OBJECT

private slots:
    void secondProgramOnOneFolder()
    {
        QVERIFY(TestHome::IsIsolated());
        QVERIFY(QDir().mkpath(Folder()));
        // Files a second program would read, rename or write at its start.
        const QByteArray run = "Start Date:,05/06/2026\nStart Time:,10:00:00 AM\nSample Interval:,1ms\n\n"
                               "Sample Number,ChA Voltage (mV),ChB Voltage (mV),Memo\n1,2,3, \n";
        for (const char *name : {"tamberlo_backup.csv", "temp.csv"}) {
            QFile file(Folder() + QLatin1String(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(run);
        }

        QProcess first;
        Start(first);
        QVERIFY(first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(LockOwner() == first.processId(), 60000);
        const QMap<QString, QString> before = Snapshot();

        QProcess second;
        Start(second);
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 1);
        const QString said = QString::fromLocal8Bit(second.readAllStandardError());
        QVERIFY2(said.contains(QLatin1String("Kestrima III is already running.")), qPrintable(said));
        QCOMPARE(Snapshot(), before);
        QCOMPARE(first.state(), QProcess::Running);

        // Killed, the first leaves its lock behind; the next start takes it over.
        const qint64 killed = first.processId();
        first.kill();
        QVERIFY(first.waitForFinished(30000));
        QCOMPARE(LockOwner(), killed);
        QProcess third;
        Start(third);
        QVERIFY(third.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(LockOwner() == third.processId() || third.state() != QProcess::Running, 60000);
        QCOMPARE(third.state(), QProcess::Running);
        QCOMPARE(LockOwner(), third.processId());
        third.kill();
        QVERIFY(third.waitForFinished(30000));
    }
};

ZR_TEST_GUILESS_MAIN(TestSingleInstance)

#include "test_single_instance.moc"
