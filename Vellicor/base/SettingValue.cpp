#include "base/SettingValue.h"

#include <algorithm>
#include <cmath>
#include <limits>

bool isIntegerTypeId(int typeId)
{
    switch (typeId) {
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

namespace Setting {

namespace {

bool isUnsignedType(int typeId)
{
    return typeId == QMetaType::UInt || typeId == QMetaType::ULong || typeId == QMetaType::ULongLong
        || typeId == QMetaType::UShort || typeId == QMetaType::UChar;
}

} // namespace

std::optional<bool> toBool(const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    if (const std::optional<qint64> number = toInteger(value); number && (*number == 0 || *number == 1))
        return *number == 1;
    return std::nullopt;
}

std::optional<qint64> toInteger(const QVariant& value)
{
    const int type = value.typeId();
    if (!isIntegerTypeId(type))
        return std::nullopt;
    if (isUnsignedType(type)) {
        const qulonglong number = value.toULongLong();
        if (number > static_cast<qulonglong>(std::numeric_limits<qint64>::max()))
            return std::nullopt;
        return static_cast<qint64>(number);
    }
    return value.toLongLong();
}

std::optional<quint64> toUnsigned(const QVariant& value)
{
    const int type = value.typeId();
    if (!isIntegerTypeId(type))
        return std::nullopt;
    if (isUnsignedType(type))
        return value.toULongLong();
    const qlonglong number = value.toLongLong();
    if (number < 0)
        return std::nullopt;
    return static_cast<quint64>(number);
}

std::optional<double> toReal(const QVariant& value)
{
    const int type = value.typeId();
    if (type == QMetaType::Double || type == QMetaType::Float || isIntegerTypeId(type))
        return value.toDouble();
    return std::nullopt;
}

std::optional<QString> toText(const QVariant& value)
{
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    return std::nullopt;
}

std::optional<QDateTime> toDate(const QVariant& value)
{
    if (value.typeId() == QMetaType::QDateTime && value.toDateTime().isValid())
        return value.toDateTime();
    return std::nullopt;
}

std::optional<QVariantList> toArray(const QVariant& value)
{
    if (value.typeId() == QMetaType::QVariantList)
        return value.toList();
    return std::nullopt;
}

std::optional<QVariantMap> toDictionary(const QVariant& value)
{
    if (value.typeId() == QMetaType::QVariantMap)
        return value.toMap();
    return std::nullopt;
}

namespace {

// Whether value is in the form the store keeps already, so that a list of
// thousands of records (the scan history's with their dates among them) is
// taken as it is, sharing its elements, rather than made anew.
bool isKept(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::QDateTime: {
        const auto* date = static_cast<const QDateTime*>(value.constData());
        return date->isValid() && date->timeSpec() == Qt::UTC;
    }
    case QMetaType::Bool:
    case QMetaType::QString:
    case QMetaType::LongLong:
        return true;
    case QMetaType::ULongLong:
        return value.toULongLong() > static_cast<qulonglong>(std::numeric_limits<qint64>::max());
    case QMetaType::Double: {
        const double number = value.toDouble();
        return std::isfinite(number) && !(number == 0 && std::signbit(number));
    }
    case QMetaType::QVariantList: {
        const auto* list = static_cast<const QVariantList*>(value.constData());
        return std::all_of(list->cbegin(), list->cend(), isKept);
    }
    case QMetaType::QVariantMap: {
        const auto* map = static_cast<const QVariantMap*>(value.constData());
        return std::all_of(map->cbegin(), map->cend(), isKept);
    }
    default:
        return false;
    }
}

} // namespace

std::optional<QVariant> normalized(const QVariant& value)
{
    // Booleans and texts among them.
    if (isKept(value))
        return value;
    const int type = value.typeId();
    if (isIntegerTypeId(type)) {
        if (const std::optional<qint64> number = toInteger(value))
            return QVariant::fromValue<qlonglong>(*number);
        return QVariant::fromValue<qulonglong>(value.toULongLong());
    }
    if (type == QMetaType::Double || type == QMetaType::Float) {
        const double number = value.toDouble();
        if (!std::isfinite(number))
            return std::nullopt;
        // The file's reader reads a zero without its sign.
        return QVariant(number == 0 ? 0.0 : number);
    }
    if (type == QMetaType::QDateTime) {
        const QDateTime date = value.toDateTime();
        if (!date.isValid())
            return std::nullopt;
        return QVariant(date.toUTC());
    }
    if (type == QMetaType::QStringList || type == QMetaType::QVariantList) {
        QVariantList out;
        for (const QVariant& item : value.toList()) {
            std::optional<QVariant> kept = normalized(item);
            if (!kept)
                return std::nullopt;
            out.append(*kept);
        }
        return QVariant(out);
    }
    if (type == QMetaType::QVariantMap || type == QMetaType::QVariantHash) {
        QVariantMap out;
        const QVariantMap in = value.toMap();
        for (auto it = in.constBegin(); it != in.constEnd(); ++it) {
            std::optional<QVariant> kept = normalized(it.value());
            if (!kept)
                return std::nullopt;
            out.insert(it.key(), *kept);
        }
        return QVariant(out);
    }
    return std::nullopt;
}

bool writtenAlike(const QVariant& a, const QVariant& b)
{
    if (a.typeId() != b.typeId())
        return false;
    switch (a.typeId()) {
    case QMetaType::QVariantList: {
        const auto* x = static_cast<const QVariantList*>(a.constData());
        const auto* y = static_cast<const QVariantList*>(b.constData());
        if (x->size() != y->size())
            return false;
        return x->constData() == y->constData() || std::equal(x->cbegin(), x->cend(), y->cbegin(), writtenAlike);
    }
    case QMetaType::QVariantMap: {
        const auto* x = static_cast<const QVariantMap*>(a.constData());
        const auto* y = static_cast<const QVariantMap*>(b.constData());
        if (x->size() != y->size())
            return false;
        if (x->isSharedWith(*y))
            return true;
        for (auto i = x->cbegin(), j = y->cbegin(); i != x->cend(); ++i, ++j)
            if (i.key() != j.key() || !writtenAlike(i.value(), j.value()))
                return false;
        return true;
    }
    case QMetaType::Double:
        return a.toDouble() == b.toDouble() && std::signbit(a.toDouble()) == std::signbit(b.toDouble());
    case QMetaType::QDateTime:
        return a.toDateTime().toMSecsSinceEpoch() == b.toDateTime().toMSecsSinceEpoch();
    case QMetaType::Bool:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::QString:
        return a == b;
    default:
        return false;
    }
}

} // namespace Setting
