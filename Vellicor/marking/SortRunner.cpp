#include "marking/SortRunner.h"

#include "marking/GroupSorting.h"

#include <QElapsedTimer>
#include <QTimer>

SortRunner::SortRunner(ResultsState& state, QObject* parent)
    : QObject(parent)
    , state_(state)
{
    // One sort at a time does the work; a dropped one may still be ending.
    workers_.setMaxThreadCount(2);
}

SortRunner::~SortRunner()
{
    dropPending();
    workers_.waitForDone();
}

void SortRunner::sortButton()
{
    request({ Kind::groups, [this] { startButton(); } });
}

void SortRunner::sortColumn(const SortDescriptor& descriptor)
{
    request({ Kind::files, [this, descriptor] { startColumn(descriptor); } });
}

void SortRunner::request(Request next)
{
    if (running_ && *running_ != next.kind) {
        waiting_ = std::move(next);
        return;
    }
    if (running_) {
        // The newer sort of this kind replaces the running one.
        ++generation_;
        if (stop_)
            stop_->store(true);
        running_.reset();
    }
    next.start();
}

void SortRunner::dropPending()
{
    // The rows rebuilt by a sort's own outcome are no other change.
    if (applying_)
        return;
    ++generation_;
    if (stop_)
        stop_->store(true);
    stop_.reset();
    running_.reset();
    waiting_.reset();
}

void SortRunner::startButton()
{
    // The direction, the toolbar's pause and the category filter come at
    // once; only the order waits. Beside it, the worker puts the groups in
    // that order and, when they keep their files, the screen's rows are
    // prepared for them: the GUI thread only swaps them in.
    auto groups = std::make_shared<ResultsState::GroupsToShow>(state_.sortBtnInput());
    const bool background = groups->input.groups.size() >= backgroundFrom_;
    MarkingObserver::PrepareShownGroups prepare;
    if (background && groups->files == ResultsState::FilesChange::kept)
        prepare = state_.prepareShownGroups(MarkingObserver::PreparedFrom::rows);
    auto sorted = std::make_shared<ResultsState::SortedGroups>();
    run(
        Kind::groups, groups->input.groups.size(),
        [groups, background, sorted, prepare = std::move(prepare)](const std::atomic<bool>& stop) {
            Order order = groupSortOrder(groups->input, stop);
            if (background && !stop.load()) {
                sorted->groups = takeGroupsInOrder(groups->input, order);
                if (prepare && sorted->groups)
                    sorted->prepared = prepare(*sorted->groups);
            }
            return order;
        },
        [this, groups, sorted](const Order& order) { state_.showSortedGroups(*groups, order, std::move(*sorted)); });
}

void SortRunner::startColumn(const SortDescriptor& descriptor)
{
    const std::optional<SortColumn> column = sortColumnForKey(descriptor.key);
    if (!column) {
        applyOutcome([this, descriptor](const Order&) { state_.sortDescriptorsDidChange(descriptor); }, {});
        return;
    }
    auto input = std::make_shared<ColumnSortInput>();
    input->column = *column;
    input->ascending = descriptor.ascending;
    if (state_.arrGroups.size() < backgroundFrom_) {
        takeColumnSortInput(state_.arrGroups, *input, state_.arrGroups.size());
        sortColumnInput(input);
        return;
    }
    // Many files are copied a part at a time, the event loop waiting a moment
    // between parts, so that the window stays live; a change of the shown
    // groups meanwhile drops it.
    running_ = Kind::files;
    takeColumnInputPart(input, ++generation_);
}

void SortRunner::takeColumnInputPart(const std::shared_ptr<ColumnSortInput>& input, quint64 generation)
{
    if (generation != generation_)
        return;
    constexpr qint64 partMs = 8;
    constexpr std::size_t groupsAtOnce = 256;
    QElapsedTimer clock;
    clock.start();
    const std::vector<DuplicateGroupPtr>& groups = state_.arrGroups;
    while (input->groups.size() < groups.size() && !clock.hasExpired(partMs))
        takeColumnSortInput(groups, *input, input->groups.size() + groupsAtOnce);
    if (input->groups.size() < groups.size()) {
        QTimer::singleShot(
            SlicedWork::pauseMs, this, [this, input, generation] { takeColumnInputPart(input, generation); });
        return;
    }
    sortColumnInput(input);
}

void SortRunner::sortColumnInput(std::shared_ptr<const ColumnSortInput> input)
{
    run(
        Kind::files, input->groups.size(),
        [input](const std::atomic<bool>& stop) { return columnSortOrder(*input, stop); },
        [this, input](const Order& order) { state_.applyFilesOrder(*input, order); });
}

void SortRunner::run(Kind kind, std::size_t groups, Sort sort, Apply apply)
{
    if (groups < backgroundFrom_) {
        const std::atomic<bool> never { false };
        applyOutcome(apply, sort(never));
        return;
    }
    running_ = kind;
    const quint64 generation = ++generation_;
    stop_ = std::make_shared<std::atomic<bool>>(false);
    // The destructor waits for the worker, so this outlives the call it
    // posts; a posted call is dropped with it.
    workers_.start([this, generation, stop = stop_, sort = std::move(sort), apply = std::move(apply)]() mutable {
        Order order = sort(*stop);
        QMetaObject::invokeMethod(
            this,
            [this, generation, order = std::move(order), sort = std::move(sort), apply = std::move(apply)]() mutable {
                if (generation != generation_)
                    return;
                running_.reset();
                stop_.reset();
                applyOutcome(apply, order);
                // The copies go on the worker, where letting a million texts
                // or handles go keeps nobody waiting; the records they hold
                // are safe to let go of on any thread.
                workers_.start([sort = std::move(sort), apply = std::move(apply)] {});
            },
            Qt::QueuedConnection);
    });
}

void SortRunner::applyOutcome(const Apply& apply, const Order& order)
{
    applying_ = true;
    apply(order);
    applying_ = false;
    if (running_ || !waiting_)
        return;
    Request next = std::move(*waiting_);
    waiting_.reset();
    next.start();
}
