// Chart files, the Window menu, print and clipboard.
#include "LoggerMainWindow.h"

#include "ChartFileDialogs.h"
#include "MemoWindow.h"
#include "PollThread.h"
#include "Utility.h"
#include "XWindow.h"
#include "ui_LoggerMainWindow.h"

#include <QAction>
#include <QApplication>
#include <QBrush>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPen>
#include <QPrintDialog>
#include <QPrinter>
#include <QSaveFile>
#include <QStorageInfo>
#include <QTimer>
#include <QTemporaryFile>
#include <QThread>
#include <qwt_plot_marker.h>
#include <qwt_symbol.h>

#include <algorithm>
#include <climits>
#include <fcntl.h>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <mutex>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>

// ---- Dialogs ------------------------------------------------------------------------------

ChartFileDialogs &ChartFileDialogs::Instance()
{
    static ChartFileDialogs dialogs = [] {
        ChartFileDialogs d;
        d.Reset();
        return d;
    }();
    return dialogs;
}

void ChartFileDialogs::Reset()
{
    // The dialogs are made without parent: the logger window's style sheet would reach
    // them and cut their buttons. Placed over the window instead, and as large as the
    // windows' text needs (the size and date columns would be cut otherwise).
    const auto place = [](QDialog &dialog, QWidget *parent, QSize least) {
        dialog.setWindowModality(Qt::ApplicationModal);
        dialog.resize(dialog.sizeHint().expandedTo(least));
        if (parent) {
            QRect r = dialog.rect();
            r.moveCenter(parent->window()->frameGeometry().center());
            dialog.move(r.topLeft());
        }
    };
    const auto run = [place](QFileDialog &dialog, QWidget *parent) {
        place(dialog, parent, QSize(820, 500));
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                   ? dialog.selectedFiles().first()
                   : QString();
    };
    open = [run](QWidget *parent, const QString &caption, const QString &folder, const QString &filter) {
        QFileDialog dialog(nullptr, caption, folder, filter);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        return run(dialog, parent);
    };
    save = [run](QWidget *parent, const QString &caption, const QString &proposed, const QString &filters,
                 QString *selected) {
        QFileDialog dialog(nullptr, caption, proposed, filters);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        const QString name = run(dialog, parent);
        if (selected)
            *selected = dialog.selectedNameFilter();
        return name;
    };
    print = [place](QPrinter *printer, QWidget *parent) {
        QPrintDialog dialog(printer, nullptr);
        place(dialog, parent, QSize());
        return dialog.exec() == QDialog::Accepted;
    };
}

namespace {

const char *const WindowTitle = "Tamberlo for ZR70K33";

// The window's title while the chart of that Window menu entry is shown.
QString ChartTitle(const QString &name)
{
    return LoggerMainWindow::tr(WindowTitle) + QStringLiteral(" - (") + name + QStringLiteral(")");
}
const char *const SampleIcon = ":/images/Images/Icons/SampleSelect.jpg";

QString DocumentsFolder()
{
    return QDir::homePath() + QStringLiteral("/Documents/KestrimaIII/");
}

// The memo file belongs to a chart file: "_Memo" before the last four characters.
QString MemoPath(const QString &path)
{
    const int cut = std::max(0, int(path.size()) - 4);
    return path.left(cut) + QStringLiteral("_Memo") + path.mid(cut);
}

// One file, whatever path names it (links, "..", another spelling of the folder).
bool SameFile(const QString &a, const QString &b)
{
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

// A run CSV begins with its first run's start date.
bool HoldsRuns(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.read(11) == "Start Date:";
}

// Two files of one folder trade places at once; false where the system cannot do that.
bool ExchangeFiles(const QString &a, const QString &b)
{
#if defined(Q_OS_LINUX) && defined(RENAME_EXCHANGE)
    return renameat2(AT_FDCWD, QFile::encodeName(a).constData(), AT_FDCWD, QFile::encodeName(b).constData(),
                     RENAME_EXCHANGE)
           == 0;
#else
    Q_UNUSED(a);
    Q_UNUSED(b);
    return false;
#endif
}

// Where a file that replaces `target` is written until it is whole.
QString ReplacementTemplate(const QString &target)
{
    return QFileInfo(target).absolutePath() + QStringLiteral("/.") + QFileInfo(target).fileName()
           + QStringLiteral(".XXXXXX");
}

// A file written beside its target and put in the target's place only once it is whole,
// so that a failure (full disk, unreadable source) leaves the old target as it was.
class ReplacingFile {
public:
    // An empty target makes nothing.
    explicit ReplacingFile(const QString &target) : target(target), temp(ReplacementTemplate(target))
    {
        ok = !target.isEmpty() && temp.open();
    }

    bool IsOpen() const { return ok; }
    QFile &File() { return temp; }
    QString TempPath() const { return temp.fileName(); }

    bool Write(const char *data, qint64 size)
    {
        ok = ok && temp.write(data, size) == size;
        return ok;
    }

    // Puts the whole file in the target's place; false (target untouched) on any failure.
    // A target that holds runs is first kept as `keepAs`, when one is named.
    bool Commit(const QString &keepAs = QString())
    {
        if (!ok)
            return false;
        if (temp.isOpen()) {
            const bool flushed = temp.flush();
            temp.close();
            if (!flushed || temp.error() != QFileDevice::NoError)
                return false;
        }
        // On the disk before the rename: a power loss must not leave an empty target.
        if (!Utility::SyncToDisk(temp.fileName()))
            return false;
        // A replaced file keeps its permissions; a new one gets those of a file the
        // program makes.
        const QFileInfo old(target);
        QFile::setPermissions(temp.fileName(),
                              old.exists() ? old.permissions()
                                           : QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                 | QFileDevice::ReadGroup | QFileDevice::ReadOther);
        const QByteArray from = QFile::encodeName(temp.fileName());
        const QByteArray to = QFile::encodeName(target);
        if (!keepAs.isEmpty() && HoldsRuns(target)) {
            const QByteArray kept = QFile::encodeName(keepAs);
#ifdef Q_OS_WIN
            QFile::remove(keepAs);
#endif
            if (std::rename(to.constData(), kept.constData()) != 0)
                return false;
        }
#ifdef Q_OS_WIN
        QFile::remove(target);
#endif
        if (std::rename(from.constData(), to.constData()) != 0)
            return false;
        temp.setAutoRemove(false);
        return true;
    }

private:
    QString target;
    QTemporaryFile temp;
    bool ok = false;
};

// Copies up to `limit` bytes (all when negative) of `from` into `out`. Reports where the
// last run's column-title line begins, so that a run still being logged can be closed.
bool CopyBytes(const QString &from, ReplacingFile &out, qint64 limit, qint64 *lastHeader = nullptr)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    static const char header[] = "\nSample Number,";
    constexpr qint64 HeaderLen = sizeof header - 1;
    constexpr qint64 Chunk = 1 << 20;
    std::vector<char> buf(size_t(Chunk + HeaderLen));
    qint64 done = 0;
    qint64 carried = 0;   // the end of the previous chunk, for a title split between chunks
    if (lastHeader)
        *lastHeader = -1;
    for (;;) {
        const qint64 want = limit < 0 ? Chunk : std::min(Chunk, limit - done);
        if (want <= 0)
            break;
        const qint64 n = in.read(buf.data() + carried, want);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        if (!out.Write(buf.data() + carried, n))
            return false;
        if (lastHeader) {
            const char *b = buf.data();
            const char *e = b + carried + n;
            for (const char *p = b; (p = static_cast<const char *>(memmem(p, size_t(e - p), header, HeaderLen)));
                 ++p)
                *lastHeader = done - carried + qint64(p - b) + 1;
            carried = std::min<qint64>(HeaderLen - 1, carried + n);
            std::memmove(buf.data(), e - carried, size_t(carried));
        }
        done += n;
    }
    return limit < 0 || done == limit;
}

// The stop block of a run that is still being logged, as of now: its rows counted and
// measured from the copy, so that the block agrees with the rows the copy holds.
bool AppendStopBlock(ReplacingFile &out, qint64 headerPos)
{
    QFile &file = out.File();
    if (headerPos < 0 || !file.flush() || !file.seek(headerPos))
        return false;
    Utility::RowTotals totals;
    bool title = true;   // the first line is the column titles
    bool unended = false;
    if (!Utility::ForEachLine(&file, [&](const char *b, const char *e, bool overlong) {
            if (!title && !overlong)
                totals.Add(b, e);
            title = false;
            return true;
        }, &unended))
        return false;
    LoggerData run;
    totals.Fill(run);
    run.stopDate = Utility::GetDate();
    run.stopTime = Utility::GetTime();
    // A last row without its line end was counted: it gets one, and the block its empty line.
    return file.seek(file.size()) && (!unended || file.write("\n", 1) == 1)
           && Utility::SaveStopInfo(&file, &run) == 0;
}

// Joins the thread on every way out of a scope: one left joinable would end the program.
struct ThreadJoiner {
    std::thread &thread;
    ~ThreadJoiner()
    {
        if (thread.joinable())
            thread.join();
    }
};

// The runs' own rows written in the target's place.
bool WriteRuns(const QString &target, const QVector<LoggerData *> *runs, const QString &keepAs = QString())
{
    ReplacingFile out(target);
    if (!out.IsOpen())
        return false;
    out.File().close();
    return Utility::SaveToCSVFormat(out.TempPath(), runs, false) == 0 && out.Commit(keepAs);
}

bool WriteMemoFile(const QString &target, const QVector<QwtPlotMarker *> &markers)
{
    ReplacingFile out(target);
    if (!out.IsOpen())
        return false;
    out.File().close();
    return Utility::SaveMemoToCSVFormat(out.TempPath(), &markers) == 0 && out.Commit();
}

// A chart file's sample interval, taken only when the logger could run at it: a value
// that is not a positive number is refused, one below the unit's minimum is raised to it.
bool UsableInterval(double &interval, SampIntervalUnit unit)
{
    if (unit != Seconds && unit != MilliSeconds && unit != MicroSeconds)
        return false;
    if (!std::isfinite(interval) || !(interval > 0.0))
        return false;
    const double ms = Utility::ConvertToMilliSec(interval, unit);
    if (!(ms <= double(INT_MAX)))
        return false;   // no timer runs that slowly
    if (ms < 1.0)
        interval = unit == Seconds ? 0.001 : unit == MicroSeconds ? 1000.0 : 1.0;
    return true;
}

}   // namespace

// ---- The backup's own files ----------------------------------------------------------------

namespace {
// What the backup file is now, as the note about it records it: its size and last write.
QByteArray BackupStamp(const QString &path)
{
    const QFileInfo info(path);
    return QByteArray::number(info.size()) + ' ' + QByteArray::number(info.lastModified().toMSecsSinceEpoch());
}
}   // namespace

QString LoggerMainWindow::BackupNotePath() const
{
    return QFileInfo(backupFilePath).absolutePath() + QStringLiteral("/tamberlo_backup_source.txt");
}

QString LoggerMainWindow::PreviousBackupPath() const
{
    return QFileInfo(backupFilePath).absolutePath() + QStringLiteral("/tamberlo_backup_previous.csv");
}

void LoggerMainWindow::SetBackupMirrorsChart(bool mirrors, const QString &chart)
{
    backupMirrorsChart = mirrors;
    if (!mirrors) {
        QFile::remove(BackupNotePath());
        return;
    }
    // Written once the copy is in place; a note that does not describe the backup as it is
    // counts for nothing, so a program killed in between takes the copy for logged runs.
    QSaveFile note(BackupNotePath());
    if (note.open(QIODevice::WriteOnly)) {
        note.write(BackupStamp(backupFilePath) + '\n' + chart.toUtf8() + '\n');
        note.commit();
    }
}

bool LoggerMainWindow::AddWaitingRows()
{
    if (rowsWaiting) {
        // Closed as the chart shows the run, when it does.
        Utility::CutRun found;
        rowsWaiting = !backupMirrorsChart
                      && Utility::KeepRowsOfCutRun(backupFilePath, tempFilePath, &found, waitingRun) != 0;
        rowsWaitBytes = found.bytesToAdd;
        if (found.closed) {
            backupIndex.Reset();   // its last lines were written anew
            if (waitingRun) {
                // The chart's record counts the rows as the backup now holds them, so that
                // the next run's sample numbers follow them.
                for (int c = 0; c < 2; ++c) {
                    const ChannelRecord &from = c == 0 ? found.totals.chA : found.totals.chB;
                    ChannelRecord &to = c == 0 ? waitingRun->chA : waitingRun->chB;
                    to.totalSamples = from.totalSamples;
                    to.missedSamples = from.missedSamples;
                    to.minValue = from.minValue;
                    to.maxValue = from.maxValue;
                }
                maxScroll = HighestSampleNo();
                UpdateChartInfo();
            }
        }
    }
    if (!rowsWaiting) {
        // The chart's rows of that run are the same in the backup: nothing is read again.
        waitingRun = nullptr;
        tempIndex.Reset();
        if (rowsWaitRetry)
            rowsWaitRetry->stop();
        return true;
    }
    if (!rowsWaitRetry) {
        // Added as soon as the disk takes them, the program idle or not: tried again once
        // the folder has room for what is missing, less often while that fails all the same
        // (a file that cannot be written for another reason).
        rowsWaitRetry = new QTimer(this);
        connect(rowsWaitRetry, &QTimer::timeout, this, [this] {
            if (loggingActive || QStorageInfo(QFileInfo(backupFilePath).absolutePath()).bytesAvailable() <= rowsWaitBytes)
                return;
            if (!AddWaitingRows())
                rowsWaitRetry->setInterval(std::min(rowsWaitRetry->interval() * 2, 300000));
        });
    }
    if (!rowsWaitRetry->isActive()) {
        rowsWaitRetry->setInterval(5000);
        rowsWaitRetry->start();
    }
    return false;
}

void LoggerMainWindow::TellRowsWaiting()
{
    if (!rowsWaiting || rowsWaitTold)
        return;
    rowsWaitTold = true;
    messages->DisplayMsg(ROWS_WAITING_FOR_BACKUP, QDir::toNativeSeparators(backupFilePath));
}

// ---- Open -----------------------------------------------------------------------------

void LoggerMainWindow::InitChartFiles()
{
    // Whether the backup holds logged runs or only the copy of a chart opened before the
    // program last ended. Without a note that describes it as it is, it holds runs.
    QFile note(BackupNotePath());
    backupMirrorsChart = note.open(QIODevice::ReadOnly) && note.readLine(256).trimmed() == BackupStamp(backupFilePath);
    note.close();
    if (!backupMirrorsChart)
        note.remove();
    AddWaitingRows();

    // A program killed while it copied a chart into the backup's place left the copy, as
    // large as the chart: it is part of a file that exists elsewhere, and only fills the disk.
    // No other program uses the folder meanwhile.
    QString pattern = QFileInfo(ReplacementTemplate(backupFilePath)).fileName();
    pattern.replace(pattern.size() - 6, 6, QStringLiteral("??????"));
    QDir folder = QFileInfo(backupFilePath).absoluteDir();
    for (const QString &name : folder.entryList({pattern}, QDir::Files | QDir::Hidden | QDir::System))
        folder.remove(name);

    // While a run logs, the charts cannot be switched: the entries show it.
    connect(ui->menu_File, &QMenu::aboutToShow, this, [this] { ui->action_Load->setEnabled(!loggingActive); });
    // Ctrl+O must not stay dead after the run: the open itself refuses while logging.
    connect(ui->menu_File, &QMenu::aboutToHide, this, [this] { ui->action_Load->setEnabled(true); });
    connect(ui->menu_Window, &QMenu::aboutToShow, this, [this] {
        ui->action_Data1->setEnabled(!loggingActive);
        if (windowMenuEntries[1].action)
            windowMenuEntries[1].action->setEnabled(!loggingActive);
    });
}

void LoggerMainWindow::on_OpenButton_clicked()
{
    if (loggingActive)
        return;   // the runs on screen are being logged into
    const QString path = ChartFileDialogs::Instance().open(this, tr("Open"), DocumentsFolder(), tr("CSV (*.csv)"));
    if (path.isEmpty())
        return;
    if (const int failure = OpenChartFile(path)) {
        TellOpenFailure(failure, path);
        return;
    }
    currentChartPath = path;
    chartFileLoaded = true;
    AppendToWindowSubMenu(path);
    ui->action_Clear_Screen->setEnabled(false);
    ui->sampleInterval->setEnabled(false);
    ui->timeUnit->setEnabled(false);
}

void LoggerMainWindow::TellOpenFailure(int failure, const QString &path)
{
    if (failure == TooLarge)
        messages->DisplayMsg(OUT_OF_MEMORY, tr("%1 is too large to open.").arg(QDir::toNativeSeparators(path)));
    else
        messages->DisplayMsg(failure == SamplesNotShowable ? SAMPLE_NUMBERS_NOT_SHOWABLE : FILE_OPEN_FAILED);
}

int LoggerMainWindow::OpenFile(QString path)
{
    if (loggingActive)
        return NotAChart;

    // The backup file holds the chart shown, so that saving copies it. The copy is made
    // beside it while the chart is read, and replaces it only when whole and only when the
    // file really was a chart.
    // While rows wait to be added to the backup, the backup stays where it is: the chart is
    // shown from memory. The backup itself is read once they are added, when they can be.
    const bool isBackup = SameFile(path, backupFilePath);
    const bool mirror = AddWaitingRows() && !isBackup;
    // The previous backup gets the backup's runs in its place: its copy is then their
    // only one. The two files trade places by a rename, bytes whole, when they can.
    const bool onlyCopy = SameFile(path, PreviousBackupPath());
    const bool trade = mirror && onlyCopy && !backupMirrorsChart && HoldsRuns(backupFilePath);
    ReplacingFile copy(mirror ? backupFilePath : QString());
    bool copied = false;
    QVector<LoggerData *> runs;
    Utility::ChartReadReport report;
    int loaded = 1;
    {
        std::thread copier;
        const ThreadJoiner joiner{copier};
        if (mirror && !trade && copy.IsOpen()) {
            try {
                copier = std::thread([&] {
                    try {
                        copied = CopyBytes(path, copy, -1);
                    } catch (...) {
                        copied = false;   // out of memory: the runs are written out instead
                    }
                });
            } catch (const std::system_error &) {
                // no thread to be had: the same
            }
        }
        loaded = Utility::LoadValues(path, &runs, &report);
    }
    if (loaded == 2)
        return TooLarge;
    // A file that holds no run is no chart (an image, any other file); an empty file is
    // an empty chart.
    if (loaded != 0 || (runs.isEmpty() && QFileInfo(path).size() > 0)) {
        DeleteRuns(runs);
        return NotAChart;
    }
    if (report.largestSampleNo > MaxChartSample) {
        DeleteRuns(runs);
        return SamplesNotShowable;
    }

    ClearScreen();   // empties the run list
    runList->swap(runs);
    unmirroredChart = nullptr;

    if (!runList->isEmpty() && !isBackup) {
        bool mirrored = false;
        if (mirror) {
            if (backupFile)
                Utility::CloseFile(backupFile);
            // The runs the backup held may be the only copy of a run logged before the
            // program last ended: they are kept once more, as the start of a run keeps them.
            // A copy of an opened chart is not: it would push out those runs.
            const QString previous = backupMirrorsChart ? QString() : PreviousBackupPath();
            if (onlyCopy) {
                // Never written anew from the rows read: the rows the reader left out would
                // be lost with the file that held them.
                mirrored = (trade && ExchangeFiles(path, backupFilePath))
                           || ((copied || (trade && CopyBytes(path, copy, -1))) && copy.Commit(previous));
            } else {
                // A file with rows left out is not copied: the backup holds the rows shown.
                mirrored = report.rowsLeftOut == 0 && copied && copy.Commit(previous);
                if (!mirrored)
                    mirrored = WriteRuns(backupFilePath, runList, previous);
            }
        }
        if (mirrored) {
            backupIndex.Reset();
            SetBackupMirrorsChart(!onlyCopy, QFileInfo(path).absoluteFilePath());
        } else {
            // Its rows are only in memory: nothing may page rows in from the backup.
            unmirroredChart = runList->first();
            chartFileLoaded = true;
        }
    }

    if (!runList->isEmpty()) {
        LoggerData *first = runList->first();
        first->drawState = -1;

        // The interval of the chart becomes the logger's, when it is one the logger can use.
        double interval = first->sampleInterval;
        if (UsableInterval(interval, first->intervalUnit)) {
            config->sampleInterval = interval;
            config->intervalUnit = first->intervalUnit;
        }
        for (LoggerData *run : qAsConst(*runList)) {
            double own = run->sampleInterval;
            if (UsableInterval(own, run->intervalUnit)) {
                run->sampleInterval = own;
            } else {
                run->sampleInterval = config->sampleInterval;
                run->intervalUnit = config->intervalUnit;
            }
        }
        ui->sampleInterval->setText(QString::asprintf("%.5f", config->sampleInterval));
        if (config->intervalUnit == MicroSeconds && ui->timeUnit->count() < 3)
            ui->timeUnit->addItem(QStringLiteral("us"));
        ui->timeUnit->setCurrentIndex(config->intervalUnit == Seconds ? 0 : config->intervalUnit == MilliSeconds ? 1 : 2);

        XSettings &xs = config->xSettings;
        const double s = Utility::ConvertToSec(config->sampleInterval, config->intervalUnit);
        xs.timeMin = double(xs.sampleMin) * s;
        xs.timeMax = double(xs.sampleMax) * s;
        plotMgr->UpdateXAxis();
        SetAxesLabels();

        plotMgr->runList = runList;
        plotMgr->DisplaySignal(runList, false);
        plotMgr->DisplayStartInfo(runList, true);
        plotMgr->DisplayStopInfo(runList, true);
        plotMgr->UpdateChLabelsPosition();
        plotMgr->UpdateStatusLabelPosition();

        QVector<QwtPlotMarker *> markers;
        if (Utility::LoadMemoValues(MemoPath(path), &markers) != 2) {
            for (QwtPlotMarker *marker : qAsConst(markers)) {
                marker->setSymbol(new QwtSymbol(QwtSymbol::Diamond, QBrush(Qt::yellow),
                                                QPen(QBrush(Qt::red), 0, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin),
                                                QSize(10, 10)));
                marker->setSpacing(5);
                marker->setLabelAlignment(Qt::AlignRight);
                marker->attach(plotMgr);
            }
            plotMgr->SetCurrentMemoMarkerList(markers);
            for (QwtPlotMarker *marker : plotMgr->GetCurrentMemoMarkerList())
                marker->show();
        }

        const LoggerData *last = runList->last();
        // Sample numbers of a damaged or foreign file may lie past what the slider counts.
        auto lastSample = [](const ChannelRecord &ch) {
            if (!ch.values || ch.values->xValues.empty())
                return 0;
            const double x = ch.values->xValues.back();
            return x >= double(INT_MAX) ? INT_MAX : x > 0.0 ? int(x) : 0;
        };
        maxScroll = std::max(lastSample(last->chA), lastSample(last->chB));
        PlaceSliderAtWindow(this);
        plotMgr->replot();
    }
    HideShowMemoMarkersInPlot();
    // The clearing above showed the side windows an empty chart; now its runs and markers are in.
    ShowChartInSideWindows();
    // Told once the caller has the chart in place.
    if (const qint64 left = report.rowsLeftOut) {
        QMetaObject::invokeMethod(
            this, [this, left] { messages->DisplayMsg(ROWS_LEFT_OUT, QString::number(left)); },
            Qt::QueuedConnection);
    }
    return 0;
}

int LoggerMainWindow::OpenChartFile(const QString &path)
{
    // The read itself tells a chart larger than the memory; drawing it may still throw from
    // some allocation, after the chart on screen was replaced: the half-shown one goes.
    try {
        return OpenFile(path);
    } catch (const std::bad_alloc &) {
    } catch (const std::length_error &) {
    }
    ClearScreen();
    return TooLarge;
}

void LoggerMainWindow::ClearLoggerData()
{
    // The runs of the chart are discarded, their samples with them.
    for (QVector<LoggerData *> *list : {runList, displayBuffer}) {
        if (list)
            DeleteRuns(*list);
    }
    unmirroredChart = nullptr;
    waitingRun = nullptr;
}

// ---- Window menu ------------------------------------------------------------------------

void LoggerMainWindow::AppendToWindowSubMenu(QString path)
{
    // A run goes on on the live chart while its saved copy gets the entry: Stop stays.
    if (!loggingActive) {
        ui->StopButton->setEnabled(false);
        ui->action_Stop->setEnabled(false);
    }
    ui->RunButton->setEnabled(false);
    ui->action_Start->setEnabled(false);

    SetTicked(windowMenuEntries[0].action, false);
    if (QAction *old = windowMenuEntries[1].action) {
        SetTicked(old, false);
        ui->menu_Window->removeAction(old);
        old->deleteLater();
    }
    SubMenu &entry = windowMenuEntries[1];
    entry.path = path;
    entry.name = Utility::GetFilename(path);
    entry.action = new QAction(QIcon(QString::fromLatin1(SampleIcon)), entry.name, this);
    SetTicked(entry.action, true);
    connect(entry.action, &QAction::triggered, this, &LoggerMainWindow::LoadWindow);
    ui->menu_Window->addAction(entry.action);
    setWindowTitle(ChartTitle(entry.name));
}

void LoggerMainWindow::LoadWindow()
{
    if (loggingActive || !windowMenuEntries[1].action)
        return;   // the live chart's runs are being logged into
    const SubMenu &entry = windowMenuEntries[1];
    if (const int failure = OpenChartFile(entry.path)) {
        TellOpenFailure(failure, entry.path);
        return;
    }
    ui->StopButton->setEnabled(false);
    ui->RunButton->setEnabled(false);
    ui->action_Start->setEnabled(false);
    ui->action_Stop->setEnabled(false);
    SetTicked(windowMenuEntries[0].action, false);
    SetTicked(windowMenuEntries[1].action, true);
    currentChartPath = entry.path;
    chartFileLoaded = true;   // as when opened: its runs hold every row
    setWindowTitle(ChartTitle(entry.name));
    ui->action_Clear_Screen->setEnabled(false);
}

void LoggerMainWindow::Data1SubMenu()
{
    if (loggingActive)
        return;   // it would clear the runs being logged
    ui->RunButton->setEnabled(true);
    ui->action_Start->setEnabled(true);
    ui->action_Clear_Screen->setEnabled(true);
    ui->sampleInterval->setEnabled(true);
    ui->timeUnit->setEnabled(true);
    SetTicked(windowMenuEntries[1].action, false);
    SetTicked(ui->action_Data1, true);
    ClearScreen();
    currentChartPath = QStringLiteral("Data1");
    setWindowTitle(ChartTitle(windowMenuEntries[0].name));
}

void LoggerMainWindow::ClearIconInWindow()
{
    SetTicked(windowMenuEntries[0].action, false);
    SetTicked(windowMenuEntries[1].action, false);
}

void LoggerMainWindow::CloseChart()
{
    if (loggingActive)
        return;
    RemoveFromWindowSubMenu(Utility::GetFilename(currentChartPath));
    ui->sampleInterval->setEnabled(true);
    ui->timeUnit->setEnabled(true);
    ui->action_Clear_Screen->setEnabled(true);
    chartFileLoaded = false;
    plotMgr->ClearMemoList();
    memoWindow->ClearMemoWindow();
}

void LoggerMainWindow::RemoveFromWindowSubMenu(QString name)
{
    SubMenu &entry = windowMenuEntries[1];
    if (entry.action && name == entry.name) {
        SetTicked(windowMenuEntries[0].action, false);
        SetTicked(entry.action, false);
        SetTicked(ui->action_Data1, true);
        ui->menu_Window->removeAction(entry.action);
        entry.action->deleteLater();
        entry.action = nullptr;
        setWindowTitle(ChartTitle(QStringLiteral("Data1")));
        currentChartPath = QStringLiteral("Data1");
    }
    ClearScreen();
}

// ---- Save -------------------------------------------------------------------------------

void LoggerMainWindow::on_SaveButton_clicked()
{
    const QString csv = tr("CSV (*.csv)");
    QString filter;
    QString name = ChartFileDialogs::Instance().save(
        this, tr("Save As"), DocumentsFolder() + tr("/untitled.") + QStringLiteral("bmp"),
        tr("Bitmap (*.bmp);;CSV (*.csv)"), &filter);
    if (name.isEmpty())
        return;
    // A name typed with its own ending keeps that format: an image written into "run.csv"
    // while the Bitmap filter was selected would lose the chart the user meant to save.
    // Otherwise the filter decides and gives the ending.
    bool asBitmap;
    if (name.endsWith(QLatin1String(".csv")))
        asBitmap = false;
    else if (name.endsWith(QLatin1String(".bmp")))
        asBitmap = true;
    else {
        asBitmap = filter != csv;
        name += asBitmap ? QStringLiteral(".bmp") : QStringLiteral(".csv");
    }
    if (LoggerUsesFile(name)) {
        messages->DisplayMsg(FILE_SAVE_FAILED, QDir::toNativeSeparators(name) + QLatin1Char('\n')
                                                   + tr("The logger itself uses this file: please choose "
                                                        "another name."));
        return;
    }
    currentChartPath = name;

    bool saved = false;
    if (asBitmap)
        saved = SaveAsBitMap(name);
    else
        saved = SaveChartAsCSV(name);
    if (!saved) {
        messages->DisplayMsg(FILE_SAVE_FAILED);
        return;
    }
    AppendToWindowSubMenu(name);
}

bool LoggerMainWindow::LoggerUsesFile(const QString &path) const
{
    // The name in its folder, which a save replaces, or the file it links to.
    const QFileInfo info(path);
    const QString entry = info.absoluteDir().canonicalPath() + QLatin1Char('/') + info.fileName();
    const auto is = [&](const QString &own) {
        const QFileInfo ownInfo(own);
        return SameFile(path, own)
               || entry == ownInfo.absoluteDir().canonicalPath() + QLatin1Char('/') + ownInfo.fileName();
    };
    // The backup is the chart's own copy unless rows wait for it, or it holds no run of the chart.
    const bool backupIsChart = !runList->isEmpty() && unmirroredChart != runList->first()
                               && !RowsWaitInTemp(runList->last());
    return is(tempFilePath) || (!backupIsChart && is(backupFilePath)) || is(AppFolder() + config->configFileName)
           || is(AppFolder() + QStringLiteral("Kestrima.xml")) || is(AppFolder() + QStringLiteral(".KestrimaIII.lock"));
}

bool LoggerMainWindow::SaveAsBitMap(QString path)
{
    chartPixmap = plotMgr->grab();
    return chartPixmap.save(path, "BMP");
}

void LoggerMainWindow::SaveAsDataLogFile(QString)
{
}

bool LoggerMainWindow::SaveChartAsCSV(const QString &path)
{
    bool chartSaved = true;
    if (runList->isEmpty()) {
        ReplacingFile out(path);
        chartSaved = out.IsOpen() && out.Commit();
    } else if (unmirroredChart && unmirroredChart == runList->first()) {
        // The backup could not take this chart when it was opened: its runs hold every row.
        chartSaved = WriteRuns(path, runList);
    } else if (!loggingActive && RowsWaitInTemp(runList->last())) {
        // The backup lacks rows of the chart's last run, or the whole run: the copy takes them
        // from "temp.csv", which holds them all, and is closed as the chart shows the run.
        ReplacingFile out(path);
        chartSaved = out.IsOpen() && CopyBytes(backupFilePath, out, -1) && out.File().flush();
        out.File().close();
        chartSaved = chartSaved
                     && Utility::KeepRowsOfCutRun(out.TempPath(), tempFilePath, nullptr, runList->last()) == 0
                     && out.Commit();
    } else if (!SameFile(path, backupFilePath)) {
        // The backup holds every run of the chart. During a run only up to what has been
        // written now: the poll thread may be writing the run's start block.
        qint64 size = -1;
        bool runOpen = false;
        // The poll thread replaces the backup file object when the first block of a run
        // comes: it is flushed under the same lock.
        std::unique_lock<std::recursive_mutex> lock;
        if (loggingActive && pollThread)
            lock = std::unique_lock<std::recursive_mutex>(pollThread->FetchLock());
        if (backupFile && backupFile->isOpen())
            backupFile->flush();
        if (lock) {
            runOpen = displayStarted.load(std::memory_order_acquire) && startBlockWritten;
            size = QFileInfo(backupFilePath).size();
            lock.unlock();
        }
        ReplacingFile out(path);
        qint64 header = -1;
        chartSaved = out.IsOpen() && CopyBytes(backupFilePath, out, size, runOpen ? &header : nullptr);
        // The run in progress is closed as of now, so that the copy reads as a whole chart.
        if (chartSaved && runOpen)
            chartSaved = AppendStopBlock(out, header);
        chartSaved = chartSaved && out.Commit();
    }
    const bool memoSaved = WriteMemoFile(MemoPath(path), plotMgr->GetCurrentMemoMarkerMVSampleList());
    return chartSaved && memoSaved;
}

// ---- Print and clipboard ------------------------------------------------------------------

void LoggerMainWindow::PrintChart(bool landscape)
{
    QThread::usleep(50000);   // lets a menu that was just closed leave the chart
    chartPixmap = plotMgr->grab();
    printLabel->setPixmap(chartPixmap);

    QPrinter printer(QPrinter::ScreenResolution);
    if (!ChartFileDialogs::Instance().print(&printer, this))
        return;
    if (landscape)
        printer.setPageOrientation(QPageLayout::Landscape);

    QPainter painter;
    if (!painter.begin(&printer))
        return;
    const QRect view = painter.viewport();
    QSize size = chartPixmap.size();
    size.scale(view.size(), Qt::KeepAspectRatio);
    painter.setViewport(view.x(), view.y(), size.width() - 50, size.height() - 50);
    painter.setWindow(chartPixmap.rect());
    painter.drawPixmap(QPointF(30.0, 50.0), chartPixmap);
    painter.end();
}

void LoggerMainWindow::on_PrintButton_clicked()
{
    PrintChart(false);
}

void LoggerMainWindow::PrintDataLogger()
{
    PrintChart(true);
}

void LoggerMainWindow::CopyToClipboard()
{
    const QPixmap chart = plotMgr->grab();
    QClipboard *clipboard = QApplication::clipboard();
    auto *data = new QMimeData;
    data->setImageData(chart.toImage());
    clipboard->setMimeData(data);
    const QMimeData *now = clipboard->mimeData();
    if (now && now->hasImage())
        clipboard->setPixmap(QPixmap::fromImage(qvariant_cast<QImage>(now->imageData())));
}

void LoggerMainWindow::on_CopyButton_clicked()
{
    CopyToClipboard();
}

// ---- Exit -------------------------------------------------------------------------------

void LoggerMainWindow::Exitfunc()
{
    // The run ends with its stop block, and no thread of it is left running.
    if (loggingActive)
        StopLogger();
    close();   // the close handler does the rest
}
