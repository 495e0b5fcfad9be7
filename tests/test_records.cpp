#include <QtTest>

#include "test_home.h"
#include "LoggerData.h"

class TestRecords : public QObject {
    Q_OBJECT
private slots:
    void constructorGivesBuiltInScalesOnly()
    {
        ConfigSettings c("Tamberlo.xml");
        QCOMPARE(c.configFileName, QString("Tamberlo.xml"));
        QCOMPARE(int(c.yScales.size()), 2);
        QCOMPARE(c.yScales[0].name, QString("mV"));
        QCOMPARE(c.yScales[0].multiplier, 1000.0);
        QCOMPARE(c.yScales[1].name, QString("Voltage"));
        QCOMPARE(c.yScales[1].unit, QString("V"));
        QVERIFY(c.activeYScale.isEmpty());
        QCOMPARE(c.maxSamples, 0);
        QVERIFY(!c.colorSettings.background.isValid());
    }
    void defaultsMatchTable()
    {
        ConfigSettings c("x");
        c.alertSettings.alerts[2].value = 42.0;
        c.alertSettings.alerts[2].fired = true;
        c.alertSettings.alerts[2].alertType = 3;
        c.SetDefaultSettings();
        QVERIFY(c.chAEnabled && c.chBEnabled && !c.testMode);
        QVERIFY(c.showChATrace && c.showChBTrace && c.showTextLabels && c.trackDataLogger && c.showGrid);
        QCOMPARE(c.maxSamples, 100000);
        QCOMPARE(c.customVal, 1000);
        QVERIFY(c.backup);
        for (bool b : c.chartLabels)
            QVERIFY(b);
        QCOMPARE(c.alertSettings.alerts[2].alertType, 0);
        QVERIFY(!c.alertSettings.alerts[2].fired);
        QCOMPARE(c.alertSettings.alerts[2].value, 42.0);   // untouched by the defaults
        QCOMPARE(c.dataFormat, 1);
        QCOMPARE(c.xSettings.timeMax, 100.0);
        QCOMPARE(c.xSettings.sampleMax, 100);
        QCOMPARE(c.ySettings.yMin, -10000.0);
        QCOMPARE(c.ySettings.multiplier, 1000.0);
        QCOMPARE(c.ySettings.unitText, QString("mV"));
        QCOMPARE(c.ySettings.chBSaturation.signalType, 1);
        QCOMPARE(c.ySettings.chBSaturation.voltage, 5);
        QCOMPARE(c.sampleInterval, 1.0);
        QCOMPARE(int(c.intervalUnit), 1);
        QCOMPARE(c.colorSettings.background, QColor(Qt::black));
        QCOMPARE(c.colorSettings.gridPen.style(), Qt::DotLine);
        QCOMPARE(c.colorSettings.gridPen.color(), QColor(Qt::darkGreen));
        QCOMPARE(c.colorSettings.chBColorName, QString("red"));
        QCOMPARE(int(c.yScales.size()), 2);
    }
    void stepSizes_data()
    {
        QTest::addColumn<int>("smin");
        QTest::addColumn<int>("smax");
        QTest::addColumn<int>("step");
        QTest::newRow("0..100") << 0 << 100 << 20;
        QTest::newRow("0..9") << 0 << 9 << 1;
        QTest::newRow("0..4") << 0 << 4 << 0;
        QTest::newRow("reversed wraps unsigned") << 10 << 5 << int(0xFFFFFFFBu / 5u);
    }
    void stepSizes()
    {
        QFETCH(int, smin);
        QFETCH(int, smax);
        QFETCH(int, step);
        ConfigSettings c("x");
        c.xSettings.sampleMin = smin;
        c.xSettings.sampleMax = smax;
        QCOMPARE(c.GetXSampleStepSize(), step);
    }
    void timeAndYSteps()
    {
        ConfigSettings c("x");
        c.SetDefaultSettings();
        QCOMPARE(c.GetYStepSize(), 0.0);
        c.ySettings.yMin = 0;
        c.ySettings.yMax = 100;
        QCOMPARE(c.GetYStepSize(), 25.0);
        c.xSettings.timeMin = -10;
        c.xSettings.timeMax = 10;
        QCOMPARE(c.GetXTimeStepSize(), 0.0);
    }
    void restoreColorsKeepsTheRest()
    {
        ConfigSettings c("x");
        c.SetDefaultSettings();
        c.maxSamples = 7;
        c.ySettings.yMax = 3.5;
        c.colorSettings.chAColor = Qt::blue;
        c.colorSettings.chAColorName = "blue";
        c.RestoreDefaultColors();
        QCOMPARE(c.maxSamples, 7);
        QCOMPARE(c.ySettings.yMax, 3.5);
        QCOMPARE(c.colorSettings.chAColor, QColor(Qt::yellow));
        QCOMPARE(c.colorSettings.chAColorName, QString("yellow"));
    }
    void snapshotIsFullCopy()
    {
        ConfigSettings c("x");
        c.SetDefaultSettings();
        c.yScales.push_back({"Amp", "A", 2.5});
        ConfigSettings copy = c;
        c.yScales.clear();
        c.ySettings.unitText = "V";
        QCOMPARE(int(copy.yScales.size()), 3);
        QCOMPARE(copy.ySettings.unitText, QString("mV"));
        QCOMPARE(copy.configFileName, QString("x"));
    }
};

ZR_TEST_GUILESS_MAIN(TestRecords)
#include "test_records.moc"
