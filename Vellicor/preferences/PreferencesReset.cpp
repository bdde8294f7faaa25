#include "preferences/PreferencesReset.h"

#include "base/UserDefaults.h"
#include "core/AppNotifier.h"
#include "core/AppStartup.h"
#include "core/SettingsSchema.h"

#include <QDateTime>

QVariantList mergeExcludedFoldersWithDefaults(const QVariantList& stored, const QStringList& defaultPaths)
{
    QVariantList merged;
    for (const QString& path : defaultPaths)
        merged.append(makeFolderEntry(path, 1, 1));
    for (const QVariant& entry : stored) {
        const std::optional<QVariantMap> record = Setting::toDictionary(entry);
        if (!record)
            continue;
        const std::optional<QString> path = Setting::toText(record->value(QStringLiteral("path")));
        if (path && defaultPaths.contains(*path))
            continue;
        merged.append(*record);
    }
    return merged;
}

void resetPreferencesToDefaults(UserDefaults& defaults)
{
    const QVariantList storedExclusions
        = defaults.arrayValue(QString::fromLatin1(SettingsKey::excludedFolders)).value_or(QVariantList());
    auto integer = [](qlonglong value) { return QVariant::fromValue<qlonglong>(value); };
    auto set
        = [&defaults](const char* key, const QVariant& value) { defaults.setValue(QString::fromLatin1(key), value); };

    set("doNotShowConfirmationDialogOnTrashnGps", false);
    set(SettingsKey::doNotShowAutoMarkDialog, false);
    set(SettingsKey::autoMarkPhotos, false);
    set(SettingsKey::doNotShowConfirmationDialogOnTrashForNetworkDrive, true);
    set(SettingsKey::autoSelectOption, integer(1));
    set(SettingsKey::minimumFileSize, integer(10));
    set(SettingsKey::maximumFileSize, integer(5));
    set(SettingsKey::fileSizeUnitForMax, integer(3));
    set(SettingsKey::fileSizeUnit, integer(1));
    set(SettingsKey::autoMarkingRules, defaultAutoMarkingRules());
    set(SettingsKey::excludedFolders, mergeExcludedFoldersWithDefaults(storedExclusions, defaultExcludedFolderPaths()));
    set(SettingsKey::searchContent, integer(1));
    set(SettingsKey::searchOptions, QVariantList { integer(3) });
    set(SettingsKey::scanFilesDate, integer(1));
    set(SettingsKey::includeExtensionList, defaultExtensionFilterList(true));
    set(SettingsKey::excludeExtensionList, defaultExtensionFilterList(false));
    set(SettingsKey::scanFileOfAnyFileSize, true);
    set(SettingsKey::scanFileForCreatedDate, QDateTime::currentDateTimeUtc());
    set(SettingsKey::scanFileForModifiedDate, QDateTime::currentDateTimeUtc());
    set("scanAnySize", true);
    set(SettingsKey::doNotShowConfirmationDialogOnTrash, false);
    set(SettingsKey::excludeDuplicateLessSizeInKB, integer(1));
    set(SettingsKey::sacnHiddenFolders, false);
    set(SettingsKey::scanPhotosLibrary, true);

    reloadExtensionTables(defaults);
    emit AppNotifier::instance().PreferencesResetToDefaults();
}
