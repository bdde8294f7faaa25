#include "cleanup/CloudRemover.h"

bool UnavailableCloudRemover::deleteCloudFile(ScanSource source, const FileInfoNode& file, QString& error)
{
    Q_UNUSED(source);
    Q_UNUSED(file);
    error = QStringLiteral("removal from this source is not available");
    return false;
}

bool CloudRemover::restoreCloudFile(ScanSource source, const FileInfoNode& file, QString& error)
{
    Q_UNUSED(source);
    Q_UNUSED(file);
    error = QStringLiteral("restoring to this source is not available");
    return false;
}

bool CloudRemover::isReadyToRemove(ScanSource source)
{
    Q_UNUSED(source);
    return true;
}
