#pragma once

#include <QString>

// What the comparison tells the screen while it works. Called on the
// comparison's thread; the engine's implementation posts to the GUI thread and
// waits only where wait is true. The defaults do nothing.
class ComparisonObserver {
public:
    virtual ~ComparisonObserver() = default;

    // The stage text: searching for duplicates.
    virtual void showSearchingDuplicatesLabel() { }
    // The file being compared.
    virtual void showScanPathLabel(const QString& /*filePath*/) { }
    // The file being compared, then the progress figures.
    virtual void showScanPathWithProgress(const QString& /*filePath*/) { }
    // Refresh the counters from ScanCounters.
    virtual void updateFileScannedCountAndSize(bool /*wait*/) { }
};
