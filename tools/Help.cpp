#include "Help.h"
#include "ui_Help.h"

#include "ScopeGlobals.h"

#include <QPixmap>

Help::Help(QWidget *parent) : QMainWindow(parent), ui(new Ui::Help)
{
    ui->setupUi(this);
    setFixedSize(size());
    // Closed About boxes are not used again; HelpaboutWindow forgets a deleted one.
    setAttribute(Qt::WA_DeleteOnClose);
}

Help::~Help()
{
    if (HelpaboutWindow == this)
        HelpaboutWindow = nullptr;
    delete ui;
}

void Help::setImage(const QString &path)
{
    ui->label->setPixmap(QPixmap(path));
    ui->label->show();
}

void Help::setLabel(const QString &text)
{
    ui->label_2->setText(text);
}

void Help::on_pushButton_clicked()
{
    close();
}
