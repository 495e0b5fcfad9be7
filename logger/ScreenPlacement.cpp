#include "ScreenPlacement.h"

#include <QGuiApplication>
#include <QMargins>
#include <QRect>
#include <QScreen>
#include <QWidget>

namespace {

constexpr int Gap = 10;

QRect AvailableArea(const QWidget *window, const QWidget *anchor)
{
    QScreen *screen = anchor && anchor->isVisible() ? anchor->screen() : window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QPoint Centre(const QWidget *anchor, const QRect &area)
{
    return anchor && anchor->isVisible() ? anchor->frameGeometry().center() : area.center();
}

// The frame is known once the window has been shown; before, allow for a title bar.
QMargins Frame(const QWidget *window)
{
    if (window->isVisible() && window->frameGeometry() != window->geometry()) {
        const QRect outer = window->frameGeometry();
        const QRect inner = window->geometry();
        return QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                        outer.right() - inner.right(), outer.bottom() - inner.bottom());
    }
    return QMargins(4, 30, 4, 4);
}

QSize ClientSize(const QWidget *window)
{
    return window->size().expandedTo(window->minimumSizeHint());
}

// Moves a rectangle into the area; one larger than the area keeps its top left corner in it.
QRect Fit(QRect r, const QRect &area)
{
    if (r.right() > area.right())
        r.moveRight(area.right());
    if (r.bottom() > area.bottom())
        r.moveBottom(area.bottom());
    if (r.left() < area.left())
        r.moveLeft(area.left());
    if (r.top() < area.top())
        r.moveTop(area.top());
    return r;
}

}   // namespace

void PlaceOnScreen(QWidget *window, const QWidget *anchor)
{
    if (!window)
        return;
    const QRect area = AvailableArea(window, anchor);
    if (area.isEmpty())
        return;
    const QMargins frame = Frame(window);
    QRect client(window->geometry().topLeft(), ClientSize(window));
    if (!window->testAttribute(Qt::WA_Moved))
        client.moveCenter(Centre(anchor, area));
    window->move(Fit(client.marginsAdded(frame), area).topLeft());   // a window's position is its frame's
}

void PlaceInSquare(QWidget *window, const QWidget *anchor, int cell)
{
    if (!window)
        return;
    const QRect area = AvailableArea(window, anchor);
    if (area.isEmpty())
        return;
    const QSize outer = QRect(QPoint(), ClientSize(window)).marginsAdded(Frame(window)).size();
    QRect square(QPoint(), QSize(2 * outer.width() + Gap, 2 * outer.height() + Gap));
    square.moveCenter(Centre(anchor, area));
    square = Fit(square, area);
    const int column = cell % 2;
    const int row = (cell / 2) % 2;
    QRect cellRect(square.topLeft() + QPoint(column * (outer.width() + Gap), row * (outer.height() + Gap)), outer);
    // On a screen too small for the square the windows overlap, but each stays whole.
    window->move(Fit(cellRect, area).topLeft());
}
