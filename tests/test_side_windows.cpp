// The memo window's Marker / Add Text / Remove protocol with clicks on the chart, the memo
// file, the X-Controls range checks, the information and raw count windows, and the memo
// and information windows left open while the chart is replaced.
#include <QtTest>

#include "test_chart_support.h"
#include "test_home.h"

#include "ChartFileDialogs.h"
#include "InfoWindow.h"
#include "LoggerMainWindow.h"
#include "MemoWindow.h"
#include "RawDataWindow.h"
#include "Resources.h"
#include "Utility.h"
#include "XControlsWindow.h"
#include "ui_InfoWindow.h"
#include "ui_LoggerMainWindow.h"
#include "ui_MemoWindow.h"
#include "ui_RawDataWindow.h"
#include "ui_XControlsWindow.h"

#include <QDir>
#include <QTemporaryDir>
#include <memory>
#include <qwt_plot_canvas.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_map.h>

class TestSideWindows : public QObject {
    Q_OBJECT

    std::unique_ptr<LoggerMainWindow> win;

    PlotMgr *Chart() const { return win->plotMgr; }
    Ui_MemoWindow *MemoUi() const { return win->memoWindow->ui; }
    QVector<QwtPlotMarker *> Memos() const { return Chart()->GetCurrentMemoMarkerList(); }

    // A click on the chart at a point in axis units.
    void ClickChart(double x, double y)
    {
        const QPoint pixel(qRound(Chart()->canvasMap(QwtPlot::xBottom).transform(x)),
                           qRound(Chart()->canvasMap(QwtPlot::yLeft).transform(y)));
        QTest::mouseClick(Chart()->canvas(), Qt::LeftButton, Qt::NoModifier, pixel);
    }

    void Click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

    QString Cell(int row, int column) const
    {
        const QTableWidgetItem *item = MemoUi()->tableWidget->item(row, column);
        return item ? item->text() : QString();
    }

    // A table row as "number|text"; an empty row reads "|".
    QString Row(int row) const { return Cell(row, 0) + '|' + Cell(row, 1); }

    Ui_XControlsWindow *XUi() const { return win->xControlsWindow->ui; }
    Ui_InfoWindow *InfoUi() const { return win->infoWindow->ui; }

    QString openAnswer;   // what File > Load's dialog answers

    void Load(const QString &path)
    {
        openAnswer = path;
        win->ui->action_Load->trigger();
    }

    // A chart file of one run of `rows` samples logged from `startTime`, and its memo file
    // with one marker per text.
    static bool WriteChart(const QString &path, int rows, const QString &startTime, const QStringList &memos)
    {
        LoggerData run;
        DataValues a, b;
        for (int n = 1; n <= rows; ++n) {
            a.xValues.push_back(n);
            b.xValues.push_back(n);
            a.yValues.push_back(n % 40);
            b.yValues.push_back(-(n % 30));
            run.memo.push_back(QStringLiteral(" "));
        }
        run.firstSampleNo = 1;
        run.sampleInterval = 1.0;
        run.intervalUnit = MilliSeconds;
        run.startDate = run.stopDate = QStringLiteral("03/04/2025");
        run.startTime = run.stopTime = startTime;
        run.chA.values = &a;
        run.chB.values = &b;
        run.chA.totalSamples = run.chB.totalSamples = rows;
        const QVector<LoggerData *> list{&run};
        QByteArray memo("Memo Label,Memo X,Memo Y,\n");
        for (const QString &text : memos)
            memo += text.toUtf8() + ",10,5,\n";
        QFile memoFile(path.left(path.size() - 4) + "_Memo.csv");
        return Utility::SaveToCSVFormat(path, &list, false) == 0 && memoFile.open(QIODevice::WriteOnly)
               && memoFile.write(memo) == memo.size();
    }

    // Types a range into a tab of the X-Controls window and applies it.
    void ApplyRange(bool timeTab, const QString &lo, const QString &hi)
    {
        XUi()->tabWidget->setCurrentWidget(timeTab ? XUi()->tab : XUi()->tab_2);
        QLineEdit *min = timeTab ? XUi()->xTimeMin : XUi()->xSamplesMin;
        QLineEdit *max = timeTab ? XUi()->xTimeMax : XUi()->xSamplesMax;
        min->setText(lo);
        max->setText(hi);
        Click(XUi()->apply);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(chart::PrepareApplication());
        ChartFileDialogs::Instance().open = [this](auto...) { return openAnswer; };
    }

    void init()
    {
        chart::NewWindow(win);
        win->config->chartLabels[2] = true;
        win->resize(1200, 800);
        win->show();
        QVERIFY(QTest::qWaitForWindowExposed(win.get()));
        win->ShowMemo();
    }

    void cleanup() { win.reset(); }

    void memoProtocol()
    {
        Ui_MemoWindow *ui = MemoUi();
        QVERIFY(!ui->addButton->isEnabled());

        // Marker, a click on the chart, a text, Add Text.
        Click(ui->markerButton);
        QVERIFY(ui->markerButton->isChecked());
        QVERIFY(ui->addButton->isEnabled());
        ClickChart(40.2, 1500.0);
        QTRY_COMPARE(Memos().size(), 1);
        QCOMPARE(Memos()[0]->xValue(), 40.0);
        QVERIFY(Memos()[0]->isVisible());
        QVERIFY(!Chart()->GetCurrentMemoMarkerMVSampleList()[0]->isVisible());
        ClickChart(60.0, 0.0);   // one click places one marker
        QCOMPARE(Memos().size(), 1);
        ui->memoText->setPlainText("pump on, valve\nopen");
        Click(ui->addButton);
        QCOMPARE(Memos()[0]->label().text(), QString("pump on, valve\nopen"));
        QCOMPARE(Cell(0, 0), QString("1"));
        QCOMPARE(Cell(0, 1), QString("pump on, valve\nopen"));
        QVERIFY(ui->memoText->toPlainText().isEmpty());
        QVERIFY(!ui->markerButton->isChecked());
        QVERIFY(!ui->addButton->isEnabled());

        // Marker, a click, Marker again: the new marker goes, the table stays.
        Click(ui->markerButton);
        ClickChart(70.0, 0.0);
        QTRY_COMPARE(Memos().size(), 2);
        Click(ui->markerButton);
        QCOMPARE(Memos().size(), 1);
        QCOMPARE(Cell(1, 0), QString());

        // Add Text with no marker placed since Marker: the older marker keeps its text.
        Click(ui->markerButton);
        ui->memoText->setPlainText("late");
        Click(ui->addButton);
        QCOMPARE(Memos()[0]->label().text(), QString("pump on, valve\nopen"));
        Click(ui->markerButton);   // giving up removes nothing
        QCOMPARE(Memos().size(), 1);

        // Marker, a click, Remove of that new marker, then giving up: the older one stays.
        Click(ui->markerButton);
        ClickChart(80.0, 0.0);
        QTRY_COMPARE(Memos().size(), 2);
        ui->tableWidget->setCurrentCell(1, 0);
        Click(ui->pushButton);
        QCOMPARE(Memos().size(), 1);
        Click(ui->markerButton);
        QCOMPARE(Memos().size(), 1);
        QCOMPARE(Memos()[0]->xValue(), 40.0);

        // Remove with no current row, or a row past the markers: nothing.
        ui->tableWidget->setCurrentCell(5, 0);
        Click(ui->pushButton);
        ui->tableWidget->setCurrentItem(nullptr);
        Click(ui->pushButton);
        QCOMPARE(Memos().size(), 1);
        ui->tableWidget->setCurrentCell(0, 0);
        Click(ui->pushButton);
        QVERIFY(Memos().isEmpty());
        QCOMPARE(Cell(0, 1), QString());
    }

    // Texts with commas, quotes and line breaks come back whole from the memo file; a line
    // of an older file with commas in its text still reads.
    void memoFileKeepsTexts()
    {
        Chart()->RecordNewMouseClickOnPlot();
        Chart()->CreateNewMarker(QPointF(12.0, 250.0));
        Chart()->RecordNewLabel("a,b \"c\"\r\nd");
        Chart()->AddLabelToMemoMarker();
        Chart()->CreateNewMarker(QPointF(30.0, -5.0));
        Chart()->RecordNewLabel("\"quoted\", then, commas");
        Chart()->AddLabelToMemoMarker();
        QTemporaryDir dir;
        const QString path = dir.filePath("chart_Memo.csv");
        const QVector<QwtPlotMarker *> saved = Chart()->GetCurrentMemoMarkerMVSampleList();
        QCOMPARE(Utility::SaveMemoToCSVFormat(path, &saved), 0);
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append));
        file.write("old, with comma,7,8,\n");
        file.close();

        QVector<QwtPlotMarker *> loaded;
        QCOMPARE(Utility::LoadMemoValues(path, &loaded), 0);
        QCOMPARE(loaded.size(), 3);
        QCOMPARE(loaded[0]->label().text(), QString("a,b \"c\"\r\nd"));
        QCOMPARE(loaded[0]->value(), QPointF(12.0, 250.0));
        QCOMPARE(loaded[1]->label().text(), QString("\"quoted\", then, commas"));
        QCOMPARE(loaded[1]->value(), QPointF(30.0, -5.0));
        QCOMPARE(loaded[2]->label().text(), QString("old, with comma"));
        QCOMPARE(loaded[2]->value(), QPointF(7.0, 8.0));

        // Installed on a chart in seconds and volts (1 ms).
        Chart()->ClearMemoList();
        win->config->xSettings.xMode = 1;
        win->config->ySettings.multiplier = 1.0;
        Chart()->SetCurrentMemoMarkerList(loaded);
        QCOMPARE(Memos().size(), 3);
        QVERIFY(qFuzzyCompare(Memos()[0]->xValue(), 0.012));
        QVERIFY(qFuzzyCompare(Memos()[0]->yValue(), 0.25));
        QCOMPARE(Chart()->GetCurrentMemoMarkerMVSampleList()[0]->value(), QPointF(12.0, 250.0));
    }

    void xControlsRanges()
    {
        ConfigSettings *c = win->config;
        c->sampleInterval = 1.0;
        c->intervalUnit = Seconds;
        win->ShowXControls();
        const XSettings &xs = c->xSettings;

        // 0..4 s at 1 s: widened to 10 intervals, the samples derived after widening.
        ApplyRange(true, "0", "4");
        QCOMPARE(xs.xMode, 1);
        QCOMPARE(xs.timeMax, 10.0);
        QCOMPARE(xs.sampleMax, 10);
        QCOMPARE(XUi()->xSamplesMax->text(), QString("10"));
        QVERIFY(c->GetXSampleStepSize() > 0);

        // Reversed: refused, the applied range comes back.
        ApplyRange(true, "50", "20");
        QCOMPARE(xs.timeMin, 0.0);
        QCOMPARE(xs.timeMax, 10.0);
        QCOMPARE(XUi()->xTimeMin->text(), QString("0"));

        // Negative times count from 0; huge ones are refused.
        ApplyRange(true, "-3", "20");
        QCOMPARE(xs.sampleMin, 0);
        QCOMPARE(xs.sampleMax, 20);
        ApplyRange(true, "0", "1e12");
        QCOMPARE(xs.timeMax, 20.0);

        // No sample lost to the representation of 0.7 s.
        c->intervalUnit = MilliSeconds;
        win->ShowXControls();
        ApplyRange(true, "0.7", "1");
        QCOMPARE(xs.sampleMin, 700);
        QCOMPARE(xs.sampleMax, 1000);

        // Samples: widened, the times derived from the widened range.
        ApplyRange(false, "100", "105");
        QCOMPARE(xs.xMode, 0);
        QCOMPARE(xs.sampleMax, 110);
        QVERIFY(qFuzzyCompare(xs.timeMax, 0.11));
        QVERIFY(qFuzzyCompare(XUi()->xTimeMax->text().toDouble(), 0.11));
        ApplyRange(false, "-5", "2147483647");
        QCOMPARE(xs.sampleMin, 0);
        ApplyRange(false, "2147483645", "2147483646");   // widening would overflow
        QCOMPARE(xs.sampleMin, 0);

        // Locked while the chart follows the data, showing its window.
        win->xControlsWindow->UpdateMinMaxValues(200, 300, 0.2, 0.3);
        QVERIFY(!XUi()->apply->isEnabled());
        QCOMPARE(XUi()->xSamplesMin->text(), QString("200"));
        win->xControlsWindow->EnableTextFields();
        QVERIFY(XUi()->xTimeMax->isEnabled());

        // Closed while the chart moves on, it shows the chart's newest window when opened.
        win->CloseXControls();
        c->xSettings.sampleMin = 4200;
        c->xSettings.sampleMax = 4300;
        win->xControlsWindow->UpdateMinMaxValues(4200, 4300, 4.2, 4.3);
        QVERIFY(!XUi()->apply->isEnabled());
        win->ShowXControls();
        QCOMPARE(XUi()->xSamplesMin->text(), QString("4200"));
        QCOMPARE(XUi()->xSamplesMax->text(), QString("4300"));
    }

    // Left open while the chart is replaced or cleared, the memo window lists the markers of
    // the chart on screen, and Remove acts on the marker its row shows; the information
    // window shows that chart's counts.
    void sideWindowsFollowTheChart()
    {
        QTemporaryDir dir;
        const QString five = dir.filePath("five.csv");
        const QString two = dir.filePath("two.csv");
        QVERIFY(WriteChart(five, 300, "09:15:00 AM", {"five 1", "five 2", "five 3", "five 4", "five 5"}));
        QVERIFY(WriteChart(two, 120, "11:30:00 AM", {"two 1", "two 2"}));
        Ui_MemoWindow *ui = MemoUi();

        // Opened over the first chart, open across the load of the second.
        win->CloseMemo();
        Load(five);
        win->ShowMemo();
        win->ShowChartInfo();
        QCOMPARE(Row(4), QString("5|five 5"));
        QCOMPARE(InfoUi()->chASamples->text(), QString("300"));
        Load(two);
        QCOMPARE(Memos().size(), 2);
        QCOMPARE(QStringList({Row(0), Row(1), Row(2), Row(4)}), QStringList({"1|two 1", "2|two 2", "|", "|"}));
        QCOMPARE(InfoUi()->chASamples->text(), QString("120"));
        QCOMPARE(InfoUi()->startTime->text(), QString("11:30:00 AM"));

        // Row 2 shows the second marker: Remove takes that one and no other.
        ui->tableWidget->setCurrentCell(1, 0);
        Click(ui->pushButton);
        QCOMPARE(Memos().size(), 1);
        QCOMPARE(Memos()[0]->label().text(), QString("two 1"));
        QCOMPARE(Row(1), QString("|"));

        // Window menu: the live chart is empty; the chart file comes back from its files.
        win->ui->action_Data1->trigger();
        QCOMPARE(Row(0), QString("|"));
        QCOMPARE(InfoUi()->chASamples->text(), QString("0"));
        win->windowMenuEntries[1].action->trigger();
        QCOMPARE(QStringList({Row(0), Row(1), Row(2)}), QStringList({"1|two 1", "2|two 2", "|"}));
        QCOMPARE(InfoUi()->chASamples->text(), QString("120"));

        // Restore Backup: the copy of the chart last opened, without its memo file; then
        // File > Close.
        Load(five);
        QCOMPARE(Row(4), QString("5|five 5"));
        win->SetRestoreBackupState(true);
        win->ui->action_Restore_Backup->trigger();
        QVERIFY(Memos().isEmpty());
        QCOMPARE(Row(0), QString("|"));
        QCOMPARE(InfoUi()->chASamples->text(), QString("300"));
        QCOMPARE(InfoUi()->startTime->text(), QString("09:15:00 AM"));
        win->ui->action_Close->trigger();
        QCOMPARE(InfoUi()->chASamples->text(), QString("0"));

        // Clear Screen of the live chart with a marker on it.
        win->ui->action_Data1->trigger();
        Chart()->RecordNewMouseClickOnPlot();
        Chart()->CreateNewMarker(QPointF(12.0, 250.0));
        Chart()->RecordNewLabel("live");
        Chart()->AddLabelToMemoMarker();
        win->memoWindow->UpdateMemoWindow();
        QCOMPARE(Row(0), QString("1|live"));
        win->ui->action_Clear_Screen->trigger();
        QVERIFY(Memos().isEmpty());
        QCOMPARE(Row(0), QString("|"));
    }

    void infoAndRawCount()
    {
        LoggerData summary;
        summary.startDate = "01/02/2024";
        summary.sampleInterval = 250;
        summary.intervalUnit = MicroSeconds;
        summary.chA.maxValue = 123.5;
        summary.chB.totalSamples = 654;
        win->infoWindow->Initialize(&summary);
        Ui_InfoWindow *ui = win->infoWindow->ui;
        QCOMPARE(ui->startDate->text(), QString("01/02/2024"));
        QCOMPARE(ui->sampleInterval->text(), QString("250us"));
        QCOMPARE(ui->maxVoltLabel->text(), QString("Maximum"));
        QCOMPARE(ui->chAMaxVolt->text(), QString("123.5"));
        QCOMPARE(ui->chBSamples->text(), QString("654"));

        win->rawDataWindow->UpdateCount(654);
        QCOMPARE(win->rawDataWindow->ui->lcdNumber->intValue(), 654);
        QVERIFY(!(win->rawDataWindow->windowFlags() & Qt::WindowCloseButtonHint));
    }
};

ZR_TEST_MAIN(TestSideWindows)
#include "test_side_windows.moc"
