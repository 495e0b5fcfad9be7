#include "ScopeGlobals.h"

Scope_SetFeatures globalSetFeatures;

int RawChanAData[KR_ReadBufferSize];
int RawChanBData[KR_ReadBufferSize];
double RealDataChanA[ScopeFrameCapacity];
double RealDataChanB[ScopeFrameCapacity];
int RealDataChanA_Size = 0;
int RealDataChanB_Size = 0;

double nanosecs_per_sample = 1000.0;
int trigger_lvl_mvolts = 0;
bool ChannelAOnFlag = true;
bool ChannelBOnFlag = true;

unsigned char LCDUpdate = 0;
bool DisplayInProgress = false;
bool StopPollingKestrima = true;

Meter *Metera = nullptr;
Meter *Meterb = nullptr;
bool MeterAshow = false;
bool MeterBshow = false;
bool MeterAWindowOpened = false;
bool MeterBWindowOpened = false;
bool signalGenWindowOpened = false;
SignalGenerator *signalGeneratoWindow = nullptr;
PersistenceMode *PersistenceW = nullptr;
bool PersistenceWinOpened = false;
Help *HelpaboutWindow = nullptr;
