#pragma once

#include "marking/AutoMarking.h"

#include <functional>
#include <utility>
#include <vector>

// Delayed calls that wait for the test: advance() runs those made so far, and
// a clock never advanced drops them.
struct HandClock : DelayedCalls {
    std::vector<std::function<void()>> pending;

    void after(std::chrono::milliseconds, QObject*, std::function<void()> work) override
    {
        pending.push_back(std::move(work));
    }
    void advance()
    {
        for (auto& work : std::exchange(pending, {}))
            work();
    }
};
