#include "core/DuplicateGroup.h"

void addFileToGroup(const DuplicateGroupPtr& group, const FileInfoNodePtr& file)
{
    group->children.push_back(file);
    group->filterChildren.push_back(file);
    group->groupSize += file->fileSize;
    file->parent = group;
}
