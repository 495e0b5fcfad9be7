#include "MainWindow.h"
#include "Resources.h"

#include <QApplication>
#include <QDir>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QCoreApplication::addLibraryPath(QDir::currentPath() + QStringLiteral("/plugins"));
    InitResources();
    w = new MainWindow();
    w->show();
    const int result = app.exec();
    delete w;
    w = nullptr;
    return result;
}
