#include "core/FileUtilities.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

// A chain of folders whose full path is longer than the kernel accepts in one
// call, built and removed relative to each parent.
class DeepChain {
public:
    DeepChain(const QString& base, int depth)
        : name_(200, 'd')
    {
        FileDescriptor current(::open(QFile::encodeName(base).constData(), O_RDONLY | O_DIRECTORY));
        path_ = QFile::encodeName(base).toStdString();
        for (int i = 0; i < depth && current.isOpen(); ++i) {
            ::mkdirat(current.get(), name_.c_str(), 0700);
            current.reset(::openat(current.get(), name_.c_str(), O_RDONLY | O_DIRECTORY));
            path_ += '/' + name_;
            ++depth_;
        }
        const FileDescriptor file(::openat(current.get(), "leaf", O_WRONLY | O_CREAT, 0600));
        ok_ = file.isOpen() && ::write(file.get(), "0123456789", 10) == 10;
        base_ = base;
    }
    ~DeepChain()
    {
        // Remove the chain leaf first, always from the nearest parent.
        for (int level = depth_; level >= 0; --level) {
            FileDescriptor parent(::open(QFile::encodeName(base_).constData(), O_RDONLY | O_DIRECTORY));
            for (int i = 0; i < level; ++i)
                parent.reset(::openat(parent.get(), name_.c_str(), O_RDONLY | O_DIRECTORY));
            if (level == depth_)
                ::unlinkat(parent.get(), "leaf", 0);
            else
                ::unlinkat(parent.get(), name_.c_str(), AT_REMOVEDIR);
        }
    }
    bool ok() const { return ok_; }
    const std::string& path() const { return path_; }

private:
    std::string name_;
    std::string path_;
    QString base_;
    int depth_ = 0;
    bool ok_ = false;
};

} // namespace

TEST_F(FolderSizeTest, EmptyFoldersCountNothing)
{
    EXPECT_EQ(sizeOf(make(QStringLiteral("empty"))), 0u);
    make(QStringLiteral("outer/inner"));
    EXPECT_EQ(sizeOf(dir.filePath(QStringLiteral("outer"))), 0u);
}

TEST_F(FolderSizeTest, AddsFilesAtEveryDepthAndLinksAsLinks)
{
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
    const DeepChain chain(make(QStringLiteral("deep")), 30);
    ASSERT_TRUE(chain.ok());
    ASSERT_GT(chain.path().size(), 4096u);
    EXPECT_EQ(sizeOf(dir.filePath(QStringLiteral("deep"))), 10u);
    EXPECT_EQ(folderSizeOfPath(chain.path().c_str()), 10u);
}

TEST_F(FolderSizeTest, FolderMountedInsideItselfIsCountedOnce)
{
    const QString top = make(QStringLiteral("looped"));
    const QString mountPoint = make(QStringLiteral("looped/again"));
    writeTestFile(dir.filePath(QStringLiteral("looped/file")), QByteArray(7, 'x'));
    if (::mount(
            QFile::encodeName(top).constData(), QFile::encodeName(mountPoint).constData(), nullptr, MS_BIND, nullptr)
        != 0)
        GTEST_SKIP() << "bind mounts are not permitted here";
    testing::internal::CaptureStderr();
    const std::uint64_t size = sizeOf(top);
    testing::internal::GetCapturedStderr();
    ::umount2(QFile::encodeName(mountPoint).constData(), MNT_DETACH);
    EXPECT_EQ(size, 7u);
}

TEST(OpenRegularFile, NameWithEmbeddedNulIsRefusedRatherThanShortened)
{
    QTemporaryDir dir;
    writeTestFile(dir.filePath(QStringLiteral("real")), "abc");
    QString hostile = dir.filePath(QStringLiteral("real"));
    hostile += QChar(0);
    hostile += QStringLiteral("ignored");
    const OpenedFile file = openRegularFile(hostile);
    EXPECT_FALSE(file.isOpen());
    EXPECT_FALSE(file.errorText.isEmpty());
}
