// Our thin layer over the USB bridge chip: just the calls the driver needs, with our own
// status codes. Behind it sits a device back-end; the built-in one is the simulated
// instrument (ZrSim.h), so with no real instrument the program finds the simulated one.
//
// Handles are opaque and never dereferenced: a stale handle yields UsbInvalidHandle,
// never a crash. All calls are thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using UsbStatus = unsigned long;
enum : UsbStatus {
    UsbOk = 0,
    UsbInvalidHandle = 1,      // no open device behind the handle
    UsbDeviceNotFound = 2,     // no attached device matches the index or description
    UsbDeviceNotOpened = 3,    // found, but it could not be opened (in use)
    UsbIoError = 4,            // the device stopped answering or vanished
    UsbInvalidParameter = 5,   // null pointer, size beyond the limit
    UsbOtherError = 6
};

using UsbHandle = void *;

enum UsbPurge : unsigned { UsbPurgeRx = 1, UsbPurgeTx = 2 };

struct UsbDeviceInfo {
    uint16_t vendor = 0;
    uint16_t product = 0;
    std::string description;
};

// A device back-end. Sessions are the back-end's numbers for open devices (never 0).
class UsbBackend {
public:
    virtual ~UsbBackend() = default;
    virtual std::vector<UsbDeviceInfo> enumerate() = 0;
    virtual UsbStatus open(const std::string &description, uint64_t *session) = 0;
    virtual UsbStatus close(uint64_t session) = 0;
    virtual UsbStatus setTransferSizes(uint64_t session, unsigned inBytes, unsigned outBytes) = 0;
    virtual UsbStatus setLatency(uint64_t session, unsigned char ms) = 0;
    virtual UsbStatus purge(uint64_t session, unsigned mask) = 0;
    virtual UsbStatus queueStatus(uint64_t session, unsigned *rxBytes) = 0;
    virtual UsbStatus read(uint64_t session, uint8_t *buf, unsigned n, unsigned *got) = 0;
    virtual UsbStatus write(uint64_t session, const uint8_t *buf, unsigned n, unsigned *written) = 0;
    virtual UsbStatus userAreaSize(uint64_t session, unsigned *size) = 0;
    virtual UsbStatus userAreaRead(uint64_t session, uint8_t *buf, unsigned n, unsigned *got) = 0;
    virtual UsbStatus userAreaWrite(uint64_t session, const uint8_t *buf, unsigned n) = 0;
};

namespace UsbBridge {
// Replaces the back-end (null restores the simulator); for future real hardware.
void setBackend(UsbBackend *backend);

// Restricts enumeration to one vendor/product pair (default 0x0403 / 0x6012).
UsbStatus setVidPid(uint16_t vendor, uint16_t product);
// Takes a fresh list of the matching attached devices and reports its length.
UsbStatus createDeviceInfoList(unsigned *count);
// Description of entry `index` of that list, NUL-terminated and cut to `size`.
UsbStatus getDescription(int index, char *buf, size_t size);

UsbStatus openByDescription(const char *description, UsbHandle *handle);
UsbStatus close(UsbHandle handle);
UsbStatus setUsbParameters(UsbHandle handle, unsigned inBytes, unsigned outBytes);
UsbStatus setLatencyTimer(UsbHandle handle, unsigned char ms);
UsbStatus purge(UsbHandle handle, unsigned mask);
UsbStatus getQueueStatus(UsbHandle handle, unsigned *rxBytes);
// Returns at once with what is queued, at most n bytes (no waiting).
UsbStatus read(UsbHandle handle, void *buf, unsigned n, unsigned *got);
UsbStatus write(UsbHandle handle, const void *buf, unsigned n, unsigned *written);

// EEPROM user area, always from its first byte.
UsbStatus eeUserAreaSize(UsbHandle handle, unsigned *size);
UsbStatus eeUserAreaRead(UsbHandle handle, void *buf, unsigned n, unsigned *got);
UsbStatus eeUserAreaWrite(UsbHandle handle, const void *buf, unsigned n);
}
