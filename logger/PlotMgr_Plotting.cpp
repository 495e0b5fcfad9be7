// The logger chart's plotting: live segments, missed-sample markers, saturation,
// alerts, full redraws of stored runs and the drawn extremes.
#include "PlotMgr.h"

#include "KrDriver.h"
#include "PlotMgr_Segment.h"
#include "Utility.h"

#include <QDate>
#include <QPen>
#include <QSysInfo>
#include <QTime>
#include <QTimer>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_map.h>
#include <qwt_symbol.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <pwd.h>
#include <unistd.h>

namespace {

// Points of a curve before a new one is started; keeps each item's storage moderate.
constexpr int MaxPointsPerCurve = 16384;

QString LoginName()
{
    // The account's own name, as the login shell knows it.
    if (const passwd *pw = getpwuid(geteuid())) {
        if (pw->pw_name && *pw->pw_name)
            return QString::fromLocal8Bit(pw->pw_name);
    }
    for (const char *var : {"USER", "LOGNAME", "USERNAME"}) {
        const QString name = qEnvironmentVariable(var);
        if (!name.isEmpty())
            return name;
    }
    return QString();
}

void WidenExtremes(bool &have, double &lo, double &hi, double newLo, double newHi)
{
    if (!have) {
        lo = newLo;
        hi = newHi;
        have = true;
    } else {
        lo = std::min(lo, newLo);
        hi = std::max(hi, newHi);
    }
}

// The rows [first, last] of the n rows in X order (px(i) the X of row i) that lie in
// [windowLo, windowHi], widened by one row on each side for the lines that lead into it.
template <typename XOfRow>
void RowsInWindow(const XOfRow &px, int n, double windowLo, double windowHi, int &first, int &last)
{
    int lo = 0, hi = n;   // the first row at or right of the window
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (px(mid) < windowLo)
            lo = mid + 1;
        else
            hi = mid;
    }
    first = std::max(0, lo - 1);
    hi = n;               // the first row right of the window
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (px(mid) > windowHi)
            hi = mid;
        else
            lo = mid + 1;
    }
    last = std::min(n - 1, lo);
}

}   // namespace

// One segment converted for the chart.
struct PlotMgr::Prepared {
    QVector<double> px;         // X in the axis unit
    QVector<double> py;         // Y in the axis unit, missed samples at 0
    QVector<double> mv;         // Y in mV, missed samples at 0
    QVector<bool> missed;
    double minX = 0.0;
    double maxX = 0.0;
    double minY = 0.0;          // extremes of py
    double maxY = 0.0;
};

PlotClient *PlotMgr::Client() const
{
    return client;
}

double PlotMgr::XScaleFactor() const
{
    return config->xSettings.xMode != 0
               ? Utility::ConvertToSec(config->sampleInterval, config->intervalUnit)
               : 1.0;
}

// Whether any part of [first, last] (axis units) lies in the X range the chart shows.
bool PlotMgr::XWindowShows(double first, double last) const
{
    const double lo = std::min(xShown[0], xShown[1]);
    const double hi = std::max(xShown[0], xShown[1]);
    return !(last < lo || first > hi);
}

QwtPlotCurve *PlotMgr::NewSegment(Channel channel) const
{
    auto *segment = new SegmentCurve(QString());
    // The chart has no legend: attaching a curve need not draw its legend icon.
    segment->setItemAttribute(QwtPlotItem::Legend, false);
    segment->setStyle(QwtPlotCurve::Lines);
    segment->setPaintAttribute(QwtPlotCurve::ClipPolygons, false);
    segment->setPen(QPen(channel == ChannelA ? config->colorSettings.chAColor
                                             : config->colorSettings.chBColor,
                         0, Qt::SolidLine));
    return segment;
}

// Adds a segment's points to the chart. A segment that starts where the channel's last
// curve ends (`joins`: the held sample of the previous pass) extends that curve, which
// draws the same line as a curve of its own would.
void PlotMgr::AddSegmentPoints(Channel channel, const QVector<double> &x, const QVector<double> &y,
                               bool joins)
{
    const int n = std::min(x.size(), y.size());
    if (n == 0)
        return;
    QVector<QPointF> points(n);
    for (int i = 0; i < n; ++i)
        points[i] = QPointF(x[i], y[i]);

    QVector<QwtPlotCurve *> &segments = channel == ChannelA ? chASegments : chBSegments;
    const bool show = channel == ChannelA ? config->showChATrace : config->showChBTrace;
    if (joins) {
        QwtPlotCurve *last = segments.last();
        auto *data = static_cast<SegmentData *>(last->data());
        if (int(data->size()) + n <= MaxPointsPerCurve) {
            data->Append(points, 1);
            last->setVisible(show);
            last->itemChanged();
            return;
        }
    }
    QwtPlotCurve *segment = NewSegment(channel);
    segment->setData(new SegmentData(points));
    segment->attach(this);
    segment->setVisible(show);
    segments.append(segment);
}

bool PlotMgr::JoinsLastCurve(Channel channel, const QPointF &first) const
{
    const QVector<QwtPlotCurve *> &segments = channel == ChannelA ? chASegments : chBSegments;
    if (segments.isEmpty())
        return false;
    const auto *data = dynamic_cast<const SegmentData *>(segments.last()->data());
    return data && !data->IsEmpty() && data->Last() == first;
}

void PlotMgr::Prepare(const QVector<double> &x, const QVector<double> &y, double interval,
                      SampIntervalUnit unit, Prepared &p) const
{
    const int n = std::min(x.size(), y.size());
    p.mv = y.mid(0, n);
    p.missed.fill(false, n);
    for (int i = 0; i < n; ++i) {
        if (p.mv[i] == MissedSampleValue) {
            p.mv[i] = 0.0;
            p.missed[i] = true;
        }
    }
    if (config->xSettings.xMode == 1)
        GetXValue(x.mid(0, n), interval, unit, p.px);
    else
        p.px = x.mid(0, n);
    if (config->ySettings.yUnit != 0)
        GetConvertedYValue(p.mv, YUnit(config->ySettings.yUnit), p.py);
    else
        p.py = p.mv;
    if (n > 0) {
        const auto xRange = std::minmax_element(p.px.cbegin(), p.px.cend());
        p.minX = *xRange.first;
        p.maxX = *xRange.second;
        const auto yRange = std::minmax_element(p.py.cbegin(), p.py.cend());
        p.minY = *yRange.first;
        p.maxY = *yRange.second;
    }
}

void PlotMgr::SaturationLimits(Channel channel, double &upper, double &lower) const
{
    // The largest and smallest values the fetch can produce: it truncates
    // (code - 512) x mV per step toward zero, with the logger's mV per step, which
    // already is the scale of the values (the probe factor is not applied to them).
    const double step = channel == ChannelA ? shw_milliVoltsPerBitA : shw_milliVoltsPerBitB;
    upper = std::trunc(511.0 * step);
    lower = std::trunc(-512.0 * step);
}

void PlotMgr::TestLimits(Channel channel, const Prepared &p, QVector<int> &saturated,
                         bool testAllLimits) const
{
    saturated.clear();
    double upper = 0.0, lower = 0.0;
    SaturationLimits(channel, upper, lower);
    if (!(upper > 0.0) || !(lower < 0.0))
        return;   // no range set up: nothing can be judged
    const int n = p.mv.size();
    auto atLimit = [&](int i) { return !p.missed[i] && (p.mv[i] >= upper || p.mv[i] <= lower); };
    if (!testAllLimits) {
        if (n > 0 && atLimit(0))
            saturated.append(0);
        return;
    }
    int repeats = 0;
    for (int i = 1; i < n; ++i) {
        if (p.px[i] == p.px[i - 1]) {
            ++repeats;
            continue;
        }
        if (atLimit(i))
            saturated.append(i - repeats);
    }
}

void PlotMgr::TestAlerts(Channel channel, const Prepared &p)
{
    AlertSettings &alerts = config->alertSettings;
    for (int s = 0; s < 4; ++s) {
        AlertEntry &alert = alerts.alerts[s];
        if (alert.alertType == 0 || alert.fired || alert.channel != int(channel))
            continue;
        // The threshold is entered in mV: compare with the values in mV whatever the
        // Y unit. A missed sample is no measurement and raises nothing.
        int hit = -1;
        for (int j = 0; j < p.mv.size() && hit < 0; ++j) {
            if (p.missed[j])
                continue;
            if (alert.condition == 0 ? p.mv[j] > alert.value : p.mv[j] < alert.value)
                hit = j;
        }
        if (hit < 0)
            continue;
        alert.fired = true;

        const QString x = QString::asprintf("%.5f", p.px[hit]);
        const QString y = QString::asprintf("%.5f", p.py[hit]);
        const QString channelText = channel == ChannelA ? QStringLiteral("A") : QStringLiteral("B");
        const QString number = QString::number(s + 1);
        static const QString systemName = QSysInfo::machineHostName();
        static const QString userName = LoginName();
        const QString date = QDate::currentDate().toString(Qt::TextDate);
        const QString time = QTime::currentTime().toString(Qt::TextDate);
        const QString email = alert.email;
        const int type = alert.alertType;
        if (type == 1 || type == 3) {
            if (PlotClient *c = Client())
                c->DisplayAlertPopUp(s, systemName, userName, date, time, channelText, x, y);
        }
        if (type == 2 || type == 3)
            sendOutlookMail(email, number, systemName, userName, date, time, channelText, x, y);
    }
}

void PlotMgr::NoteExtremes(Channel channel, const Prepared &p)
{
    if (p.py.isEmpty())
        return;
    const int c = int(channel);
    WidenExtremes(haveExtremes[c], drawnMin[c], drawnMax[c], p.minY, p.maxY);
}

void PlotMgr::ResetExtremes(Channel channel)
{
    haveExtremes[int(channel)] = false;
    drawnMin[int(channel)] = drawnMax[int(channel)] = 0.0;
}

void PlotMgr::PlotPoints(const QVector<double> &x, const QVector<double> &y, Channel channel,
                         double interval, SampIntervalUnit unit, QVector<int> &saturated,
                         bool testAllLimits)
{
    if (rescaling)
        return;
    if (DoesEnableTracking(x)) {
        rescaling = true;
        EnableTracking(std::max(x.first(), x.last()));
        rescaling = false;
    }

    Prepared p;
    Prepare(x, y, interval, unit, p);
    const bool show = channel == ChannelA ? config->showChATrace : config->showChBTrace;
    QVector<QwtPlotMarker *> &markers = channel == ChannelA ? chAMissedMarkers : chBMissedMarkers;
    // A segment that starts with the previous pass's held sample: that one is marked.
    const bool joins = !p.px.isEmpty() && JoinsLastCurve(channel, QPointF(p.px[0], p.py[0]));
    for (int i = joins ? 1 : 0; i < p.px.size(); ++i) {
        // Only what the X range can show is kept on the chart; the next change of the
        // range redraws from the stored runs.
        if (p.missed[i] && XWindowShows(p.px[i], p.px[i])) {
            CreateMissedMarker(x[i], channel == ChannelA, channel == ChannelB);
            markers.last()->setValue(p.px[i], 0.0);
            markers.last()->setVisible(show);
        }
    }
    TestLimits(channel, p, saturated, testAllLimits);
    TestAlerts(channel, p);
    NoteExtremes(channel, p);
    if (!p.px.isEmpty() && XWindowShows(p.minX, p.maxX)) {
        AddSegmentPoints(channel, p.px, p.py, joins);
        ScheduleRepaint(p);
    }
}

void PlotMgr::ScheduleRepaint(const Prepared &p)
{
    // The segment's bounding box in canvas pixels (it holds the line from the held sample
    // on), widened by the missed markers' symbols and the pen.
    const QwtScaleMap xMap = canvasMap(xBottom);
    const QwtScaleMap yMap = canvasMap(yLeft);
    // Far off-canvas values stay within what a pixel position can hold.
    auto pixel = [](const QwtScaleMap &map, double v) {
        const double px = map.transform(v);
        return std::isnan(px) ? 0.0 : std::max(-1e6, std::min(1e6, px));
    };
    const double x0 = pixel(xMap, p.minX), x1 = pixel(xMap, p.maxX);
    const double y0 = pixel(yMap, p.minY), y1 = pixel(yMap, p.maxY);
    constexpr int Margin = 7;
    const QRectF box(QPointF(std::min(x0, x1), std::min(y0, y1)),
                     QPointF(std::max(x0, x1), std::max(y0, y1)));
    const QRect area = box.toAlignedRect().adjusted(-Margin, -Margin, Margin, Margin)
                       & canvas()->rect();
    // Samples added while a repaint of the whole canvas is pending are drawn by it (a turn
    // of the X window draws its first samples right after asking for one).
    if (area.isEmpty() || wholeCanvasDue)
        return;
    if (partialDue) {   // the repaint asked for takes these samples along
        canvas()->update(area);
        return;
    }
    dirtyRect |= area;
    if (!repaintTimer) {
        repaintTimer = new QTimer(this);
        repaintTimer->setSingleShot(true);
        repaintTimer->setInterval(RepaintIntervalMs);
        connect(repaintTimer, &QTimer::timeout, this, &PlotMgr::RepaintDue);
    }
    if (!repaintTimer->isActive()) {
        dirtySince.start();
        repaintTimer->start();
    } else if (dirtySince.elapsed() >= RepaintIntervalMs - RideAlongMs) {
        repaintTimer->stop();
        RepaintDue();
    }
}

void PlotMgr::RepaintWholeCanvas()
{
    canvas()->update();
    // Only a shown canvas gets its paint; a hidden one is painted whole when it is shown.
    wholeCanvasDue = true;
    dirtyRect = QRect();
    if (repaintTimer)
        repaintTimer->stop();
}

void PlotMgr::RepaintDue()
{
    if (dirtyRect.isEmpty())
        return;
    canvas()->update(dirtyRect);
    dirtyRect = QRect();
    partialDue = true;
}

void PlotMgr::CheckPoints(const QVector<double> &x, const QVector<double> &y, Channel channel,
                          double interval, SampIntervalUnit unit, QVector<int> &saturated)
{
    Prepared p;
    Prepare(x, y, interval, unit, p);
    TestLimits(channel, p, saturated, true);
    TestAlerts(channel, p);
}

void PlotMgr::CreateMissedMarker(double sampleNo, bool channelA, bool channelB)
{
    const double f = XScaleFactor();
    for (int c = 0; c < 2; ++c) {
        if (!(c == 0 ? channelA : channelB))
            continue;
        auto *marker = new QwtPlotMarker();
        marker->setLineStyle(QwtPlotMarker::VLine);
        marker->setLinePen(QPen(QBrush(Qt::transparent), 0, Qt::DotLine));
        marker->setLabelAlignment(Qt::AlignRight);
        marker->setSymbol(new QwtSymbol(QwtSymbol::XCross, QBrush(Qt::red),
                                        QPen(QColor(Qt::red), 0, Qt::SolidLine), QSize(10, 10)));
        marker->setValue(sampleNo * f, 0.0);
        marker->attach(this);
        marker->setVisible(c == 0 ? config->chAEnabled : config->chBEnabled);
        (c == 0 ? chAMissedMarkers : chBMissedMarkers).append(marker);
    }
}

void PlotMgr::GetXValue(const QVector<double> &sampleNos, double interval, SampIntervalUnit unit,
                        QVector<double> &out) const
{
    const double f = Utility::ConvertToSec(interval, unit);
    out.reserve(out.size() + sampleNos.size());
    for (double v : sampleNos)
        out.append(v * f);
}

void PlotMgr::GetConvertedYValue(const QVector<double> &milliVolts, YUnit, QVector<double> &out) const
{
    out.clear();
    const double k = config->ySettings.multiplier * 0.001;
    out.reserve(milliVolts.size());
    for (double v : milliVolts)
        out.append(v * k);
}

void PlotMgr::DisplaySignal(const QVector<LoggerData *> *runs, bool firstRunOnly)
{
    if (!runs || runs->isEmpty())
        return;
    displayOngoing = true;
    ClearArea();
    int counter = 0;
    for (int i = 0; i < runs->size(); ++i) {
        const LoggerData *first = runs->at(0);
        const int limit = firstRunOnly && first ? first->drawState : 0;
        DisplaySelectedData(runs, i, counter, false);
        if (firstRunOnly && counter > limit)
            break;
    }
    displayOngoing = false;
}

// A stored run is drawn straight from its vectors, converted as Prepare converts live
// samples: only the rows the X window shows (and one on each side, for the lines that lead
// into it) become curve points and markers, so a long run costs what the window shows.
// The drawn extremes still cover the whole run.
void PlotMgr::DisplaySelectedData(const QVector<LoggerData *> *runs, int index, int &counter, bool)
{
    if (!runs || index < 0 || index >= runs->size())
        return;
    const LoggerData *run = runs->at(index);
    if (!run || !run->chA.values || !run->chB.values)
        return;

    // A stored run is placed with its own sample interval, its markers with it.
    const bool convertX = config->xSettings.xMode == 1;
    const double xFactor = convertX ? Utility::ConvertToSec(run->sampleInterval, run->intervalUnit) : 1.0;
    const bool convertY = config->ySettings.yUnit != 0;
    const double yFactor = config->ySettings.multiplier * 0.001;
    const double windowLo = std::min(xShown[0], xShown[1]);
    const double windowHi = std::max(xShown[0], xShown[1]);

    for (int c = 0; c < 2; ++c) {
        const DataValues *values = c == 0 ? run->chA.values : run->chB.values;
        const std::vector<double> &xs = values->xValues;
        const std::vector<double> &ys = values->yValues;
        if (ys.empty())
            continue;
        const int n = int(std::min({xs.size(), ys.size(), size_t(INT_MAX)}));
        if (n == 0)
            continue;
        auto px = [&](int i) { return convertX ? xs[size_t(i)] * xFactor : xs[size_t(i)]; };
        auto mv = [&](int i) { return ys[size_t(i)] == MissedSampleValue ? 0.0 : ys[size_t(i)]; };
        auto py = [&](int i) { return convertY ? mv(i) * yFactor : mv(i); };

        // One pass for the extremes and whether the X values are in order.
        double minX = px(0), maxX = minX, minY = py(0), maxY = minY;
        bool ordered = true;
        for (int i = 1; i < n; ++i) {
            const double x = px(i);
            const double y = py(i);
            if (!(x >= px(i - 1)))
                ordered = false;
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
        }
        WidenExtremes(haveExtremes[c], drawnMin[c], drawnMax[c], minY, maxY);
        if (maxX < windowLo || minX > windowHi)
            continue;   // nothing of the run in the window: no marker, no curve

        int first = 0;
        int last = n - 1;
        if (ordered)
            RowsInWindow(px, n, windowLo, windowHi, first, last);

        const bool show = c == 0 ? config->showChATrace : config->showChBTrace;
        QVector<QwtPlotMarker *> &markers = c == 0 ? chAMissedMarkers : chBMissedMarkers;
        QVector<QPointF> points(last - first + 1);
        for (int i = first; i <= last; ++i) {
            const double x = px(i);
            points[i - first] = QPointF(x, py(i));
            if (ys[size_t(i)] == MissedSampleValue && XWindowShows(x, x)) {
                CreateMissedMarker(xs[size_t(i)], c == 0, c == 1);
                markers.last()->setValue(x, 0.0);
                markers.last()->setVisible(show);
            }
        }
        QwtPlotCurve *segment = NewSegment(Channel(c));
        segment->setData(new SegmentData(points));
        segment->attach(this);
        segment->setVisible(show);
        (c == 0 ? chASegments : chBSegments).append(segment);
    }
    canvas()->update();
    counter = 0;
}

void PlotMgr::GetMinMaxValue(double &minA, double &minB, double &maxA, double &maxB) const
{
    const double k = config->ySettings.multiplier / 1000.0;
    auto inMilliVolts = [k](double v) { return k != 0.0 ? v / k : v; };
    minA = haveExtremes[0] ? inMilliVolts(drawnMin[0]) : 0.0;
    maxA = haveExtremes[0] ? inMilliVolts(drawnMax[0]) : 0.0;
    minB = haveExtremes[1] ? inMilliVolts(drawnMin[1]) : 0.0;
    maxB = haveExtremes[1] ? inMilliVolts(drawnMax[1]) : 0.0;
}

bool PlotMgr::DoesEnableTracking(const QVector<double> &sampleNos) const
{
    if (sampleNos.isEmpty())
        return false;
    const double max = double(uint32_t(config->xSettings.sampleMax));
    return sampleNos.first() > max || sampleNos.last() > max;
}

void PlotMgr::EnableTracking(double newestSample)
{
    if (PlotClient *c = Client())
        c->EnableTracking(newestSample);
}

void PlotMgr::sendOutlookMail(const QString &, const QString &, const QString &, const QString &,
                              const QString &, const QString &, const QString &, const QString &,
                              const QString &)
{
    // No e-mail is ever sent.
}
