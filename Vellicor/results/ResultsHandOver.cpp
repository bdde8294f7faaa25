#include "results/ResultsHandOver.h"

#include "base/ReleaseElsewhere.h"

#include <QFuture>
#include <QtConcurrent/QtConcurrentRun>

ResultsHandOver::ResultsHandOver(QObject* parent)
    : QObject(parent)
{
    // One thread makes every result set's rows, so that the memory of the
    // rows let go of before is used again for the next ones; the other parts
    // run beside it on the application's pool. A newer result set waits for
    // a dropped one to end.
    workers_.setMaxThreadCount(1);
}

ResultsHandOver::~ResultsHandOver()
{
    drop();
    workers_.waitForDone();
}

void ResultsHandOver::drop()
{
    ++generation_;
    if (stop_)
        stop_->store(true);
    stop_.reset();
}

HandOverOutcome ResultsHandOver::prepare(std::vector<DuplicateGroupPtr> groups, ScanSource source,
    std::optional<PriorityLists> priorities, QThreadPool* pool, const std::atomic<bool>& stop)
{
    HandOverOutcome outcome;
    std::erase(groups, nullptr);
    const std::vector<DuplicateGroupPtr>& all = groups;
    QFuture<PriorityLists> lists;
    if (!priorities)
        lists = QtConcurrent::run(pool, [&all] { return priorityListsOf(all); });
    QFuture<ResultsState::MarkedTotals> marked
        = QtConcurrent::run(pool, [&all] { return ResultsState::markedTotalsOf(all); });
    QFuture<DuplicatesSummary> summary = QtConcurrent::run(pool, [&all, source] { return summarizeDuplicates(all, source); });
    QFuture<CategoryPie::Percentages> shares
        = QtConcurrent::run(pool, [&all] { return CategoryPie::percentages(all); });
    outcome.state.shown = ResultsState::shownAtLoad(all);
    if (!stop.load())
        outcome.rows = ResultRows::prepareRows(outcome.state.shown);
    // The parts read the groups until they are done.
    outcome.state.priorities = priorities ? std::move(*priorities) : lists.result();
    outcome.marked = marked.result();
    outcome.summary = summary.result();
    outcome.shares = shares.result();
    outcome.state.groups = std::move(groups);
    return outcome;
}

void ResultsHandOver::start(
    std::vector<DuplicateGroupPtr> groups, ScanSource source, std::optional<PriorityLists> priorities, Apply apply)
{
    drop();
    if (groups.size() < backgroundFrom_) {
        const std::atomic<bool> never { false };
        HandOverOutcome outcome
            = prepare(std::move(groups), source, std::move(priorities), QThreadPool::globalInstance(), never);
        apply(outcome);
        return;
    }
    const quint64 generation = generation_;
    stop_ = std::make_shared<std::atomic<bool>>(false);
    // The destructor waits for the worker, so this outlives the call it
    // posts; a posted call is dropped with it.
    workers_.start([this, generation, stop = stop_, groups = std::move(groups), source,
                       priorities = std::move(priorities), apply = std::move(apply)]() mutable {
        auto outcome = std::make_shared<HandOverOutcome>(
            prepare(std::move(groups), source, std::move(priorities), QThreadPool::globalInstance(), *stop));
        if (stop->load())
            return;
        QMetaObject::invokeMethod(
            this,
            [this, generation, outcome, apply = std::move(apply)]() mutable {
                if (generation != generation_) {
                    releaseElsewhere(std::move(*outcome));
                    return;
                }
                stop_.reset();
                apply(*outcome);
            },
            Qt::QueuedConnection);
    });
}
