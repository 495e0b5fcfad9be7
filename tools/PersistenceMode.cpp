#include "PersistenceMode.h"
#include "ui_PersistenceMode.h"

#include <QColorDialog>

namespace {

QColor PlatformColorDialog(const QColor &initial)
{
    return QColorDialog::getColor(initial, nullptr);
}

// Default colour of each band, 1-15 up to 112-127; the same for both channels.
const int DefaultColors[8][3] = {{0, 0, 127},   {0, 0, 255},   {0, 85, 0},      {0, 255, 255},
                                 {0, 255, 0},   {255, 255, 0}, {255, 255, 255}, {255, 0, 0}};

} // namespace

QColor (*PersistenceMode::pickColor)(const QColor &) = PlatformColorDialog;

PersistenceMode::PersistenceMode(QWidget *parent) : QMainWindow(parent), ui(new Ui::PersistenceMode)
{
    ui->setupUi(this);
    lastColor = QColor();
    ui->PerInclineEdit->setReadOnly(true);
    ui->PerDeclineEdit->setReadOnly(true);
}

PersistenceMode::~PersistenceMode()
{
    delete ui;
}

void PersistenceMode::on_PersistIncSlider_valueChanged(int value)
{
    ui->PerInclineEdit->setText(QString::number(value));
}

void PersistenceMode::on_PersistDecSlider_valueChanged(int value)
{
    ui->PerDeclineEdit->setText(QString::number(value));
}

void PersistenceMode::ChooseColor(QPushButton *button)
{
    const QColor color = pickColor(lastColor);
    if (color.isValid()) {
        lastColor = color;
        button->setStyleSheet(QStringLiteral("background-color:%1").arg(color.name()));
    }
    update();
}

void PersistenceMode::on_ChA1_15_clicked() { ChooseColor(ui->ChA1_15); }
void PersistenceMode::on_ChA16_31_clicked() { ChooseColor(ui->ChA16_31); }
void PersistenceMode::on_ChA32_47_clicked() { ChooseColor(ui->ChA32_47); }
void PersistenceMode::on_ChA48_63_clicked() { ChooseColor(ui->ChA48_63); }
void PersistenceMode::on_ChA64_79_clicked() { ChooseColor(ui->ChA64_79); }
void PersistenceMode::on_ChA80_95_clicked() { ChooseColor(ui->ChA80_95); }
void PersistenceMode::on_ChA96_111_clicked() { ChooseColor(ui->ChA96_111); }
void PersistenceMode::on_ChA112_127_clicked() { ChooseColor(ui->ChA112_127); }
void PersistenceMode::on_ChB1_15_clicked() { ChooseColor(ui->ChB1_15); }
void PersistenceMode::on_ChB16_31_clicked() { ChooseColor(ui->ChB16_31); }
void PersistenceMode::on_ChB32_47_clicked() { ChooseColor(ui->ChB32_47); }
void PersistenceMode::on_ChB48_63_clicked() { ChooseColor(ui->ChB48_63); }
void PersistenceMode::on_ChB64_79_clicked() { ChooseColor(ui->ChB64_79); }
void PersistenceMode::on_ChB80_95_clicked() { ChooseColor(ui->ChB80_95); }
void PersistenceMode::on_ChB96_111_clicked() { ChooseColor(ui->ChB96_111); }
void PersistenceMode::on_ChB112_127_clicked() { ChooseColor(ui->ChB112_127); }

void PersistenceMode::on_Restorepushbutton_clicked()
{
    QPushButton *const a[8] = {ui->ChA1_15,  ui->ChA16_31, ui->ChA32_47,  ui->ChA48_63,
                               ui->ChA64_79, ui->ChA80_95, ui->ChA96_111, ui->ChA112_127};
    QPushButton *const b[8] = {ui->ChB1_15,  ui->ChB16_31, ui->ChB32_47,  ui->ChB48_63,
                               ui->ChB64_79, ui->ChB80_95, ui->ChB96_111, ui->ChB112_127};
    for (int band = 0; band < 8; ++band) {
        const QString sheet = QStringLiteral("background-color: rgb(%1, %2, %3)")
                                  .arg(DefaultColors[band][0])
                                  .arg(DefaultColors[band][1])
                                  .arg(DefaultColors[band][2]);
        a[band]->setStyleSheet(sheet);
        b[band]->setStyleSheet(sheet);
    }
}
