#include "platform/ImageProcessing.h"
#include "platform/PictureChecks.h"
#include "support/CameraPictures.h"
#include "support/ChildProcess.h"
#include "support/HostilePictures.h"
#include "support/MemoryGrowth.h"
#include "support/TestFiles.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using namespace HostilePictures;

// Generous beside the milliseconds a refusal takes; a decoder that takes a
// crafted file at its word runs for many seconds, or for ever.
constexpr qint64 deadlineMs = 30'000;
// Far below the hundreds of megabytes a decoder that believes one of the
// files takes, and what a run away child may reserve before it fails.
constexpr qint64 memoryBound = scaledMemoryBound(64ll << 20);
constexpr qint64 addressBound = 1536ll << 20;

QByteArray encoded(const QImage& image, const char* format, bool progressive = false)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setProgressiveScanWrite(progressive);
    EXPECT_TRUE(writer.write(image)) << format;
    return bytes;
}

QString drawing(int width, int height)
{
    return QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                          "width=\"%1\" height=\"%2\"><rect id=\"r\" width=\"10\" height=\"10\" fill=\"blue\"/>"
                          "<use xlink:href=\"#r\" x=\"20\"/></svg>")
        .arg(width)
        .arg(height);
}

// What PictureChecks counts of a JPEG's bytes; it leaves the device where it
// found it.
JpegCost costOf(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    const JpegCost cost = jpegCost(buffer);
    EXPECT_EQ(buffer.pos(), 0);
    return cost;
}

// How far apart two pixels are, in their most different colour.
int apart(QRgb one, QRgb other)
{
    return std::max({ std::abs(qRed(one) - qRed(other)), std::abs(qGreen(one) - qGreen(other)),
        std::abs(qBlue(one) - qBlue(other)) });
}

struct BoundedPictures : ::testing::Test {
    QTemporaryDir dir;

    QString file(const QString& name, const QByteArray& bytes) const
    {
        const QString path = dir.filePath(name);
        writeTestFile(path, bytes);
        return path;
    }

    // The picture at path through every road into the decoder: the grid's
    // thumbnail, the preview (from the open file) and a service's thumbnail.
    static std::vector<QImage> decodedEveryWay(const QString& path, int size)
    {
        QFile device(path);
        device.open(QIODevice::ReadOnly);
        const QByteArray bytes = device.readAll();
        device.seek(0);
        return { ImageProcessing::resizeImageWithFilePath(path, size), resizedImageFromFile(path, 250, 240),
            ImageProcessing::resizeImageFromDevice(device, path, size),
            ImageProcessing::resizeDownloadedImage(bytes, QSize(size, size), ImageProcessing::largestPicturePixels) };
    }
};

} // namespace

TEST_F(BoundedPictures, CraftedPicturesAreRefusedSoonWithinABoundOfMemory)
{
    const QByteArray bomb = vectorBomb(256ll << 20);
    const QString fifo = dir.filePath(QStringLiteral("pipe.png"));
    makeTestFifo(fifo);
    const std::pair<const char*, QByteArray> cases[] = {
        { "bomb.jpg", bomb },
        { "bomb.svgz", bomb },
        { "bomb.svg", bomb },
        { "scans.jpg", manyScanJpeg(8192, 8192, 2000) },
        { "header.png", largePng(100'000, 100'000) },
        { "large.png", largePng(16'000, 12'000) },
        { "outside.svg", vectorReferringTo(QFile::encodeName(fifo)) },
        { "entity.svg",
            "<!DOCTYPE svg [<!ENTITY there \"" + QFile::encodeName(fifo) + "\">]>" + vectorReferringTo("&there;") },
        { "holding.svg", vectorReferringTo("data:image/png;base64," + bomb.toBase64()) },
    };
    for (const auto& [name, bytes] : cases) {
        const QString path = file(QString::fromLatin1(name), bytes);
        const BoundedRun run = runBoundedChild(
            [&] {
                int shown = 0;
                for (const QImage& image : decodedEveryWay(path, 256))
                    shown += image.isNull() ? 0 : 1;
                return shown;
            },
            deadlineMs, addressBound);
        EXPECT_FALSE(run.pastDeadline) << name;
        EXPECT_EQ(run.exitCode, 0) << name;
        EXPECT_LT(run.peakGrowthBytes, memoryBound) << name << ": " << run.elapsedMs << " ms";
    }
}

TEST_F(BoundedPictures, OrdinaryPicturesDecodeAtTheSizeAsked)
{
    QImage source(400, 200, QImage::Format_RGB32);
    source.fill(Qt::blue);
    const QString svg = drawing(400, 200);
    const std::pair<const char*, QByteArray> pictures[] = {
        { "photo.jpg", encoded(source, "jpeg") },
        { "progressive.JPEG", encoded(source, "jpeg", true) },
        { "plain.png", encoded(source, "png") },
        { "plain.bmp", encoded(source, "bmp") },
        { "drawing.svg", svg.toUtf8() },
        { "drawing.svgz", gzipped(svg.toUtf8()) },
    };
    for (const auto& [name, bytes] : pictures) {
        const std::vector<QImage> decoded = decodedEveryWay(file(QString::fromLatin1(name), bytes), 100);
        // A service's thumbnail is never a vector picture.
        const bool vector = QByteArray(name).startsWith("drawing");
        for (size_t way = 0; way < decoded.size(); ++way) {
            const QSize expected = way == 1 ? QSize(250, 240) : vector && way == 3 ? QSize(0, 0) : QSize(100, 50);
            EXPECT_EQ(decoded[way].size(), expected) << name << " way " << way;
        }
    }
    // Never enlarged: a picture of one pixel.
    const QByteArray dot("GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff\x2c\x00\x00\x00\x00\x01\x00\x01"
                         "\x00\x00\x02\x02\x44\x01\x00\x3b",
        35);
    EXPECT_EQ(ImageProcessing::resizeImageWithFilePath(file(QStringLiteral("dot.gif"), dot), 100).size(), QSize(1, 1));
}

TEST_F(BoundedPictures, ARasterPictureIsDecodedAsItsContentSaysAVectorOneOnlyByItsName)
{
    QImage source(40, 20, QImage::Format_RGB32);
    source.fill(Qt::green);
    const QByteArray png = encoded(source, "png");
    // Named as one raster picture, written as another: shown as what it is.
    for (const auto& [name, bytes] : { std::pair { "png.jpg", png }, { "jpeg.png", encoded(source, "jpeg") },
             { "bmp.gif", encoded(source, "bmp") } }) {
        const QString path = file(QString::fromLatin1(name), bytes);
        EXPECT_EQ(ImageProcessing::resizeImageWithFilePath(path, 100).size(), QSize(40, 20)) << name;
        QFile device(path);
        ASSERT_TRUE(device.open(QIODevice::ReadOnly));
        EXPECT_EQ(ImageProcessing::resizeImageFromDevice(device, path, 100).size(), QSize(40, 20)) << name;
    }
    // A vector picture only by its name, and nothing whose name is no picture's.
    for (const auto& [name, bytes] : { std::pair { "drawing.png", drawing(40, 20).toUtf8() },
             { "drawing.jpg", drawing(40, 20).toUtf8() }, { "png.svg", png }, { "png.txt", png }, { "png", png } }) {
        const QString path = file(QString::fromLatin1(name), bytes);
        EXPECT_TRUE(ImageProcessing::resizeImageWithFilePath(path, 100).isNull()) << name;
        QFile device(path);
        ASSERT_TRUE(device.open(QIODevice::ReadOnly));
        EXPECT_TRUE(ImageProcessing::resizeImageFromDevice(device, path, 100).isNull()) << name;
    }
    EXPECT_EQ(pictureFormatForName(QStringLiteral("/a.b/Photo.JPG")), "jpeg");
    EXPECT_EQ(pictureFormatForName(QStringLiteral("/a.jpg/photo")), "");
}

// The largest pictures cameras and phones write, at their real sizes: each
// gets its grid thumbnail and its preview at the size shown, and two of the
// largest progressive ones at once (the grid's two decoders) take the memory
// of one at a time.
TEST_F(BoundedPictures, EveryCamerasPictureDecodesAtTheSizeShownOneLargeBufferAtATime)
{
    using CameraPictures::Chroma;
    struct Camera {
        const char* name;
        CameraPictures::Jpeg picture;
        QSize thumbnail;
        QSize preview;
    };
    const Camera cameras[] = {
        { "re-exported.jpg", { 6000, 4000, Chroma::full, true }, { 256, 171 }, { 1200, 800 } },
        { "fifty.jpg", { 8688, 5792, Chroma::halfBothWays, true }, { 256, 171 }, { 1200, 800 } },
        { "fifty-full.jpg", { 8688, 5792, Chroma::full, true }, { 256, 171 }, { 1200, 800 } },
        { "hundred.jpg", { 11648, 8736, Chroma::halfBothWays, false }, { 256, 192 }, { 1200, 900 } },
    };
    for (const Camera& camera : cameras) {
        const QString path = dir.filePath(QString::fromLatin1(camera.name));
        ASSERT_TRUE(CameraPictures::write(path, camera.picture)) << camera.name;
        QFile device(path);
        ASSERT_TRUE(device.open(QIODevice::ReadOnly));
        EXPECT_EQ(jpegRefusal(device), "") << camera.name;
        EXPECT_EQ(ImageProcessing::resizeImageWithFilePath(path, 256).size(), camera.thumbnail) << camera.name;
        EXPECT_EQ(resizedImageFromFile(path, 250, 240).size(), QSize(250, 240)) << camera.name;
        EXPECT_EQ(ImageProcessing::resizeImageFromDevice(device, path, 1200).size(), camera.preview) << camera.name;
    }

    // Its buffer of coefficients alone takes 302 MB. Decoded here, not in a
    // child: the toolkit's scaling runs on threads a child would not have.
    const QString largest = dir.filePath(QStringLiteral("fifty-full.jpg"));
    const MemoryGrowth memory;
    std::atomic<int> shown = 0;
    const auto decode
        = [&](int size) { shown += ImageProcessing::resizeImageWithFilePath(largest, size).isNull() ? 0 : 1; };
    std::thread first(decode, 256);
    std::thread second(decode, 1200);
    first.join();
    second.join();
    EXPECT_EQ(shown, 2);
    EXPECT_GT(memory.peakMiB(), 280);
    EXPECT_LT(memory.peakMiB(), 400);
}

// A JPEG cut short (a download broken off, a card pulled out) shows what of
// it was decoded, the rest grey; one cut before a tenth of it was decoded, a
// strip along its top or a few of its first blocks over a grey box, is no
// picture: its type's icon shows. A progressive one cut after its first scan
// is whole, if coarse.
TEST_F(BoundedPictures, AJpegCutShortShowsWhatDecodedAndIsNoPictureWhenAlmostNothingDid)
{
    using CameraPictures::Chroma;
    struct Cut {
        const char* where;
        qsizetype length;
        bool shown;
    };
    const auto cutsOf = [](const QByteArray& bytes, bool progressive) {
        const CameraPictures::ScanData scan = CameraPictures::firstScanData(bytes);
        std::vector<Cut> cuts = {
            { "scan header", scan.start, false },
            { "two bytes of its data", scan.start + 2, false },
            { "a twentieth of its first scan", scan.at(0.05), false },
            { "a fifth of its first scan", scan.at(0.2), true },
            { "end marker", bytes.size() - 2, true },
        };
        if (progressive)
            cuts.push_back({ "after its first scan", scan.end, true });
        else
            cuts.push_back({ "half", bytes.size() / 2, true });
        return cuts;
    };
    const std::pair<const char*, CameraPictures::Jpeg> pictures[] = {
        { "plain", { 640, 480, Chroma::halfBothWays, false, 12 } },
        { "progressive", { 640, 480, Chroma::halfBothWays, true, 12 } },
        { "camera", { 6000, 4000 } },
        { "re-exported", { 6000, 4000, Chroma::full, true } },
        { "arithmetic", { 640, 480, Chroma::halfBothWays, false, 12, 90, 0, true } },
        { "progressive arithmetic", { 640, 480, Chroma::halfBothWays, true, 12, 90, 0, true } },
    };
    for (const auto& [name, picture] : pictures) {
        const QString whole = dir.filePath(QStringLiteral("%1.jpg").arg(QLatin1String(name)));
        ASSERT_TRUE(CameraPictures::write(whole, picture));
        const QByteArray bytes = readTestFile(whole);
        for (const auto& [where, length, shown] : cutsOf(bytes, picture.progressive)) {
            const QString path = file(QStringLiteral("cut.jpg"), bytes.left(length));
            for (const QImage& image : decodedEveryWay(path, 100))
                EXPECT_EQ(image.isNull(), !shown) << name << ", cut at " << where;
        }
    }
    // A photo's first kilobytes: its headers and the start of its first
    // scan, a line of colour at most.
    const QByteArray photo = readTestFile(dir.filePath(QStringLiteral("re-exported.jpg")));
    for (qsizetype length = 1000; length <= 8000; length += 1000) {
        const QString path = file(QStringLiteral("start.jpg"), photo.left(length));
        for (const QImage& image : decodedEveryWay(path, 250))
            EXPECT_TRUE(image.isNull()) << length << " bytes";
    }
}

// What of a JPEG cut short its decoder drew is counted from its bytes: the
// units of blocks of its first scan that its data reached. In the picture the
// toolkit decodes from those bytes every unit counted is drawn, and nothing
// beyond them but the unit the data ended in and, in a progressive picture,
// the smoothing of its coarse first values, which reaches two units around.
TEST(PictureChecks, AJpegCutShortCountsWhatItsDecoderDrew)
{
    using CameraPictures::Chroma;
    QTemporaryDir dir;
    struct Case {
        const char* name;
        CameraPictures::Jpeg picture;
        // A unit of blocks, in pixels.
        QSize unit;
    };
    const Case cases[] = {
        { "plain", { 640, 480, Chroma::halfBothWays, false, 12 }, { 16, 16 } },
        { "restarts", { 640, 480, Chroma::halfBothWays, false, 12, 90, 7 }, { 16, 16 } },
        { "full colours", { 640, 480, Chroma::full, false, 12 }, { 8, 8 } },
        { "progressive", { 630, 470, Chroma::halfBothWays, true, 12 }, { 16, 16 } },
        { "progressive with restarts", { 640, 480, Chroma::halfAcross, true, 12, 90, 5 }, { 16, 8 } },
    };
    const auto grey = [](QRgb pixel) {
        return std::abs(qRed(pixel) - 128) <= 2 && std::abs(qGreen(pixel) - 128) <= 2
            && std::abs(qBlue(pixel) - 128) <= 2;
    };
    for (const Case& each : cases) {
        const QString path = dir.filePath(QStringLiteral("picture.jpg"));
        ASSERT_TRUE(CameraPictures::write(path, each.picture));
        const QByteArray bytes = readTestFile(path);
        const CameraPictures::ScanData scan = CameraPictures::firstScanData(bytes);
        ASSERT_GT(scan.end, scan.start) << each.name;
        EXPECT_EQ(costOf(bytes).drawnShare, 1.0) << each.name;
        const int across = (each.picture.width + each.unit.width() - 1) / each.unit.width();
        const int down = (each.picture.height + each.unit.height() - 1) / each.unit.height();
        const int reach = each.picture.progressive ? 2 : 0;
        for (const double share : { 0.0, 0.003, 0.05, 0.3, 0.7, 0.98 }) {
            const QByteArray cut = bytes.left(scan.at(share));
            const JpegCost counted = costOf(cut);
            EXPECT_TRUE(counted.cutShort);
            const QImage drawn = QImage::fromData(cut, "jpeg").convertToFormat(QImage::Format_RGB32);
            ASSERT_FALSE(drawn.isNull()) << each.name << " " << share;
            const auto countedUnits = qint64(std::lround(counted.drawnShare * across * down));
            for (int unit = 0; unit < across * down; ++unit) {
                const int row = unit / across;
                const int column = unit % across;
                const QPoint centre(std::min(column * each.unit.width() + each.unit.width() / 2, drawn.width() - 1),
                    std::min(row * each.unit.height() + each.unit.height() / 2, drawn.height() - 1));
                // Near a unit counted, or the one after them.
                bool near = false;
                for (int r = std::max(0, row - reach); !near && r <= row + reach; ++r) {
                    for (int c = std::max(0, column - reach); c <= std::min(across - 1, column + reach); ++c)
                        near = near || r * across + c <= countedUnits;
                }
                if (unit < countedUnits) {
                    ASSERT_FALSE(grey(drawn.pixel(centre))) << each.name << ", cut " << share << ", unit " << unit;
                } else if (!near) {
                    ASSERT_TRUE(grey(drawn.pixel(centre))) << each.name << ", cut " << share << ", unit " << unit;
                }
            }
        }
        // A scan followed by the next segment's marker is whole, however
        // little follows it.
        if (each.picture.progressive) {
            EXPECT_EQ(costOf(bytes.left(scan.end + 2)).drawnShare, 1.0) << each.name;
        }
    }
}

// A JPEG of arithmetic codes cut short is drawn as far as its data reached;
// past that its decoder goes on with zeros for data, which draw no part of the
// picture. What is counted is what it drew: its first scan's units up to
// about where its bytes end, before and between restart markers alike.
TEST(PictureChecks, AnArithmeticJpegCutShortCountsWhatItsDecoderDrew)
{
    using CameraPictures::Chroma;
    QTemporaryDir dir;
    struct Case {
        const char* name;
        CameraPictures::Jpeg picture;
        QSize unit;
    };
    const Case cases[] = {
        { "plain", { 640, 480, Chroma::halfBothWays, false, 12, 90, 0, true }, { 16, 16 } },
        { "restarts", { 640, 480, Chroma::halfBothWays, false, 12, 90, 7, true }, { 16, 16 } },
        { "full colours", { 640, 480, Chroma::full, false, 30, 95, 0, true }, { 8, 8 } },
        { "coarse grain, finest quality", { 640, 480, Chroma::full, false, 64, 100, 0, true }, { 8, 8 } },
        { "progressive", { 640, 480, Chroma::halfAcross, true, 12, 90, 0, true }, { 16, 8 } },
        { "progressive with restarts", { 640, 480, Chroma::halfBothWays, true, 12, 90, 5, true }, { 16, 16 } },
    };
    for (const Case& each : cases) {
        const QString path = dir.filePath(QStringLiteral("picture.jpg"));
        ASSERT_TRUE(CameraPictures::write(path, each.picture));
        const QByteArray bytes = readTestFile(path);
        const CameraPictures::ScanData scan = CameraPictures::firstScanData(bytes);
        ASSERT_GT(scan.end, scan.start) << each.name;
        EXPECT_EQ(costOf(bytes).drawnShare, 1.0) << each.name;
        // The first scan whole, as its decoder draws it.
        const QImage meant
            = QImage::fromData(bytes.left(scan.end) + "\xff\xd9", "jpeg").convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(meant.isNull()) << each.name;
        const int across = each.picture.width / each.unit.width();
        const int units = across * (each.picture.height / each.unit.height());
        for (const double share : { 0.05, 0.3, 0.6, 0.9 }) {
            const QByteArray cut = bytes.left(scan.at(share));
            const JpegCost counted = costOf(cut);
            EXPECT_TRUE(counted.cutShort);
            const QImage drawn = QImage::fromData(cut, "jpeg").convertToFormat(QImage::Format_RGB32);
            ASSERT_FALSE(drawn.isNull()) << each.name << " " << share;
            // The units drawn as the whole scan draws them, in order: a
            // progressive picture's coarse values are smoothed over two
            // blocks around, so up to two rows of units before its cut
            // already differ.
            int drawnUnits = 0;
            for (; drawnUnits < units; ++drawnUnits) {
                const QPoint centre(drawnUnits % across * each.unit.width() + each.unit.width() / 2,
                    drawnUnits / across * each.unit.height() + each.unit.height() / 2);
                if (apart(drawn.pixel(centre), meant.pixel(centre)) > 2)
                    break;
            }
            const int slack = each.picture.progressive ? 2 * across + 2 : 2;
            const auto countedUnits = int(std::lround(counted.drawnShare * units));
            EXPECT_GE(countedUnits, drawnUnits - 2) << each.name << ", cut " << share;
            EXPECT_LE(countedUnits, drawnUnits + slack) << each.name << ", cut " << share;
            EXPECT_NEAR(counted.drawnShare, share, 0.1) << each.name << ", cut " << share;
        }
    }
}

// Past what of a JPEG cut short its decoder drew from data the picture shows
// grey, whatever its decoder draws there: rubbish from the zeros it takes for
// arithmetic codes, or the colours of the scans before the one cut short
// when each colour has a scan of its own. What is counted is the share of the
// scan cut short, and the grey stands where the picture is shown upright.
TEST_F(BoundedPictures, AJpegCutShortIsGreyPastWhatItsDecoderDrewInEveryScanLayout)
{
    using CameraPictures::Chroma;
    struct Case {
        const char* name;
        CameraPictures::Jpeg picture;
        // The scan cut short, and its units of blocks in pixels.
        int scan;
        QSize unit;
        // Whether the rows drawn are the whole picture's.
        bool complete;
    };
    const Case cases[] = {
        { "arithmetic", { 640, 480, Chroma::halfBothWays, false, 12, 90, 0, true }, 0, { 16, 16 }, true },
        { "arithmetic with restarts", { 640, 480, Chroma::halfBothWays, false, 12, 90, 7, true }, 0, { 16, 16 }, true },
        { "arithmetic, brightness scan", { 640, 480, Chroma::halfBothWays, false, 12, 90, 0, true, true }, 0, { 8, 8 },
            false },
        { "arithmetic, first colour's scan", { 640, 480, Chroma::halfBothWays, false, 12, 90, 0, true, true }, 1,
            { 16, 16 }, false },
        { "arithmetic, last colour's scan", { 640, 480, Chroma::halfBothWays, false, 12, 90, 0, true, true }, 2,
            { 16, 16 }, true },
        { "first colour's scan", { 640, 480, Chroma::halfBothWays, false, 12, 90, 0, false, true }, 1, { 16, 16 },
            false },
        { "last colour's scan", { 640, 480, Chroma::halfAcross, false, 12, 90, 0, false, true }, 2, { 16, 8 }, true },
    };
    const auto grey = [](QRgb pixel) { return apart(pixel, qRgb(128, 128, 128)) <= 2; };
    // Shown turned a quarter clockwise: its orientation in its metadata.
    const QByteArray turned = QByteArray::fromHex("ffe10022457869660000" // APP1, "Exif"
                                                  "4d4d002a00000008" // big-endian, first directory at 8
                                                  "0001011200030000000100060000" // orientation 6
                                                  "00000000");
    for (const Case& each : cases) {
        const QString path = dir.filePath(QStringLiteral("picture.jpg"));
        ASSERT_TRUE(CameraPictures::write(path, each.picture));
        const QByteArray bytes = readTestFile(path);
        const QImage whole = QImage::fromData(bytes, "jpeg").convertToFormat(QImage::Format_RGB32);
        const CameraPictures::ScanData scan = CameraPictures::scanData(bytes, each.scan);
        ASSERT_GT(scan.end, scan.start) << each.name;
        const int across = each.picture.width / each.unit.width();
        const int down = each.picture.height / each.unit.height();
        for (const double share : { 0.3, 0.6, 0.9 }) {
            const QByteArray cut = bytes.left(scan.at(share));
            const JpegCost counted = costOf(cut);
            EXPECT_TRUE(counted.cutShort);
            // A scan's bytes are spent unevenly over the picture.
            EXPECT_GT(counted.drawnShare, 0.02) << each.name << ", cut " << share;
            EXPECT_LT(counted.drawnShare, 0.99) << each.name << ", cut " << share;
            const int cutRow = int(counted.drawnShare * across * down) / across;
            const QImage own = QImage::fromData(cut, "jpeg").convertToFormat(QImage::Format_RGB32);
            for (const bool upright : { false, true }) {
                const QByteArray shown = upright ? cut.left(2) + turned + cut.mid(2) : cut;
                const QString cutPath = file(QStringLiteral("cut.jpg"), shown);
                // At its size and at half of it.
                for (const int size : { 640, 320 }) {
                    const QImage drawn
                        = ImageProcessing::resizeImageWithFilePath(cutPath, size).convertToFormat(QImage::Format_RGB32);
                    const double scale = size / 640.0;
                    ASSERT_EQ(drawn.size(), (upright ? QSize(480, 640) : QSize(640, 480)) * scale) << each.name;
                    for (int unit = 0; unit < across * down; ++unit) {
                        const int row = unit / across;
                        const QPoint centre(unit % across * each.unit.width() + each.unit.width() / 2,
                            row * each.unit.height() + each.unit.height() / 2);
                        // Where the picture shows the stored pixel.
                        const QPointF place = upright ? QPointF(479 - centre.y(), centre.x()) : QPointF(centre);
                        const QRgb pixel = drawn.pixel((place * scale).toPoint());
                        const QString where = QStringLiteral("%1, cut %2, unit %3, %4 upright, size %5")
                                                  .arg(QLatin1String(each.name))
                                                  .arg(share)
                                                  .arg(unit)
                                                  .arg(upright ? "turned" : "not")
                                                  .arg(size);
                        if (row > cutRow + 1) {
                            ASSERT_TRUE(grey(pixel)) << qPrintable(where);
                        } else if (row + 1 < cutRow && size == 640) {
                            // As its decoder drew it, and as the whole picture
                            // draws it where every colour was drawn.
                            ASSERT_LE(apart(pixel, own.pixel(centre)), 3) << qPrintable(where);
                            if (each.complete) {
                                ASSERT_LE(apart(pixel, whole.pixel(centre)), 3) << qPrintable(where);
                            }
                        }
                    }
                }
            }
        }
    }
}

// The codes of a JPEG cut short are counted as its decoder reads them. A
// picture that leaves out its tables (a video camera's frame) is decoded with
// the standard ones; each restart interval stands on its own, and one whose
// data is missing or damaged draws none of the picture, however many follow.
TEST(PictureChecks, AJpegCutShortIsCountedWithTheTablesAndRestartsItsDecoderUses)
{
    using CameraPictures::Chroma;
    QTemporaryDir dir;
    const auto written = [&](const CameraPictures::Jpeg& picture) {
        const QString path = dir.filePath(QStringLiteral("picture.jpg"));
        EXPECT_TRUE(CameraPictures::write(path, picture));
        return readTestFile(path);
    };
    const auto shown = [&](const QByteArray& bytes) {
        const QString path = dir.filePath(QStringLiteral("cut.jpg"));
        writeTestFile(path, bytes);
        return !ImageProcessing::resizeImageWithFilePath(path, 100).isNull();
    };

    // The standard tables are those the system's library writes by default.
    const QByteArray tabled = written({ 640, 480, Chroma::halfBothWays, false, 12 });
    QByteArray bare = tabled;
    for (qsizetype at = 2; quint8(bare[at + 1]) != 0xda;) {
        const qsizetype length = 2 + (quint8(bare[at + 2]) << 8 | quint8(bare[at + 3]));
        if (quint8(bare[at + 1]) == 0xc4)
            bare.remove(at, length);
        else
            at += length;
    }
    ASSERT_LT(bare.size(), tabled.size());
    ASSERT_EQ(QImage::fromData(bare, "jpeg"), QImage::fromData(tabled, "jpeg"));
    const CameraPictures::ScanData tabledScan = CameraPictures::firstScanData(tabled);
    const CameraPictures::ScanData bareScan = CameraPictures::firstScanData(bare);
    for (const double share : { 0.05, 0.5 }) {
        const double counted = costOf(bare.left(bareScan.at(share))).drawnShare;
        EXPECT_EQ(counted, costOf(tabled.left(tabledScan.at(share))).drawnShare) << share;
        EXPECT_EQ(shown(bare.left(bareScan.at(share))), share > 0.1) << share;
    }

    // Units of 16 by 16 pixels, 7 an interval: 40 by 30 units, 172 intervals.
    const QByteArray restarting = written({ 640, 480, Chroma::halfBothWays, false, 12, 90, 7 });
    const QImage whole = QImage::fromData(restarting, "jpeg").convertToFormat(QImage::Format_RGB32);
    const CameraPictures::ScanData scan = CameraPictures::firstScanData(restarting);
    const qsizetype firstRestart = restarting.indexOf("\xff\xd0", scan.start);
    ASSERT_GT(firstRestart, scan.start);
    const std::pair<const char*, QByteArray> intervals[] = { { "missing", {} }, { "damaged", "\xff\x00\xff\x00" } };
    for (const auto& [what, data] : intervals) {
        QByteArray cut = restarting.left(firstRestart);
        for (int interval = 1; interval < 172; ++interval)
            cut += QByteArray("\xff") + char(0xd0 + (interval - 1) % 8) + data;
        const JpegCost counted = costOf(cut);
        EXPECT_TRUE(counted.cutShort) << what;
        EXPECT_EQ(std::lround(counted.drawnShare * 1200), 7) << what;
        // The first interval as the whole picture draws it, then grey (the
        // first unit of each interval a block its decoder makes up).
        const QImage drawn = QImage::fromData(cut, "jpeg").convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(drawn.isNull()) << what;
        for (int unit = 0; unit < 1200; ++unit) {
            const QPoint centre(unit % 40 * 16 + 8, unit / 40 * 16 + 8);
            const int off = apart(drawn.pixel(centre), whole.pixel(centre));
            ASSERT_EQ(off <= 2, unit < 7) << what << ", unit " << unit << ", " << off << " apart";
        }
        EXPECT_FALSE(shown(cut)) << what;
    }
}

// Whether a JPEG cut short shows is decided from the first tenth of its
// units: its data is read again no further than that, however far it goes,
// and its decoder reads it once more.
TEST_F(BoundedPictures, AJpegCutShortIsReadAgainOnlyAsFarAsDecidesWhetherItShows)
{
    // The bytes read after a first reading to the end, until a reading from
    // the start again (its decoder's, when it reads through the device).
    struct ReadsAgain : QBuffer {
        bool readThrough = false;
        bool fromStart = false;
        qint64 again = 0;
        qint64 readData(char* data, qint64 most) override
        {
            fromStart = fromStart || (readThrough && pos() == 0);
            const qint64 got = QBuffer::readData(data, most);
            readThrough = readThrough || got <= 0;
            if (readThrough && !fromStart)
                again += std::max<qint64>(0, got);
            return got;
        }
    };
    const QString path = dir.filePath(QStringLiteral("camera.jpg"));
    ASSERT_TRUE(CameraPictures::write(path, { 6000, 4000 }));
    const QByteArray bytes = readTestFile(path);
    const CameraPictures::ScanData scan = CameraPictures::firstScanData(bytes);
    for (const double share : { 0.5, 0.95 }) {
        ReadsAgain device;
        device.setData(bytes.left(scan.at(share)));
        device.open(QIODevice::ReadOnly);
        EXPECT_FALSE(ImageProcessing::resizeImageFromDevice(device, path, 250).isNull()) << share;
        EXPECT_GT(device.again, 0) << share;
        EXPECT_LT(device.again, (scan.end - scan.start) / 8 + (64 << 10)) << share;
    }
}

TEST(PictureChecks, AJpegsScansAndCoefficientsAreCountedBeforeItIsDecoded)
{
    using PictureBounds::jpegScans;
    const auto refusal = [](const QByteArray& bytes) { return costOf(bytes).refusal; };
    QImage source(640, 480, QImage::Format_RGB32);
    source.fill(Qt::red);
    EXPECT_EQ(refusal(encoded(source, "jpeg", true)), "");
    // 262,144 blocks a scan, then 1,048,576.
    EXPECT_EQ(refusal(manyScanJpeg(4096, 4096, jpegScans)), "");
    EXPECT_NE(refusal(manyScanJpeg(4096, 4096, jpegScans + 1)), "");
    EXPECT_EQ(refusal(manyScanJpeg(8192, 8192, 30)), "");
    EXPECT_NE(refusal(manyScanJpeg(8192, 8192, 31)), "");
    // 320 MB of coefficients, and a row of blocks more.
    EXPECT_EQ(refusal(manyScanJpeg(16384, 10240, 1)), "");
    EXPECT_NE(refusal(manyScanJpeg(16384, 10248, 1)), "");
    EXPECT_EQ(refusal("no picture"), "");

    // The buffer a decoder holds: none for a picture in one scan.
    const auto buffer = [](const QByteArray& bytes) {
        QBuffer device;
        device.setData(bytes);
        device.open(QIODevice::ReadOnly);
        return jpegCost(device).bufferBytes;
    };
    EXPECT_EQ(buffer(encoded(source, "jpeg")), 0);
    // 80 by 60 blocks of brightness, a quarter as many of each colour.
    EXPECT_EQ(buffer(encoded(source, "jpeg", true)), (4800 + 2 * 1200) * 128);
    EXPECT_EQ(buffer(manyScanJpeg(8192, 8192, 2)), 128ll << 20);

    // Asked whether that buffer is past a size, the walk stops where it is
    // known to be: for a progressive picture, at its frame's header.
    const auto readThrough = [](const QByteArray& bytes, qint64 past) {
        QBuffer device;
        device.setData(bytes);
        device.open(QIODevice::ReadOnly);
        const JpegCost cost = jpegCost(device, past);
        EXPECT_EQ(device.pos(), 0);
        return cost.whole;
    };
    EXPECT_FALSE(readThrough(manyScanJpeg(8192, 8192, 2), 64ll << 20));
    EXPECT_TRUE(readThrough(manyScanJpeg(8192, 8192, 2), 128ll << 20));
    EXPECT_FALSE(readThrough(encoded(source, "jpeg", true), 0));
    EXPECT_TRUE(readThrough(encoded(source, "jpeg"), 0));
}

TEST(PictureChecks, GzipIsUnpackedWithinItsBound)
{
    using PictureChecksDetail::unpackedGzip;
    EXPECT_EQ(unpackedGzip(gzipped("one ") + gzipped("two"), 7), QByteArray("one two"));
    EXPECT_EQ(unpackedGzip(gzipped(QByteArray(100, 'x')), 99), std::nullopt);
    EXPECT_EQ(unpackedGzip(gzipped("cut short").chopped(4), 100), std::nullopt);
    EXPECT_EQ(unpackedGzip("not packed", 100), std::nullopt);
}
