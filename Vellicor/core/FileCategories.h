#pragma once

#include "core/GlobalObjects.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>

#include <optional>

class UserDefaults;
struct ScanSettingsSnapshot;

// A lookup table of lower-case extensions (without the dot); only presence
// counts.
using ExtensionTable = QSet<QString>;

// ---------------------------------------------------------------------------
// Built-in extension lists, the source of the default extension filters. The
// lists keep their repeats: the default filter rows show them as they are.
// Filled on the GUI thread at start-up, before the defaults are registered.
// ---------------------------------------------------------------------------

QStringList& audioExtensions();
QStringList& imageExtensions();
QStringList& rawImageExtensions();
QStringList& videoExtensions();
QStringList& documentExtensions();
QStringList& archiveExtensions();
// Every raw image extension, lower-cased.
ExtensionTable& rawExtensionSet();

// Fills the six lists and rawExtensionSet; filling again gives the same lists.
void fillBuiltInExtensionLists();

// ---------------------------------------------------------------------------
// The include and exclude tables of the six filter categories, built from the
// checked rows of "IncludeExtensionList" and "ExcludeExtensionList". Rebuilt
// whole on the GUI thread between scans; a scan reads its own copy (see
// ScanSettingsSnapshot).
// ---------------------------------------------------------------------------

struct FileCategoryTables {
    ExtensionTable includeDocumentExtensions;
    ExtensionTable includeVideoExtensions;
    ExtensionTable includePictureExtensions;
    ExtensionTable includeMusicExtensions;
    ExtensionTable includeArchiveExtensions;
    ExtensionTable includeCustomExtensions;
    ExtensionTable excludeDocumentExtensions;
    ExtensionTable excludeVideoExtensions;
    ExtensionTable excludePictureExtensions;
    ExtensionTable excludeMusicExtensions;
    ExtensionTable excludeArchiveExtensions;
    ExtensionTable excludeCustomExtensions;

    bool operator==(const FileCategoryTables&) const = default;
};

// The application's tables.
FileCategoryTables& fileCategoryTables();

// The category keys ("keyStr") of the filter rows. "All" is the row that
// stands for every file type; it names no table.
namespace ExtensionFilterKey {
inline constexpr char all[] = "All";
inline constexpr char document[] = "Document";
inline constexpr char picture[] = "Picture";
inline constexpr char music[] = "Music";
inline constexpr char video[] = "Video";
inline constexpr char archive[] = "Archive";
inline constexpr char custom[] = "Custom";
} // namespace ExtensionFilterKey

// The language-table key of a category's display name ("ID_DOCUMENT" for
// "Document" …), or none for "All" and unknown keys.
std::optional<QString> categoryDisplayNameKey(const QString& keyStr);

// The extensions one filter row stands for, lower-cased, as the scan's tables
// take them from its label (so an edited row's as edited); none for "All",
// for an unknown category and for a row without a text label.
QStringList extensionsOfFilter(const QVariantMap& entry);

// Adds the extensions of one filter row to the include or exclude table of its
// category. Rows of "All" or of an unknown category, and rows without a text
// label, add nothing. The label's category name is expected in the current
// language; a label stored under another language still gives all of its
// extensions.
void buildFileCategoryTables(const QVariantMap& entry, bool include, FileCategoryTables& tables);

// The tables for the stored include and exclude lists (either may be missing
// or of a wrong type). With the All row checked, unchecked include rows count
// too; exclude rows count only when checked.
FileCategoryTables fileCategoryTablesFromLists(const QVariant& includeList, const QVariant& excludeList);

// Rebuilds the application's tables from the settings. GUI thread.
void loadExtensionLists(const UserDefaults& defaults);
void loadExtensionLists();

// Which tables a classification consults: cloud files ignore the Custom tables.
enum class CustomTables { consulted, ignored };

struct ExtensionVerdict {
    // True when the scan takes the file: not excluded, a category found and
    // that category's switch on.
    bool taken = false;
    // The category found; none when the extension is excluded or in no table
    // while "All" is not chosen.
    std::optional<GlobalObjects::FileCategory> category;
};

// Classifies a file by its extension (case does not matter) with the tables,
// switches and "All" choice of the scan. Exclusion wins over inclusion; the
// first include table in the order Video, Picture, Archive, Music, Document,
// Custom gives the category; an extension in no table is Others while "All" is
// chosen. Thread-safe: reads the snapshot only.
ExtensionVerdict categorizeExtension(
    const QString& extension, const ScanSettingsSnapshot& settings, CustomTables custom = CustomTables::consulted);
