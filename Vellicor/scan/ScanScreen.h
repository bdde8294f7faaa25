#pragma once

#include "core/DuplicateGroup.h"
#include "scan/ScanWrapper.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

// What the scanning sheet and the home screen show while a scan runs. The
// engine keeps one value, changes it the way each refresh prescribes, and
// hands the whole value to the screen; the screen only copies it into its
// labels.
struct ScanningLabels {
    QString lblAddingPhotos; // stage heading of the scanning sheet
    QString lblAdd; // stage word beside the counters
    QString lblFileScanCount;
    QString lblFileProcessedStr;
    QString lblFileProcessed;
    QString lblFileComparedStr;
    QString lblFileCompared;
    QString lblScanPer;
    // The circular progress: a fraction below 1 while scanning, 100 at the end.
    double progress = 0;

    bool operator==(const ScanningLabels&) const = default;
};

// What a finished scan hands to the results screen, once, at its end: the
// groups of two or more files in the order the comparison formed them, and
// the figures of the scan. The list never changes after the hand-over; the
// records in it are the results screen's to mark.
struct ScanResult {
    std::vector<DuplicateGroupPtr> groups;
    qint64 dupCount = 0;
    quint64 sizeDup = 0;
    qint64 countScanned = 0;
    // Items left out because they could not be read.
    qint64 skippedCount = 0;
    // Made with the groups, off the GUI thread when the scan ran on a worker.
    PriorityLists priorityLists;
    // The handler of the scanned cloud source; not owned, null for this computer.
    ScanWrapper* scanWrapper = nullptr;
};
using ScanResultPtr = std::shared_ptr<const ScanResult>;

// What the results screen holds for each file of a result it takes in, at
// most, beyond the records and groups the result hands it: the screen's two
// lists of the groups (all and shown), each group's row with its own list of
// its files and its place in the table of the rows' positions, the file's row
// of the flat list, the views' own rows (the list's, the outline's, the
// grid's sections), and while the result is handed over the group sort's
// copies. Measured with groups of two, where a file bears half its group's
// share: some 200 bytes. A cloud scan's listing counts it with each file
// (ScanJob::heldBytesPerCloudFile), so that what the listing keeps can still
// be shown; the results screen's tests hold the screen to it.
inline constexpr qint64 resultsScreenBytesPerFile = 256;

// The engine's only way to the display besides the alert presenter, which
// shows its questions and notices. The home screen implements it; tests fake
// it. Every call comes on the GUI thread.
class ScanScreen {
public:
    virtual ~ScanScreen() = default;

    virtual void showScanningLabels(const ScanningLabels& labels) = 0;
    // The path line under the counters, with its tool tip.
    virtual void showScannedPath(const QString& text, const QString& toolTip) = 0;

    // The scanning / finished switch of the home screen: results button
    // hidden, progress animation on while hideResultViewButton, path line shown
    // while hideResultViewButton.
    virtual void showScanningState(bool isScanning, bool hideResultViewButton) = 0;
    virtual void setScanNowButtonState(int state, bool enabled) = 0;
    virtual void setAbortButtonEnabled(bool enabled) = 0;
    virtual void setResultButtonEnabled(bool enabled) = 0;
    virtual void showScanningSheet() = 0;
    virtual void hideScanningSheet() = 0;

    // The last-scan box; a missing time leaves the time label as it is.
    virtual void showLastScanRecord(
        const QString& dupCount, const QString& dupSize, const std::optional<QString>& scanTime)
        = 0;

    // Opens the preferences window at a pane ("advancescansetting", …).
    virtual void showPreferencesPane(const QString& paneIdentifier) = 0;
    virtual void showHomeView() = 0;
    // Hands a finished result set to the results screen.
    virtual void showResults(const ScanResultPtr& result) = 0;
    // A new scan starts: the result set shown last can no longer be reached
    // (View Details shows the new one once it is handed over), and whatever
    // holds it lets go of it on the pool.
    virtual void releaseResults() { }
};
