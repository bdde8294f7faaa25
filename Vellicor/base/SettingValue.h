#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

// Typed readings of one setting value, shared by the store's readers and by
// code that reads the fields of a stored record. A value of another type reads
// as missing. Integers 0 and 1 read as Bools, since older records keep their
// check marks as numbers.
// True for the integral number types a QVariant can hold (Bool not included).
bool isIntegerTypeId(int typeId);

namespace Setting {

std::optional<bool> toBool(const QVariant& value);
// Integers only: a Bool or a real is not an integer.
std::optional<qint64> toInteger(const QVariant& value);
std::optional<quint64> toUnsigned(const QVariant& value);
// Reals and integers.
std::optional<double> toReal(const QVariant& value);
std::optional<QString> toText(const QVariant& value);
std::optional<QDateTime> toDate(const QVariant& value);
std::optional<QVariantList> toArray(const QVariant& value);
std::optional<QVariantMap> toDictionary(const QVariant& value);

// The value in the form the store keeps: Bool, qlonglong (qulonglong above
// the signed range), finite double (a zero without its sign), QString, UTC
// QDateTime, QVariantList and QVariantMap of those. None for anything the
// store cannot keep.
std::optional<QVariant> normalized(const QVariant& value);

// Whether two values in that form are written alike in the settings file:
// the same types throughout and the same values. Lists and dictionaries that
// share their elements answer at once, whatever their size.
bool writtenAlike(const QVariant& a, const QVariant& b);

} // namespace Setting
