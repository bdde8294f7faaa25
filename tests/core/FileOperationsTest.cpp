#include "core/FileOperations.h"
#include "base/AppPaths.h"
#include "base/PrivilegedRunner.h"
#include "support/TempHome.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

struct RecordingRunner : PrivilegedRunner {
    int run(const QString& program, const QStringList& arguments) override
    {
        runs.append(QStringList { program } + arguments);
        return runs.size() == failingRun ? 126 : 0;
    }
    QList<QStringList> runs;
    qsizetype failingRun = -1;
};

struct FileOperationsTest : ::testing::Test {
    TempHome home;
    std::shared_ptr<RecordingRunner> runner = std::make_shared<RecordingRunner>();
    void SetUp() override { setPrivilegedRunner(runner); }
    void TearDown() override { setPrivilegedRunner(nullptr); }
    QString at(const QString& relative) const { return home.path() + QStringLiteral("/tree/") + relative; }
};

} // namespace

TEST(FileOperationsUnits, StepsOf1024AfterTheValueExceedsIt)
{
    const QVariantMap units { { "bytes", "B" }, { "KB", "KiB" }, { "MB", "MiB" }, { "TB", "TiB" } };
    const std::pair<double, const char*> table[] = { { 1024, "1024 B" }, { 1025, "1.0 KiB" }, { 1536, "1.5 KiB" },
        { 1048577, "1.0 MiB" }, { 1099511627776.0 * 2048, "2048.0 TiB" }, { 1610612736, "1.5 " } };
    for (const auto& [bytes, text] : table)
        EXPECT_EQ(FileOperations::convertBytesToApplicableUnit(units, bytes), QString::fromLatin1(text));
}

TEST_F(FileOperationsTest, ListsSumsAndRemovesRegularFilesOnly)
{
    ASSERT_TRUE(QDir().mkpath(at(QStringLiteral("sub"))) && QDir().mkpath(at(QStringLiteral("Tool.APP"))));
    writeTestFile(at(QStringLiteral("a.txt")), "12345");
    writeTestFile(at(QStringLiteral("sub/.hidden")), "123");
    writeTestFile(at(QStringLiteral("Tool.APP/inside")), "1");
    ASSERT_TRUE(QFile::link(at(QStringLiteral("a.txt")), at(QStringLiteral("sub/link"))));
    makeTestFifo(at(QStringLiteral("sub/pipe")));

    QStringList files = FileOperations::getFilesListInDirectory(at(QString()));
    files.sort();
    EXPECT_EQ(files, (QStringList { at("Tool.APP/inside"), at("a.txt"), at("sub/.hidden") }));
    EXPECT_EQ(
        FileOperations::getFilesListInDirectory(at(QString()), QStringLiteral("app")), QStringList { at("Tool.APP") });
    EXPECT_EQ(FileOperations::getDirectorySize(at(QString())), QStringLiteral("9.000000"));
    EXPECT_EQ(FileOperations::getSizeOfFileOrFolder(at(QStringLiteral("a.txt"))), QStringLiteral("5"));
    EXPECT_EQ(FileOperations::getFileSize(at(QStringLiteral("missing"))), QStringLiteral("0"));
    EXPECT_EQ(FileOperations::getFilesFoldersListInDirectory(at(QStringLiteral("sub"))),
        (QStringList { ".hidden", "link", "pipe" }));
    EXPECT_EQ(FileOperations::getItemAMCDates(at(QStringLiteral("a.txt"))).value("mDate").toDateTime(),
        QFileInfo(at(QStringLiteral("a.txt"))).lastModified().toUTC());

    EXPECT_TRUE(FileOperations::deleteDirectoryContents(at(QString())));
    EXPECT_EQ(FileOperations::getFilesListInDirectory(at(QString())), QStringList());
    EXPECT_TRUE(QFileInfo(at(QStringLiteral("sub/link"))).isSymLink());
    EXPECT_FALSE(FileOperations::deleteFile(at(QStringLiteral("sub"))));
    QString error;
    for (const QString& refused : { QString(), QStringLiteral("/"), QStringLiteral("//."), QStringLiteral("tree") }) {
        EXPECT_FALSE(FileOperations::deleteFile(refused, &error)) << refused.toStdString();
        EXPECT_FALSE(FileOperations::deleteDirectoryContents(refused, &error)) << refused.toStdString();
        EXPECT_FALSE(FileOperations::deleteItemFromTerminalCommand(refused)) << refused.toStdString();
    }
    // A trailing slash or a linked folder on the way is refused: rm would
    // empty the link's target.
    const QString tree = home.path() + QStringLiteral("/tree");
    ASSERT_TRUE(QFile::link(tree, home.path() + QStringLiteral("/link")));
    EXPECT_FALSE(FileOperations::deleteItemFromTerminalCommand(home.path() + QStringLiteral("/link/")));
    EXPECT_FALSE(FileOperations::deleteItemFromTerminalCommand(tree + QLatin1Char('/')));
    EXPECT_TRUE(QFileInfo(at(QStringLiteral("sub"))).isDir());
    EXPECT_TRUE(FileOperations::deleteItemFromTerminalCommand(tree));
    EXPECT_FALSE(QFileInfo::exists(tree));
}

TEST_F(FileOperationsTest, PrivilegedRemovalsPassEachPathAsOneArgumentAfterTheOptions)
{
    const QString spaced = QStringLiteral("/opt/My App/-rf *");
    EXPECT_TRUE(FileOperations::removeFileWithElevatedPrivilegesFromLocation(spaced));
    EXPECT_EQ(runner->runs, (QList<QStringList> { { "/bin/rm", "-rf", "--", spaced } }));

    EXPECT_TRUE(FileOperations::removeFilesWithElevatedPrivilegesFromLocations({}));
    EXPECT_FALSE(FileOperations::removeFileWithElevatedPrivilegesFromLocation(QStringLiteral("/")));
    EXPECT_FALSE(FileOperations::removeFileWithElevatedPrivilegesFromLocation(QStringLiteral("/etc")));
    EXPECT_FALSE(FileOperations::removeFilesWithElevatedPrivilegesFromLocations({ "/opt/a", "" }));
    EXPECT_EQ(runner->runs.size(), 1); // refused before anything ran

    runner->failingRun = 3;
    EXPECT_FALSE(FileOperations::removeFilesWithElevatedPrivilegesFromLocations({ "/opt/a", "/opt/b", "/opt/c" }));
    EXPECT_EQ(runner->runs.size(), 3);
    EXPECT_EQ(runner->runs.last().last(), QStringLiteral("/opt/b"));
}

// A link where the entry would go, leading nowhere yet: the entry is never
// written through it, so no file appears where the link points.
TEST_F(FileOperationsTest, ALoginItemIsNeverWrittenThroughALink)
{
    const QString program = home.path() + QStringLiteral("/bin/tool");
    ASSERT_TRUE(QDir().mkpath(home.path() + QStringLiteral("/bin")));
    writeTestFile(program, "#!/bin/sh\n");
    const QString autostart = AppPaths::configHome() + QStringLiteral("/autostart");
    ASSERT_TRUE(QDir().mkpath(autostart));
    const QString target = home.path() + QStringLiteral("/.profile");
    ASSERT_TRUE(QFile::link(target, autostart + QStringLiteral("/tool.desktop")));
    EXPECT_TRUE(FileOperations::addApplicationAsLoginItem(program));
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_EQ(FileOperations::getApplicationsListFromLoginItem(), QStringList { program });
}

TEST_F(FileOperationsTest, LoginItemsAreAutostartEntriesThatReadBackTheirProgram)
{
    const QString program = home.path() + QStringLiteral("/bin/My \"odd\" $app 100%\\x");
    ASSERT_TRUE(QDir().mkpath(home.path() + QStringLiteral("/bin")));
    writeTestFile(program, "#!/bin/sh\n");
    EXPECT_TRUE(FileOperations::addApplicationAsLoginItem(program));
    EXPECT_TRUE(FileOperations::addApplicationAsLoginItem(program));
    EXPECT_EQ(QDir(AppPaths::configHome() + QStringLiteral("/autostart")).entryList(QDir::Files).size(), 1);
    EXPECT_EQ(FileOperations::getApplicationsListFromLoginItem(), QStringList { program });
    EXPECT_FALSE(FileOperations::addApplicationAsLoginItem(QStringLiteral("/bin/two\nlines")));

    EXPECT_TRUE(FileOperations::deleteApplicationFromLoginItem(program));
    EXPECT_EQ(FileOperations::getApplicationsListFromLoginItem(), QStringList());
    EXPECT_EQ(FileOperations::applicationSupportDirectory(), AppPaths::dataFolder());
    EXPECT_TRUE(QFileInfo(AppPaths::dataFolder()).isDir());
}
