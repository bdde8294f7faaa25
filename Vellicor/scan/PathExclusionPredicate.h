#pragma once

#include "core/FilePathNode.h"
#include "core/GlobalObjects.h"

#include <QSet>
#include <QStringList>
#include <QString>

#include <optional>
#include <vector>

// Recognises an excluded folder, or anything below it, by its full path: a
// path is excluded when it is one of the folders or starts with one of them
// and a slash (so /a/bc is not below /a/b). The folders are kept as a set and
// a path is tested prefix by prefix at its slashes, so every folder holds
// whatever the length of the list.
//
// An immutable value: a scan copies it and reads it from any thread.
class PathExclusionPredicate {
public:
    enum class LetterCase { exact, ignored };

    // Empty and blank entries are passed over (logged): they name no folder.
    // Trailing slashes, doubled slashes and "." components do not count.
    explicit PathExclusionPredicate(const QStringList& folders, LetterCase letterCase = LetterCase::exact);

    bool evaluateWithObject(const QString& path) const;
    // The excluded folder that holds path or is path, as the folders are
    // compared; none when path is not excluded.
    std::optional<QString> excludingFolder(const QString& path) const;
    // The same for the path of an entry whose folder is known not to be
    // excluded (a walk tested it before entering it): only the path itself
    // can still be one of the folders.
    bool evaluateEntryOfIncludedFolder(const QString& path) const;
    // Whether a path of this many bytes (UTF-8, as the file system spells it)
    // may be one of the folders at all: a walk spares itself the text of a
    // longer one.
    bool mayHoldPathOfBytes(qsizetype bytes) const;
    // The folders as they are compared, in no particular order.
    QStringList folders() const { return folders_.values(); }

private:
    QString comparable(const QString& path) const;

    QSet<QString> folders_;
    LetterCase letterCase_;
    bool excludesEverything_ = false; // "/" is among the folders
    qsizetype longestFolderBytes_ = 0;
};

// The folder an entry names: cleaned of trailing and doubled slashes and "."
// components; none for an empty or blank entry.
std::optional<QString> normalizedExcludedFolder(const QString& entry);

// Why a chosen location is not walked: the excluded folder that holds it,
// judged by its own path or else by what it leads to.
struct LocationExclusion {
    QString folder;
    // The location with every link on its way followed, at any level and
    // through links to links; empty when its own path is excluded.
    QString leadsTo;
    // The folder is one of the folders excluded by default, not one the user
    // added.
    bool byDefault = false;
};

// Judges a location the user chose by its own path and then by what it leads
// to. Follows links on the disk, so it may wait on a mount: never on the GUI
// thread. None when the location is not excluded or cannot be followed.
std::optional<LocationExclusion> locationExclusion(const PathExclusionPredicate& excluded, const QString& path);

// The exclusion as a line of the log or of the driver's report says it; its
// names stand as they are, for the outlet to escape.
QString locationExclusionText(const QString& path, const LocationExclusion& exclusion);

// The exclusion as an alert tells it: where the location lies or leads and
// which excluded folder keeps it out, each name on one line, escaped as the
// log writes it.
QString locationExclusionAlertText(const QString& path, const LocationExclusion& exclusion);

// Locations the scan passed over because of an exclusion, for the alert at
// the scan's end: every path, and how the first one was kept out.
struct PassedOverLocations {
    QStringList paths;
    std::optional<LocationExclusion> first;
};

// The alert's details for them: the one location with its exclusion, or the
// first few by name and how many more.
QString passedOverDetails(const PassedOverLocations& passed);

// For this computer's exclude list: every row excludes, checked or not, and
// paths compare exactly, as the walk meets them. No usable row: no predicate.
std::optional<PathExclusionPredicate> makeDirExclusionPredicate(const std::vector<FilePathNodePtr>& excludeRows);

// For a cloud source's exclude list: only checked rows exclude; Google Drive
// rows by their folder's absolute path in the Drive. Drive paths compare
// exactly, since Drive keeps folders whose names differ only in case apart;
// the other services do not, so their paths compare without regard to case.
// No rows: no predicate; rows but none checked: a predicate that excludes
// nothing.
std::optional<PathExclusionPredicate> makeCloudDirExclusionPredicate(
    ScanSource source, const std::vector<FilePathNodePtr>& excludeRows);

// The size limits of a scan, in bytes (both inclusive), from the settings.
struct FileSizeLimits {
    bool scanAnyFileSize = false;
    quint64 minimumFileSizeBytes = 0;
    quint64 maximumFileSizeBytes = 0;
};

class UserDefaults;
FileSizeLimits readFileSizeLimits(const UserDefaults& defaults);

// The factor of a size unit code: 1 KB, 2 MB, 3 GB (decimal); anything else
// bytes.
quint64 sizeUnitFactor(const std::optional<qint64>& unitCode);
