#pragma once

#include "controls/LayoutFrame.h"
#include "preferences/PreferencePane.h"

#include <QPointer>

class QCheckBox;
class QLabel;
class QPushButton;
class UserDefaults;

// The first pane: the confirmation and photo switches, each bound to its
// setting and showing it again whenever it changes (a reset included), and
// the two commands on the whole program, Reset Defaults and Clear Cache.
class GeneralViewController : public PreferencePane {
public:
    explicit GeneralViewController(UserDefaults& defaults, QWidget* parent = nullptr);

    PaneIdentifier preferencePaneIdentifier() const override { return { QStringLiteral("general") }; }
    QString preferencePaneTitle() const override { return title_; }
    QIcon toolbarItemIcon() const override { return icon_; }
    QSize sizeHint() const override;

    void btnResetDefaultTapped();
    // Refused with an alert while a scan runs: the scan holds the database
    // open and would write into the removed file.
    void btnClearCacheTapped();

    // The layout's frames, edited by language; in points, origin lower left.
    static FrameTable baseFrames();
    // The frames after the language's edits, with the buttons' measured
    // title widths.
    static FrameTable framesForLanguage(
        const QString& languageCode, double resetTitleWidth, double clearCacheTitleWidth);

    QPointer<QLabel> lblNetworkDriveWarningMsg;
    QPointer<QCheckBox> btnCheckShowDeleteDialog;
    QPointer<QCheckBox> btnCheckShowDialogOnMovingBack;
    QPointer<QCheckBox> btnCheckShowAutoMarkDialog;
    QPointer<QCheckBox> btnAutoMarkPhoto;
    QPointer<QCheckBox> btnCheckScanPhotosLibrary;
    QPointer<QPushButton> btnResetDefault;
    QPointer<QPushButton> btnClearCache;

private:
    QCheckBox* boundCheckBox(const char* name, const char* key, const QString& title);

    UserDefaults& defaults_;
    QString title_;
    QIcon icon_;
};
