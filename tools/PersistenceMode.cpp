#include "PersistenceMode.h"

#include <QLabel>

PersistenceMode::PersistenceMode(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("PersistenceMode"));
    setWindowTitle(tr("ZR70K33 Persistence Setup"));
    setStyleSheet(QStringLiteral("background-color:rgb(173, 173, 173)"));
    resize(700, 323);
    auto *label = new QLabel(tr("Persistence Colors"), this);
    label->setAlignment(Qt::AlignCenter);
    setCentralWidget(label);
}

PersistenceMode::~PersistenceMode() = default;
