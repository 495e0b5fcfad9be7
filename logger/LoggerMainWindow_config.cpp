// Writer of the logger's configuration file "Tamberlo.xml".
#include "LoggerMainWindow.h"

#include "LoggerConfigWriter.h"
#include "Messages.h"

#include "ui_LoggerMainWindow.h"

#include <QDebug>
#include <QDir>

void LoggerMainWindow::SaveXMLConfig()
{
    // The X mode and the active scale are what the menus show ticked.
    QString xMode;
    if (IsTicked(ui->action_Time))
        xMode = QStringLiteral("Time");
    else if (IsTicked(ui->action_Sample_No))
        xMode = QStringLiteral("Sample");
    QString yScale;
    if (activeYScaleAction == ui->action_mV)
        yScale = QStringLiteral("mV");
    else if (activeYScaleAction == ui->action_V)
        yScale = QStringLiteral("Voltage");
    else if (activeYScaleAction)
        yScale = activeYScaleAction->text();
    const QString path = AppFolder() + config->configFileName;
    if (keepSettingsFile) {
        qWarning() << "Tamberlo.xml not written: the file that could not be read is kept" << path;
        return;
    }
    // A failed write keeps the old file whole; the user is told before the window goes, or
    // the settings of this session would be lost without a word.
    if (!WriteConfiguration(*config, path, xMode, yScale))
        messages->DisplayMsg(SETTINGS_NOT_SAVED, QDir::toNativeSeparators(path));
}
