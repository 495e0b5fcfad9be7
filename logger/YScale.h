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
