// Paces the live chart of a logging run: its thread only waits out the ticks (TickPacer, a
// condition variable, no event loop) and queues each into the GUI thread, which pages the
// rows of "temp.csv" in, draws them, hands the drawn rows on to the backup file and keeps
// the run's statistics.
#pragma once

#include "LoggerData.h"
#include "PlotMgr.h"
#include "TickPacer.h"

#include <QElapsedTimer>
#include <QThread>
#include <QVector>
#include <atomic>

class QWidget;

// What the drawing thread asks of the logger window. LoggerMainWindow implements it and
// hands itself to DisplayThread::SetClient.
class DisplayClient {
public:
    virtual ~DisplayClient() = default;
    // Rows of the last fetched block (written by the poll thread's fetch).
    virtual int ReceivedSampleCount() const = 0;
    virtual void UpdateRawCountDisplay(double count) = 0;
    virtual void UpdateChartInfo() = 0;
    // Reads up to `count` further rows of "temp.csv" into the last record of `list`.
    virtual void ReadMoreSampleData(QVector<LoggerData *> *list, int count) = 0;
    // Appends the record's rows to the backup file.
    virtual void SaveOutputDataToFile(LoggerData *rows) = 0;
    // Drawing begins (GUI thread): the run's start information may be completed now.
    virtual void TakeStartInfo() {}
};

class DisplayThread : public QThread {
    Q_OBJECT
public:
    static constexpr int RowsPerPass = 10000;   // rows paged in from "temp.csv" per pass
    static constexpr int LiveWindow = 500;      // longest segment drawn without tracking

    explicit DisplayThread(QWidget *parent = nullptr);
    ~DisplayThread() override;

    void Initialize(PlotMgr *plotMgr, ConfigSettings *config, QVector<LoggerData *> *runList,
                    QVector<LoggerData *> *displayBuffer);
    // The window to report to (paging "temp.csv", the backup file, the side windows).
    void SetClient(DisplayClient *client) { this->client = client; }

    // The first block of the run has arrived: drawing may begin. Safe to call from the
    // poll thread; the work is then done in the GUI thread.
    void Notify();
    // Wakes the pacer to end and waits for the thread; the caller deletes it afterwards.
    bool StopThread();
    // After StopThread, in the GUI thread: passes on every row of "temp.csv" that the
    // ticks had not reached, so that the backup file gets the whole run.
    void FinishRun();

    // After a pass: lowers/raises the last run's extremes by the segment values (mV).
    void SetMinMaxValue(const QVector<double> &valuesA, const QVector<double> &valuesB);
    // Hands one row on to the backup file (first element of each vector).
    void UpdateDisplayBuffer(QVector<double> xA, QVector<double> yA, QVector<double> xB,
                             QVector<double> yB, int runIndex, QString memo);

    // Interval of a tick: the sample interval in whole milliseconds.
    static int TimerInterval(double interval, SampIntervalUnit unit);
    // Shorter intervals are not ticked one by one: rows arrive every interval, but a
    // screen shows a few dozen frames a second. A tick then comes every MinTickMs and
    // counts as the intervals that passed since the one before.
    static constexpr int MinTickMs = 20;
    static int TickInterval(double interval, SampIntervalUnit unit);

protected:
    void run() override;
    void Plot();

private slots:
    void DrawPoint();
    void DrawPointFastLogging();

private:
    // The part of a channel's display lists that a pass uses.
    struct Range {
        int begin = 0;
        int end = 0;
        int newCount = 0;   // samples not counted in an earlier pass
        bool use = false;   // enabled channel with lists
    };

    DisplayClient *Client() const;
    // Queued into the GUI thread by name.
    Q_INVOKABLE void BeginDrawing();
    Q_INVOKABLE void OnTimerTick();
    LoggerData *CurrentRun() const;
    bool PassGates() const;
    bool ChannelEnabled(int channel) const;
    void AppendDisplayRecord();
    bool PassOverDisplay(LoggerData *display);
    bool OnlyHeldSamples(const LoggerData *display) const;
    bool RunPass(LoggerData *display, const Range range[2], bool handFirst);
    void HandOff(LoggerData *display, const QVector<double> seg[2][2], bool handFirst);

    QVector<LoggerData *> *displayBuffer = nullptr;
    QVector<LoggerData *> *runList = nullptr;
    PlotMgr *plotMgr = nullptr;
    ConfigSettings *config = nullptr;
    std::atomic<bool> drawingStarted{false};
    std::atomic<bool> stopRequested{false};
    bool startInfoShown = false;
    int32_t heldSamples = 0;
    bool firstSegment = true;

    DisplayClient *client = nullptr;
    bool recordAppended = false;      // this run's display record is in displayBuffer
    std::atomic<bool> notified{false};      // the run's first block has arrived
    bool extremesSeeded[2] = {false, false};
    QVector<int> saturated[2];        // saturated positions of the last pass, per channel
    std::atomic<bool> tickPending{false};   // a tick waits in the GUI thread's queue
    std::atomic<bool> runDone{false};       // run() has returned
    // GUI thread: the sample intervals the tick being handled stands for, and the clock
    // that measures them (the part of an interval left over is carried to the next tick).
    int tickIntervals = 1;
    QElapsedTimer tickClock;
    double tickCarryMs = 0.0;
    int IntervalsSinceLastTick();
    TickPacer pacer;
};
