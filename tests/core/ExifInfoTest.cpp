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
        { Key::dpiWidth, 72.0 },
        { Key::dpiHeight, 72.0 },
        { Key::colorModel, QStringLiteral("RGB") },
        { Key::profileName, QStringLiteral("sRGB IEC61966-2.1") },
        { Key::exifDictionary,
            dictionary({
                { Key::dateTimeOriginal, QStringLiteral("2021:06:30 14:05:09") },
                { Key::rating, QStringLiteral("4") },
                { Key::focalLength, 4.2 },
                { Key::exposureBiasValue, -0.7 },
                { Key::isoSpeedRatings, QVariantList { 400, 800 } },
                { Key::exposureMode, 1 },
                { Key::exposureProgram, 3 },
                { Key::meteringMode, 5 },
                { Key::lightSource, 4 },
                { Key::sensingMethod, 2 },
                { Key::sceneCaptureType, 0 },
                { Key::colorSpace, 1 },
                { Key::digitalZoomRatio, 2.0 },
                { Key::flash, 25 },
            }) },
        { Key::tiffDictionary,
            dictionary({
                { Key::make, QStringLiteral("Maker") },
                { Key::model, QStringLiteral("Model 7") },
                { Key::orientation, 6 },
                { Key::software, QStringLiteral("Editor 2.1") },
            }) },
        { Key::gpsDictionary,
            dictionary({
                { Key::latitude, 33.5 },
                { Key::latitudeRef, QStringLiteral("S") },
                { Key::longitude, 151.2093 },
                { Key::longitudeRef, QStringLiteral("E") },
                { Key::altitude, 58.5 },
            }) },
        { Key::iptcDictionary,
            dictionary({ { Key::keywords, QStringList { QStringLiteral("beach"), QStringLiteral("sun") } } }) },
        { Key::exifAuxDictionary, dictionary({ { Key::lensModel, QStringLiteral("Lens 4.2mm") } }) },
    });
}

} // namespace

TEST(ExifFill, CameraPictureFillsEveryField)
{
    const ExifInfo info = filled(camera());
    EXPECT_EQ(info.pixelWidth, 4000);
    EXPECT_EQ(info.pixelHeight, 3000);
    EXPECT_EQ(info.imageSize, QStringLiteral("4000 x 3000"));
    EXPECT_EQ(info.imageDPI, QStringLiteral("72.0 x 72.0"));
    EXPECT_EQ(info.colorModel, QStringLiteral("RGB"));
    EXPECT_EQ(info.profileName, QStringLiteral("sRGB IEC61966-2.1"));
    EXPECT_EQ(info.captureDate, QDateTime(QDate(2021, 6, 30), QTime(14, 5, 9), Qt::LocalTime).toUTC());
    EXPECT_EQ(info.rating, QStringLiteral("4"));
    EXPECT_EQ(info.folcalLength, QStringLiteral("4.2 mm"));
    EXPECT_EQ(info.exposureBias, QStringLiteral("-0.70 EV"));
    EXPECT_EQ(info.isoSpeedRating, QStringLiteral("400"));
    EXPECT_EQ(info.exposureMode, QStringLiteral("1"));
    EXPECT_EQ(info.exposureProgram, QStringLiteral("3"));
    EXPECT_EQ(info.meteringMode, QStringLiteral("5"));
    EXPECT_EQ(info.lightSource, QStringLiteral("4"));
    EXPECT_EQ(info.sensingMethod, QStringLiteral("2"));
    EXPECT_EQ(info.sceneCaptureType, QStringLiteral("0"));
    EXPECT_EQ(info.colorSpace, QStringLiteral("1"));
    EXPECT_EQ(info.digitalZoomRatio, QStringLiteral("2"));
    EXPECT_TRUE(info.flashFired);
    EXPECT_EQ(info.cameraMaker, QStringLiteral("Maker"));
    EXPECT_EQ(info.cameraModel, QStringLiteral("Model 7"));
    EXPECT_EQ(info.orientation, 6);
    EXPECT_EQ(info.editingSoftware, QStringLiteral("Editor 2.1"));
    EXPECT_DOUBLE_EQ(info.gpsLatitude, 33.5);
    EXPECT_EQ(info.gpsLatitudeRef, QStringLiteral("S"));
    EXPECT_DOUBLE_EQ(info.gpsLongitude, 151.2093);
    EXPECT_EQ(info.gpsLongitudeRef, QStringLiteral("E"));
    EXPECT_DOUBLE_EQ(info.gpsAltitude, 58.5);
    EXPECT_EQ(info.keywords, QStringLiteral("beachsun"));
    EXPECT_EQ(info.cameraLensModel, QStringLiteral("Lens 4.2mm"));
}

TEST(ExifFill, NoDictionaryLeavesTheRecordAndAnEmptyOneOnlySizesIt)
{
    ExifInfo untouched;
    untouched.fillExifInfo(std::nullopt);
    EXPECT_TRUE(untouched.imageSize.isEmpty());

    const ExifInfo empty = filled({});
    EXPECT_EQ(empty.imageSize, QStringLiteral("0 x 0"));
    EXPECT_TRUE(empty.imageDPI.isEmpty());
    EXPECT_EQ(empty.dpiWidth, 0);
    EXPECT_EQ(empty.orientation, 0);
    EXPECT_EQ(empty.captureDate, std::nullopt);
    EXPECT_TRUE(empty.folcalLength.isEmpty());
    EXPECT_FALSE(empty.flashFired);
}

TEST(ExifFill, ResolutionNeedsBothEntries)
{
    const ExifInfo widthOnly = filled(dictionary({ { Key::dpiWidth, 300.0 } }));
    EXPECT_TRUE(widthOnly.imageDPI.isEmpty());
    EXPECT_EQ(widthOnly.dpiWidth, 0);
    EXPECT_EQ(widthOnly.dpiHeight, 0);

    const ExifInfo textWidth
        = filled(dictionary({ { Key::dpiWidth, QStringLiteral("300") }, { Key::dpiHeight, 150 } }));
    EXPECT_EQ(textWidth.imageDPI, QStringLiteral("0.0 x 150.0"));
}

TEST(ExifFill, ExifEntriesOfUnexpectedShapeFallBack)
{
    const ExifInfo info = filled(dictionary({ { Key::exifDictionary,
        dictionary({
            { Key::dateTimeOriginal, QStringLiteral("soon") },
            { Key::rating, 5 },
            { Key::exposureBiasValue, QStringLiteral("n/a") },
            { Key::isoSpeedRatings, QVariantList {} },
            { Key::exposureMode, QStringLiteral("1") },
            { Key::flash, 16 },
            { Key::digitalZoomRatio, true },
        }) } }));
    EXPECT_EQ(info.captureDate, std::nullopt);
    EXPECT_TRUE(info.rating.isEmpty());
    EXPECT_TRUE(info.folcalLength.isEmpty());
    EXPECT_EQ(info.exposureBias, QStringLiteral("0.00 EV"));
    EXPECT_TRUE(info.isoSpeedRating.isEmpty());
    EXPECT_TRUE(info.exposureMode.isEmpty());
    EXPECT_TRUE(info.digitalZoomRatio.isEmpty());
    // 16 is "flash off, did not fire": only bit 0 says it fired.
    EXPECT_FALSE(info.flashFired);
}

TEST(ExifFill, SubDictionariesThatAreNoDictionariesLeaveTheirFields)
{
    ExifInfo info;
    info.cameraMaker = QStringLiteral("kept");
    info.gpsLatitudeRef = QStringLiteral("N");
    info.fillExifInfo(dictionary({ { Key::tiffDictionary, QStringLiteral("broken") }, { Key::gpsDictionary, 3 } }));
    EXPECT_EQ(info.cameraMaker, QStringLiteral("kept"));
    EXPECT_EQ(info.gpsLatitudeRef, QStringLiteral("N"));

    info.fillExifInfo(
        dictionary({ { Key::tiffDictionary, dictionary({ { Key::orientation, QStringLiteral("6") } }) } }));
    EXPECT_TRUE(info.cameraMaker.isEmpty());
    EXPECT_EQ(info.orientation, 0);
}

TEST(ExifFill, KeywordsKeepOnlyTextsAndOtherShapesAreSkipped)
{
    const ExifInfo mixed = filled(dictionary({ { Key::iptcDictionary,
        dictionary({ { Key::keywords, QVariantList { QStringLiteral("a"), 7, QStringLiteral("b") } } }) } }));
    EXPECT_EQ(mixed.keywords, QStringLiteral("ab"));

    QVariantMap single = camera();
    single.insert(QString(Key::iptcDictionary), dictionary({ { Key::keywords, QStringLiteral("beach") } }));
    const ExifInfo info = filled(single);
    EXPECT_TRUE(info.keywords.isEmpty());
    EXPECT_EQ(info.cameraLensModel, QStringLiteral("Lens 4.2mm"));
}

TEST(ExifFill, LensModelEmptiesWhenItsDictionaryIsBrokenAndStaysWhenAbsent)
{
    ExifInfo info;
    info.cameraLensModel = QStringLiteral("earlier");
    info.fillExifInfo(QVariantMap());
    EXPECT_EQ(info.cameraLensModel, QStringLiteral("earlier"));
    info.fillExifInfo(dictionary({ { Key::exifAuxDictionary, QStringLiteral("not a dictionary") } }));
    EXPECT_TRUE(info.cameraLensModel.isEmpty());
}

TEST(ExifTexts, OrientationNamesTheEightCodes)
{
    EXPECT_EQ(orientationText(0), QStringLiteral("--"));
    EXPECT_EQ(orientationText(1), QStringLiteral("1 (Normal)"));
    EXPECT_EQ(orientationText(3), QStringLiteral("3 (Rotated 180° CW)"));
    EXPECT_EQ(orientationText(8), QStringLiteral("8 (Rotated 90° CW)"));
    EXPECT_EQ(orientationText(9), QStringLiteral("--"));
    EXPECT_EQ(orientationText(-1), QStringLiteral("--"));
}

TEST(ExifTexts, CodedValuesNeedADecimalListedCode)
{
    EXPECT_EQ(meteringModeText(QStringLiteral("255")), QStringLiteral("other"));
    EXPECT_EQ(lightSourceText(QStringLiteral("16")), QStringLiteral("---"));
    EXPECT_EQ(lightSourceText(QStringLiteral("12")), QStringLiteral("Daylight fluorescent (D 5700 - 7100K)"));
    EXPECT_EQ(exposureModeText(QString()), QStringLiteral("---"));
    EXPECT_EQ(exposureModeText(QStringLiteral("a")), QStringLiteral("---"));
    EXPECT_EQ(exposureModeText(QStringLiteral(" 1")), QStringLiteral("---"));
    EXPECT_EQ(exposureModeText(QStringLiteral("1")), QStringLiteral("Manual exposure"));
    EXPECT_EQ(exposureProgramText(QStringLiteral("3")), QStringLiteral("Aperture priority"));
    EXPECT_EQ(sensingMethodText(QStringLiteral("0")), QStringLiteral("---"));
    EXPECT_EQ(sensingMethodText(QStringLiteral("7")), QStringLiteral("Trilinear sensor"));
    EXPECT_EQ(sceneCaptureTypeText(QStringLiteral("3")), QStringLiteral("Night scene"));
    EXPECT_EQ(sceneCaptureTypeText(QStringLiteral("99999999999999999999")), QStringLiteral("---"));
}

TEST(ExifTexts, GpsCoordinatesInDegreesMinutesSeconds)
{
    EXPECT_EQ(gpsCoordinateText(-33.5, QStringLiteral("S")), QStringLiteral("33°30'0\"S"));
    EXPECT_EQ(gpsCoordinateText(151.2093, QStringLiteral("E")), QStringLiteral("151°12'33\"E"));
    EXPECT_EQ(gpsCoordinateText(10.0, QString()), QStringLiteral("10°0'0\""));
    EXPECT_EQ(gpsCoordinateText(0.0001, QStringLiteral("N")), QStringLiteral("---"));
    EXPECT_EQ(gpsCoordinateText(std::nan(""), QStringLiteral("N")), QStringLiteral("---"));
    EXPECT_EQ(gpsCoordinateText(1e300, QStringLiteral("N")), QStringLiteral("---"));
}
