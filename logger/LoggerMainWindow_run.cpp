// Running the logger: start and stop of a run, the block hand-over, the temporary and
// backup files, paging rows back for the chart, the sample interval, channels and test
// mode.
#include "LoggerMainWindow.h"

#include "AlertPopUp.h"
#include "DisplayThread.h"
#include "HWIFWrapper.h"
#include "KrDriver.h"
#include "Messages.h"
#include "LogCategories.h"
#include "PlotMgr.h"
#include "PollThread.h"
#include "RawDataWindow.h"
#include "SettingsWindow.h"
#include "Utility.h"
#include "XControlsWindow.h"
#include "XWindow.h"
#include "ui_LoggerMainWindow.h"
#include "ycontrolsWindow.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <mutex>
#include <vector>

namespace {

// Counts the starts, so that a failure reported late stops only the run it belongs to.
std::atomic<unsigned> runNumber{0};

// Takes a failed write (or the last sample number reached) into the GUI thread, from
// whichever thread found it. It lives in the GUI thread; other threads touch only its
// list of failures, under its lock, and queue Deliver() by name, a call that carries no
// data of theirs. Failures posted before one delivery (a block may both fail to be saved
// and reach the last number) are all said.
class WriteFailureRelay : public QObject {
    Q_OBJECT
public:
    static WriteFailureRelay &Instance()
    {
        static auto *relay = new WriteFailureRelay;   // first made by StartLogger, in the GUI thread
        return *relay;
    }

    void Post(messageCode_e message, unsigned run)
    {
        {
            std::lock_guard<std::mutex> hold(lock);
            pending.push_back({message, run});
        }
        QMetaObject::invokeMethod(this, "Deliver", Qt::QueuedConnection);
    }

    QPointer<LoggerMainWindow> window;   // GUI thread only

public slots:
    void Deliver()
    {
        // A run that a failure belongs to and that still goes on into a file that takes
        // nothing would lose every later row: it is stopped first.
        const unsigned current = runNumber.load();
        bool stop = false;
        {
            std::lock_guard<std::mutex> hold(lock);
            stop = std::any_of(pending.begin(), pending.end(), [current](const Failure &f) { return f.run == current; });
        }
        if (stop && window && window->loggingActive)
            QMetaObject::invokeMethod(window, "StopLogger", Qt::DirectConnection);
        // What the stop found is said with the failures that led to it.
        std::vector<Failure> failures;
        {
            std::lock_guard<std::mutex> hold(lock);
            failures.swap(pending);
        }
        if (failures.empty() || !window)
            return;
        // A run that reached no file: that is the one thing to say of the writes that failed.
        const bool runLost = std::any_of(failures.begin(), failures.end(),
                                         [](const Failure &f) { return f.message == RUN_NOT_SAVED; });
        std::vector<messageCode_e> said;
        for (const Failure &f : failures) {
            if (std::find(said.begin(), said.end(), f.message) != said.end())
                continue;
            if (runLost && (f.message == FILE_SAVE_FAILED || f.message == BACKUP_FILE_OPENED))
                continue;
            said.push_back(f.message);
            // The box waits for the user: the window may be gone after it.
            if (window)
                window->messages->DisplayMsg(f.message, f.message == RUN_NOT_SAVED
                                                            ? QDir::toNativeSeparators(window->backupFilePath)
                                                            : QString());
        }
        // Then what became of the rows the backup could not take.
        if (window)
            window->TellRowsWaiting();
    }

private:
    struct Failure {
        messageCode_e message;
        unsigned run;
    };
    std::mutex lock;
    std::vector<Failure> pending;
};

// The run whose sample numbers reached the last one the chart can show, said once.
std::atomic<unsigned> lastNumberRun{0};

// Drops the rows of a fetched block numbered past the last sample number the chart can
// show. True when the block reaches that number: the run ends with it.
bool CutAtLastSampleNumber(LoggerData *block)
{
    bool reached = false;
    size_t rows = 0;
    for (ChannelRecord *ch : {&block->chA, &block->chB}) {
        if (!ch->values)
            continue;
        std::vector<double> &xs = ch->values->xValues;
        if (!xs.empty() && xs.back() >= double(MaxChartSample))
            reached = true;
        const size_t keep = size_t(std::upper_bound(xs.begin(), xs.end(), double(MaxChartSample)) - xs.begin());
        xs.resize(keep);
        if (ch->values->yValues.size() > keep)
            ch->values->yValues.resize(keep);
        ch->blockSamples = int32_t(keep);
        rows = std::max(rows, keep);
    }
    if (block->memo.size() > rows)
        block->memo.resize(rows);
    return reached;
}

void EmptyRecord(LoggerData *run)
{
    for (DataValues *v : {run->chA.values, run->chB.values}) {
        if (v) {
            v->xValues.clear();
            v->yValues.clear();
        }
    }
    run->memo.clear();
}

// Replaces the handle on `path` with a new one, appending or emptied; null when the file
// cannot be opened.
void ReopenFile(QFile *&file, const QString &path, bool append)
{
    if (file) {
        Utility::CloseFile(file);
        delete file;
    }
    file = Utility::OpenFile(path, append);
}

// A channel's button: its trace colour while the channel is on, grey while it is off.
QString ChannelButtonStyle(bool on, const QString &colourName)
{
    return on ? QStringLiteral("background-color: ") + colourName + QStringLiteral(";")
              : QStringLiteral("background-color: light gray;");
}

void ResetChannel(ChannelRecord &ch)
{
    ch.blockSamples = 0;
    ch.receivedBase = 0;
    ch.missedSamples = 0;
    ch.totalSamples = 0;
    ch.maxValue = 0.0;
    ch.minValue = 0.0;
}

}   // namespace

// ---- Start ------------------------------------------------------------------------------

void LoggerMainWindow::on_RunButton_clicked()
{
    StartLogger();
}

void LoggerMainWindow::on_StopButton_clicked()
{
    StopLogger();
}

void LoggerMainWindow::RestoreIdleControls()
{
    SetTicked(ui->action_Start, false);
    SetTicked(ui->action_Stop, false);
    ui->action_Start->setEnabled(true);
    ui->action_Stop->setEnabled(false);
    ui->RunButton->setEnabled(true);
    ui->StopButton->setEnabled(false);
    EnableButtonsWhileLogging();
    ui->action_Scope_Mode->setEnabled(true);
    xControlsWindow->EnableTextFields();
    yControlsWindow->EnableControls();
    ui->action_Close->setEnabled(true);
    ui->action_Track_Data_Logger->setEnabled(true);
    settingsWindow->DisableSettings(false);
}

void LoggerMainWindow::StartLogger()
{
    // What the pop-ups show belongs to an earlier run; a refused start shows nothing old.
    for (AlertPopUp *popUp : alertPopUps)
        popUp->hide();
    CommitSampleInterval();
    SetTicked(ui->action_Start, true);
    ui->action_Start->setEnabled(false);
    ui->action_Stop->setEnabled(true);
    SetTicked(ui->action_Stop, false);
    ui->action_Scope_Mode->setEnabled(false);
    ui->action_Close->setEnabled(false);
    ui->action_Track_Data_Logger->setEnabled(false);
    settingsWindow->DisableSettings(true);
    DisableButtonsWhileLogging();

    if (elapseClock.isValid()) {
        // The intervals that passed while stopped, measured rather than counted, so that
        // neither a busy event loop can make the chart's X axis fall behind the clock nor
        // an idle logger wake at every interval. They are intervals of the length in force
        // while stopped, not the one just chosen for the new run.
        if (elapseIntervalMs >= 1)
            elapseCount = int(std::min<qint64>(INT_MAX, elapseClock.elapsed() / elapseIntervalMs));
        StopElapseTimer();
    }
    if (chartFileLoaded)
        ClearScreen();

    // A refused start leaves the window idle, every control usable again.
    if (!config->chAEnabled && !config->chBEnabled) {
        messages->DisplayMsg(NO_CHANNEL_ENABLED);
        RestoreIdleControls();
        return;
    }
    // "temp.csv" is emptied below: rows that only it holds must reach the backup first (and
    // the run they belong to counts them before the new run is numbered after it).
    if (!AddWaitingRows()) {
        // Why, too: the rows that wait and the file they wait for.
        messages->DisplayMsg(FILE_SAVE_FAILED, messages->Text(ROWS_WAITING_FOR_BACKUP) + QLatin1Char('\n')
                                                   + QDir::toNativeSeparators(backupFilePath));
        RestoreIdleControls();
        return;
    }

    receiveBuffer->memo.clear();
    receiveBuffer->drawState = -1;
    auto *run = new LoggerData;
    for (ChannelRecord *ch : {&receiveBuffer->chA, &receiveBuffer->chB}) {
        ResetChannel(*ch);
        if (ch->values) {
            ch->values->xValues.clear();
            ch->values->yValues.clear();
        }
    }
    ResetChannel(run->chA);
    ResetChannel(run->chB);
    run->chA.values = new DataValues;
    run->chB.values = new DataValues;
    run->sampleInterval = config->sampleInterval;
    run->intervalUnit = config->intervalUnit;

    qint64 first = 1;
    if (!runList->isEmpty()) {
        const LoggerData *previous = runList->last();
        first = qint64(previous->firstSampleNo) + std::max(previous->chA.totalSamples, previous->chB.totalSamples);
    }
    first += elapseCount;
    if (first > MaxChartSample) {
        DeleteRun(run);
        messages->DisplayMsg(LAST_SAMPLE_NUMBER_REACHED);
        RestoreIdleControls();
        return;
    }
    receiveBuffer->firstSampleNo = int32_t(first);
    run->firstSampleNo = int32_t(first);

    ui->RunButton->setEnabled(false);
    ui->StopButton->setEnabled(true);

    auto refuse = [&](messageCode_e code, bool closeInstrument) {
        DeleteRun(run);
        if (closeInstrument)
            hwWrapper->StopLoggerHW();
        messages->DisplayMsg(code);
        RestoreIdleControls();
    };

    ConfigureHWSettings();
    if (hwWrapper->StartLoggerHW(hwSettings) != 0) {
        refuse(HW_NOT_FOUND, false);
        return;
    }
    // Right after the start, not after the files are ready: what the instrument samples
    // while they are prepared belongs to the run.
    hwWrapper->DiscardData();
    // Emptied before the backup is: the rows it holds are in the backup by now, and they
    // must not be taken for a run the backup lacks once the backup is emptied.
    ReopenFile(tempFile, tempFilePath, false);
    tempReadPos = 0;
    tempRowsFrom = 0;
    tempRows.Reset();
    startInfoPending = false;
    if (!tempFile) {
        refuse(TEMP_FILE_OPENED, true);
        return;
    }
    // The backup is written through other handles from here on.
    Utility::CloseFile(backupFile);
    if (backupResetPending) {
        // The backup may hold the only copy of runs logged before the program last ended.
        if (!backupMirrorsChart && Utility::KeepBeforeEmptying(backupFilePath, PreviousBackupPath()) != 0) {
            refuse(FILE_SAVE_FAILED, true);
            return;
        }
        QFile *fresh = Utility::OpenFile(backupFilePath, false);
        if (!fresh) {
            refuse(BACKUP_FILE_OPENED, true);
            return;
        }
        backupResetPending = false;
        fresh->close();
        delete fresh;
        backupIndex.Reset();
    } else {
        // A run cut short by a failed write (a full disk) may have left half a line: the
        // new run must not be glued onto it. Should this fail, the first block's write
        // reports it.
        Utility::CutBrokenTail(backupFilePath);
    }
    SetBackupMirrorsChart(false);   // the backup takes this run's rows

    plotMgr->DisplayStatus(true, config->testMode);
    WriteFailureRelay::Instance().window = this;
    ++runNumber;
    startBlockWritten = false;
    startBlockInTemp = false;
    writeFailed = false;
    backupBehind = false;
    displayStarted = false;
    loggingActive = true;
    UpdateSliderEnabled();
    runList->append(run);
    plotMgr->runList = runList;

    if (!pollThread) {
        pollThread = new PollThread();
        pollThread->SetClient(this);
    }
    pollThread->Initialize(hwWrapper, receiveBuffer, config,
                           std::max(run->chA.receivedBase, run->chB.receivedBase));
    if (!displayThread) {
        displayThread = new DisplayThread();
        displayThread->SetClient(this);
    }
    displayThread->Initialize(plotMgr, config, runList, displayBuffer);
    pollThread->start();

    if (config->dataFormat == 0) {
        rawDataWindow->UpdateCount(0.0);
        rawDataWindow->show();
    }
    yControlsWindow->DisableControls();
}

void LoggerMainWindow::ConfigureHWSettings()
{
    *hwSettings = Scope_SetFeatures();
    const YSettings &ys = config->ySettings;
    hwSettings->channelsOn = (config->chAEnabled ? 1 : 0) + (config->chBEnabled ? 2 : 0);
    hwSettings->dcCoupling = (ys.chASaturation.signalType == 0 ? 1 : 0) + (ys.chBSaturation.signalType == 0 ? 2 : 0);
    hwSettings->blockMode = 0;
    hwSettings->testMode = config->testMode ? 1 : 0;
    hwSettings->fastMode = 0;
    hwSettings->rangeA = (unsigned char)ys.chASaturation.voltage;
    hwSettings->x10A = ys.chASaturation.multiplier == 1 ? 1 : 0;
    hwSettings->rangeB = (unsigned char)ys.chBSaturation.voltage;
    hwSettings->x10B = ys.chBSaturation.multiplier == 1 ? 1 : 0;
    hwSettings->timeBaseCode = 1;
    hwSettings->clockDivider = ClockDivider(config->sampleInterval, config->intervalUnit);
    qCDebug(lcRun) << "ADC Frequency: " << 60000000.0 / (double(hwSettings->clockDivider) + 1.0) << "Hz";
}

unsigned int LoggerMainWindow::ClockDivider(double interval, SampIntervalUnit unit)
{
    const double us = Utility::ConvertToMicroSec(interval, unit);
    if (us <= 100000.0) {
        const double f = 1.0 / us;
        return (unsigned int)std::trunc((60.0 - f) / f);
    }
    // Slower intervals: the instrument samples once per interval, so that every row is
    // one interval after the one before (a 1 Hz clock polled every 200 ms gave rows
    // a second apart numbered as if 200 ms apart). The divider field holds up to about
    // 71 s; beyond that the instrument runs at 1 Hz and each block gives one row.
    const double divider = std::round(60.0 * us) - 1.0;
    return divider <= double(UINT_MAX) ? (unsigned int)divider : 59999999u;
}

// ---- Block hand-over (first block in the poll thread, later ones in the GUI thread) -----

void LoggerMainWindow::NotifyMain()
{
    // The first block of a run may be handed over in the poll thread: everything it sets
    // up is published by the store of displayStarted at its end, which every later
    // hand-over (and the stop) reads first.
    const bool firstBlock = displayThread && loggingActive && !displayStarted.load(std::memory_order_acquire);

    // Past the last sample number the chart can show nothing is kept; the run is stopped
    // in the GUI thread, as a failed write stops it.
    if (CutAtLastSampleNumber(receiveBuffer) && lastNumberRun.exchange(runNumber.load()) != runNumber.load())
        WriteFailureRelay::Instance().Post(LAST_SAMPLE_NUMBER_REACHED, runNumber.load());

    if (firstBlock) {
        // The run record is the GUI thread's (a zoom may draw its labels meanwhile): what
        // this block tells about it waits in startInfo for TakeStartInfo.
        startInfo = LoggerData();
        GetStartInfo(&startInfo);
        startInfoPending = true;
        // Before the block reaches "temp.csv": rows found there after a kill then always
        // have their run's start block in the backup.
        ReopenFile(backupFile, backupFilePath, true);
        if (!backupFile || Utility::SaveStartInfo(backupFile, &startInfo, startInfo.intervalUnit) != 0) {
            backupBehind = true;
            ReportWriteFailure(BACKUP_FILE_OPENED);
            // It heads "temp.csv" instead, before the rows: whatever ends the program, the
            // recovery finds it there and adds it to the backup with them.
            if (Utility::SaveStartInfo(tempFile, &startInfo, startInfo.intervalUnit) == 0) {
                startBlockInTemp = true;
                tempReadPos = tempRowsFrom = tempFile->pos();
                tempRows.Reset(tempReadPos);
            }
        } else {
            startBlockWritten = true;
        }
    }

    // Rows of a run whose start block is on no file could never be added to the backup:
    // none go into "temp.csv" (the run stops, and is said to be lost).
    QByteArray written;
    if (!startBlockWritten && !startBlockInTemp) {
        ReportWriteFailure(FILE_SAVE_FAILED);
    } else if (SaveTemporaryData(tempFile, receiveBuffer, tempRows.Keeping() ? &written : nullptr) != 0) {
        ReportWriteFailure(FILE_SAVE_FAILED);
        // What reached the file is not known: the rows are read back from it.
        tempRows.Abandon();
    } else {
        tempRows.Append(written);
    }
    if (!firstBlock) {
        LoggerData *run = runList->last();
        if (config->chAEnabled)
            run->chA.missedSamples = receiveBuffer->chA.missedSamples;
        if (config->chBEnabled)
            run->chB.missedSamples = receiveBuffer->chB.missedSamples;
    }

    if (firstBlock) {
        displayThread->start();
        displayThread->Notify();
        displayStarted.store(true, std::memory_order_release);
    }
}

void LoggerMainWindow::TakeStartInfo()
{
    if (!startInfoPending || runList->isEmpty())
        return;
    startInfoPending = false;
    LoggerData *run = runList->last();
    run->startDate = startInfo.startDate;
    run->startTime = startInfo.startTime;
    run->sampleInterval = startInfo.sampleInterval;
    run->intervalUnit = startInfo.intervalUnit;
    if (config->chAEnabled)
        run->chA.missedSamples = receiveBuffer->chA.missedSamples;
    if (config->chBEnabled)
        run->chB.missedSamples = receiveBuffer->chB.missedSamples;
}

void LoggerMainWindow::InstrumentStopped()
{
    // A stop handled before this one (the user's, a failed write's) leaves nothing to say.
    if (!loggingActive)
        return;
    StopLogger();
    isIOError = false;
    // Said once the run is closed: its files are complete by now.
    messages->DisplayMsg(INSTRUMENT_STOPPED);
}

void LoggerMainWindow::ReportWriteFailure(messageCode_e code)
{
    // Logging on into a file that takes nothing would lose every later row: the run is
    // stopped (in the GUI thread, after the tick that failed) and the message shown, once.
    if (writeFailed.exchange(true))
        return;
    WriteFailureRelay::Instance().Post(code, runNumber.load());
}

SampIntervalUnit LoggerMainWindow::GetStartInfo(LoggerData *run)
{
    run->startDate = Utility::GetDate();
    run->startTime = Utility::GetTime();
    run->sampleInterval = config->sampleInterval;
    run->intervalUnit = config->intervalUnit;
    return run->intervalUnit;
}

void LoggerMainWindow::GetStopInfo(LoggerData *run)
{
    qCDebug(lcRun) << "GetStopInfo BEGIN";
    run->stopDate = Utility::GetDate();
    run->stopTime = Utility::GetTime();
    run->dataUnit = config->ySettings.yUnit == 1 ? QStringLiteral("V") : QStringLiteral("mV");
    qCDebug(lcRun) << "GetStopInfo END";
}

int LoggerMainWindow::SaveTemporaryData(QFile *file, LoggerData *data, QByteArray *written)
{
    if (written)
        written->clear();
    if (!data)
        return 0;
    int count = 0;
    if (config->chAEnabled && data->chA.values)
        count = int(data->chA.values->yValues.size());
    else if (config->chBEnabled && data->chB.values)
        count = int(data->chB.values->yValues.size());
    if (count == 0)
        return 0;
    return Utility::SaveLoggerData(file, data->chA.values, data->chB.values, data->memo, count, written);
}

void LoggerMainWindow::SaveOutputDataToFile(LoggerData *data)
{
    // After a failed write the rows wait in "temp.csv": later ones would leave a gap.
    if (backupBehind)
        return;
    // Where the rows land: the handle appends, and its position is the end it wrote last.
    const qint64 at = backupFile && backupFile->isOpen() ? backupFile->pos() : -1;
    if (SaveTemporaryData(backupFile, data, &rowBytes) != 0) {
        backupBehind = true;
        ReportWriteFailure(FILE_SAVE_FAILED);
    }
    // The index follows the rows as they are written, from the bytes just written (the
    // file is read only when the index is behind it), so the first move of the X window
    // after a run does not scan the whole backup.
    else if (!rowBytes.isEmpty() && !backupIndex.Appended(at, rowBytes))
        backupIndex.Update(backupFilePath);
}

void LoggerMainWindow::ReadMoreSampleData(QVector<LoggerData *> *list, int count)
{
    // The rows the file holds from tempReadPos on, the newest from memory.
    tempRows.Read(tempFile, tempReadPos, count, list);
}

// ---- Stop -------------------------------------------------------------------------------

void LoggerMainWindow::StopLogger()
{
    // A stop queued behind another (an I/O error after a Stop click) finds nothing to do.
    if (!loggingActive)
        return;

    ui->StopButton->setEnabled(false);
    ui->RunButton->setEnabled(true);
    ui->action_Start->setEnabled(true);
    ui->action_Stop->setEnabled(false);
    ui->action_Scope_Mode->setEnabled(true);
    EnableButtonsWhileLogging();
    xControlsWindow->EnableTextFields();
    yControlsWindow->EnableControls();
    ui->action_Close->setEnabled(true);
    ui->action_Track_Data_Logger->setEnabled(true);
    settingsWindow->DisableSettings(false);
    SetTicked(ui->action_Start, false);
    SetTicked(ui->action_Stop, true);

    if (pollThread) {
        // What the instrument sampled since the last fetch (up to a poll period, a whole
        // interval for the slow ones) belongs to the run: one last fetch takes it. Before
        // the first hand-over the poll thread's own first fetch is left alone.
        if (!writeFailed && !isIOError && displayStarted.load(std::memory_order_acquire))
            pollThread->GetData();
        // No new fetch from here on; a first block being handed over in the poll thread
        // is finished before the run is taken apart.
        pollThread->RequestStop();
        std::lock_guard lock(pollThread->FetchLock());
    }
    loggingActive = false;
    UpdateSliderEnabled();
    // Pairs with the store at the end of the first hand-over: what it set up (start
    // information, backup file) is seen from here on.
    if (displayStarted.load(std::memory_order_acquire))
        TakeStartInfo();   // a stop may come before drawing began
    if (displayThread)
        displayThread->StopThread();
    if (pollThread)
        pollThread->StopThread();
    SaveRemainingData();
    displayStarted = false;

    if (runList->isEmpty()) {
        Utility::CloseFile(backupFile);
        Utility::CloseFile(tempFile);
        return;
    }

    LoggerData *last = runList->last();
    GetStopInfo(last);
    maxScroll = HighestSampleNo();
    // Tracking left the slider a window ahead: End would show the empty window after the run.
    PlaceSliderAtWindow(this);

    for (ChannelRecord *ch : {&last->chA, &last->chB}) {
        const int n = ch->totalSamples;
        if (n > 0 && ch->values && int(ch->values->xValues.size()) > n) {
            qCDebug(lcRun) << (ch == &last->chA ? "ChA" : "ChB");
            ch->values->xValues.resize(size_t(n));
            if (int(ch->values->yValues.size()) > n)
                ch->values->yValues.resize(size_t(n));
        }
    }
    plotMgr->DisplayStopInfo(runList, false);

    if (hwWrapper->StopLoggerHW() != 0)
        messages->DisplayMsg(HW_STOP_FAILED);

    if (!startBlockWritten && !startBlockInTemp) {
        // Stopped before its first block, or its start block could not be written anywhere
        // then: the run still gets its start and stop blocks, so that the backup file holds
        // every run of the chart in order.
        ReopenFile(backupFile, backupFilePath, true);
        if (last->startDate.isEmpty()) {
            last->startDate = last->stopDate;
            last->startTime = last->stopTime;
        }
        if (backupFile && Utility::SaveStartInfo(backupFile, last, last->intervalUnit) == 0)
            startBlockWritten = true;
    }
    // The stop block counts the rows the backup holds: it is written after the last of them.
    if (!backupBehind && startBlockWritten && Utility::SaveStopInfo(backupFile, last) != 0 && backupFile) {
        backupBehind = true;
        ReportWriteFailure(FILE_SAVE_FAILED);
    }
    Utility::CloseFile(backupFile);
    Utility::CloseFile(tempFile);
    // Every row goes into "temp.csv" first: a run none of whose rows reached it, and that
    // the backup does not hold closed (as a run without rows), is on no file.
    if (QFileInfo(tempFilePath).size() <= tempRowsFrom && (backupBehind || !startBlockWritten)) {
        DropLostRun(last);
        last = nullptr;
    }
    if (backupBehind) {
        // The rows the backup lacks wait in "temp.csv", as a killed run's do (after the start
        // block, when that is missing too), and are added with the stop block when the backup
        // can take them. Of a run dropped, a start block alone goes, as for any run without rows.
        rowsWaiting = true;
        rowsWaitTold = false;
        waitingRun = last;
        AddWaitingRows();
    }
    // Nothing was drawn in the raw format: the window is read back from where the rows are
    // now, once they are known to wait.
    if (config->dataFormat == 0) {
        qCDebug(lcRun) << "[STOP_RAW]last count: "
                       << (last && last->chA.values ? int(last->chA.values->xValues.size()) : 0);
        rawDataWindow->close();
        ClearDisplayBuffer();
        ReadDataForScrolling(runList, config->xSettings.sampleMin, config->xSettings.sampleMax);
        plotMgr->DisplaySignal(runList, false);
        plotMgr->DisplayStartInfo(runList, true);
        plotMgr->DisplayStopInfo(runList, true);
    }

    plotMgr->DisplayStatus(false, false);
    delete pollThread;
    pollThread = nullptr;
    delete displayThread;
    displayThread = nullptr;

    StartElapseTimer();
    tempReadPos = 0;
    reloadPending = true;
    // An open information window shows the run's final figures, not the last pass's.
    UpdateChartInfo();
}

void LoggerMainWindow::DropLostRun(LoggerData *run)
{
    // Kept on the chart, it would take the place of the next run the backup holds, whose
    // rows would then be drawn as its own.
    if (displayBuffer->size() == runList->size())
        DeleteRun(displayBuffer->takeLast());
    runList->removeOne(run);
    DeleteRun(run);
    plotMgr->runList = runList;
    plotMgr->DisplayStartInfo(runList, true);
    plotMgr->DisplayStopInfo(runList, true);
    WriteFailureRelay::Instance().Post(RUN_NOT_SAVED, runNumber.load());
}

int LoggerMainWindow::HighestSampleNo() const
{
    qint64 highest = 0;
    for (const LoggerData *run : *runList) {
        const int total = std::max(run->chA.totalSamples, run->chB.totalSamples);
        if (total > 0)
            highest = std::max(highest, qint64(run->firstSampleNo) + total - 1);
    }
    return int(std::min(highest, MaxChartSample));
}

void LoggerMainWindow::SaveRemainingData()
{
    // Whatever the ticks had not passed on yet (rows of "temp.csv") still goes to the chart
    // and the backup, in every data format: the drawing thread's last passes, once.
    if (displayThread)
        displayThread->FinishRun();
}

// ---- Paging rows back -------------------------------------------------------------------

QVector<LoggerData *> *LoggerMainWindow::GetDisplayBuffer()
{
    if (reloadPending && !chartFileLoaded) {
        for (LoggerData *run : *runList)
            EmptyRecord(run);
        ReadDataForScrolling(runList, config->xSettings.sampleMin, config->xSettings.sampleMax);
        reloadPending = false;
    }
    return runList;
}

void LoggerMainWindow::ReadDataForScrolling(QVector<LoggerData *> *list, int first, int last)
{
    if (runList->isEmpty())
        return;
    runList->last()->drawTicks = -1;
    // The index tells where the rows from `first` on begin, so that a move of the X window
    // costs the rows it shows, not the length of the file.
    int runIndex = 0;
    qint64 position = 0;
    RunRows::Judge rules;
    // The chart's last run may be the one whose rows wait: they are all in "temp.csv", the
    // backup holds some or none of them. The backup's rows stop at the runs before it.
    LoggerData *waiting = RowsWaitInTemp(list->last()) ? list->last() : nullptr;
    QVector<LoggerData *> backed = *list;
    if (waiting)
        backed.removeLast();
    [&] {
        // The first block of a run replaces the backup's handle in the poll thread, under the
        // fetch lock: every use of the handle here is under it too.
        std::unique_lock<std::recursive_mutex> lock;
        if (pollThread)
            lock = std::unique_lock<std::recursive_mutex>(pollThread->FetchLock());
        if (!backupFile)
            backupFile = new QFile(backupFilePath);
        if (!backupFile->isOpen() && !backupFile->open(QIODevice::ReadWrite | QIODevice::Append))
            return;
        backupFile->flush();
        if (backupIndex.Update(backupFilePath) && backupIndex.Locate(backupFilePath, first, runIndex, position, rules))
            Utility::ReadSamplesFromFile(backupFile, position, 0, last, &backed, true, runIndex, &rules);
    }();
    if (!waiting)
        return;
    QFile temp(tempFilePath);
    rules = RunRows::Judge();
    if (tempIndex.Update(tempFilePath) && tempIndex.Locate(tempFilePath, first, runIndex, position, rules)
        && temp.open(QIODevice::ReadOnly)) {
        QVector<LoggerData *> own{waiting};
        Utility::ReadSamplesFromFile(&temp, position, 0, last, &own, true, 0, &rules);
    }
}

void LoggerMainWindow::ClearDisplayBuffer()
{
    for (LoggerData *run : *runList)
        EmptyRecord(run);
    plotMgr->ClearChA();
    plotMgr->ClearChB();
}

void LoggerMainWindow::StoreToDisplayBuffer()
{
    if (runList->isEmpty())
        return;
    LoggerData *run = runList->last();
    const DataValues *inA = receiveBuffer->chA.values;
    const DataValues *inB = receiveBuffer->chB.values;
    if ((inA && !inA->xValues.empty()) || (inB && !inB->xValues.empty())) {
        for (int ch = 0; ch < 2; ++ch) {
            const DataValues *in = ch == 0 ? inA : inB;
            DataValues *out = ch == 0 ? run->chA.values : run->chB.values;
            if (!in || !out)
                continue;
            out->xValues.insert(out->xValues.end(), in->xValues.begin(), in->xValues.end());
            out->yValues.insert(out->yValues.end(), in->yValues.begin(), in->yValues.end());
        }
        run->chA.blockSamples += receiveBuffer->chA.blockSamples;
        run->chB.blockSamples += receiveBuffer->chB.blockSamples;
        run->chA.missedSamples += receiveBuffer->chA.missedSamples;
        run->chB.missedSamples += receiveBuffer->chB.missedSamples;
    }
    run->memo.insert(run->memo.end(), receiveBuffer->memo.begin(), receiveBuffer->memo.end());
}

// ---- New chart, restore -----------------------------------------------------------------

void LoggerMainWindow::ClearScreen()
{
    chartFileLoaded = false;
    StopElapseTimer();
    elapseCount = 0;
    backupResetPending = true;

    plotMgr->ClearArea();
    ClearLoggerData();
    for (AlertEntry &alert : config->alertSettings.alerts)
        alert.fired = false;
    plotMgr->ClearMemoList();
    ui->horizontalSlider->setMinimum(0);
    ui->horizontalSlider->setValue(0);

    // Both ranges go back to the start, whichever axis is shown: the one not shown still
    // drives tracking and would hold the chart at the old position.
    XSettings &xs = config->xSettings;
    xs.timeMin = 0.0;
    xs.timeMax = 100.0 * Utility::ConvertToSec(config->sampleInterval, config->intervalUnit);
    xs.sampleMin = 0;
    xs.sampleMax = 100;
    plotMgr->UpdateXAxis();
    SetAxesLabels();   // the axes panel would still show the old chart's range

    if (AddWaitingRows()) {
        ReopenFile(tempFile, tempFilePath, false);
        Utility::CloseFile(tempFile);
    }
    tempReadPos = 0;

    plotMgr->UpdateChLabelsPosition();
    plotMgr->UpdateStatusLabelPosition();
    ShowChartInSideWindows();
}

void LoggerMainWindow::RestoreBackup()
{
    if (loggingActive)
        return;   // the backup is being written by the run
    const int failure = OpenChartFile(backupFilePath);
    if (failure == 0) {
        currentChartPath = backupFilePath;
        AppendToWindowSubMenu(backupFilePath);
        ui->action_Clear_Screen->setEnabled(false);
        ui->sampleInterval->setEnabled(false);
        ui->timeUnit->setEnabled(false);
    } else if (failure != NotAChart) {
        TellOpenFailure(failure, backupFilePath);
    } else {
        messages->DisplayMsg(NO_PREVIOUS_DATA);
    }
}

void LoggerMainWindow::SetRestoreBackupState(bool enabled)
{
    ui->action_Restore_Backup->setEnabled(enabled && !loggingActive);
}

// ---- Intervals counted while stopped ----------------------------------------------------

void LoggerMainWindow::StartElapseTimer()
{
    elapseCount = 0;
    elapseIntervalMs = int(std::trunc(Utility::ConvertToMilliSec(config->sampleInterval, config->intervalUnit)));
    elapseClock.start();
}

void LoggerMainWindow::StopElapseTimer()
{
    elapseIntervalMs = 0;
    elapseClock.invalidate();
}

// ---- Controls -----------------------------------------------------------------------------

namespace {
// The controls that change what a run logs: locked while it runs.
void EnableRunSetup(Ui_LoggerMainWindow *ui, bool on)
{
    for (QWidget *widget : {static_cast<QWidget *>(ui->sampleInterval), static_cast<QWidget *>(ui->timeUnit),
                            static_cast<QWidget *>(ui->chAButton), static_cast<QWidget *>(ui->chBButton),
                            static_cast<QWidget *>(ui->TestModeButton)})
        widget->setEnabled(on);
    for (QAction *action : {ui->action_Channel_A, ui->action_Channel_B, ui->action_TestMode, ui->action_Clear_Screen})
        action->setEnabled(on);
}
}   // namespace

void LoggerMainWindow::DisableButtonsWhileLogging()
{
    EnableRunSetup(ui, false);
    // Restoring would replace the chart the run is drawing on: refused until Stop.
    ui->action_Restore_Backup->setEnabled(false);
}

void LoggerMainWindow::EnableButtonsWhileLogging()
{
    EnableRunSetup(ui, true);
    ui->action_Restore_Backup->setEnabled(config->backup);
}

void LoggerMainWindow::SetChannelA()
{
    const bool on = !config->chAEnabled;
    SetTicked(ui->action_Channel_A, on);
    ui->chAButton->setStyleSheet(ChannelButtonStyle(on, config->colorSettings.chAColorName));
    config->chAEnabled = on;
}

void LoggerMainWindow::SetChannelB()
{
    const bool on = !config->chBEnabled;
    SetTicked(ui->action_Channel_B, on);
    ui->chBButton->setStyleSheet(ChannelButtonStyle(on, config->colorSettings.chBColorName));
    config->chBEnabled = on;
}

void LoggerMainWindow::SetTestMode()
{
    const bool on = !config->testMode;
    SetTicked(ui->action_TestMode, on);
    config->testMode = on;
    ui->TestModeButton->setChecked(on);
    plotMgr->DisplayStatus(loggingActive, on);
}

void LoggerMainWindow::on_TestModeButton_clicked()
{
    SetTestMode();
}

void LoggerMainWindow::UpdateRawCountDisplay(double count)
{
    rawDataWindow->UpdateCount(count);
}

// ---- Sample interval ----------------------------------------------------------------------

namespace {
// The slowest sample clock the divider gives (60 MHz / 2^32, about 71.6 s) in whole
// milliseconds. A slower interval could only be paced by the poll timer, not by the
// instrument, and would need more digits than the CSV header has.
constexpr double MaxIntervalMs = 71582.0;

// A number of milliseconds in the given unit.
double FromMilliSec(double ms, SampIntervalUnit unit)
{
    switch (unit) {
    case Seconds:
        return Utility::ConvertToSec(ms, MilliSeconds);
    case MicroSeconds:
        return Utility::ConvertToMicroSec(ms, MilliSeconds);
    default:
        return ms;
    }
}

double MinimumInterval(SampIntervalUnit unit)
{
    return FromMilliSec(1.0, unit);
}
}   // namespace

void LoggerMainWindow::on_sampleInterval_editingFinished()
{
    const SampIntervalUnit unit = config->intervalUnit;
    const double value = ui->sampleInterval->text().toDouble();
    const double ms = Utility::ConvertToMilliSec(value, unit);
    if (!(ms >= 1.0)) {   // also catches text that is not a number
        static const char *const shown[] = {"0.001", "1.00000", "1000.00000"};
        ui->sampleInterval->setText(QString::fromLatin1(shown[unit == Seconds ? 0 : unit == MicroSeconds ? 2 : 1]));
        config->sampleInterval = MinimumInterval(unit);
    } else {
        // Larger ones are refused as smaller ones are: the field shows the bound it keeps.
        const double wholeMs = std::min(std::trunc(ms + 1e-9), MaxIntervalMs);
        config->sampleInterval = FromMilliSec(wholeMs, unit);
        ShowSampleInterval();
    }
    config->xSettings.timeMax = double(config->xSettings.sampleMax)
                                * Utility::ConvertToSec(config->sampleInterval, config->intervalUnit);
}

void LoggerMainWindow::on_timeUnit_activated(int)
{
    const QString text = ui->timeUnit->currentText();
    SampIntervalUnit unit = MilliSeconds;
    if (text == QLatin1String("s"))
        unit = Seconds;
    else if (text == QLatin1String("us"))
        unit = MicroSeconds;
    const double ms = std::min(Utility::ConvertToMilliSec(config->sampleInterval, config->intervalUnit), MaxIntervalMs);
    config->sampleInterval = std::max(FromMilliSec(ms, unit), MinimumInterval(unit));
    config->intervalUnit = unit;
    ShowSampleInterval();
}

void LoggerMainWindow::ShowSampleInterval()
{
    ui->sampleInterval->setText(QString::asprintf("%.5f", config->sampleInterval));
}

void LoggerMainWindow::CommitSampleInterval()
{
    // Text typed but not committed yet (the toolbar buttons take no focus, so the field
    // may still have it) is what the run logs at; an interval that came from the
    // configuration file goes through the same rules.
    const bool typed = ui->sampleInterval->isModified();
    const double ms = Utility::ConvertToMilliSec(config->sampleInterval, config->intervalUnit);
    const bool valid = ms >= 1.0 && ms <= MaxIntervalMs && std::fabs(ms - std::round(ms)) < 1e-6;
    if (!typed) {
        ShowSampleInterval();
        if (valid)
            return;
    }
    on_sampleInterval_editingFinished();
}

#include "LoggerMainWindow_run.moc"
