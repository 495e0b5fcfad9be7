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

// An event that carries nothing but its type.
template <QEvent::Type T>
class ScopeNoticeEvent : public QEvent {
public:
    ScopeNoticeEvent() : QEvent(T) {}
};

using DataAvailableEvent = ScopeNoticeEvent<ScopeEvent::DataAvailable>;
using LCDDataupdateEvent = ScopeNoticeEvent<ScopeEvent::LCDDataupdate>;
using MeterWindowCloseEvent = ScopeNoticeEvent<ScopeEvent::MeterWindowClose>;
using IOErrorEvent = ScopeNoticeEvent<ScopeEvent::IOError>;
