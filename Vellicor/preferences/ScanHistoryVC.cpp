#include "preferences/ScanHistoryVC.h"

#include "base/AlertPresenter.h"
#include "base/UserDefaults.h"
#include "core/GlobalObjects.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"
#include "core/TextFormat.h"
#include "preferences/PreferencesKit.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

constexpr QSize paneSize { 620, 320 };

void setHeaderTitle(QTableWidget* table, int column, const QString& title)
{
    auto* header = new QTableWidgetItem(title);
    header->setToolTip(title);
    table->setHorizontalHeaderItem(column, header);
}

QString historyKey()
{
    return QString::fromLatin1(SettingsKey::lastScanStatus);
}

} // namespace

ScanHistoryVC::ScanHistoryVC(UserDefaults& defaults, QWidget* parent)
    : PreferencePane(parent)
    , defaults_(defaults)
    , title_(localizedText("ID_SCAN_HISTORY"))
    , icon_(paneIcon(QStringLiteral("scan-history")))
{
    setFixedSize(paneSize);
    tvScanHistory = new QTableWidget(0, 2, this);
    tvScanHistory->setTabKeyNavigation(false);
    tvScanHistory->setObjectName(QStringLiteral("tvScanHistory"));
    tvScanHistory->verticalHeader()->hide();
    tvScanHistory->setSelectionMode(QAbstractItemView::NoSelection);
    tvScanHistory->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvScanHistory->horizontalHeader()->setSectionsClickable(false);
    tvScanHistory->setGeometry(20, 20, 580, 280);
    lblNoHistoryFound = new QLabel(this);
    lblNoHistoryFound->setObjectName(QStringLiteral("lblNoHistoryFound"));
    lblNoHistoryFound->setAlignment(Qt::AlignCenter);
    lblNoHistoryFound->setGeometry(20, 20, 580, 280);
    loadScanHistory();
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
    setHeaderTitle(tvScanHistory, 0, localizedText("ID_LIST_OF_SCANNED_RESULT_PREVIOUSLY_PERFORMED"));
    setHeaderTitle(tvScanHistory, 1, localizedText("ID_ACTION_REQUIRED"));
    const auto [timeWidth, actionWidth] = columnWidths(currentLanguageCode);
    tvScanHistory->setColumnWidth(0, timeWidth);
    tvScanHistory->setColumnWidth(1, actionWidth);
    arrScanHistory_ = defaults_.arrayValue(historyKey()).value_or(QVariantList());
    refresh();
}

void ScanHistoryVC::refresh()
{
    tvScanHistory->clearContents();
    tvScanHistory->setRowCount(int(arrScanHistory_.size()));
    for (int row = 0; row < int(arrScanHistory_.size()); ++row) {
        const std::optional<QVariantMap> record = Setting::toDictionary(arrScanHistory_.at(row));
        const std::optional<QDateTime> when
            = record ? Setting::toDate(record->value(QStringLiteral("scantime"))) : std::nullopt;
        const QString shown = when ? formatText(localizedText("ID_LAST_SCANNED_AT_TIME"),
                                  { when->toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) })
                                   : QString();
        tvScanHistory->setItem(row, 0, new QTableWidgetItem(shown));
        auto* remove = new QPushButton(localizedText("ID_DELETE"));
        remove->setObjectName(QStringLiteral("btnDelete"));
        remove->setProperty("row", row);
        connect(remove, &QPushButton::clicked, this, [this, row] { deleteScanHistoryEntry(row); });
        tvScanHistory->setCellWidget(row, 1, remove);
    }
    const bool empty = arrScanHistory_.isEmpty();
    lblNoHistoryFound->setVisible(empty);
    tvScanHistory->setVisible(!empty);
}

void ScanHistoryVC::deleteScanHistoryEntry(int row)
{
    if (row < 0 || row >= arrScanHistory_.size())
        return;
    const int answer = alertPresenter()->present({ localizedText("ID_DO_YOU_WANT_TO_DELETE_SCAN_RESULT_FROM_HISTORY"),
        QString(), { localizedText("ID_YES"), localizedText("ID_NO") }, AlertStyle::warning });
    if (answer != 0)
        return;
    const QVariant chosen = arrScanHistory_.at(row);
    QVariantList stored = defaults_.arrayValue(historyKey()).value_or(QVariantList());
    // The shown row's record in the history as it is now; a history that
    // lost it meanwhile keeps all it has.
    const qsizetype index = stored.indexOf(chosen);
    if (index >= 0) {
        stored.removeAt(index);
        defaults_.setValue(historyKey(), stored);
        defaults_.synchronize();
    }
    arrScanHistory_ = stored;
    refresh();
}
