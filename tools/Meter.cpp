#include "Meter.h"

#include "MainWindow.h"
#include "ScopeEvents.h"
#include "ScopeGlobals.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QLCDNumber>
#include <QLabel>
#include <cmath>

namespace {

// What one measurement leaves behind, per channel; outlives the windows.
struct MeasureState {
    double maxval = 0.0;
    double minval = 0.0;
    double avgMean = 0.0;
    double rms = 0.0;
    double pkToPk = 0.0;
    double frequency = 0.0;
    bool wholeCycleFound = false;
};
MeasureState stateA;
MeasureState stateB;

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

void Measure(MeasureState &s, int n, double nsps, double *frame, int *maxCode, int *minCode, double *pkToPk,
             int *meanOffset, double *rms, double *frequency, bool *found)
{
    if (n > 0) {
        double mx = 512.0, mn = 512.0, sum = 0.0;
        for (int i = 0; i < n; ++i) {
            const double v = frame[i];
            if (v > mx)
                mx = v;
            if (v < mn)
                mn = v;
            sum += v - 512.0;
        }
        s.pkToPk = mx - mn;
        s.maxval = mx;
        s.minval = mn;
        s.avgMean = sum / n;
    }
    Meter::get_frequency(n, frame, 0.0, 0.0, s.avgMean, nsps, &s.frequency, nullptr, &s.wholeCycleFound);
    if (n > 0) {
        // A missed sample (65535) squared away from 512 does not fit 32 bits.
        long double acc = 0.0L;
        for (int i = 0; i < n; ++i) {
            const long double d = static_cast<long double>(static_cast<long long>(frame[i]) - 512);
            acc += d * d;
        }
        acc /= n;
        s.rms = acc > 0.0L ? double(std::sqrt(acc)) : 0.0;
    }
    *maxCode = int(s.maxval);
    *minCode = int(s.minval);
    *pkToPk = s.pkToPk;
    *meanOffset = int(s.avgMean);
    *rms = s.rms;
    *frequency = s.frequency;
    *found = s.wholeCycleFound;
}

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
    int length = ScanLength(n);
    if (length <= 0)
        return;
    // The frame arrays hold ScopeFrameCapacity values; the scan reads one past its length.
    length = std::min(length, ScopeFrameCapacity - 1);
    const double threshold = meanOffset + 512.0;
    int crossings[3];
    int count = 0;
    for (int i = 0; i < length && count < 3; ++i) {
        if (frame[i] < threshold && frame[i + 1] >= threshold)
            crossings[count++] = i;
    }
    if (count == 3) {
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

Meter::Meter(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Meter"));
    setWindowTitle(tr("Channel A Meters"));
    setStyleSheet(QStringLiteral("background-color: rgb(225, 225, 225);"));
    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralwidget"));
    auto *grid = new QGridLayout(central);
    const char *captions[6] = {"Mean Voltage", "True RMS Voltage", "Peak to Peak Voltage",
                               "Minval", "Maxval", "Frequency"};
    for (int i = 0; i < 6; ++i) {
        grid->addWidget(new QLabel(tr(captions[i]), central), 2 * i, 0, 1, 2);
        displays[i] = new QLCDNumber(central);
        displays[i]->setFixedSize(120, 23);
        displays[i]->setStyleSheet(QStringLiteral("background-color: rgb(0, 0, 0);"));
        displays[i]->setSegmentStyle(QLCDNumber::Filled);
        units[i] = new QLabel(i == 5 ? QStringLiteral("Hz") : QStringLiteral("mV"), central);
        grid->addWidget(displays[i], 2 * i + 1, 0);
        grid->addWidget(units[i], 2 * i + 1, 1);
    }
    setCentralWidget(central);
    setFixedSize(206, 354);
    // Let the next polling tick measure again.
    LCDUpdate = 0;
}

Meter::~Meter() = default;

void Meter::ShowChannel(int ch)
{
    const MeasureState &s = ch == 0 ? stateA : stateB;
    const double k = ch == 0 ? shw_milliVoltsPerBitA : shw_milliVoltsPerBitB;
    Meter *target = ch == 0 ? Metera : Meterb;
    if (!target)
        return;
    const double values[5] = {s.avgMean * k, s.rms * k, s.pkToPk * k, (s.minval - 512.0) * k,
                              (s.maxval - 512.0) * k};
    for (int i = 0; i < 5; ++i)
        target->displays[i]->display(Scaled(values[i], target->units[i]));
    const double f = s.frequency;
    QLabel *unit = target->units[5];
    if (f >= 1000000.0) {
        unit->setText(QStringLiteral("MHz"));
        target->displays[5]->display(f / 1000000.0);
    } else if (f >= 1000.0) {
        unit->setText(QStringLiteral("KHz"));
        target->displays[5]->display(f / 1000.0);
    } else {
        unit->setText(QStringLiteral("Hz"));
        target->displays[5]->display(f);
    }
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
