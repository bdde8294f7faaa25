#include "core/DuplicateGroup.h"

#include <QSet>

namespace {

// A small group's lists grow one place at a time, so that a group of three
// holds no fourth place in each; a larger one grows as vectors do.
void appendToGroupList(std::vector<FileInfoNodePtr>& files, const FileInfoNodePtr& file)
{
    constexpr std::size_t grownOneByOne = 8;
    if (files.size() == files.capacity() && files.size() < grownOneByOne)
        files.reserve(files.size() + 1);
    files.push_back(file);
}

} // namespace

void addFileToGroup(const DuplicateGroupPtr& group, const FileInfoNodePtr& file)
{
    appendToGroupList(group->children, file);
    appendToGroupList(group->filterChildren, file);
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
