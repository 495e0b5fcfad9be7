// Conversion of decoded blocks into run records.
#include <QtTest>

#include "test_home.h"

#include "HWIFWrapper.h"
#include "KrDriver.h"
#include "ZrSim.h"

namespace {
struct Run {
    LoggerData data;
    Run(int first = 1)
    {
        data.firstSampleNo = first;
        data.chA.values = new DataValues;
        data.chB.values = new DataValues;
    }
    ~Run()
    {
        delete data.chA.values;
        delete data.chB.values;
    }
};
}

class TestHwifBlock : public QObject {
    Q_OBJECT
    ConfigSettings config{"Tamberlo.xml"};
    std::unique_ptr<HWIFWrapper> hw;

private slots:
    void init()
    {
        config.SetDefaultSettings();
        hw.reset(new HWIFWrapper(&config));
        shw_milliVoltsPerBitA = 10.0;
        shw_milliVoltsPerBitB = 1.5;
    }

    void codesBecomeMilliVoltsWithMissedKept()
    {
        Run run(5);
        run.data.chA.receivedBase = 100;
        int a[] = {512, 65535, 612, 0, 1023};
        int b[] = {511, 513};
        QCOMPARE(hw->AppendBlock(a, 5, b, 2, &run.data), 0);
        const auto &ya = run.data.chA.values->yValues;
        QCOMPARE(ya, (std::vector<double>{0, 65535, 1000, -5120, 5110}));
        QCOMPARE(run.data.chA.values->xValues, (std::vector<double>{105, 106, 107, 108, 109}));
        // Truncation toward zero on both sides of the zero level.
        QCOMPARE(run.data.chB.values->yValues, (std::vector<double>{-1, 1}));
        QCOMPARE(run.data.chB.values->xValues, (std::vector<double>{5, 6}));
        QCOMPARE(int(run.data.memo.size()), 5);
        QCOMPARE(run.data.memo[0], QString(" "));
        QCOMPARE(run.data.chA.blockSamples, 5);
        QCOMPARE(run.data.chB.blockSamples, 2);
    }

    void disabledChannelKeepsSampleNumbersOnly()
    {
        config.chBEnabled = false;
        Run run;
        int a[] = {520, 530, 540};
        int b[] = {520, 530, 540, 550};
        QCOMPARE(hw->AppendBlock(a, 3, b, 4, &run.data), 0);
        QCOMPARE(int(run.data.chB.values->xValues.size()), 4);
        QVERIFY(run.data.chB.values->yValues.empty());
        QCOMPARE(int(run.data.chA.values->yValues.size()), 3);
        QCOMPARE(int(run.data.memo.size()), 4);
    }

    void slowIntervalsKeepOneSamplePerBlock_data()
    {
        QTest::addColumn<double>("interval");
        QTest::addColumn<int>("unit");
        QTest::addColumn<int>("expected");
        QTest::newRow("200 ms") << 200.0 << 1 << 1;
        QTest::newRow("2 s") << 2.0 << 0 << 1;
        QTest::newRow("100 ms is not above the limit") << 100.0 << 1 << 7;
        QTest::newRow("500 us") << 500.0 << 2 << 7;
    }
    void slowIntervalsKeepOneSamplePerBlock()
    {
        QFETCH(double, interval);
        QFETCH(int, unit);
        QFETCH(int, expected);
        config.sampleInterval = interval;
        config.intervalUnit = SampIntervalUnit(unit);
        Run run;
        int a[] = {600, 601, 602, 603, 604, 605, 606};
        int b[] = {700, 701, 702, 703, 704};
        QCOMPARE(hw->AppendBlock(a, 7, b, 5, &run.data), 0);
        QCOMPARE(int(run.data.chA.values->xValues.size()), expected);
        QCOMPARE(int(run.data.chB.values->xValues.size()), std::min(expected, 5));
        QCOMPARE(int(run.data.memo.size()), expected);
        QCOMPARE(run.data.chA.values->yValues.front(), 880.0);   // (600 - 512) * 10
    }

    void clockAtTheIntervalKeepsEverySample()
    {
        // Started for 200 ms with a 5 Hz clock: a late tick's two samples are both rows.
        ZrSim::reset();
        config.sampleInterval = 200.0;
        Scope_SetFeatures f;
        f.channelsOn = 3;
        f.clockDivider = 11999999;
        QCOMPARE(hw->StartLoggerHW(&f), 0);
        Run run;
        int a[] = {600, 601};
        int b[] = {700, 701};
        QCOMPARE(hw->AppendBlock(a, 2, b, 2, &run.data), 0);
        QCOMPARE(int(run.data.chA.values->xValues.size()), 2);
        QCOMPARE(int(run.data.memo.size()), 2);
        // At 1 Hz for a 2 s interval the instrument is faster: one sample per block.
        f.clockDivider = 59999999;
        config.sampleInterval = 2000.0;
        int c[] = {600, 601};
        QCOMPARE(hw->AppendBlock(c, 2, nullptr, 0, &run.data), 0);
        QCOMPARE(int(run.data.chA.values->xValues.size()), 3);
        hw->StopLoggerHW();
    }

    void onlyChannelBInBlock()
    {
        std::atomic<int> sink{-1};
        hw->receivedCountSink = &sink;
        Run run;
        int b[] = {512, 512, 512, 512};
        QCOMPARE(hw->AppendBlock(nullptr, 0, b, 4, &run.data), 0);
        QCOMPARE(int(run.data.memo.size()), 4);
        QCOMPARE(run.data.chA.blockSamples, 0);
        QCOMPARE(run.data.chB.blockSamples, 4);
        QCOMPARE(sink.load(), 0);
    }

    void emptyBlockAppendsNothing()
    {
        Run run;
        QCOMPARE(hw->AppendBlock(nullptr, 0, nullptr, 0, &run.data), 1);
        QVERIFY(run.data.memo.empty());
        QCOMPARE(hw->AppendBlock(nullptr, 0, nullptr, 0, nullptr), 1);
    }

    void sampleNumbersRunOnAcrossBlocks()
    {
        // What the poll tick does between two blocks: advance the base, empty the vectors.
        Run run(1);
        int a[10];
        for (int block = 0; block < 2; ++block) {
            run.data.chA.receivedBase += int(run.data.chA.values->xValues.size());
            run.data.chA.values->xValues.clear();
            run.data.chA.values->yValues.clear();
            std::fill(std::begin(a), std::end(a), 600);
            QCOMPARE(hw->AppendBlock(a, 10, nullptr, 0, &run.data), 0);
            QCOMPARE(run.data.chA.values->xValues.front(), 1.0 + 10 * block);
            QCOMPARE(run.data.chA.values->xValues.back(), 10.0 + 10 * block);
        }
    }
};

ZR_TEST_GUILESS_MAIN(TestHwifBlock)
#include "test_hwif_block.moc"
