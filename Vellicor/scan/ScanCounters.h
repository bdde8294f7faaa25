#pragma once

#include <QtGlobal>

#include <atomic>

// The counters of one scan. The worker writes them; the GUI thread reads them
// for the progress display, so each is an atomic and a reader takes a
// snapshot.
struct ScanCounters {
    std::atomic<qint64> countScanned { 0 };
    std::atomic<qint64> countProcessed { 0 };
    std::atomic<qint64> countCompared { 0 };
    std::atomic<qint64> countDup { 0 };
    std::atomic<quint64> sizeDup { 0 };
    std::atomic<quint64> totSizeScanned { 0 };

    struct Snapshot {
        qint64 countScanned = 0;
        qint64 countProcessed = 0;
        qint64 countCompared = 0;
        qint64 countDup = 0;
        quint64 sizeDup = 0;
        quint64 totSizeScanned = 0;
    };

    Snapshot snapshot() const
    {
        return Snapshot { countScanned.load(), countProcessed.load(), countCompared.load(), countDup.load(),
            sizeDup.load(), totSizeScanned.load() };
    }
};
