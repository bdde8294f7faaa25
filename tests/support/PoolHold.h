#pragma once

#include <QSemaphore>
#include <QThreadPool>

#include <atomic>

// Keeps every thread of the application's pool busy until released (ten
// seconds at most), so that work handed to it waits.
class PoolHold {
public:
    PoolHold()
        : threads_(QThreadPool::globalInstance()->maxThreadCount())
    {
        for (int i = 0; i < threads_; ++i)
            QThreadPool::globalInstance()->start([this] {
                started_.release();
                if (!release_.tryAcquire(1, 10'000))
                    timedOut_ = true;
                ended_.release();
            });
        started_.tryAcquire(threads_, 10'000);
    }
    // Releases the threads and waits for them to leave.
    ~PoolHold()
    {
        release_.release(threads_);
        ended_.tryAcquire(threads_, 10'000);
    }
    // Whether a thread left without being released.
    bool timedOut() const { return timedOut_; }

private:
    std::atomic<bool> timedOut_ = false;
    const int threads_;
    QSemaphore started_;
    QSemaphore release_;
    QSemaphore ended_;
};
