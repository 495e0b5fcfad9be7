// The one logger window, set by the scope window; in a file of its own so that code which
// only reaches the window through it does not link the whole window.
#include "LoggerMainWindow.h"

LoggerMainWindow *LoggerWin = nullptr;
