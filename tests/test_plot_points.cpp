// The logger chart: live segments, missed markers, saturation, alerts, redraws.
#include <QtTest>

#include "test_home.h"

#include "KrDriver.h"
#include "PlotMgr.h"

#include <QSysInfo>
#include <pwd.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_div.h>
#include <qwt_symbol.h>
#include <unistd.h>

namespace {

struct PopUp {
    int slot;
    QStringList texts;   // system, user, date, time, channel, x, y
};

class FakeWindow : public PlotClient {
public:
    void EnableTracking(double) override
    {
        ++trackingCalls;
        sawRescaling = chart && chart->DoesRescaling();
        if (moveWindowTo >= 0) {   // what the window does with tracking on
            config->xSettings.sampleMin = moveWindowTo;
            config->xSettings.sampleMax = moveWindowTo + 100;
            chart->UpdateXAxis();
            chart->DisplaySignal(&runs, true);
        }
    }
    void DisplayAlertPopUp(int slot, const QString &a, const QString &b, const QString &c,
                           const QString &d, const QString &e, const QString &f,
                           const QString &g) override
    {
        popUps.push_back({slot, {a, b, c, d, e, f, g}});
    }
    QVector<LoggerData *> *GetDisplayBuffer() override { return &runs; }
    void DisplayMarkerCoordinate(MarkerCoordinate, double) override {}
    void ClearMarkerCoordinate(MarkerCoordinate) override {}
    void ApplyXSettings(XSettings, bool) override {}

    PlotMgr *chart = nullptr;
    ConfigSettings *config = nullptr;
    QVector<LoggerData *> runs;
    int trackingCalls = 0;
    bool sawRescaling = false;
    int moveWindowTo = -1;
    std::vector<PopUp> popUps;
};

QVector<double> Seq(double first, int n)
{
    QVector<double> v;
    for (int i = 0; i < n; ++i)
        v.append(first + i);
    return v;
}

QVector<QPointF> Points(const QwtPlotCurve *curve)
{
    QVector<QPointF> p;
    for (size_t i = 0; i < curve->dataSize(); ++i)
        p.append(curve->sample(int(i)));
    return p;
}

}   // namespace

class TestPlotPoints : public QObject {
    Q_OBJECT

    ConfigSettings *config = nullptr;
    PlotMgr *chart = nullptr;
    FakeWindow *window = nullptr;
    QVector<int> sat;

    void Plot(const QVector<double> &x, const QVector<double> &y,
              PlotMgr::Channel ch = PlotMgr::ChannelA)
    {
        chart->PlotPoints(x, y, ch, config->sampleInterval, config->intervalUnit, sat, true);
    }
    void SetAlert(int slot, int channel, int type, int condition, double value)
    {
        AlertEntry &a = config->alertSettings.alerts[slot];
        a.channel = channel;
        a.alertType = type;
        a.condition = condition;
        a.value = value;
        a.fired = false;
    }
    void UseVoltScale()
    {
        config->ySettings.yUnit = 1;
        config->ySettings.multiplier = 1.0;
        config->ySettings.unitText = "V";
    }

private slots:
    void init()
    {
        config = new ConfigSettings("Tamberlo.xml");
        config->SetDefaultSettings();
        config->xSettings.sampleMax = 1000;
        chart = new PlotMgr();
        chart->resize(800, 500);
        window = new FakeWindow();
        window->chart = chart;
        window->config = config;
        chart->SetClient(window);
        chart->Initialize(config);
        shw_milliVoltsPerBitA = 9.765625;   // range 5
        shw_milliVoltsPerBitB = 9.765625;
    }
    void cleanup()
    {
        delete chart;
        delete window;
        delete config;
    }

    void axesFollowTheSettings()
    {
        chart->replot();   // Initialize leaves the first drawing to the window
        QCOMPARE(chart->axisScaleDiv(QwtPlot::xBottom).upperBound(), 1000.0);
        QCOMPARE(chart->axisTitle(QwtPlot::xBottom).text(), QString("Sample"));
        QCOMPARE(chart->axisTitle(QwtPlot::yLeft).text(), QString("mV"));
        QCOMPARE(chart->axisScaleDiv(QwtPlot::yLeft).lowerBound(), -10000.0);
        config->xSettings.xMode = 1;
        config->xSettings.timeMax = 10.0;
        chart->UpdateXAxis();
        const QwtScaleDiv &x = chart->axisScaleDiv(QwtPlot::xBottom);
        QCOMPARE(x.upperBound(), 10.0);
        QCOMPARE(x.ticks(QwtScaleDiv::MajorTick).value(1) - x.ticks(QwtScaleDiv::MajorTick).value(0), 2.0);
        QCOMPARE(chart->axisTitle(QwtPlot::xBottom).text(), QString("Sec"));
    }

    void missedSamplesDrawAtZeroWithMarkers()
    {
        Plot(Seq(11, 5), {10, 65535, 20, 30, 65535});
        QCOMPARE(chart->Segments(PlotMgr::ChannelA).size(), 1);
        const QVector<QPointF> p = Points(chart->Segments(PlotMgr::ChannelA)[0]);
        QCOMPARE(p, (QVector<QPointF>{{11, 10}, {12, 0}, {13, 20}, {14, 30}, {15, 0}}));
        const auto &markers = chart->MissedMarkers(PlotMgr::ChannelA);
        QCOMPARE(markers.size(), 2);
        QCOMPARE(markers[0]->value(), QPointF(12, 0));
        QCOMPARE(markers[1]->value(), QPointF(15, 0));
        QVERIFY(chart->MissedMarkers(PlotMgr::ChannelB).isEmpty());
    }

    void missedMarkerOnTimeAxis()
    {
        config->xSettings.xMode = 1;
        config->xSettings.timeMax = 10.0;
        chart->UpdateXAxis();
        Plot({499, 500, 501}, {1, 65535, 2});
        QCOMPARE(chart->MissedMarkers(PlotMgr::ChannelA).size(), 1);
        QCOMPARE(chart->MissedMarkers(PlotMgr::ChannelA)[0]->xValue(), 0.5);
        QCOMPARE(Points(chart->Segments(PlotMgr::ChannelA)[0]).value(2).x(), 0.501);
    }

    void saturationSkipsRepeatsAndFirstSample()
    {
        double up = 0, lo = 0;
        chart->SaturationLimits(PlotMgr::ChannelA, up, lo);
        // The top code 1023 gives trunc(511 x 9.765625) = 4990 after the fetch.
        QCOMPARE(up, 4990.0);
        QCOMPARE(lo, -5000.0);
        Plot({1, 1, 2, 3, 4}, {4990, 4990, 4990, -5000, 0});
        QCOMPARE(sat, (QVector<int>{1, 2}));
        Plot({5, 6}, {4990, 4989});
        QVERIFY(sat.isEmpty());   // the first sample is never tested, 4989 is below
        chart->PlotPoints({7}, {4990}, PlotMgr::ChannelA, 1.0, MilliSeconds, sat, false);
        QCOMPARE(sat, QVector<int>{0});
        Plot({8, 9}, {1, 65535});
        QVERIFY(sat.isEmpty());
    }

    void limitsFollowEachChannelsStepNotTheProbe()
    {
        shw_milliVoltsPerBitA = 0.1953125;
        shw_milliVoltsPerBitB = 39.0625;
        config->ySettings.chBSaturation.multiplier = 1;   // x10 probe on B
        double up = 0, lo = 0;
        chart->SaturationLimits(PlotMgr::ChannelB, up, lo);
        QCOMPARE(up, 19960.0);
        QCOMPARE(lo, -20000.0);
        Plot({1, 2, 3}, {0, 99, 19960}, PlotMgr::ChannelB);
        QCOMPARE(sat, QVector<int>{2});   // B's limit, not A's (99)
        Plot({1, 2}, {0, 99});
        QCOMPARE(sat, QVector<int>{1});
        UseVoltScale();   // the scale of the axis does not move the limits
        Plot({3, 4}, {0, -100});
        QCOMPARE(sat, QVector<int>{1});
    }

    void alertFiresOnceUntilCleared()
    {
        SetAlert(0, 0, 1, 0, 100.0);
        SetAlert(1, 1, 1, 0, 0.0);   // channel B: not evaluated while A is plotted
        Plot({1, 2, 3}, {50, 150, 200});
        QCOMPARE(int(window->popUps.size()), 1);
        const PopUp &p = window->popUps[0];
        QCOMPARE(p.slot, 0);
        QCOMPARE(p.texts[4], QString("A"));
        QCOMPARE(p.texts[5], QString("2.00000"));
        QCOMPARE(p.texts[6], QString("150.00000"));
        QVERIFY(config->alertSettings.alerts[0].fired);
        QVERIFY(!config->alertSettings.alerts[1].fired);
        Plot({4, 5}, {300, 400});
        QCOMPARE(int(window->popUps.size()), 1);
        config->alertSettings.alerts[0].fired = false;
        Plot({6, 7}, {300, 400});
        QCOMPARE(int(window->popUps.size()), 2);
    }

    void alertThresholdIsInMilliVoltsOnEveryScale()
    {
        UseVoltScale();
        SetAlert(2, 0, 1, 0, 500.0);
        Plot({1, 2}, {400, 600});
        QCOMPARE(int(window->popUps.size()), 1);
        QCOMPARE(window->popUps[0].slot, 2);
        QCOMPARE(window->popUps[0].texts[6], QString("0.60000"));   // shown as plotted
        QCOMPARE(window->popUps[0].texts[5], QString("2.00000"));

        config->ySettings.yUnit = 2;   // custom scale: 1 unit per 10 mV
        config->ySettings.multiplier = 100.0;
        SetAlert(3, 0, 3, 1, -250.0);
        Plot({3, 4}, {-200, -300});
        QCOMPARE(int(window->popUps.size()), 2);
        QCOMPARE(window->popUps[1].texts[6], QString("-30.00000"));
    }

    void alertKindsAndNames()
    {
        SetAlert(0, 0, 2, 0, 0.0);   // e-mail only: fires silently
        SetAlert(1, 0, 1, 1, 100.0);   // "less than": a missed sample is no measurement
        Plot({1, 2, 3}, {65535, 200, 300});
        QVERIFY(config->alertSettings.alerts[0].fired);
        QVERIFY(!config->alertSettings.alerts[1].fired);
        QVERIFY(window->popUps.empty());
        Plot({4}, {50});
        QCOMPARE(int(window->popUps.size()), 1);
        const QStringList &t = window->popUps[0].texts;
        QCOMPARE(t[0], QSysInfo::machineHostName());
        QCOMPARE(t[1], QString::fromLocal8Bit(getpwuid(geteuid())->pw_name));
        QCOMPARE(t[2], QDate::currentDate().toString(Qt::TextDate));
        QVERIFY(!t[3].isEmpty());
    }

    void trackingCheckRunsUnderRescalingGuard()
    {
        config->xSettings.sampleMax = 100;
        chart->UpdateXAxis();
        Plot(Seq(90, 10), Seq(0, 10));
        QCOMPARE(window->trackingCalls, 0);
        LoggerData stored;   // the window's runs: redrawn (empty) by the tracking
        DataValues a, b;
        stored.chA.values = &a;
        stored.chB.values = &b;
        window->runs.append(&stored);
        window->moveWindowTo = 100;
        Plot(Seq(99, 5), Seq(0, 5));
        QCOMPARE(window->trackingCalls, 1);
        QVERIFY(window->sawRescaling);
        QVERIFY(!chart->DoesRescaling());
        // The segment lands in the window the tracking moved to.
        QCOMPARE(chart->Segments(PlotMgr::ChannelA).size(), 1);
        QCOMPARE(Points(chart->Segments(PlotMgr::ChannelA)[0]).size(), 5);
    }

    void itemsStayBoundedOverLongRuns()
    {
        // 0..1000 shown, no tracking: blocks join on to one curve while in view, and
        // nothing is kept for blocks beyond it, markers included.
        SetAlert(0, 0, 1, 0, 1000.0);
        double last = 1;
        for (int block = 0; block < 400; ++block) {
            QVector<double> x{last}, y{10};   // joins on to the previous block
            for (int i = 1; i <= 10; ++i) {
                x.append(last + i);
                y.append(i == 5 ? 65535 : (block == 350 && i == 3 ? 2000 : i));
            }
            Plot(x, y);
            last += 10;
        }
        QCOMPARE(chart->Segments(PlotMgr::ChannelA).size(), 1);
        QCOMPARE(Points(chart->Segments(PlotMgr::ChannelA)[0]).last().x(), 1001.0);
        QCOMPARE(chart->MissedMarkers(PlotMgr::ChannelA).size(), 100);
        // Tested all the same beyond the window.
        QCOMPARE(int(window->popUps.size()), 1);
        QCOMPARE(window->popUps[0].texts[5], QString("3504.00000"));
        Plot({5000, 5001}, {0, 4990});
        QCOMPARE(sat, QVector<int>{1});
    }

    void newItemsFollowTheViewFlags()
    {
        Plot({1, 2}, {1, 2});
        chart->MakeChannelAVisible(false);
        Plot({2, 3}, {2, 3});   // showChATrace is still on
        QVERIFY(chart->Segments(PlotMgr::ChannelA).last()->isVisible());
        config->showChBTrace = false;
        Plot({1, 2}, {65535, 2}, PlotMgr::ChannelB);
        QVERIFY(!chart->Segments(PlotMgr::ChannelB).last()->isVisible());
        QVERIFY(!chart->MissedMarkers(PlotMgr::ChannelB).last()->isVisible());
    }

    void clearingAndColours()
    {
        Plot({1, 2, 3}, {1, 65535, 3});
        Plot({10, 11}, {1, 2});   // does not join: a curve of its own
        QCOMPARE(chart->Segments(PlotMgr::ChannelA).size(), 2);
        config->colorSettings.chAColor = Qt::cyan;
        chart->UpdateChAColor();
        for (QwtPlotCurve *c : chart->Segments(PlotMgr::ChannelA))
            QCOMPARE(c->pen().color(), QColor(Qt::cyan));
        QCOMPARE(chart->MissedMarkers(PlotMgr::ChannelA)[0]->symbol()->brush().color(), QColor(Qt::red));
        chart->ClearChA();
        QVERIFY(chart->Segments(PlotMgr::ChannelA).isEmpty());
        QCOMPARE(chart->MissedMarkers(PlotMgr::ChannelA).size(), 1);
        chart->ClearArea();
        QVERIFY(chart->MissedMarkers(PlotMgr::ChannelA).isEmpty());
    }

    void redrawOfStoredRuns()
    {
        Plot({1, 2}, {1, 2});
        chart->DisplaySignal(nullptr, false);
        QVector<LoggerData *> none;
        chart->DisplaySignal(&none, false);
        QCOMPARE(chart->Segments(PlotMgr::ChannelA).size(), 1);   // not cleared

        config->xSettings.xMode = 1;
        config->xSettings.timeMax = 10.0;
        chart->UpdateXAxis();
        LoggerData run;
        DataValues a{{1, 2, 3}, {5, 65535, 7}}, b{{1, 2, 3}, {}};
        run.chA.values = &a;
        run.chB.values = &b;
        run.sampleInterval = 2.0;   // a run logged at 2 s, shown with its own interval
        run.intervalUnit = Seconds;
        QVector<LoggerData *> runs{&run};
        chart->DisplaySignal(&runs, false);
        QCOMPARE(chart->Segments(PlotMgr::ChannelA).size(), 1);
        QCOMPARE(Points(chart->Segments(PlotMgr::ChannelA)[0]),
                 (QVector<QPointF>{{2, 5}, {4, 0}, {6, 7}}));
        QVERIFY(chart->Segments(PlotMgr::ChannelB).isEmpty());
        QCOMPARE(chart->MissedMarkers(PlotMgr::ChannelA)[0]->xValue(), 4.0);
        QVERIFY(!chart->IsDisplayOngoing());

        // A long run: only the rows the window 100..200 shows, with one on each side for
        // the lines into it, become points and markers; the extremes cover the whole run.
        config->xSettings.xMode = 0;
        config->xSettings.sampleMin = 100;
        config->xSettings.sampleMax = 200;
        chart->UpdateXAxis();
        DataValues longA, longB;
        for (int i = 1; i <= 100000; ++i) {
            longA.xValues.push_back(i);
            longA.yValues.push_back(i % 50 == 0 ? MissedSampleValue : (i == 90001 ? -900 : i % 7));
        }
        LoggerData longRun;
        longRun.chA.values = &longA;
        longRun.chB.values = &longB;
        runs = {&longRun};
        chart->DisplaySignal(&runs, false);
        QCOMPARE(chart->Segments(PlotMgr::ChannelA).size(), 1);
        const QVector<QPointF> shown = Points(chart->Segments(PlotMgr::ChannelA)[0]);
        QCOMPARE(shown.size(), 103);
        QCOMPARE(shown.first(), QPointF(99, 99 % 7));
        QCOMPARE(shown.last(), QPointF(201, 201 % 7));
        QCOMPARE(chart->MissedMarkers(PlotMgr::ChannelA).size(), 3);   // 100, 150, 200
        double minA, minB, maxA, maxB;
        chart->GetMinMaxValue(minA, minB, maxA, maxB);
        QCOMPARE(minA, -900.0);
        // Rows out of order are drawn whole; a run wholly outside the window not at all.
        std::swap(longA.xValues[10], longA.xValues[20]);
        chart->DisplaySignal(&runs, false);
        QCOMPARE(int(Points(chart->Segments(PlotMgr::ChannelA)[0]).size()), 100000);
        QCOMPARE(chart->MissedMarkers(PlotMgr::ChannelA).size(), 3);
        longA.xValues = {300, 301};
        longA.yValues = {1, 2};
        chart->DisplaySignal(&runs, false);
        QVERIFY(chart->Segments(PlotMgr::ChannelA).isEmpty());
    }

    void conversionsAndExtremes()
    {
        QVector<double> out;
        UseVoltScale();
        chart->GetConvertedYValue({750}, PlotMgr::Volt, out);
        QCOMPARE(out, QVector<double>{0.75});
        out.clear();
        chart->GetXValue({8}, 250, MilliSeconds, out);
        QCOMPARE(out, QVector<double>{2.0});

        double minA, minB, maxA, maxB;
        chart->GetMinMaxValue(minA, minB, maxA, maxB);
        QCOMPARE(QVector<double>({minA, minB, maxA, maxB}), QVector<double>(4, 0.0));
        Plot({1, 2, 3}, {-500, 250, 0});
        chart->GetMinMaxValue(minA, minB, maxA, maxB);
        QCOMPARE(minA, -500.0);
        QCOMPARE(maxA, 250.0);
        QCOMPARE(minB, 0.0);
        chart->ClearChA();
        chart->GetMinMaxValue(minA, minB, maxA, maxB);
        QCOMPARE(maxA, 0.0);
    }
};

ZR_TEST_MAIN(TestPlotPoints)
#include "test_plot_points.moc"
