#include "LogCategories.h"

Q_LOGGING_CATEGORY(lcFetch, "zr.fetch", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPoll, "zr.poll", QtInfoMsg)
Q_LOGGING_CATEGORY(lcDisplay, "zr.display", QtInfoMsg)
Q_LOGGING_CATEGORY(lcRun, "zr.run", QtInfoMsg)
