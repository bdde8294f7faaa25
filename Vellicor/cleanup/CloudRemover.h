#pragma once

#include "core/FileInfoNode.h"

#include <QString>

// Removes one file of a cloud source for the clean-up. Called on the clean-up
// worker; it must answer, success or failure, and never wait for ever.
class CloudRemover {
public:
    virtual ~CloudRemover() = default;
    // True when the file is gone from its source; otherwise error says why.
    virtual bool deleteCloudFile(const FileInfoNode& file, QString& error) = 0;
    // Brings a removed file back to its source, on the undo worker; the
    // sources that cannot answer false at once.
    virtual bool restoreCloudFile(const FileInfoNode& file, QString& error);
};

// The remover in use until the cloud sources can remove files: every file
// fails at once.
class UnavailableCloudRemover : public CloudRemover {
public:
    bool deleteCloudFile(const FileInfoNode& file, QString& error) override;
};
