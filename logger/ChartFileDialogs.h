// The dialogs that the chart-file operations of the logger window ask: open, save and
// print. Each is a replaceable function, so that the operations can run without a person
// (tests put their own answers here); the defaults are Qt's dialogs.
#pragma once

#include <QString>
#include <functional>

class QPrinter;
class QWidget;

struct ChartFileDialogs {
    // The chosen path, or empty when cancelled.
    std::function<QString(QWidget *parent, const QString &caption, const QString &folder,
                          const QString &filter)>
        open;
    // The chosen path (empty when cancelled) and the filter selected when it closed.
    std::function<QString(QWidget *parent, const QString &caption, const QString &proposed,
                          const QString &filters, QString *selectedFilter)>
        save;
    // Runs the print dialog on the printer; false when cancelled.
    std::function<bool(QPrinter *printer, QWidget *parent)> print;

    static ChartFileDialogs &Instance();
    // Puts Qt's dialogs back.
    void Reset();
};
