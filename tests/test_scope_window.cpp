// The scope host window without acquisition: folder, device list, configuration file,
// Help menu, meter buttons and the close handling.
#include <QtTest>

#include "test_home.h"

#include "Help.h"
#include "MainWindow.h"
#include "Meter.h"
#include "PersistenceMode.h"
#include "Resources.h"
#include "ScopeGlobals.h"
#include "SignalGenerator.h"
#include "ZrSim.h"
#include "test_scope_support.h"

#include <QComboBox>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <csignal>
#include <sys/resource.h>

class TestScopeWindow : public QObject {
    Q_OBJECT

private:
    QString folder() const { return QDir::homePath() + QStringLiteral("/Documents/KestrimaIII/"); }
    QString configPath() const { return folder() + QStringLiteral("Kestrima.xml"); }
    void writeConfig(const QByteArray &text)
    {
        QDir().mkpath(folder());
        QFile f(configPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    static QPushButton *button(MainWindow *win, const char *name)
    {
        return win->findChild<QPushButton *>(QLatin1String(name));
    }

private slots:
    void initTestCase() { InitResources(); }

    void init()
    {
        ZrSim::reset();
        QFile::remove(configPath());
    }

    void cleanup()
    {
        delete w;
        QCOMPARE(w, nullptr);
    }

    void createsApplicationFolder()
    {
        QVERIFY(TestHome::IsIsolated());
        QDir(QDir::homePath() + QStringLiteral("/Documents")).removeRecursively();
        BoxCloser boxes;
        w = new MainWindow();
        QCOMPARE(w->appFolderPath, folder());
        QVERIFY(w->appFolderPath.endsWith(QLatin1Char('/')));
        QVERIFY(QFileInfo(w->appFolderPath).isDir());
        QCOMPARE(w->windowTitle(), QStringLiteral("Kestrima III for ZR70K33"));
    }

    void listsInstrumentsByDescription_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<bool>("listed");
        QTest::newRow("space") << "ZE Ziruv A" << true;
        QTest::newRow("dash") << "ZE-Ziruv A" << true;
        QTest::newRow("fixture") << "RURIVE B A" << false;
        QTest::newRow("prefix only") << "ZE Ziruv" << false;
    }

    void listsInstrumentsByDescription()
    {
        QFETCH(QString, description);
        QFETCH(bool, listed);
        ZrSim::setDescription(description.toStdString());
        BoxCloser boxes;
        w = new MainWindow();
        auto *list = w->findChild<QComboBox *>(QStringLiteral("DeviceList"));
        QVERIFY(list);
        if (listed) {
            QCOMPARE(list->count(), 1);
            QCOMPARE(list->itemText(0), description);
            QVERIFY(boxes.boxes.isEmpty());
        } else {
            QCOMPARE(list->count(), 0);
            QCOMPARE(boxes.boxes.size(), 1);
            QCOMPARE(boxes.boxes.first().title, QStringLiteral("Warning"));
        }
    }

    void warnsWhenNoInstrumentAndFindsItLater()
    {
        ZrSim::setPresent(false);
        BoxCloser boxes;
        w = new MainWindow();
        QCOMPARE(boxes.boxes.size(), 1);
        QCOMPARE(w->findChild<QComboBox *>(QStringLiteral("DeviceList"))->count(), 0);

        ZrSim::setPresent(true);
        QCOMPARE(w->ListDevices(true), 1);
        QCOMPARE(boxes.boxes.size(), 1);   // no second warning once found
    }

    void configurationRoundTrip()
    {
        BoxCloser boxes;
        w = new MainWindow();
        globalSetFeatures.rangeA = 2;
        globalSetFeatures.x10B = 1;
        globalSetFeatures.channelsOn = 2;
        globalSetFeatures.dcCoupling = 1;
        QVERIFY(w->SaveScopeXMLConfig());
        delete w;

        w = new MainWindow();   // starts from the defaults, then reads the file
        QCOMPARE(int(globalSetFeatures.rangeA), 2);
        QCOMPARE(int(globalSetFeatures.x10B), 1);
        QCOMPARE(int(globalSetFeatures.channelsOn), 2);
        QCOMPARE(int(globalSetFeatures.dcCoupling), 1);
        QVERIFY(!ChannelAOnFlag);
        QVERIFY(ChannelBOnFlag);

        // A write cut short (full disk, size limit) leaves the old file whole.
        QFile file(configPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        globalSetFeatures.rangeA = 3;
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = rlim_t(before.size() / 2);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool written = w->SaveScopeXMLConfig();
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!written);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }

    void configurationKeepsCalibrationAccess()
    {
        writeConfig("<KestrimaIII CalibrationAccess=\"true\"><ChannelA Range=\"3\"/></KestrimaIII>");
        BoxCloser boxes;
        w = new MainWindow();
        QCOMPARE(int(globalSetFeatures.rangeA), 3);
        QVERIFY(w->SaveScopeXMLConfig());
        QFile f(configPath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains("CalibrationAccess=\"true\""));
    }

    void badConfigurationKeepsDefaults_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("not xml") << QByteArray("\x01\x02 garbage <<<");
        QTest::newRow("truncated") << QByteArray("<KestrimaIII CalibrationAccess=\"true\"><ChannelA Ra");
        QTest::newRow("other root") << QByteArray("<Tamberlo><ChannelA Range=\"1\"/></Tamberlo>");
        QTest::newRow("out of range") << QByteArray("<KestrimaIII><ChannelA Range=\"99\" X10=\"x\"/></KestrimaIII>");
        QTest::newRow("empty") << QByteArray();
    }

    void badConfigurationKeepsDefaults()
    {
        QFETCH(QByteArray, text);
        writeConfig(text);
        BoxCloser boxes;
        w = new MainWindow();
        QCOMPARE(int(globalSetFeatures.rangeA), 5);
        QCOMPARE(int(globalSetFeatures.x10A), 0);
        QCOMPARE(int(globalSetFeatures.channelsOn), 3);
        QCOMPARE(int(globalSetFeatures.blockMode), 1);
        // The next save replaces the bad file with a readable one.
        QVERIFY(w->SaveScopeXMLConfig());
        QFile f(configPath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QDomDocument doc;
        QVERIFY(doc.setContent(&f));
        QCOMPARE(doc.documentElement().tagName(), QStringLiteral("KestrimaIII"));
    }

    void configurationNeverSwitchesBothChannelsOff()
    {
        writeConfig("<KestrimaIII><ChannelA On=\"0\"/><ChannelB On=\"0\"/></KestrimaIII>");
        BoxCloser boxes;
        w = new MainWindow();
        QCOMPARE(int(globalSetFeatures.channelsOn), 3);
    }

    void helpManualIsBuilt()
    {
        const QString path = MainWindow::HelpManualPath();
        QVERIFY2(path.endsWith(QStringLiteral("/../Plugins/KestrimaIII_Help_File.pdf")), qPrintable(path));
        QFile pdf(path);
        QVERIFY2(pdf.open(QIODevice::ReadOnly), qPrintable(path));
        QVERIFY(pdf.read(5) == "%PDF-");
        QVERIFY(pdf.size() > 10000);
        QVERIFY(QFileInfo(MainWindow::WebsitePath()).isFile());
    }

    void missingDocumentShowsError()
    {
        BoxCloser boxes;
        w = new MainWindow();
        QVERIFY(!w->OpenLocalDocument(QDir::homePath() + QStringLiteral("/no-such.pdf"),
                                      QStringLiteral("Failed to open help file.")));
        QVERIFY(boxes.saw(QStringLiteral("Error"), QStringLiteral("Failed to open help file.")));
    }

    void aboutMakesANewWindowEachTime()
    {
        BoxCloser boxes;
        w = new MainWindow();
        w->HelpABout();
        QPointer<Help> first = HelpaboutWindow;
        w->ViewAbout();
        QPointer<Help> second = HelpaboutWindow;
        QVERIFY(first && second && first != second);
        QVERIFY(first->isVisible() && second->isVisible());

        first->findChild<QPushButton *>(QStringLiteral("pushButton"))->click();
        QTRY_VERIFY(!first);   // a closed About box is not kept
        QVERIFY(second && second->isVisible());
        QCOMPARE(HelpaboutWindow, second.data());
        second->close();
        QTRY_VERIFY(HelpaboutWindow == nullptr);
    }

    void meterButtonsToggleTheirWindows()
    {
        BoxCloser boxes;
        w = new MainWindow();
        QPushButton *a = button(w, "MeteraButton");
        QPushButton *b = button(w, "MeterbButton");

        a->click();
        QVERIFY(Metera && MeterAWindowOpened && MeterAshow);
        QCOMPARE(Metera->channel, 0);
        QCOMPARE(Metera->windowTitle(), QStringLiteral("Channel A Meters"));
        QVERIFY(Metera->isVisible());
        QVERIFY(a->styleSheet().contains(QStringLiteral("rgb(0,170,0)")));

        b->click();
        QVERIFY(Meterb && MeterBWindowOpened && MeterBshow);
        QCOMPARE(Meterb->channel, 1);
        QCOMPARE(Meterb->windowTitle(), QStringLiteral("Channel B Meters"));

        // Closing A: the flag drops at once, the window goes when the notice arrives.
        QPointer<Meter> meterA = Metera;
        a->click();
        QVERIFY(!MeterAWindowOpened);
        QVERIFY(a->styleSheet().contains(QStringLiteral("rgb(150,150,150)")));
        QTRY_VERIFY(!meterA);
        QCOMPARE(Metera, nullptr);
        QVERIFY(!MeterAshow);
        QVERIFY(Meterb && MeterBshow && MeterBWindowOpened);   // B untouched

        // B closed from its own title bar.
        QPointer<Meter> meterB = Meterb;
        Meterb->close();
        QTRY_VERIFY(!meterB);
        QCOMPARE(Meterb, nullptr);
        QVERIFY(!MeterBshow);
        QVERIFY(b->styleSheet().contains(QStringLiteral("rgb(150,150,150)")));

        a->click();   // opens again
        QVERIFY(Metera && MeterAWindowOpened);
    }

    void closingTheWindowClosesToolWindowsAndSaves()
    {
        BoxCloser boxes;
        w = new MainWindow();
        w->show();
        button(w, "MeteraButton")->click();
        button(w, "MeterbButton")->click();
        auto *generator = new SignalGenerator();
        generator->show();
        signalGeneratoWindow = generator;
        signalGenWindowOpened = true;
        w->HelpABout();
        QPointer<Help> olderAbout = HelpaboutWindow;
        w->HelpABout();

        QVERIFY(w->close());
        QTRY_VERIFY(!olderAbout && !HelpaboutWindow);   // no About box keeps the program alive
        QVERIFY(!MeterAWindowOpened && !MeterBWindowOpened);
        QVERIFY(!signalGenWindowOpened);
        QVERIFY(!generator->isVisible());
        QVERIFY(QFile::exists(configPath()));
        QTRY_VERIFY(Metera == nullptr && Meterb == nullptr);

        signalGeneratoWindow = nullptr;
        delete generator;
    }

    void closingWithAStaleSignalGeneratorFlagIsSafe()
    {
        BoxCloser boxes;
        w = new MainWindow();
        signalGeneratoWindow = nullptr;
        signalGenWindowOpened = true;
        QVERIFY(w->close());
        QVERIFY(!signalGenWindowOpened);
    }

    void persistenceSetupToggles()
    {
        BoxCloser boxes;
        w = new MainWindow();
        QVERIFY(QMetaObject::invokeMethod(w, "PersistenceSettingsfunction"));
        QVERIFY(PersistenceWinOpened);
        QVERIFY(PersistenceW && PersistenceW->isVisible());
        QCOMPARE(PersistenceW->windowTitle(), QStringLiteral("ZR70K33 Persistence Setup"));

        QVERIFY(QMetaObject::invokeMethod(w, "PersistenceSettingsfunction"));
        QVERIFY(!PersistenceWinOpened);
        QVERIFY(PersistenceW && !PersistenceW->isVisible());

        QVERIFY(QMetaObject::invokeMethod(w, "PersistenceSettingsfunction"));
        QVERIFY(PersistenceWinOpened && PersistenceW->isVisible());
    }
};

ZR_TEST_MAIN(TestScopeWindow)
#include "test_scope_window.moc"
