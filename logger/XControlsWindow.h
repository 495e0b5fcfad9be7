// The X-Controls window: sets the chart's visible X range in seconds or sample numbers.
#pragma once

#include "LoggerData.h"

#include <QMainWindow>

class QCloseEvent;
class QDoubleValidator;
class QIntValidator;
class Ui_XControlsWindow;

class XControlsWindow : public QMainWindow {
    Q_OBJECT
    friend class TestSideWindows;

public:
    explicit XControlsWindow(QWidget *parent = nullptr);
    ~XControlsWindow() override;

    // Loads a copy of the X settings with the sample interval and its unit; run at
    // every opening.
    void Initialize(XSettings settings, double interval, SampIntervalUnit unit);
    // Shows the chart's current window while it follows the newest data, fields locked.
    void UpdateMinMaxValues(int sampleMin, int sampleMax, double timeMin, double timeMax);
    void EnableTextFields();

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void on_tabWidget_currentChanged(int index);
    void on_xTimeMin_textChanged(const QString &text);
    void on_xTimeMax_textChanged(const QString &text);
    void on_apply_clicked();
    void on_close_clicked();
    void on_xSamplesMin_textChanged(const QString &text);
    void on_xSamplesMax_textChanged(const QString &text);

private:
    // Puts the settings' four bounds into the fields (and so into currentSettings).
    void ShowRange(const XSettings &settings);
    void Revert();

    Ui_XControlsWindow *ui = nullptr;
    XSettings currentSettings;
    XSettings savedSettings;
    double intervalSec = 0.0;
    QDoubleValidator *timeMinValidator = nullptr;
    QDoubleValidator *timeMaxValidator = nullptr;
    QIntValidator *sampleMinValidator = nullptr;
    QIntValidator *sampleMaxValidator = nullptr;
};
