#include "core/AppStartup.h"

#include "base/AppPaths.h"
#include "base/PrivateFiles.h"
#include "base/UserDefaults.h"
#include "core/FileCategories.h"
#include "core/GlobalObjects.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"
#include "core/TextFormat.h"

std::optional<StartRefusal> homeFolderRefusal()
{
    using AppPaths::HomeFault;
    const std::optional<HomeFault> fault = AppPaths::homeFolderFault();
    if (!fault)
        return std::nullopt;
    const QString home = qEnvironmentVariable("HOME");
    QString reason;
    switch (*fault) {
    case HomeFault::unset:
        reason = localizedText(QStringLiteral("ID_HOME_NOT_SET"));
        break;
    case HomeFault::relative:
        reason = formatText(localizedText(QStringLiteral("ID_HOME_NOT_ABSOLUTE")), { home });
        break;
    case HomeFault::notAFolder:
        reason = formatText(localizedText(QStringLiteral("ID_HOME_NOT_A_FOLDER")), { home });
        break;
    case HomeFault::otherOwner:
        reason = formatText(localizedText(QStringLiteral("ID_HOME_OTHER_OWNER")), { home });
        break;
    }
    return StartRefusal { localizedText(QStringLiteral("ID_HOME_FOLDER_UNUSABLE")),
        formatText(localizedText(QStringLiteral("ID_HOME_FOLDER_UNUSABLE_DETAILS")), { reason }) };
}

void startApplicationCore(UserDefaults& defaults)
{
    // The log never creates its folder; start-up makes it once. The log, the
    // settings and the cache are the user's alone, in folders no other user
    // can shape: a folder that is not is refused (and told) here already.
    using PrivateFiles::FolderUse;
    PrivateFiles::useOwnFolder(AppPaths::stateFolder(), FolderUse::state);
    PrivateFiles::useOwnFolder(AppPaths::settingsFolder(), FolderUse::settings, PrivateFiles::Make::never);
    PrivateFiles::useOwnFolder(AppPaths::cacheFolder(), FolderUse::cache, PrivateFiles::Make::never);
    setOSVersionFlags();
    loadLocalizationTable();
    // The default settings are made from the built-in lists, so these come first.
    fillBuiltInExtensionLists();
    markedPhotosAlbumName() = localizedText(QStringLiteral("ID_DUPLICATE_MARKED_PHOTOS"));
    registerDefaultSettings(defaults);
    reloadExtensionTables(defaults);
    selectedScanSource() = ScanSource::thisComputer;
    isAbortScan = false;
}

void reloadExtensionTables(const UserDefaults& defaults)
{
    loadExtensionLists(defaults);
}
