#include "cleanup/CloudRemover.h"

bool UnavailableCloudRemover::deleteCloudFile(ScanSource source, const FileInfoNode& file, QString& error)
{
    Q_UNUSED(source);
    Q_UNUSED(file);
    error = QStringLiteral("removal from this source is not available");
    return false;
}

bool CloudRemover::restoreCloudFile(
    ScanSource source, const FileInfoNode& file, std::optional<FileInfoNode::CloudFields>& restoredAs, QString& error)
{
    Q_UNUSED(source);
    Q_UNUSED(file);
    restoredAs.reset();
    error = QStringLiteral("restoring to this source is not available");
    return false;
}

bool CloudRemover::canRestore(ScanSource source)
{
    Q_UNUSED(source);
    return false;
}

bool CloudRemover::isReadyToRemove(ScanSource source)
{
    Q_UNUSED(source);
    return true;
}
