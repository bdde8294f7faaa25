#include "platform/FileDataCopy.h"
#include "platform/OriginalFolder.h"
#include "support/TempHome.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The user that owns what the user running the tests does not.
constexpr uid_t otherUser = 65534;

bool linkOf(uid_t owner, const QString& target, const QString& link)
{
    const QByteArray at = QFile::encodeName(link);
    return ::symlink(QFile::encodeName(target).constData(), at.constData()) == 0
        && ::lchown(at.constData(), owner, owner) == 0;
}

struct stat statusOf(const QString& path)
{
    struct stat status { };
    ::lstat(QFile::encodeName(path).constData(), &status);
    return status;
}

} // namespace

// Links on the way are followed where the user's own, relative ones too and
// through "..", never where another user's, however deep in a chain, and a
// loop of them ends; folders missing below are made with the modes the
// removal saw.
TEST(OriginalFolder, AWayIsFollowedOnlyThroughTheUsersLinksAndMadeAgainAsItWas)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "links of another user need root";
    TempHome home;
    const QString top = home.path() + QStringLiteral("/top");
    ASSERT_TRUE(QDir().mkpath(top + QStringLiteral("/real/a/b")));
    ASSERT_EQ(::chmod(QFile::encodeName(top + QStringLiteral("/real/a")).constData(), 0710), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(top + QStringLiteral("/real/a/b")).constData(), 0750), 0);
    // The folders as a removal from top/real/a/b recorded them.
    OriginalFolders folders;
    const QString original = top + QStringLiteral("/real/a/b");
    const FileDescriptor held(::open(QFile::encodeName(original).constData(), O_PATH | O_DIRECTORY));
    const auto recorded = folders.record(original, held.get());
    ASSERT_TRUE(recorded);
    EXPECT_EQ(recorded->modes.back(), 0750u);
    EXPECT_EQ(recorded->modes[recorded->modes.size() - 2], 0710u);

    // The user's relative link through "..": the very folder.
    ASSERT_TRUE(QDir().mkpath(top + QStringLiteral("/links")));
    ASSERT_TRUE(linkOf(::geteuid(), QStringLiteral("../real/a"), top + QStringLiteral("/links/mine")));
    EXPECT_TRUE(reachOriginalFolder(top + QStringLiteral("/links/mine/b"), recorded.get()).fd.isOpen());

    // The user's link to another user's link.
    ASSERT_TRUE(QDir().mkpath(top + QStringLiteral("/theirs")));
    ASSERT_EQ(::chown(QFile::encodeName(top + QStringLiteral("/theirs")).constData(), otherUser, otherUser), 0);
    ASSERT_TRUE(linkOf(otherUser, top + QStringLiteral("/theirs"), top + QStringLiteral("/links/planted")));
    ASSERT_TRUE(linkOf(::geteuid(), QStringLiteral("planted"), top + QStringLiteral("/links/chain")));
    const RestoreFolder throughTheirs = reachOriginalFolder(top + QStringLiteral("/links/chain"), recorded.get());
    EXPECT_FALSE(throughTheirs.fd.isOpen());
    EXPECT_EQ(throughTheirs.refusal,
        QStringLiteral("its folder %1/links/chain now belongs to another user").arg(top));
    // Their folder itself, reached by the user's own link.
    ASSERT_TRUE(linkOf(::geteuid(), top + QStringLiteral("/theirs"), top + QStringLiteral("/links/toTheirs")));
    EXPECT_EQ(reachOriginalFolder(top + QStringLiteral("/links/toTheirs"), recorded.get()).refusal,
        QStringLiteral("its folder %1/links/toTheirs now belongs to another user").arg(top));

    // A loop of the user's links ends.
    ASSERT_TRUE(linkOf(::geteuid(), QStringLiteral("loop2"), top + QStringLiteral("/links/loop1")));
    ASSERT_TRUE(linkOf(::geteuid(), QStringLiteral("loop1"), top + QStringLiteral("/links/loop2")));
    EXPECT_EQ(reachOriginalFolder(top + QStringLiteral("/links/loop1/b"), recorded.get()).refusal,
        QStringLiteral("its folder %1/links/loop1 cannot be reached: %2").arg(top, errnoText(ELOOP)));

    // Gone, with the folder above it: both made again as they were.
    ASSERT_TRUE(QDir(top + QStringLiteral("/real/a")).removeRecursively());
    const RestoreFolder made = reachOriginalFolder(original, recorded.get());
    ASSERT_TRUE(made.fd.isOpen()) << made.refusal.toStdString();
    EXPECT_EQ(statusOf(top + QStringLiteral("/real/a")).st_mode & 07777, 0710u);
    EXPECT_EQ(statusOf(original).st_mode & 07777, 0750u);
    EXPECT_EQ(statusOf(original).st_uid, ::geteuid());
}

// Only the data of a sparse file is copied, by the kernel on one volume:
// its holes stay holes, and a stop ends the copy between pieces.
TEST(FileDataCopy, ASparseFileKeepsItsHolesAndStopEndsTheCopyBetweenPieces)
{
    TempHome home;
    const QString source = home.path() + QStringLiteral("/sparse");
    {
        QFile file(source);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.seek(40 << 20));
        ASSERT_EQ(file.write(QByteArray(3 << 20, 'x')), 3 << 20);
        ASSERT_TRUE(file.resize(100 << 20));
    }
    if (statusOf(source).st_blocks * 512 > (8 << 20))
        GTEST_SKIP() << "the temporary folder's file system keeps no holes";
    const FileDescriptor from(::open(QFile::encodeName(source).constData(), O_RDONLY));
    const QString target = home.path() + QStringLiteral("/copy");
    const auto copyTo = [&](const std::function<bool(qint64)>& keepGoing) {
        QFile::remove(target);
        const FileDescriptor to(::open(QFile::encodeName(target).constData(), O_RDWR | O_CREAT | O_EXCL, 0600));
        return copyFileData(from.get(), to.get(), 100 << 20, keepGoing);
    };
    std::vector<qint64> asked;
    const DataCopyEnd whole = copyTo([&](qint64 copied) { return asked.push_back(copied), true; });
    EXPECT_TRUE(whole.isWhole());
    EXPECT_EQ(whole.length, 100 << 20);
    EXPECT_EQ(statusOf(target).st_size, 100 << 20);
    EXPECT_LE(statusOf(target).st_blocks * 512, 8 << 20);
    // Asked before each mebibyte of data, never for the holes.
    EXPECT_EQ(asked, (std::vector<qint64> { 0, 1 << 20, 2 << 20 }));

    const DataCopyEnd stopped = copyTo([](qint64 copied) { return copied < (1 << 20); });
    EXPECT_TRUE(stopped.stopped);
    EXPECT_LE(statusOf(target).st_size, 41 << 20);
}
