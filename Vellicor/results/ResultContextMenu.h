#pragma once

#include "core/DuplicateGroup.h"
#include "marking/ContextMenuActions.h"

#include <QObject>

#include <functional>

class QAction;
class QMenu;
class QWidget;
class ResultsState;

// The context menu of the results' list, group and thumbnail views: it acts on
// the one file that was right-clicked. Validated each time it opens; the
// actions change marks through the results state. GUI thread.
class ResultContextMenu : public QObject {
    Q_OBJECT
public:
    ResultContextMenu(ResultsState& state, QWidget* parent);

    QMenu* menu() const { return menu_; }
    // The list, group and grid views set this menu on themselves; when it
    // opens it asks this for the file of the row or item clicked (none on a
    // group row).
    void setClickedFileSource(std::function<FileInfoNodePtr()> source) { clickedFileSource_ = std::move(source); }
    // Preview: the preview window for the file.
    void setPreviewHandler(std::function<void(const FileInfoNodePtr&)> preview) { preview_ = std::move(preview); }
    // After Remove from list; nothingLeft when no group is left at all.
    void setRemovedFromListHandler(std::function<void(bool nothingLeft)> removed)
    {
        removedFromList_ = std::move(removed);
    }
    // After Lock or Unlock, with the file.
    void setLockChangedHandler(std::function<void(const FileInfoNodePtr&)> changed)
    {
        lockChanged_ = std::move(changed);
    }
    // Asks the file system whether a file is locked on disk.
    void setImmutableTest(std::function<bool(const QString&)> test) { isImmutable_ = std::move(test); }

    // What the menu opened on: takes the clicked file and sets the items'
    // titles and enabling and which way Mark and Lock act.
    void validateMenuItems(const FileInfoNodePtr& clicked);
    FileInfoNodePtr clickedFile() const { return clicked_; }
    const ContextMenuValidation& validation() const { return validation_; }

    void markUnmarkImage();
    void lockUnLock();
    void openFile();
    void revealInFinder();
    void quickLook();
    void removeFromPhotoList();

    QAction* menuItemMark() const { return menuItemMark_; }
    QAction* menuItemLockUnLock() const { return menuItemLockUnLock_; }
    QAction* menuItemOpen() const { return menuItemOpen_; }
    QAction* menuItemRevealInFinder() const { return menuItemRevealInFinder_; }
    QAction* menuItemQuickLook() const { return menuItemQuickLook_; }
    QAction* menuItemMoveToTrash() const { return menuItemMoveToTrash_; }

private:
    ResultsState& state_;
    QMenu* menu_ = nullptr;
    QAction* menuItemMark_ = nullptr;
    QAction* menuItemLockUnLock_ = nullptr;
    QAction* menuItemOpen_ = nullptr;
    QAction* menuItemRevealInFinder_ = nullptr;
    QAction* menuItemQuickLook_ = nullptr;
    QAction* menuItemMoveToTrash_ = nullptr;
    std::function<FileInfoNodePtr()> clickedFileSource_;
    std::function<void(const FileInfoNodePtr&)> preview_;
    std::function<void(bool)> removedFromList_;
    std::function<void(const FileInfoNodePtr&)> lockChanged_;
    std::function<bool(const QString&)> isImmutable_;
    FileInfoNodePtr clicked_;
    ContextMenuValidation validation_;
};
