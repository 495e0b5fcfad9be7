#include "YParameters.h"

#include "Messages.h"
#include "YScale.h"
#include "ui_YParameters.h"

#include <QDoubleValidator>
#include <QLocale>
#include <cmath>

YParameters::YParameters(QWidget *parent) : QMainWindow(parent), ui(new Ui_YParameters)
{
    ui->setupUi(this);
    multiplierValidator = new QDoubleValidator(this);
    ui->yMultLineEdit->setValidator(multiplierValidator);
}

YParameters::~YParameters()
{
    delete ui;
}

void YParameters::Initialize(ConfigSettings *c, Messages *m)
{
    config = c;
    messages = m;
}

bool YParameters::ScaleNameInUse(const ConfigSettings *config, const QString &name)
{
    // "V" is the unit the built-in volt scale is known by.
    for (const char *builtIn : {"mV", "V", "Voltage"})
        if (name == QLatin1String(builtIn))
            return true;
    for (const YScaleSettings &scale : config->yScales)
        if (scale.name == name)
            return true;
    return false;
}

bool YParameters::ParseMultiplier(const QString &text, double &multiplier)
{
    bool ok = false;
    double v = text.trimmed().toDouble(&ok);
    // The validator accepts the user's own decimal separator too.
    if (!ok)
        v = QLocale().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(v) || !(v > 0.0))
        return false;
    multiplier = v;
    return true;
}

void YParameters::on_okButton_clicked()
{
    const QString name = ui->nameLineEdit->text().trimmed();
    const QString unit = ui->unitsLineEdit->text().trimmed();
    const QString multiplierText = ui->yMultLineEdit->text().trimmed();
    newScale.name = name;
    newScale.unit = unit;
    newScale.multiplier = 0.0;

    messageCode_e refusal = FILL_ALL_FIELDS;
    bool accepted = false;
    if (name.isEmpty() || unit.isEmpty() || multiplierText.isEmpty())
        refusal = FILL_ALL_FIELDS;
    else if (!ParseMultiplier(multiplierText, newScale.multiplier))
        refusal = INVALID_MULTIPLIER;
    // The new scale becomes the shown one: its range must be one the chart can draw.
    else if (!ShowableScale(newScale.multiplier, config->ySettings.multiplier, config->ySettings.yMin,
                            config->ySettings.yMax))
        refusal = MULTIPLIER_NOT_SHOWABLE;
    else if (ScaleNameInUse(config, name))
        refusal = SCALE_NAME_IN_USE;
    else
        accepted = true;

    if (!accepted) {
        if (messages)
            messages->DisplayMsg(refusal);
        activateWindow();
        return;
    }
    config->yScales.push_back(newScale);
    emit NewYScaleAdded();
    close();
}

void YParameters::on_cancelButton_clicked()
{
    close();
}

// Compiled here rather than with the library's other meta-objects, so that only code that
// uses this window links it.
#include "moc_YParameters.cpp"
