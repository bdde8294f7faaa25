#include "core/ExifInfo.h"

#include "core/CommonFuncs.h"
#include "core/TextFormat.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <utility>

namespace {

namespace Key = ImagePropertyKey;

QVariant entry(const QVariantMap& map, QLatin1String key)
{
    return map.value(QString(key));
}

bool has(const QVariantMap& map, QLatin1String key)
{
    return map.contains(QString(key));
}

std::optional<QVariantMap> subDictionary(const QVariantMap& map, QLatin1String key)
{
    const QVariant value = entry(map, key);
    if (value.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    return value.toMap();
}

QString textOrEmpty(const QVariant& value)
{
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

double numberOrZero(const QVariant& value)
{
    return isNumberValue(value) ? value.toDouble() : 0.0;
}

// The integer part of a number, as a stored number's integer value reads;
// none for anything that is not a number.
std::optional<qlonglong> integerValue(const QVariant& value)
{
    if (!isNumberValue(value))
        return std::nullopt;
    if (value.typeId() != QMetaType::Double && value.typeId() != QMetaType::Float)
        return value.toLongLong();
    const double number = std::trunc(value.toDouble());
    if (!std::isfinite(number))
        return 0;
    constexpr double limit = 9.2e18;
    return static_cast<qlonglong>(std::clamp(number, -limit, limit));
}

bool isList(const QVariant& value)
{
    return value.typeId() == QMetaType::QVariantList || value.typeId() == QMetaType::QStringList;
}

// A number in its shortest decimal form, a text as it stands.
QString plainText(const QVariant& value)
{
    if (isNumberValue(value) && value.typeId() != QMetaType::Bool)
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    return value.toString();
}

void setCoded(QString& field, const QVariantMap& dictionary, QLatin1String key)
{
    if (const std::optional<qlonglong> code = integerValue(entry(dictionary, key)))
        field = QString::number(*code);
}

void fillFromExif(ExifInfo& info, const QVariantMap& exif)
{
    const QVariant date = entry(exif, Key::dateTimeOriginal);
    info.captureDate
        = date.typeId() == QMetaType::QString ? dateFromExifText(date.toString()) : std::optional<QDateTime>();
    info.rating = textOrEmpty(entry(exif, Key::rating));
    if (has(exif, Key::focalLength))
        info.folcalLength = plainText(entry(exif, Key::focalLength)) + QStringLiteral(" mm");
    if (has(exif, Key::exposureBiasValue))
        info.exposureBias = formatFixed(numberOrZero(entry(exif, Key::exposureBiasValue)), 2) + QStringLiteral(" EV");
    const QVariantList iso = entry(exif, Key::isoSpeedRatings).toList();
    if (isList(entry(exif, Key::isoSpeedRatings)) && !iso.isEmpty()) {
        if (const std::optional<qlonglong> speed = integerValue(iso.first()))
            info.isoSpeedRating = QString::number(*speed);
    }
    setCoded(info.exposureMode, exif, Key::exposureMode);
    setCoded(info.exposureProgram, exif, Key::exposureProgram);
    setCoded(info.meteringMode, exif, Key::meteringMode);
    setCoded(info.lightSource, exif, Key::lightSource);
    setCoded(info.sensingMethod, exif, Key::sensingMethod);
    setCoded(info.sceneCaptureType, exif, Key::sceneCaptureType);
    setCoded(info.colorSpace, exif, Key::colorSpace);

    // Readers report the zoom ratio as a number; its text is what the
    // preview shows.
    const QVariant zoom = entry(exif, Key::digitalZoomRatio);
    info.digitalZoomRatio
        = zoom.typeId() == QMetaType::QString || (isNumberValue(zoom) && zoom.typeId() != QMetaType::Bool)
        ? plainText(zoom)
        : QString();
    // Bit 0 of the flash value says whether it fired; the other bits
    // describe the flash mode (16, say, is "off, did not fire").
    const std::optional<qlonglong> flash = integerValue(entry(exif, Key::flash));
    info.flashFired = flash && (*flash & 1) != 0;
}

void fillFromTiff(ExifInfo& info, const QVariantMap& tiff)
{
    info.cameraMaker = textOrEmpty(entry(tiff, Key::make));
    info.cameraModel = textOrEmpty(entry(tiff, Key::model));
    info.orientation = integerValue(entry(tiff, Key::orientation)).value_or(0);
    info.editingSoftware = textOrEmpty(entry(tiff, Key::software));
}

void fillFromGps(ExifInfo& info, const QVariantMap& gps)
{
    info.gpsLatitude = numberOrZero(entry(gps, Key::latitude));
    info.gpsLongitude = numberOrZero(entry(gps, Key::longitude));
    info.gpsLatitudeRef = textOrEmpty(entry(gps, Key::latitudeRef));
    info.gpsLongitudeRef = textOrEmpty(entry(gps, Key::longitudeRef));
    info.gpsAltitude = numberOrZero(entry(gps, Key::altitude));
}

} // namespace

void ExifInfo::fillExifInfo(const std::optional<QVariantMap>& properties)
{
    if (!properties)
        return;
    const QVariantMap& top = *properties;

    profileName = textOrEmpty(entry(top, Key::profileName));
    pixelWidth = integerValue(entry(top, Key::pixelWidth)).value_or(0);
    pixelHeight = integerValue(entry(top, Key::pixelHeight)).value_or(0);
    imageSize = QString::number(pixelWidth) + QStringLiteral(" x ") + QString::number(pixelHeight);
    colorModel = textOrEmpty(entry(top, Key::colorModel));

    dpiWidth = 0;
    dpiHeight = 0;
    if (has(top, Key::dpiWidth) && has(top, Key::dpiHeight)) {
        dpiWidth = numberOrZero(entry(top, Key::dpiWidth));
        dpiHeight = numberOrZero(entry(top, Key::dpiHeight));
        imageDPI = formatFixed(dpiWidth, 1) + QStringLiteral(" x ") + formatFixed(dpiHeight, 1);
    }

    if (const auto exif = subDictionary(top, Key::exifDictionary))
        fillFromExif(*this, *exif);
    if (const auto tiff = subDictionary(top, Key::tiffDictionary))
        fillFromTiff(*this, *tiff);
    if (const auto gps = subDictionary(top, Key::gpsDictionary))
        fillFromGps(*this, *gps);

    // Keywords of any other shape than a list are left out; the rest of the
    // record is still filled.
    if (const auto iptc = subDictionary(top, Key::iptcDictionary); iptc && isList(entry(*iptc, Key::keywords))) {
        QStringList texts;
        for (const QVariant& keyword : entry(*iptc, Key::keywords).toList()) {
            if (keyword.typeId() == QMetaType::QString)
                texts += keyword.toString();
        }
        keywords = texts.join(QStringLiteral(", "));
    }

    if (has(top, Key::exifAuxDictionary)) {
        const auto aux = subDictionary(top, Key::exifAuxDictionary);
        cameraLensModel = aux ? textOrEmpty(entry(*aux, Key::lensModel)) : QString();
    }
}

QString orientationText(qlonglong orientation)
{
    static const char* const texts[] = {
        "Normal",
        "Flipped horizontally",
        "Rotated 180° CW",
        "Flipped vertically",
        "Rotated 90° CCW and flipped vertically",
        "Rotated 90° CCW",
        "Rotated 90° CW and flipped vertically",
        "Rotated 90° CW",
    };
    if (orientation < 1 || orientation > 8)
        return QStringLiteral("--");
    return QString::number(orientation) + QStringLiteral(" (") + QString::fromUtf8(texts[orientation - 1])
        + QLatin1Char(')');
}

namespace {

using CodeTable = std::initializer_list<std::pair<int, const char*>>;

QString codedValueText(const QString& code, CodeTable table)
{
    const QString noText = QStringLiteral("---");
    if (code.isEmpty())
        return noText;
    const qsizetype firstDigit = (code.front() == QLatin1Char('-') || code.front() == QLatin1Char('+')) ? 1 : 0;
    if (firstDigit >= code.size())
        return noText;
    for (qsizetype i = firstDigit; i < code.size(); ++i) {
        if (code.at(i) < QLatin1Char('0') || code.at(i) > QLatin1Char('9'))
            return noText;
    }
    bool ok = false;
    const int value = code.toInt(&ok);
    if (!ok)
        return noText;
    for (const auto& [listed, text] : table) {
        if (listed == value)
            return QString::fromUtf8(text);
    }
    return noText;
}

} // namespace

QString exposureModeText(const QString& code)
{
    return codedValueText(code, { { 0, "Auto exposure" }, { 1, "Manual exposure" }, { 2, "Auto bracket" } });
}

QString exposureProgramText(const QString& code)
{
    return codedValueText(code,
        {
            { 0, "Not defined" },
            { 1, "Manual" },
            { 2, "Normal program" },
            { 3, "Aperture priority" },
            { 4, "Shutter priority" },
            { 5, "Creative program (biased toward depth of field)" },
            { 6, "Action program (biased toward fast shutter speed)" },
            { 7, "Portrait mode (for closeup photos with the background out of focus)" },
            { 8, "Landscape mode (for landscape photos with the background in focus)" },
        });
}

QString meteringModeText(const QString& code)
{
    return codedValueText(code,
        {
            { 0, "Unknown" },
            { 1, "Average" },
            { 2, "CenterWeightedAverage" },
            { 3, "Spot" },
            { 4, "MultiSpot" },
            { 5, "Pattern" },
            { 6, "Partial" },
            { 255, "other" },
        });
}

QString lightSourceText(const QString& code)
{
    return codedValueText(code,
        {
            { 0, "Unknown" },
            { 1, "Daylight" },
            { 2, "Fluorescent" },
            { 3, "Tungsten (incandescent light)" },
            { 4, "Flash" },
            { 9, "Fine weather" },
            { 10, "Cloudy weather" },
            { 11, "Shade" },
            { 12, "Daylight fluorescent (D 5700 - 7100K)" },
            { 13, "Day white fluorescent (N 4600 - 5400K)" },
            { 14, "Cool white fluorescent (W 3900 - 4500K)" },
            { 15, "White fluorescent (WW 3200 - 3700K)" },
            { 17, "Standard light A" },
            { 18, "Standard light B" },
            { 19, "Standard light C" },
            { 20, "D55" },
            { 21, "D65" },
            { 22, "D75" },
            { 23, "D50" },
            { 24, "ISO studio tungsten" },
            { 255, "Other light source" },
        });
}

QString sensingMethodText(const QString& code)
{
    return codedValueText(code,
        {
            { 1, "Not defined" },
            { 2, "One-chip color area sensor" },
            { 3, "Two-chip color area sensor" },
            { 4, "Three-chip color area sensor" },
            { 5, "Color sequential area sensor" },
            { 7, "Trilinear sensor" },
            { 8, "Color sequential linear sensor" },
        });
}

QString sceneCaptureTypeText(const QString& code)
{
    return codedValueText(code, { { 0, "Standard" }, { 1, "Landscape" }, { 2, "Portrait" }, { 3, "Night scene" } });
}

QString gpsCoordinateText(double degrees, const QString& hemisphere)
{
    const QString noText = QStringLiteral("---");
    const double seconds = std::trunc(degrees * 3600);
    // Beyond any coordinate: a corrupt value, not a place.
    if (!std::isfinite(seconds) || std::fabs(seconds) > 1e12)
        return noText;
    const long long total = std::llabs(static_cast<long long>(seconds));
    const long long d = total / 3600;
    const long long m = (total % 3600) / 60;
    const long long s = (total % 3600) % 60;
    if (d == 0 && m == 0 && s == 0)
        return noText;
    return QString::number(d) + QStringLiteral("°") + QString::number(m) + QLatin1Char('\'') + QString::number(s)
        + QLatin1Char('"') + hemisphere;
}
