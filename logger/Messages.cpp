#include "Messages.h"

#include <QCoreApplication>
#include <QMessageBox>

Messages::Messages(QWidget *parent) : parent(parent)
{
    InitMsgList();
}

Messages::~Messages() = default;

void Messages::InitMsgList()
{
    auto tr = [](const char *text) { return QCoreApplication::translate("Messages", text); };
    msgList.insert(HW_NOT_FOUND, tr("ZR70K33 h/w not found."));
    msgList.insert(FILE_SAVE_FAILED, tr("Failed to save file."));
    msgList.insert(URL_LOAD_FAILED, tr("Error in loading the url."));
    msgList.insert(FILE_OPEN_FAILED, tr("Failed to open file."));
    msgList.insert(OUT_OF_MEMORY, tr("Out of memory"));
    msgList.insert(NO_PREVIOUS_DATA, tr("No previous data."));
    msgList.insert(HELP_FILE_OPEN_FAILED, tr("Failed to open help file."));
    msgList.insert(HW_STOP_FAILED, tr("Failed to stop H/W."));
    msgList.insert(NO_CHANNEL_ENABLED, tr("No channel is enabled."));
    msgList.insert(BACKUP_FILE_OPENED, tr("tamberlo_backup.csv is opened."));
    msgList.insert(TEMP_FILE_OPENED, tr("temp.csv is opened."));
    msgList.insert(FILL_ALL_FIELDS, tr("Please fill in all the fields."));
    msgList.insert(INSTRUMENT_STOPPED, tr("Logging stopped: the ZR70K33 stopped answering (USB error or "
                                          "unplugged). The samples logged until then are saved."));
    msgList.insert(RUN_NOT_SAVED, tr("The samples of this run could not be written to temp.csv or to the backup "
                                     "file named below (the disk may be full): the run is not kept on the chart."));
    msgList.insert(RAW_DATA_MODE, tr("Running in raw data mode."));
    msgList.insert(INVALID_MULTIPLIER, tr("The multiplier must be a number greater than 0."));
    msgList.insert(SCALE_NAME_IN_USE, tr("A Y scale of this name already exists. Please choose another name."));
    msgList.insert(SETTINGS_NOT_READ, tr("The saved settings could not be read: the default settings are in "
                                         "use. The file that could not be read is kept as:"));
    msgList.insert(MULTIPLIER_NOT_SHOWABLE, tr("The chart cannot show a Y range with this multiplier. "
                                               "Please choose a smaller or a larger one."));
    msgList.insert(ROWS_LEFT_OUT, tr("Some rows of the file could not be read and were left out of the chart. "
                                     "Rows left out:"));
    msgList.insert(SAMPLE_NUMBERS_NOT_SHOWABLE, tr("The sample numbers of this file are too large for the chart to "
                                                   "show. The file is not opened."));
    msgList.insert(LAST_SAMPLE_NUMBER_REACHED, tr("The sample numbers of this chart have reached the largest "
                                                  "the chart can show: no more samples can be logged on it. "
                                                  "The samples logged are saved. Save the chart and clear the "
                                                  "screen to log on."));
    msgList.insert(ROWS_WAITING_FOR_BACKUP, tr("Samples of the last run could not yet be added to the backup file "
                                               "named below: it could not be written (the disk may be full, or "
                                               "the file read-only). They are kept in temp.csv and added as soon "
                                               "as the file can be written; until then no new run can start."));
    msgList.insert(SETTINGS_NOT_SAVED, tr("The settings could not be saved (the disk may be full): the file named "
                                          "below is left as it was."));
}

void Messages::DisplayMsg(messageCode_e code)
{
    DisplayMsg(code, QString());
}

void Messages::DisplayMsg(messageCode_e code, const QString &detail)
{
    QMessageBox::Icon icon;
    QString title;
    if (code >= 0 && code <= 99) {
        icon = QMessageBox::Critical;
        title = QCoreApplication::translate("Messages", "Error");
    } else if (code >= 100 && code <= 199) {
        icon = QMessageBox::Information;
        title = QCoreApplication::translate("Messages", "Information");
    } else if (code >= 200 && code <= 299) {
        icon = QMessageBox::Warning;
        title = QCoreApplication::translate("Messages", "Warning");
    } else {
        return;
    }
    QString text = msgList[code];
    if (!detail.isEmpty())
        text += QLatin1Char('\n') + detail;
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.exec();
}
