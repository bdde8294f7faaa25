#pragma once

// A 1 ms timer on the GUI thread that keeps the longest stretch between two
// of its calls: how long at most the thread went without serving its events.
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <functional>

class ServiceProbe {
public:
    // tick runs at each call of the timer, after the stretch was noted.
    explicit ServiceProbe(std::function<void()> tick)
    {
        timer_.setInterval(1);
        QObject::connect(&timer_, &QTimer::timeout, [this, tick = std::move(tick)] {
            note();
            tick();
        });
    }
    void start()
    {
        clock_.start();
        last_ = 0;
        longest_ = 0;
        timer_.start();
    }
    // Notes the stretch since the last call.
    void note()
    {
        const qint64 now = clock_.nsecsElapsed();
        longest_ = std::max(longest_, now - last_);
        last_ = now;
    }
    // Since start(), to the last call.
    qint64 lastNs() const { return last_; }
    qint64 elapsedNs() const { return clock_.nsecsElapsed(); }
    qint64 longestNs() const { return longest_; }

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};
