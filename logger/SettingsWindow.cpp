#include "SettingsWindow.h"

#include "LoggerMainWindow.h"
#include "ui_SettingsWindow.h"

#include <QCloseEvent>
#include <QSignalBlocker>

#include <cmath>

namespace {

const char *const SampleCounts[] = {"1000000", "500000", "250000", "100000",
                                    "50000",   "25000",  "10000"};
constexpr int CustomItem = 7;

// Adds items to a combo box without running its selection slot for the first one.
void Fill(QComboBox *box, const QStringList &items)
{
    if (box->count() != 0)
        return;
    const QSignalBlocker block(box);
    box->addItems(items);
}

void Select(QComboBox *box, int index)
{
    const QSignalBlocker block(box);
    box->setCurrentIndex(index);
}

}   // namespace

SettingsWindow::SettingsWindow(QWidget *parent) : QTabWidget(parent), ui(new Ui_SettingsWindow)
{
    ui->setupUi(this);
    for (AlertEntry &alert : editedSettings.alertSettings.alerts)
        alert.email.clear();
}

SettingsWindow::~SettingsWindow()
{
    delete ui;
}

void SettingsWindow::Initialize(ConfigSettings *c)
{
    config = c;
    editedSettings.maxSamples = c->maxSamples;
    editedSettings.customVal = c->customVal;
    editedSettings.backup = c->backup;
    for (int i = 0; i < 8; ++i)
        editedSettings.chartLabels[i] = c->chartLabels[i];
    editedSettings.alertSettings = c->alertSettings;
    editedSettings.dataFormat = c->dataFormat;

    QStringList counts;
    for (const char *count : SampleCounts)
        counts << QLatin1String(count);
    Fill(ui->maxSampCmbBox, counts << tr("(Custom)"));
    ui->customLineEdit->setText(QString::number(c->customVal));
    ui->customLineEdit->setEnabled(false);
    int item = CustomItem;
    for (int i = 0; i < CustomItem; ++i)
        if (c->maxSamples == QByteArray(SampleCounts[i]).toInt())
            item = i;
    Select(ui->maxSampCmbBox, item);
    on_maxSampCmbBox_currentIndexChanged(item);

    ui->backupChkBox->setChecked(c->backup);
    QCheckBox *const labels[8] = {ui->startChkBox, ui->sampIntChkBox, ui->displayChkBox, ui->stopChkBox,
                                  ui->sampRcvChkBox, ui->maxValChkBox, ui->minValChkBox, ui->missedChkBox};
    for (int i = 0; i < 8; ++i)
        labels[i]->setChecked(c->chartLabels[i]);

    Fill(ui->alertCmbBox, {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    Fill(ui->chCmbBox, {QStringLiteral("A"), QStringLiteral("B")});
    Fill(ui->typeCmbBox, {tr("Off"), tr("Popup"), tr("Email"), tr("Both")});
    if (ui->greaterCmbBox->count() == 0) {
        Fill(ui->greaterCmbBox, {tr("Greater than"), tr("Less than")});
        ui->valueLineEdit->setText(QStringLiteral("0"));
    }
    Select(ui->alertCmbBox, 0);
    editedSettings.alertSettings.currentAlert = 0;
    LoadAlert();

    const bool raw = c->dataFormat == 0;
    ui->rawRadio->setChecked(raw);
    ui->formattedRadio->setChecked(!raw);
}

void SettingsWindow::DisableSettings(bool disable)
{
    ui->rawRadio->setEnabled(!disable);
    ui->formattedRadio->setEnabled(!disable);
}

void SettingsWindow::closeEvent(QCloseEvent *event)
{
    QTabWidget::closeEvent(event);
    if (LoggerWin)
        LoggerWin->CloseSettingsWindow();
}

// ---- Samples ------------------------------------------------------------------------------

bool SettingsWindow::CustomCount(int32_t &count) const
{
    bool ok = false;
    const int value = ui->customLineEdit->text().trimmed().toInt(&ok);
    if (!ok || value < MinSamples)
        return false;
    count = value;
    return true;
}

void SettingsWindow::on_maxSampCmbBox_currentIndexChanged(int index)
{
    if (index == CustomItem) {
        int32_t count = 0;
        if (CustomCount(count))
            editedSettings.maxSamples = count;
        ui->customLineEdit->setEnabled(true);
    } else if (index >= 0) {
        editedSettings.maxSamples = int32_t(ui->maxSampCmbBox->itemText(index).toDouble());
        ui->customLineEdit->setEnabled(false);
    }
}

void SettingsWindow::on_customLineEdit_editingFinished()
{
    int32_t count = 0;
    if (!CustomCount(count)) {
        // Too few samples leave no X step to draw with: keep what was there.
        ui->customLineEdit->setText(QString::number(editedSettings.customVal));
        return;
    }
    ui->customLineEdit->setText(QString::number(count));
    editedSettings.customVal = count;
    editedSettings.maxSamples = count;
}

void SettingsWindow::on_backupChkBox_clicked(bool checked) { editedSettings.backup = checked; }
void SettingsWindow::on_startChkBox_clicked(bool checked) { editedSettings.chartLabels[0] = checked; }
void SettingsWindow::on_sampIntChkBox_clicked(bool checked) { editedSettings.chartLabels[1] = checked; }
void SettingsWindow::on_displayChkBox_clicked(bool checked) { editedSettings.chartLabels[2] = checked; }
void SettingsWindow::on_stopChkBox_clicked(bool checked) { editedSettings.chartLabels[3] = checked; }
void SettingsWindow::on_sampRcvChkBox_clicked(bool checked) { editedSettings.chartLabels[4] = checked; }
void SettingsWindow::on_maxValChkBox_clicked(bool checked) { editedSettings.chartLabels[5] = checked; }
void SettingsWindow::on_minValChkBox_clicked(bool checked) { editedSettings.chartLabels[6] = checked; }
void SettingsWindow::on_missedChkBox_clicked(bool checked) { editedSettings.chartLabels[7] = checked; }

// ---- Alerts -------------------------------------------------------------------------------

AlertEntry &SettingsWindow::CurrentAlert()
{
    const int index = qBound(0, int(editedSettings.alertSettings.currentAlert), 3);
    return editedSettings.alertSettings.alerts[index];
}

void SettingsWindow::SetAlertControlsEnabled(bool enabled, bool email)
{
    ui->chCmbBox->setEnabled(enabled);
    ui->greaterCmbBox->setEnabled(enabled);
    ui->valueLineEdit->setEnabled(enabled);
    ui->emailLineEdit->setEnabled(email);
}

void SettingsWindow::ShowThreshold()
{
    const AlertEntry &e = CurrentAlert();
    ui->valueLineEdit->setText(e.alertType != 0 ? QString::number(e.value, 'g', 15) : QStringLiteral("0"));
}

bool SettingsWindow::Threshold(double &value) const
{
    bool ok = false;
    const double v = ui->valueLineEdit->text().trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

// Shows the current slot; the controls are set without running their slots, so loading
// changes nothing in the edited copy.
void SettingsWindow::LoadAlert()
{
    const AlertEntry &e = CurrentAlert();
    ui->emailLineEdit->clear();
    ui->valueLineEdit->clear();
    Select(ui->greaterCmbBox, e.condition != 0 ? 1 : 0);
    if (e.channel == 0 || e.channel == 1)
        Select(ui->chCmbBox, e.channel);
    ShowThreshold();
    switch (e.alertType) {
    case 0:
        Select(ui->typeCmbBox, 0);
        SetAlertControlsEnabled(false, false);
        break;
    case 1:
        Select(ui->typeCmbBox, 1);
        SetAlertControlsEnabled(true, false);
        break;
    default:
        Select(ui->typeCmbBox, e.alertType == 2 ? 2 : 3);
        ui->emailLineEdit->setText(e.email);
        SetAlertControlsEnabled(true, true);
        break;
    }
}

void SettingsWindow::on_alertCmbBox_currentIndexChanged(int index)
{
    if (index < 0)
        return;
    editedSettings.alertSettings.currentAlert = ui->alertCmbBox->itemText(index).toInt() - 1;
    LoadAlert();
}

void SettingsWindow::on_chCmbBox_currentIndexChanged(int index)
{
    CurrentAlert().channel = index == 0 ? 0 : 1;
}

void SettingsWindow::on_typeCmbBox_currentIndexChanged(int index)
{
    AlertEntry &e = CurrentAlert();
    if (index <= 0) {
        e.alertType = 0;
        SetAlertControlsEnabled(false, false);
        return;
    }
    SetAlertControlsEnabled(true, false);
    e.condition = ui->greaterCmbBox->currentIndex() == 0 ? 0 : 1;
    e.channel = ui->chCmbBox->currentIndex() == 0 ? 0 : 1;
    double value = 0.0;
    if (Threshold(value))
        e.value = value;
    e.alertType = index == 1 ? 1 : index == 2 ? 2 : 3;
    if (e.alertType != 1)
        ui->emailLineEdit->setEnabled(true);
    ShowThreshold();
}

void SettingsWindow::on_greaterCmbBox_currentIndexChanged(int index)
{
    CurrentAlert().condition = index == 0 ? 0 : 1;
}

void SettingsWindow::on_valueLineEdit_editingFinished()
{
    // A mistyped threshold ("5OO") must not become 0 and fire at once.
    double value = 0.0;
    if (Threshold(value))
        CurrentAlert().value = value;
    ShowThreshold();
}

void SettingsWindow::on_emailLineEdit_editingFinished()
{
    CurrentAlert().email = ui->emailLineEdit->text();
}

// ---- Data display -------------------------------------------------------------------------

void SettingsWindow::on_rawRadio_clicked(bool checked) { editedSettings.dataFormat = checked ? 0 : 1; }
void SettingsWindow::on_formattedRadio_clicked(bool checked) { editedSettings.dataFormat = checked ? 1 : 0; }

// ---- OK and Cancel ------------------------------------------------------------------------

void SettingsWindow::Accept()
{
    if (!config)
        return;
    config->maxSamples = editedSettings.maxSamples;
    config->customVal = editedSettings.customVal;
    config->backup = editedSettings.backup;
    for (int i = 0; i < 8; ++i)
        config->chartLabels[i] = editedSettings.chartLabels[i];
    // An alert may have fired, or the screen been cleared, while the dialog was open:
    // whether it fired is the chart's to say, not the dialog's.
    AlertSettings &to = config->alertSettings;
    to.currentAlert = editedSettings.alertSettings.currentAlert;
    for (int i = 0; i < 4; ++i) {
        const bool fired = to.alerts[i].fired;
        to.alerts[i] = editedSettings.alertSettings.alerts[i];
        to.alerts[i].fired = fired;
    }
    config->dataFormat = editedSettings.dataFormat;
}

void SettingsWindow::on_sampOk_clicked()
{
    Accept();
    if (LoggerWin && config)
        LoggerWin->SetRestoreBackupState(editedSettings.backup);
    close();
}

void SettingsWindow::on_chartOk_clicked()
{
    Accept();
    if (LoggerWin) {
        LoggerWin->HideShowMemoMarkersInPlot();
        LoggerWin->HideShowLabelsinPlot();
    }
    close();
}

void SettingsWindow::on_alertOk_clicked()
{
    Accept();
    close();
}

void SettingsWindow::on_dataFormatOk_clicked()
{
    Accept();
    close();
}

void SettingsWindow::Cancel(Tab tab)
{
    close();
    if (!config)
        return;
    switch (tab) {
    case SamplesTab:
        editedSettings.maxSamples = config->maxSamples;
        editedSettings.customVal = config->customVal;
        editedSettings.backup = config->backup;
        break;
    case ChartLabelsTab:
        for (int i = 0; i < 8; ++i)
            editedSettings.chartLabels[i] = config->chartLabels[i];
        break;
    case AlertsTab:
        editedSettings.alertSettings = config->alertSettings;
        break;
    case DataDisplayTab:
        editedSettings.dataFormat = config->dataFormat;
        break;
    }
}

void SettingsWindow::on_sampCancel_clicked() { Cancel(SamplesTab); }
void SettingsWindow::on_chartCancel_clicked() { Cancel(ChartLabelsTab); }
void SettingsWindow::on_alertCancel_clicked() { Cancel(AlertsTab); }
void SettingsWindow::on_dataFormatCancel_clicked() { Cancel(DataDisplayTab); }

// Compiled here rather than with the library's other meta-objects, so that only code that
// uses this window links it.
#include "moc_SettingsWindow.cpp"
