// The chart's X window: the scroll slider, tracking of the newest data, Zoom Full and the
// redraw of the stored runs from the backup file that each move brings.
#include <QtTest>

#include "test_chart_support.h"
#include "test_home.h"
#include "test_images.h"

#include "AlertPopUp.h"
#include "LoggerMainWindow.h"
#include "Resources.h"
#include "Utility.h"
#include "XControlsWindow.h"
#include "ui_LoggerMainWindow.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QScreen>
#include <QSlider>
#include <memory>
#include <qwt_plot_curve.h>
#include <qwt_scale_div.h>

namespace {
struct PaintCounter : QObject {
    bool eventFilter(QObject *, QEvent *event) override
    {
        paints += event->type() == QEvent::Paint;
        return false;
    }
    int paints = 0;
};
}   // namespace

class TestViewTracking : public QObject {
    Q_OBJECT

    std::unique_ptr<LoggerMainWindow> win;

    // Sample n of the stored run: channel A 10 n mV, channel B -5 n mV.
    static double ValueA(double n) { return 10.0 * n; }
    static double ValueB(double n) { return -5.0 * n; }

    // A stopped chart of one run of `rows` samples from sample 1, in the backup file and
    // in the run list.
    void StoreRun(int rows) { QVERIFY(chart::StoreRun(win.get(), rows, ValueA(1), ValueB(1))); }

    static QVector<QPointF> Drawn(PlotMgr *plot, PlotMgr::Channel channel) { return chart::Drawn(plot, channel); }

    // The slider as ApplyXSettings leaves it: the value recorded, not applied.
    void PlaceSlider(int value, int maximum)
    {
        win->sliderActive = false;
        win->ui->horizontalSlider->setMaximum(maximum);
        win->ui->horizontalSlider->setValue(value);
        win->pendingSliderValue = value;
        win->sliderActive = true;
    }

    void SetWindow(int sampleMin, int sampleMax)
    {
        XSettings &xs = win->config->xSettings;
        xs.sampleMin = sampleMin;
        xs.sampleMax = sampleMax;
        xs.timeMin = sampleMin * 0.001;
        xs.timeMax = sampleMax * 0.001;
        win->plotMgr->UpdateXAxis();
    }

    void SetTracking(bool on)
    {
        if (win->config->trackDataLogger != on)
            win->ui->action_Track_Data_Logger->trigger();
    }

    QPair<double, double> AxisRange() const
    {
        const QwtScaleDiv div = win->plotMgr->axisScaleDiv(QwtPlot::xBottom);
        return {div.lowerBound(), div.upperBound()};
    }

private slots:
    void initTestCase() { QVERIFY(chart::PrepareApplication()); }

    void init() { chart::NewWindow(win); }

    void cleanup()
    {
        win.reset();
        QVERIFY(!LoggerWin);
    }

    // ---- Slider -----------------------------------------------------------------------

    void sliderMovesTheWindowBySteps_data()
    {
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("sampleMin");
        QTest::addColumn<int>("sampleMax");
        QTest::addColumn<double>("timeMin");
        QTest::addColumn<double>("timeMax");
        // From 5 on the window 0..100 (0..0.1 s), step 20 samples, 0.02 s.
        QTest::newRow("on") << 7 << 40 << 140 << 0.04 << 0.14;
        // At the start of the record the window shrinks, its time minimum is 0.
        QTest::newRow("back to the start") << 2 << 0 << 40 << 0.0 << 0.04;
        // Fully back it would close up to nothing (and its slider step become 0): it
        // keeps the smallest width the system makes instead.
        QTest::newRow("fully back") << 0 << 0 << 10 << 0.0 << 0.01;
    }

    void sliderMovesTheWindowBySteps()
    {
        QFETCH(int, to);
        QFETCH(int, sampleMin);
        QFETCH(int, sampleMax);
        QFETCH(double, timeMin);
        QFETCH(double, timeMax);
        SetTracking(false);
        SetWindow(0, 100);
        PlaceSlider(5, 50);
        win->ui->horizontalSlider->setValue(to);

        const XSettings &xs = win->config->xSettings;
        QCOMPARE(xs.sampleMin, sampleMin);
        QCOMPARE(xs.sampleMax, sampleMax);
        QVERIFY(qFuzzyCompare(1.0 + xs.timeMin, 1.0 + timeMin));
        QVERIFY(qFuzzyCompare(xs.timeMax, timeMax));
        QVERIFY(!xs.xUnitChanged);
        QCOMPARE(win->pendingSliderValue, to);
        QCOMPARE(win->maxScroll, 100);   // the user's moves leave the record's end
        QCOMPARE(AxisRange(), qMakePair(double(xs.sampleMin), double(xs.sampleMax)));
        QCOMPARE(win->ui->xMinLabel->text(), QString::number(xs.sampleMin));
        QCOMPARE(win->ui->xMaxLabel->text(), QString::number(xs.sampleMax));

        // And the slider goes on working from there.
        const int step = (sampleMax - sampleMin) / 5;
        win->ui->horizontalSlider->setValue(to + 1);
        QCOMPARE(xs.sampleMin, sampleMin + step);
        QCOMPARE(xs.sampleMax, sampleMax + step);
    }

    void sliderIgnoredWhileTrackingOrRecording()
    {
        SetWindow(0, 100);
        SetTracking(true);
        PlaceSlider(5, 50);
        win->loggingActive = true;   // tracking holds the slider only during a run
        win->ui->horizontalSlider->setValue(9);
        win->loggingActive = false;
        QCOMPARE(win->config->xSettings.sampleMax, 100);
        QCOMPARE(win->pendingSliderValue, 5);

        // Values the window sets itself are only recorded.
        SetTracking(false);
        win->sliderActive = false;
        win->ui->horizontalSlider->setValue(12);
        win->sliderActive = true;
        QCOMPARE(win->pendingSliderValue, 12);
        QCOMPARE(win->config->xSettings.sampleMax, 100);
    }

    // ---- Tracking ---------------------------------------------------------------------

    void trackingAdvancesOneWindow()
    {
        SetTracking(true);
        SetWindow(100, 200);
        win->EnableTracking();
        const XSettings &xs = win->config->xSettings;
        QCOMPARE(xs.sampleMin, 200);
        QCOMPARE(xs.sampleMax, 300);
        QVERIFY(qFuzzyCompare(xs.timeMin, 0.2));
        QVERIFY(qFuzzyCompare(xs.timeMax, 0.3));
        QVERIFY(!xs.xUnitChanged);
        // Slider: maximum (200 + 100) / 20, value 15 - 100 / 20.
        QCOMPARE(win->ui->horizontalSlider->maximum(), 15);
        QCOMPARE(win->ui->horizontalSlider->value(), 10);
        QCOMPARE(win->pendingSliderValue, 10);
        QCOMPARE(win->maxScroll, 300);
        QCOMPARE(AxisRange(), qMakePair(200.0, 300.0));
        QCOMPARE(win->ui->xMaxLabel->text(), QString("300"));

        win->EnableTracking();
        QCOMPARE(xs.sampleMin, 300);
        QCOMPARE(xs.sampleMax, 400);

        SetTracking(false);
        win->EnableTracking();
        QCOMPARE(xs.sampleMin, 300);
        QCOMPARE(win->pendingSliderValue, 15);

        // A run that begins far on (intervals counted during a long stop) is reached in one
        // move, not one empty window per drawing tick.
        SetTracking(true);
        auto *run = new LoggerData();
        run->firstSampleNo = 9806;
        win->runList->append(run);
        win->loggingActive = true;
        win->EnableTracking();
        win->loggingActive = false;
        QCOMPARE(xs.sampleMin, 9800);
        QCOMPARE(xs.sampleMax, 9900);
        QVERIFY(qFuzzyCompare(xs.timeMin, 9.8));

        // A drawing pass of more rows than the window is wide (a slow or busy machine):
        // the window goes to the one that holds the pass's newest row, not one width on.
        QVector<double> x, y;
        for (int n = 9950; n <= 10260; ++n)
            x << n, y << 1.0;
        QVector<int> saturated;
        win->loggingActive = true;
        win->plotMgr->PlotPoints(x, y, PlotMgr::ChannelA, 1.0, MilliSeconds, saturated, false);
        win->loggingActive = false;
        QCOMPARE(xs.sampleMin, 10200);
        QCOMPARE(xs.sampleMax, 10300);
    }

    // Tracking moves the slider on every turn, mostly by less than a pixel far on in a run:
    // it is repainted only when its handle moves, and the screen shows where it stands.
    void trackedSliderShowsItsPlace()
    {
        win->show();
        QVERIFY(QTest::qWaitForWindowExposed(win.get()));
        SetTracking(true);
        QSlider *slider = win->ui->horizontalSlider;
        PaintCounter counter;
        slider->installEventFilter(&counter);
        for (int start : {0, 1000000}) {
            SetWindow(start, start + 100);
            QCoreApplication::processEvents();
            int paints = 0;   // on screen, not those of the grabs
            for (int turn = 0; turn < 40; ++turn) {
                counter.paints = 0;
                win->EnableTracking();
                QCoreApplication::processEvents();
                paints += counter.paints;
                const QRect at(slider->mapTo(win.get(), QPoint()), slider->size());
                const QPixmap shown = win->screen()->grabWindow(win->winId(), at.x(), at.y(), at.width(), at.height());
                ZR_COMPARE_IMAGES(shown.toImage().convertToFormat(QImage::Format_RGB32),
                                  slider->grab().toImage().convertToFormat(QImage::Format_RGB32), 2, 4);
            }
            QCOMPARE(slider->value(), slider->maximum() - 5);
            QVERIFY2(start == 0 || paints < 10, qPrintable(QString::number(paints)));
        }
    }

    // The old window's samples leave the chart and the run's vectors when tracking moves on.
    void trackingDropsTheOldWindow()
    {
        StoreRun(300);
        SetTracking(false);
        SetWindow(0, 100);
        PlaceSlider(5, 15);
        win->ui->horizontalSlider->setValue(6);
        QVERIFY(!Drawn(win->plotMgr, PlotMgr::ChannelB).isEmpty());

        SetTracking(true);
        win->EnableTracking();
        QCOMPARE(win->config->xSettings.sampleMin, 120);
        QVERIFY(win->plotMgr->Segments(PlotMgr::ChannelA).isEmpty());
        QVERIFY(win->plotMgr->Segments(PlotMgr::ChannelB).isEmpty());
        QVERIFY(win->runList->first()->chA.values->xValues.empty());
        QVERIFY(win->runList->first()->chB.values->yValues.empty());
    }

    // Windows under 5 samples have a slider step of 0; tracking still moves them.
    void trackingANarrowWindow()
    {
        SetTracking(true);
        SetWindow(0, 3);
        win->EnableTracking();
        QCOMPARE(win->config->xSettings.sampleMin, 3);
        QCOMPARE(win->config->xSettings.sampleMax, 6);
        QCOMPARE(win->ui->horizontalSlider->maximum(), 6);
    }

    void trackDataLoggerToggles()
    {
        QVERIFY(win->config->trackDataLogger);   // on by default
        QVERIFY(win->ui->horizontalSlider->isEnabled());   // but no run to track
        win->loggingActive = true;
        win->ui->action_Track_Data_Logger->trigger();
        win->ui->action_Track_Data_Logger->trigger();
        QVERIFY(!win->ui->horizontalSlider->isEnabled());

        win->ui->action_Track_Data_Logger->trigger();
        QVERIFY(!win->config->trackDataLogger);
        QVERIFY(!LoggerMainWindow::IsTicked(win->ui->action_Track_Data_Logger));
        QVERIFY(win->ui->horizontalSlider->isEnabled());

        win->ui->action_Track_Data_Logger->trigger();
        QVERIFY(win->config->trackDataLogger);
        QVERIFY(LoggerMainWindow::IsTicked(win->ui->action_Track_Data_Logger));
        QVERIFY(!win->ui->horizontalSlider->isEnabled());
        win->loggingActive = false;
    }

    // ---- Zoom Full --------------------------------------------------------------------

    void zoomFullShowsTheWholeRecord_data()
    {
        QTest::addColumn<int>("xMode");
        QTest::newRow("samples") << 0;
        QTest::newRow("time") << 1;
    }

    void zoomFullShowsTheWholeRecord()
    {
        QFETCH(int, xMode);
        StoreRun(300);
        win->config->maxSamples = 1000;
        win->config->xSettings.xMode = xMode;
        SetTracking(false);
        SetWindow(100, 200);
        PlaceSlider(10, 15);
        const int maxScrollBefore = win->maxScroll;

        win->ui->action_Full->trigger();
        const XSettings &xs = win->config->xSettings;
        QCOMPARE(xs.xMode, xMode);
        QVERIFY(!xs.xUnitChanged);
        QCOMPARE(xs.sampleMin, 0);
        QCOMPARE(xs.sampleMax, 1000);
        QCOMPARE(xs.timeMin, 0.0);
        QCOMPARE(xs.timeMax, 1.0);
        QCOMPARE(AxisRange(), xMode == 1 ? qMakePair(0.0, 1.0) : qMakePair(0.0, 1000.0));
        QCOMPARE(win->ui->xMaxLabel->text(), xMode == 1 ? QString("1") : QString("1000"));

        // Every stored sample is drawn (on the time axis at n x 1 ms).
        const QVector<QPointF> points = Drawn(win->plotMgr, PlotMgr::ChannelA);
        QCOMPARE(points.size(), 300);
        const double f = xMode == 1 ? 0.001 : 1.0;
        QVERIFY(qFuzzyCompare(points.first().x(), 1 * f));
        QVERIFY(qFuzzyCompare(points.last().x(), 300 * f));
        QCOMPARE(points.last().y(), ValueA(300));

        QVERIFY(win->ui->horizontalSlider->isEnabled());   // no run is tracked
        // The window holds the whole record: the slider has nowhere to go.
        QCOMPARE(win->ui->horizontalSlider->value(), win->ui->horizontalSlider->maximum());
        QCOMPARE(win->ui->horizontalSlider->value(), win->ui->horizontalSlider->minimum());
        QCOMPARE(win->pendingSliderValue, win->ui->horizontalSlider->value());
        QVERIFY(win->sliderActive);
        QCOMPARE(win->maxScroll, maxScrollBefore);
    }

    // End and Home keep the record on the chart and the window its width, after Zoom Full
    // (which changes the slider's step) and after a narrow window that follows it.
    void sliderStaysOnTheRecordAfterZoomFull()
    {
        StoreRun(10126);
        win->config->maxSamples = 100000;
        SetTracking(false);
        XSettings xs = win->config->xSettings;
        xs.sampleMin = 200;
        xs.sampleMax = 300;
        win->ApplyXSettings(xs, true);
        win->ui->action_Full->trigger();

        QSlider *slider = win->ui->horizontalSlider;
        const XSettings &shown = win->config->xSettings;
        const auto press = [&](Qt::Key key, int sampleMin, int sampleMax, double lastDrawn) {
            QTest::keyClick(slider, key);
            QCOMPARE(shown.sampleMin, sampleMin);
            QCOMPARE(shown.sampleMax, sampleMax);
            const QVector<QPointF> points = Drawn(win->plotMgr, PlotMgr::ChannelA);
            QVERIFY(!points.isEmpty());
            QCOMPARE(points.last().x(), lastDrawn);
        };
        press(Qt::Key_End, 0, 100000, 10126);
        press(Qt::Key_Home, 0, 100000, 10126);

        xs = shown;
        xs.sampleMax = 100;
        win->ApplyXSettings(xs, true);
        press(Qt::Key_End, 10040, 10140, 10126);
        press(Qt::Key_Home, 0, 100, 100);

        // A window that starts between two steps goes back to the record's start, too.
        xs.sampleMin = 4050;
        xs.sampleMax = 4150;
        win->ApplyXSettings(xs, true);
        press(Qt::Key_Home, 0, 100, 100);
        press(Qt::Key_End, 10026, 10126, 10126);
    }

    // A chart read from a file holds all its samples already: nothing is re-read.
    void zoomFullOnAChartFile()
    {
        StoreRun(300);
        LoggerData *run = win->runList->first();
        run->chA.values->xValues = {5, 6};
        run->chA.values->yValues = {1, 2};
        run->chB.values->xValues = {5, 6};
        run->chB.values->yValues = {3, 4};
        win->chartFileLoaded = true;
        win->ui->action_Full->trigger();
        QCOMPARE(run->chA.values->xValues.size(), size_t(2));
        QCOMPARE(Drawn(win->plotMgr, PlotMgr::ChannelB),
                 QVector<QPointF>({QPointF(5, 3), QPointF(6, 4)}));
    }

    // ---- Read-outs in seconds ---------------------------------------------------------

    // Times read out to what the interval resolves, also where many tracked windows have
    // summed binary fractions (10.1000000000001 and a range of 0.100000000000001 before).
    void secondsReadOutsShowWhatTheIntervalResolves()
    {
        win->config->xSettings.xMode = 1;
        SetTracking(true);
        SetWindow(0, 100);   // 0..0.1 s at 1 ms
        win->xControlsWindow->Initialize(win->config->xSettings, win->config->sampleInterval,
                                         win->config->intervalUnit);
        win->xControlsWindow->show();   // a hidden one is filled only when shown
        win->loggingActive = true;
        for (int i = 0; i < 101; ++i)
            win->EnableTracking();
        win->loggingActive = false;
        QVERIFY(win->config->xSettings.timeMax != 10.2);   // the sums are off in the last bits
        QCOMPARE(win->ui->xMinLabel->text(), QString("10.1"));
        QCOMPARE(win->ui->xMaxLabel->text(), QString("10.2"));
        QCOMPARE(win->ui->xRange->text(), QString("0.1"));
        const auto field = [&](const char *name) {
            return win->xControlsWindow->findChild<QLineEdit *>(QLatin1String(name))->text();
        };
        QCOMPARE(field("xTimeMin"), QString("10.1"));
        QCOMPARE(field("xTimeMax"), QString("10.2"));
        win->xControlsWindow->hide();

        // Milliseconds, or the finer decimals of the interval; nothing beyond.
        QCOMPARE(Utility::SecondsText(7 * 0.0015, 0.0015), QString("0.0105"));
        QCOMPARE(Utility::SecondsText(0.1 * 3, 0.1), QString("0.3"));
        QCOMPARE(Utility::SecondsText(37.5, 1.0), QString("37.5"));
        QCOMPARE(Utility::SecondsText(153722 * 71.582, 71.582), QString("11003728.204"));
        QCOMPARE(Utility::SecondsText(0.00001, 0.001), QString("0"));
        QCOMPARE(Utility::SecondsText(-1e-17, 0.001), QString("0"));
    }

    // ---- Alert pop-ups ----------------------------------------------------------------

    void alertPopUpShowsItsSlot()
    {
        win->DisplayAlertPopUp(2, "host", "user", "Mon Jan 1 2024", "10:00:00", "A", "12.00000",
                               "150.00000");
        for (int i = 0; i < 4; ++i)
            QCOMPARE(win->alertPopUps[i]->isVisible(), i == 2);
        QVERIFY(!win->alertPopUps[2]->isModal());
        win->alertPopUps[2]->hide();
        win->DisplayAlertPopUp(4, "", "", "", "", "", "", "");   // no such slot
        win->DisplayAlertPopUp(-1, "", "", "", "", "", "", "");
        for (AlertPopUp *popUp : win->alertPopUps)
            QVERIFY(!popUp->isVisible());
    }
};

ZR_TEST_MAIN(TestViewTracking)
#include "test_view_tracking.moc"
