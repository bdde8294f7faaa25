#pragma once

#include "core/GlobalObjects.h"
#include "marking/CategoryShares.h"
#include "marking/MarkingObserver.h"
#include "marking/ResultsState.h"
#include "marking/ResultsSummary.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

class ResultsState;
struct PhotosStepOutcome;
struct RemovalOutcome;
struct RemovalPlan;
struct RemovalReport;
struct RemovedFile;
struct RestoreOutcome;
struct UndoReport;

// What the result area shows once a clean-up or an undo has changed the
// groups.
enum class ResultArea {
    // The list of groups.
    listing,
    // Groups are left, none under the chosen category: the list stays, empty,
    // and the mark menu button is disabled.
    emptyCategory,
    // No group is left at all: the success view.
    allRemoved,
};

// The shown groups made again after a removal: the groups left with fewer
// than two files leave arrMainGroup, the rest (the chosen category's groups,
// or all) are shown sorted, and the marked totals, the duplicates left, the
// summary and the category shares are counted again. In three steps, so that
// the middle one, which reads the records only, may run on a worker while
// the removal's sheet keeps the user's hands off them.
struct AfterRemovalRebuild {
    quint64 resultSetId = 0;
    // The result set's source, for the summary's words.
    ScanSource source = ScanSource::thisComputer;
    // The groups left with two files or more.
    std::vector<DuplicateGroupPtr> main;
    // The groups to show: in arrMainGroup's order, then sorted. Made from
    // main by the middle step when allShown is set.
    std::vector<DuplicateGroupPtr> shown;
    bool allShown = false;
    GlobalObjects::SortType sortType = GlobalObjects::SortType::sortBySize;
    GlobalObjects::SortOrder sortOrder = GlobalObjects::SortOrder::sortDescending;
    MarkingObserver::PrepareShownGroups prepareRows;
    // What prepareRows made of the sorted groups.
    std::shared_ptr<PreparedShownGroups> rows;
    ResultsState::MarkedTotals marked;
    qint64 duplicates = 0;
    quint64 duplicateBytes = 0;
    DuplicatesSummary summary;
    CategoryShares::Percentages shares {};
};
// GUI thread: drops the emptied groups from arrMainGroup and takes the groups
// to show (a chosen category filters them here).
AfterRemovalRebuild takeAfterRemovalInput(ResultsState& state);
// GUI thread: a rebuild of the state's result set and sort, its groups yet
// to be given.
AfterRemovalRebuild rebuildOf(const ResultsState& state);
// Any thread: sorts the shown groups and counts, reading the records only.
void rebuildAfterRemoval(AfterRemovalRebuild& rebuild);
// GUI thread: the rebuild becomes the shown groups, their rows and the
// totals, all at once; none when the state holds another result set by now
// (nothing is changed then).
std::optional<ResultArea> applyAfterRemoval(ResultsState& state, AfterRemovalRebuild& rebuild);
// Duplicates among the groups: every file of a group but one, and their
// bytes.
std::pair<qint64, quint64> duplicateTotals(const std::vector<DuplicateGroupPtr>& groups);

// The records take a removal's outcomes: the report counts them, the removed
// files' outcomes move into undoList (which they replace), and the files
// that left the plan's result set leave their groups. False, with the groups
// untouched, when the state holds another result set by now. GUI thread.
bool applyRemovalOutcomes(ResultsState& state, const RemovalPlan& plan, std::vector<RemovalOutcome>& outcomes,
    const PhotosStepOutcome& photos, RemovalReport& report, std::vector<RemovedFile>& undoList);

// Puts the files an undo brought back into their groups: each record takes
// the identity of its file on disk (and its times, unless it changed since
// the removal), and a file the removal took out of its group goes back, once;
// a group no longer listed is listed again at the end. Gives how many went
// back. GUI thread.
qint64 returnRestoredFiles(ResultsState& state, const std::vector<const RestoreOutcome*>& restored);

// The after-clean window's texts for one ended run. Empty texts stay hidden.
struct AfterCleanFigures {
    // False for a run that removed nothing: the success line stays hidden.
    bool anyRemoved = false;
    QString totalDupsCleaned;
    QString duplicatesRemoved;
    QString dupCleaned;
    QString dupSizeCleaned;
    // What the bytes beside it are: the space freed, or for the photo
    // catalog, whose files stay, the space they still take on disk.
    QString spaceCaption;
    QString uniqueFilesRetain;
    QString uniqueFilesRetained;
    QString inCaseMistake;
    // How to finish in the photo library; only when its items took part.
    QString trashInfoAfterClean;
    QString dupCleanedLibrary;
    // The files the run left where they were, "path: reason" each, and a
    // last line when Stop ended the run early.
    QString notRemovedHeading;
    QStringList notRemoved;
};

AfterCleanFigures afterCleanFigures(const RemovalReport& report, ScanSource source);

// The message sheet's texts after an undo: the message, and below it the
// files that failed ("path: reason"), those that could not keep all they
// had ("path: what they lost", right under the message when nothing failed)
// and those that changed, each list after the first under its heading (the
// changed files' also when it comes first).
struct UndoCompletedTexts {
    QString message;
    QStringList details;
};

UndoCompletedTexts undoCompletedTexts(const UndoReport& report);
