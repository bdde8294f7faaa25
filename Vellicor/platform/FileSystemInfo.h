#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <sys/stat.h>
#include <sys/types.h>

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
// Answered once per device and remembered for the rest of the run. False when
// the item cannot be examined.
bool isNetworkVolume(const QString& path);
// The same for an item that is not a symbolic link and lies on device, as a
// stat of the item itself gave it; saves looking the path up again.
bool isNetworkVolume(const QString& path, dev_t device);

// True when the block device major:minor (as a stat's device field splits it)
// turns a platter, as its queue in /sys/dev/block reports; a partition answers
// for its disk. False for solid-state, virtual and unknown devices.
bool isRotationalDevice(unsigned int deviceMajor, unsigned int deviceMinor);

// True when the first byteCount bytes of the regular file sit in the page
// cache, so reading them costs no disk access. False when they do not, when
// the file is shorter or when it cannot be asked about.
bool isInPageCache(const QString& path, quint64 byteCount);

namespace FileSystemInfoDetail {

// Whether a file system type as /proc/self/mountinfo names it ("nfs4",
// "fuse.sshfs") reaches another machine.
bool isNetworkFileSystemType(const QString& type);

// Whether a statfs() f_type value is that of a network file system.
bool isNetworkFileSystemMagic(unsigned long magic);

// The file system type of the device major:minor in a mountinfo text.
std::optional<QString> fileSystemTypeOfDevice(
    const QByteArray& mountInfo, unsigned int deviceMajor, unsigned int deviceMinor);

} // namespace FileSystemInfoDetail
