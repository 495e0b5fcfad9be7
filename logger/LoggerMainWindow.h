// The data-logger window: the second main window, beside the oscilloscope window.
// One instance, created by the scope window on the first switch into logger mode and
// kept in LoggerWin; it lives until the scope window's destructor deletes it.
#pragma once

#include "DisplayThread.h"
#include "LoggerData.h"
#include "PlotMgr.h"
#include "Messages.h"
#include "PollClient.h"
#include "RowIndex.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QVector>
#include <atomic>

class QAction;
class QCloseEvent;
class QDoubleValidator;
class QFile;
class QLabel;
class QMenu;
class QResizeEvent;
class QTimer;

class AlertPopUp;
class HWIFWrapper;
class InfoWindow;
class MemoWindow;
class Messages;
class PollThread;
class RawDataWindow;
class SettingsWindow;
class XControlsWindow;
class ycontrolsWindow;
struct Scope_SetFeatures;

class Ui_LoggerMainWindow;

// One entry of the Window menu: [0] the live chart, [1] the opened chart file.
struct SubMenu {
    QString path;              // the chart file's full path, empty for the live chart
    QString name;              // the text shown in the Window menu
    QAction *action = nullptr; // none while the slot is empty
};

// The poll thread, the drawing thread and the chart report to the window through their
// client interfaces.
class LoggerMainWindow : public QMainWindow,
                         public PollClient,
                         public PlotClient,
                         public DisplayClient {
    Q_OBJECT
    friend class TestLoggerWindow;

public:
    explicit LoggerMainWindow(QWidget *parent = nullptr);
    ~LoggerMainWindow() override;

    // Construction steps, run once by the constructor in this order.
    void Initialize();
    void MapComponentsToEvents();
    void InitMenuIcons();
    // Axes panel read-outs from the configuration.
    void SetAxesLabels();
    // Called by the scope window on every switch into logger mode, after showing us.
    void AdjustConfig();

    // Side windows: each reports its own close through the Close operation.
    void ShowMemo();
    void ShowChartInfo();
    void ShowXControls();
    void ShowYControls();
    void CloseMemo();
    void CloseChartInfo();
    void CloseXControls();
    void CloseYControls();
    int SetChartInfo(LoggerData *summary);
    void CloseSettingsWindow();
    // Every window of the logger but itself: side windows, the settings dialog (its edits
    // dropped), the raw count window and the alert pop-ups. Run when the program ends.
    void CloseOwnWindows();

    // Menu ticks: an entry counts as selected while its tick icon shows in the menu.
    static bool IsTicked(const QAction *action);
    static void SetTicked(QAction *action, bool ticked);

    // Poll thread hand-over (PollClient). Run control.
    void NotifyMain() override;
    void InstrumentStopped() override;
    void ConfigureHWSettings();
    SampIntervalUnit GetStartInfo(LoggerData *run);
    void GetStopInfo(LoggerData *run);
    // 0 ok, or the writer's failure; `written` gets the bytes written (none when no row).
    int SaveTemporaryData(QFile *file, LoggerData *data, QByteArray *written = nullptr);
    void SaveOutputDataToFile(LoggerData *data) override;
    void ReadMoreSampleData(QVector<LoggerData *> *list, int count) override;
    // GUI thread: puts the start information taken by the first block into the run.
    void TakeStartInfo() override;
    QVector<LoggerData *> *GetDisplayBuffer() override;
    void ReadDataForScrolling(QVector<LoggerData *> *list, int first, int last);
    void ClearDisplayBuffer();
    void SaveRemainingData();
    void SetRestoreBackupState(bool enabled);
    void StartElapseTimer();
    void StopElapseTimer();
    void DisableButtonsWhileLogging();
    void EnableButtonsWhileLogging();
    void UpdateRawCountDisplay(double count) override;
    int ReceivedSampleCount() const override { return receivedSampleCount.load(); }
    void StoreToDisplayBuffer();
    // The sample-clock divider for an interval (the clock is 60 MHz / (divider + 1)).
    static unsigned int ClockDivider(double interval, SampIntervalUnit unit);
    // The highest sample number of the chart's runs (0 when they hold none).
    int HighestSampleNo() const;

    // Chart files. A file is read whole before anything of the chart on screen changes:
    // 0 when it is shown, else an OpenFailure and the chart, its runs and files stay.
    enum OpenFailure { NotAChart = 1, SamplesNotShowable = 2, TooLarge = 3 };
    int OpenFile(QString path);
    void TellOpenFailure(int failure, const QString &path);
    // OpenFile for the menus: a chart larger than the memory can hold ends in TooLarge,
    // the half-shown chart dropped, rather than ending the program.
    int OpenChartFile(const QString &path);
    void ClearLoggerData();
    void AppendToWindowSubMenu(QString path);
    void RemoveFromWindowSubMenu(QString name);
    void ClearIconInWindow();
    bool SaveAsBitMap(QString path);   // false when the image was not written
    void SaveAsDataLogFile(QString path);

    // Chart view control, axis units and custom Y scales.
    void ApplyXSettings(XSettings xs, bool apply) override;
    void DisplayMarkerCoordinate(MarkerCoordinate coordinate, double value) override;
    void ClearMarkerCoordinate(MarkerCoordinate coordinate) override;
    void HideShowMemoMarkersInPlot();
    void HideShowLabelsinPlot();
    void DisplayAlertPopUp(int slot, const QString &systemName, const QString &userName,
                           const QString &date, const QString &time, const QString &channel,
                           const QString &sampleNo, const QString &value) override;
    void UpdateChartInfo() override;
    int GetMaxScroll() const;
    void UpdatePlotLabels();
    void ApplyYSettings(YSettings ys);
    void AddYScale(QString name);
    void RemoveYScale(QString name);
    void ChangeCurrentActiveYScale(QString name);
    // Makes the named scale the active one as the Y Scale menu does: a scale the chart
    // cannot show is refused and the active one stays. False when refused or unknown.
    bool ChooseYScale(const QString &name);

    // Configuration file "Tamberlo.xml".
    void SaveXMLConfig();
    // The scope window's application folder (ends with a separator).
    static QString AppFolder();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private slots:
    // File and Run
    void on_OpenButton_clicked();
    void on_SaveButton_clicked();
    void CloseChart();
    void on_PrintButton_clicked();
    void PrintDataLogger();
    void RestoreBackup();
    void Exitfunc();
    void StartLogger();
    void StopLogger() override;   // also the poll thread's stop on an I/O error
    void SetChannelA();
    void SetChannelB();
    void SetTestMode();
    void ClearScreen();
    // Edit
    void CopyToClipboard();
    void SetSampleNoScale();
    void SetTimeScale();
    void SetmVScale();
    void SetVScale();
    void SetCustomYScale();
    void RetrieveCustomYScale(QAction *action);
    void ModifySettings();
    // View
    void SetBackgrounColor();
    void SetGridColor();
    void SetChATraceColor();
    void SetChBTraceColor();
    void RestoreDefaults();
    void ShowChATrace();
    void ShowChBTrace();
    void ShowTextLabels();
    void TrackDataLogger();
    void ShowGrid();
    void ZoomIn();
    void ZoomInFromMenu();
    void ZoomOut();
    void ZoomOutFromMenu();
    void ZoomFull();
    void ShowAllWindows();
    void CloseAllWindows();
    // Help
    void GoToAbout();
    void GoToHelpManual();
    void GoToCorvennaWebsite();
    // Panel
    void AdjustDataCursor();
    void AdjustMarkCursor();
    void AdjustMissedCursor();
    void on_MemoButton_clicked();
    void on_InfoButton_clicked();
    void on_xcontrolbutton_clicked();
    void on_ycontrolbutton_clicked();
    void Data1SubMenu();
    void ScopeModefunc();
    void on_CopyButton_clicked();
    void on_ZoomInButton_clicked();
    void on_ZoomOutButton_clicked();
    void on_DataCursor_clicked();
    void SetDataCursorChannel(QAction *action);
    void on_MissedDataCursor_clicked();
    void SetMissedCursorChannel(QAction *action);
    void on_MemoCursor_clicked();
    void SetMemoCursorChannel(QAction *action);
    void SetCursorDelta(QAction *action);
    void on_chAButton_clicked();
    void on_chBButton_clicked();
    void on_RunButton_clicked();
    void on_StopButton_clicked();
    void on_xAxisLabel_clicked();
    void on_yAxisLabel_clicked();
    void on_timeUnit_activated(int index);
    void LoadWindow();
    void on_horizontalSlider_valueChanged(int value);
    void on_sampleInterval_editingFinished();
    void on_dataRadioButton_clicked();
    void on_missedRadioButton_clicked();
    void on_markRadioButton_clicked();
    void on_TestModeButton_clicked();

public slots:
    void EnableTracking(double newestSample = -1.0) override;

public:
    // Written by the poll thread's fetches (the first one runs in the poll thread).
    std::atomic<int> receivedSampleCount{0};
    Ui_LoggerMainWindow *ui = nullptr;
    QPixmap chartPixmap;
    QLabel *printLabel = nullptr;
    bool memoWindowOpen = false;
    bool infoWindowOpen = false;
    bool xControlsOpen = false;
    bool yControlsOpen = false;
    bool settingsWindowOpen = false;
    int resizeStage = 0;
    QRect chartAreaGeometry;
    HWIFWrapper *hwWrapper = nullptr;
    MemoWindow *memoWindow = nullptr;
    InfoWindow *infoWindow = nullptr;
    XControlsWindow *xControlsWindow = nullptr;
    ycontrolsWindow *yControlsWindow = nullptr;
    PlotMgr *plotMgr = nullptr;
    Scope_SetFeatures *hwSettings = nullptr;
    DisplayThread *displayThread = nullptr;
    PollThread *pollThread = nullptr;
    ConfigSettings *config = nullptr;
    SubMenu windowMenuEntries[2];
    QVector<QAction *> yScaleActions;
    AlertPopUp *alertPopUps[4] = {nullptr, nullptr, nullptr, nullptr};
    LoggerData *receiveBuffer = nullptr;
    QVector<LoggerData *> *runList = nullptr;
    QVector<LoggerData *> *displayBuffer = nullptr;
    Messages *messages = nullptr;
    QString currentChartPath;
    QString tempFilePath;
    qint64 tempReadPos = 0;
    // The newest rows of "temp.csv", which the drawing thread pages without reading the
    // file back (after a failed write the file is read).
    RowWindow tempRows;
    QByteArray rowBytes;   // GUI thread: the rows of the last write to the backup
    // Set by the first block's hand-over, which runs in the poll thread.
    std::atomic<bool> displayStarted{false};
    SettingsWindow *settingsWindow = nullptr;
    bool dataCursorActive = false;
    bool missedCursorActive = false;
    bool memoCursorActive = false;
    bool zoomInActive = false;
    bool zoomOutActive = false;
    // Read by the first block's hand-over in the poll thread.
    std::atomic<bool> loggingActive{false};
    QFile *backupFile = nullptr;
    QString backupFilePath;
    QFile *tempFile = nullptr;
    RawDataWindow *rawDataWindow = nullptr;
    QMenu *dataCursorMenu = nullptr;
    QAction *dataCursorChA = nullptr;
    QAction *dataCursorChB = nullptr;
    QMenu *missedCursorMenu = nullptr;
    QAction *missedCursorChA = nullptr;
    QAction *missedCursorChB = nullptr;
    QMenu *memoCursorMenu = nullptr;
    QAction *memoCursorChA = nullptr;
    QAction *memoCursorChB = nullptr;
    bool sliderActive = true;
    QAction *memoMarkerAction = nullptr;
    int pendingSliderValue = 0;
    QAction *activeYScaleAction = nullptr;
    QMenu *deltaMenu = nullptr;
    QAction *deltaDataMissed = nullptr;
    QAction *deltaDataMemo = nullptr;
    QAction *deltaMissedMemo = nullptr;
    QAction *deltaOffAction = nullptr;
    bool dataCursorShown = false;
    bool missedCursorShown = false;
    bool memoCursorShown = false;
    // While stopped: the interval in whole milliseconds that the intervals are counted in
    // (0 when none are), taken from elapseClock at the next start rather than from a timer
    // that would wake the program at every interval.
    int elapseIntervalMs = 0;
    int elapseCount = 0;
    bool backupResetPending = true;
    bool chartFileLoaded = false;
    QDoubleValidator *intervalValidator = nullptr;
    int maxScroll = 0;
    bool reloadPending = true;
    // Measures the intervals that pass while stopped.
    QElapsedTimer elapseClock;
    // Where runs and rows lie in the backup file.
    RowIndex backupIndex;
    // The run's start block is in the backup file, or heads "temp.csv" instead.
    bool startBlockWritten = false;
    bool startBlockInTemp = false;
    // Where the run's rows begin in "temp.csv" (after its start block, when that heads it).
    qint64 tempRowsFrom = 0;
    // Takes off the chart a run whose rows reached no file, and says so.
    void DropLostRun(LoggerData *run);
    // The first block's start information, taken where that block is handed over (the
    // poll thread as a rule) and put into the run by the GUI thread, which draws the run's
    // labels from it.
    LoggerData startInfo;
    bool startInfoPending = false;
    // A write of this run failed; set in whichever thread wrote.
    std::atomic<bool> writeFailed{false};
    // The backup lacks rows of this run that "temp.csv" holds: no more rows are appended to
    // it (they would leave a gap), and its stop block waits for them.
    std::atomic<bool> backupBehind{false};
    // Says once that rows wait to be added to the backup (after a failure has been said).
    void TellRowsWaiting();
    // Where a settings file that could not be read was kept, until the user is told.
    QString unreadableSettingsKeptAt;
    // That file could not be copied or moved aside: saves must not replace it.
    bool keepSettingsFile = false;

private:
    // The menu's choice of an entry; `previous` is ticked again when the scale is refused.
    bool ChooseYScale(QAction *entry, QAction *previous);
    void LayOutPanel(int width, int height);
    // Closing steps shared by the Close operations and the hand-back.
    void CloseSideWindow(bool &openFlag, QAction *menuEntry, QWidget *button, QWidget *window);
    // The open memo and information windows show the chart on screen once it was replaced
    // or cleared.
    void ShowChartInSideWindows();
    // Ends a run left going when the window closes or is destroyed.
    void StopRunForExit();
    // The controls of a window with no run, after a start was refused.
    void RestoreIdleControls();
    // The sample-interval field: shows the stored interval; takes up what was typed.
    void ShowSampleInterval();
    void CommitSampleInterval();
    // A file write of the run failed: stop the run and show the message, once.
    void ReportWriteFailure(messageCode_e code);
    // Moves the X window: by the slider's steps (byUser) or on by one window (tracking).
    void AdjustSlider(int value, bool byUser, double reach = -1.0);
    // The one place that enables the slider: usable unless a tracked run moves the window.
    void UpdateSliderEnabled();
    // Redraws the stored runs in the X window, with their labels.
    void RedrawRuns();
    // Cursor buttons: pop-up, delta entries and the cursor's active state.
    void CursorButtonClicked(ActiveMarker which);
    // Zoom in (true) or out: the mode turned over, the other mode ended.
    void ToggleZoom(bool in);
    void ToggleCursor(ActiveMarker which);
    QLabel *CoordinateLabel(MarkerCoordinate coordinate) const;
    // Chart files: menu wiring, the chart as CSV with its memo file, printing.
    void InitChartFiles();
    bool SaveChartAsCSV(const QString &path);
    // A file the logger itself keeps open or rewrites, which a save must not replace.
    bool LoggerUsesFile(const QString &path) const;
    void PrintChart(bool landscape);
    // The backup holds only a copy of an opened chart file, no run: nothing to keep of it.
    // A note beside the backup tells so to the next program.
    bool backupMirrorsChart = false;
    void SetBackupMirrorsChart(bool mirrors, const QString &chart = QString());
    QString BackupNotePath() const;
    QString PreviousBackupPath() const;
    // Rows that only "temp.csv" holds (a run that ended on a failed write of the backup, a
    // program killed during a run) are added to the backup before anything empties it;
    // false while they could not be. Until then the backup stays where it is (an opened
    // chart is shown from memory), and the adding is tried again.
    bool AddWaitingRows();
    bool rowsWaiting = true;   // until the first try at the start
    bool rowsWaitTold = false;
    qint64 rowsWaitBytes = 0;   // about what the backup needs room for
    QTimer *rowsWaitRetry = nullptr;
    // The record of the run whose rows wait, while the chart holds it: it gets the totals
    // of its rows once they are added.
    LoggerData *waitingRun = nullptr;
    // Where a run's rows are now: "temp.csv" holds every row of the run whose rows wait
    // (the backup only some, or none), the backup every row of any other run.
    bool RowsWaitInTemp(const LoggerData *run) const { return rowsWaiting && run && run == waitingRun; }
    RowIndex tempIndex{true};
    // The first run of an opened chart that the backup file could not take (its runs
    // then hold every row and are saved from memory).
    const LoggerData *unmirroredChart = nullptr;
};

extern LoggerMainWindow *LoggerWin;
