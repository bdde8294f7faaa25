#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>

// How much of a whole-result job one slice on the GUI thread does: at least
// minimumSteps steps (a small result set is done at once), then more while
// the slice's few milliseconds last, so the event loop is served between
// slices however large the result set is. A slice never does more than
// maximumSteps, so that on a fast machine too a large job goes by slices and
// a command given meanwhile meets it the same way.
class SliceBudget {
public:
    static constexpr int minimumSteps = 1024;
    static constexpr int maximumSteps = 16384;
    static constexpr std::chrono::milliseconds length { 4 };

    SliceBudget()
        : SliceBudget(minimumSteps, length)
    {
    }
    // At least steps steps, then more while time lasts.
    SliceBudget(int steps, std::chrono::nanoseconds time)
        : minimum_(steps)
        , length_(time.count())
    {
        clock_.start();
    }
    // A budget that never runs out: the rest of the job at once.
    static SliceBudget unlimited()
    {
        SliceBudget budget;
        budget.unlimited_ = true;
        return budget;
    }
    // Whether the rest of the job is to be done in this slice.
    bool isUnlimited() const { return unlimited_; }
    // The job waits for something done elsewhere: its next slice comes
    // after a pause rather than at once, so that the wait costs no turns.
    void rest() { resting_ = true; }
    bool isResting() const { return resting_; }
    // Counts one step done; true when the slice should end after it.
    bool spent()
    {
        ++steps_;
        if (unlimited_ || steps_ < minimum_)
            return false;
        return steps_ >= maximumSteps || clock_.nsecsElapsed() >= length_;
    }

private:
    QElapsedTimer clock_;
    int minimum_ = 0;
    qint64 length_ = 0;
    int steps_ = 0;
    bool unlimited_ = false;
    bool resting_ = false;
};

// Runs one job on the GUI thread a slice at a time: the first slice at once,
// the next ones from the event loop after it has waited a moment. The job is
// a step function that does a slice's worth of work within the budget it is
// given and answers true when nothing is left. One job at a time; GUI thread
// only.
class SlicedWork : public QObject {
public:
    using Step = std::function<bool(SliceBudget&)>;
    // Between two slices the event loop waits this long: it serves the
    // window and sleeps, rather than going from one slice into the next
    // without ever waiting for the display or the user.
    static constexpr int pauseMs = 1;

    explicit SlicedWork(QObject* parent = nullptr);

    // Starts step; a job still going is finished at once first.
    void start(Step step);
    // The rest of the job at once (for a command that must follow it, tests
    // and shutdown).
    void finishNow();
    // Drops the rest of the job.
    void stop();
    bool isRunning() const { return static_cast<bool>(step_); }

private:
    void runSlice(SliceBudget budget);

    static constexpr int restMs = 20;

    Step step_;
    QTimer next_;
};
