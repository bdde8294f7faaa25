#pragma once

#include "results/ResultViewController.h"

#include <functional>
#include <utility>
#include <vector>

// The results screen's delayed calls, held until the page runs them: a page
// shows the screen as it stands after its pauses without waiting for them,
// and may leave one out (the scan-complete sheet is the last one asked for
// after the results are loaded).
class HeldCalls : public DelayedCalls {
public:
    void after(std::chrono::milliseconds, QObject*, std::function<void()> work) override { pending.push_back(work); }
    void runAll()
    {
        for (auto& work : std::exchange(pending, {}))
            work();
    }
    std::vector<std::function<void()>> pending;
};
