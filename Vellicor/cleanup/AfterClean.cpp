#include "cleanup/AfterClean.h"

#include "cleanup/CleanupController.h"
#include "cleanup/PhotosLibraryStep.h"
#include "cleanup/RemovalPlan.h"
#include "cleanup/UndoRestore.h"
#include "core/CommonFuncs.h"
#include "core/FileUtilities.h"
#include "core/Localization.h"
#include "core/PhotosNode.h"
#include "core/TextFormat.h"
#include "marking/GroupSorting.h"
#include "marking/MarkingObserver.h"
#include "marking/ResultsState.h"

#include <unordered_set>

namespace {

// One entry of a list of files: the path and what befell it, on one line
// whatever the name (or a reason that quotes one) holds, so that no part of
// a name reads as an entry of its own.
QString entryLine(const QString& path, const QString& what)
{
    return QStringLiteral("%1: %2").arg(printablePath(path, shownPathLength), printablePath(what));
}

const char* recoveryHintKey(ScanSource source)
{
    switch (source) {
    case ScanSource::googleDrive:
        return "ID_IN_CASE_MISTAKE_RECOVER_CLEANED_ITEMS_FROM_GOOGLE_DRIVE_PHOTOS_TRASH";
    case ScanSource::dropbox:
        return "ID_IN_CASE_MISTAKE_RECOVER_CLEANED_ITEMS_FROM_DROPBOX_PHOTOS_TRASH";
    case ScanSource::oneDrive:
        return "ID_IN_CASE_MISTAKE_RECOVER_CLEANED_ITEMS_FROM_ONE_DRIVE_TRASH";
    case ScanSource::box:
        return "ID_IN_CASE_MISTAKE_RECOVER_CLEANED_ITEMS_FROM_BOX_CLOUD_TRASH";
    case ScanSource::lightroomCatalog:
        return "ID_IN_CASE_MISTAKE_RECOVER_CLEANED_ITEMS_FROM_LIGHTROOM_TRASH";
    default:
        return "ID_IN_CASE_MISTAKE_RECOVER_CLEANED_ITEMS_FROM_FINDER_PHOTOS_BIN";
    }
}

// Where the removed items can be got back from, as it befell them: nothing
// to get back when nothing went, and a file deleted outright is never said
// to be in the Trash.
QString recoveryHint(const RemovalReport& report, ScanSource source)
{
    const bool one = report.countTrashed == 1;
    // The catalog's hint says what became of its entries: none may have gone
    // (the catalog in use refuses them all).
    if (removalKeepsFiles(source)) {
        return localizedText(report.countTrashed == 0 ? "ID_CATALOG_NOTHING_REMOVED"
                : one                                 ? "ID_CATALOG_ENTRY_REMOVED_FILE_STAYS"
                                                      : recoveryHintKey(source));
    }
    if (report.countTrashed <= 0)
        return localizedText("ID_NOTHING_REMOVED");
    const qint64 outright = report.countDeletedOutright;
    if (outright <= 0)
        return localizedText(recoveryHintKey(source));
    if (outright >= report.countTrashed)
        return localizedText(one ? "ID_REMOVED_FILE_DELETED_PERMANENTLY" : "ID_REMOVED_FILES_DELETED_PERMANENTLY");
    return outright == 1 ? localizedText("ID_ONE_REMOVED_FILE_DELETED_PERMANENTLY")
                         : formatText(localizedText("ID_SOME_REMOVED_FILES_DELETED_PERMANENTLY"), { outright });
}

} // namespace

AfterRemovalRebuild takeAfterRemovalInput(ResultsState& state)
{
    AfterRemovalRebuild rebuild = rebuildOf(state);
    // One walk drops the emptied groups and takes the others.
    std::vector<DuplicateGroupPtr>& groups = state.arrMainGroup;
    rebuild.main.reserve(groups.size());
    std::size_t kept = 0;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        if (groups[i]->children.size() < 2)
            continue;
        rebuild.main.push_back(groups[i]);
        if (kept != i)
            groups[kept] = std::move(groups[i]);
        ++kept;
    }
    groups.resize(kept);
    const int category = state.selectedCategoryIndex;
    if (category >= 0 && category <= 5)
        rebuild.shown = state.filterGroupsByCategory(static_cast<GlobalObjects::FileCategory>(category));
    else
        rebuild.allShown = true;
    return rebuild;
}

AfterRemovalRebuild rebuildOf(const ResultsState& state)
{
    AfterRemovalRebuild rebuild;
    rebuild.resultSetId = state.resultSetId();
    rebuild.source = state.resultSource();
    rebuild.sortType = state.sortType;
    rebuild.sortOrder = state.sortOrder;
    rebuild.prepareRows = state.prepareShownGroups(MarkingObserver::PreparedFrom::groups);
    return rebuild;
}

void rebuildAfterRemoval(AfterRemovalRebuild& rebuild)
{
    rebuild.shown = sortGroupsBy(rebuild.allShown ? rebuild.main : rebuild.shown, rebuild.sortType, rebuild.sortOrder);
    if (rebuild.prepareRows)
        rebuild.rows = rebuild.prepareRows(rebuild.shown);
    rebuild.marked = ResultsState::markedTotalsOf(rebuild.shown);
    const auto [count, bytes] = duplicateTotals(rebuild.main);
    rebuild.duplicates = count;
    rebuild.duplicateBytes = bytes;
    rebuild.summary = summarizeDuplicates(rebuild.main, rebuild.source);
    rebuild.shares = CategoryShares::percentages(rebuild.main);
}

std::optional<ResultArea> applyAfterRemoval(ResultsState& state, AfterRemovalRebuild& rebuild)
{
    if (state.resultSetId() != rebuild.resultSetId)
        return std::nullopt;
    state.isMarkedGroupsFilterOn = false;
    state.showPreparedGroups(std::move(rebuild.shown), std::move(rebuild.rows));
    state.setMarkedTotals(rebuild.marked);
    state.dupCount = rebuild.duplicates;
    state.setDuplicatesSummary(std::move(rebuild.summary));
    if (state.arrMainGroup.empty())
        return ResultArea::allRemoved;
    return state.arrGroups.empty() ? ResultArea::emptyCategory : ResultArea::listing;
}

std::pair<qint64, quint64> duplicateTotals(const std::vector<DuplicateGroupPtr>& groups)
{
    qint64 count = 0;
    quint64 bytes = 0;
    for (const DuplicateGroupPtr& group : groups) {
        if (group->children.empty())
            continue;
        count += static_cast<qint64>(group->children.size()) - 1;
        for (std::size_t i = 1; i < group->children.size(); ++i)
            bytes += group->children[i]->fileSize;
    }
    return { count, bytes };
}

AfterCleanFigures afterCleanFigures(const RemovalReport& report, ScanSource source)
{
    AfterCleanFigures figures;
    figures.anyRemoved = report.countTrashed > 0;
    const bool one = report.countTrashed == 1;
    const bool catalog = removalKeepsFiles(source);
    const char* const cleanedKey = catalog
        ? (one ? "ID_DUPLICATE_FILE_REMOVED_FROM_CATALOG_COUNT" : "ID_DUPLICATE_FILES_REMOVED_FROM_CATALOG_COUNT")
        : (one ? "ID_DUPLICATE_FILE_CLEANED_COUNT" : "ID_DUPLICATE_FILES_CLEANED_COUNT");
    figures.totalDupsCleaned = formatText(localizedText(cleanedKey), { report.countTrashed });
    figures.duplicatesRemoved = localizedText(one ? "ID_DUPLICATE_REMOVED" : "ID_DUPLICATES_REMOVED");
    figures.dupCleaned = QString::number(report.countTrashed);
    figures.dupSizeCleaned = getSizeInUnits(static_cast<double>(report.sizeTrashed));
    figures.spaceCaption = localizedText(catalog ? "ID_SPACE_STILL_ON_DISK" : "ID_SPACE_REMOVED");
    figures.uniqueFilesRetain = QString::number(report.uniquePhotosReatined);
    figures.uniqueFilesRetained
        = localizedText(report.uniquePhotosReatined == 1 ? "ID_UNIQUE_FILE_RETAINED" : "ID_UNIQUE_FILES_RETAINED");
    // The catalog's hint says what became of its entries: none may have gone
    // (the catalog in use refuses them all).
    figures.inCaseMistake = recoveryHint(report, source);

    // The album line counts what is in the album; the items left out are
    // among the files not removed.
    if (report.isPhotosLibInTrashList && report.countMovedToAlbum > 0) {
        const QString album = localizedText("ID_DUPLICATE_MARKED_PHOTOS");
        figures.trashInfoAfterClean
            = QStringLiteral("%1 \n \n%2\n%3\n%4")
                  .arg(formatText(localizedText("ID_DUPLICATE_PHOTOS_MOVED_TO_ALBUM"), { album }),
                      localizedText("ID_SWITCH_PHOTOS_APP"),
                      formatText(localizedText("ID_CLICK_ALBUM_WITH_DELETE_THEM"), { album }),
                      localizedText("ID_DELETE_OPTION_APPEAR_IN_CONTEXT_MENU"));
        figures.dupCleanedLibrary = formatText(
            localizedText("ID_PHOTOS_VIDEOS_MOVE_TO_DUPLICATE_MARKED_ALBUM"), { report.countMovedToAlbum });
    }

    for (const auto* outcomes : { &report.arrFileNotTrashed, &report.skipped }) {
        for (const RemovalOutcome& outcome : *outcomes)
            figures.notRemoved.append(entryLine(outcome.path, outcome.reason));
    }
    if (report.stopped)
        figures.notRemoved.append(
            formatText(localizedText("ID_CLEANUP_STOPPED_FILES_NOT_TRIED"), { report.notAttempted }));
    if (!figures.notRemoved.isEmpty())
        figures.notRemovedHeading = localizedText("ID_SOME_FILES_NOT_TRASHED");
    return figures;
}

UndoCompletedTexts undoCompletedTexts(const UndoReport& report)
{
    QStringList details;
    // Each list after the first starts under a heading of its own, the
    // changed files' list also when it comes first.
    const auto startList = [&details](const char* heading, bool headedWhenFirst) {
        const bool first = details.isEmpty();
        if (!first)
            details.append(QString());
        if (!first || headedWhenFirst)
            details.append(localizedText(heading));
    };
    for (const RestoreOutcome& outcome : report.failed)
        details.append(entryLine(outcome.path, outcome.reason));
    // A file that came back without its owner, extended attributes or
    // access list is not restored whole: each is told with what it lost,
    // right under the message that says so when nothing failed.
    const bool whole = report.notWhole.empty();
    if (!whole)
        startList("ID_FILES_RESTORED_NOT_WHOLE", false);
    for (const RestoreOutcome& outcome : report.notWhole)
        details.append(entryLine(outcome.path, outcome.notKept));
    if (!report.changed.empty()) {
        startList("ID_FILES_RESTORED_CHANGED", true);
        for (const RestoreOutcome& outcome : report.changed)
            details.append(printablePath(outcome.path, shownPathLength));
    }
    // The files that are copies of their kept file, not the removed files
    // themselves, each with the file it was copied from.
    if (!report.copied.empty()) {
        startList("ID_FILES_RESTORED_AS_COPIES", true);
        for (const RestoreOutcome& outcome : report.copied)
            details.append(formatText(localizedText("ID_FILE_RESTORED_AS_COPY_OF"),
                { printablePath(outcome.path, shownPathLength), printablePath(outcome.copiedFrom, shownPathLength) }));
    }
    const QString message = !report.failed.empty()
        ? formatText(localizedText("ID_FILES_RESTORED_PARTLY"), { report.restored, report.planned })
        : whole ? localizedText("ID_ACTION_COMPLETED")
                : localizedText("ID_FILES_RESTORED_WITHOUT_ALL");
    return { message, details };
}

bool applyRemovalOutcomes(ResultsState& state, const RemovalPlan& plan, std::vector<RemovalOutcome>& outcomes,
    const PhotosStepOutcome& photos, RemovalReport& report, std::vector<RemovedFile>& undoList)
{
    using Kind = RemovalOutcome::Kind;
    // A new result set may have arrived meanwhile; its groups are not ours.
    const bool sameResultSet = state.resultSetId() == plan.resultSetId;

    report.countTrashed = 0;
    report.stopped = outcomes.size() < plan.items.size();
    report.notAttempted = static_cast<qint64>(plan.items.size() - outcomes.size());
    for (const RefusedRemoval& refused : plan.refused) {
        RemovalOutcome outcome;
        outcome.kind = Kind::skipped;
        outcome.file = refused.file;
        outcome.group = refused.group;
        outcome.path = refused.file->filePath.value_or(QString());
        outcome.reason = refused.reason;
        report.skipped.push_back(outcome);
    }

    undoList.clear();
    undoList.reserve(outcomes.size());
    std::unordered_set<DuplicateGroup*> touched;
    touched.reserve(outcomes.size());
    std::vector<DuplicateGroupPtr> groups;
    // A file gone from the result set's own groups is flagged, its bytes no
    // longer count for its group, and the group is tidied below.
    const auto leaveGroup = [&](const RemovalOutcome& outcome) {
        outcome.file->isMoveToTrash = true;
        DuplicateGroup& group = *outcome.group;
        group.groupSize -= std::min(group.groupSize, outcome.file->fileSize);
        if (touched.insert(&group).second)
            groups.push_back(outcome.group);
    };
    for (RemovalOutcome& outcome : outcomes) {
        if (outcome.route == RemovalRoute::cloud)
            ++report.countTrashedFolderItems;
        switch (outcome.kind) {
        case Kind::removed: {
            ++report.countTrashed;
            if (outcome.route == RemovalRoute::deleteOutright)
                ++report.countDeletedOutright;
            report.sizeTrashed += outcome.file->fileSize;
            --report.uniquePhotosReatined;
            if (sameResultSet)
                leaveGroup(outcome);
            // A removed file's outcome is read no further.
            undoList.push_back({ std::move(outcome.file), std::move(outcome.group), std::move(outcome.path),
                std::move(outcome.trashedPath), std::move(outcome.trashInfoPath), outcome.route, plan.resultSetId,
                std::move(outcome.trashed), plan.source, std::move(outcome.trashInfoText), outcome.trashInfo,
                std::move(outcome.trashEntry), std::move(outcome.originalFolder), std::move(outcome.vouched),
                std::move(outcome.record) });
            break;
        }
        case Kind::failed:
            report.arrFileNotTrashed.push_back(outcome);
            break;
        case Kind::skipped:
            report.skipped.push_back(outcome);
            break;
        case Kind::collected:
            ++report.countTrashedLibraryItems;
            report.dictPhotosCleanerKeys[outcome.file->libraryPath().value_or(QString())].push_back(
                outcome.file->photosInfo());
            break;
        }
    }
    // Items in the photo application's album leave their groups like removed
    // files; they never enter the undo list.
    report.countMovedToAlbum = static_cast<qint64>(photos.moved.size());
    report.countNotMovedToAlbum = photos.notMovedCount;
    report.photosAlbumFailed = photos.albumFailed;
    report.isAppNotAutharizedToMoveDups = photos.isAppNotAutharizedToMoveDups;
    report.countTrashed += report.countMovedToAlbum;
    report.sizeTrashed += photos.movedSize;
    report.uniquePhotosReatined -= report.countMovedToAlbum;
    for (RemovalOutcome& left : itemsLeftOutOfAlbum(outcomes, photos))
        report.arrFileNotTrashed.push_back(std::move(left));
    for (const std::size_t index : photos.moved) {
        const RemovalOutcome& outcome = outcomes[index];
        outcome.file->photosInfo()->isMovedToTrashAlbum = true;
        if (sameResultSet)
            leaveGroup(outcome);
    }
    if (!sameResultSet)
        return false;

    const auto removed = [](const FileInfoNodePtr& file) { return file && file->isMoveToTrash; };
    for (const DuplicateGroupPtr& group : groups) {
        std::erase_if(group->children, removed);
        std::erase_if(group->filterChildren, removed);
        ResultsState::groupMarkState(*group, true);
    }
    return true;
}

qint64 returnRestoredFiles(ResultsState& state, const std::vector<const RestoreOutcome*>& restored)
{
    // A marking pass still going ends before groups gain files, so that its
    // totals count the groups as it walked them.
    state.finishBulkMarks();
    qint64 returned = 0;
    // The groups files come back to, in the order first met; those not
    // listed any more are listed again at the end, in that order.
    std::unordered_set<const DuplicateGroup*> touched;
    std::vector<DuplicateGroupPtr> touchedInOrder;
    for (const RestoreOutcome* outcome : restored) {
        FileInfoNode& file = *outcome->file;
        // The record now describes the file on disk, so that a later
        // clean-up's checks accept it; a cloud file has no facts on this disk.
        // One that changed since its removal keeps the scan's times: it is
        // no longer what its group found, and a later clean-up says so.
        if (!outcome->now.path.isEmpty()) {
            file.deviceId = outcome->now.deviceId;
            file.inode = outcome->now.inode;
            if (!outcome->changed) {
                file.modTime = outcome->now.modTime;
                file.changeTime = outcome->now.changeTime;
            }
        }
        // A cloud file put back is the service's new file: a later clean-up
        // names it by its new id and revision.
        if (outcome->cloudNow)
            file.cloudFields() = *outcome->cloudNow;
        // The removal took out of its group exactly the files it flagged:
        // only those go back, each once.
        if (!file.isMoveToTrash)
            continue;
        file.isMoveToTrash = false;
        const DuplicateGroupPtr& group = outcome->group;
        group->children.push_back(outcome->file);
        group->groupSize += file.fileSize;
        ++returned;
        if (touched.insert(group.get()).second)
            touchedInOrder.push_back(group);
    }
    for (const DuplicateGroupPtr& group : state.arrMainGroup) {
        if (touched.empty())
            break;
        touched.erase(group.get());
    }
    for (const DuplicateGroupPtr& group : touchedInOrder) {
        if (touched.contains(group.get()))
            state.arrMainGroup.push_back(group);
    }
    return returned;
}
