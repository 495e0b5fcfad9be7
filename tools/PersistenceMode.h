// Set-up window of the persistence display; only built by MainWindow::PersistenceSettingsfunction.
#pragma once

#include <QMainWindow>

class PersistenceMode : public QMainWindow {
    Q_OBJECT
public:
    explicit PersistenceMode(QWidget *parent = nullptr);
    ~PersistenceMode() override;
};
