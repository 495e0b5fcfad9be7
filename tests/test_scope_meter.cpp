// The meters' frame measurements, which the scope's polling tick runs for open meters.
#include <QtTest>

#include "test_home.h"

#include "LoggerMainWindow.h"
#include "MainWindow.h"
#include "Meter.h"
#include "Resources.h"
#include "ScopeEvents.h"
#include "ScopeGlobals.h"
#include "ZrSim.h"
#include "test_scope_support.h"

#include <QAction>
#include <QLCDNumber>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <algorithm>
#include <chrono>

#include <cmath>
#include <vector>

namespace {

struct Result {
    int maxCode = 0, minCode = 0, mean = 0, cycles = -7;
    double pkToPk = 0, rms = 0, frequency = -1;
    bool found = false;
};

Result measureOn(int channel, std::vector<double> &frame, int n, double nsps = 1000.0)
{
    frame.resize(ScopeFrameCapacity, 512.0);
    Result r;
    (channel == 0 ? Meter::do_measure_A : Meter::do_measure_B)(n, 0, nsps, frame.data(), &r.maxCode, &r.minCode,
                                                                &r.pkToPk, &r.mean, &r.rms, &r.frequency,
                                                                &r.cycles, &r.found);
    return r;
}

Result measureA(std::vector<double> &frame, int n, double nsps = 1000.0)
{
    return measureOn(0, frame, n, nsps);
}

// A square wave between lo and hi with the given period, starting low.
std::vector<double> square(int n, int period, double lo, double hi)
{
    std::vector<double> f(n);
    for (int i = 0; i < n; ++i)
        f[i] = (i % period) < period / 2 ? lo : hi;
    return f;
}

// The simulated instrument opened as the scope opens it: both channels, DC, 1 MSa/s.
bool startScope(KR_HANDLE &h, bool &open)
{
    Scope_SetFeatures f;
    f.channelsOn = 3;
    f.dcCoupling = 3;
    f.blockMode = 1;
    f.rangeA = f.rangeB = 5;
    f.clockDivider = 59;   // 1 MSa/s
    f.timeBaseCode = 10;
    globalSetFeatures = f;
    globalSetFeaturesPtr = &globalSetFeatures;
    h = nullptr;
    open = false;
    return KR_ScStartScope("ZE Ziruv A", &h, &open, &globalSetFeatures);
}

// The block the simulated scope has sent 10 ms on, read through the driver as the scope's
// polling tick reads it; false when none is complete.
bool readBlock(KR_HANDLE h, int &na, int &nb)
{
    ZrSim::advanceClock(std::chrono::milliseconds(10));
    int bytes = 0;
    if (!KR_ChkForData(&bytes, h, ScopeBlockBytes))
        return false;
    na = nb = 0;
    KR_ReadChannelData(bytes, RawChanAData, RawChanBData, &na, &nb);
    return true;
}

// One frame of channel A from the simulated instrument.
std::vector<double> captureFrameA()
{
    KR_HANDLE h = nullptr;
    bool open = false;
    std::vector<double> frame;
    if (!startScope(h, open))
        return frame;
    int na = 0, nb = 0;
    for (int tries = 0; tries < 100 && frame.empty(); ++tries) {
        if (readBlock(h, na, nb))
            frame.assign(RawChanAData, RawChanAData + std::min(na, ScopeFrameMax));
    }
    KR_closeport(h, &open);
    return frame;
}

// The six readings of the channel-A meter in mV and Hz, once it has shown a full average
// of the last measurement.
struct Shown {
    double mean = 0, rms = 0, pkToPk = 0, minimum = 0, maximum = 0, frequency = 0;
};

Shown showA()
{
    Meter meter;
    meter.channel = 0;
    Metera = &meter;
    MeterAshow = true;
    MeterBshow = false;
    // 50 events fill the average; within the next 51 it is shown once.
    for (int i = 0; i < 101; ++i) {
        LCDDataupdateEvent e;
        QCoreApplication::sendEvent(&meter, &e);
    }
    const auto read = [&](const char *lcd, const char *unit) {
        const double v = meter.findChild<QLCDNumber *>(QLatin1String(lcd))->value();
        const QString u = meter.findChild<QLabel *>(QLatin1String(unit))->text();
        const double scale = u == QLatin1String("V") || u == QLatin1String("KHz") ? 1000.0
                             : u == QLatin1String("MHz")                         ? 1e6
                                                                                 : 1.0;
        return v * scale;
    };
    Shown s;
    s.mean = read("lcdNumber", "label_7");
    s.rms = read("lcdNumber_2", "label_8");
    s.pkToPk = read("lcdNumber_3", "label_9");
    s.minimum = read("lcdNumber_4", "label_10");
    s.maximum = read("lcdNumber_5", "label_11");
    s.frequency = read("lcdNumber_6", "label_12");
    Metera = nullptr;
    MeterAshow = false;
    return s;
}

void setDc(int channel, double mv)
{
    ZrSim::Input dc;
    dc.shape = ZrSim::Input::Constant;
    dc.offsetMv = mv;
    ZrSim::setInput(channel, dc);
}

// The mean a meter window shows, in mV.
double meanShown(Meter *meter)
{
    const double v = meter->findChild<QLCDNumber *>(QStringLiteral("lcdNumber"))->value();
    return meter->findChild<QLabel *>(QStringLiteral("label_7"))->text() == QLatin1String("V") ? v * 1000.0 : v;
}

} // namespace

class TestScopeMeter : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        InitResources();
        ZrSim::useManualClock(true);
    }

    void init()
    {
        ZrSim::reset();
        ZrSim::useManualClock(true);
        globalSetFeatures.timeBaseCode = 10;
    }

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
        for (int start : {10, 60, 110, 160}) {
            f[start] = 512.0;
            f[start + 1] = 524.0;
        }
        f.resize(ScopeFrameCapacity, 500.0);
        double frequency = -1;
        bool found = false;
        Meter::get_frequency(200, f.data(), 0, 0, 0.0, 1000.0, &frequency, nullptr, &found);
        QVERIFY(found);   // crossings at 9, 59, 109, 159
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
        std::vector<double> flat(8192, 512.0);   // what the array holds beyond the frame does not matter
        const Result empty = measureA(flat, 0);
        QCOMPARE(empty.maxCode, full.maxCode);
        QCOMPARE(empty.minCode, full.minCode);
        QCOMPARE(empty.pkToPk, full.pkToPk);
        QCOMPARE(empty.rms, full.rms);
        QCOMPARE(empty.frequency, full.frequency);   // no samples, no new frequency
        QVERIFY(empty.found);
    }

    void missedSamplesAreLeftOut()
    {
        // A missed sample squared away from 512 would not even fit 32 bits; it is no sample.
        std::vector<double> f = {65535.0, 612.0, 65535.0, 412.0};
        const Result r = measureA(f, 4);
        QCOMPARE(r.maxCode, 612);
        QCOMPARE(r.minCode, 412);
        QCOMPARE(r.mean, 0);
        QCOMPARE(r.rms, 100.0);

        // Nothing but missed samples: the last values stay.
        std::vector<double> gone(50, 65535.0);
        const Result kept = measureA(gone, 50);
        QCOMPARE(kept.maxCode, 612);
        QCOMPARE(kept.rms, 100.0);
    }

    void frequencyScanStaysInsideTheFrame()
    {
        // Three cycles beyond n lie in the array from an earlier frame; n holds only one.
        std::vector<double> f = square(8192, 100, 312.0, 712.0);
        Result r = measureA(f, 150);
        QVERIFY(!r.found);
        QCOMPARE(r.frequency, 0.0);
        r = measureA(f, 0);   // no frame: the last frequency stays
        QVERIFY(!r.found);
    }

    // Frames of the simulated instrument at 1 MSa/s on the +-5 V range, measured as they
    // come and again with missed samples among them, and shown by a channel-A meter.
    void knownInputsFromTheInstrument_data()
    {
        QTest::addColumn<int>("shape");
        QTest::addColumn<double>("amplitude");   // mV
        QTest::addColumn<double>("offset");      // mV
        QTest::addColumn<double>("hz");
        QTest::addColumn<double>("mean");
        QTest::addColumn<double>("rms");
        QTest::addColumn<double>("minimum");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<double>("frequency");
        QTest::newRow("dc +2 V") << int(ZrSim::Input::Constant) << 0.0 << 2000.0 << 1.0 << 2000.0 << 2000.0
                                 << 2000.0 << 2000.0 << 0.0;
        QTest::newRow("dc -1.5 V") << int(ZrSim::Input::Constant) << 0.0 << -1500.0 << 1.0 << -1500.0 << 1500.0
                                   << -1500.0 << -1500.0 << 0.0;
        QTest::newRow("sine 1.5 V 5 kHz") << int(ZrSim::Input::Sine) << 1500.0 << 0.0 << 5000.0 << 0.0
                                          << 1500.0 / std::sqrt(2.0) << -1500.0 << 1500.0 << 5000.0;
        // Squares with a whole number of periods in the 8192 µs frame: otherwise the mean
        // depends on where the frame starts.
        QTest::newRow("square 1 V 1953 Hz") << int(ZrSim::Input::Square) << 1000.0 << 0.0 << 1953.125 << 0.0
                                            << 1000.0 << -1000.0 << 1000.0 << 1953.125;
        QTest::newRow("square 0.8 V on 1 V, 3906 Hz")
            << int(ZrSim::Input::Square) << 800.0 << 1000.0 << 3906.25 << 1000.0
            << std::sqrt(1800.0 * 1800.0 / 2 + 200.0 * 200.0 / 2) << 200.0 << 1800.0 << 3906.25;
    }

    void knownInputsFromTheInstrument()
    {
        QFETCH(int, shape);
        QFETCH(double, amplitude);
        QFETCH(double, offset);
        QFETCH(double, hz);
        QFETCH(double, mean);
        QFETCH(double, rms);
        QFETCH(double, minimum);
        QFETCH(double, maximum);
        QFETCH(double, frequency);
        ZrSim::Input in;
        in.shape = ZrSim::Input::Shape(shape);
        in.amplitudeMv = amplitude;
        in.offsetMv = offset;
        in.frequencyHz = hz;
        ZrSim::setInput(0, in);
        std::vector<double> frame = captureFrameA();
        QCOMPARE(int(frame.size()), ScopeFrameMax);

        // One code of a block is one 8-bit step: 4 codes of the 10-bit scale.
        const double k = shw_milliVoltsPerBitA;
        QCOMPARE(k, 9.765625);
        const double code = 4 * k;
        for (int missedEvery : {0, 7}) {
            std::vector<double> f = frame;
            if (missedEvery)
                for (size_t i = 3; i < f.size(); i += missedEvery)
                    f[i] = 65535.0;
            const Result r = measureA(f, ScopeFrameMax);
            QVERIFY2(std::fabs(r.mean * k - mean) <= code, qPrintable(QString::number(r.mean * k)));
            QVERIFY2(std::fabs(r.rms * k - rms) <= code, qPrintable(QString::number(r.rms * k)));
            QVERIFY(std::fabs((r.maxCode - 512) * k - std::max(maximum, 0.0)) <= code);
            QVERIFY(std::fabs((r.minCode - 512) * k - std::min(minimum, 0.0)) <= code);
            if (frequency > 0) {
                QVERIFY(r.found);
                QVERIFY2(std::fabs(r.frequency - frequency) <= frequency * 0.01, qPrintable(QString::number(r.frequency)));
            } else {
                QVERIFY(!r.found);
                QCOMPARE(r.frequency, 0.0);
            }

            // What the meter shows: the true extremes, whatever side of 0 V they lie on.
            const Shown s = showA();
            QVERIFY2(std::fabs(s.mean - mean) <= code, qPrintable(QString::number(s.mean)));
            QVERIFY(std::fabs(s.rms - rms) <= code);
            QVERIFY2(std::fabs(s.minimum - minimum) <= code, qPrintable(QString::number(s.minimum)));
            QVERIFY2(std::fabs(s.maximum - maximum) <= code, qPrintable(QString::number(s.maximum)));
            QVERIFY(std::fabs(s.pkToPk - (maximum - minimum)) <= code);
            QVERIFY(std::fabs(s.frequency - frequency) <= frequency * 0.01);
        }
    }

    void noiseAroundALevelIsNoCycle()
    {
        // The instrument's default input: a slow sine, flat within one frame, with a little
        // noise. Noise crossing the mean level is no frequency.
        for (int i = 0; i < 5; ++i) {
            std::vector<double> f = captureFrameA();
            const Result r = measureA(f, ScopeFrameMax);
            QVERIFY(!r.found);
            QCOMPARE(r.frequency, 0.0);
        }
    }

    // A signal of a few codes has its frequency, noise on a large one adds no cycles, and
    // a steady level after a signal shows 0 Hz, not the residue of the average.
    void frequencyOfSmallSignalsAndSteadyLevels()
    {
        std::vector<double> f = square(8192, 100, 508.0, 516.0);
        Result r = measureA(f, 8192, 1000.0);
        QVERIFY(r.found);
        QCOMPARE(r.frequency, 10000.0);
        f = square(8192, 100, 510.0, 514.0);
        r = measureA(f, 8192, 1000.0);
        QCOMPARE(r.frequency, 10000.0);
        f = square(8192, 100, 512.0, 513.0);   // half a code: no swing
        r = measureA(f, 8192, 1000.0);
        QVERIFY(!r.found);
        QCOMPARE(r.frequency, 0.0);

        // A sine of 200 codes with +-15 codes of noise that crosses the mean several
        // times on each edge.
        unsigned seed = 12345;
        f.assign(8192, 0.0);
        for (int i = 0; i < 8192; ++i) {
            seed = seed * 1103515245u + 12345u;
            const double noise = double(seed >> 16 & 0x7FFF) / 32767.0 * 30.0 - 15.0;
            f[i] = std::round(512.0 + 200.0 * std::sin(2.0 * M_PI * i / 100.0) + noise);
        }
        r = measureA(f, 8192, 1000.0);
        QVERIFY(r.found);
        QVERIFY2(std::fabs(r.frequency - 10000.0) <= 200.0, qPrintable(QString::number(r.frequency)));

        // Frequencies that no double holds exactly, each averaged in, then a steady level.
        {
            Meter meter;
            Metera = &meter;
            MeterAshow = true;
            for (int i = 0; i < 60; ++i) {
                f = square(8192, 90 + i % 7, 312.0, 712.0);
                measureA(f, 8192, 1000.0 / 60.0);
                LCDDataupdateEvent e;
                QCoreApplication::sendEvent(&meter, &e);
            }
            Metera = nullptr;
        }
        f.assign(8192, 600.0);
        measureA(f, 8192, 1000.0 / 60.0);
        const Shown s = showA();
        QCOMPARE(s.frequency, 0.0);
        QCOMPARE(s.mean, 88.0 * shw_milliVoltsPerBitA);
    }


    // The instrument's slow triangle on channel B lies still within a frame: its noise
    // flips it between two block steps (4 codes), at times a few flips at like intervals.
    // That is no cycle, while a small square with a code of noise still has its frequency.
    void noiseOnBlockStepsIsNoCycle()
    {
        KR_HANDLE h = nullptr;
        bool open = false;
        QVERIFY(startScope(h, open));
        // Frames 10 ms apart over three periods of the triangle, as the scope re-arms.
        int frames = 0, withFrequency = 0;
        std::vector<double> f;
        for (int tick = 0; tick < 3000 && frames < 1500; ++tick) {
            int na = 0, nb = 0;
            if (!readBlock(h, na, nb))
                continue;
            KR_SetUpScope(h, &open, &globalSetFeatures);
            QCOMPARE(nb, ScopeFrameMax);
            f.assign(RawChanBData, RawChanBData + nb);
            f.resize(ScopeFrameCapacity, 512.0);
            Result r;
            Meter::do_measure_B(nb, 0, 1000.0, f.data(), &r.maxCode, &r.minCode, &r.pkToPk, &r.mean, &r.rms,
                                &r.frequency, &r.cycles, &r.found);
            ++frames;
            if (r.found || r.frequency != 0.0)
                ++withFrequency;
        }
        KR_closeport(h, &open);
        QCOMPARE(frames, 1500);
        QCOMPARE(withFrequency, 0);

        unsigned seed = 777;
        f = square(8192, 100, 508.0, 516.0);
        for (double &v : f) {
            seed = seed * 1103515245u + 12345u;
            v += double(int(seed >> 16 & 0x7FFF) % 3 - 1);
        }
        const Result r = measureA(f, 8192, 1000.0);
        QVERIFY(r.found);
        QCOMPARE(r.frequency, 10000.0);
    }

    // A pulse train of 2 to 98 % duty, large or of a few codes, clean or with a code of noise,
    // has its frequency on both meters; a level or a slow ramp in block steps with its noise,
    // and the instrument's own slow inputs, still have none.
    void pulsesOfAnyDutyButNoiseHasNone()
    {
        unsigned seed = 4242;
        const auto noise = [&seed](int codes) {   // uniform within +-codes
            seed = seed * 1103515245u + 12345u;
            return double(int(seed >> 16 & 0x7FFF) % (2 * codes + 1) - codes);
        };
        QString wrong;
        std::vector<double> f;
        for (int channel : {0, 1})
            for (auto [lo, hi] : {std::pair(312.0, 712.0), std::pair(508.0, 524.0)})
                for (int codes : {0, 1})
                    for (int duty = 2; duty <= 98; ++duty) {
                        f.assign(4000, 0.0);
                        for (int i = 0; i < 4000; ++i)   // 100 samples of 1 us: 10 kHz
                            f[i] = (i % 100 < duty ? hi : lo) + noise(codes);
                        const Result r = measureOn(channel, f, 4000);
                        if (!r.found || std::fabs(r.frequency - 10000.0) > 100.0)
                            wrong += QStringLiteral(" %1 %2/%3+-%4 %5%: %6 Hz;")
                                         .arg(channel ? "B" : "A").arg(lo).arg(hi).arg(codes).arg(duty).arg(r.frequency);
                    }
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));

        int withFrequency = 0;
        for (int channel : {0, 1})
            for (double slope : {0.0, 0.0002, -0.0005})   // codes a sample
                for (double start = 600.0; start < 608.0; start += 0.25) {
                    f.assign(8192, 0.0);
                    for (int i = 0; i < 8192; ++i)
                        f[i] = std::floor((std::round(start + slope * i) + noise(2)) / 4.0) * 4.0;
                    const Result r = measureOn(channel, f, 8192);
                    withFrequency += r.found || r.frequency != 0.0;
                }
        KR_HANDLE h = nullptr;
        bool open = false;
        QVERIFY(startScope(h, open));
        int frames = 0;
        for (int tick = 0; tick < 1000 && frames < 400; ++tick) {
            int na = 0, nb = 0;
            if (!readBlock(h, na, nb))
                continue;
            KR_SetUpScope(h, &open, &globalSetFeatures);
            ++frames;
            std::vector<double> a(RawChanAData, RawChanAData + na), b(RawChanBData, RawChanBData + nb);
            const Result ra = measureOn(0, a, na), rb = measureOn(1, b, nb);
            withFrequency += ra.found + rb.found + (ra.frequency != 0.0) + (rb.frequency != 0.0);
        }
        KR_closeport(h, &open);
        QCOMPARE(frames, 400);
        QCOMPARE(withFrequency, 0);
    }

    void metersStayLiveThroughChannelOffAndLoggerMode()
    {
        ZrSim::reset();   // the real clock: the scope polls on its own
        BoxCloser boxes;
        w = new MainWindow();
        w->show();
        const auto button = [](const char *name) { return w->findChild<QPushButton *>(QLatin1String(name)); };
        setDc(0, 2000.0);
        button("MeteraButton")->click();
        button("RunButton")->click();
        QVERIFY(w->IsRunning());
        QTRY_VERIFY_WITH_TIMEOUT(std::fabs(meanShown(Metera) - 2000.0) < 60.0, 20000);

        // Channel A off for a while, then on again with another input.
        ChannelAOnFlag = false;
        QTest::qWait(100);
        ChannelAOnFlag = true;
        setDc(0, -1000.0);
        QTRY_VERIFY_WITH_TIMEOUT(std::fabs(meanShown(Metera) + 1000.0) < 60.0, 20000);

        // Into the data logger and back; the meter stays open and follows the next run.
        w->findChild<QAction *>(QStringLiteral("actionData_Logger"))->trigger();
        QVERIFY(!w->IsRunning() && LoggerWin);
        QVERIFY(QMetaObject::invokeMethod(LoggerWin, "ScopeModefunc"));
        QVERIFY(w->isVisible());
        setDc(0, 500.0);
        button("RunButton")->click();
        QVERIFY(w->IsRunning());
        QTRY_VERIFY_WITH_TIMEOUT(std::fabs(meanShown(Metera) - 500.0) < 60.0, 20000);

        // Meter A deleted with an update still queued for it: meter B goes on.
        setDc(1, 1500.0);
        button("MeterbButton")->click();
        QPointer<Meter> a = Metera;
        LCDUpdate = 1;
        QCoreApplication::postEvent(Metera, new LCDDataupdateEvent());
        Metera->close();
        MeterWindowCloseEvent notice;
        QCoreApplication::sendEvent(w, &notice);
        QVERIFY(!a);
        QTRY_VERIFY_WITH_TIMEOUT(Meterb && std::fabs(meanShown(Meterb) - 1500.0) < 60.0, 20000);

        delete w;
        QCOMPARE(LoggerWin, nullptr);
    }
};

ZR_TEST_MAIN(TestScopeMeter)
#include "test_scope_meter.moc"
