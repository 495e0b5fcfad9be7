// The X-Controls window: sets the chart's visible X range in seconds or sample numbers.
#pragma once

#include "LoggerData.h"

#include <QMainWindow>

class QCloseEvent;

class XControlsWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit XControlsWindow(QWidget *parent = nullptr);

    // Loads a copy of the X settings with the sample interval and its unit; run at
    // every opening.
    void Initialize(XSettings settings, double interval, SampIntervalUnit unit);
    // Shows the chart's current window while it follows the newest data, fields locked.
    void UpdateMinMaxValues(int sampleMin, int sampleMax, double timeMin, double timeMax);
    void EnableTextFields();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    XSettings currentSettings;
    XSettings savedSettings;
    double interval = 0.0;
    SampIntervalUnit intervalUnit = MilliSeconds;
};
