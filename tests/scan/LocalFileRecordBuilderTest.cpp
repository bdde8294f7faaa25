#include "scan/LocalFileRecordBuilder.h"
#include "ScanFixtures.h"
#include "core/FileCategories.h"
#include "support/TestFiles.h"
#include "support/TreeBuilder.h"

#include <QDateTime>
#include <QFile>
#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using Category = GlobalObjects::FileCategory;

struct Built {
    bool accepted = false;
    FileInfoNode record;
};

Built build(const QString& path, const ScanSettingsSnapshot& settings)
{
    Built b;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    b.accepted = makeLocalFileInfoNode(b.record, path, path.mid(slash + 1), settings);
    return b;
}

} // namespace

TEST(LocalFileRecord, AcceptedFileCarriesItsMeasuresAndIdentity)
{
    TreeBuilder tree;
    const QString path = tree.file(QStringLiteral("docs/Notes.TXT"), "hello");
    tree.setModificationTime(QStringLiteral("docs/Notes.TXT"), 1600000000);
    const Built b = build(path, openSettings());
    ASSERT_TRUE(b.accepted);
    EXPECT_EQ(b.record.fileSize, 5u);
    EXPECT_EQ(b.record.fileExtension, QStringLiteral("txt"));
    EXPECT_EQ(b.record.fileCategory, Category::Doc);
    EXPECT_EQ(b.record.folderPath, tree.path(QStringLiteral("docs")));
    EXPECT_EQ(b.record.fileName, QStringLiteral("Notes.TXT"));
    EXPECT_EQ(b.record.state, 0);
    EXPECT_EQ(b.record.modDate, QDateTime::fromSecsSinceEpoch(1600000000, Qt::UTC));
    // The identity the removal checks compare with lstat.
    struct stat status { };
    ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &status), 0);
    EXPECT_EQ(b.record.inode, status.st_ino);
    EXPECT_EQ(b.record.deviceId, status.st_dev);
    EXPECT_FALSE(b.record.isMd5Calucaluted);
    EXPECT_TRUE(b.record.arrForSubPathMd5().has_value());
    EXPECT_FALSE(b.record.isRawFormat);
}

TEST(LocalFileRecord, SizeLimitsAreInclusive)
{
    TreeBuilder tree;
    const QString empty = tree.file(QStringLiteral("empty.txt"), "");
    const QString ten = tree.file(QStringLiteral("ten.txt"), "0123456789");
    ScanSettingsSnapshot s = openSettings();
    s.scanAnyFileSize = false;
    s.minimumFileSizeBytes = 0;
    s.maximumFileSizeBytes = 5000000000ULL;
    EXPECT_TRUE(build(empty, s).accepted);
    s.minimumFileSizeBytes = 10;
    s.maximumFileSizeBytes = 10;
    EXPECT_TRUE(build(ten, s).accepted);
    s.minimumFileSizeBytes = 11;
    s.maximumFileSizeBytes = 20;
    EXPECT_FALSE(build(ten, s).accepted);
    s.minimumFileSizeBytes = 0;
    s.maximumFileSizeBytes = 9;
    EXPECT_FALSE(build(ten, s).accepted);
}

TEST(LocalFileRecord, ModifiedDateFilterKeepsFilesUpToTheChosenInstant)
{
    TreeBuilder tree;
    const QString path = tree.file(QStringLiteral("a.txt"), "a");
    tree.setModificationTime(QStringLiteral("a.txt"), 1700000000);
    ScanSettingsSnapshot s = openSettings();
    s.dateFilterOption = 3;
    s.modifiedDateFilter = QDateTime::fromSecsSinceEpoch(1700000000, Qt::UTC);
    EXPECT_TRUE(build(path, s).accepted);
    s.modifiedDateFilter = QDateTime::fromSecsSinceEpoch(1699999999, Qt::UTC);
    EXPECT_FALSE(build(path, s).accepted);
    s.dateFilterOption = 1; // no date test
    EXPECT_TRUE(build(path, s).accepted);
}

TEST(LocalFileRecord, CreatedDateFilterLeavesOutOlderFilesAndPassesMissingDates)
{
    TreeBuilder tree;
    const QString path = tree.file(QStringLiteral("a.txt"), "a");
    Built b = build(path, openSettings());
    ASSERT_TRUE(b.accepted);
    ScanSettingsSnapshot s = openSettings();
    s.dateFilterOption = 2;
    if (!b.record.createDate) {
        // No birth time on this file system: the filter cannot refuse.
        s.createdDateFilter = QDateTime::currentDateTimeUtc().addYears(10);
        EXPECT_TRUE(build(path, s).accepted);
        return;
    }
    s.createdDateFilter = *b.record.createDate;
    EXPECT_TRUE(build(path, s).accepted);
    s.createdDateFilter = b.record.createDate->addSecs(1);
    EXPECT_FALSE(build(path, s).accepted);
}

TEST(LocalFileRecord, ExtensionsDecideTakingAndCategory)
{
    TreeBuilder tree;
    ScanSettingsSnapshot s = openSettings();
    s.categoryTables.excludeVideoExtensions = { QStringLiteral("txt") };
    // Exclusion beats inclusion.
    EXPECT_FALSE(build(tree.file(QStringLiteral("a.txt"), "a"), s).accepted);

    s = openSettings();
    const Built custom = build(tree.file(QStringLiteral("b.xyz"), "b"), s);
    EXPECT_TRUE(custom.accepted);
    EXPECT_EQ(custom.record.fileCategory, Category::Others);

    s.scanCategoryFlags[rawValue(Category::Others)] = false;
    const Built refused = build(tree.file(QStringLiteral("c.xyz"), "c"), s);
    EXPECT_FALSE(refused.accepted);
    EXPECT_EQ(refused.record.fileCategory, Category::Others); // the category stays on the dropped record

    s = openSettings();
    s.isAllFileTypesSelected = false;
    EXPECT_FALSE(build(tree.file(QStringLiteral("d.unlisted"), "d"), s).accepted);
    s.isAllFileTypesSelected = true;
    const Built unlisted = build(tree.file(QStringLiteral("e.unlisted"), "e"), s);
    EXPECT_TRUE(unlisted.accepted);
    EXPECT_EQ(unlisted.record.fileCategory, Category::Others);
    const Built noExtension = build(tree.file(QStringLiteral(".profile"), "f"), s);
    EXPECT_TRUE(noExtension.accepted);
    EXPECT_EQ(noExtension.record.fileExtension, QString());
}

TEST(LocalFileRecord, PicturesAreKnownByExtensionAndTheirSwitchMustBeOn)
{
    TreeBuilder tree;
    ScanSettingsSnapshot s = openSettings();
    const Built raw = build(tree.file(QStringLiteral("shot.CR2"), "not really raw"), s);
    ASSERT_TRUE(raw.accepted);
    EXPECT_EQ(raw.record.fileCategory, Category::Pic);
    EXPECT_TRUE(raw.record.isRawFormat);
    // Image details are read only when the picture is shown.
    EXPECT_FALSE(raw.record.exifInfo());

    s.scanCategoryFlags[rawValue(Category::Pic)] = false;
    EXPECT_FALSE(build(tree.file(QStringLiteral("photo.jpg"), "x"), s).accepted);
}

TEST(LocalFileRecord, OnlyRegularFilesAndHandedOverFoldersBecomeRecords)
{
    TreeBuilder tree;
    const ScanSettingsSnapshot s = openSettings();
    const QString target = tree.file(QStringLiteral("real.txt"), "1234567");
    const Built link = build(tree.symlink(QStringLiteral("link.txt"), target), s);
    ASSERT_TRUE(link.accepted);
    const Built real = build(target, s);
    // A link counts as the file it points to, under its own path.
    EXPECT_EQ(link.record.inode, real.record.inode);
    EXPECT_EQ(link.record.deviceId, real.record.deviceId);
    EXPECT_EQ(link.record.fileSize, 7u);
    EXPECT_EQ(link.record.filePath, tree.path(QStringLiteral("link.txt")));

    EXPECT_FALSE(build(tree.symlink(QStringLiteral("dangling.txt"), tree.path(QStringLiteral("none"))), s).accepted);
    EXPECT_FALSE(build(tree.symlink(QStringLiteral("folderlink"), tree.folder(QStringLiteral("f"))), s).accepted);
    EXPECT_FALSE(build(tree.fifo(QStringLiteral("pipe.txt")), s).accepted);
    EXPECT_FALSE(build(tree.path(QStringLiteral("missing.txt")), s).accepted);

    const QString socketPath = tree.path(QStringLiteral("sock.txt"));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(socketPath);
    ASSERT_LT(static_cast<size_t>(native.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, native.constData(), static_cast<size_t>(native.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    EXPECT_FALSE(build(socketPath, s).accepted);
    ::close(fd);
}

TEST(LocalFileRecord, APackageIsOneRecordWithTheSizeOfItsContents)
{
    TreeBuilder tree;
    tree.file(QStringLiteral("Tool.app/Contents/a"), "aaa");
    tree.file(QStringLiteral("Tool.app/Contents/Resources/b"), "bbbbb");
    const Built b = build(tree.path(QStringLiteral("Tool.app")), openSettings());
    ASSERT_TRUE(b.accepted);
    EXPECT_TRUE(b.record.isDirectory);
    EXPECT_EQ(b.record.fileSize, 8u);
    EXPECT_EQ(b.record.fileExtension, QStringLiteral("app"));
}

TEST(LocalFileRecord, PathExtensionIgnoresLeadingDotsAndFolders)
{
    EXPECT_EQ(pathExtensionOf(QStringLiteral("/a.b/name")), QString());
    EXPECT_EQ(pathExtensionOf(QStringLiteral("/x/archive.tar.GZ")), QStringLiteral("gz"));
    EXPECT_EQ(pathExtensionOf(QStringLiteral("/x/.hidden")), QString());
    EXPECT_EQ(pathExtensionOf(QStringLiteral("/x/trailing.")), QString());
}

TEST(LocalFileRecord, AFileWhoseAttributesCannotBeReadIsRefused)
{
    TreeBuilder tree;
    const QString path = tree.file(QStringLiteral("locked/inside.txt"), "x");
    QFile::setPermissions(tree.path(QStringLiteral("locked")), QFileDevice::Permissions());
    bool accepted = true;
    {
        ScopedNoReadOverride asAnOrdinaryUser;
        accepted = build(path, openSettings()).accepted;
    }
    QFile::setPermissions(
        tree.path(QStringLiteral("locked")), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_FALSE(accepted);
}

TEST(LocalFileRecord, ALockedFileIsLockedButALinkToItIsNot)
{
    TreeBuilder tree;
    const QString locked = tree.file(QStringLiteral("locked.txt"), "locked");
    const QString plain = tree.file(QStringLiteral("plain.txt"), "plain");
    const QString link = tree.symlink(QStringLiteral("link.txt"), locked);
    if (!setTestFileImmutable(locked, true))
        GTEST_SKIP() << "the immutable attribute cannot be set here";
    const Built lockedRecord = build(locked, openSettings());
    const Built linkRecord = build(link, openSettings());
    const Built plainRecord = build(plain, openSettings());
    ASSERT_TRUE(setTestFileImmutable(locked, false));

    ASSERT_TRUE(lockedRecord.accepted && linkRecord.accepted && plainRecord.accepted);
    EXPECT_TRUE(lockedRecord.record.isLocked); // locking is no filter
    EXPECT_TRUE(lockedRecord.record.isLockedOnDisk);
    EXPECT_FALSE(plainRecord.record.isLockedOnDisk);
    EXPECT_FALSE(linkRecord.record.isLocked);
    EXPECT_FALSE(plainRecord.record.isLocked);
    EXPECT_EQ(linkRecord.record.inode, lockedRecord.record.inode);
    EXPECT_FALSE(lockedRecord.record.isNetworkDrive);
}

TEST(LocalFileRecord, FarFileTimesSaturateInsteadOfWrapping)
{
    const QDateTime epoch = QDateTime::fromMSecsSinceEpoch(0, Qt::UTC);
    EXPECT_EQ(dateOfFileTime(1600000000, 987654321), QDateTime::fromMSecsSinceEpoch(1600000000987, Qt::UTC));
    EXPECT_EQ(dateOfFileTime(-2, 500000000), QDateTime::fromMSecsSinceEpoch(-1500, Qt::UTC));
    const QDateTime future = dateOfFileTime(qint64(1) << 62, 0);
    EXPECT_TRUE(future.isValid());
    EXPECT_GT(future, QDateTime(QDate(9999, 12, 31), QTime(0, 0), Qt::UTC));
    EXPECT_EQ(dateOfFileTime(std::numeric_limits<qint64>::max(), 0), future);
    const QDateTime past = dateOfFileTime(-(qint64(1) << 62), 0);
    EXPECT_TRUE(past.isValid());
    EXPECT_LT(past, epoch);
}
