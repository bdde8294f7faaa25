#include "emptyfolders/EmptyFolderHandler.h"

#include "base/AlertPresenter.h"
#include "base/Log.h"
#include "base/RunAside.h"
#include "controls/ApplicationFont.h"
#include "controls/BlackView.h"
#include "controls/ButtonKeys.h"
#include "controls/CustomCell.h"
#include "controls/CustomOutlineView.h"
#include "controls/CustomTablerow.h"
#include "controls/CustomWindowNag.h"
#include "controls/CyanideScroller.h"
#include "controls/FolderChooser.h"
#include "controls/LayoutFrame.h"
#include "controls/RAZButton.h"
#include "controls/WindowHelpers.h"
#include "core/FileUtilities.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"
#include "core/TextFormat.h"
#include "emptyfolders/EmptyFolderLook.h"
#include "emptyfolders/EmptyFolderWork.h"
#include "emptyfolders/FolderTreeModel.h"

#include <QDialog>
#include <QFile>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <utility>

namespace {

// Every alert of the cleaner carries the program's name as its message.
const QString alertTitle = QStringLiteral("Vellicor");

} // namespace

using namespace EmptyFolderLook;

struct EmptyFolderHandler::Result {
    std::shared_ptr<Folder> tree;
    // Why the chosen folder was not walked.
    std::optional<LocationExclusion> refusal;
    std::shared_ptr<const FolderWalkExclusion> walkExclusion;
    // The tree a deletion acted on, which its outcome points into.
    std::shared_ptr<const Folder> acted;
    FolderDeletion deletion;
    FolderRestoration restoration;
};

EmptyFolderHandler::EmptyFolderHandler(QObject* parent)
    : QObject(parent)
    , relay_(std::make_shared<WorkerRelay<EmptyFolderHandler>>(this))
{
}

EmptyFolderHandler::~EmptyFolderHandler()
{
    relay_->cut();
    stop_ = true;
    if (worker_.joinable())
        worker_.join();
    if (model_)
        model_->setTree(nullptr);
    delete veil_.data();
    delete window_.data();
}

QDialog* EmptyFolderHandler::window()
{
    if (!window_) {
        buildWindow();
        windowDidLoad();
    }
    return window_;
}

void EmptyFolderHandler::buildWindow()
{
    auto* window = new CustomWindowNag(nullptr);
    window_ = window;
    window->setObjectName(QStringLiteral("EmptyFolderHandler"));
    window->setWindowTitle(localizedText("ID_EMPTY_FOLDERS"));
    window->setFont(systemFontOfSize(13));
    QPalette palette = window->palette();
    palette.setColor(QPalette::Window, panelColor);
    palette.setColor(QPalette::WindowText, QColor(208, 210, 214));
    window->setPalette(palette);

    boxDeleteEmptyFolder = named<QFrame>(window, "boxDeleteEmptyFolder");
    boxDeleteEmptyFolder->setStyleSheet(frameStyle(boxDeleteEmptyFolder->objectName(), panelColor, 1));
    QWidget* box = boxDeleteEmptyFolder;

    boxBottomFirstTabForEmptyFolder = named<QFrame>(box, "boxBottomFirstTabForEmptyFolder");
    boxBottomSecondTabForEmptyFolder = named<QFrame>(box, "boxBottomSecondTabForEmptyFolder");
    textFirstTabForEmptyFolder = named<QLabel>(boxBottomFirstTabForEmptyFolder, "textFirstTabForEmptyFolder");
    textSecondTabForEmptyFolder = named<QLabel>(boxBottomSecondTabForEmptyFolder, "textSecondTabForEmptyFolder");
    textFirstTabForEmptyFolder->setText(localizedText("ID_EMPTY_FOLDERS"));
    textSecondTabForEmptyFolder->setText(localizedText("ID_SETTINGS"));
    for (QLabel* caption : { textFirstTabForEmptyFolder, textSecondTabForEmptyFolder }) {
        caption->setAlignment(Qt::AlignCenter);
        caption->setFont(systemFontOfSize(13, QFont::DemiBold));
    }
    containerViewEmptyFolder = named<QFrame>(box, "containerViewEmptyFolder");
    containerViewEmptyFolder->setStyleSheet(frameStyle(containerViewEmptyFolder->objectName(), tabFaceColor, 1));
    btnScanEmptyFolders = named<SheetPushButton>(box, "btnScanEmptyFolders");
    btnSettingForEmptyFolder = named<SheetPushButton>(box, "btnSettingForEmptyFolder");
    for (QPushButton* tab : { btnScanEmptyFolders, btnSettingForEmptyFolder }) {
        tab->setCheckable(true);
        tab->setFlat(true);
        tab->setCursor(Qt::PointingHandCursor);
        tab->setStyleSheet(
            QStringLiteral("QPushButton { background: transparent; border: none; }") + focusRingStyleSheet());
    }
    connect(btnScanEmptyFolders, &QPushButton::clicked, this, [this] { tabChangedDeleteFolder(1); });
    connect(btnSettingForEmptyFolder, &QPushButton::clicked, this, [this] { tabChangedDeleteFolder(2); });

    btnCloseDeleteFolder = new CloseMarkButton(box);
    btnCloseDeleteFolder->setObjectName(QStringLiteral("btnCloseDeleteFolder"));
    btnCloseDeleteFolder->setCursor(Qt::PointingHandCursor);
    btnCloseDeleteFolder->setToolTip(localizedText("ID_CLOSE"));
    connect(btnCloseDeleteFolder, &QPushButton::clicked, this, &EmptyFolderHandler::closeDeleteFolderNag);

    // The scan tab.
    viewScanEmptyFolders = new QWidget;
    viewScanEmptyFolders->setObjectName(QStringLiteral("viewScanEmptyFolders"));
    lblFolderPath = named<QLabel>(viewScanEmptyFolders, "lblFolderPath");
    // Browse sets the path; the field only tells it, so it looks like the
    // sheet's other texts and not like a field one could type in.
    lblFolderPath->setStyleSheet(
        QStringLiteral("QLabel { background: transparent; border: none; color: #d0d2d6; padding: 0; }"));
    lblFolderPath->setTextInteractionFlags(Qt::NoTextInteraction);
    // Stands in the empty path field until a folder is chosen.
    folderPathHint_ = named<QLabel>(lblFolderPath, "lblFolderPathHint");
    folderPathHint_->setText(localizedText("ID_CHOOSE_FOLDER_TO_FIND_EMPTY_FOLDERS"));
    folderPathHint_->setStyleSheet(
        QStringLiteral("QLabel { color: #7c7f85; background: transparent; border: none; padding: 0; }"));
    btnBrowse = actionButton(viewScanEmptyFolders, "btnBrowse", localizedText("ID_BROWSE"), false);
    btnScanFolders = actionButton(viewScanEmptyFolders, "btnScanFolders", localizedText("ID_SCAN"), true);
    connect(btnBrowse, &QAbstractButton::clicked, this, &EmptyFolderHandler::btnBrowseTapped);
    connect(btnScanFolders, &QAbstractButton::clicked, this, &EmptyFolderHandler::btnScanFoldersTapped);

    outlineViewFolderList = named<CustomOutlineView>(viewScanEmptyFolders, "outlineViewFolderList");
    outlineViewFolderList->setRowView(std::make_shared<CustomTablerowHome>());
    outlineViewFolderList->setHeaderHidden(true);
    outlineViewFolderList->setUniformRowHeights(true);
    outlineViewFolderList->setItemDelegate(new CustomCell(outlineViewFolderList));
    outlineViewFolderList->setStyleSheet(
        QStringLiteral("QTreeView { background: #1d1d1d; color: #d0d2d6; border: 1px solid %1; }")
            .arg(lineColor.name()));
    outlineViewFolderList->setVerticalScrollBar(new CyanideScroller(Qt::Vertical));
    outlineViewFolderList->setHorizontalScrollBar(new CyanideScroller(Qt::Horizontal));
    model_ = new FolderTreeModel(this);

    boxEmptyDirectories = named<QFrame>(viewScanEmptyFolders, "boxEmptyDirectories");
    boxEmptyDirectories->setStyleSheet(frameStyle(boxEmptyDirectories->objectName(), QColor(56, 44, 44), 1));
    lblEmptyDirectories = named<QLabel>(boxEmptyDirectories, "lblEmptyDirectories");
    lblEmptyDirectories->setWordWrap(true);
    lblEmptyDirectories->setStyleSheet(QStringLiteral("QLabel { color: #e6c8c8; }"));
    lblEmptyDirectories->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);

    // The settings tab.
    viewSettings = new QWidget;
    viewSettings->setObjectName(QStringLiteral("viewSettings"));
    auto* description = named<QLabel>(viewSettings, "lblSettingsDescription");
    description->setWordWrap(true);
    description->setStyleSheet(QStringLiteral("QLabel { color: #d0d2d6; }"));
    description->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    description->setText(localizedText("ID_EMPTY_FOLDER_SETTINGS_DESCRIPTION"));

    // The bottom strip: the colour legend and the action buttons.
    boxBottomDeleteEmpFolders = named<QFrame>(box, "boxBottomDeleteEmpFolders");
    boxIconDescription = named<QFrame>(boxBottomDeleteEmpFolders, "boxIconDescription");
    boxIconDescription->setStyleSheet(QStringLiteral("QFrame#boxIconDescription { background: rgba(200, 40, 40, 150);"
                                                     " border: 1px solid #ff5c5c; border-radius: 3px; }"));
    auto* legend = named<QLabel>(boxBottomDeleteEmpFolders, "lblIconDescription");
    legend->setText(localizedText("ID_EMPTY_FOLDER"));
    legend->setStyleSheet(QStringLiteral("QLabel { color: #d0d2d6; }"));
    btnCancel = actionButton(boxBottomDeleteEmpFolders, "btnCancel", localizedText("ID_CANCEL"), false);
    btnUndo = actionButton(boxBottomDeleteEmpFolders, "btnUndo", localizedText("ID_UNDO"), false);
    btnDeleteFolders
        = actionButton(boxBottomDeleteEmpFolders, "btnDeleteFolders", localizedText("ID_DELETE_FOLDERS"), true);
    connect(btnCancel, &QAbstractButton::clicked, this, &EmptyFolderHandler::btnCancelTapped);
    connect(btnUndo, &QAbstractButton::clicked, this, &EmptyFolderHandler::btnUndoTapped);
    connect(btnDeleteFolders, &QAbstractButton::clicked, this, &EmptyFolderHandler::btnDeleteFoldersTapped);

    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(50);
    connect(progressTimer_, &QTimer::timeout, this, &EmptyFolderHandler::showProgress);

    // Escape and the window manager's close end the sheet like the close mark.
    connect(window, &QDialog::rejected, this, &EmptyFolderHandler::closeDeleteFolderNag);
}

void EmptyFolderHandler::windowDidLoad()
{
    outlineViewFolderList->setModel(model_);
    connect(outlineViewFolderList, &QTreeView::expanded, this, &EmptyFolderHandler::rowExpanded);
    boxEmptyDirectories->hide();
    updateButtons();
    viewScanEmptyFolders->setParent(containerViewEmptyFolder);
    viewSettings->setParent(containerViewEmptyFolder);
    placeWidget(window_, { 0, 0, 640, 480 });
    sheetFrames().apply(window_);
    boxBottomDeleteEmpFolders->lower();
    // The tab views joined the window after the bottom strip was built.
    chainAsDrawn({ btnCloseDeleteFolder, btnScanEmptyFolders, btnSettingForEmptyFolder, btnBrowse, btnScanFolders,
        outlineViewFolderList, btnCancel, btnUndo, btnDeleteFolders });
    tabChangedDeleteFolder(1);
}

void EmptyFolderHandler::beginSheet(QWidget* mainWindow)
{
    QDialog* sheet = window();
    if (mainWindow) {
        mainWindow = mainWindow->window();
        if (sheet->parentWidget() != mainWindow)
            sheet->setParent(mainWindow, sheet->windowFlags());
        if (!veil_) {
            veil_ = new BlackView(mainWindow);
            veil_->setGeometry(mainWindow->rect());
        }
        veil_->raise();
        veil_->show();
    }
    sheet->setWindowModality(Qt::WindowModal);
    sheet->open();
    centerWindowOnWindow(sheet, mainWindow);
}

void EmptyFolderHandler::endSheet()
{
    if (window_)
        window_->hide();
    delete veil_.data();
}

void EmptyFolderHandler::btnBrowseTapped()
{
    openFolderChooser(
        window_, { QString(), localizedText("ID_CHOOSE_FOLDER_TO_FIND_EMPTY_FOLDERS"), QString(), false },
        [this](const QStringList& chosen) {
            if (chosen.isEmpty()) {
                std::puts("user pressed cancel");
                return;
            }
            folderChosen(chosen.first());
        },
        this);
}

void EmptyFolderHandler::folderChosen(const QString& path)
{
    const QString before = pathForDeleteEmptyFolders_;
    pathForDeleteEmptyFolders_ = path;
    window();
    lblFolderPath->setText(printablePath(path));
    folderPathHint_->setVisible(path.isEmpty());
    updateButtons();
    const std::optional<PathExclusionPredicate> excluded = currentExclusions();
    if (path.isEmpty() || !excluded)
        return;
    // Where the folder leads is looked at away from this thread: the look may
    // wait on a mount. Past a few such looks still held, the scan's own look
    // keeps the folder out all the same.
    static std::atomic<int> looksUnderWay { 0 };
    constexpr int mostLooks = 8;
    if (looksUnderWay.load() >= mostLooks)
        return;
    const quint64 choice = ++choice_;
    const std::optional<std::string> failure
        = runAside(looksUnderWay, [relay = relay_, excluded = *excluded, path, choice, before] {
              if (std::optional<LocationExclusion> exclusion = locationExclusion(excluded, path))
                  relay->post([choice, path, before, exclusion = std::move(*exclusion)](EmptyFolderHandler& self) {
                      self.refuseChoice(choice, path, exclusion, before);
                  });
          });
    if (failure)
        Log::print("Empty folders: where the chosen folder leads could not be looked at:",
            QString::fromStdString(*failure));
}

std::optional<PathExclusionPredicate> EmptyFolderHandler::currentExclusions() const
{
    if (exclusions_)
        return exclusions_();
    return PathExclusionPredicate(defaultExcludedFolderPaths());
}

void EmptyFolderHandler::refuseChoice(
    quint64 choice, const QString& path, const LocationExclusion& exclusion, const QString& before)
{
    Log::print("Empty folders: not taken:", locationExclusionText(path, exclusion));
    if (choice != choice_ || path != pathForDeleteEmptyFolders_ || !window_)
        return;
    pathForDeleteEmptyFolders_ = before;
    lblFolderPath->setText(printablePath(before));
    folderPathHint_->setVisible(before.isEmpty());
    updateButtons();
    ask(AlertRequest { localizedText("ID_ITEMS_CANNOT_ADDED"), locationExclusionAlertText(path, exclusion),
            { localizedText("ID_OK") }, AlertStyle::warning },
        {});
}

void EmptyFolderHandler::btnScanFoldersTapped()
{
    // A scan needs a folder: without one it would list a nameless root that
    // Delete could act on.
    if (isBusy() || pathForDeleteEmptyFolders_.isEmpty())
        return;
    window();
    const QString chosen = pathForDeleteEmptyFolders_;
    const QByteArray root = QFile::encodeName(chosen);
    boxEmptyDirectories->show();
    cancelOn_ = true;
    // The scan judges the folder again, with the exclusions as they are now;
    // a judgement of the choice still under way is no longer needed.
    ++choice_;
    startWork(
        Work::scanning,
        [this, root, chosen, excluded = currentExclusions()] {
            Result result;
            ChosenFolderJudgement judgement = judgeChosenFolder(excluded, chosen);
            if (judgement.refusal) {
                result.refusal = std::move(judgement.refusal);
                return result;
            }
            if (judgement.walk)
                result.walkExclusion = std::make_shared<const FolderWalkExclusion>(std::move(*judgement.walk));
            result.tree = buildFolderTree(root, &stop_, &progress_, result.walkExclusion.get());
            if (result.tree)
                printFolderTree(*result.tree, stdout);
            return result;
        },
        [this, chosen](Result& result) {
            if (result.refusal) {
                setTree(nullptr);
                walkExclusion_.reset();
                deleteOn_ = false;
                lblEmptyDirectories->clear();
                boxEmptyDirectories->hide();
                refuseChoice(choice_, chosen, *result.refusal);
                return;
            }
            walkExclusion_ = std::move(result.walkExclusion);
            setTree(std::move(result.tree));
            lblEmptyDirectories->setText(localizedText("ID_EMPTY_DIRECTORIES_HIGHLIGHTED_IN_RED"));
            deleteOn_ = true;
            cancelOn_ = true;
        });
}

void EmptyFolderHandler::btnDeleteFoldersTapped()
{
    if (isBusy())
        return;
    // Only the empty folders the list has shown are deleted: with the tree
    // still closed there are none, and the user is told how to choose them.
    if (arrOfEmptyFolders_.empty()) {
        ask(AlertRequest { alertTitle, localizedText("ID_NO_EMPTY_FOLDER_CHOSEN"), { localizedText("ID_OK") },
                AlertStyle::informational },
            {});
        return;
    }
    const QByteArray root = QFile::encodeName(pathForDeleteEmptyFolders_);
    const std::shared_ptr<const Folder> tree = folderHierarchy_;
    const std::vector<const Folder*> found = arrOfEmptyFolders_;
    progressTotal_ = int(found.size());
    startWork(
        Work::deleting,
        [this, root, tree, found, exclusion = walkExclusion_] {
            Result result;
            if (tree)
                result.deletion = deleteEmptyFolders(*tree, found, &stop_, &progress_);
            result.acted = tree;
            result.tree = buildFolderTree(root, &stop_, nullptr, exclusion.get());
            return result;
        },
        [this](Result& result) {
            if (result.acted)
                deletedEmptyFolders_->add(*result.acted, result.deletion);
            const QString report = deletionReport(result.deletion);
            const bool removedAny = !result.deletion.removed.empty();
            if (result.tree)
                setTree(std::move(result.tree));
            lblEmptyDirectories->setText(localizedText("ID_EMPTY_DIRECTORIES_HIGHLIGHTED_IN_RED"));
            deleteOn_ = false;
            if (report.isEmpty())
                return;
            const quint64 generation = generation_;
            ask(AlertRequest { alertTitle, report, { localizedText("ID_OK") },
                    removedAny ? AlertStyle::informational : AlertStyle::warning },
                [this, removedAny, generation](int) {
                    if (!removedAny || generation != generation_)
                        return;
                    undoOn_ = true;
                    updateButtons();
                });
        });
}

QString EmptyFolderHandler::deletionReport(const FolderDeletion& deletion) const
{
    // Only what this deletion removed is reported as removed, and what it
    // had to keep is reported too, the first few with their reasons.
    constexpr std::size_t reasonsTold = 3;
    QStringList report;
    if (!deletion.removed.empty())
        report << localizedText("ID_EMPTY_FOLDERS_DELETED_SUCCESSFULLY");
    if (!deletion.kept.empty()) {
        const int count = int(deletion.kept.size());
        QStringList kept { formatText(
            localizedText(count == 1 ? "ID_EMPTY_FOLDER_NOT_DELETED" : "ID_EMPTY_FOLDERS_NOT_DELETED"), { count }) };
        for (std::size_t i = 0; i < std::min(deletion.kept.size(), reasonsTold); ++i) {
            kept << formatText(localizedText("ID_EMPTY_FOLDER_KEPT_BECAUSE"),
                { printablePath(shownPathOf(*deletion.kept[i].folder)), deletion.kept[i].reason });
        }
        report << kept.join(QLatin1Char('\n'));
    }
    return report.join(QStringLiteral("\n\n"));
}

void EmptyFolderHandler::btnUndoTapped()
{
    if (isBusy())
        return;
    const quint64 generation = generation_;
    ask(AlertRequest { alertTitle, localizedText("ID_DO_YOU_WANT_TO_PROCEED"),
            { localizedText("ID_YES"), localizedText("ID_NO") } },
        [this, generation](int answer) {
            if (answer != 0 || generation != generation_ || isBusy())
                return;
            const QByteArray root = QFile::encodeName(pathForDeleteEmptyFolders_);
            const std::shared_ptr<const RemovedFolders> deleted
                = std::exchange(deletedEmptyFolders_, std::make_shared<RemovedFolders>());
            startWork(
                Work::restoring,
                [this, root, deleted, exclusion = walkExclusion_] {
                    Result result;
                    result.restoration = restoreDeletedFolders(*deleted);
                    result.tree = buildFolderTree(root, &stop_, nullptr, exclusion.get());
                    return result;
                },
                [this](Result& result) {
                    if (result.tree)
                        setTree(std::move(result.tree));
                    lblEmptyDirectories->setText(localizedText("ID_EMPTY_DIRECTORIES_HIGHLIGHTED_IN_RED"));
                    const int failed = result.restoration.failed;
                    const QString report = failed == 0
                        ? localizedText("ID_ACTION_COMPLETED_SUCCESSFULLY")
                        : formatText(localizedText(failed == 1 ? "ID_FOLDER_NOT_RESTORED" : "ID_FOLDERS_NOT_RESTORED"),
                            { failed });
                    const quint64 current = generation_;
                    ask(AlertRequest { alertTitle, report, { localizedText("ID_OK") },
                            failed == 0 ? AlertStyle::informational : AlertStyle::warning },
                        [this, current](int) {
                            if (current != generation_)
                                return;
                            deleteOn_ = true;
                            undoOn_ = false;
                            updateButtons();
                        });
                });
        });
}

void EmptyFolderHandler::btnCancelTapped()
{
    const quint64 generation = generation_;
    ask(AlertRequest { alertTitle, localizedText("ID_SCANNED_RESULTS_WILL_BE_REMOVED"),
            { localizedText("ID_YES"), localizedText("ID_NO") } },
        [this, generation](int answer) {
            if (answer == 0 && generation == generation_)
                closeDeleteFolderNag();
        });
}

void EmptyFolderHandler::closeDeleteFolderNag()
{
    // A worker still running is told to end; what it hands back is dropped.
    stop_ = true;
    ++generation_;
    work_ = Work::none;
    if (progressTimer_)
        progressTimer_->stop();
    pathForDeleteEmptyFolders_.clear();
    if (lblFolderPath) {
        lblFolderPath->clear();
        folderPathHint_->show();
    }
    undoOn_ = cancelOn_ = deleteOn_ = false;
    if (model_)
        model_->setTree(nullptr);
    folderHierarchy_.reset();
    walkExclusion_.reset();
    ++choice_;
    arrOfEmptyFolders_.clear();
    recorded_.clear();
    deletedEmptyFolders_ = std::make_shared<RemovedFolders>();
    if (window_)
        updateButtons();
    endSheet();
}

void EmptyFolderHandler::tabChangedDeleteFolder(int tag)
{
    window();
    btnScanEmptyFolders->setChecked(tag == 1);
    btnSettingForEmptyFolder->setChecked(tag == 2);
    const auto styleTab = [](QFrame* box, QLabel* caption, bool selected) {
        box->setStyleSheet(frameStyle(box->objectName(), selected ? tabFaceColor : panelColor, selected ? 0 : 1, true));
        setCaptionColor(caption, selected ? QColor(Qt::white) : captionIdle);
    };
    styleTab(boxBottomFirstTabForEmptyFolder, textFirstTabForEmptyFolder, false);
    styleTab(boxBottomSecondTabForEmptyFolder, textSecondTabForEmptyFolder, false);
    viewScanEmptyFolders->setVisible(tag == 1);
    viewSettings->setVisible(tag == 2);
    if (tag == 1)
        styleTab(boxBottomFirstTabForEmptyFolder, textFirstTabForEmptyFolder, true);
    else if (tag == 2)
        styleTab(boxBottomSecondTabForEmptyFolder, textSecondTabForEmptyFolder, true);
    else
        std::puts("this is default");
    // The selected tab stands over the container's top line, so it reads as
    // one piece with the page below it.
    (tag == 2 ? boxBottomSecondTabForEmptyFolder : boxBottomFirstTabForEmptyFolder)->raise();
    btnScanEmptyFolders->raise();
    btnSettingForEmptyFolder->raise();
}

QStringList EmptyFolderHandler::arrOfEmptyFolders() const
{
    QStringList paths;
    for (const Folder* folder : arrOfEmptyFolders_)
        paths << pathOf(*folder);
    return paths;
}

QStringList EmptyFolderHandler::deletedEmptyFolders() const
{
    QStringList paths;
    for (const QByteArray& path : deletedEmptyFolders_->paths())
        paths << QFile::decodeName(path);
    return paths;
}

bool EmptyFolderHandler::recordIfEmptyFolder(const Folder* folder)
{
    if (!folder)
        return false;
    if (!folder->subfolders.empty())
        return true;
    if (folder->empty && !recorded_.contains(folder)) {
        recorded_.insert(folder);
        arrOfEmptyFolders_.push_back(folder);
        model_->setRecorded(folder);
    }
    return false;
}

void EmptyFolderHandler::rowExpanded(const QModelIndex& index)
{
    const Folder* folder = model_->folderAt(index);
    if (!folder)
        return;
    for (const auto& child : folder->subfolders)
        recordIfEmptyFolder(child.get());
}

void EmptyFolderHandler::setTree(std::shared_ptr<Folder> tree)
{
    model_->setTree(tree.get());
    folderHierarchy_ = std::move(tree);
    arrOfEmptyFolders_.clear();
    recorded_.clear();
    // The chosen folder's row is shown as soon as there is a tree.
    recordIfEmptyFolder(folderHierarchy_.get());
}

void EmptyFolderHandler::ask(const AlertRequest& request, std::function<void(int)> answer)
{
    // The alert stands over the main window, not over the sheet: the sheet
    // takes no clicks until it is answered, and its controls let go of the
    // keys meanwhile.
    const QPointer<QWidget> focused = window_->focusWidget();
    boxDeleteEmptyFolder->setEnabled(false);
    QPointer<EmptyFolderHandler> self(this);
    alertPresenter()->presentThen(request, [self, focused, answer = std::move(answer)](int button) {
        if (!self)
            return;
        self->boxDeleteEmptyFolder->setEnabled(true);
        if (answer)
            answer(button);
        // The alert's window gave the keys to the main window under it; the
        // sheet over that window takes them back.
        if (self->window_ && self->window_->isVisible())
            self->window_->activateWindow();
        self->giveKeysBack(focused);
    });
}

void EmptyFolderHandler::giveKeysBack(QWidget* wanted)
{
    if (!wanted || !window_)
        return;
    const auto takes = [](QWidget* widget) { return widget->isEnabled() && widget->isVisible(); };
    QWidget* target = takes(wanted) ? wanted : outlineViewFolderList;
    if (takes(target))
        target->setFocus(Qt::OtherFocusReason);
}

void EmptyFolderHandler::startWork(Work work, std::function<Result()> job, std::function<void(Result&)> finished)
{
    window();
    if (worker_.joinable())
        worker_.join();
    stop_ = false;
    progress_ = 0;
    work_ = work;
    updateButtons();
    showProgress();
    progressTimer_->start();
    const quint64 generation = generation_;
    worker_ = std::thread([this, generation, job = std::move(job), finished = std::move(finished)] {
        auto result = std::make_shared<Result>(job());
        QMetaObject::invokeMethod(
            this,
            [this, generation, result, finished] {
                if (generation != generation_)
                    return;
                work_ = Work::none;
                progressTimer_->stop();
                finished(*result);
                updateButtons();
                emit workFinished();
            },
            Qt::QueuedConnection);
    });
}

void EmptyFolderHandler::showProgress()
{
    switch (work_) {
    case Work::scanning:
        lblEmptyDirectories->setText(formatText(localizedText("ID_SCANNING_FOLDERS_PROGRESS"), { progress_.load() }));
        break;
    case Work::deleting:
        lblEmptyDirectories->setText(
            formatText(localizedText("ID_DELETING_EMPTY_FOLDERS_PROGRESS"), { progress_.load(), progressTotal_ }));
        break;
    case Work::restoring:
        lblEmptyDirectories->setText(localizedText("ID_RESTORING_FOLDERS_PROGRESS"));
        break;
    case Work::none:
        break;
    }
}

void EmptyFolderHandler::updateButtons()
{
    if (!btnDeleteFolders)
        return;
    const QPointer<QWidget> focused = window_->focusWidget();
    const bool idle = !isBusy();
    btnDeleteFolders->setEnabled(idle && deleteOn_);
    btnUndo->setEnabled(idle && undoOn_);
    btnCancel->setEnabled(cancelOn_ || !idle);
    btnBrowse->setEnabled(idle);
    btnScanFolders->setEnabled(idle && !pathForDeleteEmptyFolders_.isEmpty());
    // A button that went off has passed the keys on round the window's chain,
    // maybe to the close mark.
    if (focused && !focused->isEnabled())
        giveKeysBack(focused);
}

std::function<void(QWidget* mainWindow)> emptyFolderCleanerOpener(
    QObject* owner, EmptyFolderHandler::Exclusions exclusions)
{
    QPointer<EmptyFolderHandler> handler = new EmptyFolderHandler(owner);
    handler->setExclusions(std::move(exclusions));
    return [handler](QWidget* mainWindow) {
        if (handler)
            handler->beginSheet(mainWindow);
    };
}
