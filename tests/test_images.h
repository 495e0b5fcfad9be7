// Image comparison that does not depend on the CPU: Qt's premultiplied-alpha conversion and
// its rasteriser round a few edge pixels differently from one machine to the next.
#pragma once

#include <QImage>
#include <QString>
#include <cstdlib>

namespace TestImages {

// Empty when the two images have one size and differ in at most `maxPixels` pixels, each by at
// most `channelTolerance` in any channel (alpha included); otherwise a description of the worst.
inline QString Difference(const QImage &actual, const QImage &expected, int channelTolerance = 2,
                          int maxPixels = 16)
{
    if (actual.size() != expected.size())
        return QStringLiteral("size %1x%2, expected %3x%4")
            .arg(actual.width()).arg(actual.height()).arg(expected.width()).arg(expected.height());
    const QImage a = actual.convertToFormat(QImage::Format_ARGB32);
    const QImage e = expected.convertToFormat(QImage::Format_ARGB32);
    int differing = 0, worst = 0;
    for (int y = 0; y < a.height(); ++y) {
        const QRgb *pa = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const QRgb *pe = reinterpret_cast<const QRgb *>(e.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if (pa[x] == pe[x])
                continue;
            const int d = qMax(qMax(std::abs(qRed(pa[x]) - qRed(pe[x])), std::abs(qGreen(pa[x]) - qGreen(pe[x]))),
                               qMax(std::abs(qBlue(pa[x]) - qBlue(pe[x])), std::abs(qAlpha(pa[x]) - qAlpha(pe[x]))));
            ++differing;
            worst = qMax(worst, d);
        }
    }
    if (differing <= maxPixels && worst <= channelTolerance)
        return QString();
    return QStringLiteral("%1 pixels differ, by up to %2").arg(differing).arg(worst);
}

}   // namespace TestImages

// Fails the test, naming the difference, unless the images are alike within the tolerance.
#define ZR_COMPARE_IMAGES(actual, expected, tolerance, maxPixels)                                \
    do {                                                                                         \
        const QString why_ = TestImages::Difference((actual), (expected), (tolerance), (maxPixels)); \
        QVERIFY2(why_.isEmpty(), qPrintable(why_));                                              \
    } while (false)
