#include "LoggerData.h"

#include <cmath>

void DeleteRun(LoggerData *run)
{
    if (!run)
        return;
    delete run->chA.values;
    delete run->chB.values;
    delete run;
}

void DeleteRuns(QVector<LoggerData *> &runs)
{
    for (LoggerData *run : runs)
        DeleteRun(run);
    runs.clear();
}

ConfigSettings::ConfigSettings(const QString &fileName) : configFileName(fileName)
{
    yScales.push_back({QStringLiteral("mV"), QStringLiteral("mV"), 1000.0});
    yScales.push_back({QStringLiteral("Voltage"), QStringLiteral("V"), 1.0});
}

ConfigSettings::ConfigSettings(const ConfigSettings &other)
{
    *this = other;
}

ConfigSettings &ConfigSettings::operator=(const ConfigSettings &o)
{
    if (this == &o)
        return *this;
    chAEnabled = o.chAEnabled;
    chBEnabled = o.chBEnabled;
    testMode = o.testMode;
    showChATrace = o.showChATrace;
    showChBTrace = o.showChBTrace;
    showTextLabels = o.showTextLabels;
    trackDataLogger = o.trackDataLogger;
    showGrid = o.showGrid;
    maxSamples = o.maxSamples;
    customVal = o.customVal;
    backup = o.backup;
    for (int i = 0; i < 8; ++i)
        chartLabels[i] = o.chartLabels[i];
    alertSettings = o.alertSettings;
    dataFormat = o.dataFormat;
    xSettings = o.xSettings;
    ySettings = o.ySettings;
    sampleInterval = o.sampleInterval;
    intervalUnit = o.intervalUnit;
    colorSettings = o.colorSettings;
    activeYScale = o.activeYScale;
    yScales = o.yScales;
    configFileName = o.configFileName;
    return *this;
}

void ConfigSettings::SetDefaultSettings()
{
    chAEnabled = true;
    chBEnabled = true;
    testMode = false;
    showChATrace = showChBTrace = showTextLabels = trackDataLogger = showGrid = true;
    maxSamples = 100000;
    customVal = 1000;
    backup = true;
    for (bool &label : chartLabels)
        label = true;
    alertSettings.currentAlert = 0;
    for (AlertEntry &alert : alertSettings.alerts) {
        alert.alertType = 0;
        alert.fired = false;
    }
    dataFormat = 1;
    xSettings.xMode = 0;
    xSettings.timeMin = 0.0;
    xSettings.timeMax = 100.0;
    xSettings.sampleMin = 0;
    xSettings.sampleMax = 100;
    xSettings.xUnitChanged = false;
    ySettings.yMin = -10000.0;
    ySettings.yMax = 10000.0;
    ySettings.yUnit = 0;
    ySettings.multiplier = 1000.0;
    ySettings.unitText = QStringLiteral("mV");
    ySettings.chASaturation = {1, 5, 0};
    ySettings.chBSaturation = {1, 5, 0};
    sampleInterval = 1.0;
    intervalUnit = MilliSeconds;
    RestoreDefaultColors();
}

void ConfigSettings::RestoreDefaultColors()
{
    colorSettings.background = QColor(Qt::black);
    colorSettings.gridPen = QPen(QColor(Qt::darkGreen), 0, Qt::DotLine);
    colorSettings.chAColor = QColor(Qt::yellow);
    colorSettings.chAColorName = QStringLiteral("yellow");
    colorSettings.chBColor = QColor(Qt::red);
    colorSettings.chBColorName = QStringLiteral("red");
}

int ConfigSettings::GetXSampleStepSize() const
{
    // The difference is taken as unsigned 32-bit, as the axis code has always done.
    const uint32_t span = uint32_t(xSettings.sampleMax) - uint32_t(xSettings.sampleMin);
    return int(span / 5u);
}

double ConfigSettings::GetXTimeStepSize() const
{
    return (std::fabs(xSettings.timeMax) - std::fabs(xSettings.timeMin)) / 5.0;
}

double ConfigSettings::GetYStepSize() const
{
    return (std::fabs(ySettings.yMax) - std::fabs(ySettings.yMin)) * 0.25;
}
