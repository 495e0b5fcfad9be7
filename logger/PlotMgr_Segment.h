// Sample store of one chart curve that live drawing can extend in place.
#pragma once

#include <QPointF>
#include <QVector>
#include <qwt_series_data.h>

#include <algorithm>

class SegmentData : public QwtPointSeriesData {
public:
    explicit SegmentData(const QVector<QPointF> &points = QVector<QPointF>())
        : QwtPointSeriesData(points) {}

    // Appends points[from..] and widens the cached bounding rectangle, so that adding a
    // block costs the block only.
    void Append(const QVector<QPointF> &points, int from)
    {
        if (from >= points.size())
            return;
        QRectF rect = boundingRect();   // computed once, then kept up to date here
        double left = rect.left(), right = rect.right(), top = rect.top(), bottom = rect.bottom();
        bool valid = rect.width() >= 0.0;
        d_samples.reserve(d_samples.size() + points.size() - from);
        for (int i = from; i < points.size(); ++i) {
            const QPointF &p = points[i];
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
};
