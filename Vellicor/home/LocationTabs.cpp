#include "home/LocationTabs.h"

#include "controls/ApplicationFont.h"
#include "controls/ButtonKeys.h"
#include "controls/CustomCell.h"
#include "controls/CustomTableView.h"
#include "controls/RAZButton.h"
#include "core/Localization.h"
#include "home/HomeLook.h"
#include "home/HomePathModel.h"
#include "home/LocationLists.h"
#include "platform/DesktopOpening.h"

#include <QHeaderView>
#include <QMenu>
#include <QPushButton>

LocationTabs::LocationTabs(LocationLists& lists, QWidget* view)
    : lists_(lists)
{
    model_ = new HomePathModel(lists_, view);

    const char* boxes[] = { "boxBottomFirstTab", "boxBottomSecondTab", "boxBottomThirdTab" };
    const char* texts[] = { "textFirstTab", "textSecondTab", "textThirdTab" };
    const char* buttons[] = { "btnInclue", "btnExclude", "btnProtected" };
    for (int i = 0; i < 3; ++i) {
        tabBoxes_[i] = new QFrame(view);
        tabBoxes_[i]->setObjectName(homeName(boxes[i]));
        tabTexts_[i] = makeHomeLabel(texts[i], tabBoxes_[i], 14, true);
        tabTexts_[i]->setAlignment(Qt::AlignCenter);
        auto* button = new QPushButton(tabBoxes_[i]);
        button->setObjectName(homeName(buttons[i]));
        button->setCheckable(true);
        button->setFlat(true);
        button->setCursor(Qt::PointingHandCursor);
        button->setStyleSheet(
            QStringLiteral("QPushButton { background: transparent; border: none; }") + focusRingStyleSheet());
        tabButtons_[i] = button;
    }
    btnSetting_ = new RAZButton(view);
    btnSetting_->setObjectName(homeName("btnSetting"));

    // Context menu of the tables; each item's data is its tag.
    menu_ = new QMenu(view);
    menuRevelInFinder_ = menu_->addAction(QString());
    menuRevelInFinder_->setData(0);
    menu_->addSeparator();
    menuCheckAll_ = menu_->addAction(QString());
    menuCheckAll_->setData(1);
    menuUncheckAll_ = menu_->addAction(QString());
    menuUncheckAll_->setData(2);
    menu_->addSeparator();
    menuRemoveFromScanList_ = menu_->addAction(QString());
    menuRemoveFromScanList_->setData(3);
    menuRemoveAllFromScanList_ = menu_->addAction(QString());
    menuRemoveAllFromScanList_->setData(4);

    // Path tables.
    auto* container = makeHomeBox("containerView", view, HomeLook::panel, 6);
    const char* views[] = { "viewInclude", "viewExclude", "viewProtect" };
    const char* tables[] = { "tblInclude", "tblExcludes", "tblProtected" };
    for (int i = 0; i < 3; ++i) {
        tabViews_[i] = new QWidget(container);
        tabViews_[i]->setObjectName(homeName(views[i]));
        tables_[i] = makeTable(tables[i], tabViews_[i]);
    }
    for (const char* heading : { "lblFolderPathInclude", "lblIncludeSubFolderInclude", "lblActionInclude" })
        makeHomeLabel(heading, tabViews_[0], 12, true)->setPalette(tabTexts_[0]->palette());
    makeHomeLabel("lblHeaderExclude", tabViews_[1], 12, true);
    for (const char* heading : { "lblFolderPathProtect", "lblIncludeSubFolderProtect", "lblActionProtect" })
        makeHomeLabel(heading, tabViews_[2], 12, true);
    for (QWidget* tabView : tabViews_) {
        for (QLabel* heading : tabView->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
            setLabelColor(heading, HomeLook::caption);
            heading->setAlignment(heading->objectName().contains(QLatin1String("FolderPath"))
                        || heading->objectName() == QLatin1String("lblHeaderExclude")
                    ? Qt::AlignLeft | Qt::AlignVCenter
                    : Qt::AlignCenter);
        }
    }

    for (int i = 0; i < 3; ++i)
        connect(tabButtons_[i], &QAbstractButton::clicked, this, [this, i] { emit tabTapped(i + 1); });
    connect(btnSetting_, &QAbstractButton::clicked, this, [this] { emit tabTapped(4); });
    for (QAction* item : menu_->actions()) {
        if (!item->isSeparator())
            connect(item, &QAction::triggered, this, [this, item] { emit menuItemChosen(item->data().toInt()); });
    }
    connect(menu_, &QMenu::aboutToShow, this, [this] {
        for (QAction* item : menu_->actions()) {
            if (!item->isSeparator())
                item->setEnabled(validateMenuItem(item));
        }
    });
}

CustomTableView* LocationTabs::makeTable(const char* objectName, QWidget* parent)
{
    auto* table = new CustomTableView(parent);
    table->setObjectName(homeName(objectName));
    table->setModel(model_);
    auto* checkCell = new CustomCell(table);
    checkCell->setSlot(CustomCell::Outlet::btnCheckBox, CustomCell::Slot(10, 18));
    auto* pathCell = new CustomCell(table);
    pathCell->setSlot(CustomCell::Outlet::imgView, CustomCell::Slot(4, 22));
    pathCell->setSlot(CustomCell::Outlet::lblFilePath, CustomCell::Slot(34, -6));
    auto* subFolderCell = new CustomCell(table);
    subFolderCell->setSlot(CustomCell::Outlet::btnCheckBox, CustomCell::Slot(56, 18));
    auto* removeCell = new CustomCell(table);
    removeCell->setSlot(CustomCell::Outlet::btnDelete, CustomCell::Slot(20, 20));
    table->setItemDelegateForColumn(HomePathModel::checkColumn, checkCell);
    table->setItemDelegateForColumn(HomePathModel::pathColumn, pathCell);
    table->setItemDelegateForColumn(HomePathModel::subFoldersColumn, subFolderCell);
    table->setItemDelegateForColumn(HomePathModel::removeColumn, removeCell);
    for (CustomCell* cell : { checkCell, pathCell, subFolderCell, removeCell }) {
        connect(cell, &CustomCell::buttonTapped, this,
            [this](const QModelIndex& index, CustomCell::Outlet outlet) { cellTapped(index, int(outlet)); });
    }
    table->horizontalHeader()->hide();
    table->verticalHeader()->hide();
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(40);
    table->setShowGrid(false);
    table->setFrameShape(QFrame::NoFrame);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->horizontalHeader()->setSectionResizeMode(HomePathModel::pathColumn, QHeaderView::Stretch);
    table->setColumnWidth(HomePathModel::checkColumn, 36);
    table->setColumnWidth(HomePathModel::subFoldersColumn, 130);
    table->setColumnWidth(HomePathModel::removeColumn, 60);
    QPalette palette = table->palette();
    palette.setColor(QPalette::Base, HomeLook::panel);
    palette.setColor(QPalette::Text, QColor(220, 222, 226));
    palette.setColor(QPalette::HighlightedText, QColor(220, 222, 226));
    table->setPalette(palette);
    table->setMenu(menu_);
    // Space is the row's check box, as a click on it.
    connect(table, &CustomTableView::checkKeyPressed, this, [this, table] {
        const QModelIndex current = table->currentIndex();
        if (!current.isValid())
            return;
        const int row = current.row();
        const int column = current.column();
        cellTapped(current.siblingAtColumn(HomePathModel::checkColumn), int(CustomCell::Outlet::btnCheckBox));
        // The list is reloaded with the change; the keys stay on the row.
        if (row < model_->rowCount())
            table->setCurrentIndex(model_->index(row, column));
    });
    return table;
}

void LocationTabs::localize()
{
    const std::pair<QLabel*, const char*> tabTitles[] = { { tabTexts_[0], "ID_INCLUDE_FILE_FOLDER" },
        { tabTexts_[1], "ID_EXCLUDE_FILE_FOLDER" }, { tabTexts_[2], "ID_PROTECTED_FOLDERS" } };
    for (const auto& [text, key] : tabTitles)
        text->setText(localizedText(key));
    setLocalizedTexts(tabViews_[0]->parentWidget(),
        {
            { "lblHeaderExclude", "ID_EXCLUDE_FOLLOWING_FILES_FROM_SCANNING" },
            { "lblActionInclude", "ID_ACTION" },
            { "lblActionProtect", "ID_ACTION" },
            { "lblFolderPathInclude", "ID_FOLDER_PATH" },
            { "lblFolderPathProtect", "ID_FOLDER_PATH" },
            { "lblIncludeSubFolderInclude", "ID_INCLUDE_SUB_FOLDER" },
            { "lblIncludeSubFolderProtect", "ID_INCLUDE_SUB_FOLDER" },
        });
    menuRevelInFinder_->setText(localizedText("ID_REVEAL_IN_FINDER"));
    menuCheckAll_->setText(localizedText("ID_CHECK_ALL"));
    menuUncheckAll_->setText(localizedText("ID_UNCHECK_ALL"));
    menuRemoveFromScanList_->setText(localizedText("ID_REMOVE_FROM_SCAN_LIST"));
    menuRemoveAllFromScanList_->setText(localizedText("ID_REMOVE_ALL_FROM_SCAN_LIST"));
    btnSetting_->setText(localizedText("ID_SETTINGS"));
}

void LocationTabs::finishSetUp()
{
    const auto rgb = [](int r, int g, int b) { return QColor(r, g, b); };
    btnSetting_->setButtonInsideColor(rgb(49, 49, 49), rgb(190, 190, 190), Qt::white, rgb(23, 234, 234),
        rgb(49, 49, 49), rgb(169, 169, 169), 0, 13, false, false, 0);
    btnSetting_->setFont(systemFontOfSize(13));
    for (int i = 0; i < 3; ++i) {
        tabViews_[i]->setVisible(i == 0);
        tabButtons_[i]->setToolTip(tabTexts_[i]->text());
    }
}

HomeTab LocationTabs::activeTab() const
{
    if (tabButtons_[0]->isChecked())
        return HomeTab::include;
    if (tabButtons_[1]->isChecked())
        return HomeTab::exclude;
    if (tabButtons_[2]->isChecked())
        return HomeTab::protect;
    return HomeTab::none;
}

void LocationTabs::setTabLook(int tag)
{
    for (int i = 0; i < 3; ++i) {
        const bool on = i + 1 == tag;
        tabButtons_[i]->setChecked(on);
        tabBoxes_[i]->setStyleSheet(
            QStringLiteral("QFrame#%1 { background: %2; border: %3; border-top-left-radius: 6px; "
                           "border-top-right-radius: 6px; }")
                .arg(tabBoxes_[i]->objectName(), on ? HomeLook::panel.name() : HomeLook::screen.name(),
                    on ? QStringLiteral("none") : QStringLiteral("1px solid #3a3c40")));
        setLabelColor(tabTexts_[i], on ? QColor(Qt::white) : HomeLook::tabTextOff);
        tabViews_[i]->setVisible(on);
    }
}

void LocationTabs::showTab(int tag)
{
    setTabLook(tag);
    model_->setTab(tag == 1 ? HomeTab::include : tag == 2 ? HomeTab::exclude : HomeTab::protect);
}

void LocationTabs::reload()
{
    model_->reload();
}

void LocationTabs::cellTapped(const QModelIndex& index, int outlet)
{
    const FilePathNodePtr node = model_->rowNode(index.row());
    if (!node)
        return;
    if (outlet == int(CustomCell::Outlet::btnDelete)) {
        emit removeTapped(index.row());
    } else if (outlet == int(CustomCell::Outlet::btnCheckBox)) {
        if (index.column() == HomePathModel::checkColumn)
            emit checkTapped(index.row(), node->state != 1);
        else
            emit subFoldersTapped(index.row(), !node->isIncludeSubFolders);
    }
}

bool LocationTabs::removeRow(int row)
{
    bool removed = false;
    switch (activeTab()) {
    case HomeTab::include:
        removed = lists_.removeScanRow(row);
        break;
    case HomeTab::exclude:
        removed = lists_.removeExcludeRow(row);
        break;
    case HomeTab::protect:
        removed = lists_.removeProtectRow(row);
        break;
    default:
        break;
    }
    if (removed)
        reload();
    return removed;
}

void LocationTabs::saveEditedList(HomeTab tab)
{
    switch (tab) {
    case HomeTab::include:
        lists_.savePathsBookmark();
        break;
    case HomeTab::exclude:
        lists_.saveExcludedFolders();
        break;
    case HomeTab::protect:
        lists_.saveProtectedFolders();
        break;
    default:
        return;
    }
    reload();
}

void LocationTabs::includeSubFolders(int row, bool on)
{
    const HomeTab tab = activeTab();
    if (tab != HomeTab::include && tab != HomeTab::protect)
        return;
    const FilePathNodePtr node = model_->rowNode(row);
    if (!node)
        return;
    node->isIncludeSubFolders = on;
    saveEditedList(tab);
}

HomeTab LocationTabs::setRowChecked(int row, bool on)
{
    const HomeTab tab = activeTab();
    if (tab != HomeTab::include && tab != HomeTab::exclude)
        return HomeTab::none;
    const FilePathNodePtr node = model_->rowNode(row);
    if (!node)
        return HomeTab::none;
    node->state = on ? 1 : 0;
    saveEditedList(tab);
    return tab;
}

HomeTab LocationTabs::setAllRowStates(int state)
{
    const HomeTab tab = activeTab();
    if (tab != HomeTab::include && tab != HomeTab::exclude)
        return HomeTab::none;
    for (const FilePathNodePtr& row : *model_->shownList()) {
        if (row)
            row->state = state;
    }
    saveEditedList(tab);
    return tab;
}

HomeTab LocationTabs::clearShownList()
{
    const ScanSource source = selectedScanSource().load();
    // Only the shown source's list: the other sources' lists (and this
    // computer's default exclusions, on the Include tab) stay.
    const HomeTab tab = activeTab();
    switch (tab) {
    case HomeTab::include:
        lists_.sources.replace(source, SourceList::scan, {});
        break;
    case HomeTab::exclude:
        lists_.sources.replace(source, SourceList::exclude, {});
        break;
    case HomeTab::protect:
        lists_.sources.replace(source, SourceList::protect, {});
        break;
    default:
        return HomeTab::none;
    }
    reload();
    return tab;
}

CustomTableView* LocationTabs::shownTable() const
{
    const int tabIndex = int(activeTab()) - 1;
    return tabIndex < 0 ? nullptr : tables_[tabIndex];
}

std::optional<int> LocationTabs::selectedRow() const
{
    const CustomTableView* table = shownTable();
    if (!table)
        return std::nullopt;
    const QModelIndexList selected = table->selectionModel()->selectedRows();
    if (selected.isEmpty())
        return std::nullopt;
    return selected.first().row();
}

void LocationTabs::revealSelected()
{
    if (selectedScanSource().load() != ScanSource::thisComputer)
        return;
    const std::optional<int> row = selectedRow();
    if (!row)
        return;
    const FilePathNodePtr node = model_->rowNode(*row);
    const QString path = node && node->filePath ? *node->filePath : QString();
    revealInFileManagerOrSay(path);
}

bool LocationTabs::validateMenuItem(QAction* item)
{
    const int tag = item->data().toInt();
    const ScanSource source = selectedScanSource().load();
    const bool remove = item == menuRemoveFromScanList_;
    const bool removeAll = item == menuRemoveAllFromScanList_;
    switch (activeTab()) {
    case HomeTab::include: {
        if (remove)
            item->setText(localizedText("ID_REMOVE_FROM_SCAN_LIST"));
        if (removeAll)
            item->setText(localizedText("ID_REMOVE_ALL_FROM_SCAN_LIST"));
        if (source != ScanSource::thisComputer)
            return tag != 0;
        return tables_[0]->selectionModel()->hasSelection() && lists_.hasScanRow();
    }
    case HomeTab::exclude:
        if (remove)
            item->setText(localizedText("ID_REMOVE_FROM_EXCLUDE_LIST"));
        if (removeAll)
            item->setText(localizedText("ID_REMOVE_ALL_FROM_EXCLUDE_LIST"));
        return tag != 0 || (source != ScanSource::googleDrive && source != ScanSource::dropbox);
    case HomeTab::protect:
        if (item == menuRevelInFinder_)
            return source == ScanSource::thisComputer;
        if (remove) {
            item->setText(localizedText("ID_REMOVE_FROM_PROTECTION_LIST"));
            return true;
        }
        if (removeAll) {
            item->setText(localizedText("ID_REMOVE_ALL_FROM_PROTECTION_LIST"));
            return true;
        }
        return false;
    default:
        return false;
    }
}
