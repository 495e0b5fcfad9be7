// Where the runs and their rows lie in a run CSV that only grows at its end (the backup
// file), so that a range of sample numbers can be read without reading the file from
// its first byte. The index is extended lazily by what was appended since the last use.
#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QtGlobal>
#include <string>
#include <vector>

#include "RunRows.h"

class QFile;
struct LoggerData;

class RowIndex {
public:
    static constexpr int CheckpointRows = 1024;
    // A line longer than this is no row of ours: it is passed over whole.
    static constexpr qint64 MaxLine = RunRows::MaxLine;

    struct Checkpoint {
        qint64 sampleNo;       // sample number of the row
        qint64 pos;            // byte position of the row's first character
        RunRows::Judge rules;  // as they stood before the row
    };
    // The rows of a run that the readers keep.
    struct Run {
        qint64 firstRowPos = -1;            // -1 until the run's first row was seen
        std::vector<Checkpoint> checkpoints;   // every CheckpointRows rows, from the first
        qint64 rows = 0;
        qint64 lastSampleNo = 0;
        qint64 lastRowPos = -1;
    };

    RowIndex() = default;
    // For a file that may begin with rows ("temp.csv"): those form a run of their own.
    explicit RowIndex(bool rowsAtStart) : rowsAtStart(rowsAtStart) { Reset(); }

    // Forgets everything (the file was emptied or replaced).
    void Reset();
    // Reads what the file gained since the last call; false when it cannot be read.
    // A file that no longer holds what was indexed (emptied, or written anew) is
    // indexed again from its start.
    bool Update(const QString &path);
    // The caller has just appended `bytes` (whole lines) at byte `pos` of the file: when
    // the index ends exactly there, it is extended from them without reading the file.
    // False when it does not (the caller then calls Update).
    bool Appended(qint64 pos, const QByteArray &bytes);
    const std::vector<Run> &Runs() const { return runs; }

    // Where reading must start to get the rows numbered from `first` on: the run index and
    // the byte position of the first such row (or of the next run's first row when
    // `first` lies between runs), with the readers' rules as they stand before it. False
    // when no row numbered `first` or later exists.
    bool Locate(const QString &path, qint64 first, int &runIndex, qint64 &pos, RunRows::Judge &rules) const;

private:
    // False only for a line without its line end that is not taken (see RunRows::unendedRow).
    bool IndexLine(const char *begin, const char *end, qint64 pos, bool ended);
    void AddRow(qint64 sampleNo, qint64 pos, const RunRows::Judge &before);
    bool StillTheSameFile(QFile &file);
    void RememberMarks(QFile &file);

    bool rowsAtStart = false;
    std::vector<Run> runs;
    qint64 scanned = 0;       // bytes of the file already indexed (whole lines, and an unended last row)
    bool inRun = false;       // from a run's start block to the end of its stop block
    bool inRows = false;      // between a run's column-title line and its stop block
    RunRows::Judge rules;     // of the run being indexed
    std::string unquoted;
    // The first bytes of the file and the last indexed ones, to notice a file written
    // anew behind our back even when it is longer than before.
    QByteArray headMark;
    QByteArray tailMark;
};

// The newest rows of a run file that only grows at its end ("temp.csv"), kept as they were
// written, so that the drawing tick pages them without reading the file back. At most
// `bound` bytes are kept: rows that fell out of them (the drawing far behind) are read
// from the file until the reading reaches the kept ones again.
class RowWindow {
public:
    static constexpr int DefaultBound = 8 << 20;

    explicit RowWindow(int bound = DefaultBound) : bound(bound) {}
    // An emptied file (a new run), read from byte `from` on.
    void Reset(qint64 from = 0);
    // Whether the bytes of the next write are wanted (for Append).
    bool Keeping() const { return keeping; }
    // `bytes` (whole lines) were just appended at the file's end.
    void Append(const QByteArray &bytes);
    // A write failed: what reached the file is not known, so its rows are read from the
    // file from now on.
    void Abandon();
    // Pages up to `count` rows from byte `readPos` of the file into the newest run of
    // `list`, as Utility::ReadSamplesFromFile does; from memory where the rows are kept.
    int Read(QFile *file, qint64 &readPos, int count, QVector<LoggerData *> *list);
    qint64 KeptBytes() const { return qint64(kept.size() - head); }

private:
    void Drop(qint64 upTo);

    std::vector<char> kept;   // the file's bytes from `first` on, past `head`
    size_t head = 0;
    qint64 first = 0;
    int bound;
    bool keeping = true;
    RunRows::Judge rules;   // of the run, across the pages
};
