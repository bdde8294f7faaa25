#include "core/CloudJson.h"

#include "core/DriveFile.h"
#include "core/DropboxFileMetadata.h"

#include <QJsonValue>

#include <cmath>

namespace CloudJson {

QString text(const QJsonObject& json, const char* key)
{
    const QJsonValue value = json.value(QLatin1String(key));
    return value.isString() ? value.toString() : QString();
}

std::optional<QDateTime> date(const QJsonObject& json, const char* key)
{
    const QJsonValue value = json.value(QLatin1String(key));
    if (!value.isString())
        return std::nullopt;
    const QDateTime parsed = QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
    if (!parsed.isValid())
        return std::nullopt;
    return parsed.toUTC();
}

std::optional<double> number(const QJsonObject& json, const char* key)
{
    const QJsonValue value = json.value(QLatin1String(key));
    if (!value.isDouble())
        return std::nullopt;
    return value.toDouble();
}

std::optional<double> number(const QJsonObject& json, const char* key, double lowest, double highest)
{
    const std::optional<double> value = number(json, key);
    if (!value || !(*value >= lowest && *value <= highest))
        return std::nullopt;
    return value;
}

std::optional<int> integer(const QJsonObject& json, const char* key)
{
    const std::optional<double> value = number(json, key);
    if (!value || std::floor(*value) != *value || std::abs(*value) > 2147483647.0)
        return std::nullopt;
    return static_cast<int>(*value);
}

std::optional<quint64> size(const QJsonObject& json, const char* key)
{
    const QJsonValue value = json.value(QLatin1String(key));
    if (value.isString()) {
        bool ok = false;
        const quint64 parsed = value.toString().toULongLong(&ok);
        return ok ? std::optional<quint64>(parsed) : std::nullopt;
    }
    if (value.isDouble()) {
        const double d = value.toDouble();
        if (d < 0 || std::floor(d) != d || d >= 18446744073709551616.0)
            return std::nullopt;
        return static_cast<quint64>(d);
    }
    return std::nullopt;
}

} // namespace CloudJson

DriveImageMediaMetadata DriveImageMediaMetadata::fromJson(const QJsonObject& json)
{
    using namespace CloudJson;
    DriveImageMediaMetadata m;
    m.cameraMake = text(json, "cameraMake");
    m.cameraModel = text(json, "cameraModel");
    m.colorSpace = text(json, "colorSpace");
    // Shown as whole numbers: a value no camera gives is no value.
    m.exposureBias = number(json, "exposureBias", -100.0, 100.0);
    if (const QJsonValue flash = json.value(QLatin1String("flashUsed")); flash.isBool())
        m.flashUsed = flash.toBool();
    m.focalLength = number(json, "focalLength", 0.0, 100000.0);
    m.height = integer(json, "height");
    m.width = integer(json, "width");
    m.isoSpeed = integer(json, "isoSpeed");
    m.lens = text(json, "lens");
    m.sensor = text(json, "sensor");
    m.exposureTime = number(json, "exposureTime");
    m.exposureMode = text(json, "exposureMode");
    m.meteringMode = text(json, "meteringMode");
    return m;
}

std::optional<DriveFile> DriveFile::fromJson(const QJsonObject& json)
{
    using namespace CloudJson;
    DriveFile file;
    file.identifier = text(json, "id");
    if (file.identifier.isEmpty())
        return std::nullopt;
    file.name = text(json, "name");
    file.size = CloudJson::size(json, "size");
    file.md5Checksum = text(json, "md5Checksum");
    file.createdTime = date(json, "createdTime");
    file.modifiedTime = date(json, "modifiedTime");
    file.thumbnailLink = text(json, "thumbnailLink");
    file.iconLink = text(json, "iconLink");
    file.fileExtension = text(json, "fileExtension");
    file.mimeType = text(json, "mimeType");
    if (const QJsonValue meta = json.value(QLatin1String("imageMediaMetadata")); meta.isObject())
        file.imageMediaMetadata = DriveImageMediaMetadata::fromJson(meta.toObject());
    return file;
}

std::optional<DropboxFileMetadata> DropboxFileMetadata::fromJson(const QJsonObject& json)
{
    using namespace CloudJson;
    if (text(json, ".tag") != QLatin1String("file"))
        return std::nullopt;
    DropboxFileMetadata entry;
    entry.name = text(json, "name");
    entry.pathDisplay = text(json, "path_display");
    if (entry.name.isEmpty() || entry.pathDisplay.isEmpty())
        return std::nullopt;
    entry.identifier = text(json, "id");
    entry.rev = text(json, "rev");
    entry.size = CloudJson::size(json, "size").value_or(0);
    if (json.value(QLatin1String("content_hash")).isString())
        entry.contentHash = text(json, "content_hash");
    entry.clientModified = date(json, "client_modified");
    entry.serverModified = date(json, "server_modified");
    return entry;
}
