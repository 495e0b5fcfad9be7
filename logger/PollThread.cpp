#include "PollThread.h"

#include "HWIFWrapper.h"
#include "PollClient.h"
#include "Utility.h"

#include <QDebug>
#include <QMutexLocker>
#include <QTimer>
#include <cmath>

PollThread::PollThread() : QThread(nullptr) {}

PollThread::~PollThread() = default;

void PollThread::Initialize(HWIFWrapper *w, LoggerData *rec, ConfigSettings *cfg, int arg)
{
    wrapper = w;
    receive = rec;
    config = cfg;
    fetchArg = arg;
    stopFlag = false;
    dataSeen = 0;
}

void PollThread::run()
{
    const double ms = config ? Utility::ConvertToMilliSec(config->sampleInterval, config->intervalUnit) : 1.0;
    QTimer *timer = new QTimer();
    timer->setInterval(int(std::trunc(ms)));
    // The thread object lives in the GUI thread, so every tick's GetData is queued there.
    connect(timer, &QTimer::timeout, this, &PollThread::GetData);

    // The first block is fetched here, in the poll thread, so that a run starts at once.
    GetData();

    stopFlag = false;
    timer->start();
    exec();
    delete timer;
}

void PollThread::GetData()
{
    QMutexLocker lock(&fetchMutex);
    qDebug() << "GetData() time: " << Utility::GetTimeWithMs();
    if (!receive || !wrapper)
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
        } else if (QThread::currentThread() == thread()) {
            client->StopLogger();
            isIOError = false;
        } else {
            // Stopping waits for this thread to finish: let the GUI thread do it.
            PollClient *c = client;
            QMetaObject::invokeMethod(this, [c] {
                c->StopLogger();
                isIOError = false;
            }, Qt::QueuedConnection);
        }
    }
}

void PollThread::StopThread()
{
    dataSeen = 0;
    stopFlag = true;
    do {
        exit(0);
        QThread::msleep(100);
    } while (!isFinished());
}
