#pragma once

#include "controls/LayoutFrame.h"
#include "preferences/PreferencePane.h"

#include <QPointer>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

class QAbstractButton;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QDialog;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;
class UserDefaults;

// The second pane: which files a scan looks at. The include and exclude
// lists of file-type filters with their editor, the size limits, the
// tiny-file levels, hidden folders and the date filter. Every change is
// stored at once and the extension tables the next scan reads are rebuilt
// after each change of a list.
class AdvanceScanSettingVC : public PreferencePane {
public:
    enum class SelectedOptn { add = 1, edit = 2, remove = 3 };

    explicit AdvanceScanSettingVC(UserDefaults& defaults, QWidget* parent = nullptr);
    ~AdvanceScanSettingVC() override;

    PaneIdentifier preferencePaneIdentifier() const override { return { QStringLiteral("advancescansetting") }; }
    QString preferencePaneTitle() const override { return title_; }
    QIcon toolbarItemIcon() const override { return icon_; }
    QSize sizeHint() const override;

    // 0 include list, 1 exclude list.
    int shownSegment() const;
    void selectSegment(int segment);
    const QVariantList& shownList() const;
    // The row's check box was set to on by the user: refused, with an alert,
    // while the other list has the same filter checked.
    void toggleExtensionFilter(int row, bool on);
    // Add, Edit or Delete; Add and Edit open the editor (window-modal, so
    // this returns at once).
    void manageExtensionFilters(QAbstractButton* sender);
    void btnUpdateExtListTapped();
    void btnCancelExtListTapped();
    bool isEditorOpen() const;

    // Accepts the two sizes when the minimum is at most the maximum in
    // bytes; otherwise alerts and puts back the last accepted sizes and units.
    void validateFileSizeLimits();
    void applyDateOption(int tag);
    void applyTinyFileOption(QCheckBox* sender);
    void loadAdvancedScanSettings();

    QPointer<QButtonGroup> segmentControl;
    QPointer<QTableWidget> tblFormatsList;
    QPointer<QPushButton> btnAddExt;
    QPointer<QPushButton> btnEditExt;
    QPointer<QPushButton> btnDeleteExt;
    QPointer<QCheckBox> btnAnySize;
    QPointer<QSpinBox> txtMinFileSize;
    QPointer<QSpinBox> txtMaxFileSize;
    QPointer<QComboBox> popupMinfileSize;
    QPointer<QComboBox> popupMaxfileSzie;
    QPointer<QCheckBox> btnExcludeZeroSize;
    QPointer<QCheckBox> btnExclude1KBSzie;
    QPointer<QCheckBox> btnExclude10KBSzie;
    QPointer<QCheckBox> btnScanHiddenFolders;
    QPointer<QRadioButton> btnAnyDate;
    QPointer<QRadioButton> btnCreatedfrom;
    QPointer<QRadioButton> btnModifiedDate;
    QPointer<QDateEdit> datePickerCreated;
    QPointer<QDateEdit> datePickerModified;
    QPointer<QDialog> windowManageExtensions;
    QPointer<QLabel> lblFileTypeVal;
    QPointer<QPlainTextEdit> txtViewExtensions;
    QPointer<QPushButton> btnUpdateExtList;
    QPointer<QPushButton> btnCancelExtList;

protected:
    // Leaving the pane settles the sizes typed last.
    void hideEvent(QHideEvent* event) override;

private:
    void buildEditor();
    void showStoredSizes();
    void loadExtensionFilterLists();
    void showExtensionFilterList();
    void storeShownList();
    int selectedRow() const;
    void showExtensionEditor(bool open);
    void fillExtensionEditor();
    void loadLastSizeSettings();
    void showSizeOrderAlert();
    void updateSizeControlsEnabled();

    UserDefaults& defaults_;
    QString title_;
    QIcon icon_;
    QVariantList arrIncludeExt_;
    QVariantList arrExcludeExt_;
    SelectedOptn currentSelectdOptn_ = SelectedOptn::edit;
    qint64 lastSelectedMinSize_ = 0;
    qint64 lastSelectedMaxSize_ = 0;
    qint64 lastMinSizeUnit_ = 0;
    qint64 lastMaxSizeUnit_ = 0;
    bool filling_ = false;
};
