#include "core/ExifInfo.h"

#include <QTimeZone>
#include <gtest/gtest.h>

#include <cmath>

namespace {

namespace Key = ImagePropertyKey;

QVariantMap dictionary(std::initializer_list<std::pair<QLatin1String, QVariant>> entries)
{
    QVariantMap map;
    for (const auto& [key, value] : entries)
        map.insert(QString(key), value);
    return map;
}

ExifInfo filled(const QVariantMap& properties)
{
    ExifInfo info;
    info.fillExifInfo(properties);
    return info;
}

QVariantMap camera()
{
    return dictionary({
        { Key::pixelWidth, 4000 },
        { Key::pixelHeight, 3000 },
        { Key::dpiWidth, 72.25 },
        { Key::dpiHeight, 72.0 },
        { Key::colorModel, QStringLiteral("RGB") },
        { Key::exifDictionary,
            dictionary({ { Key::dateTimeOriginal, QStringLiteral("2021:06:30 14:05:09") },
                { Key::rating, QStringLiteral("4") }, { Key::focalLength, 4.2 }, { Key::exposureBiasValue, -0.125 },
                { Key::isoSpeedRatings, QVariantList { 400, 800 } }, { Key::exposureMode, 1 },
                { Key::meteringMode, 5 }, { Key::digitalZoomRatio, 2.0 }, { Key::flash, 25 } }) },
        { Key::tiffDictionary,
            dictionary({ { Key::make, QStringLiteral("Maker") }, { Key::orientation, 6 },
                { Key::software, QStringLiteral("Editor 2.1") } }) },
        { Key::gpsDictionary,
            dictionary({ { Key::latitude, 33.5 }, { Key::latitudeRef, QStringLiteral("S") },
                { Key::altitude, 58.5 } }) },
        { Key::iptcDictionary,
            dictionary({ { Key::keywords, QVariantList { QStringLiteral("beach"), 7, QStringLiteral("sun") } } }) },
        { Key::exifAuxDictionary, dictionary({ { Key::lensModel, QStringLiteral("Lens 4.2mm") } }) },
    });
}

} // namespace

TEST(ExifFill, CameraPictureFillsTheFieldsWithPrintfRounding)
{
    const ExifInfo info = filled(camera());
    const std::pair<QString, const char*> texts[] = {
        { info.imageSize, "4000 x 3000" },
        { info.imageDPI, "72.2 x 72.0" },
        { info.colorModel, "RGB" },
        { info.rating, "4" },
        { info.folcalLength, "4.2 mm" },
        { info.exposureBias, "-0.12 EV" },
        { info.isoSpeedRating, "400" },
        { info.exposureMode, "1" },
        { info.meteringMode, "5" },
        { info.digitalZoomRatio, "2" },
        { info.cameraMaker, "Maker" },
        { info.editingSoftware, "Editor 2.1" },
        { info.gpsLatitudeRef, "S" },
        { info.keywords, "beachsun" },
        { info.cameraLensModel, "Lens 4.2mm" },
    };
    for (const auto& [actual, expected] : texts)
        EXPECT_EQ(actual, QString::fromUtf8(expected));
    EXPECT_EQ(info.captureDate, QDateTime(QDate(2021, 6, 30), QTime(14, 5, 9), Qt::LocalTime).toUTC());
    EXPECT_TRUE(info.flashFired);
    EXPECT_EQ(info.orientation, 6);
    EXPECT_DOUBLE_EQ(info.gpsLatitude, 33.5);
    EXPECT_DOUBLE_EQ(info.gpsAltitude, 58.5);
}

TEST(ExifFill, EntriesOfUnexpectedShapeFallBack)
{
    const ExifInfo info = filled(dictionary({ { Key::dpiWidth, 300.0 },
        { Key::exifDictionary,
            dictionary({ { Key::dateTimeOriginal, QStringLiteral("soon") }, { Key::rating, 5 },
                { Key::exposureBiasValue, QStringLiteral("n/a") }, { Key::isoSpeedRatings, QVariantList {} },
                { Key::exposureMode, QStringLiteral("1") }, { Key::flash, 16 }, { Key::digitalZoomRatio, true } }) },
        { Key::tiffDictionary, dictionary({ { Key::orientation, QStringLiteral("6") } }) },
        { Key::iptcDictionary, dictionary({ { Key::keywords, QStringLiteral("beach") } }) },
        { Key::exifAuxDictionary, QStringLiteral("not a dictionary") } }));
    EXPECT_TRUE(info.imageDPI.isEmpty()); // needs both entries
    EXPECT_EQ(info.captureDate, std::nullopt);
    EXPECT_EQ(info.exposureBias, QStringLiteral("0.00 EV"));
    for (const QString& empty : { info.rating, info.isoSpeedRating, info.exposureMode, info.digitalZoomRatio,
             info.keywords, info.cameraLensModel })
        EXPECT_TRUE(empty.isEmpty()) << empty.toStdString();
    EXPECT_EQ(info.orientation, 0);
    // 16 is "flash off, did not fire": only bit 0 says it fired.
    EXPECT_FALSE(info.flashFired);
}

TEST(ExifFill, MissingOrBrokenDictionariesLeaveTheirFields)
{
    ExifInfo info;
    info.fillExifInfo(std::nullopt);
    EXPECT_TRUE(info.imageSize.isEmpty());
    info.cameraMaker = QStringLiteral("kept");
    info.cameraLensModel = QStringLiteral("kept");
    info.fillExifInfo(dictionary({ { Key::tiffDictionary, QStringLiteral("broken") }, { Key::gpsDictionary, 3 } }));
    EXPECT_EQ(info.imageSize, QStringLiteral("0 x 0"));
    EXPECT_EQ(info.cameraMaker, QStringLiteral("kept"));
    EXPECT_EQ(info.cameraLensModel, QStringLiteral("kept"));
}

TEST(ExifTexts, CodedValuesNeedADecimalListedCode)
{
    const std::pair<QString, const char*> table[] = {
        { orientationText(0), "--" },
        { orientationText(3), "3 (Rotated 180° CW)" },
        { orientationText(9), "--" },
        { meteringModeText(QStringLiteral("255")), "other" },
        { lightSourceText(QStringLiteral("16")), "---" },
        { lightSourceText(QStringLiteral("12")), "Daylight fluorescent (D 5700 - 7100K)" },
        { exposureModeText(QStringLiteral(" 1")), "---" },
        { exposureModeText(QStringLiteral("1")), "Manual exposure" },
        { sensingMethodText(QStringLiteral("7")), "Trilinear sensor" },
        { sceneCaptureTypeText(QStringLiteral("99999999999999999999")), "---" },
        { gpsCoordinateText(-33.5, QStringLiteral("S")), "33°30'0\"S" },
        { gpsCoordinateText(151.2093, QStringLiteral("E")), "151°12'33\"E" },
        { gpsCoordinateText(0.0001, QStringLiteral("N")), "---" },
        { gpsCoordinateText(std::nan(""), QStringLiteral("N")), "---" },
        { gpsCoordinateText(1e300, QStringLiteral("N")), "---" },
    };
    for (const auto& [actual, expected] : table)
        EXPECT_EQ(actual, QString::fromUtf8(expected));
}
