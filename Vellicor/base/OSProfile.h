#pragma once

#include <QString>

// The operating-system version the rest of the program reasons about. Linux
// has no such number, so the program runs with one fixed profile: the newest
// system whose behaviour it knows, which turns every "newer system" branch on.
struct OperatingSystemVersion {
    int majorVersion = 0;
    int minorVersion = 0;
    int patchVersion = 0;
};

struct OSVersionFlags {
    bool osIs10_11 = false;
    bool osIsBefore10_15 = false;
    bool osIs10_15 = false;
    bool osIs11OrLater = false;
    bool osIs12OrLater = false;
    bool osIs13OrLater = false;

    friend bool operator==(const OSVersionFlags&, const OSVersionFlags&) = default;
};

OperatingSystemVersion currentOperatingSystemVersion();

// Which flags a version turns on. Pure: the same version always gives the
// same flags.
OSVersionFlags osVersionFlagsFor(const OperatingSystemVersion& version);

// "OperatingSystemVersion(majorVersion: 13, minorVersion: 0, patchVersion: 0)"
QString describeOperatingSystemVersion(const OperatingSystemVersion& version);
