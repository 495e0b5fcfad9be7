// Plain records of the data logger: runs, channels, alerts and the configuration.
#pragma once

#include <QColor>
#include <QMutex>
#include <QPen>
#include <QString>
#include <QVector>
#include <cstdint>
#include <vector>

enum SampIntervalUnit { Seconds = 0, MilliSeconds = 1, MicroSeconds = 2 };

// Marks a sample the instrument did not deliver.
constexpr double MissedSampleValue = 65535.0;

// The lowest and highest measured value among those added: a missed sample (or NaN) is
// none, missed samples are counted.
struct MeasuredExtremes {
    double lo = 0.0;
    double hi = 0.0;
    bool any = false;
    int32_t missed = 0;

    void Add(double v)
    {
        if (v == MissedSampleValue) {
            ++missed;
        } else if (v != v) {   // NaN
        } else if (!any) {
            lo = hi = v;
            any = true;
        } else {
            lo = v < lo ? v : lo;
            hi = v > hi ? v : hi;
        }
    }
};

struct DataValues {
    std::vector<double> xValues;   // sample numbers
    std::vector<double> yValues;   // millivolts, 65535 for a missed sample
};

struct ChannelRecord {
    int32_t blockSamples = 0;
    double minValue = 0.0;
    double maxValue = 0.0;
    int32_t missedSamples = 0;
    int32_t totalSamples = 0;
    int32_t receivedBase = 0;
    DataValues *values = nullptr;
};

// One logging run. Its two DataValues are deleted by whoever discards the run.
struct LoggerData {
    int32_t firstSampleNo = 0;
    int32_t drawTicks = 0;
    int32_t drawState = 0;
    QString startDate;
    QString startTime;
    SampIntervalUnit intervalUnit = MilliSeconds;
    double sampleInterval = 0.0;
    QString stopDate;
    QString stopTime;
    QString dataUnit;
    std::vector<QString> memo;
    ChannelRecord chA;
    ChannelRecord chB;
};

// Discards runs together with their two DataValues, which a LoggerData does not own.
void DeleteRun(LoggerData *run);
void DeleteRuns(QVector<LoggerData *> &runs);   // and empties the list

struct AlertEntry {
    int32_t channel = 0;     // 0 A, 1 B
    int32_t alertType = 0;   // 0 off, 1 pop-up, 2 e-mail, 3 both
    QString email;
    int32_t condition = 0;   // 0 greater than, 1 less than
    double value = 0.0;      // threshold in mV
    bool fired = false;
};

struct AlertSettings {
    int32_t currentAlert = 0;
    AlertEntry alerts[4];
};

struct ColorSettings {
    QColor background;
    QPen gridPen;
    QColor chAColor;
    QString chAColorName;
    QColor chBColor;
    QString chBColorName;
};

struct XSettings {
    int32_t xMode = 0;       // 0 sample number, 1 time
    double timeMin = 0.0;
    double timeMax = 0.0;
    int32_t sampleMin = 0;
    int32_t sampleMax = 0;
    bool xUnitChanged = false;
};

// SignalType (0 DC, 1 AC), Voltage (range index), Multiplier (0 x1, 1 x10).
struct ChannelSaturation {
    int32_t signalType = 0;
    int32_t voltage = 0;
    int32_t multiplier = 0;
};

struct YSettings {
    double yMin = 0.0;
    double yMax = 0.0;
    int32_t yUnit = 0;       // 0 mV, 1 V, 2 custom
    double multiplier = 0.0;
    QString unitText;
    ChannelSaturation chASaturation;
    ChannelSaturation chBSaturation;
};

struct YScaleSettings {
    QString name;
    QString unit;
    double multiplier = 0.0;
};

class ConfigSettings {
public:
    explicit ConfigSettings(const QString &fileName);
    ConfigSettings(const ConfigSettings &other);
    ConfigSettings &operator=(const ConfigSettings &other);

    void SetDefaultSettings();
    void RestoreDefaultColors();
    int GetXSampleStepSize() const;
    double GetXTimeStepSize() const;
    double GetYStepSize() const;

    bool chAEnabled = false;
    bool chBEnabled = false;
    bool testMode = false;
    bool showChATrace = false;
    bool showChBTrace = false;
    bool showTextLabels = false;
    bool trackDataLogger = false;
    bool showGrid = false;
    int32_t maxSamples = 0;
    int32_t customVal = 0;
    bool backup = false;
    // start time, sample interval, display chart, stop time, samples received,
    // maximum value, minimum value, missed values
    bool chartLabels[8] = {false, false, false, false, false, false, false, false};
    AlertSettings alertSettings;
    int32_t dataFormat = 0;  // 1 formatted, 0 raw
    XSettings xSettings;
    YSettings ySettings;
    double sampleInterval = 0.0;
    SampIntervalUnit intervalUnit = Seconds;
    ColorSettings colorSettings;
    QString activeYScale;
    std::vector<YScaleSettings> yScales;
    QString configFileName;
    QMutex configMutex;      // copies get a fresh mutex
};
