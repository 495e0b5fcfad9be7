// Static helpers of the data logger: run and memo CSV files, paging rows back
// from an open run file, dates and times as text, sample-interval units.
#pragma once

#include "LoggerData.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>
#include <QtGlobal>
#include <functional>
#include <vector>

class QFile;
class QIODevice;
namespace RunRows {
class Judge;
struct Row;
}
class QwtPlotMarker;

// Results of type int: 0 success, non-zero failure.
//
// Writers that take a QFile* append to a file the caller keeps open (for
// instance "temp.csv" and the backup file during a run): each call costs one
// write, so a killed process loses nothing already handed over, and a write that
// does not reach the file whole (full disk) is taken back and reported as 1.
class Utility {
public:
    // Opens read-write and unbuffered, appending or truncating. The caller owns the file.
    static QFile *OpenFile(const QString &path, bool append);
    static void CloseFile(QFile *file);
    // Every write to a run file goes through these: where the next write begins, and the
    // write itself, which on failure cuts the file back to `start` (the handle must be
    // unbuffered for that) and returns false.
    static qint64 AppendStart(QFile *file);
    static bool AppendWhole(QFile *file, qint64 start, const char *data, qint64 size);

    // The five lines before a run's rows; the unit comes from the argument.
    static int SaveStartInfo(QFile *file, const LoggerData *run, SampIntervalUnit unit);
    // Up to count sample rows from index 0; never reads past what the vectors hold. With
    // `written`, the buffer also gets the bytes written.
    static int SaveLoggerData(QFile *file, const DataValues *chA, const DataValues *chB,
                              const std::vector<QString> &memo, int count,
                              QByteArray *written = nullptr);
    // The eight lines after a run's rows.
    static int SaveStopInfo(QFile *file, const LoggerData *run);
    // Cuts a line left unfinished at the end of a run file (a write that failed on a full
    // disk, a process killed mid-line) and ends the file on an empty line, so that what
    // is appended next starts a record of its own and every complete run before it still
    // reads back. A last line that the readers take as a row (RunRows::unendedRow) is not
    // cut: it gets its line end. 0 also for a missing or empty file; 1 when it cannot be done.
    static int CutBrokenTail(const QString &path);
    // Before the run file at `path` is emptied: when it holds runs, its content becomes
    // the file `keepAs` (one copy, replacing the one before). 0 when there was nothing to
    // keep or it was kept; 1 when it could not be kept (the caller must not empty it).
    static int KeepBeforeEmptying(const QString &path, const QString &keepAs);
    // The totals of a run's stop block, counted from its sample rows (number, A, B, memo):
    // per channel the rows that hold a value, the missed samples, the least and the largest.
    class RowTotals {
    public:
        void Add(const char *begin, const char *end);   // one row, without its line end
        void Add(const RunRows::Row &row);              // one row already read
        void Fill(LoggerData &run) const;
    private:
        int32_t rows[2] = {0, 0};
        MeasuredExtremes measured[2];
    };
    // What KeepRowsOfCutRun found: on failure, about how many bytes it has to add; when it
    // closed a run, that run's totals and stop date and time.
    struct CutRun {
        qint64 bytesToAdd = 0;
        bool closed = false;
        LoggerData totals;
    };
    // After a run ended without its stop block (the program killed, a write failed): the
    // rows of the temporary file at `tempPath` (every row of that run) that the unfinished
    // last run of the run file at `path` lacks are appended to it, and a stop block counted
    // from them, dated as `stop` is, else when the temporary file was last written. A run
    // whose stop block is incomplete is unfinished: the block is written anew. When the
    // temporary file begins with its run's start block (the run file could not take it) and
    // the run file's last run is closed, the run is appended whole, unless its rows are
    // there already. A run ended before its first row (its start block only, no row in the
    // temporary file) is taken out. 0 when done or when there is nothing to do (the last run
    // is closed, or the temporary file holds another run); 1 when the file could not be
    // written (its whole lines are then as they were).
    static int KeepRowsOfCutRun(const QString &path, const QString &tempPath, CutRun *found = nullptr,
                                const LoggerData *stop = nullptr);
    // Calls `take` with each line of `file` from its position on that a line feed ends (not
    // with the line feed); a line longer than a line of ours (RunRows::MaxLine) comes cut to
    // that length with `overlong` set. A last line without its line feed comes too when it
    // holds every field of a row (RunRows::unendedRow); `unended` then tells so. Bounded
    // memory, whatever the file holds. `take` returns false to stop. False when the file
    // cannot be read.
    static bool ForEachLine(QIODevice *file,
                            const std::function<bool(const char *, const char *, bool overlong)> &take,
                            bool *unended = nullptr);
    // Puts what was written to the file at `path` on the disk (fdatasync), so that a file
    // renamed into place afterwards is not found empty after a power loss. False when that
    // cannot be done.
    static bool SyncToDisk(const QString &path);
    static int SaveToCSVFormat(const QString &path, const QVector<LoggerData *> *runs, bool append);
    static int SaveMemoToCSVFormat(const QString &path, const QVector<QwtPlotMarker *> *markers);
    static int SaveToTextFormat(const QString &path, const QVector<LoggerData *> *runs);
    static int SendEmail(const QString &address);

    // What a run CSV held besides the runs read from it.
    struct ChartReadReport {
        // Rows of a run that were left out: a sample number or a value that is not a number,
        // columns unlike the run's other rows, or a sample number not past the previous row's.
        qint64 rowsLeftOut = 0;
        qint64 largestSampleNo = 0;   // of every row with a sample number, left out or not
    };
    // Reads a run CSV into new runs (with new DataValues) appended to list. Nothing is
    // appended when the file cannot be read to its end (1) or memory runs out (2).
    static int LoadValues(const QString &path, QVector<LoggerData *> *list, ChartReadReport *report = nullptr);
    // Reads a memo CSV into new markers appended to list; 2 when it cannot be opened.
    static int LoadMemoValues(const QString &path, QVector<QwtPlotMarker *> *list);

    // Pages rows of an open run CSV from readPos into the list: the newest run
    // (byRun false, count = most lines to read) or from run runIndex on
    // (byRun true, count = last sample number wanted). readPos comes back
    // after the last line used; the file's own position is left as it was.
    // Returns the number of rows appended.
    // With `judge`, the rules go on from where it left them (the row index gives where a
    // range begins; the live reader keeps one for the run), else they start afresh.
    static int ReadSamplesFromFile(QFile *file, qint64 &readPos, int skipLines, int count,
                                   QVector<LoggerData *> *list, bool byRun, int runIndex,
                                   RunRows::Judge *judge = nullptr);
    // The same for the newest run, from rows held in memory as a file would hold them
    // (readPos counts from the first byte of `bytes`).
    static int ReadSamplesFromBytes(const QByteArray &bytes, qint64 &readPos, int count,
                                    QVector<LoggerData *> *list, RunRows::Judge *judge = nullptr);

    static QString GetFilename(const QString &path);
    static QString GetDate(const QDate &date = QDate::currentDate());
    static QString GetTime(const QTime &time = QTime::currentTime());
    static QString GetTimeWithMs();

    // "s", "ms" or "us": the unit as the files and labels write it.
    static const char *IntervalUnitText(SampIntervalUnit unit);
    static double ConvertToSec(double value, SampIntervalUnit unit);
    static double ConvertToMilliSec(double value, SampIntervalUnit unit);
    static double ConvertToMicroSec(double value, SampIntervalUnit unit);
    // A time in seconds as a read-out shows it: to milliseconds, or to the finer decimals
    // of the sample interval, trailing zeros dropped. Sums of binary fractions come out as
    // 10.1, not 10.1000000000001.
    static QString SecondsText(double seconds, double intervalSec);
    // Range index 0-7 to millivolts per division; 0.0 for any other index.
    static double ConvertIndexToVolt(int index);
};
