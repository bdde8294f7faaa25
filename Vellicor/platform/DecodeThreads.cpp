#include "platform/DecodeThreads.h"

#include <QDeadlineTimer>
#include <QThreadPool>

#include <algorithm>

DecodeThreads::DecodeThreads(int threads)
    : pool_(new QThreadPool)
    , lane_(new QThreadPool)
{
    pool_->setMaxThreadCount(std::max(1, threads));
    lane_->setMaxThreadCount(1);
}

DecodeThreads::~DecodeThreads()
{
    delete pool_;
    delete lane_;
}

void DecodeThreads::start(DecodeAbandoned abandoned, Work work)
{
    pool_->start([lane = lane_, abandoned = std::move(abandoned), work = std::move(work)] {
        DecodeTurn turn { abandoned, false };
        work(turn);
        if (!turn.handedBack || (abandoned && abandoned()))
            return;
        lane->start([abandoned, work] {
            if (abandoned && abandoned())
                return;
            DecodeTurn waiting { abandoned, true };
            work(waiting);
        });
    });
}

void DecodeThreads::clear()
{
    pool_->clear();
    lane_->clear();
}

bool DecodeThreads::waitForDone(int msecs)
{
    // The pool first: its work may still hand pictures on to the lane.
    const QDeadlineTimer deadline(msecs);
    if (!pool_->waitForDone(msecs))
        return false;
    return lane_->waitForDone(deadline.isForever() ? -1 : int(std::max<qint64>(0, deadline.remainingTime())));
}

bool DecodeThreads::release(DecodeThreads* threads, int msecs)
{
    threads->clear();
    if (!threads->waitForDone(msecs))
        return false;
    delete threads;
    return true;
}
