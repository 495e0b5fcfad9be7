#include "ycontrolsWindow.h"

#include "LoggerMainWindow.h"
#include "YParameters.h"
#include "ui_ycontrolsWindow.h"

#include <QCloseEvent>
#include <QDoubleValidator>
#include <QLocale>
#include <QVariant>
#include <cmath>

namespace {

const char *const RangesX1[8] = {"100 mv", "200 mv", "500 mv", "1 V", "2 V", "5 V", "10 V", "20 V"};
const char *const RangesX10[8] = {"1 V", "2 V", "5 V", "10 V", "20 V", "50 V", "100 V", "200 V"};

const char *RangeText(int index, bool x10)
{
    return x10 ? RangesX10[index] : RangesX1[index];
}

bool IsBuiltInScale(const QString &name)
{
    return name == QLatin1String("mV") || name == QLatin1String("Voltage")
           || name == QLatin1String("V");
}

// A typed bound: Qt's own number form or the user's.
bool ReadBound(const QString &text, double &value)
{
    bool ok = false;
    double v = text.trimmed().toDouble(&ok);
    if (!ok)
        v = QLocale().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

QString NumberText(double v)
{
    return QVariant(v).toString();
}

template <typename Y>
auto &SaturationOf(Y &ys, int channel)
{
    return channel == 0 ? ys.chASaturation : ys.chBSaturation;
}

// The range and unit in force, with the channel inputs of the window's copy.
YSettings WithChannelInputs(const YSettings &configured, const YSettings &copy)
{
    YSettings s = configured;
    s.chASaturation = copy.chASaturation;
    s.chBSaturation = copy.chBSaturation;
    return s;
}

}   // namespace

ycontrolsWindow::ycontrolsWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui_ycontrolsWindow)
{
    ui->setupUi(this);
    initializing = false;
    maxValidator = new QDoubleValidator(this);
    maxValidator->setDecimals(3);
    minValidator = new QDoubleValidator(this);
    minValidator->setDecimals(3);
    ui->yMax->setValidator(maxValidator);
    ui->yMin->setValidator(minValidator);
}

ycontrolsWindow::~ycontrolsWindow()
{
    for (const QPointer<YParameters> &dialog : qAsConst(newScaleDialogs))
        delete dialog.data();
    delete ui;
}

void ycontrolsWindow::ShowRange(double yMin, double yMax)
{
    ui->yMax->setText(NumberText(yMax));
    ui->yMin->setText(NumberText(yMin));
}

void ycontrolsWindow::FillUnitList()
{
    ui->unitComboBox->clear();
    for (const YScaleSettings &scale : config->yScales)
        ui->unitComboBox->addItem(scale.name);
}

void ycontrolsWindow::SelectUnit(const QString &name)
{
    int index = ui->unitComboBox->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) {
        // No scale named active (a fresh configuration): the one the axis shows.
        for (size_t i = 0; i < config->yScales.size() && index < 0; ++i)
            if (config->yScales[i].unit == config->ySettings.unitText)
                index = int(i);
    }
    if (index >= 0)
        ui->unitComboBox->setCurrentIndex(index);
    ui->removeButton->setEnabled(!IsBuiltInScale(ui->unitComboBox->currentText()));
}

void ycontrolsWindow::Initialize(ConfigSettings *c, Messages *m)
{
    messages = m;
    initializing = true;
    config = c;

    settingsCopy = c->ySettings;
    pendingMax = settingsCopy.yMax;
    pendingMin = settingsCopy.yMin;
    ShowRange(c->ySettings.yMin, c->ySettings.yMax);

    // An open window initialised again starts from empty lists.
    FillUnitList();
    SelectUnit(c->activeYScale);

    for (int channel = 0; channel < 2; ++channel) {
        const ChannelSaturation &sat = SaturationOf(settingsCopy, channel);
        QComboBox *ranges = channel == 0 ? ui->voltComboBoxA : ui->voltComboBoxB;
        ranges->clear();
        for (int i = 0; i < 8; ++i)
            ranges->addItem(QString::fromLatin1(RangeText(i, sat.multiplier == 1)));
        ranges->setCurrentIndex(sat.voltage >= 0 && sat.voltage < 8 ? sat.voltage : -1);
        ShowChannel(channel);
    }
    ui->tabWidget->setCurrentWidget(ui->tab);
    initializing = false;
}

void ycontrolsWindow::ShowConfiguredScale()
{
    if (!config)
        return;
    initializing = true;
    settingsCopy = WithChannelInputs(config->ySettings, settingsCopy);
    pendingMax = settingsCopy.yMax;
    pendingMin = settingsCopy.yMin;
    ShowRange(settingsCopy.yMin, settingsCopy.yMax);
    SelectUnit(config->activeYScale);
    initializing = false;
}

QList<QWidget *> ycontrolsWindow::ChannelControls() const
{
    return {ui->voltComboBoxA, ui->x10CheckBoxA, ui->acRadioA, ui->dcRadioA,
            ui->voltComboBoxB, ui->x10CheckBoxB, ui->acRadioB, ui->dcRadioB};
}

void ycontrolsWindow::EnableControls()
{
    for (QWidget *widget : ChannelControls())
        widget->setEnabled(true);
}

void ycontrolsWindow::DisableControls()
{
    for (QWidget *widget : ChannelControls())
        widget->setEnabled(false);
}

// ---- Typed range ----------------------------------------------------------------------

void ycontrolsWindow::on_yMax_editingFinished()
{
    double v = 0.0;
    if (ReadBound(ui->yMax->text(), v))
        pendingMax = v;
}

void ycontrolsWindow::on_yMin_editingFinished()
{
    double v = 0.0;
    if (ReadBound(ui->yMin->text(), v))
        pendingMin = v;
}

void ycontrolsWindow::on_applyButton_clicked()
{
    if (!config)
        return;
    double lo = 0.0;
    double hi = 0.0;
    // Both bounds, in order, or nothing: a half-typed range is put back as it was.
    if (!ReadBound(ui->yMin->text(), lo) || !ReadBound(ui->yMax->text(), hi) || !(lo < hi)) {
        ShowRange(settingsCopy.yMin, settingsCopy.yMax);
        pendingMax = settingsCopy.yMax;
        pendingMin = settingsCopy.yMin;
        return;
    }
    pendingMax = hi;
    pendingMin = lo;
    settingsCopy.yMax = hi;
    settingsCopy.yMin = lo;
    LoggerWin->ApplyYSettings(settingsCopy);
}

// ---- Y scales -------------------------------------------------------------------------

void ycontrolsWindow::on_unitComboBox_currentIndexChanged(int index)
{
    if (initializing || !config || index < 0)
        return;
    const QString t = ui->unitComboBox->itemText(index);
    if (t.isEmpty())
        return;
    ui->removeButton->setEnabled(!IsBuiltInScale(t));
    // Chosen as from the Y Scale menu; a scale the chart cannot show is refused there, and
    // the list goes back to the scale in force.
    if (t != config->activeYScale)
        LoggerWin->ChooseYScale(t);
    ShowConfiguredScale();
}

void ycontrolsWindow::on_newButton_clicked()
{
    newScaleDialogs.removeAll(QPointer<YParameters>());
    auto *dialog = new YParameters(nullptr);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    newScaleDialogs.append(dialog);
    dialog->Initialize(config, messages);
    dialog->show();
    connect(dialog, &YParameters::NewYScaleAdded, this, &ycontrolsWindow::AddNewYScale);
}

void ycontrolsWindow::AddNewYScale()
{
    if (!config || config->yScales.empty())
        return;
    // Filled quietly, so that only the new scale is chosen; the logger window gives it
    // its menu entry.
    initializing = true;
    FillUnitList();
    initializing = false;
    LoggerWin->ChooseYScale(config->yScales.back().name);
    ShowConfiguredScale();
}

void ycontrolsWindow::on_removeButton_clicked()
{
    if (!config)
        return;
    const QString t = ui->unitComboBox->currentText();
    if (IsBuiltInScale(t))
        return;
    bool erased = false;
    for (auto it = config->yScales.begin(); it != config->yScales.end(); ++it) {
        if (it->name == t) {
            config->yScales.erase(it);
            erased = true;
            break;
        }
    }
    if (!erased)
        return;
    LoggerWin->RemoveYScale(t);
    RemoveYScale();
}

void ycontrolsWindow::RemoveYScale()
{
    if (!config)
        return;
    initializing = true;
    FillUnitList();
    initializing = false;
    // The logger window has moved to the mV scale when the removed one was shown.
    ShowConfiguredScale();
}

// ---- Per-channel inputs ---------------------------------------------------------------

void ycontrolsWindow::ApplyChannelChange()
{
    if (!config)
        return;
    // The range and unit in force, whatever the menus did meanwhile; the inputs from here.
    settingsCopy = WithChannelInputs(config->ySettings, settingsCopy);
    LoggerWin->ApplyYSettings(settingsCopy);
}

void ycontrolsWindow::SetX10(int channel, bool on)
{
    ChannelSaturation &sat = SaturationOf(settingsCopy, channel);
    QComboBox *ranges = channel == 0 ? ui->voltComboBoxA : ui->voltComboBoxB;
    sat.multiplier = on ? 1 : 0;
    for (int i = 0; i < ranges->count() && i < 8; ++i)
        ranges->setItemText(i, QString::fromLatin1(RangeText(i, on)));
    ApplyChannelChange();
}

void ycontrolsWindow::on_x10CheckBoxA_clicked(bool checked)
{
    SetX10(0, checked);
}

void ycontrolsWindow::on_x10CheckBoxB_clicked(bool checked)
{
    SetX10(1, checked);
}

// The button labelled "DC" stores DC coupling (SignalType 0), the one labelled "AC" stores 1,
// as the instrument set-up reads them.
void ycontrolsWindow::SetCoupling(int channel, int signalType)
{
    SaturationOf(settingsCopy, channel).signalType = signalType;
    ApplyChannelChange();
}

void ycontrolsWindow::on_acRadioA_clicked(bool checked)
{
    SetCoupling(0, checked ? 0 : 1);
}

void ycontrolsWindow::on_dcRadioA_clicked(bool checked)
{
    SetCoupling(0, checked ? 1 : 0);
}

void ycontrolsWindow::on_acRadioB_clicked(bool checked)
{
    SetCoupling(1, checked ? 0 : 1);
}

void ycontrolsWindow::on_dcRadioB_clicked(bool checked)
{
    SetCoupling(1, checked ? 1 : 0);
}

void ycontrolsWindow::SetVoltageRange(int channel, int index)
{
    if (initializing || !config || index < 0)
        return;
    SaturationOf(settingsCopy, channel).voltage = index;
    if (SaturationOf(config->ySettings, channel).voltage != index)
        ApplyChannelChange();
}

void ycontrolsWindow::on_voltComboBoxA_currentIndexChanged(int index)
{
    SetVoltageRange(0, index);
}

void ycontrolsWindow::on_voltComboBoxB_currentIndexChanged(int index)
{
    SetVoltageRange(1, index);
}

void ycontrolsWindow::ShowChannel(int channel)
{
    const ChannelSaturation &sat = SaturationOf(settingsCopy, channel);
    QComboBox *ranges = channel == 0 ? ui->voltComboBoxA : ui->voltComboBoxB;
    QRadioButton *dc = channel == 0 ? ui->acRadioA : ui->acRadioB;   // labelled "DC"
    QRadioButton *ac = channel == 0 ? ui->dcRadioA : ui->dcRadioB;   // labelled "AC"
    QCheckBox *x10 = channel == 0 ? ui->x10CheckBoxA : ui->x10CheckBoxB;
    const bool wasInitializing = initializing;
    initializing = true;
    if (sat.voltage >= 0 && sat.voltage < ranges->count())
        ranges->setCurrentIndex(sat.voltage);
    dc->setChecked(sat.signalType == 0);
    ac->setChecked(sat.signalType != 0);
    x10->setChecked(sat.multiplier == 1);
    initializing = wasInitializing;
}

void ycontrolsWindow::on_tabWidget_currentChanged(int index)
{
    if (!config)
        return;
    ShowChannel(ui->tabWidget->widget(index) == ui->tab ? 0 : 1);
}

void ycontrolsWindow::closeEvent(QCloseEvent *event)
{
    for (const QPointer<YParameters> &dialog : qAsConst(newScaleDialogs))
        if (dialog)
            dialog->close();
    newScaleDialogs.clear();
    QMainWindow::closeEvent(event);
    LoggerWin->CloseYControls();
}

// Compiled here rather than with the library's other meta-objects, so that only code that
// uses this window links it.
#include "moc_ycontrolsWindow.cpp"
