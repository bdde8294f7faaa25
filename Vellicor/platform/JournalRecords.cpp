#include "platform/JournalRecords.h"

#include "base/AppPaths.h"
#include "base/Log.h"
#include "core/FileUtilities.h"
#include "platform/Trash.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QUrl>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString recordSuffix = QStringLiteral(".record");

// A record is a few lines; anything longer is not one.
constexpr qint64 longestRecord = 64 * 1024;

QByteArray lines(const JournalRecords::Fields& fields)
{
    QByteArray text;
    for (const auto& [key, value] : fields)
        text += key + '=' + QUrl::toPercentEncoding(value, "/") + '\n';
    return text;
}

} // namespace

namespace JournalRecords {

std::optional<QString> ensureFolder(const QString& folder, PrivateFiles::Make make)
{
    using PrivateFiles::FolderFault;
    std::optional<FolderFault> fault
        = PrivateFiles::useOwnFolder(AppPaths::stateFolder(), PrivateFiles::FolderUse::state, make);
    QString at = AppPaths::stateFolder();
    if (!fault) {
        fault = PrivateFiles::ensureOwnFolder(folder, make);
        at = folder;
    }
    if (!fault)
        return std::nullopt;
    if (*fault == FolderFault::missing || *fault == FolderFault::notMade)
        return QStringLiteral("%1 cannot be made").arg(at);
    return QStringLiteral("%1 is not a folder of the user's alone").arg(at);
}

QString newTag()
{
    return QStringLiteral("%1").arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0'));
}

QString recordPath(const QString& folder, const QString& tag)
{
    return folder + QLatin1Char('/') + tag + recordSuffix;
}

std::optional<QString> write(
    const QString& folder, const QString& tag, const Fields& fields, bool durably, FileDescriptor* held)
{
    const QByteArray name = QFile::encodeName(recordPath(folder, tag));
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int error = errno;
        QString reason = errnoText(error);
        errno = error;
        return reason;
    }
    if (held) {
        // Locked while still empty. A clean-up that took it first found it
        // empty and removed it: the tag is taken.
        struct stat status { };
        held->reset(::flock(fd, LOCK_EX) == 0 || errno == ENOLCK ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1);
        if (!held->isOpen() || ::fstat(fd, &status) != 0 || status.st_nlink == 0) {
            held->reset();
            ::close(fd);
            errno = EEXIST;
            return errnoText(EEXIST);
        }
    }
    std::optional<QString> error;
    if (durably) {
        error = writeDurably(fd, lines(fields));
    } else {
        error = writeWhole(fd, lines(fields));
        if (::close(fd) != 0 && !error)
            error = errnoText(errno);
    }
    if (error) {
        ::unlink(name.constData());
        if (held)
            held->reset();
    }
    return error;
}

bool held(const QString& folder, const QString& tag, FileDescriptor& locked)
{
    // Never waits to open: a FIFO under a record's name holds no sweep.
    locked.reset(::open(
        QFile::encodeName(recordPath(folder, tag)).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (locked.isOpen() && ::flock(locked.get(), LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK;
        locked.reset();
        return busy;
    }
    return false;
}

std::optional<QString> append(const QString& folder, const QString& tag, const Fields& fields, bool durably)
{
    const FileDescriptor fd(
        ::open(QFile::encodeName(recordPath(folder, tag)).constData(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC));
    if (!fd.isOpen())
        return errnoText(errno);
    // One write: a record read later has the lines whole or not at all.
    if (auto error = writeWhole(fd.get(), lines(fields)))
        return error;
    if (durably && ::fdatasync(fd.get()) != 0)
        return errnoText(errno);
    return std::nullopt;
}

QStringList tags(const QString& folder)
{
    QStringList found;
    for (const QString& name :
        QDir(folder).entryList({ QStringLiteral("*") + recordSuffix }, QDir::Files | QDir::Hidden | QDir::System))
        found.append(name.chopped(recordSuffix.size()));
    return found;
}

std::optional<Fields> read(const QString& folder, const QString& tag)
{
    const PrivateFiles::SmallFile file = PrivateFiles::readSmallFile(recordPath(folder, tag), longestRecord);
    if (file.outcome != PrivateFiles::SmallFile::Outcome::read)
        return std::nullopt;
    Fields fields;
    for (const QByteArray& line : file.bytes.split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            fields[line.left(equals)] = QByteArray::fromPercentEncoding(line.mid(equals + 1));
    }
    return fields;
}

void remove(const QString& folder, const QString& tag, const char* what)
{
    if (::unlink(QFile::encodeName(recordPath(folder, tag)).constData()) != 0 && errno != ENOENT)
        Log::print(what, recordPath(folder, tag), errnoText(errno));
}

QByteArray timeText(const FileTimestamp& time)
{
    return QByteArray::number(time.seconds) + '.' + QByteArray::number(time.nanoseconds);
}

std::optional<FileTimestamp> timeFrom(const QByteArray& text)
{
    const qsizetype dot = text.indexOf('.');
    if (dot < 0)
        return std::nullopt;
    return FileTimestamp { text.left(dot).toLongLong(), text.mid(dot + 1).toUInt() };
}

void syncFolder(const QString& folder)
{
    const FileDescriptor fd(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.isOpen())
        ::fsync(fd.get());
}

} // namespace JournalRecords
