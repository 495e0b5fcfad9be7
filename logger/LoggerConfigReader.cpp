#include "LoggerConfigReader.h"

#include "LoggerData.h"
#include "YScale.h"

#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// More custom scales than anyone defines by hand; a damaged or hostile file cannot make
// the scale list (and the Y Scale menu) grow without end.
constexpr int MaxCustomScales = 1000;

bool ToBool(const QString &text)
{
    return !(text.isEmpty() || text == QLatin1String("0")
             || text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0);
}

int32_t ToInt(const QString &text)
{
    return text.toInt();   // 0 when not a number or out of range
}

double ToDouble(const QString &text)
{
    return text.toDouble();   // 0 when not a number
}

// A double truncated toward zero; a value outside the int32 range saturates, not a number reads 0.
int32_t TruncToInt(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= double(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (v <= double(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return int32_t(std::trunc(v));
}

double MinimumInterval(int unit)
{
    return unit == Seconds ? 0.001 : unit == MicroSeconds ? 1000.0 : 1.0;
}

// Walks the document as the file's layout describes it, into a staging copy that is
// committed only when the whole document turned out well-formed.
class Reader {
public:
    Reader(QXmlStreamReader &xml, ConfigSettings &config) : xml(xml), c(config) {}

    bool Read()
    {
        while (!xml.atEnd()) {
            xml.readNext();
            // The writer declares nothing: declarations can only be damage or an attack
            // (a few entities referenced often expand to gigabytes), so none is read.
            if (xml.isDTD() && DeclaresAnything())
                return false;
            if (xml.isStartElement()) {
                if (xml.qualifiedName() != QLatin1String("Config"))
                    return false;
                ReadConfig();
                break;
            }
        }
        // Read to the end: a document damaged past its settings counts as damaged.
        while (!xml.atEnd())
            xml.readNext();
        return !xml.hasError() && sawRoot;
    }

private:
    QXmlStreamReader &xml;
    ConfigSettings &c;
    bool sawRoot = false;
    int customScales = 0;

    // An outside definition, or an internal subset that is not empty (entities,
    // notations, element or attribute lists, even comments).
    bool DeclaresAnything() const
    {
        if (!xml.dtdPublicId().isEmpty() || !xml.dtdSystemId().isEmpty())
            return true;
        const QStringRef text = xml.text();
        const int open = text.indexOf(QLatin1Char('['));
        if (open < 0)
            return false;
        const int close = text.lastIndexOf(QLatin1Char(']'));
        return close < open || !text.mid(open + 1, close - open - 1).trimmed().isEmpty();
    }

    QString Attr(const char *name) const
    {
        return xml.attributes().value(QLatin1String(name)).toString();
    }

    // Visits the child nodes of the element just started, up to its end, numbering them
    // from 1 in document order as a DOM would: elements, comments, processing
    // instructions, CDATA sections and runs of text that are not only blanks. `element`
    // gets each child element with its position and returns whether it read the child
    // to its end; any other child is skipped here.
    template <typename F>
    void Children(F element)
    {
        int position = 0;
        bool textCounted = false;
        while (!xml.atEnd()) {
            switch (xml.readNext()) {
            case QXmlStreamReader::StartElement: {
                textCounted = false;
                ++position;
                if (!element(xml.qualifiedName(), position) && !xml.hasError())
                    xml.skipCurrentElement();
                break;
            }
            case QXmlStreamReader::EndElement:
            case QXmlStreamReader::Invalid:
                return;
            case QXmlStreamReader::Characters:
                if (xml.isCDATA()) {
                    textCounted = false;
                    ++position;
                } else if (!xml.isWhitespace() && !textCounted) {
                    textCounted = true;
                    ++position;
                }
                break;
            case QXmlStreamReader::Comment:
            case QXmlStreamReader::ProcessingInstruction:
            case QXmlStreamReader::EntityReference:
                textCounted = false;
                ++position;
                break;
            default:
                break;
            }
        }
    }

    void ReadConfig()
    {
        sawRoot = true;
        Children([this](const QStringRef &tag, int) {
            if (tag == QLatin1String("YSettings"))
                return ReadYSettings();
            if (tag == QLatin1String("SampleInterval"))
                ReadSampleInterval();
            else if (tag == QLatin1String("EditMenu"))
                return ReadEditMenu();
            else if (tag == QLatin1String("ViewMenu"))
                return ReadViewMenu();
            return false;
        });
    }

    bool ReadYSettings()
    {
        Children([this](const QStringRef &tag, int) {
            if (tag == QLatin1String("YScales"))
                return ReadYScales();
            if (tag == QLatin1String("SaturationVolgate"))
                return ReadSaturation();
            return false;
        });
        return true;
    }

    bool ReadYScales()
    {
        Children([this](const QStringRef &tag, int position) {
            if (tag != QString(QLatin1String("YScale") + QString::number(position)))
                return false;
            const QString name = Attr("Name");
            if (name == QLatin1String("Voltage") || name == QLatin1String("mV"))
                return false;   // the built-ins are in the list already
            if (customScales >= MaxCustomScales)
                return false;
            ++customScales;
            c.yScales.push_back({name, Attr("Unit"), ToDouble(Attr("Multiplier"))});
            return false;
        });
        return true;
    }

    bool ReadSaturation()
    {
        Children([this](const QStringRef &tag, int) {
            ChannelSaturation *s = nullptr;
            if (tag == QLatin1String("SaturationA"))
                s = &c.ySettings.chASaturation;
            else if (tag == QLatin1String("SaturationB"))
                s = &c.ySettings.chBSaturation;
            if (s) {
                s->multiplier = ToInt(Attr("Multiplier"));
                s->signalType = ToInt(Attr("SignalType"));
                s->voltage = ToInt(Attr("Voltage"));
            }
            return false;
        });
        return true;
    }

    void ReadSampleInterval()
    {
        // A damaged file must not give a zero or negative interval (a division by zero
        // and 0 ms timers later): such a value keeps what stands, a tiny one is raised
        // to the unit's minimum. Every interval the program writes passes unchanged.
        bool ok = false;
        const int unit = Attr("Unit").toInt(&ok);
        if (ok && unit >= Seconds && unit <= MicroSeconds)
            c.intervalUnit = SampIntervalUnit(unit);
        const double value = Attr("Value").toDouble(&ok);
        if (ok && std::isfinite(value) && value > 0.0)
            c.sampleInterval = value;
        c.sampleInterval = std::max(c.sampleInterval, MinimumInterval(c.intervalUnit));
    }

    bool ReadEditMenu()
    {
        c.xSettings.xMode = Attr("X") == QLatin1String("Time") ? 1 : 0;
        SelectYScale(Attr("Y"));
        Children([this](const QStringRef &tag, int) {
            if (tag == QLatin1String("SettingsWindow"))
                return ReadSettingsWindow();
            return false;
        });
        return true;
    }

    void SelectYScale(const QString &name)
    {
        for (const YScaleSettings &scale : c.yScales) {
            if (scale.name != name)
                continue;
            const double m = scale.multiplier;
            // A zero (or not finite) multiplier would divide by zero later: no match.
            if (m == 0.0 || !std::isfinite(m))
                return;
            YSettings &ys = c.ySettings;
            const double ratio = m / ys.multiplier;
            // A range the chart cannot show (inf in the read-outs) keeps the scale there was.
            if (!ShowableRange(ratio * -10000.0, ratio * 10000.0))
                return;
            ys.yMax = ratio * 10000.0;
            ys.yMin = ratio * -10000.0;
            // Only the true millivolt scale is plotted unconverted.
            if (scale.unit == QLatin1String("mV") && m == 1000.0)
                ys.yUnit = 0;
            else if (scale.unit == QLatin1String("V"))
                ys.yUnit = 1;
            else
                ys.yUnit = 2;
            ys.multiplier = m;
            ys.unitText = scale.unit;
            c.activeYScale = name;
            return;
        }
    }

    bool ReadSettingsWindow()
    {
        Children([this](const QStringRef &tag, int) {
            if (tag == QLatin1String("SamplesTab")) {
                c.backup = ToBool(Attr("Backup"));
                c.customVal = ToInt(Attr("CustomVal"));
                c.maxSamples = TruncToInt(ToDouble(Attr("MaxSamples")));
            } else if (tag == QLatin1String("ChartLabelsTab")) {
                for (int i = 0; i < 8; ++i)
                    c.chartLabels[i] = ToBool(Attr(ChartLabelAttributes[i]));
            } else if (tag == QLatin1String("AlertTab")) {
                return ReadAlerts();
            } else if (tag == QLatin1String("DataDisplayTab")) {
                c.dataFormat = Attr("DataFormat") == QLatin1String("Formatted") ? 1 : 0;
            }
            return false;
        });
        return true;
    }

    bool ReadAlerts()
    {
        c.alertSettings.currentAlert = 0;
        Children([this](const QStringRef &tag, int position) {
            if (position > 4 || tag != QString(QLatin1String("Alert") + QString::number(position)))
                return false;
            AlertEntry &e = c.alertSettings.alerts[position - 1];
            const QString type = Attr("AlertType");
            if (type == QLatin1String("Off")) {
                e.alertType = 0;
                return false;
            }
            e.condition = Attr("Condition") == QLatin1String("GreaterThan") ? 0 : 1;
            e.value = ToDouble(Attr("Value"));
            e.channel = Attr("Channel") == QLatin1String("A") ? 0 : 1;
            if (type == QLatin1String("Popup")) {
                e.alertType = 1;
            } else {
                e.alertType = type == QLatin1String("Email") ? 2 : 3;
                e.email = Attr("Email");
            }
            return false;
        });
        return true;
    }

    bool ReadViewMenu()
    {
        Children([this](const QStringRef &tag, int) {
            if (tag != QLatin1String("ColorSettings"))
                return false;
            ColorSettings &cs = c.colorSettings;
            cs.background = ColorOf(Attr("Background"));
            cs.chAColor = ColorOf(Attr("ChannelA"));
            cs.chBColor = ColorOf(Attr("ChannelB"));
            cs.gridPen = QPen(QBrush(ColorOf(Attr("Grid"))), 0, Qt::DotLine, Qt::SquareCap, Qt::BevelJoin);
            // The channel buttons are painted by name: the names follow the colours.
            if (cs.chAColor.isValid())
                cs.chAColorName = cs.chAColor.name();
            if (cs.chBColor.isValid())
                cs.chBColorName = cs.chBColor.name();
            return false;
        });
        return true;
    }

    static QColor ColorOf(const QString &text)
    {
        if (text.isEmpty())
            return QColor();
        return QColor(text);   // invalid when the text names no colour
    }
};

}   // namespace

bool ReadConfiguration(ConfigSettings *config, QIODevice *device)
{
    ConfigSettings staged(*config);
    QXmlStreamReader xml(device);
    xml.setNamespaceProcessing(false);
    Reader reader(xml, staged);
    if (!reader.Read())
        return false;
    *config = staged;
    return true;
}

ConfigFileState LoadConfiguration(ConfigSettings *config, const QString &folder)
{
    config->SetDefaultSettings();
    const QString path = folder + config->configFileName;
    if (!QFileInfo(path).isFile())
        return ConfigFileState::Missing;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !ReadConfiguration(config, &file))
        return ConfigFileState::Unreadable;
    return ConfigFileState::Read;
}
