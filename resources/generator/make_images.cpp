// Draws every embedded image of the program (tool icons, menu marks, zoom
// cursors, the About banner and the program icon) into one folder.
//
//   make_images <output folder> [--sheet <contact sheet.png>]
//
// The images are committed under resources/Images/Icons/; rerun this (the
// CMake target "images") after changing a drawing and commit the result.
// Icons are designed on a 24-unit grid and written at twice the size they are
// shown at, so the 2:1 reduction keeps 2-unit strokes on whole pixels.

#include <QByteArray>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

// One palette for every picture.
const QColor Ink(0x2B, 0x34, 0x40);
const QColor Slate(0x56, 0x61, 0x6E);
const QColor Gray(0x8A, 0x96, 0xA3);
const QColor Mist(0xE6, 0xEA, 0xEF);
const QColor Paper(0xFF, 0xFF, 0xFF);
const QColor Blue(0x2D, 0x7D, 0xD2);
const QColor BlueDark(0x1D, 0x5A, 0xA0);
const QColor BlueLight(0xD5, 0xE7, 0xFA);
const QColor Green(0x2E, 0xA8, 0x4A);
const QColor GreenDark(0x1E, 0x7E, 0x36);
const QColor Red(0xD9, 0x44, 0x3F);
const QColor Amber(0xF5, 0xB9, 0x42);
const QColor AmberDark(0xD4, 0x8F, 0x1F);
const QColor AmberInk(0x8A, 0x5A, 0x0B);
const QColor ScreenDark(0x1B, 0x28, 0x36);
const QColor ScreenGrid(0x34, 0x47, 0x5B);
const QColor Phosphor(0x5C, 0xE0, 0x7A);
const QColor TraceA(0xF6, 0xD0, 0x4D);
const QColor TraceB(0x4F, 0xC3, 0xF7);
const QColor MenuBack(225, 225, 225); // the logger window's background

QPen stroke(const QColor &c, qreal w, Qt::PenCapStyle cap = Qt::RoundCap,
            Qt::PenJoinStyle join = Qt::RoundJoin)
{
    return QPen(c, w, Qt::SolidLine, cap, join);
}

void line(QPainter &p, const QColor &c, qreal w, QPointF a, QPointF b,
          Qt::PenCapStyle cap = Qt::RoundCap)
{
    p.setPen(stroke(c, w, cap));
    p.drawLine(a, b);
}

void polyline(QPainter &p, const QColor &c, qreal w, const std::vector<QPointF> &pts,
              Qt::PenJoinStyle join = Qt::RoundJoin)
{
    p.setPen(stroke(c, w, Qt::RoundCap, join));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(pts.data(), int(pts.size()));
}

void fillPath(QPainter &p, const QPainterPath &path, const QBrush &b)
{
    p.setPen(Qt::NoPen);
    p.setBrush(b);
    p.drawPath(path);
}

void fillRound(QPainter &p, const QRectF &r, qreal radius, const QBrush &b)
{
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    fillPath(p, path, b);
}

void fillCircle(QPainter &p, QPointF c, qreal r, const QBrush &b)
{
    p.setPen(Qt::NoPen);
    p.setBrush(b);
    p.drawEllipse(c, r, r);
}

void fillPolygon(QPainter &p, const std::vector<QPointF> &pts, const QBrush &b)
{
    p.setPen(Qt::NoPen);
    p.setBrush(b);
    p.drawPolygon(pts.data(), int(pts.size()));
}

// A sheet of paper with a soft outline.
void sheet(QPainter &p, const QRectF &r, const QColor &fill, const QColor &edge, qreal w)
{
    p.setPen(stroke(edge, w));
    p.setBrush(fill);
    p.drawRoundedRect(r, 1.2, 1.2);
}

// Dark instrument screen with a faint graticule.
void screen(QPainter &p, const QRectF &r, qreal radius, int cols, int rows, qreal gridWidth)
{
    fillRound(p, r, radius, ScreenDark);
    p.save();
    QPainterPath clip;
    clip.addRoundedRect(r, radius, radius);
    p.setClipPath(clip);
    p.setPen(stroke(ScreenGrid, gridWidth, Qt::FlatCap));
    for (int i = 1; i < cols; ++i) {
        const qreal x = r.left() + r.width() * i / cols;
        p.drawLine(QPointF(x, r.top()), QPointF(x, r.bottom()));
    }
    for (int i = 1; i < rows; ++i) {
        const qreal y = r.top() + r.height() * i / rows;
        p.drawLine(QPointF(r.left(), y), QPointF(r.right(), y));
    }
    p.restore();
}

std::vector<QPointF> sine(qreal x0, qreal x1, qreal yMid, qreal amp, qreal cycles, qreal phase = 0)
{
    std::vector<QPointF> pts;
    const int n = 96;
    for (int i = 0; i <= n; ++i) {
        const qreal t = qreal(i) / n;
        pts.emplace_back(x0 + (x1 - x0) * t,
                         yMid - amp * qSin(phase + 2 * M_PI * cycles * t));
    }
    return pts;
}

// ---- Logger tool row -------------------------------------------------------

void drawOpen(QPainter &p)
{
    QPainterPath back;
    back.moveTo(2.5, 6.5);
    back.quadTo(2.5, 4.5, 4.5, 4.5);
    back.lineTo(8.8, 4.5);
    back.lineTo(10.8, 6.5);
    back.lineTo(18.5, 6.5);
    back.quadTo(20.5, 6.5, 20.5, 8.5);
    back.lineTo(20.5, 18.5);
    back.lineTo(2.5, 18.5);
    back.closeSubpath();
    fillPath(p, back, AmberDark);
    sheet(p, QRectF(5, 8.5, 13.5, 8), Paper, Gray, 1.0);
    QPainterPath flap;
    flap.moveTo(5.6, 11);
    flap.lineTo(22.2, 11);
    flap.quadTo(23.2, 11, 22.9, 12);
    flap.lineTo(20.6, 19.2);
    flap.quadTo(20.3, 20, 19.4, 20);
    flap.lineTo(2.5, 20);
    flap.quadTo(1.6, 20, 1.9, 19.1);
    flap.lineTo(4.4, 11.8);
    flap.quadTo(4.7, 11, 5.6, 11);
    fillPath(p, flap, Amber);
}

void drawSave(QPainter &p)
{
    QPainterPath body;
    body.moveTo(5, 3);
    body.lineTo(17.5, 3);
    body.lineTo(21, 6.5);
    body.lineTo(21, 19);
    body.quadTo(21, 21, 19, 21);
    body.lineTo(5, 21);
    body.quadTo(3, 21, 3, 19);
    body.lineTo(3, 5);
    body.quadTo(3, 3, 5, 3);
    fillPath(p, body, Blue);
    fillRound(p, QRectF(7, 3, 9.5, 6.5), 0.8, Mist);
    fillRound(p, QRectF(12.8, 4.2, 2.2, 4.1), 0.5, BlueDark);
    fillRound(p, QRectF(6, 12, 12, 9), 1.2, Paper);
    line(p, BlueLight, 1.2, QPointF(8.2, 15), QPointF(15.8, 15));
    line(p, BlueLight, 1.2, QPointF(8.2, 17.8), QPointF(13.5, 17.8));
}

void drawPrint(QPainter &p)
{
    sheet(p, QRectF(6.5, 2.5, 11, 8), Paper, Gray, 1.0);
    fillRound(p, QRectF(2.5, 8.5, 19, 9.5), 2.5, Slate);
    fillRound(p, QRectF(5.5, 14.5, 13, 1.6), 0.8, Ink);
    fillCircle(p, QPointF(18.3, 11.5), 1.1, Phosphor);
    sheet(p, QRectF(6.5, 15, 11, 6.5), Paper, Gray, 1.0);
    line(p, Blue, 1.2, QPointF(8.6, 17.4), QPointF(15.4, 17.4));
    line(p, Blue, 1.2, QPointF(8.6, 19.4), QPointF(13, 19.4));
}

void drawCopy(QPainter &p)
{
    sheet(p, QRectF(3, 2.5, 12, 15), Mist, Gray, 1.2);
    sheet(p, QRectF(8.5, 6.5, 12.5, 15), Paper, Blue, 1.6);
    polyline(p, Blue, 1.5, {{10.8, 17.5}, {12.8, 13.5}, {14.6, 15.8}, {16.6, 10.5}, {18.8, 12.8}});
}

void drawMagnifier(QPainter &p, bool plus)
{
    line(p, Ink, 3.6, QPointF(15, 15), QPointF(20.6, 20.6));
    p.setPen(stroke(Blue, 2.4));
    p.setBrush(BlueLight);
    p.drawEllipse(QPointF(10, 10), 6.6, 6.6);
    line(p, BlueDark, 2.0, QPointF(7, 10), QPointF(13, 10));
    if (plus)
        line(p, BlueDark, 2.0, QPointF(10, 7), QPointF(10, 13));
}

// The three cursor tools share a trace and a vertical cursor line.
void cursorTrace(QPainter &p, bool gap)
{
    if (gap) {
        polyline(p, Gray, 1.6, {{2, 16}, {5.5, 12}, {8.5, 14}});
        polyline(p, Gray, 1.6, {{15.5, 10}, {18.5, 12.5}, {22, 7}});
    } else {
        polyline(p, Gray, 1.6, {{2, 16}, {5.5, 12}, {9, 14.5}, {12.5, 9.5}, {16, 11.5}, {19, 8}, {22, 9}});
    }
}

void drawDataCursor(QPainter &p)
{
    cursorTrace(p, false);
    line(p, Blue, 2.0, QPointF(12.5, 5), QPointF(12.5, 22), Qt::FlatCap);
    fillPolygon(p, {{8.5, 2}, {16.5, 2}, {12.5, 6.5}}, Blue);
    p.setPen(stroke(Blue, 1.8));
    p.setBrush(Paper);
    p.drawEllipse(QPointF(12.5, 9.5), 2.6, 2.6);
}

void drawMissedCursor(QPainter &p)
{
    cursorTrace(p, true);
    line(p, Red, 2.0, QPointF(12, 5), QPointF(12, 22), Qt::FlatCap);
    fillPolygon(p, {{8, 2}, {16, 2}, {12, 6.5}}, Red);
    fillCircle(p, QPointF(12, 12.5), 3.6, Paper);
    line(p, Red, 1.8, QPointF(10, 10.5), QPointF(14, 14.5));
    line(p, Red, 1.8, QPointF(14, 10.5), QPointF(10, 14.5));
}

void drawMemoCursor(QPainter &p)
{
    cursorTrace(p, false);
    line(p, AmberDark, 2.0, QPointF(9, 2), QPointF(9, 22), Qt::FlatCap);
    QPainterPath flag;
    flag.moveTo(10, 2);
    flag.lineTo(20.5, 2);
    flag.quadTo(21.5, 2, 21.5, 3);
    flag.lineTo(21.5, 8);
    flag.lineTo(19, 10.5);
    flag.lineTo(10, 10.5);
    flag.closeSubpath();
    fillPath(p, flag, Amber);
    fillPolygon(p, {{21.5, 8}, {19, 8}, {19, 10.5}}, AmberDark);
    line(p, AmberInk, 1.0, QPointF(12, 4.6), QPointF(19.3, 4.6));
    line(p, AmberInk, 1.0, QPointF(12, 7.2), QPointF(17, 7.2));
}

void drawSawtoothScreen(QPainter &p)
{
    screen(p, QRectF(2, 3, 20, 18), 3, 4, 4, 0.7);
    polyline(p, Phosphor, 1.8,
             {{4, 16.5}, {9.3, 7.5}, {9.3, 16.5}, {14.6, 7.5}, {14.6, 16.5}, {20, 7.5}},
             Qt::MiterJoin);
}

void drawNotes(QPainter &p)
{
    QPainterPath note;
    note.moveTo(3, 4.5);
    note.quadTo(3, 3, 4.5, 3);
    note.lineTo(19.5, 3);
    note.quadTo(21, 3, 21, 4.5);
    note.lineTo(21, 15);
    note.lineTo(15, 21);
    note.lineTo(4.5, 21);
    note.quadTo(3, 21, 3, 19.5);
    note.closeSubpath();
    fillPath(p, note, Amber);
    QPainterPath band;
    band.moveTo(3, 6.5);
    band.lineTo(3, 4.5);
    band.quadTo(3, 3, 4.5, 3);
    band.lineTo(19.5, 3);
    band.quadTo(21, 3, 21, 4.5);
    band.lineTo(21, 6.5);
    band.closeSubpath();
    fillPath(p, band, AmberDark);
    fillPolygon(p, {{21, 15}, {16.5, 15}, {15, 16.5}, {15, 21}}, AmberDark);
    line(p, AmberInk, 1.4, QPointF(6.5, 10), QPointF(17.5, 10));
    line(p, AmberInk, 1.4, QPointF(6.5, 13.5), QPointF(17.5, 13.5));
    line(p, AmberInk, 1.4, QPointF(6.5, 17), QPointF(12, 17));
}

void drawInfo(QPainter &p)
{
    fillCircle(p, QPointF(12, 12), 9.6, Blue);
    fillCircle(p, QPointF(12, 7.4), 1.7, Paper);
    fillRound(p, QRectF(10.5, 10.4, 3, 8), 1.2, Paper);
}

void doubleArrow(QPainter &p, QPointF a, QPointF b)
{
    const QLineF l(a, b);
    const QPointF u = (b - a) / l.length();
    const QPointF n(-u.y(), u.x());
    const qreal head = 4.0, half = 3.0;
    line(p, Blue, 2.0, a + u * (head - 0.5), b - u * (head - 0.5), Qt::FlatCap);
    fillPolygon(p, {a, a + u * head + n * half, a + u * head - n * half}, Blue);
    fillPolygon(p, {b, b - u * head + n * half, b - u * head - n * half}, Blue);
}

void drawXControl(QPainter &p)
{
    line(p, Ink, 2.8, QPointF(7.5, 3.5), QPointF(16.5, 13));
    line(p, Ink, 2.8, QPointF(16.5, 3.5), QPointF(7.5, 13));
    doubleArrow(p, QPointF(2, 19), QPointF(22, 19));
}

void drawYControl(QPainter &p)
{
    line(p, Ink, 2.8, QPointF(3.5, 5), QPointF(8.5, 11.5));
    line(p, Ink, 2.8, QPointF(13.5, 5), QPointF(8.5, 11.5));
    line(p, Ink, 2.8, QPointF(8.5, 11.5), QPointF(8.5, 19.5));
    doubleArrow(p, QPointF(19, 2), QPointF(19, 22));
}

void drawPlay(QPainter &p)
{
    fillCircle(p, QPointF(12, 12), 10, Green);
    p.setPen(stroke(Paper, 1.6));
    p.setBrush(Paper);
    const QPointF tri[] = {{9.8, 7.6}, {9.8, 16.4}, {16.8, 12}};
    p.drawPolygon(tri, 3);
}

void drawStop(QPainter &p)
{
    fillCircle(p, QPointF(12, 12), 10, Red);
    fillRound(p, QRectF(8, 8, 8, 8), 1.4, Paper);
}

// ---- Menu marks (shown at 16 px, drawn on a 16-unit grid) --------------------

void drawTick(QPainter &p)
{
    polyline(p, Green, 2.6, {{3.2, 8.6}, {6.6, 12}, {12.8, 4.4}});
}

void drawRunningMark(QPainter &p)
{
    p.fillRect(QRectF(0, 0, 16, 16), MenuBack);
    p.setPen(stroke(GreenDark, 1.0));
    p.setBrush(Green);
    p.drawEllipse(QPointF(8, 8), 4.6, 4.6);
    fillCircle(p, QPointF(6.6, 6.6), 1.5, QColor(0xB8, 0xF0, 0xC4));
}

// ---- Zoom cursors (32 px, drawn at their real size) --------------------------

void drawZoomCursor(QPainter &p, bool plus)
{
    const QPointF c(16, 16);
    line(p, Paper, 6.5, QPointF(22, 22), QPointF(29, 29));
    line(p, Ink, 3.5, QPointF(22, 22), QPointF(29, 29));
    p.setPen(stroke(Paper, 5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 8.5, 8.5);
    p.setPen(stroke(Ink, 2));
    p.setBrush(QColor(255, 255, 255, 170));
    p.drawEllipse(c, 8.5, 8.5);
    line(p, Ink, 2, QPointF(12, 16), QPointF(20, 16));
    if (plus)
        line(p, Ink, 2, QPointF(16, 12), QPointF(16, 20));
}

// ---- Signal-generator waveforms ---------------------------------------------

void waveAxis(QPainter &p)
{
    line(p, Gray, 1.0, QPointF(2, 12), QPointF(22, 12), Qt::FlatCap);
}

void drawDcLevel(QPainter &p)
{
    waveAxis(p);
    line(p, BlueDark, 2.2, QPointF(3, 6.5), QPointF(21, 6.5));
    fillPolygon(p, {{12, 7.8}, {9.6, 10.6}, {14.4, 10.6}}, Blue);
}

void drawSquare(QPainter &p)
{
    waveAxis(p);
    polyline(p, BlueDark, 2.2, {{2.5, 17}, {2.5, 7}, {9, 7}, {9, 17}, {15, 17}, {15, 7}, {21.5, 7}, {21.5, 17}},
             Qt::MiterJoin);
}

void drawSawtooth(QPainter &p)
{
    waveAxis(p);
    polyline(p, BlueDark, 2.2, {{2.5, 17}, {12, 7}, {12, 17}, {21.5, 7}, {21.5, 17}}, Qt::MiterJoin);
}

void drawSine(QPainter &p)
{
    waveAxis(p);
    polyline(p, BlueDark, 2.2, sine(2.5, 21.5, 12, 6, 1));
}

void drawTriangle(QPainter &p)
{
    waveAxis(p);
    polyline(p, BlueDark, 2.2, {{2.5, 12}, {7.25, 7}, {16.75, 17}, {21.5, 12}}, Qt::MiterJoin);
}

void drawPulse(QPainter &p)
{
    waveAxis(p);
    polyline(p, BlueDark, 2.2,
             {{2, 17}, {5, 17}, {5, 7}, {8, 7}, {8, 17}, {16, 17}, {16, 7}, {19, 7}, {19, 17}, {22, 17}},
             Qt::MiterJoin);
}

// ---- Program icon -------------------------------------------------------------

void drawProgramIcon(QPainter &p)
{
    QLinearGradient bezel(0, 1, 0, 23);
    bezel.setColorAt(0, QColor(0x3A, 0x5A, 0x7C));
    bezel.setColorAt(1, QColor(0x1F, 0x33, 0x48));
    fillRound(p, QRectF(1, 1, 22, 22), 5, bezel);
    // A fine graticule turns to noise at the smallest sizes.
    const int divisions = p.device()->width() <= 24 ? 2 : 4;
    screen(p, QRectF(3.5, 3.5, 17, 17), 2.5, divisions, divisions, 0.6);
    polyline(p, TraceB, 1.4, sine(4.5, 19.5, 15, 2.2, 1.5, M_PI / 2));
    polyline(p, Phosphor, 2.0, sine(4.5, 19.5, 10, 4, 1));
}

// ---- About banner: an instrument beside the product name ------------------------

QImage drawBanner()
{
    const int W = 288, H = 60;
    QImage img(W, H, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient bg(0, 0, W, H);
    bg.setColorAt(0, QColor(0x1B, 0x2A, 0x3C));
    bg.setColorAt(1, QColor(0x24, 0x47, 0x6B));
    p.fillRect(img.rect(), bg);

    // The instrument: a bench scope with a two-trace screen and its knobs.
    QLinearGradient case_(0, 6, 0, 54);
    case_.setColorAt(0, QColor(0xF1, 0xF4, 0xF7));
    case_.setColorAt(1, QColor(0xBF, 0xC8, 0xD2));
    fillRound(p, QRectF(8, 6, 86, 48), 6, case_);
    fillRound(p, QRectF(8, 50, 86, 4), 2, QColor(0x9A, 0xA5, 0xB1));
    screen(p, QRectF(13, 11, 50, 35), 3, 6, 4, 0.8);
    p.save();
    p.setClipRect(QRectF(14, 12, 48, 33));
    polyline(p, TraceA, 1.6, sine(14, 62, 21, 6, 2));
    polyline(p, TraceB, 1.6,
             {{14, 38}, {20, 38}, {20, 32}, {28, 32}, {28, 38}, {36, 38}, {36, 32}, {44, 32},
              {44, 38}, {52, 38}, {52, 32}, {60, 32}, {60, 38}, {62, 38}},
             Qt::MiterJoin);
    p.restore();
    auto knob = [&p](QPointF c, qreal r, qreal angle) {
        QRadialGradient g(c - QPointF(r / 3, r / 3), r * 1.4);
        g.setColorAt(0, QColor(0x6B, 0x78, 0x87));
        g.setColorAt(1, QColor(0x2B, 0x34, 0x40));
        fillCircle(p, c, r, g);
        const QPointF tip(c.x() + 0.7 * r * qCos(angle), c.y() - 0.7 * r * qSin(angle));
        line(p, Paper, 1.2, c, tip);
    };
    knob(QPointF(77, 19), 6.5, 2.2);
    knob(QPointF(71.5, 36), 4, 0.9);
    knob(QPointF(83.5, 36), 4, 2.6);
    fillCircle(p, QPointF(70.5, 47), 1.8, Phosphor);
    fillRound(p, QRectF(75, 45.5, 12, 3), 1.5, QColor(0x7A, 0x86, 0x93));

    // The product name, sized to the room beside the instrument.
    const qreal textLeft = 106, textRight = W - 8;
    QFont title("Liberation Sans");
    title.setStyleHint(QFont::SansSerif);
    title.setBold(true);
    title.setPixelSize(24);
    while (QFontMetricsF(title).horizontalAdvance("Kestrima III") > textRight - textLeft)
        title.setPixelSize(title.pixelSize() - 1);
    p.setFont(title);
    p.setPen(Paper);
    p.drawText(QPointF(textLeft, 30), "Kestrima III");

    QFont sub("Liberation Sans");
    sub.setStyleHint(QFont::SansSerif);
    sub.setPixelSize(11);
    p.setFont(sub);
    p.setPen(QColor(0xA9, 0xC6, 0xE4));
    p.drawText(QPointF(textLeft + 1, 45), "ZR70K33 USB Oscilloscope");
    p.drawText(QPointF(textLeft + 1, 56), "and Data Logger");
    line(p, Phosphor, 1.5, QPointF(textLeft + 1, 35.5), QPointF(textRight - 4, 35.5), Qt::FlatCap);
    p.end();
    return img;
}

// ---- Writing -----------------------------------------------------------------

struct Icon {
    const char *file;
    int pixels;    // size of the written image
    qreal units;   // size of the design grid
    std::function<void(QPainter &)> draw;
};

QImage render(const Icon &icon, int pixels)
{
    QImage img(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(pixels / icon.units, pixels / icon.units);
    icon.draw(p);
    p.end();
    return img;
}

// Windows icon file with one 32-bit DIB per size (the form every ICO reader takes).
bool writeIco(const QString &path, const std::vector<QImage> &images)
{
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setByteOrder(QDataStream::LittleEndian);
    s << quint16(0) << quint16(1) << quint16(images.size());
    std::vector<QByteArray> dibs;
    for (const QImage &src : images) {
        const QImage img = src.convertToFormat(QImage::Format_ARGB32);
        const int w = img.width(), h = img.height();
        QByteArray dib;
        QDataStream d(&dib, QIODevice::WriteOnly);
        d.setByteOrder(QDataStream::LittleEndian);
        d << quint32(40) << qint32(w) << qint32(2 * h) << quint16(1) << quint16(32)
          << quint32(0) << quint32(0) << qint32(0) << qint32(0) << quint32(0) << quint32(0);
        for (int y = h - 1; y >= 0; --y) {
            const QRgb *row = reinterpret_cast<const QRgb *>(img.constScanLine(y));
            for (int x = 0; x < w; ++x)
                d << quint8(qBlue(row[x])) << quint8(qGreen(row[x])) << quint8(qRed(row[x]))
                  << quint8(qAlpha(row[x]));
        }
        const int maskStride = ((w + 31) / 32) * 4;
        for (int y = h - 1; y >= 0; --y) {
            QByteArray mask(maskStride, '\0');
            const QRgb *row = reinterpret_cast<const QRgb *>(img.constScanLine(y));
            for (int x = 0; x < w; ++x)
                if (qAlpha(row[x]) < 128)
                    mask[x / 8] = char(mask[x / 8] | (0x80 >> (x % 8)));
            d.writeRawData(mask.constData(), mask.size());
        }
        dibs.push_back(dib);
    }
    quint32 offset = 6 + 16 * quint32(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        const int sz = images[i].width();
        s << quint8(sz >= 256 ? 0 : sz) << quint8(sz >= 256 ? 0 : sz) << quint8(0) << quint8(0)
          << quint16(1) << quint16(32) << quint32(dibs[i].size()) << offset;
        offset += quint32(dibs[i].size());
    }
    for (const QByteArray &dib : dibs)
        s.writeRawData(dib.constData(), dib.size());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(out) == out.size();
}

bool save(const QImage &img, const QString &path, const char *format, int quality = -1)
{
    if (img.save(path, format, quality))
        return true;
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
}

// All pictures at the size shown, on the window's grey and on a dark strip, with
// a 3x enlargement beside them to judge the pixels.
void writeSheet(const QString &path, const std::vector<std::pair<QString, QImage>> &shown)
{
    const int cellW = 150, cellH = 110, cols = 6, rows = int((shown.size() + cols - 1) / cols);
    QImage sheetImg(cols * cellW, rows * cellH, QImage::Format_RGB32);
    sheetImg.fill(QColor(225, 225, 225));
    QPainter p(&sheetImg);
    QFont f("Liberation Sans");
    f.setPixelSize(9);
    p.setFont(f);
    for (size_t i = 0; i < shown.size(); ++i) {
        const int cx = int(i % cols) * cellW, cy = int(i / cols) * cellH;
        const QImage &img = shown[i].second;
        p.fillRect(cx + 4, cy + 44, 40, 40, QColor(0x30, 0x30, 0x30));
        p.drawImage(cx + 4 + (40 - img.width()) / 2, cy + 4 + (40 - img.height()) / 2, img);
        p.drawImage(cx + 4 + (40 - img.width()) / 2, cy + 44 + (40 - img.height()) / 2, img);
        const QImage big = img.scaled(img.width() * 3, img.height() * 3);
        p.fillRect(cx + 48, cy + 4, 96, 96, Qt::white);
        p.drawImage(cx + 48, cy + 4, big);
        p.setPen(Qt::black);
        p.drawText(QRect(cx, cy + 86, 48, 24), Qt::AlignLeft | Qt::TextWordWrap, shown[i].first);
    }
    p.end();
    sheetImg.save(path, "PNG");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: make_images <output folder> [--sheet <file.png>]\n");
        return 2;
    }
    const QDir dir(args.at(1));
    if (!QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "cannot create %s\n", qPrintable(dir.path()));
        return 1;
    }
    QString sheetPath;
    const int sheetAt = args.indexOf("--sheet");
    if (sheetAt > 0 && sheetAt + 1 < args.size())
        sheetPath = args.at(sheetAt + 1);

    // Tool icons: shown at 24 px (the cursor tools at 28 px), written at twice that.
    const std::vector<Icon> icons = {
        {"Open.png", 48, 24, drawOpen},
        {"Actions-document-save-icon.png", 48, 24, drawSave},
        {"Actions-document-print-icon.png", 48, 24, drawPrint},
        {"Copy-256.png", 48, 24, drawCopy},
        {"Actions-zoom-in-icon.png", 48, 24, [](QPainter &p) { drawMagnifier(p, true); }},
        {"Actions-zoom-out-icon.png", 48, 24, [](QPainter &p) { drawMagnifier(p, false); }},
        {"Actions-data-marker-cursor-icon.png", 56, 24, drawDataCursor},
        {"Actions-missed-marker-cursor-icon.png", 56, 24, drawMissedCursor},
        {"Actions-memo-marker-cursor-icon.png", 56, 24, drawMemoCursor},
        {"Sawtooth_wave.png", 48, 24, drawSawtoothScreen},
        {"Apps-knotes-icon.png", 48, 24, drawNotes},
        {"About.png", 48, 24, drawInfo},
        {"X1-icon.png", 48, 24, drawXControl},
        {"Y1-icon.png", 48, 24, drawYControl},
        {"Play-icon.png", 48, 24, drawPlay},
        {"Stop-icon.png", 48, 24, drawStop},
        {"Select.png", 32, 16, drawTick},
        {"KestrimaZ+.png", 32, 32, [](QPainter &p) { drawZoomCursor(p, true); }},
        {"KestrimaZ-.png", 32, 32, [](QPainter &p) { drawZoomCursor(p, false); }},
        {"DAC_DC_Level.png", 48, 24, drawDcLevel},
        {"DAC_SquareWave.png", 48, 24, drawSquare},
        {"DAC_SawtoothWave.png", 48, 24, drawSawtooth},
        {"DAC_SineWave.png", 48, 24, drawSine},
        {"DAC_TriangularWave.png", 48, 24, drawTriangle},
        {"DAC_Pulse.png", 48, 24, drawPulse},
    };

    bool ok = true;
    std::vector<std::pair<QString, QImage>> shown;
    for (const Icon &icon : icons) {
        const QImage img = render(icon, icon.pixels);
        ok = save(img, dir.filePath(icon.file), "PNG") && ok;
        const int display = icon.units == 32 ? 32 : icon.pixels / 2;
        shown.emplace_back(icon.file, img.scaled(display, display, Qt::IgnoreAspectRatio,
                                                 Qt::SmoothTransformation));
    }

    // A JPEG has no transparency: the running mark sits on the window's grey.
    const Icon running{"SampleSelect.jpg", 32, 16, drawRunningMark};
    const QImage runningImg = render(running, 32).convertToFormat(QImage::Format_RGB32);
    ok = save(runningImg, dir.filePath(running.file), "JPG", 100) && ok;
    shown.emplace_back(running.file, runningImg.scaled(16, 16, Qt::IgnoreAspectRatio,
                                                       Qt::SmoothTransformation));

    const QImage banner = drawBanner();
    ok = save(banner, dir.filePath("kestrima.bmp"), "BMP") && ok;

    const Icon program{"KestrimaIcon.ico", 0, 24, drawProgramIcon};
    std::vector<QImage> sizes;
    for (int px : {16, 24, 32, 48, 64, 128})
        sizes.push_back(render(program, px));
    if (!writeIco(dir.filePath(program.file), sizes)) {
        std::fprintf(stderr, "cannot write %s\n", program.file);
        ok = false;
    }
    shown.emplace_back("KestrimaIcon.ico 16", sizes[0]);
    shown.emplace_back("KestrimaIcon.ico 32", sizes[2]);

    if (!sheetPath.isEmpty()) {
        writeSheet(sheetPath, shown);
        banner.scaled(banner.size() * 3).save(QFileInfo(sheetPath).path() + "/banner-preview.png", "PNG");
        sizes.back().save(QFileInfo(sheetPath).path() + "/program-icon-256.png", "PNG");
    }
    return ok ? 0 : 1;
}
