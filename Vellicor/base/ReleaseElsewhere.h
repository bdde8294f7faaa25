#pragma once

#include <QThreadPool>

#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

// Gives the memory the heap keeps free back to the system. A structure of
// millions of blocks, once let go of, leaves its pages amid what is still
// held, where the heap would keep them resident for good. It walks the whole
// heap (tens of milliseconds after a large scan): never on the GUI thread.
void giveFreedMemoryBack();

// What giveFreedMemoryBack does in place of the allocator's trim: a seam
// through which tests count the requests. Answers the one before; none
// restores the trim.
using FreedMemoryGiver = void (*)();
FreedMemoryGiver setFreedMemoryGiver(FreedMemoryGiver giver);

class QObject;

// The releases on the pool under way: counted so that a step which measures
// the program's memory can wait until what was let go of is gone.
namespace ReleasesElsewhere {
void begin();
void end();
} // namespace ReleasesElsewhere

// Runs then on the GUI thread, unless context is gone by then, once every
// release on the pool begun so far (and any begun while they run) has ended
// and the memory they freed has been given back to the system. GUI thread.
void afterReleasesElsewhere(QObject* context, std::function<void()> then);

// Lets go of what held owns on the application's thread pool rather than on
// the calling thread: for a whole result's records, whose last references
// would otherwise be dropped one by one while the window waits. What is held
// must be safe to destroy on any thread (plain data and shared pointers).
template <typename T> void releaseElsewhere(T&& held)
{
    auto box = std::make_shared<std::remove_cvref_t<T>>(std::forward<T>(held));
    ReleasesElsewhere::begin();
    QThreadPool::globalInstance()->start([box = std::move(box)]() mutable {
        box.reset();
        ReleasesElsewhere::end();
    });
}

// releaseElsewhere, and what it freed then given back to the system there.
template <typename T> void releaseElsewhereGivingBack(T&& held)
{
    auto box = std::make_shared<std::remove_cvref_t<T>>(std::forward<T>(held));
    ReleasesElsewhere::begin();
    QThreadPool::globalInstance()->start([box = std::move(box)]() mutable {
        box.reset();
        giveFreedMemoryBack();
        ReleasesElsewhere::end();
    });
}
