#include "preferences/ScanHistoryVC.h"

#include "base/AlertPresenter.h"
#include "base/SettingValue.h"
#include "base/UserDefaults.h"
#include "core/GlobalObjects.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"
#include "preferences/PreferencesKit.h"
#include "preferences/ScanHistoryModel.h"
#include "preferences/ScanHistoryTable.h"

#include <QHeaderView>
#include <QLabel>
#include <QPersistentModelIndex>

namespace {

constexpr QSize paneSize { 620, 320 };

QString historyKey()
{
    return QString::fromLatin1(SettingsKey::lastScanStatus);
}

// Where record stands in history, looked for first at row, where it stood
// when the pane was shown (records are appended at the end), then anywhere
// (older records gave way, or another pane took one); -1 when it is gone.
qsizetype placeOf(const QVariantList& history, const QVariant& record, int row)
{
    if (row < history.size() && Setting::writtenAlike(history.at(row), record))
        return row;
    for (qsizetype i = 0; i < history.size(); ++i) {
        if (Setting::writtenAlike(history.at(i), record))
            return i;
    }
    return -1;
}

} // namespace

ScanHistoryVC::ScanHistoryVC(UserDefaults& defaults, QWidget* parent)
    : PreferencePane(parent)
    , defaults_(defaults)
    , title_(localizedText("ID_SCAN_HISTORY"))
    , icon_(paneIcon(QStringLiteral("scan-history")))
    , model_(new ScanHistoryModel(this))
{
    setFixedSize(paneSize);
    tvScanHistory = new ScanHistoryTable(this);
    tvScanHistory->setObjectName(QStringLiteral("tvScanHistory"));
    tvScanHistory->setModel(model_);
    tvScanHistory->setDeleteColumn(ScanHistoryModel::deleteColumn);
    tvScanHistory->setTabKeyNavigation(false);
    tvScanHistory->setSelectionBehavior(QAbstractItemView::SelectRows);
    tvScanHistory->setSelectionMode(QAbstractItemView::SingleSelection);
    tvScanHistory->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvScanHistory->setWordWrap(false);
    tvScanHistory->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Every row is as high as the others: the view finds a row by its
    // number, never by measuring the rows before it.
    QHeaderView* rows = tvScanHistory->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(30);
    QHeaderView* columns = tvScanHistory->horizontalHeader();
    columns->setSectionsClickable(false);
    columns->setHighlightSections(false);
    columns->setSectionResizeMode(ScanHistoryModel::timeColumn, QHeaderView::Stretch);
    columns->setSectionResizeMode(ScanHistoryModel::deleteColumn, QHeaderView::Fixed);
    tvScanHistory->setGeometry(20, 20, 580, 280);
    connect(tvScanHistory, &ScanHistoryTable::deleteRequested, this, [this](int row) { deleteScanHistoryEntry(row); });
    lblNoHistoryFound = new QLabel(this);
    lblNoHistoryFound->setObjectName(QStringLiteral("lblNoHistoryFound"));
    lblNoHistoryFound->setAlignment(Qt::AlignCenter);
    lblNoHistoryFound->setGeometry(20, 20, 580, 280);
    lblNoHistoryFound->hide();
}

QSize ScanHistoryVC::sizeHint() const
{
    return paneSize;
}

void ScanHistoryVC::showEvent(QShowEvent* event)
{
    loadScanHistory();
    PreferencePane::showEvent(event);
}

void ScanHistoryVC::hideEvent(QHideEvent* event)
{
    // Taken afresh at the next show: a hidden pane keeps no copy.
    model_->setRecords({});
    PreferencePane::hideEvent(event);
}

std::pair<int, int> ScanHistoryVC::columnWidths(const QString& languageCode)
{
    if (languageCode == QLatin1String("ru"))
        return { 342, 130 };
    if (languageCode == QLatin1String("es"))
        return { 362, 120 };
    if (languageCode == QLatin1String("fi"))
        return { 322, 150 };
    return { 352, 120 };
}

void ScanHistoryVC::loadScanHistory()
{
    lblNoHistoryFound->setText(localizedText("ID_NO_SCAN_HISTORY_FOUND"));
    // The time takes what the action leaves of the table's width.
    tvScanHistory->setColumnWidth(ScanHistoryModel::deleteColumn, columnWidths(currentLanguageCode).second);
    // The store's list itself, shared: nothing is copied or decoded here.
    model_->setRecords(defaults_.arrayValue(historyKey()).value_or(QVariantList()));
    refresh();
}

void ScanHistoryVC::refresh()
{
    const bool empty = model_->rowCount() == 0;
    lblNoHistoryFound->setVisible(empty);
    tvScanHistory->setVisible(!empty);
}

void ScanHistoryVC::deleteScanHistoryEntry(int row)
{
    if (asking_ || row < 0 || row >= model_->rowCount())
        return;
    asking_ = true;
    const QPersistentModelIndex shown = model_->index(row, ScanHistoryModel::timeColumn);
    AlertRequest question { localizedText("ID_DO_YOU_WANT_TO_DELETE_SCAN_RESULT_FROM_HISTORY"), QString(),
        { localizedText("ID_YES"), localizedText("ID_NO") }, AlertStyle::warning };
    // Asked over the Preferences window, which stays in front once answered.
    question.over = this;
    alertPresenter()->presentThen(question, [self = QPointer<ScanHistoryVC>(this), shown](int answer) {
        if (!self)
            return;
        self->asking_ = false;
        // The pane was hidden, or shown again, meanwhile: that row is gone.
        if (answer != 0 || !shown.isValid())
            return;
        const int at = shown.row();
        const QVariant record = self->model_->records().at(at);
        self->model_->removeRecord(at);
        self->removeStored(record, at);
        self->refresh();
    });
}

void ScanHistoryVC::removeStored(const QVariant& record, int row)
{
    // From the history as it is stored now; a history that lost the record
    // meanwhile keeps all it has, and nothing is written.
    defaults_.updateValue(
        historyKey(),
        [&record, row](const QVariant& stored) {
            std::optional<QVariantList> history = Setting::toArray(stored);
            if (!history)
                return stored;
            const qsizetype at = placeOf(*history, record, row);
            if (at < 0)
                return stored;
            history->removeAt(at);
            return QVariant(*history);
        },
        UserDefaults::Saving::behind);
}
