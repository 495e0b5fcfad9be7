// Live logging with the simulated instrument at 1 ms on both channels, through the real
// windows, in four views of the chart: tracking on, tracking off, scrolling back (tracking
// off, the slider moved every half second to a window a few seconds behind the newest data,
// which reads it back from the backup file while logging) and Zoom Full. For each view it
// prints the CPU time per logged second (share of one core), the growth of the resident
// memory per minute, the chart repaints per second, and the rows lost, held twice or out
// of order: the backup's rows are counted against the instants the simulated instrument
// produced, so a loss anywhere from the fetch to the file shows. Then the idle cost: the
// CPU time of the logger window sitting stopped after those runs (and, for reference,
// before the first), the event loop running, for the seconds per view up to 20 s. Alone,
// the idle view follows one unreported run with tracking on.
//
//   xvfb-run -a -s "-screen 0 1400x1000x24" build/bench/bench_logging [seconds per view, default 20]
//                                                                     [on|off|back|full|idle: that view only]
//
// Runs with a home folder of its own (the user's files are not touched). With a display
// (DISPLAY set) it draws on the xcb platform, for the drawing cost of a real screen: a
// desktop's 24-bit one (a shallower screen, such as the 8-bit default of some xvfb-run
// versions, understates the cost and is refused); without one, offscreen, which hides
// part of that cost.
// Exits non-zero when a view misses a goal: at most 2.5 % of one core, no row lost, held
// twice or out of order, memory flat; idle after a run, at most 0.5 % of one core.
#include "HWIFWrapper.h"
#include "LoggerMainWindow.h"
#include "MainWindow.h"
#include "Resources.h"
#include "ZrSim.h"
#include "ui_LoggerMainWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <qwt_plot_canvas.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

// Runs the event loop for `ms` milliseconds.
void Wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec)
           + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double RssMiB()
{
    long pages = 0, resident = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Least-squares slope of y over x.
double Slope(const std::vector<double> &x, const std::vector<double> &y)
{
    const size_t n = x.size();
    if (n < 2)
        return 0.0;
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = 0; i < n; ++i) {
        sx += x[i];
        sy += y[i];
        sxx += x[i] * x[i];
        sxy += x[i] * y[i];
    }
    const double d = double(n) * sxx - sx * sx;
    return d != 0.0 ? (double(n) * sxy - sx * sy) / d : 0.0;
}

class PaintCounter : public QObject {
public:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
    long paints = 0;
};

// What the rows of a CSV file hold; in a run CSV only the rows between a run's column
// titles and its stop block. A bit per sample number: memory stays small for long runs.
struct RowCheck {
    long rows = 0, duplicated = 0, outOfOrder = 0, gapRows = 0, distinct = 0;
};

RowCheck CheckRows(const QString &path, bool runFile)
{
    RowCheck check;
    std::vector<bool> seen;
    long previous = LONG_MIN;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return check;
    bool inRows = !runFile;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (runFile) {
            if (line.startsWith("Sample Number")) {
                inRows = true;
                continue;
            }
            if (line.isEmpty()) {
                inRows = false;
                continue;
            }
        }
        if (inRows && !line.isEmpty()) {
            const long n = line.left(line.indexOf(',')).toLong();
            ++check.rows;
            check.outOfOrder += n <= previous ? 1 : 0;
            previous = n;
            if (line.contains(",65535,65535,"))
                ++check.gapRows;
            if (n < 0)
                continue;
            if (size_t(n) >= seen.size())
                seen.resize(std::max(size_t(n) + 1, seen.size() * 2));
            if (seen[size_t(n)]) {
                ++check.duplicated;
            } else {
                seen[size_t(n)] = true;
                ++check.distinct;
            }
        }
    }
    return check;
}

struct Result {
    const char *view;
    double seconds = 0, cpu = 0, mibPerMin = 0, rssEnd = 0, paintsPerSec = 0;
    double cpuEarly = 0, cpuLate = 0;   // of the first and the last quarter of the view
    long rows = 0, lost = 0, duplicated = 0, outOfOrder = 0, moves = 0;
};

enum View { TrackingOn, TrackingOff, ScrollingBack, ZoomFull, Idle, AllViews };

Result LogOneView(View view, double seconds)
{
    static const char *const names[] = {"tracking on", "tracking off", "scrolling back", "Zoom Full"};
    Result r;
    r.view = names[view];
    LoggerMainWindow *win = LoggerWin;
    ZrSim::reset();
    win->config->SetDefaultSettings();
    LoggerMainWindow::SetTicked(win->ui->action_Track_Data_Logger, true);
    win->ui->horizontalSlider->setEnabled(false);
    win->ui->action_Clear_Screen->trigger();
    if (view == TrackingOff || view == ScrollingBack)
        win->ui->action_Track_Data_Logger->trigger();
    if (view == ZoomFull)
        win->ui->action_Full->trigger();

    PaintCounter counter;
    win->plotMgr->canvas()->installEventFilter(&counter);

    win->ui->RunButton->click();
    Wait(1000);   // settled: threads started, first passes made

    std::vector<double> t, rss, cpu;
    QElapsedTimer clock;
    clock.start();
    const double cpu0 = CpuSeconds();
    const long paints0 = counter.paints;
    QSlider *slider = win->ui->horizontalSlider;
    if (view == ScrollingBack)
        slider->setMaximum(INT_MAX / 2);
    while (clock.elapsed() < qint64(seconds * 1000.0)) {
        Wait(250);
        t.push_back(clock.elapsed() / 60000.0);
        rss.push_back(RssMiB());
        cpu.push_back(CpuSeconds());
        if (view == ScrollingBack && t.size() % 2 == 0) {
            // A user move: the window's end to three seconds (and a bit) behind the data.
            const int newest = int(ZrSim::state().streamedInstants);
            const int step = std::max(1, win->config->GetXSampleStepSize());
            const int target = win->pendingSliderValue
                               + (newest - 3000 - int(r.moves % 7) * 100 - win->config->xSettings.sampleMax) / step;
            if (target > 0 && target != slider->value()) {
                slider->setValue(target);
                ++r.moves;
            }
        }
    }
    const double cpu1 = CpuSeconds();
    r.seconds = clock.elapsed() / 1000.0;
    r.cpu = (cpu1 - cpu0) / r.seconds;
    // Whether a tick costs more as the run grows: the first quarter against the last.
    if (cpu.size() >= 8) {
        const size_t q = cpu.size() / 4, n = cpu.size();
        r.cpuEarly = (cpu[q - 1] - cpu0) / (t[q - 1] * 60.0);
        r.cpuLate = (cpu[n - 1] - cpu[n - 1 - q]) / ((t[n - 1] - t[n - 1 - q]) * 60.0);
    }
    r.paintsPerSec = double(counter.paints - paints0) / r.seconds;
    r.mibPerMin = Slope(t, rss);
    r.rssEnd = rss.empty() ? 0.0 : rss.back();

    // The instrument's clock stops: what it produced is fetched, then the run stops, so
    // that every instant it produced must be in the files.
    ZrSim::useManualClock(true);
    QElapsedTimer drain;
    drain.start();
    while (ZrSim::state().queued > 0 && drain.elapsed() < 10000)
        Wait(20);
    Wait(300);   // the last rows reach the files
    win->ui->StopButton->click();
    ZrSim::useManualClock(false);
    win->plotMgr->canvas()->removeEventFilter(&counter);

    // The backup holds each produced instant once, in order (a lost one as a gap row).
    const RowCheck saved = CheckRows(win->backupFilePath, true);
    const ZrSim::State sim = ZrSim::state();
    // What the start dropped on purpose (sampled before the run took its first block) is
    // not the run's.
    const long produced = long(sim.streamedInstants) - win->hwWrapper->discardedInstants;
    r.rows = saved.rows;
    r.duplicated = saved.duplicated;
    const long dataRows = saved.distinct - saved.gapRows;
    r.lost = std::max(0L, produced - dataRows);
    r.duplicated += std::max(0L, dataRows - produced);
    r.outOfOrder = saved.outOfOrder;
    // "temp.csv" holds the same rows.
    if (CheckRows(win->tempFilePath, false).rows != saved.rows)
        ++r.outOfOrder;
    return r;
}

// CPU time per second (share of one core) of the window left alone, nothing logging.
double IdleShare(double seconds)
{
    Wait(1000);   // settled: a stop's last drawing is not idling
    QElapsedTimer clock;
    clock.start();
    const double cpu0 = CpuSeconds();
    Wait(int(seconds * 1000.0));
    return (CpuSeconds() - cpu0) / (clock.elapsed() / 1000.0);
}

}   // namespace

int main(int argc, char **argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 20.0;
    static const char *const viewArgs[] = {"on", "off", "back", "full", "idle"};
    int only = argc > 2 ? -1 : AllViews;
    for (int v = 0; v < AllViews && argc > 2; ++v)
        only = std::strcmp(argv[2], viewArgs[v]) == 0 ? v : only;
    if (!(seconds > 0.0) || only < 0) {
        std::fprintf(stderr,
                     "usage: xvfb-run -a -s \"-screen 0 1400x1000x24\" %s [seconds per view] [on|off|back|full|idle]\n"
                     "       (a 24-bit screen, as a desktop's: a shallower one understates the cost)\n",
                     argv[0]);
        return 2;
    }
    QTemporaryDir home;
    if (!home.isValid() || setenv("HOME", qPrintable(home.path()), 1) != 0) {
        std::fprintf(stderr, "no temporary home folder\n");
        return 1;
    }
    qputenv("QT_LOGGING_RULES", "default.debug=false");
    // A `-platform` argument still wins over this.
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariableIsEmpty("DISPLAY") ? "offscreen" : "xcb");
    QApplication app(argc, argv);
    InitResources();
    const int depth = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->depth() : 0;
    if (QGuiApplication::platformName() == QLatin1String("xcb") && depth < 24) {
        std::fprintf(stderr,
                     "the screen is %d-bit: a desktop's is 24-bit, and a shallower one understates the drawing\n"
                     "cost. Run: xvfb-run -a -s \"-screen 0 1400x1000x24\" %s [seconds per view]\n",
                     depth, argv[0]);
        return 2;
    }

    w = new MainWindow();
    w->show();
    w->LoggerModeFunc();
    LoggerWin->resize(1100, 700);
    Wait(200);

    // Nothing changes with time while idle: a longer wait only costs time.
    const bool idle = only == Idle || only == AllViews;
    const double idleSeconds = std::min(seconds, 20.0);
    std::printf("logging at 1 ms, both channels, %.0f s per view (idle %.0f s), platform %s, %d-bit screen\n",
                seconds, idleSeconds, qPrintable(QGuiApplication::platformName()), depth);
    std::printf("%-15s %10s %17s %12s %10s %9s %8s %6s %6s %6s %6s\n", "view", "CPU/core",
                "first/last 1/4", "RSS MiB/min", "RSS MiB", "paints/s", "rows", "lost", "dup", "order", "moves");
    if (idle) {
        std::printf("%-15s %9.2f%%\n", "idle, no run", 100.0 * IdleShare(idleSeconds));
        std::fflush(stdout);
    }
    // Zoom Full keeps every sample of its window on the chart, so its memory grows until
    // the window is full: its growth is bounded by what that window holds instead.
    constexpr double CpuGoal = 0.025;
    constexpr double FlatMiBPerMin = 3.0;
    constexpr double ZoomFullMiBPerMin = 10.0;
    QStringList overBudget, growing;
    long faults = 0;
    for (View view : {TrackingOn, TrackingOff, ScrollingBack, ZoomFull}) {
        if (only != AllViews && view != only)
            continue;
        const Result r = LogOneView(view, seconds);
        std::printf("%-15s %9.2f%% %7.2f%%/%6.2f%% %12.2f %10.1f %9.1f %8ld %6ld %6ld %6ld %6ld\n", r.view,
                    100.0 * r.cpu, 100.0 * r.cpuEarly, 100.0 * r.cpuLate, r.mibPerMin, r.rssEnd,
                    r.paintsPerSec, r.rows, r.lost, r.duplicated, r.outOfOrder, r.moves);
        std::fflush(stdout);
        if (r.cpu > CpuGoal)
            overBudget << r.view;
        if (r.mibPerMin > (view == ZoomFull ? ZoomFullMiBPerMin : FlatMiBPerMin))
            growing << r.view;
        faults += r.lost + r.duplicated + r.outOfOrder;
    }
    constexpr double IdleGoal = 0.005;
    double idleAfter = 0.0;
    if (idle) {
        if (only == Idle)
            LogOneView(TrackingOn, seconds);   // the run to idle after
        idleAfter = IdleShare(idleSeconds);
        std::printf("%-15s %9.2f%%\n", "idle after run", 100.0 * idleAfter);
    }
    if (only != Idle) {
        std::printf("goal <= %.1f%% of one core: %s\n", 100.0 * CpuGoal,
                    overBudget.isEmpty() ? "met" : qPrintable("missed by " + overBudget.join(", ")));
        std::printf("goal memory flat (<= %.0f MiB/min, Zoom Full <= %.0f): %s\n", FlatMiBPerMin,
                    ZoomFullMiBPerMin,
                    growing.isEmpty() ? "met" : qPrintable("missed by " + growing.join(", ")));
        std::printf("goal no row lost, duplicated or out of order: %s (%ld)\n",
                    faults == 0 ? "met" : "missed", faults);
    }
    if (idle)
        std::printf("goal idle after a run at 1 ms <= %.1f%% of one core: %s\n", 100.0 * IdleGoal,
                    idleAfter <= IdleGoal ? "met" : "missed");

    delete w;
    w = nullptr;
    return overBudget.isEmpty() && growing.isEmpty() && faults == 0 && idleAfter <= IdleGoal ? 0 : 1;
}
