#include "base/SettingsFileBytes.h"

#include "base/Log.h"
#include "base/SettingValue.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// The names of the types, each the one member of a value's object.
constexpr QLatin1StringView tagBool("bool");
constexpr QLatin1StringView tagInteger("integer");
constexpr QLatin1StringView tagReal("real");
constexpr QLatin1StringView tagText("text");
constexpr QLatin1StringView tagDate("date");
constexpr QLatin1StringView tagArray("array");
constexpr QLatin1StringView tagDictionary("dictionary");

QJsonValue encode(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Bool:
        return QJsonObject { { tagBool, value.toBool() } };
    case QMetaType::LongLong:
        return QJsonObject { { tagInteger, QString::number(value.toLongLong()) } };
    case QMetaType::ULongLong:
        return QJsonObject { { tagInteger, QString::number(value.toULongLong()) } };
    case QMetaType::Double:
        return QJsonObject { { tagReal, value.toDouble() } };
    case QMetaType::QDateTime:
        return QJsonObject { { tagDate, value.toDateTime().toUTC().toString(Qt::ISODateWithMs) } };
    case QMetaType::QVariantList: {
        QJsonArray items;
        for (const QVariant& item : value.toList())
            items.append(encode(item));
        return QJsonObject { { tagArray, items } };
    }
    case QMetaType::QVariantMap: {
        QJsonObject members;
        const QVariantMap map = value.toMap();
        for (auto it = map.constBegin(); it != map.constEnd(); ++it)
            members.insert(it.key(), encode(it.value()));
        return QJsonObject { { tagDictionary, members } };
    }
    default:
        return QJsonObject { { tagText, value.toString() } };
    }
}

std::optional<QVariant> decodeInteger(const QJsonValue& value)
{
    if (value.isString()) {
        bool ok = false;
        const qlonglong number = value.toString().toLongLong(&ok);
        if (ok)
            return QVariant::fromValue<qlonglong>(number);
        const qulonglong large = value.toString().toULongLong(&ok);
        if (ok)
            return QVariant::fromValue<qulonglong>(large);
        return std::nullopt;
    }
    // A hand-edited file may hold a plain number; only exact integers count.
    if (value.isDouble()) {
        const double number = value.toDouble();
        if (std::trunc(number) == number && std::fabs(number) <= 9007199254740992.0)
            return QVariant::fromValue<qlonglong>(static_cast<qlonglong>(number));
    }
    return std::nullopt;
}

// The member "key":value as it stands in the file's compact object.
QByteArray encodedMember(const QString& key, const QVariant& value)
{
    const QByteArray object = QJsonDocument(QJsonObject { { key, encode(value) } }).toJson(QJsonDocument::Compact);
    return object.mid(1, object.size() - 2);
}

// The same list: the copy kept shares its elements until either changes.
bool isSameList(const QVariant& kept, const QVariant& value)
{
    if (kept.typeId() != QMetaType::QVariantList || value.typeId() != QMetaType::QVariantList)
        return false;
    const auto* a = static_cast<const QVariantList*>(kept.constData());
    const auto* b = static_cast<const QVariantList*>(value.constData());
    return a->size() == b->size() && a->constData() == b->constData();
}

// An element of an array as it stands in the file: encode makes an object,
// written alike on its own and inside the array.
QByteArray encodedElement(const QVariant& element)
{
    return QJsonDocument(encode(element).toObject()).toJson(QJsonDocument::Compact);
}

// The bytes an element takes in the file, with its comma.
qint64 sizeInArray(const QVariant& element)
{
    return encodedElement(element).size() + 1;
}

// The member of key for list, when list is written's list with elements
// added at its end (a record added to the history): written's bytes with the
// new elements' after them; none otherwise.
std::optional<QByteArray> extendedMember(const QVariant& written, const QByteArray& member, const QVariant& list)
{
    if (written.typeId() != QMetaType::QVariantList || list.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    const auto* before = static_cast<const QVariantList*>(written.constData());
    const auto* now = static_cast<const QVariantList*>(list.constData());
    if (now->size() <= before->size() || !std::equal(before->cbegin(), before->cend(), now->cbegin(), Setting::writtenAlike))
        return std::nullopt;
    // The member ends in "]}".
    QByteArray extended = member.chopped(2);
    for (qsizetype i = before->size(); i < now->size(); ++i) {
        if (i > 0)
            extended.append(',');
        extended.append(encodedElement(now->at(i)));
    }
    return extended.append("]}");
}

} // namespace

std::optional<QVariant> SettingsFileBytes::decode(const QJsonValue& encoded)
{
    if (!encoded.isObject())
        return std::nullopt;
    const QJsonObject wrapper = encoded.toObject();
    if (wrapper.size() != 1)
        return std::nullopt;
    const QString tag = wrapper.constBegin().key();
    const QJsonValue value = wrapper.constBegin().value();

    if (tag == tagBool && value.isBool())
        return QVariant(value.toBool());
    if (tag == tagInteger)
        return decodeInteger(value);
    if (tag == tagReal && value.isDouble())
        return QVariant(value.toDouble());
    if (tag == tagText && value.isString())
        return QVariant(value.toString());
    if (tag == tagDate && value.isString()) {
        const QDateTime date = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
        if (!date.isValid())
            return std::nullopt;
        return QVariant(date.toUTC());
    }
    if (tag == tagArray && value.isArray()) {
        QVariantList items;
        for (const QJsonValue& item : value.toArray()) {
            std::optional<QVariant> decoded = decode(item);
            if (!decoded)
                return std::nullopt;
            items.append(*decoded);
        }
        return QVariant(items);
    }
    if (tag == tagDictionary && value.isObject()) {
        QVariantMap members;
        const QJsonObject object = value.toObject();
        for (auto it = object.constBegin(); it != object.constEnd(); ++it) {
            std::optional<QVariant> decoded = decode(it.value());
            if (!decoded)
                return std::nullopt;
            members.insert(it.key(), *decoded);
        }
        return QVariant(members);
    }
    return std::nullopt;
}

QByteArray SettingsFileBytes::bytes(const QVariantMap& values)
{
    // The members in the order the toolkit's object keeps its keys, so the
    // file reads byte for byte as a whole document written at once.
    QJsonObject order;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        order.insert(it.key(), QJsonValue());
    QHash<QString, EncodedList> kept;
    QByteArray bytes("{");
    for (auto it = order.constBegin(); it != order.constEnd(); ++it) {
        const QVariant& value = *values.constFind(it.key());
        if (bytes.size() > 1)
            bytes.append(',');
        if (value.typeId() != QMetaType::QVariantList) {
            bytes.append(encodedMember(it.key(), value));
            continue;
        }
        const auto found = encodedLists_.constFind(it.key());
        std::optional<EncodedList> list;
        if (found != encodedLists_.constEnd() && isSameList(found->value, value))
            list = *found;
        else if (found != encodedLists_.constEnd())
            if (std::optional<QByteArray> extended = extendedMember(found->value, found->member, value))
                list = EncodedList { value, std::move(*extended) };
        if (!list)
            list = EncodedList { value, encodedMember(it.key(), value) };
        bytes.append(list->member);
        kept.insert(it.key(), std::move(*list));
    }
    bytes.append('}');
    encodedLists_ = std::move(kept);
    return bytes;
}

SettingsFileBytes::WithinBound SettingsFileBytes::withinBound(
    QVariantMap& values, const QString& givesWay, qint64 bound)
{
    WithinBound within;
    QByteArray file = bytes(values);
    within.wanted = file.size();
    if (within.wanted <= bound) {
        within.bytes = std::move(file);
        return within;
    }
    const auto found = givesWay.isEmpty() ? values.constEnd() : values.constFind(givesWay);
    const std::optional<QVariantList> items
        = found == values.constEnd() ? std::nullopt : Setting::toArray(*found);
    if (!items)
        return within;
    // The oldest first, as few as make the room; usually the one record a
    // new one replaces.
    qint64 excess = within.wanted - bound;
    qsizetype dropped = 0;
    qint64 droppedBytes = 0;
    while (excess > 0 && dropped < items->size()) {
        const qint64 size = sizeInArray(items->at(dropped++));
        excess -= size;
        droppedBytes += size;
    }
    QVariantMap fitted = values;
    const QVariant kept(items->mid(dropped));
    fitted.insert(givesWay, kept);
    // The array as written less the elements that gave way, each with its
    // comma, is what encoding the rest would make.
    const auto written = encodedLists_.constFind(givesWay);
    if (dropped < items->size() && written != encodedLists_.constEnd() && isSameList(written->value, *found)) {
        const qsizetype first = encodedMember(givesWay, QVariantList()).size() - 2;
        encodedLists_.insert(givesWay,
            EncodedList { kept, written->member.left(first) + written->member.mid(first + droppedBytes) });
    }
    file = bytes(fitted);
    if (file.size() > bound)
        return within;
    Log::print("Settings: the", dropped, "oldest of", items->size(), "entries of", givesWay,
        "gave way to keep the file within", bound, "bytes.");
    values = std::move(fitted);
    within.bytes = std::move(file);
    within.gaveWay = true;
    return within;
}
