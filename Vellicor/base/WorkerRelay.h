#pragma once

#include <QMetaObject>

#include <functional>
#include <mutex>
#include <utility>

// A worker's way back to the object that started it: work posted from any
// thread runs on the owner's thread, after what is queued there, unless the
// owner has cut the way by then (it does so as it goes).
template <class Owner> class WorkerRelay {
public:
    explicit WorkerRelay(Owner* owner)
        : owner_(owner)
    {
    }

    void post(std::function<void(Owner&)> work)
    {
        const std::lock_guard guard(lock_);
        if (owner_)
            QMetaObject::invokeMethod(
                owner_, [owner = owner_, work = std::move(work)] { work(*owner); }, Qt::QueuedConnection);
    }
    void cut()
    {
        const std::lock_guard guard(lock_);
        owner_ = nullptr;
    }

private:
    std::mutex lock_;
    Owner* owner_ = nullptr;
};
