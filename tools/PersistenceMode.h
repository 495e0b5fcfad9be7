// Set-up window of the persistence display: increment, decrement and the colour of each
// band of both channels. Only built by MainWindow::PersistenceSettingsfunction.
#pragma once

#include <QColor>
#include <QMainWindow>

namespace Ui {
class PersistenceMode;
}
class QPushButton;

class PersistenceMode : public QMainWindow {
    Q_OBJECT
public:
    explicit PersistenceMode(QWidget *parent = nullptr);
    ~PersistenceMode() override;

    QColor lastColor;   // last colour picked in any band's dialog; where the next one starts

    // The colour dialog; tests put a stand-in here. Returns an invalid colour when cancelled.
    static QColor (*pickColor)(const QColor &initial);

private slots:
    void on_PersistIncSlider_valueChanged(int value);
    void on_PersistDecSlider_valueChanged(int value);
    void on_ChA1_15_clicked();
    void on_ChA16_31_clicked();
    void on_ChA32_47_clicked();
    void on_ChA48_63_clicked();
    void on_ChA64_79_clicked();
    void on_ChA80_95_clicked();
    void on_ChA96_111_clicked();
    void on_ChA112_127_clicked();
    void on_ChB1_15_clicked();
    void on_ChB16_31_clicked();
    void on_ChB32_47_clicked();
    void on_ChB48_63_clicked();
    void on_ChB64_79_clicked();
    void on_ChB80_95_clicked();
    void on_ChB96_111_clicked();
    void on_ChB112_127_clicked();
    void on_Restorepushbutton_clicked();

private:
    void ChooseColor(QPushButton *button);

    Ui::PersistenceMode *ui;
};
