// Whole logging runs through the real windows with the simulated instrument at 1 ms: what
// reaches the backup file (every row once, in order, with its run's blocks), missed
// samples, saturation memos and the raw format.
#include "test_home.h"
#include "ui_LoggerMainWindow.h"
#include "test_logging_e2e_support.h"
#include "test_run_control_support.h"

#include "DisplayThread.h"
#include "RawDataWindow.h"

#include <qwt_plot_curve.h>
#include <qwt_plot_marker.h>

#include <memory>
#include <set>

class TestLoggingE2E : public QObject {
    Q_OBJECT

    std::unique_ptr<e2e::Session> session;

    LoggerMainWindow *Win() const { return session->Win(); }

    QVector<e2e::Row> TempRows()
    {
        QVector<e2e::Row> rows;
        QString error;
        if (!e2e::ReadRows(session->TempPath(), rows, error))
            qWarning() << error;
        return rows;
    }

    QVector<e2e::Run> BackupRuns()
    {
        QVector<e2e::Run> runs;
        QString error;
        if (!e2e::ReadRuns(session->BackupPath(), runs, error))
            qWarning() << error;
        return runs;
    }

private slots:
    void initTestCase()
    {
        session.reset(new e2e::Session);
        QVERIFY(Win());
        QVERIFY(Win()->isVisible());
    }

    void cleanupTestCase()
    {
        session.reset();
        QVERIFY(!LoggerWin);
    }

    void init()
    {
        session->Reset();
    }

    void cleanup()
    {
        QVERIFY2(session->boxTexts.isEmpty(), qPrintable(session->boxTexts.join(" | ")));
    }

    // Every fetched row ("temp.csv" keeps them all) is in the backup exactly once and in
    // order, and each run's start and stop blocks agree with its rows; a second run of the
    // chart follows the first in the same file.
    void everyRowOnceInTheBackup()
    {
        QVERIFY(session->Log(3000));
        const QVector<e2e::Row> first = TempRows();
        QVERIFY(first.size() > 100);

        QTest::qWait(300);   // stopped: the intervals still count
        QVERIFY(session->Log(1500));
        const QVector<e2e::Row> second = TempRows();
        QVERIFY(!second.isEmpty());

        const QVector<e2e::Run> runs = BackupRuns();
        QCOMPARE(runs.size(), 2);
        QString error;
        QVERIFY2(e2e::CheckRun(runs[0], 1, error), qPrintable(error));
        QCOMPARE(runs[0].rows, first);
        const int secondStart = runs[1].rows.first().no.toInt();
        QVERIFY(secondStart > first.size() + 1);   // the stopped intervals lie between
        QVERIFY2(e2e::CheckRun(runs[1], secondStart, error), qPrintable(error));
        QCOMPARE(runs[1].rows, second);

        // The chart's run records agree with the file.
        QCOMPARE(Win()->runList->size(), 2);
        QCOMPARE(Win()->runList->at(0)->firstSampleNo, 1);
        QCOMPARE(Win()->runList->at(0)->chA.totalSamples, first.size());
        QCOMPARE(Win()->runList->at(0)->chB.totalSamples, first.size());
        QCOMPARE(Win()->runList->at(1)->firstSampleNo, secondStart);
        QCOMPARE(Win()->runList->at(1)->chB.totalSamples, second.size());
        QCOMPARE(ZrSim::state().lostInstants, uint64_t(0));
        // The row index followed the writes: the first move of the X window scans nothing.
        const std::vector<RowIndex::Run> &indexed = Win()->backupIndex.Runs();
        QCOMPARE(int(indexed.size()), 2);
        QCOMPARE(int(indexed[0].rows), first.size());
        QCOMPARE(int(indexed[1].rows), second.size());
        for (const e2e::Run &run : runs)
            for (const e2e::Row &row : run.rows)
                QCOMPARE(row.memo, QString(" "));
    }

    // The first block of a run replaces the backup's handle in the poll thread while the
    // window reads the backup for a zoom or a moved X window. The starts are looped so that
    // the two really overlap (the race detector watches the handle); every run still
    // reaches the backup whole and in order.
    void xWindowMovesWhileRunsStart()
    {
        Win()->ui->action_Track_Data_Logger->trigger();   // tracking off: the window moves freely
        QVERIFY(!Win()->config->trackDataLogger);
        constexpr int Starts = 12;
        for (int i = 0; i < Starts; ++i) {
            Win()->ui->RunButton->click();
            QVERIFY(Win()->loggingActive);
            QElapsedTimer clock;
            clock.start();
            for (int move = 0; clock.elapsed() < 40 + 10 * (i % 4); ++move) {
                if (move % 2 == 0) {
                    Win()->ui->action_Full->trigger();
                } else {
                    XSettings xs = Win()->config->xSettings;
                    xs.sampleMin = move % 7;
                    xs.sampleMax = xs.sampleMin + 100;
                    Win()->ApplyXSettings(xs, true);
                }
                QCoreApplication::processEvents();
            }
            // However slow the machine, the run has a row before it stops.
            QTRY_VERIFY_WITH_TIMEOUT(RunTest::FetchedRows(Win()) > 0, 30000);
            Win()->ui->StopButton->click();
            QVERIFY(!Win()->loggingActive);
        }
        const QVector<e2e::Run> runs = BackupRuns();
        QCOMPARE(runs.size(), Starts);
        for (const e2e::Run &run : runs) {
            QVERIFY(!run.rows.isEmpty());
            QString error;
            QVERIFY2(e2e::CheckRun(run, run.rows.first().no.toInt(), error), qPrintable(error));
        }
        QCOMPARE(ZrSim::state().lostInstants, uint64_t(0));
    }

    // A lost instant arrives as a gap marker: a 65535 row on both channels, counted as
    // missed, marked on the chart where the X window shows it.
    void gapsBecomeMissedRows()
    {
        std::set<double> markersSeen;
        int injected = 0;
        QVERIFY(session->LogRows(2600, [&] {
            if (injected < 5 && e2e::Session::Drawn() > 300 + 400 * injected) {
                ZrSim::injectGap();
                ++injected;
            }
            for (QwtPlotMarker *m : Win()->plotMgr->MissedMarkers(PlotMgr::ChannelA))
                markersSeen.insert(m->xValue());
        }));
        QCOMPARE(injected, 5);

        const QVector<e2e::Run> runs = BackupRuns();
        QCOMPARE(runs.size(), 1);
        QString error;
        QVERIFY2(e2e::CheckRun(runs[0], 1, error), qPrintable(error));
        QCOMPARE(runs[0].missed, QStringList({"5", "5"}));
        std::set<double> gapRows;
        for (const e2e::Row &row : runs[0].rows) {
            QCOMPARE(row.a == "65535", row.b == "65535");
            if (row.a == "65535")
                gapRows.insert(row.no.toDouble());
        }
        QCOMPARE(int(gapRows.size()), 5);
        QCOMPARE(runs[0].rows, TempRows());

        // What the live chart marked were those rows.
        QVERIFY(!markersSeen.empty());
        for (double x : markersSeen)
            QVERIFY2(gapRows.count(x), qPrintable(QString::number(x)));

        // The whole record shows every gap, on both channels, at y = 0.
        Win()->ui->action_Full->trigger();
        for (PlotMgr::Channel ch : {PlotMgr::ChannelA, PlotMgr::ChannelB}) {
            std::set<double> marked;
            for (QwtPlotMarker *m : Win()->plotMgr->MissedMarkers(ch)) {
                marked.insert(m->xValue());
                QCOMPARE(m->yValue(), 0.0);
            }
            QVERIFY(marked == gapRows);
        }
    }

    // An input beyond the range saturates the converter: every row of channel A says so,
    // channel B (within its range) never does.
    void saturationMemos()
    {
        Win()->config->ySettings.chASaturation.signalType = 0;   // DC, or the offset is blocked
        ZrSim::Input beyond;
        beyond.shape = ZrSim::Input::Constant;
        beyond.offsetMv = 8000.0;   // the range's full scale is 5000 mV
        ZrSim::setInput(0, beyond);
        ZrSim::Input within;
        within.shape = ZrSim::Input::Sine;
        within.amplitudeMv = 1000.0;
        within.frequencyHz = 5.0;
        ZrSim::setInput(1, within);

        QVERIFY(session->Log(2000));
        const QVector<e2e::Run> runs = BackupRuns();
        QCOMPARE(runs.size(), 1);
        QString error;
        QVERIFY2(e2e::CheckRun(runs[0], 1, error), qPrintable(error));
        QVERIFY(!runs[0].rows.isEmpty());
        for (const e2e::Row &row : runs[0].rows) {
            QVERIFY2(row.memo == "ChA ADC saturated.", qPrintable(row.no + ": " + row.memo));
            QCOMPARE(row.a, QString("4990"));   // 511 x 9.765625 mV, truncated
        }
        QCOMPARE(runs[0].maxima[0], QString("4990"));
        QCOMPARE(runs[0].rows, TempRows());
    }

    // The raw format counts instead of drawing; at the stop the backup gets every row.
    void rawFormatCompletesTheBackup()
    {
        Win()->config->dataFormat = 0;
        bool windowShown = false;
        int curvesWhileLogging = 0;
        QVERIFY(session->Log(2000, [&] {
            windowShown = windowShown || Win()->rawDataWindow->isVisible();
            curvesWhileLogging += Win()->plotMgr->Segments(PlotMgr::ChannelA).size()
                                  + Win()->plotMgr->Segments(PlotMgr::ChannelB).size();
        }));
        QVERIFY(windowShown);
        QVERIFY(!Win()->rawDataWindow->isVisible());
        QCOMPARE(curvesWhileLogging, 0);

        const QVector<e2e::Row> temp = TempRows();
        const QVector<e2e::Run> runs = BackupRuns();
        QCOMPARE(runs.size(), 1);
        QString error;
        QVERIFY2(e2e::CheckRun(runs[0], 1, error), qPrintable(error));
        QVERIFY(temp.size() > 100);
        QCOMPARE(runs[0].rows, temp);
        QCOMPARE(Win()->runList->last()->chA.totalSamples, temp.size());
        for (const e2e::Row &row : runs[0].rows)
            QCOMPARE(row.memo, QString(" "));   // no saturation test without drawing

        // After the stop the chart shows the X window's samples from the backup.
        const QVector<QwtPlotCurve *> &curves = Win()->plotMgr->Segments(PlotMgr::ChannelA);
        QVERIFY(!curves.isEmpty());
        QCOMPARE(curves.first()->sample(0).x(), 1.0);
        QCOMPARE(curves.first()->sample(0).y(), temp.first().a.toDouble());
    }
};

ZR_TEST_MAIN(TestLoggingE2E)
#include "test_logging_e2e.moc"
