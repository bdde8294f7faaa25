#include "platform/FileRemover.h"
#include "platform/JournalRecords.h"
#include "platform/SetAsideJournal.h"
#include "support/ChildProcess.h"
#include "support/OtherUserAndVolume.h"
#include "support/TempHome.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(missing)");
}

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

QStringList setAsideIn(const QString& folder)
{
    return entriesOf(folder).filter(QRegularExpression(QStringLiteral("^\\.vellicor-removing-")));
}

// How an editor saves: the new text into a file of its own, renamed over
// the old one.
void editorsSave(const QString& path, const QByteArray& bytes)
{
    writeTestFile(path + QStringLiteral(".swp"), bytes);
    ASSERT_EQ(std::rename(QFile::encodeName(path + QStringLiteral(".swp")).constData(),
                  QFile::encodeName(path).constData()),
        0);
}

// Gives a line of every record in the journal another value, as a record
// of the file on a volume mounted anew would have it; a null value drops the
// line, as a record of an earlier version lacks it.
void changeRecords(const QByteArray& key, const std::function<QByteArray(const QByteArray&)>& value)
{
    const QString journal = SetAsideJournal::folder();
    for (const QString& name : entriesOf(journal)) {
        QByteArrayList lines;
        for (const QByteArray& line : contentOf(journal + QLatin1Char('/') + name).split('\n')) {
            if (!line.startsWith(key + '='))
                lines.append(line);
            else if (const QByteArray changed = value(line.mid(key.size() + 1)); !changed.isNull())
                lines.append(key + '=' + changed);
        }
        writeTestFile(journal + QLatin1Char('/') + name, lines.join('\n'));
    }
}

QByteArray anotherDevice(const QByteArray& device)
{
    return QByteArray::number(device.toULongLong() + 1);
}

struct HeldRemoval : ::testing::Test {
    void SetUp() override { ASSERT_TRUE(QDir().mkpath(folder)); }

    QString trash(const char* part) const { return home.dataHome() + QStringLiteral("/Trash/") + QLatin1String(part); }
    FileRemoval remove(const HeldFile& held, bool outright)
    {
        return outright ? remover.removeRegularFile(held) : remover.moveToTrash(held);
    }

    TempHome home;
    QString folder = home.path() + QStringLiteral("/files");
    LocalFileRemover remover;
};

} // namespace

TEST_F(HeldRemoval, WhatTookTheFilesPlaceAsItWasMovedIsPutBackAndTheFileFails)
{
    const QString saved = folder + QStringLiteral("/saved");
    const QString replaced = folder + QStringLiteral("/replaced");
    for (const bool outright : { false, true }) {
        SCOPED_TRACE(outright ? "deleted outright" : "into the trash");
        writeTestFile(saved, "checked");
        const HeldFile savedHeld = remover.hold(saved);
        ASSERT_TRUE(savedHeld.isHeld());
        remover.beforeRename = [&](const QString&) { editorsSave(saved, "newly saved"); };
        const FileRemoval save = remove(savedHeld, outright);
        EXPECT_FALSE(save.ok);
        EXPECT_EQ(save.error,
            QStringLiteral("another file has taken its place since it was checked; what was moved in its place was "
                           "put back"));
        EXPECT_EQ(contentOf(saved), QByteArray("newly saved"));

        writeTestFile(replaced, "checked");
        const HeldFile replacedHeld = remover.hold(replaced);
        remover.beforeRename = [&](const QString&) {
            QFile::remove(replaced);
            QDir().mkpath(replaced + QStringLiteral("/inside"));
        };
        const FileRemoval folderInPlace = remove(replacedHeld, outright);
        EXPECT_FALSE(folderInPlace.ok);
        EXPECT_TRUE(folderInPlace.error.startsWith(QStringLiteral("it is no longer a regular file")))
            << folderInPlace.error.toStdString();
        EXPECT_TRUE(QFileInfo(replaced + QStringLiteral("/inside")).isDir());
        ASSERT_TRUE(QDir(replaced).removeRecursively());
    }
    EXPECT_EQ(entriesOf(trash("files")), QStringList {});
    EXPECT_EQ(entriesOf(trash("info")), QStringList {});
    EXPECT_EQ(entriesOf(folder), QStringList { QStringLiteral("saved") });
    EXPECT_EQ(entriesOf(SetAsideJournal::folder()), QStringList {});
}

TEST_F(HeldRemoval, AChangeSeenBeforeTheMoveStopsItThere)
{
    const QString path = folder + QStringLiteral("/log");
    writeTestFile(path, "line one\n");
    for (const bool outright : { false, true }) {
        const HeldFile held = remover.hold(path);
        QFile log(path);
        ASSERT_TRUE(log.open(QIODevice::Append));
        log.write("line two\n");
        log.close();
        const FileRemoval removal = remove(held, outright);
        EXPECT_FALSE(removal.ok);
        EXPECT_EQ(removal.error, QStringLiteral("it has changed since it was checked"));
        EXPECT_TRUE(QFileInfo::exists(path));
    }
    EXPECT_EQ(entriesOf(folder), QStringList { QStringLiteral("log") });
}

TEST_F(HeldRemoval, NoLinkedFolderIsFollowedAndASwappedFolderLeavesTheOtherFolderAlone)
{
    const QString real = folder + QStringLiteral("/real");
    const QString other = folder + QStringLiteral("/other");
    ASSERT_TRUE(QDir().mkpath(real + QStringLiteral("/deeper")));
    ASSERT_TRUE(QDir().mkpath(other));
    writeTestFile(real + QStringLiteral("/deeper/file"), "checked");
    writeTestFile(other + QStringLiteral("/file"), "never scanned");
    ASSERT_TRUE(QFile::link(real, folder + QStringLiteral("/alias")));
    for (const QString& throughLink :
        { folder + QStringLiteral("/alias/deeper/file"), folder + QStringLiteral("/alias/../real/deeper/file") }) {
        const HeldFile held = remover.hold(throughLink);
        EXPECT_FALSE(held.isHeld()) << throughLink.toStdString();
        EXPECT_FALSE(remover.moveToTrash(held).ok);
    }
    EXPECT_EQ(remover.hold(folder + QStringLiteral("/alias/deeper/file")).refusal,
        QStringLiteral("a folder on its path is a symbolic link"));
    EXPECT_EQ(openFolderWithoutLinks(folder + QStringLiteral("/alias")), -1);
    EXPECT_EQ(errno, ELOOP);
    // The walk of a kernel without a whole-path resolution refuses alike.
    for (const QString& throughLink : { folder + QStringLiteral("/alias"), folder + QStringLiteral("/alias/deeper") }) {
        EXPECT_EQ(openFolderByWalk(QFile::encodeName(throughLink)), -1) << throughLink.toStdString();
        EXPECT_EQ(errno, ELOOP);
    }
    EXPECT_EQ(openFolderByWalk(QFile::encodeName(real + QStringLiteral("/deeper/file"))), -1);
    EXPECT_EQ(errno, ENOTDIR);
    const int walked = openFolderByWalk(QFile::encodeName(real + QStringLiteral("/deeper")));
    ASSERT_GE(walked, 0);
    struct stat byWalk { };
    struct stat byPath { };
    EXPECT_EQ(::fstat(walked, &byWalk), 0);
    EXPECT_EQ(::stat(QFile::encodeName(real + QStringLiteral("/deeper")).constData(), &byPath), 0);
    EXPECT_EQ(byWalk.st_ino, byPath.st_ino);
    ::close(walked);

    // The file's folder swapped for a link to another folder between the
    // look and the move: the checked file goes, from where it now is.
    const QString path = real + QStringLiteral("/deeper/file");
    const HeldFile held = remover.hold(path);
    ASSERT_TRUE(held.isHeld());
    remover.beforeRename = [&](const QString&) {
        ASSERT_EQ(std::rename(QFile::encodeName(real + QStringLiteral("/deeper")).constData(),
                      QFile::encodeName(real + QStringLiteral("/moved")).constData()),
            0);
        ASSERT_TRUE(QFile::link(other, real + QStringLiteral("/deeper")));
    };
    const FileRemoval removal = remover.moveToTrash(held);
    ASSERT_TRUE(removal.ok) << removal.error.toStdString();
    EXPECT_EQ(contentOf(removal.trashedPath), QByteArray("checked"));
    EXPECT_EQ(trashInfoOriginalPath(removal.trashInfoPath), path);
    EXPECT_EQ(contentOf(other + QStringLiteral("/file")), QByteArray("never scanned"));
}

TEST_F(HeldRemoval, OnlyTheFileItselfIsEverDeletedFromWhereItWasSetAside)
{
    // Something else renamed over the set-aside file before the deletion:
    // it is left where it is.
    const QString path = folder + QStringLiteral("/file");
    const QString foreign = folder + QStringLiteral("/foreign");
    writeTestFile(path, "checked");
    writeTestFile(foreign, "someone else's");
    QString aside;
    const FileRemoval swapped = remover.removeRegularFile(path, [&]() -> std::optional<QString> {
        const QStringList names = setAsideIn(folder);
        EXPECT_EQ(names.size(), 1);
        aside = folder + QLatin1Char('/') + names.value(0);
        EXPECT_EQ(std::rename(QFile::encodeName(foreign).constData(), QFile::encodeName(aside).constData()), 0);
        return std::nullopt;
    });
    EXPECT_FALSE(swapped.ok);
    EXPECT_TRUE(swapped.error.endsWith(QStringLiteral("what is at %1 is left as it is").arg(aside)))
        << swapped.error.toStdString();
    EXPECT_EQ(contentOf(aside), QByteArray("someone else's"));
    ASSERT_TRUE(QFile::remove(aside));

    // Written to while it waited set aside: it comes back.
    writeTestFile(path, "checked");
    const FileRemoval grown = remover.removeRegularFile(path, [&]() -> std::optional<QString> {
        QFile file(folder + QLatin1Char('/') + setAsideIn(folder).value(0));
        EXPECT_TRUE(file.open(QIODevice::Append));
        file.write(" and more");
        return std::nullopt;
    });
    EXPECT_FALSE(grown.ok);
    EXPECT_EQ(grown.error, QStringLiteral("it has changed since it was checked"));
    EXPECT_EQ(contentOf(path), QByteArray("checked and more"));
    EXPECT_EQ(entriesOf(folder), QStringList { QStringLiteral("file") });
    EXPECT_EQ(entriesOf(SetAsideJournal::folder()), QStringList {});
}

TEST_F(HeldRemoval, ASetAsideIsRecordedOnDiskUntilTheDeletionHasEnded)
{
    const QString path = folder + QStringLiteral("/file");
    writeTestFile(path, "bytes");
    QStringList recorded;
    const auto look = [&]() -> std::optional<QString> {
        const QStringList records = entriesOf(SetAsideJournal::folder());
        recorded.append(records);
        for (const QString& record : records) {
            const QByteArray text = contentOf(SetAsideJournal::folder() + QLatin1Char('/') + record);
            EXPECT_TRUE(text.contains("path=" + QFile::encodeName(path))) << text.constData();
            EXPECT_TRUE(text.contains("aside=" + QFile::encodeName(folder) + "/.vellicor-removing-"));
        }
        return std::nullopt;
    };
    ASSERT_TRUE(remover.removeRegularFile(path, look).ok);
    EXPECT_EQ(recorded.size(), 1);
    EXPECT_EQ(entriesOf(SetAsideJournal::folder()), QStringList {});
    EXPECT_EQ(entriesOf(folder), QStringList {});

    // Taken back: the record goes too.
    writeTestFile(path, "bytes");
    const FileRemoval refused = remover.removeRegularFile(path, [&]() -> std::optional<QString> {
        look();
        return QStringLiteral("its kept copy went with it");
    });
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(recorded.size(), 2);
    EXPECT_EQ(contentOf(path), QByteArray("bytes"));
    EXPECT_EQ(entriesOf(SetAsideJournal::folder()), QStringList {});

    // No record, no set-aside.
    ASSERT_TRUE(QDir(SetAsideJournal::folder()).removeRecursively());
    writeTestFile(SetAsideJournal::folder(), "not a folder");
    const FileRemoval unrecorded = remover.removeRegularFile(path);
    EXPECT_FALSE(unrecorded.ok);
    EXPECT_TRUE(unrecorded.error.startsWith(QStringLiteral("its removal cannot be recorded")));
    EXPECT_EQ(entriesOf(folder), QStringList { QStringLiteral("file") });
}

namespace {

// Deletes path outright in a child process that ends for good right after
// the file was set aside, as a kill or a crash ends a run; the name it was
// set aside under.
QString endedWhileSetAside(const QString& path, FolderLinks links = FolderLinks::refused)
{
    EXPECT_EQ(exitCodeOfChild([&] {
        LocalFileRemover remover;
        const FileRemoval removal
            = remover.removeRegularFile(remover.hold(path, links), []() -> std::optional<QString> { ::_exit(0); });
        std::fprintf(stderr, "not set aside: %s\n", qPrintable(removal.error));
        return 3;
    }),
        0);
    const QString folder = QFileInfo(path).path();
    const QStringList aside = setAsideIn(QFileInfo(folder).canonicalFilePath());
    EXPECT_EQ(aside.size(), 1);
    return folder + QLatin1Char('/') + aside.value(0);
}

// An image mounted at folder through a loop device of its own, as a copy
// of a disk is plugged in; unmounted when it goes.
class MountedImage {
public:
    MountedImage(const QString& image, const QString& folder)
        : folder_(QFile::encodeName(folder))
        , mounted_(bool(runCommand({ "mount", "-o", "loop", image, folder })))
    {
    }
    ~MountedImage()
    {
        if (mounted_)
            ::umount2(folder_.constData(), MNT_DETACH);
    }
    MountedImage(const MountedImage&) = delete;
    MountedImage& operator=(const MountedImage&) = delete;

    bool isMounted() const { return mounted_; }
    bool unmount()
    {
        mounted_ = mounted_ && ::umount2(folder_.constData(), 0) != 0;
        return !mounted_;
    }

private:
    QByteArray folder_;
    bool mounted_ = false;
};

// The disk a file was set aside on back, through another device: the start
// puts the file back at path, and no set-aside or record is left.
void expectPutBackOnceItsDiskIsBack(LoopVolume& disk, const QString& path, const QString& aside)
{
    ASSERT_TRUE(disk.mountThroughAnotherDevice());
    EXPECT_EQ(contentOf(aside), QByteArray("the only copy of the report"));
    const SetAsideRecovery recovery = recoverSetAsideFiles();
    EXPECT_EQ(recovery.putBack, std::vector { path });
    EXPECT_TRUE(recovery.left.empty());
    EXPECT_EQ(contentOf(path), QByteArray("the only copy of the report"));
    EXPECT_EQ(setAsideIn(QFileInfo(path).path()), QStringList {});
    EXPECT_EQ(entriesOf(SetAsideJournal::folder()), QStringList {});
}

} // namespace

TEST_F(HeldRemoval, AFileLeftSetAsideByARunThatWasEndedIsPutBackAtTheNextStart)
{
    const QString path = folder + QStringLiteral("/file");
    writeTestFile(path, "only copy");
    endedWhileSetAside(path);
    EXPECT_FALSE(QFileInfo::exists(path));
    SetAsideRecovery recovery = recoverSetAsideFiles();
    EXPECT_EQ(recovery.putBack, std::vector { path });
    EXPECT_TRUE(recovery.left.empty());
    EXPECT_EQ(contentOf(path), QByteArray("only copy"));
    EXPECT_EQ(entriesOf(folder), QStringList { QStringLiteral("file") });
    EXPECT_EQ(entriesOf(SetAsideJournal::folder()), QStringList {});
    EXPECT_TRUE(recoverSetAsideFiles().isEmpty());

    // Its name taken meanwhile: nothing is written over, and the user is
    // told where it is.
    QString aside = endedWhileSetAside(path);
    writeTestFile(path, "new file");
    recovery = recoverSetAsideFiles();
    ASSERT_EQ(recovery.left.size(), 1u);
    EXPECT_EQ(recovery.left[0].path, path);
    EXPECT_EQ(recovery.left[0].keptAt, aside);
    EXPECT_EQ(recovery.left[0].reason, QStringLiteral("a file is already at its path"));
    EXPECT_EQ(contentOf(path), QByteArray("new file"));
    EXPECT_EQ(contentOf(aside), QByteArray("only copy"));
    ASSERT_TRUE(QFile::remove(aside));

    // Its folder out of reach (a volume not mounted): tried again later.
    writeTestFile(path, "only copy");
    aside = endedWhileSetAside(path);
    const QString away = home.path() + QStringLiteral("/away");
    ASSERT_TRUE(QDir().rename(folder, away));
    recovery = recoverSetAsideFiles();
    ASSERT_EQ(recovery.left.size(), 1u);
    EXPECT_TRUE(recovery.left[0].reason.contains(QStringLiteral("tried again at the next start")));
    ASSERT_TRUE(QDir().rename(away, folder));
    EXPECT_EQ(recoverSetAsideFiles().putBack, std::vector { path });
    EXPECT_EQ(contentOf(path), QByteArray("only copy"));

    // Gone, or no longer the recorded file: nothing to tell, nothing moved.
    ASSERT_TRUE(QFile::remove(endedWhileSetAside(path)));
    writeTestFile(path, "only copy");
    aside = endedWhileSetAside(path);
    writeTestFile(aside + QStringLiteral(".new"), "stranger");
    ASSERT_EQ(std::rename(QFile::encodeName(aside + QStringLiteral(".new")).constData(),
                  QFile::encodeName(aside).constData()),
        0);
    EXPECT_TRUE(recoverSetAsideFiles().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(contentOf(aside), QByteArray("stranger"));
    EXPECT_EQ(entriesOf(SetAsideJournal::folder()), QStringList {});
}

TEST_F(HeldRemoval, AFileBelowALinkedFolderIsHeldInItsRealFolderAndPutBackThereAfterACrash)
{
    const QString real = folder + QStringLiteral("/real");
    ASSERT_TRUE(QDir().mkpath(real + QStringLiteral("/deeper")));
    ASSERT_TRUE(QFile::link(real, folder + QStringLiteral("/alias")));
    const QString throughLink = folder + QStringLiteral("/alias/deeper/file");
    writeTestFile(throughLink, "only copy");

    const HeldFile held = remover.hold(throughLink, FolderLinks::resolvedFirst);
    ASSERT_TRUE(held.isHeld()) << held.refusal.toStdString();
    EXPECT_EQ(held.path, throughLink);
    EXPECT_EQ(held.folderPath, real + QStringLiteral("/deeper"));
    const FileRemoval trashed = remover.moveToTrash(held);
    ASSERT_TRUE(trashed.ok) << trashed.error.toStdString();
    EXPECT_EQ(trashInfoOriginalPath(trashed.trashInfoPath), throughLink);
    EXPECT_EQ(contentOf(trashed.trashedPath), QByteArray("only copy"));

    // Deleted outright, ended while set aside: recorded by the real folder,
    // which the next start reaches without links.
    writeTestFile(throughLink, "only copy");
    const QString aside = endedWhileSetAside(throughLink, FolderLinks::resolvedFirst);
    EXPECT_FALSE(QFileInfo::exists(throughLink));
    const SetAsideRecovery recovery = recoverSetAsideFiles();
    EXPECT_EQ(recovery.putBack, std::vector { throughLink });
    EXPECT_TRUE(recovery.left.empty());
    EXPECT_EQ(contentOf(throughLink), QByteArray("only copy"));
    EXPECT_FALSE(QFileInfo::exists(aside));
    EXPECT_EQ(setAsideIn(real + QStringLiteral("/deeper")), QStringList {});

    // The link turned elsewhere before the hold: the real folder it now
    // names is where the hold looks, and a link put in after the resolution
    // is still refused by the walk.
    const QString other = folder + QStringLiteral("/other");
    ASSERT_TRUE(QDir().mkpath(other + QStringLiteral("/deeper")));
    writeTestFile(other + QStringLiteral("/deeper/file"), "never scanned");
    ASSERT_TRUE(QFile::remove(folder + QStringLiteral("/alias")));
    ASSERT_TRUE(QFile::link(other, folder + QStringLiteral("/alias")));
    const HeldFile elsewhere = remover.hold(throughLink, FolderLinks::resolvedFirst);
    ASSERT_TRUE(elsewhere.isHeld());
    EXPECT_FALSE(elsewhere.facts.sameFileAs(held.facts));
    EXPECT_EQ(elsewhere.folderPath, other + QStringLiteral("/deeper"));
    EXPECT_EQ(remover.hold(throughLink).refusal, QStringLiteral("a folder on its path is a symbolic link"));
}

TEST_F(HeldRemoval, AStartRenamesNothingButTheSetAsideNameOfARecordsOwnTag)
{
    // Records naming files this program never set aside, with their true
    // device and inode: every one is dropped and nothing moves.
    const QString victim = folder + QStringLiteral("/victim");
    writeTestFile(victim, "the user's");
    const FileFacts facts = factsOf(victim).value();
    const QString journal = SetAsideJournal::folder();
    ASSERT_TRUE(QDir().mkpath(journal));
    const auto plant = [&](const QString& tag, const QString& path, const QString& aside) {
        writeTestFile(journal + QLatin1Char('/') + tag + QStringLiteral(".record"),
            "path=" + QFile::encodeName(path) + "\naside=" + QFile::encodeName(aside)
                + "\ndevice=" + QByteArray::number(facts.device) + "\ninode=" + QByteArray::number(facts.inode) + '\n');
    };
    plant(QStringLiteral("00000000000000aa"), folder + QStringLiteral("/renamed"), victim);
    plant(QStringLiteral("00000000000000bb"), folder + QStringLiteral("/renamed"),
        folder + QStringLiteral("/.vellicor-removing-00000000000000cc"));
    plant(QStringLiteral("00000000000000dd"), folder + QStringLiteral("/.."),
        folder + QStringLiteral("/.vellicor-removing-00000000000000dd"));
    ASSERT_EQ(std::rename(QFile::encodeName(victim).constData(),
                  QFile::encodeName(folder + QStringLiteral("/.vellicor-removing-00000000000000cc")).constData()),
        0);
    EXPECT_TRUE(recoverSetAsideFiles().isEmpty());
    EXPECT_EQ(entriesOf(folder), QStringList { QStringLiteral(".vellicor-removing-00000000000000cc") });
    EXPECT_EQ(entriesOf(journal), QStringList {});

    // A record that is a link to a file elsewhere is not read through.
    ASSERT_EQ(
        std::rename(QFile::encodeName(folder + QStringLiteral("/.vellicor-removing-00000000000000cc")).constData(),
            QFile::encodeName(folder + QStringLiteral("/.vellicor-removing-00000000000000ee")).constData()),
        0);
    const QString outside = home.path() + QStringLiteral("/outside.record");
    writeTestFile(outside,
        "path=" + QFile::encodeName(victim) + "\naside=" + QFile::encodeName(folder)
            + "/.vellicor-removing-00000000000000ee\ndevice=" + QByteArray::number(facts.device)
            + "\ninode=" + QByteArray::number(facts.inode) + '\n');
    ASSERT_TRUE(QFile::link(outside, journal + QStringLiteral("/00000000000000ee.record")));
    EXPECT_TRUE(recoverSetAsideFiles().isEmpty());
    EXPECT_EQ(entriesOf(folder), QStringList { QStringLiteral(".vellicor-removing-00000000000000ee") });
    EXPECT_TRUE(QFileInfo::exists(outside));
}

TEST_F(HeldRemoval, AStateFolderThatTakesNoRecordAndATrashThatIsALinkLeaveTheFileInPlace)
{
    const QString path = folder + QStringLiteral("/file");
    writeTestFile(path, "only copy");
    // A record folder that cannot be written to, as on a read-only volume.
    ASSERT_TRUE(QDir().mkpath(SetAsideJournal::folder()));
    if (setTestFileImmutable(SetAsideJournal::folder(), true)) {
        const FileRemoval removal = remover.removeRegularFile(path);
        ASSERT_TRUE(setTestFileImmutable(SetAsideJournal::folder(), false));
        EXPECT_FALSE(removal.ok);
        EXPECT_TRUE(removal.error.startsWith(QStringLiteral("its removal cannot be recorded")))
            << removal.error.toStdString();
        EXPECT_EQ(entriesOf(folder), QStringList { QStringLiteral("file") });
    }

    // The home trash a link to a folder elsewhere: never used.
    const QString elsewhere = home.path() + QStringLiteral("/elsewhere");
    ASSERT_TRUE(QDir().mkpath(elsewhere + QStringLiteral("/files")));
    ASSERT_TRUE(QDir().mkpath(elsewhere + QStringLiteral("/info")));
    ASSERT_TRUE(QDir().mkpath(home.dataHome()));
    ASSERT_TRUE(QFile::link(elsewhere, home.dataHome() + QStringLiteral("/Trash")));
    const FileRemoval trashed = remover.moveToTrash(path);
    EXPECT_FALSE(trashed.ok);
    EXPECT_TRUE(trashed.error.startsWith(QStringLiteral("its volume has no usable trash")))
        << trashed.error.toStdString();
    EXPECT_EQ(contentOf(path), QByteArray("only copy"));
    EXPECT_EQ(entriesOf(elsewhere + QStringLiteral("/files")), QStringList {});
    EXPECT_EQ(entriesOf(elsewhere + QStringLiteral("/info")), QStringList {});
}

TEST_F(HeldRemoval, ABatchsSetAsidesAreRecordedTogetherBeforeTheFirstAndOnlyForTheFilesTheyName)
{
    std::vector<QString> paths;
    for (const char* name : { "a", "b", "c" }) {
        paths.push_back(folder + QLatin1Char('/') + QLatin1String(name));
        writeTestFile(paths.back(), name);
    }
    remover.prepareSetAsides(paths);
    EXPECT_EQ(entriesOf(SetAsideJournal::folder()).size(), 3);
    // Saved by an editor after its record was written: another file, which
    // gets a record of its own.
    editorsSave(paths[2], "c, newly saved");
    const QByteArray savedInode = QByteArray::number(factsOf(paths[2])->inode);
    QList<qsizetype> recordsAtEachSetAside;
    remover.beforeRename = [&](const QString& path) {
        const QStringList records = entriesOf(SetAsideJournal::folder());
        recordsAtEachSetAside.append(records.size());
        if (path == paths[2] && records.size() == 1) {
            EXPECT_TRUE(contentOf(SetAsideJournal::folder() + QLatin1Char('/') + records[0])
                    .contains("inode=" + savedInode + '\n'));
        }
    };
    for (const QString& path : paths)
        EXPECT_TRUE(remover.removeRegularFile(path).ok) << path.toStdString();
    EXPECT_EQ(recordsAtEachSetAside, (QList<qsizetype> { 3, 2, 1 }));
    remover.dropTrashEntries();
    EXPECT_EQ(entriesOf(SetAsideJournal::folder()), QStringList {});
    EXPECT_EQ(entriesOf(folder), QStringList {});
}

TEST_F(HeldRemoval, ARunEndedInsideABatchOfDeletionsIsPutBackFromTheBatchsRecords)
{
    std::vector<QString> paths;
    for (const char* name : { "a", "b", "c" }) {
        paths.push_back(folder + QLatin1Char('/') + QLatin1String(name));
        writeTestFile(paths.back(), QByteArray("only copy of ") + name);
    }
    // The batch recorded, the first file deleted, the run ended for good
    // right after the second was set aside.
    ASSERT_EQ(exitCodeOfChild([&] {
        LocalFileRemover remover;
        remover.prepareSetAsides(paths);
        if (!remover.removeRegularFile(paths[0]).ok)
            return 3;
        remover.removeRegularFile(paths[1], []() -> std::optional<QString> { ::_exit(0); });
        return 4;
    }),
        0);
    EXPECT_EQ(setAsideIn(folder).size(), 1);
    EXPECT_EQ(entriesOf(SetAsideJournal::folder()).size(), 2);

    const SetAsideRecovery recovery = recoverSetAsideFiles();
    EXPECT_EQ(recovery.putBack, std::vector { paths[1] });
    EXPECT_TRUE(recovery.left.empty());
    EXPECT_EQ(entriesOf(folder), (QStringList { QStringLiteral("b"), QStringLiteral("c") }));
    EXPECT_EQ(contentOf(paths[1]), QByteArray("only copy of b"));
    EXPECT_EQ(contentOf(paths[2]), QByteArray("only copy of c"));
    EXPECT_EQ(entriesOf(SetAsideJournal::folder()), QStringList {});
}

TEST_F(HeldRemoval, ASetAsideOnAVolumeBackUnderAnotherDeviceNumberIsPutBackAndItsBatchsOtherRecordsGoQuietly)
{
    // A batch of ten recorded ahead, the first saved again in place since,
    // the run ended for good right after it was set aside; the volume comes
    // back under another device number, as a share mounted in another order
    // after a restart does.
    std::vector<QString> paths;
    for (int i = 0; i < 10; ++i) {
        paths.push_back(folder + QStringLiteral("/file%1").arg(i));
        writeTestFile(paths.back(), "only copy of " + QByteArray::number(i));
    }
    ASSERT_EQ(exitCodeOfChild([&] {
        LocalFileRemover remover;
        remover.prepareSetAsides(paths);
        writeTestFile(paths[0], "only copy of 0, saved again");
        remover.removeRegularFile(paths[0], []() -> std::optional<QString> { ::_exit(0); });
        return 4;
    }),
        0);
    ASSERT_EQ(entriesOf(SetAsideJournal::folder()).size(), 10);
    changeRecords("device", anotherDevice);
    SetAsideRecovery recovery = recoverSetAsideFiles();
    EXPECT_EQ(recovery.putBack, std::vector { paths[0] });
    EXPECT_TRUE(recovery.left.empty());
    EXPECT_EQ(contentOf(paths[0]), QByteArray("only copy of 0, saved again"));
    EXPECT_EQ(setAsideIn(folder), QStringList {});
    EXPECT_EQ(entriesOf(folder).size(), 10);
    EXPECT_EQ(entriesOf(SetAsideJournal::folder()), QStringList {});

    // Written to since it was set aside: it may not be the file, so it stays
    // where it is, and the user is told where.
    const QString path = paths[1];
    QString aside = endedWhileSetAside(path);
    changeRecords("device", anotherDevice);
    writeTestFile(aside, "rewritten at another length");
    recovery = recoverSetAsideFiles();
    EXPECT_TRUE(recovery.putBack.empty());
    ASSERT_EQ(recovery.left.size(), 1u);
    EXPECT_EQ(recovery.left[0].path, path);
    EXPECT_EQ(recovery.left[0].keptAt, aside);
    EXPECT_EQ(recovery.left[0].reason, QStringLiteral("it has changed since it was set aside"));
    EXPECT_EQ(contentOf(aside), QByteArray("rewritten at another length"));
    EXPECT_EQ(entriesOf(SetAsideJournal::folder()), QStringList {});
    ASSERT_TRUE(QFile::remove(aside));
    writeTestFile(path, "only copy of 1");

    // The folder on another file system than the record's (its identity
    // tells), even with the set-aside's name in it: kept and told until the
    // recorded one is back.
    const auto otherVolume = [](const QByteArray&) { return QByteArray("fsid:ef53:another"); };
    const auto noIdentity = [](const QByteArray&) { return QByteArray(); };
    aside = endedWhileSetAside(path);
    changeRecords("volume", otherVolume);
    recovery = recoverSetAsideFiles();
    const QString notHere
        = QStringLiteral("its folder cannot be reached now: another volume is there; it is tried again at the next start");
    if (contentOf(SetAsideJournal::folder() + QLatin1Char('/') + entriesOf(SetAsideJournal::folder()).value(0))
            .contains("volume=")) {
        ASSERT_EQ(recovery.left.size(), 1u);
        EXPECT_EQ(recovery.left[0].reason, notHere);
        EXPECT_TRUE(QFileInfo::exists(aside));
        EXPECT_EQ(entriesOf(SetAsideJournal::folder()).size(), 1);
    }

    // A record or a volume without identity: the folder on a volume of
    // another kind than the record's and no such name in it, as the bare
    // folder a share is mounted on shows, is kept and told until the share
    // is back.
    changeRecords("volume", noIdentity);
    changeRecords("device", anotherDevice);
    changeRecords("network", [](const QByteArray&) { return QByteArray("1"); });
    const QString hidden = home.path() + QStringLiteral("/on-the-share");
    ASSERT_TRUE(QFile::rename(aside, hidden));
    recovery = recoverSetAsideFiles();
    ASSERT_EQ(recovery.left.size(), 1u);
    EXPECT_EQ(recovery.left[0].reason, notHere);
    EXPECT_EQ(entriesOf(SetAsideJournal::folder()).size(), 1);
    ASSERT_TRUE(QFile::rename(hidden, aside));

    // A record of an earlier version, without size and time, proves the
    // file by its inode.
    changeRecords("size", [](const QByteArray&) { return QByteArray(); });
    changeRecords("modified", [](const QByteArray&) { return QByteArray(); });
    EXPECT_EQ(recoverSetAsideFiles().putBack, std::vector { path });
    EXPECT_EQ(contentOf(path), QByteArray("only copy of 1"));
    EXPECT_EQ(entriesOf(SetAsideJournal::folder()), QStringList {});
}

// A file set aside and deleted by a run that ended before its record went
// frees its inode; another user who may write in the folder makes a file at
// the set-aside name, which gets that inode again, with the file's size and
// time: the next start never puts it back under the user's file's name.
TEST_F(HeldRemoval, AFileMadeAtASetAsideNameOnItsFreedInodeIsNotPutBack)
{
    const QString mounted = home.path() + QStringLiteral("/shared");
    LoopVolume volume(home.path() + QStringLiteral("/shared.img"), mounted, { "mkfs.ext4", "-q", "-F" }, 16);
    if (!volume.whyNot().empty())
        GTEST_SKIP() << volume.whyNot();
    ASSERT_EQ(::chmod(QFile::encodeName(home.path()).constData(), 0711), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(mounted).constData(), 0777), 0);
    const QString path = mounted + QStringLiteral("/report.txt");
    writeTestFile(path, "the user's report");
    const QString aside = endedWhileSetAside(path);
    struct stat was { };
    ASSERT_EQ(::stat(QFile::encodeName(aside).constData(), &was), 0);
    // As a deletion that ended before its record went leaves it.
    ASSERT_TRUE(QFile::remove(aside));
    const bool gotTheInode = asOtherUser([&] {
        writeTestFile(aside, "their own report!");
        const struct timespec times[2] = { was.st_atim, was.st_mtim };
        struct stat now { };
        return ::utimensat(AT_FDCWD, QFile::encodeName(aside).constData(), times, 0) == 0
            && ::stat(QFile::encodeName(aside).constData(), &now) == 0 && now.st_ino == was.st_ino
            && now.st_size == was.st_size;
    });
    if (!gotTheInode)
        GTEST_SKIP() << "this file system did not give the freed inode again";

    const SetAsideRecovery recovery = recoverSetAsideFiles();
    EXPECT_TRUE(recovery.putBack.empty());
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(contentOf(aside), QByteArray("their own report!"));
    EXPECT_EQ(entriesOf(SetAsideJournal::folder()), QStringList {});
}

// A file deleted outright on a disk is left set aside by a run that was
// ended inside its batch; a byte copy of that disk (its file system's
// identity the same) is then mounted at its path through another device,
// without the file: the start keeps its record and tells the user once (the
// record of the batch's file that never moved, edited since, goes quietly),
// and the file is put back once its own disk is back.
TEST_F(HeldRemoval, ASetAsideMissingFromACopyOfItsDiskWaitsForItsOwnDisk)
{
    const QString mounted = home.path() + QStringLiteral("/disk");
    const QString image = home.path() + QStringLiteral("/disk.img");
    LoopVolume disk(image, mounted, { "mkfs.ext4", "-q", "-F" }, 16);
    if (!disk.whyNot().empty())
        GTEST_SKIP() << disk.whyNot();
    const QString path = mounted + QStringLiteral("/report.txt");
    const QString notes = mounted + QStringLiteral("/notes.txt");
    writeTestFile(path, "the only copy of the report");
    writeTestFile(notes, "notes");
    ASSERT_EQ(exitCodeOfChild([&] {
        LocalFileRemover remover;
        remover.prepareSetAsides({ path, notes });
        remover.removeRegularFile(path, []() -> std::optional<QString> { ::_exit(0); });
        return 4;
    }),
        0);
    const QStringList setAside = setAsideIn(mounted);
    ASSERT_EQ(setAside.size(), 1);
    const QString aside = mounted + QLatin1Char('/') + setAside[0];
    ASSERT_EQ(entriesOf(SetAsideJournal::folder()).size(), 2);
    ASSERT_TRUE(disk.unmount());

    const QString cloned = home.path() + QStringLiteral("/clone.img");
    ASSERT_TRUE(QFile::copy(image, cloned));
    MountedImage clone(cloned, mounted);
    ASSERT_TRUE(clone.isMounted());
    ASSERT_TRUE(QFile::remove(aside));
    QFile edited(notes);
    ASSERT_TRUE(edited.open(QIODevice::Append));
    ASSERT_EQ(edited.write(" and more"), 9);
    edited.close();
    SetAsideRecovery recovery = recoverSetAsideFiles();
    EXPECT_TRUE(recovery.putBack.empty());
    ASSERT_EQ(recovery.left.size(), 1u);
    EXPECT_EQ(recovery.left[0].path, path);
    EXPECT_EQ(recovery.left[0].keptAt, aside);
    EXPECT_TRUE(recovery.left[0].reason.contains(QStringLiteral("copy of its disk")))
        << recovery.left[0].reason.toStdString();
    EXPECT_TRUE(recoverSetAsideFiles().isEmpty());
    EXPECT_EQ(entriesOf(SetAsideJournal::folder()).size(), 1);
    ASSERT_TRUE(clone.unmount());
    expectPutBackOnceItsDiskIsBack(disk, path, aside);
}

// A file deleted outright on a disk is left set aside by a run that was
// ended; a byte copy of the disk made before, the file at its own name in
// it, is mounted at its path for a start, through another device and then
// under the recorded device number (a freed loop device gives it again):
// the record waits, the user told once, and the file is put back once its
// own disk is back.
TEST_F(HeldRemoval, AFileAtItsNameOnACopyOfItsDiskMadeBeforeTheDeletionKeepsItsRecord)
{
    const QString mounted = home.path() + QStringLiteral("/disk");
    const QString image = home.path() + QStringLiteral("/disk.img");
    LoopVolume disk(image, mounted, { "mkfs.ext4", "-q", "-F" }, 16);
    if (!disk.whyNot().empty())
        GTEST_SKIP() << disk.whyNot();
    const QString path = mounted + QStringLiteral("/report.txt");
    writeTestFile(path, "the only copy of the report");
    ASSERT_TRUE(disk.unmount());
    const QString cloned = home.path() + QStringLiteral("/clone.img");
    ASSERT_TRUE(QFile::copy(image, cloned));
    ASSERT_TRUE(disk.mountThroughAnotherDevice());
    const QString aside = endedWhileSetAside(path);
    ASSERT_FALSE(QFileInfo::exists(path));
    ASSERT_TRUE(disk.unmount());

    MountedImage clone(cloned, mounted);
    ASSERT_TRUE(clone.isMounted());
    ASSERT_EQ(contentOf(path), QByteArray("the only copy of the report"));
    SetAsideRecovery recovery = recoverSetAsideFiles();
    EXPECT_TRUE(recovery.putBack.empty());
    ASSERT_EQ(recovery.left.size(), 1u);
    EXPECT_EQ(recovery.left[0].path, path);
    EXPECT_EQ(recovery.left[0].keptAt, aside);
    EXPECT_EQ(recovery.left[0].reason,
        QStringLiteral(
            "it is not on the volume mounted there now, which may be a copy of its disk; it is put back once "
            "its own disk is back"));
    EXPECT_EQ(entriesOf(SetAsideJournal::folder()).size(), 1);

    struct stat copy { };
    ASSERT_EQ(::stat(QFile::encodeName(mounted).constData(), &copy), 0);
    changeRecords("device", [&](const QByteArray&) { return QByteArray::number(quint64(copy.st_dev)); });
    EXPECT_TRUE(recoverSetAsideFiles().isEmpty());
    EXPECT_EQ(entriesOf(SetAsideJournal::folder()).size(), 1);
    EXPECT_EQ(contentOf(path), QByteArray("the only copy of the report"));
    ASSERT_TRUE(clone.unmount());
    expectPutBackOnceItsDiskIsBack(disk, path, aside);
}

// Another running copy of the program (started with another settings
// folder, over the same state folder) starts while a removal writes its
// batch's records ahead:
// its start leaves them to that removal, so that a file the removal sets
// aside afterwards is still put back when the removal is ended there.
TEST_F(HeldRemoval, AStartLeavesTheRecordsOfAnotherRunningCopysRemovalToIt)
{
    std::vector<QString> paths;
    for (int i = 0; i < 3; ++i) {
        paths.push_back(folder + QStringLiteral("/file%1").arg(i));
        writeTestFile(paths.back(), "only copy of " + QByteArray::number(i));
    }
    int ready[2] = { -1, -1 };
    int goOn[2] = { -1, -1 };
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(goOn), 0);
    std::fflush(nullptr);
    const pid_t removing = ::fork();
    ASSERT_GE(removing, 0);
    if (removing == 0) {
        LocalFileRemover remover;
        remover.prepareSetAsides(paths);
        char byte = 0;
        if (::write(ready[1], "r", 1) != 1 || ::read(goOn[0], &byte, 1) != 1)
            ::_exit(3);
        remover.removeRegularFile(paths[0], []() -> std::optional<QString> { ::_exit(0); });
        ::_exit(4);
    }
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    // The other copy's start, while the removal runs.
    EXPECT_TRUE(recoverSetAsideFiles().isEmpty());
    EXPECT_EQ(entriesOf(SetAsideJournal::folder()).size(), paths.size());
    ASSERT_EQ(::write(goOn[1], "g", 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(removing, &status, 0), removing);
    for (const int end : { ready[0], ready[1], goOn[0], goOn[1] })
        ::close(end);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_EQ(setAsideIn(folder).size(), 1);

    // Ended there: the next start puts the file back.
    EXPECT_EQ(recoverSetAsideFiles().putBack, std::vector { paths[0] });
    EXPECT_EQ(contentOf(paths[0]), QByteArray("only copy of 0"));
    EXPECT_EQ(setAsideIn(folder), QStringList {});
    EXPECT_EQ(entriesOf(SetAsideJournal::folder()), QStringList {});

    // A record the other copy has made and not yet written in, locked
    // until it is whole, is left to it too; once the lock is let go of, an
    // empty one is no record.
    const QString writing = JournalRecords::recordPath(SetAsideJournal::folder(), QStringLiteral("0123456789abcdef"));
    const int record = ::open(QFile::encodeName(writing).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    ASSERT_GE(record, 0);
    ASSERT_EQ(::flock(record, LOCK_EX), 0);
    EXPECT_TRUE(recoverSetAsideFiles().isEmpty());
    EXPECT_TRUE(QFileInfo::exists(writing));
    ::close(record);
    EXPECT_TRUE(recoverSetAsideFiles().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(writing));
}
