#include "MemoWindow.h"

#include "LoggerMainWindow.h"
#include "PlotMgr.h"
#include "ui_MemoWindow.h"

#include <QCloseEvent>
#include <QTableWidgetItem>
#include <qwt_plot_canvas.h>
#include <qwt_plot_marker.h>
#include <qwt_text.h>

MemoWindow::MemoWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui_MemoWindow)
{
    ui->setupUi(this);
}

MemoWindow::~MemoWindow()
{
    delete ui;
}

void MemoWindow::Initialize(PlotMgr *plot)
{
    plotMgr = plot;
    idle = true;
    ui->addButton->setEnabled(false);
    ui->tableWidget->setCurrentCell(0, 0);
    UpdateMemoWindow();
}

void MemoWindow::UpdateMemoWindow()
{
    if (!plotMgr)
        return;
    const QVector<QwtPlotMarker *> markers = plotMgr->GetCurrentMemoMarkerList();
    QTableWidget *table = ui->tableWidget;
    while (table->rowCount() < markers.size())
        table->insertRow(table->rowCount());
    auto setCell = [table](int row, int column, const QString &text) {
        if (QTableWidgetItem *item = table->item(row, column))
            item->setText(text);
        else
            table->setItem(row, column, new QTableWidgetItem(text));
    };
    for (int i = 0; i < markers.size(); ++i) {
        setCell(i, 0, QString::number(i + 1));
        setCell(i, 1, markers[i]->label().text());
    }
    // Rows past the last marker show nothing (a removed marker leaves no trace).
    for (int i = markers.size(); i < table->rowCount(); ++i)
        for (int c = 0; c < table->columnCount(); ++c)
            if (QTableWidgetItem *item = table->item(i, c))
                item->setText(QString());
}

void MemoWindow::ClearMemoWindow()
{
    ui->tableWidget->clearContents();
}

void MemoWindow::ActivateWindows(bool memoToo)
{
    if (plotMgr)
        plotMgr->window()->activateWindow();
    if (memoToo)
        activateWindow();
}

void MemoWindow::EndPlacing()
{
    idle = true;
    ui->markerButton->setChecked(false);
    ui->addButton->setEnabled(false);
}

void MemoWindow::on_markerButton_clicked()
{
    if (!plotMgr)
        return;
    if (idle) {
        ui->markerButton->setChecked(true);
        plotMgr->RecordNewMouseClickOnPlot();
        idle = false;
        ui->addButton->setEnabled(true);
        ActivateWindows(false);
        return;
    }
    // Pressed again: the user gives up; the marker placed meanwhile, still without a
    // text, goes again.
    EndPlacing();
    if (plotMgr->NewMarkerAdded()) {
        plotMgr->RemoveMemoMarker(plotMgr->GetCurrentMemoMarkerList().size() - 1);
        ActivateWindows(true);
    }
    plotMgr->CancelRecordingNewMouseClickOnPlot();
    UpdateMemoWindow();
}

void MemoWindow::on_addButton_clicked()
{
    if (!plotMgr)
        return;
    const QString text = ui->memoText->toPlainText();
    if (text.isEmpty())
        return;
    // No marker placed since "Marker": an older marker keeps its text.
    if (!plotMgr->NewMarkerAdded())
        return;
    plotMgr->RecordNewLabel(text);
    plotMgr->AddLabelToMemoMarker();
    UpdateMemoWindow();
    ui->memoText->clear();
    ui->markerButton->setEnabled(true);
    EndPlacing();
    ActivateWindows(true);
}

void MemoWindow::on_pushButton_clicked()
{
    if (!plotMgr)
        return;
    const int row = ui->tableWidget->currentRow();
    // No current row, or a row past the markers: nothing to remove.
    if (row < 0 || row >= plotMgr->GetCurrentMemoMarkerList().size())
        return;
    plotMgr->RemoveMemoMarker(row);
    UpdateMemoWindow();
    ActivateWindows(true);
    ui->tableWidget->setFocus();
    ui->tableWidget->setCurrentCell(0, 0);
}

void MemoWindow::closeEvent(QCloseEvent *event)
{
    QMainWindow::closeEvent(event);
    if (LoggerWin)
        LoggerWin->CloseMemo();
    EndPlacing();
    if (plotMgr)
        plotMgr->CancelRecordingNewMouseClickOnPlot();
}

// Compiled here rather than with the library's other meta-objects, so that only code that
// uses this window links it.
#include "moc_MemoWindow.cpp"
