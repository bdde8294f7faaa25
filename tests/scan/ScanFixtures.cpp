#include "ScanFixtures.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>

QString writeFile(const QString& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir + QLatin1Char('/') + name;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

FileInfoNodePtr recordOf(const QString& path)
{
    const QFileInfo info(path);
    auto record = std::make_shared<FileInfoNode>();
    record->filePath = path;
    record->fileName = info.fileName();
    record->fileSize = quint64(info.size());
    record->isDirectory = info.isDir();
    record->modDate = info.lastModified().toUTC();
    struct statx st { };
    if (::statx(AT_FDCWD, QFile::encodeName(path).constData(), 0, STATX_INO | STATX_MTIME | STATX_CTIME, &st) == 0) {
        record->inode = st.stx_ino;
        record->modTime = { st.stx_mtime.tv_sec, st.stx_mtime.tv_nsec };
        record->changeTime = { st.stx_ctime.tv_sec, st.stx_ctime.tv_nsec };
    }
    return record;
}

std::vector<FileInfoNodePtr> recordsOf(const QStringList& paths)
{
    std::vector<FileInfoNodePtr> records;
    for (const QString& path : paths)
        records.push_back(recordOf(path));
    return records;
}

FileInfoNodePtr syntheticRecord(const QString& path, quint64 size)
{
    auto record = std::make_shared<FileInfoNode>();
    record->filePath = path;
    record->fileName = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    record->fileSize = size;
    return record;
}

std::vector<FileInfoNodePtr> pairsWithDigests(int count)
{
    std::vector<FileInfoNodePtr> records;
    for (int i = 0; i < count; ++i) {
        auto record = syntheticRecord(QStringLiteral("/data/%1").arg(i), 100 + i / 2);
        record->md5 = QStringLiteral("%1").arg(i / 2, 32, 16, QLatin1Char('0'));
        record->isMd5Calucaluted = true;
        records.push_back(record);
    }
    return records;
}

std::vector<QStringList> namesOf(const std::vector<DuplicateGroupPtr>& groups)
{
    std::vector<QStringList> names;
    for (const DuplicateGroupPtr& group : groups) {
        QStringList members;
        for (const FileInfoNodePtr& record : group->children)
            members.append(record->fileName.value_or(QStringLiteral("<none>")));
        names.push_back(members);
    }
    return names;
}

std::vector<QStringList> duplicateNamesOf(const std::vector<DuplicateGroupPtr>& groups)
{
    std::vector<QStringList> names;
    for (const QStringList& members : namesOf(groups)) {
        if (members.size() > 1)
            names.push_back(members);
    }
    return names;
}

ScanSettingsSnapshot openSettings()
{
    ScanSettingsSnapshot s;
    s.scanCategoryFlags.fill(true);
    s.isAllFileTypesSelected = true;
    s.scanAnyFileSize = true;
    s.categoryTables.includeDocumentExtensions = { QStringLiteral("txt") };
    s.categoryTables.includePictureExtensions = { QStringLiteral("jpg"), QStringLiteral("cr2") };
    s.categoryTables.includeVideoExtensions = { QStringLiteral("mp4") };
    s.categoryTables.includeCustomExtensions = { QStringLiteral("xyz") };
    s.rawExtensionSet = { QStringLiteral("cr2") };
    return s;
}
