#include "PollKestrimaThread.h"

#include "MainWindow.h"
#include "Meter.h"
#include "ScopeEvents.h"
#include "ScopeGlobals.h"

#include <QCoreApplication>
#include <QDebug>
#include <QTimer>
#include <algorithm>

PollKestrimaThread::PollKestrimaThread(KR_HANDLE *h, bool *open, int ms)
    : QThread(nullptr), handle(h), portOpen(open), intervalMs(std::max(1, ms))
{
}

PollKestrimaThread::~PollKestrimaThread()
{
    if (isRunning())
        StopThread();
}

void PollKestrimaThread::run()
{
    QTimer timer;
    timer.setInterval(intervalMs);
    // Default connection: the receiver lives in the GUI thread, so the tick is queued there.
    // (By name: the connection then lives wholly inside Qt, which hands it over between the
    // threads under its own lock.)
    connect(&timer, SIGNAL(timeout()), this, SLOT(PollKestrimaIII()));
    timer.start();
    exec();
    // The thread closes its event dispatcher when run() returns; wait until StopThread has
    // finished waking it, so that the wake-up cannot meet the closing.
    while (!stopRequested.load(std::memory_order_acquire))
        QThread::yieldCurrentThread();
    runFinished.store(true, std::memory_order_release);
}

void PollKestrimaThread::StopThread()
{
    // QThread keeps an exit() that comes before the loop has started.
    exit(0);
    stopRequested.store(true, std::memory_order_release);
    wait();
    // Already true once wait() returned (if the thread ran at all); orders run() before
    // whatever the owner does next, the delete among it.
    if (!runFinished.load(std::memory_order_acquire))
        qDebug() << "PollKestrimaThread stopped before it ran";
}

void PollKestrimaThread::PollKestrimaIII()
{
    if (StopPollingKestrima || DisplayInProgress)
        return;

    int bytesRead = 0;
    bool blockRead = false;
    if (KR_ChkForData(&bytesRead, *handle, ScopeBlockBytes) && bytesRead > 0) {
        int sizeA = 0;
        int sizeB = 0;
        KR_ReadChannelData(bytesRead, RawChanAData, RawChanBData, &sizeA, &sizeB);
        sizeA = std::clamp(sizeA, 0, ScopeFrameMax);
        sizeB = std::clamp(sizeB, 0, ScopeFrameMax);
        std::copy(RawChanAData, RawChanAData + sizeA, RealDataChanA);
        std::copy(RawChanBData, RawChanBData + sizeB, RealDataChanB);
        RealDataChanA_Size = sizeA;
        RealDataChanB_Size = sizeB;
        blockRead = true;
    } else {
        RealDataChanA_Size = 0;
        RealDataChanB_Size = 0;
        if (isIOError) {
            // Reported once: the window closes the instrument and sets the stop flag.
            isIOError = false;
            QCoreApplication::postEvent(w, new IOErrorEvent());
        }
    }

    FeedMeters();

    DisplayInProgress = true;
    QCoreApplication::postEvent(w, new DataAvailableEvent());

    // Auto trigger: re-arm only after a block; the next block follows the new set-up.
    if (blockRead)
        KR_SetUpScope(*handle, portOpen, &globalSetFeatures);
}

void PollKestrimaThread::FeedMeters()
{
    if (LCDUpdate != 0)
        return;
    int maxCode = 0, minCode = 0, mean = 0, cycles = 0;
    double pkToPk = 0.0, rms = 0.0, frequency = 0.0;
    bool found = false;
    // Only a posted update is taken up (and clears the mark): marking without one would
    // leave the meters waiting for ever, e.g. while their channel is off.
    bool posted = false;
    if (ChannelAOnFlag && MeterAWindowOpened && Metera) {
        Meter::do_measure_A(RealDataChanA_Size, trigger_lvl_mvolts, nanosecs_per_sample, RealDataChanA,
                            &maxCode, &minCode, &pkToPk, &mean, &rms, &frequency, &cycles, &found);
        QCoreApplication::postEvent(Metera, new LCDDataupdateEvent());
        posted = true;
    }
    if (ChannelBOnFlag && MeterBWindowOpened && Meterb) {
        Meter::do_measure_B(RealDataChanB_Size, trigger_lvl_mvolts, nanosecs_per_sample, RealDataChanB,
                            &maxCode, &minCode, &pkToPk, &mean, &rms, &frequency, &cycles, &found);
        QCoreApplication::postEvent(Meterb, new LCDDataupdateEvent());
        posted = true;
    }
    if (posted)
        LCDUpdate = 1;
}
