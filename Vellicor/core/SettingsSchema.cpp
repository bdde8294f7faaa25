#include "core/SettingsSchema.h"

#include "base/AppPaths.h"
#include "base/UserDefaults.h"
#include "core/FileCategories.h"
#include "core/Localization.h"
#include "core/TextFormat.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString key(const char* name)
{
    return QString::fromLatin1(name);
}

QVariantMap categoryFilter(
    const char* keyStr, const QStringList& labelExtensions, const QStringList& extensionList, qint64 extensionType)
{
    const QString name = localizedText(categoryDisplayNameKey(key(keyStr)).value_or(QString()));
    return makeExtensionFilter(
        0, extensionFilterLabel(name, labelExtensions), key(keyStr), extensionList, extensionType);
}

} // namespace

QVariantMap makeAutoMarkingRule(const QString& ruleName, const QString& description, bool state, qint64 weight)
{
    return { { QStringLiteral("ruleName"), ruleName }, { QStringLiteral("description"), description },
        { QStringLiteral("state"), state }, { QStringLiteral("weight"), QVariant::fromValue<qlonglong>(weight) } };
}

QVariantList defaultAutoMarkingRules()
{
    return {
        makeAutoMarkingRule(QStringLiteral("DateModified"), localizedText(QStringLiteral("ID_DATE_MODIFIED")), true, 0),
        makeAutoMarkingRule(QStringLiteral("FileCreated"), localizedText(QStringLiteral("ID_FILE_CREATED")), true, 0),
        makeAutoMarkingRule(QStringLiteral("Folder"), localizedText(QStringLiteral("ID_FOLDER")), false, 0),
        makeAutoMarkingRule(QStringLiteral("FileSize"),
            localizedText(QStringLiteral("ID_SIZE_HIGHER_FILE_SIZE_IS_PROTECTED")), true, 0),
        makeAutoMarkingRule(
            QStringLiteral("FileFormat"), localizedText(QStringLiteral("ID_FILE_TYPE_FORMAT")), true, 0),
    };
}

QVariantMap makeExtensionFilter(
    int state, const QString& values, const QString& keyStr, const QStringList& extensionList, qint64 extensionType)
{
    return { { QStringLiteral("state"), QVariant::fromValue<qlonglong>(state) }, { QStringLiteral("values"), values },
        { QStringLiteral("keyStr"), keyStr }, { QStringLiteral("extensionList"), QVariant(extensionList).toList() },
        { QStringLiteral("extensionType"), QVariant::fromValue<qlonglong>(extensionType) } };
}

QString extensionFilterLabel(const QString& categoryName, const QStringList& extensions)
{
    QString label = formatText(QStringLiteral("%@ ("), { categoryName });
    for (const QString& extension : extensions)
        label += QStringLiteral("*.") + extension + QLatin1Char(';');
    return label + QLatin1Char(')');
}

QVariantList defaultExtensionFilterList(bool include)
{
    QVariantList list;
    if (include) {
        const QStringList everything = documentExtensions() + imageExtensions() + archiveExtensions()
            + videoExtensions() + audioExtensions() + rawImageExtensions();
        list.append(makeExtensionFilter(1,
            formatText(QStringLiteral("%@(*.*)"), { localizedText(QStringLiteral("ID_ALL_FILE_TYPES")) }),
            key(ExtensionFilterKey::all), everything, 1));
    }
    list.append(categoryFilter(ExtensionFilterKey::document, documentExtensions(), documentExtensions(), 2));
    // The Picture row's label names the raw formats too, so they count as
    // pictures, while its list keeps the plain image formats.
    list.append(
        categoryFilter(ExtensionFilterKey::picture, imageExtensions() + rawImageExtensions(), imageExtensions(), 3));
    list.append(categoryFilter(ExtensionFilterKey::music, audioExtensions(), audioExtensions(), 5));
    list.append(categoryFilter(ExtensionFilterKey::video, videoExtensions(), videoExtensions(), 6));
    list.append(categoryFilter(ExtensionFilterKey::archive, archiveExtensions(), archiveExtensions(), 4));
    return list;
}

QVariantMap makeFolderEntry(const QString& path, int state, int includeSubFolders)
{
    return { { QStringLiteral("path"), path }, { QStringLiteral("state"), QVariant::fromValue<qlonglong>(state) },
        { QStringLiteral("includeSubFolders"), QVariant::fromValue<qlonglong>(includeSubFolders) } };
}

QStringList defaultExcludedFolderPaths()
{
    const QString home = AppPaths::homeFolder();
    // The Trash and the cache follow the XDG variables, as the desktop does.
    const QString cacheHome = QFileInfo(AppPaths::cacheFolder()).path();
    return {
        QStringLiteral("/proc"),
        QStringLiteral("/sys"),
        QStringLiteral("/dev"),
        QStringLiteral("/run"),
        QStringLiteral("/usr"),
        AppPaths::dataHome() + QStringLiteral("/Trash"),
        cacheHome,
        QDir::cleanPath(home + QStringLiteral("/Dropbox")),
    };
}

QVariantList defaultExcludedFolders()
{
    QVariantList entries;
    for (const QString& path : defaultExcludedFolderPaths())
        entries.append(makeFolderEntry(path));
    return entries;
}

QVariantMap makeScanHistoryRecord(qint64 dupCount, quint64 dupSize, const QDateTime& scantime)
{
    return { { QStringLiteral("dupCount"), QVariant::fromValue<qlonglong>(dupCount) },
        { QStringLiteral("dupSize"), QVariant::fromValue<qulonglong>(dupSize) },
        { QStringLiteral("scantime"), scantime.toUTC() } };
}

void registerDefaultSettings(UserDefaults& defaults)
{
    const QVariant yes(true);
    const QVariant no(false);
    auto integer = [](qlonglong value) { return QVariant::fromValue<qlonglong>(value); };

    QVariantMap values {
        { key(SettingsKey::doNotShowConfirmationDialogOnTrash), no },
        { key(SettingsKey::autoMarkPhotos), no },
        { key(SettingsKey::doNotShowAutoMarkDialog), no },
        { key(SettingsKey::doNotShowConfirmationDialogOnTrashForNetworkDrive), yes },
        { key(SettingsKey::autoSelectOption), integer(1) },
        { key(SettingsKey::minimumFileSize), integer(0) },
        { key(SettingsKey::maximumFileSize), integer(5) },
        { key(SettingsKey::fileSizeUnitForMax), integer(3) },
        { key(SettingsKey::fileSizeUnit), integer(1) },
        { key(SettingsKey::appVersion), QStringLiteral("0.0") },
        { key(SettingsKey::autoMarkingRules), defaultAutoMarkingRules() },
        { key(SettingsKey::includeExtensionList), defaultExtensionFilterList(true) },
        { key(SettingsKey::excludeExtensionList), defaultExtensionFilterList(false) },
        { key(SettingsKey::scanFileOfAnyFileSize), yes },
        { key(SettingsKey::scanFileForCreatedDate), QDateTime::currentDateTimeUtc() },
        { key(SettingsKey::scanFileForModifiedDate), QDateTime::currentDateTimeUtc() },
        { key(SettingsKey::excludeDuplicateLessSizeInKB), integer(1) },
    };
    values.insert(key(SettingsKey::excludedFolders), defaultExcludedFolders());
    values.insert(key(SettingsKey::protectedFolders), QVariantList());
    values.insert(key(SettingsKey::searchContent), integer(1));
    values.insert(key(SettingsKey::searchOptions), QVariantList { integer(3) });
    values.insert(key(SettingsKey::scanFilesDate), integer(1));
    values.insert(key(SettingsKey::sacnHiddenFolders), no);
    values.insert(key(SettingsKey::scanPhotosLibrary), yes);
    defaults.registerDefaults(values);
    // What is saved is read back at the next start: when the file would pass
    // its bound, the oldest scan records make room for everything else.
    defaults.setOldestGiveWay(key(SettingsKey::lastScanStatus));
}

void registerDefaultSettings()
{
    registerDefaultSettings(UserDefaults::standard());
}

std::pair<qint64, qint64> readMinimumDuplicateSize(const UserDefaults& defaults)
{
    const std::optional<qint64> option = defaults.integerValue(key(SettingsKey::excludeDuplicateLessSizeInKB));
    if (!option)
        return { 0, -1 };
    switch (*option) {
    case 2:
        return { 1000, 2 };
    case 3:
        return { 10000, 3 };
    default:
        return { 0, *option };
    }
}

void appendScanHistoryRecord(qint64 dupCount, quint64 dupSize, UserDefaults& defaults)
{
    const QVariantMap record = makeScanHistoryRecord(dupCount, dupSize, QDateTime::currentDateTimeUtc());
    // Added to the history as the file holds it now: the records another
    // program on these settings (a scan run from the command line) added
    // since this one read it stay.
    defaults.updateValue(key(SettingsKey::lastScanStatus), [&record](const QVariant& stored) {
        QVariantList history = Setting::toArray(stored).value_or(QVariantList());
        history.append(record);
        return QVariant(history);
    });
}

void appendScanHistoryRecord(qint64 dupCount, quint64 dupSize)
{
    appendScanHistoryRecord(dupCount, dupSize, UserDefaults::standard());
}
