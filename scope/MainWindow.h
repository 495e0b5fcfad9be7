// The oscilloscope window "Kestrima III for ZR70K33": instrument list, Run/Stop, the meters,
// the Help menu and the switch to the data logger.
#pragma once

#include "KrDriver.h"
#include "ScopeGlobals.h"

#include <QMainWindow>
#include <QString>

namespace Ui {
class MainWindow;
}
class PollKestrimaThread;

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The user's home folder + "/Documents/KestrimaIII/", created by the constructor.
    QString appFolderPath;

    // Called by the logger window's Help menu.
    void ViewAbout();
    void ViewHelpManual();
    void ViewWebsite();

    // "Kestrima.xml" in the application folder; true when the file was written (read).
    bool SaveScopeXMLConfig();
    bool LoadScopeXMLConfig();

    // Refills the device list with the attached instruments; returns how many there are.
    int ListDevices(bool warnWhenNone);
    bool IsRunning() const { return running; }
    quint64 FramesReceived() const { return framesReceived; }   // frames shown since Run

    // The program ends with the window `closing` (the logger window, when this one is
    // hidden): this window's own closing shuts its tool windows and the instrument, and
    // every other window still shown is closed, so that none keeps the program alive.
    static void CloseEveryWindowBut(QWidget *closing);
    static QString HelpManualPath();
    static QString WebsitePath();
    // Opens a local document with the desktop's handler; shows errorText when that fails.
    bool OpenLocalDocument(const QString &path, const QString &errorText);

public slots:
    void HelpABout();
    void GoToHelpManual();
    void HelpUsbwebsite();
    void LoggerModeFunc();
    void on_RunButton_clicked();
    void on_MeteraButton_clicked();
    void on_MeterbButton_clicked();

protected:
    bool event(QEvent *e) override;
    void closeEvent(QCloseEvent *e) override;

private slots:
    void PersistenceSettingsfunction();

private:
    void FillDefaultSettings();
    bool StartScope();
    bool StopScope();
    void ReturnToStopped();
    void ShowRunState();
    void ShowReadouts();
    void StopPollThread();

    Ui::MainWindow *ui;
    KR_HANDLE scopeHandle = nullptr;
    bool portOpen = false;
    bool running = false;
    bool calibrationAccess = false;
    PollKestrimaThread *pollThread = nullptr;
    quint64 framesReceived = 0;
};

extern MainWindow *w;
