#include "RowIndex.h"

#include "Utility.h"

#include <QFile>
#include <algorithm>
#include <cstring>

namespace {

constexpr qint64 IndexChunk = 1 << 20;    // reads while indexing
constexpr qint64 LocateChunk = 1 << 16;   // enough for a checkpoint's rows as a rule
constexpr int MarkBytes = 64;

// Calls `line(begin, end, pos, true)` for each whole line of `file` from `from` on, reading
// `chunk` bytes at a time; a line longer than RowIndex::MaxLine is passed over. A line
// ends at LF, CR or CR LF, as the paging reader reads them. Stops when `line` returns
// false. Then `line(begin, end, pos, false)` for a last line without its line end, which
// returns whether it took it. Returns the position after the last line taken or passed over.
template <typename LineFn>
qint64 ScanLines(QFile &file, qint64 from, qint64 chunk, LineFn line)
{
    if (!file.seek(from))
        return from;
    QByteArray buf;
    qint64 bufPos = from;     // file position of buf[0]
    qint64 done = from;       // after the last whole line
    bool overlong = false;    // inside a line too long to keep
    for (;;) {
        const QByteArray more = file.read(chunk);
        const bool atEnd = more.isEmpty();
        if (atEnd && !buf.endsWith('\r')) {
            if (!overlong && !buf.isEmpty() && buf.size() <= RowIndex::MaxLine
                && line(buf.constData(), buf.constData() + buf.size(), bufPos, false))
                return bufPos + buf.size();
            return done;
        }
        buf += more;
        const char *b = buf.constData();
        const char *e = b + buf.size();
        const char *p = b;
        // Files of ours hold no CR: they are looked for only where there are some.
        const bool crs = std::memchr(b, '\r', size_t(e - b)) != nullptr;
        while (p < e) {
            const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(e - p)));
            const char *end = nl;
            const char *next = nl ? nl + 1 : nullptr;
            if (crs) {
                const char *cr = static_cast<const char *>(std::memchr(p, '\r', size_t((nl ? nl : e) - p)));
                if (cr && (cr + 1 < e || atEnd)) {
                    end = cr;
                    next = cr + 1 < e && cr[1] == '\n' ? cr + 2 : cr + 1;
                } else if (cr) {
                    end = nullptr;   // a LF may follow in the next chunk
                }
            }
            if (!end)
                break;
            const char *start = p;
            // As the paging reader does, a line too long to be a row is not one.
            const bool keep = !overlong && end - start <= RowIndex::MaxLine;
            overlong = false;
            p = next;
            done = bufPos + (p - b);
            if (keep && !line(start, end, bufPos + (start - b), true))
                return done;
        }
        if (atEnd)
            return done;
        const qint64 used = p - b;
        buf.remove(0, int(used));
        bufPos += used;
        // No line end in sight: not a row. A CR at the end is kept: it may end the line.
        const int cr = buf.endsWith('\r') ? 1 : 0;
        if (buf.size() - cr > RowIndex::MaxLine) {
            overlong = true;
            bufPos += buf.size() - cr;
            buf = cr ? QByteArray(1, '\r') : QByteArray();
        }
    }
}

}   // namespace

void RowIndex::Reset()
{
    runs.clear();
    scanned = 0;
    inRun = false;
    inRows = false;
    rules = RunRows::Judge();
    headMark.clear();
    tailMark.clear();
    if (rowsAtStart) {
        runs.emplace_back();
        inRun = inRows = true;
    }
}

bool RowIndex::StillTheSameFile(QFile &file)
{
    if (scanned == 0)
        return true;
    if (file.size() < scanned)
        return false;
    if (!file.seek(0) || file.read(headMark.size()) != headMark)
        return false;
    return file.seek(scanned - tailMark.size()) && file.read(tailMark.size()) == tailMark;
}

void RowIndex::RememberMarks(QFile &file)
{
    const qint64 mark = std::min<qint64>(MarkBytes, scanned);
    // A full head mark was just checked against the file (or cleared by a reset): it is
    // read once, not again after every pass that appended rows.
    if (headMark.size() < mark)
        headMark = file.seek(0) ? file.read(mark) : QByteArray();
    tailMark = file.seek(scanned - mark) ? file.read(mark) : QByteArray();
}

bool RowIndex::Update(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (!StillTheSameFile(file))
        Reset();
    if (file.size() == scanned)
        return true;
    // A row without its line end at the file's end counts as scanned: our files grow by whole
    // lines only, and CutBrokenTail gives that row its line end before anything follows, so
    // the next scan begins with an empty line, no row, and nothing is indexed twice.
    scanned = ScanLines(file, scanned, IndexChunk, [this](const char *b, const char *e, qint64 pos, bool ended) {
        return IndexLine(b, e, pos, ended);
    });
    RememberMarks(file);
    return true;
}

bool RowIndex::Appended(qint64 pos, const QByteArray &bytes)
{
    // The marks must already be whole, so that the tail mark is all that moves on.
    if (pos != scanned || headMark.size() < MarkBytes || bytes.isEmpty() || !bytes.endsWith('\n'))
        return false;
    const char *b = bytes.constData();
    const char *e = b + bytes.size();
    for (const char *p = b; p < e;) {
        const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(e - p)));
        // As the file scan does, a line too long to be a row is not one.
        if (nl - p <= MaxLine)
            IndexLine(p, nl, pos + (p - b), true);
        p = nl + 1;
    }
    scanned += bytes.size();
    tailMark = bytes.size() >= MarkBytes ? bytes.right(MarkBytes)
                                         : (tailMark + bytes).right(MarkBytes);
    return true;
}

bool RowIndex::IndexLine(const char *b, const char *e, qint64 pos, bool ended)
{
    using namespace RunRows;
    if (pos == 0 && e - b >= 3 && std::memcmp(b, "\xEF\xBB\xBF", 3) == 0)
        b += 3;   // a byte order mark
    unquote(b, e, unquoted);
    Field f[4];
    const int n = splitFields(b, e, f, 4);
    // One cut inside its values waits for its line end, to be read whole.
    if (!ended && !unendedRow(f, n))
        return false;
    switch (lineKind(f, n)) {
    case LineKind::RunStart:
        runs.emplace_back();
        inRun = true;
        inRows = false;
        rules = Judge();
        return true;
    case LineKind::ColumnTitles:
        inRows = inRun;
        return true;
    case LineKind::RowsEnd:
        inRows = false;
        return true;
    case LineKind::RunEnd:
        inRun = inRows = false;
        return true;
    case LineKind::Other:
        break;
    }
    Row row;
    if (!inRows || !readRow(f, n, row))
        return true;
    const Judge before = rules;
    switch (rules.take(row)) {
    case Judge::KeepInPlaceOfLast: {
        // The row before was the one out of order.
        Run &run = runs.back();
        if (!run.checkpoints.empty() && run.checkpoints.back().pos == run.lastRowPos)
            run.checkpoints.pop_back();
        --run.rows;
        AddRow(row.number, pos, before);
        return true;
    }
    case Judge::Keep:
        AddRow(row.number, pos, before);
        return true;
    case Judge::LeaveOut:
        return true;
    }
    return true;
}

void RowIndex::AddRow(qint64 sampleNo, qint64 pos, const RunRows::Judge &before)
{
    Run &run = runs.back();
    if (run.rows % CheckpointRows == 0)
        run.checkpoints.push_back({sampleNo, pos, before});
    if (run.firstRowPos < 0)
        run.firstRowPos = pos;
    ++run.rows;
    run.lastSampleNo = sampleNo;
    run.lastRowPos = pos;
}

bool RowIndex::Locate(const QString &path, qint64 first, int &runIndex, qint64 &pos, RunRows::Judge &rules) const
{
    using namespace RunRows;
    for (size_t r = 0; r < runs.size(); ++r) {
        const Run &run = runs[r];
        if (run.rows == 0 || run.lastSampleNo < first)
            continue;
        runIndex = int(r);
        // The last checkpoint at or before `first`; from there a short forward read
        // finds the row itself.
        auto it = std::upper_bound(run.checkpoints.begin(), run.checkpoints.end(), first,
                                   [](qint64 v, const Checkpoint &c) { return v < c.sampleNo; });
        if (it == run.checkpoints.begin()) {
            pos = run.firstRowPos;   // `first` lies at or before the run's first row
            rules = Judge();
            return true;
        }
        const Checkpoint &from = *std::prev(it);
        pos = from.pos;
        rules = from.rules;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return true;
        // The first row from `first` on that the rules keep, and that the row after it
        // does not replace.
        Judge judge = from.rules;
        bool found = false;
        std::string scratch;
        ScanLines(file, from.pos, LocateChunk, [&](const char *b, const char *e, qint64 at, bool ended) {
            unquote(b, e, scratch);
            Field f[4];
            const int n = splitFields(b, e, f, 4);
            if (lineKind(f, n) != LineKind::Other || (!ended && !unendedRow(f, n)))
                return false;   // the run's rows end
            Row row;
            if (!readRow(f, n, row))
                return true;
            const Judge before = judge;
            const Judge::Verdict verdict = judge.take(row);
            if (verdict == Judge::LeaveOut)
                return true;
            if (found && verdict == Judge::Keep)
                return false;
            found = row.number >= first;
            if (found) {
                pos = at;
                rules = before;
            }
            return true;
        });
        return true;
    }
    return false;
}

void RowWindow::Reset(qint64 from)
{
    kept.clear();
    head = 0;
    first = from;
    keeping = true;
    rules = RunRows::Judge();
}

void RowWindow::Append(const QByteArray &bytes)
{
    if (!keeping)
        return;
    kept.insert(kept.end(), bytes.constData(), bytes.constData() + bytes.size());
    if (KeptBytes() > bound)
        Drop(first + KeptBytes() - bound);
}

void RowWindow::Abandon()
{
    kept.clear();
    head = 0;
    first = 0;
    keeping = false;
}

void RowWindow::Drop(qint64 upTo)
{
    if (upTo <= first)
        return;
    const size_t n = size_t(std::min(upTo - first, KeptBytes()));
    head += n;
    first += qint64(n);
    // Moved down once at least half of the storage is dropped: each byte is moved about
    // once, and a drawing that keeps up moves nothing.
    if (head * 2 >= kept.size()) {
        kept.erase(kept.begin(), kept.begin() + std::ptrdiff_t(head));
        head = 0;
    }
}

int RowWindow::Read(QFile *file, qint64 &readPos, int count, QVector<LoggerData *> *list)
{
    if (!keeping)
        return Utility::ReadSamplesFromFile(file, readPos, 0, count, list, false, 0, &rules);
    int rows = 0;
    if (readPos < first) {
        rows = Utility::ReadSamplesFromFile(file, readPos, 0, count, list, false, 0, &rules);
    } else if (readPos - first < KeptBytes()) {
        const qint64 offset = readPos - first;
        const QByteArray bytes = QByteArray::fromRawData(kept.data() + head + size_t(offset),
                                                         int(KeptBytes() - offset));
        qint64 used = 0;
        rows = Utility::ReadSamplesFromBytes(bytes, used, count, list, &rules);
        readPos += used;
    }
    Drop(readPos);   // paged rows are not read again
    return rows;
}
