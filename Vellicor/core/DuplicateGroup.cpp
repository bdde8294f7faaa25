#include "core/DuplicateGroup.h"

#include <QSet>

void addFileToGroup(const DuplicateGroupPtr& group, const FileInfoNodePtr& file)
{
    group->children.push_back(file);
    group->filterChildren.push_back(file);
    group->groupSize += file->fileSize;
    file->parent = group;
}

PriorityLists priorityListsOf(const std::vector<DuplicateGroupPtr>& groups)
{
    PriorityLists lists;
    QSet<QString> folders;
    // The folders' texts as met, so that each is lower-cased once.
    QSet<QString> foldersMet;
    QSet<QString> formats;
    for (const DuplicateGroupPtr& group : groups) {
        if (!group)
            continue;
        for (const FileInfoNodePtr& file : group->children) {
            if (!file)
                continue;
            if (file->filePath) {
                const QString met = file->filePath.folderOfPath();
                if (!foldersMet.contains(met)) {
                    foldersMet.insert(met);
                    // A bare name reads as "." here but stands in no folder.
                    const bool bare = met == QStringLiteral(".") && !file->filePath->contains(QLatin1Char('/'));
                    const QString folder = met.toLower();
                    if (!bare && !folders.contains(folder)) {
                        folders.insert(folder);
                        lists.folders.append(folder);
                    }
                }
            }
            const QString& format = file->fileExtension;
            if (!format.isEmpty() && !formats.contains(format)) {
                formats.insert(format);
                lists.formats.append(format);
            }
        }
    }
    return lists;
}
