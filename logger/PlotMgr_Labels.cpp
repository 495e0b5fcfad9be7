// The logger chart's information labels (status, channels, run start and stop). The
// bodies come with the label work; until then the chart's own code calls them as no-ops.
#include "PlotMgr.h"

void PlotMgr::DisplayStatus(bool, bool)
{
    // Sets the "Running"/"Stopped" text of the status label; not built yet.
}

void PlotMgr::DisplayChannelInfo()
{
    // Makes the two channel labels; not built yet.
}

void PlotMgr::UpdateChLabelText(const QString &)
{
    // Puts the new unit text into the channel labels; not built yet.
}

void PlotMgr::UpdateChLabelsPosition()
{
    // Moves the channel labels to the X axis's left edge; not built yet.
}

void PlotMgr::UpdateStatusLabelPosition()
{
    // Moves the status label to the X axis's left edge; not built yet.
}

void PlotMgr::DisplayStartInfo(const QVector<LoggerData *> *, bool)
{
    // Adds start labels for the runs; not built yet.
}

void PlotMgr::DisplayStopInfo(const QVector<LoggerData *> *, bool)
{
    // Adds stop labels for the runs; not built yet.
}

void PlotMgr::MakeTextLabelsVisible(bool)
{
    // Shows or hides the start and stop labels; not built yet.
}

void PlotMgr::DeleteLastStopLabel()
{
    // Removes the last start/stop label; not built yet.
}

void PlotMgr::ClearStartStopInfoLabels()
{
    // Deletes the start and stop labels; not built yet.
}

void PlotMgr::ClearChannelInfo()
{
    // Deletes the channel labels and the start and stop labels; not built yet.
}
