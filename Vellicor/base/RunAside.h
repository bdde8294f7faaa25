#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

// Runs work on a thread of its own that nothing joins, for work that may wait
// on something that does not answer (a mount, a disk) and that no one may
// wait for in turn. underWay counts such threads while they run, so that a
// caller can bound how many it leaves waiting. Empty when the thread started;
// otherwise why not, and nothing ran. Any thread.
inline std::optional<std::string> runAside(std::atomic<int>& underWay, std::function<void()> work)
{
    underWay.fetch_add(1);
    try {
        std::thread([&underWay, work = std::move(work)] {
            work();
            underWay.fetch_sub(1);
        }).detach();
        return std::nullopt;
    } catch (const std::system_error& error) {
        underWay.fetch_sub(1);
        return std::string(error.what());
    }
}
