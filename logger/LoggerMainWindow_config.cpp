// Writer of the logger's configuration file "Tamberlo.xml".
#include "LoggerMainWindow.h"

void LoggerMainWindow::SaveXMLConfig()
{
    // the configuration writer fills this: the settings into AppFolder() + "Tamberlo.xml"
}
