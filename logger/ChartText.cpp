#include "ChartText.h"

#include <QApplication>
#include <QCache>
#include <QDesktopWidget>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QTextDocument>
#include <QTextLayout>
#include <QVector>
#include <qwt_text_engine.h>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

// A plain text laid out once per text and font: QPainter::drawText shapes its text anew on
// every call, and the chart's labels are drawn on every repaint. Lines are placed as
// drawText places them (whole-pixel line tops, the font's leading between lines, each line
// aligned on its own), so the picture is the same.
class CachedTextEngine : public QwtPlainTextEngine {
public:
    QSizeF textSize(const QFont &font, int flags, const QString &text) const override
    {
        if (const Layout *layout = Find(font, flags, text))
            return QSizeF(layout->Width(layout->Lines()), layout->Height(layout->Lines()));
        return QwtPlainTextEngine::textSize(font, flags, text);
    }

    void draw(QPainter *painter, const QRectF &rect, int flags, const QString &text) const override
    {
        if (painter->pen().style() == Qt::NoPen)
            return;
        const QPaintDevice *device = painter->device();
        // Printing and image export keep Qwt's own path (it adapts the font to the device).
        if (!device || device->devType() != QInternal::Widget || !LeftToRight(painter, text)
            || !ScreenResolution(device)) {
            QwtPlainTextEngine::draw(painter, rect, flags, text);
            return;
        }
        const QFont &font = painter->font();
        const Layout *layout = Find(font, flags, text);
        if (!layout) {
            QwtPlainTextEngine::draw(painter, rect, flags, text);
            return;
        }
        // Nothing of a label outside the repainted area needs drawing (its ink stays within
        // a line's height of its box).
        if (painter->hasClipping()) {
            const qreal m = layout->lineHeight;
            if (!painter->clipBoundingRect().intersects(rect.adjusted(-m, -m, m, m)))
                return;
        }

        // The lines drawText would lay out in this rectangle: it stops at the first line that
        // reaches the rectangle's bottom.
        int count = 0;
        while (count < layout->Lines()) {
            ++count;
            if (layout->Height(count) >= rect.height())
                break;
        }
        const qreal width = layout->Width(count);
        const qreal height = layout->Height(count);
        qreal yoff = 0.0;
        if (flags & Qt::AlignBottom)
            yoff = rect.height() - height;
        else if (flags & Qt::AlignVCenter)
            yoff = (rect.height() - height) / 2;
        qreal xoff = 0.0;
        if (flags & Qt::AlignRight)
            xoff = rect.width() - width;
        else if (flags & Qt::AlignHCenter)
            xoff = (rect.width() - width) / 2;
        const QRectF bounds(rect.x() + xoff, rect.y() + yoff, width, height);
        const bool clip = !rect.contains(bounds);
        if (clip) {
            painter->save();
            painter->setClipRect(rect, Qt::IntersectClip);
        }
        for (int i = 0; i < count; ++i) {
            const QTextLine line = layout->text.lineAt(i);
            const qreal advance = line.horizontalAdvance();
            xoff = 0.0;
            if (flags & Qt::AlignRight)
                xoff = rect.width() - advance;
            else if (flags & Qt::AlignHCenter)
                xoff = (rect.width() - advance) / 2;
            line.draw(painter, QPointF(rect.x() + xoff, rect.y() + yoff));
        }
        if (clip)
            painter->restore();
    }

    bool mightRender(const QString &) const override { return false; }

    // Qwt's margins depend on the font alone, but it looks them up by the font's key, a
    // string built anew per call: tick labels ask for them several times per label.
    void textMargins(const QFont &font, const QString &text, double &left, double &right, double &top,
                     double &bottom) const override
    {
        const qreal dpi = QFontMetricsF(font).fontDpi();
        for (const Margins &m : margins) {
            if (m.dpi == dpi && m.font == font) {
                left = m.left;
                right = m.right;
                top = m.top;
                bottom = m.bottom;
                return;
            }
        }
        QwtPlainTextEngine::textMargins(font, text, left, right, top, bottom);
        if (margins.size() >= 8)
            margins.removeFirst();
        margins.append({font, dpi, left, right, top, bottom});
    }

private:
    struct Margins {
        QFont font;
        qreal dpi;
        double left, right, top, bottom;
    };
    mutable QVector<Margins> margins;

    struct Layout {
        QFont font;
        qreal dpi = 0.0;
        QTextLayout text;
        QVector<qreal> bottoms;   // the text's height down to the end of each line
        QVector<qreal> widths;    // the widest line so far, per line
        qreal lineHeight = 0.0;
        int Lines() const { return bottoms.size(); }
        qreal Height(int count) const { return count > 0 ? bottoms[count - 1] : 0.0; }
        qreal Width(int count) const { return count > 0 ? widths[count - 1] : 0.0; }
    };

    // The lines are laid out left to right, as drawText does for a painter that is, or that
    // leaves the direction to a text that is.
    static bool LeftToRight(const QPainter *painter, const QString &text)
    {
        const Qt::LayoutDirection direction = painter->layoutDirection();
        return direction == Qt::LeftToRight || (direction == Qt::LayoutDirectionAuto && !text.isRightToLeft());
    }

    // Qwt draws on a device of another resolution with a font converted to it.
    static bool ScreenResolution(const QPaintDevice *device)
    {
        static const QSize screen(QApplication::desktop()->logicalDpiX(),
                                  QApplication::desktop()->logicalDpiY());
        return device->logicalDpiX() == screen.width() && device->logicalDpiY() == screen.height();
    }

    // Only what drawText does the same way for every call is cached: alignment flags, no
    // wrapping, mnemonics, tabs or length variants.
    static bool Cacheable(int flags, const QString &text)
    {
        const int alignment = Qt::AlignLeft | Qt::AlignRight | Qt::AlignHCenter | Qt::AlignTop
                              | Qt::AlignBottom | Qt::AlignVCenter;
        if ((flags & ~alignment) != 0 || text.isEmpty())
            return false;
        for (const QChar c : text) {
            if (c == QLatin1Char('\t') || c == QChar(ushort(0x9c)))
                return false;
        }
        return true;
    }

    // The layouts of one text, one per font (a font's resolution is part of it).
    struct Variants {
        ~Variants() { qDeleteAll(layouts); }
        QVector<Layout *> layouts;
    };

    // What a text and its layouts take: the text twice (the key and the laid-out copy),
    // and per character and per line about what QTextLayout keeps of glyphs and lines.
    static int Bytes(const QString &text, const Variants &variants)
    {
        constexpr qint64 GlyphBytes = 48;
        constexpr qint64 LineBytes = 128;
        qint64 bytes = qint64(sizeof(Variants)) + qint64(text.size()) * qint64(sizeof(QChar));
        for (const Layout *layout : variants.layouts)
            bytes += qint64(sizeof(Layout)) + qint64(text.size()) * (qint64(sizeof(QChar)) + GlyphBytes)
                     + qint64(layout->Lines()) * LineBytes;
        return int(std::min<qint64>(bytes, INT_MAX));
    }

    const Layout *Find(const QFont &font, int flags, const QString &text) const
    {
        if (!Cacheable(flags, text))
            return nullptr;
        const qreal dpi = QFontMetricsF(font).fontDpi();
        if (const Variants *kept = cache.object(text)) {
            for (const Layout *found : kept->layouts) {
                if (found->dpi == dpi && found->font == font)
                    return found;
            }
        }
        // Taken out while a layout is added, and put back at its new size.
        Variants *variants = cache.take(text);
        if (!variants)
            variants = new Variants;
        if (variants->layouts.size() >= 4)
            delete variants->layouts.takeFirst();

        auto *layout = new Layout;
        layout->font = font;
        layout->dpi = dpi;
        QString lines = text;
        for (QChar &c : lines) {
            if (c == QLatin1Char('\r'))
                c = QLatin1Char(' ');
            else if (c == QLatin1Char('\n'))
                c = QChar::LineSeparator;
        }
        layout->text.setText(lines);
        layout->text.setFont(font);
        QTextOption option;
        option.setTextDirection(Qt::LeftToRight);
        option.setAlignment(Qt::AlignLeft);
        layout->text.setTextOption(option);
        layout->text.setCacheEnabled(true);
        const qreal leading = QFontMetricsF(font).leading();
        qreal height = -leading;
        qreal width = 0.0;
        layout->text.beginLayout();
        for (QTextLine line = layout->text.createLine(); line.isValid(); line = layout->text.createLine()) {
            line.setLineWidth(0x01000000);
            height += leading;
            height = std::ceil(height);
            line.setPosition(QPointF(0.0, height));
            height += line.ascent() + line.descent();
            width = std::max(width, line.naturalTextWidth());
            layout->lineHeight = std::max(layout->lineHeight, line.ascent() + line.descent());
            layout->bottoms.append(height);
            layout->widths.append(width);
        }
        layout->text.endLayout();
        variants->layouts.append(layout);
        // A text too large for the whole cache is deleted by it: drawn the uncached way.
        if (!cache.insert(text, variants, Bytes(text, *variants)))
            return nullptr;
        return layout;
    }

    // A few labels are on the chart at a time; texts that leave it are dropped in turn. The
    // bound is in bytes, as a label (a chart file's text) may be 64 KiB long.
    mutable QCache<QString, Variants> cache{8 << 20};
};

constexpr QwtText::TextFormat CachedFormat = QwtText::OtherFormat;

void RegisterEngine()
{
    static const bool registered = [] {
        QwtText::setTextEngine(CachedFormat, new CachedTextEngine);
        return true;
    }();
    Q_UNUSED(registered);
}

QwtText::TextFormat FormatOf(const QString &text, QwtText::TextFormat format = QwtText::AutoText)
{
    RegisterEngine();
    if (format == QwtText::PlainText || (format == QwtText::AutoText && !Qt::mightBeRichText(text)))
        return CachedFormat;
    return format;
}

}   // namespace

QwtText ChartText(const QString &text, QwtText::TextFormat format)
{
    return QwtText(text, FormatOf(text, format));
}

void SetChartText(QwtText &label, const QString &text)
{
    label.setText(text, FormatOf(text));
}
