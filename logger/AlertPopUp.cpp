#include "AlertPopUp.h"

AlertPopUp::AlertPopUp(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(tr("Dialog"));
    resize(260, 250);
}

// the alert pop-up feature fills the setters: each writes its value label
void AlertPopUp::SetAlertMetLabel(QString alertNumber) { Q_UNUSED(alertNumber); }
void AlertPopUp::SetSystemNameLabel(QString text) { Q_UNUSED(text); }
void AlertPopUp::SetUserNameLabel(QString text) { Q_UNUSED(text); }
void AlertPopUp::SetDateLabel(QString text) { Q_UNUSED(text); }
void AlertPopUp::SetTimeLabel(QString text) { Q_UNUSED(text); }
void AlertPopUp::SetChannelLabel(QString text) { Q_UNUSED(text); }
void AlertPopUp::SetSampleNoLabel(QString text) { Q_UNUSED(text); }
void AlertPopUp::SetDataValueLabel(QString text) { Q_UNUSED(text); }

// Compiled here rather than with the library's other meta-objects, so that only code that
// uses this window links it.
#include "moc_AlertPopUp.cpp"
