#pragma once

#include "preferences/PreferencePane.h"

#include <QPointer>

class QLabel;
class ScanHistoryModel;
class ScanHistoryTable;
class UserDefaults;

// The fourth pane: one row per recorded scan with its time, each with a
// delete button that asks first. The history is taken from the store each
// time the pane shows and let go of when it hides; the table draws only the
// rows shown, so the pane opens, scrolls and deletes at once whatever the
// length of the history.
class ScanHistoryVC : public PreferencePane {
public:
    explicit ScanHistoryVC(UserDefaults& defaults, QWidget* parent = nullptr);

    PaneIdentifier preferencePaneIdentifier() const override { return { QStringLiteral("scanhistory") }; }
    QString preferencePaneTitle() const override { return title_; }
    QIcon toolbarItemIcon() const override { return icon_; }
    QSize sizeHint() const override;

    void loadScanHistory();
    // Asks, then removes the record shown in row from the history as it is
    // stored now, so records appended since the pane was shown stay. The
    // file is written behind: the pane never waits for it.
    void deleteScanHistoryEntry(int row);

    // The column widths for a language: (time, action).
    static std::pair<int, int> columnWidths(const QString& languageCode);

    QPointer<ScanHistoryTable> tvScanHistory;
    QPointer<QLabel> lblNoHistoryFound;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void refresh();
    void removeStored(const QVariant& record, int row);

    UserDefaults& defaults_;
    QString title_;
    QIcon icon_;
    ScanHistoryModel* model_;
    // A question is open: further clicks wait for its answer.
    bool asking_ = false;
};
