// The logger window's form and the embedded images: what the window's code
// relies on finding by object name, what the user sees in menus and tool tips,
// and that every image the program asks for is really in the resources.

#include <QtTest>

#include "test_home.h"
#include "test_images.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStatusBar>
#include <QTextDocument>
#include <QTranslator>

#include "Resources.h"
#include "ui_LoggerMainWindow.h"

namespace {

const QString IconDir = QStringLiteral(":/images/Images/Icons/");

// Tool tips given as one-paragraph rich text are compared by what the user reads.
QString plain(const QString &text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    QTextDocument doc;
    doc.setHtml(text);
    return doc.toPlainText().trimmed();
}

// Menu contents as object names, "-" for a separator.
QStringList entries(const QMenu *menu)
{
    QStringList out;
    for (QAction *a : menu->actions()) {
        if (a->isSeparator())
            out << "-";
        else if (a->menu())
            out << a->menu()->objectName();
        else
            out << a->objectName();
    }
    return out;
}

// Every translatable text is looked up under one context; this marks each one.
class MarkingTranslator : public QTranslator
{
public:
    QString translate(const char *context, const char *sourceText, const char *,
                      int) const override
    {
        return QString::fromUtf8(context) + "|" + QString::fromUtf8(sourceText);
    }
    bool isEmpty() const override { return false; }
};

// Stands in for the logger window: only the slots the form reaches by name.
class SlotProbe : public QMainWindow
{
    Q_OBJECT
public:
    QStringList calls;

private slots:
    void on_OpenButton_clicked() { calls << "OpenButton"; }
    void on_SaveButton_clicked() { calls << "SaveButton"; }
    void on_PrintButton_clicked() { calls << "PrintButton"; }
    void on_CopyButton_clicked() { calls << "CopyButton"; }
    void on_ZoomInButton_clicked() { calls << "ZoomInButton"; }
    void on_ZoomOutButton_clicked() { calls << "ZoomOutButton"; }
    void on_DataCursor_clicked() { calls << "DataCursor"; }
    void on_MissedDataCursor_clicked() { calls << "MissedDataCursor"; }
    void on_MemoCursor_clicked() { calls << "MemoCursor"; }
    void on_TestModeButton_clicked() { calls << "TestModeButton"; }
    void on_MemoButton_clicked() { calls << "MemoButton"; }
    void on_InfoButton_clicked() { calls << "InfoButton"; }
    void on_xcontrolbutton_clicked() { calls << "xcontrolbutton"; }
    void on_ycontrolbutton_clicked() { calls << "ycontrolbutton"; }
    void on_RunButton_clicked() { calls << "RunButton"; }
    void on_StopButton_clicked() { calls << "StopButton"; }
    void on_chAButton_clicked() { calls << "chAButton"; }
    void on_chBButton_clicked() { calls << "chBButton"; }
    void on_xAxisLabel_clicked() { calls << "xAxisLabel"; }
    void on_yAxisLabel_clicked() { calls << "yAxisLabel"; }
    void on_dataRadioButton_clicked() { calls << "dataRadioButton"; }
    void on_missedRadioButton_clicked() { calls << "missedRadioButton"; }
    void on_markRadioButton_clicked() { calls << "markRadioButton"; }
    void on_timeUnit_activated(int i) { calls << QString("timeUnit %1").arg(i); }
    void on_horizontalSlider_valueChanged(int v) { calls << QString("horizontalSlider %1").arg(v); }
    void on_sampleInterval_editingFinished() { calls << "sampleInterval"; }
};

QStringList g_warnings;
QtMessageHandler g_previousHandler = nullptr;

void collectWarnings(QtMsgType type, const QMessageLogContext &ctx, const QString &msg)
{
    if (type == QtWarningMsg)
        g_warnings << msg;
    if (g_previousHandler)
        g_previousHandler(type, ctx, msg);
}

} // namespace

class TestForm : public QObject
{
    Q_OBJECT

    QMainWindow *win = nullptr;
    Ui_LoggerMainWindow ui;

    template <class T> T *find(const char *name) const
    {
        return win->findChild<T *>(QString::fromLatin1(name));
    }

private slots:
    void initTestCase()
    {
        InitResources();
        InitResources(); // a second call must be harmless
        win = new QMainWindow;
        ui.setupUi(win);
    }

    void cleanupTestCase() { delete win; }

    void window()
    {
        QCOMPARE(win->objectName(), QString("LoggerMainWindow"));
        QCOMPARE(win->size(), QSize(1099, 700));
        QCOMPARE(win->minimumSize(), QSize(1099, 700));
        QCOMPARE(win->maximumSize(), QSize(16777215, 16777215));
        QCOMPARE(win->sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);
        QCOMPARE(win->sizePolicy().verticalPolicy(), QSizePolicy::Preferred);
        QCOMPARE(win->windowTitle(), QString("Tamberlo for ZR70K33"));
        QCOMPARE(win->styleSheet(), QString("background-color: rgb(225, 225, 225);"));
        QCOMPARE(win->font().family(), QString("Arial"));
        QCOMPARE(win->centralWidget(), ui.centralwidget);
        QCOMPARE(ui.centralwidget->objectName(), QString("centralwidget"));
        QCOMPARE(win->menuBar(), ui.menubar);
        QCOMPARE(ui.menubar->objectName(), QString("menubar"));
        QCOMPARE(ui.menubar->styleSheet(),
                 QString("QMenuBar::item { background-color: #CAE1FA;} QMenuBar {background-color: #CAE1FA;}"));
        QCOMPARE(win->statusBar(), ui.statusbar);
        QCOMPARE(ui.statusbar->objectName(), QString("statusbar"));
        QVERIFY(ui.statusbar->currentMessage().isEmpty());
    }

    void everyWidgetAsksForArial()
    {
        // The window's style sheet stops font inheritance, so each widget and
        // menu carries the family itself.
        int checked = 0;
        for (QWidget *w : win->findChildren<QWidget *>()) {
            if (w->objectName().isEmpty() || w->objectName().startsWith("qt_"))
                continue;
            QVERIFY2(w->font().family() == "Arial", qPrintable(w->objectName()));
            ++checked;
        }
        QVERIFY(checked > 60);
    }

    void actions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shortcut");
        const char *table[][3] = {
            {"action_Load", "&Load", "Ctrl+O"},
            {"action_Save", "&Save", "Ctrl+S"},
            {"action_Close", "&Close", ""},
            {"action_Print_Chart_Area", "&Print Chart Area", ""},
            {"action_Print_Data_Logger", "&Print Data Logger", ""},
            {"action_Restore_Backup", "&Restore Backup", ""},
            {"action_Exit", "&Exit", ""},
            {"action_Start", "&Start", ""},
            {"action_Stop", "&Stop", ""},
            {"action_Channel_A", "&Channel A", ""},
            {"action_Channel_B", "&Channel B", ""},
            {"action_TestMode", "&TestMode", ""},
            {"action_Clear_Screen", "&Clear Screen", ""},
            {"action_Copy_Chart_to_Clipboard", "&Copy Chart to Clipboard", ""},
            {"action_Settings", "Change Settings", ""},
            {"action_Time", "&Time", ""},
            {"action_Sample_No", "&Sample No", ""},
            {"action_V", "Voltage", ""},
            {"action_mV", "mV", ""},
            {"action_Background", "&Background", ""},
            {"action_Grid", "&Grid", ""},
            {"action_ChA_Trace", "&ChA Trace", ""},
            {"action_ChB_Trace", "&ChB Trace", ""},
            {"action_Restore_Default_Colors", "&Restore Default Colors", ""},
            {"action_ChA_Trace_2", "&ChA Trace", ""},
            {"action_ChB_Trace_2", "&ChB Trace", ""},
            {"action_Text_Labels", "Text Labels", ""},
            {"action_Track_Data_Logger", "Track Data Logger", ""},
            {"action_Grid_2", "&Grid", ""},
            {"action_In", "&In", "Ctrl+I"},
            {"action_out", "&Out", "Ctrl+U"},
            {"action_Full", "&Full", "Ctrl+F"},
            {"action_All", "&All", ""},
            {"action_Chart_Info", "&Chart Info", ""},
            {"action_Memo", "&Memo", ""},
            {"action_X_Controls", "&X-Controls", ""},
            {"action_Y_Controls", "&Y-Controls", ""},
            {"action_Close_All", "&Close All", ""},
            {"action_Data1", "&Data1", ""},
            {"action_Help_Manual", "&Help", ""},
            {"action_About", "&About", ""},
            {"action_Corvenna_Web_Site", "Corvenna Web Site", ""},
            {"action_Scope_Mode", "&Scope Mode", ""},
            {"action_Saturation", "&Saturation", ""},
            {"actionFgfg", "fgfg", ""},
            {"actionSettings", "Settings", ""},
        };
        for (const auto &row : table)
            QTest::newRow(row[0]) << QString(row[0]) << QString(row[1]) << QString(row[2]);
    }

    void actions()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, shortcut);
        auto *a = win->findChild<QAction *>(name, Qt::FindDirectChildrenOnly);
        QVERIFY2(a, qPrintable(name));
        QCOMPARE(a->text(), text);
        QCOMPARE(a->shortcut(), QKeySequence(shortcut));
        // Ticks are drawn by icons, never by the checked state.
        QVERIFY(!a->isCheckable());
        QVERIFY(a->isEnabled());
        QVERIFY(a->icon().isNull());
    }

    void actionSet()
    {
        // 46 named actions, no stray ones, each object name used once.
        QStringList names;
        for (QAction *a : win->findChildren<QAction *>(QString(), Qt::FindDirectChildrenOnly))
            names << a->objectName();
        QCOMPARE(names.size(), 46);
        QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), 46);

        QCOMPARE(ui.action_Help_Manual->iconText(), QString("HTML Help"));
        QCOMPARE(ui.action_Help_Manual->toolTip(), QString("HTML Help"));

        // The three leftovers sit in no menu.
        for (QAction *a : {ui.action_Saturation, ui.actionFgfg, ui.actionSettings}) {
            for (QWidget *w : a->associatedWidgets())
                QVERIFY2(!qobject_cast<QMenu *>(w), qPrintable(a->objectName()));
        }
    }

    void sameNamedEntriesAreDistinct()
    {
        // "&ChA Trace", "&ChB Trace" and "&Grid" appear twice: colour vs show/hide.
        QVERIFY(ui.action_ChA_Trace != ui.action_ChA_Trace_2);
        QVERIFY(ui.action_ChB_Trace != ui.action_ChB_Trace_2);
        QVERIFY(ui.action_Grid != ui.action_Grid_2);
        QVERIFY(ui.menu_Customise_Screen_Colors->actions().contains(ui.action_ChA_Trace));
        QVERIFY(!ui.menu_Customise_Screen_Colors->actions().contains(ui.action_ChA_Trace_2));
        QVERIFY(ui.menu_View->actions().contains(ui.action_Grid_2));
        QVERIFY(!ui.menu_View->actions().contains(ui.action_Grid));
    }

    void menus_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("parent");
        QTest::addColumn<QStringList>("contents");
        QTest::newRow("File") << "menu_File" << "&File" << "menubar"
            << QStringList{"-", "action_Load", "-", "action_Save", "action_Close", "-",
                           "action_Print_Chart_Area", "action_Print_Data_Logger", "-",
                           "action_Restore_Backup", "-", "action_Exit"};
        QTest::newRow("Run") << "menu_Run" << "&Run" << "menubar"
            << QStringList{"action_Start", "action_Stop", "-", "action_Channel_A",
                           "action_Channel_B", "-", "action_TestMode", "-", "action_Clear_Screen"};
        QTest::newRow("Edit") << "menu_Edit" << "&Edit" << "menubar"
            << QStringList{"action_Copy_Chart_to_Clipboard", "-", "menu_X_Scale", "menu_Y_Scale",
                           "-", "action_Settings"};
        QTest::newRow("X Scale") << "menu_X_Scale" << "&X Scale" << "menu_Edit"
            << QStringList{"action_Time", "action_Sample_No"};
        QTest::newRow("Y Scale") << "menu_Y_Scale" << "&Y Scale" << "menu_Edit"
            << QStringList{"action_V", "action_mV"};
        QTest::newRow("View") << "menu_View" << "&View" << "menubar"
            << QStringList{"menu_Customise_Screen_Colors", "-", "action_ChA_Trace_2",
                           "action_ChB_Trace_2", "action_Text_Labels", "action_Track_Data_Logger",
                           "action_Grid_2", "-", "menu_Zoom", "-", "menu_Windows"};
        QTest::newRow("Colors") << "menu_Customise_Screen_Colors" << "&Customise Screen Colors"
            << "menu_View"
            << QStringList{"action_Background", "action_Grid", "action_ChA_Trace",
                           "action_ChB_Trace", "-", "action_Restore_Default_Colors"};
        QTest::newRow("Zoom") << "menu_Zoom" << "&Zoom" << "menu_View"
            << QStringList{"action_In", "action_out", "action_Full"};
        QTest::newRow("Windows") << "menu_Windows" << "&Windows" << "menu_View"
            << QStringList{"action_All", "-", "action_Chart_Info", "action_Memo",
                           "action_X_Controls", "action_Y_Controls", "-", "action_Close_All"};
        QTest::newRow("Window") << "menu_Window" << "&Window" << "menubar"
            << QStringList{"action_Data1"};
        QTest::newRow("Help") << "menu_Help" << "&Help" << "menubar"
            << QStringList{"action_Help_Manual", "action_About", "action_Corvenna_Web_Site"};
        QTest::newRow("Mode") << "menu_Mode" << "&Mode" << "menubar"
            << QStringList{"action_Scope_Mode"};
    }

    void menus()
    {
        QFETCH(QString, menu);
        QFETCH(QString, title);
        QFETCH(QString, parent);
        QFETCH(QStringList, contents);
        auto *m = win->findChild<QMenu *>(menu);
        QVERIFY2(m, qPrintable(menu));
        QCOMPARE(m->title(), title);
        QCOMPARE(m->parent()->objectName(), parent);
        QCOMPARE(entries(m), contents);
    }

    void menuBarOrder()
    {
        QStringList bar;
        for (QAction *a : ui.menubar->actions())
            bar << (a->menu() ? a->menu()->objectName() : a->objectName());
        QCOMPARE(bar, (QStringList{"menu_File", "menu_Run", "menu_Edit", "menu_View", "menu_Window",
                                   "menu_Help", "menu_Mode"}));
        QCOMPARE(win->findChildren<QMenu *>().size(), 12);
        QCOMPARE(ui.menubar->geometry(), QRect(0, 0, 1099, 22));
    }

    void toolButtons_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("x");
        QTest::addColumn<QString>("iconFile");
        QTest::addColumn<int>("iconSize");
        QTest::addColumn<bool>("checkable");
        QTest::addColumn<QString>("toolTip");
        auto row = [](const char *n, int x, const char *f, int s, bool c, const char *t) {
            QTest::newRow(n) << QString(n) << x << QString(f) << s << c << QString(t);
        };
        row("OpenButton", 20, "Open.png", 24, false, "Open Chart");
        row("SaveButton", 60, "Actions-document-save-icon.png", 24, false, "Save Chart");
        row("PrintButton", 100, "Actions-document-print-icon.png", 24, false, "Print Chart Area");
        row("CopyButton", 150, "Copy-256.png", 24, false, "Copy Chart to Clipboard");
        row("ZoomInButton", 190, "Actions-zoom-in-icon.png", 24, true, "Zoom In");
        row("ZoomOutButton", 230, "Actions-zoom-out-icon.png", 24, true, "Zoom Out");
        row("DataCursor", 280, "Actions-data-marker-cursor-icon.png", 28, true, "Data Cursor");
        row("MissedDataCursor", 320, "Actions-missed-marker-cursor-icon.png", 28, true,
            "Missed Data Cursor");
        row("MemoCursor", 360, "Actions-memo-marker-cursor-icon.png", 28, true, "Memo Cursor");
        row("TestModeButton", 410, "Sawtooth_wave.png", 24, true, "TestMode Waveform");
        row("MemoButton", 460, "Apps-knotes-icon.png", 24, true, "Memo Window");
        row("InfoButton", 500, "About.png", 24, true, "Info Window");
        row("xcontrolbutton", 540, "X1-icon.png", 24, true, "X-Control Window");
        row("ycontrolbutton", 580, "Y1-icon.png", 24, true, "Y-Control Window");
        row("RunButton", 631, "Play-icon.png", 24, false, "Start Data Logger");
        row("StopButton", 670, "Stop-icon.png", 24, false, "Stop");
    }

    void toolButtons()
    {
        QFETCH(QString, name);
        QFETCH(int, x);
        QFETCH(QString, iconFile);
        QFETCH(int, iconSize);
        QFETCH(bool, checkable);
        QFETCH(QString, toolTip);
        auto *b = win->findChild<QPushButton *>(name);
        QVERIFY2(b, qPrintable(name));
        QCOMPARE(b->geometry(), QRect(x, 10, 36, 31));
        QVERIFY(b->text().isEmpty());
        QCOMPARE(plain(b->toolTip()), toolTip);
        QCOMPARE(b->iconSize(), QSize(iconSize, iconSize));
        QCOMPARE(b->isCheckable(), checkable);
        QVERIFY(!b->isChecked());

        // The icon is the resource file itself, drawn at least twice the shown size.
        const QImage file(IconDir + iconFile);
        QVERIFY2(!file.isNull(), qPrintable(iconFile));
        QVERIFY(file.width() >= 2 * iconSize);
        QVERIFY(!b->icon().isNull());
        const QImage fromIcon = b->icon().pixmap(file.size()).toImage();
        ZR_COMPARE_IMAGES(fromIcon, file, 2, file.width() * file.height() / 100);
    }

    void separatorsAndFocus()
    {
        const std::pair<const char *, int> lines[] = {{"line_9", 135}, {"line_8", 265}, {"line_4", 395},
                                                      {"line_5", 445}, {"line_6", 617}, {"line_7", 705}};
        for (const auto &l : lines) {
            auto *f = find<QFrame>(l.first);
            QVERIFY2(f, l.first);
            QCOMPARE(f->geometry(), QRect(l.second, 10, 16, 31));
            QCOMPARE(f->frameShape(), QFrame::VLine);
        }
        QCOMPARE(ui.line->geometry(), QRect(0, 560, 1101, 20));
        QCOMPARE(ui.line->frameShape(), QFrame::HLine);
        QCOMPARE(ui.DataCursor->focusPolicy(), Qt::StrongFocus);
    }

    void panelWidgets_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("pointSize"); // -1: inherited from the window
        QTest::addColumn<bool>("bold");
        auto row = [](const char *n, QRect r, const char *t, int pt, bool b) {
            QTest::newRow(n) << QString(n) << r << QString(t) << pt << b;
        };
        row("label", QRect(720, 20, 125, 20), "Sample Interval", 12, false);
        row("sampleInterval", QRect(850, 20, 131, 20), "", 12, false);
        row("dataRadioButton", QRect(720, 56, 100, 20), "Data Cursor", -1, false);
        row("missedRadioButton", QRect(830, 56, 100, 20), "Missed Cursor", -1, false);
        row("markRadioButton", QRect(940, 56, 100, 20), "Memo Cursor", -1, false);
        row("chAButton", QRect(1050, 140, 43, 23), "Ch A", -1, false);
        row("chBButton", QRect(1050, 220, 43, 23), "Ch B", -1, false);
        row("yAxisLabel", QRect(20, 50, 60, 23), "mV", 14, true);
        row("xAxisLabel", QRect(1044, 500, 55, 23), "Sample", 12, true);
        row("horizontalSlider", QRect(80, 540, 951, 20), "", -1, false);
        row("groupBox", QRect(50, 580, 501, 71), "", -1, false);
        row("groupBox_2", QRect(610, 580, 431, 71), "", -1, false);
        // Cursor panel.
        row("label_2", QRect(20, 10, 71, 16), "Cursors", 12, true);
        row("label_3", QRect(110, 10, 61, 16), "Data", 11, true);
        row("label_4", QRect(190, 10, 71, 16), "Missed", 12, true);
        row("label_5", QRect(280, 10, 61, 16), "Memo", 12, true);
        row("label_7", QRect(30, 30, 21, 16), "X", 10, false);
        row("label_8", QRect(30, 50, 21, 16), "Y", 10, false);
        row("xData", QRect(110, 30, 73, 16), "", 10, false);
        row("yData", QRect(110, 50, 73, 16), "", 10, false);
        row("xMissed", QRect(190, 30, 80, 16), "", 10, false);
        row("yMissed", QRect(190, 50, 80, 16), "", 10, false);
        row("xMemo", QRect(280, 30, 80, 16), "", 10, false);
        row("yMemo", QRect(280, 50, 80, 16), "", 10, false);
        row("xDelta", QRect(370, 30, 80, 16), "", 10, false);
        row("yDelta", QRect(370, 50, 80, 16), "", 10, false);
        row("cursorDelta", QRect(340, 9, 131, 16), "Delta", 12, true);
        // Axes panel.
        row("label_9", QRect(20, 10, 61, 16), "Axes", 12, true);
        row("label_10", QRect(90, 10, 61, 16), "Min", 12, true);
        row("label_11", QRect(210, 10, 61, 16), "Max", 12, true);
        row("label_12", QRect(330, 10, 61, 16), "Range", 12, true);
        row("label_13", QRect(30, 30, 21, 16), "X", 10, false);
        row("label_14", QRect(30, 50, 21, 16), "Y", 10, false);
        row("xMinLabel", QRect(90, 30, 101, 16), "Text Label", 10, false);
        row("yMinLabel", QRect(90, 50, 101, 16), "Text Label", 10, false);
        row("xMaxLabel", QRect(210, 30, 101, 16), "Text Label", 10, false);
        row("yMaxLabel", QRect(210, 50, 101, 16), "Text Label", 10, false);
        row("xRange", QRect(330, 30, 91, 16), "Text Label", 10, false);
        row("yRange", QRect(330, 50, 91, 16), "Text Label", 10, false);
    }

    void panelWidgets()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        QFETCH(int, pointSize);
        QFETCH(bool, bold);
        auto *w = win->findChild<QWidget *>(name);
        QVERIFY2(w, qPrintable(name));
        QCOMPARE(w->geometry(), geometry);
        QCOMPARE(w->font().family(), QString("Arial"));
        if (pointSize > 0)
            QCOMPARE(w->font().pointSize(), pointSize);
        QCOMPARE(w->font().bold(), bold);
        if (auto *l = qobject_cast<QLabel *>(w))
            QCOMPARE(l->text(), text);
        else if (auto *b = qobject_cast<QAbstractButton *>(w))
            QCOMPARE(b->text(), text);
        else if (auto *e = qobject_cast<QLineEdit *>(w))
            QCOMPARE(e->text(), text);
        // The window disables the radio buttons itself; the form leaves them usable.
        QVERIFY(w->isEnabled());
    }

    void panelDetails()
    {
        QCOMPARE(ui.label_2->parentWidget(), static_cast<QWidget *>(ui.groupBox));
        QCOMPARE(ui.xRange->parentWidget(), static_cast<QWidget *>(ui.groupBox_2));
        QVERIFY(ui.groupBox->title().isEmpty());
        QVERIFY(ui.groupBox_2->title().isEmpty());
        QVERIFY(ui.groupBox->styleSheet().contains("1px solid black"));
        QVERIFY(ui.groupBox->styleSheet().contains("border-radius: 5px"));
        QCOMPARE(ui.groupBox_2->styleSheet(), ui.groupBox->styleSheet());

        QVERIFY(ui.yAxisLabel->isFlat());
        QVERIFY(ui.xAxisLabel->isFlat());
        QVERIFY(ui.cursorDelta->isFlat());
        QCOMPARE(plain(ui.yAxisLabel->toolTip()), QString("Y-Scale\nClick to change"));
        QCOMPARE(plain(ui.xAxisLabel->toolTip()), QString("X-Scale\nClick to change"));
        QCOMPARE(ui.sampleInterval->toolTip(), QString("Enter Sample Interval"));

        QVERIFY(ui.chAButton->styleSheet().contains("color: blue"));
        QVERIFY(ui.chBButton->styleSheet().contains("color: red"));
        for (QPushButton *b : {ui.chAButton, ui.chBButton}) {
            QVERIFY(b->styleSheet().contains("font: 14pt \"Arial\""));
            QVERIFY(b->styleSheet().contains("background-color: lightgray"));
        }
        QCOMPARE(ui.horizontalSlider->orientation(), Qt::Horizontal);

        // The window fills the unit box and appends the chart to the container.
        QCOMPARE(ui.timeUnit->geometry(), QRect(985, 20, 56, 22));
        QCOMPARE(ui.timeUnit->count(), 0);
        QCOMPARE(ui.horizontalLayoutWidget->geometry(), QRect(20, 80, 1021, 451));
        QCOMPARE(ui.horizontalLayoutWidget->layout(), static_cast<QLayout *>(ui.horizontalLayout_2));
        QCOMPARE(ui.horizontalLayout_2->objectName(), QString("horizontalLayout_2"));
        QCOMPARE(ui.horizontalLayout_2->contentsMargins(), QMargins(0, 0, 0, 0));
        QCOMPARE(ui.horizontalLayout_2->count(), 0);
    }

    void slotsReachedByName()
    {
        g_warnings.clear();
        g_previousHandler = qInstallMessageHandler(collectWarnings);
        SlotProbe probe;
        Ui_LoggerMainWindow pui;
        pui.setupUi(&probe);
        qInstallMessageHandler(g_previousHandler);
        // connectSlotsByName warns about every slot it cannot match.
        QVERIFY2(g_warnings.filter("connectSlotsByName").isEmpty(),
                 qPrintable(g_warnings.join('\n')));

        for (QPushButton *b : probe.findChildren<QPushButton *>())
            b->click();
        for (QRadioButton *r : probe.findChildren<QRadioButton *>())
            r->click();
        QStringList clicked = probe.calls;
        clicked.sort();
        QStringList expected{"OpenButton", "SaveButton", "PrintButton", "CopyButton", "ZoomInButton",
                             "ZoomOutButton", "DataCursor", "MissedDataCursor", "MemoCursor",
                             "TestModeButton", "MemoButton", "InfoButton", "xcontrolbutton",
                             "ycontrolbutton", "RunButton", "StopButton", "chAButton", "chBButton",
                             "xAxisLabel", "yAxisLabel", "dataRadioButton", "missedRadioButton",
                             "markRadioButton"};
        expected.sort();
        QCOMPARE(clicked, expected); // cursorDelta only carries a menu

        probe.calls.clear();
        pui.timeUnit->addItems({"s", "ms"});
        emit pui.timeUnit->activated(1);
        pui.horizontalSlider->setValue(42);
        emit pui.sampleInterval->editingFinished();
        QCOMPARE(probe.calls, (QStringList{"timeUnit 1", "horizontalSlider 42", "sampleInterval"}));

        // Menu actions are wired by the window in code, not by name.
        probe.calls.clear();
        pui.action_Load->trigger();
        pui.action_Start->trigger();
        QVERIFY(probe.calls.isEmpty());
    }

    void textsTranslatedUnderWindowContext()
    {
        MarkingTranslator tr;
        QVERIFY(QCoreApplication::installTranslator(&tr));
        QMainWindow other;
        Ui_LoggerMainWindow tui;
        tui.setupUi(&other);
        QCoreApplication::removeTranslator(&tr);
        QCOMPARE(other.windowTitle(), QString("LoggerMainWindow|Tamberlo for ZR70K33"));
        QCOMPARE(tui.action_Load->text(), QString("LoggerMainWindow|&Load"));
        QCOMPARE(tui.menu_Y_Scale->title(), QString("LoggerMainWindow|&Y Scale"));
        QCOMPARE(tui.RunButton->toolTip(), QString("LoggerMainWindow|Start Data Logger"));
        QCOMPARE(tui.xMinLabel->text(), QString("LoggerMainWindow|Text Label"));
        QCOMPARE(tui.chAButton->text(), QString("LoggerMainWindow|Ch A"));
    }

    void images_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QSize>("minimumSize");
        const std::pair<const char *, int> files[] = {
            {"Open.png", 48}, {"Actions-document-save-icon.png", 48},
            {"Actions-document-print-icon.png", 48}, {"Copy-256.png", 48},
            {"Actions-zoom-in-icon.png", 48}, {"Actions-zoom-out-icon.png", 48},
            {"Actions-data-marker-cursor-icon.png", 56}, {"Actions-missed-marker-cursor-icon.png", 56},
            {"Actions-memo-marker-cursor-icon.png", 56}, {"Sawtooth_wave.png", 48},
            {"Apps-knotes-icon.png", 48}, {"About.png", 48}, {"X1-icon.png", 48},
            {"Y1-icon.png", 48}, {"Play-icon.png", 48}, {"Stop-icon.png", 48},
            {"Select.png", 32}, {"SampleSelect.jpg", 32}, {"KestrimaZ+.png", 32},
            {"KestrimaZ-.png", 32}, {"DAC_DC_Level.png", 48}, {"DAC_SquareWave.png", 48},
            {"DAC_SawtoothWave.png", 48}, {"DAC_SineWave.png", 48},
            {"DAC_TriangularWave.png", 48}, {"DAC_Pulse.png", 48}, {"KestrimaIcon.ico", 16},
        };
        for (const auto &f : files)
            QTest::newRow(f.first) << QString(f.first) << QSize(f.second, f.second);
        QTest::newRow("kestrima.bmp") << QString("kestrima.bmp") << QSize(288, 60);
    }

    void images()
    {
        QFETCH(QString, file);
        QFETCH(QSize, minimumSize);
        const QPixmap pm(IconDir + file);
        QVERIFY2(!pm.isNull(), qPrintable(file));
        QVERIFY(pm.width() >= minimumSize.width() && pm.height() >= minimumSize.height());
        QVERIFY(!QIcon(IconDir + file).isNull());
        // Nothing blank: an image that loads but shows nothing is as bad as none.
        const QImage img = pm.toImage().convertToFormat(QImage::Format_ARGB32);
        QSet<QRgb> colours;
        for (int y = 0; y < img.height(); y += 2)
            for (int x = 0; x < img.width(); x += 2)
                colours.insert(img.pixel(x, y));
        QVERIFY2(colours.size() > 3, qPrintable(file));
    }

    void imageFormats()
    {
        // The About banner is shown unscaled in its 291 x 71 label: 288 x 60, 24-bit BMP.
        QFile bmp(IconDir + "kestrima.bmp");
        QVERIFY(bmp.open(QIODevice::ReadOnly));
        const QByteArray head = bmp.read(30);
        QVERIFY(head.startsWith("BM"));
        QCOMPARE(int(uchar(head[28])) | int(uchar(head[29])) << 8, 24);
        QCOMPARE(QImage(IconDir + "kestrima.bmp").size(), QSize(288, 60));

        QImageReader jpg(IconDir + "SampleSelect.jpg");
        QCOMPARE(jpg.format(), QByteArray("jpeg"));

        // The program icon carries several sizes with a transparent surround.
        QImageReader ico(IconDir + "KestrimaIcon.ico");
        QVERIFY(ico.imageCount() >= 4);
        QSet<int> widths;
        for (int i = 0; i < ico.imageCount(); ++i) {
            QVERIFY(ico.jumpToImage(i));
            const QImage img = ico.read();
            QVERIFY2(!img.isNull(), qPrintable(ico.errorString()));
            widths.insert(img.width());
            QCOMPARE(qAlpha(img.pixel(0, 0)), 0);
            QCOMPARE(qAlpha(img.pixel(img.width() / 2, img.height() / 2)), 255);
        }
        QVERIFY(widths.contains(16) && widths.contains(32) && widths.contains(48));

        // Zoom cursors: hot spot at the centre, inside the lens, edges clear.
        for (const char *name : {"KestrimaZ+.png", "KestrimaZ-.png"}) {
            const QImage c = QImage(IconDir + name).convertToFormat(QImage::Format_ARGB32);
            QCOMPARE(c.size(), QSize(32, 32));
            QCOMPARE(qAlpha(c.pixel(0, 0)), 0);
            QVERIFY(qAlpha(c.pixel(16, 16)) > 0);
        }
        // The two differ by the vertical bar of the plus.
        QVERIFY(QImage(IconDir + "KestrimaZ+.png") != QImage(IconDir + "KestrimaZ-.png"));

        // The tick is drawn on transparency so it sits on any menu colour.
        const QImage tick = QImage(IconDir + "Select.png").convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(qAlpha(tick.pixel(0, 0)), 0);
        QVERIFY(tick.hasAlphaChannel());
    }

    void bareFormRenders()
    {
        win->resize(1099, 700);
        win->show();
        QVERIFY(QTest::qWaitForWindowExposed(win));
        const QImage shot = win->grab().toImage();
        QCOMPARE(shot.size() / shot.devicePixelRatio(), QSize(1099, 700));
        const QString dir = qEnvironmentVariable("ZR_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            QVERIFY(shot.save(dir + "/logger-form.png"));

        // The icons really reach the screen: beside the white symbol in its
        // middle, the Run button's disc is green and the Stop button's red.
        auto disc = [&](QWidget *w) {
            const QPoint p = w->mapTo(win, w->rect().center() - QPoint(7, 0));
            return QColor(shot.pixel(p * shot.devicePixelRatio()));
        };
        const QColor run = disc(ui.RunButton), stop = disc(ui.StopButton);
        QVERIFY2(run.green() > run.red() + 40, qPrintable(run.name()));
        QVERIFY2(stop.red() > stop.green() + 40, qPrintable(stop.name()));
        win->hide();
    }
};

ZR_TEST_MAIN(TestForm)
#include "test_form.moc"
