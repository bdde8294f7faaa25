#pragma once

#include "core/FileInfoNode.h"
#include "core/GlobalObjects.h"

#include <QString>

#include <optional>

// Removes one file of a cloud source for the clean-up. Called on the clean-up
// worker; it must answer, success or failure, and never wait for ever.
class CloudRemover {
public:
    virtual ~CloudRemover() = default;
    // True when the file is gone from source (the source of the results it
    // belongs to); otherwise error says why.
    virtual bool deleteCloudFile(ScanSource source, const FileInfoNode& file, QString& error) = 0;
    // Brings a removed file back to its source, on the undo worker; true when
    // it is back, with restoredAs the file's cloud fields as its service
    // answered for it (its new id or revision; none when the source tells
    // nothing new), otherwise error says why. The sources that cannot answer
    // false at once.
    virtual bool restoreCloudFile(ScanSource source, const FileInfoNode& file,
        std::optional<FileInfoNode::CloudFields>& restoredAs, QString& error);
    // Whether files removed from source can be brought back at all, on the
    // GUI thread: false for those that cannot (and by default).
    virtual bool canRestore(ScanSource source);
    // Before a removal run, on the GUI thread: false when files of source
    // cannot be removed now and the user has been asked to sign in instead.
    virtual bool isReadyToRemove(ScanSource source);
};

// The remover in use until the cloud sources can remove files: every file
// fails at once.
class UnavailableCloudRemover : public CloudRemover {
public:
    bool deleteCloudFile(ScanSource source, const FileInfoNode& file, QString& error) override;
};
