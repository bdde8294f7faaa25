#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

#include <utility>

class UserDefaults;

// The keys of the settings store. The first 23 are registered with defaults
// at every start, in this order; the last three are written only.
namespace SettingsKey {
inline constexpr char doNotShowConfirmationDialogOnTrash[] = "doNotShowConfirmationDialogOnTrash";
inline constexpr char autoMarkPhotos[] = "autoMarkPhotos";
inline constexpr char doNotShowAutoMarkDialog[] = "doNotShowAutoMarkDialog";
inline constexpr char doNotShowConfirmationDialogOnTrashForNetworkDrive[]
    = "doNotShowConfirmationDialogOnTrashForNetworkDrive";
inline constexpr char autoSelectOption[] = "autoSelectOption";
inline constexpr char minimumFileSize[] = "minimumFileSize";
inline constexpr char maximumFileSize[] = "maximumFileSize";
inline constexpr char fileSizeUnitForMax[] = "fileSizeUnitForMax";
inline constexpr char fileSizeUnit[] = "fileSizeUnit";
inline constexpr char appVersion[] = "appVersion";
inline constexpr char autoMarkingRules[] = "autoMarkingRules";
inline constexpr char includeExtensionList[] = "IncludeExtensionList";
inline constexpr char excludeExtensionList[] = "ExcludeExtensionList";
inline constexpr char scanFileOfAnyFileSize[] = "ScanFileOfAnyFileSize";
inline constexpr char scanFileForCreatedDate[] = "ScanFileForCreatedDate";
inline constexpr char scanFileForModifiedDate[] = "ScanFileForModifiedDate";
inline constexpr char excludeDuplicateLessSizeInKB[] = "excludeDuplicateLessSizeInKB";
inline constexpr char excludedFolders[] = "excludedFolders";
inline constexpr char protectedFolders[] = "protectedFolders";
inline constexpr char searchContent[] = "search_content";
inline constexpr char searchOptions[] = "search_options";
inline constexpr char scanFilesDate[] = "ScanFilesDate";
inline constexpr char sacnHiddenFolders[] = "sacnHiddenFolders";
// Registered (true) and reset too: whether a scan reads the photo libraries
// it meets.
inline constexpr char scanPhotosLibrary[] = "scanPhotosLibrary";

inline constexpr char lastScanStatus[] = "lastScanStatus";
inline constexpr char isFirstLaunchDone[] = "isFirstLaunchDone";
// The scan list of this computer: records of "path" (text), "state" and
// "includeSubFolders", as makeFolderEntry makes them.
inline constexpr char savedPaths[] = "savedPaths";
} // namespace SettingsKey

// Registers the default of every registered key in one call. Call once per
// start, after fillBuiltInExtensionLists(): the default filter rows are made
// from the built-in lists. A stored value is never replaced.
void registerDefaultSettings(UserDefaults& defaults);
void registerDefaultSettings();

// Auto-marking rule record: "ruleName", "description", "state" (Bool),
// "weight" (integer).
QVariantMap makeAutoMarkingRule(const QString& ruleName, const QString& description, bool state, qint64 weight);
// The five default rules, their descriptions in the current language.
QVariantList defaultAutoMarkingRules();

// Extension-filter record: "state" (integer 1 ticked, 0 not), "values" (the
// label shown), "keyStr" (category key), "extensionList" (extensions without
// the dot) and "extensionType" (All 1, Document 2, Picture 3, Archive 4,
// Music 5, Video 6).
QVariantMap makeExtensionFilter(
    int state, const QString& values, const QString& keyStr, const QStringList& extensionList, qint64 extensionType);
// "<name> (*.a;*.b;)"; with no extensions "<name> ()".
QString extensionFilterLabel(const QString& categoryName, const QStringList& extensions);
// The include list (All and five category rows) for true, the exclude list
// (the five category rows) for false, made from the built-in lists as they
// are now.
QVariantList defaultExtensionFilterList(bool include);

// Folder entry of "excludedFolders" and "protectedFolders": "path", "state"
// (integer, 1 ticked), "includeSubFolders" (integer, 1 true).
QVariantMap makeFolderEntry(const QString& path, int state = 1, int includeSubFolders = 1);
// The places a scan of this computer never walks by default: kernel and device
// trees, installed software, the user's Trash and caches, and the synchronised
// Dropbox folder (scanned through its own source).
QStringList defaultExcludedFolderPaths();
QVariantList defaultExcludedFolders();

// Scan-history record: "dupCount" (signed), "dupSize" (unsigned) and
// "scantime" (date).
QVariantMap makeScanHistoryRecord(qint64 dupCount, quint64 dupSize, const QDateTime& scantime);

// (minimum size in bytes, option) of the minimum-duplicate-size option:
// option 2 gives 1000 bytes, 3 gives 10000, any other option 0; a missing or
// non-integer option gives (0, -1).
std::pair<qint64, qint64> readMinimumDuplicateSize(const UserDefaults& defaults);

// Appends a record stamped now to "lastScanStatus" as the file holds it now,
// and saves it before returning; a history of the wrong type is replaced by
// a new one. The history is the one setting that gives way when the settings
// file would pass its bound (registerDefaultSettings says so to the store):
// its oldest records go, as few as make room. Tens of
// thousands of records are ordinary (years of several scans and clean-ups a
// day), and they are kept: about 64,000 with the lists of ordinary use, 52,000
// beside one list at its bound of 10,000 rows, 29,000 beside all three.
void appendScanHistoryRecord(qint64 dupCount, quint64 dupSize, UserDefaults& defaults);
void appendScanHistoryRecord(qint64 dupCount, quint64 dupSize);
