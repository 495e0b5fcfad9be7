#include "MainWindow.h"
#include "ui_MainWindow.h"

#include "Help.h"
#include "LoggerMainWindow.h"
#include "Meter.h"
#include "PersistenceMode.h"
#include "PollKestrimaThread.h"
#include "ScopeEvents.h"
#include "SignalGenerator.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QDomDocument>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <QPointer>
#include <QSaveFile>
#include <QTextStream>
#include <QUrl>
#include <cstring>

MainWindow *w = nullptr;

namespace {

const char *const GreenButton = "background-color: rgb(0,170,0); color: white;";
const char *const GreyButton = "background-color: rgb(150,150,150);";
const char *const ConfigFileName = "Kestrima.xml";

// Acquisition at the default time base: 1 MSa/s, both channels DC on the +-5 V range.
constexpr unsigned char DefaultTimeBaseCode = 10;
constexpr unsigned int DefaultClockDivider = 59;
constexpr unsigned char DefaultRange = 5;
constexpr int PollIntervalMs = 1;   // no trigger armed

double MilliVoltsPerBit(int range, bool x10)
{
    const double k = KR_MilliVoltsPerBit(range);
    return x10 ? k * 10.0 : k;
}

bool IsInstrumentDescription(const QString &d)
{
    return d == QLatin1String("ZE Ziruv A") || d == QLatin1String("ZE-Ziruv A");
}

} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    setWindowTitle(tr("Kestrima III for ZR70K33"));
    setWindowIcon(QIcon(QStringLiteral(":/images/Images/Icons/KestrimaIcon.ico")));
    ui->RunButton->setIconSize(QSize(22, 22));

    connect(ui->actionData_Logger, &QAction::triggered, this, &MainWindow::LoggerModeFunc);
    connect(ui->actionAbout, &QAction::triggered, this, &MainWindow::HelpABout);
    connect(ui->actionHelp_Manual, &QAction::triggered, this, &MainWindow::GoToHelpManual);
    connect(ui->actionWeb_Page, &QAction::triggered, this, &MainWindow::HelpUsbwebsite);

    FillDefaultSettings();

    appFolderPath = QDir::homePath() + QStringLiteral("/Documents/KestrimaIII/");
    if (!QDir().mkpath(appFolderPath)) {
        QMessageBox::warning(this, tr("Warning"),
                             tr("Cannot create the folder %1.\nSettings and logger files cannot be saved.")
                                 .arg(QDir::toNativeSeparators(appFolderPath)));
    }
    LoadScopeXMLConfig();

    ListDevices(true);
    ShowRunState();
    ShowReadouts();
}

MainWindow::~MainWindow()
{
    StopPollThread();
    if (portOpen)
        KR_closeport(scopeHandle, &portOpen);
    StopPollingKestrima = true;
    DisplayInProgress = false;

    // Meters closed just before the event loop ended never saw their close notice handled.
    delete Metera;
    delete Meterb;
    Metera = Meterb = nullptr;
    MeterAshow = MeterBshow = false;
    MeterAWindowOpened = MeterBWindowOpened = false;
    delete PersistenceW;
    PersistenceW = nullptr;
    PersistenceWinOpened = false;

    delete LoggerWin;
    LoggerWin = nullptr;

    delete ui;
    if (w == this)
        w = nullptr;
}

void MainWindow::FillDefaultSettings()
{
    Scope_SetFeatures s;
    s.channelsOn = 3;
    s.dcCoupling = 3;
    s.blockMode = 1;
    s.testMode = 0;
    s.fastMode = 0;
    s.rangeA = DefaultRange;
    s.x10A = 0;
    s.rangeB = DefaultRange;
    s.x10B = 0;
    s.triggerMilliVolts = 0;
    s.triggerLevel = 512.0;
    s.triggerChannel = 0;   // auto
    s.triggerType = 0;
    s.clockDivider = DefaultClockDivider;
    s.timeBaseCode = DefaultTimeBaseCode;
    globalSetFeatures = s;
    trigger_lvl_mvolts = 0;
}

int MainWindow::ListDevices(bool warnWhenNone)
{
    ui->DeviceList->clear();
    unsigned int count = 0;
    if (GetNumDevices(&count) == 0) {
        for (unsigned int i = 0; i < count; ++i) {
            char description[256];
            std::memset(description, 0, sizeof description);
            if (GetDeviceDescription(int(i), description) != 0)
                continue;
            description[sizeof description - 1] = '\0';
            const QString d = QString::fromLatin1(description);
            if (IsInstrumentDescription(d))
                ui->DeviceList->addItem(d);
        }
    }
    const int found = ui->DeviceList->count();
    ui->RunButton->setToolTip(found ? tr("Start and stop acquisition") : tr("No instrument found"));
    if (found == 0 && warnWhenNone) {
        QMessageBox::warning(this, tr("Warning"),
                             tr("No ZR70K33 found.\nConnect the instrument, then press Run."));
    }
    return found;
}

void MainWindow::on_RunButton_clicked()
{
    // The button's check state is the wish; the text and `running` tell what happened.
    if (ui->RunButton->isChecked()) {
        if (!running)
            StartScope();
    } else if (running) {
        StopScope();
    }
    ShowRunState();
}

bool MainWindow::StartScope()
{
    if (ui->DeviceList->count() == 0)
        ListDevices(false);
    const QByteArray description = ui->DeviceList->currentText().toLatin1();

    globalSetFeatures.blockMode = 1;
    ChannelAOnFlag = globalSetFeatures.channelsOn & 1;
    ChannelBOnFlag = globalSetFeatures.channelsOn & 2;
    nanosecs_per_sample = 1000.0 * (globalSetFeatures.clockDivider + 1) / 60.0;
    // The logger points the driver at its own record; acquisition here decodes by ours.
    globalSetFeaturesPtr = &globalSetFeatures;
    isIOError = false;

    if (description.isEmpty()
        || !KR_ScStartScope(description.constData(), &scopeHandle, &portOpen, &globalSetFeatures)) {
        if (portOpen)
            KR_closeport(scopeHandle, &portOpen);
        QMessageBox::warning(this, tr("Error starting Scope"), tr("Cannot start scope"));
        return false;
    }
    // A fresh thread per acquisition; the one left from the last Stop only idled.
    StopPollThread();
    RealDataChanA_Size = 0;
    RealDataChanB_Size = 0;
    DisplayInProgress = false;
    StopPollingKestrima = false;
    framesReceived = 0;
    running = true;
    pollThread = new PollKestrimaThread(&scopeHandle, &portOpen, PollIntervalMs);
    pollThread->start();
    statusBar()->showMessage(tr("Acquiring from %1").arg(QString::fromLatin1(description)));
    return true;
}

bool MainWindow::StopScope()
{
    if (portOpen && !KR_closeport(scopeHandle, &portOpen)) {
        // The close switched the channels off before it failed: set the instrument up and
        // arm it again, or "running" would wait for a block that never comes.
        KR_SetUpScope(scopeHandle, &portOpen, &globalSetFeatures);
        QMessageBox::warning(this, tr("Error stoping Scope"), tr("Cannot stop scope"));
        return false;
    }
    // The polling thread stays; its ticks return at once until the next Run.
    StopPollingKestrima = true;
    DisplayInProgress = false;
    running = false;
    statusBar()->showMessage(tr("Stopped"), 5000);
    return true;
}

void MainWindow::ReturnToStopped()
{
    if (portOpen && !KR_closeport(scopeHandle, &portOpen))
        qWarning() << "closing the instrument after an I/O error failed";
    StopPollingKestrima = true;
    DisplayInProgress = false;
    running = false;
    ShowRunState();
}

void MainWindow::StopPollThread()
{
    if (!pollThread)
        return;
    pollThread->StopThread();
    delete pollThread;
    pollThread = nullptr;
}

void MainWindow::ShowRunState()
{
    ui->RunButton->setChecked(running);
    ui->RunButton->setText(running ? tr(" Stop") : tr(" Run"));
    ui->RunButton->setIcon(QIcon(running ? QStringLiteral(":/images/Images/Icons/Stop-icon.png")
                                         : QStringLiteral(":/images/Images/Icons/Play-icon.png")));
    ui->StateLabel->setText(running ? tr("RUNNING") : tr("STOPPED"));
    ui->DeviceList->setEnabled(!running);
    ShowReadouts();
}

void MainWindow::ShowReadouts()
{
    const auto count = [](int n) { return n > 0 ? QStringLiteral("%1").arg(n, 4) : QStringLiteral("----"); };
    const bool fresh = running && framesReceived > 0;
    ui->ChannelAReadout->setText(tr("Channel A   %1  samples").arg(fresh ? count(RealDataChanA_Size) : count(0)));
    ui->ChannelBReadout->setText(tr("Channel B   %1  samples").arg(fresh ? count(RealDataChanB_Size) : count(0)));
    ui->FrameCountReadout->setText(tr("Frames      %1").arg(framesReceived));

    const Scope_SetFeatures &s = globalSetFeatures;
    const double rate = 60.0 / (s.clockDivider + 1);   // MSa/s
    const QString rateText = rate >= 1.0 ? tr("%1 MSa/s").arg(rate, 0, 'g', 3)
                                         : tr("%1 kSa/s").arg(rate * 1000.0, 0, 'g', 3);
    const auto span = [](int range, bool x10) {
        const double mv = MilliVoltsPerBit(range, x10) * 512.0;
        return mv >= 1000.0 ? QStringLiteral("\u00b1%1 V").arg(mv / 1000.0, 0, 'g', 3)
                            : QStringLiteral("\u00b1%1 mV").arg(mv, 0, 'g', 3);
    };
    ui->SettingsReadout->setText(tr("%1    A %2 %3    B %4 %5")
                                     .arg(rateText, span(s.rangeA, s.x10A),
                                          (s.dcCoupling & 1) ? tr("DC") : tr("AC"), span(s.rangeB, s.x10B),
                                          (s.dcCoupling & 2) ? tr("DC") : tr("AC")));
}

bool MainWindow::event(QEvent *e)
{
    switch (int(e->type())) {
    case ScopeEvent::DataAvailable:
        DisplayInProgress = false;
        if (running && (RealDataChanA_Size > 0 || RealDataChanB_Size > 0)) {
            ++framesReceived;
            ShowReadouts();
        }
        return true;
    case ScopeEvent::IOError:
        ReturnToStopped();
        statusBar()->showMessage(tr("The instrument stopped answering: acquisition stopped."));
        return true;
    case ScopeEvent::MeterWindowClose:
        if (!MeterAWindowOpened && Metera) {
            delete Metera;
            Metera = nullptr;
            MeterAshow = false;
            ui->MeteraButton->setStyleSheet(QLatin1String(GreyButton));
        }
        if (!MeterBWindowOpened && Meterb) {
            delete Meterb;
            Meterb = nullptr;
            MeterBshow = false;
            ui->MeterbButton->setStyleSheet(QLatin1String(GreyButton));
        }
        return true;
    default:
        return QMainWindow::event(e);
    }
}

namespace {

// Opens the channel's meter window, or closes it when open; the other channel's meters stay in front.
void ToggleMeter(Meter *&mine, Meter *other, bool &opened, bool &shown, int channel, QWidget *button,
                 const QString &title)
{
    if (!opened) {
        opened = true;
        mine = new Meter();
        mine->channel = channel;
        button->setStyleSheet(QLatin1String(GreenButton));
        mine->show();
        if (other)
            other->activateWindow();
        mine->activateWindow();
        mine->setWindowTitle(title);
        shown = true;
    } else {
        if (mine)
            mine->close();
        if (other)
            other->activateWindow();
        button->setStyleSheet(QLatin1String(GreyButton));
    }
}

} // namespace

void MainWindow::on_MeteraButton_clicked()
{
    ToggleMeter(Metera, Meterb, MeterAWindowOpened, MeterAshow, 0, ui->MeteraButton, tr("Channel A Meters"));
}

void MainWindow::on_MeterbButton_clicked()
{
    ToggleMeter(Meterb, Metera, MeterBWindowOpened, MeterBshow, 1, ui->MeterbButton, tr("Channel B Meters"));
}

void MainWindow::closeEvent(QCloseEvent *e)
{
    if (Metera) {
        ui->MeteraButton->setStyleSheet(QLatin1String(GreyButton));
        Metera->close();
    }
    if (Meterb) {
        ui->MeterbButton->setStyleSheet(QLatin1String(GreyButton));
        Meterb->close();
    }
    if (signalGenWindowOpened) {
        signalGenWindowOpened = false;
        if (signalGeneratoWindow)
            signalGeneratoWindow->close();
    }
    // Tool windows left open would keep the program running with no main window.
    if (PersistenceW && PersistenceW->isVisible())
        PersistenceW->close();
    PersistenceWinOpened = false;
    // Every About box, not only the newest: one left open keeps the program running.
    for (QWidget *top : QApplication::topLevelWidgets())
        if (qobject_cast<Help *>(top) && top->isVisible())
            top->close();
    // With the logger window hidden the program ends here: its dialog and pop-ups too.
    if (LoggerWin && !LoggerWin->isVisible())
        LoggerWin->CloseOwnWindows();
    if (portOpen && !KR_closeport(scopeHandle, &portOpen))
        qWarning() << "closing the instrument at exit failed";
    StopPollingKestrima = true;
    DisplayInProgress = false;
    running = false;
    StopPollThread();
    ShowRunState();
    SaveScopeXMLConfig();
    e->accept();
}

void MainWindow::CloseEveryWindowBut(QWidget *closing)
{
    if (w)
        w->close();
    // Closing one may delete another: each is looked at through a guard.
    QList<QPointer<QWidget>> shown;
    for (QWidget *top : QApplication::topLevelWidgets())
        if (top != closing && top->isVisible())
            shown.append(top);
    for (const QPointer<QWidget> &top : shown)
        if (top && top->isVisible())
            top->close();
}

void MainWindow::LoggerModeFunc()
{
    if (ui->RunButton->text() != QLatin1String(" Run")) {
        ui->RunButton->setChecked(false);
        on_RunButton_clicked();
        // The instrument would stay with the scope: the logger could not open it.
        if (running)
            return;
    }
    SaveScopeXMLConfig();
    if (!LoggerWin)
        LoggerWin = new LoggerMainWindow();
    hide();
    LoggerWin->show();
    LoggerWin->AdjustConfig();
}

void MainWindow::PersistenceSettingsfunction()
{
    if (PersistenceWinOpened) {
        PersistenceWinOpened = false;
        if (PersistenceW)
            PersistenceW->close();
    } else {
        PersistenceWinOpened = true;
        delete PersistenceW;   // the closed one is not shown again
        PersistenceW = new PersistenceMode();
        PersistenceW->show();
    }
}

void MainWindow::HelpABout()
{
    HelpaboutWindow = new Help();
    HelpaboutWindow->show();
}

void MainWindow::ViewAbout()
{
    HelpABout();
}

QString MainWindow::HelpManualPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../Plugins/KestrimaIII_Help_File.pdf");
}

QString MainWindow::WebsitePath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../Plugins/KestrimaIII_Help.html");
}

bool MainWindow::OpenLocalDocument(const QString &path, const QString &errorText)
{
    const QFileInfo info(path);
    if (info.isFile() && QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath())))
        return true;
    QMessageBox::critical(this, tr("Error"), errorText);
    return false;
}

void MainWindow::GoToHelpManual()
{
    OpenLocalDocument(HelpManualPath(), tr("Failed to open help file."));
}

void MainWindow::ViewHelpManual()
{
    GoToHelpManual();
}

void MainWindow::HelpUsbwebsite()
{
    OpenLocalDocument(WebsitePath(), tr("Failed to open url."));
}

void MainWindow::ViewWebsite()
{
    HelpUsbwebsite();
}

bool MainWindow::SaveScopeXMLConfig()
{
    QDomDocument doc;
    doc.appendChild(doc.createProcessingInstruction(QStringLiteral("xml"),
                                                    QStringLiteral("version=\"1.0\" encoding=\"UTF-8\"")));
    QDomElement root = doc.createElement(QStringLiteral("KestrimaIII"));
    root.setAttribute(QStringLiteral("CalibrationAccess"),
                      calibrationAccess ? QStringLiteral("true") : QStringLiteral("false"));
    doc.appendChild(root);

    const Scope_SetFeatures &s = globalSetFeatures;
    const auto channel = [&](const QString &name, int bit, int range, int x10) {
        QDomElement e = doc.createElement(name);
        e.setAttribute(QStringLiteral("On"), (s.channelsOn & bit) ? 1 : 0);
        e.setAttribute(QStringLiteral("DC"), (s.dcCoupling & bit) ? 1 : 0);
        e.setAttribute(QStringLiteral("Range"), range);
        e.setAttribute(QStringLiteral("X10"), x10 ? 1 : 0);
        root.appendChild(e);
    };
    channel(QStringLiteral("ChannelA"), 1, s.rangeA, s.x10A);
    channel(QStringLiteral("ChannelB"), 2, s.rangeB, s.x10B);

    // Written beside the old file and renamed over it, so a full disk keeps the old settings.
    // Unbuffered: a buffered write cut short by a full disk or a size limit can still be
    // committed over the old file.
    QSaveFile file(appFolderPath + QLatin1String(ConfigFileName));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray text = doc.toByteArray(1);
    if (file.write(text) != text.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

bool MainWindow::LoadScopeXMLConfig()
{
    QFile file(appFolderPath + QLatin1String(ConfigFileName));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QDomDocument doc;
    QString error;
    int line = 0;
    if (!doc.setContent(&file, false, &error, &line)) {
        qWarning() << "Kestrima.xml ignored:" << error << "at line" << line;
        return false;
    }
    const QDomElement root = doc.documentElement();
    if (root.tagName() != QLatin1String("KestrimaIII")) {
        qWarning() << "Kestrima.xml ignored: unknown root" << root.tagName();
        return false;
    }
    calibrationAccess = root.attribute(QStringLiteral("CalibrationAccess")) == QLatin1String("true");

    Scope_SetFeatures &s = globalSetFeatures;
    const auto channel = [&](const QString &name, int bit, unsigned char &range, unsigned char &x10) {
        const QDomElement e = root.firstChildElement(name);
        if (e.isNull())
            return;
        bool ok = false;
        const int on = e.attribute(QStringLiteral("On")).toInt(&ok);
        if (ok)
            s.channelsOn = on ? (s.channelsOn | bit) : (s.channelsOn & ~bit);
        const int dc = e.attribute(QStringLiteral("DC")).toInt(&ok);
        if (ok)
            s.dcCoupling = dc ? (s.dcCoupling | bit) : (s.dcCoupling & ~bit);
        const int r = e.attribute(QStringLiteral("Range")).toInt(&ok);
        if (ok && r >= 0 && r < 8)
            range = static_cast<unsigned char>(r);
        const int p = e.attribute(QStringLiteral("X10")).toInt(&ok);
        if (ok)
            x10 = p ? 1 : 0;
    };
    channel(QStringLiteral("ChannelA"), 1, s.rangeA, s.x10A);
    channel(QStringLiteral("ChannelB"), 2, s.rangeB, s.x10B);
    if ((s.channelsOn & 3) == 0)   // nothing here could switch a channel on again
        s.channelsOn = 3;
    ChannelAOnFlag = s.channelsOn & 1;
    ChannelBOnFlag = s.channelsOn & 2;
    ShowReadouts();
    return true;
}
