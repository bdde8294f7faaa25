#pragma once

#include "core/DuplicateGroup.h"
#include "core/FileInfoNode.h"
#include "core/ScanSettingsSnapshot.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// Writes bytes to dir/name and answers the path.
QString writeFile(const QString& dir, const QString& name, const QByteArray& bytes);

// A record of an existing file as the walk would build it: path, name, size,
// dates and identity from the file system.
FileInfoNodePtr recordOf(const QString& path);
std::vector<FileInfoNodePtr> recordsOf(const QStringList& paths);

// A record without a file behind it.
FileInfoNodePtr syntheticRecord(const QString& path, quint64 size);

// count records without files whose digests are final already; records 2k
// and 2k + 1 share their size and digest.
std::vector<FileInfoNodePtr> pairsWithDigests(int count);

// An ext4 file system with 128-byte inodes, which keep whole seconds, made in
// an image under folder and mounted from a loop device in this process's own
// mount namespace; its mount point, or empty when the machine cannot. Only
// threads made after it see the mount: the process must have no other thread
// yet. The caller unmounts it.
QString mountWholeSecondFileSystem(const QString& folder);

// What a scan found before and after a file was rewritten within the second
// of the scan, on a file system keeping whole seconds; done is false, with the
// reason, when no try kept the rewrite within that second.
struct RewriteWithinASecond {
    std::vector<QStringList> before;
    std::vector<QStringList> after;
    bool done = false;
    QString why;
};
// Up to five tries, each in a new folder under volume at the start of a
// second: files a and b with equal bytes, scan(folder), b rewritten in place
// with other bytes of its size, scan(folder) again. scan answers the groups'
// file names.
RewriteWithinASecond rewriteWithinTheSecondOfAScan(
    const QString& volume, const std::function<std::vector<QStringList>(const QString& folder)>& scan);

// Each group as the file names of its members, in group order.
std::vector<QStringList> namesOf(const std::vector<DuplicateGroupPtr>& groups);
// The same, keeping only groups of two or more.
std::vector<QStringList> duplicateNamesOf(const std::vector<DuplicateGroupPtr>& groups);

// A scan that takes every category, every file type and every size; txt, jpg,
// cr2 (raw), mp4 and xyz have their categories.
ScanSettingsSnapshot openSettings();
