#pragma once

#include <QThreadPool>

#include <memory>
#include <type_traits>
#include <utility>

// Lets go of what held owns on the application's thread pool rather than on
// the calling thread: for a whole result's records, whose last references
// would otherwise be dropped one by one while the window waits. What is held
// must be safe to destroy on any thread (plain data and shared pointers).
template <typename T> void releaseElsewhere(T&& held)
{
    auto box = std::make_shared<std::remove_cvref_t<T>>(std::forward<T>(held));
    QThreadPool::globalInstance()->start([box = std::move(box)]() mutable { box.reset(); });
}
