// Decode throughput of KR_ReadChannelData against a plain memcpy of the same bytes.
// Buffers come from the simulated instrument: a two-channel logger stream near the queue
// bound with the odd gap marker, and full scope blocks.
#include "KrDriver.h"
#include "UsbBridge.h"
#include "ZrSim.h"

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

struct Result {
    double decode = 0.0, copy = 0.0;
    long long bytes = 0, samples = 0;
};

// One repetition: `buffers` reads, each decoded (timed) and copied (timed).
Result run(KR_HANDLE h, bool *portOpen, Scope_SetFeatures &f, int buffers,
           std::chrono::nanoseconds fill)
{
    static std::vector<int> a(KR_ReadBufferSize), b(KR_ReadBufferSize);
    static std::vector<unsigned char> src(KR_ReadBufferSize, 0x95), dst(KR_ReadBufferSize);
    Result r;
    volatile unsigned sink = 0;
    for (int i = 0; i < buffers; ++i) {
        if (f.blockMode)
            KR_SetUpScope(h, portOpen, &f);
        ZrSim::advanceClock(fill);
        int n = 0, na = 0, nb = 0;
        if (!KR_ChkForData(&n, h, 1))
            continue;
        const auto t0 = Clock::now();
        KR_ReadChannelData(n, a.data(), b.data(), &na, &nb);
        const auto t1 = Clock::now();
        std::memcpy(dst.data(), src.data(), size_t(n));
        sink = sink + dst[size_t(n) / 2];
        const auto t2 = Clock::now();
        r.decode += seconds(t1 - t0);
        r.copy += seconds(t2 - t1);
        r.bytes += n;
        r.samples += na + nb;
    }
    (void)sink;
    return r;
}

void report(const char *name, const Result &r)
{
    std::printf("%-28s %9lld bytes %9lld samples  decode %7.1f MB/s  memcpy %8.1f MB/s  ratio %6.1f\n",
                name, r.bytes, r.samples, r.bytes / r.decode / 1e6, r.bytes / r.copy / 1e6,
                r.decode / r.copy);
}

} // namespace

int main()
{
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
    std::printf("ratio = decode time / memcpy time for the same byte count (lower is better)\n");
    for (int rep = 1; rep <= 5; ++rep) {
        char name[64];
        std::snprintf(name, sizeof name, "stream 10-bit, rep %d", rep);
        report(name, run(h, &portOpen, logger, 200, std::chrono::milliseconds(1500)));
    }
    KR_closeport(h, &portOpen);

    Scope_SetFeatures scope = logger;
    scope.blockMode = 1;
    scope.clockDivider = 0;
    if (!KR_ScStartScope("ZE Ziruv A", &h, &portOpen, &scope))
        return 1;
    for (int rep = 1; rep <= 5; ++rep) {
        char name[64];
        std::snprintf(name, sizeof name, "block 8-bit, rep %d", rep);
        report(name, run(h, &portOpen, scope, 400, std::chrono::microseconds(200)));
    }
    KR_closeport(h, &portOpen);
    return 0;
}
