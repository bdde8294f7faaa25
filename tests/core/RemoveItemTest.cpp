#include "core/RemoveItem.h"
#include "base/PrivilegedRunner.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <deque>

namespace {

// Answers each run with the next status (0 when none is left).
struct ScriptedRunner : PrivilegedRunner {
    int run(const QString& program, const QStringList& arguments) override
    {
        runs.append(QStringList { program } + arguments);
        if (statuses.empty())
            return 0;
        const int status = statuses.front();
        statuses.pop_front();
        return status;
    }
    QList<QStringList> runs;
    std::deque<int> statuses;
};

struct RemoveItemTest : ::testing::Test {
    std::shared_ptr<ScriptedRunner> runner = std::make_shared<ScriptedRunner>();
    void SetUp() override { setPrivilegedRunner(runner); }
    void TearDown() override { setPrivilegedRunner(nullptr); }
};

} // namespace

TEST_F(RemoveItemTest, CommandsTakeEachPathAsOneArgumentAfterTheOptions)
{
    RemoveItem remover;
    ASSERT_TRUE(remover.authenticated());
    const QString spaced = QStringLiteral("/opt/a folder/-rf name");
    EXPECT_TRUE(remover.removeSingleItem(spaced));
    EXPECT_TRUE(remover.renameItem(spaced, QStringLiteral("/opt/b c")));
    EXPECT_TRUE(remover.removeMultipleItems({}));
    EXPECT_EQ(runner->runs,
        (QList<QStringList> {
            { "/bin/true" }, { "/bin/rm", "-rf", "--", spaced }, { "/bin/mv", "-f", "--", spaced, "/opt/b c" } }));
}

TEST_F(RemoveItemTest, EveryFailedCommandAnswersFalse)
{
    RemoveItem remover;
    runner->statuses = { 1, 1, 0, 1 };
    EXPECT_FALSE(remover.removeSingleItem(QStringLiteral("/opt/x")));
    EXPECT_FALSE(remover.renameItem(QStringLiteral("/opt/x"), QStringLiteral("/opt/y")));
    // The second of three fails and the third never runs.
    EXPECT_FALSE(remover.removeMultipleItems({ "/opt/1", "/opt/2", "/opt/3" }));
    EXPECT_EQ(runner->runs.size(), 5);
    EXPECT_EQ(remover.status(), 1);
}

TEST_F(RemoveItemTest, UnsafePathsAreRefusedWithoutRunning)
{
    RemoveItem remover;
    for (const char* path : { "", "/", "//./", "relative/path" })
        EXPECT_FALSE(remover.removeSingleItem(QString::fromLatin1(path))) << path;
    EXPECT_FALSE(remover.renameItem(QStringLiteral("/opt/x"), QString()));
    EXPECT_EQ(runner->runs.size(), 1);
}

TEST_F(RemoveItemTest, ACancelledDialogEndsAllWorkOfTheObject)
{
    for (const int refusal : { RemoveItem::cancelledStatus, RemoveItem::refusedStatus }) {
        runner->runs.clear();
        runner->statuses = { refusal };
        RemoveItem remover;
        EXPECT_FALSE(remover.authenticated());
        EXPECT_FALSE(remover.removeSingleItem(QStringLiteral("/opt/x")));
        EXPECT_FALSE(remover.renameItem(QStringLiteral("/opt/x"), QStringLiteral("/opt/y")));
        EXPECT_EQ(runner->runs.size(), 1) << refusal;
    }
}

TEST_F(RemoveItemTest, SystemFoldersLinkedPathsAndTrailingSlashesAreRefusedWithoutRunning)
{
    QTemporaryDir dir;
    const QString target = dir.path() + QStringLiteral("/target");
    const QString link = dir.path() + QStringLiteral("/link");
    ASSERT_TRUE(QDir().mkpath(target + QStringLiteral("/inner")));
    ASSERT_TRUE(QFile::link(target, link));
    RemoveItem remover;
    const QStringList refused { "/etc", "/home", "/tmp", "/usr/share", "/var/lib", "/lib64", "/boot/grub",
        "/etc/passwd", "/proc/1", QDir::homePath(), target + "/", link, link + "/", link + "/inner",
        target + "/../target", target + "//inner", target + "/./inner", "relative" };
    for (const QString& path : refused) {
        EXPECT_FALSE(remover.removeSingleItem(path)) << path.toStdString();
        EXPECT_FALSE(remover.renameItem(target + "/inner", path)) << path.toStdString();
        EXPECT_FALSE(privilegedPathRefusal(path).isEmpty()) << path.toStdString();
    }
    EXPECT_EQ(runner->runs.size(), 1);

    // A plain path, and one whose tail does not exist yet, are run.
    EXPECT_TRUE(remover.removeSingleItem(target + "/inner"));
    EXPECT_TRUE(remover.renameItem(target + "/inner", target + "/missing/deeper"));
    EXPECT_EQ(runner->runs.size(), 3);
}
