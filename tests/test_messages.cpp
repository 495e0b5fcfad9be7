// The logger's message boxes, closed from the test: kind, title and text by code.
#include <QtTest>

#include "test_home.h"
#include <QMessageBox>
#include <QPushButton>

#include "Messages.h"

// Qt 5.15's offscreen platform leaves its screen objects behind at exit; that
// is not this code's leak, so the address-sanitizer build is told to pass over it.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libqoffscreen.so\n";
}

class TestMessages : public QObject {
    Q_OBJECT

    struct Seen {
        bool shown = false;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString title;
        QString text;
        QWidget *parent = nullptr;
        bool modal = false;
        int buttons = 0;
    };

    // Shows the code's box and closes it from a timer, noting what it showed.
    static Seen show(Messages &messages, messageCode_e code)
    {
        Seen seen;
        QTimer closer;
        closer.setInterval(10);
        QObject::connect(&closer, &QTimer::timeout, [&]() {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen.shown = true;
            seen.icon = box->icon();
            seen.title = box->windowTitle();
            seen.text = box->text();
            seen.parent = box->parentWidget();
            seen.modal = box->isModal();
            seen.buttons = box->buttons().size();
            if (box->button(QMessageBox::Ok))
                box->button(QMessageBox::Ok)->click();
            else
                box->reject();
        });
        closer.start();
        messages.DisplayMsg(code);
        return seen;
    }

private slots:
    void boxesByCode_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        const auto error = int(QMessageBox::Critical);
        QTest::newRow("0") << 0 << error << "Error" << "ZR70K33 h/w not found.";
        QTest::newRow("1") << 1 << error << "Error" << "Failed to save file.";
        QTest::newRow("2") << 2 << error << "Error" << "Error in loading the url.";
        QTest::newRow("3") << 3 << error << "Error" << "Failed to open file.";
        QTest::newRow("4") << 4 << error << "Error" << "Out of memory";
        QTest::newRow("5") << 5 << error << "Error" << "No previous data.";
        QTest::newRow("6") << 6 << error << "Error" << "Failed to open help file.";
        QTest::newRow("7") << 7 << error << "Error" << "Failed to stop H/W.";
        QTest::newRow("8") << 8 << error << "Error" << "No channel is enabled.";
        QTest::newRow("9") << 9 << error << "Error" << "tamberlo_backup.csv is opened.";
        QTest::newRow("10") << 10 << error << "Error" << "temp.csv is opened.";
        QTest::newRow("11") << 11 << error << "Error" << "Please fill in all the fields.";
        QTest::newRow("12") << 12 << error << "Error"
                            << "Logging stopped: the ZR70K33 stopped answering (USB error or unplugged). "
                               "The samples logged until then are saved.";
        QTest::newRow("13") << 13 << error << "Error"
                            << "The samples of this run could not be written to temp.csv or to the backup file "
                               "named below (the disk may be full): the run is not kept on the chart.";
        QTest::newRow("14 no entry") << 14 << error << "Error" << "";
        QTest::newRow("99") << 99 << error << "Error" << "";
        QTest::newRow("100") << 100 << int(QMessageBox::Information) << "Information" << "Running in raw data mode.";
        QTest::newRow("199") << 199 << int(QMessageBox::Information) << "Information" << "";
        QTest::newRow("200") << 200 << int(QMessageBox::Warning) << "Warning" << "";
        QTest::newRow("299") << 299 << int(QMessageBox::Warning) << "Warning" << "";
    }
    void boxesByCode()
    {
        QFETCH(int, code);
        QFETCH(int, icon);
        QFETCH(QString, title);
        QFETCH(QString, text);
        QWidget owner;
        Messages messages(&owner);
        const Seen seen = show(messages, messageCode_e(code));
        QVERIFY(seen.shown);
        QCOMPARE(int(seen.icon), icon);
        QCOMPARE(seen.title, title);
        QCOMPARE(seen.text, text);
        QCOMPARE(seen.parent, &owner);
        QVERIFY(seen.modal);
        QCOMPARE(seen.buttons, 1);
        // Shown again, an unknown code gives the same empty box.
        QCOMPARE(show(messages, messageCode_e(code)).text, text);
    }

    void outsideTheRangesShowsNothing()
    {
        Messages messages(nullptr);
        for (int code : {-1, 300, 1000, -200}) {
            const Seen seen = show(messages, messageCode_e(code));
            QVERIFY2(!seen.shown, qPrintable(QString::number(code)));
        }
    }
};

ZR_TEST_MAIN(TestMessages)
#include "test_messages.moc"
