#pragma once

#include "controls/PathShortening.h"
#include "marking/MarkingObserver.h"
#include "results/GroupPositions.h"

#include <QHash>

#include <array>
#include <cstdint>

#include <utility>
#include <vector>

class ResultsState;

// One row of the flat list: the position of its group among the shown groups
// (from 1) and the file's position among that group's shown files.
struct ListRow {
    int groupNumber = 0;
    int child = 0;
};

// The rows of the shown groups, as the results model presents them: a row
// per group with its own copy of the files it shows, the flat list's rows
// over all of them, and the groups' positions by their record. The rows are
// taken anew from the results state when it says the shown groups changed,
// keeping what a sort or a filter left as it was. The model around them
// tells the views; these rows only change. GUI thread, but for
// prepareRows and the jobs of prepareShownGroups.
class ResultRows {
public:
    struct GroupRow {
        DuplicateGroupPtr group;
        std::vector<FileInfoNodePtr> files;
        int firstListRow = 0;
        // The row of a file under its group (from 1), -1 when not shown here.
        // A large group indexes its files the first time it is asked.
        int rowOf(const FileInfoNode* file) const;
        mutable QHash<const FileInfoNode*, int> rowsOfFiles;
        // What the shown files' paths (folders: their folders) have alike,
        // found the first time a row of the group is drawn and kept while
        // the row keeps its files (in whatever order).
        SharedParts sharedParts(bool folders) const;
        // The same for the file at child, with where it first differs from
        // each other file when its group has a few.
        SharedParts sharedPartsOf(int child, bool folders) const;
        // Kept as their four counts each (path, then folder), -1 until found.
        mutable std::array<std::int16_t, 8> shared { -1, -1, -1, -1, -1, -1, -1, -1 };
    };
    struct PreparedRows {
        std::vector<GroupRow> groups;
        std::vector<ListRow> rows;
        GroupPositions positions;
    };

    // The rows of a new result set's shown groups, made on any thread from
    // the groups alone (their records are only read).
    static PreparedRows prepareRows(const std::vector<DuplicateGroupPtr>& shown);
    // The rows of a new result set, swapped in; the rows before go on the
    // pool, as the results state lets go of the records.
    void load(PreparedRows rows);
    // The shown groups of the state taken anew after it said they changed.
    void takeShownGroups(const ResultsState& state);
    // A job that makes, on a worker, the rows of the groups as they will be
    // shown: from the rows as they are now (the list rows and the position
    // table of the groups in their new order, each group keeping its row's
    // files), taken when they were made from the rows as they still are; or
    // from the groups alone (prepareRows), taken when they were made for
    // exactly the groups shown.
    MarkingObserver::PrepareShownGroups prepareShownGroups(MarkingObserver::PreparedFrom from) const;
    // The files of the shown group at position, newly reordered, kept for the
    // next rebuild while they are at hand.
    void groupFilesReordered(const std::vector<DuplicateGroupPtr>& shown, std::size_t position);

    const std::vector<ListRow>& listRows() const { return rows_; }
    int groupCount() const { return int(groups_.size()); }
    // The row of a shown group; groupRow within groupCount.
    const GroupRow& groupRow(int groupRow) const { return groups_[std::size_t(groupRow)]; }
    // The row of the group among the shown ones, -1 when it is not shown.
    int positionOf(const DuplicateGroup* group) const { return groupPositions_.find(group); }
    FileInfoNodePtr fileOfListRow(int row) const;
    // The group's first list row, -1 when it shows no file.
    int firstListRowOfGroup(int groupRow) const;
    // The list rows of the groups from first to last: an empty range (first
    // above last) when none of them shows a file.
    std::pair<int, int> listRowsOfGroups(int first, int last) const;

private:
    // Appends a group's row, its files those it shows, and their list rows.
    // Gives a group's row its first list row and its list rows, filling its
    // files from the group when it has none.
    static GroupRow takeGroupRow(std::vector<ListRow>& rows, int number, GroupRow row);
    static void appendGroupRow(std::vector<GroupRow>& groups, std::vector<ListRow>& rows, GroupRow row);
    // The rows a sort's worker prepared for the groups in their new order,
    // swapped in; false when there are none or they no longer fit.
    bool takePreparedOrder(const ResultsState& state);
    // The rows a worker made from the shown groups alone, swapped in; false
    // when there are none or they are for other groups.
    bool takePreparedRows(const ResultsState& state);
    // The files of the groups a column sort moved, put in their new order;
    // false when the rows must be taken whole.
    bool takeSortedFiles(const ResultsState& state);
    // The table of group positions filled anew from the group rows.
    static void assignGroupPositions(GroupPositions& positions, const std::vector<GroupRow>& groups);

    std::vector<GroupRow> groups_;
    std::vector<ListRow> rows_;
    // A record is found through its group (its parent), so the shown rows
    // are taken without an entry per file.
    GroupPositions groupPositions_;
    // The files of the groups automatic marking reordered, in the order
    // they were told, taken while they were at hand and laid end to end: the
    // group at positions[i] has files[firstFile[i]] up to
    // files[firstFile[i + 1]]. The next rebuild takes them or lets them go.
    struct ReorderedFiles {
        std::vector<std::size_t> positions;
        std::vector<std::size_t> firstFile { 0 };
        std::vector<FileInfoNodePtr> files;
    };
    ReorderedFiles reorderedFiles_;
    // Counts the rebuilds, so that rows prepared from older ones are known.
    quint64 rowsVersion_ = 0;
};
