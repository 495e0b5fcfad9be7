// Reader of the logger's configuration file "Tamberlo.xml".
#pragma once

#include <QString>

class ConfigSettings;

// Resets the configuration to its defaults, then applies the file named by its
// configFileName in the given folder (which ends with a separator) over them.
// A missing or unreadable file leaves the defaults; nothing is ever reported.
void LoadConfiguration(ConfigSettings *config, const QString &folder);
