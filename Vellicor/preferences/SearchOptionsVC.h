#pragma once

#include "core/GlobalObjects.h"
#include "preferences/PreferencePane.h"

#include <QPointer>

class QAbstractButton;
class QCheckBox;
class QLabel;
class UserDefaults;

// The third pane: what makes two files duplicates. "search_content" (same
// content or content ignored) and "search_options" (the extra criteria: 1
// same name, 2 similar name, 3 same size, 4 same creation date, 5 same
// modification date). Every click is written at once; a reset reloads it.
class SearchOptionsVC : public PreferencePane {
public:
    explicit SearchOptionsVC(UserDefaults& defaults, QWidget* parent = nullptr);

    PaneIdentifier preferencePaneIdentifier() const override { return { QStringLiteral("searchoptions") }; }
    QString preferencePaneTitle() const override { return title_; }
    QIcon toolbarItemIcon() const override { return icon_; }

    // The two content boxes act as a radio pair; same content keeps the
    // same-size box on and locked.
    void saveSearchContent(QAbstractButton* sender);
    // Rebuilds the criteria list from the five boxes; similar name wins over
    // same name.
    void saveSearchOptions();
    void loadSearchOptions();

    GlobalObjects::ScanContent searchContetOptns = GlobalObjects::ScanContent::sameContent;

    QPointer<QCheckBox> btnSameContent;
    QPointer<QCheckBox> btnIgnoreContent;
    QPointer<QCheckBox> btnSameFileName;
    QPointer<QCheckBox> btnSimillarFileName;
    QPointer<QCheckBox> btnSameFileSize;
    QPointer<QCheckBox> btnSameCreatedDate;
    QPointer<QCheckBox> btnSameModifiedDate;
    QPointer<QLabel> lblFindFilesWith1;
    QPointer<QLabel> lblFindFilesWith2;
    QPointer<QLabel> lblSameFileSize;
    QPointer<QLabel> lblSameFileName;

private:
    UserDefaults& defaults_;
    QString title_;
    QIcon icon_;
};
