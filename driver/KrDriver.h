// Instrument driver of the ZR70K33: free functions over the USB bridge (UsbBridge.h).
// Every function that talks to the instrument takes the handle and the address of the
// port-open flag and does nothing while the port is closed.
//
// ---------------------------------------------------------------------------------------
// Wire format between this driver and the instrument (the one description of it)
// ---------------------------------------------------------------------------------------
// Command records, host -> instrument: always 4 bytes, [opcode, a, b, c]; multi-byte
// values are big-endian in a..c. Unknown opcodes are ignored by the instrument.
//   0x01 SYNC    a='Z' b='R' c=token   stops acquisition, empties the instrument's queue and
//                                      answers with the 4 bytes [0xA5,'Z','R',token]
//   0x02 MODE    a=channel bits (1 A, 2 B)  b=DC-coupling bits (1 A, 2 B)
//                c=flags (1 test mode, 2 block mode, 4 fast mode); channel bits 0 = off
//   0x03 RANGE   a=range index of A  b=range index of B
//   0x04 CLOCK   a..c = bits 23..0 of the sample-clock divider (clock = 60 MHz / (divider + 1))
//   0x05 CLOCKX  a = bits 31..24 of the divider  b = post-divider byte
//   0x06 TRIG    a = trigger channel | trigger type << 4   b..c = level code 0..1023
//   0x07 PULSE   a..c = trigger pulse width (24 bits, saturated)
//   0x08 DELAY   a..c = trigger delay (24 bits, saturated)
//   0x09 EXTDAC  a..b = external-trigger DAC value (16 bits, saturated)
//   0x0A ARM     acquire one block (block mode only); ignored while a block is pending
//   0x0B RUN     start streaming (streaming mode only); ignored while streaming
// A MODE, RANGE, CLOCK or CLOCKX record that changes the configuration stops acquisition
// (a pending block or the stream); one that repeats the configuration changes nothing, so
// a re-sent set-up followed by ARM re-arms without losing a block in progress.
//
// Sample stream, instrument -> host, streaming (logger) mode: per sample instant, the
// 10-bit code of each enabled channel (A before B) as two bytes
//     first half:  1 c 0 h h h h h     h = code bits 9..5
//     second half: 1 c 1 l l l l l     l = code bits 4..0,   c = channel (0 A, 1 B)
// so every byte says which channel and which half it is: a read that ends after a first
// half keeps it for the next read. A half without its partner is dropped.
// Gap marker: the single byte 0x00, queued ONCE in place of a run of sample instants that
// the instrument lost because its queue was full; it stands for one missed sample of each
// enabled channel. Other bytes with bit 7 clear are ignored.
// Decoded, the stream comes out in whole instants: with both channels on, an A code waits
// for its B (also across reads), so entry i of both arrays is one instant; an instant
// whose other half was lost in transit gets the missed code for it.
//
// Block (scope) mode: each ARM yields one block of 8192 sample instants, sent as 16384
// bytes of pairs [A, B] of 8-bit codes (always both, a channel that is off reads 0x80).
// The driver widens a code v to v << 2 on the 10-bit scale (128 -> 512). A read that splits
// a pair keeps the A byte for the next read. A block that finds no room in the queue is
// dropped whole (there is no gap marker in block mode).
//
// The driver decodes by the set-up it last sent: block or streaming, the channels that are
// on, and each channel's range, which picks its correction below.
//
// Calibration record: the first 66 bytes of the EEPROM user area, little-endian:
//   0..31   ground offset, int16, 1/16 code, channel A ranges 0..7 then B ranges 0..7
//   32..63  gain, uint16, 32768 = 1.0, same order
//   64..65  check word = (0x5A5A + sum of bytes 0..63) & 0xFFFF
// corrected code = 512 + (code - 512 - ground / 16) * gain / 32768, rounded and clamped
// to 0..1023. A record whose check word does not match (erased or never written) means
// no correction.
// ---------------------------------------------------------------------------------------
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

// ---- Additions ----

// Largest count KR_ChkForData reads at once; the decode arrays need this many entries.
constexpr int KR_ReadBufferSize = 65000;
// Bytes of one block-mode block (8192 instants of A and B).
constexpr int KR_BlockBytes = 16384;
constexpr int KR_BlockSamples = 8192;
// The code that marks a missed sample in the decoded arrays.
constexpr int KR_MissedCode = 65535;

// Millivolts per 10-bit code step of a range index (any index above 7: 156.25).
double KR_MilliVoltsPerBit(int rangeIndex);

// Ground and gain corrections per channel (0 A, 1 B) and range; a default-constructed
// record corrects nothing.
struct KR_Calibration {
    short ground[2][8];            // 1/16 code, subtracted
    unsigned short gain[2][8];     // 32768 = 1.0
    KR_Calibration();
};
constexpr int KR_CalRecordSize = 66;
void KR_EncodeCalibration(const KR_Calibration &cal, unsigned char out[KR_CalRecordSize]);
bool KR_DecodeCalibration(const unsigned char in[KR_CalRecordSize], KR_Calibration *cal);

// Reads the record from the EEPROM user area and makes it the correction in use. False
// when the port is closed (nothing changes), or when the read fails or no valid record is
// stored (then nothing is corrected).
bool KR_LoadCalibration(KR_HANDLE handle, bool *portOpen, KR_Calibration *cal = nullptr);
// Stores the record (a default one clears the calibration) and makes it the one in use.
bool KR_WriteCalibration(KR_HANDLE handle, bool *portOpen, const KR_Calibration &cal);

// Wire constants (see the format above); shared with the simulated instrument.
namespace KrWire {
enum Opcode : unsigned char {
    Sync = 0x01, Mode = 0x02, Range = 0x03, Clock = 0x04, ClockX = 0x05, Trig = 0x06,
    Pulse = 0x07, Delay = 0x08, ExtDac = 0x09, Arm = 0x0A, Run = 0x0B
};
enum ModeFlag : unsigned char { FlagTest = 1, FlagBlock = 2, FlagFast = 4 };
constexpr unsigned char SyncReply = 0xA5;
constexpr unsigned char GapMarker = 0x00;
constexpr unsigned char HalfBit = 0x20;      // set in the second half
constexpr unsigned char ChannelBit = 0x40;   // set for channel B
constexpr unsigned char SampleBit = 0x80;    // set in every sample byte
}
