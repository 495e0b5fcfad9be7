// Axis units, custom Y scales, the Y controls with the New-scale dialog, chart colours and
// the View toggles.
#include <QtTest>

#include "test_home.h"

#include "LoggerConfigWriter.h"
#include "LoggerMainWindow.h"
#include "Resources.h"
#include "YParameters.h"
#include "ui_LoggerMainWindow.h"
#include "ui_YParameters.h"
#include "ui_ycontrolsWindow.h"
#include "ycontrolsWindow.h"

#include <QColorDialog>
#include <QDir>
#include <QMenu>
#include <QMessageBox>
#include <algorithm>
#include <cmath>
#include <memory>
#include <qwt_plot_grid.h>
#include <qwt_plot_marker.h>
#include <qwt_scale_div.h>

class TestYControls : public QObject {
    Q_OBJECT

    QTimer modalCloser;
    QStringList boxTexts;
    QColor colourToChoose;   // invalid: the colour dialog is cancelled

    std::unique_ptr<LoggerMainWindow> NewWindow()
    {
        std::unique_ptr<LoggerMainWindow> win(new LoggerMainWindow);
        LoggerWin = win.get();
        return win;
    }

    static QStringList Ticked(LoggerMainWindow *win)
    {
        QStringList ticked;
        for (QAction *a : win->ui->menu_Y_Scale->actions())
            if (LoggerMainWindow::IsTicked(a))
                ticked << a->text();
        return ticked;
    }

    static QAction *Entry(LoggerMainWindow *win, const QString &name)
    {
        for (QAction *a : win->ui->menu_Y_Scale->actions())
            if (a->text() == name)
                return a;
        return nullptr;
    }

    static void CheckRange(LoggerMainWindow *win, double lo, double hi, const QString &unit)
    {
        const YSettings &ys = win->config->ySettings;
        QVERIFY(qFuzzyCompare(ys.yMin, lo) && qFuzzyCompare(ys.yMax, hi));
        QCOMPARE(ys.unitText, unit);
        QCOMPARE(win->ui->yAxisLabel->text(), unit);
        const QwtScaleDiv &axis = win->plotMgr->axisScaleDiv(QwtPlot::yLeft);
        QVERIFY2(qFuzzyCompare(axis.lowerBound(), lo) && qFuzzyCompare(axis.upperBound(), hi), qPrintable(QString("%1 %2").arg(axis.lowerBound()).arg(axis.upperBound())));
        QCOMPARE(win->plotMgr->axisTitle(QwtPlot::yLeft).text(), unit);
        // The chart's two channel labels carry the unit, however it was chosen.
        QStringList channels;
        for (QwtPlotItem *item : win->plotMgr->itemList(QwtPlotItem::Rtti_PlotMarker)) {
            const QString text = static_cast<QwtPlotMarker *>(item)->label().text().trimmed();
            if (text.startsWith("ChA-") || text.startsWith("ChB-"))
                channels << text;
        }
        channels.sort();
        QCOMPARE(channels, (QStringList{"ChA-" + unit, "ChB-" + unit}));
    }

    // A custom scale defined through the Y controls' New dialog.
    void AddScale(LoggerMainWindow *win, const QString &name, const QString &unit, const QString &mult)
    {
        ycontrolsWindow *yc = win->yControlsWindow;
        yc->ui->newButton->click();
        YParameters *dialog = yc->newScaleDialogs.last();
        dialog->ui->nameLineEdit->setText(name);
        dialog->ui->unitsLineEdit->setText(unit);
        dialog->ui->yMultLineEdit->setText(mult);
        dialog->ui->okButton->click();
    }

private slots:
    void initTestCase()
    {
        InitResources();
        connect(&modalCloser, &QTimer::timeout, this, [this] {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *box = qobject_cast<QMessageBox *>(modal)) {
                boxTexts << box->text();
                box->accept();
            } else if (auto *colours = qobject_cast<QColorDialog *>(modal)) {
                if (colourToChoose.isValid()) {
                    colours->setCurrentColor(colourToChoose);
                    colours->accept();
                } else {
                    colours->reject();
                }
            }
        });
        modalCloser.start(20);
        QVERIFY(QDir().mkpath(QDir::homePath() + "/Documents/KestrimaIII"));
    }

    void cleanup()
    {
        LoggerWin = nullptr;
        boxTexts.clear();
    }

    // mV -> Voltage -> a kV scale from the menu, and the Y button's turn through all three.
    void yScaleSwitches()
    {
        auto win = NewWindow();
        win->ShowYControls();
        AddScale(win.get(), "Kilo", "kV", "0.001");
        QVERIFY(boxTexts.isEmpty());
        QCOMPARE(Ticked(win.get()), QStringList{"Kilo"});
        CheckRange(win.get(), -0.01, 0.01, "kV");

        win->ui->action_mV->trigger();
        CheckRange(win.get(), -10000.0, 10000.0, "mV");
        QCOMPARE(Ticked(win.get()), QStringList{"mV"});

        win->ui->action_V->trigger();
        CheckRange(win.get(), -10.0, 10.0, "V");
        QCOMPARE(win->config->ySettings.multiplier, 1.0);
        QCOMPARE(Ticked(win.get()), QStringList{"Voltage"});
        // The controls follow a choice made in the menu.
        QCOMPARE(win->yControlsWindow->ui->unitComboBox->currentText(), QString("Voltage"));
        QCOMPARE(win->yControlsWindow->ui->yMax->text(), QString("10"));

        Entry(win.get(), "Kilo")->trigger();
        CheckRange(win.get(), -0.01, 0.01, "kV");
        QCOMPARE(win->config->ySettings.yUnit, 2);
        QCOMPARE(Ticked(win.get()), QStringList{"Kilo"});
        QCOMPARE(win->activeYScaleAction, Entry(win.get(), "Kilo"));

        // The Y button: custom -> mV -> Voltage -> custom.
        const struct { double hi; const char *unit; const char *entry; } cycle[] = {
            {10000.0, "mV", "mV"}, {10.0, "V", "Voltage"}, {0.01, "kV", "Kilo"}};
        for (const auto &step : cycle) {
            win->ui->yAxisLabel->click();
            CheckRange(win.get(), -step.hi, step.hi, step.unit);
            QCOMPARE(Ticked(win.get()), QStringList{step.entry});
            QCOMPARE(win->config->activeYScale, QString(step.entry));
        }

        // A scale sharing its unit with another does not hold the button on itself.
        AddScale(win.get(), "Probe", "V", "0.5");
        CheckRange(win.get(), -5.0, 5.0, "V");
        win->ui->yAxisLabel->click();
        CheckRange(win.get(), -10000.0, 10000.0, "mV");
        QCOMPARE(Ticked(win.get()), QStringList{"mV"});
    }

    // The X unit: one entry ticked, the axis in the unit, and a conversion only once.
    void xUnitSwitches()
    {
        auto win = NewWindow();
        Ui_LoggerMainWindow *ui = win->ui;
        const XSettings &xs = win->config->xSettings;
        for (int round = 0; round < 2; ++round) {
            ui->action_Time->trigger();
            QCOMPARE(xs.xMode, 1);
            QVERIFY(!xs.xUnitChanged);
            QVERIFY(LoggerMainWindow::IsTicked(ui->action_Time));
            QVERIFY(!LoggerMainWindow::IsTicked(ui->action_Sample_No));
            QCOMPARE(ui->xAxisLabel->text(), QString("Sec"));
            QCOMPARE(win->plotMgr->axisScaleDiv(QwtPlot::xBottom).upperBound(), 0.1);
            QCOMPARE(ui->xMaxLabel->text(), QString("0.1"));

            ui->xAxisLabel->click();
            QCOMPARE(xs.xMode, 0);
            QVERIFY(!xs.xUnitChanged);
            QVERIFY(LoggerMainWindow::IsTicked(ui->action_Sample_No));
            QVERIFY(!LoggerMainWindow::IsTicked(ui->action_Time));
            QCOMPARE(ui->xAxisLabel->text(), QString("Sample"));
            QCOMPARE(win->plotMgr->axisScaleDiv(QwtPlot::xBottom).upperBound(), 100.0);
        }
    }

    // Multipliers that are no number above 0 are refused; so are names in use.
    void newScaleRefusals()
    {
        auto win = NewWindow();
        win->ShowYControls();
        const size_t before = win->config->yScales.size();
        for (const char *bad : {"0", "-", "1e", "-2", "nan", "inf"}) {
            boxTexts.clear();
            AddScale(win.get(), "Bad", "b", bad);
            QCOMPARE(boxTexts, QStringList{"The multiplier must be a number greater than 0."});
            QVERIFY(win->yControlsWindow->newScaleDialogs.last()->isVisible());
        }
        boxTexts.clear();
        AddScale(win.get(), "Bad", "b", "");
        QCOMPARE(boxTexts, QStringList{"Please fill in all the fields."});

        AddScale(win.get(), "Kilo", "kV", "0.001");
        for (const char *taken : {"mV", "V", "Voltage", "Kilo"}) {
            boxTexts.clear();
            AddScale(win.get(), taken, "x", "2");
            QCOMPARE(boxTexts, QStringList{"A Y scale of this name already exists. Please choose another name."});
        }
        QCOMPARE(win->config->yScales.size(), before + 1);

        // A broken setting handed over directly changes nothing.
        const YSettings shown = win->config->ySettings;
        for (double m : {0.0, -1.0, std::nan(""), HUGE_VAL}) {
            YSettings ys = shown;
            ys.multiplier = m;
            win->ApplyYSettings(ys);
            QCOMPARE(win->config->ySettings.multiplier, shown.multiplier);
            QCOMPARE(win->config->ySettings.yMax, shown.yMax);
        }

        // Closing the controls closes every New dialog they opened.
        win->yControlsWindow->ui->newButton->click();
        win->yControlsWindow->ui->newButton->click();
        QVERIFY(win->yControlsWindow->newScaleDialogs.size() >= 2);
        win->yControlsWindow->close();
        const auto openDialogs = [] {
            int open = 0;
            for (QWidget *w : QApplication::topLevelWidgets())
                open += qobject_cast<YParameters *>(w) && w->isVisible();
            return open;
        };
        QTRY_COMPARE(openDialogs(), 0);
    }

    // A scale whose range the chart cannot show never becomes the active one: the New dialog
    // refuses it, the list and the menu roll back, and a file naming it starts in mV.
    void unshowableScaleNeverActive()
    {
        auto win = NewWindow();
        win->ShowYControls();
        AddScale(win.get(), "Huge", "H", "1e306");
        QCOMPARE(boxTexts, QStringList{"The chart cannot show a Y range with this multiplier. "
                                       "Please choose a smaller or a larger one."});
        win->config->yScales.push_back({"Huge", "H", 1e308});   // as a file can list it
        win->AdjustConfig();
        win->yControlsWindow->ui->unitComboBox->setCurrentText("Huge");
        Entry(win.get(), "Huge")->trigger();
        QCOMPARE(Ticked(win.get()), QStringList{"mV"});
        QCOMPARE(win->yControlsWindow->ui->unitComboBox->currentText(), QString("mV"));
        QCOMPARE(win->config->ySettings.yMax, 10000.0);
        const QString file = LoggerMainWindow::AppFolder() + "Tamberlo.xml";
        QVERIFY(WriteConfiguration(*win->config, file, "Sample", "Huge"));
        win = NewWindow();
        QCOMPARE(win->config->ySettings.yMax, 10000.0);
        QCOMPARE(win->config->ySettings.multiplier, 1000.0);
        QFile::remove(file);
    }

    // The range fields apply only a whole, ordered range.
    void typedRange()
    {
        auto win = NewWindow();
        win->ShowYControls();
        Ui_ycontrolsWindow *ui = win->yControlsWindow->ui;
        const struct { const char *lo, *hi; } refused[] = {{"0", "-5"}, {"3", "3"}, {"", "5"}, {"-5", "x"}};
        for (const auto &r : refused) {
            ui->yMin->setText(r.lo);
            ui->yMax->setText(r.hi);
            ui->applyButton->click();
            QCOMPARE(ui->yMin->text(), QString("-10000"));
            QCOMPARE(ui->yMax->text(), QString("10000"));
            QCOMPARE(win->config->ySettings.yMin, -10000.0);
            QCOMPARE(win->config->ySettings.yMax, 10000.0);
        }
        ui->yMin->setText("-2500.5");
        ui->yMax->setText("500");
        ui->applyButton->click();
        QCOMPARE(win->config->ySettings.yMin, -2500.5);
        QCOMPARE(win->config->ySettings.yMax, 500.0);
        QCOMPARE(win->plotMgr->axisScaleDiv(QwtPlot::yLeft).lowerBound(), -2500.5);

        // An off-centre range keeps a readable number of ticks.
        ui->yMin->setText("-2900");
        ui->yMax->setText("3000");
        ui->applyButton->click();
        const QList<double> ticks = win->plotMgr->axisScaleDiv(QwtPlot::yLeft).ticks(QwtScaleDiv::MajorTick);
        QVERIFY2(ticks.size() >= 3 && ticks.size() <= 12, qPrintable(QString::number(ticks.size())));
    }

    // Remove: built-ins stay; the active custom scale hands the tick and the axis to mV.
    void removeScales()
    {
        auto win = NewWindow();
        win->ShowYControls();
        Ui_ycontrolsWindow *ui = win->yControlsWindow->ui;
        ui->unitComboBox->setCurrentText("Voltage");
        QVERIFY(!ui->removeButton->isEnabled());
        win->yControlsWindow->on_removeButton_clicked();
        win->RemoveYScale("mV");
        win->RemoveYScale("Voltage");
        win->RemoveYScale("none");
        QCOMPARE(win->config->yScales.size(), size_t(2));
        QCOMPARE(win->ui->menu_Y_Scale->actions().size(), 2);

        AddScale(win.get(), "Kilo", "kV", "0.001");
        QCOMPARE(Ticked(win.get()), QStringList{"Kilo"});
        QVERIFY(ui->removeButton->isEnabled());
        ui->removeButton->click();
        QCOMPARE(win->activeYScaleAction, win->ui->action_mV);
        QCOMPARE(Ticked(win.get()), QStringList{"mV"});
        QVERIFY(!Entry(win.get(), "Kilo"));
        QCOMPARE(win->yScaleActions.size(), 2);
        CheckRange(win.get(), -10000.0, 10000.0, "mV");
        QCOMPARE(ui->unitComboBox->count(), 2);
        QCOMPARE(ui->unitComboBox->currentText(), QString("mV"));
    }

    // Initialising an open window again; the per-channel inputs.
    void controlsReinitialisedAndChannels()
    {
        auto win = NewWindow();
        // View > Windows > All twice.
        win->ui->action_All->trigger();
        win->ui->action_All->trigger();
        Ui_ycontrolsWindow *ui = win->yControlsWindow->ui;
        QCOMPARE(ui->unitComboBox->count(), 2);
        QCOMPARE(ui->voltComboBoxA->count(), 8);
        QCOMPARE(ui->voltComboBoxB->count(), 8);
        QCOMPARE(ui->unitComboBox->currentText(), QString("mV"));

        ui->voltComboBoxA->setCurrentIndex(3);
        QCOMPARE(win->config->ySettings.chASaturation.voltage, 3);
        QCOMPARE(ui->voltComboBoxA->currentText(), QString("1 V"));
        ui->x10CheckBoxA->click();
        QCOMPARE(ui->voltComboBoxA->currentIndex(), 3);
        QCOMPARE(ui->voltComboBoxA->currentText(), QString("10 V"));
        QCOMPARE(win->config->ySettings.chASaturation.multiplier, 1);
        QCOMPARE(win->config->ySettings.yMax, 10000.0);   // the range stays
        // The button labelled "DC" stores DC coupling (0).
        QCOMPARE(ui->acRadioA->text(), QString("DC"));
        ui->dcRadioA->click();
        QCOMPARE(win->config->ySettings.chASaturation.signalType, 1);
        ui->acRadioA->click();
        QCOMPARE(win->config->ySettings.chASaturation.signalType, 0);
    }

    // A scale added is written to "Tamberlo.xml" at exit and comes back at the next start:
    // listed, and ticked and shown when it was the active one.
    void customScaleKept()
    {
        const QString file = LoggerMainWindow::AppFolder() + "Tamberlo.xml";
        for (bool activeAtExit : {true, false}) {
            QFile::remove(file);
            {
                auto win = NewWindow();
                win->ShowYControls();
                AddScale(win.get(), "Pressure", "bar", "2.5");
                QVERIFY(boxTexts.isEmpty());
                if (!activeAtExit)
                    win->ui->action_V->trigger();
                win->close();   // the exit writes the file
                LoggerWin = nullptr;
            }
            QFile written(file);
            QVERIFY(written.open(QIODevice::ReadOnly));
            const QByteArray text = written.readAll();
            QVERIFY2(text.contains("Name=\"Pressure\" Unit=\"bar\" Multiplier=\"2.5\""), text.constData());

            auto win = NewWindow();   // reads the file as the next start does
            win->AdjustConfig();
            win->plotMgr->replot();   // as the first paint does
            QCOMPARE(win->config->yScales.size(), size_t(3));
            QVERIFY(Entry(win.get(), "Pressure"));
            if (activeAtExit) {
                QCOMPARE(Ticked(win.get()), QStringList{"Pressure"});
                QCOMPARE(win->activeYScaleAction, Entry(win.get(), "Pressure"));
                CheckRange(win.get(), -25.0, 25.0, "bar");
                win->ShowYControls();
                QCOMPARE(win->yControlsWindow->ui->unitComboBox->currentText(), QString("Pressure"));
                win->ui->action_mV->trigger();
                CheckRange(win.get(), -10000.0, 10000.0, "mV");
            } else {
                QCOMPARE(Ticked(win.get()), QStringList{"Voltage"});
                CheckRange(win.get(), -10.0, 10.0, "V");
            }
            Entry(win.get(), "Pressure")->trigger();
            CheckRange(win.get(), -25.0, 25.0, "bar");
            QCOMPARE(Ticked(win.get()), QStringList{"Pressure"});
            win->close();
            LoggerWin = nullptr;
        }
        QFile::remove(file);
    }

    // Colour dialogs and View toggles.
    void coloursAndToggles()
    {
        auto win = NewWindow();
        colourToChoose = QColor("#123456");
        win->ui->action_Grid->trigger();
        const QPen grid = win->plotMgr->Grid()->majorPen();
        QCOMPARE(grid.color(), colourToChoose);
        QCOMPARE(grid.style(), Qt::DotLine);
        QCOMPARE(win->config->colorSettings.gridPen.color(), colourToChoose);

        colourToChoose = QColor("#00aa00");
        win->ui->action_ChA_Trace->trigger();
        QCOMPARE(win->config->colorSettings.chAColorName, QString("#00aa00"));
        QCOMPARE(win->ui->chAButton->styleSheet(), QString("background-color: #00aa00;"));

        colourToChoose = QColor();   // cancelled: nothing changes
        win->ui->action_Background->trigger();
        QCOMPARE(win->config->colorSettings.background, QColor(Qt::black));

        win->ui->action_Restore_Default_Colors->trigger();
        QCOMPARE(win->config->colorSettings.chAColor, QColor(Qt::yellow));
        QCOMPARE(win->ui->chAButton->styleSheet(), QString("background-color: yellow;"));
        QCOMPARE(win->plotMgr->Grid()->majorPen().color(), QColor(Qt::darkGreen));

        QVERIFY(win->plotMgr->Grid()->isVisible());
        win->ui->action_Grid_2->trigger();
        QVERIFY(!win->plotMgr->Grid()->isVisible());
        QVERIFY(!win->config->showGrid);
        QVERIFY(!LoggerMainWindow::IsTicked(win->ui->action_Grid_2));
        win->ui->action_ChB_Trace_2->trigger();
        QVERIFY(!win->config->showChBTrace);
        QVERIFY(!LoggerMainWindow::IsTicked(win->ui->action_ChB_Trace_2));
    }
};

ZR_TEST_MAIN(TestYControls)
#include "test_units.moc"
