// Placing the logger's top-level side windows so that the whole of them is on screen.
#pragma once

#include <QPoint>

class QWidget;

// Moves `window` so that it lies, frame included, within the available area of the
// screen. A window not yet placed is centred on `anchor` (on the screen when there is no
// visible anchor); a window placed before keeps its position as far as the screen allows.
void PlaceOnScreen(QWidget *window, const QWidget *anchor);

// Places `window` in cell `cell` (0 to 3, left to right, top to bottom) of a square of
// four such windows centred on `anchor`, the square moved as a whole onto the screen, so
// that four windows placed so can all be seen at once.
void PlaceInSquare(QWidget *window, const QWidget *anchor, int cell);
