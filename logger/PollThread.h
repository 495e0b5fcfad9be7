// Polls the instrument once per sample interval and hands each block to the logger window.
#pragma once

#include "LoggerData.h"
#include "TickPacer.h"

#include <QThread>
#include <atomic>
#include <mutex>

class HWIFWrapper;
class PollClient;

class PollThread : public QThread {
    Q_OBJECT
public:
    static constexpr int MinPollMs = 20;   // shortest time between two fetches

    PollThread();
    ~PollThread() override;

    void Initialize(HWIFWrapper *wrapper, LoggerData *receive, ConfigSettings *config, int arg);
    void StopThread();
    // From now on a tick fetches nothing (StopThread does this too).
    void RequestStop() { haltRequested = true; }

    // The receiver of NotifyMain/StopLogger (the logger window).
    void SetClient(PollClient *c) { client = c; }
    // Held for the whole of each fetch and its NotifyMain; the window takes it before it
    // touches the receive record or the driver while the first fetch may still run.
    std::recursive_mutex &FetchLock() { return fetchMutex; }
    bool DataSeen() const { return dataSeen.load() != 0; }

public slots:
    void GetData();

private slots:
    void Tick();

protected:
    void run() override;

private:
    HWIFWrapper *wrapper = nullptr;
    int fetchArg = 0;
    std::atomic<bool> stopFlag{false};
    LoggerData *receive = nullptr;
    ConfigSettings *config = nullptr;
    std::atomic<int> dataSeen{0};
    std::atomic<bool> haltRequested{false};
    std::atomic<bool> stopQueued{false};
    std::atomic<bool> runDone{false};
    std::atomic<bool> tickPending{false};   // a tick waits in the GUI thread's queue
    PollClient *client = nullptr;
    TickPacer pacer;
    std::recursive_mutex fetchMutex;   // a mutex the race detector can see
};
