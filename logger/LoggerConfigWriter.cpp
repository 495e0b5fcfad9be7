#include "LoggerConfigWriter.h"

#include "LoggerConfigReader.h"
#include "LoggerData.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
#include <QXmlStreamWriter>

#include <cstdio>

namespace {

// The shortest text that reads back as the same double.
QString Number(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

QString Bool(bool b)
{
    return b ? QStringLiteral("true") : QStringLiteral("false");
}

// XML 1.0 cannot hold control characters or unpaired surrogates, and one such character
// would make the reader drop the whole file: leave them out.
QString XmlSafe(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar ch = text.at(i);
        const ushort u = ch.unicode();
        if (ch.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            out += ch;
            out += text.at(++i);
        } else if (u == 0x9 || u == 0xA || u == 0xD
                   || (u >= 0x20 && u < 0xD800) || (u >= 0xE000 && u <= 0xFFFD)) {
            out += ch;
        }
    }
    return out;
}

}   // namespace

QByteArray ConfigurationDocument(const ConfigSettings &config, const QString &xMode,
                                 const QString &activeYScale)
{
    QByteArray text;
    QXmlStreamWriter xml(&text);   // UTF-8 whatever the locale
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(1);
    xml.writeDTD(QStringLiteral("<!DOCTYPE LoggerConfigXML>"));
    const auto attr = [&xml](const char *name, const QString &value) {
        xml.writeAttribute(QLatin1String(name), XmlSafe(value));
    };

    xml.writeStartElement(QStringLiteral("Config"));

    xml.writeStartElement(QStringLiteral("YSettings"));
    xml.writeStartElement(QStringLiteral("YScales"));
    int index = 0;
    for (const YScaleSettings &scale : config.yScales) {
        xml.writeStartElement(QStringLiteral("YScale") + QString::number(++index));
        attr("Name", scale.name);
        attr("Unit", scale.unit);
        attr("Multiplier", Number(scale.multiplier));
        xml.writeEndElement();
    }
    xml.writeEndElement();   // YScales
    xml.writeStartElement(QStringLiteral("SaturationVolgate"));
    const auto saturation = [&](const char *name, const ChannelSaturation &s) {
        xml.writeStartElement(QLatin1String(name));
        attr("Voltage", QString::number(s.voltage));
        attr("SignalType", QString::number(s.signalType));
        attr("Multiplier", QString::number(s.multiplier));
        xml.writeEndElement();
    };
    saturation("SaturationA", config.ySettings.chASaturation);
    saturation("SaturationB", config.ySettings.chBSaturation);
    xml.writeEndElement();   // SaturationVolgate
    xml.writeEndElement();   // YSettings

    xml.writeStartElement(QStringLiteral("SampleInterval"));
    attr("Unit", QString::number(int(config.intervalUnit)));
    attr("Value", Number(config.sampleInterval));
    xml.writeEndElement();

    xml.writeStartElement(QStringLiteral("EditMenu"));
    if (!xMode.isEmpty())
        attr("X", xMode);
    attr("Y", activeYScale);
    xml.writeStartElement(QStringLiteral("SettingsWindow"));

    xml.writeStartElement(QStringLiteral("SamplesTab"));
    attr("MaxSamples", QString::number(config.maxSamples));
    attr("CustomVal", QString::number(config.customVal));
    attr("Backup", Bool(config.backup));
    xml.writeEndElement();

    xml.writeStartElement(QStringLiteral("ChartLabelsTab"));
    for (int i = 0; i < 8; ++i)
        attr(ChartLabelAttributes[i], Bool(config.chartLabels[i]));
    xml.writeEndElement();

    xml.writeStartElement(QStringLiteral("AlertTab"));
    for (int i = 0; i < 4; ++i) {
        const AlertEntry &a = config.alertSettings.alerts[i];
        xml.writeStartElement(QStringLiteral("Alert") + QString::number(i + 1));
        attr("AlertNo", QString::number(i + 1));
        switch (a.alertType) {
        case 0:
            attr("AlertType", QStringLiteral("Off"));
            break;
        case 1:
            attr("AlertType", QStringLiteral("Popup"));
            break;
        case 2:
            attr("AlertType", QStringLiteral("Email"));
            attr("Email", a.email);
            break;
        default:
            attr("AlertType", QStringLiteral("Both"));
            attr("Email", a.email);
            break;
        }
        if (a.alertType != 0) {
            attr("Channel", a.channel == 0 ? QStringLiteral("A") : QStringLiteral("B"));
            attr("Condition", a.condition == 0 ? QStringLiteral("GreaterThan") : QStringLiteral("LessThan"));
            attr("Value", Number(a.value));
        }
        xml.writeEndElement();
    }
    xml.writeEndElement();   // AlertTab

    xml.writeStartElement(QStringLiteral("DataDisplayTab"));
    attr("DataFormat", config.dataFormat == 0 ? QStringLiteral("Raw") : QStringLiteral("Formatted"));
    xml.writeEndElement();

    xml.writeEndElement();   // SettingsWindow
    xml.writeEndElement();   // EditMenu

    xml.writeStartElement(QStringLiteral("ViewMenu"));
    xml.writeStartElement(QStringLiteral("ColorSettings"));
    const ColorSettings &cs = config.colorSettings;
    attr("Background", cs.background.name());
    attr("Grid", cs.gridPen.color().name());
    attr("ChannelA", cs.chAColor.name());
    attr("ChannelB", cs.chBColor.name());
    xml.writeEndElement();   // ColorSettings
    xml.writeEndElement();   // ViewMenu

    xml.writeEndElement();   // Config
    xml.writeEndDocument();
    if (text.startsWith('\n'))
        text.remove(0, 1);   // no blank line before the document type
    return text;
}

bool WriteConfiguration(const ConfigSettings &config, const QString &path, const QString &xMode,
                        const QString &activeYScale)
{
    const QByteArray text = ConfigurationDocument(config, xMode, activeYScale);
    // Written beside the old file and renamed over it only when complete. Unbuffered, since
    // a buffered write cut short by a full disk or a size limit can still be committed.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(text) != text.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString KeepUnreadableConfiguration(const QString &path)
{
    const QFileInfo info(path);
    const QString kept = info.path() + QLatin1Char('/') + info.completeBaseName()
                         + QStringLiteral("_damaged.xml");
    // Copied whole and synced, or not at all: an older copy is replaced only by a complete one.
    QFile in(path);
    QSaveFile out(kept);
    bool copied = in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly);
    char buffer[65536];
    while (copied) {
        const qint64 n = in.read(buffer, sizeof buffer);
        if (n <= 0) {
            copied = n == 0;
            break;
        }
        copied = out.write(buffer, n) == n;
    }
    if (copied && out.commit())
        return kept;
    out.cancelWriting();
    // A file that cannot be read can still be moved aside; then no save replaces it.
    if (std::rename(QFile::encodeName(path).constData(), QFile::encodeName(kept).constData()) == 0)
        return kept;
    return path;
}
