#include "platform/SetAsideJournal.h"

#include "base/AppPaths.h"
#include "base/Log.h"
#include "core/FileUtilities.h"
#include "platform/HeldFile.h"

#include <QDir>
#include <QFile>
#include <QUrl>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString recordSuffix = QStringLiteral(".record");

struct Record {
    QString path;
    QString aside;
    quint64 device = 0;
    quint64 inode = 0;
};

QString recordPath(const QString& tag)
{
    return SetAsideJournal::folder() + QLatin1Char('/') + tag + recordSuffix;
}

// Makes what was written into the folder last through a crash.
void syncFolder(const QString& path)
{
    const FileDescriptor folder(::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.isOpen())
        ::fsync(folder.get());
}

std::optional<Record> readRecord(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    // A record is a few lines; anything longer is not one.
    Record record;
    for (const QByteArray& line : file.read(64 * 1024).split('\n')) {
        const qsizetype equals = line.indexOf('=');
        const QByteArray key = line.left(equals);
        const QByteArray value = line.mid(equals + 1);
        if (key == "path")
            record.path = QFile::decodeName(QByteArray::fromPercentEncoding(value));
        else if (key == "aside")
            record.aside = QFile::decodeName(QByteArray::fromPercentEncoding(value));
        else if (key == "device")
            record.device = value.toULongLong();
        else if (key == "inode")
            record.inode = value.toULongLong();
    }
    const auto folderOf = [](const QString& path) { return path.left(path.lastIndexOf(QLatin1Char('/'))); };
    if (!record.path.startsWith(QLatin1Char('/')) || !record.aside.startsWith(QLatin1Char('/'))
        || folderOf(record.path) != folderOf(record.aside) || record.inode == 0)
        return std::nullopt;
    return record;
}

} // namespace

namespace SetAsideJournal {

QString folder()
{
    return AppPaths::stateFolder() + QStringLiteral("/set-aside");
}

std::optional<QString> add(const QString& tag, const QString& path, const QString& aside, const FileFacts& facts)
{
    const QString where = folder();
    std::optional<QString> folderError;
    if (!QDir().mkpath(AppPaths::stateFolder()))
        folderError = QStringLiteral("%1 cannot be made").arg(AppPaths::stateFolder());
    else
        folderError = ensureOwnFolder(where, ::getuid());
    if (folderError) {
        errno = 0;
        return folderError;
    }
    const QByteArray text = QByteArrayLiteral("path=") + QUrl::toPercentEncoding(QFile::encodeName(path), "/")
        + QByteArrayLiteral("\naside=") + QUrl::toPercentEncoding(QFile::encodeName(aside), "/")
        + QByteArrayLiteral("\ndevice=") + QByteArray::number(facts.device) + QByteArrayLiteral("\ninode=")
        + QByteArray::number(facts.inode) + '\n';
    const QByteArray name = QFile::encodeName(recordPath(tag));
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int error = errno;
        QString reason = errnoText(error);
        errno = error;
        return reason;
    }
    if (const auto error = writeDurably(fd, text)) {
        ::unlink(name.constData());
        return error;
    }
    syncFolder(where);
    return std::nullopt;
}

void clear(const QString& tag)
{
    if (::unlink(QFile::encodeName(recordPath(tag)).constData()) != 0 && errno != ENOENT)
        Log::print("Remove: the record of a set-aside file stays:", recordPath(tag), errnoText(errno));
}

} // namespace SetAsideJournal

SetAsideRecovery recoverSetAsideFiles()
{
    SetAsideRecovery recovery;
    const QDir journal(SetAsideJournal::folder());
    const QStringList records = journal.entryList({ QStringLiteral("*") + recordSuffix }, QDir::Files | QDir::Hidden);
    for (const QString& name : records) {
        const QString recordFile = journal.filePath(name);
        const auto record = readRecord(recordFile);
        const auto drop = [&recordFile] { QFile::remove(recordFile); };
        if (!record) {
            Log::print("Start: an unreadable record of a set-aside file was dropped:", recordFile);
            drop();
            continue;
        }
        const qsizetype slash = record->path.lastIndexOf(QLatin1Char('/'));
        const FileDescriptor folder(openFolderWithoutLinks(slash == 0 ? QStringLiteral("/") : record->path.left(slash)));
        struct stat folderStatus { };
        if (!folder.isOpen() || ::fstat(folder.get(), &folderStatus) != 0 || folderStatus.st_dev != record->device) {
            // Its volume may be one that is not mounted now: asked again at
            // the next start.
            recovery.left.push_back({ record->path, record->aside,
                QStringLiteral("its folder cannot be reached now: %1; it is tried again at the next start")
                    .arg(folder.isOpen() ? QStringLiteral("another volume is there") : errnoText(errno)) });
            continue;
        }
        const QByteArray asideName = QFile::encodeName(record->aside.mid(slash + 1));
        const QByteArray originalName = QFile::encodeName(record->path.mid(slash + 1));
        struct stat aside { };
        if (::fstatat(folder.get(), asideName.constData(), &aside, AT_SYMLINK_NOFOLLOW) != 0) {
            // Deleted, or put back, before the run ended.
            drop();
            continue;
        }
        if (!S_ISREG(aside.st_mode) || aside.st_dev != record->device || aside.st_ino != record->inode) {
            Log::print("Start: not the file a set-aside record names, left alone:", record->aside);
            drop();
            continue;
        }
        const int error = renameAtWithoutReplacing(folder.get(), asideName, folder.get(), originalName);
        if (error == 0) {
            Log::print("Start: put back a file an interrupted removal had set aside:", record->path);
            recovery.putBack.push_back(record->path);
        } else {
            Log::print("Start: a file an interrupted removal had set aside stays at", record->aside, errnoText(error));
            recovery.left.push_back({ record->path, record->aside,
                error == EEXIST ? QStringLiteral("a file is already at its path") : errnoText(error) });
        }
        drop();
    }
    return recovery;
}
