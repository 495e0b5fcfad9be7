// Posted events without data between the scope's polling tick, its window and the meters.
// A number used twice is told apart by the receiver.
#pragma once

#include <QEvent>

namespace ScopeEvent {
constexpr QEvent::Type DataAvailable = QEvent::Type(1002);   // to the scope window
constexpr QEvent::Type LCDDataupdate = QEvent::Type(1002);   // to a meter window
constexpr QEvent::Type MeterWindowClose = QEvent::Type(1006);
constexpr QEvent::Type IOError = QEvent::Type(1008);
}

class DataAvailableEvent : public QEvent {
public:
    DataAvailableEvent() : QEvent(ScopeEvent::DataAvailable) {}
};

class LCDDataupdateEvent : public QEvent {
public:
    LCDDataupdateEvent() : QEvent(ScopeEvent::LCDDataupdate) {}
};

class MeterWindowCloseEvent : public QEvent {
public:
    MeterWindowCloseEvent() : QEvent(ScopeEvent::MeterWindowClose) {}
};

class IOErrorEvent : public QEvent {
public:
    IOErrorEvent() : QEvent(ScopeEvent::IOError) {}
};
