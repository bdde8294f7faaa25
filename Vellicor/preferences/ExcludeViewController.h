#pragma once

#include "preferences/PreferencePane.h"

#include <QPointer>

class QPushButton;
class QTableWidget;
class ScanSources;

// The excluded folders of a scan of this computer, ScanSources' list, which
// the home screen's exclude tab edits too: Add picks folders, Remove drops the
// selected one. It shows the owner's list and reloads whenever that changes,
// whoever changed it (the home screen, a reset of the preferences).
class ExcludeViewController : public PreferencePane {
public:
    // The owner outlives the pane.
    explicit ExcludeViewController(ScanSources& sources, QWidget* parent = nullptr);

    PaneIdentifier preferencePaneIdentifier() const override { return { QStringLiteral("excludedfolders") }; }
    QString preferencePaneTitle() const override { return QStringLiteral("Excluded Folders"); }
    QIcon toolbarItemIcon() const override { return icon_; }
    QSize sizeHint() const override;

    // Adds the chosen folders that are not in the Trash, not on or above a
    // path of this computer's scan list and not listed yet; alerts about the
    // others.
    void addFoldersToExclusion(const QStringList& folders);
    void btnRemoveFolderFromExclusionTapped();

    QPointer<QTableWidget> tvExclude;
    QPointer<QPushButton> btnAdd;
    QPointer<QPushButton> btnRemove;

private:
    void reloadTable();

    ScanSources& sources_;
    QIcon icon_;
};
