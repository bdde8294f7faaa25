#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonValue>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

// The settings file's bytes. The file is one compact JSON object; it keeps
// every value as an object of one member whose name is the type, so a Bool,
// an integer, a real, a date and a text stay apart and 64-bit integers keep
// every digit.
//
// Every change saves the whole file, and the scan history takes most of it,
// so the encoding of each list value is kept from one save to the next:
// reused while the list is the same, extended when elements were only added
// at its end (a record of the history), and cut from when elements were taken
// out of it (a record deleted) or its oldest give way to the bound.
class SettingsFileBytes {
public:
    // A value as the file keeps it (the object of one member); none when it
    // is not one, or holds one that is not.
    static std::optional<QVariant> decode(const QJsonValue& encoded);

    // The file's bytes for values (in the form the store keeps them); a list
    // whose encoding is kept from an earlier call is not encoded again.
    QByteArray bytes(const QVariantMap& values);

    struct WithinBound {
        // None when the file cannot be made to fit.
        std::optional<QByteArray> bytes;
        // What the file for every value would take.
        qint64 wanted = 0;
        // Whether oldest elements of the array gave way: values lost them.
        bool gaveWay = false;
    };
    // The file's bytes for values, at most bound of them. A file that would be
    // larger drops the oldest elements (the first) of the array givesWay from
    // values, as few as make it fit; without that array, or when even that
    // does not make room, there are no bytes and values stay as they are.
    WithinBound withinBound(QVariantMap& values, const QString& givesWay, qint64 bound);

private:
    // The member ("key":value) of each list value as last written: a list
    // stays shared with the copy here until it changes.
    struct EncodedList {
        QVariant value;
        QByteArray member;
    };
    QHash<QString, EncodedList> encodedLists_;
};
