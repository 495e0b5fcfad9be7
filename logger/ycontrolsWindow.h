// The Y-Controls window: Y range, Y scale (built-in or custom) and per-channel inputs.
#pragma once

#include "LoggerData.h"

#include <QMainWindow>

class Messages;
class QCloseEvent;

class ycontrolsWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit ycontrolsWindow(QWidget *parent = nullptr);

    // Loads the window from the configuration; run at every opening.
    void Initialize(ConfigSettings *config, Messages *messages);
    // The per-channel controls, locked while a run lasts.
    void EnableControls();
    void DisableControls();
    // Refills the unit list after a scale was removed.
    void RemoveYScale();

public slots:
    void AddNewYScale();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    YSettings settingsCopy;
    ConfigSettings *config = nullptr;
    Messages *messages = nullptr;
};
