#pragma once

#include "core/DuplicateGroup.h"
#include "core/GlobalObjects.h"

#include <QString>

#include <optional>
#include <string>
#include <vector>

// The orders of the results screen: the order of the shown groups, and the
// list view's column sort of the files inside each group. Pure functions,
// safe on any thread for records that no other thread changes meanwhile.

// A text as the sorts compare it: lower-cased, canonically equivalent forms
// made equal, compared by Unicode code point whatever the user's locale.
std::u32string sortText(const QString& text);
// sortText into out, reusing its room.
void sortTextInto(const QString& text, std::u32string& out);

// A copy of groups in the order of type: by size, shown-file count or marked
// shown-file count, larger first; by the sort text of the first shown file's
// name, greater first (a group without a shown file, or a file without a
// name, sorts as ""); sortByType keeps the given order. Stable, and
// sortAsecending is the whole descending result reversed, ties included.
std::vector<DuplicateGroupPtr> sortGroupsBy(
    const std::vector<DuplicateGroupPtr>& groups, GlobalObjects::SortType type, GlobalObjects::SortOrder order);

// A list-view column's sort as the header hands it on: the column's key and
// its ascending flag. The flag is the header's own direction; what it means
// per key is below.
struct SortDescriptor {
    QString key;
    bool ascending = true;
};

// The keys "fileName", "fileSize", "createDate", "modDate", "fileType" and
// "filePath", matched exactly; none for any other text.
enum class SortColumn { fileName, fileSize, createDate, modDate, fileType, filePath };
std::optional<SortColumn> sortColumnForKey(const QString& key);

// Reorders the files of one group by a column. With ascending set, names and
// extensions run from Z to A, sizes largest first, dates newest first and
// paths with fewer "/"-separated pieces first; cleared, each runs the other
// way. A file without the date, path or (for the extension) name ties with
// every file, so the order is no strict weak one: the files are merged by
// stableMergeSort, which is defined for it.
void sortFilesByColumn(std::vector<FileInfoNodePtr>& files, SortColumn column, bool ascending);

// Whether sortFilesByColumn with this flag leaves the files rising (A to Z,
// smallest, oldest, fewest pieces first), the way a header's indicator shows
// the order: true only for paths with the flag set and for the other columns
// with it cleared.
bool filesRiseByColumn(SortColumn column, bool ascending);

// Whether sortFilesByColumn would find files in its order already: no file
// sorts before the one ahead of it.
bool filesSortedByColumn(const std::vector<FileInfoNodePtr>& files, SortColumn column, bool ascending);

// Whether a sorts before b under the name or extension column.
bool compareFileNamesForSortDescriptor(const FileInfoNode& a, const FileInfoNode& b, bool ascending);
bool compareFileExtensionsForSortDescriptor(const FileInfoNode& a, const FileInfoNode& b, bool ascending);
