// Chart files of the logger window: opening, saving as CSV or BMP, the Window menu, the
// charts that cannot be switched during a run, printing to a PDF file and the clipboard.
// The file, save and print dialogs answer through their seam; message boxes are answered
// by the recorder.
#include <QtTest>

#include "test_home.h"

#include "ChartFileDialogs.h"
#include "PlotMgr.h"
#include "Resources.h"
#include "Utility.h"
#include "ui_LoggerMainWindow.h"   // generated for this program: the support header uses it
#include "test_run_control_support.h"

#include <QClipboard>
#include <QRandomGenerator>
#include <QPrinter>
#include <qwt_plot_marker.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <new>

using namespace RunTest;

// While set, every allocation of at least this many bytes fails, as when the memory cannot
// hold a chart (Qt's own allocations are not made here). Not under ThreadSanitizer: memory
// that Qt hands between its threads would then be reported as raced, its locks unseen.
static std::atomic<size_t> failAllocationsFrom{0};
#ifndef __SANITIZE_THREAD__
void *operator new(std::size_t n)
{
    const size_t from = failAllocationsFrom.load(std::memory_order_relaxed);
    if (from != 0 && n >= from)
        throw std::bad_alloc();
    if (void *p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept { std::free(p); }
void operator delete(void *p, std::size_t) noexcept { std::free(p); }
#endif

namespace {

// A run with `rows` rows from sample `first` on, A a ramp of decimals, B whole numbers.
LoggerData *MakeRun(int first, int rows, double interval, SampIntervalUnit unit)
{
    auto *run = new LoggerData;
    run->startDate = run->stopDate = QStringLiteral("05/06/2026");
    run->startTime = QStringLiteral("10:00:00 AM");
    run->stopTime = QStringLiteral("10:05:00 AM");
    run->sampleInterval = interval;
    run->intervalUnit = unit;
    run->chA.values = new DataValues;
    run->chB.values = new DataValues;
    for (int i = 0; i < rows; ++i) {
        run->chA.values->xValues.push_back(first + i);
        run->chB.values->xValues.push_back(first + i);
        run->chA.values->yValues.push_back(9.765625 * (i % 50) - 200.0);
        run->chB.values->yValues.push_back(i % 7 == 3 ? MissedSampleValue : double(i % 11));
        run->memo.push_back(i == 5 ? QStringLiteral("ChA ADC saturated.") : QStringLiteral(" "));
    }
    run->chA.totalSamples = run->chB.totalSamples = rows;
    run->chA.maxValue = 278.5;
    run->chA.minValue = -200.0;
    run->chB.maxValue = 10.0;
    run->chB.missedSamples = rows / 7;
    return run;
}

void WriteChart(const QString &path, int runs = 2)
{
    QVector<LoggerData *> list;
    for (int r = 0; r < runs; ++r)
        list.append(MakeRun(1 + r * 300, 200, 2.0, MilliSeconds));
    QCOMPARE(Utility::SaveToCSVFormat(path, &list, false), 0);
    DeleteRuns(list);
}

ino_t Inode(const QString &path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// The page box of the first page of a PDF: width and height in points.
QSizeF PdfPageSize(const QByteArray &pdf)
{
    const int at = pdf.indexOf("/MediaBox [");
    if (at < 0)
        return {};
    const int end = pdf.indexOf(']', at);
    const QList<QByteArray> v = pdf.mid(at + 11, end - at - 11).simplified().split(' ');
    if (v.size() != 4)
        return {};
    return {v[2].toDouble() - v[0].toDouble(), v[3].toDouble() - v[1].toDouble()};
}

// How many different colours an image holds (up to a limit).
int Colours(const QImage &image)
{
    QSet<QRgb> seen;
    for (int y = 0; y < image.height() && seen.size() < 8; y += 3)
        for (int x = 0; x < image.width() && seen.size() < 8; x += 3)
            seen.insert(image.pixel(x, y));
    return seen.size();
}

}   // namespace

class TestChartFiles : public QObject {
    Q_OBJECT

    LoggerMainWindow *win = nullptr;
    QString openAnswer;
    QString saveAnswer;
    QString saveFilter;
    QString pdfPath;

    void Open(const QString &path)
    {
        openAnswer = path;
        win->ui->action_Load->trigger();
    }

    void Save(const QString &path, const QString &filter)
    {
        saveAnswer = path;
        saveFilter = filter;
        win->ui->action_Save->trigger();
    }

    QString EntryText() const
    {
        QAction *a = win->windowMenuEntries[1].action;
        return a ? a->text() : QString();
    }

    // Logs `ms` of the simulator's clock at 1 ms, until `rows` rows were fetched.
    void Log(int ms, int rows)
    {
        for (int done = 0; done < ms; done += 100) {
            ZrSim::advanceClock(std::chrono::milliseconds(100));
            QTest::qWait(5);
        }
        QTRY_VERIFY_WITH_TIMEOUT(FetchedRows(win) >= rows, 15000);
    }

    // A run of `rows` rows at 1 ms on the manual clock, stopped; the backup's bytes after it.
    QByteArray LogRun(int rows)
    {
        ZrSim::useManualClock(true);
        win->config->sampleInterval = 1.0;
        win->ui->RunButton->click();
        Log(rows, rows);
        win->ui->StopButton->click();
        return FileBytes(BackupPath());
    }

    int Rows() const
    {
        int n = 0;
        for (const LoggerData *run : *win->runList)
            n += int(run->chA.values->xValues.size());
        return n;
    }

    // A chart of two runs, written and opened; with `logged`, over a backup of one run that
    // a program wrote before it ended (its bytes returned there).
    QString OpenNewChart(QByteArray *logged = nullptr)
    {
        const QString chart = Folder() + QStringLiteral("run.csv");
        WriteChart(chart);
        if (logged) {
            WriteChart(BackupPath(), 1);
            *logged = FileBytes(BackupPath());
        }
        Open(chart);
        return chart;
    }

private slots:
    void initTestCase()
    {
        InitResources();
        ChartFileDialogs &d = ChartFileDialogs::Instance();
        d.open = [this](auto...) { return openAnswer; };
        d.save = [this](QWidget *, const QString &, const QString &, const QString &, QString *selected) {
            *selected = saveFilter;
            return saveAnswer;
        };
        d.print = [this](QPrinter *printer, QWidget *) {
            if (pdfPath.isEmpty())
                return false;   // cancelled
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(pdfPath);
            return true;
        };
    }

    void init()
    {
        win = OpenFreshLogger();
        QVERIFY(win);
    }

    void cleanup()
    {
        CloseLogger();
        win = nullptr;
        pdfPath.clear();
    }

    // A backup larger than the memory can hold: Restore Backup says so and leaves an empty
    // chart; the program goes on, and restores it once the memory suffices.
    void chartLargerThanMemory()
    {
#ifdef __SANITIZE_THREAD__
        QSKIP("allocations cannot be made to fail under ThreadSanitizer");
#endif
        QByteArray text = "Start Date:,03/04/2026\nStart Time:,09:15:00 AM\nSample Interval:,1ms\n\n"
                          "Sample Number,ChA Voltage (mV),ChB Voltage (mV),Memo\n";
        for (int i = 1; i <= 600000; ++i)
            text += QByteArray::number(i) + ",-4990.23,4980.47, \n";
        WriteFile(BackupPath(), text);
        MessageRecorder boxes;
        failAllocationsFrom = 4 << 20;
        win->ui->action_Restore_Backup->trigger();
        failAllocationsFrom = 0;
        QCOMPARE(boxes.Texts(), QStringList{"Out of memory\n" + QDir::toNativeSeparators(BackupPath())
                                            + " is too large to open."});
        QVERIFY(win->runList->isEmpty());
        win->ui->action_Restore_Backup->trigger();
        QCOMPARE(Rows(), 600000);
    }

    // A program killed while it copied an opened chart into the backup's place left the
    // copy behind: the next logger removes it, and no other file.
    void copyLeftByAKilledOpen()
    {
        CloseLogger();
        const QString left = Folder() + QStringLiteral(".tamberlo_backup.csv.aB3xYz");
        WriteFile(left, "Start Date:,03/04/2026\n");
        const QStringList others{".tamberlo_backup.csv", ".tamberlo_backup.csv.aB3xYzz", "tamberlo_backup.csv.aB3xYz",
                                 ".run.csv.aB3xYz"};
        for (const QString &name : others)
            WriteFile(Folder() + name, "x");
        win = OpenLogger();
        QVERIFY(!QFile::exists(left));
        for (const QString &name : others)
            QVERIFY2(QFile::exists(Folder() + name), qPrintable(name));
    }

    // Open a chart, save it as CSV elsewhere, open the copy: the same runs and rows; the
    // backup follows the chart shown; the Window menu names it.
    void openSaveAndOpenAgain()
    {
        MessageRecorder boxes;
        QByteArray logged;
        const QString chart = OpenNewChart(&logged);
        QCOMPARE(win->runList->size(), 2);
        QCOMPARE(Rows(), 400);
        QCOMPARE(FileBytes(Folder() + QStringLiteral("tamberlo_backup_previous.csv")), logged);
        QCOMPARE(win->windowTitle(), QStringLiteral("Tamberlo for ZR70K33 - (run)"));
        QCOMPARE(EntryText(), QStringLiteral("run"));
        QVERIFY(!win->ui->RunButton->isEnabled());
        QCOMPARE(win->ui->sampleInterval->text(), QStringLiteral("2.00000"));
        QVERIFY(!win->plotMgr->Segments(PlotMgr::ChannelA).isEmpty());
        QCOMPARE(FileBytes(BackupPath()), FileBytes(chart));
        // Last sample 500, the default X window 0-100 moves by 20.
        QCOMPARE(win->ui->horizontalSlider->maximum(), 25);

        const QString copy = Folder() + QStringLiteral("copy.csv");
        Save(copy, QStringLiteral("CSV (*.csv)"));
        QCOMPARE(FileBytes(copy), FileBytes(chart));
        QVERIFY(QFile::exists(Folder() + QStringLiteral("copy_Memo.csv")));
        QCOMPARE(EntryText(), QStringLiteral("copy"));

        // Another spelling of the backup's path is the backup: it is left as it is.
        const ino_t inode = Inode(BackupPath());
        Open(Folder() + QStringLiteral("../KestrimaIII/tamberlo_backup.csv"));
        QCOMPARE(Inode(BackupPath()), inode);
        QCOMPARE(Rows(), 400);
        // Saving the backup onto itself copies nothing.
        Save(BackupPath(), QStringLiteral("CSV (*.csv)"));
        QCOMPARE(Inode(BackupPath()), inode);
        QCOMPARE(FileBytes(BackupPath()), FileBytes(chart));

        // A "tamberlo_backup.csv" of another folder is a chart like any other.
        QVERIFY(QDir().mkpath(Folder() + QStringLiteral("old")));
        const QString other = Folder() + QStringLiteral("old/tamberlo_backup.csv");
        WriteChart(other, 3);
        Open(other);
        QCOMPARE(win->runList->size(), 3);
        QCOMPARE(FileBytes(BackupPath()), FileBytes(other));

        Open(copy);
        QCOMPARE(win->runList->size(), 2);
        QCOMPARE(Rows(), 400);
        // Copies of opened charts never push the logged runs out of their kept copy.
        QCOMPARE(FileBytes(Folder() + QStringLiteral("tamberlo_backup_previous.csv")), logged);
        const LoggerData *second = win->runList->at(1);
        QCOMPARE(second->firstSampleNo, 301);
        QVERIFY(qAbs(second->chA.values->yValues[7] - (9.765625 * 7 - 200.0)) < 1e-3);   // six digits
        QCOMPARE(second->memo[5], QStringLiteral("ChA ADC saturated."));
        QVERIFY2(boxes.boxes.isEmpty(), qPrintable(boxes.Texts().join(QLatin1Char('|'))));

        // Back to the live chart, then close: the Window menu keeps only Data1.
        win->ui->action_Data1->trigger();
        QVERIFY(win->runList->isEmpty());
        QCOMPARE(win->windowTitle(), QStringLiteral("Tamberlo for ZR70K33 - (Data1)"));
        QVERIFY(win->ui->RunButton->isEnabled());
        win->windowMenuEntries[1].action->trigger();
        QCOMPARE(win->runList->size(), 2);
        QCOMPARE(win->windowTitle(), QStringLiteral("Tamberlo for ZR70K33 - (copy)"));
        win->ui->action_Close->trigger();
        QVERIFY(!win->windowMenuEntries[1].action);
    }

    // A chart as the described writer makes it (six significant digits, no memo file):
    // drawn, and its six-digit sample numbers drive the slider.
    void chartOfTheDescribedWriter()
    {
        MessageRecorder boxes;
        QByteArray text = "Start Date:,01/02/2025\nStart Time:,08:00:00 AM\nSample Interval:,1ms\n\n"
                          "Sample Number,ChA Voltage (mV),ChB Voltage (mV),Memo\n";
        for (int n = 999980; n <= 999999; ++n)
            text += QByteArray::number(n) + ",9.76562,-" + QByteArray::number(n % 9) + ", \n";
        text += "\nStop Date:,01/02/2025\nStop Time:,08:16:40 AM\nTotal Samples:,20,20\n"
                "Maximum (mV):,9.76562,0\nMinimum (mV):,9.76562,-8\nMissed Samples:,0,0\n\n";
        const QString chart = Folder() + QStringLiteral("old.csv");
        WriteFile(chart, text);
        Open(chart);
        QVERIFY2(boxes.boxes.isEmpty(), qPrintable(boxes.Texts().join(QLatin1Char('|'))));
        QCOMPARE(Rows(), 20);
        QCOMPARE(win->runList->first()->chA.values->yValues.front(), 9.76562);
        QCOMPARE(win->maxScroll, 999999);
        QCOMPARE(win->ui->horizontalSlider->maximum(), 50000);
        // Scrolled to its end, the chart shows the rows.
        win->config->trackDataLogger = false;
        QTest::keyClick(win->ui->horizontalSlider, Qt::Key_End);
        QVERIFY(win->config->xSettings.sampleMin <= 999980 && win->config->xSettings.sampleMax >= 999999);
        QVERIFY(!win->plotMgr->Segments(PlotMgr::ChannelA).isEmpty());
    }

    // Files that are no chart, charts with an unusable interval, saves that fail.
    void badFilesAndFailedSaves()
    {
        MessageRecorder boxes;
        const QString chart = OpenNewChart();
        const QByteArray backup = FileBytes(BackupPath());

        // An image is no chart: a message, and the backup keeps the chart.
        const QString image = Folder() + QStringLiteral("picture.bmp");
        Save(image, QStringLiteral("Bitmap (*.bmp)"));
        QVERIFY(QImage(image).width() > 100);
        QCOMPARE(EntryText(), QStringLiteral("picture"));
        win->windowMenuEntries[1].action->trigger();
        QTRY_COMPARE(boxes.boxes.size(), 1);
        QVERIFY(boxes.SawError(QStringLiteral("Failed to open file.")));
        QCOMPARE(FileBytes(BackupPath()), backup);

        // A name with its own ending keeps its format whatever filter is selected; a bare
        // name takes the filter's format and ending.
        Open(chart);
        const QString typedCsv = Folder() + QStringLiteral("typed.csv");
        Save(typedCsv, QStringLiteral("Bitmap (*.bmp)"));
        QCOMPARE(FileBytes(typedCsv), backup);
        Save(Folder() + QStringLiteral("bare"), QStringLiteral("CSV (*.csv)"));
        QCOMPARE(FileBytes(Folder() + QStringLiteral("bare.csv")), backup);
        QCOMPARE(boxes.boxes.size(), 1);

        // An empty file is an empty chart.
        const QString empty = Folder() + QStringLiteral("empty.csv");
        WriteFile(empty, QByteArray());
        Open(empty);
        QCOMPARE(boxes.boxes.size(), 1);
        QVERIFY(win->runList->isEmpty());
        QCOMPARE(EntryText(), QStringLiteral("empty"));

        // An image that cannot be written: message 1 and no Window entry for it.
        Save(Folder() + QStringLiteral("no/such/folder/x.bmp"), QStringLiteral("Bitmap (*.bmp)"));
        QTRY_COMPARE(boxes.boxes.size(), 2);
        QCOMPARE(boxes.boxes.last().text, QStringLiteral("Failed to save file."));
        QCOMPARE(EntryText(), QStringLiteral("empty"));

        // A copy that fails leaves the old file whole.
        Open(chart);
        const QString target = Folder() + QStringLiteral("keep.csv");
        WriteFile(target, "old content\n");
        QVERIFY(QFile::remove(BackupPath()));
        QVERIFY(QDir().mkpath(BackupPath()));   // unreadable as a file
        Save(target, QStringLiteral("CSV (*.csv)"));
        QTRY_COMPARE(boxes.boxes.size(), 3);
        QCOMPARE(boxes.boxes.last().text, QStringLiteral("Failed to save file."));
        QCOMPARE(FileBytes(target), QByteArray("old content\n"));
        QStringList left = QDir(Folder()).entryList(QDir::Files | QDir::Hidden);
        QVERIFY2(!left.join(QLatin1Char(' ')).contains(QLatin1String(".keep.csv.")), qPrintable(left.join(' ')));
        QVERIFY(QDir(BackupPath()).removeRecursively());

        // A chart whose interval is 0: the logger keeps its own.
        QByteArray text = FileBytes(chart);
        text.replace("Sample Interval:,2ms", "Sample Interval:,0ms");
        const QString zero = Folder() + QStringLiteral("zero.csv");
        WriteFile(zero, text);
        win->config->sampleInterval = 5.0;
        win->config->intervalUnit = MilliSeconds;
        Open(zero);
        QCOMPARE(win->config->sampleInterval, 5.0);
        QCOMPARE(win->runList->first()->sampleInterval, 5.0);
        QCOMPARE(boxes.boxes.size(), 3);

        // No backup to restore: message 5, and the Window menu keeps its entry.
        QVERIFY(QFile::remove(BackupPath()));
        win->ui->action_Restore_Backup->trigger();
        QTRY_COMPARE(boxes.boxes.size(), 4);
        QCOMPARE(boxes.boxes.last().text, QStringLiteral("No previous data."));
        QCOMPARE(EntryText(), QStringLiteral("zero"));
        QCOMPARE(win->runList->size(), 2);
    }

    // Files that are no chart, opened over a logged chart and over a loaded one: a message,
    // and the chart, its runs, "temp.csv", the backup and the title stay; Save writes them.
    void failedLoadKeepsTheChart()
    {
        MessageRecorder boxes;
        QByteArray random(1 << 18, 0);
        QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(random.data()), random.size() / 4);
        const QString text = QString::fromUtf8(FileBytes(OpenNewChart()));
        const QByteArray utf16 = "\xFF\xFE" + QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
        win->ui->action_Data1->trigger();
        win->config->sampleInterval = 1.0;   // the chart's 2 ms became the logger's
        ZrSim::useManualClock(true);
        win->ui->RunButton->click();
        Log(300, 300);
        win->ui->StopButton->click();
        QVERIFY(!FileBytes(TempPath()).isEmpty());
        for (const QString &chart : {QString(), Folder() + "run.csv"}) {
            if (!chart.isEmpty())
                Open(chart);
            const QByteArray temp = FileBytes(TempPath()), backup = FileBytes(BackupPath());
            const QString title = win->windowTitle();
            const int runs = win->runList->size();
            for (const QByteArray &bad : {random, QByteArray(3 << 20, '7'), utf16}) {
                WriteFile(Folder() + "bad.csv", bad);
                Open(Folder() + "bad.csv");
                QTRY_COMPARE(boxes.Texts(), QStringList(QStringLiteral("Failed to open file.")));
                boxes.boxes.clear();
                QVERIFY(win->runList->size() == runs && FileBytes(TempPath()) == temp && win->windowTitle() == title);
                QCOMPARE(FileBytes(BackupPath()), backup);
            }
            Save(Folder() + "saved.csv", QStringLiteral("CSV (*.csv)"));
            QCOMPARE(FileBytes(Folder() + "saved.csv"), backup);
        }
    }

    // Rows whose sample number or a value is not a number, or that do not come after the row
    // before, are left out and counted; empty columns of a channel not logged and missed
    // samples are rows like any other. The backup holds the rows shown.
    void damagedRowsArePassedOverAndTold()
    {
        MessageRecorder boxes;
        const QByteArray start = "Start Date:,x\nStart Time:,x\nSample Interval:,1ms\n\nSample Number,ChA Voltage (mV),"
                                 "ChB Voltage (mV),Memo\n";
        const char rows[] = "1641,5,-5, \n1642,65535,-5, \n1643,abc,--5, \nx1644,5,-5, \n16\0""45,5,-5, \n"
                            "1646,5,1e400, \n1646,6,-6, \n1640,6,-6, \n1647,7,-7,note\n\nStop Date:,x\n";
        WriteFile(Folder() + "damaged.csv",
                  start + QByteArray(rows, sizeof rows - 1) + start + "2000,,8, \r\n2001,,9, \r\n");
        Open(Folder() + "damaged.csv");
        QTRY_COMPARE(boxes.Texts(), QStringList(QStringLiteral("Some rows of the file could not be read and were "
                                                               "left out of the chart. Rows left out:\n5")));
        const LoggerData *first = win->runList->first();
        QCOMPARE(first->chA.values->xValues, (std::vector<double>{1641, 1642, 1646, 1647}));
        QCOMPARE(first->chA.values->yValues, (std::vector<double>{5, 65535, 6, 7}));
        QCOMPARE(win->runList->last()->chB.values->yValues, (std::vector<double>{8, 9}));
        QVector<LoggerData *> back;
        Utility::ChartReadReport report;
        QCOMPARE(Utility::LoadValues(BackupPath(), &back, &report), 0);
        QCOMPARE(report.rowsLeftOut, qint64(0));
        QCOMPARE(back.first()->chA.values->xValues, first->chA.values->xValues);
        DeleteRuns(back);
    }

    // File > Load of the previous backup swaps it with the backup. Whatever comes next (a new
    // chart, another chart opened, the backup restored and a new chart), both charts it
    // held are still on disk.
    void openingThePreviousBackupLosesNoRun()
    {
        MessageRecorder boxes;
        const QString previous = Folder() + QStringLiteral("tamberlo_backup_previous.csv");
        const QString saved = Folder() + QStringLiteral("a.csv");
        auto logRun = [this](int rows) {
            LogRun(rows);
            return ReadRunFile(BackupPath()).runs.back().rows;
        };
        auto onDisk = [&](const std::vector<Row> &rows) {
            for (const QFileInfo &file : QDir(Folder()).entryInfoList({QStringLiteral("*.csv")}))
                for (const Run &run : ReadRunFile(file.filePath()).runs)
                    if (run.rows.size() == rows.size() && run.rows.back().a == rows.back().a)
                        return true;
            return false;
        };
        for (int next = 0; next < 3; ++next) {
            if (next > 0) {
                CloseLogger();
                win = OpenFreshLogger();
            }
            ZrSim::useManualClock(true);
            const std::vector<Row> z = logRun(300);
            win->ui->action_Clear_Screen->trigger();
            const std::vector<Row> a = logRun(120);
            Save(saved, QStringLiteral("CSV (*.csv)"));
            Open(previous);
            QCOMPARE(Rows(), 300);
            if (next == 1) {
                Open(saved);
            } else {
                if (next == 2)
                    win->ui->action_Restore_Backup->trigger();
                win->ui->action_Data1->trigger();
                win->ui->RunButton->click();
                win->ui->StopButton->click();
            }
            QVERIFY2(onDisk(z), qPrintable(QString::number(next)));
            QVERIFY2(onDisk(a), qPrintable(QString::number(next)));
        }
        QVERIFY2(boxes.boxes.isEmpty(), qPrintable(boxes.Texts().join(QLatin1Char('|'))));
    }

    // File > Load of the previous backup moves its bytes whole into the backup's place, rows
    // the reader leaves out included; the backup's logged runs take its place. A backup that
    // holds only the copy of a chart is replaced by those bytes all the same.
    void openingThePreviousBackupMovesItWhole()
    {
        MessageRecorder boxes;
        const QString previous = Folder() + QStringLiteral("tamberlo_backup_previous.csv");
        QByteArray old = "Start Date:,05/06/2026\nStart Time:,10:00:00 AM\nSample Interval:,1ms\n\n"
                         "Sample Number,ChA Voltage (mV),ChB Voltage (mV),Memo\n";
        for (int n = 1; n <= 30; ++n)
            old += n == 21 ? QByteArray("21,abc,5, \n") : QByteArray::number(n) + ",1,1, \n" + (n == 10 ? "10,77,77, \n" : "");
        old += "\nStop Date:,05/06/2026\nStop Time:,10:00:01 AM\nTotal Samples:,30,30\nMaximum (mV):,77,77\n"
               "Minimum (mV):,1,1\nMissed Samples:,0,0\n\n";
        WriteFile(previous, old);
        const QByteArray logged = LogRun(100);
        Open(previous);
        QCOMPARE(Rows(), 29);
        QCOMPARE(FileBytes(BackupPath()), old);
        QCOMPARE(FileBytes(previous), logged);

        WriteChart(Folder() + QStringLiteral("chart.csv"), 1);
        Open(Folder() + QStringLiteral("chart.csv"));
        QCOMPARE(FileBytes(previous), old);
        Open(previous);
        QCOMPARE(FileBytes(BackupPath()), old);
        QCOMPARE(FileBytes(previous), old);
    }

    // The backup holding a copy of an opened chart is known as such after a restart: a new
    // chart keeps the logged run that the previous backup holds. Without a note that
    // describes the backup as it is, the backup counts as logged runs.
    void backupCopyKnownAfterRestart()
    {
        const QString previous = Folder() + QStringLiteral("tamberlo_backup_previous.csv");
        const QString note = Folder() + QStringLiteral("tamberlo_backup_source.txt");
        for (const bool damaged : {false, true}) {
            if (damaged) {
                CloseLogger();
                win = OpenFreshLogger();
            }
            const QByteArray logged = LogRun(300);
            WriteChart(Folder() + QStringLiteral("chart.csv"), 1);
            Open(Folder() + QStringLiteral("chart.csv"));
            QCOMPARE(FileBytes(previous), logged);
            QVERIFY(QFile::exists(note));
            if (damaged)
                WriteFile(note, "12 34\n");
            CloseLogger();
            win = OpenLogger();
            LogRun(20);
            QCOMPARE(FileBytes(previous) == logged, !damaged);
            QVERIFY(!QFile::exists(note));
        }
    }

    // During a run the charts cannot be switched; a save keeps Stop and holds every run,
    // the one in progress closed as of the save; Exit stops the run first.
    void duringARun()
    {
        MessageRecorder boxes;
        QByteArray logged;
        const QString chart = OpenNewChart(&logged);
        win->ui->action_Data1->trigger();
        win->config->sampleInterval = 1.0;   // the chart's 2 ms became the logger's
        ZrSim::useManualClock(true);
        win->ui->RunButton->click();
        QVERIFY(win->loggingActive);
        // The backup emptied for the run held a copy of the chart only: the logged runs stay kept.
        QCOMPARE(FileBytes(Folder() + QStringLiteral("tamberlo_backup_previous.csv")), logged);
        Log(300, 300);
        // The File menu shown during the run offers no Load; after the run Ctrl+O works.
        win->ui->menu_File->popup(QPoint(10, 10));
        QVERIFY(!win->ui->action_Load->isEnabled());
        win->ui->menu_File->hide();
        win->ui->StopButton->click();
        QVERIFY(win->ui->action_Load->isEnabled());
        win->ui->RunButton->click();
        Log(200, 200);
        // Let the drawing tick write rows of the second run into the backup.
        QTRY_VERIFY_WITH_TIMEOUT(ReadRunFile(BackupPath()).runs.size() == 2
                                     && !ReadRunFile(BackupPath()).runs[1].rows.empty(),
                                 15000);

        Open(chart);
        win->ui->action_Restore_Backup->trigger();
        win->windowMenuEntries[1].action->trigger();
        win->ui->action_Data1->trigger();
        QVERIFY(win->loggingActive);
        QCOMPARE(win->runList->size(), 2);
        QCOMPARE(win->currentChartPath, QStringLiteral("Data1"));

        const QString saved = Folder() + QStringLiteral("midrun.csv");
        Save(saved, QStringLiteral("CSV (*.csv)"));
        QVERIFY(win->ui->StopButton->isEnabled());
        QVERIFY(win->ui->action_Stop->isEnabled());
        QVERIFY(win->loggingActive);
        const RunFile file = ReadRunFile(saved);
        QCOMPARE(file.badLines, 0);
        QCOMPARE(int(file.runs.size()), 2);
        for (const Run &run : file.runs) {
            QVERIFY(run.stopped);
            QVERIFY(!run.rows.empty());
            QCOMPARE(run.totalA, qint64(run.rows.size()));
            QCOMPARE(run.totalB, qint64(run.rows.size()));
        }
        QCOMPARE(file.runs[0].rows.size(), size_t(300));
        QVERIFY(!ReadRunFile(BackupPath()).runs[1].stopped);

        // The copy opens as a chart of both runs.
        QVector<LoggerData *> back;
        QCOMPARE(Utility::LoadValues(saved, &back), 0);
        QCOMPARE(back.size(), 2);
        DeleteRuns(back);

        Log(100, 300);
        win->ui->action_Exit->trigger();
        QVERIFY(!win->loggingActive);
        QVERIFY(!win->pollThread || !win->pollThread->isRunning());
        QVERIFY(!win->displayThread || !win->displayThread->isRunning());
        const RunFile backup = ReadRunFile(BackupPath());
        QCOMPARE(int(backup.runs.size()), 2);
        QVERIFY(backup.runs[1].stopped);
        QVERIFY2(boxes.boxes.isEmpty(), qPrintable(boxes.Texts().join(QLatin1Char('|'))));
    }

    // Print Data Logger prints the chart's image on a landscape page, Print Chart Area on
    // the printer's own orientation; a cancelled dialog prints nothing.
    void printToPdf()
    {
        OpenNewChart();
        win->resize(1100, 700);
        win->show();
        QVERIFY(QTest::qWaitForWindowExposed(win));

        win->ui->action_Print_Data_Logger->trigger();   // cancelled
        QVERIFY(!QFile::exists(Folder() + QStringLiteral("landscape.pdf")));

        pdfPath = Folder() + QStringLiteral("landscape.pdf");
        win->ui->action_Print_Data_Logger->trigger();
        const QByteArray landscape = FileBytes(pdfPath);
        const QSizeF wide = PdfPageSize(landscape);
        QVERIFY2(wide.width() > wide.height(), qPrintable(QStringLiteral("%1x%2").arg(wide.width()).arg(wide.height())));
        QVERIFY(landscape.contains("/Image"));
        QVERIFY(landscape.size() > 2000);
        QCOMPARE(win->printLabel->pixmap(Qt::ReturnByValue).size(), win->plotMgr->grab().size());

        pdfPath = Folder() + QStringLiteral("portrait.pdf");
        win->ui->PrintButton->click();
        const QSizeF tall = PdfPageSize(FileBytes(pdfPath));
        QVERIFY(tall.height() > tall.width());
        QVERIFY(FileBytes(pdfPath).contains("/Image"));
    }

    void clipboardHoldsTheChart()
    {
        OpenNewChart();
        QApplication::clipboard()->clear();
        win->ui->CopyButton->click();
        const QImage image = QApplication::clipboard()->image();
        QCOMPARE(image.size(), win->plotMgr->grab().size());
        QVERIFY(Colours(image) >= 3);   // background, grid, traces: a drawn chart
    }

    // Decimals read as Qt reads them, however they are spelled; a row whose value Qt does not
    // read as a finite number is left out.
    void readerDecimals()
    {
        const QStringList values = {"9.765625", "-4990.23", "9.76562", "1.5e-05", "-1e+06", ".5", "5.",
                                    " 2.25 ", "+1.5", "-0", "1e400", "nan", "inf", "0x10", "1.2.3",
                                    "4990.234375000001", "2.2250738585072014e-308"};
        QByteArray text = "Start Date:,01/02/2025\nStart Time:,08:00:00 AM\nSample Interval:,1ms\n\n"
                          "Sample Number,ChA Voltage (mV),ChB Voltage (mV),Memo\n";
        for (int i = 0; i < values.size(); ++i)
            text += QByteArray::number(i + 1) + ',' + values[i].toLatin1() + ",1, \n";
        text += "\nStop Date:,x\nStop Time:,x\nTotal Samples:,1,1\nMaximum (mV):,0,0\nMinimum (mV):,0,0\n"
                "Missed Samples:,0,0\n";
        const QString path = Folder() + QStringLiteral("decimals.csv");
        WriteFile(path, text);
        QVector<LoggerData *> runs;
        QCOMPARE(Utility::LoadValues(path, &runs), 0);
        QCOMPARE(runs.size(), 1);
        const std::vector<double> &a = runs[0]->chA.values->yValues;
        size_t kept = 0;
        for (const QString &v : values) {
            bool ok = false;
            const double expected = v.toDouble(&ok);
            if (ok && std::isfinite(expected))
                QVERIFY2(kept < a.size() && a[kept++] == expected, qPrintable(v));
        }
        QCOMPARE(kept, a.size());
        DeleteRuns(runs);
    }

    // A chart the backup could not take, reopened from the Window menu: moving the X
    // window or the slider keeps its rows, and Save As writes them.
    void unmirroredChartKeepsItsRows()
    {
        MessageRecorder boxes;
        const QString chart = Folder() + QStringLiteral("run.csv");
        WriteChart(chart);
        QFile::remove(BackupPath());
        QVERIFY(QDir().mkpath(BackupPath()));   // the copy cannot take its place
        Open(chart);
        QCOMPARE(Rows(), 400);
        win->ui->action_Data1->trigger();
        win->windowMenuEntries[1].action->trigger();
        QCOMPARE(Rows(), 400);

        win->config->trackDataLogger = false;
        XSettings xs = win->config->xSettings;
        xs.sampleMin = 300;
        xs.sampleMax = 420;
        win->ApplyXSettings(xs, false);
        win->ui->horizontalSlider->setValue(2);
        QCOMPARE(Rows(), 400);

        const QString copy = Folder() + QStringLiteral("copy.csv");
        Save(copy, QStringLiteral("CSV (*.csv)"));
        QCOMPARE(FileBytes(copy), FileBytes(chart));
        QVERIFY2(boxes.boxes.isEmpty(), qPrintable(boxes.Texts().join(QLatin1Char('|'))));
        QVERIFY(QDir(BackupPath()).removeRecursively());
    }

    // Sample numbers up to the largest the chart shows: the chart opens (no undefined
    // conversion), the slider's range stays positive and usable. A file numbered past it
    // is refused with its reason, and the chart on screen stays.
    void sampleNumbersTheChartCannotShowAreTold()
    {
        MessageRecorder boxes;
        const auto write = [](const QString &name, QByteArrayList numbers) {
            WriteFile(Folder() + name, "Start Date:,01/02/2025\nStart Time:,08:00:00 AM\nSample Interval:,1ms\n\n"
                                       "Sample Number,ChA Voltage (mV),ChB Voltage (mV),Memo\n"
                                           + numbers.join(",5,-5, \n") + ",5,-5, \n\nStop Date:,01/02/2025\n");
            return Folder() + name;
        };
        for (const QString &past : {write("past.csv", {"9000000000000", "9000000000001"}),
                                    write("far.csv", {"1", "2147483648"}),
                                    write("digits.csv", {"1", "123456789012345678901234"})}) {
            Open(past);
            QTRY_COMPARE(boxes.Texts(), QStringList(QStringLiteral("The sample numbers of this file are too large for "
                                                                   "the chart to show. The file is not opened.")));
            boxes.boxes.clear();
            QVERIFY(win->runList->isEmpty());
        }
        const QString chart = write("huge.csv", {"1", "2", "2147483646", "2147483647"});
        WriteFile(Folder() + QStringLiteral("huge_Memo.csv"), "Memo Label,Memo X,Memo Y,\nfar,9e12,1,\n");
        Open(chart);
        QCOMPARE(Rows(), 4);
        QCOMPARE(win->maxScroll, INT_MAX);
        QVERIFY(win->ui->horizontalSlider->maximum() > 0);
        win->config->trackDataLogger = false;
        // The slider stands at the loaded window: End and Home reach the record's ends.
        const int width = win->config->xSettings.sampleMax - win->config->xSettings.sampleMin;
        QTest::keyClick(win->ui->horizontalSlider, Qt::Key_End);
        QCOMPARE(win->config->xSettings.sampleMax, INT_MAX);
        QCOMPARE(win->config->xSettings.sampleMax - win->config->xSettings.sampleMin, width);
        QTest::keyClick(win->ui->horizontalSlider, Qt::Key_Home);
        QCOMPARE(win->config->xSettings.sampleMin, 0);
        QTest::keyClick(win->ui->horizontalSlider, Qt::Key_End);
        win->ui->DataCursor->click();
        win->plotMgr->MoveDataCursor(QPointF(9e12, 5.0));
        win->plotMgr->ZoomOut(QPointF(2147483600.0, 0.0));
        QVERIFY(win->config->xSettings.sampleMax > win->config->xSettings.sampleMin);
        win->ui->action_Full->trigger();
        QCOMPARE(win->config->xSettings.sampleMin, 0);
        QVERIFY2(boxes.boxes.isEmpty(), qPrintable(boxes.Texts().join(QLatin1Char('|'))));
        Open(Folder() + QStringLiteral("past.csv"));
        QTRY_COMPARE(boxes.boxes.size(), 1);
        QCOMPARE(Rows(), 4);
        QCOMPARE(win->windowTitle(), QStringLiteral("Tamberlo for ZR70K33 - (huge)"));
    }

    // Memo markers go out with a CSV save and come back with the chart.
    void memoMarkersRoundTrip()
    {
        MessageRecorder boxes;
        const QString chart = Folder() + QStringLiteral("memo.csv");
        WriteChart(chart);
        WriteFile(Folder() + QStringLiteral("memo_Memo.csv"),
                  "Memo Label,Memo X,Memo Y,\nfirst note,12,-150.5,\n\"second, with comma\",340,8,\n"
                  "\"two\nlines\",350,9,\n");
        Open(chart);
        const QVector<QwtPlotMarker *> loaded = win->plotMgr->GetCurrentMemoMarkerMVSampleList();
        QCOMPARE(loaded.size(), 3);

        const QString copy = Folder() + QStringLiteral("again.csv");
        Save(copy, QStringLiteral("CSV (*.csv)"));
        Open(copy);
        QCOMPARE(Rows(), 400);
        const QVector<QwtPlotMarker *> back = win->plotMgr->GetCurrentMemoMarkerMVSampleList();
        QCOMPARE(back.size(), 3);
        QCOMPARE(back[0]->label().text(), QStringLiteral("first note"));
        QCOMPARE(back[0]->xValue(), 12.0);
        QCOMPARE(back[0]->yValue(), -150.5);
        QCOMPARE(back[1]->label().text(), QStringLiteral("second, with comma"));
        QCOMPARE(back[1]->xValue(), 340.0);
        QCOMPARE(back[1]->yValue(), 8.0);
        QCOMPARE(back[2]->label().text(), QStringLiteral("two\nlines"));
        QCOMPARE(back[2]->xValue(), 350.0);
        QVERIFY(boxes.boxes.isEmpty());
    }
};

ZR_TEST_MAIN(TestChartFiles)

#include "test_chart_files.moc"
