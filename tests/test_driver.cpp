// The instrument driver against the simulated instrument, under its manual clock.
#include <QtTest>

#include "test_home.h"

#include "KrDriver.h"
#include "ZrSim.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

const char *const kDevice = "ZE Ziruv A";

Scope_SetFeatures loggerRecord(int channels, unsigned divider, int rangeA = 3, int rangeB = 3)
{
    Scope_SetFeatures f;
    f.channelsOn = static_cast<unsigned char>(channels);
    f.dcCoupling = 3;
    f.rangeA = static_cast<unsigned char>(rangeA);
    f.rangeB = static_cast<unsigned char>(rangeB);
    f.clockDivider = divider;
    f.timeBaseCode = 1;
    return f;
}

ZrSim::Input constant(double mv)
{
    ZrSim::Input in;
    in.shape = ZrSim::Input::Constant;
    in.offsetMv = mv;
    return in;
}

int expectedCode(double mv, int range)
{
    return int(std::clamp(std::round(512.0 + mv / KR_MilliVoltsPerBit(range)), 0.0, 1023.0));
}

} // namespace

class TestDriver : public QObject {
    Q_OBJECT

    KR_HANDLE handle = nullptr;
    bool portOpen = false;
    Scope_SetFeatures rec;
    std::vector<int> a = std::vector<int>(KR_ReadBufferSize);
    std::vector<int> b = std::vector<int>(KR_ReadBufferSize);
    int na = 0, nb = 0;

    bool startLogger(const Scope_SetFeatures &f)
    {
        rec = f;
        const bool ok = KR_ScStartScope(kDevice, &handle, &portOpen, &rec);
        KR_SetUpLogger(handle, &portOpen, &rec);
        globalSetFeaturesPtr = &rec;
        return ok;
    }
    // One poll as the logger does it; the number of bytes read.
    int fetch(int minimum = 1)
    {
        int n = 4096;
        na = nb = -1;
        if (!KR_ChkForData(&n, handle, minimum)) {
            na = nb = 0;
            return n;
        }
        KR_ReadChannelData(n, a.data(), b.data(), &na, &nb);
        return n;
    }

private slots:
    void init()
    {
        ZrSim::reset();
        ZrSim::useManualClock(true);
        missedA = missedB = 0;
        isIOError = false;
        portOpen = false;
        handle = nullptr;
    }
    void cleanup()
    {
        if (portOpen)
            KR_closeport(handle, &portOpen);
        globalSetFeaturesPtr = nullptr;
    }

    void enumerationFindsTheSimulatorUnlessSwitchedOff()
    {
        unsigned count = 99;
        QCOMPARE(GetNumDevices(&count), 0ul);
        QCOMPARE(count, 1u);
        char text[64] = "untouched";
        QCOMPARE(GetDeviceDescription(0, text), 0ul);
        QCOMPARE(QString(text), QString(kDevice));
        strcpy(text, "untouched");
        QVERIFY(GetDeviceDescription(1, text) != 0);
        QCOMPARE(QString(text), QString("untouched"));

        QVERIFY(ZrSim::applyOptions("off"));
        QCOMPARE(GetNumDevices(&count), 0ul);
        QCOMPARE(count, 0u);
        QVERIFY(!KR_ScStartScope(kDevice, &handle, &portOpen, &rec));
        QVERIFY(!portOpen);
    }

    void startSetsTransferByModeAndCloseSwitchesOff()
    {
        Scope_SetFeatures scope = loggerRecord(3, 0);
        scope.blockMode = 1;
        QVERIFY(KR_ScStartScope(kDevice, &handle, &portOpen, &scope));
        QVERIFY(portOpen);
        ZrSim::State st = ZrSim::state();
        QCOMPARE(st.usbInSize, 32768u);
        QCOMPARE(int(st.latencyMs), 16);
        QVERIFY(st.blockMode && st.armed);
        // A second open of the same instrument fails without touching the first.
        KR_HANDLE other = nullptr;
        bool otherOpen = false;
        QVERIFY(!KR_ScStartScope(kDevice, &other, &otherOpen, &scope));
        QVERIFY(!otherOpen);
        QVERIFY(KR_closeport(handle, &portOpen));
        QVERIFY(!portOpen);
        st = ZrSim::state();
        QVERIFY(!st.open);

        QVERIFY(startLogger(loggerRecord(1, 59999, 2, 5)));
        st = ZrSim::state();
        QCOMPARE(st.usbInSize, 16384u);
        QCOMPARE(int(st.latencyMs), 8);
        QVERIFY(st.streaming && !st.blockMode);
        QCOMPARE(int(st.channels), 1);
        QCOMPARE(int(st.rangeA), 2);
        QCOMPARE(int(st.rangeB), 5);
        QCOMPARE(st.divider, 59999u);
        QVERIFY(!KR_ScStartScope("ZE-Ziruv A", &other, &otherOpen, &scope));
        QVERIFY(KR_closeport(handle, &portOpen));

        // A start whose handshake fails leaves the instrument closed for the next try.
        ZrSim::setDeaf(true);
        QVERIFY(!KR_ScStartScope(kDevice, &handle, &portOpen, &scope));
        QVERIFY(!portOpen);
        QVERIFY(!ZrSim::state().open);
        ZrSim::setDeaf(false);
        QVERIFY(KR_ScStartScope(kDevice, &handle, &portOpen, &scope));
    }

    void everythingIsANoOpWhileClosed()
    {
        QVERIFY(startLogger(loggerRecord(3, 59999)));
        ZrSim::advanceClock(10ms);
        QVERIFY(KR_closeport(handle, &portOpen));
        const uint64_t records = ZrSim::state().records;
        shw_milliVoltsPerBitA = 42.0;
        KR_SetUpLogger(handle, &portOpen, &rec);
        KR_SetUpScope(handle, &portOpen, &rec);
        QVERIFY(!KR_SyncToScope(handle, &portOpen));
        QVERIFY(!KR_closeport(handle, &portOpen));
        QVERIFY(!KR_LoadCalibration(handle, &portOpen));
        QVERIFY(!KR_WriteCalibration(handle, &portOpen, KR_Calibration()));
        QCOMPARE(ZrSim::state().records, records);
        QCOMPARE(shw_milliVoltsPerBitA, 42.0);
        QCOMPARE(fetch(), 0);
        QCOMPARE(na, 0);
        QVERIFY(!isIOError);
        KR_ReadChannelData(100, a.data(), b.data(), &na, &nb);
        QCOMPARE(na + nb, 0);
        QVERIFY(!KR_SyncToScope(handle, nullptr));
    }

    void rangesGiveMilliVoltsPerBit()
    {
        const double table[] = {0.1953125, 0.390625, 0.9765625, 1.953125,
                                3.90625, 9.765625, 19.53125, 39.0625};
        for (int r = 0; r < 8; ++r)
            QCOMPARE(KR_MilliVoltsPerBit(r), table[r]);
        QCOMPARE(KR_MilliVoltsPerBit(8), 156.25);
        QCOMPARE(KR_MilliVoltsPerBit(255), 156.25);

        Scope_SetFeatures f = loggerRecord(3, 59999, 4, 9);
        f.x10A = f.x10B = 1;
        QVERIFY(startLogger(f));   // the logger's set-up ignores the probe factor
        QCOMPARE(shw_milliVoltsPerBitA, 3.90625);
        QCOMPARE(shw_milliVoltsPerBitB, 156.25);
        f.blockMode = 1;
        KR_SetUpScope(handle, &portOpen, &f);   // the scope's does not
        QCOMPARE(shw_milliVoltsPerBitA, 39.0625);
        QCOMPARE(shw_milliVoltsPerBitB, 1562.5);
    }

    void pacingFollowsTheDivider_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<unsigned>("divider");
        QTest::addColumn<qint64>("elapsedUs");
        QTest::addColumn<int>("instants");
        QTest::newRow("1 kHz, both, 1 s") << 3 << 59999u << qint64(1000000) << 1000;
        QTest::newRow("1 kHz, A, 1.5 ms") << 1 << 59999u << qint64(1500) << 1;
        QTest::newRow("10 kHz, B, 250 ms") << 2 << 5999u << qint64(250000) << 2500;
        QTest::newRow("1 Hz, both, 10 s") << 3 << 59999999u << qint64(10000000) << 10;
        QTest::newRow("100 Hz (10 ms divider), A, 3 s") << 1 << 599998u << qint64(3000000) << 300;
    }
    void pacingFollowsTheDivider()
    {
        QFETCH(int, channels);
        QFETCH(unsigned, divider);
        QFETCH(qint64, elapsedUs);
        QFETCH(int, instants);
        QVERIFY(startLogger(loggerRecord(channels, divider)));
        QCOMPARE(fetch(), 0);
        // Polled in uneven steps: pacing must not depend on when the host asks.
        int gotA = 0, gotB = 0, bytes = 0;
        for (qint64 t = 0; t < elapsedUs;) {
            const qint64 step = std::min<qint64>(elapsedUs - t, 777 + t % 5000);
            ZrSim::advanceClock(std::chrono::microseconds(step));
            t += step;
            bytes += fetch();
            gotA += na;
            gotB += nb;
        }
        QCOMPARE(gotA, (channels & 1) ? instants : 0);
        QCOMPARE(gotB, (channels & 2) ? instants : 0);
        QCOMPARE(bytes, 2 * (gotA + gotB));
        QCOMPARE(missedA, 0);
    }

    void splitSamplesCarryOver()
    {
        ZrSim::setInput(0, constant(150.0));
        ZrSim::setInput(1, constant(-300.0));
        QVERIFY(startLogger(loggerRecord(3, 59999)));
        ZrSim::advanceClock(5ms);
        ZrSim::setReadLimit(3);   // every read ends inside a sample
        std::vector<int> allA, allB;
        for (int i = 0; i < 20; ++i) {
            fetch();
            allA.insert(allA.end(), a.begin(), a.begin() + na);
            allB.insert(allB.end(), b.begin(), b.begin() + nb);
        }
        QCOMPARE(int(allA.size()), 5);
        QCOMPARE(int(allB.size()), 5);
        for (int v : allA)
            QCOMPARE(v, expectedCode(150.0, 3));
        for (int v : allB)
            QCOMPARE(v, expectedCode(-300.0, 3));
    }

    void gapMarkersFillBothChannelsAndCount()
    {
        ZrSim::setInput(0, constant(10.0));
        QVERIFY(startLogger(loggerRecord(3, 59999)));
        ZrSim::advanceClock(3ms);
        ZrSim::injectGap();   // instant 4 is lost
        ZrSim::advanceClock(3ms);
        const int bytes = fetch();
        QCOMPARE(na, 6);
        QCOMPARE(nb, 6);
        QCOMPARE(a[3], KR_MissedCode);
        QCOMPARE(b[3], KR_MissedCode);
        QCOMPARE(a[2], expectedCode(10.0, 3));
        QCOMPARE(a[4], expectedCode(10.0, 3));
        QCOMPARE(missedA, 1);
        QCOMPARE(missedB, 1);
        // A block is decoded once: a repeated call must not count its gaps again.
        KR_ReadChannelData(bytes, a.data(), b.data(), &na, &nb);
        QCOMPARE(na + nb, 0);
        QCOMPARE(missedA, 1);

        QVERIFY(ZrSim::applyOptions("gap-every=100"));
        ZrSim::advanceClock(1s);
        fetch();
        QCOMPARE(missedA, 11);
        QCOMPARE(missedB, 11);
        QCOMPARE(na, 1000);
        QCOMPARE(int(std::count(a.begin(), a.begin() + na, KR_MissedCode)), 10);
    }

    void overflowLosesSamplesBehindOneMarker()
    {
        QVERIFY(startLogger(loggerRecord(3, 59)));   // 1 MHz, 4 bytes an instant
        ZrSim::advanceClock(100ms);
        const int bytes = fetch();
        QVERIFY(bytes < 65000);
        QCOMPARE(na, nb);
        QCOMPARE(a[na - 1], KR_MissedCode);
        QCOMPARE(int(std::count(a.begin(), a.begin() + na, KR_MissedCode)), 1);
        QCOMPARE(bytes, 4 * (na - 1) + 1);
        QCOMPARE(missedA, 1);
        const ZrSim::State st = ZrSim::state();
        QCOMPARE(st.lostInstants + uint64_t(na - 1), uint64_t(100000));

        ZrSim::advanceClock(10us);   // drained: samples flow again
        fetch();
        QCOMPARE(na, 10);
        QVERIFY(std::count(a.begin(), a.begin() + na, KR_MissedCode) == 0);
        ZrSim::advanceClock(50ms);   // and the next overflow has its own marker
        fetch();
        QCOMPARE(missedA, 2);
    }

    void correctionsFromTheStoredRecord()
    {
        ZrSim::setInput(0, constant(200.0));
        ZrSim::setInput(1, constant(900.0));
        QVERIFY(startLogger(loggerRecord(3, 59999)));
        KR_Calibration cal;
        cal.ground[0][3] = 10 * 16 + 8;   // 10.5 codes
        cal.gain[0][3] = 40960;           // x1.25
        cal.gain[1][3] = 65535;           // ~x2: B runs into the top of the scale
        cal.ground[0][2] = -1000;         // another range: not used
        QVERIFY(KR_WriteCalibration(handle, &portOpen, cal));
        // The record is in the EEPROM and comes back with the next start.
        QVERIFY(KR_closeport(handle, &portOpen));
        QVERIFY(startLogger(loggerRecord(3, 59999)));
        KR_Calibration back;
        QVERIFY(KR_LoadCalibration(handle, &portOpen, &back));
        QCOMPARE(back.ground[0][3], cal.ground[0][3]);
        QCOMPARE(back.gain[1][3], cal.gain[1][3]);
        ZrSim::advanceClock(4ms);
        fetch();
        QCOMPARE(na, 4);
        const int raw = expectedCode(200.0, 3);
        QCOMPARE(a[0], int(std::round(512 + (raw - 512 - 10.5) * 1.25)));
        QCOMPARE(b[0], 1023);

        // An erased record corrects nothing.
        ZrSim::setEeprom(std::vector<uint8_t>(ZrSim::UserAreaSize, 0xFF));
        QVERIFY(!KR_LoadCalibration(handle, &portOpen));
        ZrSim::advanceClock(1ms);
        fetch();
        QCOMPARE(a[0], raw);
    }

    void inputsSaturateAtTheScaleEnds()
    {
        ZrSim::setInput(0, constant(5000.0));
        ZrSim::setInput(1, constant(-5000.0));
        QVERIFY(startLogger(loggerRecord(3, 59999, 0, 0)));   // +-100 mV
        ZrSim::advanceClock(2ms);
        fetch();
        QCOMPARE(na, 2);
        QCOMPARE(a[1], 1023);
        QCOMPARE(b[1], 0);
        // AC coupling blocks a constant level.
        Scope_SetFeatures ac = loggerRecord(3, 59999, 0, 0);
        ac.dcCoupling = 0;
        KR_SetUpLogger(handle, &portOpen, &ac);
        ZrSim::advanceClock(1ms);
        fetch();
        QCOMPARE(a[0], 512);
    }

    void testModeGivesRamps()
    {
        Scope_SetFeatures f = loggerRecord(3, 5999);
        f.testMode = 1;
        QVERIFY(startLogger(f));
        ZrSim::advanceClock(250ms);   // 2500 instants: the ramp wraps twice
        std::vector<int> allA, allB;
        while (fetch() > 0) {
            allA.insert(allA.end(), a.begin(), a.begin() + na);
            allB.insert(allB.end(), b.begin(), b.begin() + nb);
        }
        QCOMPARE(int(allA.size()), 2500);
        for (int k = 0; k < 2500; ++k) {
            QCOMPARE(allA[size_t(k)], k % 1024);
            QCOMPARE(allB[size_t(k)], 1023 - k % 1024);
        }
    }

    void blockModeWidensAndRearms()
    {
        Scope_SetFeatures f = loggerRecord(1, 0);
        f.blockMode = 1;
        f.testMode = 1;
        QVERIFY(KR_ScStartScope(kDevice, &handle, &portOpen, &f));
        QCOMPARE(fetch(), 0);   // 8192 samples take 137 us at 60 MHz
        ZrSim::advanceClock(200us);
        ZrSim::setReadLimit(KR_BlockBytes / 2 + 1);   // split inside a pair
        int got = 0;
        for (int part = 0; part < 2; ++part) {
            QVERIFY(fetch(1) > 0);
            QCOMPARE(nb, 0);   // B is off
            for (int i = 0; i < na; ++i)
                QCOMPARE(a[size_t(i)], ((got + i) & 0xFF) << 2);
            got += na;
        }
        QCOMPARE(got, KR_BlockSamples);
        QCOMPARE(fetch(), 0);   // one block per arming
        ZrSim::setReadLimit(0);

        f.testMode = 0;
        f.channelsOn = 3;
        ZrSim::setInput(1, constant(-250.0));
        KR_SetUpScope(handle, &portOpen, &f);
        KR_SetUpScope(handle, &portOpen, &f);   // re-arming a pending block keeps it
        ZrSim::advanceClock(200us);
        QCOMPARE(fetch(16384), KR_BlockBytes);
        QCOMPARE(na, KR_BlockSamples);
        QCOMPARE(nb, KR_BlockSamples);
        QCOMPARE(b[100], (expectedCode(-250.0, 3) >> 2) << 2);
        QCOMPARE(ZrSim::state().blocks, uint64_t(2));
    }

    void ioErrorAndDisconnect()
    {
        QVERIFY(startLogger(loggerRecord(3, 59999)));
        ZrSim::advanceClock(2ms);
        ZrSim::injectIoError();
        QCOMPARE(fetch(), 0);
        QVERIFY(isIOError);
        QVERIFY(KR_closeport(handle, &portOpen));

        isIOError = false;
        QVERIFY(ZrSim::applyOptions("ioerror-after=5s"));
        QVERIFY(startLogger(loggerRecord(3, 59999)));
        ZrSim::advanceClock(4900ms);
        QVERIFY(fetch() > 0);
        QVERIFY(!isIOError);
        ZrSim::advanceClock(200ms);
        fetch();
        QVERIFY(isIOError);
        QVERIFY(KR_closeport(handle, &portOpen));

        ZrSim::setIoErrorAfter(0ns);
        isIOError = false;
        QVERIFY(startLogger(loggerRecord(3, 59999)));
        ZrSim::advanceClock(1ms);
        ZrSim::disconnect();
        QCOMPARE(fetch(), 0);
        QVERIFY(isIOError);
        unsigned count = 9;
        QCOMPARE(GetNumDevices(&count), 0ul);
        QCOMPARE(count, 0u);
        QVERIFY(KR_closeport(handle, &portOpen));   // a vanished device still closes
        QVERIFY(!startLogger(loggerRecord(3, 59999)));
        ZrSim::reconnect();
        QVERIFY(startLogger(loggerRecord(3, 59999)));
    }

    void pollThreadAndClockThreadDoNotRace()
    {
        QVERIFY(startLogger(loggerRecord(3, 5999)));   // 10 kHz
        std::atomic<bool> done{false};
        std::atomic<int> total{0};
        std::thread poller([&] {
            std::vector<int> pa(KR_ReadBufferSize), pb(KR_ReadBufferSize);
            while (!done.load()) {
                int n = 0, sa = 0, sb = 0;
                if (KR_ChkForData(&n, handle, 1)) {
                    KR_ReadChannelData(n, pa.data(), pb.data(), &sa, &sb);
                    total += sa;
                }
            }
        });
        {
            struct Joiner {   // also when a check below fails
                std::atomic<bool> &done;
                std::thread &thread;
                ~Joiner()
                {
                    done = true;
                    thread.join();
                }
            } joiner{done, poller};
            for (int i = 1; i <= 200; ++i) {
                ZrSim::advanceClock(1ms);
                if (i % 20 == 0)   // let the poller take part, not only the final drain
                    QTRY_VERIFY_WITH_TIMEOUT(total.load() >= 10 * (i - 1), 10000);
            }
        }
        while (fetch() > 0)
            total += na;
        QCOMPARE(total.load(), 2000);
        QCOMPARE(missedA, 0);
    }
};

ZR_TEST_GUILESS_MAIN(TestDriver)
#include "test_driver.moc"
