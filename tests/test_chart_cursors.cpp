// Chart cursors with their read-outs and delta, the zoom windows, and the run labels.
#include <QtTest>

#include "test_chart_support.h"
#include "test_home.h"

#include "LoggerMainWindow.h"
#include "Resources.h"
#include "Utility.h"
#include "ui_LoggerMainWindow.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QSlider>
#include <memory>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_map.h>

class TestChartCursors : public QObject {
    Q_OBJECT

    std::unique_ptr<LoggerMainWindow> win;

    // A run held in memory as a chart file holds it: samples first..first+n-1, channel A
    // 10 n mV, channel B -n mV.
    LoggerData *AddRun(int first, int n, bool chA = true, bool chB = true)
    {
        auto *run = new LoggerData;
        run->firstSampleNo = first;
        run->sampleInterval = win->config->sampleInterval;
        run->intervalUnit = win->config->intervalUnit;
        run->startDate = run->stopDate = "01/02/2024";
        run->startTime = run->stopTime = "10:00:00 AM";
        run->chA.values = new DataValues;
        run->chB.values = new DataValues;
        for (int s = first; s < first + n; ++s) {
            if (chA) {
                run->chA.values->xValues.push_back(s);
                run->chA.values->yValues.push_back(10.0 * s);
            }
            if (chB) {
                run->chB.values->xValues.push_back(s);
                run->chB.values->yValues.push_back(-1.0 * s);
            }
        }
        run->chA.totalSamples = chA ? n : 0;
        run->chB.totalSamples = chB ? n : 0;
        win->runList->append(run);
        win->chartFileLoaded = true;   // the vectors are what the chart shows
        return run;
    }

    // One run of `rows` samples from sample 1 in the backup file, as a live chart pages it:
    // channel A 10 n mV, channel B -n mV.
    void StoreRun(int rows) { QVERIFY(chart::StoreRun(win.get(), rows, 10.0, -1.0)); }

    // An X window in sample numbers (mode 0) or seconds (1), as the X controls apply it.
    void SetWindow(int mode, double lo, double hi)
    {
        XSettings xs = win->config->xSettings;
        xs.xMode = mode;
        if (mode == 1) {
            xs.timeMin = lo;
            xs.timeMax = hi;
        } else {
            xs.sampleMin = int(lo);
            xs.sampleMax = int(hi);
        }
        win->ApplyXSettings(xs, true);
    }
    void SetSampleWindow(int lo, int hi) { SetWindow(0, lo, hi); }
    void SetTimeWindow(double lo, double hi) { SetWindow(1, lo, hi); }

    QPair<double, double> SampleWindow() const
    {
        return {double(win->config->xSettings.sampleMin), double(win->config->xSettings.sampleMax)};
    }

    QString Text(QLabel *label) const { return label->text(); }

    QVector<QPointF> Drawn(PlotMgr::Channel channel) const { return chart::Drawn(win->plotMgr, channel); }

    QPoint Pixel(double x, double y) const
    {
        return QPoint(qRound(win->plotMgr->canvasMap(QwtPlot::xBottom).transform(x)),
                      qRound(win->plotMgr->canvasMap(QwtPlot::yLeft).transform(y)));
    }

private slots:
    void initTestCase() { QVERIFY(chart::PrepareApplication()); }

    void init()
    {
        chart::NewWindow(win);
        ConfigSettings *c = win->config;
        c->sampleInterval = 10.0;
        c->intervalUnit = MilliSeconds;
        c->maxSamples = 1000;
        c->ySettings.yMin = -10.0;
        c->ySettings.yMax = 10.0;
        c->ySettings.multiplier = 1.0;   // volts
        c->ySettings.yUnit = 1;
        if (c->trackDataLogger)
            win->ui->action_Track_Data_Logger->trigger();
    }

    void cleanup() { win.reset(); }

    // Data cursor on channel A, missed-data cursor on channel B, read in samples and then in
    // seconds after the unit changes; the delta follows both.
    void cursorReadingAndDeltaInBothUnits()
    {
        AddRun(100, 100);
        SetSampleWindow(0, 300);
        win->ui->DataCursor->click();
        win->dataCursorMenu->hide();
        QVERIFY(win->ui->DataCursor->isFlat());
        QVERIFY(win->plotMgr->IsCursorShown(DataMarker));
        QVERIFY(win->ui->dataRadioButton->isChecked());
        win->dataCursorChA->trigger();
        QCOMPARE(win->plotMgr->dataCursorChannel, 0);

        win->plotMgr->MoveDataCursor(QPointF(150.5, 7.0));   // halves go up: sample 151
        QCOMPARE(Text(win->ui->xData), QString("151.0000"));
        QCOMPARE(Text(win->ui->yData), QString("1.5100"));
        win->plotMgr->MoveDataCursor(QPointF(150.4, 7.0));
        QCOMPARE(Text(win->ui->xData), QString("150.0000"));

        win->ui->MissedDataCursor->click();
        win->missedCursorMenu->hide();
        win->missedCursorChB->trigger();
        win->plotMgr->MoveMissedCursor(QPointF(120.0, 0.0));
        QCOMPARE(Text(win->ui->yMissed), QString("-0.1200"));
        QVERIFY(win->deltaDataMissed->isEnabled());
        win->deltaDataMissed->trigger();
        QCOMPARE(win->ui->cursorDelta->text(), QString("Data - Missed"));
        QCOMPARE(Text(win->ui->xDelta), QString("30.0000"));
        QCOMPARE(Text(win->ui->yDelta), QString("1.6200"));

        // Outside the run the cursor stays where it is dragged; past the axis the read-out
        // shows the axis end.
        win->plotMgr->MoveDataCursor(QPointF(400.0, 0.5));
        QCOMPARE(Text(win->ui->xData), QString("300.0000"));
        QCOMPARE(Text(win->ui->yData), QString("0.5000"));

        // Seconds (10 ms): the cursors move with the unit and snap to the same samples.
        win->plotMgr->MoveDataCursor(QPointF(150.0, 0.0));
        SetTimeWindow(0.0, 3.0);
        QCOMPARE(Text(win->ui->xData), QString("1.5000"));
        QCOMPARE(Text(win->ui->xMissed), QString("1.2000"));
        QCOMPARE(Text(win->ui->xDelta), QString("0.3000"));
        // Flagged again without a change of unit, nothing moves.
        win->plotMgr->UpdateXAxis();
        QCOMPARE(Text(win->ui->xData), QString("1.5000"));
        win->plotMgr->MoveDataCursor(QPointF(1.234, 0.0));   // sample 123.4 -> 123
        QCOMPARE(Text(win->ui->xData), QString("1.2300"));
        QCOMPARE(Text(win->ui->yData), QString("1.2300"));

        // Switching a cursor off turns the delta off.
        win->ui->MissedDataCursor->click();
        QCOMPARE(win->ui->cursorDelta->text(), QString("Delta"));
        QVERIFY(Text(win->ui->xDelta).isEmpty());
        QVERIFY(Text(win->ui->xMissed).isEmpty());
        QVERIFY(!win->deltaDataMissed->isEnabled());
    }

    // A real drag on the canvas moves the active cursor, which snaps to the samples.
    void cursorDraggedWithTheMouse()
    {
        AddRun(100, 100);
        SetSampleWindow(0, 300);
        win->resize(1200, 800);
        win->show();
        QVERIFY(QTest::qWaitForWindowExposed(win.get()));
        win->ui->DataCursor->click();
        win->dataCursorMenu->hide();
        win->dataCursorChA->trigger();
        QWidget *canvas = win->plotMgr->canvas();
        auto send = [canvas](QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
            QMouseEvent event(type, at, canvas->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(canvas, &event);
        };
        send(QEvent::MouseButtonPress, Pixel(150.0, 0.0), Qt::LeftButton);
        send(QEvent::MouseMove, Pixel(170.0, 5.0), Qt::LeftButton);
        send(QEvent::MouseMove, Pixel(160.2, 5.0), Qt::LeftButton);
        send(QEvent::MouseButtonRelease, Pixel(160.2, 5.0), Qt::NoButton);
        QTRY_COMPARE(Text(win->ui->xData), QString("160.0000"));
        QCOMPARE(Text(win->ui->yData), QString("1.6000"));
        QCOMPARE(win->plotMgr->CursorPoint(DataMarker), QPointF(160.0, 1.6));
    }

    // Channels of a file may differ in length, and a run may hold channel B only.
    void cursorIndexesAreBoundsChecked()
    {
        LoggerData *run = AddRun(100, 100);
        run->chB.values->yValues.resize(50);   // x numbers without values
        run->chB.values->yValues[30] = MissedSampleValue;
        AddRun(300, 20, false, true);          // channel B only
        SetSampleWindow(0, 400);
        win->ui->DataCursor->click();
        win->dataCursorMenu->hide();
        win->dataCursorChB->trigger();
        win->plotMgr->MoveDataCursor(QPointF(120.0, 3.0));
        QCOMPARE(Text(win->ui->yData), QString("-0.1200"));
        win->plotMgr->MoveDataCursor(QPointF(130.0, 3.0));   // missed: drawn at 0
        QCOMPARE(Text(win->ui->yData), QString("0.0000"));
        win->plotMgr->MoveDataCursor(QPointF(180.0, 3.0));   // no value: stays at the mouse
        QCOMPARE(win->plotMgr->CursorPoint(DataMarker), QPointF(180.0, 3.0));
        win->plotMgr->MoveDataCursor(QPointF(310.0, 3.0));
        QCOMPARE(Text(win->ui->yData), QString("-0.3100"));
    }

    // Click zooms (one of them a real click), the menu zooms and Zoom Full.
    void zoomSequence()
    {
        win->config->sampleInterval = 1.0;
        StoreRun(300);
        win->chartFileLoaded = false;
        SetSampleWindow(0, 100);
        win->resize(1200, 800);
        win->show();
        QVERIFY(QTest::qWaitForWindowExposed(win.get()));

        win->ui->ZoomInButton->click();
        QVERIFY(win->zoomInActive);
        QTest::mouseClick(win->plotMgr->canvas(), Qt::LeftButton, Qt::NoModifier, Pixel(10, 0));
        QTRY_COMPARE(SampleWindow(), qMakePair(0.0, 50.0));   // h 25, centre 25
        QCOMPARE(Drawn(PlotMgr::ChannelA).last(), QPointF(50, 0.5));

        win->plotMgr->ZoomIn(QPointF(2, 0));
        QCOMPARE(SampleWindow(), qMakePair(0.0, 24.0));
        win->plotMgr->ZoomIn(QPointF(2, 0));
        QCOMPARE(SampleWindow(), qMakePair(0.0, 12.0));
        win->plotMgr->ZoomIn(QPointF(2, 0));   // never below 10 samples
        QCOMPARE(SampleWindow(), qMakePair(0.0, 10.0));
        QVERIFY(win->config->GetXSampleStepSize() > 0);

        win->ui->ZoomOutButton->click();   // the modes are exclusive
        QVERIFY(!win->zoomInActive && win->zoomOutActive);
        QVERIFY(!win->ui->ZoomInButton->isChecked());
        win->plotMgr->ZoomOut(QPointF(5, 0));
        QCOMPARE(SampleWindow(), qMakePair(0.0, 20.0));
        win->ui->action_out->trigger();
        QCOMPARE(SampleWindow(), qMakePair(0.0, 40.0));
        win->ui->action_In->trigger();
        QCOMPARE(SampleWindow(), qMakePair(10.0, 30.0));
        QCOMPARE(Drawn(PlotMgr::ChannelB).first(), QPointF(10, -0.01));
        win->ui->action_Full->trigger();
        QCOMPARE(SampleWindow(), qMakePair(0.0, 1000.0));
        QCOMPARE(Drawn(PlotMgr::ChannelA).size(), 300);
    }

    // Windows stay at least 10 samples (10 intervals) wide and start at 0.
    void zoomWindowsAreClamped()
    {
        ConfigSettings *c = win->config;
        c->sampleInterval = 1.0;
        c->xSettings.sampleMin = 0;
        c->xSettings.sampleMax = 6;   // menu zoom-in centre 3 would start at -2
        win->ui->action_In->trigger();
        QCOMPARE(SampleWindow(), qMakePair(0.0, 10.0));
        c->maxSamples = 3;
        win->ui->action_Full->trigger();
        QCOMPARE(SampleWindow(), qMakePair(0.0, 10.0));
        QVERIFY(win->GetMaxScroll() >= 1);

        // A window under a second zooms in to half its width, not to one second.
        c->maxSamples = 1000;
        SetTimeWindow(0.0, 0.1);
        win->plotMgr->ZoomIn(QPointF(0.05, 0));
        QVERIFY(qFuzzyCompare(c->xSettings.timeMin, 0.025));
        QVERIFY(qFuzzyCompare(c->xSettings.timeMax, 0.075));
        win->plotMgr->ZoomIn(QPointF(0.0001, 0));   // near the start: no negative time
        QCOMPARE(c->xSettings.timeMin, 0.0);
        QVERIFY(c->xSettings.timeMax >= 0.010 - 1e-12);
        win->ui->action_In->trigger();
        QVERIFY(c->xSettings.timeMax - c->xSettings.timeMin >= 0.010 - 1e-12);
        QVERIFY(c->xSettings.sampleMax - c->xSettings.sampleMin >= 10);
    }

    // A time zoom-out shows the rows of the wider time window, not the old sample window's.
    void timeZoomReloadsTheTimeWindow()
    {
        win->config->sampleInterval = 1.0;
        StoreRun(300);
        win->chartFileLoaded = false;
        SetTimeWindow(0.0, 0.1);
        win->ui->action_out->trigger();
        QVERIFY(qFuzzyCompare(win->config->xSettings.timeMax, 0.2));
        const QVector<QPointF> points = Drawn(PlotMgr::ChannelA);
        QVERIFY(!points.isEmpty());
        QVERIFY(qAbs(points.last().x() - 0.2) < 1e-9);
    }

    // A plain switch to the time axis after a zoom in sample numbers shows the rows of the
    // time window, not those of the old sample window.
    void timeSwitchReloadsTheTimeWindow()
    {
        win->config->sampleInterval = 1.0;
        StoreRun(300);
        win->chartFileLoaded = false;
        SetTimeWindow(0.1, 0.2);
        SetSampleWindow(0, 50);   // the time window stays 0.1 .. 0.2
        QCOMPARE(Drawn(PlotMgr::ChannelA).last(), QPointF(50, 0.5));
        win->ui->action_Time->trigger();
        QCOMPARE(SampleWindow(), qMakePair(100.0, 200.0));
        // The slider stands at the new window: one step on moves it by a fifth.
        QSlider *slider = win->ui->horizontalSlider;
        QCOMPARE(slider->value(), 10);
        QVERIFY(slider->maximum() >= 10);
        const QVector<QPointF> points = Drawn(PlotMgr::ChannelA);
        QVERIFY(!points.isEmpty());
        QVERIFY(qAbs(points.first().x() - 0.1) < 1e-9);
        QVERIFY(qAbs(points.last().x() - 0.2) < 1e-9);
        win->ui->xAxisLabel->click();   // and back: the same rows in sample numbers
        QCOMPARE(SampleWindow(), qMakePair(100.0, 200.0));
        QCOMPARE(Drawn(PlotMgr::ChannelA).last(), QPointF(200, 2.0));

        // Slider steps on the time axis cover the rows of the time window they reach, also
        // when the window is not a multiple of five samples.
        win->ui->action_Time->trigger();
        SetTimeWindow(0.0, 0.012);
        slider->setValue(slider->value() + 5);
        QVERIFY(qAbs(win->config->xSettings.timeMin - 0.012) < 1e-9);
        QCOMPARE(SampleWindow(), qMakePair(12.0, 24.0));
        QVERIFY(qAbs(Drawn(PlotMgr::ChannelA).last().x() - 0.024) < 1e-9);
    }

    // mV -> V -> kV -> mV and samples -> time -> samples: cursor read-outs and memo markers
    // are converted once per switch and come back; a later X update converts nothing.
    void unitRoundTripsConvertOnce()
    {
        AddRun(100, 100);
        SetSampleWindow(0, 300);
        ConfigSettings *c = win->config;
        c->yScales.push_back({"Kilo", "kV", 0.001});
        win->AddYScale("Kilo");
        win->ui->action_mV->trigger();
        win->ui->DataCursor->click();
        win->dataCursorMenu->hide();
        win->dataCursorChA->trigger();
        win->plotMgr->MoveDataCursor(QPointF(150.0, 0.0));   // on sample 150: 1500 mV
        win->ui->MissedDataCursor->click();
        win->missedCursorMenu->hide();
        win->missedCursorChB->trigger();
        win->plotMgr->MoveMissedCursor(QPointF(250.0, 700.0));   // away from the samples
        win->plotMgr->CreateNewMarker(QPointF(140.2, 1400.0));
        QwtPlotMarker *memo = win->plotMgr->GetCurrentMemoMarkerList().value(0);
        QVERIFY(memo);

        const auto check = [&](double x, double cursorX, double missedX, double k) {
            QCOMPARE(Text(win->ui->xData), QString::asprintf("%.4f", cursorX));
            QCOMPARE(Text(win->ui->yData), QString::asprintf("%.4f", 1500.0 * k));
            QCOMPARE(Text(win->ui->xMissed), QString::asprintf("%.4f", missedX));
            QCOMPARE(Text(win->ui->yMissed), QString::asprintf("%.4f", 700.0 * k));
            QVERIFY(qFuzzyCompare(win->plotMgr->CursorPoint(MissedMarker).y(), 700.0 * k));
            QVERIFY(qFuzzyCompare(memo->xValue(), x));
            QVERIFY(qFuzzyCompare(memo->yValue(), 1400.0 * k));
        };
        check(140.0, 150.0, 250.0, 1.0);
        win->ui->action_V->trigger();
        check(140.0, 150.0, 250.0, 0.001);
        QAction *kilo = nullptr;
        for (QAction *a : win->ui->menu_Y_Scale->actions())
            if (a->text() == "Kilo")
                kilo = a;
        kilo->trigger();
        check(140.0, 150.0, 250.0, 0.000001);
        win->ui->action_mV->trigger();
        check(140.0, 150.0, 250.0, 1.0);

        // Samples -> time through the X controls' path, then further X updates.
        SetTimeWindow(0.0, 3.0);
        QVERIFY(!c->xSettings.xUnitChanged);
        check(1.4, 1.5, 2.5, 1.0);
        win->ApplyXSettings(c->xSettings, true);
        win->ui->action_Time->trigger();
        check(1.4, 1.5, 2.5, 1.0);
        win->ui->xAxisLabel->click();
        check(140.0, 150.0, 250.0, 1.0);
        win->ui->xAxisLabel->click();
        win->ui->action_Clear_Screen->trigger();   // the runs and memos go; the cursors stay where they were
        QVERIFY(qFuzzyCompare(win->plotMgr->CursorPoint(DataMarker).x(), 1.5));
        QVERIFY(qFuzzyCompare(win->plotMgr->CursorPoint(MissedMarker).x(), 2.5));
    }

    // Stop labels stand after the run's last sample whichever channel holds it; a redraw
    // of the labels replaces them.
    void runLabels()
    {
        ConfigSettings *c = win->config;
        c->chAEnabled = true;   // today's settings; the run has channel B only
        c->chBEnabled = false;
        c->showTextLabels = true;
        c->sampleInterval = 1.0;
        c->intervalUnit = Seconds;
        for (bool &flag : c->chartLabels)
            flag = false;
        c->chartLabels[0] = c->chartLabels[1] = true;
        QVector<LoggerData *> none;
        win->plotMgr->DisplayStartInfo(&none, false);
        QVERIFY(win->plotMgr->TextLabels().isEmpty());

        AddRun(101, 20, false, true);
        win->HideShowLabelsinPlot();
        win->HideShowLabelsinPlot();
        const QVector<QwtPlotMarker *> labels = win->plotMgr->TextLabels();
        QCOMPARE(labels.size(), 2);
        QCOMPARE(labels[0]->label().text(),
                 QString("Started at: \n01/02/2024\n10:00:00 AM\nSample Interval: 1s"));
        QCOMPARE(labels[0]->xValue(), 101.0);
        QCOMPARE(labels[1]->label().text(), QString("Stopped at: \n01/02/2024\n"));
        QCOMPARE(labels[1]->xValue(), 121.0);
        win->ui->action_Text_Labels->trigger();
        win->ui->action_Text_Labels->trigger();
        QCOMPARE(win->plotMgr->TextLabels().size(), 2);
    }

    // A chart of many runs makes chart items only of the run labels its X window can show;
    // moving the window brings the others with the same texts, shown or hidden as the
    // labels are.
    void runLabelsOfManyRuns()
    {
        ConfigSettings *c = win->config;
        c->showTextLabels = true;
        for (bool &flag : c->chartLabels)
            flag = false;
        c->chartLabels[4] = true;   // sample counts
        for (int r = 0; r < 400; ++r)
            AddRun(1 + r * 50, 10 + r % 7);
        win->resize(1200, 800);
        SetSampleWindow(1000, 1500);
        win->HideShowLabelsinPlot();

        auto labelsAt = [&](double lo, double hi) {
            QStringList texts;
            for (const QwtPlotMarker *label : win->plotMgr->TextLabels())
                if (label->xValue() >= lo && label->xValue() <= hi)
                    texts << QString::number(label->xValue()) + "|" + label->label().text() + "|"
                                 + QString::number(label->isVisible());
            return texts;
        };
        auto expected = [&](int firstRun, int lastRun, bool visible) {
            QStringList texts;
            for (int r = firstRun; r <= lastRun; ++r)
                texts << QString::number(1 + r * 50) + "|Started at: \n01/02/2024\n|" + QString::number(visible);
            for (int r = firstRun; r <= lastRun; ++r)
                texts << QString::number(1 + r * 50 + 10 + r % 7) + "|Stopped at: \n01/02/2024\nSamples:\nChA: "
                             + QString::number(10 + r % 7) + "\nChB: " + QString::number(10 + r % 7) + "|"
                             + QString::number(visible);
            return texts;
        };
        // Runs 20 to 29 lie in the window; 200 runs' labels would be far too many.
        QCOMPARE(labelsAt(1000, 1500), expected(20, 29, true));
        QVERIFY(win->plotMgr->TextLabels().size() < 200);
        QVERIFY(labelsAt(15000, 20000).isEmpty());

        win->plotMgr->MakeTextLabelsVisible(false);
        c->showTextLabels = false;
        SetSampleWindow(15000, 15500);
        QCOMPARE(labelsAt(15000, 15500), expected(300, 309, false));
        QVERIFY(labelsAt(1000, 1500).isEmpty());
        // The window moved by the X axis alone, and drawn.
        c->xSettings.sampleMin = 19000;
        c->xSettings.sampleMax = 19500;
        win->plotMgr->UpdateXAxis();
        win->plotMgr->grab();
        QCOMPARE(labelsAt(19000, 19500), expected(380, 389, false));
    }
};

ZR_TEST_MAIN(TestChartCursors)
#include "test_chart_cursors.moc"
