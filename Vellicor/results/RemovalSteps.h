#pragma once

#include "cleanup/AfterClean.h"

#include <QObject>

#include <functional>
#include <memory>

class AfterCleanSheets;
class CleanupController;
class FileRemover;
class IMGButton;
class LinkButton;
class NoDuplicatesView;
class QWidget;
class ResultsState;
class SuccessView;
class TrashSheets;
class UserDefaults;

// The results screen's removal of the marked files and what follows it: the
// clean-up controller with its trash and after-clean sheets, the Remove
// button and the header's delete link, whether an undo runs, and the views
// that stand in for the list when nothing is left (nothing found, or
// everything removed). What the screen does about a removal's end goes out
// through the hooks. GUI thread only.
class RemovalSteps : public QObject {
public:
    struct Hooks {
        // The toolbar is enabled (Remove waits for it).
        std::function<bool()> isToolbarEnabled;
        std::function<void()> removeMarked;
        std::function<void()> back;
        // A run starts reading the groups; nothing may change them until
        // removalFinished.
        std::function<void()> removalStarting;
        std::function<void(bool rowsTaken)> removalFinished;
        std::function<void(ResultArea area, const CategoryShares::Percentages& shares)> resultAreaChanged;
        std::function<void(bool running)> undoRunningChanged;
        // Whether Undo is offered (CleanupController::offersUndo) may have
        // changed: a removal, an undo or a result set.
        std::function<void(bool offered)> undoOffered;
    };

    RemovalSteps(ResultsState& state, UserDefaults& defaults, std::shared_ptr<FileRemover> files, QWidget& screen);
    ~RemovalSteps() override;

    void setHooks(Hooks hooks) { hooks_ = std::move(hooks); }
    // The nothing-found and all-removed views, over the screen.
    void buildResultAreaViews();
    void buildDeleteLink(QWidget* header);
    void buildTrashButton(QWidget* footer);
    // The clean-up's signals and the two buttons' clicks, to the hooks.
    void connectCleanup();
    void style();

    void removeMarked();
    // Closes the clean-up's questions, each answered as its cancel button would.
    void closeQuestions();
    // A new result set: the list stands again.
    void resultSetLoaded();
    // The clean-up has rebuilt the shown groups: the all-removed view or the
    // list; true for the list.
    bool showArea(ResultArea area, int top);
    // The last group left the list: the nothing-found view, as after a scan
    // without duplicates.
    void showNothingFound(int top);
    // The stand-in views below top, over the whole width.
    void placeAreaViews(int top);

    // Remove waits for the toolbar, for a running undo and for a mark.
    void updateTrashButton();
    void showMarked(bool trashEnabled);
    void setToolbarEnabled(bool enable);
    // The last clean-up left groups, but none under the chosen category.
    bool categoryEmptiedByCleanup() const { return categoryEmptiedByCleanup_; }

    CleanupController& cleanup() { return *cleanup_; }
    TrashSheets& trashSheets() { return *trashSheets_; }
    AfterCleanSheets& afterCleanSheets() { return *afterCleanSheets_; }
    IMGButton* trashButton() const { return btnTrash_; }

private:
    void tellUndoOffer();

    ResultsState& state_;
    QWidget& screen_;
    Hooks hooks_;
    std::unique_ptr<CleanupController> cleanup_;
    std::unique_ptr<TrashSheets> trashSheets_;
    std::unique_ptr<AfterCleanSheets> afterCleanSheets_;
    bool undoRunning_ = false;
    bool categoryEmptiedByCleanup_ = false;
    NoDuplicatesView* viewNoDuplicateFound_ = nullptr;
    SuccessView* viewSucccess_ = nullptr;
    LinkButton* btnDeleteLink_ = nullptr;
    IMGButton* btnTrash_ = nullptr;
};
