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
    // Ready for the next run of the thread.
    void Reset()
    {
        std::lock_guard<std::mutex> lock(mutex);
        quit = false;
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
    // comes late is not made up for: the next one is due an interval after it.
    template <typename Tick>
    void Run(int intervalMs, Tick tick)
    {
        using Clock = std::chrono::steady_clock;
        const auto interval = std::chrono::milliseconds(std::max(intervalMs, 1));
        auto due = Clock::now() + interval;
        std::unique_lock<std::mutex> lock(mutex);
        while (!wake.wait_until(lock, due, [this] { return quit; })) {
            lock.unlock();
            tick();
            const auto now = Clock::now();
            due += interval;
            if (due <= now)
                due = now + interval;
            lock.lock();
        }
    }

private:
    std::mutex mutex;
    std::condition_variable wake;
    bool quit = false;
};
