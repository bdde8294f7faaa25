#include "platform/ImageProcessing.h"
#include "support/TestFiles.h"

#include <QFile>
#include <QImage>
#include <QImageReader>
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

    // The first and last pixel the drawn picture covers along one line of
    // the canvas, read from the alpha; (-1, -1) when it covers none.
    static std::pair<int, int> extent(const QImage& image, int line, bool alongRow)
    {
        int first = -1, last = -1;
        for (int i = 0; i < (alongRow ? image.width() : image.height()); ++i) {
            if (qAlpha(alongRow ? image.pixel(i, line) : image.pixel(line, i)) > 0) {
                first = first < 0 ? i : first;
                last = i;
            }
        }
        return { first, last };
    }
    static std::pair<int, int> horizontalExtent(const QImage& image, int y) { return extent(image, y, true); }
    static std::pair<int, int> verticalExtent(const QImage& image, int x) { return extent(image, x, false); }
};

} // namespace

TEST_F(Thumbnail, SquarePictureFillsTheHeightAndStandsCentred)
{
    const QImage image = resizedImageFromFile(picture(QStringLiteral("square.png"), 100, 100), 250, 240);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(250, 240));
    EXPECT_EQ(horizontalExtent(image, 10), std::make_pair(5, 244));
    EXPECT_EQ(verticalExtent(image, 125), std::make_pair(0, 239));
}

TEST_F(Thumbnail, WidePictureFillsTheWidthFromTheTop)
{
    const QImage image = resizedImageFromFile(picture(QStringLiteral("wide.png"), 400, 100), 250, 240);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(horizontalExtent(image, 10), std::make_pair(0, 249));
    EXPECT_EQ(verticalExtent(image, 125), std::make_pair(0, 62));
}

TEST_F(Thumbnail, TallPictureFillsTheHeightAndShowsWhole)
{
    const QImage image = resizedImageFromFile(picture(QStringLiteral("tall.png"), 100, 400), 250, 240);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(horizontalExtent(image, 10), std::make_pair(95, 154));
    EXPECT_EQ(verticalExtent(image, 125), std::make_pair(0, 239));
}

TEST_F(Thumbnail, NearlySquareWidePictureIsNotCutOff)
{
    // Wider than high, yet scaling to the full width would overflow the height.
    const QImage image = resizedImageFromFile(picture(QStringLiteral("almost.png"), 250, 245), 250, 240);
    ASSERT_FALSE(image.isNull());
    const auto [top, bottom] = verticalExtent(image, 125);
    EXPECT_EQ(top, 0);
    EXPECT_EQ(bottom, 239);
    EXPECT_EQ(horizontalExtent(image, 10).second - horizontalExtent(image, 10).first + 1, 245);
}

TEST_F(Thumbnail, CameraOrientationIsTurnedUpright)
{
    const QString path = picture(QStringLiteral("turned.jpg"), 80, 40, "JPEG");
    Exiv2::Image::AutoPtr tagged = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
    tagged->readMetadata();
    tagged->exifData()["Exif.Image.Orientation"] = uint16_t(6);
    tagged->writeMetadata();

    const QImage image = resizedImageFromFile(path, 250, 240);
    ASSERT_FALSE(image.isNull());
    // Shown 40 wide and 80 high: scaled by 3 to 120 by 240.
    EXPECT_EQ(horizontalExtent(image, 10), std::make_pair(65, 184));
    EXPECT_EQ(verticalExtent(image, 125), std::make_pair(0, 239));
}

TEST_F(Thumbnail, LargePictureIsDecodedOnlyAtTheDrawnSize)
{
    const QString path = picture(QStringLiteral("large.jpg"), 6000, 6000, "JPEG");
    // Decoded whole it would pass the reader's memory limit and give nothing.
    if (!QImageReader(path).read().isNull())
        GTEST_SKIP() << "the reader's memory limit allows decoding the whole picture";
    const QImage image = resizedImageFromFile(path, 250, 240);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(horizontalExtent(image, 10), std::make_pair(5, 244));
}

TEST_F(Thumbnail, AnythingButAPictureGivesNone)
{
    writeTestFile(dir.filePath(QStringLiteral("text.png")), "no picture here");
    writeTestFile(dir.filePath(QStringLiteral("empty.png")), QByteArray());
    makeTestFifo(dir.filePath(QStringLiteral("pipe.png")));
    for (const char* name : { "text.png", "empty.png", "pipe.png", "missing.png" })
        EXPECT_TRUE(resizedImageFromFile(dir.filePath(QString::fromLatin1(name)), 250, 240).isNull()) << name;
    EXPECT_TRUE(resizedImageFromFile(dir.path(), 250, 240).isNull());
    EXPECT_TRUE(resizedImageFromFile(std::nullopt, 250, 240).isNull());
    EXPECT_TRUE(resizedImageFromFile(picture(QStringLiteral("fine.png"), 10, 10), 0, 240).isNull());
}
