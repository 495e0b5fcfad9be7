// The logger chart's cursors, memo markers and zoom.
#include "PlotMgr.h"

#include "ChartText.h"
#include "MacPickers.h"
#include "Utility.h"
#include "XWindow.h"
#include "YScale.h"

#include <QBrush>
#include <QFont>
#include <QPen>
#include <QPixmap>
#include <qwt_plot_canvas.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_picker.h>
#include <qwt_symbol.h>
#include <qwt_text.h>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// Whole sample number, halves upwards.
double RoundHalfUp(double s)
{
    const double c = std::ceil(s);
    return c - s <= 0.5 ? c : std::floor(s);
}

// Whole sample number, halves downwards.
double RoundHalfDown(double s)
{
    const double c = std::ceil(s);
    return c - s >= 0.5 ? std::floor(s) : c;
}

int ToInt(double v)
{
    if (!(v > double(INT_MIN)))
        return v > 0 ? INT_MAX : INT_MIN;   // also NaN -> INT_MIN, clamped below
    if (v >= double(INT_MAX))
        return INT_MAX;
    return int(v);
}

void StyleMemoMarker(QwtPlotMarker *marker)
{
    marker->setSymbol(new QwtSymbol(QwtSymbol::Diamond, QBrush(Qt::yellow, Qt::SolidPattern),
                                    QPen(QColor(Qt::red), 0, Qt::SolidLine), QSize(10, 10)));
    marker->setSpacing(5);
    marker->setLabelAlignment(Qt::AlignRight);
}

QwtText MemoLabel(const QString &text)
{
    QwtText label = ChartText(text);
    QFont font(QStringLiteral("Arial"), 10, QFont::Normal);
    font.setItalic(false);
    label.setFont(font);
    label.setColor(Qt::cyan);
    return label;
}

// A zoom mode on (its picker enabled, its own mouse cursor) or off.
void ArmZoom(QWidget *canvas, const QCursor &normal, QwtPlotPicker *picker, const char *icon, bool on)
{
    canvas->setCursor(on ? QCursor(QPixmap(QString::fromLatin1(icon))) : normal);
    if (picker)
        picker->setEnabled(on);
}

}   // namespace

double PlotMgr::IntervalSec() const
{
    return Utility::ConvertToSec(config->sampleInterval, config->intervalUnit);
}

PlotMgr::CursorParts PlotMgr::Cursor(int which)
{
    switch (which) {
    case 0:
        return {dataCursor, dataCursorPicker, &dataCursorChannel, dataCursorPos, DataX, DataY};
    case 1:
        return {missedCursor, missedCursorPicker, &missedCursorChannel, missedCursorPos, MissedX,
                MissedY};
    default:
        return {memoCursor, memoCursorPicker, &memoCursorChannel, memoCursorPos, MemoX, MemoY};
    }
}

// Finds the sample a cursor snaps to. Runs hold the rows of the X window in their vectors;
// the lookup is by index, so it costs the same however long the chart is.
bool PlotMgr::FindSample(int channel, const QPointF &p, double &x, double &y) const
{
    if (!runList || (channel != 0 && channel != 1))
        return false;
    const bool timeAxis = config->xSettings.xMode != 0;
    const double k = config->ySettings.multiplier / 1000.0;
    bool found = false;
    for (const LoggerData *run : *runList) {
        if (!run)
            continue;
        const ChannelRecord &ch = channel == 0 ? run->chA : run->chB;
        const DataValues *values = ch.values;
        // The followed channel's own rows decide (a run may hold one channel only).
        if (!values || values->xValues.empty() || ch.totalSamples <= 0)
            continue;
        // A run is drawn at its own interval on the time axis; the cursor follows the curve.
        double f = 1.0;
        if (timeAxis) {
            f = run->sampleInterval > 0.0 ? Utility::ConvertToSec(run->sampleInterval, run->intervalUnit)
                                          : IntervalSec();
            if (!(f > 0.0))
                continue;
        }
        const double s = RoundHalfUp(p.x() / f);
        const std::vector<double> &xs = values->xValues;
        const std::vector<double> &ys = values->yValues;
        if (!(s >= xs.front() && s <= xs.back()))
            continue;
        const double offset = s - xs.front();
        size_t i = offset < double(xs.size()) ? size_t(offset) : xs.size();
        if (i >= xs.size() || xs[i] != s) {
            // Rows missing from a file: the first row at or after s.
            i = size_t(std::lower_bound(xs.begin(), xs.end(), s) - xs.begin());
        }
        // Channels of a file may differ in length: skip what the values do not hold.
        if (i >= xs.size() || i >= ys.size())
            continue;
        x = xs[i] * f;
        // A missed sample stands where the chart draws it.
        y = ys[i] == MissedSampleValue ? 0.0 : ys[i] * k;
        found = true;   // a later matching run decides
    }
    return found;
}

bool PlotMgr::FindMemoMarker(const QPointF &p, double &x, double &y) const
{
    const YSettings &ys = config->ySettings;
    const double span = ys.yMax - ys.yMin;
    const int width = std::max(1, canvas()->width());
    const bool timeAxis = config->xSettings.xMode != 0;
    const double tolX = timeAxis ? 0.5 * IntervalSec() : 0.5;
    const double tolY = (timeAxis ? 5.0 : 10.0) * span / width;
    for (const QwtPlotMarker *m : memoMarkers) {
        if (std::fabs(p.x() - m->xValue()) <= tolX && std::fabs(p.y() - m->yValue()) <= std::fabs(tolY)) {
            x = m->xValue();
            y = m->yValue();
            return true;
        }
    }
    return false;
}

void PlotMgr::PlaceCursor(int which, const QPointF &p)
{
    CursorParts c = Cursor(which);
    if (!c.marker)
        return;
    if (PlotClient *cl = Client())
        runList = cl->GetDisplayBuffer();
    const XSettings &xs = config->xSettings;
    const YSettings &ys = config->ySettings;
    const bool timeAxis = xs.xMode != 0;
    const double xMin = timeAxis ? xs.timeMin : double(xs.sampleMin);
    const double xMax = timeAxis ? xs.timeMax : double(xs.sampleMax);

    NoteCursorUnits();
    c.marker->setValue(p);
    double x = 0.0, y = 0.0;
    const bool found = which == 2 && *c.channel == 99 ? FindMemoMarker(p, x, y)
                                                      : FindSample(*c.channel, p, x, y);
    if (found) {
        c.marker->setValue(x, y);
        c.pos[0] = x;
        c.pos[1] = y;
    }

    if (PlotClient *cl = Client()) {
        // Each read-out shows its coordinate, held at the ends of its axis (one
        // coordinate out of range does not leave the other read-out stale).
        const double mx = c.marker->xValue();
        const double my = c.marker->yValue();
        cl->DisplayMarkerCoordinate(c.xRead, mx > xMax ? xMax : mx < xMin ? xMin : mx);
        cl->DisplayMarkerCoordinate(c.yRead, my > ys.yMax ? ys.yMax : my < ys.yMin ? ys.yMin : my);
    }
    UpdateDelta();
    canvas()->update();
}

void PlotMgr::UpdateDelta()
{
    PlotClient *cl = Client();
    if (!cl)
        return;
    const double *a = nullptr;
    const double *b = nullptr;
    switch (currentDelta) {
    case DataMinusMissed:
        a = dataCursorPos;
        b = missedCursorPos;
        break;
    case DataMinusMemo:
        a = dataCursorPos;
        b = memoCursorPos;
        break;
    case MissedMinusMemo:
        a = missedCursorPos;
        b = memoCursorPos;
        break;
    case DeltaOff:
        cl->ClearMarkerCoordinate(DeltaX);
        cl->ClearMarkerCoordinate(DeltaY);
        return;
    default:
        return;
    }
    cl->DisplayMarkerCoordinate(DeltaX, a[0] - b[0]);
    cl->DisplayMarkerCoordinate(DeltaY, a[1] - b[1]);
}

void PlotMgr::MoveDataCursor(QPointF pos)
{
    PlaceCursor(0, pos);
}

void PlotMgr::MoveMissedCursor(QPointF pos)
{
    PlaceCursor(1, pos);
}

void PlotMgr::MoveMemoCursor(QPointF pos)
{
    PlaceCursor(2, pos);
}

void PlotMgr::MakeCursorVisible(int which, bool visible)
{
    CursorParts c = Cursor(which);
    if (!c.marker)
        return;
    NoteCursorUnits();
    c.marker->setVisible(visible);
    PlotClient *cl = Client();
    if (visible) {
        if (cl) {
            cl->DisplayMarkerCoordinate(c.xRead, c.marker->xValue());
            cl->DisplayMarkerCoordinate(c.yRead, c.marker->yValue());
        }
        SetActiveMarker(ActiveMarker(which));
    } else {
        if (cl) {
            cl->ClearMarkerCoordinate(c.xRead);
            cl->ClearMarkerCoordinate(c.yRead);
        }
        if (c.picker)
            c.picker->setEnabled(false);
    }
    replot();
}

void PlotMgr::MakeDataCursorVisible(bool visible)
{
    MakeCursorVisible(0, visible);
}

void PlotMgr::MakeMissedCursorVisible(bool visible)
{
    MakeCursorVisible(1, visible);
}

void PlotMgr::MakeMarkCursorVisible(bool visible)
{
    MakeCursorVisible(2, visible);
}

void PlotMgr::SetActiveMarker(ActiveMarker marker)
{
    for (int i = 0; i < 3; ++i)
        if (QwtPlotPicker *picker = Cursor(i).picker)
            picker->setEnabled(i == int(marker));
}

void PlotMgr::SetCurrentDelta(DeltaCalculation delta)
{
    currentDelta = delta;
    UpdateDelta();
}

void PlotMgr::NoteCursorUnits()
{
    if (cursorXMode < 0)
        cursorXMode = config->xSettings.xMode != 0 ? 1 : 0;
    if (!UsableMultiplier(cursorYMultiplier) && UsableMultiplier(config->ySettings.multiplier))
        cursorYMultiplier = config->ySettings.multiplier;
}

void PlotMgr::UpdateCursorValueDisplay(bool)
{
    // Cursor positions are kept in the units they were placed in; a change of unit converts
    // them once, however often the axes are updated while the change is flagged. A cursor
    // on a sample snaps to it again; one away from the samples keeps its place.
    const int mode = config->xSettings.xMode != 0 ? 1 : 0;
    const bool convert = cursorXMode >= 0 && mode != cursorXMode;
    const double iv = IntervalSec();
    auto toNewUnit = [&](double x) {
        if (!convert || !(iv > 0.0))
            return x;
        return mode == 1 ? x * iv : x / iv;
    };
    const double m = config->ySettings.multiplier;
    const bool convertY = UsableMultiplier(cursorYMultiplier) && UsableMultiplier(m)
                          && m != cursorYMultiplier;
    auto toNewYUnit = [&](double y) { return convertY ? y * m / cursorYMultiplier : y; };
    for (int i = 0; i < 3; ++i) {
        CursorParts c = Cursor(i);
        if (!c.marker)
            continue;
        c.pos[0] = toNewUnit(c.pos[0]);
        c.pos[1] = toNewYUnit(c.pos[1]);
        const QPointF p(toNewUnit(c.marker->xValue()), toNewYUnit(c.marker->yValue()));
        if (c.marker->isVisible())
            PlaceCursor(i, p);
        else
            c.marker->setValue(p);
    }
    cursorXMode = mode;
    if (UsableMultiplier(m))
        cursorYMultiplier = m;
}

// ---- Memo markers ---------------------------------------------------------------------

void PlotMgr::RecordNewMouseClickOnPlot()
{
    canvas()->setCursor(Qt::PointingHandCursor);
    if (newMemoPicker)
        newMemoPicker->setEnabled(true);
    newMarkerAdded = false;
}

void PlotMgr::CancelRecordingNewMouseClickOnPlot()
{
    canvas()->setCursor(savedCursor);
    if (newMemoPicker)
        newMemoPicker->setEnabled(false);
    newMarkerAdded = false;
}

void PlotMgr::CreateNewMarker(QPointF pos)
{
    const bool timeAxis = config->xSettings.xMode != 0;
    const double iv = IntervalSec();
    double sampleNo = 0.0;
    double x = 0.0;
    if (timeAxis && iv > 0.0) {
        sampleNo = RoundHalfDown(pos.x() / iv);
        x = sampleNo * iv;
    } else {
        sampleNo = RoundHalfDown(pos.x());
        x = sampleNo;
    }
    if (!std::isfinite(x))
        return;

    auto *marker = new QwtPlotMarker();
    StyleMemoMarker(marker);
    marker->setValue(x, pos.y());
    marker->attach(this);
    memoMarkers.append(marker);

    auto *companion = new QwtPlotMarker();
    const double m = config->ySettings.multiplier;
    companion->setValue(sampleNo, m != 0.0 ? pos.y() * 1000.0 / m : pos.y());
    companion->attach(this);
    companion->hide();
    memoMarkersMV.append(companion);

    for (QwtPlotMarker *shown : qAsConst(memoMarkers))
        shown->show();
    canvas()->setCursor(savedCursor);
    if (newMemoPicker)
        newMemoPicker->setEnabled(false);
    newMarkerAdded = true;
    canvas()->update();
}

void PlotMgr::RecordNewLabel(const QString &text)
{
    newLabelText = text;
}

void PlotMgr::AddLabelToMemoMarker()
{
    if (memoMarkers.isEmpty() || memoMarkersMV.isEmpty())
        return;
    const QwtText label = MemoLabel(newLabelText);
    memoMarkers.last()->setLabel(label);
    memoMarkersMV.last()->setLabel(label);
    memoMarkers.last()->show();
    canvas()->update();
}

void PlotMgr::RemoveMemoMarker(int index)
{
    if (index < 0 || index >= memoMarkers.size() || index >= memoMarkersMV.size())
        return;
    // The marker placed since arming is gone: giving up must not remove an older one.
    if (newMarkerAdded && index == memoMarkers.size() - 1)
        newMarkerAdded = false;
    QwtPlotMarker *marker = memoMarkers.takeAt(index);
    QwtPlotMarker *companion = memoMarkersMV.takeAt(index);
    marker->hide();
    delete marker;
    delete companion;
    for (QwtPlotMarker *shown : qAsConst(memoMarkers))
        shown->show();
    canvas()->update();
}

void PlotMgr::SetCurrentMemoMarkerList(QVector<QwtPlotMarker *> markers)
{
    markers.removeAll(nullptr);
    // Installing replaces what is there (normally nothing: the chart was cleared).
    for (int i = 0; i < memoMarkers.size(); ++i)
        if (!markers.contains(memoMarkers[i]))
            delete memoMarkers[i];
    qDeleteAll(memoMarkersMV);
    memoMarkersMV.clear();
    memoMarkers = markers;

    const double k = config->ySettings.multiplier / 1000.0;
    const double f = config->xSettings.xMode != 0 ? IntervalSec() : 1.0;
    const bool show = config->chartLabels[2];
    for (QwtPlotMarker *marker : qAsConst(memoMarkers)) {
        auto *companion = new QwtPlotMarker();
        companion->setValue(marker->xValue(), marker->yValue());
        companion->setLabel(marker->label());
        companion->attach(this);
        companion->hide();
        memoMarkersMV.append(companion);

        StyleMemoMarker(marker);
        marker->setValue(marker->xValue() * f, marker->yValue() * k);
        marker->attach(this);
        marker->setVisible(show);
    }
    newMarkerAdded = false;
    canvas()->update();
}

void PlotMgr::ClearMemoList()
{
    for (QwtPlotMarker *marker : qAsConst(memoMarkers)) {
        marker->hide();
        delete marker;
    }
    qDeleteAll(memoMarkersMV);
    memoMarkers.clear();
    memoMarkersMV.clear();
    newMarkerAdded = false;
    canvas()->update();
}

void PlotMgr::UpdateMemoMarkersX(XUnit unit)
{
    // Rebuilt from the sample numbers kept beside them, so a repeated call changes nothing.
    const double f = unit == TimeAxis ? IntervalSec() : 1.0;
    for (int i = 0; i < memoMarkers.size() && i < memoMarkersMV.size(); ++i)
        memoMarkers[i]->setXValue(memoMarkersMV[i]->xValue() * f);
    canvas()->update();
}

void PlotMgr::UpdateMemoMarkersY()
{
    const double k = config->ySettings.multiplier * 0.001;
    for (int i = 0; i < memoMarkers.size() && i < memoMarkersMV.size(); ++i)
        memoMarkers[i]->setYValue(memoMarkersMV[i]->yValue() * k);
    canvas()->update();
}

// ---- Zoom -----------------------------------------------------------------------------

void PlotMgr::PerformZoomingIn(bool on)
{
    ArmZoom(canvas(), savedCursor, zoomInPicker, ":/images/Images/Icons/KestrimaZ+.png", on);
}

void PlotMgr::PerformZoomingOut(bool on)
{
    ArmZoom(canvas(), savedCursor, zoomOutPicker, ":/images/Images/Icons/KestrimaZ-.png", on);
}

// Hands a new X window to the logger window, no narrower than the smallest window and
// not before the start of the record.
void PlotMgr::ApplyZoomWindow(double lo, double hi)
{
    XSettings xs = config->xSettings;
    const bool timeAxis = xs.xMode != 0;
    const double minWidth = timeAxis ? double(MinWindowSamples) * IntervalSec()
                                     : double(MinWindowSamples);
    if (!std::isfinite(lo) || !std::isfinite(hi))
        return;
    if (!(hi - lo >= minWidth)) {
        const double c = (lo + hi) * 0.5;
        lo = c - minWidth * 0.5;
        hi = c + minWidth * 0.5;
    }
    if (lo < 0.0) {
        hi -= lo;
        lo = 0.0;
    }
    if (timeAxis) {
        xs.timeMin = lo;
        xs.timeMax = hi;
    } else {
        xs.sampleMin = std::min(std::max(0, ToInt(lo)), INT_MAX - int(MinWindowSamples));
        xs.sampleMax = std::max(xs.sampleMin, ToInt(hi));
        if (qint64(xs.sampleMax) - xs.sampleMin < MinWindowSamples)
            xs.sampleMax = xs.sampleMin + int(MinWindowSamples);
    }
    xs.xUnitChanged = false;
    if (PlotClient *cl = Client())
        cl->ApplyXSettings(xs, true);
}

void PlotMgr::ZoomIn(QPointF pos)
{
    const XSettings &xs = config->xSettings;
    const double x = pos.x();
    if (xs.xMode != 0) {
        const double T = double(config->maxSamples) * IntervalSec();
        const double w = xs.timeMax - xs.timeMin;
        double h = w >= 2.0 ? w / 4.0 : 0.5;
        if (2.0 * h > w)
            h = w / 4.0;   // a zoom-in never widens the window
        const double c = x < h ? h : (x > T - h ? T - h : x);
        ApplyZoomWindow(c - h, c + h);
    } else {
        const qint64 M = config->maxSamples;
        const qint64 w = qint64(xs.sampleMax) - xs.sampleMin;
        const qint64 h = w <= 19 ? 5 : w / 4;
        const double c = x < h ? double(h) : (x > double(M - h) ? double(M - h) : x);
        ApplyZoomWindow(std::trunc(c - h), std::trunc(c + h));
    }
}

void PlotMgr::ZoomOut(QPointF pos)
{
    const XSettings &xs = config->xSettings;
    const double x = pos.x();
    if (xs.xMode != 0) {
        const double T = double(config->maxSamples) * IntervalSec();
        const double w = xs.timeMax - xs.timeMin;
        const double h = T / 2.0 < w ? T / 2.0 : w;
        const double c = x < h ? h : (x > T - h ? T - h : x);
        ApplyZoomWindow(c - h, c + h);
    } else {
        const qint64 M = config->maxSamples;
        const qint64 w = qint64(xs.sampleMax) - xs.sampleMin;
        const qint64 h = w > M / 2 ? M / 2 : w;
        const double c = x < h ? double(h) : (x > double(M - h) ? double(M - h) : x);
        ApplyZoomWindow(std::trunc(c - h), std::trunc(c + h));
    }
}

void PlotMgr::PerformZoomingInFromMenu()
{
    const XSettings &xs = config->xSettings;
    if (xs.xMode != 0) {
        const double c = (xs.timeMin + xs.timeMax) * 0.5;
        const double w = xs.timeMax - xs.timeMin;
        double q = w * 0.25;
        // Below a second the window goes to one second, unless that would widen it.
        if (2.0 * q < 1.0 && w > 1.0)
            q = 0.5;
        ApplyZoomWindow(c - q, c + q);
    } else {
        const qint64 c = (qint64(xs.sampleMin) + xs.sampleMax) / 2;
        const qint64 q = (qint64(xs.sampleMax) - xs.sampleMin) / 4;
        if (2 * q <= 9)
            ApplyZoomWindow(double(c - 5), double(c + 5));
        else
            ApplyZoomWindow(double(c - q), double(c + q));
    }
}

void PlotMgr::PerformZoomingOutFromMenu()
{
    const XSettings &xs = config->xSettings;
    if (xs.xMode != 0) {
        const double T = double(config->maxSamples) * IntervalSec();
        const double c = (xs.timeMin + xs.timeMax) * 0.5;
        const double w = xs.timeMax - xs.timeMin;
        double lo = c >= w ? c - w : 0.0;
        double hi = c >= w ? c + w : 2.0 * w;
        if (hi - lo > T) {
            lo = 0.0;
            hi = T;
        }
        ApplyZoomWindow(lo, hi);
    } else {
        const qint64 M = config->maxSamples;
        const qint64 c = (qint64(xs.sampleMin) + xs.sampleMax) / 2;
        const qint64 w = qint64(xs.sampleMax) - xs.sampleMin;
        qint64 lo = c >= w ? c - w : 0;
        qint64 hi = c >= w ? c + w : 2 * w;
        if (hi - lo > M) {
            lo = 0;
            hi = M;
        }
        ApplyZoomWindow(double(lo), double(hi));
    }
}

QPointF PlotMgr::CursorPoint(ActiveMarker which) const
{
    const QwtPlotMarker *m = which == DataMarker ? dataCursor
                             : which == MissedMarker ? missedCursor : memoCursor;
    return m ? m->value() : QPointF();
}

bool PlotMgr::IsCursorShown(ActiveMarker which) const
{
    const QwtPlotMarker *m = which == DataMarker ? dataCursor
                             : which == MissedMarker ? missedCursor : memoCursor;
    return m && m->isVisible();
}
