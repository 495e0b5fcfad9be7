// The "Data Logger Settings" dialog: samples, chart labels, alerts and data display.
#pragma once

#include "LoggerData.h"

#include <QTabWidget>

class QCloseEvent;
class Ui_SettingsWindow;

// The part of the configuration the dialog edits, in the configuration's field order.
struct EditedSettings {
    int32_t maxSamples = 0;
    int32_t customVal = 0;
    bool backup = false;
    bool chartLabels[8] = {false, false, false, false, false, false, false, false};
    AlertSettings alertSettings;
    int32_t dataFormat = 0;
};

class SettingsWindow : public QTabWidget {
    Q_OBJECT
    friend class TestSettingsWindow;

public:
    explicit SettingsWindow(QWidget *parent = nullptr);
    ~SettingsWindow() override;

    // Loads the edited copy and every field from the configuration; run at every opening.
    void Initialize(ConfigSettings *config);
    // Locks the data-format choice while a run lasts.
    void DisableSettings(bool disable);

    // The fewest samples a chart may hold: fewer leave no X step to draw with.
    static constexpr int MinSamples = 10;

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void on_maxSampCmbBox_currentIndexChanged(int index);
    void on_customLineEdit_editingFinished();
    void on_backupChkBox_clicked(bool checked);
    void on_startChkBox_clicked(bool checked);
    void on_sampIntChkBox_clicked(bool checked);
    void on_displayChkBox_clicked(bool checked);
    void on_stopChkBox_clicked(bool checked);
    void on_sampRcvChkBox_clicked(bool checked);
    void on_maxValChkBox_clicked(bool checked);
    void on_minValChkBox_clicked(bool checked);
    void on_missedChkBox_clicked(bool checked);
    void on_alertCmbBox_currentIndexChanged(int index);
    void on_chCmbBox_currentIndexChanged(int index);
    void on_typeCmbBox_currentIndexChanged(int index);
    void on_greaterCmbBox_currentIndexChanged(int index);
    void on_valueLineEdit_editingFinished();
    void on_emailLineEdit_editingFinished();
    void on_rawRadio_clicked(bool checked);
    void on_formattedRadio_clicked(bool checked);
    void on_sampOk_clicked();
    void on_chartOk_clicked();
    void on_alertOk_clicked();
    void on_dataFormatOk_clicked();
    void on_sampCancel_clicked();
    void on_chartCancel_clicked();
    void on_alertCancel_clicked();
    void on_dataFormatCancel_clicked();

private:
    enum Tab { SamplesTab, ChartLabelsTab, AlertsTab, DataDisplayTab };

    // The alert slot the Alerts tab shows.
    AlertEntry &CurrentAlert();
    void LoadAlert();
    void SetAlertControlsEnabled(bool enabled, bool email);
    // The custom count typed, when it is a whole number of at least MinSamples.
    bool CustomCount(int32_t &count) const;
    // The threshold typed, when it is a finite number.
    bool Threshold(double &value) const;
    void ShowThreshold();
    void Accept();
    void Cancel(Tab tab);

    Ui_SettingsWindow *ui;
    ConfigSettings *config = nullptr;
    EditedSettings editedSettings;
};
