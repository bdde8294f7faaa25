#include "platform/JournalRecords.h"

#include "base/AppPaths.h"
#include "base/Log.h"
#include "core/FileUtilities.h"
#include "platform/Trash.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QUrl>

#include <algorithm>
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

// The machine's boot: a process number names a process only within it.
const QByteArray& bootId()
{
    // Never destroyed: a sweep may still ask while the program ends.
    static const QByteArray& id = *new QByteArray([] {
        QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
        return file.open(QIODevice::ReadOnly) ? file.read(64).trimmed() : QByteArray();
    }());
    return id;
}

// When the process pid started, in clock ticks after the boot (its stat's
// 22nd field, the 20th after its name); empty when it is not running.
QByteArray processStart(const QByteArray& pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(QLatin1String(pid)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray stat = file.read(4096);
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 1).simplified().split(' ');
    return fields.size() > 19 ? fields[19] : QByteArray();
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
    // Locked while still empty, until it is whole: a sweep meanwhile (of
    // another running copy of the program) leaves it be. One that took it
    // first found it empty and removed it: the tag is taken.
    FileDescriptor writing;
    struct stat status { };
    writing.reset(::flock(fd, LOCK_EX) == 0 || errno == ENOLCK ? ::fcntl(fd, F_DUPFD_CLOEXEC, 0) : -1);
    if (!writing.isOpen() || ::fstat(fd, &status) != 0) {
        const int error = errno;
        ::unlink(name.constData());
        ::close(fd);
        errno = error;
        return errnoText(error);
    }
    if (status.st_nlink == 0) {
        ::close(fd);
        errno = EEXIST;
        return errnoText(EEXIST);
    }
    if (held)
        *held = std::move(writing);
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

QByteArray thisWriter()
{
    // Read once per thread, without a lock a forked child could inherit
    // held; a child forked since names itself.
    thread_local pid_t knownFor = 0;
    thread_local QByteArray writer;
    const pid_t self = ::getpid();
    if (knownFor != self) {
        const QByteArray pid = QByteArray::number(qint64(self));
        writer = bootId() + ':' + pid + ':' + processStart(pid);
        knownFor = self;
    }
    return writer;
}

bool writerRunning(const QByteArray& writer)
{
    const QList<QByteArray> parts = writer.split(':');
    const auto isNumber = [](const QByteArray& text) {
        return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    return parts.size() == 3 && !parts[0].isEmpty() && parts[0] == bootId() && isNumber(parts[1])
        && isNumber(parts[2]) && processStart(parts[1]) == parts[2];
}

void syncFolder(const QString& folder)
{
    const FileDescriptor fd(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.isOpen())
        ::fsync(fd.get());
}

} // namespace JournalRecords
