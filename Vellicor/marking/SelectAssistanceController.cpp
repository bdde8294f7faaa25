#include "marking/SelectAssistanceController.h"

#include "base/AlertPresenter.h"
#include "base/AppPaths.h"
#include "base/Log.h"
#include "base/UserDefaults.h"
#include "controls/ApplicationFont.h"
#include "controls/ButtonStyles.h"
#include "controls/CustomWindowNag.h"
#include "controls/FolderChooser.h"
#include "controls/GradientBox.h"
#include "controls/IMGButton.h"
#include "controls/RAZButton.h"
#include "controls/SheetPanel.h"
#include "core/FileUtilities.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"
#include "marking/AssistantRowTable.h"
#include "marking/AutoMarking.h"
#include "marking/ResultsState.h"
#include "scan/ScanSources.h"

#include <QCheckBox>
#include <QDir>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QTableWidget>

#include <algorithm>

namespace {

const QColor lightText(230, 231, 233);
const QColor dimText(170, 172, 176);

constexpr int boxWidth = 720;
constexpr int boxHeight = 500;
constexpr int margin = 24;
constexpr int tableTop = 196;
constexpr int tableBottom = 430;
constexpr int sideButtonWidth = 40;

RAZButton* makeButton(QWidget* parent, const QString& name, const QString& title)
{
    auto* button = new RAZButton(parent);
    button->setObjectName(name);
    button->setText(title);
    return button;
}

void styleTab(RAZButton* button, bool active)
{
    button->setButtonInsideColor(active ? QColor(42, 42, 42) : QColor(29, 29, 29), QColor(29, 29, 29), Qt::white,
        QColor(164, 164, 164), QColor(30, 40, 50), QColor(194, 194, 194), 0, 24, true, false, 0);
    button->setChecked(active);
    button->update();
}

void styleAddRemove(RAZButton* button)
{
    button->setButtonInsideColor(QColor(65, 65, 65), QColor(160, 160, 160), Qt::white, Qt::darkGray, QColor(23, 23, 23),
        QColor(169, 169, 169), 3, 13, false, false, 0);
    button->setFont(systemFontOfSize(13));
}

void styleBrowse(RAZButton* button)
{
    button->setButtonInsideColor(QColor(42, 42, 42), QColor(160, 160, 160), Qt::white, Qt::darkGray,
        QColor(140, 140, 140), QColor(169, 169, 169), 3, 13, false, false, 1);
    button->setFont(systemFontOfSize(13));
}

QString descriptionKey(SelectAssistanceController::Tab tab)
{
    using Tab = SelectAssistanceController::Tab;
    switch (tab) {
    case Tab::general:
        return QStringLiteral("ID_DRAG_DROP_TO_CHANGE_PRIORITY_TO_AUTO_MARK_ITEMS");
    case Tab::protectedFolders:
        return QStringLiteral("ID_DUPLICATE_FILES_IN_PROTECTED_FOLDER_NOT_AUTOMARK_FOR_DELETION");
    case Tab::fileFormats:
        return QStringLiteral("ID_FILE_FORMATS_WITH_HIGHER_PRIORITY_MARK_FIRST_FOR_DELETION");
    case Tab::folders:
        return QStringLiteral("ID_DUPLICATES_FILES_FOLDER_HIGHER_PRIORITY_NOT_AUTOMARK_FIRST_FOR_DELETION");
    }
    return {};
}

// The sources whose files lie on this computer: their protected folders are
// this computer's folders, chosen in the folder panel. The photo catalog's
// files are files of this computer too.
bool protectsLocalFolders(ScanSource source)
{
    return source == ScanSource::thisComputer || source == ScanSource::lightroomCatalog;
}

bool isSameOrInside(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

// The window-modal folder panel of this computer: one folder, packages as
// plain folders.
class DialogProtectFolderChooser : public ProtectFolderChooser {
public:
    explicit DialogProtectFolderChooser(QWidget* parent)
        : parent_(parent)
    {
    }
    void chooseFolder(const QString& prompt, std::function<void(const QString&)> done) override
    {
        openFolderChooser(parent_, { prompt, localizedText("ID_CHOOSE_FOLDER_TO_PROTECT"), QString(), false },
            [done = std::move(done)](const QStringList& chosen) { done(chosen.value(0)); });
    }

private:
    QPointer<QWidget> parent_;
};

} // namespace

bool isTrashFolder(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QString clean = QDir::cleanPath(QDir::isAbsolutePath(path) ? path : QDir::current().absoluteFilePath(path));
    if (isSameOrInside(clean, QDir::cleanPath(AppPaths::dataHome() + QStringLiteral("/Trash"))))
        return true;
    // The per-volume trash folders: ".Trash" (its per-user folders inside) and
    // ".Trash-<uid>", whoever's they are.
    const QStringList parts = clean.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return std::any_of(parts.begin(), parts.end(), [](const QString& part) {
        return part == QLatin1String(".Trash") || part.startsWith(QLatin1String(".Trash-"));
    });
}

SelectAssistanceController::SelectAssistanceController(
    ResultsState& state, ScanSources& store, UserDefaults& defaults, AutoMarking& marking, QWidget* resultsWindow)
    : QObject(resultsWindow)
    , state_(state)
    , store_(store)
    , defaults_(defaults)
    , marking_(marking)
    , resultsWindow_(resultsWindow)
{
    buildWindow();
    chooser_ = std::make_unique<DialogProtectFolderChooser>(window);
    btnAddPath->setEnabled(false);
    btnRemovePath->setEnabled(false);
    segmentClicked(Tab::general);
    marking_.setSelectionController(this);
    // The list shown is the owner's: an edit made anywhere shows here too
    // while the sheet is open. A closed sheet reads it afresh when it opens.
    connect(&store_, &ScanSources::listChanged, this, [this](ScanSource source, SourceList which) {
        if (which == SourceList::protect && source == protectedSource_ && isOpen())
            reloadTable(Tab::protectedFolders);
    });
}

SelectAssistanceController::~SelectAssistanceController() = default;

void SelectAssistanceController::setFolderChooser(std::unique_ptr<ProtectFolderChooser> chooser)
{
    chooser_ = std::move(chooser);
}

void SelectAssistanceController::buildWindow()
{
    window = makeSheetWindow(resultsWindow_, QStringLiteral("windowSelectionAssistance"));

    auto* box = new SheetPanel(window);
    boxMainSelectionAssistance = box;
    box->setObjectName(QStringLiteral("boxMainSelectionAssistance"));
    box->resize(boxWidth, boxHeight);

    boxHeaderSelectionAssistance = makeSheetHeader(box, boxWidth);
    boxHeaderSelectionAssistance->setObjectName(QStringLiteral("boxHeaderSelectionAssistance"));
    lblSheetHeading = makeSheetLabel(boxHeaderSelectionAssistance, QStringLiteral("lblSheetHeading"),
        localizedText("ID_SELECTION_ASSISTANT"), 14, lightText);
    lblSheetHeading->setFont(systemFontOfSize(14, QFont::DemiBold));
    lblSheetHeading->setGeometry(16, 0, boxWidth - 32, 38);

    lblSheetInfo = makeSheetLabel(
        box, QStringLiteral("lblSheetInfo"), localizedText("ID_PLEASE_SELECT_AUTOMARKING_PRIORITY"), 13, lightText);
    lblSheetInfo->setGeometry(margin, 50, boxWidth - 2 * margin, 36);

    const int tabWidth = (boxWidth - 2 * margin) / 4;
    const auto tab = [&](const QString& name, const char* title, int index, Tab which) {
        RAZButton* button = makeButton(box, name, localizedText(title));
        button->setCheckable(true);
        button->setFont(systemFontOfSize(16, QFont::Light));
        button->setGeometry(margin + index * tabWidth, 96, tabWidth, 40);
        connect(button, &QAbstractButton::clicked, this, [this, which] { segmentClicked(which); });
        return button;
    };
    btnGeneralTab = tab(QStringLiteral("btnGeneralTab"), "ID_GENERAL", 0, Tab::general);
    btnProtectedFolderTab
        = tab(QStringLiteral("btnProtectedFolderTab"), "ID_PROTECTED_FOLDERS", 1, Tab::protectedFolders);
    btnFileFormatTab = tab(QStringLiteral("btnFileFormatTab"), "ID_FILE_FORMATS", 2, Tab::fileFormats);
    btnFoldersTab = tab(QStringLiteral("btnFoldersTab"), "ID_FOLDERS", 3, Tab::folders);

    lblDescription = makeSheetLabel(box, QStringLiteral("lblDescription"), QString(), 12, dimText);
    lblDescription->setFont(systemFontOfSize(currentLanguageCode == QLatin1String("en") ? 12 : 11));
    lblDescription->setGeometry(margin, 144, boxWidth - 2 * margin, 34);

    const auto dropped = [this](const QStringList& texts, int row) { acceptDrop(texts, row); };
    const QRect listArea(margin, tableTop, boxWidth - 2 * margin - sideButtonWidth - 10, tableBottom - tableTop);
    const auto table = [&](const QString& name, const QStringList& titles) {
        auto* result = new AssistantRowTable(int(titles.size()), box, AssistantRowTable::DropHandler(dropped));
        result->setObjectName(name);
        result->setGeometry(listArea);
        result->setHorizontalHeaderLabels(titles);
        return result;
    };
    tblGeneral = table(QStringLiteral("tblGeneral"), { QString(), localizedText("ID_PRIORITY_OPTIONS") });
    tblGeneral->horizontalHeader()->resizeSection(0, 30);
    tblFileFormat = table(QStringLiteral("tblFileFormat"), { localizedText("ID_FILE_EXTENSION") });
    tblFolder = table(QStringLiteral("tblFolder"), { localizedText("ID_FOLDER_CONTAING_DUPLICATE_FILES") });

    // The Protected folders tab: the browsed folder and its buttons above the list.
    boxProtectedControls = new QWidget(box);
    boxProtectedControls->setObjectName(QStringLiteral("boxProtected"));
    boxProtectedControls->setGeometry(margin, tableTop, boxWidth - 2 * margin, 64);
    const int controlsWidth = boxProtectedControls->width();
    lblBrowsedPath = makeSheetLabel(boxProtectedControls, QStringLiteral("lblBrowsedPath"), QString(), 12, lightText);
    lblBrowsedPath->setWordWrap(false);
    lblBrowsedPath->setAutoFillBackground(true);
    lblBrowsedPath->setStyleSheet(
        QStringLiteral("QLabel { background: #232325; border: 1px solid #4e4e50; padding-left: 6px; }"));
    lblBrowsedPath->setGeometry(0, 0, controlsWidth - 3 * 92, 26);
    btnBrowsePath = makeButton(boxProtectedControls, QStringLiteral("btnBrowsePath"), localizedText("ID_BROWSE"));
    styleBrowse(btnBrowsePath);
    btnBrowsePath->setGeometry(controlsWidth - 3 * 92 + 8, 0, 84, 26);
    btnAddPath = makeButton(boxProtectedControls, QStringLiteral("btnAddPath"), localizedText("ID_ADD"));
    styleAddRemove(btnAddPath);
    btnAddPath->setGeometry(controlsWidth - 2 * 92 + 8, 0, 84, 26);
    btnRemovePath = makeButton(boxProtectedControls, QStringLiteral("btnRemovePath"), localizedText("ID_REMOVE"));
    styleAddRemove(btnRemovePath);
    btnRemovePath->setGeometry(controlsWidth - 92 + 8, 0, 84, 26);
    btnIncludeSubFolder = new QCheckBox(localizedText("ID_INCLUDE_SUB_FOLDER"), boxProtectedControls);
    btnIncludeSubFolder->setObjectName(QStringLiteral("btnIncludeSubFolder"));
    btnIncludeSubFolder->setFont(systemFontOfSize(12));
    btnIncludeSubFolder->setChecked(true);
    QPalette palette = btnIncludeSubFolder->palette();
    palette.setColor(QPalette::WindowText, lightText);
    btnIncludeSubFolder->setPalette(palette);
    btnIncludeSubFolder->setGeometry(0, 34, 300, 24);

    tblProtected = new AssistantRowTable(2, box, AssistantRowTable::DropHandler());
    tblProtected->setObjectName(QStringLiteral("tblProtected"));
    tblProtected->setGeometry(margin, tableTop + 64, boxWidth - 2 * margin, tableBottom - tableTop - 64);
    tblProtected->setHorizontalHeaderLabels({ localizedText("ID_PATH"), localizedText("ID_INCLUDE_SUB_FOLDER") });
    tblProtected->horizontalHeaderItem(0)->setData(Qt::UserRole, QStringLiteral("idPath"));
    tblProtected->horizontalHeaderItem(1)->setData(Qt::UserRole, QStringLiteral("idSubFolder"));
    tblProtected->horizontalHeader()->setStretchLastSection(false);
    tblProtected->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    tblProtected->horizontalHeader()->resizeSection(1, 170);
    connect(tblProtected, &QTableWidget::itemSelectionChanged, this, [this] { updateRemoveButton(); });
    connect(btnBrowsePath, &QAbstractButton::clicked, this, [this] { btnbrowseProtectPathTapped(); });
    connect(btnAddPath, &QAbstractButton::clicked, this, [this] { btnAddProtectPathTapped(); });
    connect(btnRemovePath, &QAbstractButton::clicked, this, [this] { btnRemoveProtectPathTapped(); });

    const int sideX = boxWidth - margin - sideButtonWidth;
    btnUp = makeButton(box, QStringLiteral("btnUp"), QStringLiteral("\u25B2"));
    btnDown = makeButton(box, QStringLiteral("btnDown"), QStringLiteral("\u25BC"));
    for (RAZButton* button : { btnUp, btnDown })
        styleBrowse(button);
    btnUp->setGeometry(sideX, tableTop, sideButtonWidth, 34);
    btnDown->setGeometry(sideX, tableTop + 42, sideButtonWidth, 34);
    connect(btnUp, &QAbstractButton::clicked, this, [this] { btnUpDownTapped(-1); });
    connect(btnDown, &QAbstractButton::clicked, this, [this] { btnUpDownTapped(+1); });

    const int bottomY = boxHeight - 50;
    btnResetPriority
        = makeButton(box, QStringLiteral("btnResetPriority"), localizedText("ID_RESET_SELECTION_PRIORITY"));
    // Edged, unlike the other grey buttons: its fill is the sheet's own.
    btnResetPriority->setButtonInsideColor(QColor(42, 42, 42), QColor(190, 190, 190), Qt::white, QColor(23, 234, 234),
        QColor(140, 140, 140), QColor(169, 169, 169), 3, 13, false, false, 1);
    btnResetPriority->setFont(systemFontOfSize(13));
    btnResetPriority->setGeometry(margin, bottomY + 3,
        QFontMetrics(btnResetPriority->font()).horizontalAdvance(btnResetPriority->text()) + 30, 26);
    btnMark = makeSheetDefaultButton(box, QStringLiteral("btnMark"));
    btnMark->setText(localizedText("ID_MARK"));
    btnMark->setGeometry(boxWidth - margin - 110, bottomY, 110, 32);
    btnCancel = makeButton(box, QStringLiteral("btnCancel"), localizedText("ID_CANCEL"));
    applyResultButtonStyle(btnCancel);
    btnCancel->setFont(systemFontOfSize(btnCancel->cell().textFontSize()));
    btnCancel->setGeometry(boxWidth - margin - 110 - 12 - 96, bottomY + 3, 96, 26);
    connect(btnResetPriority, &QAbstractButton::clicked, this, [this] { btnResetPriorityTapped(); });
    connect(btnMark, &QAbstractButton::clicked, this, [this] { btnMarkTapped(); });
    connect(btnCancel, &QAbstractButton::clicked, this, [this] { btnCloseAssistanceWindow(); });
    connect(window, &QDialog::rejected, this, [this] { btnCloseAssistanceWindow(); });

    // Tab follows the sheet as it is drawn, the lists each one stop; each tab
    // shows only its own controls and list.
    QWidget* const order[] = { btnGeneralTab, btnProtectedFolderTab, btnFileFormatTab, btnFoldersTab, btnBrowsePath,
        btnAddPath, btnRemovePath, btnIncludeSubFolder, tblGeneral, tblProtected, tblFileFormat, tblFolder, btnUp,
        btnDown, btnResetPriority, btnCancel, btnMark };
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
}

void SelectAssistanceController::layOutSheet()
{
    layOutSheetOver(window, boxMainSelectionAssistance,
        resultsWindow_ ? resultsWindow_->window()->geometry() : QRect(QPoint(), QSize(1082, 700)));
}

void SelectAssistanceController::openSheet()
{
    protectedSource_ = selectedScanSource().load();
    // Read afresh at each opening: a list kept from an earlier opening would
    // write itself back over a reset made in the preferences meanwhile. A list
    // that is missing or not a list at all reads as the default rules.
    rules_
        = defaults_.arrayValue(QString::fromLatin1(SettingsKey::autoMarkingRules)).value_or(defaultAutoMarkingRules());
    browsedPath_.clear();
    lblBrowsedPath->clear();
    btnAddPath->setEnabled(false);
    for (Tab tab : { Tab::general, Tab::protectedFolders, Tab::fileFormats, Tab::folders })
        reloadTable(tab);
    updateRemoveButton();
    segmentClicked(Tab::general);
    layOutSheet();
    window->open();
}

bool SelectAssistanceController::isOpen() const
{
    return window->isVisible();
}

QTableWidget* SelectAssistanceController::tableOf(Tab tab) const
{
    switch (tab) {
    case Tab::general:
        return tblGeneral;
    case Tab::protectedFolders:
        return tblProtected;
    case Tab::fileFormats:
        return tblFileFormat;
    case Tab::folders:
        return tblFolder;
    }
    return nullptr;
}

void SelectAssistanceController::highlightTab(Tab tab)
{
    styleTab(btnGeneralTab, tab == Tab::general);
    styleTab(btnProtectedFolderTab, tab == Tab::protectedFolders);
    styleTab(btnFileFormatTab, tab == Tab::fileFormats);
    styleTab(btnFoldersTab, tab == Tab::folders);
    shownTab_ = tab;
}

void SelectAssistanceController::segmentClicked(Tab tab)
{
    highlightTab(tab);
    for (Tab each : { Tab::general, Tab::protectedFolders, Tab::fileFormats, Tab::folders })
        tableOf(each)->setVisible(each == tab);
    boxProtectedControls->setVisible(tab == Tab::protectedFolders);
    btnUp->setVisible(tab != Tab::protectedFolders);
    btnDown->setVisible(tab != Tab::protectedFolders);
    lblDescription->setText(localizedText(descriptionKey(tab)));
    // A priority list opens on its first row, so Up and Down act at once;
    // the protected list keeps the row the user chose.
    if (tab != Tab::protectedFolders) {
        reloadTable(tab);
        selectRow(tab, 0);
    }
}

void SelectAssistanceController::reloadTable(Tab tab)
{
    QTableWidget* table = tableOf(tab);
    table->setRowCount(0);
    const auto cell = [](const QString& value) {
        auto* item = new QTableWidgetItem(value);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled);
        return item;
    };
    switch (tab) {
    case Tab::general:
        table->setRowCount(static_cast<int>(rules_.size()));
        for (int row = 0; row < rules_.size(); ++row) {
            const std::optional<QVariantMap> rule = Setting::toDictionary(rules_[row]);
            table->setItem(row, 0, cell(QString()));
            table->setItem(row, 1, cell(rule ? rule->value(QStringLiteral("description")).toString() : QString()));
            if (!rule)
                continue;
            // The rule's switch; its row number tells which rule it is.
            auto* check = new QCheckBox;
            // Clicked, or switched by Space on its row: the list keeps the keys.
            check->setFocusPolicy(Qt::NoFocus);
            check->setProperty("tag", row);
            const QVariant on = rule->value(QStringLiteral("state"));
            check->setChecked(Setting::toBool(on).value_or(false) || Setting::toInteger(on) == 1);
            check->setContentsMargins(8, 0, 0, 0);
            connect(check, &QCheckBox::toggled, this,
                [this, check](bool on) { btnCheckUnCheckTapped(check->property("tag").toInt(), on); });
            table->setCellWidget(row, 0, check);
        }
        break;
    case Tab::fileFormats:
    case Tab::folders: {
        const QStringList& list = tab == Tab::folders ? state_.folderPriorityList : state_.fileFormatPriorityList;
        table->setRowCount(static_cast<int>(list.size()));
        for (int row = 0; row < list.size(); ++row)
            table->setItem(row, 0, cell(printablePath(list[row])));
        break;
    }
    case Tab::protectedFolders: {
        const std::vector<FilePathNodePtr>& list = store_.protectList(protectedSource_);
        table->setRowCount(static_cast<int>(list.size()));
        for (int row = 0; row < table->rowCount(); ++row) {
            const FilePathNodePtr& node = list[row];
            QString path;
            if (protectedSource_ == ScanSource::googleDrive)
                path = node && node->gdFolder ? node->gdFolder->folderAbsPath : QString();
            else
                path = node ? node->filePath.value_or(QString()) : QString();
            table->setItem(row, 0, cell(printablePath(path)));
            table->setItem(row, 1, cell(localizedText(node && node->isIncludeSubFolders ? "ID_YES" : "ID_NO")));
        }
        break;
    }
    }
}

void SelectAssistanceController::selectRow(Tab tab, int row)
{
    QTableWidget* table = tableOf(tab);
    if (row < 0 || row >= table->rowCount())
        return table->clearSelection();
    table->selectRow(row);
    table->scrollToItem(table->item(row, 0));
}

void SelectAssistanceController::btnUpDownTapped(int offset)
{
    if (shownTab_ == Tab::protectedFolders)
        return;
    QTableWidget* table = tableOf(shownTab_);
    const QList<QTableWidgetSelectionRange> ranges = table->selectedRanges();
    if (ranges.isEmpty())
        return;
    const int row = ranges.first().topRow();
    const int target = row + offset;
    if (target < 0 || target >= table->rowCount() || !movePriorityRow(row, target))
        return;
    reloadTable(shownTab_);
    selectRow(shownTab_, target);
    if (shownTab_ == Tab::folders)
        markFolderPriorityChanged();
}

bool SelectAssistanceController::movePriorityRow(int from, int to)
{
    const auto move = [from, to](auto& list) {
        if (from < 0 || to < 0 || from >= list.size() || to >= list.size() || from == to)
            return false;
        list.move(from, to);
        return true;
    };
    switch (shownTab_) {
    case Tab::general:
        if (from < 0 || from >= rules_.size() || !Setting::toDictionary(rules_[from]) || !move(rules_))
            return false;
        storeRules();
        return true;
    case Tab::fileFormats:
        return move(state_.fileFormatPriorityList);
    case Tab::folders:
        return move(state_.folderPriorityList);
    case Tab::protectedFolders:
        break;
    }
    return false;
}

void SelectAssistanceController::acceptDrop(const QStringList& texts, int row)
{
    if (shownTab_ == Tab::protectedFolders)
        return;
    const int count = tableOf(shownTab_)->rowCount();
    // A row number from outside this table (another window, a stale drag)
    // names nothing here.
    if (row < 0 || row > count)
        return;
    int above = 0;
    int below = 0;
    bool moved = false;
    for (const QString& value : texts) {
        bool isNumber = false;
        const int index = value.trimmed().toInt(&isNumber);
        if (!isNumber || index < 0 || index >= count)
            continue;
        if (index < row) {
            moved |= movePriorityRow(index + above, row - 1);
            --above;
        } else {
            moved |= movePriorityRow(index, row + below);
            ++below;
        }
    }
    if (moved)
        reloadTable(shownTab_);
}

void SelectAssistanceController::btnCheckUnCheckTapped(int index, bool on)
{
    if (index < 0 || index >= rules_.size())
        return;
    std::optional<QVariantMap> rule = Setting::toDictionary(rules_[index]);
    if (!rule)
        return;
    rule->insert(QStringLiteral("state"), QVariant::fromValue<qlonglong>(on ? 1 : 0));
    rules_[index] = *rule;
    storeRules();
}

void SelectAssistanceController::storeRules()
{
    if (!defaults_.setValue(QString::fromLatin1(SettingsKey::autoMarkingRules), rules_))
        Log::print("Selection rules could not be saved");
}

void SelectAssistanceController::markFolderPriorityChanged()
{
    if (state_.isFolderPriorityUpdate)
        return;
    state_.isFolderPriorityUpdate = std::any_of(rules_.begin(), rules_.end(), [](const QVariant& entry) {
        const std::optional<QVariantMap> rule = Setting::toDictionary(entry);
        return rule && rule->value(QStringLiteral("ruleName")).toString() == QLatin1String("Folder");
    });
}

void SelectAssistanceController::btnResetPriorityTapped()
{
    rules_ = defaultAutoMarkingRules();
    storeRules();
    state_.fileFormatPriorityList = state_.defaultFileFormatPriorityList;
    state_.folderPriorityList = state_.defaultFolderPriorityList;
    for (Tab tab : { Tab::general, Tab::folders, Tab::fileFormats }) {
        reloadTable(tab);
        selectRow(tab, 0);
    }
}

void SelectAssistanceController::btnCloseAssistanceWindow()
{
    Log::print("btnCloseAssistanceWindow");
    window->hide();
    segmentClicked(Tab::general);
}

void SelectAssistanceController::btnMarkTapped()
{
    btnCloseAssistanceWindow();
    marking_.proceedToautoMarkAllitems();
}

void SelectAssistanceController::btnbrowseProtectPathTapped()
{
    QPointer<SelectAssistanceController> self(this);
    auto chosen = [self](const QString& path) {
        if (!self || path.isEmpty())
            return;
        // The label shows the folder's name escaped; Add takes the folder
        // itself, never the text shown.
        self->browsedPath_ = path;
        self->lblBrowsedPath->setText(printablePath(path));
        self->btnAddPath->setEnabled(true);
    };
    if (!protectsLocalFolders(protectedSource_)) {
        if (cloud_)
            cloud_->browseFolder(protectedSource_, chosen);
        else
            Log::print("No cloud folder list to browse for source", static_cast<int>(protectedSource_));
        return;
    }
    if (chooser_)
        chooser_->chooseFolder(localizedText("ID_ADD_TO_PROTECTION"), chosen);
}

void SelectAssistanceController::btnAddProtectPathTapped()
{
    const QString path = browsedPath_;
    const bool includeSub = btnIncludeSubFolder->isChecked();
    bool changed = true;
    // Exactly the folder shown, whatever was highlighted in a panel since.
    if (path.isEmpty()) {
        changed = false;
    } else if (!protectsLocalFolders(protectedSource_)) {
        if (cloud_)
            cloud_->addChosenFolder(protectedSource_, path, includeSub);
    } else if (isTrashFolder(path)) {
        alertPresenter()->presentThen(
            { localizedText("ID_CANT_ADD_BIN_FOLDER"), QString(), { localizedText("ID_OK") } }, {});
        changed = false;
    } else {
        const std::vector<FilePathNodePtr>& list = store_.protectList(protectedSource_);
        const bool listed = std::any_of(
            list.begin(), list.end(), [&](const FilePathNodePtr& node) { return node && node->filePath == path; });
        if (listed) {
            alertPresenter()->presentThen(
                { localizedText("ID_FOLDER_CANNOT_ADDED_PROTECTION_LIST"),
                    localizedText("ID_FOLDER_ALREDY_EXIST_PLEASE_TRY_ADD_ANOTHER_FOLDER"), { localizedText("ID_OK") } },
                {});
            changed = false;
        } else {
            auto node = std::make_shared<FilePathNode>();
            node->filePath = path;
            node->state = 1;
            node->isIncludeSubFolders = includeSub;
            node->nodeType = GlobalObjects::NodeType::nodeTypefolder;
            store_.edit(protectedSource_, SourceList::protect,
                [&node](std::vector<FilePathNodePtr>& rows) { rows.push_back(node); });
        }
    }
    reloadTable(Tab::protectedFolders);
    browsedPath_.clear();
    lblBrowsedPath->clear();
    btnAddPath->setEnabled(false);
    if (changed)
        protectedListEdited();
}

void SelectAssistanceController::btnRemoveProtectPathTapped()
{
    const std::vector<FilePathNodePtr>& list = store_.protectList(protectedSource_);
    const QList<QTableWidgetSelectionRange> ranges = tblProtected->selectedRanges();
    const int row = ranges.isEmpty() ? -1 : ranges.first().topRow();
    if (row < 0 || row >= static_cast<int>(list.size()))
        return;
    store_.edit(protectedSource_, SourceList::protect,
        [row](std::vector<FilePathNodePtr>& rows) { rows.erase(rows.begin() + row); });
    reloadTable(Tab::protectedFolders);
    protectedListEdited();
    updateRemoveButton();
}

void SelectAssistanceController::protectedListEdited()
{
    state_.buildProtectedFolderPredicate();
}

void SelectAssistanceController::updateRemoveButton()
{
    btnRemovePath->setEnabled(!tblProtected->selectedRanges().isEmpty());
}
