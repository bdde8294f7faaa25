#include "results/ResultsModel.h"

#include "base/ReleaseElsewhere.h"
#include "controls/CustomCell.h"
#include "core/CommonFuncs.h"
#include "core/Localization.h"
#include "marking/ResultsState.h"
#include "marking/ShownFilesCheck.h"
#include "results/ShownFiles.h"

#include <QFileInfo>
#include <QSize>

#include <algorithm>
#include <iterator>

namespace {

using Outlet = CustomCell::Outlet;
constexpr int outletRole(Outlet outlet)
{
    return CustomCell::roleOf(outlet);
}

const QString resultDatePattern = QStringLiteral("dd/MM/yyyy hh:mm:ss a");

const QColor groupRowColor(40, 40, 40);
const QColor titleRowColor(60, 60, 60);
const QColor countGrey(191, 191, 191);

QString dateText(const std::optional<QDateTime>& date)
{
    return formattedDateText(date, resultDatePattern).value_or(QString());
}

// The path's extension as written, "-" when it has none.
QString pathExtension(const QString& path)
{
    const QString name = path.section(QLatin1Char('/'), -1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0 || dot == name.size() - 1)
        return QStringLiteral("-");
    return name.mid(dot + 1);
}

} // namespace

ResultsModel::ResultsModel(ResultsState& state, QObject* parent)
    : QAbstractItemModel(parent)
    , state_(state)
{
    const char* titleKeys[columnCountValue]
        = { "", "ID_FILE_NAME", "ID_SIZE", "ID_CREATED_DATE", "ID_MODIFIED_DATE", "ID_FILE_TYPE", "ID_FOLDERPATH" };
    for (int column = 1; column < columnCountValue; ++column)
        columnTitles_[column] = localizedText(titleKeys[column]);
    // The file-name title reads capitalised word by word in every language.
    QStringList words = columnTitles_[nameColumn].toLower().split(QLatin1Char(' '));
    for (QString& word : words) {
        if (!word.isEmpty())
            word[0] = word[0].toUpper();
    }
    columnTitles_[nameColumn] = words.join(QLatin1Char(' '));
    filesText_ = localizedText("ID_FILES");
}

ResultsModel::PreparedRows ResultsModel::prepareRows(const std::vector<DuplicateGroupPtr>& shown)
{
    PreparedRows prepared;
    std::size_t rowCount = 0;
    for (const DuplicateGroupPtr& group : shown)
        rowCount += group->filterChildren.size();
    prepared.rows.reserve(rowCount);
    prepared.groups.reserve(shown.size());
    for (const DuplicateGroupPtr& group : shown)
        appendGroupRow(prepared.groups, prepared.rows, { group, {}, 0, {} });
    assignGroupPositions(prepared.positions, prepared.groups);
    return prepared;
}

void ResultsModel::resultSetLoaded(PreparedRows rows)
{
    ++rowsVersion_;
    beginResetModel();
    releaseElsewhere(std::exchange(groups_, std::move(rows.groups)));
    rows_ = std::move(rows.rows);
    groupPositions_ = std::move(rows.positions);
    endResetModel();
}

void ResultsModel::appendGroupRow(std::vector<GroupRow>& groups, std::vector<ListRow>& rows, GroupRow row)
{
    groups.push_back(takeGroupRow(rows, int(groups.size()) + 1, std::move(row)));
}

ResultsModel::GroupRow ResultsModel::takeGroupRow(std::vector<ListRow>& rows, int number, GroupRow row)
{
    row.firstListRow = int(rows.size());
    if (row.files.empty()) {
        row.files.reserve(row.group->filterChildren.size());
        for (const FileInfoNodePtr& file : row.group->filterChildren) {
            if (file)
                row.files.push_back(file);
        }
    }
    for (std::size_t i = 0; i < row.files.size(); ++i)
        rows.push_back({ number, int(i) });
    return row;
}

bool ResultsModel::takeSortedFiles()
{
    // After a column sort or automatic marking the groups stand where they
    // stood; only those whose files moved are read again.
    const std::vector<std::size_t>* moved = state_.groupsWithFilesMoved();
    const std::vector<DuplicateGroupPtr>& shown = state_.arrGroups;
    if (!moved || groups_.size() != shown.size())
        return false;
    for (std::size_t g = 0; g < shown.size(); ++g) {
        if (groups_[g].group != shown[g])
            return false;
    }
    std::size_t taken = 0;
    for (const std::size_t g : *moved) {
        if (g >= groups_.size())
            return false;
        std::vector<FileInfoNodePtr>& files = groups_[g].files;
        // Taken when they were reordered, and unchanged since: any change
        // after it rebuilt the rows, which let them go.
        const std::vector<std::size_t>& positions = reorderedFiles_.positions;
        while (taken < positions.size() && positions[taken] < g)
            ++taken;
        if (taken < positions.size() && positions[taken] == g) {
            const auto first = reorderedFiles_.files.begin() + std::ptrdiff_t(reorderedFiles_.firstFile[taken]);
            const auto end = reorderedFiles_.files.begin() + std::ptrdiff_t(reorderedFiles_.firstFile[taken + 1]);
            if (std::size_t(end - first) == files.size()) {
                // Swapped, so that the handles let go of are let go of elsewhere.
                std::swap_ranges(first, end, files.begin());
                groups_[g].rowsOfFiles.clear();
                continue;
            }
        }
        const std::vector<FileInfoNodePtr>& now = shown[g]->filterChildren;
        if (!takeReorderedFiles(files, now)) {
            // A large group is taken anew, as long as its rows stay as many.
            if (std::size_t(std::ranges::count_if(now, [](const FileInfoNodePtr& file) { return bool(file); }))
                != files.size())
                return false;
            files.clear();
            std::ranges::copy_if(now, std::back_inserter(files), [](const FileInfoNodePtr& file) { return bool(file); });
        }
        groups_[g].rowsOfFiles.clear();
    }
    return true;
}

namespace {

// The rows of the shown groups in a new order, each group with the files its
// row had: made on a sort's worker, swapped in by takePreparedOrder.
struct PreparedOrder : PreparedShownGroups {
    // The rebuild the rows were prepared from, and the groups they are for.
    quint64 rowsVersion = 0;
    const DuplicateGroupPtr* shown = nullptr;
    std::size_t shownCount = 0;
    // Per group in the new order: its row before, and its first list row.
    std::vector<int> rowBefore;
    std::vector<int> firstListRow;
    std::vector<ListRow> rows;
    GroupPositions positions;
};

} // namespace

MarkingObserver::PrepareShownGroups ResultsModel::prepareShownGroups()
{
    // The groups and their file counts as the rows hold them now; the worker
    // reads only these copies.
    auto before = std::make_shared<std::vector<std::pair<const DuplicateGroup*, int>>>();
    before->reserve(groups_.size());
    for (const GroupRow& row : groups_)
        before->emplace_back(row.group.get(), int(row.files.size()));
    const quint64 version = rowsVersion_;
    return [before, version](const std::vector<DuplicateGroupPtr>& shown) -> std::shared_ptr<PreparedShownGroups> {
        if (shown.size() != before->size())
            return nullptr;
        auto prepared = std::make_shared<PreparedOrder>();
        prepared->rowsVersion = version;
        prepared->shown = shown.data();
        prepared->shownCount = shown.size();
        // The table of the new order also finds each row's new place.
        GroupPositions& positions = prepared->positions;
        positions.reset(shown.size());
        for (std::size_t g = 0; g < shown.size(); ++g)
            positions.insert(shown[g].get(), int(g));
        prepared->rowBefore.assign(shown.size(), -1);
        for (std::size_t old = 0; old < before->size(); ++old) {
            const int g = positions.find((*before)[old].first);
            // A row whose group is no longer shown, or a group shown twice,
            // is left to the rebuild on the GUI thread.
            if (g < 0 || prepared->rowBefore[std::size_t(g)] >= 0)
                return nullptr;
            prepared->rowBefore[std::size_t(g)] = int(old);
        }
        std::size_t rowCount = 0;
        for (const auto& [group, files] : *before)
            rowCount += std::size_t(files);
        prepared->rows.reserve(rowCount);
        prepared->firstListRow.reserve(shown.size());
        for (std::size_t g = 0; g < shown.size(); ++g) {
            prepared->firstListRow.push_back(int(prepared->rows.size()));
            const int files = (*before)[std::size_t(prepared->rowBefore[g])].second;
            for (int i = 0; i < files; ++i)
                prepared->rows.push_back({ int(g) + 1, i });
        }
        return prepared;
    };
}

bool ResultsModel::takePreparedOrder()
{
    auto* prepared = dynamic_cast<PreparedOrder*>(state_.preparedShownGroups());
    const std::vector<DuplicateGroupPtr>& shown = state_.arrGroups;
    // Prepared from these rows for exactly these groups, which keep their
    // files: anything else is rebuilt on the GUI thread.
    if (!prepared || prepared->rowsVersion != rowsVersion_ || prepared->shown != shown.data()
        || prepared->shownCount != shown.size() || groups_.size() != shown.size()
        || state_.filesJustChanged() != ResultsState::FilesChange::kept || state_.filesJustSorted())
        return false;
    // The rows move in place, cycle by cycle: no second list of them.
    const std::vector<int>& from = prepared->rowBefore;
    std::vector<bool> placed(groups_.size());
    for (std::size_t start = 0; start < groups_.size(); ++start) {
        if (placed[start])
            continue;
        GroupRow first = std::move(groups_[start]);
        std::size_t g = start;
        while (std::size_t(from[g]) != start) {
            groups_[g] = std::move(groups_[std::size_t(from[g])]);
            placed[g] = true;
            g = std::size_t(from[g]);
        }
        groups_[g] = std::move(first);
        placed[g] = true;
    }
    for (std::size_t g = 0; g < groups_.size(); ++g)
        groups_[g].firstListRow = prepared->firstListRow[g];
    releaseElsewhere(std::exchange(rows_, std::move(prepared->rows)));
    std::swap(groupPositions_, prepared->positions);
    return true;
}

void ResultsModel::takeShownGroups()
{
    const bool prepared = reorderedFiles_.positions.empty() && takePreparedOrder();
    ++rowsVersion_;
    if (prepared)
        return;
    const bool sortedOnly = takeSortedFiles();
    if (!reorderedFiles_.positions.empty())
        releaseElsewhere(std::exchange(reorderedFiles_, {}));
    if (sortedOnly)
        return;
    // A group whose shown files are as they were keeps its row's list, in
    // their new order when they were only sorted: a rebuild that only moves
    // groups or files then leaves every record's count alone.
    std::vector<GroupRow> before = std::exchange(groups_, {});
    const std::vector<DuplicateGroupPtr>& shown = state_.arrGroups;
    // The rebuilds of a sort find each group's old row at once: in its place
    // (files sorted), or in the mirrored one (the order turned round).
    bool samePlaces = before.size() == shown.size();
    bool mirrored = samePlaces;
    for (std::size_t g = 0; samePlaces && g < shown.size(); ++g)
        samePlaces = before[g].group == shown[g];
    for (std::size_t g = 0; !samePlaces && mirrored && g < shown.size(); ++g)
        mirrored = before[shown.size() - 1 - g].group == shown[g];
    // The state says when only the groups moved: their files are then not
    // compared again.
    const bool filesKept
        = state_.filesJustChanged() == ResultsState::FilesChange::kept && !state_.filesJustSorted();
    std::size_t rowCount = rows_.size();
    if (rowCount == 0) {
        for (const DuplicateGroupPtr& group : shown)
            rowCount += group->filterChildren.size();
    }
    rows_.clear();
    rows_.reserve(rowCount);
    // Where every group stands where it stood, each row goes back into its
    // old place, which it alone reads: no second list of rows meanwhile.
    if (!samePlaces)
        groups_.reserve(shown.size());
    int g = -1;
    for (const DuplicateGroupPtr& group : shown) {
        ++g;
        const int found = samePlaces ? g
            : mirrored               ? int(shown.size()) - 1 - g
                                     : groupPositions_.find(group.get());
        // A group shown twice takes its old row's parts once.
        const int old = found >= 0 && before[size_t(found)].group == group ? found : -1;
        // The row's hold on its group moves along, rather than a new one
        // taken and the old one let go. A row left without files takes
        // those its group shows.
        GroupRow row { old >= 0 ? std::move(before[size_t(old)].group) : group, {}, 0, {} };
        if (old >= 0 && (filesKept || showsInOrder(group->filterChildren, before[size_t(old)].files))) {
            row.files = std::move(before[size_t(old)].files);
            row.rowsOfFiles = std::move(before[size_t(old)].rowsOfFiles);
        } else if (old >= 0 && takeReorderedFiles(before[size_t(old)].files, group->filterChildren)) {
            row.files = std::move(before[size_t(old)].files);
        }
        if (samePlaces)
            before[size_t(g)] = takeGroupRow(rows_, int(g) + 1, std::move(row));
        else
            groups_.push_back(takeGroupRow(rows_, int(groups_.size()) + 1, std::move(row)));
    }
    if (samePlaces)
        groups_ = std::exchange(before, {});
    if (mirrored && !samePlaces)
        groupPositions_.mirror(int(groups_.size()));
    else if (!samePlaces)
        assignGroupPositions(groupPositions_, groups_);
    releaseElsewhere(std::move(before));
}

void ResultsModel::assignGroupPositions(GroupPositions& positions, const std::vector<GroupRow>& groups)
{
    positions.reset(groups.size());
    for (std::size_t g = 0; g < groups.size(); ++g)
        positions.insert(groups[g].group.get(), int(g));
}

int ResultsModel::GroupRow::rowOf(const FileInfoNode* file) const
{
    constexpr std::size_t searchedInTurn = 32;
    if (files.size() <= searchedInTurn) {
        const auto found
            = std::ranges::find_if(files, [file](const FileInfoNodePtr& shown) { return shown.get() == file; });
        return found == files.end() ? -1 : int(found - files.begin()) + 1;
    }
    if (rowsOfFiles.isEmpty()) {
        rowsOfFiles.reserve(qsizetype(files.size()));
        for (std::size_t i = 0; i < files.size(); ++i)
            rowsOfFiles.insert(files[i].get(), int(i) + 1);
    }
    return rowsOfFiles.value(file, -1);
}

FileInfoNodePtr ResultsModel::fileOfListRow(int row) const
{
    if (row < 0 || row >= int(rows_.size()))
        return nullptr;
    const ListRow& listRow = rows_[size_t(row)];
    return groups_[size_t(listRow.groupNumber - 1)].files[size_t(listRow.child)];
}

int ResultsModel::firstListRowOfGroup(int groupRow) const
{
    if (groupRow < 0 || groupRow >= int(groups_.size()) || groups_[size_t(groupRow)].files.empty())
        return -1;
    return groups_[size_t(groupRow)].firstListRow;
}

std::pair<int, int> ResultsModel::listRowsOfGroups(int first, int last) const
{
    first = std::max(first, 0);
    last = std::min(last, int(groups_.size()) - 1);
    if (first > last)
        return { 0, -1 };
    // A group that shows no file starts where the next one does.
    const int end = last + 1 < int(groups_.size()) ? groups_[size_t(last + 1)].firstListRow : int(rows_.size());
    return { groups_[size_t(first)].firstListRow, end - 1 };
}

ResultsModel::RowKind ResultsModel::kindOf(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return RowKind::none;
    if (index.internalId() == 0)
        return RowKind::group;
    return index.row() == 0 ? RowKind::columnTitles : RowKind::file;
}

DuplicateGroupPtr ResultsModel::groupOf(const QModelIndex& index) const
{
    if (kindOf(index) == RowKind::none)
        return nullptr;
    const quintptr g = index.internalId() == 0 ? quintptr(index.row()) : index.internalId() - 1;
    return groups_[size_t(g)].group;
}

FileInfoNodePtr ResultsModel::fileOf(const QModelIndex& index) const
{
    if (kindOf(index) != RowKind::file)
        return nullptr;
    return groups_[size_t(index.internalId() - 1)].files[size_t(index.row() - 1)];
}

QString ResultsModel::categoryIconName(const FileInfoNode& file)
{
    using Category = GlobalObjects::FileCategory;
    if (!file.fileCategory)
        return QStringLiteral("other_icon");
    switch (*file.fileCategory) {
    case Category::Doc:
        return QStringLiteral("document_icon");
    case Category::Pic:
        return QStringLiteral("img_icon");
    case Category::Music:
        return QStringLiteral("music_icon");
    case Category::Video:
        return QStringLiteral("video_icon");
    case Category::Archive:
        return QStringLiteral("archive_icon");
    default:
        return QStringLiteral("other_icon");
    }
}

QString ResultsModel::listColumnText(const FileInfoNode& file, int column)
{
    const QString path = file.filePath.value_or(QString());
    switch (column) {
    case nameColumn:
        return file.fileName.value_or(QString());
    case sizeColumn:
        return getSizeInUnits(double(file.fileSize));
    case createdColumn:
        return dateText(file.createDate);
    case modifiedColumn:
        return dateText(file.modDate);
    case typeColumn:
        return pathExtension(path);
    case folderColumn: {
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        return slash < 0 ? QString() : (slash == 0 ? QStringLiteral("/") : path.left(slash));
    }
    default:
        return {};
    }
}

QModelIndex ResultsModel::index(int row, int column, const QModelIndex& parent) const
{
    if (row < 0 || column < 0 || column >= columnCountValue)
        return {};
    if (!parent.isValid())
        return row < int(groups_.size()) ? createIndex(row, column, quintptr(0)) : QModelIndex();
    if (kindOf(parent) != RowKind::group || parent.column() != 0)
        return {};
    if (row > int(groups_[size_t(parent.row())].files.size()))
        return {};
    return createIndex(row, column, quintptr(parent.row()) + 1);
}

QModelIndex ResultsModel::parent(const QModelIndex& child) const
{
    if (!child.isValid() || child.internalId() == 0)
        return {};
    return createIndex(int(child.internalId() - 1), 0, quintptr(0));
}

int ResultsModel::rowCount(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return int(groups_.size());
    if (kindOf(parent) != RowKind::group || parent.column() != 0)
        return 0;
    const auto& files = groups_[size_t(parent.row())].files;
    // A group that shows no file has no title row either.
    return files.empty() ? 0 : int(files.size()) + 1;
}

int ResultsModel::columnCount(const QModelIndex&) const
{
    return columnCountValue;
}

bool ResultsModel::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0;
}

QModelIndex ResultsModel::groupIndex(int groupRow, int column) const
{
    return createIndex(groupRow, column, quintptr(0));
}

QVariant ResultsModel::data(const QModelIndex& index, int role) const
{
    switch (kindOf(index)) {
    case RowKind::group:
        if (role == rowKindRole)
            return int(RowKind::group);
        return groupData(groups_[size_t(index.row())], index.column(), role);
    case RowKind::columnTitles:
        if (role == rowKindRole)
            return int(RowKind::columnTitles);
        return titleData(index.column(), role);
    case RowKind::file:
        if (role == rowKindRole)
            return int(RowKind::file);
        return fileData(*fileOf(index), index.column(), role);
    case RowKind::none:
        break;
    }
    return {};
}

QVariant ResultsModel::groupData(const GroupRow& row, int column, int role) const
{
    if (role == CustomCell::isParentNodeRole)
        return true;
    if (role == Qt::SizeHintRole)
        return QSize(0, 40);
    if (column != 0)
        return {};
    const DuplicateGroup& group = *row.group;
    const QString firstName = row.files.empty() ? QString() : row.files.front()->fileName.value_or(QString());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
    case outletRole(Outlet::lbltextField):
        return firstName;
    case Qt::BackgroundRole:
        return groupRowColor;
    case outletRole(Outlet::btnCheckBox):
        return group.state;
    case outletRole(Outlet::lblDescription): {
        quint64 total = 0;
        for (const FileInfoNodePtr& file : row.files)
            total += file->fileSize;
        return QStringLiteral("%1 (%2 %3)")
            .arg(getSizeInUnits(double(total)), QString::number(row.files.size()), filesText_);
    }
    case outletRole(Outlet::lblCount): {
        const GroupCountText count = ResultsState::groupCountText(group);
        return QVariant::fromValue(CellText { { count.text.left(count.markedDigits), QColor::fromRgb(markedDigitsRgb) },
            { count.text.mid(count.markedDigits), countGrey } });
    }
    default:
        return {};
    }
}

QVariant ResultsModel::titleData(int column, int role) const
{
    if (role == Qt::SizeHintRole)
        return QSize(0, 30);
    if (column != 0)
        return {};
    switch (role) {
    case Qt::BackgroundRole:
        return titleRowColor;
    case Qt::DisplayRole:
    case outletRole(Outlet::lbltextField):
        return localizedText("ID_FILENAME");
    case outletRole(Outlet::lblSize):
        return localizedText("ID_SIZE");
    case outletRole(Outlet::lblCretedDate):
        return localizedText("ID_CREATED");
    case outletRole(Outlet::lblModifiedDate):
        return localizedText("ID_MODIFIED");
    case outletRole(Outlet::lblExt):
        return localizedText("ID_FILE_TYPE");
    case outletRole(Outlet::lblFilePath):
        return localizedText("ID_FOLDERPATH");
    default:
        return {};
    }
}

QVariant ResultsModel::fileData(const FileInfoNode& file, int column, int role) const
{
    if (role == CustomCell::isFileRecordRole)
        return true;
    if (role == Qt::SizeHintRole)
        return QSize(0, 30);
    if (column != 0) {
        // The list's text columns.
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole || role == outletRole(Outlet::lbltextField))
            return listColumnText(file, column);
        if (column == nameColumn && role == outletRole(Outlet::imgView))
            return categoryIconName(file);
        return {};
    }
    // Column 0: the list's check box, and every outlet of the outline's row.
    switch (role) {
    case outletRole(Outlet::btnCheckBox):
        // A locked file shows no check box: nothing marks it.
        return file.isLocked ? QVariant() : QVariant(file.isMarked() ? 1 : 0);
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
    case outletRole(Outlet::lbltextField):
        return file.fileName.value_or(QString());
    case outletRole(Outlet::imgView):
        return categoryIconName(file);
    case outletRole(Outlet::lblSize):
        return getSizeInUnits(double(file.fileSize));
    case outletRole(Outlet::lblCretedDate):
        return dateText(file.createDate);
    case outletRole(Outlet::lblModifiedDate):
        return dateText(file.modDate);
    case outletRole(Outlet::lblExt):
        return file.fileExtension.isEmpty() ? QStringLiteral("-") : file.fileExtension;
    case outletRole(Outlet::lblFilePath):
        return file.filePath.value_or(QString());
    default:
        return {};
    }
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= columnCountValue)
        return {};
    return columnTitles_[section];
}

void ResultsModel::emitCheckChanged(const QModelIndex& index)
{
    if (kindOf(index) == RowKind::group) {
        emit dataChanged(index, index, { outletRole(Outlet::btnCheckBox), outletRole(Outlet::lblCount) });
    } else {
        emit dataChanged(index, index, { outletRole(Outlet::btnCheckBox) });
    }
}

void ResultsModel::fileMarkChanged(const FileInfoNodePtr& file)
{
    const DuplicateGroupPtr parent = file ? file->parent.lock() : nullptr;
    const int found = groupPositions_.find(parent.get());
    if (found < 0)
        return;
    const int row = groups_[size_t(found)].rowOf(file.get());
    if (row < 0)
        return;
    const QModelIndex group = groupIndex(found);
    emitCheckChanged(index(row, checkColumn, group));
    emitCheckChanged(group);
}

void ResultsModel::groupRowChanged(const DuplicateGroupPtr& group)
{
    const int found = groupPositions_.find(group.get());
    if (found >= 0)
        emitCheckChanged(groupIndex(found));
}

void ResultsModel::allMarksChanged()
{
    if (groups_.empty())
        return;
    // One change however many groups and files: each view repaints once
    // instead of looking up, and re-measuring, row after row.
    emit dataChanged(groupIndex(0, checkColumn), groupIndex(int(groups_.size()) - 1, checkColumn),
        { outletRole(Outlet::btnCheckBox), outletRole(Outlet::lblCount), filesOfGroupsRole });
}

QModelIndex ResultsModel::indexOf(const Identity& identity) const
{
    const int group = groupPositions_.find(identity.group);
    if (group < 0)
        return {};
    if (identity.titleRow)
        return index(0, identity.column, groupIndex(group));
    if (!identity.file)
        return groupIndex(group, identity.column);
    const int row = groups_[size_t(group)].rowOf(identity.file);
    if (row < 0)
        return {};
    return index(row, identity.column, groupIndex(group));
}

void ResultsModel::shownGroupsChanged()
{
    changeShownRows([this] { takeShownGroups(); });
}

MarkingObserver::RowPreparer ResultsModel::rowPreparer() const
{
    return [](const std::vector<DuplicateGroupPtr>& shown) {
        return std::any(std::make_shared<PreparedRows>(prepareRows(shown)));
    };
}

void ResultsModel::shownGroupsPrepared(std::any rows)
{
    auto* prepared = std::any_cast<std::shared_ptr<PreparedRows>>(&rows);
    if (!prepared || !*prepared) {
        shownGroupsChanged();
        return;
    }
    changeShownRows([this, &prepared] {
        if (!reorderedFiles_.positions.empty())
            releaseElsewhere(std::exchange(reorderedFiles_, {}));
        releaseElsewhere(std::exchange(groups_, std::move((*prepared)->groups)));
        rows_ = std::move((*prepared)->rows);
        groupPositions_ = std::move((*prepared)->positions);
    });
}

void ResultsModel::changeShownRows(const std::function<void()>& take)
{
    emit layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    std::vector<Identity> identities;
    identities.reserve(size_t(before.size()));
    for (const QModelIndex& index : before) {
        const DuplicateGroupPtr group = groupOf(index);
        const FileInfoNodePtr file = fileOf(index);
        identities.push_back({ group.get(), file.get(), kindOf(index) == RowKind::columnTitles, index.column() });
    }
    take();
    QModelIndexList after;
    after.reserve(before.size());
    for (const Identity& identity : identities)
        after.append(indexOf(identity));
    changePersistentIndexList(before, after);
    emit layoutChanged();
    if (hooks_.shownGroupsChanged)
        hooks_.shownGroupsChanged();
}

void ResultsModel::groupFilesReordered(std::size_t position)
{
    const std::vector<DuplicateGroupPtr>& shown = state_.arrGroups;
    if (position >= shown.size())
        return;
    std::ranges::copy_if(shown[position]->filterChildren, std::back_inserter(reorderedFiles_.files),
        [](const FileInfoNodePtr& file) { return bool(file); });
    reorderedFiles_.positions.push_back(position);
    reorderedFiles_.firstFile.push_back(reorderedFiles_.files.size());
}

void ResultsModel::updateMarkedCountLabel()
{
    if (hooks_.updateMarkedCountLabel)
        hooks_.updateMarkedCountLabel();
}

void ResultsModel::categoryChanged()
{
    if (hooks_.categoryChanged)
        hooks_.categoryChanged();
}

void ResultsModel::showNoDuplicatesPopover(GlobalObjects::FileCategory category, const QString& heading)
{
    if (hooks_.showNoDuplicatesPopover)
        hooks_.showNoDuplicatesPopover(category, heading);
}

void ResultsModel::disableResultToolbar()
{
    if (hooks_.disableResultToolbar)
        hooks_.disableResultToolbar();
}

void ResultsModel::sortOrderChanged()
{
    if (hooks_.sortOrderChanged)
        hooks_.sortOrderChanged();
}

void ResultsModel::duplicatesSummaryChanged()
{
    if (hooks_.duplicatesSummaryChanged)
        hooks_.duplicatesSummaryChanged();
}
