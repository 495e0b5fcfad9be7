// Text of the chart's labels (status, channels, runs, memos): drawn on every repaint of
// the canvas, so its layout is kept instead of being redone per paint.
#pragma once

#include <QString>
#include <qwt_text.h>

// A label text: plain text gets the kept layout; with AutoText, text that may be rich
// keeps Qwt's choice of engine.
QwtText ChartText(const QString &text, QwtText::TextFormat format = QwtText::AutoText);

// Replaces the words of a label made by ChartText, keeping its font and colour.
void SetChartText(QwtText &label, const QString &text);
