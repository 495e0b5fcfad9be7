#include "UsbBridge.h"

#include "ZrSim.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace {

struct BridgeState {
    std::mutex lock;
    UsbBackend *backend = nullptr;   // null: the simulator
    uint16_t vendor = 0x0403;
    uint16_t product = 0x6012;
    std::vector<std::string> list;   // descriptions of the last createDeviceInfoList
};

BridgeState &state()
{
    static BridgeState s;
    return s;
}

UsbBackend *backend()
{
    BridgeState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    return s.backend ? s.backend : ZrSim::backend();
}

// Handles carry the back-end's session number; 0 is never a session.
uint64_t sessionOf(UsbHandle h)
{
    return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(h));
}

} // namespace

namespace UsbBridge {

void setBackend(UsbBackend *b)
{
    BridgeState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.backend = b;
    s.list.clear();
}

UsbStatus setVidPid(uint16_t vendor, uint16_t product)
{
    BridgeState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.vendor = vendor;
    s.product = product;
    return UsbOk;
}

UsbStatus createDeviceInfoList(unsigned *count)
{
    if (!count)
        return UsbInvalidParameter;
    UsbBackend *b = backend();
    const std::vector<UsbDeviceInfo> all = b->enumerate();
    BridgeState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.list.clear();
    for (const UsbDeviceInfo &d : all)
        if (d.vendor == s.vendor && d.product == s.product)
            s.list.push_back(d.description);
    *count = static_cast<unsigned>(s.list.size());
    return UsbOk;
}

UsbStatus getDescription(int index, char *buf, size_t size)
{
    if (!buf || size == 0)
        return UsbInvalidParameter;
    BridgeState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    if (index < 0 || index >= static_cast<int>(s.list.size()))
        return UsbDeviceNotFound;
    const std::string &d = s.list[static_cast<size_t>(index)];
    const size_t n = std::min(d.size(), size - 1);
    std::memcpy(buf, d.data(), n);
    buf[n] = '\0';
    return UsbOk;
}

UsbStatus openByDescription(const char *description, UsbHandle *handle)
{
    if (!description || !handle)
        return UsbInvalidParameter;
    uint64_t session = 0;
    const UsbStatus st = backend()->open(description, &session);
    if (st != UsbOk)
        return st;
    *handle = reinterpret_cast<UsbHandle>(static_cast<uintptr_t>(session));
    return UsbOk;
}

UsbStatus close(UsbHandle h)
{
    return backend()->close(sessionOf(h));
}

UsbStatus setUsbParameters(UsbHandle h, unsigned inBytes, unsigned outBytes)
{
    return backend()->setTransferSizes(sessionOf(h), inBytes, outBytes);
}

UsbStatus setLatencyTimer(UsbHandle h, unsigned char ms)
{
    return backend()->setLatency(sessionOf(h), ms);
}

UsbStatus purge(UsbHandle h, unsigned mask)
{
    return backend()->purge(sessionOf(h), mask);
}

UsbStatus getQueueStatus(UsbHandle h, unsigned *rxBytes)
{
    if (!rxBytes)
        return UsbInvalidParameter;
    return backend()->queueStatus(sessionOf(h), rxBytes);
}

UsbStatus read(UsbHandle h, void *buf, unsigned n, unsigned *got)
{
    if (!got || (!buf && n))
        return UsbInvalidParameter;
    *got = 0;
    return backend()->read(sessionOf(h), static_cast<uint8_t *>(buf), n, got);
}

UsbStatus write(UsbHandle h, const void *buf, unsigned n, unsigned *written)
{
    if (!written || (!buf && n))
        return UsbInvalidParameter;
    *written = 0;
    return backend()->write(sessionOf(h), static_cast<const uint8_t *>(buf), n, written);
}

UsbStatus eeUserAreaSize(UsbHandle h, unsigned *size)
{
    if (!size)
        return UsbInvalidParameter;
    return backend()->userAreaSize(sessionOf(h), size);
}

UsbStatus eeUserAreaRead(UsbHandle h, void *buf, unsigned n, unsigned *got)
{
    if (!got || (!buf && n))
        return UsbInvalidParameter;
    *got = 0;
    return backend()->userAreaRead(sessionOf(h), static_cast<uint8_t *>(buf), n, got);
}

UsbStatus eeUserAreaWrite(UsbHandle h, const void *buf, unsigned n)
{
    if (!buf && n)
        return UsbInvalidParameter;
    return backend()->userAreaWrite(sessionOf(h), static_cast<const uint8_t *>(buf), n);
}

} // namespace UsbBridge
