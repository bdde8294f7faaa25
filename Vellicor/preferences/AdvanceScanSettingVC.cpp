#include "preferences/AdvanceScanSettingVC.h"

#include "base/AlertPresenter.h"
#include "base/UserDefaults.h"
#include "controls/ApplicationFont.h"
#include "controls/DialogLook.h"
#include "core/AppNotifier.h"
#include "core/AppStartup.h"
#include "core/FileCategories.h"
#include "core/GlobalObjects.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"
#include "core/TextFormat.h"
#include "preferences/ExtensionFilterRules.h"
#include "preferences/ScanSettingsLayout.h"
#include "preferences/PaneLayout.h"
#include "preferences/PreferencesKit.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>

#include <algorithm>

namespace {

// Sizes are whole numbers below 1024 of their unit: the next unit up takes
// over from there.
constexpr int largestSize = 1023;

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

qint64 unitFactor(qint64 unit)
{
    switch (unit) {
    case 1:
        return 1000;
    case 2:
        return 1000000;
    case 3:
        return 1000000000;
    default:
        return 1;
    }
}

} // namespace

AdvanceScanSettingVC::AdvanceScanSettingVC(UserDefaults& defaults, QWidget* parent)
    : PreferencePane(parent)
    , defaults_(defaults)
    , title_(localizedText("ID_ADVANCE_SCAN_SETTINGS"))
    , icon_(paneIcon(QStringLiteral("advance-scan-setting")))
{
    setFixedSize(ScanSettingsLayout::paneSize);
    auto named = [](QWidget* widget, const char* name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };
    auto heading = [this, &named](const char* name, const char* textKey, int size) {
        auto* label = new QLabel(localizedText(textKey), this);
        label->setFont(systemFontOfSize(size, size > 12 ? QFont::Bold : QFont::Normal));
        named(label, name);
        return label;
    };
    heading("lblSearchFilter", "ID_SEARCH_FILTER", 13);
    heading("lblFileFilter", "ID_FILE_FILTER", 12);
    heading("lblMoreSearchOptions", "ID_MORE_SEARCH_OPTIONS", 13);
    heading("lblFIleSize", "ID_FILES_SIZE", 12);
    heading("lblFilesDates", "ID_FILES_DATES", 12);

    auto* segments = named(new QWidget(this), "segmentControlView");
    segmentControl = new QButtonGroup(this);
    for (int i = 0; i < 2; ++i) {
        auto* segment = new QPushButton(localizedText(i == 0 ? "ID_INCLUDE" : "ID_EXCLUDE"), segments);
        segment->setCheckable(true);
        segment->setGeometry(i * 90, 0, 90, 24);
        segmentControl->addButton(segment, i);
    }
    segmentControl->button(0)->setChecked(true);
    connect(segmentControl, &QButtonGroup::idClicked, this, [this] { showExtensionFilterList(); });

    tblFormatsList = new QTableWidget(0, 1, this);
    tblFormatsList->setTabKeyNavigation(false);
    named(tblFormatsList, "tblFormatsList");
    tblFormatsList->horizontalHeader()->hide();
    tblFormatsList->horizontalHeader()->setStretchLastSection(true);
    tblFormatsList->verticalHeader()->hide();
    tblFormatsList->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblFormatsList->setSelectionMode(QAbstractItemView::SingleSelection);
    tblFormatsList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblFormatsList->setWordWrap(false);
    connect(tblFormatsList, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
        if (!filling_)
            toggleExtensionFilter(item->row(), item->checkState() == Qt::Checked);
    });

    auto button = [this, &named](const char* name, const char* textKey) {
        auto* result = new QPushButton(localizedText(textKey), this);
        named(result, name);
        connect(result, &QPushButton::clicked, this, [this, result] { manageExtensionFilters(result); });
        return result;
    };
    btnAddExt = button("btnAddExt", "ID_ADD");
    btnEditExt = button("btnEditExt", "ID_EDIT");
    btnDeleteExt = button("btnDeleteExt", "ID_DELETE");

    btnAnySize = new QCheckBox(localizedText("ID_ANY_SIZE"), this);
    named(btnAnySize, "btnAnySize");
    connect(btnAnySize, &QCheckBox::clicked, this, [this](bool on) {
        defaults_.setValue(key(SettingsKey::scanFileOfAnyFileSize), on);
        updateSizeControlsEnabled();
    });
    named(new QLabel(localizedText("ID_MINIMUM_FILE_SIZE"), this), "lblMinimumFileSize");
    named(new QLabel(localizedText("ID_MAXIMUM_FILE_SIZE"), this), "lblMaximumFileSize");
    auto sizeField = [this, &named](const char* name) {
        auto* field = new QSpinBox(this);
        field->setRange(0, largestSize);
        named(field, name);
        connect(field, &QSpinBox::editingFinished, this, [this] { validateFileSizeLimits(); });
        connect(field, &QSpinBox::valueChanged, this, [this, field] {
            if (!filling_ && !field->hasFocus())
                validateFileSizeLimits();
        });
        return field;
    };
    txtMinFileSize = sizeField("txtMinFileSize");
    txtMaxFileSize = sizeField("txtMaxFileSize");
    auto unitPopup = [this, &named](const char* name, const char* unitKey) {
        auto* popup = new QComboBox(this);
        popup->addItems({ QStringLiteral("bytes"), QStringLiteral("KB"), QStringLiteral("MB"), QStringLiteral("GB") });
        named(popup, name);
        connect(popup, &QComboBox::activated, this, [this, unitKey](int index) {
            defaults_.setValue(key(unitKey), QVariant::fromValue<qlonglong>(index));
            validateFileSizeLimits();
        });
        return popup;
    };
    popupMinfileSize = unitPopup("popupMinfileSize", SettingsKey::fileSizeUnit);
    popupMaxfileSzie = unitPopup("popupMaxfileSzie", SettingsKey::fileSizeUnitForMax);

    auto tinyBox = [this, &named](const char* name, const char* textKey) {
        auto* box = new QCheckBox(localizedText(textKey), this);
        named(box, name);
        connect(box, &QCheckBox::clicked, this, [this, box] { applyTinyFileOption(box); });
        return box;
    };
    btnExcludeZeroSize = tinyBox("btnExcludeZeroSize", "ID_EXCLUDE_ZERO_SIZE_FILE_FROM_DUPLICATE_LIST");
    btnExclude1KBSzie = tinyBox("btnExclude1KBSzie", "ID_EXCLUDE_1KB_SIZE_FILE_FROM_DUPLICATE_LIST");
    btnExclude10KBSzie = tinyBox("btnExclude10KBSzie", "ID_EXCLUDE_10KB_SIZE_FILE_FROM_DUPLICATE_LIST");
    btnScanHiddenFolders = new QCheckBox(QStringLiteral("Scan hidden folders"), this);
    named(btnScanHiddenFolders, "btnScanHiddenFolders");
    connect(btnScanHiddenFolders, &QCheckBox::clicked, this,
        [this](bool on) { defaults_.setValue(key(SettingsKey::sacnHiddenFolders), on); });

    auto dateButton = [this, &named](const char* name, const char* textKey, int tag) {
        auto* radio = new QRadioButton(localizedText(textKey), this);
        named(radio, name);
        connect(radio, &QRadioButton::clicked, this, [this, tag] { applyDateOption(tag); });
        return radio;
    };
    btnAnyDate = dateButton("btnAnyDate", "ID_ANY_DATE", 1);
    btnCreatedfrom = dateButton("btnCreatedfrom", "ID_CREATED_FROM", 2);
    btnModifiedDate = dateButton("btnModifiedDate", "ID_MODIFIED_FROM", 3);
    auto datePicker = [this, &named](const char* name, const char* dateKey) {
        auto* picker = new QDateEdit(this);
        picker->setCalendarPopup(true);
        picker->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        named(picker, name);
        connect(picker, &QDateEdit::dateChanged, this, [this, dateKey](QDate date) {
            if (!filling_)
                defaults_.setValue(key(dateKey), QDateTime(date, QTime(0, 0)).toUTC());
        });
        return picker;
    };
    datePickerCreated = datePicker("datePickerCreated", SettingsKey::scanFileForCreatedDate);
    datePickerModified = datePicker("datePickerModified", SettingsKey::scanFileForModifiedDate);

    buildEditor();

    FrameTable pane = ScanSettingsLayout::baseFrames();
    FrameTable editor = ScanSettingsLayout::editorBaseFrames();
    QHash<QString, int> fonts;
    ScanSettingsLayout::adaptLayoutToLanguage(currentLanguageCode, pane, editor, &fonts);
    pane.apply(this);
    editor.apply(windowManageExtensions);
    for (auto font = fonts.constBegin(); font != fonts.constEnd(); ++font) {
        QWidget* control = findChild<QWidget*>(font.key());
        if (!control)
            control = windowManageExtensions->findChild<QWidget*>(font.key());
        if (control)
            control->setFont(systemFontOfSize(font.value()));
    }

    // The size fields show their settings as a binding would, so after a
    // reset they show the reset's sizes rather than write old ones back.
    connect(&AppNotifier::instance(), &AppNotifier::PreferencesResetToDefaults, this, [this] {
        loadAdvancedScanSettings();
        showStoredSizes();
    });
    loadAdvancedScanSettings();
    showStoredSizes();
}

void AdvanceScanSettingVC::showStoredSizes()
{
    loadLastSizeSettings();
    filling_ = true;
    txtMinFileSize->setValue(int(std::clamp<qint64>(lastSelectedMinSize_, 0, largestSize)));
    txtMaxFileSize->setValue(int(std::clamp<qint64>(lastSelectedMaxSize_, 0, largestSize)));
    popupMinfileSize->setCurrentIndex(int(std::clamp<qint64>(lastMinSizeUnit_, 0, 3)));
    popupMaxfileSzie->setCurrentIndex(int(std::clamp<qint64>(lastMaxSizeUnit_, 0, 3)));
    filling_ = false;
}

AdvanceScanSettingVC::~AdvanceScanSettingVC() = default;

void AdvanceScanSettingVC::hideEvent(QHideEvent* event)
{
    validateFileSizeLimits();
    PreferencePane::hideEvent(event);
}

QSize AdvanceScanSettingVC::sizeHint() const
{
    return ScanSettingsLayout::paneSize;
}

void AdvanceScanSettingVC::buildEditor()
{
    windowManageExtensions = new QDialog(this);
    windowManageExtensions->setObjectName(QStringLiteral("windowManageExtensions"));
    windowManageExtensions->setWindowModality(Qt::WindowModal);
    windowManageExtensions->setFixedSize(ScanSettingsLayout::editorSize);
    auto* fileType = new QLabel(localizedText("ID_FILE_TYPE"), windowManageExtensions);
    fileType->setObjectName(QStringLiteral("lblFileType"));
    fileType->setFont(systemFontOfSize(13, QFont::Bold));
    lblFileTypeVal = new QLabel(windowManageExtensions);
    lblFileTypeVal->setObjectName(QStringLiteral("lblFileTypeVal"));
    auto* hint
        = new QLabel(localizedText("ID_ENTER_ONE_OR_MORE_TERMINAL_STYLE_FILE_NAME_PATTERNS"), windowManageExtensions);
    hint->setObjectName(QStringLiteral("lblEnterFileOneOrMoreTerminal"));
    applyPreferenceDescriptionStyle(hint);
    txtViewExtensions = new QPlainTextEdit(windowManageExtensions);
    txtViewExtensions->setObjectName(QStringLiteral("txtViewExtensions"));
    btnCancelExtList = new QPushButton(localizedText("ID_CANCEL"), windowManageExtensions);
    btnCancelExtList->setObjectName(QStringLiteral("btnCancelExtList"));
    btnUpdateExtList = new QPushButton(localizedText("ID_UPDATE"), windowManageExtensions);
    btnUpdateExtList->setObjectName(QStringLiteral("btnUpdateExtList"));
    btnUpdateExtList->setDefault(true);
    applyDarkDialogLook(windowManageExtensions);
    connect(btnUpdateExtList, &QPushButton::clicked, this, [this] { btnUpdateExtListTapped(); });
    connect(btnCancelExtList, &QPushButton::clicked, this, [this] { btnCancelExtListTapped(); });
}

int AdvanceScanSettingVC::shownSegment() const
{
    return segmentControl->checkedId();
}

void AdvanceScanSettingVC::selectSegment(int segment)
{
    if (QAbstractButton* button = segmentControl->button(segment)) {
        button->setChecked(true);
        showExtensionFilterList();
    }
}

const QVariantList& AdvanceScanSettingVC::shownList() const
{
    return shownSegment() == 1 ? arrExcludeExt_ : arrIncludeExt_;
}

void AdvanceScanSettingVC::loadAdvancedScanSettings()
{
    filling_ = true;
    if (const std::optional<bool> any = defaults_.boolValue(key(SettingsKey::scanFileOfAnyFileSize)))
        btnAnySize->setChecked(*any);
    updateSizeControlsEnabled();
    loadExtensionFilterLists();
    if (const std::optional<qint64> option = defaults_.integerValue(key(SettingsKey::scanFilesDate));
        option && *option >= 1 && *option <= 3)
        applyDateOption(int(*option));
    const QDate today = QDate::currentDate();
    datePickerCreated->setDate(
        defaults_.dateValue(key(SettingsKey::scanFileForCreatedDate)).value_or(QDateTime()).toLocalTime().date());
    datePickerModified->setDate(
        defaults_.dateValue(key(SettingsKey::scanFileForModifiedDate)).value_or(QDateTime()).toLocalTime().date());
    if (!datePickerCreated->date().isValid())
        datePickerCreated->setDate(today);
    if (!datePickerModified->date().isValid())
        datePickerModified->setDate(today);
    btnScanHiddenFolders->setChecked(defaults_.boolValue(key(SettingsKey::sacnHiddenFolders)).value_or(false));

    const qint64 level = defaults_.integerValue(key(SettingsKey::excludeDuplicateLessSizeInKB)).value_or(-1);
    for (QCheckBox* box : { btnExcludeZeroSize.get(), btnExclude1KBSzie.get(), btnExclude10KBSzie.get() })
        box->setChecked(false);
    QCheckBox* const byLevel[] = { btnExcludeZeroSize, btnExclude1KBSzie, btnExclude10KBSzie };
    if (level >= 1 && level <= 3) {
        byLevel[level - 1]->setChecked(true);
        applyTinyFileOption(byLevel[level - 1]);
    }
    filling_ = false;
    showExtensionFilterList();
}

void AdvanceScanSettingVC::updateSizeControlsEnabled()
{
    const bool limited = !btnAnySize->isChecked();
    for (QWidget* control :
        std::initializer_list<QWidget*> { txtMinFileSize, txtMaxFileSize, popupMinfileSize, popupMaxfileSzie })
        control->setEnabled(limited);
}

void AdvanceScanSettingVC::loadExtensionFilterLists()
{
    auto read = [this](const char* listKey) {
        QVariantList rows;
        for (const QVariant& row : defaults_.arrayValue(key(listKey)).value_or(QVariantList())) {
            if (Setting::toDictionary(row))
                rows.append(row);
        }
        return rows;
    };
    arrIncludeExt_ = read(SettingsKey::includeExtensionList);
    arrExcludeExt_ = read(SettingsKey::excludeExtensionList);
}

void AdvanceScanSettingVC::showExtensionFilterList()
{
    filling_ = true;
    const QVariantList& rows = shownList();
    tblFormatsList->clearContents();
    tblFormatsList->setRowCount(int(rows.size()));
    for (int row = 0; row < int(rows.size()); ++row) {
        const QVariantMap record = rows.at(row).toMap();
        const QString values = Setting::toText(record.value(QStringLiteral("values"))).value_or(QString());
        auto* item = new QTableWidgetItem(values);
        item->setToolTip(values);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        const bool on = Setting::toBool(record.value(QStringLiteral("state"))).value_or(false);
        item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
        tblFormatsList->setItem(row, 0, item);
    }
    if (!rows.isEmpty())
        tblFormatsList->selectRow(0);
    filling_ = false;
}

int AdvanceScanSettingVC::selectedRow() const
{
    const QList<QTableWidgetSelectionRange> ranges = tblFormatsList->selectedRanges();
    return ranges.isEmpty() ? -1 : ranges.front().topRow();
}

void AdvanceScanSettingVC::storeShownList()
{
    const bool include = shownSegment() == 0;
    defaults_.setValue(key(include ? SettingsKey::includeExtensionList : SettingsKey::excludeExtensionList),
        include ? arrIncludeExt_ : arrExcludeExt_);
    reloadExtensionTables(defaults_);
}

void AdvanceScanSettingVC::toggleExtensionFilter(int row, bool on)
{
    const bool include = shownSegment() == 0;
    QVariantList& list = include ? arrIncludeExt_ : arrExcludeExt_;
    const QVariantList& other = include ? arrExcludeExt_ : arrIncludeExt_;
    if (row < 0 || row >= list.size())
        return;
    QVariantMap record = list.at(row).toMap();
    // Only turning a filter on can clash with the other list; turning one off
    // always goes through.
    const std::optional<QString> clash = on ? clashingFilter(record, other) : std::nullopt;
    if (clash) {
        filling_ = true;
        if (QTableWidgetItem* item = tblFormatsList->item(row, 0))
            item->setCheckState(Qt::Unchecked);
        filling_ = false;
        const char* message = include ? "ID_FILTER_WITH_SAME_EXTENSION_ALREDAY_IN_EXCLUDED_LIST"
                                      : "ID_FILTER_WITH_SAME_EXTENSION_ALREDAY_IN_INCLUDED_LIST";
        alertPresenter()->present(
            { formatText(localizedText(message), { *clash }), QString(), { localizedText("ID_OK") } });
        return;
    }
    record.insert(QStringLiteral("state"), QVariant::fromValue<qlonglong>(on ? 1 : 0));
    list[row] = record;
    storeShownList();
}

void AdvanceScanSettingVC::manageExtensionFilters(QAbstractButton* sender)
{
    const int row = selectedRow();
    if (sender == btnAddExt) {
        btnUpdateExtList->setText(localizedText("ID_ADD"));
        currentSelectdOptn_ = SelectedOptn::add;
        showExtensionEditor(true);
    } else if (sender == btnEditExt) {
        if (row < 0) {
            alertPresenter()->present(
                { localizedText("ID_PLEASE_SELECT_ATLEASE_ONE_ITEM_TO_EDIT"), QString(), { localizedText("ID_OK") } });
            return;
        }
        const QVariantMap record = shownList().value(row).toMap();
        if (shownSegment() == 0 && row == 0
            && extensionTypeForLabel(record.value(QStringLiteral("keyStr")).toString()) == 1) {
            alertPresenter()->present(
                { localizedText("ID_EDITING_ALL_FILE_TYPE_NOT_ALLOWED"), QString(), { localizedText("ID_OK") } });
            return;
        }
        currentSelectdOptn_ = SelectedOptn::edit;
        btnUpdateExtList->setText(localizedText("ID_UPDATE"));
        showExtensionEditor(true);
    } else if (sender == btnDeleteExt) {
        if (row < 0) {
            alertPresenter()->present({ localizedText("ID_PLEASE_SELECT_ATLEASE_ONE_ITEM_TO_DELETE"), QString(),
                { localizedText("ID_OK") } });
            return;
        }
        currentSelectdOptn_ = SelectedOptn::remove;
        QVariantList& list = shownSegment() == 1 ? arrExcludeExt_ : arrIncludeExt_;
        if (row < list.size()) {
            list.removeAt(row);
            storeShownList();
        }
        showExtensionFilterList();
    }
}

void AdvanceScanSettingVC::showExtensionEditor(bool open)
{
    if (open) {
        fillExtensionEditor();
        windowManageExtensions->open();
    } else {
        windowManageExtensions->close();
    }
}

bool AdvanceScanSettingVC::isEditorOpen() const
{
    return windowManageExtensions && windowManageExtensions->isVisible();
}

void AdvanceScanSettingVC::fillExtensionEditor()
{
    const int row = selectedRow();
    QString values;
    if (currentSelectdOptn_ != SelectedOptn::add && row >= 0)
        values = Setting::toText(shownList().value(row).toMap().value(QStringLiteral("values"))).value_or(QString());
    if (values.isEmpty()) {
        lblFileTypeVal->setText(localizedText("ID_CUSTOM"));
        txtViewExtensions->clear();
        return;
    }
    // A text without " (" is all name: its patterns show empty.
    const qsizetype open = values.indexOf(QStringLiteral(" ("));
    lblFileTypeVal->setText(open < 0 ? values : values.left(open));
    txtViewExtensions->setPlainText(open < 0 ? QString() : values.mid(open + 2).remove(QLatin1Char(')')));
}

void AdvanceScanSettingVC::btnUpdateExtListTapped()
{
    const int row = selectedRow();
    const int segment = shownSegment();
    if (segment != 0 && segment != 1) {
        showExtensionEditor(false);
        return;
    }
    QVariantList& list = segment == 1 ? arrExcludeExt_ : arrIncludeExt_;
    const QString label = lblFileTypeVal->text();
    const QStringList extensions = normalizedPatterns(txtViewExtensions->toPlainText());
    QStringList patterns;
    for (const QString& extension : extensions)
        patterns << QStringLiteral("*.") + extension + QLatin1Char(';');
    // Stored the way the category tables read a filter: a name, " (", the
    // "*."-patterns each ended by ";", then ")".
    const QString values = label + QStringLiteral(" (") + patterns.join(QString()) + QLatin1Char(')');

    if (currentSelectdOptn_ == SelectedOptn::add) {
        if (extensions.isEmpty()) {
            alertPresenter()->present(
                { localizedText("ID_PLEASE_ENTER_FILE_NAME_PATTERNS"), QString(), { localizedText("ID_OK") } });
            return;
        }
        const QString joined = extensions.join(QLatin1Char(','));
        for (const QVariant& entry : list) {
            const std::optional<QVariantList> existing
                = Setting::toArray(entry.toMap().value(QStringLiteral("extensionList")));
            if (!existing)
                continue;
            QStringList texts;
            for (const QVariant& extension : *existing)
                texts << extension.toString().toLower();
            if (texts.join(QLatin1Char(',')) == joined) {
                const char* message = segment == 0 ? "ID_FILTER_WITH_SAME_EXTENSION_ALREDAY_IN_INCLUDED_LIST"
                                                   : "ID_FILTER_WITH_SAME_EXTENSION_ALREDAY_IN_EXCLUDED_LIST";
                alertPresenter()->present(
                    { localizedText(message).remove(QStringLiteral("%@ ")), QString(), { localizedText("ID_OK") } });
                return;
            }
        }
        // The editor names a new filter only as custom, so it lands in the
        // tables the scan consults for custom types.
        list.append(makeExtensionFilter(
            1, values, QString::fromLatin1(ExtensionFilterKey::custom), extensions, extensionTypeForLabel(label)));
        storeShownList();
        showExtensionFilterList();
        tblFormatsList->selectRow(int(list.size()) - 1);
    } else if (currentSelectdOptn_ == SelectedOptn::edit && row >= 0 && row < list.size()) {
        // What the filter covers follows the edit, for the later tests of
        // clashes and repeats as for the scan.
        QVariantMap record = list.at(row).toMap();
        record.insert(QStringLiteral("values"), values);
        record.insert(QStringLiteral("extensionList"), QVariant(extensions).toList());
        list[row] = record;
        storeShownList();
        showExtensionFilterList();
        tblFormatsList->selectRow(row);
    }
    showExtensionEditor(false);
}

void AdvanceScanSettingVC::btnCancelExtListTapped()
{
    showExtensionEditor(false);
}

void AdvanceScanSettingVC::loadLastSizeSettings()
{
    lastMinSizeUnit_ = defaults_.integerValue(key(SettingsKey::fileSizeUnit)).value_or(1);
    lastMaxSizeUnit_ = defaults_.integerValue(key(SettingsKey::fileSizeUnitForMax)).value_or(3);
    lastSelectedMinSize_ = defaults_.integerValue(key(SettingsKey::minimumFileSize)).value_or(0);
    lastSelectedMaxSize_ = defaults_.integerValue(key(SettingsKey::maximumFileSize)).value_or(5);
}

void AdvanceScanSettingVC::validateFileSizeLimits()
{
    if (filling_)
        return;
    const qint64 minimum = txtMinFileSize->value();
    const qint64 maximum = txtMaxFileSize->value();
    const qint64 minimumUnit = defaults_.integerValue(key(SettingsKey::fileSizeUnit)).value_or(1);
    const qint64 maximumUnit = defaults_.integerValue(key(SettingsKey::fileSizeUnitForMax)).value_or(3);
    if (minimum * unitFactor(minimumUnit) <= maximum * unitFactor(maximumUnit)) {
        defaults_.setValue(key(SettingsKey::minimumFileSize), QVariant::fromValue<qlonglong>(minimum));
        defaults_.setValue(key(SettingsKey::maximumFileSize), QVariant::fromValue<qlonglong>(maximum));
        loadLastSizeSettings();
        return;
    }
    showSizeOrderAlert();
}

void AdvanceScanSettingVC::showSizeOrderAlert()
{
    // The last sound limits come back at once, so that no scan started while
    // the alert is open reads the pair the alert refuses; the alert tells why.
    filling_ = true;
    popupMinfileSize->setCurrentIndex(int(std::clamp<qint64>(lastMinSizeUnit_, 0, 3)));
    popupMaxfileSzie->setCurrentIndex(int(std::clamp<qint64>(lastMaxSizeUnit_, 0, 3)));
    txtMinFileSize->setValue(int(lastSelectedMinSize_));
    txtMaxFileSize->setValue(int(lastSelectedMaxSize_));
    filling_ = false;
    auto integer = [](qint64 value) { return QVariant::fromValue<qlonglong>(value); };
    defaults_.setValue(key(SettingsKey::fileSizeUnit), integer(lastMinSizeUnit_));
    defaults_.setValue(key(SettingsKey::fileSizeUnitForMax), integer(lastMaxSizeUnit_));
    defaults_.setValue(key(SettingsKey::minimumFileSize), integer(lastSelectedMinSize_));
    defaults_.setValue(key(SettingsKey::maximumFileSize), integer(lastSelectedMaxSize_));
    alertPresenter()->presentThen({ localizedText("ID_PLEASE_ENTER_VALID_FILE_SIZE"),
                                      localizedText("ID_MIN_FILESIZE_CANNOT_GREATOR_THAN_MAX_FILESIZE"),
                                      { localizedText("ID_OK") }, AlertStyle::warning, QString(), nullptr, this },
        {});
}

void AdvanceScanSettingVC::applyDateOption(int tag)
{
    btnAnyDate->setChecked(tag == 1);
    btnCreatedfrom->setChecked(tag == 2);
    btnModifiedDate->setChecked(tag == 3);
    datePickerCreated->setEnabled(tag == 2);
    datePickerModified->setEnabled(tag == 3);
    defaults_.setValue(key(SettingsKey::scanFilesDate), QVariant::fromValue<qlonglong>(tag));
}

void AdvanceScanSettingVC::applyTinyFileOption(QCheckBox* sender)
{
    const bool on = sender->isChecked();
    for (QCheckBox* box : { btnExcludeZeroSize.get(), btnExclude1KBSzie.get(), btnExclude10KBSzie.get() })
        box->setEnabled(true);
    qint64 level = 0;
    if (sender == btnExcludeZeroSize) {
        level = on ? 1 : -1;
    } else if (sender == btnExclude1KBSzie) {
        btnExcludeZeroSize->setChecked(true);
        btnExcludeZeroSize->setEnabled(!on);
        level = on ? 2 : 1;
    } else if (sender == btnExclude10KBSzie) {
        btnExcludeZeroSize->setChecked(true);
        btnExclude1KBSzie->setChecked(true);
        btnExcludeZeroSize->setEnabled(false);
        btnExclude1KBSzie->setEnabled(!on);
        level = on ? 3 : 2;
    } else {
        return;
    }
    defaults_.setValue(key(SettingsKey::excludeDuplicateLessSizeInKB), QVariant::fromValue<qlonglong>(level));
}
