#include "core/FolderDescent.h"
#include "support/TreeBuilder.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

qsizetype openDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot).size();
}

QString nested(const TreeBuilder& tree, int levels)
{
    return tree.path(QStringLiteral("d/").repeated(levels).chopped(1));
}

ino_t inodeOf(const QString& path)
{
    struct stat status { };
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_ino : 0;
}

} // namespace

TEST(FolderDescent, FoldersLetGoOfAreFoundAgainOnlyAsTheFoldersTheyWere)
{
    // 150 nested folders; the hundredth holds a second one, "z".
    TreeBuilder tree;
    tree.chain(QString(), 150, "d", [](int folder, int level) {
        if (level == 100) {
            ASSERT_EQ(::mkdirat(folder, "z", 0700), 0);
        }
    });
    const qsizetype before = openDescriptors();
    FolderDescent descent;
    ASSERT_TRUE(descent.start(FileDescriptor(::open(QFile::encodeName(tree.root()).constData(), O_RDONLY))));
    for (int level = 1; level <= 150; ++level)
        ASSERT_EQ(descent.enter("d"), 0) << level;
    EXPECT_LE(openDescriptors(), before + qsizetype(FolderDescent::heldLevels) + 1);

    // A folder between is moved away: the way up through ".." no longer
    // leads to the hundredth, its names from the deepest folder held do.
    ASSERT_TRUE(QDir().rename(nested(tree, 120), tree.path(QStringLiteral("away"))));
    for (int level = 150; level > 100; --level)
        descent.leave();
    ASSERT_TRUE(descent.innermost());
    EXPECT_EQ(descent.inode(), inodeOf(nested(tree, 100)));
    ASSERT_EQ(descent.enter("z"), 0);
    EXPECT_EQ(descent.inode(), inodeOf(nested(tree, 100) + QStringLiteral("/z")));
    descent.leave();

    // Once neither way leads to it, a folder is lost, never taken for
    // whatever stands at its place now.
    for (int level = 101; level <= 119; ++level)
        ASSERT_EQ(descent.enter("d"), 0) << level;
    ASSERT_TRUE(QDir().rename(nested(tree, 110), tree.path(QStringLiteral("further"))));
    ASSERT_TRUE(QDir().rename(nested(tree, 105), tree.path(QStringLiteral("elsewhere"))));
    tree.folder(QStringLiteral("d/").repeated(105).chopped(1));
    for (int level = 119; level > 105; --level)
        descent.leave();
    EXPECT_FALSE(descent.innermost());
    EXPECT_EQ(descent.enter("d"), ESTALE);
    descent.leave();
    ASSERT_TRUE(descent.innermost()) << "the folder above is where it was";
    EXPECT_EQ(descent.inode(), inodeOf(nested(tree, 104)));
}

TEST(FolderDescent, LinksAndFilesAreNeverEntered)
{
    TreeBuilder tree;
    tree.folder(QStringLiteral("real"));
    tree.symlink(QStringLiteral("link"), tree.path(QStringLiteral("real")));
    tree.file(QStringLiteral("file"), "x");
    FolderDescent descent;
    ASSERT_TRUE(descent.start(FileDescriptor(::open(QFile::encodeName(tree.root()).constData(), O_RDONLY))));
    EXPECT_EQ(descent.enter("link"), ELOOP);
    EXPECT_EQ(descent.enter("file"), ENOTDIR);
    EXPECT_EQ(descent.enter("missing"), ENOENT);
    EXPECT_EQ(descent.depth(), 1u);
    EXPECT_FALSE(FolderDescent().start(
        FileDescriptor(::open(QFile::encodeName(tree.path(QStringLiteral("file"))).constData(), O_RDONLY))));
}
