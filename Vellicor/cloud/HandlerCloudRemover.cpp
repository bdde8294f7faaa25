#include "cloud/HandlerCloudRemover.h"

bool HandlerCloudRemover::deleteCloudFile(const FileInfoNode& file, QString& error)
{
    ScanWrapper* handler = handler_ ? handler_() : nullptr;
    if (!handler) {
        error = QStringLiteral("removal from this source is not available");
        return false;
    }
    // The handler takes a record of its own; the caller's stays untouched.
    if (!handler->deleteCloudFile(std::make_shared<FileInfoNode>(file))) {
        error = handler->lastRemovalFailure();
        if (error.isEmpty())
            error = QStringLiteral("the service did not move the file to its trash");
        return false;
    }
    return true;
}
