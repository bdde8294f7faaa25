#pragma once

#include "marking/MarkingObserver.h"
#include "results/ResultRows.h"

#include <QAbstractItemModel>
#include <QDateTime>

#include <functional>
#include <optional>
#include <vector>

class QFontMetrics;
class ResultsState;

// The shown groups of the results state as one tree, for every view of the
// results screen: top-level rows are the groups, each with a column-title row
// first and then its shown files. Its rows (ResultRows) are its own copy of
// the shown groups and files, taken when the state says they changed, so the
// views always see the structure they were told about. data() reads only the
// records in memory. A new result set resets the model; a filter or re-sort
// is a layout change; a file's mark repaints the check column of its row and
// its group's row, and a change of many marks is one change over the group
// rows, however many files it touched. GUI thread.
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
    // the groups alone (their records are only read); see
    // ResultRows::prepareRows.
    using PreparedRows = ResultRows::PreparedRows;
    // A new result set was loaded into the state: the only reset, to its
    // shown groups' rows as prepared from them (none: no rows). The rows
    // before go on the pool, as the results state lets go of the records.
    void resultSetLoaded(PreparedRows rows);

    // ---- the rows -------------------------------------------------------------
    const std::vector<ListRow>& arrAllDupFiles() const { return rows_.listRows(); }
    FileInfoNodePtr fileOfListRow(int row) const { return rows_.fileOfListRow(row); }
    RowKind kindOf(const QModelIndex& index) const;
    DuplicateGroupPtr groupOf(const QModelIndex& index) const;
    // Null for group and column-title rows.
    FileInfoNodePtr fileOf(const QModelIndex& index) const;
    // See ResultRows.
    int firstListRowOfGroup(int groupRow) const { return rows_.firstListRowOfGroup(groupRow); }
    std::pair<int, int> listRowsOfGroups(int first, int last) const { return rows_.listRowsOfGroups(first, last); }
    int groupCount() const { return rows_.groupCount(); }

    // Icon name by category, and the texts of the list's columns.
    static QString categoryIconName(const FileInfoNode& file);
    static QString listColumnText(const FileInfoNode& file, int column);
    // A file's date as the rows show it, in the region's format.
    static QString dateText(const std::optional<QDateTime>& date);
    // The most a date of the rows takes in metrics' font: the region's
    // morning and evening texts with wide digits.
    static int widestDateWidth(const QFontMetrics& metrics);

    // ---- QAbstractItemModel ---------------------------------------------------
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    // A group's row of column titles is never chosen: a click on it leaves
    // the choice, and the file the pane shows, where they were.
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // ---- MarkingObserver ---------------------------------------------------
    void fileMarkChanged(const FileInfoNodePtr& file) override;
    void groupRowChanged(const DuplicateGroupPtr& group) override;
    void allMarksChanged() override;
    void updateMarkedCountLabel() override;
    void groupFilesReordered(std::size_t position) override;
    void shownGroupsChanged() override;
    // See ResultRows::prepareShownGroups.
    PrepareShownGroups prepareShownGroups(PreparedFrom from) override;
    void categoryChanged() override;
    void showNoDuplicatesPopover(GlobalObjects::FileCategory category, const QString& heading) override;
    void disableResultToolbar() override;
    void sortOrderChanged() override;
    void duplicatesSummaryChanged() override;

    // The screen's side of the observer calls that are not about rows.
    struct ScreenHooks {
        std::function<void()> shownGroupsChanged;
        // Automatic marking put the files of the shown group at this
        // position in a new order (MarkingObserver::groupFilesReordered).
        std::function<void(std::size_t)> groupFilesReordered;
        std::function<void()> updateMarkedCountLabel;
        std::function<void()> categoryChanged;
        std::function<void(GlobalObjects::FileCategory, const QString&)> showNoDuplicatesPopover;
        std::function<void()> disableResultToolbar;
        std::function<void()> sortOrderChanged;
        std::function<void()> duplicatesSummaryChanged;
    };
    void setScreenHooks(ScreenHooks hooks) { hooks_ = std::move(hooks); }

private:
    using GroupRow = ResultRows::GroupRow;
    // What a persistent index stood for, so it can be found again after the
    // shown groups changed.
    struct Identity {
        const DuplicateGroup* group = nullptr;
        const FileInfoNode* file = nullptr;
        bool titleRow = false;
        int column = 0;
    };

    // A change of the shown groups as one layout change, the rows taken by
    // take; persistent indexes follow their groups and files.
    void changeShownRows(const std::function<void()>& take);
    QModelIndex groupIndex(int groupRow, int column = 0) const;
    QModelIndex indexOf(const Identity& identity) const;
    QVariant groupData(const GroupRow& row, int column, int role) const;
    QVariant fileData(const FileInfoNode& file, int column, int role) const;
    QVariant titleData(int column, int role) const;
    void emitCheckChanged(const QModelIndex& index);

    ResultsState& state_;
    ScreenHooks hooks_;
    ResultRows rows_;
    QString columnTitles_[columnCountValue];
    QString filesText_;
};
