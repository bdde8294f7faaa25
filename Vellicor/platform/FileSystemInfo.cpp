#include "platform/FileSystemInfo.h"

#include "core/FileUtilities.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <linux/msdos_fs.h>
#include <mutex>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <sys/uio.h>
#include <unistd.h>

bool isFileImmutable(const QString& path)
{
    const QByteArray encoded = QFile::encodeName(path);
    if (encoded.isEmpty() || encoded.contains('\0'))
        return false;
    struct stat status { };
    // Device nodes are never opened: opening one can have effects of its own.
    if (::lstat(encoded.constData(), &status) != 0 || !(S_ISREG(status.st_mode) || S_ISDIR(status.st_mode)))
        return false;
    const FileDescriptor fd(::open(encoded.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY));
    if (!fd.isOpen() || ::fstat(fd.get(), &status) != 0 || !(S_ISREG(status.st_mode) || S_ISDIR(status.st_mode)))
        return false;
    int flags = 0;
    if (::ioctl(fd.get(), FS_IOC_GETFLAGS, &flags) != 0)
        return false;
    return (flags & FS_IMMUTABLE_FL) != 0;
}

std::optional<bool> immutableAttributeOf(const struct statx& status)
{
    if (!(status.stx_attributes_mask & STATX_ATTR_IMMUTABLE))
        return std::nullopt;
    return (status.stx_attributes & STATX_ATTR_IMMUTABLE) != 0;
}

namespace FileSystemInfoDetail {

bool isNetworkFileSystemType(const QString& type)
{
    static const QStringList kernelTypes = {
        QStringLiteral("nfs"),
        QStringLiteral("nfs4"),
        QStringLiteral("cifs"),
        QStringLiteral("smb3"),
        QStringLiteral("smbfs"),
        QStringLiteral("ncpfs"),
        QStringLiteral("ncp"),
        QStringLiteral("afs"),
        QStringLiteral("coda"),
        QStringLiteral("ceph"),
        QStringLiteral("9p"),
        QStringLiteral("glusterfs"),
        QStringLiteral("lustre"),
        QStringLiteral("gpfs"),
        QStringLiteral("davfs"),
        QStringLiteral("sshfs"),
        QStringLiteral("curlftpfs"),
    };
    // FUSE file systems name their program after "fuse." (or "fuseblk."); most
    // of them are local (NTFS, exFAT, archives), so only known remote ones count.
    static const QStringList fusePrograms = {
        QStringLiteral("sshfs"),
        QStringLiteral("rclone"),
        QStringLiteral("s3fs"),
        QStringLiteral("gcsfuse"),
        QStringLiteral("davfs"),
        QStringLiteral("glusterfs"),
        QStringLiteral("gvfsd-fuse"),
        QStringLiteral("ceph-fuse"),
        QStringLiteral("curlftpfs"),
        QStringLiteral("goofys"),
        QStringLiteral("juicefs"),
        QStringLiteral("mountpoint-s3"),
        QStringLiteral("blobfuse"),
        QStringLiteral("blobfuse2"),
        QStringLiteral("onedriver"),
        QStringLiteral("google-drive-ocamlfuse"),
        QStringLiteral("smbnetfs"),
        QStringLiteral("nfs"),
    };
    const QString lower = type.toLower();
    if (kernelTypes.contains(lower))
        return true;
    for (const QLatin1String prefix : { QLatin1String("fuse."), QLatin1String("fuseblk.") }) {
        if (lower.startsWith(prefix))
            return fusePrograms.contains(lower.mid(prefix.size()));
    }
    return false;
}

bool isNetworkFileSystemMagic(unsigned long magic)
{
    switch (magic) {
    case NFS_SUPER_MAGIC:
    case SMB_SUPER_MAGIC:
    case CIFS_SUPER_MAGIC:
    case SMB2_SUPER_MAGIC:
    case AFS_SUPER_MAGIC:
    case AFS_FS_MAGIC:
    case CODA_SUPER_MAGIC:
    case CEPH_SUPER_MAGIC:
    case NCP_SUPER_MAGIC:
    case V9FS_MAGIC:
    case 0x0BD00BD0: // Lustre
    case 0x47504653: // GPFS
        return true;
    default:
        return false;
    }
}

bool keepsOwnChangeTime(unsigned long magic)
{
    // Local file systems that stamp the change time themselves. FAT and exFAT
    // hand out the modification time as the change time once a file is read
    // from the disk again; FUSE and network file systems give what their
    // program or server says, on another clock, and sshfs gives the
    // modification time; read-only images keep one time for both.
    switch (magic) {
    case EXT4_SUPER_MAGIC: // ext2 and ext3 too
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case RAMFS_MAGIC:
    case F2FS_SUPER_MAGIC:
    case NILFS_SUPER_MAGIC:
    case REISERFS_SUPER_MAGIC:
    case UDF_SUPER_MAGIC:
    case OVERLAYFS_SUPER_MAGIC:
    case 0x482b: // HFS+
    case 0x3153464a: // JFS
    case 0xca451a4e: // bcachefs
    case 0x2fc12fc1: // ZFS
    case 0x5346544e: // NTFS
        return true;
    default:
        return false;
    }
}

std::optional<MountSource> mountSourceOf(const QByteArray& mountInfo, quint64 mountId)
{
    const QByteArray id = QByteArray::number(mountId);
    for (const QByteArray& line : mountInfo.split('\n')) {
        // "id parent major:minor root mount-point options [tags…] - type source …"
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 3 || fields.at(0) != id)
            continue;
        const qsizetype separator = fields.indexOf(QByteArray("-"), 3);
        if (separator < 0 || separator + 1 >= fields.size())
            continue;
        return MountSource { QString::fromUtf8(fields.at(separator + 1)), fields.value(separator + 2) };
    }
    return std::nullopt;
}

std::optional<QString> fileSystemTypeOfMount(const QByteArray& mountInfo, quint64 mountId)
{
    const auto mount = mountSourceOf(mountInfo, mountId);
    return mount ? std::optional(mount->type) : std::nullopt;
}

std::optional<QByteArray> blockDeviceUuid(dev_t device, const QString& byUuidFolder)
{
    const FileDescriptor folder(
        ::open(QFile::encodeName(byUuidFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.isOpen())
        return std::nullopt;
    // Each name is the UUID, a link to the device node that carries it.
    for (const QString& name : QDir(byUuidFolder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        struct stat node { };
        if (::fstatat(folder.get(), QFile::encodeName(name).constData(), &node, 0) == 0 && S_ISBLK(node.st_mode)
            && node.st_rdev == device)
            return name.toLatin1();
    }
    return std::nullopt;
}

std::optional<bool> MountAnswers::find(quint64 mountId, bool mountTableChanged, quint64& generation)
{
    if (mountTableChanged) {
        answers_.clear();
        ++generation_;
    }
    generation = generation_;
    const auto found = answers_.find(mountId);
    return found == answers_.end() ? std::nullopt : std::optional<bool>(found->second);
}

void MountAnswers::remember(quint64 mountId, bool answer, quint64 generation)
{
    if (generation == generation_)
        answers_[mountId] = answer;
}

} // namespace FileSystemInfoDetail

namespace {

QByteArray readMountInfo()
{
    QFile mountInfo(QStringLiteral("/proc/self/mountinfo"));
    return mountInfo.open(QIODevice::ReadOnly) ? mountInfo.readAll() : QByteArray();
}

bool examineNetworkVolume(const QString& path, std::optional<quint64> mountId, bool isLink)
{
    // statfs() follows a symbolic link, so a link is judged by its folder.
    const QByteArray probe = QFile::encodeName(isLink ? QFileInfo(path).absolutePath() : path);
    struct statfs fileSystem { };
    if (::statfs(probe.constData(), &fileSystem) == 0
        && FileSystemInfoDetail::isNetworkFileSystemMagic(static_cast<unsigned long>(fileSystem.f_type)))
        return true;
    // FUSE file systems share one magic number; their type names the program.
    if (!mountId)
        return false;
    const std::optional<QString> type = FileSystemInfoDetail::fileSystemTypeOfMount(readMountInfo(), *mountId);
    return type && FileSystemInfoDetail::isNetworkFileSystemType(*type);
}

// The kernel marks /proc/self/mountinfo with an exceptional condition after
// every mount and unmount; polling it costs no read. Called under the lock.
bool mountTableChanged()
{
    static const int fd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return true;
    pollfd watch { fd, POLLPRI, 0 };
    return ::poll(&watch, 1, 0) > 0 && (watch.revents & (POLLPRI | POLLERR)) != 0;
}

bool isNetworkMount(const QString& path, std::optional<quint64> mountId, bool isLink)
{
    // Never destroyed: a sweep of what ended runs left may still ask on its
    // own thread while the program ends.
    static std::mutex& cacheMutex = *new std::mutex;
    static FileSystemInfoDetail::MountAnswers& answers = *new FileSystemInfoDetail::MountAnswers;
    if (!mountId)
        return examineNetworkVolume(path, mountId, isLink);
    // A walk asks about one mount for file after file, from several threads:
    // each thread keeps its last answer for a moment instead of taking the
    // shared lock and polling the mount table every time.
    struct Recent {
        quint64 mountId = 0;
        bool isNetwork = false;
        std::chrono::steady_clock::time_point until;
    };
    thread_local Recent recent;
    const auto now = std::chrono::steady_clock::now();
    if (recent.mountId == *mountId && now < recent.until)
        return recent.isNetwork;
    const auto keep = [&](bool isNetwork) {
        recent = { *mountId, isNetwork, now + std::chrono::milliseconds(50) };
        return isNetwork;
    };
    quint64 generation = 0;
    {
        std::lock_guard lock(cacheMutex);
        if (const std::optional<bool> known = answers.find(*mountId, mountTableChanged(), generation))
            return keep(*known);
    }
    // Examined outside the lock: a slow network mount must not hold up
    // questions about other mounts. Two threads may examine the same mount
    // once each; they reach the same answer.
    const bool isNetwork = examineNetworkVolume(path, mountId, isLink);
    std::lock_guard lock(cacheMutex);
    answers.remember(*mountId, isNetwork, generation);
    return keep(isNetwork);
}

std::optional<quint64> mountIdOf(const struct statx& status)
{
    return (status.stx_mask & STATX_MNT_ID) ? std::optional<quint64>(status.stx_mnt_id) : std::nullopt;
}

} // namespace

FileTimestamp FileTimeFacts::now() const
{
    struct timespec time { };
    ::clock_gettime(CLOCK_REALTIME, &time);
    return { time.tv_sec, quint32(time.tv_nsec) };
}

std::optional<bool> FileTimeFacts::keepsOwnChangeTime(const QString& path) const
{
    const QByteArray encoded = QFile::encodeName(path);
    struct statfs fileSystem { };
    if (encoded.isEmpty() || encoded.contains('\0') || ::statfs(encoded.constData(), &fileSystem) != 0)
        return std::nullopt;
    return FileSystemInfoDetail::keepsOwnChangeTime(static_cast<unsigned long>(fileSystem.f_type));
}

const FileTimeFacts& systemFileTimeFacts()
{
    static const FileTimeFacts facts;
    return facts;
}

bool isNetworkVolume(const QString& path)
{
    const QByteArray encoded = QFile::encodeName(path);
    if (encoded.isEmpty() || encoded.contains('\0'))
        return false;
    struct statx status { };
    if (::statx(AT_FDCWD, encoded.constData(), AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_MNT_ID, &status) != 0)
        return false;
    return isNetworkMount(path, mountIdOf(status), S_ISLNK(status.stx_mode));
}

bool isNetworkVolume(const QString& path, const struct statx& status)
{
    if (!(status.stx_mask & STATX_MNT_ID))
        return isNetworkVolume(path);
    return isNetworkMount(path, mountIdOf(status), (status.stx_mask & STATX_TYPE) && S_ISLNK(status.stx_mode));
}

bool isNetworkVolume(const QString& path, dev_t device)
{
    Q_UNUSED(device);
    return isNetworkVolume(path);
}

bool isRotationalDevice(unsigned int deviceMajor, unsigned int deviceMinor)
{
    // Devices without a block queue (major 0: tmpfs, overlay, btrfs
    // subvolumes) have no entry at all.
    if (deviceMajor == 0)
        return false;
    const QString device = QStringLiteral("/sys/dev/block/%1:%2/").arg(deviceMajor).arg(deviceMinor);
    for (const char* queue : { "queue/rotational", "../queue/rotational" }) {
        QFile flag(device + QLatin1String(queue));
        if (flag.open(QIODevice::ReadOnly))
            return flag.read(4).trimmed() == "1";
    }
    return false;
}

bool isInPageCache(const QString& path, quint64 byteCount)
{
    if (byteCount == 0)
        return true;
    // Opening never blocks, not even on a FIFO, and a read of anything but a
    // regular file fails.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return false;
    // A read that would wait for the disk fails at once instead; the first
    // and the last byte wanted stand for the range, which read-ahead brings
    // in as a whole.
    bool cached = true;
    for (const quint64 offset : { quint64(0), byteCount - 1 }) {
        char byte = 0;
        struct iovec one {
            &byte, 1
        };
        if (cached && (offset == 0 || offset >= 4096))
            cached = ::preadv2(fd, &one, 1, off_t(offset), RWF_NOWAIT) == 1;
    }
    ::close(fd);
    return cached;
}

std::optional<QByteArray> volumeIdentity(int fd)
{
    struct statfs fileSystem { };
    if (::fstatfs(fd, &fileSystem) != 0)
        return std::nullopt;
    const auto magic = static_cast<unsigned long>(fileSystem.f_type);
    const QByteArray kind = QByteArray::number(quint64(magic), 16) + ':';
    // These derive the id statfs gives from the UUID in their superblock,
    // whatever device they are mounted from.
    if (magic == EXT4_SUPER_MAGIC || magic == BTRFS_SUPER_MAGIC) {
        quint32 id[2];
        static_assert(sizeof id == sizeof fileSystem.f_fsid);
        std::memcpy(id, &fileSystem.f_fsid, sizeof id);
        if (id[0] != 0 || id[1] != 0)
            return "fsid:" + kind + QByteArray::number(id[0], 16) + '.' + QByteArray::number(id[1], 16);
    }
    // A FAT volume's serial number, written when it was formatted.
    if (magic == MSDOS_SUPER_MAGIC) {
        const FileDescriptor opened(::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        __u32 serial = 0;
        if (opened.isOpen() && ::ioctl(opened.get(), FAT_IOCTL_GET_VOLUME_ID, &serial) == 0)
            return "fat:" + QByteArray::number(serial, 16);
    }
    struct statx status { };
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &status) != 0 || !(status.stx_mask & STATX_MNT_ID))
        return std::nullopt;
    const auto mount = FileSystemInfoDetail::mountSourceOf(readMountInfo(), status.stx_mnt_id);
    if (!mount || mount->source.isEmpty())
        return std::nullopt;
    // A share is its server's and path's.
    if (FileSystemInfoDetail::isNetworkFileSystemMagic(magic)
        || FileSystemInfoDetail::isNetworkFileSystemType(mount->type))
        return "share:" + mount->type.toUtf8() + ':' + mount->source;
    // Any other volume of a disk: the UUID the device manager read from it.
    struct stat device { };
    if (!mount->source.startsWith('/') || ::stat(mount->source.constData(), &device) != 0 || !S_ISBLK(device.st_mode))
        return std::nullopt;
    const auto uuid = FileSystemInfoDetail::blockDeviceUuid(device.st_rdev, QStringLiteral("/dev/disk/by-uuid"));
    return uuid ? std::optional("uuid:" + kind + *uuid) : std::nullopt;
}
