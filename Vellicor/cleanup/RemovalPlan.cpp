#include "cleanup/RemovalPlan.h"

#include "marking/ResultsState.h"

#include <set>

ScannedFile scannedFileOf(const FileInfoNode& file)
{
    ScannedFile scanned;
    scanned.path = file.filePath.value_or(QString());
    scanned.deviceId = file.deviceId;
    scanned.inode = file.inode;
    scanned.fileSize = file.fileSize;
    scanned.modTime = file.modTime;
    scanned.changeTime = file.changeTime;
    if (file.modDate && file.modDate->isValid())
        scanned.modSeconds = file.modDate->toSecsSinceEpoch();
    return scanned;
}

RemovalRoute plannedRoute(const FileInfoNode& file, ScanSource source, bool deleteNetworkOutright)
{
    if (file.isPhotosNode)
        return RemovalRoute::photoLibrary;
    if (source != ScanSource::thisComputer)
        return RemovalRoute::cloud;
    if (deleteNetworkOutright && file.isNetworkDrive)
        return RemovalRoute::deleteOutright;
    return RemovalRoute::trash;
}

RemovalPlanInput removalPlanInput(const ResultsState& state, bool deleteNetworkOutright)
{
    // Protection is asked again now, on disk: a mark made before a folder was
    // protected, or by a test that the folder's text slipped past, must not
    // remove it. Only a file the user confirmed by hand goes.
    return { state.arrGroups, state.protectionAtRemoval(), state.resultSource(), state.resultSetId(),
        deleteNetworkOutright };
}

RemovalPlan makeRemovalPlan(const ResultsState& state, bool deleteNetworkOutright)
{
    return makeRemovalPlan(removalPlanInput(state, deleteNetworkOutright));
}

RemovalPlan makeRemovalPlan(const RemovalPlanInput& input)
{
    RemovalPlan plan;
    plan.source = input.source;
    plan.resultSetId = input.resultSetId;
    const ProtectedFolderMatcher& protection = input.protection;
    const bool deleteNetworkOutright = input.deleteNetworkOutright;
    for (const DuplicateGroupPtr& group : input.groups) {
        if (!group)
            continue;
        plan.uniquePhotosReatined += static_cast<qint64>(group->children.size());

        std::vector<FileInfoNodePtr> marked;
        for (const FileInfoNodePtr& file : group->filterChildren) {
            if (!file || !file->isMarked() || file->isMoveToTrash)
                continue;
            if (!file->isProtectedMarkConfirmed && protection.matches(file->folderPath))
                plan.refused.push_back({ file, group, QStringLiteral("it is in a protected folder") });
            else
                marked.push_back(file);
        }
        if (marked.empty())
            continue;
        const std::set<FileInfoNode*> planned = [&] {
            std::set<FileInfoNode*> files;
            for (const FileInfoNodePtr& file : marked)
                files.insert(file.get());
            return files;
        }();
        auto kept = std::make_shared<std::vector<ScannedFile>>();
        for (const FileInfoNodePtr& member : group->children) {
            if (member && !member->isMoveToTrash && !planned.contains(member.get()))
                kept->push_back(scannedFileOf(*member));
        }
        if (kept->empty()) {
            plan.refused.push_back({ marked.back(), group, QStringLiteral("it is the last copy of its group") });
            kept->push_back(scannedFileOf(*marked.back()));
            marked.pop_back();
        }
        for (const FileInfoNodePtr& file : marked) {
            PlannedRemoval item;
            item.file = file;
            item.group = group;
            item.route = plannedRoute(*file, plan.source, deleteNetworkOutright);
            item.scanned = scannedFileOf(*file);
            item.isLocked = file->isLocked;
            if (file->isMd5Calucaluted && file->md5)
                item.md5 = *file->md5;
            item.keptCopies = kept;
            plan.isPhotosLibInTrashList = plan.isPhotosLibInTrashList || file->isPhotosNode;
            plan.items.push_back(std::move(item));
        }
    }
    return plan;
}
