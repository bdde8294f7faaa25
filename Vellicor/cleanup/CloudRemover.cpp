#include "cleanup/CloudRemover.h"

bool UnavailableCloudRemover::deleteCloudFile(const FileInfoNode& file, QString& error)
{
    Q_UNUSED(file);
    error = QStringLiteral("removal from this source is not available");
    return false;
}

bool CloudRemover::restoreCloudFile(const FileInfoNode& file, QString& error)
{
    Q_UNUSED(file);
    error = QStringLiteral("restoring to this source is not available");
    return false;
}
