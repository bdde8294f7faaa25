#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <thread>

// Runs work on a thread of its own and waits for its result with a generous
// bound, so that work which hangs fails the test instead of hanging the run.
// On time-out the thread is left behind (it cannot be ended from outside) and
// the answer is none: work must own everything it uses (capture by value or
// by shared pointer). An optional stop is raised after stopAfter, as a user
// pressing Stop while the work runs.
template <typename Work>
auto runWithWatchdog(Work work, std::shared_ptr<std::atomic<bool>> stop = nullptr,
    std::chrono::milliseconds stopAfter = std::chrono::milliseconds(100),
    std::chrono::seconds bound = std::chrono::seconds(60)) -> std::optional<decltype(work())>
{
    std::packaged_task<decltype(work())()> task(std::move(work));
    auto result = task.get_future();
    std::thread(std::move(task)).detach();
    if (stop && result.wait_for(stopAfter) != std::future_status::ready)
        stop->store(true);
    if (result.wait_for(bound) != std::future_status::ready) {
        ADD_FAILURE() << "the work did not end";
        return std::nullopt;
    }
    return result.get();
}
