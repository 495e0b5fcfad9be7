// Signal-generator panel: waveform, amplitude, offset, frequency, samples per period, duty
// ratio and inversion. Nothing in the program opens it, and none of its controls sends
// anything to the instrument; only the waveform choice is kept, on the buttons themselves.
#pragma once

#include <QMainWindow>

namespace Ui {
class SignalGenerator;
}

class SignalGenerator : public QMainWindow {
    Q_OBJECT
public:
    explicit SignalGenerator(QWidget *parent = nullptr);
    ~SignalGenerator() override;

    // Makes the seven waveform buttons non-checkable, which also releases them.
    void disableCheckablePropertyInAllButtons();

protected:
    void closeEvent(QCloseEvent *e) override;

private slots:
    void on_SG_DAC_DC_LevelButton_clicked();
    void on_SG_DAC_SquareWaveButton_clicked();
    void on_SG_DAC_SawtoothWaveButton_clicked();
    void on_SG_DAC_SineWaveButton_clicked();
    void on_SG_DAC_TriangularWaveButton_clicked();
    void on_SG_DAC_PulseButton_clicked();
    void on_SG_CustomWaveButton_clicked();

private:
    void Choose(class QPushButton *button);

    Ui::SignalGenerator *ui;
};
