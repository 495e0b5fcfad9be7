// The logger chart: curves of the logged samples, missed-sample markers, cursors,
// memo markers and information labels on one QwtPlot.
#pragma once

#include "LoggerData.h"

#include <QCursor>
#include <QElapsedTimer>
#include <QFont>
#include <QPointF>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector>
#include <qwt_plot.h>

#include <vector>

class QResizeEvent;
class QTimer;
class QwtPlotCurve;
class QwtPlotGrid;
class QwtPlotMarker;
class QwtPlotPicker;

// Cursor read-outs of the logger window, in the order of its eight labels.
enum MarkerCoordinate { DataX = 0, DataY, MissedX, MissedY, MemoX, MemoY, DeltaX, DeltaY };

// What the delta read-outs show.
enum DeltaCalculation { DataMinusMissed = 0, DataMinusMemo, MissedMinusMemo, DeltaOff };

// Which cursor the mouse drags.
enum ActiveMarker { DataMarker = 0, MissedMarker, MemoMarker };

// What the chart asks of the logger window. LoggerMainWindow implements it and hands
// itself to PlotMgr::SetClient.
class PlotClient {
public:
    virtual ~PlotClient() = default;
    // Moves the X window on to the window that holds `newestSample` when tracking is on;
    // may redraw the chart.
    virtual void EnableTracking(double newestSample) = 0;
    // Fills and shows the pop-up of alert slot `index` (0..3).
    virtual void DisplayAlertPopUp(int index, const QString &systemName, const QString &userName,
                                   const QString &date, const QString &time,
                                   const QString &channel, const QString &sampleNo,
                                   const QString &value) = 0;
    // The runs of the chart, re-read from the backup file when a reload is pending.
    virtual QVector<LoggerData *> *GetDisplayBuffer() = 0;
    virtual void DisplayMarkerCoordinate(MarkerCoordinate which, double value) = 0;
    virtual void ClearMarkerCoordinate(MarkerCoordinate which) = 0;
    virtual void ApplyXSettings(XSettings settings, bool apply) = 0;
};

class PlotMgr : public QwtPlot {
    Q_OBJECT
public:
    enum Channel { ChannelA = 0, ChannelB = 1 };
    enum XUnit { SampleAxis = 0, TimeAxis = 1 };        // equals XSettings::xMode
    enum YUnit { MilliVolt = 0, Volt = 1, CustomScale = 2 };   // equals YSettings::yUnit

    explicit PlotMgr(QWidget *parent = nullptr);
    ~PlotMgr() override;

    // Called once, right after construction.
    void Initialize(ConfigSettings *config);
    // The window to report to (tracking, alert pop-ups, cursor read-outs).
    void SetClient(PlotClient *client) { this->client = client; }

    // Axes.
    void SetYAxisLabel();
    void SetXAxisLabel();
    void UpdateXAxis();
    void UpdateYAxis();

    // Visibility.
    void MakeChannelAVisible(bool visible);
    void MakeChannelBVisible(bool visible);
    void MakeGridVisible(bool visible);

    // Clearing.
    void ClearChA();
    void ClearChB();
    void ClearMissedData();
    void ClearArea();

    // Colours, read from the configuration at the call.
    void UpdateBackgroundColor();
    void UpdateGridColor();
    void UpdateChAColor();
    void UpdateChBColor();

    bool DoesRescaling() const { return rescaling; }

    // Plotting. Values are in mV, MissedSampleValue marks a missed sample.
    void PlotPoints(const QVector<double> &x, const QVector<double> &y, Channel channel,
                    double interval, SampIntervalUnit unit, QVector<int> &saturated,
                    bool testAllLimits);
    // The saturation and alert tests of PlotPoints without drawing anything: for
    // segments that are not drawn live.
    void CheckPoints(const QVector<double> &x, const QVector<double> &y, Channel channel,
                     double interval, SampIntervalUnit unit, QVector<int> &saturated);
    void CreateMissedMarker(double sampleNo, bool channelA, bool channelB);
    void GetXValue(const QVector<double> &sampleNos, double interval, SampIntervalUnit unit,
                   QVector<double> &out) const;
    void GetConvertedYValue(const QVector<double> &milliVolts, YUnit unit,
                            QVector<double> &out) const;
    void DisplaySignal(const QVector<LoggerData *> *runs, bool firstRunOnly);
    void DisplaySelectedData(const QVector<LoggerData *> *runs, int index, int &counter,
                             bool unused);
    // Extremes of the values drawn since the channel was last cleared, in mV.
    void GetMinMaxValue(double &minA, double &minB, double &maxA, double &maxB) const;
    bool DoesEnableTracking(const QVector<double> &sampleNos) const;
    void EnableTracking(double newestSample);
    void sendOutlookMail(const QString &address, const QString &alertNo,
                         const QString &systemName, const QString &userName,
                         const QString &date, const QString &time, const QString &channel,
                         const QString &x, const QString &y);
    // Upper and lower saturation limit of a channel, in mV.
    void SaturationLimits(Channel channel, double &upper, double &lower) const;

    // Cursors, memo markers and zoom.
    void MakeDataCursorVisible(bool visible);
    void MakeMissedCursorVisible(bool visible);
    void MakeMarkCursorVisible(bool visible);
    void SetActiveMarker(ActiveMarker marker);
    void SetCurrentDelta(DeltaCalculation delta);
    void UpdateCursorValueDisplay(bool convertX);
    void RecordNewMouseClickOnPlot();
    void CancelRecordingNewMouseClickOnPlot();
    void RecordNewLabel(const QString &text);
    void AddLabelToMemoMarker();
    bool NewMarkerAdded() const { return newMarkerAdded; }
    QVector<QwtPlotMarker *> GetCurrentMemoMarkerList() const { return memoMarkers; }
    QVector<QwtPlotMarker *> GetCurrentMemoMarkerMVSampleList() const { return memoMarkersMV; }
    void RemoveMemoMarker(int index);
    void SetCurrentMemoMarkerList(QVector<QwtPlotMarker *> markers);
    void ClearMemoList();
    void UpdateMemoMarkersX(XUnit unit);
    void UpdateMemoMarkersY();
    bool IsDisplayOngoing() const { return displayOngoing; }
    // Where a cursor stands, and whether it is shown.
    QPointF CursorPoint(ActiveMarker which) const;
    bool IsCursorShown(ActiveMarker which) const;
    void PerformZoomingIn(bool on);
    void PerformZoomingOut(bool on);
    void PerformZoomingInFromMenu();
    void PerformZoomingOutFromMenu();

    // Information labels.
    void DisplayStatus(bool running, bool testMode);
    void DisplayChannelInfo();
    void UpdateChLabelText(const QString &unitText);
    void UpdateChLabelsPosition();
    void UpdateStatusLabelPosition();
    void DisplayStartInfo(const QVector<LoggerData *> *runs, bool allRuns);
    void DisplayStopInfo(const QVector<LoggerData *> *runs, bool allRuns);
    void MakeTextLabelsVisible(bool visible);
    void ClearStartStopInfoLabels();
    void ClearChannelInfo();

    // The canvas is being painted: a repaint of the whole canvas asked for before is under
    // way (Qt paints all that was asked for in one paint event).
    void CanvasPainted() { wholeCanvasDue = partialDue = false; }

    // Lays the plot out and notes what the layout was computed from.
    void updateLayout() override;

    // What is on the chart (read-only views).
    const QVector<QwtPlotCurve *> &Segments(Channel channel) const
    { return channel == ChannelA ? chASegments : chBSegments; }
    const QVector<QwtPlotMarker *> &MissedMarkers(Channel channel) const
    { return channel == ChannelA ? chAMissedMarkers : chBMissedMarkers; }
    const QVector<QwtPlotMarker *> &TextLabels() const { return textLabels; }
    QwtPlotGrid *Grid() const { return grid; }

    // The window writes these directly: channel followed by each cursor
    // (0 A, 1 B, 2 none; 99 for the memo cursor following the memo markers).
    int32_t dataCursorChannel = 2;
    int32_t missedCursorChannel = 2;
    int32_t memoCursorChannel = 2;
    // The runs the cursors follow; the window sets it before each full redraw.
    const QVector<LoggerData *> *runList = nullptr;

public slots:
    void MoveDataCursor(QPointF pos);
    void MoveMissedCursor(QPointF pos);
    void MoveMemoCursor(QPointF pos);
    void CreateNewMarker(QPointF pos);
    void ZoomIn(QPointF pos);
    void ZoomOut(QPointF pos);
    void DeleteLastStopLabel();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void drawCanvas(QPainter *painter) override;
    bool event(QEvent *event) override;

private:
    struct Prepared;
    PlotClient *Client() const;
    double XScaleFactor() const;
    bool XWindowShows(double first, double last) const;
    QwtPlotCurve *NewSegment(Channel channel) const;
    bool JoinsLastCurve(Channel channel, const QPointF &first) const;
    void AddSegmentPoints(Channel channel, const QVector<double> &x, const QVector<double> &y,
                          bool joins);
    void Prepare(const QVector<double> &x, const QVector<double> &y, double interval,
                 SampIntervalUnit unit, Prepared &out) const;
    void TestLimits(Channel channel, const Prepared &p, QVector<int> &saturated,
                    bool testAllLimits) const;
    void TestAlerts(Channel channel, const Prepared &p);
    void NoteExtremes(Channel channel, const Prepared &p);
    void ResetExtremes(Channel channel);
    void SetAxisTitleText(int axis, const QString &text);
    void SetBottomScale();
    // Live drawing repaints the canvas at most every RepaintIntervalMs (blocks arrive
    // every millisecond, a screen shows a few dozen frames a second), and only the part
    // that the new samples changed.
    void ScheduleRepaint(const Prepared &p);
    // Cursors, memo markers and zoom.
    struct CursorParts {
        QwtPlotMarker *marker;
        QwtPlotPicker *picker;
        int32_t *channel;
        double *pos;
        MarkerCoordinate xRead;
        MarkerCoordinate yRead;
    };
    CursorParts Cursor(int which);   // 0 data, 1 missed, 2 memo
    double IntervalSec() const;
    bool FindSample(int channel, const QPointF &p, double &x, double &y) const;
    bool FindMemoMarker(const QPointF &p, double &x, double &y) const;
    void PlaceCursor(int which, const QPointF &p);
    // The units the cursor positions are in, from the first cursor shown on.
    void NoteCursorUnits();
    void MakeCursorVisible(int which, bool visible);
    void UpdateDelta();
    void ApplyZoomWindow(double lo, double hi);
    // Run labels. Every run's start and stop label is noted with what its text needs; a
    // label becomes a marker only while the X window can show it, so that a chart of very
    // many runs costs what its window shows.
    struct RunLabel {
        bool start = true;
        bool visible = true;
        double x = 0.0;
        // The chart label flags and the run's figures when the label was made.
        bool flags[8] = {};
        QString date;
        QString time;
        double interval = 0.0;
        SampIntervalUnit unit = MilliSeconds;
        int32_t total[2] = {0, 0};
        int32_t missed[2] = {0, 0};
        double max[2] = {0.0, 0.0};
        double min[2] = {0.0, 0.0};
        QwtPlotMarker *marker = nullptr;
    };
    static QString RunLabelText(const RunLabel &label);
    void AddRunLabel(RunLabel label);
    QwtPlotMarker *NewRunLabel(const RunLabel &label);
    void RemoveRunLabels(bool start);
    void DropRunLabels();
    // Makes markers of the labels the X window can show and drops the others.
    void SyncRunLabels();
    // The first run a display of run labels draws (-1: none); a redraw of all runs first
    // removes the old labels of that kind.
    int FirstRunToLabel(const QVector<LoggerData *> *runs, bool allRuns, bool start);
    void RepaintDue();
    // Has the whole canvas repainted; a due live repaint is part of it.
    void RepaintWholeCanvas();
    // Drawing passes come every 20 ms at short intervals: a due repaint falls midway between
    // two of them, so that it never races the pass that turns the X window (and repaints
    // the whole canvas) nor one that still has samples for it. A pass that comes within
    // RideAlongMs of it takes it along, so that the GUI thread is not woken for it alone.
    static constexpr int RepaintIntervalMs = 50;
    static constexpr int RideAlongMs = 20;
    // What the plot's layout is computed from: the axes' extents, border distances and
    // titles, and the plot's size. A moving X window asks for a layout on each move; while
    // these stay the same, the layout it had still holds.
    struct LayoutInputs {
        QVector<double> numbers;
        QStringList texts;
        QVector<QFont> fonts;
        bool operator==(const LayoutInputs &o) const
        {
            return numbers == o.numbers && texts == o.texts && fonts == o.fonts;
        }
    };
    LayoutInputs CurrentLayoutInputs() const;
    LayoutInputs laidOutInputs;

    QwtPlotGrid *grid = nullptr;
    QVector<QwtPlotCurve *> chASegments;
    QVector<QwtPlotCurve *> chBSegments;
    ConfigSettings *config = nullptr;
    QwtPlotMarker *chALabel = nullptr;
    QwtPlotMarker *chBLabel = nullptr;
    QwtPlotMarker *statusLabel = nullptr;
    QVector<QwtPlotMarker *> textLabels;   // the run labels that are markers now, in order
    std::vector<RunLabel> runLabels;
    int runLabelChars = 40;                // characters of the longest line of a run label
    double runLabelsSynced[3] = {0.0, 0.0, -1.0};   // X window and canvas width last synced
    QwtPlotPicker *dataCursorPicker = nullptr;
    QwtPlotPicker *missedCursorPicker = nullptr;
    QwtPlotPicker *memoCursorPicker = nullptr;
    QwtPlotPicker *zoomInPicker = nullptr;
    QwtPlotPicker *zoomOutPicker = nullptr;
    QwtPlotMarker *dataCursor = nullptr;
    QwtPlotMarker *missedCursor = nullptr;
    QwtPlotMarker *memoCursor = nullptr;
    QwtPlotPicker *newMemoPicker = nullptr;
    QVector<QwtPlotMarker *> memoMarkers;
    QVector<QwtPlotMarker *> memoMarkersMV;
    QString newLabelText;
    QCursor savedCursor;
    bool rescaling = false;
    bool newMarkerAdded = false;
    bool displayOngoing = false;
    DeltaCalculation currentDelta = DeltaOff;
    double dataCursorPos[2] = {0.0, 0.0};
    double missedCursorPos[2] = {0.0, 0.0};
    double memoCursorPos[2] = {0.0, 0.0};
    QVector<QwtPlotMarker *> chAMissedMarkers;
    QVector<QwtPlotMarker *> chBMissedMarkers;

    PlotClient *client = nullptr;
    int cursorXMode = -1;             // X unit the cursor positions are in; -1 not yet known
    double cursorYMultiplier = 0.0;   // Y multiplier the cursor positions are in; 0 not yet known
    QTimer *repaintTimer = nullptr;   // single shot, pending while a repaint is due
    QRect dirtyRect;                  // canvas pixels the due repaint covers
    bool wholeCanvasDue = false;      // a repaint of the whole canvas is pending
    bool partialDue = false;          // a repaint of dirty parts is asked for, not yet painted
    QElapsedTimer dirtySince;         // since the oldest sample the due repaint covers
    double xShown[2] = {0.0, 0.0};   // the X range the bottom axis was last given
    // Extremes (in the plotted unit) of everything drawn per channel since its last
    // clear, kept as segments are added so that no pass walks the old segments.
    bool haveExtremes[2] = {false, false};
    double drawnMin[2] = {0.0, 0.0};
    double drawnMax[2] = {0.0, 0.0};
};
