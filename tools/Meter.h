// Meter window of one scope channel and the measurements of one frame of codes.
#pragma once

#include <QMainWindow>

class QLabel;
class QLCDNumber;

class Meter : public QMainWindow {
    Q_OBJECT
public:
    explicit Meter(QWidget *parent = nullptr);
    ~Meter() override;

    int channel = 0;   // 0 channel A, 1 channel B; set by the scope window after construction

    // Measure the first n codes of a frame of channel A (B) into that channel's state and
    // return it: maximum and minimum code, peak-to-peak, mean offset from 512, RMS (codes),
    // frequency (Hz) and whether three rising crossings were found. The trigger level and
    // the cycle count are accepted for callers that pass them and not used.
    static void do_measure_A(int n, int triggerMilliVolts, double nanosecsPerSample, double *frame,
                             int *maxCode, int *minCode, double *pkToPk, int *meanOffset, double *rms,
                             double *frequency, int *cycles, bool *found);
    static void do_measure_B(int n, int triggerMilliVolts, double nanosecsPerSample, double *frame,
                             int *maxCode, int *minCode, double *pkToPk, int *meanOffset, double *rms,
                             double *frequency, int *cycles, bool *found);
    // Frequency from the mean of two whole periods between three rising crossings of the mean
    // level; the scan length follows the scope's time base.
    static void get_frequency(int n, double *frame, double unused1, double unused2, double meanOffset,
                              double nanosecsPerSample, double *frequency, int *unused3, bool *found);

protected:
    bool event(QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    void ShowChannel(int ch);

    QLCDNumber *displays[6];
    QLabel *units[6];
};
