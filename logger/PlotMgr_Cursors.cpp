// The logger chart's cursors, memo markers and zoom. The bodies come with the cursor
// work; until then the chart's own code calls them as no-ops.
#include "PlotMgr.h"

void PlotMgr::MoveDataCursor(QPointF)
{
    // Places the data cursor on the followed channel's sample; not built yet.
}

void PlotMgr::MoveMissedCursor(QPointF)
{
    // Places the missed-data cursor; not built yet.
}

void PlotMgr::MoveMemoCursor(QPointF)
{
    // Places the memo cursor, or snaps it to a memo marker; not built yet.
}

void PlotMgr::CreateNewMarker(QPointF)
{
    // Places a memo marker at the clicked sample; not built yet.
}

void PlotMgr::ZoomIn(QPointF)
{
    // Halves the X window around the clicked x; not built yet.
}

void PlotMgr::ZoomOut(QPointF)
{
    // Doubles the X window around the clicked x; not built yet.
}

void PlotMgr::MakeDataCursorVisible(bool)
{
    // Shows or hides the data cursor with its read-outs; not built yet.
}

void PlotMgr::MakeMissedCursorVisible(bool)
{
    // Shows or hides the missed-data cursor with its read-outs; not built yet.
}

void PlotMgr::MakeMarkCursorVisible(bool)
{
    // Shows or hides the memo cursor with its read-outs; not built yet.
}

void PlotMgr::SetActiveMarker(ActiveMarker)
{
    // Enables the chosen cursor's picker only; not built yet.
}

void PlotMgr::SetCurrentDelta(DeltaCalculation)
{
    // Stores the delta mode and refreshes the delta read-outs; not built yet.
}

void PlotMgr::UpdateCursorValueDisplay(bool)
{
    // Re-places the shown cursors after an axis change; not built yet.
}

void PlotMgr::RecordNewMouseClickOnPlot()
{
    // Arms memo placement; not built yet.
}

void PlotMgr::CancelRecordingNewMouseClickOnPlot()
{
    // Disarms memo placement; not built yet.
}

void PlotMgr::RecordNewLabel(const QString &)
{
    // Records the label for the next memo marker; not built yet.
}

void PlotMgr::AddLabelToMemoMarker()
{
    // Labels the newest memo marker; not built yet.
}

void PlotMgr::RemoveMemoMarker(int)
{
    // Removes one memo marker from both lists; not built yet.
}

void PlotMgr::SetCurrentMemoMarkerList(QVector<QwtPlotMarker *>)
{
    // Installs memo markers read from a memo file; not built yet.
}

void PlotMgr::ClearMemoList()
{
    // Removes all memo markers; not built yet.
}

void PlotMgr::UpdateMemoMarkersX(XUnit)
{
    // Converts the memo markers to the new X unit; not built yet.
}

void PlotMgr::UpdateMemoMarkersY()
{
    // Converts the memo markers to the new Y unit; not built yet.
}

void PlotMgr::PerformZoomingIn(bool)
{
    // Arms or disarms click zoom-in; not built yet.
}

void PlotMgr::PerformZoomingOut(bool)
{
    // Arms or disarms click zoom-out; not built yet.
}

void PlotMgr::PerformZoomingInFromMenu()
{
    // Zooms in around the middle of the X window; not built yet.
}

void PlotMgr::PerformZoomingOutFromMenu()
{
    // Zooms out around the middle of the X window; not built yet.
}
