#include "platform/ImageProcessing.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <exiv2/exiv2.hpp>

namespace {

struct Thumbnail : ::testing::Test {
    QTemporaryDir dir;

    QString picture(const QString& name, int width, int height, const char* format = "PNG") const
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Qt::red);
        const QString path = dir.filePath(name);
        EXPECT_TRUE(image.save(path, format));
        return path;
    }

    // Where the drawn picture covers the canvas, read from the alpha.
    static QRect drawnRect(const QImage& image)
    {
        QRect covered;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                covered |= qAlpha(image.pixel(x, y)) > 0 ? QRect(x, y, 1, 1) : QRect();
        return covered;
    }
};

} // namespace

TEST(ThumbnailPlacement, FollowsTheGridsPlaceWithoutCuttingThePicture)
{
    using ImageProcessingDetail::thumbnailOrigin;
    const std::tuple<QSizeF, QSizeF, QPointF> table[]
        = { { { 240, 240 }, { 250, 240 }, { 4, 0 } }, // square: 4 points in
              { { 60, 240 }, { 250, 240 }, { 94, 0 } }, // tall: would stand 4 above the top
              { { 250, 62.5 }, { 250, 240 }, { 0, 0 } }, // wide: would stand 1 out of each side
              { { 240, 240 }, { 250, 300 }, { 4, 56 } }, { { 50, 100 }, { 100, 100 }, { 50, 0 } } };
    for (const auto& [drawn, canvas, origin] : table)
        EXPECT_EQ(thumbnailOrigin(drawn, canvas), origin) << drawn.width() << "x" << drawn.height();
}

TEST_F(Thumbnail, PictureIsScaledWholeTurnedUprightAndPlaced)
{
    const QImage square = resizedImageFromFile(picture(QStringLiteral("square.png"), 100, 100), 250, 240);
    EXPECT_EQ(square.size(), QSize(250, 240));
    EXPECT_EQ(drawnRect(square), QRect(4, 0, 240, 240));
    // Wider than high, yet scaling to the full width would overflow the height.
    const QImage almost = resizedImageFromFile(picture(QStringLiteral("almost.png"), 250, 245), 250, 240);
    EXPECT_EQ(drawnRect(almost), QRect(1, 0, 245, 240));

    const QString path = picture(QStringLiteral("turned.jpg"), 80, 40, "JPEG");
    const auto tagged = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
    tagged->readMetadata();
    tagged->exifData()["Exif.Image.Orientation"] = uint16_t(6);
    tagged->writeMetadata();
    // Shown 40 wide and 80 high: scaled by 3 to 120 by 240.
    EXPECT_EQ(drawnRect(resizedImageFromFile(path, 250, 240)), QRect(64, 0, 120, 240));
    EXPECT_EQ(ImageProcessing::resizeImageWithFilePath(path, 60).size(), QSize(30, 60));
    // Thumbnails keep their proportions and never grow.
    const QString wide = picture(QStringLiteral("wide.png"), 400, 100);
    EXPECT_EQ(ImageProcessing::resizeImageWithFilePath(wide, 100).size(), QSize(100, 25));
    EXPECT_EQ(ImageProcessing::resizeImageWithFilePath(wide, 1000).size(), QSize(400, 100));
}

TEST(GreyPicture, IsOpaqueGreyWithTransparencyTurnedBlack)
{
    QImage image(2, 1, QImage::Format_ARGB32);
    image.setPixel(0, 0, qRgba(255, 0, 0, 255));
    image.setPixel(1, 0, qRgba(255, 255, 255, 0));
    const QImage grey = ImageProcessing::convertOriginalImageToBWImageWithOriginalImage(image);
    EXPECT_EQ(grey.format(), QImage::Format_Grayscale8);
    const int red = qRed(grey.pixel(0, 0));
    EXPECT_TRUE(red > 0 && red < 255) << red;
    EXPECT_EQ(qRed(grey.pixel(1, 0)), 0);
    EXPECT_TRUE(ImageProcessing::convertOriginalImageToBWImageWithOriginalImage(QImage()).isNull());
}

TEST_F(Thumbnail, AnythingButAPictureGivesNone)
{
    writeTestFile(dir.filePath(QStringLiteral("text.png")), "no picture here");
    writeTestFile(dir.filePath(QStringLiteral("empty.png")), QByteArray());
    makeTestFifo(dir.filePath(QStringLiteral("pipe.png")));
    // A picture swapped for a link after the scan: the link is not followed.
    ASSERT_TRUE(QFile::link(picture(QStringLiteral("real.png"), 10, 10), dir.filePath(QStringLiteral("link.png"))));
    for (const char* name : { "text.png", "empty.png", "pipe.png", "missing.png", "link.png" }) {
        EXPECT_TRUE(resizedImageFromFile(dir.filePath(QString::fromLatin1(name)), 250, 240).isNull()) << name;
        EXPECT_TRUE(ImageProcessing::resizeImageWithFilePath(dir.filePath(QString::fromLatin1(name)), 99).isNull());
    }
    EXPECT_TRUE(resizedImageFromFile(dir.path(), 250, 240).isNull());
    EXPECT_TRUE(resizedImageFromFile(std::nullopt, 250, 240).isNull());
    EXPECT_TRUE(resizedImageFromFile(picture(QStringLiteral("fine.png"), 10, 10), 0, 240).isNull());
}
