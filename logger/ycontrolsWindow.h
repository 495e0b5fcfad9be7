// The Y-Controls window: Y range, Y scale (built-in or custom) and per-channel inputs.
#pragma once

#include "LoggerData.h"

#include <QMainWindow>
#include <QPointer>
#include <QVector>

class Messages;
class QCloseEvent;
class QDoubleValidator;
class Ui_ycontrolsWindow;
class YParameters;

class ycontrolsWindow : public QMainWindow {
    Q_OBJECT
    friend class TestYControls;

public:
    explicit ycontrolsWindow(QWidget *parent = nullptr);
    ~ycontrolsWindow() override;

    // Loads the window from the configuration; run at every opening.
    void Initialize(ConfigSettings *config, Messages *messages);
    // The per-channel controls, locked while a run lasts.
    void EnableControls();
    void DisableControls();
    // Refills the unit list after a scale was removed.
    void RemoveYScale();
    // Shows the configuration's range and active scale after the logger window changed them.
    void ShowConfiguredScale();

public slots:
    void AddNewYScale();

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void on_yMax_editingFinished();
    void on_yMin_editingFinished();
    void on_applyButton_clicked();
    void on_newButton_clicked();
    void on_removeButton_clicked();
    void on_x10CheckBoxA_clicked(bool checked);
    void on_x10CheckBoxB_clicked(bool checked);
    void on_tabWidget_currentChanged(int index);
    void on_acRadioA_clicked(bool checked);
    void on_dcRadioA_clicked(bool checked);
    void on_acRadioB_clicked(bool checked);
    void on_dcRadioB_clicked(bool checked);
    void on_voltComboBoxB_currentIndexChanged(int index);
    void on_voltComboBoxA_currentIndexChanged(int index);
    void on_unitComboBox_currentIndexChanged(int index);

private:
    void ShowRange(double yMin, double yMax);
    void FillUnitList();
    void SelectUnit(const QString &name);
    void ShowChannel(int channel);
    void SetX10(int channel, bool on);
    void SetCoupling(int channel, int signalType);
    void SetVoltageRange(int channel, int index);
    void ApplyChannelChange();
    QList<QWidget *> ChannelControls() const;

    Ui_ycontrolsWindow *ui = nullptr;
    YSettings settingsCopy;
    // Every New dialog still open; each closes with this window.
    QVector<QPointer<YParameters>> newScaleDialogs;
    ConfigSettings *config = nullptr;
    double pendingMax = 0.0;
    double pendingMin = 0.0;
    QDoubleValidator *maxValidator = nullptr;
    QDoubleValidator *minValidator = nullptr;
    Messages *messages = nullptr;
    bool initializing = false;
};
