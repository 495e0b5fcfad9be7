// Live drawing repaints only what changed: the strip of the canvas under new samples, in
// which a long curve draws only the samples that reach it, the same pixels as a full paint.
#include <QtTest>

#include "test_home.h"
#include "test_images.h"

#include "DisplayThread.h"
#include "PlotMgr.h"
#include "PlotMgr_Segment.h"

#include <QPaintEvent>
#include <cmath>
#include <qwt_scale_map.h>

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
        chart.resize(800, 500);
        chart.Initialize(&config);
        chart.show();
        QVERIFY(QTest::qWaitForWindowExposed(&chart));
        chart.replot();
        QTest::qWait(50);

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
