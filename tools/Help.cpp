#include "Help.h"

#include "ScopeGlobals.h"

#include <QFrame>
#include <QLabel>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QStatusBar>

Help::Help(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Help"));
    setWindowTitle(tr("MainWindow"));
    setFixedSize(367, 245);
    // Closed About boxes are not used again; HelpaboutWindow forgets a deleted one.
    setAttribute(Qt::WA_DeleteOnClose);

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralwidget"));
    QFont arial(QStringLiteral("Arial"), 12);

    picture = new QLabel(central);
    picture->setObjectName(QStringLiteral("label"));
    picture->setGeometry(40, 10, 291, 71);
    picture->setPixmap(QPixmap(QStringLiteral(":/images/Images/Icons/kestrima.bmp")));

    version = new QLabel(central);
    version->setObjectName(QStringLiteral("label_2"));
    // Wider than the picture above it: the line must not be cut with wider fonts.
    version->setGeometry(10, 80, 347, 31);
    version->setAlignment(Qt::AlignCenter);
    version->setFont(arial);
    version->setText(tr("<html><head/><body><p>KestrimaIII for ZR70K33 Version 1.0.012</p></body></html>"));

    auto *notice = new QLabel(central);
    notice->setObjectName(QStringLiteral("label_3"));
    notice->setGeometry(10, 120, 347, 20);
    notice->setFont(arial);
    notice->setAlignment(Qt::AlignCenter);
    notice->setText(tr("Kestrima III project"));

    auto *line = new QFrame(central);
    line->setObjectName(QStringLiteral("line"));
    line->setGeometry(0, 150, 391, 16);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);

    auto *ok = new QPushButton(tr("OK"), central);
    ok->setObjectName(QStringLiteral("pushButton"));
    ok->setGeometry(140, 170, 75, 35);
    ok->setFont(arial);

    setCentralWidget(central);
    setMenuBar(new QMenuBar(this));
    setStatusBar(new QStatusBar(this));
    QMetaObject::connectSlotsByName(this);
}

Help::~Help()
{
    if (HelpaboutWindow == this)
        HelpaboutWindow = nullptr;
}

void Help::setImage(const QString &path)
{
    picture->setPixmap(QPixmap(path));
    picture->show();
}

void Help::setLabel(const QString &text)
{
    version->setText(text);
}

void Help::on_pushButton_clicked()
{
    close();
}
