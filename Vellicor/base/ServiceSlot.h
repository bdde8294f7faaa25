#pragma once

#include <memory>
#include <mutex>
#include <utility>

// Holds the process-wide implementation of a platform service: the real one
// by default, a fake while a test installs one. Callers keep the shared
// pointer they get for the length of one use, so replacing the service while
// it is in use is safe.
template <typename Service> class ServiceSlot {
public:
    explicit ServiceSlot(std::shared_ptr<Service> standard)
        : standard_(std::move(standard))
    {
    }

    std::shared_ptr<Service> get() const
    {
        std::lock_guard lock(mutex_);
        return installed_ ? installed_ : standard_;
    }

    // Installs service; an empty pointer brings the standard one back.
    void set(std::shared_ptr<Service> service)
    {
        std::lock_guard lock(mutex_);
        installed_ = std::move(service);
    }

private:
    mutable std::mutex mutex_;
    std::shared_ptr<Service> standard_;
    std::shared_ptr<Service> installed_;
};
