#include "core/FileUtilities.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct FolderSizeTest : ::testing::Test {
    QTemporaryDir dir;

    std::uint64_t sizeOf(const QString& path) const { return folderSizeOfPath(QFile::encodeName(path).constData()); }
    QString make(const QString& relative) const
    {
        const QString path = dir.filePath(relative);
        EXPECT_TRUE(QDir().mkpath(path));
        return path;
    }
};

} // namespace

TEST_F(FolderSizeTest, AddsFilesAtEveryDepthAndLinksAsLinks)
{
    EXPECT_EQ(sizeOf(make(QStringLiteral("empty/inner"))), 0u);
    make(QStringLiteral("top/a/b"));
    writeTestFile(dir.filePath(QStringLiteral("top/one")), QByteArray(100, 'x'));
    writeTestFile(dir.filePath(QStringLiteral("top/a/two")), QByteArray(20, 'x'));
    writeTestFile(dir.filePath(QStringLiteral("top/a/b/three")), QByteArray(3, 'x'));
    writeTestFile(dir.filePath(QStringLiteral("big")), QByteArray(100000, 'x'));
    const QByteArray target = QFile::encodeName(dir.filePath(QStringLiteral("big")));
    ASSERT_EQ(
        ::symlink(target.constData(), QFile::encodeName(dir.filePath(QStringLiteral("top/link"))).constData()), 0);
    EXPECT_EQ(sizeOf(dir.filePath(QStringLiteral("top"))), 123u + static_cast<std::uint64_t>(target.size()));
}

TEST_F(FolderSizeTest, MissingFolderGivesZeroAndTwoLinesOnStandardError)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(sizeOf(dir.filePath(QStringLiteral("missing"))), 0u);
    EXPECT_EQ(folderSizeOfPath(nullptr), 0u);
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("could not open directory '"), std::string::npos) << errors;
    EXPECT_NE(errors.find("error is 2/"), std::string::npos) << errors;
}

TEST_F(FolderSizeTest, WalksPathsLongerThanTheSystemLimit)
{
    // Built relative to each parent: the whole path is longer than the kernel
    // takes in one call. rm removes such a tree; QTemporaryDir cannot.
    const QString base = make(QStringLiteral("deep"));
    const std::string name(200, 'd');
    int fd = ::open(QFile::encodeName(base).constData(), O_RDONLY | O_DIRECTORY);
    std::string path = QFile::encodeName(base).toStdString();
    for (int i = 0; i < 30; ++i, path += '/' + name) {
        ::mkdirat(fd, name.c_str(), 0700);
        const int child = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = child;
    }
    const int leaf = ::openat(fd, "leaf", O_WRONLY | O_CREAT, 0600);
    const bool written = ::write(leaf, "0123456789", 10) == 10;
    ::close(leaf);
    ::close(fd);
    EXPECT_TRUE(written);
    EXPECT_GT(path.size(), 4096u);
    EXPECT_EQ(sizeOf(base), 10u);
    EXPECT_EQ(folderSizeOfPath(path.c_str()), 10u);
    QProcess::execute(QStringLiteral("rm"), { QStringLiteral("-rf"), base });
}

TEST(OpenRegularFile, NameWithEmbeddedNulIsRefusedRatherThanShortened)
{
    QTemporaryDir dir;
    writeTestFile(dir.filePath(QStringLiteral("real")), "abc");
    const QString hostile = dir.filePath(QStringLiteral("real")) + QChar(0) + QStringLiteral("ignored");
    const OpenedFile file = openRegularFile(hostile);
    EXPECT_FALSE(file.isOpen());
    EXPECT_FALSE(file.errorText.isEmpty());
}
