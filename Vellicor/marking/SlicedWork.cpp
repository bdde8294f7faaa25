#include "marking/SlicedWork.h"

SlicedWork::SlicedWork(QObject* parent)
    : QObject(parent)
{
    next_.setSingleShot(true);
    next_.setInterval(0);
    connect(&next_, &QTimer::timeout, this, [this] { runSlice(SliceBudget()); });
}

void SlicedWork::start(Step step)
{
    finishNow();
    step_ = std::move(step);
    runSlice(SliceBudget());
}

void SlicedWork::finishNow()
{
    if (step_)
        runSlice(SliceBudget::unlimited());
}

void SlicedWork::stop()
{
    next_.stop();
    step_ = nullptr;
}

void SlicedWork::runSlice(SliceBudget budget)
{
    next_.stop();
    if (!step_)
        return;
    // Taken out while it runs: a step that opens an alert serves the event
    // loop, and a job started from there is not finished or dropped by this
    // one (which then ends where it is).
    Step step = std::move(step_);
    step_ = nullptr;
    if (step(budget))
        return;
    if (!step_) {
        step_ = std::move(step);
        next_.start(budget.isResting() ? restMs : pauseMs);
    }
}
