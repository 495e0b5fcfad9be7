// Live drawing repaints only what changed: the strip of the canvas under new samples, in
// which a long curve draws only the samples that reach it, the same pixels as a full paint.
// The labels keep their text layout between paints and the plot keeps its layout while the
// axes keep their size, without changing the picture.
#include <QtTest>

#include "test_home.h"
#include "test_images.h"

#include "ChartText.h"
#include "DisplayThread.h"
#include "PlotMgr.h"
#include "PlotMgr_Segment.h"

#include <QPaintEvent>
#include <QScreen>
#include <cmath>
#include <qwt_plot_canvas.h>
#include <qwt_scale_map.h>
#include <qwt_scale_widget.h>

namespace {

// Records the area of every paint the canvas gets.
class PaintRecorder : public QObject {
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            areas << static_cast<QPaintEvent *>(event)->region().boundingRect();
        return false;
    }
    QVector<QRect> areas;
};

QImage Render(const QwtPlotCurve &curve, const QRect &clip)
{
    QImage image(400, 200, QImage::Format_ARGB32);
    image.fill(Qt::black);
    QPainter painter(&image);
    if (!clip.isNull())
        painter.setClipRect(clip);
    QwtScaleMap xMap, yMap;
    xMap.setScaleInterval(0, 1000);
    xMap.setPaintInterval(0, 400);
    yMap.setScaleInterval(-1, 1);
    yMap.setPaintInterval(200, 0);
    curve.draw(&painter, xMap, yMap, QRectF(image.rect()));
    return image;
}

// Draws texts with the chart's label text or with Qwt's plain text, each in a rectangle of
// its own size or a smaller one that cuts it.
class TextSheet : public QWidget {
public:
    struct Label {
        QString text;
        QFont font;
        int flags;
    };
    QVector<Label> labels;
    bool chartText = false;

    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        int x = 4, y = 4;
        for (const Label &label : qAsConst(labels)) {
            QwtText text = chartText ? ChartText(label.text) : QwtText(label.text, QwtText::PlainText);
            text.setFont(label.font);
            text.setColor(Qt::yellow);
            text.setRenderFlags(label.flags);
            const QSizeF size = text.textSize(label.font);
            text.draw(&painter, QRectF(QPointF(x + 0.5, y + 0.25), size));
            text.draw(&painter, QRectF(x + 200.3, y + 3.7, size.width() / 2, size.height() / 2));
            y += int(size.height()) + 6;
        }
    }
};

// A chart on screen, set up from config.
bool ShowChart(PlotMgr &chart, ConfigSettings &config)
{
    chart.resize(800, 500);
    chart.Initialize(&config);
    chart.show();
    return QTest::qWaitForWindowExposed(&chart);
}

// The same, drawn once and left to settle, so that later paints are the test's own.
bool ShowSettledChart(PlotMgr &chart, ConfigSettings &config)
{
    if (!ShowChart(chart, config))
        return false;
    chart.replot();
    QTest::qWait(50);
    return true;
}

}   // namespace

class TestViewTrackingPaint : public QObject {
    Q_OBJECT
private slots:
    // Within a strip the curve paints exactly what a full paint paints there, whether or
    // not its samples are in X order (unordered ones are all drawn).
    void partialPaintOfALongCurve_data()
    {
        QTest::addColumn<bool>("ordered");
        QTest::addColumn<int>("spacing");   // of the samples, in X
        QTest::newRow("ordered") << true << 1;
        QTest::newRow("sparse") << true << 25;   // strips between two samples
        QTest::newRow("unordered") << false << 1;
    }

    void partialPaintOfALongCurve()
    {
        QFETCH(bool, ordered);
        QFETCH(int, spacing);
        QVector<QPointF> points;
        for (int i = 0; i <= 1000; i += spacing)
            points << QPointF(i, std::sin(i * 0.05) * 0.9);
        if (!ordered)
            std::swap(points[300], points[700]);
        SegmentCurve curve(QString{});
        curve.setStyle(QwtPlotCurve::Lines);
        curve.setPen(QPen(Qt::yellow, 0));
        curve.setData(new SegmentData(points));
        QCOMPARE(static_cast<const SegmentData *>(curve.data())->Ordered(), ordered);

        const QImage full = Render(curve, QRect());
        for (const QRect &strip : {QRect(100, 0, 7, 200), QRect(103, 0, 3, 200), QRect(0, 0, 3, 200),
                                   QRect(396, 0, 4, 200), QRect(250, 80, 40, 40)}) {
            const QImage part = Render(curve, strip);
            // Clipped lines may end a pixel differently; missing segments differ by many.
            ZR_COMPARE_IMAGES(part.copy(strip), full.copy(strip), 255, 3);
            int lit = 0;
            for (int y = strip.top(); y <= strip.bottom(); ++y)
                for (int x = strip.left(); x <= strip.right(); ++x)
                    lit += part.pixel(x, y) != qRgb(0, 0, 0);
            QVERIFY(lit > 0);   // the curve does pass through each strip
        }
    }

    void sampleRangeOfAStrip()
    {
        SegmentData data({{1, 0}, {2, 0}, {2, 1}, {5, 0}, {9, 0}});
        int first = -1, last = -1;
        data.IndexRange(2, 4, first, last);   // samples 2, 2 and the neighbours 1 and 5
        QCOMPARE(first, 0);
        QCOMPARE(last, 3);
        data.IndexRange(6, 8, first, last);   // only the line from 5 to 9 crosses it
        QCOMPARE(first, 3);
        QCOMPARE(last, 4);
        data.IndexRange(20, 30, first, last);
        QVERIFY(first >= last);
        data.Append({{9, 0}, {3, 0}}, 1);
        QVERIFY(!data.Ordered());
    }

    // New samples repaint the strip they fall in, not the whole canvas.
    void liveSamplesRepaintTheirStrip()
    {
        ConfigSettings config("Tamberlo.xml");
        config.SetDefaultSettings();
        config.xSettings.sampleMax = 1000;
        PlotMgr chart;
        QVERIFY(ShowSettledChart(chart, config));

        PaintRecorder recorder;
        chart.canvas()->installEventFilter(&recorder);
        QVector<int> saturated;
        chart.PlotPoints({500, 501, 502, 503}, {100, 2000, -1500, 300}, PlotMgr::ChannelA, 1.0,
                         MilliSeconds, saturated, true);
        chart.PlotPoints({503, 504, 505}, {300, MissedSampleValue, 250}, PlotMgr::ChannelA, 1.0,
                         MilliSeconds, saturated, true);
        QTRY_VERIFY(!recorder.areas.isEmpty());

        const QwtScaleMap x = chart.canvasMap(QwtPlot::xBottom), y = chart.canvasMap(QwtPlot::yLeft);
        const QRect segment = QRectF(QPointF(x.transform(500), y.transform(2000)),
                                     QPointF(x.transform(505), y.transform(-1500)))
                                  .toAlignedRect();
        QRect painted;
        for (const QRect &r : qAsConst(recorder.areas))
            painted |= r;
        QVERIFY2(painted.contains(segment.adjusted(-5, -5, 5, 5)),   // and the marker's cross
                 qPrintable(QString("%1,%2 %3x%4").arg(painted.x()).arg(painted.y())
                                .arg(painted.width()).arg(painted.height())));
        QVERIFY(painted.width() < chart.canvas()->width() / 4);
        QCOMPARE(chart.Segments(PlotMgr::ChannelA).size(), 1);   // the second joined on
    }

    // A turn of the X window repaints the whole canvas once: samples drawn before that paint
    // get no repaint of their own, and the screen still ends up showing every sample (also
    // those of a pass that takes a due repaint along).
    void turnsRepaintTheCanvasOnce()
    {
        ConfigSettings config("Tamberlo.xml");
        config.SetDefaultSettings();
        PlotMgr chart;
        QVERIFY(ShowSettledChart(chart, config));
        PaintRecorder recorder;
        chart.canvas()->installEventFilter(&recorder);
        QVector<int> saturated;
        for (int pass = 0; pass < 8; ++pass) {
            if (pass % 4 == 0) {   // the window turns to the pass's samples
                config.xSettings.sampleMin = pass * 20;
                config.xSettings.sampleMax = pass * 20 + 80;
                chart.UpdateXAxis();
            }
            QVector<double> x, y;
            for (int i = 0; i < 20; ++i)
                x << pass * 20 + i, y << 2000.0 * std::sin(x.last() * 0.1);
            chart.PlotPoints(x, y, PlotMgr::ChannelA, 1.0, MilliSeconds, saturated, true);
            if (pass % 4 == 3) {   // a pass that takes the due repaint along
                for (double &v : y)
                    v -= 5000.0;
                chart.PlotPoints(x, y, PlotMgr::ChannelB, 1.0, MilliSeconds, saturated, true);
            }
            if (pass == 0) {
                // The turn's paint, then longer than a due live repaint waits after it.
                QTRY_VERIFY_WITH_TIMEOUT(!recorder.areas.isEmpty(), 10000);
                QTest::qWait(120);
                QCOMPARE(recorder.areas, QVector<QRect>{chart.canvas()->rect()});
            }
            QTest::qWait(20);   // the drawing passes' pace
        }
        const QRect at(chart.canvas()->mapTo(&chart, QPoint()), chart.canvas()->size());
        auto unshown = [&] {
            const QImage shown = chart.screen()->grabWindow(chart.winId(), at.x(), at.y(), at.width(), at.height()).toImage();
            return TestImages::Difference(shown.convertToFormat(QImage::Format_RGB32),
                                          chart.canvas()->grab().toImage().convertToFormat(QImage::Format_RGB32), 2, 4);
        };
        QTRY_VERIFY2_WITH_TIMEOUT(unshown().isEmpty(), qPrintable(unshown()), 10000);
    }

    // The kept layout draws and measures a label as Qwt's plain text does: lines aligned
    // one by one, blanks kept, cut by a smaller rectangle; a changed text is drawn anew.
    void labelTextAsPlainText()
    {
        const QString pad(21, QLatin1Char(' '));
        TextSheet sheet;
        sheet.resize(420, 700);
        for (int flags : {int(Qt::AlignCenter), int(Qt::AlignLeft | Qt::AlignTop), int(Qt::AlignRight | Qt::AlignBottom)}) {
            sheet.labels << TextSheet::Label{pad + "ChA-mV", QFont("Arial", 8), flags}
                         << TextSheet::Label{"Started at: \n01/02/2024\n10:00:00\nSample Interval: 1ms",
                                             QFont("Arial", 8, QFont::Bold), flags}
                         << TextSheet::Label{"a memo \r\n  two  ", QFont("Arial", 10), flags};
        }
        for (const TextSheet::Label &label : qAsConst(sheet.labels)) {
            QwtText plain(label.text, QwtText::PlainText), cached = ChartText(label.text);
            QCOMPARE(cached.textSize(label.font), plain.textSize(label.font));
        }
        const QImage plain = sheet.grab().toImage();
        sheet.chartText = true;
        ZR_COMPARE_IMAGES(sheet.grab().toImage(), plain, 2, 16);
        const QImage again = sheet.grab().toImage();   // drawn from the kept layout
        ZR_COMPARE_IMAGES(again, plain, 2, 16);

        sheet.labels[1].text += "\nmore";
        const QImage changed = sheet.grab().toImage();
        QVERIFY(!TestImages::Difference(changed, plain, 2, 16).isEmpty());
        sheet.chartText = false;
        ZR_COMPARE_IMAGES(changed, sheet.grab().toImage(), 2, 16);
    }

    // A repaint of any part of the chart (canvas background, grid, labels) paints there what
    // a full paint paints; a new background colour fills the whole canvas.
    void partialRepaintsOfTheChart()
    {
        ConfigSettings config("Tamberlo.xml");
        config.SetDefaultSettings();
        config.xSettings.sampleMax = 1000;
        PlotMgr chart;
        QVERIFY(ShowChart(chart, config));
        DataValues a, b;
        LoggerData run;
        run.chA.values = &a;
        run.chB.values = &b;
        run.firstSampleNo = 300;
        run.startDate = "01/02/2024";
        run.startTime = "10:00:00";
        run.sampleInterval = 1.0;
        const QVector<LoggerData *> runs{&run};
        chart.DisplayStatus(true, false);
        chart.DisplayStartInfo(&runs, true);
        chart.replot();

        // Painted as a repaint of part of the window is: into the whole canvas's pixels, on
        // a colour no part of the chart has, which the canvas's own background must cover.
        QWidget *canvas = chart.canvas();
        auto paint = [canvas](const QRect &part) {
            QPixmap pixels(canvas->size());
            pixels.fill(Qt::magenta);
            canvas->render(&pixels, part.topLeft(), QRegion(part), QWidget::DrawChildren);
            return pixels.toImage().copy(part);
        };
        const QImage full = paint(canvas->rect());
        const QwtScaleMap x = chart.canvasMap(QwtPlot::xBottom);
        const int start = qRound(x.transform(300));
        for (const QRect &part : {QRect(0, canvas->height() - 30, 60, 30), QRect(start, 150, 12, 60),
                                  QRect(start - 3, 0, 40, canvas->height()), QRect(0, 0, 5, 5),
                                  QRect(600, 100, 30, 30)})
            ZR_COMPARE_IMAGES(paint(part), full.copy(part), 2, 4);
        int magenta = 0;
        for (int y = 0; y < full.height(); ++y)
            for (int x = 0; x < full.width(); ++x)
                magenta += full.pixelColor(x, y) == QColor(Qt::magenta);
        QCOMPARE(magenta, 0);

        config.colorSettings.background = QColor(20, 40, 200);
        chart.UpdateBackgroundColor();
        const QImage blue = paint(canvas->rect());
        QCOMPARE(blue.pixelColor(canvas->width() - 30, canvas->height() / 3), QColor(20, 40, 200));
        QCOMPARE(blue.pixelColor(canvas->width() / 3, 12), QColor(20, 40, 200));
    }

    // Moving the X window lays the plot out again only when the axes change size: after
    // each move the canvas and axes stand where a full layout puts them.
    void layoutFollowsTheAxes()
    {
        ConfigSettings config("Tamberlo.xml");
        config.SetDefaultSettings();
        PlotMgr chart;
        QVERIFY(ShowChart(chart, config));
        auto geometry = [&chart] {
            return QVector<QRect>{chart.canvas()->geometry(), chart.axisWidget(QwtPlot::xBottom)->geometry(),
                                  chart.axisWidget(QwtPlot::yLeft)->geometry()};
        };
        QSet<int> canvasWidths;
        for (int sampleMin : {0, 100, 9800, 9900, 10000, 99900, 100000, 200, 300}) {
            config.xSettings.sampleMin = sampleMin;
            config.xSettings.sampleMax = sampleMin + 100;
            chart.UpdateXAxis();
            QCoreApplication::sendPostedEvents();
            const QVector<QRect> kept = geometry();
            chart.updateLayout();
            QCOMPARE(kept, geometry());
            canvasWidths << kept[0].width();
        }
        QVERIFY(canvasWidths.size() > 1);   // the axis's labels did change its size
    }

    void tickIntervals()
    {
        // Short intervals tick every MinTickMs; longer ones once per interval.
        QCOMPARE(DisplayThread::TickInterval(1.0, MilliSeconds), DisplayThread::MinTickMs);
        QCOMPARE(DisplayThread::TickInterval(500, MicroSeconds), DisplayThread::MinTickMs);
        QCOMPARE(DisplayThread::TickInterval(250, MilliSeconds), 250);
        QCOMPARE(DisplayThread::TickInterval(1, Seconds), 1000);
    }
};

ZR_TEST_MAIN(TestViewTrackingPaint)
#include "test_view_tracking_paint.moc"
