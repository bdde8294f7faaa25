#include "core/PropertyList.h"

#include <QDateTime>
#include <QFile>
#include <QXmlStreamReader>

namespace {

// Deepest nesting of arrays and dictionaries read; a deeper file is taken as
// damaged rather than read by a recursion as deep as it asks.
constexpr int deepestNesting = 256;

class Reader {
public:
    explicit Reader(const QByteArray& xml)
        : xml_(xml)
    {
    }

    PropertyListResult read()
    {
        PropertyListResult result;
        if (!nextStart() || xml_.name() != QLatin1String("plist")) {
            result.error = failure(QStringLiteral("no <plist> element"));
            return result;
        }
        if (!nextStart()) {
            result.error = failure(QStringLiteral("empty <plist>"));
            return result;
        }
        std::optional<QVariant> value = readValue();
        if (!value) {
            result.error = error_;
            return result;
        }
        // Nothing but the closing </plist> may follow the root value.
        while (!xml_.atEnd()) {
            xml_.readNext();
            if (xml_.isStartElement()) {
                result.error = failure(QStringLiteral("more than one root value"));
                return result;
            }
        }
        if (xml_.hasError()) {
            result.error = failure(xml_.errorString());
            return result;
        }
        result.root = std::move(value);
        return result;
    }

private:
    QString failure(const QString& what)
    {
        if (error_.isEmpty())
            error_ = QStringLiteral("line %1: %2").arg(xml_.lineNumber()).arg(what);
        return error_;
    }

    // Moves to the next start element; false at an end element or the end.
    bool nextStart()
    {
        while (!xml_.atEnd()) {
            const auto token = xml_.readNext();
            if (token == QXmlStreamReader::StartElement)
                return true;
            if (token == QXmlStreamReader::EndElement)
                return false;
        }
        return false;
    }

    std::optional<QString> elementText()
    {
        const QString text = xml_.readElementText(QXmlStreamReader::ErrorOnUnexpectedElement);
        if (xml_.hasError()) {
            failure(xml_.errorString());
            return std::nullopt;
        }
        return text;
    }

    // Reads the value whose start element is current, up to its end element.
    std::optional<QVariant> readValue()
    {
        const QString name = xml_.name().toString();
        if (name == QLatin1String("dict") || name == QLatin1String("array")) {
            if (depth_ == deepestNesting) {
                failure(QStringLiteral("nested deeper than %1 levels").arg(deepestNesting));
                return std::nullopt;
            }
            ++depth_;
            std::optional<QVariant> value = name == QLatin1String("dict") ? readDict() : readArray();
            --depth_;
            return value;
        }
        if (name == QLatin1String("true") || name == QLatin1String("false")) {
            const bool value = name == QLatin1String("true");
            if (!elementText())
                return std::nullopt;
            return QVariant(value);
        }
        const std::optional<QString> text = elementText();
        if (!text)
            return std::nullopt;
        if (name == QLatin1String("string"))
            return QVariant(*text);
        if (name == QLatin1String("integer")) {
            bool ok = false;
            const qlonglong value = text->trimmed().toLongLong(&ok);
            if (!ok) {
                failure(QStringLiteral("bad integer"));
                return std::nullopt;
            }
            return QVariant(value);
        }
        if (name == QLatin1String("real")) {
            bool ok = false;
            const double value = text->trimmed().toDouble(&ok);
            if (!ok) {
                failure(QStringLiteral("bad real"));
                return std::nullopt;
            }
            return QVariant(value);
        }
        if (name == QLatin1String("date")) {
            QDateTime value = QDateTime::fromString(text->trimmed(), Qt::ISODate);
            if (!value.isValid()) {
                failure(QStringLiteral("bad date"));
                return std::nullopt;
            }
            return QVariant(value.toUTC());
        }
        if (name == QLatin1String("data"))
            return QVariant(QByteArray::fromBase64(text->simplified().toLatin1()));
        failure(QStringLiteral("unknown element <%1>").arg(name));
        return std::nullopt;
    }

    std::optional<QVariant> readDict()
    {
        QVariantMap map;
        while (nextStart()) {
            if (xml_.name() != QLatin1String("key")) {
                failure(QStringLiteral("<dict> entry without <key>"));
                return std::nullopt;
            }
            const std::optional<QString> key = elementText();
            if (!key)
                return std::nullopt;
            if (!nextStart()) {
                failure(QStringLiteral("<key> %1 without a value").arg(*key));
                return std::nullopt;
            }
            std::optional<QVariant> value = readValue();
            if (!value)
                return std::nullopt;
            map.insert(*key, *value);
        }
        if (xml_.hasError()) {
            failure(xml_.errorString());
            return std::nullopt;
        }
        return QVariant(map);
    }

    std::optional<QVariant> readArray()
    {
        QVariantList list;
        while (nextStart()) {
            std::optional<QVariant> value = readValue();
            if (!value)
                return std::nullopt;
            list.append(*value);
        }
        if (xml_.hasError()) {
            failure(xml_.errorString());
            return std::nullopt;
        }
        return QVariant(list);
    }

    QXmlStreamReader xml_;
    QString error_;
    int depth_ = 0;
};

} // namespace

PropertyListResult readPropertyList(const QByteArray& xml)
{
    return Reader(xml).read();
}

std::optional<QVariantMap> readPropertyListDictionary(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const PropertyListResult result = readPropertyList(file.readAll());
    if (!result.root || result.root->typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return result.root->toMap();
}
