#pragma once

#include "core/FilePathNode.h"
#include "home/LocationAdder.h"

#include <QAbstractTableModel>

class LocationLists;

// The one model behind the three path tables: the rows of the list the
// active tab shows for the selected source. Columns: the row's check box, its
// icon and path, its include-sub-folders box and its remove button; an outlet
// a tab does not offer is left empty. Contents are given under CustomCell's
// outlet roles. The screen calls reload() after every change of a list or of
// the tab or the source. GUI thread only.
class HomePathModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { checkColumn, pathColumn, subFoldersColumn, removeColumn, columnCount_ };

    explicit HomePathModel(LocationLists& lists, QObject* parent = nullptr);

    HomeTab tab() const { return tab_; }
    void setTab(HomeTab tab);
    void reload();

    // The list the tab shows for the selected source; null for no tab.
    const std::vector<FilePathNodePtr>* shownList() const;
    FilePathNodePtr rowNode(int row) const;
    // The text shown for a row: a Drive folder's path in the Drive, else the
    // row's path.
    QString shownPath(int row) const;
    // The icon name of a row by source; for this computer a folder or a file.
    QString iconName(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    LocationLists& lists_;
    HomeTab tab_ = HomeTab::include;
};
