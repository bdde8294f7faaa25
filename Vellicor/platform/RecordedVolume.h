#pragma once

#include "platform/JournalRecords.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The volume of a folder as a journal records it, so that a later start
// knows it again: by its device number, or, where it came back under
// another one (a removable disk plugged into another port, shares mounted
// in another order after a restart), by the file system's own identity
// (volumeIdentity). Any thread.
struct RecordedVolume {
    quint64 device = 0;
    // None in a record of an earlier version, or where the file system
    // tells none.
    std::optional<QByteArray> identity;
    // Whether the folder lay on a network volume; none in a record of an
    // earlier version.
    std::optional<bool> network;

    // The volume of the folder open at fd, whose path is path.
    static RecordedVolume of(int fd, const QString& path);
    // Its "device", "volume" and "network" lines.
    void addTo(JournalRecords::Fields& fields) const;
    static RecordedVolume from(const JournalRecords::Fields& fields);
};

// How the volume of a folder found at a recorded path compares with the
// recorded one. A device number alone tells little: another disk plugged
// into the same port, or another image on a freed loop device, gets it too.
enum class VolumeMatch {
    // The recorded file system (its identity) under the recorded number.
    same,
    // The recorded file system under another device number.
    backUnderAnotherNumber,
    // The recorded device number; the record or the volume tells no
    // identity.
    sameDevice,
    // Under another device number; the record or the volume tells no
    // identity, but the volume is of the recorded kind (network or local).
    sameKind,
    // Under another device number; the record or the volume tells no
    // identity, and the volume is of another kind than the recorded (the
    // bare folder a share is mounted on while the share is not).
    otherKind,
    // Another file system than the recorded: another identity.
    other,
};

// The folder open at fd, at path.
VolumeMatch matchVolume(const RecordedVolume& recorded, int fd, const QString& path);
