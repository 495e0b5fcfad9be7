// The "Y Scale Parameter" dialog: defines a custom Y scale (name, unit, multiplier from volts).
#pragma once

#include "LoggerData.h"

#include <QMainWindow>

class Messages;
class QDoubleValidator;
class Ui_YParameters;

class YParameters : public QMainWindow {
    Q_OBJECT
    friend class TestYControls;

public:
    explicit YParameters(QWidget *parent = nullptr);
    ~YParameters() override;

    void Initialize(ConfigSettings *config, Messages *messages);

    // A name that a new scale may not take: a built-in's or one already in the list.
    static bool ScaleNameInUse(const ConfigSettings *config, const QString &name);
    // The multiplier typed, when it is a finite number above 0.
    static bool ParseMultiplier(const QString &text, double &multiplier);

signals:
    void NewYScaleAdded();

private slots:
    void on_okButton_clicked();
    void on_cancelButton_clicked();

private:
    Ui_YParameters *ui = nullptr;
    ConfigSettings *config = nullptr;
    YScaleSettings newScale;
    QDoubleValidator *multiplierValidator = nullptr;
    Messages *messages = nullptr;
};
