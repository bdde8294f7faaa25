#include "preferences/GeneralViewController.h"

#include "base/AlertPresenter.h"
#include "base/UserDefaults.h"
#include "controls/ApplicationFont.h"
#include "controls/WindowHelpers.h"
#include "core/GlobalObjects.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"
#include "preferences/PaneLayout.h"
#include "preferences/PreferencesKit.h"
#include "preferences/PreferencesReset.h"
#include "scan/ScanAlerts.h"
#include "scan/ScanCache.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>

#include <cmath>

namespace {

constexpr QSize paneSize { 620, 266 };

} // namespace

GeneralViewController::GeneralViewController(UserDefaults& defaults, QWidget* parent)
    : PreferencePane(parent)
    , defaults_(defaults)
    , title_(localizedText("ID_GENERAL"))
    , icon_(paneIcon(QStringLiteral("general")))
{
    setFixedSize(paneSize);
    btnCheckScanPhotosLibrary = boundCheckBox("btnCheckScanPhotosLibrary", SettingsKey::scanPhotosLibrary,
        QStringLiteral("Read the Photos library when a scan meets one"));
    btnAutoMarkPhoto = boundCheckBox(
        "btnAutoMarkPhoto", SettingsKey::autoMarkPhotos, QStringLiteral("Mark duplicate photos automatically"));
    btnCheckShowDeleteDialog = boundCheckBox("btnCheckShowDeleteDialog",
        SettingsKey::doNotShowConfirmationDialogOnTrash, localizedText("ID_DONOT_SHOW_CONFIRM_FILE_DELETION"));
    btnCheckShowAutoMarkDialog = boundCheckBox("btnCheckShowAutoMarkDialog", SettingsKey::doNotShowAutoMarkDialog,
        localizedText("ID_DONOT_SHOW_AUTOMARK_DIALOG"));
    btnCheckShowDialogOnMovingBack = boundCheckBox("btnCheckShowDialogOnMovingBack",
        SettingsKey::doNotShowConfirmationDialogOnTrashForNetworkDrive,
        QStringLiteral("Delete duplicates on network drives permanently"));

    lblNetworkDriveWarningMsg = new QLabel(localizedText("ID_DONOT_SHOW_WARNING_MSG_NETWORK_FILES_DELETED"), this);
    lblNetworkDriveWarningMsg->setObjectName(QStringLiteral("lblNetworkDriveWarningMsg"));
    applyPreferenceDescriptionStyle(lblNetworkDriveWarningMsg);
    lblNetworkDriveWarningMsg->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    btnResetDefault = new QPushButton(localizedText("ID_RESET_DEFAULTS"), this);
    btnResetDefault->setObjectName(QStringLiteral("btnResetDefault"));
    connect(btnResetDefault, &QPushButton::clicked, this, [this] { btnResetDefaultTapped(); });
    btnClearCache = new QPushButton(localizedText("ID_CLEAR_CACHE"), this);
    btnClearCache->setObjectName(QStringLiteral("btnClearCache"));
    connect(btnClearCache, &QPushButton::clicked, this, [this] { btnClearCacheTapped(); });

    framesForLanguage(
        currentLanguageCode, textWidthOfButtonTitle(btnResetDefault), textWidthOfButtonTitle(btnClearCache))
        .apply(this);
}

QSize GeneralViewController::sizeHint() const
{
    return paneSize;
}

QCheckBox* GeneralViewController::boundCheckBox(const char* name, const char* key, const QString& title)
{
    auto* box = new QCheckBox(title, this);
    box->setObjectName(QString::fromLatin1(name));
    const QString settingKey = QString::fromLatin1(key);
    auto show = [this, box, settingKey] {
        const QSignalBlocker quiet(box);
        box->setChecked(defaults_.boolValue(settingKey).value_or(false));
    };
    show();
    connect(box, &QCheckBox::toggled, this, [this, settingKey](bool on) { defaults_.setValue(settingKey, on); });
    // Like a binding: any change of the setting, a reset's among them, shows.
    connect(&defaults_, &UserDefaults::valueChanged, box, [show, settingKey](const QString& changed) {
        if (changed == settingKey)
            show();
    });
    return box;
}

FrameTable GeneralViewController::baseFrames()
{
    return {
        { QStringLiteral("btnCheckScanPhotosLibrary"), { 30, 216, 567, 22 } },
        { QStringLiteral("btnAutoMarkPhoto"), { 30, 186, 567, 22 } },
        { QStringLiteral("btnCheckShowDeleteDialog"), { 30, 156, 567, 22 } },
        { QStringLiteral("btnCheckShowAutoMarkDialog"), { 30, 126, 567, 22 } },
        { QStringLiteral("btnCheckShowDialogOnMovingBack"), { 30, 96, 567, 22 } },
        { QStringLiteral("lblNetworkDriveWarningMsg"), { 52, 62, 545, 32 } },
        { QStringLiteral("btnClearCache"), { 352, 18, 120, 32 } },
        { QStringLiteral("btnResetDefault"), { 477, 18, 120, 32 } },
    };
}

FrameTable GeneralViewController::framesForLanguage(
    const QString& languageCode, double resetTitleWidth, double clearCacheTitleWidth)
{
    FrameTable frames = baseFrames();
    if (languageCode != QLatin1String("en")) {
        LayoutFrame& reset = frames[QStringLiteral("btnResetDefault")];
        reset.width = std::ceil(resetTitleWidth) + 40;
        reset.x = 597 - reset.width;
        LayoutFrame& clear = frames[QStringLiteral("btnClearCache")];
        clear.width = std::ceil(clearCacheTitleWidth) + 40;
        clear.x = reset.x - 5 - clear.width;
    }
    static const QStringList longerTitles { QStringLiteral("fr"), QStringLiteral("es"), QStringLiteral("nl"),
        QStringLiteral("de") };
    if (longerTitles.contains(languageCode))
        frames[QStringLiteral("btnResetDefault")].width += 10;
    return frames;
}

void GeneralViewController::btnResetDefaultTapped()
{
    resetPreferencesToDefaults(defaults_);
}

void GeneralViewController::btnClearCacheTapped()
{
    if (isScanRunning) {
        ScanAlerts::present({ localizedText("ID_SCANNING_IN_PROGRESS"),
            localizedText("ID_SCAN_IN_PROGRESS_PLEASE_WAIT"), { localizedText("ID_OK") }, AlertStyle::warning });
        return;
    }
    ScanCache::clearScanCache();
}
