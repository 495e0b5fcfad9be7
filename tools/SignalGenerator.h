// Signal-generator panel; nothing in the program opens it yet.
#pragma once

#include <QMainWindow>

class SignalGenerator : public QMainWindow {
    Q_OBJECT
public:
    explicit SignalGenerator(QWidget *parent = nullptr);
    ~SignalGenerator() override;

protected:
    void closeEvent(QCloseEvent *e) override;
};
