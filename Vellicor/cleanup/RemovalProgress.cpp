#include "cleanup/RemovalProgress.h"

#include <algorithm>

namespace {

bool comparesBytes(const PlannedRemoval& item)
{
    return item.route == RemovalRoute::trash || item.route == RemovalRoute::deleteOutright;
}

} // namespace

RemovalProgress::RemovalProgress(std::shared_ptr<const RemovalPlan> plan, std::function<void()> announce)
    : plan_(std::move(plan))
    , announce_(std::move(announce))
{
    for (const PlannedRemoval& item : plan_->items) {
        if (comparesBytes(item))
            bytesTotal_ += item.scanned.fileSize;
    }
}

void RemovalProgress::fileTried(const RemovalOutcome& outcome)
{
    const std::lock_guard guard(lock_);
    const PlannedRemoval& item = plan_->items[static_cast<std::size_t>(tried_++)];
    if (comparesBytes(item))
        bytesChecked_ += item.scanned.fileSize;
    underWayPath_.clear();
    underWay_ = 0;
    underWaySize_ = 0;
    if (outcome.kind == RemovalOutcome::Kind::removed)
        gone(outcome.path);
    changed();
}

void RemovalProgress::itemMoved(const QString& path)
{
    const std::lock_guard guard(lock_);
    gone(path);
    changed();
}

void RemovalProgress::compared(const PlannedRemoval& item, quint64 bytes)
{
    const std::lock_guard guard(lock_);
    underWayPath_ = item.scanned.path;
    underWay_ = std::max(underWay_, std::min(bytes, item.scanned.fileSize));
    underWaySize_ = item.scanned.fileSize;
    changed();
}

void RemovalProgress::flush()
{
    const std::lock_guard guard(lock_);
    if (unshown_ && !posted_)
        announce();
}

TrashProgressFigures RemovalProgress::figures()
{
    const std::lock_guard guard(lock_);
    return figuresNow();
}

TrashProgressFigures RemovalProgress::takeFigures()
{
    const std::lock_guard guard(lock_);
    posted_ = false;
    unshown_ = false;
    return figuresNow();
}

TrashProgressFigures RemovalProgress::figuresNow() const
{
    TrashProgressFigures shown;
    shown.filesDone = static_cast<double>(tried_)
        + (underWaySize_ > 0 ? static_cast<double>(underWay_) / static_cast<double>(underWaySize_) : 0.0);
    shown.pathUnderWay = !underWayPath_.isEmpty();
    shown.path = shown.pathUnderWay ? underWayPath_ : removedPath_;
    shown.removedBefore = std::max<qint64>(removed_ - 1, 0);
    shown.bytesDone = bytesChecked_ + underWay_;
    shown.bytesTotal = bytesTotal_;
    return shown;
}

void RemovalProgress::gone(const QString& file)
{
    removedPath_ = file;
    ++removed_;
}

// The sheet hears of a change when the pace allows and no earlier update
// still waits for the GUI thread, which then shows the latest figures; so a
// busy GUI thread never meets a backlog, however many files or pieces of a
// file go by.
void RemovalProgress::changed()
{
    unshown_ = true;
    if (!posted_ && pacer_.due())
        announce();
}

void RemovalProgress::announce()
{
    posted_ = true;
    announce_();
}
