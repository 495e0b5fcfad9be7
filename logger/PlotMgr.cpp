// The logger chart: construction, axes, visibility, clearing, colours.
#include "PlotMgr.h"

#include "ChartText.h"
#include "LogCategories.h"
#include "PlotMgr_Segment.h"

#include <QDebug>
#include <QFont>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <QPalette>
#include <QStyle>
#include <QStyleOption>
#include <QPen>
#include <qwt_picker_machine.h>
#include <qwt_plot_canvas.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_grid.h>
// Qwt's header uses a QFlags constructor that Qt 5.15 deprecates.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <qwt_plot_layout.h>
#pragma GCC diagnostic pop
#include <qwt_plot_marker.h>
#include <qwt_plot_picker.h>
#include <qwt_scale_widget.h>
#include <qwt_scale_div.h>
#include <qwt_scale_draw.h>
#include <qwt_text.h>

#include <cmath>

namespace {

// The configured Y step, unless it would crowd the axis with ticks (an off-centre range such
// as -2900..3000 gives a step of 25): then the axis picks its own.
double YAxisStep(const ConfigSettings *config)
{
    const double step = std::fabs(config->GetYStepSize());
    const double span = config->ySettings.yMax - config->ySettings.yMin;
    if (!std::isfinite(step) || step == 0.0 || !(span / step <= 10.0))
        return 0.0;
    return step;
}

// The chart's canvas paints its own background, in the part being repainted, so that Qt
// does not repaint the widgets under it (the window, the plot) on each live repaint. Qwt's
// opaque mode would instead fill a pixmap of the whole canvas first, on every repaint of a
// few new samples, and so would its backing store.
class ChartCanvas : public QwtPlotCanvas {
public:
    explicit ChartCanvas(QwtPlot *plot) : QwtPlotCanvas(plot)
    {
        setPaintAttribute(QwtPlotCanvas::BackingStore, false);
        setPaintAttribute(QwtPlotCanvas::Opaque, false);
        setAttribute(Qt::WA_OpaquePaintEvent, true);
    }

protected:
    void paintEvent(QPaintEvent *event) override
    {
        QPainter painter(this);
        static_cast<PlotMgr *>(plot())->CanvasPainted();
        painter.setClipRegion(event->region());
        // What Qt's background pass drew under the canvas: its fill, then its style sheet.
        painter.save();
        if (autoFillBackground())
            painter.fillRect(rect(), palette().brush(backgroundRole()));
        if (testAttribute(Qt::WA_StyledBackground)) {
            QStyleOption option;
            option.initFrom(this);
            style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
        }
        painter.restore();
        // Then what the canvas draws on a background it does not paint itself: the items,
        // within its frame.
        painter.save();
        if (borderRadius() > 0.0)
            painter.setClipPath(borderPath(frameRect()), Qt::IntersectClip);
        else
            painter.setClipRect(contentsRect(), Qt::IntersectClip);
        plot()->drawCanvas(&painter);
        painter.restore();
        if (!testAttribute(Qt::WA_StyledBackground) && frameWidth() > 0)
            drawBorder(&painter);
        if (hasFocus() && focusIndicator() == CanvasFocusIndicator)
            drawFocusIndicator(&painter);
    }
};

// Tick labels come back as the X window moves on (the next window starts where this one
// ends), and each is measured and drawn: they share the labels' kept text layout.
class ChartScaleDraw : public QwtScaleDraw {
public:
    QwtText label(double value) const override { return ChartText(QwtScaleDraw::label(value).text()); }
};

}   // namespace

PlotMgr::PlotMgr(QWidget *parent) : QwtPlot(parent) {}

PlotMgr::~PlotMgr()
{
    delete grid;
    grid = nullptr;
    ClearArea();
    config = nullptr;
    delete statusLabel;
    statusLabel = nullptr;
    delete dataCursorPicker;
    dataCursorPicker = nullptr;
    delete missedCursorPicker;
    missedCursorPicker = nullptr;
    delete memoCursorPicker;
    memoCursorPicker = nullptr;
    delete dataCursor;
    dataCursor = nullptr;
    delete missedCursor;
    missedCursor = nullptr;
    delete memoCursor;
    memoCursor = nullptr;
    delete newMemoPicker;
    newMemoPicker = nullptr;
    qDeleteAll(memoMarkers);
    memoMarkers.clear();
    // The zoom pickers go with the canvas, the channel labels and the memo companions
    // with the plot.
}

void PlotMgr::Initialize(ConfigSettings *cfg)
{
    displayOngoing = false;
    rescaling = false;
    config = cfg;
    const ColorSettings colors = config->colorSettings;

    setAutoReplot(false);
    setCanvas(new ChartCanvas(this));
    setAxisScaleDraw(xBottom, new ChartScaleDraw);
    setAxisScaleDraw(yLeft, new ChartScaleDraw);
    plotLayout()->setAlignCanvasToScales(true);
    // The Y axis's end labels are centred on the canvas's edges: its scale must reach half
    // a line beyond them, or the lowest label loses its bottom (Qwt's own hint is short
    // by the descent).
    const int halfLine = QFontMetrics(axisWidget(yLeft)->font()).height() / 2 + 1;
    axisWidget(yLeft)->setMinBorderDist(halfLine, halfLine);
    setCanvasBackground(colors.background);

    grid = new QwtPlotGrid();
    grid->setPen(colors.gridPen);
    grid->enableX(true);
    grid->enableY(true);
    grid->enableXMin(false);
    grid->enableYMin(false);
    grid->attach(this);

    const YSettings &ys = config->ySettings;
    setAxisScale(yLeft, ys.yMin, ys.yMax, YAxisStep(config));
    SetYAxisLabel();

    SetBottomScale();
    SetXAxisLabel();
    setAxisMaxMinor(xBottom, 5);

    statusLabel = new QwtPlotMarker();
    statusLabel->setLinePen(colors.gridPen);
    statusLabel->setLineStyle(QwtPlotMarker::VLine);
    statusLabel->setLabelAlignment(Qt::AlignBottom);
    statusLabel->attach(this);
    DisplayStatus(false, false);
    DisplayChannelInfo();

    // Cursors: a drag picker and a cross-hair marker each, all hidden until the window
    // switches one on. Their first place is taken from the canvas size, as plot values.
    const int canvasW = canvas()->width();
    const int canvasH = canvas()->height();
    struct CursorSpec {
        QwtPlotPicker **picker;
        QwtPlotMarker **marker;
        void (PlotMgr::*slot)(QPointF);
        Qt::GlobalColor color;
        int x;
    };
    const CursorSpec cursors[] = {
        {&dataCursorPicker, &dataCursor, &PlotMgr::MoveDataCursor, Qt::darkCyan, canvasH / 4},
        {&missedCursorPicker, &missedCursor, &PlotMgr::MoveMissedCursor, Qt::magenta,
         canvasH * 3 / 4},
        {&memoCursorPicker, &memoCursor, &PlotMgr::MoveMemoCursor, Qt::green, canvasH / 2},
    };
    for (const CursorSpec &c : cursors) {
        auto *picker = new QwtPlotPicker(xBottom, yLeft, QwtPicker::NoRubberBand,
                                         QwtPicker::AlwaysOn, canvas());
        picker->setStateMachine(new QwtPickerDragPointMachine());
        picker->setEnabled(false);
        connect(picker, &QwtPlotPicker::moved, this, c.slot);
        if (c.picker == &dataCursorPicker)
            picker->setMousePattern(QwtEventPattern::MouseSelect1, Qt::LeftButton, Qt::NoModifier);
        *c.picker = picker;

        auto *marker = new QwtPlotMarker();
        marker->setLineStyle(QwtPlotMarker::Cross);
        marker->setLinePen(QPen(QColor(c.color), 0, Qt::SolidLine));
        marker->setAxes(xBottom, yLeft);
        marker->setValue(double(c.x), double(canvasW / 2));
        marker->attach(this);
        marker->hide();
        *c.marker = marker;
    }

    auto clickPicker = [this](void (PlotMgr::*slot)(QPointF)) {
        auto *picker = new QwtPlotPicker(xBottom, yLeft, QwtPicker::CrossRubberBand,
                                         QwtPicker::AlwaysOff, canvas());
        picker->setStateMachine(new QwtPickerClickPointMachine());
        picker->setMousePattern(QwtEventPattern::MouseSelect1, Qt::LeftButton, Qt::NoModifier);
        connect(picker, QOverload<const QPointF &>::of(&QwtPlotPicker::selected), this, slot);
        picker->setEnabled(false);
        return picker;
    };
    newMemoPicker = clickPicker(&PlotMgr::CreateNewMarker);
    zoomInPicker = clickPicker(&PlotMgr::ZoomIn);
    zoomOutPicker = clickPicker(&PlotMgr::ZoomOut);

    runList = nullptr;
    newMarkerAdded = false;
    savedCursor = canvas()->cursor();
}

void PlotMgr::SetBottomScale()
{
    const XSettings &xs = config->xSettings;
    if (xs.xMode != 0) {
        xShown[0] = xs.timeMin;
        xShown[1] = xs.timeMax;
        setAxisScale(xBottom, xs.timeMin, xs.timeMax, config->GetXTimeStepSize());
    } else {
        xShown[0] = double(uint32_t(xs.sampleMin));
        xShown[1] = double(uint32_t(xs.sampleMax));
        setAxisScale(xBottom, xShown[0], xShown[1], double(config->GetXSampleStepSize()));
    }
    if (!runLabels.empty())
        SyncRunLabels();
}

void PlotMgr::SetAxisTitleText(int axis, const QString &text)
{
    QwtText title = ChartText(text, QwtText::PlainText);
    title.setFont(QFont(QStringLiteral("Arial"), 10, QFont::Bold));
    title.setColor(Qt::black);
    setAxisTitle(axis, title);
}

void PlotMgr::SetYAxisLabel()
{
    SetAxisTitleText(yLeft, config->ySettings.unitText);
}

void PlotMgr::SetXAxisLabel()
{
    SetAxisTitleText(xBottom, config->xSettings.xMode != 0 ? QStringLiteral("Sec")
                                                           : QStringLiteral("Sample"));
}

void PlotMgr::UpdateXAxis()
{
    qCDebug(lcDisplay) << "x.sampleNo.maxValue" << config->GetXSampleStepSize();
    const XSettings &xs = config->xSettings;
    SetBottomScale();
    updateAxes();
    RepaintWholeCanvas();
    if (xs.xUnitChanged)
        UpdateMemoMarkersX(XUnit(xs.xMode));
    SetXAxisLabel();
    UpdateCursorValueDisplay(xs.xUnitChanged);
}

void PlotMgr::UpdateYAxis()
{
    const YSettings &ys = config->ySettings;
    setAxisScale(yLeft, ys.yMin, ys.yMax, YAxisStep(config));
    updateAxes();
    canvas()->update();
    SetYAxisLabel();
    UpdateMemoMarkersY();
    UpdateCursorValueDisplay(false);
}

void PlotMgr::MakeChannelAVisible(bool visible)
{
    for (QwtPlotCurve *segment : qAsConst(chASegments))
        segment->setVisible(visible);
    for (QwtPlotMarker *marker : qAsConst(chAMissedMarkers))
        marker->setVisible(visible);
    canvas()->update();
}

void PlotMgr::MakeChannelBVisible(bool visible)
{
    for (QwtPlotCurve *segment : qAsConst(chBSegments))
        segment->setVisible(visible);
    for (QwtPlotMarker *marker : qAsConst(chBMissedMarkers))
        marker->setVisible(visible);
    canvas()->update();
}

void PlotMgr::MakeGridVisible(bool visible)
{
    if (grid)
        grid->setVisible(visible);
    canvas()->update();
}

namespace {
template <typename Item>
void HideAndDelete(QVector<Item *> &items)
{
    for (Item *item : qAsConst(items)) {
        item->hide();
        delete item;
    }
    items.clear();
}
}   // namespace

void PlotMgr::ClearChA()
{
    HideAndDelete(chASegments);
    ResetExtremes(ChannelA);
}

void PlotMgr::ClearChB()
{
    HideAndDelete(chBSegments);
    ResetExtremes(ChannelB);
}

void PlotMgr::ClearMissedData()
{
    HideAndDelete(chAMissedMarkers);
    HideAndDelete(chBMissedMarkers);
}

void PlotMgr::ClearArea()
{
    ClearChA();
    ClearChB();
    DropRunLabels();
    ClearMissedData();
    canvas()->update();
}

void PlotMgr::UpdateBackgroundColor()
{
    canvas()->setPalette(QPalette(config->colorSettings.background));
}

void PlotMgr::UpdateGridColor()
{
    if (grid)
        grid->setPen(config->colorSettings.gridPen);
}

namespace {
void RecolorLabel(QwtPlotMarker *label, const QColor &color)
{
    if (!label)
        return;
    QwtText text = label->label();
    text.setColor(color);
    label->setLabel(text);
}
}   // namespace

void PlotMgr::UpdateChAColor()
{
    const QPen pen(config->colorSettings.chAColor, 0, Qt::SolidLine);
    for (QwtPlotCurve *segment : qAsConst(chASegments))
        segment->setPen(pen);
    RecolorLabel(chALabel, config->colorSettings.chAColor);
}

void PlotMgr::UpdateChBColor()
{
    const QPen pen(config->colorSettings.chBColor, 0, Qt::SolidLine);
    for (QwtPlotCurve *segment : qAsConst(chBSegments))
        segment->setPen(pen);
    RecolorLabel(chBLabel, config->colorSettings.chBColor);
}

void PlotMgr::resizeEvent(QResizeEvent *event)
{
    QwtPlot::resizeEvent(event);
}

PlotMgr::LayoutInputs PlotMgr::CurrentLayoutInputs() const
{
    LayoutInputs inputs;
    inputs.numbers << contentsRect().width() << contentsRect().height();
    inputs.texts << title().text() << footer().text();
    for (int axis = 0; axis < axisCnt; ++axis) {
        if (!axisEnabled(axis)) {
            inputs.numbers << -1.0;
            continue;
        }
        const QwtScaleWidget *scale = axisWidget(axis);
        int hintStart = 0, hintEnd = 0;
        scale->getBorderDistHint(hintStart, hintEnd);
        inputs.numbers << scale->scaleDraw()->extent(scale->font()) << scale->startBorderDist()
                       << scale->endBorderDist() << hintStart << hintEnd;
        // Fonts compared as fonts: their key strings are costly to build on every turn.
        inputs.texts << scale->title().text();
        inputs.fonts << scale->title().font() << scale->font();
    }
    return inputs;
}

void PlotMgr::updateLayout()
{
    QwtPlot::updateLayout();
    laidOutInputs = CurrentLayoutInputs();
}

bool PlotMgr::event(QEvent *event)
{
    if (event->type() == QEvent::LayoutRequest && !laidOutInputs.numbers.isEmpty()
        && CurrentLayoutInputs() == laidOutInputs)
        return QFrame::event(event);
    return QwtPlot::event(event);
}
