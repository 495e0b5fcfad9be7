// Reader of the logger's configuration file "Tamberlo.xml".
#pragma once

#include <QString>

class ConfigSettings;
class QIODevice;

// Attributes of the file's "ChartLabelsTab" element, in the order of the configuration's
// chartLabels flags; the reader and the writer both go by this list.
inline constexpr const char *ChartLabelAttributes[8] = {
    "StartTime", "SampleInt", "DisplayChart", "StopTime",
    "SamplesReceived", "MaxValue", "MinValue", "MissedValues"};

// What LoadConfiguration found: no file (a first start), a file it read, or a file that
// is there but could not be read (damaged, cut short, not readable), whose settings are lost
// for this run.
enum class ConfigFileState { Missing, Read, Unreadable };

// Resets the configuration to its defaults, then applies the file named by its
// configFileName in the given folder (which ends with a separator) over them.
// A missing, unreadable or damaged file leaves the defaults; nothing is reported here.
ConfigFileState LoadConfiguration(ConfigSettings *config, const QString &folder);

// Applies one whole document over the configuration. A document that is not well-formed
// anywhere, or whose root is not "Config", changes nothing and gives false.
bool ReadConfiguration(ConfigSettings *config, QIODevice *device);
