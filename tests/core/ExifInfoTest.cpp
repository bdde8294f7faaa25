#include "core/ExifInfo.h"

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

} // namespace

TEST(ExifFill, EntriesOfUnexpectedShapeFallBack)
{
    ExifInfo info;
    info.fillExifInfo(dictionary({ { Key::dpiWidth, 300.0 },
        { Key::exifDictionary,
            dictionary({ { Key::dateTimeOriginal, QStringLiteral("soon") }, { Key::rating, 5 },
                { Key::exposureBiasValue, QStringLiteral("n/a") }, { Key::isoSpeedRatings, QVariantList {} },
                { Key::exposureMode, QStringLiteral("1") }, { Key::flash, 16 }, { Key::digitalZoomRatio, true } }) },
        { Key::tiffDictionary, dictionary({ { Key::orientation, QStringLiteral("6") } }) },
        { Key::iptcDictionary, dictionary({ { Key::keywords, QStringLiteral("beach") } }) },
        { Key::exifAuxDictionary, QStringLiteral("not a dictionary") } }));
    EXPECT_TRUE(info.imageDPI.isEmpty()); // needs both entries
    EXPECT_EQ(info.imageSize, QStringLiteral("0 x 0"));
    EXPECT_EQ(info.captureDate, std::nullopt);
    EXPECT_EQ(info.exposureBias, QStringLiteral("0.00 EV"));
    for (const QString& empty : { info.rating, info.isoSpeedRating, info.exposureMode, info.digitalZoomRatio,
             info.keywords, info.cameraLensModel })
        EXPECT_TRUE(empty.isEmpty()) << empty.toStdString();
    EXPECT_EQ(info.orientation, 0);
    // 16 is "flash off, did not fire": only bit 0 says it fired.
    EXPECT_FALSE(info.flashFired);

    info.cameraMaker = QStringLiteral("kept");
    info.cameraLensModel = QStringLiteral("kept");
    info.fillExifInfo(dictionary({ { Key::tiffDictionary, QStringLiteral("broken") }, { Key::gpsDictionary, 3 } }));
    EXPECT_EQ(info.cameraMaker, QStringLiteral("kept"));
    EXPECT_EQ(info.cameraLensModel, QStringLiteral("kept"));
}

TEST(ExifTexts, CodedValuesNeedADecimalListedCode)
{
    const std::pair<QString, const char*> table[] = { { orientationText(0), "--" },
        { orientationText(3), "3 (Rotated 180° CW)" }, { orientationText(9), "--" },
        { meteringModeText(QStringLiteral("255")), "other" }, { lightSourceText(QStringLiteral("16")), "---" },
        { lightSourceText(QStringLiteral("12")), "Daylight fluorescent (D 5700 - 7100K)" },
        { exposureModeText(QStringLiteral(" 1")), "---" }, { exposureModeText(QStringLiteral("1")), "Manual exposure" },
        { sensingMethodText(QStringLiteral("7")), "Trilinear sensor" },
        { sceneCaptureTypeText(QStringLiteral("99999999999999999999")), "---" },
        { gpsCoordinateText(151.2093, QStringLiteral("E")), "151°12'33\"E" },
        { gpsCoordinateText(0.0001, QStringLiteral("N")), "---" },
        { gpsCoordinateText(std::nan(""), QStringLiteral("N")), "---" },
        { gpsCoordinateText(1e300, QStringLiteral("N")), "---" } };
    for (const auto& [actual, expected] : table)
        EXPECT_EQ(actual, QString::fromUtf8(expected));
}
