// Logging runs through the real windows with the simulated instrument, and readers for
// the files they leave behind ("temp.csv" and the backup file). The including test
// includes "ui_LoggerMainWindow.h" first (the form's header is generated per test).
#pragma once

#include <QtTest>

#include "LoggerMainWindow.h"
#include "MainWindow.h"
#include "Resources.h"
#include "ZrSim.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTimer>
#include <functional>

namespace e2e {

// One sample row: the fields as written.
struct Row {
    QString no, a, b, memo;
    bool operator==(const Row &o) const { return no == o.no && a == o.a && b == o.b; }
};

struct Run {
    QString startDate, startTime, interval, header;
    QVector<Row> rows;
    QString stopDate, stopTime;
    QStringList totals, maxima, minima, missed;   // channel A, channel B
};

inline Row ParseRow(const QString &line, bool *ok)
{
    const QStringList f = line.split(',');
    *ok = f.size() == 4;
    return *ok ? Row{f[0], f[1], f[2], f[3]} : Row{};
}

// Rows only, as in "temp.csv".
inline bool ReadRows(const QString &path, QVector<Row> &rows, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = "cannot open " + path;
        return false;
    }
    int n = 0;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).chopped(1);
        ++n;
        bool ok = false;
        rows.append(ParseRow(line, &ok));
        if (!ok) {
            error = QString("line %1 is no row: %2").arg(n).arg(line);
            return false;
        }
    }
    return true;
}

// A run CSV: start block, rows, stop block, for every run, and nothing else.
inline bool ReadRuns(const QString &path, QVector<Run> &runs, QString &error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = "cannot open " + path;
        return false;
    }
    QStringList lines;
    while (!file.atEnd())
        lines << QString::fromUtf8(file.readLine());
    for (QString &l : lines) {
        if (!l.endsWith('\n')) {
            error = "unterminated line: " + l;
            return false;
        }
        l.chop(1);
    }
    int i = 0;
    auto field = [&](const QString &key, QStringList &values) {
        if (i >= lines.size() || !lines[i].startsWith(key + ",")) {
            error = QString("line %1: expected %2, got %3")
                        .arg(i + 1).arg(key, i < lines.size() ? lines[i] : "end of file");
            return false;
        }
        values = lines[i++].mid(key.size() + 1).split(',');
        return true;
    };
    auto empty = [&] {
        if (i >= lines.size() || !lines[i].isEmpty()) {
            error = QString("line %1: expected an empty line").arg(i + 1);
            return false;
        }
        ++i;
        return true;
    };
    while (i < lines.size()) {
        Run run;
        QStringList v;
        if (!field("Start Date:", v))
            return false;
        run.startDate = v.join(',');
        if (!field("Start Time:", v))
            return false;
        run.startTime = v.join(',');
        if (!field("Sample Interval:", v))
            return false;
        run.interval = v.join(',');
        if (!empty())
            return false;
        if (i >= lines.size()) {
            error = "no column titles";
            return false;
        }
        run.header = lines[i++];
        while (i < lines.size() && !lines[i].isEmpty()) {
            bool ok = false;
            run.rows.append(ParseRow(lines[i], &ok));
            if (!ok) {
                error = QString("line %1 is no row: %2").arg(i + 1).arg(lines[i]);
                return false;
            }
            ++i;
        }
        if (!empty() || !field("Stop Date:", v))
            return false;
        run.stopDate = v.join(',');
        if (!field("Stop Time:", v))
            return false;
        run.stopTime = v.join(',');
        if (!field("Total Samples:", run.totals) || !field("Maximum (mV):", run.maxima)
            || !field("Minimum (mV):", run.minima) || !field("Missed Samples:", run.missed)
            || !empty())
            return false;
        runs.append(run);
    }
    return true;
}

// The blocks of a run agree with its rows: dates and times, the interval, the column
// titles, sample numbers counting up by one from `first`, the totals, extremes and
// missed counts. Both channels logged.
inline bool CheckRun(const Run &run, int first, QString &error)
{
    static const QRegularExpression date("^\\d\\d/\\d\\d/\\d\\d\\d\\d$");
    static const QRegularExpression time("^\\d\\d:\\d\\d:\\d\\d [AP]M$");
    if (!date.match(run.startDate).hasMatch() || !date.match(run.stopDate).hasMatch()
        || !time.match(run.startTime).hasMatch() || !time.match(run.stopTime).hasMatch()) {
        error = "dates or times: " + run.startDate + " " + run.startTime + " / " + run.stopDate
                + " " + run.stopTime;
        return false;
    }
    if (run.interval != "1ms" || run.header != "Sample Number,ChA Voltage (mV),ChB Voltage (mV),Memo") {
        error = "interval or titles: " + run.interval + " / " + run.header;
        return false;
    }
    double lo[2] = {0, 0}, hi[2] = {0, 0};
    bool seen[2] = {false, false};
    int missed[2] = {0, 0};
    for (int r = 0; r < run.rows.size(); ++r) {
        const Row &row = run.rows[r];
        if (row.no != QString::number(first + r)) {
            error = QString("row %1 has sample number %2, expected %3").arg(r).arg(row.no).arg(first + r);
            return false;
        }
        for (int c = 0; c < 2; ++c) {
            bool ok = false;
            const double v = (c ? row.b : row.a).toDouble(&ok);
            if (!ok) {
                error = QString("row %1: no value on channel %2").arg(row.no).arg(c);
                return false;
            }
            if (v == MissedSampleValue) {
                ++missed[c];
                continue;
            }
            lo[c] = seen[c] ? qMin(lo[c], v) : v;
            hi[c] = seen[c] ? qMax(hi[c], v) : v;
            seen[c] = true;
        }
    }
    const QString n = QString::number(run.rows.size());
    if (run.totals != QStringList{n, n}) {
        error = "totals " + run.totals.join(',') + " for " + n + " rows";
        return false;
    }
    if (run.missed != QStringList{QString::number(missed[0]), QString::number(missed[1])}) {
        error = QString("missed %1 for %2/%3 missed rows").arg(run.missed.join(',')).arg(missed[0]).arg(missed[1]);
        return false;
    }
    for (int c = 0; c < 2; ++c) {
        if (run.maxima[c].toDouble() != hi[c] || run.minima[c].toDouble() != lo[c]) {
            error = QString("channel %1 extremes %2..%3, rows %4..%5")
                        .arg(c).arg(run.minima[c], run.maxima[c]).arg(lo[c]).arg(hi[c]);
            return false;
        }
    }
    return true;
}

// The scope window with the logger window opened from its Mode menu, as a user gets them.
class Session {
public:
    Session()
    {
        InitResources();
        // A message box must not hold a test up: it is answered and its text kept.
        QObject::connect(&modalCloser, &QTimer::timeout, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *box = qobject_cast<QMessageBox *>(modal))
                boxTexts << box->text();
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->accept();
        });
        modalCloser.start(20);
        w = new MainWindow();
        w->show();
        w->LoggerModeFunc();
    }
    ~Session()
    {
        delete w;   // the logger window goes with it
        w = nullptr;
    }

    LoggerMainWindow *Win() const { return LoggerWin; }
    ConfigSettings *Config() const { return LoggerWin->config; }
    QString BackupPath() const { return LoggerWin->backupFilePath; }
    QString TempPath() const { return LoggerWin->tempFilePath; }

    // Default settings, both channels, 1 ms, a new chart: the next start empties the backup.
    void Reset()
    {
        ZrSim::reset();
        ConfigSettings *c = Config();
        c->SetDefaultSettings();
        LoggerMainWindow::SetTicked(LoggerWin->ui->action_Track_Data_Logger, c->trackDataLogger);
        LoggerWin->ui->horizontalSlider->setEnabled(true);
        LoggerWin->plotMgr->UpdateYAxis();
        LoggerWin->ui->action_Clear_Screen->trigger();
        boxTexts.clear();
    }

    // Logs until `done` holds, however slow the machine; `probe` runs every few
    // milliseconds while logging. False when it never holds within a minute.
    bool LogUntil(const std::function<bool()> &done, const std::function<void()> &probe = {})
    {
        LoggerWin->ui->RunButton->click();
        if (!LoggerWin->loggingActive)
            return false;
        QDeadlineTimer patience(60000);
        bool reached = false;
        while (!(reached = done()) && !patience.hasExpired()) {
            QTest::qWait(5);
            if (probe)
                probe();
        }
        LoggerWin->ui->StopButton->click();
        return reached && !LoggerWin->loggingActive;
    }

    // Logs for `ms` milliseconds.
    bool Log(int ms, const std::function<void()> &probe = {})
    {
        QElapsedTimer clock;
        clock.start();
        return LogUntil([&] { return clock.elapsed() >= ms; }, probe);
    }

    // Rows of the run in progress that the chart has drawn.
    static int Drawn() { return LoggerWin->runList->last()->chA.totalSamples; }

    // Logs until the chart has drawn `rows` rows.
    bool LogRows(int rows, const std::function<void()> &probe = {})
    {
        return LogUntil([rows] { return Drawn() >= rows; }, probe);
    }

    QStringList boxTexts;

private:
    QTimer modalCloser;
};

}   // namespace e2e
