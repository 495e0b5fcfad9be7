// Instrument driver of the ZR70K33: free functions over the USB bridge (UsbBridge.h).
// Every function that talks to the instrument takes the handle and the address of the
// port-open flag and does nothing while the port is closed.
//
// (The byte format between this driver and the instrument is documented below the
//  declarations; the driver's implementer completes that comment.)
#pragma once

#include <cstdint>

using KR_HANDLE = void *;

// The driver's settings record, filled by the scope front panel and by the logger.
struct Scope_SetFeatures {
    unsigned char channelsOn = 0;     // bit 0: channel A on, bit 1: channel B on
    unsigned char dcCoupling = 0;     // bit 0: A DC-coupled, bit 1: B DC-coupled
    unsigned char blockMode = 0;      // 1: scope block mode, 0: logger streaming
    unsigned char testMode = 0;
    unsigned char fastMode = 0;
    unsigned char rangeA = 0;         // range index 0..7
    unsigned char x10A = 0;
    unsigned char rangeB = 0;
    unsigned char x10B = 0;
    int triggerMilliVolts = 0;
    double triggerLevel = 0.0;        // 0..1023 ratio
    unsigned char triggerChannel = 0;
    unsigned char triggerType = 0;
    unsigned int pulseWidth = 0;
    unsigned int clockDivider = 0;    // sample clock = 60 MHz / (divider + 1)
    unsigned char afterDivider = 0;
    unsigned int triggerDelay = 0;
    unsigned int extTriggerDac = 0;
    unsigned char timeBaseCode = 0;
};

// Driver globals (see the comments in KrDriver.cpp for who writes them).
extern Scope_SetFeatures *globalSetFeaturesPtr;
extern bool isIOError;
extern int missedA;
extern int missedB;
extern double shw_milliVoltsPerBitA;
extern double shw_milliVoltsPerBitB;

// Status codes as returned by the bridge (0 = ok, 4 = I/O error).
unsigned long GetNumDevices(unsigned int *count);
unsigned long GetDeviceDescription(int index, char *description);   // buffer of >= 64 chars

bool KR_ScStartScope(const char *description, KR_HANDLE *handle, bool *portOpen,
                     Scope_SetFeatures *features);
void KR_SetUpLogger(KR_HANDLE handle, bool *portOpen, Scope_SetFeatures *features);
bool KR_SyncToScope(KR_HANDLE handle, bool *portOpen);
void KR_SetUpScope(KR_HANDLE handle, bool *portOpen, Scope_SetFeatures *features);
bool KR_ChkForData(int *bytesRead, KR_HANDLE handle, int minimumBytes);
void KR_ReadChannelData(int bytesRead, int *chanA, int *chanB, int *sizeA, int *sizeB);
bool KR_closeport(KR_HANDLE handle, bool *portOpen);
