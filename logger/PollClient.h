#pragma once

// What the poll thread calls on the logger window (implemented by LoggerMainWindow).
class PollClient {
public:
    virtual ~PollClient() = default;
    virtual void NotifyMain() = 0;   // a block lies in the receive record
    virtual void StopLogger() = 0;
    // The instrument reported an I/O error or vanished: the run is stopped and the user
    // told why.
    virtual void InstrumentStopped() { StopLogger(); }
};
