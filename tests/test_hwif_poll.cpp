// The logger's hardware wrapper and poll thread against the simulated instrument.
#include <QtTest>
#include <QElapsedTimer>

#include "test_home.h"

#include "HWIFWrapper.h"
#include "KrDriver.h"
#include "PollClient.h"
#include "PollThread.h"
#include "ZrSim.h"

#include <QMutex>
#include <atomic>

namespace {

// Collects what each NotifyMain finds in the receive record, as the window would.
class Collector : public PollClient {
public:
    explicit Collector(LoggerData *rec) : receive(rec) {}
    void NotifyMain() override
    {
        QMutexLocker l(&mutex);
        ++notifies;
        if (!firstThread)
            firstThread = QThread::currentThread();
        for (size_t i = 0; i < receive->chA.values->xValues.size(); ++i) {
            xs.push_back(receive->chA.values->xValues[i]);
            ys.push_back(receive->chA.values->yValues[i]);
        }
        memoRows += int(receive->memo.size());
        fetched.store(xs.size());
        ticks.store(notifies);
    }
    void StopLogger() override
    {
        {
            QMutexLocker l(&mutex);
            ++stops;
            stopThread = QThread::currentThread();
        }
        if (poll)   // as the window does: the run ends with its threads
            poll->StopThread();
    }
    PollThread *poll = nullptr;
    // What the test may read while the thread runs (QMutex is invisible to the race detector).
    std::atomic<size_t> fetched{0};
    std::atomic<int> ticks{0};
    LoggerData *receive;
    QMutex mutex;
    int notifies = 0, stops = 0, memoRows = 0;
    QThread *firstThread = nullptr, *stopThread = nullptr;
    std::vector<double> xs, ys;
};

struct Receive {
    LoggerData rec;
    Receive()
    {
        rec.firstSampleNo = 1;
        rec.chA.values = new DataValues;
        rec.chB.values = new DataValues;
    }
    ~Receive()
    {
        delete rec.chA.values;
        delete rec.chB.values;
    }
};

Scope_SetFeatures loggerRecord(unsigned divider)
{
    Scope_SetFeatures f;
    f.channelsOn = 3;
    f.rangeA = 5;
    f.rangeB = 5;
    f.clockDivider = divider;
    f.timeBaseCode = 1;
    return f;
}
}

class TestHwifPoll : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        ZrSim::reset();
        isIOError = false;
    }

    void startFailsWithoutInstrument()
    {
        ZrSim::setPresent(false);
        globalSetFeaturesPtr = nullptr;
        ConfigSettings config("Tamberlo.xml");
        config.SetDefaultSettings();
        HWIFWrapper hw(&config);
        Scope_SetFeatures f = loggerRecord(59999);
        QCOMPARE(hw.StartLoggerHW(&f), 1);
        QVERIFY(!hw.IsStarted());
        QVERIFY(hw.DeviceDescription().isEmpty());
        // Nothing was found, so the driver was not touched.
        QVERIFY(globalSetFeaturesPtr != &f);
    }

    void startFindsEitherDescription_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<int>("result");
        QTest::newRow("space") << "ZE Ziruv A" << 0;
        QTest::newRow("dash") << "ZE-Ziruv A" << 0;
        QTest::newRow("case differs") << "ze ziruv a" << 1;
        QTest::newRow("other device") << "RURIVE B A" << 1;
    }
    void startFindsEitherDescription()
    {
        QFETCH(QString, description);
        QFETCH(int, result);
        ZrSim::setDescription(description.toStdString());
        ConfigSettings config("Tamberlo.xml");
        config.SetDefaultSettings();
        HWIFWrapper hw(&config);
        Scope_SetFeatures f = loggerRecord(59999);
        missedA = 7;
        QCOMPARE(hw.StartLoggerHW(&f), result);
        QCOMPARE(missedA, 0);
        if (result == 0) {
            QCOMPARE(hw.DeviceDescription(), description);
            QVERIFY(hw.IsStarted());
            QCOMPARE(ZrSim::state().divider, 59999u);
            QCOMPARE(hw.StopLoggerHW(), 0);
            QVERIFY(!hw.IsStarted());
        }
    }

    void fetchUnderManualClock()
    {
        ZrSim::useManualClock(true);
        ConfigSettings config("Tamberlo.xml");
        config.SetDefaultSettings();
        config.chBEnabled = false;
        HWIFWrapper hw(&config);
        Scope_SetFeatures f = loggerRecord(59999);   // 1 kHz
        QCOMPARE(hw.StartLoggerHW(&f), 0);
        Receive r;
        hw.DiscardData();
        QCOMPARE(hw.FetchData(4096, 1, &r.rec, 0), 1);   // nothing due yet
        ZrSim::advanceClock(std::chrono::milliseconds(50));
        QCOMPARE(hw.FetchData(4096, 1, &r.rec, 0), 0);
        const auto &xs = r.rec.chA.values->xValues;
        QCOMPARE(int(xs.size()), 50);
        QCOMPARE(xs.front(), 1.0);
        QCOMPARE(xs.back(), 50.0);
        QCOMPARE(int(r.rec.chB.values->xValues.size()), 50);
        QVERIFY(r.rec.chB.values->yValues.empty());   // B is disabled in the configuration
        // Range 5 is 9.765625 mV per step: 512 codes make 5000 mV of full scale.
        for (double y : r.rec.chA.values->yValues)
            QVERIFY(y >= -5000.0 && y <= 5000.0);
        QCOMPARE(hw.StopLoggerHW(), 0);
    }

    void pollThreadDeliversConsecutiveSamples()
    {
        QElapsedTimer clock;   // the instrument counts from its start below
        clock.start();
        ConfigSettings config("Tamberlo.xml");
        config.SetDefaultSettings();   // 1 ms, both channels
        HWIFWrapper hw(&config);
        Scope_SetFeatures f = loggerRecord(59999);
        QCOMPARE(hw.StartLoggerHW(&f), 0);
        Receive r;
        Collector client(&r.rec);
        PollThread poll;
        poll.Initialize(&hw, &r.rec, &config, 0);
        poll.SetClient(&client);
        hw.DiscardData();
        poll.start();
        // About a second of samples, however long a loaded machine takes to fetch them.
        QTRY_VERIFY_WITH_TIMEOUT(client.fetched > 700 && client.ticks > 10, 30000);
        poll.StopThread();
        const qint64 ms = clock.elapsed();
        QVERIFY(poll.isFinished());
        QVERIFY(!poll.DataSeen());
        QCOMPARE(hw.StopLoggerHW(), 0);

        QMutexLocker l(&client.mutex);
        // Numbered 1, 2, 3 ... without a gap, and no more than the instrument made at 1 kHz.
        QVERIFY2(client.xs.size() <= size_t(ms) + 50, qPrintable(QString("%1 in %2 ms").arg(client.xs.size()).arg(ms)));
        for (size_t i = 0; i < client.xs.size(); ++i)
            QCOMPARE(client.xs[i], double(i + 1));
        QCOMPARE(client.memoRows, int(client.xs.size()));
        for (double y : client.ys)
            QVERIFY(y != 65535.0 && std::abs(y) <= 5000.0);
        QVERIFY(client.stops == 0);
    }

    void ioErrorStopsTheLoggerInTheGuiThread()
    {
        ConfigSettings config("Tamberlo.xml");
        config.SetDefaultSettings();
        HWIFWrapper hw(&config);
        Scope_SetFeatures f = loggerRecord(59999);
        QCOMPARE(hw.StartLoggerHW(&f), 0);
        ZrSim::injectIoError();   // even the first fetch, in the poll thread, sees it
        Receive r;
        Collector client(&r.rec);
        PollThread poll;
        poll.Initialize(&hw, &r.rec, &config, 0);
        poll.SetClient(&client);
        client.poll = &poll;
        poll.start();
        QTRY_VERIFY_WITH_TIMEOUT([&] { QMutexLocker l(&client.mutex); return client.stops > 0; }(), 5000);
        QTRY_VERIFY(!isIOError);
        QVERIFY(poll.isFinished());
        QTest::qWait(50);   // ticks still queued must not stop the logger again
        QMutexLocker l(&client.mutex);
        QCOMPARE(client.stops, 1);
        QCOMPARE(client.stopThread, QThread::currentThread());
        QCOMPARE(client.notifies, 0);
        hw.StopLoggerHW();
    }
};

ZR_TEST_MAIN(TestHwifPoll)
#include "test_hwif_poll.moc"
