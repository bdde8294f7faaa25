#include "platform/LeftFilesSweep.h"

#include "base/Log.h"
#include "base/RunAside.h"

#include <atomic>
#include <optional>
#include <string>

namespace {

std::atomic<int> underWay { 0 };

void sweepAside(std::function<void()> work)
{
    if (const std::optional<std::string> failure = runAside(underWay, std::move(work)))
        Log::print("Start: a sweep of what ended runs left could not start:", QString::fromStdString(*failure));
}

} // namespace

void sweepLeftFilesAside(std::function<void(LeftFiles)> whenDone)
{
    sweepAside([whenDone = std::move(whenDone)] {
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
    sweepAside([] { removeLeftRestoreCopies(); });
}

int leftFilesSweepsUnderWay()
{
    return underWay.load();
}
