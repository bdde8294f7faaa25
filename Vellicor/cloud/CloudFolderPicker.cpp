#include "cloud/CloudFolderPicker.h"

#include "base/AlertPresenter.h"
#include "base/Log.h"
#include "base/ReleaseElsewhere.h"
#include "cloud/CloudSourceController.h"
#include "controls/ApplicationFont.h"
#include "controls/ButtonStyles.h"
#include "controls/CustomOutlineView.h"
#include "controls/CustomTablerow.h"
#include "controls/CustomWindowNag.h"
#include "controls/GradientBox.h"
#include "controls/IMGButton.h"
#include "controls/RAZButton.h"
#include "controls/SheetPanel.h"
#include "core/FileUtilities.h"
#include "core/Localization.h"
#include "core/TextFormat.h"
#include "home/MainViewController.h"
#include "platform/ReachabilityTest.h"
#include "scan/InternetAlert.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QTimer>

#include <functional>
#include <tuple>
#include <utility>

namespace {

const QColor lightText(230, 231, 233);
constexpr int boxWidth = 520;
constexpr int boxHeight = 440;
constexpr int margin = 20;

const char* headingKey(HomeTab tab)
{
    switch (tab) {
    case HomeTab::exclude:
        return "ID_EXCLUDE_TO_SCAN";
    case HomeTab::protect:
        return "ID_PROTECT_FOLDER";
    default:
        return "ID_INCLUDE_TO_SCAN";
    }
}

} // namespace

// ---- CloudFolderTreeModel ----------------------------------------------------

void CloudFolderTreeModel::setRoot(CloudScanFoldersListPtr root)
{
    // A tree let go of may hold the folders of a listing of millions: it goes
    // on the pool with the shape taken of it, and the memory with it, so that
    // neither its end nor the heap it leaves weighs on the window.
    if (root_ && root_ != root)
        releaseElsewhereGivingBack(std::make_tuple(std::move(root_), std::move(top_), std::move(kids_)));
    root_ = std::move(root);
    reload();
}

void CloudFolderTreeModel::reload()
{
    beginResetModel();
    top_.clear();
    kids_.clear();
    place_.clear();
    if (root_) {
        top_.push_back(root_);
        place_[root_.get()] = { nullptr, 0 };
        snapshot(root_);
    }
    endResetModel();
}

void CloudFolderTreeModel::snapshot(const CloudScanFoldersListPtr& node)
{
    std::vector<CloudScanFoldersListPtr>& kids = kids_[node.get()];
    for (const CloudScanFoldersListPtr& child : node->children) {
        // A node met twice (a service that lists a folder under itself) is
        // shown once, so the walk of the snapshot always ends.
        if (!child || place_.count(child.get()))
            continue;
        place_[child.get()] = { node.get(), static_cast<int>(kids.size()) };
        kids.push_back(child);
    }
    for (const CloudScanFoldersListPtr& child : std::vector<CloudScanFoldersListPtr>(kids))
        snapshot(child);
}

const std::vector<CloudScanFoldersListPtr>& CloudFolderTreeModel::kidsOf(const CloudScanFoldersList* node) const
{
    static const std::vector<CloudScanFoldersListPtr> none;
    if (!node)
        return top_;
    const auto it = kids_.find(node);
    return it == kids_.end() ? none : it->second;
}

CloudScanFoldersListPtr CloudFolderTreeModel::nodeAt(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    const auto* node = static_cast<const CloudScanFoldersList*>(index.internalPointer());
    const auto it = place_.find(node);
    if (it == place_.end())
        return nullptr;
    const auto& siblings = kidsOf(it->second.first);
    return siblings.at(static_cast<size_t>(it->second.second));
}

QModelIndex CloudFolderTreeModel::indexOf(const CloudScanFoldersList* node) const
{
    const auto it = place_.find(node);
    if (it == place_.end())
        return QModelIndex();
    return createIndex(it->second.second, 0, const_cast<CloudScanFoldersList*>(node));
}

QModelIndex CloudFolderTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0 || (parent.isValid() && parent.model() != this))
        return QModelIndex();
    const auto* parentNode = static_cast<const CloudScanFoldersList*>(parent.internalPointer());
    const auto& kids = kidsOf(parent.isValid() ? parentNode : nullptr);
    if (static_cast<size_t>(row) >= kids.size())
        return QModelIndex();
    return createIndex(row, 0, kids[static_cast<size_t>(row)].get());
}

QModelIndex CloudFolderTreeModel::parent(const QModelIndex& child) const
{
    if (!child.isValid())
        return QModelIndex();
    const auto it = place_.find(static_cast<const CloudScanFoldersList*>(child.internalPointer()));
    if (it == place_.end() || !it->second.first)
        return QModelIndex();
    return indexOf(it->second.first);
}

int CloudFolderTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    return static_cast<int>(
        kidsOf(parent.isValid() ? static_cast<const CloudScanFoldersList*>(parent.internalPointer()) : nullptr).size());
}

int CloudFolderTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool CloudFolderTreeModel::hasChildren(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return !top_.empty();
    if (rowCount(parent) > 0)
        return true;
    const CloudScanFoldersListPtr node = nodeAt(parent);
    return node && mayHaveChildren && mayHaveChildren(*node);
}

QVariant CloudFolderTreeModel::data(const QModelIndex& index, int role) const
{
    const CloudScanFoldersListPtr node = nodeAt(index);
    if (!node)
        return QVariant();
    // Names as the service gave them, each on one line.
    if (role == Qt::DisplayRole)
        return printablePath(node->folderName.isEmpty() ? node->folderPath : node->folderName);
    if (role == Qt::ToolTipRole)
        return printablePath(node->folderPath);
    if (role == Qt::SizeHintRole)
        return QSize(-1, 24);
    return QVariant();
}

// ---- CloudFolderPicker -------------------------------------------------------

CloudFolderPicker::CloudFolderPicker(MainViewController& home, CloudSourceController& sources)
    : QObject(&home)
    , home_(home)
    , sources_(sources)
    , adder_(home.lists())
{
    buildSheet();
    sources.setPickerReload([this] { folderListingEnded(); });
    home_.setCloudFolderPicker([this](HomeTab tab) { showCloudFolderPicker(tab); });
}

CloudFolderPicker::~CloudFolderPicker() = default;

void CloudFolderPicker::buildSheet()
{
    windowGoogleDriveFolderList = makeSheetWindow(home_.window(), QStringLiteral("windowGoogleDriveFolderList"));

    boxGoogleDriveFolderList = new SheetPanel(windowGoogleDriveFolderList);
    boxGoogleDriveFolderList->setObjectName(QStringLiteral("boxGoogleDriveFolderList"));
    boxGoogleDriveFolderList->resize(boxWidth, boxHeight);

    GradientBox* header = makeSheetHeader(boxGoogleDriveFolderList, boxWidth);
    lblFolderListHeading
        = makeSheetLabel(header, QStringLiteral("lblFolderListHeading"), QString(), 14, lightText, QFont::DemiBold);
    lblFolderListHeading->setWordWrap(false);
    lblFolderListHeading->setGeometry(16, 0, boxWidth - 32, 38);

    model_ = new CloudFolderTreeModel(this);
    model_->mayHaveChildren = [this](const CloudScanFoldersList& node) {
        return node.children.empty() && !node.isAllFilesFetched && !listed_.count(&node);
    };
    outlineGDFolderList = new CustomOutlineView(boxGoogleDriveFolderList);
    outlineGDFolderList->setObjectName(QStringLiteral("outlineGDFolderList"));
    outlineGDFolderList->setModel(model_);
    outlineGDFolderList->setRowView(std::make_shared<CustomTablerowHome>());
    outlineGDFolderList->setUniformRowHeights(true);
    outlineGDFolderList->setHeaderHidden(true);
    outlineGDFolderList->setSelectionMode(QAbstractItemView::SingleSelection);
    outlineGDFolderList->setSelectionBehavior(QAbstractItemView::SelectRows);
    outlineGDFolderList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    outlineGDFolderList->setFont(systemFontOfSize(13));
    outlineGDFolderList->setGeometry(margin, 38 + 14, boxWidth - 2 * margin, boxHeight - 38 - 14 - 64);
    connect(outlineGDFolderList, &QTreeView::expanded, this,
        [this](const QModelIndex& index) { outlineItemDidExpand(index); });
    connect(outlineGDFolderList->selectionModel(), &QItemSelectionModel::selectionChanged, this,
        [this] { outlineSelectionDidChange(); });
    // A reset replaces the selection model's contents but not the object.
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { btnAddFolderGDrive->setEnabled(false); });

    const int bottomY = boxHeight - 50;
    hudFolderList = new QProgressBar(boxGoogleDriveFolderList);
    hudFolderList->setObjectName(QStringLiteral("hudFolderList"));
    hudFolderList->setRange(0, 0);
    hudFolderList->setTextVisible(false);
    hudFolderList->setGeometry(margin, bottomY + 11, 120, 10);
    hudFolderList->hide();

    btnRefreshGDriveFolderList = new RAZButton(boxGoogleDriveFolderList);
    btnRefreshGDriveFolderList->setObjectName(QStringLiteral("btnRefreshGDriveFolderList"));
    btnRefreshGDriveFolderList->setText(localizedText("ID_REFRESH"));
    applyResultButtonStyle(btnRefreshGDriveFolderList);
    btnRefreshGDriveFolderList->setFont(systemFontOfSize(btnRefreshGDriveFolderList->cell().textFontSize()));
    btnRefreshGDriveFolderList->setGeometry(margin + 132, bottomY + 3, 96, 26);

    btnAddFolderGDrive = makeSheetDefaultButton(boxGoogleDriveFolderList, QStringLiteral("btnAddFolderGDrive"));
    btnAddFolderGDrive->setText(localizedText("ID_ADD"));
    btnAddFolderGDrive->setGeometry(boxWidth - margin - 110, bottomY, 110, 32);
    btnAddFolderGDrive->setEnabled(false);

    btnCancelGDrive = new RAZButton(boxGoogleDriveFolderList);
    btnCancelGDrive->setObjectName(QStringLiteral("btnCancelGDrive"));
    btnCancelGDrive->setText(localizedText("ID_CANCEL"));
    applyResultButtonStyle(btnCancelGDrive);
    btnCancelGDrive->setFont(systemFontOfSize(btnCancelGDrive->cell().textFontSize()));
    btnCancelGDrive->setGeometry(boxWidth - margin - 110 - 12 - 96, bottomY + 3, 96, 26);

    connect(btnAddFolderGDrive, &QAbstractButton::clicked, this, [this] { btnAddFolderGDriveTapped(); });
    connect(btnCancelGDrive, &QAbstractButton::clicked, this, [this] { closeGDriveFolderList(); });
    connect(
        btnRefreshGDriveFolderList, &QAbstractButton::clicked, this, [this] { btnRefreshGDriveFolderListTapped(); });
    // Escape cancels, a listing under way too.
    connect(windowGoogleDriveFolderList, &QDialog::rejected, this, [this] { closeGDriveFolderList(); });
}

void CloudFolderPicker::layOutSheet()
{
    QWidget* over = windowGoogleDriveFolderList->parentWidget();
    layOutSheetOver(windowGoogleDriveFolderList, boxGoogleDriveFolderList,
        over ? over->window()->geometry() : QRect(QPoint(), boxGoogleDriveFolderList->size()));
}

void CloudFolderPicker::showCloudFolderPicker(HomeTab tab)
{
    openFor(tab, nullptr);
}

void CloudFolderPicker::openFor(HomeTab tab, std::function<void(const QString&)> browsed)
{
    ScanSources& sources = home_.lists().sources;
    const ScanSource source = selectedScanSource().load();
    ScanWrapper* handler = source == ScanSource::thisComputer ? nullptr : sources.handler(source);
    if (!handler) {
        sources_.sayNotSetUp(source);
        return;
    }
    if (!handler->isAuthenticateForScan) {
        // The folder list follows the sign-in, for the same tab or the same
        // Browse. Asked for by the assistant, the sheet offers no switch of
        // source.
        const bool forAssistant = static_cast<bool>(browsed);
        sources_.showSignInSheet(forAssistant, [this, tab, browsed = std::move(browsed)] { openFor(tab, browsed); });
        return;
    }
    tab_ = tab;
    browsed_ = std::move(browsed);
    open_ = true;
    if (handler->isFileDeletedFromCloud) {
        sources.resetFolderTree(source);
        handler->isFileDeletedFromCloud = false;
    }
    if (!handler->rootFolderObj && source == ScanSource::googleDrive && !isInternetAvailable()) {
        // The Drive tree is first built online: until then the sheet stands
        // empty, and the next opening or Refresh builds it.
        showInternetUnavailableAlert();
        model_->setRoot(nullptr);
    } else if (!handler->rootFolderObj) {
        loading_.clear();
        listed_.clear();
        const CloudScanFoldersListPtr root = sources.folderTree(source);
        handler->isCompletListFetch = false;
        model_->setRoot(root);
        if (root && root->children.empty())
            listChildren(root);
    } else if (model_->root() != handler->rootFolderObj) {
        model_->setRoot(handler->rootFolderObj);
    }
    if (!windowGoogleDriveFolderList->isVisible())
        showCloudFolderListSheet(true);
}

void CloudFolderPicker::showCloudFolderListSheet(bool show)
{
    if (!show) {
        Log::print("cancel drive folder list");
        windowGoogleDriveFolderList->hide();
        // Nobody waits for a listing of a closed picker: it ends now, starts
        // nothing and tells nothing. The folders it was for close, so that
        // opening one lists it again.
        open_ = false;
        if (ScanWrapper* handler = std::exchange(listingHandler_, nullptr))
            handler->stopPickerListings();
        for (const CloudScanFoldersList* folder : std::exchange(loading_, {}))
            outlineGDFolderList->collapse(model_->indexOf(folder));
        pendingListings_ = 0;
        setFolderListHudHidden(true);
        return;
    }
    open_ = true;
    // Over whatever window-modal sheet stands now (the assistant's), else
    // over the main window.
    QWidget* over = QApplication::activeModalWidget();
    if (!over || over == windowGoogleDriveFolderList)
        over = home_.window();
    if (windowGoogleDriveFolderList->parentWidget() != over)
        windowGoogleDriveFolderList->setParent(over, windowGoogleDriveFolderList->windowFlags());
    outlineGDFolderList->clearSelection();
    btnAddFolderGDrive->setEnabled(false);
    lblFolderListHeading->setText(localizedText(headingKey(tab_)));
    layOutSheet();
    windowGoogleDriveFolderList->open();
}

void CloudFolderPicker::closeGDriveFolderList()
{
    showCloudFolderListSheet(false);
    if (std::function<void(const QString&)> browsed = std::move(browsed_)) {
        browsed_ = nullptr;
        browsed(QString());
    }
}

void CloudFolderPicker::listChildren(const CloudScanFoldersListPtr& folder)
{
    ScanWrapper* handler = home_.lists().sources.handler(selectedScanSource().load());
    if (!handler || !folder)
        return;
    loading_.insert(folder.get());
    listingHandler_ = handler;
    ++pendingListings_;
    btnAddFolderGDrive->setEnabled(false);
    setFolderListHudHidden(false);
    handler->fetchChildFolders(folder);
}

void CloudFolderPicker::outlineItemDidExpand(const QModelIndex& index)
{
    const CloudScanFoldersListPtr node = model_->nodeAt(index);
    if (!node || !node->children.empty() || node->isAllFilesFetched || loading_.count(node.get())
        || listed_.count(node.get()))
        return;
    listChildren(node);
}

void CloudFolderPicker::outlineSelectionDidChange()
{
    btnAddFolderGDrive->setEnabled(false);
    const QModelIndexList rows = outlineGDFolderList->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    if (CloudScanFoldersListPtr node = model_->nodeAt(rows.first())) {
        lastSelectedCloudPath = std::move(node);
        btnAddFolderGDrive->setEnabled(true);
    }
}

void CloudFolderPicker::folderListingEnded()
{
    if (!open_) {
        // Ended by the close, or by a service after it: nothing is shown
        // again, expanded again or told.
        if (ScanWrapper* handler = home_.lists().sources.handler(selectedScanSource().load())) {
            handler->pickerListingCutShort = false;
            handler->pickerListingBound.reset();
            handler->pickerListingsFailed.clear();
        }
        return;
    }
    ScanWrapper* handler = home_.lists().sources.handler(selectedScanSource().load());
    // A folder whose listing failed keeps its arrow: it is closed, and
    // opening it again lists it again.
    std::vector<CloudScanFoldersListPtr> failed;
    if (handler)
        failed = std::exchange(handler->pickerListingsFailed, {});
    for (const CloudScanFoldersListPtr& folder : failed)
        loading_.erase(folder.get());
    if (pendingListings_ > 0)
        --pendingListings_;
    if (pendingListings_ == 0) {
        // These folders have had their turn: one that came back without
        // sub-folders loses its triangle, and one cut short at a bound is
        // asked again only after Refresh.
        listed_.insert(loading_.begin(), loading_.end());
        loading_.clear();
        setFolderListHudHidden(true);
    }
    btnAddFolderGDrive->setEnabled(false);
    // Closed before the reload, which opens again what was open.
    for (const CloudScanFoldersListPtr& folder : failed)
        outlineGDFolderList->collapse(model_->indexOf(folder.get()));
    reloadKeepingExpansion();
    if (!handler)
        return;
    if (!failed.empty()) {
        const QString name = printablePath(
            failed.front()->folderName.isEmpty() ? failed.front()->folderPath : failed.front()->folderName,
            shownPathLength);
        alertPresenter()->presentThen(
            AlertRequest { localizedText("ID_CLOUD_PICKER_FOLDER_NOT_LISTED"),
                formatText(localizedText("ID_CLOUD_PICKER_FOLDER_NOT_LISTED_DETAILS"), { name }),
                { localizedText("ID_OK") } },
            nullptr);
    }
    const bool cutShort = std::exchange(handler->pickerListingCutShort, false);
    // A folder too large to list whole is told so, with its name and count.
    if (const std::optional<ListingBound> bound = std::exchange(handler->pickerListingBound, std::nullopt)) {
        const auto [title, details] = listingBoundTexts(*bound, true);
        alertPresenter()->presentThen(AlertRequest { title, details, { localizedText("ID_OK") } }, nullptr);
    } else if (cutShort) {
        showAlerts({ { "ID_CLOUD_PICKER_LISTING_CUT_SHORT", "ID_CLOUD_PICKER_LISTING_CUT_SHORT_DETAILS" } });
    }
}

void CloudFolderPicker::reloadKeepingExpansion()
{
    std::vector<const CloudScanFoldersList*> open;
    std::function<void(const QModelIndex&)> collect = [&](const QModelIndex& parent) {
        for (int row = 0; row < model_->rowCount(parent); ++row) {
            const QModelIndex child = model_->index(row, 0, parent);
            if (outlineGDFolderList->isExpanded(child)) {
                open.push_back(static_cast<const CloudScanFoldersList*>(child.internalPointer()));
                collect(child);
            }
        }
    };
    collect(QModelIndex());
    model_->reload();
    for (const CloudScanFoldersList* node : open)
        outlineGDFolderList->expand(model_->indexOf(node));
}

void CloudFolderPicker::setFolderListHudHidden(bool hidden)
{
    QTimer::singleShot(0, this, [this, hidden] {
        // Cancel stays: closing the picker ends its listings.
        hudFolderList->setVisible(!hidden);
        btnRefreshGDriveFolderList->setEnabled(hidden);
    });
}

void CloudFolderPicker::btnRefreshGDriveFolderListTapped()
{
    if (!isInternetAvailable()) {
        showInternetUnavailableAlert();
        return;
    }
    home_.lists().sources.resetFolderTree(selectedScanSource().load());
    openFor(tab_, browsed_);
    outlineGDFolderList->clearSelection();
    btnAddFolderGDrive->setEnabled(false);
}

void CloudFolderPicker::btnAddFolderGDriveTapped()
{
    const ScanSource source = selectedScanSource().load();
    const PickedCloudFolder picked = pickedCloudFolder(source, lastSelectedCloudPath);
    std::function<void(const QString&)> browsed = std::move(browsed_);
    browsed_ = nullptr;
    showCloudFolderListSheet(false);
    if (browsed) {
        // The assistant's Browse: the path goes to the assistant, the home
        // screen's lists stay as they are.
        if (!picked.isEmpty()) {
            handedToAssistant_ = picked;
            handedSource_ = source;
            browsed(picked.path());
        }
        home_.tabChanged(1);
        return;
    }
    // The tab the sheet was opened for, also when a sign-in came between.
    applyOutcome(adder_.addToTab(tab_, picked));
}

void CloudFolderPicker::applyOutcome(const AddOutcome& outcome)
{
    if (outcome.listChanged) {
        home_.reloadTables();
        home_.updateButtonFromFileState();
    }
    showAlerts(outcome.alerts);
}

void CloudFolderPicker::showAlerts(std::vector<AlertKeys> alerts)
{
    if (alerts.empty())
        return;
    const AlertKeys first = alerts.front();
    alerts.erase(alerts.begin());
    alertPresenter()->presentThen(
        AlertRequest { localizedText(first.message), localizedText(first.informative), { localizedText("ID_OK") } },
        [guard = QPointer<CloudFolderPicker>(this), rest = std::move(alerts)](int) {
            if (guard)
                guard->showAlerts(rest);
        });
}

void CloudFolderPicker::browseFolder(ScanSource, std::function<void(const QString&)> done)
{
    openFor(HomeTab::protect, std::move(done));
}

void CloudFolderPicker::addChosenFolder(ScanSource source, const QString& path, bool includeSubFolders)
{
    if (handedToAssistant_.isEmpty() || source != handedSource_ || handedToAssistant_.path() != path) {
        Log::print("The assistant's folder is not the one the folder list handed to it; nothing is protected:", path);
        return;
    }
    applyOutcome(adder_.addToProtectedList(handedToAssistant_, includeSubFolders));
}
