// Chart files, the Window menu, print and clipboard.
#include "LoggerMainWindow.h"

void LoggerMainWindow::on_OpenButton_clicked()
{
    // chart files fill this: open a chart CSV
}

void LoggerMainWindow::on_SaveButton_clicked()
{
    // chart files fill this: save the chart as BMP or CSV
}

void LoggerMainWindow::CloseChart()
{
    // chart files fill this: close the chart file shown
}

void LoggerMainWindow::on_PrintButton_clicked()
{
    // printing fills this: print the chart area
}

void LoggerMainWindow::PrintDataLogger()
{
    // printing fills this: print the chart in landscape
}

void LoggerMainWindow::Exitfunc()
{
    close();   // the close handler does the rest
}

void LoggerMainWindow::CopyToClipboard()
{
    // the clipboard feature fills this: the chart image onto the clipboard
}

void LoggerMainWindow::Data1SubMenu()
{
    // the Window menu fills this: back to the live chart
}

void LoggerMainWindow::on_CopyButton_clicked()
{
    // the clipboard feature fills this: forwards to CopyToClipboard
}

void LoggerMainWindow::LoadWindow()
{
    // the Window menu fills this: show the chart file's entry
}

int LoggerMainWindow::OpenFile(QString path)
{
    Q_UNUSED(path);
    // chart files fill this; until then no chart file can be read
    return 1;
}

void LoggerMainWindow::ClearLoggerData()
{
    // The runs of the chart are discarded, their samples with them.
    for (QVector<LoggerData *> *list : {runList, displayBuffer}) {
        if (list)
            DeleteRuns(*list);
    }
}

void LoggerMainWindow::AppendToWindowSubMenu(QString path)
{
    Q_UNUSED(path);
    // the Window menu fills this: the chart file's entry
}
