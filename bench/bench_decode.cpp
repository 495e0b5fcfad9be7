// Decoding the instrument's bytes: KR_ReadChannelData against a plain decoder of the same
// bytes, read from the simulated instrument and recorded on their way to the driver: a
// table look-up per 10-bit pair (two-channel logger stream near the queue bound, with the
// odd gap marker) or per 8-bit byte (full scope blocks), into arrays of the same size. The
// plain decoder checks nothing and keeps nothing between reads; the driver checks each
// pair's halves, pairs A with B and marks lost instants. The two alternate on each read,
// after a warm-up; the median of the repetitions' ratios counts. Goals: the stream within
// 2.5x (its checks and pairing are the extra work), the blocks within 1.5x; exits with 1
// when one is missed.
#include "KrDriver.h"
#include "UsbBridge.h"
#include "ZrSim.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

// The simulated instrument, with what the driver reads from it kept for the baseline.
class Recorder : public UsbBackend {
public:
    std::vector<uint8_t> bytes;

    std::vector<UsbDeviceInfo> enumerate() override { return sim()->enumerate(); }
    UsbStatus open(const std::string &d, uint64_t *s) override { return sim()->open(d, s); }
    UsbStatus close(uint64_t s) override { return sim()->close(s); }
    UsbStatus setTransferSizes(uint64_t s, unsigned i, unsigned o) override
    {
        return sim()->setTransferSizes(s, i, o);
    }
    UsbStatus setLatency(uint64_t s, unsigned char ms) override { return sim()->setLatency(s, ms); }
    UsbStatus purge(uint64_t s, unsigned m) override { return sim()->purge(s, m); }
    UsbStatus queueStatus(uint64_t s, unsigned *rx) override { return sim()->queueStatus(s, rx); }
    UsbStatus read(uint64_t s, uint8_t *buf, unsigned n, unsigned *got) override
    {
        const UsbStatus st = sim()->read(s, buf, n, got);
        if (st == UsbOk && got)
            bytes.assign(buf, buf + *got);
        return st;
    }
    UsbStatus write(uint64_t s, const uint8_t *buf, unsigned n, unsigned *w) override
    {
        return sim()->write(s, buf, n, w);
    }
    UsbStatus userAreaSize(uint64_t s, unsigned *size) override { return sim()->userAreaSize(s, size); }
    UsbStatus userAreaRead(uint64_t s, uint8_t *buf, unsigned n, unsigned *got) override
    {
        return sim()->userAreaRead(s, buf, n, got);
    }
    UsbStatus userAreaWrite(uint64_t s, const uint8_t *buf, unsigned n) override
    {
        return sim()->userAreaWrite(s, buf, n);
    }

private:
    static UsbBackend *sim() { return ZrSim::backend(); }
};

struct Tables {
    int lut[1024];
    int lut8[256];
    Tables()
    {
        for (int code = 0; code < 1024; ++code)
            lut[code] = code;
        for (int v = 0; v < 256; ++v)
            lut8[v] = lut[v << 2];
    }
};

// Stream: a byte with the sample bit and without the half bit starts a pair.
int PlainStream(const Tables &t, const uint8_t *p, int n, int *a, int *b)
{
    int na = 0, nb = 0;
    for (int i = 0; i + 1 < n;) {
        const uint8_t first = p[i];
        if ((first & (KrWire::SampleBit | KrWire::HalfBit)) != KrWire::SampleBit) {
            ++i;
            continue;
        }
        const int value = t.lut[(first & 0x1F) << 5 | (p[i + 1] & 0x1F)];
        if (first & KrWire::ChannelBit)
            b[nb++] = value;
        else
            a[na++] = value;
        i += 2;
    }
    return na + nb;
}

int PlainBlock(const Tables &t, const uint8_t *p, int n, int *a, int *b)
{
    int na = 0;
    for (int i = 0; i + 1 < n; i += 2, ++na) {
        a[na] = t.lut8[p[i]];
        b[na] = t.lut8[p[i + 1]];
    }
    return 2 * na;
}

struct Result {
    double decode = 0.0, plain = 0.0;
    long long bytes = 0, samples = 0, plainSamples = 0;
};

// One repetition: `buffers` reads, each decoded by the driver and by the plain loop.
Result Run(Recorder &rec, KR_HANDLE h, bool *portOpen, Scope_SetFeatures &f, int buffers,
           std::chrono::nanoseconds fill)
{
    static const Tables tables;
    static std::vector<int> a(KR_ReadBufferSize), b(KR_ReadBufferSize);
    Result r;
    volatile int sink = 0;
    for (int i = 0; i < buffers; ++i) {
        if (f.blockMode)
            KR_SetUpScope(h, portOpen, &f);
        ZrSim::advanceClock(fill);
        int n = 0, na = 0, nb = 0;
        if (!KR_ChkForData(&n, h, 1) || int(rec.bytes.size()) != n)
            continue;
        auto plain = [&] {
            const auto t0 = Clock::now();
            const int got = f.blockMode ? PlainBlock(tables, rec.bytes.data(), n, a.data(), b.data())
                                        : PlainStream(tables, rec.bytes.data(), n, a.data(), b.data());
            r.plain += seconds(Clock::now() - t0);
            r.plainSamples += got;
            sink = sink + a[0];
        };
        if (i % 2 == 1)
            plain();
        const auto t0 = Clock::now();
        KR_ReadChannelData(n, a.data(), b.data(), &na, &nb);
        r.decode += seconds(Clock::now() - t0);
        sink = sink + a[0];
        if (i % 2 == 0)
            plain();
        r.bytes += n;
        r.samples += na + nb;
    }
    (void)sink;
    return r;
}

double Report(const char *name, Recorder &rec, KR_HANDLE h, bool *portOpen, Scope_SetFeatures &f,
              int buffers, std::chrono::nanoseconds fill)
{
    Run(rec, h, portOpen, f, buffers / 4, fill);   // warm-up
    std::vector<double> ratios;
    for (int rep = 1; rep <= 5; ++rep) {
        const Result r = Run(rec, h, portOpen, f, buffers, fill);
        std::printf("%-14s rep %d %9lld bytes %9lld samples (plain %lld)  decode %7.1f MB/s  plain %7.1f MB/s"
                    "  ratio %5.2f\n",
                    name, rep, r.bytes, r.samples, r.plainSamples, r.bytes / r.decode / 1e6,
                    r.bytes / r.plain / 1e6, r.decode / r.plain);
        ratios.push_back(r.bytes > 0 ? r.decode / r.plain : 1e9);
    }
    std::sort(ratios.begin(), ratios.end());
    return ratios[ratios.size() / 2];
}

} // namespace

int main()
{
    Recorder recorder;
    UsbBridge::setBackend(&recorder);
    ZrSim::reset();
    ZrSim::useManualClock(true);
    ZrSim::setGapEvery(5000);
    KR_HANDLE h = nullptr;
    bool portOpen = false;

    Scope_SetFeatures logger;
    logger.channelsOn = 3;
    logger.dcCoupling = 3;
    logger.rangeA = logger.rangeB = 4;
    logger.clockDivider = 5999;   // 10 kHz: 1.5 s fills about 60000 bytes
    if (!KR_ScStartScope("ZE Ziruv A", &h, &portOpen, &logger)) {
        std::fprintf(stderr, "no instrument\n");
        return 1;
    }
    KR_SetUpLogger(h, &portOpen, &logger);
    std::printf("ratio = driver's decode time / plain decode time of the same bytes (lower is better)\n");
    const double stream = Report("stream 10-bit", recorder, h, &portOpen, logger, 200,
                                 std::chrono::milliseconds(1500));
    KR_closeport(h, &portOpen);

    Scope_SetFeatures scope = logger;
    scope.blockMode = 1;
    scope.clockDivider = 0;
    if (!KR_ScStartScope("ZE Ziruv A", &h, &portOpen, &scope)) {
        std::fprintf(stderr, "no instrument\n");
        return 1;
    }
    const double block = Report("block 8-bit", recorder, h, &portOpen, scope, 400, std::chrono::microseconds(200));
    KR_closeport(h, &portOpen);
    UsbBridge::setBackend(nullptr);

    constexpr double StreamGoal = 2.5, BlockGoal = 1.5;
    std::printf("stream 10-bit: ratio %.2f (goal <= %.1f) %s\n", stream, StreamGoal,
                stream <= StreamGoal ? "ok" : "MISSED");
    std::printf("block 8-bit:   ratio %.2f (goal <= %.1f) %s\n", block, BlockGoal, block <= BlockGoal ? "ok" : "MISSED");
    return stream <= StreamGoal && block <= BlockGoal ? 0 : 1;
}
