// The "Data Logger Settings" dialog: samples, chart labels, alerts and data display.
#pragma once

#include <QTabWidget>

class ConfigSettings;
class QCloseEvent;

class SettingsWindow : public QTabWidget {
    Q_OBJECT
public:
    explicit SettingsWindow(QWidget *parent = nullptr);

    // Loads the edited copy and every field from the configuration; run at every opening.
    void Initialize(ConfigSettings *config);
    // Locks the data-format choice while a run lasts.
    void DisableSettings(bool disable);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    ConfigSettings *config = nullptr;
};
