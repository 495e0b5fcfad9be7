#include "KrDriver.h"

#include "UsbBridge.h"

#include <QDebug>
#include <QLoggingCategory>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <unistd.h>

// Written by the scope front panel and by HWIFWrapper::StartLoggerHW; read by the set-up
// calls when they are given no record.
Scope_SetFeatures *globalSetFeaturesPtr = nullptr;
// Set here on an I/O error status; cleared by the caller that handled it.
bool isIOError = false;
// Gap markers decoded; reset by the caller at the start of a run.
int missedA = 0;
int missedB = 0;
// Set by KR_SetUpLogger (range alone) and KR_SetUpScope (range and x10 probe).
double shw_milliVoltsPerBitA = 0.1953125;
double shw_milliVoltsPerBitB = 0.1953125;

// Failures the caller reports in its own words; the details only when asked for
// (QT_LOGGING_RULES="zr.driver.debug=true").
Q_LOGGING_CATEGORY(lcDriver, "zr.driver", QtInfoMsg)

namespace {

// What the driver keeps between calls. The callers already take turns (the logger's first
// fetch runs in its poll thread, everything else in the GUI thread); the lock only makes
// sure two calls never interleave inside it.
struct DriverState {
    std::mutex lock;
    uint8_t buf[KR_ReadBufferSize];
    int filled = 0;          // bytes of the last read not yet decoded
    int pendingHalf = -1;    // streaming: a first half waiting for its partner
    int pairA = -1;          // streaming, both channels: an A code waiting for its B
    int pendingA = -1;       // block mode: an A byte waiting for its B byte
    // The set-up last sent, which is what the instrument sends now.
    bool blockMode = false;
    uint8_t channels = 0, dcCoupling = 0, flags = 0, rangeA = 0, rangeB = 0;
    KR_Calibration cal;
    int lut[2][1024];        // raw 10-bit code -> corrected code, per channel
    int lut8[2][256];        // raw 8-bit block code -> widened, corrected code
    uint8_t token = 0;

    DriverState() { rebuildTables(); }

    void rebuildTables()
    {
        for (int ch = 0; ch < 2; ++ch) {
            const int range = ch ? rangeB : rangeA;
            double ground = 0.0, gain = 1.0;
            if (range < 8) {
                ground = cal.ground[ch][range] / 16.0;
                gain = cal.gain[ch][range] / 32768.0;
            }
            for (int code = 0; code < 1024; ++code) {
                const double v = std::round(512.0 + (code - 512 - ground) * gain);
                lut[ch][code] = static_cast<int>(std::clamp(v, 0.0, 1023.0));
            }
            for (int v = 0; v < 256; ++v)
                lut8[ch][v] = lut[ch][v << 2];
        }
    }

    void resetStream()
    {
        filled = 0;
        pendingHalf = -1;
        pendingA = -1;
        pairA = -1;
    }
};

DriverState &drv()
{
    static DriverState d;
    return d;
}

bool isOpen(const bool *portOpen)
{
    return portOpen && *portOpen;
}

uint32_t sat(uint32_t v, uint32_t max)
{
    return v > max ? max : v;
}

bool checked(UsbStatus st, const char *what, bool flagIoError = true)
{
    if (st == UsbOk)
        return true;
    qCDebug(lcDriver) << "KrDriver:" << what << "failed, status" << st;
    if (st == UsbIoError && flagIoError)
        isIOError = true;
    return false;
}

bool sendRecords(UsbHandle h, const uint8_t *records, unsigned count, bool flagIoError = true)
{
    unsigned written = 0;
    const UsbStatus st = UsbBridge::write(h, records, count * 4, &written);
    if (!checked(st, "write", flagIoError))
        return false;
    if (written != count * 4) {
        qCDebug(lcDriver) << "KrDriver: short write" << written << "of" << count * 4;
        return false;
    }
    return true;
}

// Remembers what the instrument now sends; a different stream starts with no carry-over.
void applySetup(DriverState &d, bool block, uint8_t channels, uint8_t dc, uint8_t flags,
                uint8_t rangeA, uint8_t rangeB)
{
    if (block != d.blockMode || channels != d.channels) {
        d.pendingHalf = -1;
        d.pendingA = -1;
        d.pairA = -1;
    }
    const bool ranges = rangeA != d.rangeA || rangeB != d.rangeB;
    d.blockMode = block;
    d.channels = channels;
    d.dcCoupling = dc;
    d.flags = flags;
    d.rangeA = rangeA;
    d.rangeB = rangeB;
    if (ranges)
        d.rebuildTables();
}

bool syncLocked(DriverState &d, UsbHandle h, bool flagIoError)
{
    if (!checked(UsbBridge::purge(h, UsbPurgeRx | UsbPurgeTx), "purge", flagIoError))
        return false;
    d.resetStream();
    const uint8_t token = ++d.token;
    const uint8_t rec[4] = {KrWire::Sync, 'Z', 'R', token};
    if (!sendRecords(h, rec, 1, flagIoError))
        return false;
    // The reply follows at once; a real device may take a few USB frames.
    for (int attempt = 0; attempt < 50; ++attempt) {
        unsigned rx = 0;
        if (!checked(UsbBridge::getQueueStatus(h, &rx), "queue status", flagIoError))
            return false;
        if (rx >= 4) {
            unsigned got = 0;
            const unsigned want = std::min<unsigned>(rx, KR_ReadBufferSize);
            if (!checked(UsbBridge::read(h, d.buf, want, &got), "read", flagIoError))
                return false;
            const uint8_t *r = d.buf + (got >= 4 ? got - 4 : 0);
            if (got >= 4 && r[0] == KrWire::SyncReply && r[1] == 'Z' && r[2] == 'R'
                && r[3] == token)
                return true;
        }
        usleep(2000);
    }
    qCDebug(lcDriver) << "KrDriver: no answer to the handshake";
    return false;
}

bool loadCalibrationLocked(DriverState &d, UsbHandle h, KR_Calibration *out)
{
    KR_Calibration cal;
    bool ok = false;
    unsigned size = 0, got = 0;
    unsigned char rec[KR_CalRecordSize];
    if (checked(UsbBridge::eeUserAreaSize(h, &size), "user area size", false)
        && size >= KR_CalRecordSize
        && checked(UsbBridge::eeUserAreaRead(h, rec, KR_CalRecordSize, &got), "user area read", false)
        && got == KR_CalRecordSize) {
        ok = KR_DecodeCalibration(rec, &cal);
        if (!ok)
            qCDebug(lcDriver) << "KrDriver: no valid calibration record, no correction applied";
    }
    d.cal = cal;
    d.rebuildTables();
    if (out)
        *out = cal;
    return ok;
}

void sendScopeSetupLocked(DriverState &d, UsbHandle h, const Scope_SetFeatures &f)
{
    const bool block = f.blockMode != 0;
    const uint8_t channels = f.channelsOn & 3, dc = f.dcCoupling & 3;
    const uint8_t flags = (f.testMode ? KrWire::FlagTest : 0) | (block ? KrWire::FlagBlock : 0)
                          | (f.fastMode ? KrWire::FlagFast : 0);
    const uint32_t div = f.clockDivider;
    const double lvl = std::isfinite(f.triggerLevel) ? f.triggerLevel : 0.0;
    const uint32_t level = static_cast<uint32_t>(std::lround(std::clamp(lvl, 0.0, 1023.0)));
    const uint32_t pulse = sat(f.pulseWidth, 0xFFFFFF), delay = sat(f.triggerDelay, 0xFFFFFF);
    const uint32_t dac = sat(f.extTriggerDac, 0xFFFF);
    const uint8_t recs[] = {
        KrWire::Mode, channels, dc, flags,
        KrWire::Range, f.rangeA, f.rangeB, 0,
        KrWire::Clock, uint8_t(div >> 16), uint8_t(div >> 8), uint8_t(div),
        KrWire::ClockX, uint8_t(div >> 24), f.afterDivider, 0,
        KrWire::Trig, uint8_t((f.triggerChannel & 0x0F) | (f.triggerType & 0x0F) << 4),
        uint8_t(level >> 8), uint8_t(level),
        KrWire::Pulse, uint8_t(pulse >> 16), uint8_t(pulse >> 8), uint8_t(pulse),
        KrWire::Delay, uint8_t(delay >> 16), uint8_t(delay >> 8), uint8_t(delay),
        KrWire::ExtDac, uint8_t(dac >> 8), uint8_t(dac), 0,
        KrWire::Arm, 0, 0, 0};
    const unsigned count = sizeof(recs) / 4 - (block ? 0 : 1);
    sendRecords(h, recs, count);
    applySetup(d, block, channels, dc, flags, f.rangeA, f.rangeB);
    shw_milliVoltsPerBitA = KR_MilliVoltsPerBit(f.rangeA) * (f.x10A ? 10.0 : 1.0);
    shw_milliVoltsPerBitB = KR_MilliVoltsPerBit(f.rangeB) * (f.x10B ? 10.0 : 1.0);
}

const Scope_SetFeatures *recordOr(const Scope_SetFeatures *f)
{
    return f ? f : globalSetFeaturesPtr;
}

// Streaming: pairs of halves as documented in KrDriver.h. With both channels on, the
// codes leave in whole instants (A with the B that follows it): an A whose B is still in
// the next read waits for it, so that entry i of both arrays is always one instant, however
// the reads are cut. A channel that is off gets nothing, gap markers included.
// Per array, each entry takes at least one input byte, apart from one A carried in from
// the call before: the arrays need at most the bytes decoded plus one.
struct StreamSink {
    DriverState &d;
    int *outA, *outB;
    int &na, &nb;
    int lostA = 0, lostB = 0;   // entries marked missed, per channel
    bool onA, onB;

    void missedPair()
    {
        outA[na++] = KR_MissedCode;
        outB[nb++] = KR_MissedCode;
        ++lostA;
        ++lostB;
    }
    // An A left without its B (the B was lost in transit): the instant keeps its row.
    void flushPair()
    {
        if (d.pairA < 0)
            return;
        outA[na++] = d.pairA;
        outB[nb++] = KR_MissedCode;
        ++lostB;
        d.pairA = -1;
    }
    void code(bool channelB, int value)
    {
        if (!(onA && onB)) {
            // A code of a channel that is off is none of ours (noise): dropped.
            if (channelB && onB)
                outB[nb++] = value;
            else if (!channelB && onA)
                outA[na++] = value;
            return;
        }
        if (!channelB) {
            flushPair();
            d.pairA = value;
        } else if (d.pairA >= 0) {
            outA[na++] = d.pairA;
            outB[nb++] = value;
            d.pairA = -1;
        } else {   // a B whose A was lost in transit
            outA[na++] = KR_MissedCode;
            ++lostA;
            outB[nb++] = value;
        }
    }
    void gap()
    {
        if (onA && onB) {
            flushPair();
            missedPair();
        } else if (onA) {
            outA[na++] = KR_MissedCode;
            ++lostA;
        } else {
            outB[nb++] = KR_MissedCode;
            ++lostB;
        }
    }
};

void decodeStream(DriverState &d, const uint8_t *p, int n, int *outA, int *outB, int &na,
                  int &nb, int &lostA, int &lostB)
{
    const int *lutA = d.lut[0];
    const int *lutB = d.lut[1];
    StreamSink sink{d, outA, outB, na, nb, 0, 0, (d.channels & 1) != 0, (d.channels & 2) != 0};
    if (!sink.onA && !sink.onB)
        sink.onA = sink.onB = true;   // no set-up known: decode both as they come
    // A first half b and the byte c after it: one code when c is b's second half.
    auto takePair = [&](uint8_t b, uint8_t c) {
        if ((c & 0xE0) != ((b & 0xE0) | KrWire::HalfBit))
            return false;
        const int code = (b & 0x1F) << 5 | (c & 0x1F);
        const bool chB = b & KrWire::ChannelBit;
        sink.code(chB, chB ? lutB[code] : lutA[code]);
        return true;
    };
    int i = 0;
    if (d.pendingHalf >= 0 && n > 0) {
        const uint8_t b = uint8_t(d.pendingHalf);
        d.pendingHalf = -1;
        if (takePair(b, p[0]))
            i = 1;
    }
    while (i < n) {
        const uint8_t b = p[i];
        if ((b & (KrWire::SampleBit | KrWire::HalfBit)) == KrWire::SampleBit) {
            if (i + 1 == n) {
                d.pendingHalf = b;
                break;
            }
            if (takePair(b, p[i + 1]))
                i += 2;
            else
                ++i;   // a first half without its second: dropped
        } else {
            if (b == KrWire::GapMarker)
                sink.gap();
            ++i;   // a stray second half or noise
        }
    }
    lostA = sink.lostA;
    lostB = sink.lostB;
}

void decodeBlock(DriverState &d, const uint8_t *p, int n, int *outA, int *outB, int &na, int &nb)
{
    const bool onA = d.channels & 1, onB = d.channels & 2;
    const int *lutA = d.lut8[0];
    const int *lutB = d.lut8[1];
    int i = 0;
    if (d.pendingA >= 0 && n > 0) {
        if (onA)
            outA[na++] = lutA[d.pendingA];
        if (onB)
            outB[nb++] = lutB[p[0]];
        d.pendingA = -1;
        i = 1;
    }
    if (onA && onB) {
        for (; i + 1 < n; i += 2) {
            outA[na++] = lutA[p[i]];
            outB[nb++] = lutB[p[i + 1]];
        }
    } else if (onA) {
        for (; i + 1 < n; i += 2)
            outA[na++] = lutA[p[i]];
    } else if (onB) {
        for (; i + 1 < n; i += 2)
            outB[nb++] = lutB[p[i + 1]];
    } else {
        i += (n - i) & ~1;
    }
    if (i < n)
        d.pendingA = p[i];
}

} // namespace

KR_Calibration::KR_Calibration()
{
    for (int ch = 0; ch < 2; ++ch)
        for (int r = 0; r < 8; ++r) {
            ground[ch][r] = 0;
            gain[ch][r] = 32768;
        }
}

void KR_EncodeCalibration(const KR_Calibration &cal, unsigned char out[KR_CalRecordSize])
{
    for (int ch = 0; ch < 2; ++ch)
        for (int r = 0; r < 8; ++r) {
            const int i = (ch * 8 + r) * 2;
            const uint16_t g = static_cast<uint16_t>(cal.ground[ch][r]);
            out[i] = uint8_t(g);
            out[i + 1] = uint8_t(g >> 8);
            out[32 + i] = uint8_t(cal.gain[ch][r]);
            out[32 + i + 1] = uint8_t(cal.gain[ch][r] >> 8);
        }
    unsigned sum = 0x5A5A;
    for (int i = 0; i < 64; ++i)
        sum += out[i];
    out[64] = uint8_t(sum);
    out[65] = uint8_t(sum >> 8);
}

bool KR_DecodeCalibration(const unsigned char in[KR_CalRecordSize], KR_Calibration *cal)
{
    unsigned sum = 0x5A5A;
    for (int i = 0; i < 64; ++i)
        sum += in[i];
    if ((sum & 0xFFFF) != (unsigned(in[64]) | unsigned(in[65]) << 8))
        return false;
    if (!cal)
        return true;
    for (int ch = 0; ch < 2; ++ch)
        for (int r = 0; r < 8; ++r) {
            const int i = (ch * 8 + r) * 2;
            cal->ground[ch][r] = static_cast<short>(uint16_t(in[i] | in[i + 1] << 8));
            cal->gain[ch][r] = static_cast<unsigned short>(in[32 + i] | in[32 + i + 1] << 8);
        }
    return true;
}

double KR_MilliVoltsPerBit(int rangeIndex)
{
    static const double table[8] = {0.1953125, 0.390625, 0.9765625, 1.953125,
                                    3.90625,   9.765625, 19.53125,  39.0625};
    return rangeIndex >= 0 && rangeIndex < 8 ? table[rangeIndex] : 156.25;
}

unsigned long GetNumDevices(unsigned int *count)
{
    if (!count)
        return UsbInvalidParameter;
    UsbStatus st = UsbBridge::setVidPid(0x0403, 0x6012);
    if (st == UsbOk)
        st = UsbBridge::createDeviceInfoList(count);
    if (st != UsbOk)
        qCDebug(lcDriver) << "KrDriver: device list failed, status" << st;
    return st;
}

unsigned long GetDeviceDescription(int index, char *description)
{
    if (!description)
        return UsbInvalidParameter;
    char text[64];
    const UsbStatus st = UsbBridge::getDescription(index, text, sizeof text);
    if (st == UsbOk)
        std::memcpy(description, text, std::strlen(text) + 1);
    return st;
}

bool KR_ScStartScope(const char *description, KR_HANDLE *handle, bool *portOpen,
                     Scope_SetFeatures *features)
{
    if (!description || !handle || !portOpen)
        return false;
    const Scope_SetFeatures defaults;
    const Scope_SetFeatures *f = recordOr(features);
    if (!f)
        f = &defaults;
    DriverState &d = drv();
    std::lock_guard<std::mutex> g(d.lock);
    UsbHandle h = nullptr;
    if (!checked(UsbBridge::openByDescription(description, &h), "open", false))
        return false;
    const bool block = f->blockMode != 0;
    const unsigned transfer = block ? 32768 : 16384;
    const bool ok = checked(UsbBridge::setUsbParameters(h, transfer, transfer), "transfer size", false)
                    && checked(UsbBridge::setLatencyTimer(h, block ? 16 : 8), "latency", false)
                    && syncLocked(d, h, false);
    if (!ok) {
        // A start that failed leaves nothing open behind it.
        UsbBridge::close(h);
        d.resetStream();
        return false;
    }
    *handle = h;
    *portOpen = true;
    loadCalibrationLocked(d, h, nullptr);
    sendScopeSetupLocked(d, h, *f);
    return true;
}

void KR_SetUpLogger(KR_HANDLE handle, bool *portOpen, Scope_SetFeatures *features)
{
    const Scope_SetFeatures *f = recordOr(features);
    if (!isOpen(portOpen) || !f)
        return;
    DriverState &d = drv();
    std::lock_guard<std::mutex> g(d.lock);
    const uint8_t channels = f->channelsOn & 3, dc = f->dcCoupling & 3;
    const uint8_t flags = f->testMode ? KrWire::FlagTest : 0;
    const uint32_t div = f->clockDivider;
    const uint8_t recs[] = {
        KrWire::Mode, channels, dc, flags,
        KrWire::Range, f->rangeA, f->rangeB, 0,
        KrWire::Clock, uint8_t(div >> 16), uint8_t(div >> 8), uint8_t(div),
        KrWire::ClockX, uint8_t(div >> 24), f->afterDivider, 0};
    const uint8_t run[] = {KrWire::Run, 0, 0, 0};
    // Whatever the old set-up queued must not reach the new stream.
    if (sendRecords(handle, recs, 4) && checked(UsbBridge::purge(handle, UsbPurgeRx), "purge"))
        sendRecords(handle, run, 1);
    applySetup(d, false, channels, dc, flags, f->rangeA, f->rangeB);
    d.resetStream();
    shw_milliVoltsPerBitA = KR_MilliVoltsPerBit(f->rangeA);
    shw_milliVoltsPerBitB = KR_MilliVoltsPerBit(f->rangeB);
}

bool KR_SyncToScope(KR_HANDLE handle, bool *portOpen)
{
    if (!isOpen(portOpen))
        return false;
    DriverState &d = drv();
    std::lock_guard<std::mutex> g(d.lock);
    return syncLocked(d, handle, true);
}

void KR_SetUpScope(KR_HANDLE handle, bool *portOpen, Scope_SetFeatures *features)
{
    const Scope_SetFeatures *f = recordOr(features);
    if (!isOpen(portOpen) || !f)
        return;
    DriverState &d = drv();
    std::lock_guard<std::mutex> g(d.lock);
    sendScopeSetupLocked(d, handle, *f);
}

bool KR_ChkForData(int *bytesRead, KR_HANDLE handle, int minimumBytes)
{
    if (!bytesRead)
        return false;
    *bytesRead = 0;
    DriverState &d = drv();
    std::lock_guard<std::mutex> g(d.lock);
    unsigned rx = 0;
    UsbStatus st = UsbBridge::getQueueStatus(handle, &rx);
    if (st == UsbInvalidHandle)
        return false;   // port closed: nothing to say
    if (!checked(st, "queue status"))
        return false;
    if (rx < static_cast<unsigned>(std::max(minimumBytes, 1)))
        return false;
    unsigned got = 0;
    // One byte short of the decode arrays: an A code carried from the read before adds
    // one entry that this read's bytes do not account for.
    st = UsbBridge::read(handle, d.buf, std::min<unsigned>(rx, KR_ReadBufferSize - 1), &got);
    if (!checked(st, "read"))
        return false;
    d.filled = static_cast<int>(got);
    *bytesRead = d.filled;
    return got > 0;
}

void KR_ReadChannelData(int bytesRead, int *chanA, int *chanB, int *sizeA, int *sizeB)
{
    int na = 0, nb = 0;
    if (chanA && chanB) {
        DriverState &d = drv();
        std::lock_guard<std::mutex> g(d.lock);
        const int n = std::clamp(bytesRead, 0, d.filled);
        if (d.blockMode) {
            decodeBlock(d, d.buf, n, chanA, chanB, na, nb);
        } else {
            int lostA = 0, lostB = 0;
            decodeStream(d, d.buf, n, chanA, chanB, na, nb, lostA, lostB);
            missedA += lostA;
            missedB += lostB;
        }
        d.filled = 0;   // decoded once only
    }
    if (sizeA)
        *sizeA = na;
    if (sizeB)
        *sizeB = nb;
}

bool KR_closeport(KR_HANDLE handle, bool *portOpen)
{
    if (!isOpen(portOpen))
        return false;
    DriverState &d = drv();
    std::lock_guard<std::mutex> g(d.lock);
    // Both channels off first; a vanished device cannot hear it, but must still be closed.
    const uint8_t off[4] = {KrWire::Mode, 0, d.dcCoupling, d.flags};
    sendRecords(handle, off, 1, false);
    if (!checked(UsbBridge::close(handle), "close", false))
        return false;
    *portOpen = false;
    d.resetStream();
    return true;
}

bool KR_LoadCalibration(KR_HANDLE handle, bool *portOpen, KR_Calibration *cal)
{
    if (!isOpen(portOpen))
        return false;
    DriverState &d = drv();
    std::lock_guard<std::mutex> g(d.lock);
    return loadCalibrationLocked(d, handle, cal);
}

bool KR_WriteCalibration(KR_HANDLE handle, bool *portOpen, const KR_Calibration &cal)
{
    if (!isOpen(portOpen))
        return false;
    DriverState &d = drv();
    std::lock_guard<std::mutex> g(d.lock);
    unsigned char rec[KR_CalRecordSize];
    KR_EncodeCalibration(cal, rec);
    if (!checked(UsbBridge::eeUserAreaWrite(handle, rec, KR_CalRecordSize), "user area write"))
        return false;
    d.cal = cal;
    d.rebuildTables();
    return true;
}
