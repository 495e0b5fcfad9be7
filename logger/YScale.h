// Y scales: carrying the Y axis's range from one scale's unit to another's.
#pragma once

#include <QString>

#include <cmath>

// A multiplier that values can be converted with: finite and above 0.
inline bool UsableMultiplier(double m)
{
    return std::isfinite(m) && m > 0.0;
}

// The Y unit (0 mV, 1 V, 2 custom) of the scale of this name. The built-in volt scale is
// unit 1 whatever it is called by, so that its menu entry keeps the tick; every other name
// but "mV" is a custom scale.
inline int UnitOfScale(const QString &name)
{
    if (name == QLatin1String("mV"))
        return 0;
    if (name == QLatin1String("Voltage") || name == QLatin1String("V"))
        return 1;
    return 2;
}

// The range [yMin, yMax], in the unit of the multiplier `from`, in the unit of `to`. With
// no usable `from` there is nothing to convert from: the instrument's ±10 V.
inline void RangeInScale(double from, double to, double &yMin, double &yMax)
{
    if (UsableMultiplier(from)) {
        // Multiplied first: 10000 mV in kV gives 0.01, not 0.009999999999999998.
        yMax = yMax * to / from;
        yMin = yMin * to / from;
    } else {
        yMax = 10.0 * to;
        yMin = -10.0 * to;
    }
}

// A Y range the chart can draw: finite bounds in order, and a finite span between them.
inline bool ShowableRange(double yMin, double yMax)
{
    return std::isfinite(yMin) && std::isfinite(yMax) && yMin < yMax && std::isfinite(yMax - yMin);
}

// Whether a new scale of multiplier `to` can be shown: the range shown now (yMin to yMax at
// the multiplier `from`) and the instrument's ±10 V both carried into it, and that full
// range carried back to mV, are ranges the chart can draw.
inline bool ShowableScale(double to, double from, double yMin, double yMax)
{
    if (!UsableMultiplier(to))
        return false;
    RangeInScale(from, to, yMin, yMax);
    double fullMin = 0.0;
    double fullMax = 0.0;
    RangeInScale(0.0, to, fullMin, fullMax);
    if (!ShowableRange(yMin, yMax) || !ShowableRange(fullMin, fullMax))
        return false;
    RangeInScale(to, 1000.0, fullMin, fullMax);
    return ShowableRange(fullMin, fullMax);
}
