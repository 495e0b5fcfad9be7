#include "MainWindow.h"
#include "Resources.h"

#include <QApplication>
#include <QDir>
#include <QFont>

int main(int argc, char **argv)
{
    // The windows are laid out in pixels for text at 72 dpi (12 pt = 12 px); at the usual
    // 96 dpi their labels would not fit. A user's own setting wins.
    if (qEnvironmentVariableIsEmpty("QT_FONT_DPI"))
        qputenv("QT_FONT_DPI", "72");
    QApplication app(argc, argv);
    QApplication::setFont(QFont(QStringLiteral("Arial"), 13));
    QCoreApplication::addLibraryPath(QDir::currentPath() + QStringLiteral("/plugins"));
    InitResources();
    w = new MainWindow();
    w->show();
    const int result = app.exec();
    delete w;
    w = nullptr;
    return result;
}
