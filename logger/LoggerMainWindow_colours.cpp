// Chart colours and the View menu's toggles; the channel buttons.
#include "LoggerMainWindow.h"

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
    const QColor colour = ChooseColour(this);
    if (!colour.isValid())
        return;
    ColorSettings &colours = config->colorSettings;
    colours.chAColorName = colour.name();
    colours.chAColor = colour;
    plotMgr->UpdateChAColor();
    plotMgr->replot();
    // A switched-off channel keeps its grey button.
    if (config->chAEnabled)
        ui->chAButton->setStyleSheet(ButtonStyle(colours.chAColorName));
}

void LoggerMainWindow::SetChBTraceColor()
{
    const QColor colour = ChooseColour(this);
    if (!colour.isValid())
        return;
    ColorSettings &colours = config->colorSettings;
    colours.chBColorName = colour.name();
    colours.chBColor = colour;
    plotMgr->UpdateChBColor();
    plotMgr->replot();
    if (config->chBEnabled)
        ui->chBButton->setStyleSheet(ButtonStyle(colours.chBColorName));
}

void LoggerMainWindow::RestoreDefaults()
{
    config->RestoreDefaultColors();
    plotMgr->UpdateBackgroundColor();
    plotMgr->UpdateGridColor();
    plotMgr->UpdateChAColor();
    plotMgr->UpdateChBColor();
    plotMgr->replot();
    if (config->chAEnabled)
        ui->chAButton->setStyleSheet(ButtonStyle(config->colorSettings.chAColorName));
    if (config->chBEnabled)
        ui->chBButton->setStyleSheet(ButtonStyle(config->colorSettings.chBColorName));
}

void LoggerMainWindow::ShowChATrace()
{
    const bool on = !config->showChATrace;
    config->showChATrace = on;
    SetTicked(ui->action_ChA_Trace_2, on);
    plotMgr->MakeChannelAVisible(on);
}

void LoggerMainWindow::ShowChBTrace()
{
    const bool on = !config->showChBTrace;
    config->showChBTrace = on;
    SetTicked(ui->action_ChB_Trace_2, on);
    plotMgr->MakeChannelBVisible(on);
}

void LoggerMainWindow::ShowTextLabels()
{
    const bool on = !config->showTextLabels;
    config->showTextLabels = on;
    SetTicked(ui->action_Text_Labels, on);
    plotMgr->MakeTextLabelsVisible(on);
}

void LoggerMainWindow::ShowGrid()
{
    const bool on = !config->showGrid;
    config->showGrid = on;
    SetTicked(ui->action_Grid_2, on);
    plotMgr->MakeGridVisible(on);
}

void LoggerMainWindow::on_chAButton_clicked()
{
    SetChannelA();
}

void LoggerMainWindow::on_chBButton_clicked()
{
    SetChannelB();
}
