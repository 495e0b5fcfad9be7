// Keeping the run files whole across failures: the tail a failed write left behind, and
// the copy of a backup file about to be emptied.
#include "Utility.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

int Utility::CutBrokenTail(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return 0;
    if (!file.open(QIODevice::ReadWrite))
        return 1;
    const qint64 size = file.size();
    if (size == 0)
        return 0;

    // The end of the last whole line: searched backwards, a chunk at a time.
    constexpr qint64 Chunk = 64 * 1024;
    qint64 end = 0;
    for (qint64 to = size; to > 0 && end == 0;) {
        const qint64 from = std::max<qint64>(0, to - Chunk);
        if (!file.seek(from))
            return 1;
        const QByteArray bytes = file.read(to - from);
        if (bytes.size() != to - from)
            return 1;
        const int nl = bytes.lastIndexOf('\n');
        if (nl >= 0)
            end = from + nl + 1;
        to = from;
    }
    if (end < size && !file.resize(end))
        return 1;
    if (end == 0)
        return 0;

    // A run that ended early (inside its rows or its stop block) is closed by an empty
    // line, as a complete run is.
    if (end >= 2) {
        if (!file.seek(end - 2))
            return 1;
        if (file.read(2) == "\n\n")
            return 0;
    }
    if (!file.seek(end) || file.write("\n", 1) != 1 || !file.flush())
        return 1;
    return 0;
}

int Utility::KeepBeforeEmptying(const QString &path, const QString &keepAs)
{
    {
        // Only a file can hold runs (what cannot be opened as one is reported by the open).
        if (!QFileInfo(path).isFile())
            return 0;
        QFile file(path);
        if (file.size() == 0)
            return 0;
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        // Every run begins with its start block; one is enough to make the file worth keeping.
        if (!file.read(64 * 1024).contains("Start Date:"))
            return 0;
    }
    // A rename within the folder: no copy of what may be a large file, and the file that
    // is about to be emptied is simply made anew.
    if (std::rename(QFile::encodeName(path).constData(), QFile::encodeName(keepAs).constData()) == 0)
        return 0;
    QFile::remove(keepAs);
    return QFile::copy(path, keepAs) ? 0 : 1;
}

bool Utility::SyncToDisk(const QString &path)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int result;
    do {
#ifdef Q_OS_MACOS
        result = ::fsync(fd);
#else
        result = ::fdatasync(fd);
#endif
    } while (result != 0 && errno == EINTR);
    ::close(fd);
    return result == 0;
#else
    QFile file(path);
    return file.open(QIODevice::ReadWrite | QIODevice::Append) && file.flush();
#endif
}
