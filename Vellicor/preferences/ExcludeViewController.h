#pragma once

#include "preferences/PreferencePane.h"

#include <QPointer>
#include <QVariantList>

#include <functional>

class QPushButton;
class QTableWidget;
class UserDefaults;

// The excluded folders of a scan of this computer ("excludedFolders"), the
// list the home screen's exclude tab edits too: Add picks folders, Remove
// drops the selected one; a reset reloads it.
class ExcludeViewController : public PreferencePane {
public:
    explicit ExcludeViewController(UserDefaults& defaults, QWidget* parent = nullptr);

    PaneIdentifier preferencePaneIdentifier() const override { return { QStringLiteral("excludedfolders") }; }
    QString preferencePaneTitle() const override { return QStringLiteral("Excluded Folders"); }
    QIcon toolbarItemIcon() const override { return icon_; }
    QSize sizeHint() const override;

    // The paths of the home screen's scan list; a folder that is one of them
    // or holds one cannot be excluded. None until the home screen sets it.
    void setScanListPaths(std::function<QStringList()> provider) { scanListPaths_ = std::move(provider); }

    // Adds the chosen folders that are not in the Trash, not on or above a
    // scan-list path and not listed yet; alerts about the others; stores.
    void addFoldersToExclusion(const QStringList& folders);
    void btnRemoveFolderFromExclusionTapped();
    void resetFromDefaults();
    const QVariantList& entries() const { return arrExclude_; }

    QPointer<QTableWidget> tvExclude;
    QPointer<QPushButton> btnAdd;
    QPointer<QPushButton> btnRemove;

private:
    void reloadTable();
    void store();

    UserDefaults& defaults_;
    QIcon icon_;
    QVariantList arrExclude_;
    std::function<QStringList()> scanListPaths_;
};
