#pragma once

#include "marking/ResultsState.h"

#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

// Runs the results screen's two sorts, the sort button's order of the groups
// and a list column's order of each group's files, with the sorting itself on
// a worker: the values are copied from the records on the GUI thread, the
// order is computed from the copies alone and the state applies it as one
// change of the rows; many files' values are copied a part per turn of the
// event loop. A sort of fewer groups than backgroundFrom runs at once on the
// GUI thread, the same steps in turn.
//
// A newer sort of the same kind drops an older one's outcome; one of the other
// kind waits for it and starts when it has been applied, so the two orders
// add up as they would one after the other. dropPending (a new result set,
// another change of the shown groups) drops every sort not yet applied. A
// dropped outcome changes nothing. GUI thread only; the destructor stops the
// worker and waits for it.
class SortRunner : public QObject {
    Q_OBJECT
public:
    explicit SortRunner(ResultsState& state, QObject* parent = nullptr);
    ~SortRunner() override;

    // The sort button (ResultsState::sortBtnTapped).
    void sortButton();
    // A list column (ResultsState::sortDescriptorsDidChange).
    void sortColumn(const SortDescriptor& descriptor);
    void dropPending();
    // Whether a sort's outcome is still to come.
    bool isSorting() const { return running_.has_value(); }
    void setBackgroundFrom(std::size_t groups) { backgroundFrom_ = groups; }

private:
    enum class Kind { groups, files };
    using Order = std::vector<std::uint32_t>;
    using Sort = std::function<Order(const std::atomic<bool>&)>;
    using Apply = std::function<void(const Order&)>;
    struct Request {
        Kind kind;
        std::function<void()> start;
    };

    void request(Request next);
    // Sorts now, or on the worker when the groups are many.
    void run(Kind kind, std::size_t groups, Sort sort, Apply apply);
    void startButton();
    void startColumn(const SortDescriptor& descriptor);
    // Copies the files' values for a column sort a few milliseconds at a
    // time, then sorts them.
    void takeColumnInputPart(const std::shared_ptr<ColumnSortInput>& input, quint64 generation);
    void sortColumnInput(std::shared_ptr<const ColumnSortInput> input);
    // Applies a sort's outcome, then starts the sort that waited for it.
    void applyOutcome(const Apply& apply, const Order& order);

    ResultsState& state_;
    QThreadPool workers_;
    quint64 generation_ = 0;
    std::shared_ptr<std::atomic<bool>> stop_;
    std::optional<Kind> running_;
    std::optional<Request> waiting_;
    bool applying_ = false;
    std::size_t backgroundFrom_ = 10'000;
};
