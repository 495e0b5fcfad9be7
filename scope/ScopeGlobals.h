// State the scope window shares with its polling tick and the tool windows. Everything here
// is touched in the GUI thread only (the polling tick is a queued slot that runs there).
#pragma once

#include "KrDriver.h"

class MainWindow;
class Meter;
class Help;
class PersistenceMode;
class SignalGenerator;

extern MainWindow *w;                       // the one oscilloscope window (MainWindow.cpp)

// The scope's own set-up record; the driver decodes through globalSetFeaturesPtr.
extern Scope_SetFeatures globalSetFeatures;

// Frames of the last tick: codes on the 10-bit scale, at most ScopeFrameMax per frame.
constexpr int ScopeFrameCapacity = 65536;
constexpr int ScopeFrameMax = 8192;
constexpr int ScopeBlockBytes = KR_BlockBytes;
// Decoded codes of the last read; a read holds up to KR_ReadBufferSize bytes.
extern int RawChanAData[KR_ReadBufferSize];
extern int RawChanBData[KR_ReadBufferSize];
extern double RealDataChanA[ScopeFrameCapacity];
extern double RealDataChanB[ScopeFrameCapacity];
extern int RealDataChanA_Size;
extern int RealDataChanB_Size;

extern double nanosecs_per_sample;
extern int trigger_lvl_mvolts;
extern bool ChannelAOnFlag;
extern bool ChannelBOnFlag;

// Hand-over flags: the tick sets, the consumer clears.
extern unsigned char LCDUpdate;             // meters took up the last measurement when 0
extern bool DisplayInProgress;              // the window has not yet shown the last frame
extern bool StopPollingKestrima;            // ticks return at once while set

// Tool windows.
extern Meter *Metera;
extern Meter *Meterb;
extern bool MeterAshow;
extern bool MeterBshow;
extern bool MeterAWindowOpened;
extern bool MeterBWindowOpened;
extern bool signalGenWindowOpened;
extern SignalGenerator *signalGeneratoWindow;
extern PersistenceMode *PersistenceW;
extern bool PersistenceWinOpened;
extern Help *HelpaboutWindow;
