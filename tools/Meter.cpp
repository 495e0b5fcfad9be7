#include "Meter.h"
#include "ui_Meter.h"

#include "MainWindow.h"
#include "ScopeEvents.h"
#include "ScopeGlobals.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

constexpr double Zero = 512.0;          // code of 0 V
constexpr double MissedCode = 65535.0;  // a sample the instrument could not deliver
// A cycle swings from this far below a centre level to this far above it: a share of the
// frame's own span, so that noise on a large signal is no cycle while a signal of a few
// codes still has its cycles. The centre lies midway between the frame's extremes: a narrow
// pulse's mean lies too close to one of its levels. A block's codes come in steps of 4: the
// band reaches more than half a step to either side, so that noise flipping a level between
// two neighbouring steps never reaches both its edges.
constexpr double MinHysteresis = 2.5;
constexpr double HysteresisShare = 0.1;
// A swing of one step is too narrow for that band: its centre is the mean level instead,
// and noise that now and then flips a steady level to the next step leaves one of the two
// steps within 1.5 codes of the mean, and so makes no cycle.
constexpr double MinStepHysteresis = 1.5;
// Whole periods of one signal differ by a sample where the period is no whole number of
// samples, or by a little more with jitter.
constexpr double MaxPeriodSpread = 2.0;   // samples
constexpr double PeriodSpreadShare = 0.25;

bool IsSample(double v)
{
    return v >= 0.0 && v < MissedCode;   // false for NaN too
}

// What one measurement leaves behind, per channel; outlives the windows.
struct MeasureState {
    double maxval = Zero;    // as the scope's own steps read them: never below (above) 512
    double minval = Zero;
    double trueMax = Zero;   // the frame's own extremes, for the display
    double trueMin = Zero;
    double avgMean = 0.0;
    double rms = 0.0;
    double pkToPk = 0.0;     // maxval - minval
    double frequency = 0.0;
    bool wholeCycleFound = false;
};
MeasureState stateA;
MeasureState stateB;

// Running average of what the meter shows, per channel; outlives the windows.
enum Field { Max, Min, Mean, Rms, PkToPk, Freq, FieldCount };
constexpr int RingSize = 50;
struct Averaging {
    double vals[RingSize][FieldCount] = {};
    double sums[FieldCount] = {};
    unsigned char count = 0;
    bool filled = false;
    unsigned char batchesAcquired = 0;
    unsigned char requiredBatches = 50;
};
Averaging averagingA;
Averaging averagingB;

// History that clear_measure empties; kept for callers of the old interface.
double history[2][5][5];
int historyCount = 0;

int ScanLength(int n)
{
    switch (globalSetFeatures.timeBaseCode) {
    case 0: return 60;
    case 1: return 120;
    case 2: return 300;
    case 3: return 600;
    case 4: return 1200;
    case 5:
    case 6: return 3000;
    case 7: return 4000;
    case 8: return 3750;
    default:
        if (globalSetFeatures.timeBaseCode <= 19)
            return 4000;
        return n;
    }
}

struct Levels {
    int valid = 0;
    double max = Zero, min = Zero, sum = 0.0;
};

Levels ScanLevels(int n, const double *frame)
{
    Levels l;
    l.max = -1.0;
    l.min = MissedCode;
    for (int i = 0; i < n; ++i) {
        const double v = frame[i];
        if (!IsSample(v))
            continue;
        ++l.valid;
        l.max = std::max(l.max, v);
        l.min = std::min(l.min, v);
        l.sum += v - Zero;
    }
    return l;
}

double RootMeanSquare(int n, const double *frame)
{
    // Squares of whole codes are exact in a double far beyond any frame.
    double acc = 0.0;
    int valid = 0;
    for (int i = 0; i < n; ++i) {
        if (!IsSample(frame[i]))
            continue;
        const double d = std::trunc(frame[i]) - Zero;
        acc += d * d;
        ++valid;
    }
    if (valid == 0)
        return 0.0;
    acc /= valid;
    return acc > 0.0 ? std::sqrt(acc) : 0.0;
}

void Measure(MeasureState &s, int n, double nsps, double *frame, int *maxCode, int *minCode, double *pkToPk,
             int *meanOffset, double *rms, double *frequency, bool *found)
{
    const Levels l = n > 0 ? ScanLevels(n, frame) : Levels();
    if (l.valid > 0) {
        s.trueMax = l.max;
        s.trueMin = l.min;
        s.maxval = std::max(l.max, Zero);
        s.minval = std::min(l.min, Zero);
        s.pkToPk = s.maxval - s.minval;
        s.avgMean = l.sum / l.valid;
        Meter::get_frequency(n, frame, 0.0, 0.0, s.avgMean, nsps, &s.frequency, nullptr, &s.wholeCycleFound);
        s.rms = RootMeanSquare(n, frame);
    }
    *maxCode = int(s.maxval);
    *minCode = int(s.minval);
    *pkToPk = s.pkToPk;
    *meanOffset = int(s.avgMean);
    *rms = s.rms;
    *frequency = s.frequency;
    *found = s.wholeCycleFound;
}

// v in mV: "V" from 1000 mV on, either sign.
double Scaled(double v, QLabel *unit)
{
    if (v >= 1000.0 || v <= -1000.0) {
        unit->setText(QStringLiteral("V"));
        return v / 1000.0;
    }
    unit->setText(QStringLiteral("mV"));
    return v;
}

} // namespace

void Meter::get_frequency(int n, double *frame, double, double, double meanOffset, double nsps, double *frequency,
                          int *, bool *found)
{
    if (n <= 0)
        return;
    // Only the frame's own samples: what lies beyond n is left from earlier frames.
    const int last = std::min(std::min(ScanLength(n), n - 1), ScopeFrameCapacity - 1);
    double lo = MissedCode, hi = -1.0;
    for (int i = 0; i <= last; ++i) {
        if (IsSample(frame[i])) {
            lo = std::min(lo, frame[i]);
            hi = std::max(hi, frame[i]);
        }
    }
    const double span = hi - lo;
    const bool oneStep = span < 2.0 * MinHysteresis;
    const double threshold = oneStep ? meanOffset + Zero : 0.5 * (lo + hi);
    const double band = std::max(oneStep ? MinStepHysteresis : MinHysteresis, HysteresisShare * span);
    const double lowLevel = threshold - band;
    const double highLevel = threshold + band;

    // A rising crossing: the signal was at or below the low level and now reaches the high
    // one; it lies at the last sample below the centre level before that. Missed samples are
    // stepped over. The frequency comes from the first three; all in the scan show whether
    // the signal repeats.
    int crossings[3];
    int count = 0;
    int below = -1;
    int firstSample = -1, lastSample = -1;
    int lastCrossing = -1;
    int shortest = INT_MAX, longest = 0;
    bool low = false;
    for (int i = 0; i <= last; ++i) {
        const double v = frame[i];
        if (!IsSample(v))
            continue;
        if (firstSample < 0)
            firstSample = i;
        lastSample = i;
        if (v <= lowLevel) {
            low = true;
        } else if (low && v >= highLevel && below >= 0) {
            if (count < 3)
                crossings[count] = below;
            ++count;
            if (lastCrossing >= 0) {
                shortest = std::min(shortest, below - lastCrossing);
                longest = std::max(longest, below - lastCrossing);
            }
            lastCrossing = below;
            low = false;
        }
        if (v < threshold)
            below = i;
    }
    // Periodic: whole periods alike, and none missing at either end of the scan (a cycle
    // may begin before the first crossing is armed, or end past the scan). A few crossings
    // of noise bunched in part of the frame are no cycle.
    bool periodic = false;
    if (count >= 3 && longest > 0) {
        const double meanPeriod = double(lastCrossing - crossings[0]) / (count - 1);
        const double spread = std::max(MaxPeriodSpread, PeriodSpreadShare * meanPeriod);
        periodic = longest - shortest <= spread && crossings[0] - firstSample <= 2.0 * longest + spread
                   && lastSample - lastCrossing <= 1.5 * longest + spread;
    }
    if (periodic && nsps > 0.0) {
        const double period = ((crossings[2] - crossings[1]) + (crossings[1] - crossings[0])) * nsps * 0.5;
        *frequency = (1.0 / period) * 1000000000.0;
        *found = true;
    } else {
        *frequency = 0.0;
        *found = false;
    }
}

void Meter::do_measure_A(int n, int, double nsps, double *frame, int *maxCode, int *minCode, double *pkToPk,
                         int *meanOffset, double *rms, double *frequency, int *, bool *found)
{
    Measure(stateA, n, nsps, frame, maxCode, minCode, pkToPk, meanOffset, rms, frequency, found);
}

void Meter::do_measure_B(int n, int, double nsps, double *frame, int *maxCode, int *minCode, double *pkToPk,
                         int *meanOffset, double *rms, double *frequency, int *, bool *found)
{
    Measure(stateB, n, nsps, frame, maxCode, minCode, pkToPk, meanOffset, rms, frequency, found);
}

void Meter::get_max_min(int n, double *frame, double *maxval, double *minval, double *pkToPk, double *meanOffset,
                        int)
{
    const Levels l = n > 0 ? ScanLevels(n, frame) : Levels();
    if (l.valid == 0)
        return;
    *maxval = std::max(l.max, Zero);
    *minval = std::min(l.min, Zero);
    *pkToPk = *maxval - *minval;
    *meanOffset = l.sum / l.valid;
}

void Meter::get_rms(int n, double *frame, double *rms)
{
    if (n > 0 && ScanLevels(n, frame).valid > 0)
        *rms = RootMeanSquare(n, frame);
}

void Meter::clear_measure()
{
    std::memset(history, 0, sizeof history);
    historyCount = 0;
}

Meter::Meter(QWidget *parent) : QMainWindow(parent), ui(new Ui::Meter)
{
    ui->setupUi(this);
    ui->lcdNumber->setSegmentStyle(QLCDNumber::Filled);
    // Let the next polling tick measure again.
    LCDUpdate = 0;
}

Meter::~Meter()
{
    // Deleting the window drops an update posted to it that it never took up: release the
    // hand-over, or the other meter would wait for it for ever.
    LCDUpdate = 0;
    delete ui;
}

void Meter::ShowChannel(int ch)
{
    const MeasureState &s = ch == 0 ? stateA : stateB;
    Averaging &a = ch == 0 ? averagingA : averagingB;
    const double k = ch == 0 ? shw_milliVoltsPerBitA : shw_milliVoltsPerBitB;
    Meter *target = ch == 0 ? Metera : Meterb;

    // The displays show the frame's true extremes and their span.
    const double record[FieldCount] = {(s.trueMax - Zero) * k, (s.trueMin - Zero) * k, s.avgMean * k, s.rms * k,
                                       (s.trueMax - s.trueMin) * k, s.frequency};
    double shown[FieldCount];
    int c = a.count;
    a.filled = a.filled || c + 1 == RingSize;
    const int held = a.filled ? RingSize : c + 1;
    for (int f = 0; f < FieldCount; ++f) {
        a.vals[c][f] = record[f];
        // Summed afresh from the ring: a running sum that takes values off again keeps
        // a residue, which made a steady level read 2E-12 Hz instead of 0.
        double sum = 0.0;
        for (int i = 0; i < held; ++i)
            sum += a.vals[i][f];
        a.sums[f] = sum;
        shown[f] = sum / held;
    }
    if (++c == RingSize)
        c = 0;
    a.count = static_cast<unsigned char>(c);

    if (a.batchesAcquired < a.requiredBatches) {
        ++a.batchesAcquired;
        return;
    }
    a.batchesAcquired = 0;
    if (!target)
        return;
    Ui::Meter *u = target->ui;
    const double maxv = Scaled(shown[Max], u->label_11);
    const double minv = Scaled(shown[Min], u->label_10);
    const double pk = Scaled(shown[PkToPk], u->label_9);
    const double rms = Scaled(shown[Rms], u->label_8);
    const double mean = Scaled(shown[Mean], u->label_7);
    double f = shown[Freq];
    if (f >= 1000000.0) {
        u->label_12->setText(QStringLiteral("MHz"));
        f /= 1000000.0;
    } else if (f >= 1000.0) {
        u->label_12->setText(QStringLiteral("KHz"));
        f /= 1000.0;
    } else {
        u->label_12->setText(QStringLiteral("Hz"));
    }
    u->lcdNumber->display(mean);
    u->lcdNumber_2->display(rms);
    u->lcdNumber_3->display(pk);
    u->lcdNumber_4->display(minv);
    u->lcdNumber_5->display(maxv);
    u->lcdNumber_6->display(f);
}

bool Meter::event(QEvent *e)
{
    if (e->type() != ScopeEvent::LCDDataupdate)
        return QMainWindow::event(e);
    if (MeterAshow)
        ShowChannel(0);
    if (MeterBshow)
        ShowChannel(1);
    LCDUpdate = 0;
    return true;
}

void Meter::closeEvent(QCloseEvent *e)
{
    if (channel == 0)
        MeterAWindowOpened = false;
    else if (channel == 1)
        MeterBWindowOpened = false;
    QCoreApplication::postEvent(w, new MeterWindowCloseEvent());
    e->accept();
}
