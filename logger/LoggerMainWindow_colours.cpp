// Chart colours and the View menu's toggles; the channel buttons.
#include "LoggerMainWindow.h"

#include "PlotMgr.h"
#include "ui_LoggerMainWindow.h"

#include <QColorDialog>

namespace {

QString ButtonStyle(const QString &colourName)
{
    return QStringLiteral("background-color: ") + colourName + QStringLiteral(";");
}

// The platform colour dialog, with no colour chosen beforehand; invalid when cancelled.
QColor ChooseColour(QWidget *parent)
{
    return QColorDialog::getColor(QColor(), parent);
}

// The channel's button in its trace colour; a switched-off channel keeps its grey button.
void PaintChannelButton(LoggerMainWindow *win, int channel)
{
    const ColorSettings &colours = win->config->colorSettings;
    if (channel == 0 && win->config->chAEnabled)
        win->ui->chAButton->setStyleSheet(ButtonStyle(colours.chAColorName));
    else if (channel == 1 && win->config->chBEnabled)
        win->ui->chBButton->setStyleSheet(ButtonStyle(colours.chBColorName));
}

void SetTraceColour(LoggerMainWindow *win, int channel)
{
    const QColor colour = ChooseColour(win);
    if (!colour.isValid())
        return;
    ColorSettings &colours = win->config->colorSettings;
    (channel == 0 ? colours.chAColorName : colours.chBColorName) = colour.name();
    (channel == 0 ? colours.chAColor : colours.chBColor) = colour;
    if (channel == 0)
        win->plotMgr->UpdateChAColor();
    else
        win->plotMgr->UpdateChBColor();
    win->plotMgr->replot();
    PaintChannelButton(win, channel);
}

// A View toggle: the setting turned over, its menu tick, and the chart following it.
void Toggle(bool &setting, QAction *entry, PlotMgr *chart, void (PlotMgr::*show)(bool))
{
    setting = !setting;
    LoggerMainWindow::SetTicked(entry, setting);
    (chart->*show)(setting);
}

}   // namespace

void LoggerMainWindow::SetBackgrounColor()
{
    const QColor colour = ChooseColour(this);
    if (!colour.isValid())
        return;
    config->colorSettings.background = colour;
    plotMgr->UpdateBackgroundColor();
    plotMgr->replot();
}

void LoggerMainWindow::SetGridColor()
{
    const QColor colour = ChooseColour(this);
    if (!colour.isValid())
        return;
    config->colorSettings.gridPen = QPen(QBrush(colour), 0, Qt::DotLine, Qt::SquareCap, Qt::BevelJoin);
    plotMgr->UpdateGridColor();
    plotMgr->replot();
}

void LoggerMainWindow::SetChATraceColor()
{
    SetTraceColour(this, 0);
}

void LoggerMainWindow::SetChBTraceColor()
{
    SetTraceColour(this, 1);
}

void LoggerMainWindow::RestoreDefaults()
{
    config->RestoreDefaultColors();
    plotMgr->UpdateBackgroundColor();
    plotMgr->UpdateGridColor();
    plotMgr->UpdateChAColor();
    plotMgr->UpdateChBColor();
    plotMgr->replot();
    PaintChannelButton(this, 0);
    PaintChannelButton(this, 1);
}

void LoggerMainWindow::ShowChATrace()
{
    Toggle(config->showChATrace, ui->action_ChA_Trace_2, plotMgr, &PlotMgr::MakeChannelAVisible);
}

void LoggerMainWindow::ShowChBTrace()
{
    Toggle(config->showChBTrace, ui->action_ChB_Trace_2, plotMgr, &PlotMgr::MakeChannelBVisible);
}

void LoggerMainWindow::ShowTextLabels()
{
    Toggle(config->showTextLabels, ui->action_Text_Labels, plotMgr, &PlotMgr::MakeTextLabelsVisible);
}

void LoggerMainWindow::ShowGrid()
{
    Toggle(config->showGrid, ui->action_Grid_2, plotMgr, &PlotMgr::MakeGridVisible);
}

void LoggerMainWindow::on_chAButton_clicked()
{
    SetChannelA();
}

void LoggerMainWindow::on_chBButton_clicked()
{
    SetChannelB();
}
