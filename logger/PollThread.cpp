#include "PollThread.h"
#include "LogCategories.h"

#include "HWIFWrapper.h"
#include "PollClient.h"
#include "Utility.h"

#include <QCoreApplication>
#include <QDebug>
#include <QPointer>
#include <algorithm>
#include <cmath>

PollThread::PollThread() : QThread(nullptr) {}

PollThread::~PollThread()
{
    // A QThread destroyed while it runs ends the whole program.
    if (isRunning())
        StopThread();
}

void PollThread::Initialize(HWIFWrapper *w, LoggerData *rec, ConfigSettings *cfg, int arg)
{
    wrapper = w;
    receive = rec;
    config = cfg;
    fetchArg = arg;
    stopFlag = false;
    dataSeen = 0;
    haltRequested = false;
    stopQueued = false;
    runDone = false;
    tickPending = false;
    pacer.Reset();
}

void PollThread::run()
{
    const double ms = config ? Utility::ConvertToMilliSec(config->sampleInterval, config->intervalUnit) : 1.0;
    // The first block is fetched here, in the poll thread, so that a run starts at once.
    GetData();

    stopFlag = false;
    // Faster intervals are fetched in blocks of at least MinPollMs: the instrument queues
    // about 15 s of samples, so nothing is lost, and the GUI thread is not woken a
    // thousand times a second.
    // The thread object lives in the GUI thread, so every tick's GetData is queued there.
    // A tick that fires while the previous one still waits is merged into it: a busy GUI
    // thread delays a fetch, and the next fetch takes all that queued meanwhile.
    pacer.Run(std::max(int(std::trunc(ms)), MinPollMs), [this] {
        if (!tickPending.exchange(true))
            QMetaObject::invokeMethod(this, &PollThread::Tick, Qt::QueuedConnection);
    });
    // Paired with the acquire in StopThread: whoever deletes the thread afterwards sees
    // everything it did (Qt's own wait is invisible to the race detector).
    runDone.store(true, std::memory_order_release);
}

void PollThread::Tick()
{
    tickPending = false;
    GetData();
}

void PollThread::GetData()
{
    std::unique_lock<std::recursive_mutex> lock(fetchMutex);
    qCDebug(lcPoll) << "GetData() time: " << Utility::GetTimeWithMs();
    // Ticks still queued when the run was stopped must not fetch into the next run.
    if (!receive || !wrapper || haltRequested)
        return;

    for (ChannelRecord *ch : {&receive->chA, &receive->chB}) {
        if (!ch->values)
            continue;
        ch->receivedBase += int32_t(ch->values->xValues.size());
        ch->values->xValues.clear();
        ch->values->yValues.clear();
    }
    receive->memo.clear();

    if (wrapper->FetchData(4096, 1, receive, fetchArg) == 0) {
        if (client)
            client->NotifyMain();
        dataSeen = 1;
    } else if (isIOError) {
        lock.unlock();
        if (!client) {
            isIOError = false;
            return;
        }
        // Stopping the run deletes this thread object and waits for the thread, so it
        // is done from the GUI thread's event loop, after this tick has returned.
        if (stopQueued.exchange(true))
            return;
        PollClient *c = client;
        QPointer<PollThread> self(this);
        // A run already stopped by the user has deleted this thread: nothing is left to do
        // (the next start clears the flag).
        QMetaObject::invokeMethod(qApp, [c, self] {
            if (!self)
                return;
            c->InstrumentStopped();
            isIOError = false;
        }, Qt::QueuedConnection);
    }
}

void PollThread::StopThread()
{
    haltRequested = true;
    dataSeen = 0;
    stopFlag = true;
    // Also returns for a thread that was never started.
    pacer.Quit();
    wait();
    (void)runDone.load(std::memory_order_acquire);
}
