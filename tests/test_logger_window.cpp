// The logger window's shell: form wiring, menu ticks, axes read-outs, the side-window
// protocol, resizing, closing and the hand-over with the scope window.
#include <QtTest>

#include "test_home.h"

#include "AlertPopUp.h"
#include "ChartFileDialogs.h"
#include "HWIFWrapper.h"
#include "Help.h"
#include "InfoWindow.h"
#include "LoggerConfigReader.h"
#include "LoggerMainWindow.h"
#include "MainWindow.h"
#include "MemoWindow.h"
#include "PollThread.h"
#include "RawDataWindow.h"
#include "Resources.h"
#include "ScopeGlobals.h"
#include "SettingsWindow.h"
#include "XControlsWindow.h"
#include "ui_LoggerMainWindow.h"
#include "ycontrolsWindow.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QTextDocumentFragment>
#include <QTimer>
#include <memory>

namespace {
int stopLoggerCalls = 0;
int clearScreenCalls = 0;
}

#if !__has_include("LoggerMainWindow_run.cpp")
// The run control is not in the tree yet: these stand in for it so that the shell can be
// tested. They only count the calls the shell makes and set the flags the shell relies on.
#define LW_RUN_STANDIN 1
void LoggerMainWindow::NotifyMain() {}
void LoggerMainWindow::StopLogger()
{
    ++stopLoggerCalls;
    loggingActive = false;
}
void LoggerMainWindow::ClearScreen()
{
    ++clearScreenCalls;
    backupResetPending = true;
}
void LoggerMainWindow::StartLogger() {}
void LoggerMainWindow::RestoreBackup() {}
void LoggerMainWindow::SetChannelA() {}
void LoggerMainWindow::SetChannelB() {}
void LoggerMainWindow::SetTestMode() {}
void LoggerMainWindow::on_RunButton_clicked() {}
void LoggerMainWindow::on_StopButton_clicked() {}
void LoggerMainWindow::on_timeUnit_activated(int) {}
void LoggerMainWindow::on_sampleInterval_editingFinished() {}
void LoggerMainWindow::on_TestModeButton_clicked() {}
QVector<LoggerData *> *LoggerMainWindow::GetDisplayBuffer() { return runList; }
void LoggerMainWindow::ReadMoreSampleData(QVector<LoggerData *> *, int) {}
void LoggerMainWindow::SaveOutputDataToFile(LoggerData *) {}
void LoggerMainWindow::UpdateRawCountDisplay(double) {}
#endif

class TestLoggerWindow : public QObject {
    Q_OBJECT

    QTimer modalCloser;
    QStringList boxTexts;   // texts of the message boxes closed by modalCloser

    // A logger window of its own, reached through LoggerWin like the real one.
    std::unique_ptr<LoggerMainWindow> NewWindow()
    {
        std::unique_ptr<LoggerMainWindow> win(new LoggerMainWindow);
        LoggerWin = win.get();
        return win;
    }

    static LoggerData *NewRun()
    {
        LoggerData *run = new LoggerData;
        run->chA.values = new DataValues;
        run->chB.values = new DataValues;
        return run;
    }

    // Share of the chart canvas's pixels painted in the colour.
    static double CanvasShare(LoggerMainWindow *win, const QColor &colour)
    {
        const QImage image = win->plotMgr->canvas()->grab().toImage();
        qint64 hits = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                hits += QColor(image.pixel(x, y)) == colour;
        return double(hits) / qMax(1, image.width() * image.height());
    }

    static QString PlainToolTip(const QWidget *widget)
    {
        return QTextDocumentFragment::fromHtml(widget->toolTip()).toPlainText().trimmed();
    }

private slots:
    void initTestCase()
    {
        InitResources();
        // Message boxes of the scope window (no instrument) or of a stop must not block.
        connect(&modalCloser, &QTimer::timeout, this, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *box = qobject_cast<QMessageBox *>(modal))
                boxTexts << box->text();
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
        });
        modalCloser.start(20);
        QVERIFY(QDir().mkpath(QDir::homePath() + "/Documents/KestrimaIII"));
    }

    void cleanup()
    {
        QCOMPARE(LoggerWin, static_cast<LoggerMainWindow *>(nullptr));
        stopLoggerCalls = clearScreenCalls = 0;
    }

    // ---- Construction and form --------------------------------------------------------

    void constructionState()
    {
        auto win = NewWindow();
        Ui_LoggerMainWindow *ui = win->ui;
        QCOMPARE(win->windowTitle(), QString("Tamberlo for ZR70K33 - (Data1)"));
        QCOMPARE(ui->menubar->styleSheet(),
                 QString("QMenuBar::item { background-color: #CAE1FA;} QMenuBar {background-color: #CAE1FA;}"));
        QCOMPARE(win->currentChartPath, QString("Data1"));
        QCOMPARE(win->windowMenuEntries[0].name, QString("Data1"));
        QCOMPARE(win->windowMenuEntries[0].action, ui->action_Data1);
        QVERIFY(!win->windowMenuEntries[1].action);

        const QString folder = QDir::homePath() + "/Documents/KestrimaIII/";
        QCOMPARE(win->backupFilePath, folder + "tamberlo_backup.csv");
        QCOMPARE(win->tempFilePath, folder + "temp.csv");

        QCOMPARE(ui->timeUnit->count(), 2);
        QCOMPARE(ui->timeUnit->itemText(0), QString("s"));
        QCOMPARE(ui->timeUnit->itemText(1), QString("ms"));
        QVERIFY(!ui->StopButton->isEnabled());
        QVERIFY(!ui->action_Stop->isEnabled());
        QVERIFY(ui->action_Restore_Backup->isEnabled());   // backup on by default
        QVERIFY(!ui->dataRadioButton->isEnabled());
        QVERIFY(!ui->missedRadioButton->isEnabled());
        QVERIFY(!ui->markRadioButton->isEnabled());
        QVERIFY(ui->horizontalSlider->isEnabled());         // tracking holds it only while logging
        QCOMPARE(ui->sampleInterval->text(), QString("1.000"));
        QCOMPARE(ui->xAxisLabel->text(), QString("Sample"));
        QCOMPARE(ui->chAButton->styleSheet(), QString("background-color: #ffff00;"));
        QCOMPARE(ui->chBButton->styleSheet(), QString("background-color: #ff0000;"));
        auto *validator = qobject_cast<const QDoubleValidator *>(ui->sampleInterval->validator());
        QVERIFY(validator);
        QCOMPARE(validator->decimals(), 5);

        // Sample range 0..100 at 1 ms gives the time range 0..0.1 s.
        QCOMPARE(win->config->xSettings.timeMin, 0.0);
        QCOMPARE(win->config->xSettings.timeMax, 0.1);
        QCOMPARE(win->maxScroll, 100);

        // The chart sits in the chart container; the side windows are parentless and hidden,
        // the alert pop-ups windows of their own that belong to the logger window.
        QCOMPARE(ui->horizontalLayout_2->indexOf(win->plotMgr), 0);
        const QList<QWidget *> sideWindows = {win->memoWindow, win->infoWindow,
                                              win->xControlsWindow, win->yControlsWindow,
                                              win->settingsWindow, win->rawDataWindow,
                                              win->alertPopUps[0], win->alertPopUps[1],
                                              win->alertPopUps[2], win->alertPopUps[3]};
        for (QWidget *side : sideWindows) {
            QVERIFY(side);
            QVERIFY(side->isWindow());
            const bool popUp = std::find(std::begin(win->alertPopUps), std::end(win->alertPopUps), side)
                               != std::end(win->alertPopUps);
            QCOMPARE(side->parentWidget(), popUp ? static_cast<QWidget *>(win.get()) : nullptr);
            QVERIFY(!side->isVisible());
        }
        QCOMPARE(win->plotMgr->dataCursorChannel, 2);
        QCOMPARE(win->plotMgr->missedCursorChannel, 2);
        QCOMPARE(win->plotMgr->memoCursorChannel, 2);
        QVERIFY(win->hwWrapper);
        QVERIFY(win->hwWrapper->receivedCountSink == &win->receivedSampleCount);
        QVERIFY(win->pollThread && !win->pollThread->isRunning());
        QVERIFY(win->displayThread && !win->displayThread->isRunning());
        QVERIFY(win->runList->isEmpty());
        QVERIFY(win->receiveBuffer->chA.values && win->receiveBuffer->chB.values);
    }

    void actionsReachTheirSlots_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("slot");
        const char *table[][2] = {
            {"action_Load", "on_OpenButton_clicked()"},
            {"action_Save", "on_SaveButton_clicked()"},
            {"action_Close", "CloseChart()"},
            {"action_Print_Chart_Area", "on_PrintButton_clicked()"},
            {"action_Print_Data_Logger", "PrintDataLogger()"},
            {"action_Restore_Backup", "RestoreBackup()"},
            {"action_Exit", "Exitfunc()"},
            {"action_Start", "StartLogger()"},
            {"action_Stop", "StopLogger()"},
            {"action_Channel_A", "SetChannelA()"},
            {"action_Channel_B", "SetChannelB()"},
            {"action_TestMode", "SetTestMode()"},
            {"action_Clear_Screen", "ClearScreen()"},
            {"action_Copy_Chart_to_Clipboard", "CopyToClipboard()"},
            {"action_Settings", "ModifySettings()"},
            {"action_Time", "SetTimeScale()"},
            {"action_Sample_No", "SetSampleNoScale()"},
            {"action_Background", "SetBackgrounColor()"},
            {"action_Grid", "SetGridColor()"},
            {"action_ChA_Trace", "SetChATraceColor()"},
            {"action_ChB_Trace", "SetChBTraceColor()"},
            {"action_Restore_Default_Colors", "RestoreDefaults()"},
            {"action_ChA_Trace_2", "ShowChATrace()"},
            {"action_ChB_Trace_2", "ShowChBTrace()"},
            {"action_Text_Labels", "ShowTextLabels()"},
            {"action_Track_Data_Logger", "TrackDataLogger()"},
            {"action_Grid_2", "ShowGrid()"},
            {"action_In", "ZoomInFromMenu()"},
            {"action_out", "ZoomOutFromMenu()"},
            {"action_Full", "ZoomFull()"},
            {"action_All", "ShowAllWindows()"},
            {"action_Chart_Info", "on_InfoButton_clicked()"},
            {"action_Memo", "on_MemoButton_clicked()"},
            {"action_X_Controls", "on_xcontrolbutton_clicked()"},
            {"action_Y_Controls", "on_ycontrolbutton_clicked()"},
            {"action_Close_All", "CloseAllWindows()"},
            {"action_Data1", "Data1SubMenu()"},
            {"action_Help_Manual", "GoToHelpManual()"},
            {"action_About", "GoToAbout()"},
            {"action_Corvenna_Web_Site", "GoToCorvennaWebsite()"},
            {"action_Scope_Mode", "ScopeModefunc()"},
        };
        for (const auto &row : table)
            QTest::newRow(row[0]) << QString(row[0]) << QString(row[1]);
    }

    // A connection exists exactly when disconnecting it succeeds; the window is thrown
    // away afterwards, so nothing runs that a test cannot undo.
    void actionsReachTheirSlots()
    {
        QFETCH(QString, action);
        QFETCH(QString, slot);
        auto win = NewWindow();
        QAction *a = win->findChild<QAction *>(action);
        QVERIFY2(a, qPrintable(action));
        QVERIFY(!a->isCheckable());
        const QByteArray method = QByteArray::number(QSLOT_CODE) + slot.toLatin1();
        QVERIFY2(QObject::disconnect(a, SIGNAL(triggered()), win.get(), method.constData()),
                 qPrintable(action + " -> " + slot));
        // Exactly one slot hangs on the entry.
        QVERIFY(!QObject::disconnect(a, SIGNAL(triggered()), win.get(), nullptr));
    }

    void popupMenusReachTheirSlots()
    {
        auto win = NewWindow();
        const struct {
            QObject *menu;
            const char *slot;
        } menus[] = {
            {win->ui->menu_Y_Scale, SLOT(RetrieveCustomYScale(QAction *))},
            {win->dataCursorMenu, SLOT(SetDataCursorChannel(QAction *))},
            {win->missedCursorMenu, SLOT(SetMissedCursorChannel(QAction *))},
            {win->memoCursorMenu, SLOT(SetMemoCursorChannel(QAction *))},
            {win->deltaMenu, SLOT(SetCursorDelta(QAction *))},
        };
        for (const auto &m : menus)
            QVERIFY2(QObject::disconnect(m.menu, SIGNAL(triggered(QAction *)), win.get(), m.slot),
                     m.slot);
        QCOMPARE(win->ui->cursorDelta->menu(), win->deltaMenu);

        const QStringList names = {"dataCursorPopupMenuChA", "dataCursorPopupMenuChB"};
        QCOMPARE(win->dataCursorMenu->actions(), (QList<QAction *>{win->dataCursorChA, win->dataCursorChB}));
        QCOMPARE(win->dataCursorChA->objectName(), names[0]);
        QCOMPARE(win->dataCursorChB->objectName(), names[1]);
        QCOMPARE(win->memoCursorMenu->actions().size(), 3);
        QCOMPARE(win->memoMarkerAction->text(), QString("Memo"));
        QCOMPARE(win->deltaMenu->actions(),
                 (QList<QAction *>{win->deltaDataMissed, win->deltaDataMemo,
                                   win->deltaMissedMemo, win->deltaOffAction}));
        for (QAction *a : win->deltaMenu->actions()) {
            QVERIFY(!a->icon().isNull());
            QCOMPARE(LoggerMainWindow::IsTicked(a), a == win->deltaOffAction);
            QCOMPARE(a->isEnabled(), a == win->deltaOffAction);
        }
        for (QAction *a : {win->dataCursorChA, win->dataCursorChB, win->missedCursorChA,
                           win->missedCursorChB, win->memoCursorChA, win->memoCursorChB,
                           win->memoMarkerAction}) {
            QVERIFY(!a->icon().isNull());
            QVERIFY(!LoggerMainWindow::IsTicked(a));
        }
    }

    void shortcuts()
    {
        // Open and Save ask nobody: their dialogs answer "cancel".
        ChartFileDialogs::Instance().open = [](auto...) { return QString(); };
        ChartFileDialogs::Instance().save = [](auto...) { return QString(); };
        auto win = NewWindow();
        const struct {
            QAction *action;
            const char *keys;
        } table[] = {{win->ui->action_Load, "Ctrl+O"}, {win->ui->action_Save, "Ctrl+S"},
                     {win->ui->action_In, "Ctrl+I"},   {win->ui->action_out, "Ctrl+U"},
                     {win->ui->action_Full, "Ctrl+F"}};
        for (const auto &t : table)
            QCOMPARE(t.action->shortcut(), QKeySequence(t.keys));

        // The keys reach the entries in the shown window.
        win->show();
        QVERIFY(QTest::qWaitForWindowActive(win.get()));
        for (const auto &t : table) {
            QSignalSpy spy(t.action, &QAction::triggered);
            QTest::keySequence(win.get(), QKeySequence(t.keys));
            QCOMPARE(spy.count(), 1);
        }
    }

    void toolButtonsShowIconsAndTips()
    {
        auto win = NewWindow();
        const struct {
            const char *name;
            const char *tip;
            bool checkable;
        } table[] = {
            {"OpenButton", "Open Chart", false},
            {"SaveButton", "Save Chart", false},
            {"PrintButton", "Print Chart Area", false},
            {"CopyButton", "Copy Chart to Clipboard", false},
            {"ZoomInButton", "Zoom In", true},
            {"ZoomOutButton", "Zoom Out", true},
            {"DataCursor", "Data Cursor", true},
            {"MissedDataCursor", "Missed Data Cursor", true},
            {"MemoCursor", "Memo Cursor", true},
            {"TestModeButton", "TestMode Waveform", true},
            {"MemoButton", "Memo Window", true},
            {"InfoButton", "Info Window", true},
            {"xcontrolbutton", "X-Control Window", true},
            {"ycontrolbutton", "Y-Control Window", true},
            {"RunButton", "Start Data Logger", false},
            {"StopButton", "Stop", false},
        };
        for (const auto &t : table) {
            auto *button = win->findChild<QAbstractButton *>(t.name);
            QVERIFY2(button, t.name);
            QVERIFY2(button->text().isEmpty(), t.name);
            QVERIFY2(!button->icon().isNull(), t.name);
            QCOMPARE(PlainToolTip(button), QString(t.tip));
            QCOMPARE(button->isCheckable(), t.checkable);
        }
        QCOMPARE(win->ui->action_Help_Manual->toolTip(), QString("HTML Help"));
        QCOMPARE(win->ui->sampleInterval->toolTip(), QString("Enter Sample Interval"));
    }

    void menuTicksFromDefaults()
    {
        auto win = NewWindow();
        Ui_LoggerMainWindow *ui = win->ui;
        const auto ticked = [](QAction *a) { return LoggerMainWindow::IsTicked(a); };
        QVERIFY(ticked(ui->action_Sample_No));
        QVERIFY(!ticked(ui->action_Time));
        QVERIFY(ticked(ui->action_mV));
        QVERIFY(!ticked(ui->action_V));
        QCOMPARE(win->activeYScaleAction, ui->action_mV);
        QCOMPARE(win->yScaleActions, (QVector<QAction *>{ui->action_mV, ui->action_V}));
        for (QAction *a : {ui->action_Channel_A, ui->action_Channel_B, ui->action_ChA_Trace_2,
                           ui->action_ChB_Trace_2, ui->action_Text_Labels,
                           ui->action_Track_Data_Logger, ui->action_Grid_2, ui->action_Data1})
            QVERIFY2(ticked(a), qPrintable(a->objectName()));
        for (QAction *a : {ui->action_TestMode, ui->action_X_Controls, ui->action_Y_Controls,
                           ui->action_Memo, ui->action_Chart_Info, ui->action_Start,
                           ui->action_Stop})
            QVERIFY2(!ticked(a), qPrintable(a->objectName()));
        // Every entry with a selection state carries its icon; no entry is checkable.
        for (QAction *a : {ui->action_Sample_No, ui->action_Time, ui->action_mV, ui->action_V,
                           ui->action_Channel_A, ui->action_Channel_B, ui->action_TestMode,
                           ui->action_ChA_Trace_2, ui->action_ChB_Trace_2, ui->action_Text_Labels,
                           ui->action_Track_Data_Logger, ui->action_Grid_2, ui->action_X_Controls,
                           ui->action_Y_Controls, ui->action_Memo, ui->action_Chart_Info,
                           ui->action_Start, ui->action_Stop, ui->action_Data1})
            QVERIFY2(!a->icon().isNull(), qPrintable(a->objectName()));
        for (QAction *a : win->findChildren<QAction *>())
            QVERIFY2(!a->isCheckable(), qPrintable(a->objectName()));
    }

    void menuTicksFollowTheConfiguration()
    {
        auto win = NewWindow();
        Ui_LoggerMainWindow *ui = win->ui;
        win->config->xSettings.xMode = 1;
        win->config->ySettings.yUnit = 1;
        win->config->chAEnabled = false;
        win->config->testMode = true;
        win->config->showGrid = false;
        win->config->trackDataLogger = false;
        win->InitMenuIcons();
        QVERIFY(LoggerMainWindow::IsTicked(ui->action_Time));
        QVERIFY(!LoggerMainWindow::IsTicked(ui->action_Sample_No));
        QVERIFY(LoggerMainWindow::IsTicked(ui->action_V));
        QVERIFY(!LoggerMainWindow::IsTicked(ui->action_mV));
        QCOMPARE(win->activeYScaleAction, ui->action_V);
        QCOMPARE(win->yScaleActions, (QVector<QAction *>{ui->action_mV, ui->action_V}));
        QVERIFY(!LoggerMainWindow::IsTicked(ui->action_Channel_A));
        QVERIFY(LoggerMainWindow::IsTicked(ui->action_Channel_B));
        QVERIFY(LoggerMainWindow::IsTicked(ui->action_TestMode));
        QVERIFY(!LoggerMainWindow::IsTicked(ui->action_Grid_2));
        QVERIFY(!LoggerMainWindow::IsTicked(ui->action_Track_Data_Logger));

        // Any Y unit but volts ticks mV.
        win->config->ySettings.yUnit = 2;
        win->InitMenuIcons();
        QCOMPARE(win->activeYScaleAction, ui->action_mV);
        QVERIFY(LoggerMainWindow::IsTicked(ui->action_mV));
    }

    // ---- Axes read-outs ---------------------------------------------------------------

    void axesLabels()
    {
        auto win = NewWindow();
        Ui_LoggerMainWindow *ui = win->ui;
        QCOMPARE(ui->xMinLabel->text(), QString("0"));
        QCOMPARE(ui->xMaxLabel->text(), QString("100"));
        QCOMPARE(ui->xRange->text(), QString("100"));
        QCOMPARE(ui->yMinLabel->text(), QString("-10000"));
        QCOMPARE(ui->yMaxLabel->text(), QString("10000"));
        QCOMPARE(ui->yRange->text(), QString("20000"));

        ConfigSettings *c = win->config;
        c->xSettings.xMode = 1;
        c->xSettings.timeMin = 0.00001;
        c->xSettings.timeMax = 0.5;
        c->ySettings.yMin = -0.25;
        c->ySettings.yMax = 100.0;
        win->SetAxesLabels();
        // Times to what the 1 ms interval resolves.
        QCOMPARE(ui->xMinLabel->text(), QString("0"));
        QCOMPARE(ui->xMaxLabel->text(), QString("0.5"));
        QCOMPARE(ui->xRange->text(), QString("0.5"));
        QCOMPARE(ui->yMaxLabel->text(), QString("100"));
        QCOMPARE(ui->yRange->text(), QString("100.25"));

        // Sample numbers are shown as unsigned 32-bit numbers.
        c->xSettings.xMode = 0;
        c->xSettings.sampleMin = -1;
        c->xSettings.sampleMax = 10;
        win->SetAxesLabels();
        QCOMPARE(ui->xMinLabel->text(), QString("4294967295"));
        QCOMPARE(ui->xRange->text(), QString("11"));
    }

    // ---- Entry hook -------------------------------------------------------------------

    void adjustConfigListsCustomScalesOnce()
    {
        auto win = NewWindow();
        Ui_LoggerMainWindow *ui = win->ui;
        ConfigSettings *c = win->config;
        c->yScales.push_back({"kV", "kV", 0.001});
        c->yScales.push_back({"Pressure", "bar", 2.5});
        c->activeYScale = "kV";
        c->ySettings.unitText = "kV";
        for (int entry = 0; entry < 3; ++entry)
            win->AdjustConfig();

        QCOMPARE(ui->yAxisLabel->text(), QString("kV"));
        QCOMPARE(win->yScaleActions.size(), 4);
        QCOMPARE(ui->menu_Y_Scale->actions().size(), 4);
        QAction *kv = win->yScaleActions[2];
        QCOMPARE(kv->text(), QString("kV"));
        QCOMPARE(kv->objectName(), QString("kV"));
        QCOMPARE(win->yScaleActions[3]->text(), QString("Pressure"));
        QCOMPARE(win->activeYScaleAction, kv);
        QVERIFY(LoggerMainWindow::IsTicked(kv));
        QVERIFY(!LoggerMainWindow::IsTicked(win->yScaleActions[3]));
        QVERIFY(!LoggerMainWindow::IsTicked(ui->action_mV));
        QVERIFY(!LoggerMainWindow::IsTicked(ui->action_V));

        // The built-in volt scale by name.
        c->activeYScale = "Voltage";
        win->AdjustConfig();
        QCOMPARE(win->activeYScaleAction, ui->action_V);
        QVERIFY(LoggerMainWindow::IsTicked(ui->action_V));
    }

    void adjustConfigAppliesColoursAndUnit()
    {
        auto win = NewWindow();
        Ui_LoggerMainWindow *ui = win->ui;
        ConfigSettings *c = win->config;
        c->colorSettings.background = QColor("#102030");
        win->show();
        QVERIFY(QTest::qWaitForWindowExposed(win.get()));
        win->AdjustConfig();
        QCOMPARE(win->plotMgr->canvasBackground().color(), QColor("#102030"));
        // What is painted is the configured colour, not the window's grey.
        QCOMPARE(CanvasShare(win.get(), QColor("#102030")) > 0.5, true);
        // A later colour change through the chart's palette shows as well.
        c->colorSettings.background = QColor("#f0f0ff");
        win->plotMgr->UpdateBackgroundColor();
        QCOMPARE(CanvasShare(win.get(), QColor("#f0f0ff")) > 0.5, true);
        QCOMPARE(ui->timeUnit->currentIndex(), 1);   // milliseconds by default

        c->intervalUnit = Seconds;
        win->AdjustConfig();
        QCOMPARE(ui->timeUnit->currentText(), QString("s"));

        // An interval kept in microseconds gets a box entry that says so.
        c->intervalUnit = MicroSeconds;
        win->AdjustConfig();
        win->AdjustConfig();
        QCOMPARE(ui->timeUnit->currentIndex(), 2);
        QCOMPARE(ui->timeUnit->currentText(), QString("us"));
        QCOMPARE(ui->timeUnit->count(), 3);
    }

    // ---- Resizing ---------------------------------------------------------------------

    void firstResizeMovesNothing()
    {
        auto win = NewWindow();
        Ui_LoggerMainWindow *ui = win->ui;
        win->resize(1300, 800);
        win->show();
        QVERIFY(QTest::qWaitForWindowExposed(win.get()));
        QCOMPARE(win->resizeStage, 1);
        QCOMPARE(ui->groupBox->geometry(), QRect(50, 580, 501, 71));
        QCOMPARE(ui->horizontalLayoutWidget->geometry(), QRect(20, 80, 1021, 451));

        // The second one takes the design geometry and lays out for the current size.
        win->resize(1200, 760);
        QCOMPARE(win->resizeStage, 2);
        QCOMPARE(win->chartAreaGeometry, QRect(20, 80, 1021, 451));
        QCOMPARE(ui->horizontalLayoutWidget->geometry(), QRect(20, 80, 1122, 511));
    }

    void resizeFollowsTheEdges()
    {
        auto win = NewWindow();
        Ui_LoggerMainWindow *ui = win->ui;
        win->show();
        QVERIFY(QTest::qWaitForWindowExposed(win.get()));
        QCOMPARE(win->size(), QSize(1099, 700));
        win->resize(1100, 701);   // second event: takes the design geometry
        win->resize(1099, 700);
        QCOMPARE(win->resizeStage, 2);
        QCOMPARE(ui->horizontalLayoutWidget->geometry(), QRect(20, 80, 1021, 451));
        QCOMPARE(ui->groupBox->geometry(), QRect(50, 580, 501, 71));
        QCOMPARE(ui->groupBox_2->geometry(), QRect(610, 580, 431, 71));
        QCOMPARE(ui->xAxisLabel->geometry(), QRect(1040, 500, 61, 23));
        QCOMPARE(ui->horizontalSlider->geometry(), QRect(80, 540, 951, 20));
        QCOMPARE(ui->line->geometry(), QRect(0, 560, 1101, 20));
        QCOMPARE(ui->chAButton->geometry(), QRect(1050, 140, 43, 23));
        QCOMPARE(ui->chBButton->geometry(), QRect(1050, 220, 43, 23));
        // The cursor radio buttons hold their left edges; they may widen for their labels.
        QCOMPARE(ui->dataRadioButton->pos(), QPoint(740, 60));
        QCOMPARE(ui->missedRadioButton->pos(), QPoint(840, 60));
        QCOMPARE(ui->markRadioButton->pos(), QPoint(950, 60));
        QVERIFY(ui->dataRadioButton->width() >= 81);
        QVERIFY(ui->missedRadioButton->width() >= 91);
        QVERIFY(ui->markRadioButton->width() >= 81);
        QVERIFY(ui->missedRadioButton->width() >= ui->missedRadioButton->sizeHint().width());

        // 100 wider and 50 taller: the chart grows by as much, the panels move half way.
        win->resize(1199, 750);
        QCOMPARE(ui->horizontalLayoutWidget->geometry(), QRect(20, 80, 1121, 501));
        QCOMPARE(ui->groupBox->geometry(), QRect(100, 630, 501, 71));
        QCOMPARE(ui->groupBox_2->geometry(), QRect(660, 630, 431, 71));
        QCOMPARE(ui->xAxisLabel->geometry(), QRect(1140, 550, 61, 23));
        QCOMPARE(ui->horizontalSlider->geometry(), QRect(80, 590, 1051, 20));
        QCOMPARE(ui->chBButton->geometry(), QRect(1150, 220, 43, 23));

        // The half of the width difference rounds toward zero.
        win->setMinimumSize(0, 0);
        win->resize(1098, 700);
        QCOMPARE(ui->groupBox->x(), 50);
        win->resize(1097, 700);
        QCOMPARE(ui->groupBox->x(), 49);
        QCOMPARE(ui->groupBox_2->x(), 609);
    }

    // ---- Side windows -----------------------------------------------------------------

    void toolButtonTogglesItsWindow_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("entry");
        QTest::newRow("memo") << "MemoButton" << "action_Memo";
        QTest::newRow("info") << "InfoButton" << "action_Chart_Info";
        QTest::newRow("x") << "xcontrolbutton" << "action_X_Controls";
        QTest::newRow("y") << "ycontrolbutton" << "action_Y_Controls";
    }

    void toolButtonTogglesItsWindow()
    {
        QFETCH(QString, button);
        QFETCH(QString, entry);
        auto win = NewWindow();
        auto *b = win->findChild<QAbstractButton *>(button);
        QAction *tick = win->findChild<QAction *>(entry);
        QWidget *side = nullptr;
        bool *flag = nullptr;
        if (button == "MemoButton") {
            side = win->memoWindow;
            flag = &win->memoWindowOpen;
        } else if (button == "InfoButton") {
            side = win->infoWindow;
            flag = &win->infoWindowOpen;
        } else if (button == "xcontrolbutton") {
            side = win->xControlsWindow;
            flag = &win->xControlsOpen;
        } else {
            side = win->yControlsWindow;
            flag = &win->yControlsOpen;
        }
        win->show();
        QVERIFY(QTest::qWaitForWindowExposed(win.get()));

        QTest::mouseClick(b, Qt::LeftButton);
        QVERIFY(*flag);
        QVERIFY(side->isVisible());
        QVERIFY(b->isChecked());
        QVERIFY(LoggerMainWindow::IsTicked(tick));

        QTest::mouseClick(b, Qt::LeftButton);
        QVERIFY(!*flag);
        QVERIFY(!side->isVisible());
        QVERIFY(!b->isChecked());
        QVERIFY(!LoggerMainWindow::IsTicked(tick));

        // The View > Windows entry does the same.
        tick->trigger();
        QVERIFY(*flag && side->isVisible() && b->isChecked() && LoggerMainWindow::IsTicked(tick));

        // Closed by its own title bar: the window reports it, and all three follow.
        QVERIFY(side->close());
        QVERIFY(!*flag);
        QVERIFY(!side->isVisible());
        QVERIFY(!b->isChecked());
        QVERIFY(!LoggerMainWindow::IsTicked(tick));
    }

    void showAndCloseAllWindows()
    {
        auto win = NewWindow();
        win->ui->action_All->trigger();
        QVERIFY(win->memoWindowOpen && win->infoWindowOpen && win->xControlsOpen && win->yControlsOpen);
        for (QWidget *side : {static_cast<QWidget *>(win->memoWindow),
                              static_cast<QWidget *>(win->infoWindow),
                              static_cast<QWidget *>(win->xControlsWindow),
                              static_cast<QWidget *>(win->yControlsWindow)})
            QVERIFY(side->isVisible());
        // Again while open: they stay open, nothing toggles.
        win->ui->action_All->trigger();
        QVERIFY(win->memoWindowOpen && win->infoWindowOpen && win->xControlsOpen && win->yControlsOpen);
        QVERIFY(win->ui->MemoButton->isChecked() && win->ui->ycontrolbutton->isChecked());

        win->ui->action_Close_All->trigger();
        QVERIFY(!win->memoWindowOpen && !win->infoWindowOpen && !win->xControlsOpen && !win->yControlsOpen);
        QVERIFY(!win->memoWindow->isVisible() && !win->infoWindow->isVisible());
        QVERIFY(!win->xControlsWindow->isVisible() && !win->yControlsWindow->isVisible());
        QVERIFY(!win->ui->InfoButton->isChecked() && !win->ui->xcontrolbutton->isChecked());
        QVERIFY(!LoggerMainWindow::IsTicked(win->ui->action_Memo));
        QVERIFY(!LoggerMainWindow::IsTicked(win->ui->action_Chart_Info));
    }

    void chartInfoSummary()
    {
        auto win = NewWindow();
        LoggerData empty;
        QCOMPARE(win->SetChartInfo(&empty), 0);
        QCOMPARE(empty.startDate, QString("dd/mm/yy"));
        QCOMPARE(empty.startTime, QString("hh:mm:ss"));
        QCOMPARE(empty.sampleInterval, 0.0);
        QCOMPARE(int(empty.intervalUnit), int(win->config->intervalUnit));
        QCOMPARE(empty.chA.totalSamples, 0);
        QCOMPARE(empty.chB.maxValue, 0.0);

        // With runs, the last one is summarised.
        LoggerData *first = NewRun();
        first->startDate = "01/02/2024";
        LoggerData *last = NewRun();
        last->startDate = "03/04/2024";
        last->startTime = "10:11:12 AM";
        last->sampleInterval = 0.5;
        last->intervalUnit = Seconds;
        last->chA = {0, -12.5, 99.0, 3, 500, 0, last->chA.values};
        last->chB = {0, -1.0, 2.0, 4, 480, 0, last->chB.values};
        win->runList->append(first);
        win->runList->append(last);
        LoggerData summary;
        QCOMPARE(win->SetChartInfo(&summary), 0);
        QCOMPARE(summary.startDate, QString("03/04/2024"));
        QCOMPARE(summary.startTime, QString("10:11:12 AM"));
        QCOMPARE(summary.sampleInterval, 0.5);
        QCOMPARE(int(summary.intervalUnit), int(Seconds));
        QCOMPARE(summary.chA.minValue, -12.5);
        QCOMPARE(summary.chA.maxValue, 99.0);
        QCOMPARE(summary.chA.missedSamples, 3);
        QCOMPARE(summary.chA.totalSamples, 500);
        QCOMPARE(summary.chB.missedSamples, 4);
        QCOMPARE(summary.chB.totalSamples, 480);
        QVERIFY(!summary.chA.values);   // a summary holds no samples
    }

    void settingsDialogOpensOnce()
    {
        auto win = NewWindow();
        win->ui->action_Settings->trigger();
        QVERIFY(win->settingsWindowOpen);
        QVERIFY(win->settingsWindow->isVisible());

        // While it is marked open the entry does nothing, not even show it again.
        win->settingsWindow->hide();
        win->ui->action_Settings->trigger();
        QVERIFY(!win->settingsWindow->isVisible());

        win->settingsWindow->show();
        QVERIFY(win->settingsWindow->close());
        QVERIFY(!win->settingsWindowOpen);
        win->ui->action_Settings->trigger();
        QVERIFY(win->settingsWindow->isVisible());
    }

    // ---- Closing and destruction ------------------------------------------------------

    void closeDeletesBackupOnlyWhenNotKept()
    {
        for (bool keep : {false, true}) {
            auto win = NewWindow();
            win->config->backup = keep;
            QFile seed(win->backupFilePath);
            QVERIFY(seed.open(QIODevice::WriteOnly));
            seed.write("run\n");
            seed.close();
            win->backupFile = new QFile(win->backupFilePath);
            QVERIFY(win->backupFile->open(QIODevice::Append));
            win->show();
            QVERIFY(win->close());
            QVERIFY(!win->backupFile->isOpen() || keep);
            QCOMPARE(QFile::exists(win->backupFilePath), keep);
        }
        QFile::remove(QDir::homePath() + "/Documents/KestrimaIII/tamberlo_backup.csv");
    }

    void closeClosesSideWindows()
    {
        auto win = NewWindow();
        win->show();
        win->ShowAllWindows();
        win->ui->action_Settings->trigger();
        QVERIFY(win->close());
        QVERIFY(!win->memoWindowOpen && !win->infoWindowOpen && !win->xControlsOpen && !win->yControlsOpen);
        QVERIFY(!win->settingsWindowOpen);
        for (QWidget *side : {static_cast<QWidget *>(win->memoWindow),
                              static_cast<QWidget *>(win->infoWindow),
                              static_cast<QWidget *>(win->xControlsWindow),
                              static_cast<QWidget *>(win->yControlsWindow),
                              static_cast<QWidget *>(win->settingsWindow)})
            QVERIFY(!side->isVisible());
    }

    // Without a visible scope window the logger window is the last one: closing it ends
    // the application, so the run is stopped instead of writing on unseen.
    void closingTheLastWindowStopsTheRun()
    {
        QVERIFY(!w);
        auto win = NewWindow();
        win->show();
        win->alertPopUps[1]->show();
        win->loggingActive = true;
        win->ui->action_Exit->trigger();
        QVERIFY(!win->isVisible());
        QVERIFY(!win->loggingActive);
        QVERIFY(!win->alertPopUps[1]->isVisible());
#ifdef LW_RUN_STANDIN
        QCOMPARE(stopLoggerCalls, 1);
#endif
    }

    // Ending the program during a run: the run's stop block still reaches the backup.
    void destructorStopsARun()
    {
        auto win = NewWindow();
        const QString path = win->backupFilePath;
        QFile::remove(path);
        LoggerData *run = NewRun();
        run->firstSampleNo = 1;
        run->chA.totalSamples = 3;
        win->runList->append(run);
        win->backupFile = new QFile(path);
        QVERIFY(win->backupFile->open(QIODevice::Append));
        win->loggingActive = true;
        win.reset();
        QVERIFY(!LoggerWin);
#ifdef LW_RUN_STANDIN
        QCOMPARE(stopLoggerCalls, 1);
        QCOMPARE(clearScreenCalls, 1);
#else
        QFile backup(path);
        QVERIFY(backup.open(QIODevice::ReadOnly));
        QVERIFY(backup.size() > 0);
#endif
        QFile::remove(path);
    }

    // ---- Hand-over with the scope window ----------------------------------------------

    void modeHandOverBothWays()
    {
        QVERIFY(!LoggerWin);
        w = new MainWindow;
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));

        LoggerMainWindow *created = nullptr;
        for (int round = 0; round < 3; ++round) {
            const QString unit = QString("unit%1").arg(round);
            if (LoggerWin)
                LoggerWin->config->ySettings.unitText = unit;
            w->LoggerModeFunc();
            QVERIFY(LoggerWin);
            if (!created)
                created = LoggerWin;
            QCOMPARE(LoggerWin, created);          // created once
            QVERIFY(LoggerWin->isVisible());
            QVERIFY(!w->isVisible());
            // The entry hook ran on this entry too.
            QCOMPARE(LoggerWin->ui->yAxisLabel->text(), round == 0 ? QString("mV") : unit);

            LoggerWin->ShowAllWindows();
            LoggerWin->ui->action_Settings->trigger();
            LoggerWin->backupResetPending = false;
            LoggerWin->loggingActive = (round == 1);   // the second stay "logs"

            LoggerWin->ui->action_Scope_Mode->trigger();
            QVERIFY(!LoggerWin->isVisible());
            QVERIFY(w->isVisible());
            QVERIFY(!LoggerWin->loggingActive);
            QVERIFY(LoggerWin->backupResetPending);   // the chart was cleared
            QVERIFY(!LoggerWin->memoWindowOpen && !LoggerWin->infoWindowOpen);
            QVERIFY(!LoggerWin->xControlsOpen && !LoggerWin->yControlsOpen);
            QVERIFY(!LoggerWin->memoWindow->isVisible() && !LoggerWin->yControlsWindow->isVisible());
            QVERIFY(!LoggerWin->ui->MemoButton->isChecked());
            QVERIFY(!LoggerMainWindow::IsTicked(LoggerWin->ui->action_X_Controls));
            // The settings dialog is closed too: its edits would never be saved.
            QVERIFY(!LoggerWin->settingsWindowOpen);
            QVERIFY(!LoggerWin->settingsWindow->isVisible());
        }
#ifdef LW_RUN_STANDIN
        QCOMPARE(stopLoggerCalls, 1);
        QCOMPARE(clearScreenCalls, 3);
#endif
        delete w;   // deletes the logger window too
        w = nullptr;
        QVERIFY(!LoggerWin);
    }

    // Scope Mode drops the settings dialog with its edits, and closing the scope window then
    // ends the program: no logger window may stay on screen and keep it running.
    void programEndLeavesNoLoggerWindow()
    {
        w = new MainWindow;
        w->LoggerModeFunc();
        const bool backup = LoggerWin->config->backup;
        LoggerWin->ui->action_Settings->trigger();
        LoggerWin->settingsWindow->findChild<QCheckBox *>("backupChkBox")->click();
        LoggerWin->alertPopUps[2]->show();
        LoggerWin->ui->action_Scope_Mode->trigger();
        QVERIFY(!LoggerWin->settingsWindow->isVisible() && !LoggerWin->settingsWindowOpen);
        QCOMPARE(LoggerWin->config->backup, backup);
        QVERIFY(w->close());
        for (QWidget *top : QApplication::topLevelWidgets())
            QVERIFY2(!top->isVisible(), top->metaObject()->className());
        delete w;
        w = nullptr;
    }

    // An unreadable settings file is kept beside it before a save replaces it, and the user
    // is told once where; no file at all (a first start) is no damage.
    void unreadableSettingsAreKeptAndTold()
    {
        const QString path = LoggerMainWindow::AppFolder() + "Tamberlo.xml";
        const QString kept = LoggerMainWindow::AppFolder() + "Tamberlo_damaged.xml";
        QFile::remove(path);
        boxTexts.clear();
        NewWindow()->AdjustConfig();
        QVERIFY(boxTexts.isEmpty() && !QFile::exists(kept));
        for (const QByteArray &damaged : {QByteArray("<!DOCTYPE LoggerConfigXML>\n<Config><Sample"),
                                         QByteArray("<Config><EditMenu Y=\"\xff\"/></Config>")}) {
            boxTexts.clear();
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(damaged) == damaged.size());
            file.close();
            auto win = NewWindow();
            win->AdjustConfig();
            win->AdjustConfig();
            win->SaveXMLConfig();
            QCOMPARE(boxTexts.size(), 1);
            QVERIFY(boxTexts[0].contains("could not be read") && boxTexts[0].endsWith(QDir::toNativeSeparators(kept)));
            ConfigSettings saved("Tamberlo.xml");
            QCOMPARE(LoadConfiguration(&saved, LoggerMainWindow::AppFolder()), ConfigFileState::Read);
            QFile copy(kept);   // the second replaces the first
            QVERIFY(copy.open(QIODevice::ReadOnly) && copy.readAll() == damaged);
        }
        QFile::remove(kept);
    }

    void helpForwardsToTheScopeWindow()
    {
        w = new MainWindow;
        auto win = NewWindow();
        Help *before = HelpaboutWindow;
        win->ui->action_About->trigger();
        QVERIFY(HelpaboutWindow);
        QVERIFY(HelpaboutWindow != before);
        HelpaboutWindow->close();
        win.reset();
        delete w;
        w = nullptr;
    }
};

ZR_TEST_MAIN(TestLoggerWindow)
#include "test_logger_window.moc"
