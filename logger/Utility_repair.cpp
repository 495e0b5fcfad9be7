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

// A sample row of ours, read as every reader of run files reads one (`row.numbered` tells
// whether its sample number was read, whatever the rest).
bool ReadRow(const char *b, const char *e, RunRows::Row &row)
{
    RunRows::Field f[4];
    return RunRows::readRow(f, RunRows::splitFields(b, e, f, 4), row);
}

// Where the last line feed of `file` before byte `to` lies (-1: none), searched backwards a
// chunk at a time, however far back it is. False when the file cannot be read.
bool LastLineFeed(QFile &file, qint64 to, qint64 &at)
{
    constexpr qint64 Chunk = 64 * 1024;
    at = -1;
    while (to > 0) {
        const qint64 from = std::max<qint64>(0, to - Chunk);
        if (!file.seek(from))
            return false;
        const QByteArray bytes = file.read(to - from);
        if (bytes.size() != to - from)
            return false;
        const int i = bytes.lastIndexOf('\n');
        if (i >= 0) {
            at = from + i;
            return true;
        }
        to = from;
    }
    return true;
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

bool Utility::ForEachLine(QIODevice *file,
                          const std::function<bool(const char *, const char *, bool)> &take, bool *unended)
{
    // A line in progress is held only up to what a line of ours may hold: a file of any
    // length without a line feed (zeros a power loss left) is read in bounded memory, and
    // each byte is looked at once.
    constexpr qint64 Chunk = 1 << 20;
    constexpr qint64 MaxLine = RunRows::MaxLine;
    std::vector<char> buf(size_t(Chunk + MaxLine + 1));
    qint64 held = 0;         // the start of the line in progress, at buf's start
    bool overlong = false;   // that line is longer than a line of ours: only its head is held
    if (unended)
        *unended = false;
    for (;;) {
        const qint64 n = file->read(buf.data() + held, Chunk);
        if (n < 0)
            return false;
        if (n == 0) {
            // The last line, without its line feed: a row when it holds every field of one.
            const char *b = buf.data();
            const qint64 length = held - (held > 0 && b[held - 1] == '\r' ? 1 : 0);
            if (!overlong && held > 0 && length <= MaxLine && RunRows::unendedRow(b, b + held)) {
                if (unended)
                    *unended = true;
                take(b, b + held, false);
            }
            return true;
        }
        const char *line = buf.data();
        const char *from = line + held;
        const char *e = from + n;
        while (const char *nl = static_cast<const char *>(std::memchr(from, '\n', size_t(e - from)))) {
            const qint64 length = qint64(nl - line) - (nl > line && nl[-1] == '\r' ? 1 : 0);
            const bool over = overlong || length > MaxLine;
            if (!take(line, over ? std::min(nl, line + MaxLine) : nl, over))
                return true;
            line = from = nl + 1;
            overlong = false;
        }
        if (overlong)
            continue;   // its head stays; what was read of the rest is dropped
        const qint64 rest = e - line;
        overlong = rest > MaxLine + 1;   // too long even with a CR before its line feed
        held = overlong ? MaxLine : rest;
        std::memmove(buf.data(), line, size_t(held));
    }
}

namespace {

// Reach of a look at a run file's end: its longest row and a block.
constexpr qint64 RowAndBlock = RunRows::MaxLine + 4096;

// The lines that end before byte `end` (without their line feeds), from at most `reach`
// bytes back; `cut` tells whether the first of them may be the end of a longer line.
QList<QByteArray> LinesBefore(QFile &file, qint64 end, qint64 reach, bool &cut)
{
    const qint64 from = std::max<qint64>(0, end - reach);
    cut = from > 0;
    if (!file.seek(from))
        return {};
    QList<QByteArray> lines = file.read(end - from).split('\n');
    lines.removeLast();   // after the last line feed
    return lines;
}

// Where the file's last run begins when the whole lines up to `end` after its start line
// are only lines of its start block (a run killed before its first row); -1 otherwise.
qint64 StartOfRunWithoutRows(QFile &file, qint64 end)
{
    bool cut = false;
    const QList<QByteArray> lines = LinesBefore(file, end, 4096, cut);   // far more than a start block
    qint64 pos = end;
    for (int i = lines.size() - 1; i >= 0 && (i > 0 || !cut); --i) {
        const QByteArray &line = lines[i];
        pos -= line.size() + 1;
        if (line.startsWith("Start Date:,"))
            return pos;
        if (!line.isEmpty() && !line.startsWith("Start Time:,") && !line.startsWith("Sample Interval:,")
            && !line.startsWith("Sample Number,"))
            return -1;
    }
    return -1;
}

// Where a stop block left incomplete (by a kill or a failed write) begins, when the whole
// lines up to `end` end in one: the position of its first line, the empty one after its
// run's last row or column titles. -1 otherwise. A block is complete with its
// "Missed Samples:" line.
qint64 StartOfCutStopBlock(QFile &file, qint64 end)
{
    static const char *const keys[] = {"", "Stop Date:,", "Stop Time:,", "Total Samples:,", "Maximum (mV):,",
                                       "Minimum (mV):,"};
    constexpr int Keys = int(sizeof keys / sizeof *keys);
    bool cut = false;
    const QList<QByteArray> lines = LinesBefore(file, end, RowAndBlock, cut);
    for (int k = std::min(Keys, lines.size() - 1); k >= 1; --k) {
        const int first = lines.size() - k;
        bool block = true;
        for (int j = 0; j < k && block; ++j)
            block = j == 0 ? lines[first + j].isEmpty() : lines[first + j].startsWith(keys[j]);
        // The line before it must be whole and end the rows.
        const QByteArray &last = lines[first - 1];
        if (!block || (first - 1 == 0 && cut))
            continue;
        RunRows::Field f[4];
        const int n = RunRows::splitFields(last.constData(), last.constData() + last.size(), f, 4);
        RunRows::Row row;
        RunRows::readRow(f, n, row);
        if (!row.numbered && RunRows::lineKind(f, n) != RunRows::LineKind::ColumnTitles)
            continue;
        qint64 at = end;
        for (int j = first; j < lines.size(); ++j)
            at -= lines[j].size() + 1;
        return at;
    }
    return -1;
}

// The start block that heads a temporary file when the run file could not take it, up to
// and with its column titles; empty when the file begins otherwise.
QByteArray StartBlockAtHead(QFile &temp)
{
    if (!temp.seek(0))
        return QByteArray();
    const QByteArray head = temp.read(4096);   // far more than a start block
    const int titles = head.startsWith("Start Date:,") ? head.indexOf("\nSample Number,") : -1;
    const int end = titles < 0 ? -1 : head.indexOf('\n', titles + 1);
    return end < 0 ? QByteArray() : head.left(end + 1);
}

// The number of the first row of `file` from byte `from` on; false when it holds none.
bool FirstRowNumber(QFile &file, qint64 from, qint64 &number)
{
    bool found = false;
    if (file.seek(from)) {
        Utility::ForEachLine(&file, [&](const char *b, const char *e, bool) {
            RunRows::Row row;
            ReadRow(b, e, row);
            found = row.numbered;
            number = row.number;
            return !found;
        });
    }
    return found;
}

// The number of the last row of the closed run that ends at byte `end`; false when that run
// has no row (or it cannot be read).
bool LastRowOfClosedRun(QFile &file, qint64 end, qint64 &number)
{
    bool cut = false;
    const QList<QByteArray> lines = LinesBefore(file, end, RowAndBlock, cut);
    for (int i = lines.size() - 1; i >= 2; --i) {
        if (!lines[i].startsWith("Stop Date:,"))
            continue;
        if (i == 2 && cut)
            return false;   // a row longer than what was read: its number is not in it
        RunRows::Row row;
        ReadRow(lines[i - 2].constData(), lines[i - 2].constData() + lines[i - 2].size(), row);
        number = row.number;
        return row.numbered;
    }
    return false;
}

}   // namespace

int Utility::KeepRowsOfCutRun(const QString &path, const QString &tempPath, CutRun *found,
                              const LoggerData *stop)
{
    CutRun ignored;
    CutRun &result = found ? *found : ignored;
    result = CutRun();
    // "temp.csv" holds every line of the run from its first row on, and before them the
    // run's start block when the run file could not take it.
    QFile temp(tempPath);
    if (temp.exists() && !temp.open(QIODevice::ReadOnly))
        return 1;
    const QByteArray tempStart = temp.isOpen() ? StartBlockAtHead(temp) : QByteArray();
    if (tempStart.isEmpty() && !QFileInfo(path).isFile())
        return 0;
    // Unbuffered: a write that fails is taken back (the file cut to its whole lines).
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return 1;

    // The run file's last whole line tells whether its last run is still open: it is a line
    // among that run's rows (its sample number read, however long the line), or the run's
    // column titles (no row yet), or a line of a stop block that was not written whole (the
    // block is then written anew). A line cut by the kill is dropped.
    qint64 lineFeed = 0;
    qint64 before = -1;
    if (!LastLineFeed(file, file.size(), lineFeed))
        return 1;
    const qint64 cutBlock = lineFeed < 0 ? -1 : StartOfCutStopBlock(file, lineFeed + 1);
    if (cutBlock > 0)
        lineFeed = cutBlock - 1;
    if (lineFeed >= 0 && !LastLineFeed(file, lineFeed, before))
        return 1;
    if (lineFeed < 0 && tempStart.isEmpty())
        return 0;
    qint64 keep = lineFeed + 1;
    RunRows::Row lastRow;
    bool titled = false;
    if (lineFeed >= 0) {
        if (!file.seek(before + 1))
            return 1;
        const QByteArray last = file.read(std::min(lineFeed - before - 1, RunRows::MaxLine));
        RunRows::Field f[4];
        const int n = RunRows::splitFields(last.constData(), last.constData() + last.size(), f, 4);
        RunRows::readRow(f, n, lastRow);
        titled = !lastRow.numbered && RunRows::lineKind(f, n) == RunRows::LineKind::ColumnTitles;
    }
    const bool hasRows = lastRow.numbered;
    const qint64 lastNo = lastRow.number;
    // A run killed before its first row: its start block goes, unless rows follow it (only
    // a whole start block, ending in the column titles, takes them).
    qint64 rowless = hasRows || lineFeed < 0 ? -1 : StartOfRunWithoutRows(file, keep);
    // A start block cut before its column titles (a kill inside the adding of the run that
    // heads "temp.csv") is that run's: it is written anew, whole, with the run.
    if (rowless >= 0 && !titled && !tempStart.isEmpty()) {
        keep = rowless;
        lineFeed = keep - 1;
        rowless = -1;
    }
    // The last run is closed (or there is none): the run of "temp.csv" is missing whole when
    // its start block heads that file, unless its rows were added already (the program
    // ended before it emptied that file).
    bool whole = false;
    if (!hasRows && rowless < 0) {
        qint64 first = 0;
        qint64 lastInFile = 0;
        if (tempStart.isEmpty() || !FirstRowNumber(temp, tempStart.size(), first)
            || (lineFeed >= 0 && LastRowOfClosedRun(file, keep, lastInFile) && first <= lastInFile))
            return 0;
        whole = true;
    }

    // Those lines past the last one of the run file are its missing rows. A temporary file
    // without that line holds another run. A line too long for a row is not one, as the
    // readers take it: its number places it.
    if (temp.isOpen() && !temp.seek(0))
        return 1;
    constexpr qint64 StopBlockRoom = 512;
    bool matched = titled || whole;
    bool mismatch = false;
    bool anyRow = false;
    bool appending = false;
    bool writeFailed = false;
    qint64 matchedBytes = 0;   // of the temporary file, up to its first missing row
    RowTotals totals;
    QByteArray out = whole ? tempStart : QByteArray();
    const auto append = [&] {
        if (!appending && (!file.resize(keep) || !file.seek(keep)))
            return false;
        appending = true;
        const bool written = AppendWhole(&file, keep, out.constData(), out.size());
        out.clear();
        return written;
    };
    const bool read = !temp.isOpen() || ForEachLine(&temp, [&](const char *b, const char *e, bool overlong) {
        RunRows::Row row;
        const bool isRow = ReadRow(b, e, row) && !overlong;
        if (!matched)
            matchedBytes += (overlong ? RunRows::MaxLine : e - b) + 1;   // never more than it was
        if (!row.numbered)
            return true;
        anyRow = true;
        if (isRow)
            totals.Add(row);
        if (hasRows && row.number <= lastNo) {
            matched |= row.number == lastNo;
            return true;
        }
        if (!matched) {
            mismatch = true;
            return false;
        }
        if (!overlong)
            out.append(b, int(e - b)).append('\n');
        writeFailed = out.size() >= (1 << 20) && !append();
        return !writeFailed;
    });
    if (!read)
        return 1;
    if (rowless >= 0 && !anyRow)
        return file.resize(rowless) && SyncToDisk(path) ? 0 : 1;
    if (mismatch || !matched)
        return 0;   // nothing was written
    // What a failure leaves is the file's whole lines as they were.
    const auto fail = [&] {
        file.resize(keep);
        result.bytesToAdd = std::max<qint64>(0, temp.size() - matchedBytes) + StopBlockRoom;
        return 1;
    };
    if (writeFailed)
        return fail();
    LoggerData &run = result.totals;
    totals.Fill(run);
    if (stop && !stop->stopDate.isEmpty()) {
        run.stopDate = stop->stopDate;
        run.stopTime = stop->stopTime;
    } else {
        const QDateTime lastWritten = QFileInfo(tempPath).lastModified();
        run.stopDate = GetDate(lastWritten.date());
        run.stopTime = GetTime(lastWritten.time());
    }
    if (!append() || SaveStopInfo(&file, &run) != 0 || !SyncToDisk(path))
        return fail();
    result.closed = true;
    return 0;
}

int Utility::CutBrokenTail(const QString &path)
{
    QFile file(path);
    if (!file.exists())
        return 0;
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return 1;
    const qint64 size = file.size();
    if (size == 0)
        return 0;

    // The end of the last whole line.
    qint64 lineFeed = -1;
    if (!LastLineFeed(file, size, lineFeed))
        return 1;
    qint64 end = lineFeed + 1;
    // A last line that every reader shows as a row gets its line end, not to lose that row;
    // any other is cut.
    if (end < size && size - end <= RunRows::MaxLine + 1) {
        if (!file.seek(end))
            return 1;
        const QByteArray last = file.read(size - end);
        if (last.size() != size - end)
            return 1;
        RunRows::Row row;
        if (last.size() - (last.endsWith('\r') ? 1 : 0) <= RunRows::MaxLine
            && RunRows::unendedRow(last.constData(), last.constData() + last.size(), &row)) {
            if (!file.seek(size) || file.write("\n", 1) != 1)
                return 1;
            end = size + 1;
        }
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
