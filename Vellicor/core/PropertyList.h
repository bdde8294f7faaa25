#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <optional>

// A reader for XML property lists: dict, array, string, integer, real,
// true/false, date and data. Dictionaries become QVariantMap, arrays
// QVariantList, integers qlonglong, reals double, dates UTC QDateTime and data
// QByteArray. Anything malformed gives no value and an explanation.
struct PropertyListResult {
    std::optional<QVariant> root;
    QString error;
};

PropertyListResult readPropertyList(const QByteArray& xml);

// The root dictionary of the file at path, or none when the file cannot be
// read, is malformed or has another root.
std::optional<QVariantMap> readPropertyListDictionary(const QString& path);
