// The scope's polling thread. Its timer lives in the thread, but the thread object lives in
// the GUI thread, so every tick (PollKestrimaIII) is queued to and runs in the GUI thread.
#pragma once

#include "KrDriver.h"

#include <QThread>
#include <atomic>

class PollKestrimaThread : public QThread {
    Q_OBJECT
public:
    // handle and portOpen belong to the scope window and outlive the thread.
    PollKestrimaThread(KR_HANDLE *handle, bool *portOpen, int intervalMs);
    ~PollKestrimaThread() override;

    // Ends the thread's event loop and waits for it; the owner deletes the object afterwards.
    void StopThread();

public slots:
    void PollKestrimaIII();

protected:
    void run() override;

private:
    void FeedMeters();

    KR_HANDLE *handle;
    bool *portOpen;
    int intervalMs;
    // Hand-shake of StopThread and the end of run(), in terms the sanitizers see.
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> runFinished{false};
};
