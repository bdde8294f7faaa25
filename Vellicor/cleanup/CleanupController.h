#pragma once

#include "base/WorkerRelay.h"
#include "cleanup/AfterClean.h"
#include "cleanup/PhotosLibraryStep.h"
#include "cleanup/RemovalOutcome.h"
#include "cleanup/RemovalProgress.h"
#include "cleanup/TrashQuestion.h"
#include "cleanup/UndoRestore.h"
#include "marking/CategoryShares.h"
#include "marking/SlicedWork.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <vector>

class CloudRemover;
class FileRemover;
class PhotosBridge;
class PhotosNode;
class QThread;
class ResultsState;
class UserDefaults;

// The sheets of a clean-up, as the results screen shows them. The widgets
// implement it (TrashSheets); tests answer it directly. GUI thread only.
class RemovalScreen {
public:
    virtual ~RemovalScreen() = default;
    // The confirmation sheet; answer(proceed, doNotShowAgain) runs once, when
    // the user has chosen.
    virtual void showTrashConfirmation(const TrashQuestion& question, std::function<void(bool, bool)> answer) = 0;
    // The progress sheet, for maximum files, with its Stop button enabled.
    virtual void showTrashProgress(int maximum) = 0;
    virtual void updateTrashProgress(const TrashProgressFigures& figures) = 0;
    virtual void closeTrashProgress() = 0;
    // Tells the user that the program does not quit while files are being
    // removed, over the progress sheet; one such alert at a time.
    virtual void showQuitRefused() { }
};

// The after-clean window and the undo's sheets, as the results screen shows
// them. The widgets implement it (AfterCleanSheets); tests answer it
// directly. GUI thread only.
class AfterCleanScreen {
public:
    virtual ~AfterCleanScreen() = default;
    // done(toHome) runs once, when the user has closed the window: toHome
    // asks for the home screen, otherwise the results stay.
    virtual void showAfterCleanWindow(const AfterCleanFigures& figures, std::function<void(bool)> done) = 0;
    // countText is "ID_ACTION_TO_UNDO" filled in; answer(yes) runs once.
    virtual void showUndoConfirmation(const QString& countText, std::function<void(bool)> answer) = 0;
    // The message sheet, with the files an undo could not bring back
    // ("path: reason" each) below the message.
    virtual void showActionCompleted(const QString& message, const QStringList& details) = 0;
};

// One file a clean-up removed: where it was and where it went. The undo
// list holds only these; failed files and photo-library items never enter it.
struct RemovedFile {
    FileInfoNodePtr file;
    DuplicateGroupPtr group;
    QString originalPath;
    // Inside the trash, with the trash entry; both empty when the file was
    // deleted outright or removed from a cloud source.
    QString trashedPath;
    QString trashInfoPath;
    RemovalRoute route = RemovalRoute::trash;
    // The result set the file belonged to (ResultsState::resultSetId).
    quint64 resultSetId = 0;
    // The trashed file as it was right after the move.
    FileFacts trashed;
    // The source of the results the file was removed from.
    ScanSource source = ScanSource::thisComputer;
    // The trash entry as the removal wrote it: its text and the entry file
    // right after the move. Only that entry's file is ever taken back out.
    QByteArray trashInfoText {};
    FileFacts trashInfo {};
    // The trashed file and its entry in the trash folder held since the
    // removal found it: the undo reaches them there, never by their paths.
    TrashEntry trashEntry {};
    // The folder it was removed from, as the removal found it: the undo
    // puts it back there, or into a folder of the user's own.
    std::shared_ptr<const OriginalFolder> originalFolder {};
    // The kept copy that vouched for the file when it was removed: what an
    // undo may copy back when the trash no longer holds the file.
    std::optional<VouchingCopy> vouched {};
    // The removed file's digest and access as the removal recorded them.
    RemovedFileRecord record {};
};

// The figures and lists of the last clean-up, for the after-clean window.
struct RemovalReport {
    qint64 plannedCount = 0;
    qint64 countTrashed = 0;
    quint64 sizeTrashed = 0;
    // Of countTrashed, the files deleted outright (never in the Trash).
    qint64 countDeletedOutright = 0;
    // Cloud removals attempted, failures included.
    qint64 countTrashedFolderItems = 0;
    // Photo-library items collected for the photo-library step.
    qint64 countTrashedLibraryItems = 0;
    // Files of the shown groups that are left.
    qint64 uniquePhotosReatined = 0;
    bool isPhotosLibInTrashList = false;
    // Stop ended the run before every planned file was tried.
    bool stopped = false;
    qint64 notAttempted = 0;
    // arrFileNotTrashed: tried and not removed, in order.
    std::vector<RemovalOutcome> arrFileNotTrashed;
    // Left alone by the checks (or by the plan), in order, with the reason.
    std::vector<RemovalOutcome> skipped;
    // Library path to its collected items, in the order they were reached.
    std::map<QString, std::vector<std::shared_ptr<PhotosNode>>> dictPhotosCleanerKeys;
    // Collected items put into the photo application's album (also counted in
    // countTrashed), and those left as they were.
    qint64 countMovedToAlbum = 0;
    qint64 countNotMovedToAlbum = 0;
    // The album could not be made (the application not running or refusing).
    bool photosAlbumFailed = false;
    // The user has not allowed this program to control the photo application.
    bool isAppNotAutharizedToMoveDups = false;
};

// The outcome of the last undo.
struct UndoReport {
    qint64 planned = 0;
    qint64 restored = 0;
    // Restored on disk, but their result set is no longer shown.
    qint64 restoredNotShown = 0;
    std::vector<RestoreOutcome> failed;
    // Restored, but changed since their removal.
    std::vector<RestoreOutcome> changed;
    // Restored by a copy that could not keep all the file had.
    std::vector<RestoreOutcome> notWhole;
    // Restored as a copy of their kept file.
    std::vector<RestoreOutcome> copied;
};

// The removal of the marked files, from the Remove button to the refreshed
// results: asks, plans on the GUI thread, executes on one worker thread that
// re-checks every file right before acting on it, and applies the outcomes
// on the GUI thread (groups, totals, undo list, scan history,
// "UpdateLastScanStatus"), then the after-clean window; and the undo of the
// last run, planned and applied the same way. One removal or undo at a time.
// Lives on the GUI thread.
//
// The results screen's whole contract: give it the two screens, connect its
// Remove and Undo buttons to removeSelectedItems and btnUndoTapped, disable
// both while undoRunningChanged(true), spin its indicator meanwhile, redraw
// the result area on resultAreaChanged, and go home on backToHomeRequested.
class CleanupController : public QObject {
    Q_OBJECT

public:
    CleanupController(ResultsState& state, UserDefaults& defaults, std::shared_ptr<FileRemover> files,
        std::shared_ptr<CloudRemover> cloud, QObject* parent = nullptr);
    // Ends the workers (endWorkers).
    ~CleanupController() override;
    static constexpr int longestQuitWait = 3000;
    // Stops a removal or undo under way and waits for its current file, but
    // not for ever: a worker still busy after longestQuitWait is left to end
    // on its own, cut off from this object. Nothing a worker sends reaches
    // this object afterwards, and none starts any more: it is the last call
    // before the controller goes. Its owner makes it before what the workers
    // borrow (the cloud sources' handlers, through the cloud remover) goes.
    void endWorkers();

    void setScreen(RemovalScreen* screen) { screen_ = screen; }
    // Takes effect from the next removal or undo; none: cloud files fail.
    void setCloudRemover(std::shared_ptr<CloudRemover> cloud);
    void setAfterCleanScreen(AfterCleanScreen* screen) { afterCleanScreen_ = screen; }
    // The photo application that receives collected photo-library items; by
    // default none is available. Not while a run is under way.
    void setPhotosBridge(std::shared_ptr<PhotosBridge> bridge);
    // The photo-library instruction sheet's Open button: asks the photo
    // application to open the library of the first photo-library item shown
    // (a group whose first such item names no library is passed over).
    // Answers the path asked for, empty when there was none.
    QString openPhotoLibrary();

    // The Remove button and the Delete command: the alert when nothing is
    // marked, otherwise the confirmation (unless the settings skip it) and
    // the run. Refused while a run is under way.
    void removeSelectedItems();
    // Stop: the file under way is finished, no later one is tried, and the
    // run ends as a complete one would. Any thread.
    void abortCleaning();
    // The quit road: a removal or an undo under way stops after its current
    // file (a copy an undo makes, at its next mebibyte, the copy removed),
    // and its outcome is applied as that of a complete run. Any thread.
    void stopForQuit();
    // Quit during a removal is refused, as during a scan: the user is told
    // (RemovalScreen::showQuitRefused) and may stop the run. True when no
    // removal is under way.
    bool canQuit();
    // The quit key pressed over the removal's sheets, whose window-modality
    // keeps it from the main window's menu: the program's quit road hears it.
    void requestQuit() { emit quitRequested(); }

    // The Undo button: the nothing-to-undo sheet, or the confirmation and
    // the undo of the last run. Refused while a removal or an undo runs, and
    // when no undo is offered.
    void btnUndoTapped();
    // Whether Undo is offered: while the undo list holds files, and on the
    // results of a source whose removals can be brought back (where, with
    // nothing removed, it says there is nothing to undo). A source that
    // cannot bring a removal back (the photo catalog, OneDrive) leaves no
    // files in the list. Changes with undoListChanged and the result set.
    bool offersUndo() const;
    // Clears every mark of the shown groups and asks for the home screen.
    void backToMainView();

    // From this many groups on, a removal's plan, and the shown groups after
    // a removal or an undo, are made on a worker; fewer at once.
    void setBackgroundFrom(std::size_t groups) { backgroundFrom_ = groups; }
    // Whether something other than the results state's passes is changing
    // marks (an automatic marking's run): the undo's rebuild, which counts
    // them and makes the rows, waits for its end.
    void setMarksChangingElsewhere(std::function<bool()> changing) { marksChangingElsewhere_ = std::move(changing); }
    bool isRemoving() const { return worker_ != nullptr || rebuildingAfterRemoval_; }
    bool isUndoing() const { return undoWorker_ != nullptr || rebuildingAfterUndo_; }
    const UndoReport& lastUndoReport() const { return undoReport_; }
    const RemovalReport& lastReport() const { return report_; }
    // The undo list of the last run, replaced as a whole by each run.
    const std::vector<RemovedFile>& arrNodesToBeRestoredLocal() const { return arrNodesToBeRestoredLocal_; }

signals:
    // btnTrash's state: 0 off, 1 on (setTrashButtonState).
    void trashButtonStateChanged(int state);
    // A run is about to read the marks: from here until removalFinished its
    // workers read the groups, which nothing else may change meanwhile (a
    // sort still running is dropped, marks still being applied are settled).
    void removalStarting();
    // The run has ended, its outcomes are applied and the groups left with
    // one file are dropped; the after-clean window follows from the event
    // loop. rowsTaken: the shown groups were taken again, and
    // resultAreaChanged told, for the result set the run removed from; false
    // when another result set came meanwhile, whose records the run may
    // still have changed.
    void removalFinished(bool rowsTaken);
    // The shown groups were rebuilt after a removal or an undo; shares: the
    // category shares of the groups left, for the pie.
    void resultAreaChanged(ResultArea area, const CategoryShares::Percentages& shares);
    // An undo started (true) or ended with its outcomes applied (false).
    void undoRunningChanged(bool running);
    // A removal or an undo left the undo list with other files.
    void undoListChanged();
    void backToHomeRequested();
    void quitRequested();

private:
    // The workers' way back to this object, cut when it goes.
    using Relay = WorkerRelay<CleanupController>;
    // The sheet takes the progress's latest figures when it is announced.
    static std::function<void()> progressAnnouncer(std::shared_ptr<Relay> relay);
    // This computer's files, and a cloud source's when its handler can put
    // them back.
    bool removalsCanBeUndone(ScanSource source) const;
    void confirmRemovalOfMarkedFiles();
    void startRemovingMarkedFiles();
    void finishRemovingMarkedFiles(std::vector<RemovalOutcome> outcomes, PhotosStepOutcome photos);
    // The plan is made: the report, the progress and its sheet take it.
    void beginRemoval(std::shared_ptr<const RemovalPlan> plan, std::shared_ptr<RemovalProgress> progress);
    // The rebuild becomes the shown groups; the run ends now, or in a turn
    // of its own after this one when endLater.
    void finishRebuildAfterRemoval(std::shared_ptr<AfterRemovalRebuild> rebuild, bool endLater = false);
    // A large result set's groups are taken for the rebuild, in a turn after
    // the outcomes', and the rest made on a worker.
    void startRebuildAfterRemoval();
    // The sheet closes and the screen hears of the end: the area the shown
    // groups now make and their category shares, none when they were not
    // made again.
    void endRemoval(std::optional<ResultArea> area, const CategoryShares::Percentages& shares = {});
    void showWindowAfterTrash();
    void startUndo();
    void finishUndo(std::vector<RestoreOutcome> outcomes, std::vector<RemovedFile> left);
    // The rebuild after an undo of a large result set, as a pass of the
    // results state, and its worker.
    SlicedWork::Step undoRebuildPass();
    void startUndoRebuildWorker(std::shared_ptr<AfterRemovalRebuild> rebuild,
        std::shared_ptr<std::promise<void>> ready, std::shared_ptr<bool> ended,
        std::shared_ptr<std::atomic<bool>> claimed);
    // The shown groups as the rebuild made them, the category reset to all.
    void applyRebuildAfterUndo(AfterRemovalRebuild& rebuild);
    // The screen hears the undo has ended, and of its report.
    void endUndo();

    ResultsState& state_;
    UserDefaults& defaults_;
    std::shared_ptr<FileRemover> files_;
    std::shared_ptr<CloudRemover> cloud_;
    std::shared_ptr<PhotosBridge> photos_;
    RemovalScreen* screen_ = nullptr;
    AfterCleanScreen* afterCleanScreen_ = nullptr;
    std::shared_ptr<std::atomic<bool>> isAbortClean_;
    std::shared_ptr<std::atomic<bool>> isAbortUndo_;
    std::shared_ptr<Relay> relay_;
    QThread* worker_ = nullptr;
    // The shown groups are being made again on a worker after a removal.
    bool rebuildingAfterRemoval_ = false;
    std::size_t backgroundFrom_ = 10'000;
    std::shared_ptr<const RemovalPlan> plan_;
    std::shared_ptr<RemovalProgress> trashProgress_;
    RemovalReport report_;
    std::vector<RemovedFile> arrNodesToBeRestoredLocal_;
    QThread* undoWorker_ = nullptr;
    // The shown groups are being made again on a worker after an undo.
    bool rebuildingAfterUndo_ = false;
    std::function<bool()> marksChangingElsewhere_;
    // Held for this object's life: a pass it left with the results state
    // tells by it that it has gone.
    std::shared_ptr<int> lifeToken_ = std::make_shared<int>(0);
    // Set by endWorkers: no removal or undo starts any more.
    bool workersEnded_ = false;
    UndoReport undoReport_;
};

// "ID_FILES_DELETED_COUNT" filled with the count and "ID_FILE" or "ID_FILES".
QString filesDeletedCountText(qint64 count);
