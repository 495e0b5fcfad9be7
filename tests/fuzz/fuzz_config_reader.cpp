// Feeds arbitrary bytes to the reader of "Tamberlo.xml". Whatever it accepts must hold no
// value that breaks the logger later, and must write and read back the same.
#include <QBuffer>
#include <QCoreApplication>

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "LoggerConfigReader.h"
#include "LoggerConfigWriter.h"
#include "LoggerData.h"
#include "YScale.h"

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

bool Read(ConfigSettings &c, const QByteArray &text)
{
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    c.SetDefaultSettings();
    return ReadConfiguration(&c, &buffer);
}

bool Same(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

}   // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    static int argc = 1;
    static char name[] = "fuzz_config_reader";
    static char *argv[] = {name, nullptr};
    new QCoreApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ConfigSettings c("Tamberlo.xml");
    const bool read = Read(c, QByteArray(reinterpret_cast<const char *>(data), int(size)));
    check(c.yScales.size() >= 2 && c.yScales.size() <= 1002);
    check(c.yScales[0].name == QLatin1String("mV") && c.yScales[1].name == QLatin1String("Voltage"));
    check(c.intervalUnit >= Seconds && c.intervalUnit <= MicroSeconds);
    check(std::isfinite(c.sampleInterval) && c.sampleInterval >= 0.001);
    check(std::isfinite(c.ySettings.multiplier) && c.ySettings.multiplier != 0.0);
    check(c.ySettings.yUnit != 0 || c.ySettings.multiplier == 1000.0);
    check(ShowableRange(c.ySettings.yMin, c.ySettings.yMax));   // no inf in the read-outs
    if (!read) {
        check(c.yScales.size() == 2 && c.activeYScale.isEmpty() && c.maxSamples == 100000);
        return 0;
    }

    // What was read is written and read again, unchanged.
    const QByteArray text = ConfigurationDocument(c, c.xSettings.xMode == 1 ? "Time" : "Sample", c.activeYScale);
    ConfigSettings again("Tamberlo.xml");
    check(Read(again, text));
    check(again.yScales.size() == c.yScales.size());
    for (size_t i = 0; i < c.yScales.size(); ++i) {
        check(again.yScales[i].name == c.yScales[i].name);
        check(again.yScales[i].unit == c.yScales[i].unit);
        check(Same(again.yScales[i].multiplier, c.yScales[i].multiplier));
    }
    if (!c.activeYScale.isEmpty()) {
        check(again.activeYScale == c.activeYScale);
        check(again.ySettings.yUnit == c.ySettings.yUnit && again.ySettings.unitText == c.ySettings.unitText);
        check(again.ySettings.multiplier == c.ySettings.multiplier);
    }
    check(again.xSettings.xMode == c.xSettings.xMode);
    check(again.sampleInterval == c.sampleInterval && again.intervalUnit == c.intervalUnit);
    check(again.maxSamples == c.maxSamples && again.customVal == c.customVal && again.backup == c.backup);
    check(again.dataFormat == c.dataFormat);
    for (int i = 0; i < 8; ++i)
        check(again.chartLabels[i] == c.chartLabels[i]);
    for (int i = 0; i < 4; ++i) {
        const AlertEntry &a = c.alertSettings.alerts[i];
        const AlertEntry &b = again.alertSettings.alerts[i];
        check(a.alertType == b.alertType);
        if (a.alertType != 0)
            check(a.channel == b.channel && a.condition == b.condition && Same(a.value, b.value));
        if (a.alertType >= 2)
            check(a.email == b.email);
    }
    const ChannelSaturation *s[2] = {&c.ySettings.chASaturation, &c.ySettings.chBSaturation};
    const ChannelSaturation *t[2] = {&again.ySettings.chASaturation, &again.ySettings.chBSaturation};
    for (int i = 0; i < 2; ++i)
        check(s[i]->voltage == t[i]->voltage && s[i]->signalType == t[i]->signalType
              && s[i]->multiplier == t[i]->multiplier);
    const ColorSettings &x = c.colorSettings;
    const ColorSettings &y = again.colorSettings;
    check(x.background.name() == y.background.name() && x.chAColor.name() == y.chAColor.name()
          && x.chBColor.name() == y.chBColor.name() && x.gridPen.color().name() == y.gridPen.color().name());
    return 0;
}
