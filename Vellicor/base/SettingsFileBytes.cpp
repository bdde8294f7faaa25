#include "base/SettingsFileBytes.h"

#include "base/Log.h"
#include "base/SettingValue.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLocale>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

// The names of the types, each the one member of a value's object.
constexpr QLatin1StringView tagBool("bool");
constexpr QLatin1StringView tagInteger("integer");
constexpr QLatin1StringView tagReal("real");
constexpr QLatin1StringView tagText("text");
constexpr QLatin1StringView tagDate("date");
constexpr QLatin1StringView tagArray("array");
constexpr QLatin1StringView tagDictionary("dictionary");

// A text as a JSON string: UTF-8, with the quote, the backslash and control
// characters escaped, and a lone surrogate (which UTF-8 cannot carry) as its
// escape, so that it reads back as it was. So is the byte-order mark: the
// toolkit's reader drops one that opens a text written as UTF-8 (a key would
// then stand for another).
void appendText(QByteArray& out, QStringView text)
{
    static constexpr char hex[] = "0123456789abcdef";
    const auto escaped = [&out](char16_t u) {
        out.append("\\u");
        for (int shift = 12; shift >= 0; shift -= 4)
            out.append(hex[(u >> shift) & 0xf]);
    };
    out.append('"');
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u < 0x80) {
            switch (u) {
            case '"':
                out.append("\\\"");
                break;
            case '\\':
                out.append("\\\\");
                break;
            case '\b':
                out.append("\\b");
                break;
            case '\f':
                out.append("\\f");
                break;
            case '\n':
                out.append("\\n");
                break;
            case '\r':
                out.append("\\r");
                break;
            case '\t':
                out.append("\\t");
                break;
            default:
                if (u < 0x20)
                    escaped(u);
                else
                    out.append(char(u));
            }
        } else if (u < 0x800) {
            out.append(char(0xc0 | (u >> 6)));
            out.append(char(0x80 | (u & 0x3f)));
        } else if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            const char32_t c = QChar::surrogateToUcs4(u, text[++i].unicode());
            out.append(char(0xf0 | (c >> 18)));
            out.append(char(0x80 | ((c >> 12) & 0x3f)));
            out.append(char(0x80 | ((c >> 6) & 0x3f)));
            out.append(char(0x80 | (c & 0x3f)));
        } else if (QChar::isSurrogate(u) || u == 0xfeff) {
            escaped(u);
        } else {
            out.append(char(0xe0 | (u >> 12)));
            out.append(char(0x80 | ((u >> 6) & 0x3f)));
            out.append(char(0x80 | (u & 0x3f)));
        }
    }
    out.append('"');
}

// A value as the file keeps it, {"type":value}, written straight into out:
// the history's tens of thousands of records cost their bytes and no
// document of objects made on the way.
void encodeInto(QByteArray& out, const QVariant& value)
{
    const auto tagged = [&out](QLatin1StringView tag) {
        out.append("{\"");
        out.append(tag.data(), tag.size());
        out.append("\":");
    };
    switch (value.typeId()) {
    case QMetaType::Bool:
        tagged(tagBool);
        out.append(value.toBool() ? "true" : "false");
        break;
    case QMetaType::LongLong:
        tagged(tagInteger);
        out.append('"').append(QByteArray::number(value.toLongLong())).append('"');
        break;
    case QMetaType::ULongLong:
        tagged(tagInteger);
        out.append('"').append(QByteArray::number(value.toULongLong())).append('"');
        break;
    case QMetaType::Double:
        tagged(tagReal);
        out.append(QByteArray::number(value.toDouble(), 'g', QLocale::FloatingPointShortest));
        break;
    case QMetaType::QDateTime:
        tagged(tagDate);
        appendText(out, value.toDateTime().toUTC().toString(Qt::ISODateWithMs));
        break;
    case QMetaType::QVariantList: {
        tagged(tagArray);
        out.append('[');
        const auto* items = static_cast<const QVariantList*>(value.constData());
        for (qsizetype i = 0; i < items->size(); ++i) {
            if (i > 0)
                out.append(',');
            encodeInto(out, items->at(i));
        }
        out.append(']');
        break;
    }
    case QMetaType::QVariantMap: {
        tagged(tagDictionary);
        out.append('{');
        const auto* members = static_cast<const QVariantMap*>(value.constData());
        for (auto it = members->cbegin(); it != members->cend(); ++it) {
            if (it != members->cbegin())
                out.append(',');
            appendText(out, it.key());
            out.append(':');
            encodeInto(out, it.value());
        }
        out.append('}');
        break;
    }
    default:
        tagged(tagText);
        appendText(out, value.toString());
    }
    out.append('}');
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
    QByteArray member;
    appendText(member, key);
    member.append(':');
    encodeInto(member, value);
    return member;
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

// An element of an array as it stands in the file.
QByteArray encodedElement(const QVariant& element)
{
    QByteArray bytes;
    encodeInto(bytes, element);
    return bytes;
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

// Where the element that starts at from ends in an array's compact bytes:
// at the comma after it or the array's closing bracket.
qsizetype elementEnd(const QByteArray& bytes, qsizetype from)
{
    int depth = 0;
    bool inText = false;
    for (qsizetype i = from; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (inText) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inText = false;
        } else if (c == '"') {
            inText = true;
        } else if (c == '{' || c == '[') {
            ++depth;
        } else if (c == '}' || c == ']') {
            if (depth-- == 0)
                return i;
        } else if (c == ',' && depth == 0) {
            return i;
        }
    }
    return -1;
}

// The member of key for list, when list is written's list with some of its
// elements taken out (records deleted from the history): written's bytes
// without theirs; none otherwise, or when most of it went.
std::optional<QByteArray> shortenedMember(
    const QString& key, const QVariant& written, const QByteArray& member, const QVariant& list)
{
    if (written.typeId() != QMetaType::QVariantList || list.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    const auto* before = static_cast<const QVariantList*>(written.constData());
    const auto* now = static_cast<const QVariantList*>(list.constData());
    if (now->size() >= before->size() || now->size() < before->size() / 2)
        return std::nullopt;
    // The elements kept share their data with those written, so each is
    // matched at the cost of a comparison of pointers.
    std::vector<bool> gone(std::size_t(before->size()), false);
    qsizetype j = 0;
    for (qsizetype i = 0; i < before->size(); ++i) {
        if (j < now->size() && Setting::writtenAlike(before->at(i), now->at(j)))
            ++j;
        else
            gone[std::size_t(i)] = true;
    }
    if (j != now->size())
        return std::nullopt;
    const qsizetype first = encodedMember(key, QVariantList()).size() - 2;
    QByteArray shortened = member.left(first);
    shortened.reserve(member.size());
    qsizetype at = first;
    bool any = false;
    for (qsizetype i = 0; i < before->size(); ++i) {
        const qsizetype end = elementEnd(member, at);
        if (end < 0)
            return std::nullopt;
        if (!gone[std::size_t(i)]) {
            if (any)
                shortened.append(',');
            shortened.append(member.constData() + at, end - at);
            any = true;
        }
        at = end + 1;
    }
    // The member ends in "]}".
    return shortened.append("]}");
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
        else if (found != encodedLists_.constEnd()) {
            if (std::optional<QByteArray> extended = extendedMember(found->value, found->member, value))
                list = EncodedList { value, std::move(*extended) };
            else if (std::optional<QByteArray> shortened = shortenedMember(it.key(), found->value, found->member, value))
                list = EncodedList { value, std::move(*shortened) };
        }
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
