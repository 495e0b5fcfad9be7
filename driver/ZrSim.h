// The simulated ZR70K33 ("ZE Ziruv A", vendor 0x0403, product 0x6012): the USB bridge's
// built-in back-end. It obeys the driver's command records (KrDriver.h), queues 10-bit
// streaming samples in real time at the programmed clock or 8-bit blocks when armed, and
// keeps a 128-byte EEPROM user area holding an identity calibration record.
//
// Time: samples are generated lazily, whenever the host asks for the queue status, reads
// or writes, for everything due since the last time, paced by a monotonic clock. Tests can
// replace that clock by a manual one (useManualClock, advanceClock) and so need no sleeps.
// A sample instant k (k = 0, 1, ...) falls one clock period after instant k - 1, the first
// one period after RUN; a block is complete 8192 periods after ARM.
//
// Inputs: in test mode A carries a rising ramp (instant k: k mod 1024, in block mode
// k mod 256) and B the falling one (1023 - k mod 1024, 255 - k mod 256). Otherwise each
// channel sees its Input: by default a slow sine on A and a triangle on B, a little noise,
// all scaled to the range's full scale (512 codes). AC coupling removes the offset.
//
// Queue: at most QueueCapacity bytes. A streaming instant that does not fit is lost; the
// first loss of a run of losses queues one gap marker in its place.
//
// Faults and the environment: the program reads ZR_SIM once, when the simulator is first
// used; its items are separated by commas:
//   off                    the instrument is switched off: no device is found
//   gap-every=N            every Nth streaming instant is lost (with its gap marker)
//   read-limit=N           each read delivers at most N bytes (USB packets that end
//                          inside a sample instant)
//   ioerror-after=T        T after each open the device reports the I/O error status
//   disconnect-after=T     T after each open the device vanishes (unplugged)
// T is a number with an optional unit ms, s (default) or min, e.g. "gap-every=2000",
// "ioerror-after=5s", "disconnect-after=1.5min". After a disconnect the device is gone
// from enumeration, and the handle still open reports the I/O error until it is closed.
// An I/O error lasts until the handle is closed; the device can then be opened again.
//
// Thread safety: one mutex guards the whole simulator; every function here may be called
// from any thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class UsbBackend;

namespace ZrSim {

constexpr unsigned QueueCapacity = 61440;
constexpr unsigned UserAreaSize = 128;

struct Input {
    enum Shape { Sine, Triangle, Constant, Square };   // Square: high the first half period
    Shape shape = Sine;
    double amplitudeMv = 0.0;   // peak; unused by Constant
    double offsetMv = 0.0;      // the whole value of Constant; blocked by AC coupling
    double frequencyHz = 1.0;
    double noiseMv = 0.0;       // uniform, +/- this
    // Amplitude, offset and noise are fractions of the range's full scale instead of mV.
    bool relativeToRange = false;
};

// What a test can observe of the instrument.
struct State {
    bool present = false, connected = false, open = false, ioError = false;
    unsigned usbInSize = 0, usbOutSize = 0;
    unsigned char latencyMs = 0;
    unsigned char channels = 0, dcCoupling = 0, rangeA = 0, rangeB = 0;
    bool testMode = false, blockMode = false, fastMode = false;
    uint32_t divider = 0;
    bool streaming = false, armed = false;
    unsigned queued = 0;               // bytes waiting for the host
    uint64_t lostInstants = 0;         // streaming instants lost
    uint64_t streamedInstants = 0;     // streaming instants queued for the host
    uint64_t gapMarkers = 0;           // gap markers queued
    uint64_t blocks = 0;               // blocks queued
    uint64_t droppedBlocks = 0;        // blocks with no room in the queue
    uint64_t records = 0;              // command records received
    uint64_t unknownRecords = 0;
};

// Restores every default: switched on and connected, closed (any open handle goes stale),
// empty queue, default inputs, identity calibration record, no faults, real clock. It
// does not read ZR_SIM again.
void reset();
// Applies items in the ZR_SIM syntax; false when an item was not understood (the others
// still apply).
bool applyOptions(const std::string &options);

void useManualClock(bool manual);                // the manual clock starts where time is
void advanceClock(std::chrono::nanoseconds dt);  // manual clock only
std::chrono::nanoseconds now();

void setPresent(bool on);                        // off: not found; an open handle fails
void setDescription(const std::string &description);
void setInput(int channel, const Input &input);  // 0 A, 1 B
Input input(int channel);

void injectGap();                                // the next streaming instant is lost
void setGapEvery(uint64_t n);                    // 0: never
// Each read delivers at most this many bytes (0: no limit), as when the USB packets end
// inside a sample.
void setReadLimit(unsigned bytes);
void setDeaf(bool on);                           // command records are ignored (hung)
void injectIoError();                            // the open handle reports I/O errors
void setIoErrorAfter(std::chrono::nanoseconds t);     // after each open; 0: never
void disconnect();
void reconnect();
void setDisconnectAfter(std::chrono::nanoseconds t);  // after each open; 0: never

std::vector<uint8_t> eeprom();                   // the user area
void setEeprom(const std::vector<uint8_t> &bytes);

State state();

UsbBackend *backend();
}
