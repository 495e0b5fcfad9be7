// The logger's trace categories. Their debug lines are off unless asked for, e.g.
// QT_LOGGING_RULES="zr.*.debug=true": a run at 1 ms would otherwise print thousands of lines.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcFetch)     // "zr.fetch": each block fetched from the instrument
Q_DECLARE_LOGGING_CATEGORY(lcPoll)      // "zr.poll": each poll tick
Q_DECLARE_LOGGING_CATEGORY(lcDisplay)   // "zr.display": each drawing tick and axis update
Q_DECLARE_LOGGING_CATEGORY(lcRun)       // "zr.run": start and stop of a run
