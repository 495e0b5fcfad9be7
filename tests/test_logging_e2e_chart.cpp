// The live chart during whole logging runs through the real windows with the simulated
// instrument at 1 ms: tracking moves the X window with the data, the chart holds nothing
// the window cannot show, and alerts fire once until the screen is cleared.
#include "test_home.h"
#include "ui_LoggerMainWindow.h"
#include "test_logging_e2e_support.h"

#include "AlertPopUp.h"
#include "DisplayThread.h"

#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>

#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>

#include <memory>

class TestLoggingE2EChart : public QObject {
    Q_OBJECT

    std::unique_ptr<e2e::Session> session;

    LoggerMainWindow *Win() const { return session->Win(); }
    PlotMgr *Chart() const { return session->Win()->plotMgr; }

    // What the chart holds for samples outside the X window: curves that lie wholly
    // outside it and missed markers outside it. Empty when the chart is bounded by it.
    QStringList OutsideWindow() const
    {
        const XSettings &xs = Win()->config->xSettings;
        const double lo = xs.sampleMin, hi = xs.sampleMax;
        QStringList outside;
        for (PlotMgr::Channel ch : {PlotMgr::ChannelA, PlotMgr::ChannelB}) {
            for (QwtPlotCurve *curve : Chart()->Segments(ch)) {
                const QRectF r = curve->boundingRect();
                if (curve->dataSize() == 0 || r.right() < lo || r.left() > hi)
                    outside << QString("curve %1..%2").arg(r.left()).arg(r.right());
            }
            for (QwtPlotMarker *m : Chart()->MissedMarkers(ch))
                if (m->xValue() < lo || m->xValue() > hi)
                    outside << QString("marker %1").arg(m->xValue());
        }
        if (!outside.isEmpty())
            outside.prepend(QString("window %1..%2:").arg(lo).arg(hi));
        return outside;
    }

    int CurvePoints() const
    {
        int n = 0;
        for (PlotMgr::Channel ch : {PlotMgr::ChannelA, PlotMgr::ChannelB})
            for (QwtPlotCurve *curve : Chart()->Segments(ch))
                n += int(curve->dataSize());
        return n;
    }

    // Counts the times each alert pop-up is shown; each is hidden again at once, so that
    // a second showing would count too.
    class PopUpCounter : public QObject {
    public:
        explicit PopUpCounter(LoggerMainWindow *win)
        {
            for (int i = 0; i < 4; ++i) {
                popUps[i] = win->alertPopUps[i];
                popUps[i]->installEventFilter(this);
            }
        }
        ~PopUpCounter() override
        {
            for (AlertPopUp *p : popUps)
                p->removeEventFilter(this);
        }
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Show) {
                for (int i = 0; i < 4; ++i) {
                    if (watched == popUps[i])
                        ++shown[i];
                }
                QMetaObject::invokeMethod(watched, "hide", Qt::QueuedConnection);
            }
            return false;
        }
        AlertPopUp *popUps[4];
        int shown[4] = {0, 0, 0, 0};
    };

    static ZrSim::Input Constant(double mv)
    {
        ZrSim::Input in;
        in.shape = ZrSim::Input::Constant;
        in.offsetMv = mv;
        return in;
    }

private slots:
    void initTestCase()
    {
        session.reset(new e2e::Session);
        QVERIFY(Win());
    }

    void cleanupTestCase()
    {
        session.reset();
        QVERIFY(!LoggerWin);
    }

    void init()
    {
        session->Reset();
    }

    void cleanup()
    {
        QVERIFY2(session->boxTexts.isEmpty(), qPrintable(session->boxTexts.join(" | ")));
    }

    // With tracking on the X window moves on by its width as the data passes its end, so
    // the chart keeps showing the newest samples, and holds nothing the window has left.
    void trackingFollowsTheData()
    {
        QVERIFY(Win()->config->trackDataLogger);
        ZrSim::setGapEvery(137);
        const int width = 100;
        int moves = 0, probes = 0, emptyProbes = 0, lastMin = 0, maxPoints = 0;
        QStringList faults;
        QVERIFY(session->LogRows(3000, [&] {
            const XSettings &xs = Win()->config->xSettings;
            if (xs.sampleMax - xs.sampleMin != width || xs.sampleMin % width != 0
                || xs.sampleMin < lastMin)
                faults << QString("window %1..%2").arg(xs.sampleMin).arg(xs.sampleMax);
            moves += xs.sampleMin != lastMin;
            lastMin = xs.sampleMin;
            faults << OutsideWindow();
            maxPoints = qMax(maxPoints, CurvePoints());
            if (xs.sampleMin > 0) {   // the data has left the first window
                ++probes;
                emptyProbes += Chart()->Segments(PlotMgr::ChannelA).isEmpty();
            }
        }));
        QVERIFY2(faults.isEmpty(), qPrintable(faults.mid(0, 10).join(" ")));
        QVERIFY(moves >= 5);
        // Right after a move the window may be empty for a moment; mostly it shows data.
        QVERIFY2(emptyProbes * 4 < probes, qPrintable(QString("%1 of %2").arg(emptyProbes).arg(probes)));

        // The run's last sample is in or just before the last window.
        const int last = Win()->runList->last()->chA.totalSamples;
        const XSettings &xs = Win()->config->xSettings;
        QVERIFY2(xs.sampleMin <= last && last <= xs.sampleMax + width,
                 qPrintable(QString("%1 in %2..%3").arg(last).arg(xs.sampleMin).arg(xs.sampleMax)));
        QVERIFY(last > 10 * width);
        QVERIFY(maxPoints < last / 2);
        // After the run the slider stands at the window's end, End at the run's end (or
        // this window, when the run ends before it).
        QCOMPARE(Win()->ui->horizontalSlider->value(), xs.sampleMax / 20);
        QCOMPARE(Win()->ui->horizontalSlider->maximum(), (qMax(last, xs.sampleMax) + 19) / 20);
        QCOMPARE(Win()->pendingSliderValue, Win()->ui->horizontalSlider->value());
    }

    // After a run the user scrolls back with the slider as with any slider: a click on its
    // groove, the Home and End keys, and a drag of its handle, all move the X window.
    void sliderMovesTheWindowAfterARun()
    {
        QVERIFY(Win()->config->trackDataLogger);
        QVERIFY(session->LogRows(1500));
        QSlider *slider = Win()->ui->horizontalSlider;
        Win()->activateWindow();
        QVERIFY(QTest::qWaitForWindowExposed(Win()));
        QVERIFY(slider->isEnabled());
        const XSettings &xs = Win()->config->xSettings;
        const int width = xs.sampleMax - xs.sampleMin, lastMin = xs.sampleMin;
        QVERIFY(lastMin > 5 * width);
        auto window = [&] { return QString("%1..%2").arg(xs.sampleMin).arg(xs.sampleMax); };

        QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(5, slider->height() / 2));
        QTRY_VERIFY2(xs.sampleMin < lastMin, qPrintable(window()));
        slider->setFocus();
        QTest::keyClick(slider, Qt::Key_Home);
        QCOMPARE(xs.sampleMin, 0);
        QVERIFY2(xs.sampleMax >= 10 && xs.sampleMax <= width, qPrintable(window()));
        QTest::keyClick(slider, Qt::Key_End);
        QVERIFY2(xs.sampleMin >= lastMin, qPrintable(window()));

        // Drag the handle from the right end to the middle: the window follows.
        QStyleOptionSlider opt;
        opt.initFrom(slider);
        opt.orientation = slider->orientation();
        opt.minimum = slider->minimum();
        opt.maximum = slider->maximum();
        opt.sliderPosition = opt.sliderValue = slider->value();
        const QPoint handle = slider->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, slider).center();
        QTest::mousePress(slider, Qt::LeftButton, {}, handle);
        // (QTest::mouseMove carries no button on widgets.)
        QMouseEvent move(QEvent::MouseMove, QPoint(slider->width() / 2, handle.y()), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(slider, &move);
        QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(slider->width() / 2, handle.y()));
        QVERIFY2(xs.sampleMin > lastMin / 4 && xs.sampleMax < lastMin * 3 / 4 + width, qPrintable(window()));
        QCOMPARE(Win()->pendingSliderValue, slider->value());

        // The next run tracks the data again: the slider is the data's while logging.
        bool heldWhileLogging = true;
        QVERIFY(session->Log(300, [&] { heldWhileLogging &= !slider->isEnabled(); }));
        QVERIFY(heldWhileLogging);
        QVERIFY(slider->isEnabled());
    }

    // Without tracking the window stays where it is; once the data has passed it the chart
    // stops growing. A slider move afterwards shows that part of the record from the backup.
    void windowStaysWithoutTracking()
    {
        Win()->ui->action_Track_Data_Logger->trigger();
        QVERIFY(!Win()->config->trackDataLogger);
        ZrSim::setGapEvery(137);
        int itemsLate = -1, pointsLate = -1;
        QStringList faults;
        // The data leaves the window at sample 100; from 1500 on the chart must hold still.
        QVERIFY(session->LogUntil([] { return e2e::Session::Drawn() >= 2500; }, [&] {
            const XSettings &xs = Win()->config->xSettings;
            if (xs.sampleMin != 0 || xs.sampleMax != 100)
                faults << QString("window %1..%2").arg(xs.sampleMin).arg(xs.sampleMax);
            faults << OutsideWindow();
            if (e2e::Session::Drawn() >= 1500) {
                const int items = Chart()->itemList().size(), points = CurvePoints();
                if (itemsLate < 0) {
                    itemsLate = items;
                    pointsLate = points;
                } else if (items != itemsLate || points != pointsLate) {
                    faults << QString("chart grew to %1 items, %2 points").arg(items).arg(points);
                }
            }
        }));
        QVERIFY2(faults.isEmpty(), qPrintable(faults.mid(0, 10).join(" ")));
        // At most the window's samples and a segment that began in it (no live segment
        // is longer than the drawing thread's limit).
        QVERIFY(pointsLate > 0 && pointsLate <= 2 * (101 + DisplayThread::LiveWindow));

        // Slider from 5 (window 0..100) to 15: samples 200..300 from the backup file.
        QVERIFY(Win()->ui->horizontalSlider->isEnabled());
        Win()->sliderActive = false;
        Win()->ui->horizontalSlider->setMaximum(50);
        Win()->ui->horizontalSlider->setValue(5);
        Win()->pendingSliderValue = 5;
        Win()->sliderActive = true;
        Win()->ui->horizontalSlider->setValue(15);
        QCOMPARE(Win()->config->xSettings.sampleMin, 200);
        QCOMPARE(Win()->config->xSettings.sampleMax, 300);
        QVector<e2e::Run> runs;
        QString error;
        QVERIFY2(e2e::ReadRuns(session->BackupPath(), runs, error), qPrintable(error));
        QCOMPARE(runs.size(), 1);
        QVector<QPointF> drawn;
        for (QwtPlotCurve *curve : Chart()->Segments(PlotMgr::ChannelB))
            for (size_t i = 0; i < curve->dataSize(); ++i)
                drawn << curve->sample(int(i));
        QCOMPARE(drawn.size(), 101);
        for (const QPointF &p : drawn) {
            const e2e::Row &row = runs[0].rows[int(p.x()) - 1];
            QCOMPARE(row.no.toDouble(), p.x());
            QCOMPARE(row.b == "65535" ? 0.0 : row.b.toDouble(), p.y());
        }
        QVERIFY(OutsideWindow().isEmpty());
    }

    // Zoom Full while logging: the whole record fits the window and stays drawn.
    void zoomFullWhileLogging()
    {
        Win()->config->maxSamples = 20000;
        bool zoomed = false;
        QVERIFY(session->LogRows(2000, [&] {
            if (!zoomed && e2e::Session::Drawn() >= 500) {
                Win()->ui->action_Full->trigger();
                zoomed = true;
            }
        }));
        const XSettings &xs = Win()->config->xSettings;
        QCOMPARE(xs.sampleMin, 0);
        QCOMPARE(xs.sampleMax, 20000);
        // Everything logged is on the chart once: the rows before the zoom from the backup,
        // the later ones live.
        const int total = Win()->runList->last()->chA.totalSamples;
        QVector<double> xs2;
        for (QwtPlotCurve *curve : Chart()->Segments(PlotMgr::ChannelA))
            for (size_t i = 0; i < curve->dataSize(); ++i)
                xs2 << curve->sample(int(i)).x();
        std::sort(xs2.begin(), xs2.end());
        xs2.erase(std::unique(xs2.begin(), xs2.end()), xs2.end());
        QCOMPARE(xs2.size(), total);
        QCOMPARE(xs2.first(), 1.0);
        QCOMPARE(xs2.last(), double(total));
    }

    // An alert fires once, however long the condition lasts and across runs, until Clear
    // Screen re-arms it. Its threshold is in mV whatever the Y scale shows.
    void alertFiresOnceUntilCleared_data()
    {
        QTest::addColumn<bool>("volts");
        QTest::newRow("mV scale") << false;
        QTest::newRow("V scale") << true;
    }

    void alertFiresOnceUntilCleared()
    {
        QFETCH(bool, volts);
        ConfigSettings *c = Win()->config;
        if (volts) {
            c->ySettings.yUnit = 1;
            c->ySettings.multiplier = 1.0;
            c->ySettings.unitText = "V";
            c->ySettings.yMin = -10.0;
            c->ySettings.yMax = 10.0;
            Chart()->UpdateYAxis();
        }
        c->ySettings.chASaturation.signalType = 0;   // DC: the constant input gets through
        c->ySettings.chBSaturation.signalType = 0;
        ZrSim::setInput(0, Constant(500.0));
        ZrSim::setInput(1, Constant(-500.0));
        AlertEntry &above = c->alertSettings.alerts[0];   // A > 300 mV: fires
        above.channel = 0;
        above.alertType = 1;
        above.condition = 0;
        above.value = 300.0;
        AlertEntry &high = c->alertSettings.alerts[1];    // A > 800 mV: never
        high.channel = 0;
        high.alertType = 1;
        high.condition = 0;
        high.value = 800.0;
        AlertEntry &below = c->alertSettings.alerts[2];   // B < -300 mV: fires
        below.channel = 1;
        below.alertType = 3;
        below.condition = 1;
        below.value = -300.0;
        AlertEntry &silent = c->alertSettings.alerts[3];  // e-mail only: fires unseen
        silent.channel = 1;
        silent.alertType = 2;
        silent.condition = 0;
        silent.value = -1000.0;

        PopUpCounter counter(Win());
        QVERIFY(session->LogRows(1500));
        QTest::qWait(50);
        QCOMPARE(counter.shown[0], 1);
        QCOMPARE(counter.shown[1], 0);
        QCOMPARE(counter.shown[2], 1);
        QCOMPARE(counter.shown[3], 0);
        QVERIFY(above.fired && !high.fired && below.fired && silent.fired);

        // A second run of the same chart: still fired, nothing shown.
        QVERIFY(session->LogRows(800));
        QTest::qWait(50);
        QCOMPARE(counter.shown[0], 1);
        QCOMPARE(counter.shown[2], 1);

        // Clear Screen re-arms them.
        Win()->ui->action_Clear_Screen->trigger();
        QVERIFY(!above.fired && !below.fired && !silent.fired);
        QVERIFY(session->LogRows(800));
        QTest::qWait(50);
        QCOMPARE(counter.shown[0], 2);
        QCOMPARE(counter.shown[1], 0);
        QCOMPARE(counter.shown[2], 2);
        QCOMPARE(counter.shown[3], 0);
    }
};

ZR_TEST_MAIN(TestLoggingE2EChart)
#include "test_logging_e2e_chart.moc"
