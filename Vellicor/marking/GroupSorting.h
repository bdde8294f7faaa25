#pragma once

#include "core/DuplicateGroup.h"
#include "core/GlobalObjects.h"

#include <QDateTime>
#include <QString>

#include <atomic>
#include <cstdint>
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

// sortGroupsBy in steps, so that the sorting itself may run off the GUI
// thread: each group's value under the type is copied from the records
// (takeGroupSortInput, GUI thread), the order is computed from the copies
// alone (groupSortOrder, any thread) and the groups are put in it
// (groupsInOrder).
struct GroupSortInput {
    GlobalObjects::SortType type = GlobalObjects::SortType::sortBySize;
    GlobalObjects::SortOrder order = GlobalObjects::SortOrder::sortDescending;
    // Their records are read only on the GUI thread.
    std::vector<DuplicateGroupPtr> groups;
    // Per group: its number (sizes and counts) or its first shown name.
    std::vector<quint64> numbers;
    std::vector<QString> names;
};
GroupSortInput takeGroupSortInput(
    std::vector<DuplicateGroupPtr> groups, GlobalObjects::SortType type, GlobalObjects::SortOrder order);
// The positions of input's groups in their new order; empty when stop was
// set before it was done.
std::vector<std::uint32_t> groupSortOrder(const GroupSortInput& input, const std::atomic<bool>& stop);
std::vector<DuplicateGroupPtr> groupsInOrder(const GroupSortInput& input, const std::vector<std::uint32_t>& order);
// The same with input's handles moved rather than copied (no count of
// references touched, on any thread), input left without them; none, and
// input as it was, when order does not name each of input's groups once.
std::optional<std::vector<DuplicateGroupPtr>> takeGroupsInOrder(
    GroupSortInput& input, const std::vector<std::uint32_t>& order);

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

// A column sort of every shown group's files in steps, so that the sorting
// itself may run off the GUI thread: each file's value under the column is
// copied from the records (takeColumnSortInput, GUI thread), the order is
// computed from the copies alone, each file's key made once
// (columnSortOrder, any thread), and the files are put in it
// (applyColumnSortOrder, GUI thread) as sortFilesByColumn would have.
struct ColumnSortInput {
    SortColumn column = SortColumn::fileName;
    bool ascending = true;
    // Which groups and files the values were taken from: compared, never
    // read through.
    std::vector<const DuplicateGroup*> groups;
    std::vector<const FileInfoNode*> files;
    // Per group, one past the position of its last file in files.
    std::vector<std::uint32_t> ends;
    // Per file, the one the column reads: the name (name and extension
    // columns); the date; the size or the path's piece count. present is
    // cleared for a file without the value.
    std::vector<QString> texts;
    std::vector<QDateTime> dates;
    std::vector<quint64> sizes;
    std::vector<bool> present;
};
ColumnSortInput takeColumnSortInput(const std::vector<DuplicateGroupPtr>& groups, SortColumn column, bool ascending);
// The same a part at a time: the values of groups from the first not yet
// taken up to (not including) untilGroup appended to input.
void takeColumnSortInput(const std::vector<DuplicateGroupPtr>& groups, ColumnSortInput& input, std::size_t untilGroup);
// For each position in input's files, the position of the file that goes
// there (each group's files stay in their group's range); empty when stop was
// set before it was done.
std::vector<std::uint32_t> columnSortOrder(const ColumnSortInput& input, const std::atomic<bool>& stop);
// Puts the groups' shown files in order and returns the positions of the
// groups whose files moved. None, and nothing moved, unless groups are the
// input's groups and those whose files move show exactly its files.
std::optional<std::vector<std::size_t>> applyColumnSortOrder(
    const std::vector<DuplicateGroupPtr>& groups, const ColumnSortInput& input, const std::vector<std::uint32_t>& order);

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
