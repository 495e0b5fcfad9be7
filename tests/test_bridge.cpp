// The USB bridge layer and the simulated instrument behind it, without the driver.
#include <QtTest>

#include "test_home.h"

#include "KrDriver.h"
#include "UsbBridge.h"
#include "ZrSim.h"

#include <chrono>
#include <vector>

using namespace std::chrono_literals;

namespace {

UsbStatus send(UsbHandle h, std::initializer_list<uint8_t> bytes)
{
    const std::vector<uint8_t> v(bytes);
    unsigned written = 0;
    return UsbBridge::write(h, v.data(), unsigned(v.size()), &written);
}

unsigned queued(UsbHandle h)
{
    unsigned rx = 0;
    UsbBridge::getQueueStatus(h, &rx);
    return rx;
}

std::vector<uint8_t> drain(UsbHandle h)
{
    std::vector<uint8_t> out(ZrSim::QueueCapacity);
    unsigned got = 0;
    UsbBridge::read(h, out.data(), unsigned(out.size()), &got);
    out.resize(got);
    return out;
}

} // namespace

class TestBridge : public QObject {
    Q_OBJECT

    UsbHandle h = nullptr;

    UsbHandle openDevice()
    {
        UsbHandle handle = nullptr;
        const UsbStatus st = UsbBridge::openByDescription("ZE Ziruv A", &handle);
        return st == UsbOk ? handle : nullptr;
    }

private slots:
    void init()
    {
        ZrSim::reset();
        ZrSim::useManualClock(true);
        UsbBridge::setVidPid(0x0403, 0x6012);
        h = openDevice();
        QVERIFY(h);
    }
    void cleanup() { UsbBridge::close(h); }

    void enumerationFiltersByVendorAndProduct()
    {
        unsigned n = 0;
        QCOMPARE(UsbBridge::createDeviceInfoList(&n), UsbStatus(UsbOk));
        QCOMPARE(n, 1u);
        UsbBridge::setVidPid(0x0403, 0xFAC4);
        QCOMPARE(UsbBridge::createDeviceInfoList(&n), UsbStatus(UsbOk));
        QCOMPARE(n, 0u);
        char buf[8];
        QCOMPARE(UsbBridge::getDescription(0, buf, sizeof buf), UsbStatus(UsbDeviceNotFound));
        UsbBridge::setVidPid(0x0403, 0x6012);
        ZrSim::setDescription("ZE-Ziruv A");
        UsbBridge::createDeviceInfoList(&n);
        QCOMPARE(UsbBridge::getDescription(0, buf, sizeof buf), UsbStatus(UsbOk));
        QCOMPARE(QString(buf), QString("ZE-Ziru"));   // cut to the buffer, terminated
        QCOMPARE(UsbBridge::getDescription(-1, buf, sizeof buf), UsbStatus(UsbDeviceNotFound));
    }

    void staleAndForeignHandlesAreRejected()
    {
        QCOMPARE(UsbBridge::close(h), UsbStatus(UsbOk));
        unsigned rx = 7;
        QCOMPARE(UsbBridge::getQueueStatus(h, &rx), UsbStatus(UsbInvalidHandle));
        QCOMPARE(UsbBridge::close(h), UsbStatus(UsbInvalidHandle));
        QCOMPARE(UsbBridge::getQueueStatus(nullptr, &rx), UsbStatus(UsbInvalidHandle));
        QCOMPARE(UsbBridge::getQueueStatus(reinterpret_cast<UsbHandle>(0xdeadbeef), &rx),
                 UsbStatus(UsbInvalidHandle));
        QCOMPARE(UsbBridge::getQueueStatus(h, nullptr), UsbStatus(UsbInvalidParameter));
        h = openDevice();
        QVERIFY(h);
        ZrSim::reset();   // the reset closes the device: the old handle is stale
        QCOMPARE(UsbBridge::getQueueStatus(h, &rx), UsbStatus(UsbInvalidHandle));
        UsbHandle second = nullptr;
        QVERIFY(UsbBridge::openByDescription("ZE Ziruv", &second) == UsbDeviceNotFound);
    }

    void userAreaHoldsAnIdentityRecord()
    {
        unsigned size = 0, got = 0;
        QCOMPARE(UsbBridge::eeUserAreaSize(h, &size), UsbStatus(UsbOk));
        QCOMPARE(size, ZrSim::UserAreaSize);
        unsigned char rec[KR_CalRecordSize];
        QCOMPARE(UsbBridge::eeUserAreaRead(h, rec, sizeof rec, &got), UsbStatus(UsbOk));
        KR_Calibration cal;
        cal.ground[1][7] = 99;
        QVERIFY(KR_DecodeCalibration(rec, &cal));
        QCOMPARE(int(cal.ground[1][7]), 0);
        QCOMPARE(int(cal.gain[0][0]), 32768);
        rec[10] ^= 1;   // one flipped bit spoils the check word
        QVERIFY(!KR_DecodeCalibration(rec, nullptr));

        std::vector<uint8_t> big(size + 1, 0);
        QCOMPARE(UsbBridge::eeUserAreaRead(h, big.data(), size + 1, &got), UsbStatus(UsbInvalidParameter));
        QCOMPARE(UsbBridge::eeUserAreaWrite(h, big.data(), size + 1), UsbStatus(UsbInvalidParameter));
        const uint8_t data[3] = {1, 2, 3};
        QCOMPARE(UsbBridge::eeUserAreaWrite(h, data, 3), UsbStatus(UsbOk));
        QCOMPARE(ZrSim::eeprom()[2], uint8_t(3));
        QCOMPARE(ZrSim::eeprom()[3], rec[3]);   // the rest stays
    }

    void recordsAcrossWritesAndTheHandshake()
    {
        QCOMPARE(send(h, {KrWire::Mode, 3}), UsbStatus(UsbOk));   // half a record
        QCOMPARE(ZrSim::state().records, uint64_t(0));
        send(h, {0, 0, KrWire::Range, 7, 1, 0, 0x7F, 1, 2, 3});
        ZrSim::State st = ZrSim::state();
        QCOMPARE(int(st.channels), 3);
        QCOMPARE(int(st.rangeA), 7);
        QCOMPARE(st.unknownRecords, uint64_t(1));
        send(h, {KrWire::Clock, 0x12, 0x34, 0x56, KrWire::ClockX, 0x03, 0, 0});
        QCOMPARE(ZrSim::state().divider, 0x03123456u);

        send(h, {KrWire::Run, 0, 0, 0});
        ZrSim::advanceClock(1s);
        QVERIFY(queued(h) > 0);
        send(h, {KrWire::Sync, 'Z', 'R', 42});   // stops and answers alone
        ZrSim::advanceClock(1s);
        const std::vector<uint8_t> reply = drain(h);
        QCOMPARE(int(reply.size()), 4);
        QCOMPARE(reply[0], KrWire::SyncReply);
        QCOMPARE(reply[3], uint8_t(42));
        QVERIFY(!ZrSim::state().streaming);
        // RUN means nothing in block mode, ARM nothing in streaming mode.
        send(h, {KrWire::Arm, 0, 0, 0});
        QVERIFY(!ZrSim::state().armed);
        send(h, {KrWire::Mode, 3, 0, KrWire::FlagBlock, KrWire::Run, 0, 0, 0});
        QVERIFY(!ZrSim::state().streaming);
    }

    void streamBytesCarryChannelAndHalf()
    {
        ZrSim::Input in;
        in.shape = ZrSim::Input::Constant;
        in.offsetMv = 3.90625 * 300;   // +300 codes at range 4
        ZrSim::setInput(1, in);
        send(h, {KrWire::Mode, 2, 2, 0, KrWire::Range, 0, 4, 0, KrWire::Clock, 0, 0xEA, 0x5F,
                 KrWire::Run, 0, 0, 0});
        ZrSim::advanceClock(2ms);
        const std::vector<uint8_t> bytes = drain(h);
        QCOMPARE(int(bytes.size()), 4);
        const int code = 812;
        QCOMPARE(int(bytes[0]), 0x80 | 0x40 | (code >> 5));
        QCOMPARE(int(bytes[1]), 0x80 | 0x40 | 0x20 | (code & 0x1F));
    }

    void purgeLetsTheNextLossHaveItsMarker()
    {
        send(h, {KrWire::Mode, 3, 0, 0, KrWire::Run, 0, 0, 0});   // 60 MHz
        ZrSim::advanceClock(1ms);
        QCOMPARE(ZrSim::state().gapMarkers, uint64_t(1));
        QCOMPARE(UsbBridge::purge(h, UsbPurgeRx), UsbStatus(UsbOk));
        QCOMPARE(queued(h), 0u);
        ZrSim::advanceClock(1ms);
        const ZrSim::State st = ZrSim::state();
        QCOMPARE(st.gapMarkers, uint64_t(2));
        QVERIFY(st.queued < ZrSim::QueueCapacity);
    }

    void optionsOfTheEnvironment()
    {
        QVERIFY(ZrSim::applyOptions(" gap-every=2000 , ioerror-after=1.5s,disconnect-after=10s"));
        QVERIFY(!ZrSim::applyOptions("gap-every=often"));
        QVERIFY(!ZrSim::applyOptions("read-limit=-3"));
        QVERIFY(!ZrSim::applyOptions("ioerror-after=5h"));
        QVERIFY(!ZrSim::applyOptions("bogus"));
        QVERIFY(ZrSim::applyOptions(""));
        unsigned rx = 0;
        ZrSim::advanceClock(1400ms);
        QCOMPARE(UsbBridge::getQueueStatus(h, &rx), UsbStatus(UsbOk));
        ZrSim::advanceClock(200ms);
        QCOMPARE(UsbBridge::getQueueStatus(h, &rx), UsbStatus(UsbIoError));
        UsbBridge::close(h);   // the error ends with the handle
        h = openDevice();
        QCOMPARE(UsbBridge::getQueueStatus(h, &rx), UsbStatus(UsbOk));
        ZrSim::advanceClock(10s);
        QCOMPARE(UsbBridge::getQueueStatus(h, &rx), UsbStatus(UsbIoError));
        unsigned n = 9;
        UsbBridge::createDeviceInfoList(&n);
        QCOMPARE(n, 0u);
        QCOMPARE(UsbBridge::close(h), UsbStatus(UsbOk));
        QVERIFY(!openDevice());
        ZrSim::reset();
        UsbBridge::createDeviceInfoList(&n);
        QCOMPARE(n, 1u);
        h = openDevice();
        QVERIFY(h);
    }

    void resetRestoresDefaults()
    {
        ZrSim::Input in;
        in.shape = ZrSim::Input::Constant;
        ZrSim::setInput(0, in);
        ZrSim::setDescription("other");
        ZrSim::setPresent(false);
        ZrSim::setEeprom({});
        const auto before = ZrSim::now();
        ZrSim::reset();
        const ZrSim::State st = ZrSim::state();
        QVERIFY(st.present && st.connected && !st.open);
        QCOMPARE(int(ZrSim::input(0).shape), int(ZrSim::Input::Sine));
        QVERIFY(ZrSim::input(0).relativeToRange);
        QVERIFY(KR_DecodeCalibration(ZrSim::eeprom().data(), nullptr));
        ZrSim::advanceClock(1h);   // back on the real clock: manual steps do nothing
        QVERIFY(ZrSim::now() - before < 1h);
        h = openDevice();
        QVERIFY(h);
    }
};

ZR_TEST_GUILESS_MAIN(TestBridge)
#include "test_bridge.moc"
