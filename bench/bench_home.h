// A benchmark's application in a home folder of its own: the logger's files go in there,
// never into the user's.
#pragma once

#include "Resources.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <vector>

class BenchApp {
public:
    BenchApp(int &argc, char **argv) : isolated(Isolate(home)), app(argc, argv) { InitResources(); }

    bool Isolated() const { return isolated; }
    QString FilePath(const QString &name) const { return home.filePath(name); }

private:
    // HOME, the logger's folder in it, the platform and the logging rules, all set before
    // the application is made.
    static bool Isolate(const QTemporaryDir &dir)
    {
        if (!dir.isValid())
            return false;
        qputenv("HOME", dir.path().toLocal8Bit());
        QDir().mkpath(dir.path() + QStringLiteral("/Documents/KestrimaIII"));
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("QT_LOGGING_RULES", "default.debug=false");
        return true;
    }

    QTemporaryDir home;
    bool isolated;
    QApplication app;
};

// The middle of a benchmark's rounds: one slow round (another program's load) does not count.
inline double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
