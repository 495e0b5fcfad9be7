// Picker classes kept for the chart's interface; they add no behaviour of their own and
// nothing creates them.
#pragma once

#include <qwt_picker.h>
#include <qwt_plot_picker.h>

class MacDataPicker : public QwtPlotPicker {
public:
    MacDataPicker(int xAxis, int yAxis, RubberBand rubberBand, DisplayMode trackerMode,
                  QWidget *canvas)
        : QwtPlotPicker(xAxis, yAxis, rubberBand, trackerMode, canvas)
    {
    }
};

class MacQwtPicker : public QwtPicker {
public:
    MacQwtPicker(RubberBand rubberBand, DisplayMode trackerMode, QWidget *parent)
        : QwtPicker(rubberBand, trackerMode, parent)
    {
    }
};
