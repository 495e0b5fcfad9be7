// The drawing thread: pass pacing, the live window rule, hand-off to the backup file,
// saturation memos, the raw format, run extremes and the thread's life cycle.
#include <QtTest>

#include "test_home.h"

#include "DisplayThread.h"
#include "KrDriver.h"
#include "PlotMgr.h"

#include <qwt_plot_curve.h>

#include <deque>
#include <thread>

namespace {

struct Row {
    double x, a, b;
};

struct Saved {
    double x, a, b;
    QString memo;
};

// The logger window as the drawing thread and the chart see it; "temp.csv" is a queue.
class FakeWindow : public DisplayClient, public PlotClient {
public:
    int ReceivedSampleCount() const override { return received; }
    void UpdateRawCountDisplay(double count) override { rawCount = count; }
    void UpdateChartInfo() override {}
    void ReadMoreSampleData(QVector<LoggerData *> *list, int count) override
    {
        ++reads;
        LoggerData *r = list->last();
        for (int i = 0; i < count && !temp.empty(); ++i) {
            const Row row = temp.front();
            temp.pop_front();
            r->chA.values->xValues.push_back(row.x);
            r->chB.values->xValues.push_back(row.x);
            r->chA.values->yValues.push_back(row.a);
            r->chB.values->yValues.push_back(row.b);
            r->memo.push_back(QString());
        }
    }
    void SaveOutputDataToFile(LoggerData *rows) override
    {
        const DataValues *a = rows->chA.values, *b = rows->chB.values;
        const size_t n = config->chAEnabled ? a->yValues.size() : b->yValues.size();
        for (size_t i = 0; i < n; ++i) {
            const DataValues *xs = a->xValues.size() > i ? a : b;
            backup.push_back({xs->xValues[i], a->yValues.size() > i ? a->yValues[i] : -1,
                              b->yValues.size() > i ? b->yValues[i] : -1, rows->memo[i]});
        }
    }
    void EnableTracking(double) override {}
    void DisplayAlertPopUp(int, const QString &, const QString &, const QString &,
                           const QString &, const QString &, const QString &,
                           const QString &) override {}
    QVector<LoggerData *> *GetDisplayBuffer() override { return nullptr; }
    void DisplayMarkerCoordinate(MarkerCoordinate, double) override {}
    void ClearMarkerCoordinate(MarkerCoordinate) override {}
    void ApplyXSettings(XSettings, bool) override {}

    void Push(double from, double to, double a = 1.0, double b = 2.0)
    {
        for (double x = from; x <= to; ++x)
            temp.push_back({x, a, b});
    }
    std::vector<double> BackupX() const
    {
        std::vector<double> xs;
        for (const Saved &s : backup)
            xs.push_back(s.x);
        return xs;
    }

    ConfigSettings *config = nullptr;
    std::deque<Row> temp;
    std::vector<Saved> backup;
    int received = 1;
    int reads = 0;
    double rawCount = -1;
};

LoggerData *NewRun(int firstSampleNo)
{
    auto *run = new LoggerData();
    run->firstSampleNo = firstSampleNo;
    run->chA.values = new DataValues;
    run->chB.values = new DataValues;
    return run;
}


std::vector<double> Range(double from, double to)
{
    std::vector<double> v;
    for (double x = from; x <= to; ++x)
        v.push_back(x);
    return v;
}

}   // namespace

class TestDisplayThread : public QObject {
    Q_OBJECT

    ConfigSettings *config = nullptr;
    PlotMgr *chart = nullptr;
    FakeWindow *window = nullptr;
    DisplayThread *thread = nullptr;
    QVector<LoggerData *> runList, displayBuffer;

    void Tick(int times = 1)
    {
        for (int i = 0; i < times; ++i)
            QVERIFY(QMetaObject::invokeMethod(thread, "DrawPoint", Qt::DirectConnection));
    }
    // Notify, then the first tick (which only counts), then one pass.
    void Begin()
    {
        thread->Notify();
        Tick(2);
    }
    LoggerData *Run() { return runList.last(); }
    LoggerData *Display() { return displayBuffer.last(); }
    int Drawn() { return chart->Segments(PlotMgr::ChannelA).size(); }

private slots:
    void init()
    {
        config = new ConfigSettings("Tamberlo.xml");
        config->SetDefaultSettings();
        config->trackDataLogger = false;
        config->xSettings.sampleMax = 100000;
        window = new FakeWindow();
        window->config = config;
        chart = new PlotMgr();
        chart->SetClient(window);
        chart->Initialize(config);
        runList.append(NewRun(1));
        thread = new DisplayThread();
        thread->SetClient(window);
        thread->Initialize(chart, config, &runList, &displayBuffer);
        shw_milliVoltsPerBitA = shw_milliVoltsPerBitB = 9.765625;
    }
    void cleanup()
    {
        delete thread;
        delete chart;
        delete window;
        delete config;
        DeleteRuns(runList);
        DeleteRuns(displayBuffer);
    }

    void timerIntervalIsWholeMilliseconds()
    {
        QCOMPARE(DisplayThread::TimerInterval(500, MicroSeconds), 0);
        QCOMPARE(DisplayThread::TimerInterval(2.5, MilliSeconds), 2);
        QCOMPARE(DisplayThread::TimerInterval(1, Seconds), 1000);
        QCOMPARE(DisplayThread::TimerInterval(250, MilliSeconds), 250);
    }

    void passesArePacedByTheBlockSize()
    {
        window->received = 40;
        window->Push(1, 1000);
        thread->Notify();
        Tick(40);   // the first tick only brings the count to 0
        QCOMPARE(window->reads, 0);
        Tick(1);
        QCOMPARE(window->reads, 1);
        Tick(39);
        QCOMPARE(window->reads, 1);
        Tick(1);
        QCOMPARE(window->reads, 2);

        window->received = 1;   // blocks of one row: every tick is a pass
        Tick(3);
        QCOMPARE(window->reads, 5);
    }

    void nothingBeforeNotifyOrAfterStop()
    {
        window->Push(1, 10);
        Tick(5);
        QVERIFY(displayBuffer.isEmpty());
        Begin();
        QCOMPARE(int(window->backup.size()), 10);
        thread->StopThread();   // never started: returns all the same
        window->Push(11, 20);
        Tick(5);
        QCOMPARE(int(window->backup.size()), 10);
    }

    void liveWindowRule()
    {
        window->Push(1, 501);   // lo 0, hi 500: one sample number too many
        Begin();
        QCOMPARE(Drawn(), 0);
        QCOMPARE(window->BackupX(), Range(1, 501));   // handed on and counted all the same
        QCOMPARE(Display()->chA.totalSamples, 501);
        QCOMPARE(Run()->chB.totalSamples, 501);

        window->Push(502, 1000);   // with the held sample 501..1000: lo 500, hi 1000
        Tick();
        QCOMPARE(Drawn(), 1);

        config->trackDataLogger = true;
        window->Push(1001, 5000);
        Tick();
        const QwtPlotCurve *last = chart->Segments(PlotMgr::ChannelA).last();
        QCOMPARE(last->sample(int(last->dataSize()) - 1).x(), 5000.0);
    }

    void everyRowReachesTheBackupOnce()
    {
        window->Push(1, 3);
        Begin();
        window->Push(4, 6);
        Tick();
        QCOMPARE(window->BackupX(), Range(1, 6));
        QCOMPARE(Run()->chA.values->xValues, Range(4, 6));   // the rows of the latest pass
        QCOMPARE(Display()->chA.values->xValues, std::vector<double>{6});   // held
        QCOMPARE(int(Display()->memo.size()), 1);

        Tick();   // no new rows: the held sample alone, nothing handed on
        QCOMPARE(int(window->backup.size()), 6);
        QCOMPARE(Display()->drawState, 1);

        window->temp.push_back({6, 9, 9});   // repeats the held sample number
        window->temp.push_back({7, 1, 1});
        window->temp.push_back({7, 5, 5});
        window->temp.push_back({8, 1, 1});
        Tick();
        QCOMPARE(window->BackupX(), Range(1, 8));
        QCOMPARE(Run()->chA.values->xValues, Range(7, 8));
        QCOMPARE(window->backup[6].a, 1.0);
    }

    // A tick that finds no new row leaves what a pass over the held sample would: nothing
    // handed on or drawn again, the run's pass rows emptied; the next rows follow on.
    void tickWithNothingNewIsAnEmptyPass()
    {
        window->Push(1, 40);
        Begin();
        const int drawn = chart->Segments(PlotMgr::ChannelA).last()->dataSize();
        Tick(3);
        QCOMPARE(Display()->drawTicks, 0);
        QVERIFY(Run()->chA.values->xValues.empty() && Run()->chB.values->yValues.empty());
        QCOMPARE(int(chart->Segments(PlotMgr::ChannelA).last()->dataSize()), drawn);
        window->Push(41, 60);
        Tick();
        QCOMPARE(window->BackupX(), Range(1, 60));
        QCOMPARE(Run()->chA.values->xValues, Range(41, 60));
    }

    void longRunsKeepNothingBeyondTheView()
    {
        config->xSettings.sampleMax = 1000;
        chart->UpdateXAxis();
        Begin();
        for (int pass = 0; pass < 2000; ++pass) {
            const double first = pass * 10 + 1;
            window->Push(first, first + 8);
            window->temp.push_back({first + 9, 65535, 0});
            Tick();
        }
        QCOMPARE(int(window->backup.size()), 20000);
        QCOMPARE(Display()->chA.values->yValues.size(), size_t(1));
        QCOMPARE(Display()->memo.size(), size_t(1));
        QCOMPARE(Run()->chA.values->xValues.size(), size_t(10));
        QCOMPARE(Drawn(), 1);
        QCOMPARE(chart->MissedMarkers(PlotMgr::ChannelA).size(), 100);
        QCOMPARE(Run()->chA.maxValue, 1.0);
    }

    void saturationMemosFollowTheRows()
    {
        config->chBEnabled = true;
        window->temp = {{1, 0, -5000}, {2, 4990, 0}, {3, 0, 4990}, {4, 4990, -5000}};
        Begin();
        QCOMPARE(int(window->backup.size()), 4);
        QCOMPARE(window->backup[0].memo, QString("ChB ADC saturated."));   // the run's first
        QCOMPARE(window->backup[1].memo, QString("ChA ADC saturated."));
        QCOMPARE(window->backup[2].memo, QString("ChB ADC saturated."));
        QCOMPARE(window->backup[3].memo, QString("ChA ADC saturated.ChB ADC saturated."));

        window->temp = {{5, 0, 4990}, {6, 0, 0}};   // after the held sample 4
        Tick();
        QCOMPARE(window->backup[4].memo, QString("ChB ADC saturated."));
        QCOMPARE(window->backup[5].memo, QString());

        window->temp = {{7, 4990, 0}};
        for (double x = 8; x <= 600; ++x)   // too long to draw: still tested
            window->temp.push_back({x, 0, 0});
        Tick();
        QCOMPARE(Drawn(), 1);
        QCOMPARE(window->backup[6].memo, QString("ChA ADC saturated."));
    }

    void rawFormatCountsAndHandsOnWithoutDrawing()
    {
        config->dataFormat = 0;
        window->temp = {{1, 4990, 150}, {2, 0, 100}, {3, 65535, 200}, {4, 1, 65535}};
        Begin();
        QCOMPARE(Drawn(), 0);
        QCOMPARE(int(window->backup.size()), 4);
        for (const Saved &s : window->backup)
            QVERIFY(s.memo.isEmpty());
        Tick();
        QCOMPARE(window->rawCount, 8.0);   // both channels' totals
        QCOMPARE(Run()->chB.minValue, 100.0);   // never 0, never the missed mark
        QCOMPARE(Run()->chB.maxValue, 200.0);
        QCOMPARE(Run()->chA.maxValue, 4990.0);
        QCOMPARE(Run()->chA.minValue, 0.0);
    }

    void runExtremesComeFromTheRunOnly()
    {
        QVector<int> sat;   // an earlier run on the chart
        chart->PlotPoints({1, 2}, {-7000, 7000}, PlotMgr::ChannelA, 1, MilliSeconds, sat, true);
        window->temp = {{10, 50, 0}, {11, 65535, 0}, {12, 70, 0}};
        Begin();
        QCOMPARE(Run()->chA.minValue, 50.0);
        QCOMPARE(Run()->chA.maxValue, 70.0);
        window->Push(13, 700, 40.0);   // not drawn live, counted all the same
        Tick();
        QCOMPARE(Run()->chA.minValue, 40.0);
    }

    void displayRecordKeepsTheRunsPosition()
    {
        runList.prepend(NewRun(1));   // a run stopped before its first block
        runList.prepend(NewRun(1));
        config->sampleInterval = 20;
        thread->Notify();
        QCOMPARE(displayBuffer.size(), runList.size());
        QCOMPARE(Display()->sampleInterval, 20.0);
        QCOMPARE(Display()->drawTicks, -1);
        thread->Notify();   // once per run
        QCOMPARE(displayBuffer.size(), runList.size());
    }

    void runsInItsOwnThreadWithoutRaces()
    {
        window->Push(1, 300);
        thread->start();
        // As the poll thread does on a first block that arrives at once.
        std::thread poll([this] { thread->Notify(); });
        poll.join();
        QTRY_COMPARE(int(window->backup.size()), 300);
        window->Push(301, 400);
        QTRY_COMPARE(int(window->backup.size()), 400);
        QVERIFY(thread->StopThread());
        QVERIFY(thread->isFinished());
        QCOMPARE(window->BackupX(), Range(1, 400));
        QCOMPARE(displayBuffer.size(), 1);
    }
};

ZR_TEST_MAIN(TestDisplayThread)
#include "test_display_thread.moc"
