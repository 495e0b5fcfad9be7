// The X window as the chart can show it, shared by the operations that set one.
#pragma once

#include "LoggerData.h"

#include <QtGlobal>

class LoggerMainWindow;

// The X windows the system makes are at least this many samples wide (this many
// intervals on the time axis).
constexpr qint64 MinWindowSamples = 10;

// The largest sample number the chart can show: the X window and the slider count in int.
// A file numbered past it is refused at load, and a run stops before it reaches it.
constexpr qint64 MaxChartSample = 2147483647;

// From sample 0 (time 0) on and at least the smallest width wide. On the time axis the
// sample bounds become the rows the time window covers: they decide which rows are read
// back and how far the slider steps.
void NormalizeXWindow(XSettings &xs, double intervalSec);

// The scroll slider's range and position for the window in the configuration, set without
// moving the window again.
void PlaceSliderAtWindow(LoggerMainWindow *win);
