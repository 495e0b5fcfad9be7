// Paces the ticks of a worker thread without an event loop of its own: the thread sleeps
// until the next tick is due or it is told to quit, so that a tick costs one wake-up and
// no timer bookkeeping.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>

class TickPacer {
public:
    using Clock = std::chrono::steady_clock;

    // Ticks fall on whole intervals from `origin` (by default from the start of Run): two
    // threads given the same origin and interval tick together, so that their calls into
    // the GUI thread are handled in one wake-up of it.
    void SetOrigin(Clock::time_point t)
    {
        std::lock_guard<std::mutex> lock(mutex);
        origin = t;
        haveOrigin = true;
    }
    // Ready for the next run of the thread.
    void Reset()
    {
        std::lock_guard<std::mutex> lock(mutex);
        quit = false;
        haveOrigin = false;
    }
    // From any thread; Run returns soon after (at once when it has not begun yet).
    void Quit()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            quit = true;
        }
        wake.notify_all();
    }
    // Calls tick() every intervalMs until Quit. As a repeating timer does, a tick that
    // comes late is not made up for: the next one is the next that is due.
    template <typename Tick>
    void Run(int intervalMs, Tick tick)
    {
        const Clock::duration interval = std::chrono::milliseconds(std::max(intervalMs, 1));
        std::unique_lock<std::mutex> lock(mutex);
        const Clock::time_point start = haveOrigin ? origin : Clock::now();
        auto nextAfter = [&](Clock::time_point t) {
            return t < start ? start + interval : start + ((t - start) / interval + 1) * interval;
        };
        Clock::time_point due = nextAfter(Clock::now());
        while (!wake.wait_until(lock, due, [this] { return quit; })) {
            lock.unlock();
            tick();
            due = nextAfter(std::max(due, Clock::now()));
            lock.lock();
        }
    }

private:
    std::mutex mutex;
    std::condition_variable wake;
    bool quit = false;
    bool haveOrigin = false;
    Clock::time_point origin;
};
