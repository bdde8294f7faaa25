#include "home/HomePathModel.h"

#include "controls/CustomCell.h"
#include "core/FileUtilities.h"
#include "home/LocationLists.h"

#include <QFileInfo>

using Outlet = CustomCell::Outlet;

HomePathModel::HomePathModel(LocationLists& lists, QObject* parent)
    : QAbstractTableModel(parent)
    , lists_(lists)
{
}

void HomePathModel::setTab(HomeTab tab)
{
    beginResetModel();
    tab_ = tab;
    endResetModel();
}

void HomePathModel::reload()
{
    beginResetModel();
    endResetModel();
}

const std::vector<FilePathNodePtr>* HomePathModel::shownList() const
{
    switch (tab_) {
    case HomeTab::include:
        return &lists_.scanListForSource();
    case HomeTab::exclude:
        return &lists_.excludeListForSource();
    case HomeTab::protect:
        return &lists_.protectListForSource();
    default:
        return nullptr;
    }
}

FilePathNodePtr HomePathModel::rowNode(int row) const
{
    const std::vector<FilePathNodePtr>* list = shownList();
    if (!list || row < 0 || static_cast<size_t>(row) >= list->size())
        return nullptr;
    return (*list)[static_cast<size_t>(row)];
}

QString HomePathModel::shownPath(int row) const
{
    const FilePathNodePtr node = rowNode(row);
    if (!node)
        return QString();
    if (tab_ != HomeTab::include && selectedScanSource().load() == ScanSource::googleDrive)
        return node->gdFolder ? node->gdFolder->folderAbsPath : QString();
    return node->filePath.value_or(QString());
}

QString HomePathModel::iconName(int row) const
{
    switch (selectedScanSource().load()) {
    case ScanSource::googleDrive:
        return QStringLiteral("google_drive");
    case ScanSource::dropbox:
        return QStringLiteral("dropbox_icon");
    case ScanSource::oneDrive:
        return QStringLiteral("onedrive_icon");
    case ScanSource::box:
        return QStringLiteral("boxcloud_icon");
    case ScanSource::lightroomCatalog:
        return QStringLiteral("literoom");
    default: {
        const FilePathNodePtr node = rowNode(row);
        const QFileInfo info(node && node->filePath ? *node->filePath : QString());
        return info.isFile() ? QStringLiteral("file_icon") : QStringLiteral("folder_icon");
    }
    }
}

int HomePathModel::rowCount(const QModelIndex& parent) const
{
    const std::vector<FilePathNodePtr>* list = shownList();
    return parent.isValid() || !list ? 0 : static_cast<int>(list->size());
}

int HomePathModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columnCount_;
}

QVariant HomePathModel::data(const QModelIndex& index, int role) const
{
    const FilePathNodePtr node = rowNode(index.row());
    if (!node)
        return QVariant();
    switch (index.column()) {
    case checkColumn:
        if (role == CustomCell::roleOf(Outlet::btnCheckBox) && tab_ != HomeTab::protect)
            return node->state == 1 ? 1 : 0;
        break;
    case pathColumn:
        if (role == CustomCell::roleOf(Outlet::lblFilePath) || role == Qt::ToolTipRole)
            return printablePath(shownPath(index.row()));
        if (role == CustomCell::roleOf(Outlet::imgView))
            return iconName(index.row());
        break;
    case subFoldersColumn:
        if (role == CustomCell::roleOf(Outlet::btnCheckBox) && tab_ != HomeTab::exclude)
            return node->isIncludeSubFolders ? 1 : 0;
        break;
    case removeColumn:
        if (role == CustomCell::roleOf(Outlet::btnDelete))
            return true;
        break;
    default:
        break;
    }
    return QVariant();
}
