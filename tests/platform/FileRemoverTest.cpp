#include "platform/FileRemover.h"
#include "support/OtherUserAndVolume.h"
#include "support/TempHome.h"
#include "support/TestFiles.h"
#include "support/UserNamespace.h"
#include "support/Watchdog.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <climits>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Files may grow to at most limit bytes while it lives, as on a volume that
// is full; the signal such a write raises is ignored meanwhile.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit lowered = saved_;
        lowered.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }

private:
    struct rlimit saved_ { };
    void (*previous_)(int) = nullptr;
};

} // namespace

TEST(FileRemover, LongNamesAreShortenedToFitWhileTheEntryKeepsTheWholePath)
{
    TempHome home;
    const QString trash = home.dataHome() + QStringLiteral("/Trash");
    // 250 bytes of two-byte characters, an extension, and the same name
    // twice: the second entry needs a name of its own.
    const QString longName = QString(122, QChar(0xe9)) + QStringLiteral("xy.jpeg");
    const QString mediumName = QString(238, QLatin1Char('a')) + QStringLiteral(".jpg");
    LocalFileRemover remover;
    QStringList trashed;
    for (const QString& name : { longName, mediumName, mediumName }) {
        const QString folder = home.path() + QStringLiteral("/f") + QString::number(trashed.size());
        ASSERT_TRUE(QDir().mkpath(folder));
        const QString path = folder + QLatin1Char('/') + name;
        writeTestFile(path, "bytes");
        const FileRemoval removal = remover.moveToTrash(path);
        ASSERT_TRUE(removal.ok) << removal.error.toStdString();
        EXPECT_FALSE(QFileInfo::exists(path));
        const QByteArray entry = QFile::encodeName(QFileInfo(removal.trashedPath).fileName());
        EXPECT_LE(entry.size() + 10, NAME_MAX);
        EXPECT_TRUE(entry.endsWith(name.endsWith(QStringLiteral(".jpg")) ? ".jpg" : ".jpeg"));
        EXPECT_EQ(QFile::decodeName(entry).toUtf8(), entry) << "cut inside a character";
        EXPECT_EQ(trashInfoOriginalPath(removal.trashInfoPath), path);
        EXPECT_EQ(removal.trashInfoPath, trash + QStringLiteral("/info/") + QFile::decodeName(entry) + ".trashinfo");
        trashed.append(removal.trashedPath);
    }
    EXPECT_EQ(QSet<QString>(trashed.begin(), trashed.end()).size(), 3);
    EXPECT_EQ(entriesOf(trash + QStringLiteral("/files")).size(), 3);
    EXPECT_EQ(entriesOf(trash + QStringLiteral("/info")).size(), 3);
}

TEST(FileRemover, ATrashThatCannotTakeTheFileFailsItAndLeavesNothingBehind)
{
    TempHome home;
    const QString trash = home.dataHome() + QStringLiteral("/Trash");
    const QString path = home.path() + QStringLiteral("/file");
    LocalFileRemover remover;
    const auto stays = [&](const FileRemoval& removal) {
        EXPECT_FALSE(removal.ok);
        EXPECT_FALSE(removal.error.isEmpty());
        EXPECT_TRUE(removal.trashedPath.isEmpty() && removal.trashInfoPath.isEmpty());
        EXPECT_TRUE(QFileInfo::exists(path));
    };
    writeTestFile(path, "bytes");

    // A volume too full for the entry: nothing of it stays, the file stays.
    {
        const FileSizeLimit full(8);
        stays(remover.moveToTrash(path));
    }
    EXPECT_EQ(entriesOf(trash + QStringLiteral("/info")), QStringList {});
    EXPECT_EQ(entriesOf(trash + QStringLiteral("/files")), QStringList {});

    // The files folder cannot take it: the written entry goes again.
    QDir(trash + QStringLiteral("/files")).removeRecursively();
    writeTestFile(trash + QStringLiteral("/files"), "not a folder");
    remover.startRun();
    stays(remover.moveToTrash(path));
    EXPECT_EQ(entriesOf(trash + QStringLiteral("/info")), QStringList {});

    // An info folder that takes no entry at all.
    QFile::remove(trash + QStringLiteral("/files"));
    QDir(trash + QStringLiteral("/info")).removeRecursively();
    writeTestFile(trash + QStringLiteral("/info"), "not a folder");
    remover.startRun();
    stays(remover.moveToTrash(path));
}

TEST(FileRemover, AMoveTheProofRejectsIsTakenBack)
{
    TempHome home;
    const QString path = home.path() + QStringLiteral("/file");
    writeTestFile(path, "bytes");
    const auto before = factsOf(path);
    LocalFileRemover remover;
    int asked = 0;
    const RemovalProof refuse = [&]() -> std::optional<QString> {
        ++asked;
        EXPECT_FALSE(QFileInfo::exists(path)) << "asked before the file was moved";
        return QStringLiteral("the copy went too");
    };
    for (const FileRemoval& removal : { remover.moveToTrash(path, refuse), remover.removeRegularFile(path, refuse) }) {
        EXPECT_FALSE(removal.ok);
        EXPECT_EQ(removal.error, QStringLiteral("the copy went too"));
        const auto now = factsOf(path);
        ASSERT_TRUE(now);
        EXPECT_EQ(now->inode, before->inode);
    }
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(entriesOf(home.path()), (QStringList { QStringLiteral("cache"), QStringLiteral("config"),
                                          QStringLiteral("data"), QStringLiteral("file"), QStringLiteral("state") }));
    EXPECT_EQ(entriesOf(home.dataHome() + QStringLiteral("/Trash/info")), QStringList {});

    // A proof that passes lets each go; the trashed file is recorded as it
    // is after the move.
    const RemovalProof pass = [] { return std::optional<QString>(); };
    const FileRemoval trashed = remover.moveToTrash(path, pass);
    ASSERT_TRUE(trashed.ok);
    EXPECT_EQ(factsOf(trashed.trashedPath), trashed.trashed);
    EXPECT_EQ(trashed.trashed.inode, before->inode);
    writeTestFile(path, "bytes");
    EXPECT_TRUE(remover.removeRegularFile(path, pass).ok);
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST(FileRemover, ATrashEntryIsKnownAgainOnlyAsItWasWrittenAndNeverWaitedOn)
{
    TempHome home;
    const QString ahead = home.path() + QStringLiteral("/written ahead");
    const QString alone = home.path() + QStringLiteral("/written alone");
    writeTestFile(ahead, "bytes");
    writeTestFile(alone, "bytes");
    LocalFileRemover remover;
    remover.startRun();
    remover.prepareTrashEntries({ ahead });
    for (const FileRemoval& removal : { remover.moveToTrash(ahead), remover.moveToTrash(alone) }) {
        ASSERT_TRUE(removal.ok) << removal.error.toStdString();
        EXPECT_TRUE(removal.trashInfoText.contains("DeletionDate="));
        EXPECT_TRUE(isTrashEntryAsWritten(removal.trashInfoPath, removal.trashInfoText, removal.trashInfo));
        EXPECT_FALSE(isTrashEntryAsWritten(removal.trashInfoPath, removal.trashInfoText, FileFacts {}));

        // A FIFO in an entry's place is no entry.
        ASSERT_TRUE(QFile::remove(removal.trashInfoPath));
        makeTestFifo(removal.trashInfoPath);
        const auto read = runWithWatchdog(
            [info = removal.trashInfoPath, text = removal.trashInfoText, facts = removal.trashInfo] {
                return !trashInfoOriginalPath(info) && !isTrashEntryAsWritten(info, text, facts);
            },
            nullptr, std::chrono::milliseconds(0), std::chrono::seconds(10));
        EXPECT_EQ(read, std::optional(true));
    }
}

TEST(FileRemover, AnotherVolumeUsesItsSharedTrashOnlyWhenItIsARealStickyFolder)
{
    QTemporaryDir top;
    const uid_t uid = ::getuid();
    const QString own = top.path() + QStringLiteral("/.Trash-") + QString::number(uid);
    const QString shared = top.path() + QStringLiteral("/.Trash");
    const auto folderMode = [](const QString& path) {
        struct stat status { };
        return ::lstat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & 07777 : 0u;
    };

    // None there: the user's own, made private.
    EXPECT_EQ(TrashDetail::volumeTrashFolder(top.path(), uid).path, own);
    EXPECT_EQ(folderMode(own), 0700u);
    EXPECT_TRUE(QFileInfo(own + QStringLiteral("/info")).isDir() && QFileInfo(own + QStringLiteral("/files")).isDir());

    // A shared one without the sticky bit, or a link to a sticky one: not used.
    ASSERT_TRUE(QDir().mkpath(top.path() + QStringLiteral("/elsewhere")));
    ::chmod(QFile::encodeName(top.path() + QStringLiteral("/elsewhere")).constData(), 01777);
    ASSERT_TRUE(QFile::link(top.path() + QStringLiteral("/elsewhere"), shared));
    EXPECT_EQ(TrashDetail::volumeTrashFolder(top.path(), uid).path, own);
    QFile::remove(shared);
    ASSERT_TRUE(QDir().mkpath(shared));
    ::chmod(QFile::encodeName(shared).constData(), 0777);
    EXPECT_EQ(TrashDetail::volumeTrashFolder(top.path(), uid).path, own);
    EXPECT_EQ(entriesOf(shared), QStringList {});

    ::chmod(QFile::encodeName(shared).constData(), 01777);
    EXPECT_EQ(TrashDetail::volumeTrashFolder(top.path(), uid).path, shared + QLatin1Char('/') + QString::number(uid));

    // A private trash that is a link is never used.
    QDir(own).removeRecursively();
    ASSERT_TRUE(QFile::link(top.path() + QStringLiteral("/elsewhere"), own));
    ::chmod(QFile::encodeName(shared).constData(), 0777);
    EXPECT_TRUE(TrashDetail::volumeTrashFolder(top.path(), uid).path.isEmpty());
}

TEST(FileRemover, ASharedTrashOfAnotherUserIsNotUsedAndATrashGivenAwayAfterItsCheckTakesNoMoreFiles)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a folder to another user needs root";
    constexpr uid_t other = 65534;
    const uid_t uid = ::getuid();
    QTemporaryDir top;
    const QString shared = top.path() + QStringLiteral("/.Trash");
    ASSERT_TRUE(QDir().mkpath(shared));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 01777), 0);

    // Sticky, but another user's: they could rename the user's folder in it.
    ASSERT_EQ(::chown(QFile::encodeName(shared).constData(), other, other), 0);
    EXPECT_EQ(TrashDetail::volumeTrashFolder(top.path(), uid).path,
        top.path() + QStringLiteral("/.Trash-") + QString::number(uid));
    EXPECT_EQ(entriesOf(shared), QStringList {});
    // Root's serves.
    ASSERT_EQ(::chown(QFile::encodeName(shared).constData(), 0, 0), 0);
    EXPECT_EQ(TrashDetail::volumeTrashFolder(top.path(), uid).path, shared + QLatin1Char('/') + QString::number(uid));

    // The trash folder this run found is given to another user: it is
    // looked at again before each move, and takes no further file.
    TempHome home;
    const QString first = home.path() + QStringLiteral("/first");
    const QString second = home.path() + QStringLiteral("/second");
    writeTestFile(first, "first");
    writeTestFile(second, "second");
    LocalFileRemover remover;
    ASSERT_TRUE(remover.moveToTrash(first).ok);
    const QString trash = home.dataHome() + QStringLiteral("/Trash");
    ASSERT_EQ(::chown(QFile::encodeName(trash).constData(), other, other), 0);
    const FileRemoval refused = remover.moveToTrash(second);
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.error.contains(QStringLiteral("belongs to another user"))) << refused.error.toStdString();
    EXPECT_TRUE(QFileInfo::exists(second));
    EXPECT_EQ(entriesOf(trash + QStringLiteral("/files")), QStringList { QStringLiteral("first") });
}

// Inside a user namespace a shared trash of another user shows as the
// overflow id, as one of the system's does: it is not used, and the user's
// own trash on the volume is.
TEST(FileRemover, InsideAUserNamespaceASharedTrashOfAnOwnerItCannotTellIsNotUsed)
{
    constexpr char topVariable[] = "VELLICOR_TEST_VOLUME_TOP";
    if (!isInsideUserNamespaceRun()) {
        if (::geteuid() != 0)
            GTEST_SKIP() << "giving a folder to another user needs root";
        QTemporaryDir top;
        const QByteArray at = QFile::encodeName(top.path());
        ASSERT_EQ(::chmod(at.constData(), 0755), 0);
        ASSERT_EQ(::chown(at.constData(), namespaceUserOf(), namespaceGroupOf()), 0);
        ASSERT_EQ(::mkdir((at + "/.Trash").constData(), 01777), 0);
        ASSERT_EQ(::chmod((at + "/.Trash").constData(), 01777), 0);
        ASSERT_EQ(::chown((at + "/.Trash").constData(), otherUser, otherUser), 0);
        qputenv(topVariable, at);
        const UserNamespaceRun inside = runCurrentTestInUserNamespace();
        qunsetenv(topVariable);
        if (!inside.skipped.empty())
            GTEST_SKIP() << inside.skipped;
        EXPECT_EQ(inside.exitCode, 0) << "the run inside the user namespace failed (its output above)";
        return;
    }
    const QString top = qEnvironmentVariable(topVariable);
    struct stat shared { };
    struct stat root { };
    ASSERT_EQ(::stat(QFile::encodeName(top + QStringLiteral("/.Trash")).constData(), &shared), 0);
    ASSERT_EQ(::stat("/", &root), 0);
    ASSERT_EQ(shared.st_uid, root.st_uid) << "the other user's folder does not show as the system's here";
    const uid_t uid = ::geteuid();
    EXPECT_EQ(TrashDetail::volumeTrashFolder(top, uid).path, top + QStringLiteral("/.Trash-") + QString::number(uid));
    EXPECT_EQ(entriesOf(top + QStringLiteral("/.Trash")), QStringList {});
}

// The files or info folder of a trash found this run, swapped afterwards
// (by a program of the user's own: nobody else may enter it) for a link or
// a folder of another user: no file goes in, and the user is told which.
TEST(FileRemover, ATrashWhosePartIsSwappedForALinkOrAnotherUsersFolderTakesNoFileAndSaysWhich)
{
    TempHome home;
    const QString trash = home.dataHome() + QStringLiteral("/Trash");
    for (const char* name : { "first", "second", "third" })
        writeTestFile(home.path() + QLatin1Char('/') + QLatin1String(name), name);
    LocalFileRemover remover;
    ASSERT_TRUE(remover.moveToTrash(home.path() + QStringLiteral("/first")).ok);

    const QString elsewhere = home.path() + QStringLiteral("/elsewhere");
    ASSERT_TRUE(QDir().mkpath(elsewhere));
    ASSERT_TRUE(QDir().rename(trash + QStringLiteral("/files"), trash + QStringLiteral("/files.old")));
    ASSERT_TRUE(QFile::link(elsewhere, trash + QStringLiteral("/files")));
    const FileRemoval linked = remover.moveToTrash(home.path() + QStringLiteral("/second"));
    EXPECT_FALSE(linked.ok);
    EXPECT_TRUE(linked.error.endsWith(trash + QStringLiteral("/files is a symbolic link"))) << linked.error.toStdString();
    EXPECT_EQ(entriesOf(elsewhere), QStringList {});
    EXPECT_TRUE(QFileInfo::exists(home.path() + QStringLiteral("/second")));

    if (::geteuid() != 0)
        GTEST_SKIP() << "giving a folder to another user needs root";
    ASSERT_TRUE(QFile::remove(trash + QStringLiteral("/files")));
    ASSERT_TRUE(QDir().rename(trash + QStringLiteral("/files.old"), trash + QStringLiteral("/files")));
    ASSERT_EQ(::chown(QFile::encodeName(trash + QStringLiteral("/info")).constData(), 65534, 65534), 0);
    const FileRemoval given = remover.moveToTrash(home.path() + QStringLiteral("/third"));
    EXPECT_FALSE(given.ok);
    EXPECT_TRUE(given.error.endsWith(trash + QStringLiteral("/info belongs to another user"))) << given.error.toStdString();
    EXPECT_TRUE(QFileInfo::exists(home.path() + QStringLiteral("/third")));
    EXPECT_EQ(entriesOf(trash + QStringLiteral("/files")), QStringList { QStringLiteral("first") });
}

namespace {

// What a removal in a child as the other user came to: whether it went, and
// why not.
struct ChildRemoval {
    bool ok = false;
    QString error;
};

// Moves each of paths to the trash in a child that has only otherUser's
// rights, as that user's program would; none when the child could not tell.
std::optional<std::vector<ChildRemoval>> trashAsOtherUser(const QStringList& paths)
{
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return std::nullopt;
    const int code = exitCodeOfChild([&] {
        ::close(report[0]);
        if (!becomeOtherUser())
            return 2;
        LocalFileRemover remover;
        QByteArray told;
        for (const QString& path : paths) {
            const FileRemoval removal = remover.moveToTrash(path);
            told += (removal.ok ? "1" : "0") + removal.error.toUtf8() + '\n';
        }
        return ::write(report[1], told.constData(), size_t(told.size())) == told.size() ? 0 : 1;
    });
    ::close(report[1]);
    QByteArray told;
    char chunk[4096];
    for (ssize_t got; (got = ::read(report[0], chunk, sizeof chunk)) > 0;)
        told.append(chunk, got);
    ::close(report[0]);
    if (code != 0)
        return std::nullopt;
    std::vector<ChildRemoval> removals;
    for (const QByteArray& line : told.split('\n')) {
        if (!line.isEmpty())
            removals.push_back({ line.startsWith('1'), QString::fromUtf8(line.mid(1)) });
    }
    return removals;
}

} // namespace

// A home trash another user took (a program run with the administrator's
// rights made it root's, open to them alone or to everyone): a file on a
// stick with a trash of its own still goes there, and a file of the home
// volume is refused saying whose the trash is and how to give it back; done
// so, the next removal uses it.
TEST(FileRemover, AHomeTrashAnotherUserTookRefusesOnlyTheHomeVolumesFilesAndSaysHowToMendIt)
{
    for (const mode_t mode : { mode_t(0700), mode_t(0755) }) {
        SCOPED_TRACE(mode);
        TempHome home;
        const QString stick = home.path() + QStringLiteral("/stick");
        // A stick as the desktop mounts it for the user.
        const PrivateVolume volume(stick, "tmpfs", "mode=0700,uid=65534,gid=65534");
        if (!volume.isMounted())
            GTEST_SKIP() << volume.whyNot();
        // The user's home and data folder, and in it root's trash.
        const QString trash = home.dataHome() + QStringLiteral("/Trash");
        for (const QString& part : { trash + QStringLiteral("/files"), trash + QStringLiteral("/info") })
            ASSERT_TRUE(QDir().mkpath(part));
        for (const QString& folder : { trash, trash + QStringLiteral("/files"), trash + QStringLiteral("/info") })
            ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), mode), 0);
        for (const QString& own : { home.path(), home.dataHome() })
            ASSERT_EQ(::chown(QFile::encodeName(own).constData(), otherUser, otherUser), 0);
        const QString onStick = stick + QStringLiteral("/holiday.jpg");
        const QString atHome = home.path() + QStringLiteral("/copy.jpg");
        for (const QString& path : { onStick, atHome }) {
            writeTestFile(path, "picture");
            ASSERT_EQ(::chown(QFile::encodeName(path).constData(), otherUser, otherUser), 0);
        }

        const auto removals = trashAsOtherUser({ onStick, atHome });
        ASSERT_TRUE(removals);
        ASSERT_EQ(removals->size(), 2u);
        EXPECT_TRUE((*removals)[0].ok) << (*removals)[0].error.toStdString();
        const QString stickTrash = stick + QStringLiteral("/.Trash-65534");
        EXPECT_EQ(entriesOf(stickTrash + QStringLiteral("/files")), QStringList { QStringLiteral("holiday.jpg") });
        EXPECT_EQ(entriesOf(stickTrash + QStringLiteral("/info")), QStringList { QStringLiteral("holiday.jpg.trashinfo") });
        EXPECT_FALSE(QFileInfo::exists(onStick));

        const QString refusal = (*removals)[1].error;
        EXPECT_FALSE((*removals)[1].ok);
        EXPECT_TRUE(QFileInfo::exists(atHome));
        const QString mend = QStringLiteral("make it yours again with: sudo ");
        EXPECT_TRUE(refusal.startsWith(
            QStringLiteral("its volume has no usable trash: %1 belongs to another user (root); ").arg(trash) + mend))
            << refusal.toStdString();
        EXPECT_TRUE(refusal.endsWith(QStringLiteral(" '%1'").arg(trash))) << refusal.toStdString();
        EXPECT_EQ(entriesOf(trash + QStringLiteral("/files")), QStringList {});

        // The command it names gives the trash back.
        const qsizetype command = refusal.indexOf(mend);
        ASSERT_GT(command, 0);
        ASSERT_EQ(QProcess::execute(QStringLiteral("/bin/sh"),
                      { QStringLiteral("-c"), refusal.mid(command + mend.size()) }),
            0);
        const auto mended = trashAsOtherUser({ atHome });
        ASSERT_TRUE(mended && mended->size() == 1u);
        EXPECT_TRUE((*mended)[0].ok) << (*mended)[0].error.toStdString();
        EXPECT_EQ(entriesOf(trash + QStringLiteral("/files")), QStringList { QStringLiteral("copy.jpg") });

        // Its info folder taken again, as a program run with those rights
        // that trashed a file would leave it: the trash is still named.
        const QString next = home.path() + QStringLiteral("/next.jpg");
        writeTestFile(next, "next");
        ASSERT_EQ(::chown(QFile::encodeName(next).constData(), otherUser, otherUser), 0);
        ASSERT_EQ(::chown(QFile::encodeName(trash + QStringLiteral("/info")).constData(), 0, 0), 0);
        const auto partTaken = trashAsOtherUser({ next });
        ASSERT_TRUE(partTaken && partTaken->size() == 1u);
        EXPECT_EQ((*partTaken)[0].error,
            QStringLiteral("its volume has no usable trash: %1/info belongs to another user (root); %2%3")
                .arg(trash, mend, refusal.mid(command + mend.size())));

        // No trash, in a data folder another user took: that folder is named.
        ASSERT_TRUE(QDir(trash).removeRecursively());
        ASSERT_EQ(::chown(QFile::encodeName(home.dataHome()).constData(), 0, 0), 0);
        const auto folderTaken = trashAsOtherUser({ next });
        ASSERT_TRUE(folderTaken && folderTaken->size() == 1u);
        EXPECT_EQ((*folderTaken)[0].error,
            QStringLiteral("its volume has no usable trash: %1 belongs to another user (root), so the trash cannot "
                           "be made in it")
                .arg(home.dataHome()));
        EXPECT_TRUE(QFileInfo::exists(next));

        // A trash that a user other than root owns may hold what they put
        // there: no command gives it to the user with its contents.
        ASSERT_EQ(::chown(QFile::encodeName(home.dataHome()).constData(), otherUser, otherUser), 0);
        ASSERT_TRUE(QDir().mkpath(trash));
        ASSERT_EQ(::chown(QFile::encodeName(trash).constData(), 65533, 65533), 0);
        const auto anotherUsers = trashAsOtherUser({ next });
        ASSERT_TRUE(anotherUsers && anotherUsers->size() == 1u);
        const QString whose = (*anotherUsers)[0].error;
        EXPECT_TRUE(whose.startsWith(
            QStringLiteral("its volume has no usable trash: %1 belongs to another user (").arg(trash)))
            << whose.toStdString();
        EXPECT_TRUE(whose.endsWith(QLatin1Char(')'))) << whose.toStdString();
        EXPECT_TRUE(QFileInfo::exists(next));
    }
}
