// Helpers of the run-control tests: the logger window as the program makes it, the
// message boxes it shows, and a reader of the logger's CSV files of our own (kept apart
// from the system's readers so that the tests do not check the code against itself).
#pragma once

#include "test_home.h"
#include "KrDriver.h"
#include "LoggerMainWindow.h"
#include "MainWindow.h"
#include "PollThread.h"
#include "ScopeGlobals.h"
#include "ZrSim.h"
#include "ui_LoggerMainWindow.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTimer>
#include <cmath>
#include <functional>
#include <mutex>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <vector>

namespace RunTest {

inline QString Folder()
{
    return QDir::homePath() + QStringLiteral("/Documents/KestrimaIII/");
}
inline QString TempPath() { return Folder() + QStringLiteral("temp.csv"); }
inline QString BackupPath() { return Folder() + QStringLiteral("tamberlo_backup.csv"); }
// What the logger says while rows of a run wait in "temp.csv" for the backup.
inline QString RowsWaitMessage()
{
    return QStringLiteral("Samples of the last run could not yet be added to the backup file named below: it "
                          "could not be written (the disk may be full, or the file read-only). They are kept in "
                          "temp.csv and added as soon as the file can be written; until then no new run can "
                          "start.\n")
           + QDir::toNativeSeparators(BackupPath());
}

// Empties the application folder, links and folders left by a test included.
inline void FreshFolder()
{
    if (!TestHome::IsIsolated())
        qFatal("not in a temporary home folder");
    QDir(Folder()).removeRecursively();
    QDir().mkpath(Folder());
}

inline QByteArray FileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void WriteFile(const QString &path, const QByteArray &bytes, bool append = false)
{
    QFile f(path);
    QVERIFY(f.open(append ? QIODevice::Append : (QIODevice::WriteOnly | QIODevice::Truncate)));
    QCOMPARE(f.write(bytes), qint64(bytes.size()));
}

// A run record as the run control keeps it: its counts, no rows in memory.
inline LoggerData *NewRun(int first, int totalA, int totalB)
{
    auto *run = new LoggerData;
    run->chA.values = new DataValues;
    run->chB.values = new DataValues;
    run->firstSampleNo = first;
    run->chA.totalSamples = totalA;
    run->chB.totalSamples = totalB;
    return run;
}

// Answers every modal message box and remembers what it showed.
class MessageRecorder {
public:
    struct Box {
        QMessageBox::Icon icon;
        QString title;
        QString text;
    };

    MessageRecorder()
    {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            boxes.append({box->icon(), box->windowTitle(), box->text()});
            if (onBox)
                onBox();
            box->accept();
        });
        timer.start();
    }

    bool SawError(const QString &text) const
    {
        for (const Box &b : boxes)
            if (b.icon == QMessageBox::Critical && b.title == QLatin1String("Error") && b.text == text)
                return true;
        return false;
    }
    QStringList Texts() const
    {
        QStringList t;
        for (const Box &b : boxes)
            t << b.text;
        return t;
    }

    QList<Box> boxes;
    std::function<void()> onBox;   // called while a box is shown

private:
    QTimer timer;
};

// One sample row as written to the run files: number, A and B columns as text, memo.
struct Row {
    qint64 sampleNo = 0;
    QString a, b, memo;
};

// One run of a run CSV.
struct Run {
    QString startDate, startTime, interval;
    std::vector<Row> rows;
    bool stopped = false;
    QString stopDate, stopTime;
    qint64 totalA = -1, totalB = -1, missedA = -1, missedB = -1;
    QString maxA, maxB, minA, minB;
};

struct RunFile {
    std::vector<Run> runs;
    int badLines = 0;          // lines that fit nowhere in the layout
    bool endsWithLineFeed = true;
};

// A sample row: exactly four fields, the first a whole number.
inline bool ParseRow(const QString &line, Row &row)
{
    const QStringList f = line.split(QLatin1Char(','));
    if (f.size() != 4)
        return false;
    bool ok = false;
    row.sampleNo = f[0].toLongLong(&ok);
    if (!ok)
        return false;
    row.a = f[1];
    row.b = f[2];
    row.memo = f[3];
    return true;
}

// Reads a run CSV (the backup file) strictly by its layout: five lines before the rows,
// an empty line and seven more after them.
inline RunFile ReadRunFile(const QString &path)
{
    RunFile out;
    const QByteArray bytes = FileBytes(path);
    out.endsWithLineFeed = bytes.isEmpty() || bytes.endsWith('\n');
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    enum { Outside, Head, Rows, Tail } state = Outside;
    Run *run = nullptr;
    int headLine = 0;
    for (const QByteArray &raw : lines) {
        const QString line = QString::fromUtf8(raw);
        const QStringList f = line.split(QLatin1Char(','));
        switch (state) {
        case Outside:
        case Tail:
            if (f[0] == QLatin1String("Start Date:") && f.size() == 2) {
                out.runs.emplace_back();
                run = &out.runs.back();
                run->startDate = f[1];
                state = Head;
                headLine = 1;
            } else if (state == Tail && run) {
                if (f[0] == QLatin1String("Stop Date:"))
                    run->stopDate = f.value(1);
                else if (f[0] == QLatin1String("Stop Time:"))
                    run->stopTime = f.value(1);
                else if (f[0] == QLatin1String("Total Samples:") && f.size() == 3) {
                    run->totalA = f[1].toLongLong();
                    run->totalB = f[2].toLongLong();
                } else if (f[0] == QLatin1String("Maximum (mV):") && f.size() == 3) {
                    run->maxA = f[1];
                    run->maxB = f[2];
                } else if (f[0] == QLatin1String("Minimum (mV):") && f.size() == 3) {
                    run->minA = f[1];
                    run->minB = f[2];
                } else if (f[0] == QLatin1String("Missed Samples:") && f.size() == 3) {
                    run->missedA = f[1].toLongLong();
                    run->missedB = f[2].toLongLong();
                    run->stopped = true;
                    state = Outside;
                } else if (!line.isEmpty()) {
                    ++out.badLines;
                }
            } else if (!line.isEmpty()) {
                ++out.badLines;
            }
            break;
        case Head:
            ++headLine;
            if (headLine == 2 && f[0] == QLatin1String("Start Time:"))
                run->startTime = f.value(1);
            else if (headLine == 3 && f[0] == QLatin1String("Sample Interval:"))
                run->interval = f.value(1);
            else if (headLine == 4 && line.isEmpty())
                ;
            else if (headLine == 5 && line == QLatin1String("Sample Number,ChA Voltage (mV),ChB Voltage (mV),Memo"))
                state = Rows;
            else
                ++out.badLines;
            break;
        case Rows: {
            if (line.isEmpty()) {
                state = Tail;
                break;
            }
            Row row;
            if (ParseRow(line, row))
                run->rows.push_back(row);
            else
                ++out.badLines;
            break;
        }
        }
    }
    return out;
}

// "temp.csv": sample rows only. Lines that are not rows are counted in `bad`.
inline std::vector<Row> ReadRows(const QString &path, int *bad = nullptr)
{
    std::vector<Row> rows;
    int badLines = 0;
    const QByteArray bytes = FileBytes(path);
    for (const QByteArray &raw : bytes.split('\n')) {
        if (raw.isEmpty())
            continue;
        Row row;
        if (ParseRow(QString::fromUtf8(raw), row))
            rows.push_back(row);
        else
            ++badLines;
    }
    if (bad)
        *bad = badLines;
    return rows;
}

inline int CountRows(const QString &path)
{
    return int(ReadRows(path).size());
}

// The value in mV of test-mode instant k at range 5 (9.765625 mV per code): A is the
// rising ramp k mod 1024, B the falling one.
inline QString TestModeValue(int channel, qint64 k)
{
    const int code = channel == 0 ? int(k % 1024) : 1023 - int(k % 1024);
    return QString::number(qint64(std::trunc(double(code - 512) * 9.765625)));
}

// Rows fetched so far in this run. The first fetch of a run may run in the poll thread:
// its block is read only once the hand-over has published it, and under the fetch lock.
inline int FetchedRows(LoggerMainWindow *win)
{
    if (!win->pollThread || !win->displayStarted.load(std::memory_order_acquire))
        return 0;
    std::lock_guard lock(win->pollThread->FetchLock());
    const ChannelRecord &a = win->receiveBuffer->chA;
    const ChannelRecord &b = win->receiveBuffer->chB;
    const int na = a.receivedBase + int(a.values ? a.values->xValues.size() : 0);
    const int nb = b.receivedBase + int(b.values ? b.values->xValues.size() : 0);
    return std::max(na, nb);
}

// The scope window and the logger window, made as the program makes them.
inline LoggerMainWindow *OpenLogger()
{
    w = new MainWindow();
    w->LoggerModeFunc();
    return LoggerWin;
}

// A logger for one test case: an empty folder, the simulated instrument as it starts.
inline LoggerMainWindow *OpenFreshLogger()
{
    FreshFolder();
    ZrSim::reset();
    return OpenLogger();
}

inline void CloseLogger()
{
    delete w;   // deletes the logger window too
    w = nullptr;
}

// Files may grow to `bytes` and no further (a full disk, SIGXFSZ ignored); 0 lifts it.
inline void LimitFileSize(rlim_t bytes)
{
    rlimit lim{};
    getrlimit(RLIMIT_FSIZE, &lim);
    lim.rlim_cur = bytes ? bytes : lim.rlim_max;
    setrlimit(RLIMIT_FSIZE, &lim);
}

// The test folder on a file system of its own, `bytes` large, mounted in a mount namespace
// of the test's own (root only; threads started later share it): a disk that really fills
// and frees. Mounted() is false where none can be had.
class SmallDisk {
public:
    explicit SmallDisk(qint64 bytes) : path(QFile::encodeName(Folder()))
    {
        static const bool own = unshare(CLONE_NEWNS) == 0 && mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
        mounted = own && mount("tmpfs", path.constData(), "tmpfs", 0, ("size=" + QByteArray::number(bytes)).constData()) == 0;
    }
    ~SmallDisk()
    {
        if (mounted)
            umount2(path.constData(), MNT_DETACH);
    }
    bool Mounted() const { return mounted; }
    // Fills the disk up to `room` free bytes, or frees it (room < 0).
    void LeaveRoom(qint64 room)
    {
        QFile::remove(Folder() + QStringLiteral("filler"));
        struct statvfs st {};
        if (room >= 0 && statvfs(path.constData(), &st) == 0)
            WriteFile(Folder() + QStringLiteral("filler"), QByteArray(int(qint64(st.f_bavail * st.f_frsize) - room), 'f'));
    }

private:
    QByteArray path;
    bool mounted = false;
};

inline bool Invoke(QObject *target, const char *slot)
{
    return QMetaObject::invokeMethod(target, slot, Qt::DirectConnection);
}

}   // namespace RunTest
