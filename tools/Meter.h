// Meter window of one scope channel and the measurements of one frame of codes.
#pragma once

#include <QMainWindow>

namespace Ui {
class Meter;
}

class Meter : public QMainWindow {
    Q_OBJECT
public:
    explicit Meter(QWidget *parent = nullptr);
    ~Meter() override;

    int channel = 0;   // 0 channel A, 1 channel B; set by the scope window after construction

    // Measure the first n codes of a frame of channel A (B) into that channel's state and
    // return it: maximum and minimum code (never beyond 512 on the wrong side, as the scope's
    // own steps expect them), peak-to-peak of those two, mean offset from 512, RMS (codes),
    // frequency (Hz) and whether three rising crossings were found. Missed samples (65535)
    // are left out. A frame without samples keeps the last values. The trigger level and
    // the cycle count are accepted for callers that pass them and not used.
    static void do_measure_A(int n, int triggerMilliVolts, double nanosecsPerSample, double *frame,
                             int *maxCode, int *minCode, double *pkToPk, int *meanOffset, double *rms,
                             double *frequency, int *cycles, bool *found);
    static void do_measure_B(int n, int triggerMilliVolts, double nanosecsPerSample, double *frame,
                             int *maxCode, int *minCode, double *pkToPk, int *meanOffset, double *rms,
                             double *frequency, int *cycles, bool *found);
    // Frequency from the mean of two whole periods between three rising crossings of the level
    // midway between the frame's extremes (of the mean level for a swing of one block step),
    // within the first n samples and the scan length of the scope's time base; 0 when the
    // crossings there do not repeat at one period. Leaves frequency and found as they were
    // when n is 0.
    static void get_frequency(int n, double *frame, double unused1, double unused2, double meanOffset,
                              double nanosecsPerSample, double *frequency, int *unused3, bool *found);
    // The two halves of a measurement without any state: max, min, peak-to-peak and mean
    // offset; and the RMS. Nothing is written when the frame holds no sample.
    static void get_max_min(int n, double *frame, double *maxval, double *minval, double *pkToPk,
                            double *meanOffset, int unused);
    static void get_rms(int n, double *frame, double *rms);
    static void clear_measure();

protected:
    bool event(QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private:
    static void ShowChannel(int ch);

    Ui::Meter *ui;
};
