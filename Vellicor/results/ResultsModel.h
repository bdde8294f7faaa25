#pragma once

#include "marking/MarkingObserver.h"
#include "results/GroupPositions.h"

#include <QAbstractItemModel>
#include <QHash>

#include <functional>
#include <vector>

class ResultsState;

// One row of the flat list: the position of its group among the shown groups
// (from 1) and the file's position among that group's shown files.
struct ListRow {
    int groupNumber = 0;
    int child = 0;
};

// The shown groups of the results state as one tree, for every view of the
// results screen: top-level rows are the groups, each with a column-title row
// first and then its shown files. It keeps its own copy of the shown groups
// and files, taken when the state says they changed, so the views always see
// the structure they were told about. data() reads only the records in
// memory. A new result set resets the model; a filter or re-sort is a layout
// change; a file's mark repaints the check column of its row and its group's
// row, and a change of many marks is one change over the group rows, however
// many files it touched. GUI thread.
class ResultsModel : public QAbstractItemModel, public MarkingObserver {
    Q_OBJECT
public:
    // The list's columns; the outline shows column 0, which carries every
    // outlet of its row.
    enum Column { checkColumn, nameColumn, sizeColumn, createdColumn, modifiedColumn, typeColumn, folderColumn };
    static constexpr int columnCountValue = 7;
    enum class RowKind { none, group, columnTitles, file };
    // The row's kind, for the views' row heights.
    static constexpr int rowKindRole = Qt::UserRole + 200;
    // Answered by no index: among the roles of a change over group rows it
    // says that the marks of every file under those groups changed too. Marks
    // are read live, so a view repaints what it shows; the list passes it on
    // as the range of those groups' rows.
    static constexpr int filesOfGroupsRole = Qt::UserRole + 201;

    explicit ResultsModel(ResultsState& state, QObject* parent = nullptr);

    // The rows of a new result set's shown groups, made on any thread from
    // the groups alone (their records are only read); see prepareRows.
    struct PreparedRows;
    static PreparedRows prepareRows(const std::vector<DuplicateGroupPtr>& shown);
    // A new result set was loaded into the state: the only reset, to its
    // shown groups' rows as prepared from them (none: no rows). The rows
    // before go on the pool, as the results state lets go of the records.
    void resultSetLoaded(PreparedRows rows);

    // ---- the rows -------------------------------------------------------------
    const std::vector<ListRow>& arrAllDupFiles() const { return rows_; }
    FileInfoNodePtr fileOfListRow(int row) const;
    RowKind kindOf(const QModelIndex& index) const;
    DuplicateGroupPtr groupOf(const QModelIndex& index) const;
    // Null for group and column-title rows.
    FileInfoNodePtr fileOf(const QModelIndex& index) const;
    // The group's first list row, -1 when it shows no file.
    int firstListRowOfGroup(int groupRow) const;
    // The list rows of the groups from first to last: an empty range (first
    // above last) when none of them shows a file.
    std::pair<int, int> listRowsOfGroups(int first, int last) const;
    int groupCount() const { return int(groups_.size()); }

    // Icon name by category, and the texts of the list's columns.
    static QString categoryIconName(const FileInfoNode& file);
    static QString listColumnText(const FileInfoNode& file, int column);

    // ---- QAbstractItemModel ---------------------------------------------------
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;

    // ---- MarkingObserver ---------------------------------------------------
    void fileMarkChanged(const FileInfoNodePtr& file) override;
    void groupRowChanged(const DuplicateGroupPtr& group) override;
    void allMarksChanged() override;
    void updateMarkedCountLabel() override;
    void groupFilesReordered(std::size_t position) override;
    void shownGroupsChanged() override;
    // A job that makes, on the sort's worker, the list rows and the position
    // table of the groups in their new order, each group keeping its row's
    // files; shownGroupsChanged takes them when they were made from the rows
    // as they still are.
    PrepareShownGroups prepareShownGroups() override;
    RowPreparer rowPreparer() const override;
    void shownGroupsPrepared(std::any rows) override;
    void categoryChanged() override;
    void showNoDuplicatesPopover(GlobalObjects::FileCategory category, const QString& heading) override;
    void disableResultToolbar() override;
    void sortOrderChanged() override;
    void duplicatesSummaryChanged() override;

    // The screen's side of the observer calls that are not about rows.
    struct ScreenHooks {
        std::function<void()> shownGroupsChanged;
        std::function<void()> updateMarkedCountLabel;
        std::function<void()> categoryChanged;
        std::function<void(GlobalObjects::FileCategory, const QString&)> showNoDuplicatesPopover;
        std::function<void()> disableResultToolbar;
        std::function<void()> sortOrderChanged;
        std::function<void()> duplicatesSummaryChanged;
    };
    void setScreenHooks(ScreenHooks hooks) { hooks_ = std::move(hooks); }

private:
    struct GroupRow {
        DuplicateGroupPtr group;
        std::vector<FileInfoNodePtr> files;
        int firstListRow = 0;
        // The row of a file under its group (from 1), -1 when not shown here.
        // A large group indexes its files the first time it is asked.
        int rowOf(const FileInfoNode* file) const;
        mutable QHash<const FileInfoNode*, int> rowsOfFiles;
    };
    // What a persistent index stood for, so it can be found again after the
    // shown groups changed.
    struct Identity {
        const DuplicateGroup* group = nullptr;
        const FileInfoNode* file = nullptr;
        bool titleRow = false;
        int column = 0;
    };

    // Appends a group's row, its files those it shows, and their list rows.
    // Gives a group's row its first list row and its list rows, filling its
    // files from the group when it has none.
    static GroupRow takeGroupRow(std::vector<ListRow>& rows, int number, GroupRow row);
    static void appendGroupRow(std::vector<GroupRow>& groups, std::vector<ListRow>& rows, GroupRow row);
    void takeShownGroups();
    // The rows a sort's worker prepared for the groups in their new order,
    // swapped in; false when there are none or they no longer fit.
    bool takePreparedOrder();
    // A change of the shown groups as one layout change, the rows taken by
    // take; persistent indexes follow their groups and files.
    void changeShownRows(const std::function<void()>& take);
    // The files of the groups a column sort moved, put in their new order;
    // false when the rows must be taken whole.
    bool takeSortedFiles();
    // The table of group positions filled anew from the group rows.
    static void assignGroupPositions(GroupPositions& positions, const std::vector<GroupRow>& groups);
    QModelIndex groupIndex(int groupRow, int column = 0) const;
    QModelIndex indexOf(const Identity& identity) const;
    QVariant groupData(const GroupRow& row, int column, int role) const;
    QVariant fileData(const FileInfoNode& file, int column, int role) const;
    QVariant titleData(int column, int role) const;
    void emitCheckChanged(const QModelIndex& index);

    ResultsState& state_;
    ScreenHooks hooks_;
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
    QString columnTitles_[columnCountValue];
    QString filesText_;
};

struct ResultsModel::PreparedRows {
    std::vector<GroupRow> groups;
    std::vector<ListRow> rows;
    GroupPositions positions;
};
