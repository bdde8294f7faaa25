#include "platform/LeftFilesSweep.h"

#include "base/Log.h"

#include <atomic>
#include <system_error>
#include <thread>

namespace {

std::atomic<int> underWay { 0 };

// Runs work on a thread that nothing joins; false when none could start.
bool runAside(std::function<void()> work)
{
    underWay.fetch_add(1);
    try {
        std::thread([work = std::move(work)] {
            work();
            underWay.fetch_sub(1);
        }).detach();
        return true;
    } catch (const std::system_error& error) {
        underWay.fetch_sub(1);
        Log::print("Start: a sweep of what ended runs left could not start:", error.what());
        return false;
    }
}

} // namespace

void sweepLeftFilesAside(std::function<void(LeftFiles)> whenDone)
{
    runAside([whenDone = std::move(whenDone)] {
        LeftFiles found;
        found.setAside = recoverSetAsideFiles();
        found.copiesAway = removeLeftRestoreCopies(AwayCopies::toldOnce).away;
        if (whenDone)
            whenDone(std::move(found));
    });
}

void sweepLeftRestoreCopiesAside()
{
    if (underWay.load() >= longestSweeps) {
        Log::print(
            "Undo: earlier sweeps of left copies are still held by folders that do not answer; none more starts");
        return;
    }
    runAside([] { removeLeftRestoreCopies(); });
}

int leftFilesSweepsUnderWay()
{
    return underWay.load();
}
