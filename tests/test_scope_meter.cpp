// The meters' frame measurements, which the scope's polling tick runs for open meters.
#include <QtTest>

#include "test_home.h"

#include "Meter.h"
#include "ScopeGlobals.h"

#include <cmath>
#include <vector>

namespace {

struct Result {
    int maxCode = 0, minCode = 0, mean = 0, cycles = -7;
    double pkToPk = 0, rms = 0, frequency = -1;
    bool found = false;
};

Result measureA(std::vector<double> &frame, int n, double nsps = 1000.0)
{
    frame.resize(ScopeFrameCapacity, 512.0);
    Result r;
    Meter::do_measure_A(n, 0, nsps, frame.data(), &r.maxCode, &r.minCode, &r.pkToPk, &r.mean, &r.rms,
                        &r.frequency, &r.cycles, &r.found);
    return r;
}

// A square wave between lo and hi with the given period, starting low.
std::vector<double> square(int n, int period, double lo, double hi)
{
    std::vector<double> f(n);
    for (int i = 0; i < n; ++i)
        f[i] = (i % period) < period / 2 ? lo : hi;
    return f;
}

} // namespace

class TestScopeMeter : public QObject {
    Q_OBJECT

private slots:
    void init() { globalSetFeatures.timeBaseCode = 10; }

    void levelsNeverCrossZero()
    {
        std::vector<double> above(100, 700.0);
        above[10] = 800.0;
        Result r = measureA(above, 100);
        QCOMPARE(r.maxCode, 800);
        QCOMPARE(r.minCode, 512);   // the minimum never lies above the zero level
        QCOMPARE(r.pkToPk, 288.0);

        std::vector<double> below(100, 300.0);
        r = measureA(below, 100);
        QCOMPARE(r.maxCode, 512);
        QCOMPARE(r.minCode, 300);
        QCOMPARE(r.mean, -212);
    }

    void frequencyOfASquareWave()
    {
        std::vector<double> f = square(8192, 100, 312.0, 712.0);
        const Result r = measureA(f, 8192, 1000.0);   // 100 samples of 1 us: 10 kHz
        QVERIFY(r.found);
        QCOMPARE(r.frequency, 10000.0);
        QCOMPARE(r.mean, 0);
        QCOMPARE(r.rms, 200.0);
        QCOMPARE(r.cycles, -7);   // not written
    }

    void crossingAtTheThreshold()
    {
        // Mean 0 offset: threshold 512. A sample exactly at 512 completes a crossing.
        std::vector<double> f(200, 500.0);
        for (int start : {10, 60, 110}) {
            f[start] = 512.0;
            f[start + 1] = 524.0;
        }
        f.resize(ScopeFrameCapacity, 500.0);
        double frequency = -1;
        bool found = false;
        Meter::get_frequency(200, f.data(), 0, 0, 0.0, 1000.0, &frequency, nullptr, &found);
        QVERIFY(found);   // crossings at 9, 59, 109
        QCOMPARE(frequency, 20000.0);
    }

    void twoCrossingsGiveNoFrequency()
    {
        std::vector<double> f = square(8192, 2000, 312.0, 712.0);   // crossings at 999, 2999 only
        const Result r = measureA(f, 3500, 1000.0);
        QVERIFY(!r.found);
        QCOMPARE(r.frequency, 0.0);
    }

    void fastestTimeBaseScansSixtySamples()
    {
        globalSetFeatures.timeBaseCode = 0;
        std::vector<double> f = square(8192, 40, 312.0, 712.0);   // crossings at 19, 59, 99
        Result r = measureA(f, 8192, 16.7);
        QVERIFY(!r.found);
        QCOMPARE(r.frequency, 0.0);

        f = square(8192, 20, 312.0, 712.0);   // crossings at 9, 29, 49
        r = measureA(f, 8192, 50.0);
        QVERIFY(r.found);
        QCOMPARE(r.frequency, 1e9 / (20 * 50.0));
    }

    void emptyFrameKeepsTheLevels()
    {
        std::vector<double> f = square(8192, 100, 412.0, 812.0);
        const Result full = measureA(f, 8192);
        std::vector<double> flat(8192, 512.0);   // what the array holds now does not matter for levels
        const Result empty = measureA(flat, 0);
        QCOMPARE(empty.maxCode, full.maxCode);
        QCOMPARE(empty.minCode, full.minCode);
        QCOMPARE(empty.pkToPk, full.pkToPk);
        QCOMPARE(empty.rms, full.rms);
        QVERIFY(!empty.found);   // but the frequency is searched again, in the flat array
    }

    void missedSampleDoesNotOverflowTheRms()
    {
        std::vector<double> f = {65535.0, 512.0};
        const Result r = measureA(f, 2);
        QCOMPARE(r.rms, std::sqrt(65023.0 * 65023.0 / 2.0));
        QCOMPARE(r.maxCode, 65535);
    }
};

ZR_TEST_MAIN(TestScopeMeter)
#include "test_scope_meter.moc"
