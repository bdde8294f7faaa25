#include "base/UserDefaults.h"
#include "core/SettingsSchema.h"
#include "marking/ContextMenuActions.h"
#include "marking/MarkByCommands.h"
#include "marking/ProtectedFolderMatcher.h"
#include "marking/ResultsState.h"
#include "scan/ScanSources.h"
#include "support/RecordingAlerts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>

TEST(ProtectedFolderMatcher, ComparesFoldersLiterallyIgnoringCase)
{
    ProtectedFolderMatcher matcher;
    matcher.addFolder(QStringLiteral("/Users/a/Music"), true);
    matcher.addFolder(QStringLiteral("/Users/a/Docs/"), false);
    matcher.addFolder(QStringLiteral("/x/Pics (1)+.v2"), true);
    matcher.addFolder(QString(), true); // protects nothing, not the empty folder
    const std::pair<const char*, bool> cases[] = {
        { "/Users/a/Music", true },
        { "/users/A/music/2019/May", true },
        { "/Users/a/Music2", false },
        { "/Users/a", false },
        { "/USERS/A/DOCS", true },
        { "/Users/a/Docs/old", false },
        { "/x/pics (1)+.v2/sub", true },
        { "/x/Pics 1+.v2", false },
        { "/x/PicsX(1)+.v2", false },
        { "/Users/a/Music/one\ntwo", true },
        { "", false },
    };
    for (const auto& [folder, isProtected] : cases)
        EXPECT_EQ(matcher.matches(QString::fromUtf8(folder)), isProtected) << folder;
}

TEST(ProtectedFolders, ALoadedResultSetReadsACopyAndNeverRefillsTheSharedList)
{
    QTemporaryDir folder;
    UserDefaults defaults(folder.path());
    auto store = std::make_shared<ScanSources>(defaults);
    auto shown = std::make_shared<FilePathNode>();
    shown->filePath = QStringLiteral("/shown");
    store->replace(ScanSource::thisComputer, SourceList::protect, { shown }, ScanSources::Store::no);
    defaults.setValue(QString::fromLatin1(SettingsKey::protectedFolders),
        QVariantList { makeFolderEntry(QStringLiteral("/kept"), 1, 1) });

    ResultsState state(store);
    state.loadResultSet({}, 0, ScanSource::thisComputer);
    ASSERT_EQ(store->protectList(ScanSource::thisComputer).size(), 1u);
    EXPECT_EQ(store->protectList(ScanSource::thisComputer)[0], shown);
    FileInfoNode inKept;
    inKept.folderPath = QStringLiteral("/kept/photos");
    EXPECT_TRUE(state.isFileProtected(inKept));
}

namespace {

// Folders inside a temporary folder, named by their paths below it.
struct Folders {
    QTemporaryDir dir;
    QString path(const QString& relative) const { return dir.path() + QLatin1Char('/') + relative; }
    QString make(const QString& relative) const
    {
        EXPECT_TRUE(QDir().mkpath(path(relative))) << relative.toStdString();
        return path(relative);
    }
    QString link(const QString& relative, const QString& target) const
    {
        EXPECT_TRUE(QFile::link(target, path(relative))) << relative.toStdString();
        return path(relative);
    }
    QString canonical(const QString& relative) const { return QFileInfo(path(relative)).canonicalFilePath(); }
};

ProtectedFolderMatcher protecting(const QString& folder, bool includeSubFolders)
{
    ProtectedFolderMatcher matcher;
    matcher.addFolder(folder, includeSubFolders);
    return matcher;
}

} // namespace

TEST(ProtectedFolderMatcher, AFolderReachedThroughALinkOnEitherSideIsTheSameFolder)
{
    Folders tree;
    tree.make(QStringLiteral("real/Docs/old"));
    tree.make(QStringLiteral("real2"));
    tree.link(QStringLiteral("alias"), tree.path(QStringLiteral("real")));
    tree.link(QStringLiteral("up"), tree.dir.path());

    // Protected through a link, scanned through the real path.
    const ProtectedFolderMatcher throughLink = protecting(tree.path(QStringLiteral("alias")), true);
    EXPECT_FALSE(throughLink.matches(tree.path(QStringLiteral("real/Docs/old")))) << "text alone cannot tell";
    const ProtectedFolderMatcher onDisk = throughLink.resolvedOnDisk();
    EXPECT_TRUE(onDisk.matches(tree.path(QStringLiteral("real"))));
    EXPECT_TRUE(onDisk.matches(tree.path(QStringLiteral("real/Docs/old"))));
    EXPECT_FALSE(onDisk.matches(tree.path(QStringLiteral("real2"))));
    EXPECT_FALSE(onDisk.matches(tree.dir.path()));

    // Protected by its real path, scanned through a linked parent; the
    // letter case of the list still does not count.
    const ProtectedFolderMatcher docs
        = protecting(tree.path(QStringLiteral("real/docs")).toUpper(), false).resolvedOnDisk();
    EXPECT_TRUE(protecting(tree.path(QStringLiteral("real/Docs")), false)
                    .resolvedOnDisk()
                    .matches(tree.path(QStringLiteral("up/real/Docs"))));
    EXPECT_TRUE(docs.matches(tree.path(QStringLiteral("real/Docs"))));
    EXPECT_FALSE(protecting(tree.path(QStringLiteral("real/Docs")), false)
                     .resolvedOnDisk()
                     .matches(tree.path(QStringLiteral("up/real/Docs/old"))))
        << "without its sub-folders";
}

TEST(ProtectedFolderMatcher, AFolderShownByAnotherMountIsFoundThroughTheMountTable)
{
    Folders tree;
    tree.make(QStringLiteral("data/x/sub"));
    tree.make(QStringLiteral("mnt/x/sub"));
    // As the kernel writes it: the folder data/x of one file system shown
    // again at mnt/x, a space escaped.
    const QByteArray root = QFile::encodeName(tree.canonical(QStringLiteral("data/x")));
    const QByteArray point = QFile::encodeName(tree.canonical(QStringLiteral("mnt/x")));
    const QByteArray table = "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
                             "23 22 0:5 / /media/usb\\040stick rw - vfat /dev/sdb1 rw\n"
                             "40 22 8:1 "
        + root + ' ' + point + " rw - ext4 /dev/sda1 rw\n";
    const auto mounts = ProtectedFolderMatcher::parseMountTable(table);
    ASSERT_EQ(mounts.size(), 3u);
    EXPECT_EQ(mounts[1].mountPoint, QByteArray("/media/usb stick"));

    const auto data = protecting(tree.path(QStringLiteral("data")), true);
    EXPECT_TRUE(data.resolvedOnDisk(mounts).matches(tree.path(QStringLiteral("mnt/x/sub"))));
    EXPECT_FALSE(data.resolvedOnDisk({}).matches(tree.path(QStringLiteral("mnt/x/sub"))));
    const auto shown = protecting(tree.path(QStringLiteral("mnt/x")), false).resolvedOnDisk(mounts);
    EXPECT_TRUE(shown.matches(tree.path(QStringLiteral("data/x"))));
    EXPECT_FALSE(shown.matches(tree.path(QStringLiteral("data/x/sub"))));
    EXPECT_FALSE(shown.matches(tree.path(QStringLiteral("data"))));

    // The same folder names on another device are other folders.
    auto other = mounts;
    other[2].device = "8:2";
    EXPECT_FALSE(data.resolvedOnDisk(other).matches(tree.path(QStringLiteral("mnt/x/sub"))));
}

TEST(ProtectedFolderMatcher, AFolderSeenThroughARealBindMountIsProtected)
{
    Folders tree;
    tree.make(QStringLiteral("data/x/sub"));
    tree.make(QStringLiteral("mnt/x"));
    // A mount of this test's own, never seen by the rest of the machine.
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        GTEST_SKIP() << "this machine cannot make a mount namespace";
    const QByteArray source = QFile::encodeName(tree.path(QStringLiteral("data/x")));
    const QByteArray target = QFile::encodeName(tree.path(QStringLiteral("mnt/x")));
    if (::mount(source.constData(), target.constData(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "this machine cannot bind-mount";
    const auto data = protecting(tree.path(QStringLiteral("data")), true).resolvedOnDisk();
    const auto folder = protecting(tree.path(QStringLiteral("data/x")), false);
    const bool deep = data.matches(tree.path(QStringLiteral("mnt/x/sub")));
    const bool same = folder.resolvedOnDisk().matches(tree.path(QStringLiteral("mnt/x")));
    // Device and inode alone, as where the mount table cannot be read.
    const bool sameWithoutTable = folder.resolvedOnDisk({}).matches(tree.path(QStringLiteral("mnt/x")));
    ::umount2(target.constData(), MNT_DETACH);
    EXPECT_TRUE(deep);
    EXPECT_TRUE(same);
    EXPECT_TRUE(sameWithoutTable);
}

namespace {

class ProtectedThroughALink : public ::testing::Test {
protected:
    void SetUp() override
    {
        setAlertPresenter(alerts);
        tree.make(QStringLiteral("real/photos"));
        tree.make(QStringLiteral("elsewhere"));
        // The user protected the folder through a link to it; the scan found
        // the files by the real path.
        tree.link(QStringLiteral("alias"), tree.path(QStringLiteral("real")));
        defaults.setValue(QString::fromLatin1(SettingsKey::protectedFolders),
            QVariantList { makeFolderEntry(tree.path(QStringLiteral("alias"))) });
        sources->reloadStored(SourceList::protect);
        auto group = std::make_shared<DuplicateGroup>();
        for (const QString& path :
            { tree.path(QStringLiteral("real/photos/a.jpg")), tree.path(QStringLiteral("elsewhere/b.jpg")) }) {
            auto file = std::make_shared<FileInfoNode>();
            file->filePath = path;
            file->folderPath = QFileInfo(path).path();
            file->fileName = QFileInfo(path).fileName();
            file->fileSize = 10;
            addFileToGroup(group, file);
            files.push_back(file);
        }
        state.loadResultSet({ group }, 1, ScanSource::thisComputer);
    }
    void TearDown() override { setAlertPresenter(nullptr); }

    Folders tree;
    QTemporaryDir settings;
    UserDefaults defaults { settings.path() };
    std::shared_ptr<ScanSources> sources = std::make_shared<ScanSources>(defaults);
    ResultsState state { sources };
    std::shared_ptr<RecordingAlerts> alerts = std::make_shared<RecordingAlerts>();
    std::vector<FileInfoNodePtr> files;
};

} // namespace

TEST_F(ProtectedThroughALink, NoMarkingByRuleOrGroupTakesTheFileAndByHandItAsksFirst)
{
    const FileInfoNodePtr inProtected = files[0];
    state.groupCheckBoxTapped(inProtected->parent.lock());
    EXPECT_FALSE(inProtected->isMarked());
    EXPECT_TRUE(files[1]->isMarked());

    state.groupCheckBoxTapped(inProtected->parent.lock());
    runMarkByCommand(state, MarkByCommand::size, 1);
    EXPECT_FALSE(inProtected->isMarked());

    // By hand: the file's own check box and the context menu ask, and only
    // a Yes marks it, remembered as confirmed for this very file.
    state.setFileMark(files[1], false);
    alerts->answer = 0;
    state.fileCheckBoxTapped(inProtected);
    EXPECT_FALSE(inProtected->isMarked());
    EXPECT_EQ(markUnmarkImage(state, inProtected, true), ContextMarkOutcome::unchanged);
    EXPECT_EQ(alerts->shown.size(), 2u);
    alerts->answer = 1;
    EXPECT_EQ(markUnmarkImage(state, inProtected, true), ContextMarkOutcome::changed);
    EXPECT_TRUE(inProtected->isProtectedMarkConfirmed);
    state.fileCheckBoxTapped(inProtected);
    EXPECT_FALSE(inProtected->isMarked());
    EXPECT_FALSE(inProtected->isProtectedMarkConfirmed) << "the confirmation goes with the mark";
}
