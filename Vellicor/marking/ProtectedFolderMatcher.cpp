#include "marking/ProtectedFolderMatcher.h"

namespace {

// The comparison form of a folder path: composed Unicode, case-folded, runs
// of "/" made one, no trailing "/" except for the root itself.
QString comparisonKey(const QString& path)
{
    QString key;
    key.reserve(path.size());
    for (const QChar c : path.normalized(QString::NormalizationForm_C)) {
        if (c == QLatin1Char('/') && key.endsWith(QLatin1Char('/')))
            continue;
        key += c;
    }
    if (key.size() > 1 && key.endsWith(QLatin1Char('/')))
        key.chop(1);
    return key.toCaseFolded();
}

} // namespace

ProtectedFolderMatcher ProtectedFolderMatcher::fromList(const std::vector<FilePathNodePtr>& list, ScanSource source)
{
    ProtectedFolderMatcher matcher;
    for (const FilePathNodePtr& row : list) {
        if (!row)
            continue;
        QString path;
        if (source == ScanSource::googleDrive)
            path = row->gdFolder ? row->gdFolder->folderAbsPath : QString();
        else
            path = row->filePath.value_or(QString());
        matcher.addFolder(path, row->isIncludeSubFolders);
    }
    return matcher;
}

void ProtectedFolderMatcher::addFolder(const QString& path, bool includeSubFolders)
{
    const QString key = comparisonKey(path);
    if (key.isEmpty())
        return;
    const QString prefix = key == QStringLiteral("/") ? key : key + QLatin1Char('/');
    folders_.push_back({ key, prefix, includeSubFolders });
}

bool ProtectedFolderMatcher::matches(const QString& folderPath) const
{
    if (folders_.empty())
        return false;
    const QString key = comparisonKey(folderPath);
    if (key.isEmpty())
        return false;
    for (const Folder& folder : folders_) {
        if (key == folder.key || (folder.includeSubFolders && key.startsWith(folder.prefix)))
            return true;
    }
    return false;
}
