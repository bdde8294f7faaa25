#pragma once

#include "platform/ImageProcessing.h"

#include <QIODevice>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

// A large JPEG decoded on a thread of its own from a device whose reads stop
// half way through the picture until released: the decode holds the one
// turn of large pictures meanwhile, as one reading from a stalled disk does.
// For tests linking the platform library.
class HeldLargeDecode {
public:
    explicit HeldLargeDecode(const QByteArray& jpeg)
        : device_(jpeg, *this)
    {
        device_.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
        decoder_
            = std::thread([this] { ImageProcessing::resizeImageFromDevice(device_, QStringLiteral("held.jpg"), 256); });
    }
    ~HeldLargeDecode()
    {
        release();
        decoder_.join();
    }
    HeldLargeDecode(const HeldLargeDecode&) = delete;
    HeldLargeDecode& operator=(const HeldLargeDecode&) = delete;

    // Whether the decode stopped inside its turn within msecs.
    bool waitUntilHeld(int msecs)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::milliseconds(msecs), [this] { return held_; });
    }
    void release()
    {
        {
            const std::lock_guard lock(mutex_);
            released_ = true;
        }
        changed_.notify_all();
    }

private:
    // The bytes, read through once in full (the picture's checks), then
    // stopping past the middle (its decoder's read) until released.
    class StallingDevice : public QIODevice {
    public:
        StallingDevice(const QByteArray& bytes, HeldLargeDecode& owner)
            : bytes_(bytes)
            , owner_(owner)
        {
        }
        qint64 size() const override { return bytes_.size(); }

    protected:
        qint64 readData(char* data, qint64 most) override
        {
            const qint64 at = pos();
            if (readThrough_ && at >= bytes_.size() / 2)
                owner_.stopHere();
            const qint64 count = std::max<qint64>(0, std::min(most, bytes_.size() - at));
            std::memcpy(data, bytes_.constData() + at, size_t(count));
            readThrough_ = readThrough_ || at + count >= bytes_.size();
            return count;
        }
        qint64 writeData(const char*, qint64) override { return -1; }

    private:
        QByteArray bytes_;
        HeldLargeDecode& owner_;
        bool readThrough_ = false;
    };

    void stopHere()
    {
        std::unique_lock lock(mutex_);
        held_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return released_; });
    }

    StallingDevice device_;
    std::thread decoder_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    bool released_ = false;
};
