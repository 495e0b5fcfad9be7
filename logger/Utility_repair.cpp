// Keeping the run files whole across failures: the tail a failed write left behind, and
// the copy of a backup file about to be emptied.
#include "Utility.h"

#include "RunRows.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

// A sample row of ours, read as every reader of run files reads one.
bool ReadRow(const char *b, const char *e, RunRows::Row &row)
{
    RunRows::Field f[4];
    return RunRows::readRow(f, RunRows::splitFields(b, e, f, 4), row);
}

}   // namespace

void Utility::RowTotals::Add(const char *begin, const char *end)
{
    RunRows::Row row;
    if (ReadRow(begin, end, row))
        Add(row);
}

void Utility::RowTotals::Add(const RunRows::Row &row)
{
    const bool has[2] = {row.hasA, row.hasB};
    const double value[2] = {row.a, row.b};
    for (int c = 0; c < 2; ++c) {
        if (has[c]) {
            ++rows[c];
            measured[c].Add(value[c]);
        }
    }
}

void Utility::RowTotals::Fill(LoggerData &run) const
{
    ChannelRecord *ch[2] = {&run.chA, &run.chB};
    for (int c = 0; c < 2; ++c) {
        ch[c]->totalSamples = rows[c];
        ch[c]->missedSamples = measured[c].missed;
        ch[c]->minValue = measured[c].lo;
        ch[c]->maxValue = measured[c].hi;
    }
}

bool Utility::ForEachLine(QIODevice *file, const std::function<bool(const char *, const char *)> &take)
{
    QByteArray pending;
    std::vector<char> chunk(1 << 20);
    for (;;) {
        const qint64 n = file->read(chunk.data(), qint64(chunk.size()));
        if (n <= 0)
            return n == 0;
        pending.append(chunk.data(), int(n));
        const char *b = pending.constData();
        const char *e = b + pending.size();
        const char *p = b;
        while (const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(e - p)))) {
            if (!take(p, nl))
                return true;
            p = nl + 1;
        }
        pending.remove(0, int(p - b));
    }
}

int Utility::KeepRowsOfCutRun(const QString &path, const QString &tempPath)
{
    QFile temp(tempPath);
    if (temp.size() == 0 || !QFileInfo(path).isFile())
        return 0;
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite))
        return 1;

    // The run file's last whole line tells whether its last run is still open: it is that
    // run's column titles (no row yet) or its last row. A line cut by the kill is dropped.
    const qint64 size = file.size();
    constexpr qint64 Reach = 1 << 20;   // more than any line of ours
    const qint64 from = std::max<qint64>(0, size - Reach);
    if (!file.seek(from))
        return 1;
    const QByteArray tail = file.read(size - from);
    if (tail.size() != size - from)
        return 1;
    const int end = tail.lastIndexOf('\n') + 1;
    if (end < 2)
        return 0;
    const int begin = tail.lastIndexOf('\n', end - 2) + 1;
    if (begin == 0 && from > 0)
        return 0;
    const QByteArray last = tail.mid(begin, end - 1 - begin);
    RunRows::Field f[4];
    const int n = RunRows::splitFields(last.constData(), last.constData() + last.size(), f, 4);
    RunRows::Row lastRow;
    const bool hasRows = RunRows::readRow(f, n, lastRow);
    const qint64 lastNo = lastRow.number;
    if (!hasRows && RunRows::lineKind(f, n) != RunRows::LineKind::ColumnTitles)
        return 0;   // closed, or no run of ours

    // "temp.csv" holds every row of the run from its first on: those past the last one of
    // the run file are its missing rows. A temporary file without that row holds another run.
    if (!temp.open(QIODevice::ReadOnly))
        return 1;
    const qint64 keep = from + end;
    const auto fail = [&] {
        file.resize(keep);
        return 1;
    };
    bool matched = !hasRows;
    bool mismatch = false;
    bool appending = false;
    bool writeFailed = false;
    RowTotals totals;
    QByteArray out;
    const auto append = [&] {
        if (!appending && (!file.resize(keep) || !file.seek(keep)))
            return false;
        appending = true;
        const bool written = file.write(out) == out.size();
        out.clear();
        return written;
    };
    const bool read = ForEachLine(&temp, [&](const char *b, const char *e) {
        RunRows::Row row;
        if (!ReadRow(b, e, row))
            return true;
        const qint64 number = row.number;
        totals.Add(row);
        if (hasRows && number <= lastNo) {
            matched |= number == lastNo;
            return true;
        }
        if (!matched) {
            mismatch = true;
            return false;
        }
        out.append(b, int(e + 1 - b));
        writeFailed = out.size() >= (1 << 20) && !append();
        return !writeFailed;
    });
    if (mismatch || !matched)
        return 0;   // nothing was written
    if (!read || writeFailed)
        return fail();
    LoggerData run;
    totals.Fill(run);
    const QDateTime lastWritten = QFileInfo(tempPath).lastModified();
    run.stopDate = GetDate(lastWritten.date());
    run.stopTime = GetTime(lastWritten.time());
    if (!append() || SaveStopInfo(&file, &run) != 0 || !SyncToDisk(path))
        return fail();
    return 0;
}

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
