#include "platform/FileRemover.h"
#include "support/TempHome.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

TEST(FileRemover, ActsOnlyOnRegularFiles)
{
    TempHome home;
    const QString target = home.path() + QStringLiteral("/target");
    const QString link = home.path() + QStringLiteral("/link");
    const QString folder = home.path() + QStringLiteral("/folder");
    writeTestFile(target, "bytes");
    ASSERT_TRUE(QFile::link(target, link));
    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/inside")));
    LocalFileRemover remover;
    for (const QString& path : { link, folder, home.path() + QStringLiteral("/missing"), QStringLiteral("target") }) {
        EXPECT_FALSE(remover.moveToTrash(path).ok) << path.toStdString();
        EXPECT_FALSE(remover.removeRegularFile(path).ok) << path.toStdString();
    }
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/inside")));
    EXPECT_TRUE(QFileInfo::exists(target));

    const FileRemoval removal = remover.removeRegularFile(target);
    EXPECT_TRUE(removal.ok);
    EXPECT_TRUE(removal.trashedPath.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(target));
}

TEST(FileRemover, TrashesIntoTheDataFolderEvenWhenItIsMissing)
{
    TempHome home;
    QDir(home.dataHome()).removeRecursively();
    const QString path = home.path() + QStringLiteral("/file");
    writeTestFile(path, "bytes");
    const FileRemoval removal = LocalFileRemover().moveToTrash(path);
    ASSERT_TRUE(removal.ok) << removal.error.toStdString();
    EXPECT_EQ(removal.trashedPath, home.dataHome() + QStringLiteral("/Trash/files/file"));
    EXPECT_EQ(removal.trashInfoPath, home.dataHome() + QStringLiteral("/Trash/info/file.trashinfo"));
    EXPECT_FALSE(QDir(QDir::currentPath() + QStringLiteral("/files")).exists(QStringLiteral("file")));
}
