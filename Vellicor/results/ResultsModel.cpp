#include "results/ResultsModel.h"

#include "controls/CustomCell.h"
#include "core/CommonFuncs.h"
#include "core/FileUtilities.h"
#include "core/Localization.h"
#include "marking/ContextMenuActions.h"
#include "marking/ResultsState.h"

#include <QFileInfo>
#include <QFontMetrics>
#include <QSize>

#include <algorithm>

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

void ResultsModel::resultSetLoaded(PreparedRows rows)
{
    beginResetModel();
    rows_.load(std::move(rows));
    endResetModel();
}

ResultsModel::RowKind ResultsModel::kindOf(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return RowKind::none;
    if (index.internalId() == 0)
        return RowKind::group;
    return index.row() == 0 ? RowKind::columnTitles : RowKind::file;
}

Qt::ItemFlags ResultsModel::flags(const QModelIndex& index) const
{
    const Qt::ItemFlags flags = QAbstractItemModel::flags(index);
    return kindOf(index) == RowKind::columnTitles ? flags & ~Qt::ItemIsSelectable : flags;
}

DuplicateGroupPtr ResultsModel::groupOf(const QModelIndex& index) const
{
    if (kindOf(index) == RowKind::none)
        return nullptr;
    const quintptr g = index.internalId() == 0 ? quintptr(index.row()) : index.internalId() - 1;
    return rows_.groupRow(int(g)).group;
}

FileInfoNodePtr ResultsModel::fileOf(const QModelIndex& index) const
{
    if (kindOf(index) != RowKind::file)
        return nullptr;
    return rows_.groupRow(int(index.internalId() - 1)).files[size_t(index.row() - 1)];
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

QString ResultsModel::dateText(const std::optional<QDateTime>& date)
{
    return formattedDateText(date, resultDatePattern).value_or(QString());
}

int ResultsModel::widestDateWidth(const QFontMetrics& metrics)
{
    int widest = 0;
    for (const int hour : { 10, 22 }) {
        const QDateTime date(QDate(2028, 12, 28), QTime(hour, 58, 58));
        widest = std::max(widest, metrics.horizontalAdvance(dateText(date)));
    }
    return widest;
}

QString ResultsModel::listColumnText(const FileInfoNode& file, int column)
{
    const QString path = file.filePath.value_or(QString());
    switch (column) {
    case nameColumn:
        return printablePath(file.fileName.value_or(QString()));
    case sizeColumn:
        return getSizeInUnits(double(file.fileSize));
    case createdColumn:
        return dateText(file.createDate);
    case modifiedColumn:
        return dateText(file.modDate);
    case typeColumn:
        return printablePath(pathExtension(path));
    case folderColumn: {
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        return slash < 0 ? QString() : (slash == 0 ? QStringLiteral("/") : printablePath(path.left(slash)));
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
        return row < rows_.groupCount() ? createIndex(row, column, quintptr(0)) : QModelIndex();
    if (kindOf(parent) != RowKind::group || parent.column() != 0)
        return {};
    if (row > int(rows_.groupRow(parent.row()).files.size()))
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
        return rows_.groupCount();
    if (kindOf(parent) != RowKind::group || parent.column() != 0)
        return 0;
    const auto& files = rows_.groupRow(parent.row()).files;
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
        return groupData(rows_.groupRow(index.row()), index.column(), role);
    case RowKind::columnTitles:
        if (role == rowKindRole)
            return int(RowKind::columnTitles);
        return titleData(index.column(), role);
    case RowKind::file:
        if (role == rowKindRole)
            return int(RowKind::file);
        if (role == CustomCell::sharedPartsRole) {
            // The outline's path and the list's folder tell the copies of
            // their group apart.
            if (index.column() != 0 && index.column() != folderColumn)
                return {};
            const GroupRow& row = rows_.groupRow(int(index.internalId()) - 1);
            return QVariant::fromValue(row.sharedPartsOf(index.row() - 1, index.column() == folderColumn));
        }
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
    const QString firstName
        = row.files.empty() ? QString() : printablePath(row.files.front()->fileName.value_or(QString()));
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
    case Qt::ToolTipRole:
        // Where its box would be, a locked file tells why there is none.
        if (file.isLocked)
            return lockedReason(file);
        return printablePath(file.fileName.value_or(QString()));
    case Qt::DisplayRole:
    case outletRole(Outlet::lbltextField):
        return printablePath(file.fileName.value_or(QString()));
    case outletRole(Outlet::imgView):
        return categoryIconName(file);
    case outletRole(Outlet::lblSize):
        return getSizeInUnits(double(file.fileSize));
    case outletRole(Outlet::lblCretedDate):
        return dateText(file.createDate);
    case outletRole(Outlet::lblModifiedDate):
        return dateText(file.modDate);
    case outletRole(Outlet::lblExt):
        return file.fileExtension.isEmpty() ? QStringLiteral("-") : printablePath(file.fileExtension);
    case outletRole(Outlet::lblFilePath):
        return printablePath(file.filePath.value_or(QString()));
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
    const int found = rows_.positionOf(parent.get());
    if (found < 0)
        return;
    const int row = rows_.groupRow(found).rowOf(file.get());
    if (row < 0)
        return;
    const QModelIndex group = groupIndex(found);
    emitCheckChanged(index(row, checkColumn, group));
    emitCheckChanged(group);
}

void ResultsModel::groupRowChanged(const DuplicateGroupPtr& group)
{
    const int found = rows_.positionOf(group.get());
    if (found >= 0)
        emitCheckChanged(groupIndex(found));
}

void ResultsModel::allMarksChanged()
{
    if (rows_.groupCount() == 0)
        return;
    // One change however many groups and files: each view repaints once
    // instead of looking up, and re-measuring, row after row.
    emit dataChanged(groupIndex(0, checkColumn), groupIndex(rows_.groupCount() - 1, checkColumn),
        { outletRole(Outlet::btnCheckBox), outletRole(Outlet::lblCount), filesOfGroupsRole });
}

QModelIndex ResultsModel::indexOf(const Identity& identity) const
{
    const int group = rows_.positionOf(identity.group);
    if (group < 0)
        return {};
    if (identity.titleRow)
        return index(0, identity.column, groupIndex(group));
    if (!identity.file)
        return groupIndex(group, identity.column);
    const int row = rows_.groupRow(group).rowOf(identity.file);
    if (row < 0)
        return {};
    return index(row, identity.column, groupIndex(group));
}

void ResultsModel::shownGroupsChanged()
{
    changeShownRows([this] { rows_.takeShownGroups(state_); });
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
    rows_.groupFilesReordered(state_.arrGroups, position);
    if (hooks_.groupFilesReordered)
        hooks_.groupFilesReordered(position);
}

MarkingObserver::PrepareShownGroups ResultsModel::prepareShownGroups(PreparedFrom from)
{
    return rows_.prepareShownGroups(from);
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
