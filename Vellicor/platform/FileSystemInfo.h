#pragma once

#include "core/FileInfoNode.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <sys/stat.h>
#include <sys/types.h>
#include <unordered_map>

// What the file system says about an item beyond its contents. Safe on any
// thread.

// True when the item has the immutable attribute (it cannot be changed,
// renamed or removed, not even by its owner). False when the attribute cannot
// be read: a missing item, no permission, a file system without attributes.
// Only regular files and folders are opened to ask; nothing follows a
// symbolic link.
bool isFileImmutable(const QString& path);

// The immutable attribute as a statx() of the item reported it, or none when
// its file system does not report the attribute that way; saves opening the
// item where the file system tells. Give it the item's own attributes, never
// a link's target's.
std::optional<bool> immutableAttributeOf(const struct statx& status);

// True when the item lies on a network file system (NFS, SMB/CIFS, AFS, Ceph,
// 9p, sshfs, rclone and other FUSE file systems that reach another machine).
// Answered once per mount and remembered until the mount table changes, so a
// mount that reuses the device number or the id of an unmounted one gets an
// answer of its own. False when the item cannot be examined. A symbolic link
// is judged by the folder it lies in.
bool isNetworkVolume(const QString& path);
// The same for an item whose statx() (without following a link) asked for
// STATX_MNT_ID; saves looking the path up again when the mount id is there.
bool isNetworkVolume(const QString& path, const struct statx& status);
// The same; the device number is not used (devices are reused by other
// mounts), the item is looked up again. Prefer the statx() form.
bool isNetworkVolume(const QString& path, dev_t device);

// True when the block device major:minor (as a stat's device field splits it)
// turns a platter, as its queue in /sys/dev/block reports; a partition answers
// for its disk. False for solid-state, virtual and unknown devices.
bool isRotationalDevice(unsigned int deviceMajor, unsigned int deviceMinor);

// True when the first byteCount bytes of the regular file sit in the page
// cache, so reading them costs no disk access. False when they do not, when
// the file is shorter or when it cannot be asked about.
bool isInPageCache(const QString& path, quint64 byteCount);

// The identity a file system keeps of its own, for the item open at fd
// (O_PATH will do): a removable disk plugged into another port, or shares
// mounted in another order after a restart, come back under another device
// number and are known again by it. The UUID in the superblock (ext2/3/4
// and btrfs, through statfs), a FAT volume's serial number, a share's type,
// server and path, or the UUID the device manager read from the disk the
// volume is mounted from. None where the file system tells none (tmpfs,
// overlays) or the item cannot be examined. Reads the mount table.
std::optional<QByteArray> volumeIdentity(int fd);

// What the times a file system keeps can prove about its files, and the clock
// they are stamped from. Asked by the digest cache; a test answers for mounts
// and moments it cannot make. Safe on any thread.
class FileTimeFacts {
public:
    virtual ~FileTimeFacts() = default;

    // The system clock the kernel stamps file times from.
    virtual FileTimestamp now() const;
    // Whether the file system holding path keeps a change time of its own: one
    // moved to the moment of every change of a file's bytes, which no user can
    // set back (a copy of the modification time, as FAT, network and FUSE file
    // systems give, is not). None when path cannot be examined.
    virtual std::optional<bool> keepsOwnChangeTime(const QString& path) const;
};

// This machine's answers.
const FileTimeFacts& systemFileTimeFacts();

namespace FileSystemInfoDetail {

// Whether the file system of a statfs() f_type value keeps a change time of
// its own; false for any it does not know.
bool keepsOwnChangeTime(unsigned long magic);

// Whether a file system type as /proc/self/mountinfo names it ("nfs4",
// "fuse.sshfs") reaches another machine.
bool isNetworkFileSystemType(const QString& type);

// Whether a statfs() f_type value is that of a network file system.
bool isNetworkFileSystemMagic(unsigned long magic);

// The file system type of the mount with this id (statx's stx_mnt_id, the
// first field of a line) in a mountinfo text.
std::optional<QString> fileSystemTypeOfMount(const QByteArray& mountInfo, quint64 mountId);

// The type of the mount with this id, and what it was mounted from (a
// device's path, a share's server and path, as the mount table writes it).
struct MountSource {
    QString type;
    QByteArray source;
};
std::optional<MountSource> mountSourceOf(const QByteArray& mountInfo, quint64 mountId);

// The UUID that names the block device in byUuidFolder (the device
// manager's /dev/disk/by-uuid: a link per UUID to its device's node).
std::optional<QByteArray> blockDeviceUuid(dev_t device, const QString& byUuidFolder);

// One answer per mount id, all forgotten when the mount table has changed
// since the last question. An answer examined while the table changed is
// not kept: find() hands out the table's generation, and remember() drops
// an answer of an older one. Not locked: its owner locks.
class MountAnswers {
public:
    std::optional<bool> find(quint64 mountId, bool mountTableChanged, quint64& generation);
    void remember(quint64 mountId, bool answer, quint64 generation);

private:
    std::unordered_map<quint64, bool> answers_;
    quint64 generation_ = 0;
};

} // namespace FileSystemInfoDetail
