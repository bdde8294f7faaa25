#include "base/ReleaseElsewhere.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

#include <atomic>
#include <malloc.h>
#include <mutex>
#include <utility>
#include <vector>

namespace {

void trimHeap()
{
    malloc_trim(0);
}

std::atomic<FreedMemoryGiver> giver { &trimHeap };

struct Waiting {
    QPointer<QObject> context;
    std::function<void()> then;
};

std::mutex releasesMutex;
int releasesUnderWay = 0;
std::vector<Waiting> waiting;

} // namespace

void giveFreedMemoryBack()
{
    giver.load()();
}

FreedMemoryGiver setFreedMemoryGiver(FreedMemoryGiver replacement)
{
    return giver.exchange(replacement ? replacement : &trimHeap);
}

void ReleasesElsewhere::begin()
{
    std::lock_guard lock(releasesMutex);
    ++releasesUnderWay;
}

void ReleasesElsewhere::end()
{
    std::vector<Waiting> ended;
    {
        std::lock_guard lock(releasesMutex);
        if (--releasesUnderWay == 0)
            ended = std::exchange(waiting, {});
    }
    if (ended.empty())
        return;
    giveFreedMemoryBack();
    QCoreApplication* application = QCoreApplication::instance();
    if (!application)
        return;
    // Handed to the application object, which outlives every context: a
    // context gone meanwhile is found so on the GUI thread.
    for (Waiting& entry : ended)
        QMetaObject::invokeMethod(
            application,
            [context = std::move(entry.context), then = std::move(entry.then)] {
                if (context)
                    then();
            },
            Qt::QueuedConnection);
}

void afterReleasesElsewhere(QObject* context, std::function<void()> then)
{
    {
        std::lock_guard lock(releasesMutex);
        waiting.push_back({ QPointer<QObject>(context), std::move(then) });
    }
    // A release of nothing, so that the wait ends (and the heap is given
    // back) also when no other is under way.
    releaseElsewhere(0);
}
