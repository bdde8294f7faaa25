// Writes the fuzz targets' binary seeds into the folder given: photo-library
// databases of each layout, a photo catalog, both also crafted to multiply
// rows or make huge values, pictures carrying metadata, and pictures of each
// format the decoder reads, ordinary and crafted.
// The text seeds are kept as files beside this one (corpus/).

#include "support/HostilePictures.h"

#include <QBuffer>
#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

#include <exiv2/exiv2.hpp>
#include <sqlite3.h>

#include <cstdio>
#include <tuple>
#include <vector>

namespace {

const char* const assetsLayout
    = "CREATE TABLE Z_PRIMARYKEY (Z_ENT, Z_NAME);"
      "INSERT INTO Z_PRIMARYKEY VALUES (26, 'Album'), (3, 'GenericAsset');"
      "CREATE TABLE ZASSET (Z_PK INTEGER PRIMARY KEY, ZUUID, ZDIRECTORY, ZFILENAME, ZTRASHEDSTATE);"
      "CREATE TABLE ZADDITIONALASSETATTRIBUTES (Z_PK INTEGER PRIMARY KEY, ZASSET, ZORIGINALFILESIZE,"
      " ZORIGINALFILENAME, ZALLOWEDFORANALYSIS);"
      "CREATE TABLE ZGENERICALBUM (Z_PK INTEGER PRIMARY KEY, ZTITLE, ZTRASHEDSTATE);"
      "INSERT INTO ZGENERICALBUM VALUES (7, 'Vellicor''s Marked', 0);"
      "CREATE TABLE Z_26ASSETS (Z_26ALBUMS, Z_3ASSETS); INSERT INTO Z_26ASSETS VALUES (7, 2);"
      "INSERT INTO ZASSET VALUES (1, 'U-1', 'A', 'keep.jpg', 0), (2, 'U-2', 'A', 'album.jpg', 0),"
      " (3, 'U-3', '../..', 'out.jpg', 0), (4, 'U-4', NULL, NULL, 1);"
      "INSERT INTO ZADDITIONALASSETATTRIBUTES SELECT Z_PK, Z_PK, 100 * Z_PK, 'Original.jpg', 1 FROM ZASSET;";

const char* const genericAssetsLayout
    = "CREATE TABLE Z_PRIMARYKEY (Z_ENT, Z_NAME);"
      "INSERT INTO Z_PRIMARYKEY VALUES (26, 'Album'), (33, 'GenericAsset');"
      "CREATE TABLE ZGENERICASSET (Z_PK INTEGER PRIMARY KEY, ZUUID, ZDIRECTORY, ZFILENAME, ZTRASHEDSTATE);"
      "CREATE TABLE ZADDITIONALASSETATTRIBUTES (Z_PK INTEGER PRIMARY KEY, ZASSET, ZORIGINALFILESIZE,"
      " ZORIGINALFILENAME, ZALLOWEDFORANALYSIS);"
      "CREATE TABLE ZGENERICALBUM (Z_PK INTEGER PRIMARY KEY, ZTITLE, ZTRASHEDSTATE);"
      "CREATE TABLE Z_26ASSETS (Z_26ALBUMS, Z_33ASSETS);"
      "INSERT INTO ZGENERICASSET VALUES (1, 'U-1', 'B', 'one.heic', 0), (2, 'U-2', 'B', 'two.png', 0);"
      "INSERT INTO ZADDITIONALASSETATTRIBUTES VALUES (1, 1, 5000, 'IMG_1.HEIC', 1), (2, 2, -1, NULL, 0);";

const char* const mastersLayout
    = "CREATE TABLE RKMASTER (modelId INTEGER PRIMARY KEY, uuid, fileSize, imagePath, isInTrash);"
      "CREATE TABLE RKVERSION (modelId INTEGER PRIMARY KEY, uuid, masterUuid, fileName, isInTrash, burstUuid);"
      "CREATE TABLE RKALBUM (modelId INTEGER PRIMARY KEY, name, isInTrash);"
      "CREATE TABLE RKALBUMVERSION (modelId INTEGER PRIMARY KEY, versionId, albumId);"
      "INSERT INTO RKALBUM VALUES (7, 'VELLICOR''S MARKED', 0); INSERT INTO RKALBUMVERSION VALUES (1, 2, 7);"
      "INSERT INTO RKMASTER VALUES (1, 'M-1', 100, 'A/keep.jpg', 0), (2, 'M-2', 100, 'A/album.jpg', 0),"
      " (3, 'M-3', 100, '/abs/out.jpg', 0);"
      "INSERT INTO RKVERSION SELECT modelId, 'V-' || modelId, uuid, 'Original.jpg', 0,"
      " CASE modelId WHEN 3 THEN 'B' END FROM RKMASTER;";

const char* const catalogLayout
    = "CREATE TABLE AgLibraryRootFolder (id_local INTEGER PRIMARY KEY, absolutePath TEXT);"
      "CREATE TABLE AgLibraryFolder (id_local INTEGER PRIMARY KEY, rootFolder INTEGER, pathFromRoot TEXT);"
      "CREATE TABLE AgLibraryFile (id_local INTEGER PRIMARY KEY, folder INTEGER, originalFilename TEXT);"
      "CREATE TABLE Adobe_images (id_local INTEGER PRIMARY KEY, rootFile INTEGER);"
      "INSERT INTO AgLibraryRootFolder VALUES (1, '/home/u/Pictures/'), (2, 'relative/');"
      "INSERT INTO AgLibraryFolder VALUES (10, 1, '2023/'), (11, 1, '../up/'), (12, 2, '');"
      "INSERT INTO AgLibraryFile VALUES (100, 10, 'a.jpg'), (101, 11, 'b.jpg'), (102, 12, 'c.jpg'),"
      " (103, 10, NULL);"
      "INSERT INTO Adobe_images VALUES (1000, 100), (1001, 101);";

// Every asset and every entry under one key: joined, four million rows.
const char* const crossedAssets
    = "CREATE TABLE ZASSET (Z_PK, ZUUID, ZDIRECTORY, ZFILENAME, ZTRASHEDSTATE);"
      "CREATE TABLE ZADDITIONALASSETATTRIBUTES (Z_PK, ZASSET, ZORIGINALFILESIZE, ZORIGINALFILENAME,"
      " ZALLOWEDFORANALYSIS);"
      "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c LIMIT 2000)"
      " INSERT INTO ZASSET SELECT 1, 'U', 'A', 'x.jpg', 0 FROM c;"
      "INSERT INTO ZADDITIONALASSETATTRIBUTES SELECT rowid, 1, 7, 'x.jpg', 1 FROM ZASSET;";

// A column that makes four megabytes for each asset it is read of.
const char* const computedAssets
    = "CREATE TABLE ZASSET (Z_PK INTEGER PRIMARY KEY, ZUUID, ZDIRECTORY, ZTRASHEDSTATE,"
      " ZFILENAME GENERATED ALWAYS AS (printf('%.*c', 4000000, 'x')) VIRTUAL);"
      "CREATE TABLE ZADDITIONALASSETATTRIBUTES (Z_PK INTEGER PRIMARY KEY, ZASSET, ZORIGINALFILESIZE,"
      " ZORIGINALFILENAME, ZALLOWEDFORANALYSIS);"
      "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c LIMIT 100)"
      " INSERT INTO ZASSET (Z_PK, ZUUID, ZDIRECTORY, ZTRASHEDSTATE) SELECT x, 'U', 'A', 0 FROM c;"
      "INSERT INTO ZADDITIONALASSETATTRIBUTES SELECT Z_PK, Z_PK, 7, 'x.jpg', 1 FROM ZASSET;";

// Every folder and every root under one key: joined, 27 million rows.
const char* const crossedCatalog
    = "CREATE TABLE AgLibraryRootFolder (id_local, absolutePath);"
      "CREATE TABLE AgLibraryFolder (id_local, rootFolder, pathFromRoot);"
      "CREATE TABLE AgLibraryFile (id_local, folder, originalFilename);"
      "CREATE TABLE Adobe_images (id_local INTEGER PRIMARY KEY, rootFile INTEGER);"
      "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c LIMIT 300)"
      " INSERT INTO AgLibraryRootFolder SELECT 1, '/r/' FROM c;"
      "INSERT INTO AgLibraryFolder SELECT 1, 1, 'f/' FROM AgLibraryRootFolder;"
      "INSERT INTO AgLibraryFile SELECT rowid, 1, 'a.jpg' FROM AgLibraryRootFolder;";

// A root folder whose path is computed, a megabyte long.
const char* const computedCatalog
    = "CREATE TABLE AgLibraryRootFolder (id_local INTEGER PRIMARY KEY,"
      " absolutePath GENERATED ALWAYS AS ('/' || printf('%.*c', 1000000, 'x')) VIRTUAL);"
      "CREATE TABLE AgLibraryFolder (id_local INTEGER PRIMARY KEY, rootFolder INTEGER, pathFromRoot TEXT);"
      "CREATE TABLE AgLibraryFile (id_local INTEGER PRIMARY KEY, folder INTEGER, originalFilename TEXT);"
      "CREATE TABLE Adobe_images (id_local INTEGER PRIMARY KEY, rootFile INTEGER);"
      "INSERT INTO AgLibraryRootFolder (id_local) VALUES (1);"
      "INSERT INTO AgLibraryFolder VALUES (10, 1, '');"
      "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c LIMIT 100)"
      " INSERT INTO AgLibraryFile SELECT x, 10, 'a.jpg' FROM c;";

bool makeDatabase(const QString& path, const char* sql)
{
    QFile::remove(path);
    sqlite3* db = nullptr;
    bool made = sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK
        && sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!made)
        std::fprintf(stderr, "cannot make %s: %s\n", qPrintable(path), sqlite3_errmsg(db));
    sqlite3_close(db);
    return made;
}

QImage picture()
{
    QImage image(32, 24, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QPainter painter(&image);
    painter.fillRect(4, 4, 12, 8, Qt::yellow);
    painter.end();
    image.setColorSpace(QColorSpace::SRgb);
    image.setDotsPerMeterX(2835);
    image.setDotsPerMeterY(2835);
    return image;
}

// A picture with camera, exposure, position and keyword entries, and the
// colour profile's description to find.
bool addMetadata(const QString& path)
{
    try {
        auto image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        image->readMetadata();
        Exiv2::ExifData& exif = image->exifData();
        exif["Exif.Image.Make"] = "Maker";
        exif["Exif.Image.Model"] = "Model 7";
        exif["Exif.Image.Orientation"] = uint16_t(6);
        exif["Exif.Photo.DateTimeOriginal"] = "2023:05:06 07:08:09";
        exif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 250);
        exif["Exif.Photo.FNumber"] = Exiv2::URational(28, 10);
        exif["Exif.Photo.ISOSpeedRatings"] = uint16_t(400);
        exif["Exif.Photo.FocalLength"] = Exiv2::URational(35, 1);
        exif["Exif.Photo.ExposureBiasValue"] = Exiv2::Rational(-2, 3);
        exif["Exif.Photo.PixelXDimension"] = uint32_t(32);
        exif["Exif.Photo.PixelYDimension"] = uint32_t(24);
        exif["Exif.GPSInfo.GPSLatitudeRef"] = "N";
        exif["Exif.GPSInfo.GPSLatitude"] = "48/1 51/1 2400/100";
        exif["Exif.GPSInfo.GPSLongitudeRef"] = "E";
        exif["Exif.GPSInfo.GPSLongitude"] = "2/1 21/1 300/100";
        exif["Exif.GPSInfo.GPSAltitude"] = Exiv2::URational(35, 1);
        Exiv2::IptcData& iptc = image->iptcData();
        iptc["Iptc.Application2.Keywords"] = "holiday";
        iptc["Iptc.Application2.City"] = "Paris";
        image->writeMetadata();
        return true;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "cannot add metadata to %s: %s\n", qPrintable(path), error.what());
        return false;
    }
}

// A JPEG's headers before its first scan, without its tables when asked,
// and where its scan's data begins.
std::pair<QByteArray, qsizetype> jpegHeaders(const QByteArray& jpeg, bool withTables)
{
    QByteArray headers = jpeg.left(2);
    qsizetype at = 2;
    while (at + 4 <= jpeg.size() && quint8(jpeg[at + 1]) != 0xda) {
        const qsizetype length = 2 + (quint8(jpeg[at + 2]) << 8 | quint8(jpeg[at + 3]));
        if (withTables || quint8(jpeg[at + 1]) != 0xc4)
            headers += jpeg.mid(at, length);
        at += length;
    }
    const qsizetype data = at + 2 + (quint8(jpeg[at + 2]) << 8 | quint8(jpeg[at + 3]));
    return { headers + jpeg.mid(at, data - at), data };
}

// The pictures target's seeds: each file after the byte that names it (the
// target's list of names), as written or as crafted.
bool writePictureSeeds(const QDir& folder, const QImage& image)
{
    enum Name : char { jpg, png, gif, bmp, svg, svgz, ico, webp, ppm, xpm, xbm, tiff };
    const QByteArray drawing = "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
                               "width=\"40\" height=\"30\"><rect id=\"r\" width=\"9\" height=\"9\" fill=\"red\"/>"
                               "<use xlink:href=\"#r\" x=\"10\"/><text y=\"20\">A</text></svg>";
    const QByteArray bomb = HostilePictures::vectorBomb(64ll << 20);
    std::vector<std::tuple<const char*, Name, QByteArray>> seeds = {
        { "drawing.svg", svg, drawing },
        { "drawing.svgz", svgz, HostilePictures::gzipped(drawing) },
        { "bomb.svgz", svgz, bomb },
        { "bomb-named.jpg", jpg, bomb },
        { "many-scans.jpg", jpg, HostilePictures::manyScanJpeg(8192, 8192, 2000) },
        { "large-header.png", png, HostilePictures::largePng(100'000, 100'000) },
        { "over-allocation.png", png, HostilePictures::largePng(16'000, 12'000) },
        { "outside.svg", svg, HostilePictures::vectorReferringTo("/dev/zero") },
        { "holding.svg", svg, HostilePictures::vectorReferringTo("data:image/png;base64," + bomb.toBase64()) },
        // One pixel.
        { "dot.gif", gif,
            QByteArray("GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff\x2c\x00\x00\x00\x00\x01\x00\x01"
                       "\x00\x00\x02\x02\x44\x01\x00\x3b",
                35) },
    };
    // What the toolkit writes without further plug-ins, progressive too.
    for (const auto& [file, name, format, progressive] :
        { std::tuple { "picture.jpg", jpg, "jpeg", false }, { "progressive.jpg", jpg, "jpeg", true },
            { "picture.png", png, "png", false }, { "picture.bmp", bmp, "bmp", false },
            { "picture.ico", ico, "ico", false }, { "picture.ppm", ppm, "ppm", false },
            { "picture.xpm", xpm, "xpm", false }, { "picture.xbm", xbm, "xbm", false } }) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, format);
        writer.setProgressiveScanWrite(progressive);
        if (!writer.write(image)) {
            std::fprintf(stderr, "cannot write a %s picture\n", format);
            return false;
        }
        seeds.emplace_back(file, name, bytes);
        if (name != jpg)
            continue;
        // Cut short inside its scans, as a download broken off leaves it.
        const auto [headers, data] = jpegHeaders(bytes, true);
        const qsizetype half = (bytes.size() - data) / 2;
        seeds.emplace_back(progressive ? "progressive-cut.jpg" : "picture-cut.jpg", name, bytes.left(data + half));
        if (progressive)
            continue;
        // The same without its tables (its decoder takes the standard ones),
        // and with a restart after each unit of blocks but no data in them.
        seeds.emplace_back("no-tables-cut.jpg", name, jpegHeaders(bytes, false).first + bytes.mid(data, half));
        QByteArray intervals = headers;
        intervals.insert(intervals.lastIndexOf("\xff\xda"), QByteArray("\xff\xdd\x00\x04\x00\x01", 6));
        for (int unit = 0; unit < 200; ++unit)
            intervals += QByteArray("\xff") + char(0xd0 + unit % 8);
        seeds.emplace_back("empty-intervals.jpg", name, intervals);
    }
    for (const auto& [file, name, bytes] : seeds) {
        QFile seed(folder.filePath(QString::fromLatin1(file)));
        if (!seed.open(QIODevice::WriteOnly) || seed.write(QByteArray(1, name) + bytes) != bytes.size() + 1) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(seed.fileName()));
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    for (const char* target : { "photos-library", "photo-catalog", "image-properties", "pictures" })
        out.mkpath(QString::fromLatin1(target));

    bool made = makeDatabase(out.filePath(QStringLiteral("photos-library/assets.db")), assetsLayout)
        && makeDatabase(out.filePath(QStringLiteral("photos-library/generic-assets.db")), genericAssetsLayout)
        && makeDatabase(out.filePath(QStringLiteral("photos-library/masters.db")), mastersLayout)
        && makeDatabase(out.filePath(QStringLiteral("photos-library/crossed.db")), crossedAssets)
        && makeDatabase(out.filePath(QStringLiteral("photos-library/computed.db")), computedAssets)
        && makeDatabase(out.filePath(QStringLiteral("photo-catalog/catalog.db")), catalogLayout)
        && makeDatabase(out.filePath(QStringLiteral("photo-catalog/crossed.db")), crossedCatalog)
        && makeDatabase(out.filePath(QStringLiteral("photo-catalog/computed.db")), computedCatalog);

    const QImage image = picture();
    // The formats the toolkit writes without further plug-ins.
    for (const char* format : { "jpg", "png" }) {
        const QString path = out.filePath(QStringLiteral("image-properties/picture.") + QLatin1String(format));
        if (!image.save(path, format)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            return 1;
        }
        made = made && addMetadata(path);
    }
    QFile profile(out.filePath(QStringLiteral("image-properties/profile.icc")));
    made = made && profile.open(QIODevice::WriteOnly) && profile.write(QColorSpace(QColorSpace::SRgb).iccProfile()) > 0;
    made = made && writePictureSeeds(QDir(out.filePath(QStringLiteral("pictures"))), image);
    return made ? 0 : 1;
}
