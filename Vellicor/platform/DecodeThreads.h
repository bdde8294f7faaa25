#pragma once

#include "platform/ImageProcessing.h"

#include <functional>

class QThreadPool;

// The threads on which one asker of pictures (the grid, the previews)
// decodes them. Pictures whose buffer stays within
// PictureBounds::jpegSharedBytes are decoded on a pool of a few threads; a
// larger JPEG is handed on to a lane of one thread of its own, where it waits
// for its turn (DecodeTurn). So a small picture never waits behind large
// ones, and a thread that waits for a turn holds up no other picture. Any
// thread.
class DecodeThreads {
public:
    // Decodes what it was made for, telling its decoder the turn it is given.
    using Work = std::function<void(DecodeTurn& turn)>;

    explicit DecodeThreads(int threads);
    DecodeThreads(const DecodeThreads&) = delete;
    DecodeThreads& operator=(const DecodeThreads&) = delete;

    // Runs work on the pool with a turn that may not wait, and, when its
    // decoder hands the picture back, again on the lane with one that may,
    // unless abandoned by then. Work that was handed back tells nothing.
    void start(DecodeAbandoned abandoned, Work work);
    // Drops the work not started yet.
    void clear();
    // Waits at most msecs in all for the work under way; whether none is left.
    bool waitForDone(int msecs);
    // Clears, waits at most msecs and ends the threads; when work is still
    // under way (a read that never ends), they are left to end by
    // themselves, and so is this. Whether they ended.
    static bool release(DecodeThreads* threads, int msecs);

private:
    // Only by release(), once nothing runs.
    ~DecodeThreads();

    QThreadPool* pool_;
    QThreadPool* lane_;
};
