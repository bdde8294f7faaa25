#include "platform/ImageProperties.h"

#include "core/ExifInfo.h"
#include "core/FileUtilities.h"
#include "platform/PictureChecks.h"

#include <QFile>
#include <QImageReader>
#include <QtEndian>

#include <exiv2/exiv2.hpp>

#include <algorithm>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>

namespace {

namespace Key = ImagePropertyKey;

void prepareExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // The XMP toolkit must be set up once before threads parse XMP.
        Exiv2::XmpParser::initialize();
        // A damaged picture already yields no properties; its warnings would
        // only fill standard error during a scan.
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
    });
}

const Exiv2::Exifdatum* findExif(const Exiv2::ExifData& data, const char* key)
{
    const auto found = data.findKey(Exiv2::ExifKey(key));
    return found == data.end() || found->count() == 0 ? nullptr : &*found;
}

double rationalValue(const Exiv2::Exifdatum& datum, long index = 0)
{
    const Exiv2::Rational r = datum.toRational(index);
    return r.second == 0 ? 0.0 : static_cast<double>(r.first) / r.second;
}

void putText(QVariantMap& map, QLatin1String key, const Exiv2::ExifData& data, const char* exifKey)
{
    if (const Exiv2::Exifdatum* datum = findExif(data, exifKey)) {
        const QString text = QString::fromStdString(datum->toString()).trimmed();
        if (!text.isEmpty())
            map.insert(QString(key), text);
    }
}

void putInteger(QVariantMap& map, QLatin1String key, const Exiv2::ExifData& data, const char* exifKey)
{
    if (const Exiv2::Exifdatum* datum = findExif(data, exifKey))
        map.insert(QString(key), static_cast<qlonglong>(datum->toLong()));
}

void putRational(QVariantMap& map, QLatin1String key, const Exiv2::ExifData& data, const char* exifKey)
{
    if (const Exiv2::Exifdatum* datum = findExif(data, exifKey))
        map.insert(QString(key), rationalValue(*datum));
}

void insertUnlessEmpty(QVariantMap& top, QLatin1String key, const QVariantMap& dictionary)
{
    if (!dictionary.isEmpty())
        top.insert(QString(key), dictionary);
}

QVariantMap exifDictionary(const Exiv2::ExifData& data, const Exiv2::XmpData& xmp)
{
    QVariantMap exif;
    putText(exif, Key::dateTimeOriginal, data, "Exif.Photo.DateTimeOriginal");
    putText(exif, Key::rating, data, "Exif.Image.Rating");
    if (!exif.contains(QString(Key::rating))) {
        const auto found = xmp.findKey(Exiv2::XmpKey("Xmp.xmp.Rating"));
        if (found != xmp.end())
            exif.insert(QString(Key::rating), QString::fromStdString(found->toString()).trimmed());
    }
    putRational(exif, Key::focalLength, data, "Exif.Photo.FocalLength");
    putRational(exif, Key::exposureBiasValue, data, "Exif.Photo.ExposureBiasValue");
    if (const Exiv2::Exifdatum* iso = findExif(data, "Exif.Photo.ISOSpeedRatings")) {
        QVariantList speeds;
        for (long i = 0; i < iso->count(); ++i)
            speeds.append(static_cast<qlonglong>(iso->toLong(i)));
        exif.insert(QString(Key::isoSpeedRatings), speeds);
    }
    putInteger(exif, Key::exposureMode, data, "Exif.Photo.ExposureMode");
    putInteger(exif, Key::exposureProgram, data, "Exif.Photo.ExposureProgram");
    putInteger(exif, Key::meteringMode, data, "Exif.Photo.MeteringMode");
    putInteger(exif, Key::lightSource, data, "Exif.Photo.LightSource");
    putInteger(exif, Key::sensingMethod, data, "Exif.Photo.SensingMethod");
    putInteger(exif, Key::sceneCaptureType, data, "Exif.Photo.SceneCaptureType");
    putInteger(exif, Key::colorSpace, data, "Exif.Photo.ColorSpace");
    putRational(exif, Key::digitalZoomRatio, data, "Exif.Photo.DigitalZoomRatio");
    putInteger(exif, Key::flash, data, "Exif.Photo.Flash");
    return exif;
}

QVariantMap tiffDictionary(const Exiv2::ExifData& data)
{
    QVariantMap tiff;
    putText(tiff, Key::make, data, "Exif.Image.Make");
    putText(tiff, Key::model, data, "Exif.Image.Model");
    putInteger(tiff, Key::orientation, data, "Exif.Image.Orientation");
    putText(tiff, Key::software, data, "Exif.Image.Software");
    return tiff;
}

// Degrees from the degrees, minutes and seconds rationals of a coordinate.
void putCoordinate(QVariantMap& gps, QLatin1String key, const Exiv2::ExifData& data, const char* exifKey)
{
    const Exiv2::Exifdatum* datum = findExif(data, exifKey);
    if (!datum)
        return;
    double degrees = 0;
    double unit = 1;
    for (long i = 0; i < std::min<long>(datum->count(), 3); ++i, unit *= 60)
        degrees += rationalValue(*datum, i) / unit;
    gps.insert(QString(key), degrees);
}

QVariantMap gpsDictionary(const Exiv2::ExifData& data)
{
    QVariantMap gps;
    putCoordinate(gps, Key::latitude, data, "Exif.GPSInfo.GPSLatitude");
    putText(gps, Key::latitudeRef, data, "Exif.GPSInfo.GPSLatitudeRef");
    putCoordinate(gps, Key::longitude, data, "Exif.GPSInfo.GPSLongitude");
    putText(gps, Key::longitudeRef, data, "Exif.GPSInfo.GPSLongitudeRef");
    putRational(gps, Key::altitude, data, "Exif.GPSInfo.GPSAltitude");
    putInteger(gps, Key::altitudeRef, data, "Exif.GPSInfo.GPSAltitudeRef");
    return gps;
}

QVariantMap iptcDictionary(const Exiv2::IptcData& data)
{
    QStringList keywords;
    for (const Exiv2::Iptcdatum& datum : data) {
        if (datum.key() == "Iptc.Application2.Keywords")
            keywords.append(QString::fromStdString(datum.toString()));
    }
    QVariantMap iptc;
    if (!keywords.isEmpty())
        iptc.insert(QString(Key::keywords), keywords);
    return iptc;
}

QVariantMap exifAuxDictionary(const Exiv2::ExifData& data)
{
    QVariantMap aux;
    putText(aux, Key::lensModel, data, "Exif.Photo.LensModel");
    return aux;
}

// The resolution in dots per inch, from the TIFF resolution tags.
void putResolution(QVariantMap& top, const Exiv2::ExifData& data)
{
    const Exiv2::Exifdatum* x = findExif(data, "Exif.Image.XResolution");
    const Exiv2::Exifdatum* y = findExif(data, "Exif.Image.YResolution");
    if (!x || !y)
        return;
    const Exiv2::Exifdatum* unit = findExif(data, "Exif.Image.ResolutionUnit");
    const double perInch = unit && unit->toLong() == 3 ? 2.54 : 1.0;
    top.insert(QString(Key::dpiWidth), rationalValue(*x) * perInch);
    top.insert(QString(Key::dpiHeight), rationalValue(*y) * perInch);
}

// Pixel size and colour model as the image's own header states them, read
// without decoding the picture, as the format its name allows: another
// format's reader (a compressed vector picture's among them) would read the
// whole file for its size. A vector picture has neither.
void putHeaderFacts(QVariantMap& top, int fd, const QString& path)
{
    const QByteArray format = pictureFormatForName(path);
    QFile device;
    if (format.isEmpty() || isVectorPictureFormat(format)
        || !device.open(fd, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return;
    QImageReader reader(&device, format);
    reader.setAutoDetectImageFormat(false);
    if (!reader.canRead())
        return;
    const QSize size = reader.size();
    if (size.isValid() && !top.contains(QString(Key::pixelWidth))) {
        top.insert(QString(Key::pixelWidth), static_cast<qlonglong>(size.width()));
        top.insert(QString(Key::pixelHeight), static_cast<qlonglong>(size.height()));
    }
    switch (reader.imageFormat()) {
    case QImage::Format_Invalid:
        break;
    case QImage::Format_Mono:
    case QImage::Format_MonoLSB:
    case QImage::Format_Grayscale8:
    case QImage::Format_Grayscale16:
        top.insert(QString(Key::colorModel), QStringLiteral("Gray"));
        break;
    default:
        top.insert(QString(Key::colorModel), QStringLiteral("RGB"));
        break;
    }
}

QVariantMap readProperties(const OpenedFile& file, const QString& path)
{
    // Exiv2 opens a path itself; the descriptor's own path names exactly the
    // regular file checked above, whatever happens to the name meanwhile.
    const std::string source = "/proc/self/fd/" + std::to_string(file.fd.get());
    const auto image = Exiv2::ImageFactory::open(source);
    if (!image.get())
        return {};
    image->readMetadata();

    QVariantMap top;
    if (image->pixelWidth() > 0 && image->pixelHeight() > 0) {
        top.insert(QString(Key::pixelWidth), static_cast<qlonglong>(image->pixelWidth()));
        top.insert(QString(Key::pixelHeight), static_cast<qlonglong>(image->pixelHeight()));
    }
    putHeaderFacts(top, file.fd.get(), path);
    if (image->iccProfileDefined()) {
        const Exiv2::DataBuf* profile = image->iccProfile();
        const QString name = ImagePropertiesDetail::iccProfileDescription(
            QByteArray(reinterpret_cast<const char*>(profile->pData_), profile->size_));
        if (!name.isEmpty())
            top.insert(QString(Key::profileName), name);
    }

    const Exiv2::ExifData& exif = image->exifData();
    putResolution(top, exif);
    insertUnlessEmpty(top, Key::exifDictionary, exifDictionary(exif, image->xmpData()));
    insertUnlessEmpty(top, Key::tiffDictionary, tiffDictionary(exif));
    insertUnlessEmpty(top, Key::gpsDictionary, gpsDictionary(exif));
    insertUnlessEmpty(top, Key::iptcDictionary, iptcDictionary(image->iptcData()));
    insertUnlessEmpty(top, Key::exifAuxDictionary, exifAuxDictionary(exif));
    return top;
}

} // namespace

QVariantMap imagePropertiesOfFile(const QString& path)
{
    // Only a regular file reached without following a link, opened without
    // blocking: the metadata reader never meets a FIFO or a device.
    const OpenedFile file = openRegularFile(path, LinkFollowing::refuse);
    if (!file.isOpen())
        return {};
    prepareExiv2();
    try {
        return readProperties(file, path);
    } catch (const Exiv2::AnyError&) {
        return {};
    } catch (const std::exception&) {
        return {};
    }
}

namespace ImagePropertiesDetail {

QString iccProfileDescription(const QByteArray& profile)
{
    const auto* bytes = reinterpret_cast<const uchar*>(profile.constData());
    const quint64 size = static_cast<quint64>(profile.size());
    const auto u32 = [&](quint64 offset) { return offset + 4 <= size ? qFromBigEndian<quint32>(bytes + offset) : 0u; };
    const auto isTag = [&](quint64 offset, const char* name) {
        return offset + 4 <= size && std::memcmp(bytes + offset, name, 4) == 0;
    };

    // A 128-byte header, the tag count, then 12 bytes per tag: signature,
    // offset and size.
    const quint64 tagCount = u32(128);
    for (quint64 i = 0; i < tagCount && 132 + 12 * (i + 1) <= size; ++i) {
        const quint64 entry = 132 + 12 * i;
        if (!isTag(entry, "desc"))
            continue;
        const quint64 offset = u32(entry + 4);
        const quint64 length = u32(entry + 8);
        if (offset + length > size || length < 12)
            return {};
        if (isTag(offset, "desc")) {
            // 'desc': the count of ASCII bytes (NUL included), then the bytes.
            const quint64 count = u32(offset + 8);
            if (count == 0 || offset + 12 + count > offset + length)
                return {};
            return QString::fromLatin1(profile.mid(static_cast<qsizetype>(offset + 12), static_cast<qsizetype>(count)))
                .section(QChar(0), 0, 0)
                .trimmed();
        }
        if (isTag(offset, "mluc")) {
            // 'mluc': records of language, country, byte length and offset of
            // UTF-16BE text; the first record serves.
            if (u32(offset + 8) == 0 || length < 28)
                return {};
            const quint64 textLength = u32(offset + 20);
            const quint64 textOffset = offset + u32(offset + 24);
            if (textOffset + textLength > offset + length)
                return {};
            QString text;
            for (quint64 k = 0; k + 1 < textLength; k += 2)
                text += QChar(qFromBigEndian<quint16>(bytes + textOffset + k));
            return text.section(QChar(0), 0, 0).trimmed();
        }
        return {};
    }
    return {};
}

} // namespace ImagePropertiesDetail
