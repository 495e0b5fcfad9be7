// Sample store of one chart curve that live drawing can extend in place, and the curve
// that draws only what a partial repaint of the canvas can show.
#pragma once

#include <QPainter>
#include <QPointF>
#include <QVector>
#include <qwt_plot_curve.h>
#include <qwt_scale_map.h>
#include <qwt_series_data.h>

#include <algorithm>

class SegmentData : public QwtPointSeriesData {
public:
    explicit SegmentData(const QVector<QPointF> &points = QVector<QPointF>())
        : QwtPointSeriesData(points)
    {
        for (int i = 1; i < points.size() && ordered; ++i)
            ordered = !(points[i].x() < points[i - 1].x());
    }

    // Appends points[from..] and widens the cached bounding rectangle, so that adding a
    // block costs the block only.
    void Append(const QVector<QPointF> &points, int from)
    {
        if (from >= points.size())
            return;
        QRectF rect = boundingRect();   // computed once, then kept up to date here
        double left = rect.left(), right = rect.right(), top = rect.top(), bottom = rect.bottom();
        bool valid = rect.width() >= 0.0;
        // Grown by half at a time: a reserve of just the block would copy the whole curve
        // on every block.
        const int needed = d_samples.size() + points.size() - from;
        if (needed > d_samples.capacity())
            d_samples.reserve(std::max(needed, d_samples.capacity() + d_samples.capacity() / 2));
        for (int i = from; i < points.size(); ++i) {
            const QPointF &p = points[i];
            if (ordered && !d_samples.isEmpty() && p.x() < d_samples.last().x())
                ordered = false;
            d_samples.append(p);
            if (!valid) {
                left = right = p.x();
                top = bottom = p.y();
                valid = true;
            } else {
                left = std::min(left, p.x());
                right = std::max(right, p.x());
                top = std::min(top, p.y());
                bottom = std::max(bottom, p.y());
            }
        }
        d_boundingRect = QRectF(left, top, right - left, bottom - top);
    }

    const QPointF &Last() const { return d_samples.last(); }
    bool IsEmpty() const { return d_samples.isEmpty(); }
    // The samples are in X order (sample numbers of one run only grow).
    bool Ordered() const { return ordered; }

    // The index range [first, last] of the samples with x in [x0, x1], widened by one
    // sample on each side for the lines that lead into the range. Ordered data only.
    void IndexRange(double x0, double x1, int &first, int &last) const
    {
        auto byX = [](const QPointF &p, double x) { return p.x() < x; };
        auto xBy = [](double x, const QPointF &p) { return x < p.x(); };
        const int lower = int(std::lower_bound(d_samples.cbegin(), d_samples.cend(), x0, byX)
                              - d_samples.cbegin());
        const int upper = int(std::upper_bound(d_samples.cbegin(), d_samples.cend(), x1, xBy)
                              - d_samples.cbegin());
        first = std::max(0, lower - 1);
        last = std::min(int(d_samples.size()) - 1, upper);
    }

private:
    bool ordered = true;
};

// A repaint of part of the canvas (the strip where new samples arrived) draws only the
// samples that can reach it, not every sample of a long curve.
class SegmentCurve : public QwtPlotCurve {
public:
    using QwtPlotCurve::QwtPlotCurve;

protected:
    void drawSeries(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
                    const QRectF &canvasRect, int from, int to) const override
    {
        const auto *samples = dynamic_cast<const SegmentData *>(data());
        if (samples && samples->Ordered() && painter->hasClipping() && dataSize() > 0) {
            const QRectF clip = painter->clipBoundingRect();
            if (clip.isEmpty())
                return;
            double x0 = xMap.invTransform(clip.left() - 1.0);
            double x1 = xMap.invTransform(clip.right() + 1.0);
            if (x0 > x1)
                std::swap(x0, x1);
            int first = 0, last = 0;
            samples->IndexRange(x0, x1, first, last);
            if (to < 0)
                to = int(dataSize()) - 1;
            from = std::max(from, first);
            to = std::min(to, last);
            if (from >= to)
                return;   // no line of this curve reaches the area
        }
        QwtPlotCurve::drawSeries(painter, xMap, yMap, canvasRect, from, to);
    }
};
