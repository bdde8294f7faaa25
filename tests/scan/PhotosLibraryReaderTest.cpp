#include "scan/PhotosLibraryReader.h"
#include "base/AppPaths.h"
#include "core/PhotosNode.h"
#include "scan/EngineFixture.h"

#include <QDir>
#include <QFile>

#include <sqlite3.h>

namespace {

const QString albumName = QStringLiteral("Vellicor's Marked");

void exec(sqlite3* db, const QString& sql)
{
    char* error = nullptr;
    ASSERT_EQ(sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error), SQLITE_OK) << error;
}

// A library of the given layout whose assets are: 1 kept, 2 in the trash,
// 3 not allowed for analysis (newer) or a burst member (older), 4 in the
// marked album, 5 without a path, 6 pointing outside the library. The files
// of the first and the fourth exist.
QString makeLibrary(TreeBuilder& tree, const QString& name, PhotosSchema schema)
{
    const bool masters = schema == PhotosSchema::masters;
    const QString library = tree.folder(name);
    const QString database = tree.folder(name + QStringLiteral("/database"))
        + (masters ? QStringLiteral("/photos.db") : QStringLiteral("/photos.sqlite"));
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open(QFile::encodeName(database).constData(), &db), SQLITE_OK);
    const QStringList paths { QStringLiteral("A/keep.jpg"), QStringLiteral("A/trash.jpg"), QStringLiteral("A/skip.jpg"),
        QStringLiteral("A/album.jpg"), QString(), QStringLiteral("../../outside.jpg") };
    if (masters) {
        exec(db,
            "CREATE TABLE RKMASTER (modelId INTEGER PRIMARY KEY, uuid TEXT, fileSize INTEGER, imagePath TEXT,"
            " isInTrash INTEGER); CREATE TABLE RKVERSION (modelId INTEGER PRIMARY KEY, uuid TEXT, masterUuid TEXT,"
            " fileName TEXT, isInTrash INTEGER, burstUuid TEXT); CREATE TABLE RKALBUM (modelId INTEGER PRIMARY KEY,"
            " name TEXT, isInTrash INTEGER); CREATE TABLE RKALBUMVERSION (modelId INTEGER PRIMARY KEY,"
            " versionId INTEGER, albumId INTEGER); INSERT INTO RKALBUM VALUES (9, NULL, 0), (7, 'VELLICOR''S MARKED', "
            "0);"
            " INSERT INTO RKALBUMVERSION VALUES (1, 4, 7);");
        for (int i = 1; i <= 6; ++i) {
            const QString path
                = paths[i - 1].isEmpty() ? QStringLiteral("NULL") : QLatin1Char('\'') + paths[i - 1] + '\'';
            exec(db,
                QStringLiteral("INSERT INTO RKMASTER VALUES (%1, 'M-%1', 100, %2, %3);"
                               "INSERT INTO RKVERSION VALUES (%1, 'V-%1', 'M-%1', 'Original %1.jpg', 0, %4);")
                    .arg(i)
                    .arg(path)
                    .arg(i == 2 ? 1 : 0)
                    .arg(i == 3 ? QStringLiteral("'B'") : QStringLiteral("NULL")));
        }
    } else {
        const QString assets
            = schema == PhotosSchema::assets ? QStringLiteral("ZASSET") : QStringLiteral("ZGENERICASSET");
        const QString join = schema == PhotosSchema::assets ? QStringLiteral("Z_26ASSETS (Z_26ALBUMS, Z_3ASSETS)")
                                                            : QStringLiteral("Z_26ASSETS (Z_26ALBUMS, Z_33ASSETS)");
        exec(db,
            QStringLiteral(
                "CREATE TABLE Z_PRIMARYKEY (Z_ENT INTEGER, Z_NAME TEXT); INSERT INTO Z_PRIMARYKEY VALUES"
                " (26, 'Album'), (33, 'GenericAsset'); CREATE TABLE %1 (Z_PK INTEGER PRIMARY KEY, ZUUID TEXT,"
                " ZDIRECTORY TEXT, ZFILENAME TEXT, ZTRASHEDSTATE INTEGER); CREATE TABLE"
                " ZADDITIONALASSETATTRIBUTES (Z_PK INTEGER PRIMARY KEY, ZASSET INTEGER, ZORIGINALFILESIZE"
                " INTEGER, ZORIGINALFILENAME TEXT, ZALLOWEDFORANALYSIS INTEGER); CREATE TABLE ZGENERICALBUM"
                " (Z_PK INTEGER PRIMARY KEY, ZTITLE TEXT, ZTRASHEDSTATE INTEGER); CREATE TABLE %2;"
                " INSERT INTO ZGENERICALBUM VALUES (5, 'vellicor''s marked', 0), (7, 'Vellicor''s Marked', 0);"
                " INSERT INTO Z_26ASSETS VALUES (7, 4);")
                .arg(assets, join));
        for (int i = 1; i <= 6; ++i) {
            const QString dir = paths[i - 1].isEmpty() ? QStringLiteral("NULL") : QStringLiteral("'A'");
            const QString file
                = paths[i - 1].isEmpty() ? QStringLiteral("NULL") : QLatin1Char('\'') + paths[i - 1].mid(2) + '\'';
            exec(db,
                QStringLiteral("INSERT INTO %1 VALUES (%2, 'U-%2', %3, %4, %5);"
                               "INSERT INTO ZADDITIONALASSETATTRIBUTES VALUES (%2, %2, 100, 'Original %2.jpg', %6);")
                    .arg(assets)
                    .arg(i)
                    .arg(i == 6 ? QStringLiteral("'../..'") : dir, file)
                    .arg(i == 2 ? 1 : 0)
                    .arg(i == 3 ? 0 : 1));
        }
    }
    sqlite3_close(db);
    const QString originals = masters ? QStringLiteral("/Masters/") : QStringLiteral("/originals/");
    tree.file(name + originals + paths[0], "library picture");
    tree.file(name + originals + paths[3], "library picture");
    return library;
}

class PhotosLibrary : public EngineFixture {
protected:
    ScanCounters counters;

    QStringList cacheEntries() const
    {
        return QDir(AppPaths::cacheFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
};

} // namespace

TEST_F(PhotosLibrary, EachLayoutYieldsOnlyItsLiveAssetsOutsideTheMarkedAlbum)
{
    const struct {
        PhotosSchema schema;
        QString original;
        QString versionId;
    } layouts[] = {
        { PhotosSchema::assets, QStringLiteral("originals/A/keep.jpg"), QStringLiteral("U-1") },
        { PhotosSchema::genericAssets, QStringLiteral("originals/A/keep.jpg"), QStringLiteral("U-1") },
        { PhotosSchema::masters, QStringLiteral("Masters/A/keep.jpg"), QStringLiteral("V-1") },
    };
    const PhotosLibraryReader reader(AppPaths::cacheFolder(), albumName, true);
    int n = 0;
    for (const auto& layout : layouts) {
        const QString library = makeLibrary(tree, QStringLiteral("L%1.photoslibrary").arg(++n), layout.schema);
        const std::vector<PhotosAsset> assets = reader.readPhotosLibraryAssets(library);
        ASSERT_EQ(assets.size(), 1u) << n;
        EXPECT_EQ(assets[0].imagePath, library + QLatin1Char('/') + layout.original);
        EXPECT_EQ(assets[0].originalFileName, QStringLiteral("Original 1.jpg"));
        EXPECT_EQ(assets[0].uuidRKVersion, layout.versionId);
        EXPECT_EQ(assets[0].fileSize, 100u);
    }
    // Without the album every live asset with a path inside the library is read.
    const PhotosLibraryReader other(AppPaths::cacheFolder(), QStringLiteral("Another"), true);
    EXPECT_EQ(other.readPhotosLibraryAssets(tree.path(QStringLiteral("L1.photoslibrary"))).size(), 2u);
    EXPECT_EQ(cacheEntries(), QStringList {});
}

TEST_F(PhotosLibrary, TheWalkRecordsTheFirstLibrarysItemsAsLibraryItems)
{
    markedPhotosAlbumName() = albumName;
    const QString first = makeLibrary(tree, QStringLiteral("a/One.photoslibrary"), PhotosSchema::assets);
    makeLibrary(tree, QStringLiteral("b/Two.photoslibrary"), PhotosSchema::masters);
    tree.file(QStringLiteral("a/plain.jpg"), "library picture");
    addRow(tree.root());
    const ScanRequest request = makeScanRequest(
        ScanSource::thisComputer, engine->arrPathNodesFinder, engine->arrExcludePathsFinder, *defaults);
    LocalWalk walk(request, counters, isAbortScan, {});
    walk.parseAllPath();

    ASSERT_EQ(walk.records().size(), 2u);
    const FileInfoNodePtr& item = walk.records()[0]->isPhotosNode ? walk.records()[0] : walk.records()[1];
    ASSERT_TRUE(item->isPhotosNode && item->photosInfo);
    EXPECT_EQ(item->fileName, QStringLiteral("Original 1.jpg"));
    EXPECT_EQ(item->libraryPath, first);
    EXPECT_EQ(item->photosInfo->uuIDRkVersion, QStringLiteral("U-1"));
    EXPECT_EQ(item->photosInfo->isMovedToTrashAlbum, false);
    EXPECT_EQ(counters.countScanned.load(), 2);
}
