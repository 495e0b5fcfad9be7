#include "SignalGenerator.h"
#include "ui_SignalGenerator.h"

#include "ScopeGlobals.h"

#include <QCloseEvent>

SignalGenerator::SignalGenerator(QWidget *parent) : QMainWindow(parent), ui(new Ui::SignalGenerator)
{
    ui->setupUi(this);
}

SignalGenerator::~SignalGenerator()
{
    delete ui;
}

void SignalGenerator::disableCheckablePropertyInAllButtons()
{
    for (QPushButton *b : {ui->SG_DAC_DC_LevelButton, ui->SG_DAC_SquareWaveButton, ui->SG_DAC_SawtoothWaveButton,
                           ui->SG_DAC_SineWaveButton, ui->SG_DAC_TriangularWaveButton, ui->SG_DAC_PulseButton,
                           ui->SG_CustomWaveButton})
        b->setCheckable(false);
    update();
}

// The waveform buttons act as one exclusive choice: only the one pressed last stays in.
void SignalGenerator::Choose(QPushButton *button)
{
    disableCheckablePropertyInAllButtons();
    button->setCheckable(true);
    button->setChecked(true);
}

void SignalGenerator::on_SG_DAC_DC_LevelButton_clicked() { Choose(ui->SG_DAC_DC_LevelButton); }
void SignalGenerator::on_SG_DAC_SquareWaveButton_clicked() { Choose(ui->SG_DAC_SquareWaveButton); }
void SignalGenerator::on_SG_DAC_SawtoothWaveButton_clicked() { Choose(ui->SG_DAC_SawtoothWaveButton); }
void SignalGenerator::on_SG_DAC_SineWaveButton_clicked() { Choose(ui->SG_DAC_SineWaveButton); }
void SignalGenerator::on_SG_DAC_TriangularWaveButton_clicked() { Choose(ui->SG_DAC_TriangularWaveButton); }
void SignalGenerator::on_SG_DAC_PulseButton_clicked() { Choose(ui->SG_DAC_PulseButton); }
void SignalGenerator::on_SG_CustomWaveButton_clicked() { Choose(ui->SG_CustomWaveButton); }

void SignalGenerator::closeEvent(QCloseEvent *e)
{
    signalGenWindowOpened = false;
    e->accept();
}
