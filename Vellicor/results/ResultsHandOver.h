#pragma once

#include "marking/ResultsState.h"
#include "marking/ResultsSummary.h"
#include "results/CategoryPie.h"
#include "results/ResultRows.h"

#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

// All the results screen takes of a new result set, made from its records
// alone: the state's parts, the model's rows and the totals, the summary and
// the pie's shares.
struct HandOverOutcome {
    ResultsState::PreparedResultSet state;
    ResultRows::PreparedRows rows;
    ResultsState::MarkedTotals marked;
    DuplicatesSummary summary;
    CategoryPie::Percentages shares {};
};

// Makes a new result set ready for the results screen. From backgroundFrom
// groups on it reads the records on workers of its own (its parts side by
// side) and hands the outcome to the GUI thread, which only swaps it in;
// fewer groups are made ready at once, the same steps in turn. Nothing may
// change the records meanwhile: the screen lets go of them until the outcome
// is in. A newer result set drops an older one's outcome, which is let go of
// on the pool. GUI thread only; the destructor stops the workers and waits
// for them.
class ResultsHandOver : public QObject {
    Q_OBJECT
public:
    using Apply = std::function<void(HandOverOutcome&)>;

    explicit ResultsHandOver(QObject* parent = nullptr);
    ~ResultsHandOver() override;

    // Makes groups of a result set from source ready and calls apply with
    // them: within this call for a small result set, else later from the
    // event loop.
    void start(
        std::vector<DuplicateGroupPtr> groups, ScanSource source, std::optional<PriorityLists> priorities, Apply apply);
    // Drops the result set being made ready; its apply never runs.
    void drop();
    // Whether an outcome is still to come.
    bool isRunning() const { return static_cast<bool>(stop_); }
    void setBackgroundFrom(std::size_t groups) { backgroundFrom_ = groups; }

    // The whole outcome: the shown groups and their rows here, the other
    // parts meanwhile on pool. A stop ends it early, the outcome partial.
    static HandOverOutcome prepare(std::vector<DuplicateGroupPtr> groups, ScanSource source,
        std::optional<PriorityLists> priorities, QThreadPool* pool, const std::atomic<bool>& stop);

private:
    QThreadPool workers_;
    quint64 generation_ = 0;
    std::shared_ptr<std::atomic<bool>> stop_;
    std::size_t backgroundFrom_ = 10'000;
};
