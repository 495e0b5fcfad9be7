#include "ZrSim.h"

#include "KrDriver.h"
#include "UsbBridge.h"

#include <QDebug>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

using std::chrono::nanoseconds;
using std::chrono::steady_clock;

constexpr uint16_t kVendor = 0x0403;
constexpr uint16_t kProduct = 0x6012;
constexpr const char *kDescription = "ZE Ziruv A";
constexpr double kTwoPi = 6.283185307179586;

class Simulator final : public UsbBackend {
public:
    Simulator()
    {
        epoch = steady_clock::now();
        resetLocked();
        if (const char *env = std::getenv("ZR_SIM")) {
            if (*env && !applyLocked(env))
                qDebug() << "ZR_SIM: some items not understood in" << env;
        }
    }

    std::mutex m;

    // ---- UsbBackend ----
    std::vector<UsbDeviceInfo> enumerate() override
    {
        std::lock_guard<std::mutex> g(m);
        catchUp(nowNs());
        std::vector<UsbDeviceInfo> out;
        if (attached())
            out.push_back({kVendor, kProduct, description});
        return out;
    }

    UsbStatus open(const std::string &desc, uint64_t *s) override
    {
        std::lock_guard<std::mutex> g(m);
        const int64_t now = nowNs();
        catchUp(now);
        if (!attached() || desc != description)
            return UsbDeviceNotFound;
        if (session)
            return UsbDeviceNotOpened;
        session = nextSession++;
        *s = session;
        openedAt = now;
        ioError = false;
        broken = false;
        acq = Idle;
        queue.clear();
        inGap = false;
        partialLen = 0;
        return UsbOk;
    }

    UsbStatus close(uint64_t s) override
    {
        std::lock_guard<std::mutex> g(m);
        catchUp(nowNs());
        if (!s || s != session)
            return UsbInvalidHandle;
        session = 0;
        ioError = false;
        broken = false;
        acq = Idle;
        queue.clear();
        inGap = false;
        partialLen = 0;
        return UsbOk;
    }

    UsbStatus setTransferSizes(uint64_t s, unsigned in, unsigned out) override
    {
        std::lock_guard<std::mutex> g(m);
        const UsbStatus st = enter(s);
        if (st == UsbOk) {
            usbIn = in;
            usbOut = out;
        }
        return st;
    }

    UsbStatus setLatency(uint64_t s, unsigned char ms) override
    {
        std::lock_guard<std::mutex> g(m);
        const UsbStatus st = enter(s);
        if (st == UsbOk)
            latency = ms;
        return st;
    }

    UsbStatus purge(uint64_t s, unsigned mask) override
    {
        std::lock_guard<std::mutex> g(m);
        const UsbStatus st = enter(s);
        if (st != UsbOk)
            return st;
        if (mask & UsbPurgeRx) {
            queue.clear();
            inGap = false;   // a loss after this needs a marker of its own
        }
        if (mask & UsbPurgeTx)
            partialLen = 0;
        return UsbOk;
    }

    UsbStatus queueStatus(uint64_t s, unsigned *rx) override
    {
        std::lock_guard<std::mutex> g(m);
        const UsbStatus st = enter(s);
        *rx = st == UsbOk ? static_cast<unsigned>(queue.size()) : 0;
        return st;
    }

    UsbStatus read(uint64_t s, uint8_t *buf, unsigned n, unsigned *got) override
    {
        std::lock_guard<std::mutex> g(m);
        const UsbStatus st = enter(s);
        if (st != UsbOk)
            return st;
        size_t k = std::min<size_t>(n, queue.size());
        if (readLimit)
            k = std::min<size_t>(k, readLimit);
        if (k) {
            std::memcpy(buf, queue.data(), k);
            queue.erase(queue.begin(), queue.begin() + static_cast<std::ptrdiff_t>(k));
        }
        *got = static_cast<unsigned>(k);
        return UsbOk;
    }

    UsbStatus write(uint64_t s, const uint8_t *buf, unsigned n, unsigned *written) override
    {
        std::lock_guard<std::mutex> g(m);
        const int64_t now = nowNs();
        const UsbStatus st = enter(s, now);
        if (st != UsbOk)
            return st;
        *written = n;
        if (deaf)
            return UsbOk;
        for (unsigned i = 0; i < n; ++i) {
            partial[partialLen++] = buf[i];
            if (partialLen == 4) {
                partialLen = 0;
                record(partial, now);
            }
        }
        return UsbOk;
    }

    UsbStatus userAreaSize(uint64_t s, unsigned *size) override
    {
        std::lock_guard<std::mutex> g(m);
        const UsbStatus st = enter(s);
        if (st == UsbOk)
            *size = ZrSim::UserAreaSize;
        return st;
    }

    UsbStatus userAreaRead(uint64_t s, uint8_t *buf, unsigned n, unsigned *got) override
    {
        std::lock_guard<std::mutex> g(m);
        const UsbStatus st = enter(s);
        if (st != UsbOk)
            return st;
        if (n > ZrSim::UserAreaSize)
            return UsbInvalidParameter;
        std::memcpy(buf, ee.data(), n);
        *got = n;
        return UsbOk;
    }

    UsbStatus userAreaWrite(uint64_t s, const uint8_t *buf, unsigned n) override
    {
        std::lock_guard<std::mutex> g(m);
        const UsbStatus st = enter(s);
        if (st != UsbOk)
            return st;
        if (n > ZrSim::UserAreaSize)
            return UsbInvalidParameter;
        std::memcpy(ee.data(), buf, n);
        return UsbOk;
    }

    // ---- control (callers hold m) ----
    void resetLocked()
    {
        present = connected = true;
        description = kDescription;
        session = 0;
        ioError = broken = false;
        openedAt = 0;
        usbIn = usbOut = 4096;
        latency = 16;
        channels = dc = flags = rangeA = rangeB = afterDiv = 0;
        divider = 0;
        trigger = pulse = delay = extDac = 0;
        acq = Idle;
        acqStart = 0;
        instants = 0;
        inGap = false;
        queue.clear();
        queue.reserve(ZrSim::QueueCapacity);
        partialLen = 0;
        gapEvery = injectedGaps = 0;
        readLimit = 0;
        deaf = false;
        ioErrorAfter = disconnectAfter = 0;
        if (manual)
            epoch = steady_clock::now() - nanoseconds(manualNs);
        manual = false;
        manualNs = 0;
        inputs[0] = ZrSim::Input();
        inputs[0].shape = ZrSim::Input::Sine;
        inputs[0].amplitudeMv = 0.6;
        inputs[0].frequencyHz = 0.5;
        inputs[0].noiseMv = 0.004;
        inputs[0].relativeToRange = true;
        inputs[1] = ZrSim::Input();
        inputs[1].shape = ZrSim::Input::Triangle;
        inputs[1].amplitudeMv = 0.5;
        inputs[1].frequencyHz = 0.2;
        inputs[1].noiseMv = 0.004;
        inputs[1].relativeToRange = true;
        ee.assign(ZrSim::UserAreaSize, 0xFF);
        KR_EncodeCalibration(KR_Calibration(), ee.data());
        rng = 0x2545F491u;
        stats = ZrSim::State();
    }

    bool applyLocked(const std::string &options)
    {
        bool ok = true;
        size_t pos = 0;
        while (pos <= options.size()) {
            size_t end = options.find(',', pos);
            if (end == std::string::npos)
                end = options.size();
            std::string item = trim(options.substr(pos, end - pos));
            pos = end + 1;
            if (item.empty())
                continue;
            const size_t eq = item.find('=');
            const std::string key = trim(item.substr(0, eq));
            const std::string value = eq == std::string::npos ? std::string() : trim(item.substr(eq + 1));
            int64_t ns = 0;
            if (key == "off" && eq == std::string::npos) {
                setPresentLocked(false);
            } else if (key == "on" && eq == std::string::npos) {
                present = true;
            } else if (key == "gap-every" && !value.empty()) {
                char *e = nullptr;
                const unsigned long long n = std::strtoull(value.c_str(), &e, 10);
                if (*e || value[0] == '-')
                    ok = false;
                else
                    gapEvery = n;
            } else if (key == "read-limit" && !value.empty()) {
                char *e = nullptr;
                const unsigned long n = std::strtoul(value.c_str(), &e, 10);
                if (*e || value[0] == '-' || n > 0xFFFFFFFFul)
                    ok = false;
                else
                    readLimit = unsigned(n);
            } else if (key == "ioerror-after" && parseDuration(value, &ns)) {
                ioErrorAfter = ns;
            } else if (key == "disconnect-after" && parseDuration(value, &ns)) {
                disconnectAfter = ns;
            } else {
                ok = false;
            }
        }
        return ok;
    }

    void setPresentLocked(bool on)
    {
        if (!on)
            unplug();
        present = on;
    }

    // Takes the device off the bus: the open handle breaks, queued data is gone.
    void unplug()
    {
        if (session)
            broken = true;
        acq = Idle;
        queue.clear();
        inGap = false;
    }

    int64_t nowNs() const
    {
        if (manual)
            return manualNs;
        return std::chrono::duration_cast<nanoseconds>(steady_clock::now() - epoch).count();
    }

    bool attached() const { return present && connected; }

    // Everything due up to `now`, then whether the session may be used.
    UsbStatus enter(uint64_t s) { return enter(s, nowNs()); }
    UsbStatus enter(uint64_t s, int64_t now)
    {
        catchUp(now);
        if (!s || s != session)
            return UsbInvalidHandle;
        if (broken || ioError)
            return UsbIoError;
        return UsbOk;
    }

    void catchUp(int64_t now)
    {
        if (session && !broken) {
            if (!ioError && ioErrorAfter > 0 && now - openedAt >= ioErrorAfter)
                ioError = true;
            if (disconnectAfter > 0 && now - openedAt >= disconnectAfter) {
                connected = false;
                unplug();
            }
        }
        if (!attached() || ioError)
            return;
        if (acq == Streaming)
            stream(now);
        else if (acq == Armed && now - acqStart >= blockDurationNs())
            queueBlock();
    }

    // Clock period in ns is (divider + 1) * 1000 / 60; integer form avoids drift over hours.
    uint64_t instantsDue(int64_t now) const
    {
        if (now <= acqStart)
            return 0;
        const unsigned __int128 e = static_cast<unsigned __int128>(now - acqStart) * 60u;
        return static_cast<uint64_t>(e / (static_cast<unsigned __int128>(divider) + 1u) / 1000u);
    }
    int64_t blockDurationNs() const
    {
        const unsigned __int128 t = (static_cast<unsigned __int128>(divider) + 1u) * 1000u
                                    * KR_BlockSamples;
        return static_cast<int64_t>((t + 59) / 60);
    }
    double instantTimeNs(uint64_t k) const
    {
        return static_cast<double>(acqStart)
               + static_cast<double>(k + 1) * (static_cast<double>(divider) + 1.0) * 1000.0 / 60.0;
    }

    void stream(int64_t now)
    {
        const uint64_t due = instantsDue(now);
        const unsigned nch = (channels & 1) + ((channels >> 1) & 1);
        if (due <= instants || nch == 0)
            return;
        const size_t per = 2 * nch;
        while (instants < due) {
            bool forced = false;
            if (injectedGaps) {
                --injectedGaps;
                forced = true;
            } else if (gapEvery && (instants + 1) % gapEvery == 0) {
                forced = true;
            }
            if (!forced) {
                if (queue.size() + per + 1 <= ZrSim::QueueCapacity) {
                    pushInstant(instants);
                    ++stats.streamedInstants;
                    inGap = false;
                    ++instants;
                    continue;
                }
                // Full: nothing drains during a catch-up, so the rest is lost as well.
                lose(due - instants);
                instants = due;
                injectedGaps = 0;
                break;
            }
            lose(1);
            ++instants;
        }
    }

    void lose(uint64_t n)
    {
        stats.lostInstants += n;
        if (!inGap && queue.size() < ZrSim::QueueCapacity) {
            queue.push_back(KrWire::GapMarker);
            ++stats.gapMarkers;
            inGap = true;
        }
    }

    void pushInstant(uint64_t k)
    {
        const double t = instantTimeNs(k);
        for (int ch = 0; ch < 2; ++ch) {
            if (!(channels & (1 << ch)))
                continue;
            int code;
            if (flags & KrWire::FlagTest)
                code = ch == 0 ? int(k % 1024) : 1023 - int(k % 1024);
            else
                code = inputCode(ch, t);
            const uint8_t c = ch ? KrWire::ChannelBit : 0;
            queue.push_back(uint8_t(KrWire::SampleBit | c | (code >> 5)));
            queue.push_back(uint8_t(KrWire::SampleBit | c | KrWire::HalfBit | (code & 0x1F)));
        }
    }

    void queueBlock()
    {
        acq = Idle;
        if (queue.size() + KR_BlockBytes > ZrSim::QueueCapacity) {
            ++stats.droppedBlocks;
            return;
        }
        for (int k = 0; k < KR_BlockSamples; ++k) {
            const double t = instantTimeNs(static_cast<uint64_t>(k));
            for (int ch = 0; ch < 2; ++ch) {
                int v;
                if (flags & KrWire::FlagTest)
                    v = ch == 0 ? (k & 0xFF) : 255 - (k & 0xFF);
                else if (channels & (1 << ch))
                    v = inputCode(ch, t) >> 2;
                else
                    v = 0x80;
                queue.push_back(uint8_t(v));
            }
        }
        ++stats.blocks;
    }

    double uniform()   // -1..1
    {
        rng ^= rng << 13;
        rng ^= rng >> 17;
        rng ^= rng << 5;
        return static_cast<double>(rng) / 2147483647.5 - 1.0;
    }

    int inputCode(int ch, double tNs)
    {
        const ZrSim::Input &in = inputs[ch];
        const double mvPerBit = KR_MilliVoltsPerBit(ch ? rangeB : rangeA);
        const double scale = in.relativeToRange ? 512.0 * mvPerBit : 1.0;
        double phase = tNs * 1e-9 * in.frequencyHz;
        phase -= std::floor(phase);
        double v = 0.0;
        switch (in.shape) {
        case ZrSim::Input::Sine:
            v = in.amplitudeMv * scale * std::sin(kTwoPi * phase);
            break;
        case ZrSim::Input::Triangle:
            v = in.amplitudeMv * scale * (1.0 - 4.0 * std::fabs(phase - 0.5));
            break;
        case ZrSim::Input::Constant:
            break;
        case ZrSim::Input::Square:
            v = in.amplitudeMv * scale * (phase < 0.5 ? 1.0 : -1.0);
            break;
        }
        if (dc & (1 << ch))
            v += in.offsetMv * scale;
        if (in.noiseMv != 0.0)
            v += in.noiseMv * scale * uniform();
        const double code = std::round(512.0 + v / mvPerBit);
        return static_cast<int>(std::clamp(code, 0.0, 1023.0));
    }

    template <typename T> void configure(T &field, T value)
    {
        if (field != value) {
            field = value;
            acq = Idle;
        }
    }

    void record(const uint8_t r[4], int64_t now)
    {
        ++stats.records;
        switch (r[0]) {
        case KrWire::Sync:
            if (r[1] != 'Z' || r[2] != 'R') {
                ++stats.unknownRecords;
                break;
            }
            acq = Idle;
            inGap = false;
            queue.assign({KrWire::SyncReply, uint8_t('Z'), uint8_t('R'), r[3]});
            break;
        case KrWire::Mode:
            configure<uint8_t>(channels, r[1] & 3);
            configure<uint8_t>(dc, r[2] & 3);
            configure<uint8_t>(flags, r[3] & 7);
            break;
        case KrWire::Range:
            configure<uint8_t>(rangeA, r[1]);
            configure<uint8_t>(rangeB, r[2]);
            break;
        case KrWire::Clock:
            configure<uint32_t>(divider, (divider & 0xFF000000u) | uint32_t(r[1]) << 16
                                             | uint32_t(r[2]) << 8 | r[3]);
            break;
        case KrWire::ClockX:
            configure<uint32_t>(divider, (divider & 0x00FFFFFFu) | uint32_t(r[1]) << 24);
            configure<uint8_t>(afterDiv, r[2]);
            break;
        case KrWire::Trig:
            trigger = uint32_t(r[1]) << 16 | uint32_t(r[2]) << 8 | r[3];
            break;
        case KrWire::Pulse:
            pulse = uint32_t(r[1]) << 16 | uint32_t(r[2]) << 8 | r[3];
            break;
        case KrWire::Delay:
            delay = uint32_t(r[1]) << 16 | uint32_t(r[2]) << 8 | r[3];
            break;
        case KrWire::ExtDac:
            extDac = uint32_t(r[1]) << 8 | r[2];
            break;
        case KrWire::Arm:
            if ((flags & KrWire::FlagBlock) && channels && acq == Idle) {
                acq = Armed;
                acqStart = now;
            }
            break;
        case KrWire::Run:
            if (!(flags & KrWire::FlagBlock) && channels && acq != Streaming) {
                acq = Streaming;
                acqStart = now;
                instants = 0;
                inGap = false;
            }
            break;
        default:
            ++stats.unknownRecords;
            break;
        }
    }

    static std::string trim(const std::string &s)
    {
        const size_t b = s.find_first_not_of(" \t");
        if (b == std::string::npos)
            return std::string();
        const size_t e = s.find_last_not_of(" \t");
        return s.substr(b, e - b + 1);
    }

    static bool parseDuration(const std::string &text, int64_t *ns)
    {
        if (text.empty())
            return false;
        char *end = nullptr;
        const double v = std::strtod(text.c_str(), &end);
        if (end == text.c_str() || !(v >= 0.0) || v > 1e9)
            return false;
        const std::string unit = trim(end);
        double factor;
        if (unit.empty() || unit == "s")
            factor = 1e9;
        else if (unit == "ms")
            factor = 1e6;
        else if (unit == "min")
            factor = 60e9;
        else
            return false;
        *ns = static_cast<int64_t>(v * factor);
        return true;
    }

    enum Acq { Idle, Streaming, Armed };

    bool present = true, connected = true;
    std::string description;
    uint64_t session = 0, nextSession = 1;
    bool ioError = false, broken = false;
    int64_t openedAt = 0;
    unsigned usbIn = 0, usbOut = 0;
    unsigned char latency = 0;
    uint8_t channels = 0, dc = 0, flags = 0, rangeA = 0, rangeB = 0, afterDiv = 0;
    uint32_t divider = 0, trigger = 0, pulse = 0, delay = 0, extDac = 0;
    Acq acq = Idle;
    int64_t acqStart = 0;
    uint64_t instants = 0;
    bool inGap = false;
    std::vector<uint8_t> queue;
    uint8_t partial[4] = {};
    unsigned partialLen = 0;
    uint64_t gapEvery = 0, injectedGaps = 0;
    unsigned readLimit = 0;
    bool deaf = false;
    int64_t ioErrorAfter = 0, disconnectAfter = 0;
    bool manual = false;
    int64_t manualNs = 0;
    steady_clock::time_point epoch;
    ZrSim::Input inputs[2];
    std::vector<uint8_t> ee;
    uint32_t rng = 1;
    ZrSim::State stats;
};

Simulator &sim()
{
    static Simulator s;
    return s;
}

} // namespace

namespace ZrSim {

void reset()
{
    Simulator &s = sim();
    std::lock_guard<std::mutex> g(s.m);
    s.resetLocked();
}

bool applyOptions(const std::string &options)
{
    Simulator &s = sim();
    std::lock_guard<std::mutex> g(s.m);
    return s.applyLocked(options);
}

void useManualClock(bool manual)
{
    Simulator &s = sim();
    std::lock_guard<std::mutex> g(s.m);
    if (manual == s.manual)
        return;
    const int64_t now = s.nowNs();
    s.manual = manual;
    if (manual)
        s.manualNs = now;
    else
        s.epoch = steady_clock::now() - nanoseconds(now);
}

void advanceClock(std::chrono::nanoseconds dt)
{
    Simulator &s = sim();
    std::lock_guard<std::mutex> g(s.m);
    if (s.manual && dt.count() > 0)
        s.manualNs += dt.count();
}

std::chrono::nanoseconds now()
{
    Simulator &s = sim();
    std::lock_guard<std::mutex> g(s.m);
    return nanoseconds(s.nowNs());
}

void setPresent(bool on)
{
    Simulator &s = sim();
    std::lock_guard<std::mutex> g(s.m);
    s.setPresentLocked(on);
}

void setDescription(const std::string &description)
{
    Simulator &s = sim();
    std::lock_guard<std::mutex> g(s.m);
    s.description = description;
}

void setInput(int channel, const Input &in)
{
    Simulator &s = sim();
    std::lock_guard<std::mutex> g(s.m);
    s.catchUp(s.nowNs());   // samples already due keep the old input
    s.inputs[channel ? 1 : 0] = in;
}

Input input(int channel)
{
    Simulator &s = sim();
    std::lock_guard<std::mutex> g(s.m);
    return s.inputs[channel ? 1 : 0];
}

void injectGap()
{
    Simulator &s = sim();
    std::lock_guard<std::mutex> g(s.m);
    s.catchUp(s.nowNs());
    ++s.injectedGaps;
}

void setGapEvery(uint64_t n)
{
    Simulator &s = sim();
    std::lock_guard<std::mutex> g(s.m);
    s.catchUp(s.nowNs());
    s.gapEvery = n;
}

void injectIoError()
{
    Simulator &s = sim();
    std::lock_guard<std::mutex> g(s.m);
    s.catchUp(s.nowNs());
    if (s.session)
        s.ioError = true;
}

void setReadLimit(unsigned bytes)
{
    Simulator &s = sim();
    std::lock_guard<std::mutex> g(s.m);
    s.readLimit = bytes;
}

void setDeaf(bool on)
{
    Simulator &s = sim();
    std::lock_guard<std::mutex> g(s.m);
    s.deaf = on;
}

void setIoErrorAfter(std::chrono::nanoseconds t)
{
    Simulator &s = sim();
    std::lock_guard<std::mutex> g(s.m);
    s.ioErrorAfter = t.count() > 0 ? t.count() : 0;
}

void disconnect()
{
    Simulator &s = sim();
    std::lock_guard<std::mutex> g(s.m);
    s.catchUp(s.nowNs());
    s.connected = false;
    s.unplug();
}

void reconnect()
{
    Simulator &s = sim();
    std::lock_guard<std::mutex> g(s.m);
    s.connected = true;
}

void setDisconnectAfter(std::chrono::nanoseconds t)
{
    Simulator &s = sim();
    std::lock_guard<std::mutex> g(s.m);
    s.disconnectAfter = t.count() > 0 ? t.count() : 0;
}

std::vector<uint8_t> eeprom()
{
    Simulator &s = sim();
    std::lock_guard<std::mutex> g(s.m);
    return s.ee;
}

void setEeprom(const std::vector<uint8_t> &bytes)
{
    Simulator &s = sim();
    std::lock_guard<std::mutex> g(s.m);
    std::fill(s.ee.begin(), s.ee.end(), uint8_t(0xFF));
    std::copy_n(bytes.begin(), std::min<size_t>(bytes.size(), s.ee.size()), s.ee.begin());
}

State state()
{
    Simulator &s = sim();
    std::lock_guard<std::mutex> g(s.m);
    s.catchUp(s.nowNs());
    State st = s.stats;
    st.present = s.present;
    st.connected = s.connected;
    st.open = s.session != 0;
    st.ioError = s.ioError || s.broken;
    st.usbInSize = s.usbIn;
    st.usbOutSize = s.usbOut;
    st.latencyMs = s.latency;
    st.channels = s.channels;
    st.dcCoupling = s.dc;
    st.rangeA = s.rangeA;
    st.rangeB = s.rangeB;
    st.testMode = s.flags & KrWire::FlagTest;
    st.blockMode = s.flags & KrWire::FlagBlock;
    st.fastMode = s.flags & KrWire::FlagFast;
    st.divider = s.divider;
    st.streaming = s.acq == Simulator::Streaming;
    st.armed = s.acq == Simulator::Armed;
    st.queued = static_cast<unsigned>(s.queue.size());
    return st;
}

UsbBackend *backend()
{
    return &sim();
}

} // namespace ZrSim
