#pragma once

#include "emptyfolders/EmptyFolderWork.h"
#include "base/WorkerRelay.h"
#include "emptyfolders/Folder.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class BlackView;
class CustomOutlineView;
class FolderTreeModel;
class QDialog;
class QFrame;
class QLabel;
class QModelIndex;
class QPushButton;
class QTimer;
class QWidget;
class RAZButton;
struct AlertRequest;

// The empty-folder cleaner: one chosen folder, the tree of its sub-folders in
// an outline, the empty folders recorded as the outline shows their rows,
// their removal and their re-creation. The home screen creates one handler
// for the life of the program and opens it with beginSheet(); what the user
// scanned is cleared when the sheet closes.
//
// The window and its outlets belong to the GUI thread. The walk of the tree,
// the removal and the re-creation run on one worker at a time, which gets a
// stop flag and a progress counter and hands its result back to the GUI
// thread; a result that arrives after the sheet closed is dropped.
class EmptyFolderHandler : public QObject {
    Q_OBJECT

public:
    explicit EmptyFolderHandler(QObject* parent = nullptr);
    ~EmptyFolderHandler() override;

    // Opens the cleaner as a window-modal sheet over mainWindow with the
    // dimming veil behind it; its own close step ends both.
    void beginSheet(QWidget* mainWindow);

    // The cleaner's window, built the first time it is asked for.
    QDialog* window();

    // Outlets, valid once window() has been built.
    QFrame* boxDeleteEmptyFolder = nullptr;
    RAZButton* btnScanFolders = nullptr;
    RAZButton* btnDeleteFolders = nullptr;
    RAZButton* btnCancel = nullptr;
    RAZButton* btnUndo = nullptr;
    QWidget* viewScanEmptyFolders = nullptr;
    QPushButton* btnCloseDeleteFolder = nullptr;
    QFrame* containerViewEmptyFolder = nullptr;
    RAZButton* btnBrowse = nullptr;
    QFrame* boxBottomFirstTabForEmptyFolder = nullptr;
    QFrame* boxBottomSecondTabForEmptyFolder = nullptr;
    QPushButton* btnScanEmptyFolders = nullptr;
    QPushButton* btnSettingForEmptyFolder = nullptr;
    QLabel* textFirstTabForEmptyFolder = nullptr;
    QLabel* textSecondTabForEmptyFolder = nullptr;
    QLabel* lblFolderPath = nullptr;
    CustomOutlineView* outlineViewFolderList = nullptr;
    QFrame* boxEmptyDirectories = nullptr;
    QLabel* lblEmptyDirectories = nullptr;
    QFrame* boxBottomDeleteEmpFolders = nullptr;
    QFrame* boxIconDescription = nullptr;
    QWidget* viewSettings = nullptr;

    void btnBrowseTapped();
    void btnScanFoldersTapped();
    void btnDeleteFoldersTapped();
    void btnUndoTapped();
    void btnCancelTapped();
    void closeDeleteFolderNag();
    // 1 shows the scan tab, 2 the settings tab.
    void tabChangedDeleteFolder(int tag);

    // What Browse does with the folder the user chose: it stands as the
    // chosen folder unless it lies in, or leads into, a folder excluded from
    // scanning, which the cleaner never walks; then it is refused with an
    // alert once that is known (judged away from the GUI thread).
    void folderChosen(const QString& path);

    // The folders excluded from scanning, asked for at each choice and scan;
    // without it, those excluded by default.
    using Exclusions = std::function<std::optional<PathExclusionPredicate>()>;
    void setExclusions(Exclusions exclusions) { exclusions_ = std::move(exclusions); }

    const QString& pathForDeleteEmptyFolders() const { return pathForDeleteEmptyFolders_; }
    const Folder* folderHierarchy() const { return folderHierarchy_.get(); }
    // The found list: folders recorded as empty, each once, in recording order.
    QStringList arrOfEmptyFolders() const;
    // The undo list: folders removed since the last Undo or close.
    QStringList deletedEmptyFolders() const;
    bool isBusy() const { return work_ != Work::none; }

signals:
    // A worker's result has been taken over on the GUI thread.
    void workFinished();

private:
    enum class Work { none, scanning, deleting, restoring };
    struct Result;

    void windowDidLoad();
    void buildWindow();
    // False for a row that has sub-folders; records the folder when the scan
    // found it empty.
    bool recordIfEmptyFolder(const Folder* folder);
    void rowExpanded(const QModelIndex& index);
    void setTree(std::shared_ptr<Folder> tree);
    // The alert after a deletion: what went, what was kept and why.
    QString deletionReport(const FolderDeletion& deletion) const;
    // The alert; the keys go back to where they were once it is answered.
    void ask(const AlertRequest& request, std::function<void(int)> answer);
    // Focuses wanted when it can take the keys, else the list of folders,
    // so that they never rest on the close mark, which Enter would press.
    // Nothing for no widget: the keys were nowhere in the window.
    void giveKeysBack(QWidget* wanted);
    void startWork(Work work, std::function<Result()> job, std::function<void(Result&)> finished);
    void showProgress();
    void updateButtons();
    void endSheet();
    std::optional<PathExclusionPredicate> currentExclusions() const;
    // The chosen folder at path, choice'th chosen, is kept out by exclusion:
    // it is refused, unless another choice or a scan came since, and the
    // folder chosen before it (before) stands again.
    void refuseChoice(
        quint64 choice, const QString& path, const LocationExclusion& exclusion, const QString& before = {});

    QPointer<QDialog> window_;
    FolderTreeModel* model_ = nullptr;
    QPointer<BlackView> veil_;
    QLabel* folderPathHint_ = nullptr;
    QTimer* progressTimer_ = nullptr;

    QString pathForDeleteEmptyFolders_;
    Exclusions exclusions_;
    // Counts the choices and scans: a judgement of a choice that another
    // choice or a scan followed is dropped.
    quint64 choice_ = 0;
    // The exclusion the last scan's walk kept to; Delete and Undo walk the
    // tree again with it.
    std::shared_ptr<const FolderWalkExclusion> walkExclusion_;
    std::shared_ptr<WorkerRelay<EmptyFolderHandler>> relay_;
    // Shared with a worker deleting from it.
    std::shared_ptr<Folder> folderHierarchy_;
    // Nodes of folderHierarchy_.
    std::vector<const Folder*> arrOfEmptyFolders_;
    QSet<const Folder*> recorded_;
    // Handed whole to the undo's worker.
    std::shared_ptr<RemovedFolders> deletedEmptyFolders_ = std::make_shared<RemovedFolders>();

    // The state the buttons would have with no worker running.
    bool deleteOn_ = false;
    bool cancelOn_ = false;
    bool undoOn_ = false;

    Work work_ = Work::none;
    // Raised to end the worker early; a result of an older generation than
    // the current one is dropped.
    std::atomic<bool> stop_ { false };
    std::atomic<int> progress_ { 0 };
    int progressTotal_ = 0;
    quint64 generation_ = 0;
    std::thread worker_;
};

// What the home screen is given to open the cleaner, since it sits below this
// layer: the application layer calls this once when the home screen is set
// up and hands the result to it. It makes the one handler, owned by owner for
// the life of the program; calling the result with the main window opens the
// sheet over it.
std::function<void(QWidget* mainWindow)> emptyFolderCleanerOpener(
    QObject* owner, EmptyFolderHandler::Exclusions exclusions = {});
