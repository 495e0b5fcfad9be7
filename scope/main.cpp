#include "MainWindow.h"
#include "Resources.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QLockFile>
#include <QMessageBox>
#include <QSysInfo>
#include <QTemporaryFile>
#include <QTimer>

#include <cerrno>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <climits>
#include <signal.h>
#include <unistd.h>
#endif

namespace {

// Whether the program can write in the folder. A full disk still lets a file be made, so
// the probe writes into it as well.
bool FolderWritable(const QString &folder)
{
    QTemporaryFile probe(folder + QStringLiteral(".write-probe-XXXXXX"));
    return probe.open() && probe.write("probe\n", 6) == 6 && probe.flush();
}

// Whether the program named in the lock may still run, judged as QLockFile judges it:
// QLockFile tells its verdict only by replacing a stale lock, which a folder that takes
// no files refuses. One on another computer (a shared home folder) cannot be looked up
// from here; on this one the lock is stale after a restart, or when its process is gone
// or now runs another program.
bool HeldByLiveProgram(const QLockFile &lock, const QString &lockPath, QString *host)
{
    qint64 pid = 0;
    QString app;
    if (!lock.getLockInfo(&pid, host, &app))
        return false;
    // The lines after process id, program and host name: the ids of computer and boot.
    QByteArray machineId, bootId;
    QFile file(lockPath);
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        for (int line = 0; line < 3; ++line)
            file.readLine();
        machineId = file.readLine().trimmed();
        bootId = file.readLine().trimmed();
    }
    bool here = host->isEmpty() || *host == QSysInfo::machineHostName();
    const QByteArray ourMachineId = QSysInfo::machineUniqueId();
    if (!machineId.isEmpty() && !ourMachineId.isEmpty())
        here = machineId == ourMachineId;   // a host name may be shared or changed
    if (!here)
        return true;
    if (!bootId.isEmpty() && bootId != QSysInfo::bootUniqueId())
        return false;
#ifdef Q_OS_UNIX
    if (::kill(pid_t(pid), 0) == -1 && errno == ESRCH)
        return false;
#endif
#ifdef Q_OS_LINUX
    // The process id may since have been given to another program: the name of the
    // program the process runs must match the lock's.
    if (::access("/proc/version", F_OK) == 0) {
        char target[PATH_MAX];
        const QByteArray exe = "/proc/" + QByteArray::number(pid) + "/exe";
        const ssize_t size = ::readlink(exe.constData(), target, sizeof target);
        if (size <= 0)
            return false;
        QFileInfo named(app);
        if (named.isSymLink())
            named.setFile(named.symLinkTarget());
        if (QFileInfo(QFile::decodeName(QByteArray(target, int(size)))).fileName() != named.fileName())
            return false;
    }
#endif
    return true;
}

// Without a screen (offscreen or minimal platform: scripts, remote sessions) nobody could
// close a box, and the program would never go on: the text goes to stderr only.
void Tell(QMessageBox::Icon icon, const QString &text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return;
    QMessageBox box(icon, QObject::tr("Kestrima III"), text, QMessageBox::Ok);
    box.exec();
}

void ReportRunning(const QString &folder, const QString &lockPath, const QString &host)
{
    QString text = QObject::tr("Kestrima III is already running.\n"
                               "Only one Kestrima III can use the folder %1 at a time.")
                       .arg(QDir::toNativeSeparators(folder));
    if (!host.isEmpty() && host != QSysInfo::machineHostName())
        text += QLatin1Char('\n') + QObject::tr("It runs on the computer %1.").arg(host);
    text += QLatin1Char('\n') + QObject::tr("If no Kestrima III runs on it, remove the file %1.")
                                    .arg(QDir::toNativeSeparators(lockPath));
    Tell(QMessageBox::Information, text);
}

}   // namespace

int main(int argc, char **argv)
{
    // The windows are laid out in pixels for text at 72 dpi (12 pt = 12 px); at the usual
    // 96 dpi their labels would not fit. A user's own setting wins.
    if (qEnvironmentVariableIsEmpty("QT_FONT_DPI"))
        qputenv("QT_FONT_DPI", "72");
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("Arial"), 13));

    const QString folder = QDir::homePath() + QStringLiteral("/Documents/KestrimaIII/");
    QDir().mkpath(folder);
    // The program's files have fixed names in one folder: a second program on the same
    // folder would rename the first's live backup and write into its "temp.csv". The lock
    // is taken before any file there is read or written; a program that was killed leaves
    // a lock whose owner is gone, which the next start takes over.
    const QString lockPath = folder + QStringLiteral(".KestrimaIII.lock");
    QLockFile lock(lockPath);
    lock.setStaleLockTime(0);   // never stale by age: a run may last for days
    QTimer retakeLock;
    if (!lock.tryLock(0)) {
        // The lock is refused also when a stale one cannot be replaced: the folder cannot
        // be written to (a full disk, a read-only folder).
        const bool writable = FolderWritable(folder);
        QString host;
        if (lock.error() == QLockFile::LockFailedError) {
            const bool live = HeldByLiveProgram(lock, lockPath, &host);
            if (live || writable) {
                ReportRunning(folder, lockPath, host);
                return 1;
            }
        }
        // No other program holds the folder: the chart can still be looked at, though
        // nothing can be saved there now. The lock is taken once the folder takes files
        // again. A missing folder is told by the main window.
        if (!writable && QFileInfo(folder).isDir())
            Tell(QMessageBox::Warning,
                 QObject::tr("Kestrima III cannot write to the folder %1 (the disk may be full or the "
                             "folder read-only).\nIt opens so that the chart can be looked at, but "
                             "settings and logged samples cannot be saved until the folder can be "
                             "written to. Until then the folder is not reserved: start no other "
                             "Kestrima III on it.")
                     .arg(QDir::toNativeSeparators(folder)));
        QObject::connect(&retakeLock, &QTimer::timeout, &retakeLock, [&lock, &retakeLock] {
            if (lock.tryLock(0))
                retakeLock.stop();
        });
        retakeLock.start(5000);
    }

    QCoreApplication::addLibraryPath(QDir::currentPath() + QStringLiteral("/plugins"));
    InitResources();
    w = new MainWindow();
    w->show();
    const int result = app.exec();
    delete w;
    w = nullptr;
    return result;
}
