// The settings dialog refuses counts and thresholds that would break the chart, never
// writes back an alert's fired flag, and the alert pop-ups show what they are given.
#include <QtTest>

#include "test_home.h"
#include "AlertPopUp.h"
#include "LoggerData.h"
#include "LoggerMainWindow.h"
#include "SettingsWindow.h"
#include "ui_AlertPopUp.h"
#include "ui_LoggerMainWindow.h"
#include "ui_SettingsWindow.h"

#include <QScreen>

class TestSettingsWindow : public QObject {
    Q_OBJECT

    static void Type(QLineEdit *edit, const QString &text)
    {
        edit->setText(text);
        emit edit->editingFinished();
    }

private slots:
    void customCountAndThresholdAreValidated()
    {
        ConfigSettings config("Tamberlo.xml");
        config.SetDefaultSettings();
        config.alertSettings.alerts[0] = {0, 1, "", 0, 250.0, false};
        SettingsWindow dialog;
        dialog.Initialize(&config);
        Ui_SettingsWindow *ui = dialog.ui;
        QCOMPARE(ui->maxSampCmbBox->currentText(), QString("100000"));
        QVERIFY(!ui->customLineEdit->isEnabled());

        ui->maxSampCmbBox->setCurrentIndex(7);   // "(Custom)" with the stored 1000
        QVERIFY(ui->customLineEdit->isEnabled());
        QCOMPARE(dialog.editedSettings.maxSamples, 1000);
        for (const char *bad : {"", "abc", "-5", "0", "3", "9", "99999999999", "12x"}) {
            Type(ui->customLineEdit, bad);
            QCOMPARE(ui->customLineEdit->text(), QString("1000"));
            QCOMPARE(dialog.editedSettings.customVal, 1000);
            QCOMPARE(dialog.editedSettings.maxSamples, 1000);
        }
        Type(ui->customLineEdit, " 10 ");
        QCOMPARE(dialog.editedSettings.customVal, 10);
        QCOMPARE(dialog.editedSettings.maxSamples, 10);
        ui->maxSampCmbBox->setCurrentIndex(4);   // "50000" leaves the custom value alone
        QCOMPARE(dialog.editedSettings.maxSamples, 50000);
        QCOMPARE(dialog.editedSettings.customVal, 10);

        QCOMPARE(ui->valueLineEdit->text(), QString("250"));
        for (const char *bad : {"5OO", "", "inf", "nan", "1e999"}) {
            Type(ui->valueLineEdit, bad);
            QCOMPARE(ui->valueLineEdit->text(), QString("250"));
            QCOMPARE(dialog.editedSettings.alertSettings.alerts[0].value, 250.0);
        }
        Type(ui->valueLineEdit, "-12.5");
        QCOMPARE(dialog.editedSettings.alertSettings.alerts[0].value, -12.5);
        // A refused text met by a change of type keeps the stored threshold too.
        ui->valueLineEdit->setText("5OO");
        ui->typeCmbBox->setCurrentIndex(3);
        QCOMPARE(dialog.editedSettings.alertSettings.alerts[0].value, -12.5);
        QCOMPARE(ui->valueLineEdit->text(), QString("-12.5"));

        ui->alertOk->click();
        QCOMPARE(config.maxSamples, 50000);
        QCOMPARE(config.customVal, 10);
        QCOMPARE(config.alertSettings.alerts[0].value, -12.5);
        QCOMPARE(config.alertSettings.alerts[0].alertType, 3);
    }

    void okWritesEverythingButFired()
    {
        ConfigSettings config("Tamberlo.xml");
        config.SetDefaultSettings();
        config.alertSettings.alerts[0] = {1, 1, "", 1, 7.0, false};
        config.alertSettings.alerts[2] = {0, 2, "ops@example.com", 0, 3.0, true};
        SettingsWindow dialog;
        // Opening fills the boxes for the first time: that must not edit alert 1.
        dialog.Initialize(&config);
        Ui_SettingsWindow *ui = dialog.ui;
        QCOMPARE(ui->typeCmbBox->currentText(), QString("Popup"));
        QCOMPARE(ui->chCmbBox->currentText(), QString("B"));
        QCOMPARE(ui->greaterCmbBox->currentText(), QString("Less than"));
        ui->alertCmbBox->setCurrentIndex(1);
        ui->typeCmbBox->setCurrentIndex(2);
        Type(ui->emailLineEdit, "me@example.com");
        ui->alertCmbBox->setCurrentIndex(2);
        QCOMPARE(ui->emailLineEdit->text(), QString("ops@example.com"));
        ui->stopChkBox->click();

        // Meanwhile alert 1 fires and a Clear Screen re-arms alert 3.
        config.alertSettings.alerts[0].fired = true;
        config.alertSettings.alerts[2].fired = false;
        ui->sampOk->click();   // any OK writes the whole block

        const AlertEntry *a = config.alertSettings.alerts;
        QVERIFY(a[0].fired);
        QVERIFY(!a[2].fired);
        QCOMPARE(a[0].alertType, 1);
        QCOMPARE(a[0].channel, 1);
        QCOMPARE(a[0].condition, 1);
        QCOMPARE(a[0].value, 7.0);
        QCOMPARE(a[1].alertType, 2);
        QCOMPARE(a[1].email, QString("me@example.com"));
        QVERIFY(!config.chartLabels[3]);
        QCOMPARE(config.alertSettings.currentAlert, 2);

        // Cancel discards: the next opening shows the configuration again.
        dialog.Initialize(&config);
        ui->stopChkBox->click();
        ui->chartCancel->click();
        QVERIFY(!config.chartLabels[3]);
        dialog.Initialize(&config);
        QVERIFY(!ui->stopChkBox->isChecked());
        QCOMPARE(ui->alertCmbBox->currentText(), QString("1"));
    }

    void dialogOpensOnScreenAndReportsItsClose()
    {
        auto win = std::make_unique<LoggerMainWindow>();
        LoggerWin = win.get();
        win->show();
        const QRect screen = win->screen()->availableGeometry();
        win->move(screen.right() - 100, screen.bottom() - 100);   // mostly off screen
        win->ui->action_Settings->trigger();
        QVERIFY(win->settingsWindowOpen);
        QVERIFY(screen.contains(win->settingsWindow->frameGeometry()));
        win->settingsWindow->ui->backupChkBox->click();
        win->settingsWindow->ui->sampOk->click();
        QVERIFY(!win->settingsWindowOpen);
        QVERIFY(!win->settingsWindow->isVisible());
        QVERIFY(!win->config->backup);
        QVERIFY(!win->ui->action_Restore_Backup->isEnabled());
    }

    // What the user set is there again at the next start of the logger window.
    void settingsSurviveARestart()
    {
        QDir().mkpath(LoggerMainWindow::AppFolder());
        {
            auto win = std::make_unique<LoggerMainWindow>();
            LoggerWin = win.get();
            win->config->sampleInterval = 250.0;
            win->config->maxSamples = 25000;
            win->config->alertSettings.alerts[1] = {1, 1, "", 0, 42.0, true};
            win->config->colorSettings.chBColor = QColor("#123456");
            LoggerMainWindow::SetTicked(win->ui->action_Sample_No, false);
            LoggerMainWindow::SetTicked(win->ui->action_Time, true);
            win->show();
            QVERIFY(win->close());
        }
        auto win = std::make_unique<LoggerMainWindow>();
        LoggerWin = win.get();
        QCOMPARE(win->config->sampleInterval, 250.0);
        QCOMPARE(win->config->maxSamples, 25000);
        QCOMPARE(win->config->xSettings.xMode, 1);
        QCOMPARE(win->config->alertSettings.alerts[1].value, 42.0);
        QVERIFY(!win->config->alertSettings.alerts[1].fired);   // every start re-arms
        QCOMPARE(win->config->colorSettings.chBColorName, QString("#123456"));
        QFile::remove(LoggerMainWindow::AppFolder() + "Tamberlo.xml");
    }

    void alertPopUpsShowTheirOwnAlert()
    {
        auto win = std::make_unique<LoggerMainWindow>();
        LoggerWin = win.get();
        win->show();
        for (int slot = 0; slot < 4; ++slot)
            win->DisplayAlertPopUp(slot, "host", "user", "01/02/2024", "10:00:00 AM",
                                   slot % 2 ? "B" : "A", QString::number(100 + slot), "<b>12.5</b>");
        AlertPopUp *const *p = win->alertPopUps;
        const QRect screen = win->screen()->availableGeometry();
        for (int slot = 0; slot < 4; ++slot) {
            QVERIFY(p[slot]->isVisible());
            QVERIFY(screen.contains(p[slot]->frameGeometry()));
            QCOMPARE(p[slot]->ui->alertMetLabel->text(),
                     QString("Data has met Alert %1 condition").arg(slot + 1));
            QCOMPARE(p[slot]->ui->sampleNoLabel->text(), QString::number(100 + slot));
            QCOMPARE(p[slot]->ui->dataValueLabel->textFormat(), Qt::PlainText);
            // Four open at once: none hides another's headline.
            for (int other = 0; other < slot; ++other)
                QVERIFY(!p[slot]->geometry().intersects(p[other]->geometry()));
        }
        p[2]->ui->pushButton->click();
        QVERIFY(!p[2]->isVisible());
        QVERIFY(p[0]->isVisible() && p[1]->isVisible() && p[3]->isVisible());
        // A pop-up already shown is refilled in place.
        const QPoint at = p[1]->pos();
        win->DisplayAlertPopUp(1, "h2", "u2", "d", "t", "A", "999", "1");
        QCOMPARE(p[1]->pos(), at);
        QCOMPARE(p[1]->ui->systemNameLabel->text(), QString("h2"));
    }
};

ZR_TEST_MAIN(TestSettingsWindow)

#include "test_settings_window.moc"
