// A benchmark's own home folder: the logger's files go in there, never into the user's.
#pragma once

#include <QDir>
#include <QTemporaryDir>

// Points HOME at `home` with the logger's folder made in it, and sets the platform and
// the logging rules; called before the QApplication is made.
inline bool IsolateBenchHome(const QTemporaryDir &home)
{
    if (!home.isValid())
        return false;
    qputenv("HOME", home.path().toLocal8Bit());
    QDir().mkpath(home.path() + QStringLiteral("/Documents/KestrimaIII"));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "default.debug=false");
    return true;
}
