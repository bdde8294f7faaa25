#include "core/FileCategories.h"

#include "core/Localization.h"
#include "core/ScanSettingsSnapshot.h"
#include "core/SettingsSchema.h"
#include "core/TextFormat.h"
#include "base/UserDefaults.h"

#include <array>

namespace {

using Category = GlobalObjects::FileCategory;

struct FilterCategory {
    const char* keyStr;
    const char* displayNameKey;
    Category category;
    ExtensionTable FileCategoryTables::*include;
    ExtensionTable FileCategoryTables::*exclude;
};

constexpr FilterCategory documentFilter { ExtensionFilterKey::document, "ID_DOCUMENT", Category::Doc,
    &FileCategoryTables::includeDocumentExtensions, &FileCategoryTables::excludeDocumentExtensions };
constexpr FilterCategory pictureFilter { ExtensionFilterKey::picture, "ID_PICTURE", Category::Pic,
    &FileCategoryTables::includePictureExtensions, &FileCategoryTables::excludePictureExtensions };
constexpr FilterCategory musicFilter { ExtensionFilterKey::music, "ID_MUSIC", Category::Music,
    &FileCategoryTables::includeMusicExtensions, &FileCategoryTables::excludeMusicExtensions };
constexpr FilterCategory videoFilter { ExtensionFilterKey::video, "ID_VIDEO", Category::Video,
    &FileCategoryTables::includeVideoExtensions, &FileCategoryTables::excludeVideoExtensions };
constexpr FilterCategory archiveFilter { ExtensionFilterKey::archive, "ID_ARCHIVE", Category::Archive,
    &FileCategoryTables::includeArchiveExtensions, &FileCategoryTables::excludeArchiveExtensions };
constexpr FilterCategory customFilter { ExtensionFilterKey::custom, "ID_CUSTOM", Category::Others,
    &FileCategoryTables::includeCustomExtensions, &FileCategoryTables::excludeCustomExtensions };

// The orders in which a file's extension is looked up; they decide which
// category an extension listed twice ends in. Custom comes last in both, so
// leaving it out for cloud files means stopping one short.
constexpr std::array<const FilterCategory*, 6> exclusionOrder { &documentFilter, &videoFilter, &pictureFilter,
    &archiveFilter, &musicFilter, &customFilter };
constexpr std::array<const FilterCategory*, 6> inclusionOrder { &videoFilter, &pictureFilter, &archiveFilter,
    &musicFilter, &documentFilter, &customFilter };

const FilterCategory* filterCategoryOf(const QString& keyStr)
{
    for (const FilterCategory* filter : exclusionOrder) {
        if (keyStr == QLatin1String(filter->keyStr))
            return filter;
    }
    return nullptr;
}

// The extensions named by a row's label "<name> (*.a;*.b;)". The name is
// matched against the current language; a label written under another
// language is cut at its first " (" instead, so its first extension is not
// lost.
QStringList extensionsOfLabel(QString label, const QString& displayName)
{
    label.remove(QStringLiteral("*."));
    const QString prefix = formatText(QStringLiteral("%@ ("), { displayName });
    if (label.startsWith(prefix)) {
        label.remove(prefix);
    } else if (const qsizetype open = label.indexOf(QStringLiteral(" (")); open >= 0) {
        label.remove(0, open + 2);
    }
    label.remove(QLatin1Char(')'));
    return label.split(QLatin1Char(';'), Qt::SkipEmptyParts);
}

bool isChecked(const QVariantMap& entry)
{
    return Setting::toBool(entry.value(QStringLiteral("state"))).value_or(false);
}

struct BuiltInLists {
    QStringList audio, image, raw, video, document, archive;
    ExtensionTable rawSet;
};

BuiltInLists& builtInLists()
{
    static BuiltInLists value;
    return value;
}

} // namespace

QStringList& audioExtensions()
{
    return builtInLists().audio;
}
QStringList& imageExtensions()
{
    return builtInLists().image;
}
QStringList& rawImageExtensions()
{
    return builtInLists().raw;
}
QStringList& videoExtensions()
{
    return builtInLists().video;
}
QStringList& documentExtensions()
{
    return builtInLists().document;
}
QStringList& archiveExtensions()
{
    return builtInLists().archive;
}
ExtensionTable& rawExtensionSet()
{
    return builtInLists().rawSet;
}

void fillBuiltInExtensionLists()
{
    // The one entry with dots is a web address, not an extension: a path
    // extension never holds a dot, so it matches no file.
    audioExtensions() = { "mp3", "wav", "aiff", "aifc", "aac", "au", "audio cd", "snd", "m4a", "m4b", "m4p", "caf",
        "sd2", "amr", "audio.example.net", "aif", "wma", "mpa", "mid", "midi", "mod", "mp2", "ra", "adts", "ogg",
        "flac", "wav", "m4a" };
    imageExtensions() = { "icns", "ICNS", "eps", "flc", "fli", "cel", "fpx", "gif", "jp2", "jpf", "jpx", "j2k", "j2c",
        "jpeg", "jpg", "pntg", "mpo", "exr", "png", "pict", "pct", "pic", "qtif", "qti", "hdr", "sgi", "tga", "tif",
        "tiff", "bmp", "ico", "heic" };
    rawImageExtensions() = { "ai", "dng", "dae", "fax", "jpeg 2000", "openexr", "ps", "psd", "rad", "raw", "xbm", "jpe",
        "dib", "pcx", "wmf", "emf", "arw", "braw", "cr3", "raf", "r3d", "tif", "eip", "ari", "rwl", "rw2", "crw", "cr2",
        "erf", "3fr", "mos", "mef", "mrw", "nrw", "nef", "orf", "pef", "dng", "srf", "sr2", "fff", "dcr", "iiq" };
    videoExtensions() = { "mpeg", "mp4", "divx", "mov", "avi", "webm", "dv", "3gp", "m4v", "3gpp", "3pp2", "mpeg-2",
        "mpeg-1", "flv", "wmx", "hevc", "wmv", "vob", "swf", "mkv", "nsv", "mpg", "mpg-1", "mpg-2", "3gp2" };
    documentExtensions() = { "pdf", "doc", "docx", "xls", "ppt", "odt", "rtf", "txt", "pptx", "htm", "html", "log",
        "csv", "dot", "dotx", "docm", "dotm", "xml", "mht", "dic", "xlsx", "msg", "mhtml", "pps", "xls", "htm" };
    archiveExtensions()
        = { "zip", "rar", "7z", "dmg", "pkg", "gz", "cab", "bz2", "arc", "tar", "img", "nrg", "iso", "adf" };

    ExtensionTable raw;
    for (const QString& extension : rawImageExtensions())
        raw.insert(extension.toLower());
    rawExtensionSet() = raw;
}

FileCategoryTables& fileCategoryTables()
{
    static FileCategoryTables value;
    return value;
}

std::optional<QString> categoryDisplayNameKey(const QString& keyStr)
{
    if (const FilterCategory* filter = filterCategoryOf(keyStr))
        return QString::fromLatin1(filter->displayNameKey);
    return std::nullopt;
}

namespace {

// The category of a filter row, or none for "All", an unknown category and a
// row without a key.
const FilterCategory* filterCategoryOfEntry(const QVariantMap& entry)
{
    const std::optional<QString> keyStr = Setting::toText(entry.value(QStringLiteral("keyStr")));
    return keyStr ? filterCategoryOf(*keyStr) : nullptr;
}

QStringList extensionsOfEntry(const FilterCategory& filter, const QVariantMap& entry)
{
    const std::optional<QString> label = Setting::toText(entry.value(QStringLiteral("values")));
    if (!label)
        return {};
    QStringList extensions;
    for (const QString& extension : extensionsOfLabel(*label, localizedText(QLatin1String(filter.displayNameKey))))
        extensions.append(extension.toLower());
    return extensions;
}

} // namespace

QStringList extensionsOfFilter(const QVariantMap& entry)
{
    const FilterCategory* filter = filterCategoryOfEntry(entry);
    return filter ? extensionsOfEntry(*filter, entry) : QStringList();
}

void buildFileCategoryTables(const QVariantMap& entry, bool include, FileCategoryTables& tables)
{
    const FilterCategory* filter = filterCategoryOfEntry(entry);
    if (!filter)
        return;
    ExtensionTable& table = tables.*(include ? filter->include : filter->exclude);
    for (const QString& extension : extensionsOfEntry(*filter, entry))
        table.insert(extension);
}

FileCategoryTables fileCategoryTablesFromLists(const QVariant& includeList, const QVariant& excludeList)
{
    FileCategoryTables tables;

    if (const std::optional<QVariantList> rows = Setting::toArray(includeList)) {
        bool allChecked = false;
        for (const QVariant& row : *rows) {
            const std::optional<QVariantMap> entry = Setting::toDictionary(row);
            // A row without "extensionType" is not the All row.
            if (entry && Setting::toInteger(entry->value(QStringLiteral("extensionType"))) == 1 && isChecked(*entry)) {
                allChecked = true;
                break;
            }
        }
        for (const QVariant& row : *rows) {
            const std::optional<QVariantMap> entry = Setting::toDictionary(row);
            if (entry && (allChecked || isChecked(*entry)))
                buildFileCategoryTables(*entry, true, tables);
        }
    }

    if (const std::optional<QVariantList> rows = Setting::toArray(excludeList)) {
        for (const QVariant& row : *rows) {
            const std::optional<QVariantMap> entry = Setting::toDictionary(row);
            if (entry && isChecked(*entry))
                buildFileCategoryTables(*entry, false, tables);
        }
    }
    return tables;
}

void loadExtensionLists(const UserDefaults& defaults)
{
    // Typed reads, so a list stored as another type reads as its default.
    auto list = [&defaults](const char* key) {
        const std::optional<QVariantList> rows = defaults.arrayValue(QLatin1String(key));
        return rows ? QVariant(*rows) : QVariant();
    };
    fileCategoryTables()
        = fileCategoryTablesFromLists(list(SettingsKey::includeExtensionList), list(SettingsKey::excludeExtensionList));
}

void loadExtensionLists()
{
    loadExtensionLists(UserDefaults::standard());
}

ExtensionVerdict categorizeExtension(
    const QString& extension, const ScanSettingsSnapshot& settings, CustomTables custom)
{
    const QString key = extension.toLower();
    const FileCategoryTables& tables = settings.categoryTables;
    const qsizetype consulted = custom == CustomTables::consulted ? 6 : 5;

    for (qsizetype i = 0; i < consulted; ++i) {
        if ((tables.*(exclusionOrder[i]->exclude)).contains(key))
            return {};
    }

    std::optional<Category> category;
    for (qsizetype i = 0; i < consulted && !category; ++i) {
        if ((tables.*(inclusionOrder[i]->include)).contains(key))
            category = inclusionOrder[i]->category;
    }
    if (!category && settings.isAllFileTypesSelected)
        category = Category::Others;
    if (!category)
        return {};
    return { settings.scanCategoryFlags[static_cast<size_t>(rawValue(*category))], category };
}
