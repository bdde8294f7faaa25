#pragma once

#include "core/FilePathNode.h"
#include "core/GlobalObjects.h"

#include <QRegularExpression>
#include <QString>

#include <optional>
#include <vector>

// Recognises an excluded folder, or anything below it, by its full path.
// Letters compare without regard to case: excluding more is the safe side.
// An immutable value: a scan copies it and reads it from any thread.
class PathExclusionPredicate {
public:
    // expressionText must match a whole path.
    explicit PathExclusionPredicate(const QString& expressionText);

    bool evaluateWithObject(const QString& path) const;
    QString expressionText() const { return expressionText_; }

private:
    QString expressionText_;
    QRegularExpression expression_;
};

// The alternative for one excluded folder: the folder itself, or the folder, a
// slash and anything (so /a/bc is not below /a/b). A trailing slash of the
// stored path is ignored; "/" itself covers everything.
QString exclusionAlternative(const QString& folderPath);

// For this computer's exclude list: every row excludes, checked or not. No
// rows: no predicate.
std::optional<PathExclusionPredicate> makeDirExclusionPredicate(const std::vector<FilePathNodePtr>& excludeRows);

// For a cloud source's exclude list: only checked rows exclude; Google Drive
// rows by their folder's absolute path in the Drive. No rows: no predicate;
// rows but none checked: a predicate that excludes nothing.
std::optional<PathExclusionPredicate> makeCloudDirExclusionPredicate(
    ScanSource source, const std::vector<FilePathNodePtr>& driveRows, const std::vector<FilePathNodePtr>& cloudRows);

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
