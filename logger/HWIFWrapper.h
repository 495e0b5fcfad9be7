// The logger's only door to the instrument: start, fetch, convert to mV, stop.
#pragma once

#include "KrDriver.h"
#include "LoggerData.h"

#include <QString>
#include <atomic>

class HWIFWrapper {
public:
    static constexpr int RawBufferSize = 65000;
    static constexpr int MaxReadsPerFetch = 4096;   // a full queue (60 KB) in reads of 15 bytes

    HWIFWrapper();
    explicit HWIFWrapper(ConfigSettings *config);
    ~HWIFWrapper();
    HWIFWrapper(const HWIFWrapper &) = delete;
    HWIFWrapper &operator=(const HWIFWrapper &) = delete;

    int StartLoggerHW(Scope_SetFeatures *settings);   // 0 ok, 1 failure
    int StopLoggerHW();
    int DiscardData();
    // Instants the last DiscardData dropped (what the instrument sampled before the run took
    // its first block).
    int discardedInstants = 0;
    int FetchData(int readCount, int minimumBytes, LoggerData *run, int unused);
    // The part of FetchData after the driver read: converts the decoded codes in place to
    // mV and appends them to the run. 0 when rows were appended, 1 otherwise.
    int AppendBlock(int *codesA, int sizeA, int *codesB, int sizeB, LoggerData *run);

    bool IsStarted() const { return started; }
    const QString &DeviceDescription() const { return deviceDescription; }

    // Where FetchData reports the channel-A values of the latest block (the logger
    // window's receivedSampleCount); may stay null.
    std::atomic<int> *receivedCountSink = nullptr;

private:
    // The programmed sample clock is faster than one sample per interval.
    bool SamplesFasterThan(double intervalMs) const;

    QString deviceDescription;
    KR_HANDLE handle = nullptr;
    bool portOpen = false;
    bool started = false;
    Scope_SetFeatures *settings = nullptr;
    ConfigSettings *config = nullptr;
    int rawA[RawBufferSize];
    int rawB[RawBufferSize];
};
