#include "HWIFWrapper.h"
#include "LogCategories.h"

#include "Utility.h"

#include <QByteArray>
#include <QDebug>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace {
const char *const DescriptionDash = "ZE-Ziruv A";
const char *const DescriptionSpace = "ZE Ziruv A";
}

HWIFWrapper::HWIFWrapper()
{
    std::fill(std::begin(rawA), std::end(rawA), 0);
    std::fill(std::begin(rawB), std::end(rawB), 0);
}

HWIFWrapper::HWIFWrapper(ConfigSettings *cfg) : HWIFWrapper()
{
    config = cfg;
    handle = nullptr;
    portOpen = false;
    started = false;
}

HWIFWrapper::~HWIFWrapper()
{
    settings = nullptr;
}

int HWIFWrapper::StartLoggerHW(Scope_SetFeatures *features)
{
    deviceDescription.clear();
    missedA = 0;
    missedB = 0;
    // An error of the run before, whose stop was already done by the user, must not stop
    // this one at its first fetch without data.
    isIOError = false;
    settings = features;

    unsigned int count = 0;
    if (GetNumDevices(&count) != 0)
        return 1;

    for (unsigned int i = 0; i < count; ++i) {
        char description[256];
        std::memset(description, 0, sizeof description);
        if (GetDeviceDescription(int(i), description) != 0)
            continue;
        if (std::strcmp(description, DescriptionDash) == 0 || std::strcmp(description, DescriptionSpace) == 0) {
            deviceDescription = QString::fromUtf8(description);
            break;
        }
    }
    if (deviceDescription.isEmpty())
        return 1;

    const QByteArray name = deviceDescription.toUtf8();
    int result = 1;
    if (KR_ScStartScope(name.constData(), &handle, &portOpen, features)) {
        started = true;
        result = 0;
    }
    // Sends nothing when the open failed; the pointer is set either way so that every
    // later decode uses the logger's record.
    KR_SetUpLogger(handle, &portOpen, features);
    globalSetFeaturesPtr = features;
    return result;
}

int HWIFWrapper::StopLoggerHW()
{
    if (!KR_closeport(handle, &portOpen))
        return 1;
    started = false;
    return 0;
}

int HWIFWrapper::DiscardData()
{
    discardedInstants = 0;
    int bytes = 0;
    if (!KR_ChkForData(&bytes, handle, 1))
        return 1;
    int sizeA = 0, sizeB = 0;
    KR_ReadChannelData(std::min(bytes, RawBufferSize), rawA, rawB, &sizeA, &sizeB);
    discardedInstants = std::max(sizeA, sizeB);
    if (sizeA > 0)
        return 0;
    return sizeB > 0 ? 0 : 1;
}

int HWIFWrapper::FetchData(int readCount, int minimumBytes, LoggerData *run, int /*unused*/)
{
    if (!run)
        return 1;
    if (!KR_ChkForData(&readCount, handle, minimumBytes)) {
        qCDebug(lcFetch) << "KR_ChkForData Failed!";
        return 1;
    }
    // A read may end early (one USB packet, even inside an instant): reading on until the
    // queue is empty keeps a fetch taking what a poll period brought, so that short reads
    // cannot let the instrument's queue overflow. Bounded, as samples keep arriving.
    int result = 1;
    for (int read = 0; read < MaxReadsPerFetch; ++read) {
        if (read > 0 && !KR_ChkForData(&readCount, handle, 1))
            break;
        // The driver never reads more than the receive queue holds, which is below our buffers.
        readCount = std::min(readCount, RawBufferSize);
        int sizeA = 0, sizeB = 0;
        KR_ReadChannelData(readCount, rawA, rawB, &sizeA, &sizeB);
        qCDebug(lcFetch) << "Channel A data size: " << sizeA;
        qCDebug(lcFetch) << "Channel B data size: " << sizeB;
        if (AppendBlock(rawA, sizeA, rawB, sizeB, run) == 0)
            result = 0;
    }
    return result;
}

bool HWIFWrapper::SamplesFasterThan(double intervalMs) const
{
    if (!settings)
        return true;
    const double clockPeriodMs = (double(settings->clockDivider) + 1.0) / 60000.0;
    return clockPeriodMs < intervalMs * 0.9;
}

int HWIFWrapper::AppendBlock(int *codesA, int sizeA, int *codesB, int sizeB, LoggerData *run)
{
    if (!run || (sizeA <= 0 && sizeB <= 0))
        return 1;
    const double intervalMs = config ? Utility::ConvertToMilliSec(config->sampleInterval, config->intervalUnit) : 1.0;
    if (intervalMs > 100.0 && SamplesFasterThan(intervalMs)) {
        // The instrument samples faster than the interval (1 Hz for the longest ones):
        // only the first sample of each block goes on.
        sizeA = std::min(sizeA, 1);
        sizeB = std::min(sizeB, 1);
    }
    const int rows = std::max(sizeA, sizeB);

    auto convert = [](int *raw, int count, ChannelRecord &ch, int32_t firstSampleNo, double mvPerBit,
                      bool enabled) {
        if (count <= 0 || !ch.values)
            return;
        std::vector<double> &xs = ch.values->xValues;
        // Numbered on from the rows of this fetch's earlier reads.
        const double base = double(firstSampleNo) + double(ch.receivedBase) + double(xs.size());
        std::vector<double> &ys = ch.values->yValues;
        xs.reserve(xs.size() + size_t(count));
        if (enabled)
            ys.reserve(ys.size() + size_t(count));
        for (int i = 0; i < count; ++i) {
            if (raw[i] != 65535)
                raw[i] = int(std::trunc(double(raw[i] - 512) * mvPerBit));
            xs.push_back(base + i);
            if (enabled)
                ys.push_back(double(raw[i]));
        }
    };
    convert(codesA, sizeA, run->chA, run->firstSampleNo, shw_milliVoltsPerBitA, config && config->chAEnabled);
    convert(codesB, sizeB, run->chB, run->firstSampleNo, shw_milliVoltsPerBitB, config && config->chBEnabled);

    run->memo.insert(run->memo.end(), size_t(rows), QStringLiteral(" "));

    run->chA.blockSamples = run->chA.values ? int32_t(run->chA.values->xValues.size()) : 0;
    run->chB.blockSamples = run->chB.values ? int32_t(run->chB.values->xValues.size()) : 0;
    if (receivedCountSink)
        receivedCountSink->store(run->chA.blockSamples);
    qCDebug(lcFetch) << "Channel A data count: " << run->chA.blockSamples;
    qCDebug(lcFetch) << "Channel B data count: " << run->chB.blockSamples;

    run->chA.missedSamples = missedA;
    run->chB.missedSamples = missedB;
    return 0;
}
