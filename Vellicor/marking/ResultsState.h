#pragma once

#include "core/DuplicateGroup.h"
#include "core/GlobalObjects.h"
#include "marking/GroupSorting.h"
#include "marking/MarkingObserver.h"
#include "marking/ProtectedFolderMatcher.h"
#include "marking/ResultsSummary.h"
#include "marking/ShownGroupsOrder.h"
#include "marking/SlicedWork.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

class ScanSources;
class ShownGroupsRun;

// The marked-count label and the Remove button as the marked totals leave
// them.
struct MarkedCountLabel {
    QString text;
    // Show the label; false leaves its hidden flag as it is.
    bool unhide = false;
    // btnTrash enabled and drawn on.
    bool trashEnabled = false;
};

// A group row's count, "marked/shown", whose first markedDigits characters
// (the marked number) are drawn in markedDigitsRgb; right-aligned.
struct GroupCountText {
    QString text;
    int markedDigits = 0;
};
inline constexpr unsigned markedDigitsRgb = 0x0098ff;

enum class GroupMarkOutcome {
    done,
    // Every shown file of the group is in a protected folder; nothing changed.
    allProtected,
};

enum class GroupMarksOutcome {
    unchanged,
    marksChanged,
    // The shown files were reordered (marks may have changed too).
    orderChanged,
    // The group's shown files are not those given; nothing changed.
    stale,
};

// A computed marking of one group's shown files (nulls left out), read in
// place from the plan that holds it.
struct GroupMarking {
    enum Flag : std::uint8_t { mark = 1, isProtected = 2 };
    // The shown files as the marking was computed from them; the group is
    // stale unless it still shows these, in this order. Empty: as shown now.
    std::span<const FileInfoNodePtr> seen;
    // order[k]: the index into seen of the file to show k-th. Empty keeps the
    // order; a new order needs seen.
    std::span<const std::uint32_t> order;
    // Per file in the new order: its Flags.
    std::span<const std::uint8_t> flags;
    int state = 0;
};

enum class ToggleOutcome {
    marked,
    unmarked,
    // The file was the group's last unmarked shown file and stays unmarked.
    refusedLastUnmarked,
    // The file is locked and stays unmarked.
    refusedLocked,
};

// The results of one finished scan as the results screen holds them, and the
// marks on them. Display-free: the screen's model reads it and repaints what
// the MarkingObserver is told; alerts go through the alert presenter. Only the
// GUI thread reads or changes it; a worker gets copies (handles of the groups
// and files it may read, a ProtectedFolderMatcher) and hands back a plan that
// the GUI thread applies.
//
// Marks are changed through setFileMark or the operations below, which keep
// countMarked and sizeOfMarkedFiles equal to the marked shown files (the
// filterChildren of arrGroups) and never leave a group without an unmarked
// shown file.
class ResultsState {
public:
    // The protected lists are the store's, shared with the home screen.
    explicit ResultsState(std::shared_ptr<ScanSources> protectedStore);

    // ---- the result set ---------------------------------------------------

    // Takes a new result set (groups of two or more files, dupCount files
    // less one per group, found on source) and resets what belongs to one
    // result set: category, sort, totals, priority lists, the protected
    // folders. The shown groups are all groups, sorted by size, larger
    // first. Marks already on the records are kept as they are. The priority
    // lists come from the hand-over when it made them, else from the groups.
    void loadResultSet(std::vector<DuplicateGroupPtr> groups, qint64 dupCount, ScanSource source,
        std::optional<PriorityLists> priorities = std::nullopt);
    // What loadResultSet takes of the groups, which may be made ready on any
    // thread (it only reads the records): the groups without nulls, the
    // shown groups (shownAtLoad) and the priority lists.
    struct PreparedResultSet {
        std::vector<DuplicateGroupPtr> groups;
        std::vector<DuplicateGroupPtr> shown;
        PriorityLists priorities;
    };
    // The shown groups of a new result set: all, sorted by size, larger first.
    static std::vector<DuplicateGroupPtr> shownAtLoad(const std::vector<DuplicateGroupPtr>& groups);
    // loadResultSet with the work on the records done: takes the prepared
    // parts as they are. Nothing prepared empties the state.
    void loadPreparedResultSet(PreparedResultSet prepared, qint64 dupCount, ScanSource source);

    // Changes at every loadResultSet, so that work begun on one result set can
    // tell that its groups are no longer shown.
    quint64 resultSetId() const { return resultSetId_; }
    ScanSource resultSource() const { return resultSource_; }

    // Every group of the result set in result order, never filtered.
    std::vector<DuplicateGroupPtr> arrMainGroup;
    // The groups shown: filtered by category and sorted.
    std::vector<DuplicateGroupPtr> arrGroups;
    qint64 dupCount = 0;
    // -1 for all categories, else the raw value of the shown FileCategory.
    int selectedCategoryIndex = -1;
    GlobalObjects::SortType sortType = GlobalObjects::SortType::sortBySize;
    GlobalObjects::SortOrder sortOrder = GlobalObjects::SortOrder::sortDescending;
    // The shown groups changed since the thumbnail grid last built its
    // sections; the grid clears it when it rebuilds them.
    bool isCollectionViewRefreshRequired = true;
    // Recorded by the keep-file selector; no marking reads it.
    GlobalObjects::KeepFile keepFile = GlobalObjects::KeepFile::keepAllFiles;

    // The selection assistant's priority lists: the lower-cased parent folder
    // and the extension of the result files, each once, in result order; the
    // default lists are what Reset priority restores.
    QStringList folderPriorityList;
    QStringList fileFormatPriorityList;
    QStringList defaultFolderPriorityList;
    QStringList defaultFileFormatPriorityList;
    // The user reordered the folder list, so the Folder rule applies.
    bool isFolderPriorityUpdate = false;

    // segment: the keep-file control's selected segment, none when the
    // request came from elsewhere (which chooses keepAllFiles).
    void keepFileOption(std::optional<int> segment);

    // ---- protected folders --------------------------------------------------

    // The store's list for the result set's source.
    const std::vector<FilePathNodePtr>& arrProtectedPaths() const;
    // Run at a load and after the protected list was edited: the test is
    // rebuilt from a copy of the source's list. The list itself is the one the
    // home screen and the assistant keep; it is never refilled from here.
    void buildProtectedFolderPredicate();
    // None before the first result set. Compares folder paths as text only.
    const std::optional<ProtectedFolderMatcher>& predProtectedFolder() const { return predProtectedFolder_; }
    // The test for one marking pass: the predicate, for this computer's files
    // also comparing where the folders are on disk, read now. Take one per
    // pass and use it on one thread.
    std::optional<ProtectedFolderMatcher> protectionForPass() const;
    // The test when a removal is planned: the predicate's folders and those of
    // the source's list as it is now, compared on disk.
    ProtectedFolderMatcher protectionAtRemoval() const;
    bool isFileProtected(const FileInfoNode& file) const;
    // Whether some shown group still shows a file: with none there is nothing
    // to mark.
    bool hasShownFiles() const;
    // Marking this file by hand asks first: protected, not yet marked and
    // not locked (a locked file is refused without a question).
    bool needsProtectedQuestion(const FileInfoNode& file) const;

    // ---- marks and totals ---------------------------------------------------

    // Number and bytes of the marked shown files. They never go below zero,
    // whatever a caller unmarks.
    qint64 countMarked() const { return countMarked_; }
    quint64 sizeOfMarkedFiles() const { return sizeOfMarkedFiles_; }
    // The marked files the category shown hides (their marks stand, and they
    // are back under All Files); counted whenever the shown files change as a
    // whole, since no command changes the marks of files it does not show.
    qint64 hiddenMarkedCount() const { return hiddenMarked_; }

    void setObserver(MarkingObserver* observer) { observer_ = observer; }
    MarkingObserver* observer() const { return observer_; }

    // Marks or unmarks one shown file and moves the totals by exactly that
    // file; tells the observer when the mark changed. A locked file is not
    // marked (its mark, should it have one, may still go): every command
    // that marks comes through here. It does not guard the group's last
    // unmarked file: callers that mark decide that first.
    void setFileMark(const FileInfoNodePtr& file, bool marked);

    // The group's check state from its marks (1 all but at most one marked,
    // 0 none marked, -1 otherwise), over filterChildren or, with
    // allChildren, over children; removed files count neither way. Stored in
    // the group's state.
    static void groupMarkState(DuplicateGroup& group, bool allChildren = false);
    // The same state of a group of count files of which marked are marked
    // and kept are live and unmarked.
    static std::int8_t groupMarkStateOf(qsizetype marked, qsizetype kept, qsizetype count);

    // Unmark: every shown file unmarked, the group off. Mark: the group's
    // shown files that are neither protected, locked nor removed are marked in order
    // while at least one shown file stays unmarked; the state then follows
    // the marks. A group whose shown files are all protected is left alone.
    GroupMarkOutcome markGroup(const DuplicateGroupPtr& group, bool mark);

    // A computed marking of one group: its shown files take the marking's
    // order (the same files, reordered), each marked as its flags say and its
    // protection flag stored; removed and locked files stay unmarked. The
    // totals follow; nothing is copied or sorted, and nothing is repainted:
    // the caller tells the observer what the outcome says.
    GroupMarksOutcome setGroupMarks(const DuplicateGroupPtr& group, const GroupMarking& marking);

    // Unmarks a marked file; marks an unmarked one only while it is not
    // locked and another shown, unremoved file of its group stays unmarked. Protection is the
    // caller's question; the group's state is the caller's to refresh.
    ToggleOutcome toggleFileMark(const FileInfoNodePtr& file);

    // Recounts the totals from the marks of the shown files and updates the
    // label; run whenever the shown files change as a whole.
    void recountMarkedFiles();
    // The marked files among the shown files of groups and their bytes. Reads
    // only: safe on any thread while no other one changes the marks.
    struct MarkedTotals {
        qint64 count = 0;
        quint64 bytes = 0;
    };
    static MarkedTotals markedTotalsOf(const std::vector<DuplicateGroupPtr>& groups);
    // Takes totals counted elsewhere from the shown files, as recountMarkedFiles
    // would, and counts the marked files the category hides.
    void setMarkedTotals(MarkedTotals totals);

    // Unmarks every shown file and sets every shown group off; hidden files
    // keep their marks.
    void unmarkAllShownFiles();
    // unmarkAllShownFiles in parts, for a pass that reaches the shown groups
    // a slice at a time: the totals go to nothing at once, each group's marks
    // as clearGroupMarks is called for it, and the views hear of it once, at
    // endUnmarkingInParts.
    void startUnmarkingInParts();
    static void clearGroupMarks(DuplicateGroup& group);
    void endUnmarkingInParts();

    // The list view's select-all check box. On marks every shown group as
    // its own check box would, except that protected files stay unmarked
    // without a question and all-protected groups without an alert; off
    // unmarks every shown file.
    void selectAllShownFiles(bool mark);
    // selectAllShownFiles in slices from the event loop (SelectAllRun).
    void selectAllShownFilesInSlices(bool mark);
    // One group's part of selectAllShownFiles, without telling the views.
    void selectAllInGroup(
        const DuplicateGroupPtr& group, bool mark, const std::optional<ProtectedFolderMatcher>& protection);
    // The select-all box: 0 with nothing marked, 1 while every shown group's
    // row reads on (all its shown files marked but at most one), else -1. It
    // reads the groups' stored states, which every change of marks keeps,
    // not the files.
    int selectAllBoxState() const;

    // ---- passes over the shown groups in slices -----------------------------

    // Runs run from the event loop a slice at a time; a pass still going is
    // finished first. Every command here that changes marks or the shown
    // groups finishes a pass still going before it acts, so that no group
    // is marked by both and no group that went is counted; a new result set
    // drops it.
    void startBulkMarks(std::shared_ptr<ShownGroupsRun> run);
    void finishBulkMarks() { bulkMarks_.finishNow(); }
    // Runs step in slices as the pass going: every command that changes
    // marks or the shown groups finishes it first, a new result set drops it.
    void startShownGroupsPass(SlicedWork::Step step) { bulkMarks_.start(std::move(step)); }
    bool isBulkMarking() const { return bulkMarks_.isRunning(); }

    void refreshGroupRowMarkState(const DuplicateGroupPtr& group);
    void updateMarkedCountLabel();

    MarkedCountLabel markedCountLabel() const;
    static GroupCountText groupCountText(const DuplicateGroup& group);

    // ---- which groups are shown, and in what order (ShownGroupsOrder) -------

    ShownGroupsOrder& shownOrder() { return shownOrder_; }
    const ShownGroupsOrder& shownOrder() const { return shownOrder_; }

    using CategoryOutcome = ShownGroupsOrder::CategoryOutcome;
    using FilesChange = ShownGroupsOrder::FilesChange;
    using GroupsToShow = ShownGroupsOrder::GroupsToShow;
    using SortedGroups = ShownGroupsOrder::SortedGroups;
    using FilesOrder = ShownGroupsOrder::FilesOrder;

    std::vector<DuplicateGroupPtr> filterGroupsByCategory(GlobalObjects::FileCategory category)
    {
        return shownOrder_.filterGroupsByCategory(category);
    }
    void resetCategoryFilter() { shownOrder_.resetCategoryFilter(); }
    CategoryOutcome selectCategory(GlobalObjects::FileCategory category)
    {
        return shownOrder_.selectCategory(category);
    }
    void btnShowAllItems() { shownOrder_.btnShowAllItems(); }
    static const char* categoryTitleKey(GlobalObjects::FileCategory category)
    {
        return ShownGroupsOrder::categoryTitleKey(category);
    }
    void btnFilterGroupWithMarkedFileMenuItemTapped() { shownOrder_.btnFilterGroupWithMarkedFileMenuItemTapped(); }
    // Shown groups narrowed to those with marked files (see
    // ShownGroupsOrder::btnFilterGroupWithMarkedFileMenuItemTapped).
    bool isMarkedGroupsFilterOn = false;

    std::vector<DuplicateGroupPtr> sortGroups(const std::vector<DuplicateGroupPtr>& groups) const
    {
        return shownOrder_.sortGroups(groups);
    }
    void selectSortingType() { shownOrder_.selectSortingType(); }
    void sortBtnTapped() { shownOrder_.sortBtnTapped(); }
    FilesChange filesJustChanged() const { return shownOrder_.filesJustChanged(); }
    GroupsToShow sortBtnInput() { return shownOrder_.sortBtnInput(); }
    void showSortedGroups(const GroupsToShow& groups, const std::vector<std::uint32_t>& order, SortedGroups sorted = {})
    {
        shownOrder_.showSortedGroups(groups, order, std::move(sorted));
    }
    MarkingObserver::PrepareShownGroups prepareShownGroups(MarkingObserver::PreparedFrom from) const
    {
        return shownOrder_.prepareShownGroups(from);
    }
    void showPreparedGroups(std::vector<DuplicateGroupPtr> groups, std::shared_ptr<PreparedShownGroups> prepared)
    {
        shownOrder_.showPreparedGroups(std::move(groups), std::move(prepared));
    }
    PreparedShownGroups* preparedShownGroups() const { return shownOrder_.preparedShownGroups(); }
    void sortDescriptorsDidChange(const std::optional<SortDescriptor>& first)
    {
        shownOrder_.sortDescriptorsDidChange(first);
    }
    bool applyFilesOrder(const ColumnSortInput& input, const std::vector<std::uint32_t>& order)
    {
        return shownOrder_.applyFilesOrder(input, order);
    }
    const std::optional<FilesOrder>& filesJustSorted() const { return shownOrder_.filesJustSorted(); }
    void showFilesMovedInGroups(std::vector<std::size_t> positions)
    {
        shownOrder_.showFilesMovedInGroups(std::move(positions));
    }
    const std::vector<std::size_t>* groupsWithFilesMoved() const { return shownOrder_.groupsWithFilesMoved(); }

    // ---- summary ---------------------------------------------------------------

    // Recomputes the summary from groups (always arrMainGroup) and tells the
    // screen.
    void updateDuplicatesSummary(const std::vector<DuplicateGroupPtr>& groups);
    // Takes a summary made elsewhere from arrMainGroup and tells the screen.
    void setDuplicatesSummary(DuplicatesSummary summary);
    const DuplicatesSummary& duplicatesSummary() const { return duplicatesSummary_; }

    // ---- clicks on check boxes ----------------------------------------------

    // A group row's check box: off marks the group, on or mixed unmarks it.
    // The state is first recomputed from the marks, which other commands may
    // have changed since the row was drawn. All files protected gives the
    // "ID_ALL_ITEMS_CANNOT_MARKED_THEY_ARE_PROTECTED" alert.
    void groupCheckBoxTapped(const DuplicateGroupPtr& group);

    // A file's check box in the list, group or thumbnail view: toggles the
    // mark, asking first before a protected file is marked, and refusing the
    // group's last unmarked file with an alert. A locked file shows no box;
    // Space on it leaves it unmarked.
    void fileCheckBoxTapped(const FileInfoNodePtr& file);
    // Space on several selected files: each toggled as its check box would
    // be (the question for each protected file), repainted as one change;
    // the refusal of a group's last unmarked file is told once. One file is
    // fileCheckBoxTapped.
    void filesCheckBoxTapped(const std::vector<FileInfoNodePtr>& files);

    // The protected-file question; true only when the user chose "ID_YES".
    static bool confirmMarkProtectedFile();
    static void showCannotMarkAllInGroupAlert();
    static void showAllItemsProtectedAlert();
    // What a marking says when no shown group shows a file (a clean-up took
    // every duplicate, or the category shown has none).
    static void showNothingToMarkAlert();

private:
    // This computer's protected folders as stored now; none for another
    // source or when the store cannot be read.
    std::optional<ProtectedFolderMatcher> storedProtection() const;
    // One file's check box without the repaint of its group or the totals:
    // the protected-file question, then the toggle.
    ToggleOutcome toggleAsCheckBox(const FileInfoNodePtr& file);
    // markGroup's marking half, with the protection test of the pass.
    GroupMarkOutcome markGroupWith(
        const DuplicateGroupPtr& group, const std::optional<ProtectedFolderMatcher>& protection);

    std::shared_ptr<ScanSources> protectedStore_;
    MarkingObserver* observer_ = nullptr;
    // Set while one command changes many marks and repaints them at once.
    bool bulkChange_ = false;
    std::optional<ProtectedFolderMatcher> predProtectedFolder_;
    ScanSource resultSource_ = ScanSource::thisComputer;
    quint64 resultSetId_ = 0;
    qint64 countMarked_ = 0;
    quint64 sizeOfMarkedFiles_ = 0;
    qint64 hiddenMarked_ = 0;
    DuplicatesSummary duplicatesSummary_;
    SlicedWork bulkMarks_;
    ShownGroupsOrder shownOrder_ { *this };
};
