// The About box, the persistence set-up window and the signal-generator panel.
#include <QtTest>

#include "test_home.h"

#include "Help.h"
#include "KrDriver.h"
#include "PersistenceMode.h"
#include "Resources.h"
#include "ScopeGlobals.h"
#include "SignalGenerator.h"
#include "ZrSim.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <qwt_knob.h>

namespace {

// Stands in for the colour dialog: answers from a list and remembers where each one started.
QList<QColor> answers;
QList<QColor> startedAt;
QColor Answer(const QColor &initial)
{
    startedAt << initial;
    return answers.isEmpty() ? QColor() : answers.takeFirst();
}

const char *const Bands[8] = {"1_15", "16_31", "32_47", "48_63", "64_79", "80_95", "96_111", "112_127"};
const char *const Defaults[8] = {"rgb(0, 0, 127)", "rgb(0, 0, 255)",   "rgb(0, 85, 0)",      "rgb(0, 255, 255)",
                                 "rgb(0, 255, 0)", "rgb(255, 255, 0)", "rgb(255, 255, 255)", "rgb(255, 0, 0)"};

QPushButton *band(QWidget *win, char channel, int i)
{
    return win->findChild<QPushButton *>(QStringLiteral("Ch%1%2").arg(QChar(channel)).arg(QLatin1String(Bands[i])));
}

} // namespace

class TestToolWindows : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        InitResources();
        PersistenceMode::pickColor = Answer;
    }

    void aboutShowsPictureAndVersion()
    {
        Help *about = new Help();
        QPointer<Help> guard = about;
        about->show();
        const QPixmap picture = about->findChild<QLabel *>(QStringLiteral("label"))->pixmap(Qt::ReturnByValue);
        QCOMPARE(picture.size(), QSize(288, 60));   // drawn as it is, not scaled
        QVERIFY(about->findChild<QLabel *>(QStringLiteral("label_2"))->text().contains(
            QStringLiteral("KestrimaIII for ZR70K33 Version 1.0.012")));
        about->findChild<QPushButton *>(QStringLiteral("pushButton"))->click();
        QTRY_VERIFY(!guard);
    }

    void persistenceSlidersAndColours()
    {
        answers.clear();
        startedAt.clear();
        PersistenceMode win;
        auto *inc = win.findChild<QSlider *>(QStringLiteral("PersistIncSlider"));
        auto *dec = win.findChild<QSlider *>(QStringLiteral("PersistDecSlider"));
        auto *incEdit = win.findChild<QLineEdit *>(QStringLiteral("PerInclineEdit"));
        auto *decEdit = win.findChild<QLineEdit *>(QStringLiteral("PerDeclineEdit"));
        QVERIFY(incEdit->isReadOnly() && decEdit->isReadOnly());
        QVERIFY(incEdit->text().isEmpty());
        inc->setValue(inc->maximum());
        QCOMPARE(incEdit->text(), QStringLiteral("64"));
        inc->setValue(-5);
        QCOMPARE(incEdit->text(), QStringLiteral("1"));
        dec->setValue(99);
        QCOMPARE(decEdit->text(), QStringLiteral("15"));
        dec->setValue(0);
        QCOMPARE(decEdit->text(), QStringLiteral("0"));

        // Cancelled: nothing changes, and the next dialog starts from nothing again.
        band(&win, 'A', 0)->click();
        QCOMPARE(band(&win, 'A', 0)->styleSheet(), QStringLiteral("background-color: rgb(0, 0, 127)"));
        QVERIFY(!win.lastColor.isValid());
        answers << QColor(Qt::red) << QColor(0, 128, 64);
        band(&win, 'B', 4)->click();
        QCOMPARE(band(&win, 'B', 4)->styleSheet(), QStringLiteral("background-color:#ff0000"));
        band(&win, 'A', 7)->click();
        QCOMPARE(band(&win, 'A', 7)->styleSheet(), QStringLiteral("background-color:#008040"));
        QCOMPARE(startedAt.size(), 3);
        QVERIFY(!startedAt[0].isValid() && !startedAt[1].isValid());
        QCOMPARE(startedAt[2], QColor(Qt::red));   // the last pick, whatever the button

        win.findChild<QPushButton *>(QStringLiteral("Restorepushbutton"))->click();
        for (int i = 0; i < 8; ++i)
            for (char ch : {'A', 'B'})
                QCOMPARE(band(&win, ch, i)->styleSheet(),
                         QStringLiteral("background-color: %1").arg(QLatin1String(Defaults[i])));
        QCOMPARE(win.lastColor, QColor(0, 128, 64));
    }

    void generatorChoosesOneWaveformAndSendsNothing()
    {
        // An open instrument that nothing polls: every command record would show in the count.
        ZrSim::reset();
        Scope_SetFeatures f;
        f.blockMode = 1;
        f.channelsOn = 3;
        KR_HANDLE h = nullptr;
        bool open = false;
        QVERIFY(KR_ScStartScope("ZE Ziruv A", &h, &open, &f));
        const uint64_t records = ZrSim::state().records;

        signalGenWindowOpened = true;
        auto *gen = new SignalGenerator();
        gen->show();
        const QStringList waves = {"SG_DAC_DC_LevelButton",       "SG_DAC_SquareWaveButton", "SG_DAC_SawtoothWaveButton",
                                   "SG_DAC_SineWaveButton",       "SG_DAC_TriangularWaveButton", "SG_DAC_PulseButton",
                                   "SG_CustomWaveButton"};
        for (const QString &name : waves) {
            for (int twice = 0; twice < 2; ++twice)
                gen->findChild<QPushButton *>(name)->click();
            for (const QString &other : waves)
                QCOMPARE(gen->findChild<QPushButton *>(other)->isChecked(), other == name);
        }
        for (QwtKnob *knob : gen->findChildren<QwtKnob *>())
            knob->setValue(knob->upperBound());
        gen->findChild<QSlider *>(QStringLiteral("SG_DutioRatioSlideBar"))->setValue(70);
        gen->findChild<QCheckBox *>(QStringLiteral("checkBox"))->click();
        for (const char *name : {"SG_OK_Button", "SG_ApplyButton", "SG_CancelButton"})
            gen->findChild<QPushButton *>(QLatin1String(name))->click();
        QTest::qWait(50);
        QVERIFY(gen->isVisible());   // OK, Apply and Cancel do nothing
        QCOMPARE(ZrSim::state().records, records);

        gen->close();
        QVERIFY(!signalGenWindowOpened);
        QCOMPARE(ZrSim::state().records, records);
        delete gen;
        KR_closeport(h, &open);
    }
};

ZR_TEST_MAIN(TestToolWindows)
#include "test_tool_windows.moc"
