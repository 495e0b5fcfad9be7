#include "SignalGenerator.h"

#include "ScopeGlobals.h"

#include <QCloseEvent>
#include <QLabel>

SignalGenerator::SignalGenerator(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("SignalGenerator"));
    setWindowTitle(tr("ZR70K33 Signal Generator"));
    setStyleSheet(QStringLiteral("background-color: rgb(173, 173, 173);"));
    resize(459, 545);
    auto *label = new QLabel(tr("Functions"), this);
    label->setAlignment(Qt::AlignCenter);
    setCentralWidget(label);
}

SignalGenerator::~SignalGenerator() = default;

void SignalGenerator::closeEvent(QCloseEvent *e)
{
    signalGenWindowOpened = false;
    e->accept();
}
