#include "marking/ProtectedFolderMatcher.h"

#include <QFile>

#include <algorithm>
#include <cstdlib>
#include <sys/stat.h>

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

// key names folder, or with sub-folders a folder below it; both comparison
// keys.
bool covers(const QString& folder, bool includeSubFolders, const QString& key)
{
    if (key == folder)
        return true;
    if (!includeSubFolders || !key.startsWith(folder))
        return false;
    return folder == QStringLiteral("/") || key.at(folder.size()) == QLatin1Char('/');
}

// The path with every link resolved; none when some part of it is missing.
std::optional<QByteArray> canonicalPath(const QString& path)
{
    const QByteArray encoded = QFile::encodeName(path);
    if (encoded.isEmpty() || encoded.contains('\0'))
        return std::nullopt;
    char* resolved = ::realpath(encoded.constData(), nullptr);
    if (!resolved)
        return std::nullopt;
    QByteArray canonical(resolved);
    std::free(resolved);
    return canonical;
}

std::optional<std::pair<quint64, quint64>> deviceAndInodeOf(const QByteArray& path)
{
    struct stat status { };
    if (::stat(path.constData(), &status) != 0)
        return std::nullopt;
    return std::pair<quint64, quint64> { quint64(status.st_dev), quint64(status.st_ino) };
}

// A mount table field with its octal escapes ("\040" for a space) undone.
QByteArray unescapeMountField(const QByteArray& field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const auto isOctal = [&](qsizetype at) { return at < field.size() && field[at] >= '0' && field[at] <= '7'; };
        if (field[i] == '\\' && isOctal(i + 1) && isOctal(i + 2) && isOctal(i + 3)) {
            out += char(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
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
    folders_.push_back({ path, key, includeSubFolders, {}, {}, {} });
    diskAnswers_.clear();
}

void ProtectedFolderMatcher::addFolders(const ProtectedFolderMatcher& other)
{
    for (const Folder& folder : other.folders_) {
        const bool known = std::ranges::any_of(folders_, [&](const Folder& own) {
            return own.key == folder.key && own.includeSubFolders == folder.includeSubFolders;
        });
        if (!known)
            addFolder(folder.path, folder.includeSubFolders);
    }
}

ProtectedFolderMatcher::MountTable ProtectedFolderMatcher::parseMountTable(const QByteArray& mountInfo)
{
    MountTable table;
    for (const QByteArray& line : mountInfo.split('\n')) {
        // "id parent major:minor root mount-point options …"
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 5 || !fields.at(3).startsWith('/') || !fields.at(4).startsWith('/'))
            continue;
        table.push_back({ fields.at(2), unescapeMountField(fields.at(3)), unescapeMountField(fields.at(4)) });
    }
    return table;
}

ProtectedFolderMatcher::MountTable ProtectedFolderMatcher::currentMounts()
{
    QFile file(QStringLiteral("/proc/self/mountinfo"));
    return file.open(QIODevice::ReadOnly) ? parseMountTable(file.readAll()) : MountTable {};
}

ProtectedFolderMatcher ProtectedFolderMatcher::resolvedOnDisk(MountTable mounts) const
{
    ProtectedFolderMatcher copy = *this;
    copy.resolved_ = true;
    copy.mounts_ = std::move(mounts);
    copy.diskAnswers_.clear();
    for (Folder& folder : copy.folders_) {
        folder.canonicalKey.reset();
        folder.place.reset();
        folder.deviceAndInode.reset();
        const std::optional<QByteArray> canonical = canonicalPath(folder.path);
        if (!canonical)
            continue;
        folder.canonicalKey = comparisonKey(QFile::decodeName(*canonical));
        folder.place = copy.placeOf(*canonical);
        folder.deviceAndInode = deviceAndInodeOf(*canonical);
    }
    return copy;
}

std::optional<ProtectedFolderMatcher::Place> ProtectedFolderMatcher::placeOf(const QByteArray& canonicalPath) const
{
    // The deepest mount that holds the path; of mounts stacked on one point,
    // the last one, which is the one seen.
    const Mount* holder = nullptr;
    for (const Mount& mount : mounts_) {
        const QByteArray& point = mount.mountPoint;
        const bool holds = point == "/" || canonicalPath == point
            || (canonicalPath.startsWith(point) && canonicalPath.at(point.size()) == '/');
        if (holds && (!holder || point.size() >= holder->mountPoint.size()))
            holder = &mount;
    }
    if (!holder)
        return std::nullopt;
    const QByteArray rest = holder->mountPoint == "/" ? canonicalPath : canonicalPath.mid(holder->mountPoint.size());
    QByteArray inFileSystem = holder->root == "/" ? rest : holder->root + rest;
    if (inFileSystem.isEmpty())
        inFileSystem = "/";
    return Place { holder->device, comparisonKey(QFile::decodeName(inFileSystem)) };
}

bool ProtectedFolderMatcher::matchesText(const QString& key) const
{
    for (const Folder& folder : folders_) {
        if (covers(folder.key, folder.includeSubFolders, key))
            return true;
    }
    return false;
}

bool ProtectedFolderMatcher::matches(const QString& folderPath) const
{
    if (folders_.empty())
        return false;
    const QString key = comparisonKey(folderPath);
    if (key.isEmpty())
        return false;
    if (matchesText(key))
        return true;
    return resolved_ && matchesOnDisk(folderPath);
}

bool ProtectedFolderMatcher::matchesOnDisk(const QString& folderPath) const
{
    if (const auto known = diskAnswers_.find(folderPath); known != diskAnswers_.end())
        return known->second;
    bool found = false;
    if (const std::optional<QByteArray> canonical = canonicalPath(folderPath)) {
        const QString canonicalKey = comparisonKey(QFile::decodeName(*canonical));
        const std::optional<Place> place = placeOf(*canonical);
        for (const Folder& folder : folders_) {
            found = (folder.canonicalKey && covers(*folder.canonicalKey, folder.includeSubFolders, canonicalKey))
                || (folder.place && place && folder.place->device == place->device
                    && covers(folder.place->path, folder.includeSubFolders, place->path));
            if (found)
                break;
        }
        // The folders on the way up by device and inode: a bind mount seen
        // where the mount table cannot be read.
        QByteArray step = *canonical;
        for (bool itself = true; !found && !step.isEmpty(); itself = false) {
            if (const auto identity = deviceAndInodeOf(step)) {
                found = std::ranges::any_of(folders_, [&](const Folder& folder) {
                    return folder.deviceAndInode == identity && (itself || folder.includeSubFolders);
                });
            }
            if (step == "/")
                break;
            const qsizetype slash = step.lastIndexOf('/');
            step = slash > 0 ? step.left(slash) : QByteArray("/");
        }
    }
    diskAnswers_.emplace(folderPath, found);
    return found;
}
