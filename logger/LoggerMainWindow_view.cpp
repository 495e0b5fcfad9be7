// Chart view control: X window, zoom, cursors, colours, view toggles, axis units.
#include "LoggerMainWindow.h"

void LoggerMainWindow::SetSampleNoScale()
{
    // the axis units fill this: X axis in sample numbers
}

void LoggerMainWindow::SetTimeScale()
{
    // the axis units fill this: X axis in seconds
}

void LoggerMainWindow::SetmVScale()
{
    // the axis units fill this: Y axis in mV
}

void LoggerMainWindow::SetVScale()
{
    // the axis units fill this: Y axis in V
}

void LoggerMainWindow::SetCustomYScale()
{
    // the axis units fill this: Y axis in the custom unit
}

void LoggerMainWindow::RetrieveCustomYScale(QAction *action)
{
    Q_UNUSED(action);
    // the custom Y scales fill this: switch to the chosen scale
}

void LoggerMainWindow::SetBackgrounColor()
{
    // the chart colours fill this: background colour
}

void LoggerMainWindow::SetGridColor()
{
    // the chart colours fill this: grid colour
}

void LoggerMainWindow::SetChATraceColor()
{
    // the chart colours fill this: channel A colour
}

void LoggerMainWindow::SetChBTraceColor()
{
    // the chart colours fill this: channel B colour
}

void LoggerMainWindow::RestoreDefaults()
{
    // the chart colours fill this: default colours
}

void LoggerMainWindow::ShowChATrace()
{
    // the view toggles fill this: channel A trace shown
}

void LoggerMainWindow::ShowChBTrace()
{
    // the view toggles fill this: channel B trace shown
}

void LoggerMainWindow::ShowTextLabels()
{
    // the view toggles fill this: text labels shown
}

void LoggerMainWindow::TrackDataLogger()
{
    // chart tracking fills this: follow the newest data
}

void LoggerMainWindow::ShowGrid()
{
    // the view toggles fill this: grid shown
}

void LoggerMainWindow::ZoomIn()
{
    // the zoom feature fills this: zoom-in mode
}

void LoggerMainWindow::ZoomInFromMenu()
{
    // the zoom feature fills this: zoom in from the menu
}

void LoggerMainWindow::ZoomOut()
{
    // the zoom feature fills this: zoom-out mode
}

void LoggerMainWindow::ZoomOutFromMenu()
{
    // the zoom feature fills this: zoom out from the menu
}

void LoggerMainWindow::ZoomFull()
{
    // the zoom feature fills this: the whole record
}

void LoggerMainWindow::AdjustDataCursor()
{
    // the chart cursors fill this: data cursor on or off
}

void LoggerMainWindow::AdjustMarkCursor()
{
    // the chart cursors fill this: memo cursor on or off
}

void LoggerMainWindow::AdjustMissedCursor()
{
    // the chart cursors fill this: missed-data cursor on or off
}

void LoggerMainWindow::on_ZoomInButton_clicked()
{
    // the zoom feature fills this: forwards to ZoomIn
}

void LoggerMainWindow::on_ZoomOutButton_clicked()
{
    // the zoom feature fills this: forwards to ZoomOut
}

void LoggerMainWindow::on_DataCursor_clicked()
{
    // the chart cursors fill this: data cursor button
}

void LoggerMainWindow::SetDataCursorChannel(QAction *action)
{
    Q_UNUSED(action);
    // the chart cursors fill this: data cursor channel
}

void LoggerMainWindow::on_MissedDataCursor_clicked()
{
    // the chart cursors fill this: missed-data cursor button
}

void LoggerMainWindow::SetMissedCursorChannel(QAction *action)
{
    Q_UNUSED(action);
    // the chart cursors fill this: missed cursor channel
}

void LoggerMainWindow::on_MemoCursor_clicked()
{
    // the chart cursors fill this: memo cursor button
}

void LoggerMainWindow::SetMemoCursorChannel(QAction *action)
{
    Q_UNUSED(action);
    // the chart cursors fill this: memo cursor channel
}

void LoggerMainWindow::SetCursorDelta(QAction *action)
{
    Q_UNUSED(action);
    // the chart cursors fill this: delta mode
}

void LoggerMainWindow::on_chAButton_clicked()
{
    // the view control fills this: forwards to SetChannelA
}

void LoggerMainWindow::on_chBButton_clicked()
{
    // the view control fills this: forwards to SetChannelB
}

void LoggerMainWindow::on_xAxisLabel_clicked()
{
    // the axis units fill this: toggles the X unit
}

void LoggerMainWindow::on_yAxisLabel_clicked()
{
    // the axis units fill this: steps to the next Y scale
}

void LoggerMainWindow::on_horizontalSlider_valueChanged(int value)
{
    Q_UNUSED(value);
    // chart scrolling fills this: moves the X window
}

void LoggerMainWindow::on_dataRadioButton_clicked()
{
    // the chart cursors fill this: drag the data cursor
}

void LoggerMainWindow::on_missedRadioButton_clicked()
{
    // the chart cursors fill this: drag the missed cursor
}

void LoggerMainWindow::on_markRadioButton_clicked()
{
    // the chart cursors fill this: drag the memo cursor
}

void LoggerMainWindow::EnableTracking()
{
    // chart tracking fills this: one window width on
}

void LoggerMainWindow::ApplyXSettings(XSettings xs, bool apply)
{
    Q_UNUSED(xs);
    Q_UNUSED(apply);
    // the X window fills this: applies a range and redraws
}

void LoggerMainWindow::DisplayMarkerCoordinate(MarkerCoordinate coordinate, double value)
{
    Q_UNUSED(coordinate);
    Q_UNUSED(value);
    // the chart cursors fill this: writes a read-out
}

void LoggerMainWindow::ClearMarkerCoordinate(MarkerCoordinate coordinate)
{
    Q_UNUSED(coordinate);
    // the chart cursors fill this: empties a read-out
}

void LoggerMainWindow::HideShowMemoMarkersInPlot()
{
    // the memo markers fill this: their visibility
}

void LoggerMainWindow::HideShowLabelsinPlot()
{
    // the chart labels fill this: their visibility
}

void LoggerMainWindow::DisplayAlertPopUp(int slot, const QString &systemName,
                                         const QString &userName, const QString &date,
                                         const QString &time, const QString &channel,
                                         const QString &sampleNo, const QString &value)
{
    Q_UNUSED(slot);
    Q_UNUSED(systemName);
    Q_UNUSED(userName);
    Q_UNUSED(date);
    Q_UNUSED(time);
    Q_UNUSED(channel);
    Q_UNUSED(sampleNo);
    Q_UNUSED(value);
    // the alerts fill this: fill and show a pop-up
}

void LoggerMainWindow::UpdateChartInfo()
{
    // the chart-information refresh fills this
}

void LoggerMainWindow::ApplyYSettings(YSettings ys)
{
    Q_UNUSED(ys);
    // the axis units fill this: stores a Y range and unit
}

void LoggerMainWindow::AddYScale(QString name)
{
    Q_UNUSED(name);
    // the custom Y scales fill this: a ticked menu entry
}

void LoggerMainWindow::RemoveYScale(QString name)
{
    Q_UNUSED(name);
    // the custom Y scales fill this: removes its menu entry
}

void LoggerMainWindow::ChangeCurrentActiveYScale(QString name)
{
    Q_UNUSED(name);
    // the custom Y scales fill this: moves the menu tick
}
