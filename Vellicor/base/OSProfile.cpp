#include "base/OSProfile.h"

OperatingSystemVersion currentOperatingSystemVersion()
{
    return OperatingSystemVersion{13, 0, 0};
}

OSVersionFlags osVersionFlagsFor(const OperatingSystemVersion& version)
{
    OSVersionFlags flags;
    const int major = version.majorVersion;
    const int minor = version.minorVersion;
    if (major == 10) {
        if (minor == 11) {
            flags.osIs10_11 = true;
            flags.osIsBefore10_15 = true;
        } else if (minor == 15) {
            flags.osIs10_15 = true;
        } else if (minor == 16) {
            // The compatibility number that the first 11.x releases report.
            flags.osIs11OrLater = true;
        } else {
            flags.osIsBefore10_15 = true;
        }
    } else if (major == 11) {
        flags.osIs11OrLater = true;
    } else if (major == 12) {
        flags.osIs11OrLater = true;
        flags.osIs12OrLater = true;
    } else if (major >= 13) {
        flags.osIs11OrLater = true;
        flags.osIs12OrLater = true;
        flags.osIs13OrLater = true;
    }
    return flags;
}

QString describeOperatingSystemVersion(const OperatingSystemVersion& version)
{
    return QStringLiteral("OperatingSystemVersion(majorVersion: %1, minorVersion: %2, patchVersion: %3)")
        .arg(version.majorVersion)
        .arg(version.minorVersion)
        .arg(version.patchVersion);
}
