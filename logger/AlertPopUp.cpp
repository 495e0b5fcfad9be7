#include "AlertPopUp.h"

#include "ui_AlertPopUp.h"

AlertPopUp::AlertPopUp(QWidget *parent) : QDialog(parent), ui(new Ui_AlertPopUp)
{
    ui->setupUi(this);
}

AlertPopUp::~AlertPopUp()
{
    delete ui;
}

void AlertPopUp::SetAlertMetLabel(QString alertNumber)
{
    ui->alertMetLabel->setText(tr("Data has met Alert ") + alertNumber + tr(" condition"));
}

void AlertPopUp::SetSystemNameLabel(QString text) { ui->systemNameLabel->setText(text); }
void AlertPopUp::SetUserNameLabel(QString text) { ui->userNameLabel->setText(text); }
void AlertPopUp::SetDateLabel(QString text) { ui->dateLabel->setText(text); }
void AlertPopUp::SetTimeLabel(QString text) { ui->timeLabel->setText(text); }
void AlertPopUp::SetChannelLabel(QString text) { ui->channelLabel->setText(text); }
void AlertPopUp::SetSampleNoLabel(QString text) { ui->sampleNoLabel->setText(text); }
void AlertPopUp::SetDataValueLabel(QString text) { ui->dataValueLabel->setText(text); }

void AlertPopUp::on_pushButton_clicked()
{
    hide();
}

// Compiled here rather than with the library's other meta-objects, so that only code that
// uses this window links it.
#include "moc_AlertPopUp.cpp"
