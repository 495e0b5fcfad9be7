// "Tamberlo.xml": what the writer produces reads back unchanged, a damaged file leaves the
// defaults, and a failed write leaves the old file whole.
#include <QtTest>

#include "test_home.h"
#include "LoggerConfigReader.h"
#include "LoggerConfigWriter.h"
#include "LoggerData.h"

#include <QBuffer>
#include <QTemporaryDir>

#include <clocale>
#include <csignal>
#include <sys/resource.h>

namespace {

bool ReadText(ConfigSettings &c, const QByteArray &text)
{
    c.SetDefaultSettings();
    c.activeYScale.clear();   // as a fresh configuration has it
    QBuffer buffer;
    buffer.setData(text);
    buffer.open(QIODevice::ReadOnly);
    return ReadConfiguration(&c, &buffer);
}

// A valid file around the given children of Config.
QByteArray Doc(const QByteArray &children)
{
    return "<!DOCTYPE LoggerConfigXML>\n<Config>\n" + children + "\n</Config>\n";
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr long RssBoundKb = 1024 * 1024;   // the sanitizers hold on to freed memory
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr long RssBoundKb = 1024 * 1024;
#else
constexpr long RssBoundKb = 64 * 1024;     // a document tree of it would take far more
#endif
#else
constexpr long RssBoundKb = 64 * 1024;
#endif

long PeakRssKb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

}   // namespace

class TestConfigFile : public QObject {
    Q_OBJECT
private slots:
    void richConfigurationReadsBackUnchanged()
    {
        ConfigSettings out("Tamberlo.xml");
        out.SetDefaultSettings();
        out.yScales.push_back({"Temperature", QString::fromUtf8("°C"), 0.1234567890123456});
        out.yScales.push_back({"Current", QString::fromUtf8("µA"), 123456789.98765432});
        out.yScales.push_back({QString::fromUtf8("Druck <ü> & \"Ω\""), "a\tb\nc", -2.5e-300});
        out.yScales.push_back({QString::fromUtf8("Emoji \U0001F600"), "mV", 2.0});
        out.ySettings.chASaturation = {0, 7, 1};
        out.ySettings.chBSaturation = {1, 3, 0};
        out.sampleInterval = 0.5;
        out.intervalUnit = Seconds;
        out.maxSamples = 12345;
        out.customVal = 12345;
        out.backup = false;
        const bool labels[8] = {true, false, true, false, false, true, true, false};
        std::copy(labels, labels + 8, out.chartLabels);
        const AlertEntry alerts[4] = {{1, 0, "", 0, 0.0, false},
                                      {1, 1, "", 1, -12.5, false},
                                      {0, 2, QString::fromUtf8("jürgen@example.com"), 0, 0.1, false},
                                      {1, 3, "", 1, 1e-12, false}};
        std::copy(alerts, alerts + 4, out.alertSettings.alerts);
        out.dataFormat = 0;
        out.colorSettings.background = QColor("#102030");
        out.colorSettings.gridPen = QPen(QColor("#a0b0c0"), 0, Qt::DotLine);
        out.colorSettings.chAColor = QColor("#ff8000");
        out.colorSettings.chBColor = QColor("#00ffcc");

        QTemporaryDir dir;
        const QString path = dir.filePath("Tamberlo.xml");
        for (const char *xMode : {"Time", "Sample", ""}) {
            QVERIFY(WriteConfiguration(out, path, xMode, "Current"));
            ConfigSettings in("Tamberlo.xml");
            LoadConfiguration(&in, dir.path() + "/");

            QCOMPARE(in.xSettings.xMode, QByteArray(xMode) == "Time" ? 1 : 0);
            QCOMPARE(int(in.yScales.size()), int(out.yScales.size()));
            for (size_t i = 0; i < in.yScales.size(); ++i) {
                QCOMPARE(in.yScales[i].name, out.yScales[i].name);
                QCOMPARE(in.yScales[i].unit, out.yScales[i].unit);
                QCOMPARE(in.yScales[i].multiplier, out.yScales[i].multiplier);
            }
            QCOMPARE(in.activeYScale, QString("Current"));
            QCOMPARE(in.ySettings.yUnit, 2);
            QCOMPARE(in.ySettings.unitText, QString::fromUtf8("µA"));
            QCOMPARE(in.ySettings.multiplier, 123456789.98765432);
            QCOMPARE(in.ySettings.yMax, 123456789.98765432 / 1000.0 * 10000.0);
            QCOMPARE(in.ySettings.chASaturation.voltage, 7);
            QCOMPARE(in.ySettings.chASaturation.signalType, 0);
            QCOMPARE(in.ySettings.chASaturation.multiplier, 1);
            QCOMPARE(in.ySettings.chBSaturation.voltage, 3);
            QCOMPARE(in.sampleInterval, 0.5);
            QCOMPARE(int(in.intervalUnit), int(Seconds));
            QCOMPARE(in.maxSamples, 12345);
            QCOMPARE(in.customVal, 12345);
            QVERIFY(!in.backup);
            for (int i = 0; i < 8; ++i)
                QCOMPARE(in.chartLabels[i], labels[i]);
            QCOMPARE(in.alertSettings.alerts[0].alertType, 0);
            for (int i = 1; i < 4; ++i) {
                const AlertEntry &a = in.alertSettings.alerts[i];
                QCOMPARE(a.alertType, alerts[i].alertType);
                QCOMPARE(a.channel, alerts[i].channel);
                QCOMPARE(a.condition, alerts[i].condition);
                QCOMPARE(a.value, alerts[i].value);
                QCOMPARE(a.email, alerts[i].email);
            }
            QCOMPARE(in.dataFormat, 0);
            QCOMPARE(in.colorSettings.background, QColor("#102030"));
            QCOMPARE(in.colorSettings.gridPen.color(), QColor("#a0b0c0"));
            QCOMPARE(in.colorSettings.chAColor, QColor("#ff8000"));
            QCOMPARE(in.colorSettings.chBColor, QColor("#00ffcc"));
            // The channel buttons are painted by these names.
            QCOMPARE(in.colorSettings.chAColorName, QString("#ff8000"));
            QCOMPARE(in.colorSettings.chBColorName, QString("#00ffcc"));
        }
        // The file is UTF-8 whatever the locale, and a pop-up alert carries no address.
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains("Unit=\"\xC2\xB0" "C\""));
        QVERIFY(text.startsWith("<!DOCTYPE LoggerConfigXML>"));
        QVERIFY(text.contains("<Alert2 AlertNo=\"2\" AlertType=\"Popup\" Channel"));
        QVERIFY(text.contains("<Alert4 AlertNo=\"4\" AlertType=\"Both\" Email=\"\""));

        // Every interval the program can hold passes unchanged, in each unit.
        for (auto interval : {std::make_pair(0.001, Seconds), std::make_pair(1.0, MilliSeconds),
                              std::make_pair(1000.0, MicroSeconds), std::make_pair(86400.0, Seconds)}) {
            out.sampleInterval = interval.first;
            out.intervalUnit = interval.second;
            QVERIFY(WriteConfiguration(out, path, "Time", "mV"));
            ConfigSettings in("Tamberlo.xml");
            LoadConfiguration(&in, dir.path() + "/");
            QCOMPARE(in.sampleInterval, interval.first);
            QCOMPARE(int(in.intervalUnit), int(interval.second));
        }
    }

    // Characters XML cannot hold are left out rather than making the whole file unreadable.
    void unwritableCharactersDoNotLoseTheFile()
    {
        ConfigSettings out("Tamberlo.xml");
        out.SetDefaultSettings();
        out.yScales.push_back({QString("bad\x01name"), QString(QChar(0xD800)) + "x", 3.0});
        out.maxSamples = 50000;
        ConfigSettings in("Tamberlo.xml");
        QVERIFY(ReadText(in, ConfigurationDocument(out, "Time", "badname")));
        QCOMPARE(in.maxSamples, 50000);
        QCOMPARE(in.yScales.back().name, QString("badname"));
        QCOMPARE(in.activeYScale, QString("badname"));
    }

    void damagedDocumentLeavesTheDefaults()
    {
        const QByteArray good = Doc("<SampleInterval Unit=\"0\" Value=\"2\"/>"
                                    "<EditMenu X=\"Time\"><SettingsWindow><SamplesTab MaxSamples=\"500\"/>"
                                    "</SettingsWindow></EditMenu>");
        ConfigSettings c("Tamberlo.xml");
        QVERIFY(ReadText(c, good));
        QCOMPARE(c.sampleInterval, 2.0);
        const QList<QByteArray> damaged = {
            good + "<Config/>",                       // a second root, late in the file
            QByteArray(good).replace("</Config>", "</Confi>"),
            QByteArray(good).replace("<!DOCTYPE LoggerConfigXML>", "<!DOCTYPE LoggerConfigXML>\n<Other/>"),
            good.left(good.size() - 4),               // cut short
            QByteArray(good).replace("<Config>", "<Settings>").replace("</Config>", "</Settings>"),
            "",
        };
        for (const QByteArray &text : damaged) {
            c.yScales.resize(2);
            QVERIFY2(!ReadText(c, text), text.constData());
            QCOMPARE(c.sampleInterval, 1.0);
            QCOMPARE(c.xSettings.xMode, 0);
            QCOMPARE(c.maxSamples, 100000);
        }
        // A scale read before the error is not kept either.
        c.yScales.resize(2);
        QVERIFY(!ReadText(c, Doc("<YSettings><YScales><YScale1 Name=\"T\" Unit=\"K\" Multiplier=\"2\"/>"
                                 "</YScales></YSettings><ViewMenu>&undefined;</ViewMenu>")));
        QCOMPARE(int(c.yScales.size()), 2);
    }

    void positionsAndOrderFollowTheDocument()
    {
        ConfigSettings c("Tamberlo.xml");
        // Blanks are not nodes, a comment is: "YScale3" stands third and is read,
        // "YScale3" in fourth place is not.
        QVERIFY(ReadText(c, Doc(
            "<YSettings><YScales>\n"
            " <YScale1 Name=\"A\" Unit=\"K\" Multiplier=\"2\"/>\n"
            " <!-- note -->\n"
            " <YScale3 Name=\"B\" Unit=\"mV\" Multiplier=\"1000\"/>\n"
            " <YScale3 Name=\"C\" Unit=\"mV\" Multiplier=\"1\"/>\n"
            " <YScale5 Name=\"mV\" Unit=\"uV\" Multiplier=\"7\"/>\n"
            " <YScale6 Name=\"D\" Unit=\"mV\" Multiplier=\"2\"/>\n"
            " <YScale7 Name=\"Z\" Unit=\"V\" Multiplier=\"0\"/>\n"
            "</YScales></YSettings>"
            "<EditMenu Y=\"B\"><SettingsWindow><AlertTab>"
            " <Alert1 AlertType=\"Popup\" Channel=\"a\" Condition=\"\" Value=\"5\"/>"
            " <Alert2 AlertType=\"Off\" Channel=\"A\" Condition=\"GreaterThan\" Value=\"9\" Email=\"x\"/>"
            " <Alert3 AlertType=\"Popup\" Email=\"never@read\"/>"
            " <Alert4 AlertType=\"Fancy\" Email=\"e@x\" Channel=\"A\" Condition=\"GreaterThan\" Value=\"-1.5\"/>"
            " <Alert5 AlertType=\"Popup\" Value=\"77\"/>"
            "</AlertTab></SettingsWindow></EditMenu>")));
        QStringList names;
        for (const YScaleSettings &s : c.yScales)
            names << s.name;
        QCOMPARE(names, QStringList({"mV", "Voltage", "A", "B", "D", "Z"}));
        QCOMPARE(c.yScales[0].unit, QString("mV"));   // the built-in keeps its own
        // "mV" with multiplier 1000 is the true millivolt scale: plotted unconverted.
        QCOMPARE(c.activeYScale, QString("B"));
        QCOMPARE(c.ySettings.yUnit, 0);
        const AlertEntry *a = c.alertSettings.alerts;
        QCOMPARE(a[0].alertType, 1);
        QCOMPARE(a[0].channel, 1);
        QCOMPARE(a[0].condition, 1);
        QCOMPARE(a[0].value, 5.0);
        QCOMPARE(a[1].alertType, 0);
        QCOMPARE(a[1].value, 0.0);                    // "Off" reads nothing else
        QVERIFY(a[1].email.isEmpty());
        QVERIFY(a[2].email.isEmpty());
        QCOMPARE(a[3].alertType, 3);
        QCOMPARE(a[3].email, QString("e@x"));
        QCOMPARE(a[3].value, -1.5);

        // "mV" with another multiplier is a custom scale, converted like one; a zero
        // multiplier matches nothing.
        QVERIFY(ReadText(c, Doc("<YSettings><YScales><YScale1 Name=\"D\" Unit=\"mV\" Multiplier=\"2\"/>"
                                "<YScale2 Name=\"Z\" Unit=\"V\" Multiplier=\"0\"/></YScales></YSettings>"
                                "<EditMenu Y=\"D\"/>")));
        QCOMPARE(c.ySettings.yUnit, 2);
        QCOMPARE(c.ySettings.yMax, 20.0);
        c.yScales.resize(2);
        QVERIFY(ReadText(c, Doc("<YSettings><YScales><YScale1 Name=\"Z\" Unit=\"V\" Multiplier=\"0\"/>"
                                "</YScales></YSettings><EditMenu Y=\"Z\"/>")));
        QVERIFY(c.activeYScale.isEmpty());
        QCOMPARE(c.ySettings.multiplier, 1000.0);

        // The Y scale is looked up when EditMenu is met: one defined after it is not found.
        c.yScales.resize(2);
        QVERIFY(ReadText(c, Doc("<EditMenu Y=\"T\"/><YSettings><YScales>"
                                "<YScale1 Name=\"T\" Unit=\"K\" Multiplier=\"3\"/></YScales></YSettings>")));
        QCOMPARE(int(c.yScales.size()), 3);
        QVERIFY(c.activeYScale.isEmpty());
        QCOMPARE(c.ySettings.yMax, 10000.0);
        // A later EditMenu divides by the multiplier the earlier one chose.
        QVERIFY(ReadText(c, Doc("<EditMenu Y=\"Voltage\"/><EditMenu Y=\"T\"/>")));
        QCOMPARE(c.activeYScale, QString("T"));
        QCOMPARE(c.ySettings.yMax, 30000.0);
    }

    // Values no writer produces: the interval and its unit keep their defaults or are raised
    // to the minimum, instead of giving 0 ms timers and divisions by zero later.
    void damagedValuesKeepDefaults()
    {
        ConfigSettings c("Tamberlo.xml");
        const struct {
            const char *unit, *value;
            int expectUnit;
            double expectValue;
        } cases[] = {
            {"1", "", 1, 1.0},      {"1", "0", 1, 1.0},       {"1", "-4", 1, 1.0},
            {"1", "nan", 1, 1.0},   {"1", "inf", 1, 1.0},     {"1", "abc", 1, 1.0},
            {"0", "1e-9", 0, 0.001}, {"2", "5", 2, 1000.0},   {"2", "", 2, 1000.0},
            {"7", "3", 1, 3.0},     {"-1", "0.5", 1, 1.0},    {"", "2", 1, 2.0},
        };
        for (const auto &k : cases) {
            QVERIFY(ReadText(c, Doc(QByteArray("<SampleInterval Unit=\"") + k.unit + "\" Value=\"" + k.value + "\"/>")));
            QVERIFY2(int(c.intervalUnit) == k.expectUnit && c.sampleInterval == k.expectValue,
                     qPrintable(QString("%1 %2 -> %3 %4").arg(k.unit, k.value).arg(int(c.intervalUnit)).arg(c.sampleInterval)));
        }
        QVERIFY(ReadText(c, Doc("<EditMenu><SettingsWindow><SamplesTab MaxSamples=\"1e12\" CustomVal=\"9e99\"/>"
                                "</SettingsWindow></EditMenu>")));
        QCOMPARE(c.maxSamples, std::numeric_limits<int32_t>::max());
        QCOMPARE(c.customVal, 0);
        QVERIFY(ReadText(c, Doc("<EditMenu><SettingsWindow><SamplesTab MaxSamples=\"-12.9\"/>"
                                "</SettingsWindow></EditMenu><ViewMenu><ColorSettings ChannelA=\"blue\"/></ViewMenu>")));
        QCOMPARE(c.maxSamples, -12);
        QVERIFY(!c.backup);                            // a missing attribute reads as empty
        QVERIFY(!c.colorSettings.background.isValid());
        QCOMPARE(c.colorSettings.chAColorName, QString("#0000ff"));
    }

    // Root may write anywhere: a file size limit makes the write fail part way.
    void failedWriteLeavesTheOldFileWhole()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Tamberlo.xml");
        ConfigSettings c("Tamberlo.xml");
        c.SetDefaultSettings();
        QVERIFY(WriteConfiguration(c, path, "Time", "mV"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();

        for (int i = 0; i < 200; ++i)
            c.yScales.push_back({QString("Scale %1").arg(i), "K", i + 0.5});
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = rlim_t(before.size() + 100);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool written = WriteConfiguration(c, path, "Time", "Scale 3");
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!written);

        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"Tamberlo.xml"}));
        // No folder at all: nothing written, nothing created.
        QVERIFY(!WriteConfiguration(c, dir.filePath("missing/Tamberlo.xml"), "Time", "mV"));
        QVERIFY(!QFile::exists(dir.filePath("missing")));
    }

    // A declaration is refused before anything it declares is expanded (one 4,000-character
    // entity used 400,000 times costs gigabytes); the writer never writes one.
    void declarationsAreRefused()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("Tamberlo.xml"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<!DOCTYPE LoggerConfigXML [<!ENTITY e \"" + QByteArray(4000, 'x') + "\">]>\n<Config><YSettings>"
                   "<YScales><YScale1 Name=\"" + QByteArray("&e;").repeated(400000) + "\"/></YScales></YSettings></Config>");
        file.close();
        ConfigSettings c("Tamberlo.xml");
        const long rssBefore = PeakRssKb();
        QCOMPARE(LoadConfiguration(&c, dir.path() + "/"), ConfigFileState::Unreadable);
        QVERIFY2(PeakRssKb() - rssBefore < RssBoundKb, qPrintable(QString::number(PeakRssKb() - rssBefore)));
        const QByteArray body = "\n<Config><SampleInterval Unit=\"0\" Value=\"2\"/></Config>";
        QVERIFY(ReadText(c, "<!DOCTYPE LoggerConfigXML [ ]>" + body));   // declares nothing
        QVERIFY(!ReadText(c, "<!DOCTYPE LoggerConfigXML SYSTEM \"x.dtd\">" + body));
        QVERIFY(!ReadText(c, "<!DOCTYPE LoggerConfigXML [<!ATTLIST SampleInterval Value CDATA \"3\">]>" + body));
        QCOMPARE(LoadConfiguration(&c, dir.filePath("none/")), ConfigFileState::Missing);
    }

    // Hostile files read in bounded time and memory.
    void hostileFilesAreBounded()
    {
        ConfigSettings c("Tamberlo.xml");
        QByteArray laughs = "<!DOCTYPE LoggerConfigXML [\n<!ENTITY a0 \"ha\">\n";
        for (int i = 1; i <= 30; ++i)
            laughs += QByteArray("<!ENTITY a") + QByteArray::number(i) + " \"" +
                      QByteArray("&a").append(QByteArray::number(i - 1)).append(';').repeated(10) + "\">\n";
        laughs += "]>\n<Config><YSettings><YScales><YScale1 Name=\"&a30;\" Unit=\"x\" Multiplier=\"1\"/>"
                  "</YScales></YSettings></Config>\n";
        QVERIFY(!ReadText(c, laughs));
        QCOMPARE(int(c.yScales.size()), 2);

        // A million scales, written to disk in pieces so the test itself stays small.
        QTemporaryDir dir;
        QFile file(dir.filePath("Tamberlo.xml"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("<!DOCTYPE LoggerConfigXML>\n<Config><YSettings><YScales>\n");
        QByteArray chunk;
        for (int i = 1; i <= 1000000; ++i) {
            chunk += "<YScale" + QByteArray::number(i) + " Name=\"s" + QByteArray::number(i)
                     + "\" Unit=\"u\" Multiplier=\"2\"/>\n";
            if (chunk.size() > (1 << 20)) {
                file.write(chunk);
                chunk.clear();
            }
        }
        file.write(chunk);
        file.write("</YScales></YSettings>");
        // ... and a deep nesting of elements nobody reads.
        file.write(QByteArray("<n>").repeated(100000));
        file.write(QByteArray("</n>").repeated(100000));
        file.write("<EditMenu Y=\"s1000\"/></Config>\n");
        file.close();
        const long rssBefore = PeakRssKb();
        LoadConfiguration(&c, dir.path() + "/");
        QCOMPARE(c.activeYScale, QString("s1000"));
        QVERIFY(c.yScales.size() <= 1002);
        QVERIFY2(PeakRssKb() - rssBefore < RssBoundKb, qPrintable(QString::number(PeakRssKb() - rssBefore)));
    }
};

int main(int argc, char *argv[])
{
    // Names such as "°C" must survive a C locale.
    qputenv("LC_ALL", "C");
    std::setlocale(LC_ALL, "C");
    TestHome::Isolate();
    QCoreApplication app(argc, argv);
    TestConfigFile tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "test_config_file.moc"
