#include "platform/ImageProperties.h"
#include "core/ExifInfo.h"
#include "support/TestFiles.h"

#include <QColorSpace>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>

#include <exiv2/exiv2.hpp>

#include <functional>

namespace {

namespace Key = ImagePropertyKey;

struct ImagePropertiesTest : ::testing::Test {
    QTemporaryDir dir;

    QString jpeg(const QString& name, QImage::Format format = QImage::Format_RGB32) const
    {
        QImage image(64, 48, format);
        image.fill(Qt::darkCyan);
        const QString path = dir.filePath(name);
        EXPECT_TRUE(image.save(path, "JPEG"));
        return path;
    }

    static void tag(const QString& path, const std::function<void(Exiv2::Image&)>& edit)
    {
        const auto image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        ASSERT_TRUE(image.get());
        image->readMetadata();
        edit(*image);
        image->writeMetadata();
    }
};

} // namespace

TEST_F(ImagePropertiesTest, TaggedJpegFillsTheRecordThroughTheDictionary)
{
    const QString path = jpeg(QStringLiteral("camera.jpg"));
    tag(path, [](Exiv2::Image& image) {
        Exiv2::ExifData& exif = image.exifData();
        exif["Exif.Image.Make"] = "Maker";
        exif["Exif.Image.Orientation"] = uint16_t(1);
        exif["Exif.Image.XResolution"] = Exiv2::URational(289, 4); // 72.25: printf gives 72.2
        exif["Exif.Image.YResolution"] = Exiv2::URational(150, 1);
        exif["Exif.Photo.DateTimeOriginal"] = "2021:06:30 14:05:09";
        exif["Exif.Photo.FocalLength"] = Exiv2::URational(42, 10);
        exif["Exif.Photo.ExposureBiasValue"] = Exiv2::Rational(-1, 8);
        exif["Exif.Photo.ISOSpeedRatings"] = uint16_t(400);
        exif["Exif.Photo.MeteringMode"] = uint16_t(5);
        exif["Exif.Photo.Flash"] = uint16_t(25);
        exif["Exif.Photo.DigitalZoomRatio"] = Exiv2::URational(3, 2);
        exif["Exif.Photo.LensModel"] = "Lens 4.2mm";
        Exiv2::URationalValue latitude;
        latitude.read("33/1 30/1 0/1");
        exif.add(Exiv2::ExifKey("Exif.GPSInfo.GPSLatitude"), &latitude);
        exif["Exif.GPSInfo.GPSLatitudeRef"] = "S";
        for (const char* keyword : { "beach", "sun" }) {
            Exiv2::StringValue value(keyword);
            image.iptcData().add(Exiv2::IptcKey("Iptc.Application2.Keywords"), &value);
        }
        const QByteArray profile = QColorSpace(QColorSpace::SRgb).iccProfile();
        Exiv2::DataBuf buffer(reinterpret_cast<const Exiv2::byte*>(profile.constData()), profile.size());
        image.setIccProfile(buffer, false);
    });

    ExifInfo info;
    info.fillExifInfo(imagePropertiesOfFile(path));
    const std::pair<QString, const char*> texts[] = { { info.imageSize, "64 x 48" }, { info.imageDPI, "72.2 x 150.0" },
        { info.colorModel, "RGB" }, { info.profileName, "sRGB" }, { info.cameraMaker, "Maker" },
        { info.folcalLength, "4.2 mm" }, { info.exposureBias, "-0.12 EV" }, { info.isoSpeedRating, "400" },
        { meteringModeText(info.meteringMode), "Pattern" }, { info.digitalZoomRatio, "1.5" },
        { info.cameraLensModel, "Lens 4.2mm" },
        { gpsCoordinateText(info.gpsLatitude, info.gpsLatitudeRef), "33°30'0\"S" }, { info.keywords, "beach, sun" },
        { info.sensingMethod, "" } };
    for (const auto& [actual, expected] : texts)
        EXPECT_EQ(actual, QString::fromUtf8(expected));
    EXPECT_EQ(info.orientation, 1);
    EXPECT_EQ(info.captureDate, QDateTime(QDate(2021, 6, 30), QTime(14, 5, 9), Qt::LocalTime).toUTC());
    EXPECT_TRUE(info.flashFired);
}

TEST_F(ImagePropertiesTest, FilesThatAreNoPicturesGiveNoProperties)
{
    writeTestFile(dir.filePath(QStringLiteral("notes.jpg")), "just some text, not a picture");
    writeTestFile(dir.filePath(QStringLiteral("empty.jpg")), QByteArray());
    QFile whole(jpeg(QStringLiteral("whole.jpg")));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    writeTestFile(dir.filePath(QStringLiteral("truncated.jpg")), whole.read(40));
    makeTestFifo(dir.filePath(QStringLiteral("pipe.jpg")));
    ASSERT_TRUE(QFile::link(whole.fileName(), dir.filePath(QStringLiteral("link.jpg"))));
    ASSERT_FALSE(imagePropertiesOfFile(whole.fileName()).isEmpty());

    for (const char* name : { "notes.jpg", "empty.jpg", "missing.jpg", "pipe.jpg", "link.jpg" })
        EXPECT_TRUE(imagePropertiesOfFile(dir.filePath(QString::fromLatin1(name))).isEmpty()) << name;
    EXPECT_TRUE(imagePropertiesOfFile(dir.path()).isEmpty());
    // A cut-off picture may yield what its header holds, but never throws.
    imagePropertiesOfFile(dir.filePath(QStringLiteral("truncated.jpg")));
}

TEST(IccProfile, DescriptionOfWholeAndDamagedProfiles)
{
    using ImagePropertiesDetail::iccProfileDescription;
    const QByteArray profile = QColorSpace(QColorSpace::SRgb).iccProfile();
    const qsizetype entry = profile.indexOf("desc", 132); // in the tag table
    ASSERT_GT(entry, 0);
    const quint32 offset = qFromBigEndian<quint32>(profile.constData() + entry + 4);
    EXPECT_EQ(iccProfileDescription(profile), QStringLiteral("sRGB"));
    EXPECT_TRUE(iccProfileDescription(profile.left(offset + 12)).isEmpty());
    QByteArray lying = profile;
    qToBigEndian(quint32(0xFFFFFFF0), lying.data() + offset + 8); // ASCII count far past the end
    EXPECT_TRUE(iccProfileDescription(lying).isEmpty());
    QByteArray manyTags = profile;
    qToBigEndian(quint32(0xFFFFFFFF), manyTags.data() + 128);
    EXPECT_EQ(iccProfileDescription(manyTags), QStringLiteral("sRGB"));
    EXPECT_TRUE(iccProfileDescription(QByteArray(131, 'x')).isEmpty());
}
