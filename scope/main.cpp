#include "MainWindow.h"
#include "Resources.h"

#include <QApplication>
#include <QDir>
#include <QFont>
#include <QLockFile>
#include <QMessageBox>

#include <cstdio>

namespace {

// The program's files have fixed names in one folder: a second program on the same folder
// would rename the first's live backup and write into its "temp.csv". The lock is taken
// before any file there is read or written; a program that was killed leaves a lock whose
// owner is gone, which the next start takes over.
bool TakeFolder(QLockFile &lock)
{
    lock.setStaleLockTime(0);   // never stale by age: a run may last for days
    if (lock.tryLock(0))
        return true;
    // A folder where no lock can be made (read-only, missing) is no sign of another
    // program: the warnings about the folder follow at start.
    return lock.error() != QLockFile::LockFailedError;
}

void ReportRunning(const QString &folder)
{
    const QString title = QObject::tr("Kestrima III");
    const QString text = QObject::tr("Kestrima III is already running.\n"
                                     "Only one Kestrima III can use the folder %1 at a time.")
                             .arg(QDir::toNativeSeparators(folder));
    std::fprintf(stderr, "%s\n", qPrintable(text));
    // Without a screen (offscreen or minimal platform: scripts, remote sessions) nobody
    // could close the box, and the program would never end.
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return;
    QMessageBox::information(nullptr, title, text);
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
    QLockFile lock(folder + QStringLiteral(".KestrimaIII.lock"));
    if (!TakeFolder(lock)) {
        ReportRunning(folder);
        return 1;
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
