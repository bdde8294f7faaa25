#pragma once

#include "cleanup/ProgressPacer.h"
#include "cleanup/RemovalOutcome.h"

#include <QString>

#include <functional>
#include <memory>
#include <mutex>

// Where a removal stands, as its progress sheet shows it.
struct TrashProgressFigures {
    // The bar, in files: those tried, and the part of the file under way
    // compared with its kept copy so far.
    double filesDone = 0;
    // The file named: the one being compared with its kept copy, or else the
    // last one removed; empty at the start.
    QString path;
    bool pathUnderWay = false;
    // The count shown: the files removed before the last one, which counts
    // once the next one has gone (the sheet names it as the one going).
    qint64 removedBefore = 0;
    // Bytes of the run's files on this computer: checked so far (the file
    // under way as far as it was compared), and in all.
    quint64 bytesDone = 0;
    quint64 bytesTotal = 0;
};

// The removal's figures between the worker and the sheet. The worker reports
// what it does; announce runs on the worker's thread when the sheet should
// take the figures, and the GUI thread then takes them with takeFigures.
class RemovalProgress {
public:
    RemovalProgress(std::shared_ptr<const RemovalPlan> plan, std::function<void()> announce);

    // Worker: the outcome of the next planned file (they come in the plan's
    // order).
    void fileTried(const RemovalOutcome& outcome);
    // Worker: a collected photo-library item went into the album.
    void itemMoved(const QString& path);
    // Worker: the file under way has been compared with a kept copy this
    // far. A second kept copy is compared from the start again; the sheet
    // keeps the furthest point.
    void compared(const PlannedRemoval& item, quint64 bytes);
    // Worker, after its last file: what the sheet has not shown yet goes.
    void flush();

    TrashProgressFigures figures();
    // GUI thread, on an announcement: the latest figures, after which a
    // change is announced again.
    TrashProgressFigures takeFigures();

private:
    // Under the lock.
    TrashProgressFigures figuresNow() const;
    void gone(const QString& file);
    void changed();
    void announce();

    std::shared_ptr<const RemovalPlan> plan_;
    std::function<void()> announce_;
    std::mutex lock_;
    qint64 tried_ = 0;
    qint64 removed_ = 0;
    QString removedPath_;
    quint64 bytesChecked_ = 0;
    quint64 bytesTotal_ = 0;
    // The file being compared, and how far.
    QString underWayPath_;
    quint64 underWay_ = 0;
    quint64 underWaySize_ = 0;
    bool unshown_ = false;
    bool posted_ = false;
    ProgressPacer pacer_;
};
