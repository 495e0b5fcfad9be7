// Run and Stop of the scope window against the simulated instrument: frames, the meter
// feed, I/O errors, failed starts and stops, and the switch to the data logger.
#include <QtTest>

#include "test_home.h"

#include "LoggerMainWindow.h"
#include "MainWindow.h"
#include "Meter.h"
#include "Resources.h"
#include "ScopeEvents.h"
#include "ScopeGlobals.h"
#include "UsbBridge.h"
#include "ZrSim.h"
#include "test_scope_support.h"

#include <QAction>
#include <QLCDNumber>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <atomic>

namespace {

// The simulator, except that closing fails while `failClose` is set.
class StubbornCloseBackend : public UsbBackend {
public:
    std::atomic<bool> failClose{false};
    UsbBackend *sim = ZrSim::backend();
    std::vector<UsbDeviceInfo> enumerate() override { return sim->enumerate(); }
    UsbStatus open(const std::string &d, uint64_t *s) override { return sim->open(d, s); }
    UsbStatus close(uint64_t s) override { return failClose ? UsbIoError : sim->close(s); }
    UsbStatus setTransferSizes(uint64_t s, unsigned i, unsigned o) override { return sim->setTransferSizes(s, i, o); }
    UsbStatus setLatency(uint64_t s, unsigned char ms) override { return sim->setLatency(s, ms); }
    UsbStatus purge(uint64_t s, unsigned m) override { return sim->purge(s, m); }
    UsbStatus queueStatus(uint64_t s, unsigned *rx) override { return sim->queueStatus(s, rx); }
    UsbStatus read(uint64_t s, uint8_t *b, unsigned n, unsigned *g) override { return sim->read(s, b, n, g); }
    UsbStatus write(uint64_t s, const uint8_t *b, unsigned n, unsigned *wr) override
    {
        return sim->write(s, b, n, wr);
    }
    UsbStatus userAreaSize(uint64_t s, unsigned *n) override { return sim->userAreaSize(s, n); }
    UsbStatus userAreaRead(uint64_t s, uint8_t *b, unsigned n, unsigned *g) override
    {
        return sim->userAreaRead(s, b, n, g);
    }
    UsbStatus userAreaWrite(uint64_t s, const uint8_t *b, unsigned n) override { return sim->userAreaWrite(s, b, n); }
};

} // namespace

class TestScopeAcquisition : public QObject {
    Q_OBJECT

private:
    QPushButton *runButton() const { return w->findChild<QPushButton *>(QStringLiteral("RunButton")); }
    void expectStopped()
    {
        QVERIFY(!w->IsRunning());
        QCOMPARE(runButton()->text(), QStringLiteral(" Run"));
        QVERIFY(!runButton()->isChecked());
        QVERIFY(StopPollingKestrima);
    }
    void startAndSeeFrames()
    {
        runButton()->click();
        QVERIFY(w->IsRunning());
        QCOMPARE(runButton()->text(), QStringLiteral(" Stop"));
        QVERIFY(runButton()->isChecked());
        QTRY_VERIFY_WITH_TIMEOUT(w->FramesReceived() >= 3, 30000);
    }

private slots:
    void initTestCase() { InitResources(); }

    void init()
    {
        ZrSim::reset();
        UsbBridge::setBackend(nullptr);
        w = new MainWindow();
    }

    void cleanup()
    {
        delete w;
        QCOMPARE(w, nullptr);
        UsbBridge::setBackend(nullptr);
    }

    void runDeliversFramesUntilStop()
    {
        expectStopped();
        startAndSeeFrames();
        QVERIFY(ZrSim::state().open);
        QVERIFY(ZrSim::state().blockMode);
        QCOMPARE(int(ZrSim::state().channels), 3);

        runButton()->click();
        expectStopped();
        QVERIFY(!ZrSim::state().open);
        // Ticks that still arrive return at once: no more frames.
        const quint64 frames = w->FramesReceived();
        QTest::qWait(60);
        QCOMPARE(w->FramesReceived(), frames);
        QVERIFY(!DisplayInProgress);
    }

    void framesHoldTheDecodedBlock()
    {
        // Test mode sends ramps: A rises by one 8-bit step (4 codes) per sample, B falls.
        globalSetFeatures.testMode = 1;
        startAndSeeFrames();
        int checkedFrames = 0;
        for (QDeadlineTimer patience(30000); !patience.hasExpired() && checkedFrames < 3;) {
            QTest::qWait(5);
            if (RealDataChanA_Size == 0)
                continue;
            QCOMPARE(RealDataChanA_Size, ScopeFrameMax);
            QCOMPARE(RealDataChanB_Size, ScopeFrameMax);
            int rampSteps = 0;
            for (int i = 1; i < RealDataChanA_Size; ++i) {
                QVERIFY(RealDataChanA[i] >= 0 && RealDataChanA[i] <= 1023);
                if (RealDataChanA[i] - RealDataChanA[i - 1] == 4 && RealDataChanB[i - 1] - RealDataChanB[i] == 4)
                    ++rampSteps;
            }
            QVERIFY2(rampSteps > ScopeFrameMax * 9 / 10, qPrintable(QString::number(rampSteps)));
            ++checkedFrames;
        }
        QVERIFY(checkedFrames > 0);
    }

    void restartsCleanly()
    {
        for (int i = 0; i < 4; ++i) {
            startAndSeeFrames();
            runButton()->click();
            expectStopped();
        }
    }

    void failedStartStaysStopped()
    {
        ZrSim::setPresent(false);
        BoxCloser boxes;
        runButton()->click();
        QVERIFY(boxes.saw(QStringLiteral("Error starting Scope"), QStringLiteral("Cannot start scope")));
        expectStopped();
        QVERIFY(!ZrSim::state().open);
    }

    void startFindsAnInstrumentPluggedInLater()
    {
        delete w;
        ZrSim::setPresent(false);
        {
            BoxCloser boxes;
            w = new MainWindow();
            QCOMPARE(boxes.boxes.size(), 1);
        }
        ZrSim::setPresent(true);
        startAndSeeFrames();
    }

    void failedStopKeepsRunning()
    {
        StubbornCloseBackend backend;
        UsbBridge::setBackend(&backend);
        startAndSeeFrames();

        // Blocks complete only when the test moves the clock on.
        ZrSim::useManualClock(true);
        QTest::qWait(20);
        const quint64 before = w->FramesReceived();
        QTRY_VERIFY((ZrSim::advanceClock(std::chrono::milliseconds(10)), w->FramesReceived() > before));
        QTest::qWait(20);   // the tick has re-armed; nothing is queued now

        backend.failClose = true;
        BoxCloser boxes;
        runButton()->click();
        QVERIFY(boxes.saw(QStringLiteral("Error stoping Scope"), QStringLiteral("Cannot stop scope")));
        QVERIFY(w->IsRunning());
        QCOMPARE(runButton()->text(), QStringLiteral(" Stop"));
        QVERIFY(runButton()->isChecked());
        // Still acquiring: the next block arrives.
        const quint64 frames = w->FramesReceived();
        QTRY_VERIFY((ZrSim::advanceClock(std::chrono::milliseconds(10)), w->FramesReceived() > frames));

        backend.failClose = false;
        runButton()->click();
        expectStopped();
        delete w;   // before the back-end goes
        UsbBridge::setBackend(nullptr);
    }

    void ioErrorReturnsToStopped_data()
    {
        QTest::addColumn<bool>("unplug");
        QTest::newRow("i/o error") << false;
        QTest::newRow("unplugged") << true;
    }

    void ioErrorReturnsToStopped()
    {
        QFETCH(bool, unplug);
        startAndSeeFrames();
        if (unplug)
            ZrSim::disconnect();
        else
            ZrSim::injectIoError();
        QTRY_VERIFY(!w->IsRunning());
        expectStopped();
        QVERIFY(!isIOError);
        QVERIFY(!ZrSim::state().open);
        QVERIFY(!w->statusBar()->currentMessage().isEmpty());

        // The instrument is usable again once it answers.
        if (unplug)
            ZrSim::reconnect();
        w->ListDevices(false);
        startAndSeeFrames();
    }

    void metersAreFedWhileRunning()
    {
        // A steady +2 V on A: the meter shows about 2 V after the tick measured a block.
        ZrSim::Input dc;
        dc.shape = ZrSim::Input::Constant;
        dc.offsetMv = 2000.0;
        ZrSim::setInput(0, dc);
        w->findChild<QPushButton *>(QStringLiteral("MeteraButton"))->click();
        QVERIFY(Metera);
        QCOMPARE(LCDUpdate, 0);
        startAndSeeFrames();

        auto *mean = Metera->findChildren<QLCDNumber *>().value(0);
        QVERIFY(mean);
        QTRY_VERIFY(mean->value() > 1.8 && mean->value() < 2.2);
        const QStringList units = [] {
            QStringList texts;
            for (QLabel *l : Metera->findChildren<QLabel *>())
                texts << l->text();
            return texts;
        }();
        QVERIFY(units.contains(QStringLiteral("V")));

        int maxCode = 0, minCode = 0, mean0 = 0, cycles = 0;
        double pk = 0, rms = 0, f = 0;
        bool found = true;
        Meter::do_measure_A(0, 0, nanosecs_per_sample, RealDataChanA, &maxCode, &minCode, &pk, &mean0, &rms, &f,
                            &cycles, &found);
        QVERIFY(maxCode > 700 && maxCode < 730);   // 512 + 2000 mV / 9.77 mV per code
        QCOMPARE(minCode, 512);

    }

    void dataLoggerModeStopsTheScope()
    {
        w->show();
        startAndSeeFrames();
        QAction *logger = w->findChild<QAction *>(QStringLiteral("actionData_Logger"));
        QVERIFY(logger);
        logger->trigger();
        expectStopped();
        QVERIFY(!ZrSim::state().open);
        QVERIFY(!w->isVisible());
        QVERIFY(LoggerWin);
        QVERIFY(LoggerWin->isVisible());
        QVERIFY(QFile::exists(w->appFolderPath + QStringLiteral("Kestrima.xml")));

        // Back and in again: the same logger window.
        LoggerMainWindow *first = LoggerWin;
        LoggerWin->hide();
        w->show();
        logger->trigger();
        QCOMPARE(LoggerWin, first);
        QVERIFY(LoggerWin->isVisible());

        delete w;   // takes the logger window with it
        QCOMPARE(LoggerWin, nullptr);
    }

    void dataLoggerModeWaitsForAFailedStop()
    {
        StubbornCloseBackend backend;
        UsbBridge::setBackend(&backend);
        w->show();
        startAndSeeFrames();
        backend.failClose = true;
        BoxCloser boxes;
        w->findChild<QAction *>(QStringLiteral("actionData_Logger"))->trigger();
        QVERIFY(boxes.saw(QStringLiteral("Error stoping Scope"), QStringLiteral("Cannot stop scope")));
        QVERIFY(w->IsRunning());
        QVERIFY(w->isVisible());
        QVERIFY(!LoggerWin || !LoggerWin->isVisible());
        backend.failClose = false;
        delete w;
        UsbBridge::setBackend(nullptr);
    }

    void ioErrorEventIsIdempotent()
    {
        // A late notice after a normal stop must not disturb the stopped window.
        startAndSeeFrames();
        runButton()->click();
        expectStopped();
        QCoreApplication::postEvent(w, new IOErrorEvent());
        QCoreApplication::sendPostedEvents(w);
        expectStopped();
    }
};

ZR_TEST_MAIN(TestScopeAcquisition)
#include "test_scope_acquisition.moc"
