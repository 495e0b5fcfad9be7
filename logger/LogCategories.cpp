#include "LogCategories.h"

Q_LOGGING_CATEGORY(lcRun, "zr.run", QtInfoMsg)
