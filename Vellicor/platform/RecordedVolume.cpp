#include "platform/RecordedVolume.h"

#include "platform/FileSystemInfo.h"

#include <sys/stat.h>

RecordedVolume RecordedVolume::of(int fd, const QString& path)
{
    RecordedVolume volume;
    struct stat status { };
    if (::fstat(fd, &status) == 0)
        volume.device = quint64(status.st_dev);
    volume.identity = volumeIdentity(fd);
    volume.network = isNetworkVolume(path);
    return volume;
}

void RecordedVolume::addTo(JournalRecords::Fields& fields) const
{
    fields["device"] = QByteArray::number(device);
    if (identity)
        fields["volume"] = *identity;
    if (network)
        fields["network"] = *network ? "1" : "0";
}

RecordedVolume RecordedVolume::from(const JournalRecords::Fields& fields)
{
    RecordedVolume volume;
    if (const auto device = fields.find("device"); device != fields.end())
        volume.device = device->second.toULongLong();
    if (const auto identity = fields.find("volume"); identity != fields.end() && !identity->second.isEmpty())
        volume.identity = identity->second;
    if (const auto network = fields.find("network"); network != fields.end())
        volume.network = network->second == "1";
    return volume;
}

VolumeMatch matchVolume(const RecordedVolume& recorded, int fd, const QString& path)
{
    struct stat status { };
    if (::fstat(fd, &status) != 0)
        return VolumeMatch::other;
    const bool sameNumber = quint64(status.st_dev) == recorded.device;
    if (recorded.identity) {
        if (const auto identity = volumeIdentity(fd)) {
            if (*identity != *recorded.identity)
                return VolumeMatch::other;
            return sameNumber ? VolumeMatch::same : VolumeMatch::backUnderAnotherNumber;
        }
    }
    if (sameNumber)
        return VolumeMatch::sameDevice;
    return recorded.network && *recorded.network == isNetworkVolume(path) ? VolumeMatch::sameKind
                                                                          : VolumeMatch::otherKind;
}
