// The logger's numbered user messages and the modal box that shows them.
#pragma once

#include <QMap>
#include <QString>

class QWidget;

// Codes 0-99 are errors, 100-199 information, 200-299 warnings. The int base
// keeps any code a caller passes a valid value of the type.
enum messageCode_e : int {
    HW_NOT_FOUND = 0,
    FILE_SAVE_FAILED = 1,
    URL_LOAD_FAILED = 2,
    FILE_OPEN_FAILED = 3,
    OUT_OF_MEMORY = 4,
    NO_PREVIOUS_DATA = 5,
    HELP_FILE_OPEN_FAILED = 6,
    HW_STOP_FAILED = 7,
    NO_CHANNEL_ENABLED = 8,
    BACKUP_FILE_OPENED = 9,
    TEMP_FILE_OPENED = 10,
    FILL_ALL_FIELDS = 11,
    INSTRUMENT_STOPPED = 12,
    RUN_NOT_SAVED = 13,
    RAW_DATA_MODE = 100,
    INVALID_MULTIPLIER = 201,
    SCALE_NAME_IN_USE = 202,
    SETTINGS_NOT_READ = 203,
    MULTIPLIER_NOT_SHOWABLE = 204,
    ROWS_LEFT_OUT = 205,
    SAMPLE_NUMBERS_NOT_SHOWABLE = 206,
    LAST_SAMPLE_NUMBER_REACHED = 207,
    ROWS_WAITING_FOR_BACKUP = 208,
    SETTINGS_NOT_SAVED = 209
};

class Messages {
public:
    explicit Messages(QWidget *parent);
    ~Messages();

    void InitMsgList();
    // Shows the code's text in a modal box with one Ok button and returns when
    // it is closed; codes outside 0-299 show nothing.
    void DisplayMsg(messageCode_e code);
    // The same with a detail, such as a file's path, on a line of its own below the text.
    void DisplayMsg(messageCode_e code, const QString &detail);
    // The code's text, for a box that gives it as the reason of another.
    QString Text(messageCode_e code) const { return msgList.value(code); }

private:
    QMap<messageCode_e, QString> msgList;
    QWidget *parent;
};
