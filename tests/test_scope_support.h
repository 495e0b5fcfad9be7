// Helpers of the scope window tests.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QList>
#include <QMessageBox>
#include <QTimer>

// Answers every message box that opens (they are modal) and remembers what it said.
class BoxCloser {
public:
    struct Box {
        QString title;
        QString text;
    };

    BoxCloser()
    {
        timer.setInterval(5);
        QObject::connect(&timer, &QTimer::timeout, [this] { closeBoxes(); });
        timer.start();
    }

    bool saw(const QString &title, const QString &text) const
    {
        for (const Box &b : boxes)
            if (b.title == title && b.text == text)
                return true;
        return false;
    }

    QList<Box> boxes;

private:
    void closeBoxes()
    {
        for (QWidget *top : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(top);
            if (!box || !box->isVisible())
                continue;
            boxes.append({box->windowTitle(), box->text()});
            box->done(QMessageBox::Ok);
        }
    }

    QTimer timer;
};
