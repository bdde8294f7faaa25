#pragma once

#include "core/FilePathNode.h"
#include "core/GlobalObjects.h"

#include <QString>

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
class ProtectedFolderMatcher {
public:
    ProtectedFolderMatcher() = default;

    // The folders of list, in the form the scan source keeps them: the Drive
    // folder's path for Google Drive, the row's path for every other source.
    // The rows' check states are not consulted: every row protects. Rows
    // without a path protect nothing.
    static ProtectedFolderMatcher fromList(const std::vector<FilePathNodePtr>& list, ScanSource source);

    void addFolder(const QString& path, bool includeSubFolders);

    bool matches(const QString& folderPath) const;
    bool isEmpty() const { return folders_.empty(); }

private:
    struct Folder {
        QString key;
        // key followed by "/", or "/" alone for the root.
        QString prefix;
        bool includeSubFolders = true;
    };
    std::vector<Folder> folders_;
};
