#pragma once

#include <chrono>

// Lets a worker's progress reach the screen at most about twenty times a
// second, the pace at which a changing count can still be read: a run over
// many small files would otherwise spend the GUI thread on repainting. One
// thread at a time.
class ProgressPacer {
public:
    static constexpr std::chrono::milliseconds interval { 50 };

    // Whether an update may go now; when it may, the next one waits for the
    // interval.
    bool due()
    {
        const auto now = std::chrono::steady_clock::now();
        if (now < next_)
            return false;
        next_ = now + interval;
        return true;
    }

private:
    std::chrono::steady_clock::time_point next_ {};
};
