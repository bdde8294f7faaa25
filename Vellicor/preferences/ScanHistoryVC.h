#pragma once

#include "preferences/PreferencePane.h"

#include <QPointer>
#include <QVariantList>

class QLabel;
class QTableWidget;
class UserDefaults;

// The fourth pane: one row per recorded scan with its time, each with a
// delete button that asks first. Read afresh each time the pane shows.
class ScanHistoryVC : public PreferencePane {
public:
    explicit ScanHistoryVC(UserDefaults& defaults, QWidget* parent = nullptr);

    PaneIdentifier preferencePaneIdentifier() const override { return { QStringLiteral("scanhistory") }; }
    QString preferencePaneTitle() const override { return title_; }
    QIcon toolbarItemIcon() const override { return icon_; }
    QSize sizeHint() const override;

    void loadScanHistory();
    // Removes the record shown in row from the history as it is stored now,
    // so records appended since the pane was shown stay.
    void deleteScanHistoryEntry(int row);

    // The column widths for a language: (time, action).
    static std::pair<int, int> columnWidths(const QString& languageCode);

    QPointer<QTableWidget> tvScanHistory;
    QPointer<QLabel> lblNoHistoryFound;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void refresh();

    UserDefaults& defaults_;
    QString title_;
    QIcon icon_;
    QVariantList arrScanHistory_;
};
