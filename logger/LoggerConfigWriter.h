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

// Keeps a settings file that could not be read beside it as "<base>_damaged.xml" (one such
// copy; an older one gives way), so that the next save does not lose it for good. Gives
// where the file is kept now: the copy, or the file itself when no copy could be made (a
// save must then leave it alone).
QString KeepUnreadableConfiguration(const QString &path);
