#include "LoggerMainWindow.h"
#include "ui_LoggerMainWindow.h"

#include "AlertPopUp.h"
#include "DisplayThread.h"
#include "HWIFWrapper.h"
#include "InfoWindow.h"
#include "LoggerConfigReader.h"
#include "LoggerConfigWriter.h"
#include "MainWindow.h"
#include "MemoWindow.h"
#include "Messages.h"
#include "PlotMgr.h"
#include "PollThread.h"
#include "RawDataWindow.h"
#include "ScreenPlacement.h"
#include "SettingsWindow.h"
#include "Utility.h"
#include "XControlsWindow.h"
#include "ycontrolsWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QDoubleValidator>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QResizeEvent>
#include <QTimer>
#include <cstdint>

namespace {

const char *const TickIcon = ":/images/Images/Icons/Select.png";
const char *const SampleIcon = ":/images/Images/Icons/SampleSelect.jpg";
const char *const WindowTitle = "Tamberlo for ZR70K33";

// Design size of the form; the panel keeps its distances to the right and bottom edges.
constexpr int DesignWidth = 1099;
constexpr int DesignHeight = 700;

QAction *NewPopupEntry(QObject *owner, QMenu *menu, const QString &text, const char *name)
{
    QAction *a = new QAction(text, owner);
    a->setObjectName(QString::fromLatin1(name));
    a->setIcon(QIcon(QString::fromLatin1(TickIcon)));
    a->setIconVisibleInMenu(false);
    menu->addAction(a);
    return a;
}

// Closes the side windows that are open. Only those: closing a closed window still runs
// its close handling (the memo window's would reset the chart's mouse cursor).
void CloseOpenSideWindows(LoggerMainWindow *win)
{
    if (win->memoWindowOpen)
        win->CloseMemo();
    if (win->infoWindowOpen)
        win->CloseChartInfo();
    if (win->xControlsOpen)
        win->CloseXControls();
    if (win->yControlsOpen)
        win->CloseYControls();
}

// The window's style sheet reaches every widget below it, the chart canvas included, and a
// style-sheet background hides the palette through which the chart sets its background
// colour. The canvas therefore restates its palette colour as a rule of its own.
class CanvasBackgroundKeeper : public QObject {
public:
    explicit CanvasBackgroundKeeper(QWidget *canvas) : QObject(canvas), canvas(canvas)
    {
        canvas->installEventFilter(this);
        Apply();
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == canvas && event->type() == QEvent::PaletteChange)
            Apply();
        return false;
    }

private:
    void Apply()
    {
        // Re-styling passes through palettes of its own; only the chart's changes count.
        if (applying)
            return;
        const QColor colour = canvas->palette().color(QPalette::Window);
        if (colour == applied)
            return;
        applied = colour;
        applying = true;
        canvas->setStyleSheet(QStringLiteral("background-color: %1;").arg(colour.name()));
        applying = false;
    }

    QWidget *canvas;
    QColor applied;
    bool applying = false;
};

// The cursor radio buttons' widths were made for smaller type than many desktops use: a
// label that needs more room gets it, to the right.
int FittedWidth(const QWidget *widget, int width)
{
    return qMax(width, widget->sizeHint().width());
}

} // namespace

LoggerMainWindow::LoggerMainWindow(QWidget *parent)
    : QMainWindow(parent), ui(new Ui_LoggerMainWindow)
{
    ui->setupUi(this);
    printLabel = new QLabel;
    Initialize();
    MapComponentsToEvents();
    InitMenuIcons();
    SetAxesLabels();
}

QString LoggerMainWindow::AppFolder()
{
    // The scope window exists before any logger code runs; the fallback only keeps a
    // window built on its own (as in tests) off the filesystem root.
    if (w)
        return w->appFolderPath;
    return QDir::homePath() + QStringLiteral("/Documents/KestrimaIII/");
}

bool LoggerMainWindow::IsTicked(const QAction *action)
{
    return action && action->isIconVisibleInMenu();
}

void LoggerMainWindow::SetTicked(QAction *action, bool ticked)
{
    if (action)
        action->setIconVisibleInMenu(ticked);
}

void LoggerMainWindow::Initialize()
{
    receivedSampleCount = 0;
    sliderActive = true;
    chartFileLoaded = false;
    const QString folder = AppFolder();
    backupFilePath = folder + QStringLiteral("tamberlo_backup.csv");
    displayBuffer = new QVector<LoggerData *>;

    backupResetPending = true;
    displayStarted = false;
    elapseIntervalMs = 0;
    elapseCount = 0;
    pendingSliderValue = 0;
    backupFile = nullptr;
    tempFile = nullptr;
    tempReadPos = 0;
    loggingActive = false;
    resizeStage = 0;

    currentChartPath = QStringLiteral("Data1");
    setWindowTitle(tr(WindowTitle) + QStringLiteral(" - (Data1)"));
    windowMenuEntries[0] = {QString(), QStringLiteral("Data1"), ui->action_Data1};
    windowMenuEntries[1] = {QString(), QString(), nullptr};

    config = new ConfigSettings(QStringLiteral("Tamberlo.xml"));
    if (LoadConfiguration(config, folder) == ConfigFileState::Unreadable) {
        // Its settings are lost for this run; the file is kept before a save replaces it.
        const QString path = folder + config->configFileName;
        unreadableSettingsKeptAt = KeepUnreadableConfiguration(path);
        keepSettingsFile = unreadableSettingsKeptAt == path;
    }
    runList = new QVector<LoggerData *>;

    ui->sampleInterval->setText(QString::asprintf("%.3f", config->sampleInterval));
    // The time range follows the sample range at the configured interval.
    const double secs = Utility::ConvertToSec(config->sampleInterval, config->intervalUnit);
    config->xSettings.timeMin = double(uint32_t(config->xSettings.sampleMin)) * secs;
    config->xSettings.timeMax = double(uint32_t(config->xSettings.sampleMax)) * secs;
    if (!config->backup)
        ui->action_Restore_Backup->setEnabled(false);

    messages = new Messages(this);
    ui->StopButton->setEnabled(false);
    ui->timeUnit->addItem(QStringLiteral("s"));
    ui->timeUnit->addItem(QStringLiteral("ms"));

    plotMgr = new PlotMgr(this);
    plotMgr->Initialize(config);
    plotMgr->setAxisLabelAlignment(QwtPlot::xBottom, Qt::AlignLeft);
    new CanvasBackgroundKeeper(plotMgr->canvas());
    ui->xAxisLabel->setText(config->xSettings.xMode == 1 ? QStringLiteral("Sec")
                                                         : QStringLiteral("Sample"));
    ui->horizontalLayout_2->addWidget(plotMgr, 0, Qt::Alignment());

    hwSettings = new Scope_SetFeatures;
    receiveBuffer = new LoggerData;
    receiveBuffer->chA.values = new DataValues;
    receiveBuffer->chB.values = new DataValues;

    memoWindowOpen = infoWindowOpen = xControlsOpen = yControlsOpen = settingsWindowOpen = false;
    dataCursorActive = missedCursorActive = memoCursorActive = false;
    zoomInActive = zoomOutActive = false;
    ui->dataRadioButton->setEnabled(false);
    ui->missedRadioButton->setEnabled(false);
    ui->markRadioButton->setEnabled(false);
    for (QWidget *radio : {ui->dataRadioButton, ui->missedRadioButton, ui->markRadioButton})
        radio->resize(FittedWidth(radio, radio->width()), radio->height());

    memoWindow = new MemoWindow(nullptr);
    memoWindow->hide();
    infoWindow = new InfoWindow(nullptr);
    infoWindow->hide();
    xControlsWindow = new XControlsWindow(nullptr);
    xControlsWindow->hide();
    yControlsWindow = new ycontrolsWindow(nullptr);
    yControlsWindow->hide();
    settingsWindow = new SettingsWindow(nullptr);
    settingsWindow->hide();
    rawDataWindow = new RawDataWindow(nullptr);
    rawDataWindow->hide();

    hwWrapper = new HWIFWrapper(config);
    hwWrapper->receivedCountSink = &receivedSampleCount;
    plotMgr->SetClient(this);
    displayThread = new DisplayThread();
    displayThread->Initialize(plotMgr, config, runList, displayBuffer);
    displayThread->SetClient(this);
    pollThread = new PollThread();
    pollThread->Initialize(hwWrapper, receiveBuffer, config, 0);
    pollThread->SetClient(this);

    // The pop-ups belong to this window: the window manager keeps them above it, also when
    // it is activated again (after a message about the instrument, say).
    for (AlertPopUp *&popUp : alertPopUps) {
        popUp = new AlertPopUp(this);
        popUp->hide();
    }

    dataCursorMenu = new QMenu;
    dataCursorChA = NewPopupEntry(this, dataCursorMenu, tr("Channel A"), "dataCursorPopupMenuChA");
    dataCursorChB = NewPopupEntry(this, dataCursorMenu, tr("Channel B"), "dataCursorPopupMenuChB");
    plotMgr->dataCursorChannel = 2;
    connect(dataCursorMenu, SIGNAL(triggered(QAction *)), this, SLOT(SetDataCursorChannel(QAction *)));

    missedCursorMenu = new QMenu;
    missedCursorChA = NewPopupEntry(this, missedCursorMenu, tr("Channel A"), "missedCursorPopupMenuChA");
    missedCursorChB = NewPopupEntry(this, missedCursorMenu, tr("Channel B"), "missedCursorPopupMenuChB");
    plotMgr->missedCursorChannel = 2;
    connect(missedCursorMenu, SIGNAL(triggered(QAction *)), this, SLOT(SetMissedCursorChannel(QAction *)));

    memoCursorMenu = new QMenu;
    memoCursorChA = NewPopupEntry(this, memoCursorMenu, tr("Channel A"), "memoCursorPopupMenuChA");
    memoCursorChB = NewPopupEntry(this, memoCursorMenu, tr("Channel B"), "memoCursorPopupMenuChB");
    memoMarkerAction = NewPopupEntry(this, memoCursorMenu, tr("Memo"), "memoMarkerSubMenu");
    plotMgr->memoCursorChannel = 2;
    connect(memoCursorMenu, SIGNAL(triggered(QAction *)), this, SLOT(SetMemoCursorChannel(QAction *)));

    deltaMenu = new QMenu;
    deltaDataMissed = NewPopupEntry(this, deltaMenu, tr("Data - Missed"), "dataMissedMenu");
    deltaDataMemo = NewPopupEntry(this, deltaMenu, tr("Data - Memo"), "dataMemoMenu");
    deltaMissedMemo = NewPopupEntry(this, deltaMenu, tr("Missed - Memo"), "missedMemoMenu");
    deltaOffAction = NewPopupEntry(this, deltaMenu, tr("Off"), "deltaOff");
    SetTicked(deltaOffAction, true);
    deltaDataMissed->setEnabled(false);
    deltaDataMemo->setEnabled(false);
    deltaMissedMemo->setEnabled(false);
    deltaOffAction->setEnabled(true);
    connect(deltaMenu, SIGNAL(triggered(QAction *)), this, SLOT(SetCursorDelta(QAction *)));
    ui->cursorDelta->setMenu(deltaMenu);

    dataCursorShown = missedCursorShown = memoCursorShown = false;

    ui->chAButton->setStyleSheet(QStringLiteral("background-color: ")
                                 + config->colorSettings.chAColor.name() + QStringLiteral(";"));
    ui->chBButton->setStyleSheet(QStringLiteral("background-color: ")
                                 + config->colorSettings.chBColor.name() + QStringLiteral(";"));

    tempFilePath = folder + QStringLiteral("temp.csv");
    intervalValidator = new QDoubleValidator(ui->sampleInterval);
    intervalValidator->setDecimals(5);
    ui->sampleInterval->setValidator(intervalValidator);
    maxScroll = config->xSettings.sampleMax;
    ui->timeUnit->setStyleSheet(QStringLiteral(
        "font: 14pt Arial;color:rgb(150,150,150);background-color:lightgray;"
        "selection-color: lightgray;selection-background-color: rgb(150,150,150);"));
    reloadPending = true;
    ui->action_Stop->setEnabled(false);
}

void LoggerMainWindow::MapComponentsToEvents()
{
    ui->menubar->setStyleSheet(QStringLiteral(
        "QMenuBar::item { background-color: #CAE1FA;} QMenuBar {background-color: #CAE1FA;}"));
    // The window's grey background reaches the menus, highlighted entry included, which
    // then shows white on light grey like a disabled one: give it a colour of its own.
    // The same style sheet takes the menus' frame, so an open menu would merge into the
    // tool row beneath it: draw a border of their own.
    for (QMenu *menu : ui->menubar->findChildren<QMenu *>())
        menu->setStyleSheet(QStringLiteral(
            "QMenu { border: 1px solid rgb(130, 130, 130); }"
            "QMenu::item:selected { background-color: rgb(48, 140, 198); color: white; }"
            "QMenu::item:disabled { color: rgb(150, 150, 150); background-color: transparent; }"));

    const struct {
        QAction *action;
        const char *slot;
    } wiring[] = {
        {ui->action_Load, SLOT(on_OpenButton_clicked())},
        {ui->action_Save, SLOT(on_SaveButton_clicked())},
        {ui->action_Close, SLOT(CloseChart())},
        {ui->action_Print_Chart_Area, SLOT(on_PrintButton_clicked())},
        {ui->action_Print_Data_Logger, SLOT(PrintDataLogger())},
        {ui->action_Restore_Backup, SLOT(RestoreBackup())},
        {ui->action_Exit, SLOT(Exitfunc())},
        {ui->action_Start, SLOT(StartLogger())},
        {ui->action_Stop, SLOT(StopLogger())},
        {ui->action_Channel_A, SLOT(SetChannelA())},
        {ui->action_Channel_B, SLOT(SetChannelB())},
        {ui->action_TestMode, SLOT(SetTestMode())},
        {ui->action_Clear_Screen, SLOT(ClearScreen())},
        {ui->action_Copy_Chart_to_Clipboard, SLOT(CopyToClipboard())},
        {ui->action_Settings, SLOT(ModifySettings())},
        {ui->action_Time, SLOT(SetTimeScale())},
        {ui->action_Sample_No, SLOT(SetSampleNoScale())},
        {ui->action_Background, SLOT(SetBackgrounColor())},
        {ui->action_Grid, SLOT(SetGridColor())},
        {ui->action_ChA_Trace, SLOT(SetChATraceColor())},
        {ui->action_ChB_Trace, SLOT(SetChBTraceColor())},
        {ui->action_Restore_Default_Colors, SLOT(RestoreDefaults())},
        {ui->action_ChA_Trace_2, SLOT(ShowChATrace())},
        {ui->action_ChB_Trace_2, SLOT(ShowChBTrace())},
        {ui->action_Text_Labels, SLOT(ShowTextLabels())},
        {ui->action_Track_Data_Logger, SLOT(TrackDataLogger())},
        {ui->action_Grid_2, SLOT(ShowGrid())},
        {ui->action_In, SLOT(ZoomInFromMenu())},
        {ui->action_out, SLOT(ZoomOutFromMenu())},
        {ui->action_Full, SLOT(ZoomFull())},
        {ui->action_All, SLOT(ShowAllWindows())},
        {ui->action_Chart_Info, SLOT(on_InfoButton_clicked())},
        {ui->action_Memo, SLOT(on_MemoButton_clicked())},
        {ui->action_X_Controls, SLOT(on_xcontrolbutton_clicked())},
        {ui->action_Y_Controls, SLOT(on_ycontrolbutton_clicked())},
        {ui->action_Close_All, SLOT(CloseAllWindows())},
        {ui->action_Data1, SLOT(Data1SubMenu())},
        {ui->action_Help_Manual, SLOT(GoToHelpManual())},
        {ui->action_About, SLOT(GoToAbout())},
        {ui->action_Corvenna_Web_Site, SLOT(GoToCorvennaWebsite())},
        {ui->action_Scope_Mode, SLOT(ScopeModefunc())},
    };
    for (const auto &entry : wiring)
        connect(entry.action, SIGNAL(triggered()), this, entry.slot);
    connect(ui->menu_Y_Scale, SIGNAL(triggered(QAction *)), this, SLOT(RetrieveCustomYScale(QAction *)));
    InitChartFiles();
}

void LoggerMainWindow::InitMenuIcons()
{
    const QIcon tick(QString::fromLatin1(TickIcon));
    const QIcon sample(QString::fromLatin1(SampleIcon));

    ui->action_Start->setIcon(sample);
    SetTicked(ui->action_Start, false);
    ui->action_Stop->setIcon(sample);
    SetTicked(ui->action_Stop, false);

    ui->action_Time->setIcon(tick);
    ui->action_Sample_No->setIcon(tick);
    const bool timeAxis = config->xSettings.xMode == 1;
    SetTicked(ui->action_Time, timeAxis);
    SetTicked(ui->action_Sample_No, !timeAxis);

    ui->action_mV->setIcon(tick);
    ui->action_V->setIcon(tick);
    const bool volts = config->ySettings.yUnit == 1;
    SetTicked(ui->action_mV, !volts);
    SetTicked(ui->action_V, volts);
    activeYScaleAction = volts ? ui->action_V : ui->action_mV;
    yScaleActions.clear();
    yScaleActions.append(ui->action_mV);
    yScaleActions.append(ui->action_V);

    const struct {
        QAction *action;
        bool ticked;
    } flags[] = {
        {ui->action_Channel_A, config->chAEnabled},
        {ui->action_Channel_B, config->chBEnabled},
        {ui->action_TestMode, config->testMode},
        {ui->action_ChA_Trace_2, config->showChATrace},
        {ui->action_ChB_Trace_2, config->showChBTrace},
        {ui->action_Text_Labels, config->showTextLabels},
        {ui->action_Track_Data_Logger, config->trackDataLogger},
        {ui->action_Grid_2, config->showGrid},
        {ui->action_X_Controls, false},
        {ui->action_Y_Controls, false},
        {ui->action_Memo, false},
        {ui->action_Chart_Info, false},
    };
    for (const auto &f : flags) {
        f.action->setIcon(tick);
        SetTicked(f.action, f.ticked);
    }

    ui->action_Data1->setIcon(sample);
    SetTicked(ui->action_Data1, true);
}

void LoggerMainWindow::SetAxesLabels()
{
    const XSettings &x = config->xSettings;
    const auto real = [](double v) { return QString::number(v, 'g', 15); };
    if (x.xMode != 0) {
        const double interval = Utility::ConvertToSec(config->sampleInterval, config->intervalUnit);
        ui->xMinLabel->setText(Utility::SecondsText(x.timeMin, interval));
        ui->xMaxLabel->setText(Utility::SecondsText(x.timeMax, interval));
        ui->xRange->setText(Utility::SecondsText(x.timeMax - x.timeMin, interval));
    } else {
        const uint32_t lo = uint32_t(x.sampleMin);
        const uint32_t hi = uint32_t(x.sampleMax);
        ui->xMinLabel->setText(QString::number(lo));
        ui->xMaxLabel->setText(QString::number(hi));
        ui->xRange->setText(QString::number(uint32_t(hi - lo)));
    }
    const YSettings &y = config->ySettings;
    ui->yMinLabel->setText(real(y.yMin));
    ui->yMaxLabel->setText(real(y.yMax));
    ui->yRange->setText(real(y.yMax - y.yMin));
}

void LoggerMainWindow::AdjustConfig()
{
    ui->yAxisLabel->setText(config->ySettings.unitText);

    const QIcon tick(QString::fromLatin1(TickIcon));
    for (const YScaleSettings &scale : config->yScales) {
        if (scale.name == QLatin1String("Voltage")) {
            if (config->activeYScale == QLatin1String("Voltage"))
                activeYScaleAction = ui->action_V;
        } else if (scale.name == QLatin1String("mV")) {
            if (config->activeYScale == QLatin1String("mV"))
                activeYScaleAction = ui->action_mV;
        } else {
            bool listed = false;
            for (const QAction *a : qAsConst(yScaleActions))
                listed = listed || a->text() == scale.name;
            if (listed)
                continue;
            QAction *entry = new QAction(scale.name, this);
            entry->setObjectName(scale.name);
            entry->setIcon(tick);
            SetTicked(entry, false);
            if (scale.name == config->activeYScale) {
                SetTicked(ui->action_mV, false);
                SetTicked(ui->action_V, false);
                activeYScaleAction = entry;
            }
            yScaleActions.append(entry);
            ui->menu_Y_Scale->addAction(entry);
        }
    }
    SetTicked(activeYScaleAction, true);

    plotMgr->setCanvasBackground(config->colorSettings.background);
    plotMgr->UpdateChAColor();
    plotMgr->UpdateChBColor();

    switch (config->intervalUnit) {
    case Seconds:
        ui->timeUnit->setCurrentIndex(0);
        break;
    case MilliSeconds:
        ui->timeUnit->setCurrentIndex(1);
        break;
    case MicroSeconds:
        // The box offers "s" and "ms" only; an interval kept in microseconds (it can
        // only come from the file) gets its own entry so the field is not misread.
        if (ui->timeUnit->count() < 3)
            ui->timeUnit->addItem(QStringLiteral("us"));
        ui->timeUnit->setCurrentIndex(2);
        break;
    }
    ShowSampleInterval();

    // Told once, over the window just shown.
    if (!unreadableSettingsKeptAt.isEmpty()) {
        const QString kept = QDir::toNativeSeparators(unreadableSettingsKeptAt);
        unreadableSettingsKeptAt.clear();
        messages->DisplayMsg(SETTINGS_NOT_READ, kept);
    }
    TellRowsWaiting();
}

// ---- Side windows -------------------------------------------------------------------

void LoggerMainWindow::ShowMemo()
{
    memoWindow->Initialize(plotMgr);
    memoWindowOpen = true;
    memoWindow->show();
    SetTicked(ui->action_Memo, true);
    memoWindow->UpdateMemoWindow();
    ui->MemoButton->setChecked(true);
}

void LoggerMainWindow::ShowChartInfo()
{
    LoggerData summary;
    SetChartInfo(&summary);
    infoWindowOpen = true;
    infoWindow->Initialize(&summary);
    infoWindow->show();
    SetTicked(ui->action_Chart_Info, true);
    ui->InfoButton->setChecked(true);
}

void LoggerMainWindow::ShowChartInSideWindows()
{
    if (memoWindowOpen)
        memoWindow->UpdateMemoWindow();
    UpdateChartInfo();
}

void LoggerMainWindow::ShowXControls()
{
    xControlsOpen = true;
    xControlsWindow->Initialize(config->xSettings, config->sampleInterval, config->intervalUnit);
    xControlsWindow->show();
    SetTicked(ui->action_X_Controls, true);
    ui->xcontrolbutton->setChecked(true);
}

void LoggerMainWindow::ShowYControls()
{
    yControlsOpen = true;
    yControlsWindow->Initialize(config, messages);
    yControlsWindow->show();
    SetTicked(ui->action_Y_Controls, true);
    ui->ycontrolbutton->setChecked(true);
}

void LoggerMainWindow::CloseSideWindow(bool &openFlag, QAction *menuEntry, QWidget *button,
                                       QWidget *window)
{
    openFlag = false;
    SetTicked(menuEntry, false);
    static_cast<QAbstractButton *>(button)->setChecked(false);
    // Inside the window's own close handling this has no further effect.
    window->close();
}

void LoggerMainWindow::CloseMemo()
{
    CloseSideWindow(memoWindowOpen, ui->action_Memo, ui->MemoButton, memoWindow);
}

void LoggerMainWindow::CloseChartInfo()
{
    CloseSideWindow(infoWindowOpen, ui->action_Chart_Info, ui->InfoButton, infoWindow);
}

void LoggerMainWindow::CloseXControls()
{
    CloseSideWindow(xControlsOpen, ui->action_X_Controls, ui->xcontrolbutton, xControlsWindow);
}

void LoggerMainWindow::CloseYControls()
{
    CloseSideWindow(yControlsOpen, ui->action_Y_Controls, ui->ycontrolbutton, yControlsWindow);
}

void LoggerMainWindow::on_MemoButton_clicked()
{
    if (memoWindowOpen)
        CloseMemo();
    else
        ShowMemo();
}

void LoggerMainWindow::on_InfoButton_clicked()
{
    if (infoWindowOpen)
        CloseChartInfo();
    else
        ShowChartInfo();
}

void LoggerMainWindow::on_xcontrolbutton_clicked()
{
    if (xControlsOpen)
        CloseXControls();
    else
        ShowXControls();
}

void LoggerMainWindow::on_ycontrolbutton_clicked()
{
    if (yControlsOpen)
        CloseYControls();
    else
        ShowYControls();
}

void LoggerMainWindow::ShowAllWindows()
{
    ShowChartInfo();
    ShowMemo();
    ShowXControls();
    ShowYControls();
}

void LoggerMainWindow::CloseAllWindows()
{
    CloseChartInfo();
    CloseMemo();
    CloseXControls();
    CloseYControls();
}

int LoggerMainWindow::SetChartInfo(LoggerData *summary)
{
    if (runList->isEmpty()) {
        summary->startDate = QStringLiteral("dd/mm/yy");
        summary->startTime = QStringLiteral("hh:mm:ss");
        summary->sampleInterval = 0.0;
        // No run yet: the unit shown beside the zero interval is the configured one.
        summary->intervalUnit = config->intervalUnit;
        for (ChannelRecord *ch : {&summary->chA, &summary->chB}) {
            ch->minValue = 0.0;
            ch->maxValue = 0.0;
            ch->missedSamples = 0;
            ch->totalSamples = 0;
        }
        return 0;
    }
    const LoggerData *last = runList->last();
    summary->startDate = last->startDate;
    summary->startTime = last->startTime;
    summary->intervalUnit = last->intervalUnit;
    summary->sampleInterval = last->sampleInterval;
    const ChannelRecord *from[2] = {&last->chA, &last->chB};
    ChannelRecord *to[2] = {&summary->chA, &summary->chB};
    for (int i = 0; i < 2; ++i) {
        to[i]->minValue = from[i]->minValue;
        to[i]->maxValue = from[i]->maxValue;
        to[i]->missedSamples = from[i]->missedSamples;
        to[i]->totalSamples = from[i]->totalSamples;
    }
    return 0;
}

// ---- Settings dialog and Help -------------------------------------------------------

void LoggerMainWindow::ModifySettings()
{
    if (settingsWindowOpen)
        return;
    settingsWindow->Initialize(config);
    PlaceOnScreen(settingsWindow, this);
    settingsWindow->show();
    settingsWindowOpen = true;
}

void LoggerMainWindow::CloseSettingsWindow()
{
    settingsWindowOpen = false;
}

void LoggerMainWindow::GoToAbout()
{
    if (w)
        w->ViewAbout();
}

void LoggerMainWindow::GoToHelpManual()
{
    if (w)
        w->ViewHelpManual();
}

void LoggerMainWindow::GoToCorvennaWebsite()
{
    if (w)
        w->ViewWebsite();
}

// ---- Mode hand-over, resize, close, destruction -------------------------------------

void LoggerMainWindow::ScopeModefunc()
{
    if (loggingActive)
        StopLogger();
    ClearScreen();
    SaveXMLConfig();
    hide();
    CloseOpenSideWindows(this);
    // Its edits would go into a configuration that is saved no more: dropped, as Cancel does.
    if (settingsWindowOpen)
        settingsWindow->close();
    if (w)
        w->show();
}

void LoggerMainWindow::CloseOwnWindows()
{
    CloseOpenSideWindows(this);
    if (settingsWindowOpen)
        settingsWindow->close();
    rawDataWindow->close();
    for (AlertPopUp *popUp : alertPopUps)
        popUp->hide();
}

void LoggerMainWindow::LayOutPanel(int width, int height)
{
    const int d = (width - DesignWidth) / 2;   // rounds toward zero
    ui->xAxisLabel->setGeometry(width - 59, height - 200, 61, 23);
    ui->horizontalSlider->setGeometry(80, height - 160, width - 148, 20);
    ui->line->setGeometry(0, height - 140, width + 2, 20);
    ui->chAButton->setGeometry(width - 49, 140, 43, 23);
    ui->chBButton->setGeometry(width - 49, 220, 43, 23);
    ui->groupBox->setGeometry(d + 50, height - 120, 501, 71);
    ui->groupBox_2->setGeometry(d + 610, height - 120, 431, 71);
    ui->dataRadioButton->setGeometry(width - 359, 60, FittedWidth(ui->dataRadioButton, 81), 16);
    ui->missedRadioButton->setGeometry(width - 259, 60, FittedWidth(ui->missedRadioButton, 91), 16);
    ui->markRadioButton->setGeometry(width - 149, 60, FittedWidth(ui->markRadioButton, 81), 16);
    ui->horizontalLayoutWidget->setGeometry(chartAreaGeometry.x(), chartAreaGeometry.y(),
                                            chartAreaGeometry.width() + (width - DesignWidth),
                                            chartAreaGeometry.height() + (height - DesignHeight));
}

void LoggerMainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    switch (resizeStage) {
    case 0:
        resizeStage = 1;   // the first resize lays out nothing
        return;
    case 1:
        resizeStage = 2;
        chartAreaGeometry = ui->horizontalLayoutWidget->geometry();
        break;
    default:
        break;
    }
    LayOutPanel(width(), height());
}

void LoggerMainWindow::StopRunForExit()
{
    if (loggingActive)
        StopLogger();
    // Whatever the run control left behind must not tick into a window being torn down.
    if (displayThread && displayThread->isRunning())
        displayThread->StopThread();
    if (pollThread && pollThread->isRunning())
        pollThread->StopThread();
}

void LoggerMainWindow::closeEvent(QCloseEvent *event)
{
    // With the scope window hidden this is the last main window: the application ends
    // now, so a run must end with its stop block instead of going on unseen, and the
    // logger's own pop-ups must not keep an invisible logger alive.
    const bool lastWindow = !(w && w->isVisible());
    if (lastWindow)
        StopRunForExit();
    // Not while rows wait to be added to it.
    if (!config->backup && backupFile && !loggingActive && !rowsWaiting) {
        if (backupFile->isOpen())
            backupFile->close();
        QFile::remove(backupFilePath);   // a failure here is of no consequence
        SetBackupMirrorsChart(false);
        backupIndex.Reset();
        backupResetPending = true;
    }
    SaveXMLConfig();
    CloseOpenSideWindows(this);
    if (settingsWindowOpen)
        settingsWindow->close();
    if (lastWindow) {
        CloseOwnWindows();
        // The program ends here, meters and other tool windows included.
        MainWindow::CloseEveryWindowBut(this);
    }
    event->accept();
}

LoggerMainWindow::~LoggerMainWindow()
{
    delete intervalValidator;
    intervalValidator = nullptr;
    StopRunForExit();
    ClearScreen();

    delete displayThread;
    displayThread = nullptr;
    delete pollThread;
    pollThread = nullptr;
    delete hwWrapper;
    hwWrapper = nullptr;
    delete plotMgr;
    plotMgr = nullptr;

    delete xControlsWindow;
    delete yControlsWindow;
    delete memoWindow;
    delete infoWindow;
    delete rawDataWindow;
    delete settingsWindow;
    for (AlertPopUp *&popUp : alertPopUps) {
        delete popUp;
        popUp = nullptr;
    }
    delete dataCursorMenu;
    delete missedCursorMenu;
    delete memoCursorMenu;
    delete deltaMenu;

    if (tempFile && tempFile->isOpen())
        tempFile->close();
    delete tempFile;
    if (backupFile && backupFile->isOpen())
        backupFile->close();
    delete backupFile;

    for (LoggerData *run : qAsConst(*runList))
        DeleteRun(run);
    delete runList;
    for (LoggerData *record : qAsConst(*displayBuffer))
        DeleteRun(record);
    delete displayBuffer;
    DeleteRun(receiveBuffer);

    delete ui;
    delete config;
    delete hwSettings;
    delete messages;
    delete printLabel;

    if (LoggerWin == this)
        LoggerWin = nullptr;
}

// Compiled here rather than with the library's other meta-objects, so that only code that
// uses this window links it.
#include "moc_LoggerMainWindow.cpp"
