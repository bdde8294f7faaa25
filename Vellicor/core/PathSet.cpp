#include "core/PathSet.h"

#include "core/FilePathNode.h"

#include <QDir>

#include <algorithm>

namespace {

// A cleaned folder's key: its path and a slash, so that /a/b does not hold
// /a/bc.
QString keyOf(const QString& clean)
{
    return clean == QLatin1String("/") ? clean : clean + QLatin1Char('/');
}

} // namespace

PathSet PathSet::ofRows(const std::vector<std::shared_ptr<FilePathNode>>& rows, LetterCase letterCase)
{
    PathSet paths(letterCase);
    for (const std::shared_ptr<FilePathNode>& row : rows) {
        if (row && row->filePath)
            paths.insert(*row->filePath);
    }
    return paths;
}

QString PathSet::comparable(const QString& path) const
{
    return letterCase_ == LetterCase::ignored ? path.toLower() : path;
}

void PathSet::insert(const QString& path)
{
    if (path.isEmpty())
        return;
    const QString text = comparable(path);
    exact_.insert(text);
    keys_.push_back(keyOf(QDir::cleanPath(text)));
    sorted_ = false;
    holdsAny_ = true;
}

bool PathSet::contains(const QString& path) const
{
    return exact_.contains(comparable(path));
}

void PathSet::sortOnce() const
{
    if (sorted_)
        return;
    std::sort(keys_.begin(), keys_.end());
    sorted_ = true;
}

bool PathSet::holdsSameOrBelow(const QString& folder) const
{
    if (folder.isEmpty() || !holdsAny_)
        return false;
    const QString clean = QDir::cleanPath(comparable(folder));
    // The whole file system holds every path.
    if (clean == QLatin1String("/"))
        return true;
    sortOnce();
    const QString key = keyOf(clean);
    const auto found = std::lower_bound(keys_.begin(), keys_.end(), key);
    return found != keys_.end() && found->startsWith(key);
}
