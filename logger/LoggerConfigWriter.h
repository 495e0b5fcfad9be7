// Writer of the logger's configuration file "Tamberlo.xml".
#pragma once

#include <QString>

class ConfigSettings;

// Writes the configuration as a whole new file in UTF-8 and puts it in place of the old
// one only once it is complete, so a crash or a full disk leaves the old file whole.
// `xMode` is "Time", "Sample" or empty (no X attribute); `activeYScale` names the scale
// chosen in the menu. Gives false when nothing was replaced.
bool WriteConfiguration(const ConfigSettings &config, const QString &path, const QString &xMode,
                        const QString &activeYScale);

// The document text itself, as written by WriteConfiguration.
QByteArray ConfigurationDocument(const ConfigSettings &config, const QString &xMode,
                                 const QString &activeYScale);
