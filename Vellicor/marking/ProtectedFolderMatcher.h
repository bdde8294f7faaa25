#pragma once

#include "core/FilePathNode.h"
#include "core/GlobalObjects.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <unordered_map>
#include <vector>

// Tells whether a file's folder lies in a protected folder. A value: built on
// the GUI thread from the protected list at the moments the list may have
// changed, and copied as it is into any worker that marks files, so the worker
// never reads the list itself.
//
// Folders are compared as text, never as a pattern: letter case is ignored,
// repeated and trailing slashes do not count, and a folder with its
// sub-folders covers every path that continues it after a "/". Whatever
// characters a folder name holds (line breaks, brackets, dots) it is matched
// literally, so no name can slip out of its protection.
//
// For this computer's folders the text is not the whole truth: a folder may
// be protected through a symbolic link, scanned through a linked parent or
// seen a second time through a bind mount. A copy resolved on disk
// (resolvedOnDisk, once per marking pass) also compares where the folders
// really are: their canonical paths, the place in its file system that a
// mount shows, and the device and inode of the folders on the way up. Each
// file folder is looked up once per copy; a copy is used by one thread.
class ProtectedFolderMatcher {
public:
    ProtectedFolderMatcher() = default;

    // The folders of list, in the form the scan source keeps them: the Drive
    // folder's path for Google Drive, the row's path for every other source.
    // The rows' check states are not consulted: every row protects. Rows
    // without a path protect nothing.
    static ProtectedFolderMatcher fromList(const std::vector<FilePathNodePtr>& list, ScanSource source);

    void addFolder(const QString& path, bool includeSubFolders);
    // Adds the folders of other that this one lacks.
    void addFolders(const ProtectedFolderMatcher& other);

    // One line of the mount table: the file system (its device), the folder
    // of that file system the mount shows, and where it shows it.
    struct Mount {
        QByteArray device;
        QByteArray root;
        QByteArray mountPoint;
    };
    using MountTable = std::vector<Mount>;
    // The lines of a /proc/self/mountinfo text, in its order.
    static MountTable parseMountTable(const QByteArray& mountInfo);
    // This process's mount table; empty when it cannot be read.
    static MountTable currentMounts();

    // A copy that also compares the folders' places on disk, read now from
    // the disk and from mounts.
    ProtectedFolderMatcher resolvedOnDisk(MountTable mounts = currentMounts()) const;

    bool matches(const QString& folderPath) const;
    bool isEmpty() const { return folders_.empty(); }

private:
    // Where a folder is: the device of its file system and its path there.
    struct Place {
        QByteArray device;
        QString path;
    };
    struct Folder {
        // As the list gives it, for the look-up on disk.
        QString path;
        QString key;
        bool includeSubFolders = true;
        // Read by resolvedOnDisk; absent when the folder cannot be reached.
        std::optional<QString> canonicalKey;
        std::optional<Place> place;
        std::optional<std::pair<quint64, quint64>> deviceAndInode;
    };

    bool matchesText(const QString& key) const;
    bool matchesOnDisk(const QString& folderPath) const;
    std::optional<Place> placeOf(const QByteArray& canonicalPath) const;

    std::vector<Folder> folders_;
    bool resolved_ = false;
    MountTable mounts_;
    mutable std::unordered_map<QString, bool> diskAnswers_;
};
