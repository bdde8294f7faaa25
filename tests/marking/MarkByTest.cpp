#include "base/AlertPresenter.h"
#include "base/UserDefaults.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"
#include "marking/ContextMenuActions.h"
#include "marking/MarkByCommands.h"
#include "marking/MarkingObserver.h"
#include "marking/ResultsState.h"
#include "scan/ScanSources.h"
#include "support/ShownMarks.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>
#include <utility>

namespace {

class FakeScreen : public AlertPresenter, public MarkingObserver {
public:
    int present(const AlertRequest& request) override { return messages.append(request.messageText), 0; }
    void fileMarkChanged(const FileInfoNodePtr&) override { }
    void groupRowChanged(const DuplicateGroupPtr&) override { }
    void allMarksChanged() override { ++repaints; }
    void updateMarkedCountLabel() override { }
    QStringList messages;
    int repaints = 0;
};

// One file: path (its folder "/keep…" is protected), size, modification
// time in milliseconds since 1970 (negative: none).
struct Entry {
    const char* path;
    quint64 size = 100;
    qint64 modified = -1;
};

const QString protectedMessage = QStringLiteral("ID_ALL_ITEMS_CANNOT_MARKED_THEY_ARE_PROTECTED");

class MarkBy : public ::testing::Test {
protected:
    void SetUp() override
    {
        setAlertPresenter(screen);
        state.setObserver(screen.get());
        defaults.setValue(QString::fromLatin1(SettingsKey::protectedFolders),
            QVariantList { makeFolderEntry(QStringLiteral("/keep")) });
    }
    void TearDown() override { setAlertPresenter(nullptr); }

    std::vector<DuplicateGroupPtr> load(const std::vector<std::vector<Entry>>& groups)
    {
        std::vector<DuplicateGroupPtr> result;
        for (const auto& entries : groups) {
            result.push_back(std::make_shared<DuplicateGroup>());
            for (const Entry& entry : entries) {
                auto file = std::make_shared<FileInfoNode>();
                file->filePath = QString::fromUtf8(entry.path);
                file->folderPath = file->filePath->section(QLatin1Char('/'), 0, -2);
                file->fileName = file->filePath->section(QLatin1Char('/'), -1);
                file->fileSize = entry.size;
                if (entry.modified >= 0)
                    file->modDate = QDateTime::fromMSecsSinceEpoch(entry.modified, Qt::UTC);
                addFileToGroup(result.back(), file);
            }
        }
        state.loadResultSet(result, 0, ScanSource::thisComputer);
        return result;
    }

    static QList<bool> marks(const DuplicateGroupPtr& group)
    {
        QList<bool> result;
        for (const auto& file : group->children)
            result.append(file->isMarked());
        return result;
    }

    QTemporaryDir folder;
    UserDefaults defaults { folder.path() };
    std::shared_ptr<FakeScreen> screen = std::make_shared<FakeScreen>();
    ResultsState state { std::make_shared<ScanSources>(defaults) };
};

constexpr qint64 ten = 1700000000000; // a whole second
constexpr qint64 year = 365LL * 24 * 3600 * 1000;

} // namespace

TEST_F(MarkBy, EachCommandKeepsTheFilesThatTieWithItsReference)
{
    using C = MarkByCommand;
    const std::tuple<const char*, std::vector<Entry>, C, std::optional<int>, QList<bool>> cases[] = {
        { "same second", { { "/a/x", 1, ten + 100 }, { "/a/y", 1, ten + 800 } }, C::modifiedDate, 0, { false, false } },
        { "fractions of one second", { { "/a/x", 1, ten + 300 }, { "/a/y", 1, ten - year }, { "/a/z", 1, ten + 900 } },
            C::modifiedDate, 0, { false, true, false } },
        { "newest marked with tag 1", { { "/a/x", 1, ten }, { "/a/y", 1, ten - year } }, C::modifiedDate, 1,
            { true, false } },
        { "a missing date is marked", { { "/a/x", 1, ten }, { "/a/y", 1 }, { "/a/z", 1, ten } }, C::modifiedDate, 0,
            { false, true, false } },
        { "undated second file", { { "/a/x", 1, ten }, { "/a/y", 1 } }, C::modifiedDate, 1, { false, true } },
        { "no dated file", { { "/a/x" }, { "/a/y" } }, C::modifiedDate, 0, { false, false } },
        { "undated between dated, oldest kept", { { "/a/x", 1, ten }, { "/a/y", 1 }, { "/a/z", 1, ten - year } },
            C::modifiedDate, 1, { true, true, false } },
        { "undated first, newest kept",
            { { "/a/w", 1 }, { "/a/x", 1, ten - year }, { "/a/y", 1, ten + 400 }, { "/a/z", 1, ten + 999 } },
            C::modifiedDate, 0, { true, true, false, false } },
        { "no dated file, created", { { "/a/x", 1, ten }, { "/a/y", 1, ten } }, C::createdDate, 0, { false, false } },
        { "exact copies, tag 0", { { "/a/x" }, { "/b/y" } }, C::size, 0, { false, false } },
        { "exact copies, tag 1", { { "/a/x" }, { "/b/y" } }, C::size, 1, { false, false } },
        { "largest kept", { { "/a/x", 5 }, { "/a/y", 9 } }, C::size, 0, { true, false } },
        { "name tag 0 keeps longest", { { "/a/ab" }, { "/a/abcd" }, { "/a/wxyz" } }, C::nameOrPath, 0,
            { true, false, false } },
        { "name tag 1 keeps shortest", { { "/a/ab" }, { "/a/abcd" }, { "/a/xy" } }, C::nameOrPath, 1,
            { false, true, false } },
        { "path tag 3", { { "/a/b/c/x" }, { "/aaaa/x" } }, C::nameOrPath, 3, { true, false } },
        { "path negative tag", { { "/a/b/c/x" }, { "/aaaa/x" } }, C::nameOrPath, -4, { true, false } },
        { "path without tag", { { "/a/b/c/x" }, { "/aaaa/x" } }, C::nameOrPath, std::nullopt, { true, false } },
        { "equal total length kept", { { "/ab/c/x" }, { "/abcd/x" }, { "/a/b/c/d/e/x" } }, C::nameOrPath, 3,
            { false, false, true } },
        { "path tag 2 keeps the deepest length", { { "/a/b/c/x" }, { "/aaaa/x" }, { "/a/xy" } }, C::nameOrPath, 2,
            { false, true, true } },
    };
    for (const auto& [name, entries, command, tag, expected] : cases) {
        const auto group = load({ entries }).front();
        group->children.back()->state = true; // earlier marks are cleared first
        state.recountMarkedFiles();
        runMarkByCommand(state, command, tag);
        EXPECT_EQ(marks(group), expected) << name;
        EXPECT_EQ(state.countMarked(), expected.count(true)) << name;
    }
    EXPECT_TRUE(screen->messages.isEmpty());
}

TEST_F(MarkBy, ProtectedLockedAndHiddenFilesAreNeverMarked)
{
    const auto groups = load({ { { "/keep/x", 1 }, { "/a/y", 2 }, { "/a/z", 3 } }, { { "/a/p", 1 }, { "/a/q", 2 } },
        { { "/a/h", 1 }, { "/a/i", 2 }, { "/a/j", 3 } } });
    groups[1]->children[0]->isLocked = true;
    const auto hidden = groups[2]->children[2];
    std::erase(groups[2]->filterChildren, hidden);
    hidden->state = true;
    for (const MarkByCommand command : { MarkByCommand::size, MarkByCommand::invert }) {
        state.unmarkAllShownFiles();
        runMarkByCommand(state, command, 1);
        EXPECT_FALSE(groups[0]->children[0]->isMarked());
        EXPECT_TRUE(groups[0]->children[0]->isProtected);
        EXPECT_FALSE(groups[1]->children[0]->isMarked());
        EXPECT_TRUE(hidden->isMarked());
    }
    EXPECT_EQ(marks(groups[0]), (QList<bool> { false, true, true }));
    EXPECT_EQ(state.countMarked(), 4); // the hidden file stays out of the totals
    state.groupCheckBoxTapped(groups[1]);
    state.groupCheckBoxTapped(groups[1]);
    EXPECT_FALSE(groups[1]->children[0]->isMarked());
}

TEST_F(MarkBy, InvertFlipsTheShownMarksButNeverAWholeGroup)
{
    const auto groups
        = load({ { { "/a/x" }, { "/a/y" }, { "/a/z" } }, { { "/a/p" }, { "/a/q" } }, { { "/keep/k" }, { "/a/m" } } });
    groups[1]->children[1]->state = true;
    groups[2]->children[1]->state = true;
    state.recountMarkedFiles();
    runMarkByCommand(state, MarkByCommand::invert, std::nullopt);
    EXPECT_EQ(marks(groups[0]), (QList<bool> { false, true, true }));
    EXPECT_EQ(marks(groups[1]), (QList<bool> { true, false }));
    EXPECT_EQ(marks(groups[2]), (QList<bool> { false, false }));
    EXPECT_EQ(state.countMarked(), 3);
    EXPECT_EQ(state.sizeOfMarkedFiles(), 300u);
}

TEST_F(MarkBy, NothingToMarkGivesTheProtectionAlertAfterTheViewsRepaint)
{
    load({});
    for (const MarkByCommand command : { MarkByCommand::modifiedDate, MarkByCommand::createdDate, MarkByCommand::size,
             MarkByCommand::nameOrPath, MarkByCommand::invert })
        runMarkByCommand(state, command, 0);
    EXPECT_EQ(screen->messages.size(), 5);

    screen->messages.clear();
    const auto group = load({ { { "/keep/x" }, { "/keep/y", 7 } } }).front();
    group->children[0]->state = true;
    state.recountMarkedFiles();
    const int repaints = screen->repaints;
    runMarkByCommand(state, MarkByCommand::size, 0);
    EXPECT_EQ(screen->messages, QStringList { localizedText(protectedMessage) });
    EXPECT_EQ(screen->repaints, repaints + 1);
    EXPECT_EQ(state.countMarked(), 0);
}

TEST_F(MarkBy, ContextMenuMarksLocksAndTakesFilesOffTheList)
{
    const auto groups = load({ { { "/a/x" }, { "/a/y" }, { "/a/z" } }, { { "/a/p" }, { "/a/q" } } });
    const auto& three = groups[0]->children;
    EXPECT_EQ(markUnmarkImage(state, three[0], true), ContextMarkOutcome::changed);
    EXPECT_EQ(markUnmarkImage(state, three[1], true), ContextMarkOutcome::changed);
    EXPECT_EQ(groups[0]->state, 1);
    EXPECT_EQ(markUnmarkImage(state, three[2], true), ContextMarkOutcome::refusedLastUnmarked);
    EXPECT_EQ(marks(groups[0]), (QList<bool> { true, true, false }));

    lockUnLock(state, three[0], true);
    EXPECT_FALSE(three[0]->isMarked());
    EXPECT_EQ(groups[0]->state, -1);
    EXPECT_EQ(markUnmarkImage(state, three[0], true), ContextMarkOutcome::unchanged);
    const auto immutable = [](const QString& path) { return path.endsWith(QLatin1Char('z')); };
    const ContextMenuValidation locked = validateContextMenu(three[0].get(), ScanSource::thisComputer, immutable);
    EXPECT_FALSE(locked.flagMarkUnMark);
    EXPECT_FALSE(locked.flagToLockUnLock);
    const ContextMenuValidation onDisk = validateContextMenu(three[2].get(), ScanSource::thisComputer, immutable);
    EXPECT_FALSE(onDisk.markEnabled || onDisk.lockEnabled);
    EXPECT_STREQ(onDisk.lockTitleKey, "ID_UNLOCK");
    const ContextMenuValidation cloud = validateContextMenu(three[1].get(), ScanSource::googleDrive, immutable);
    EXPECT_FALSE(cloud.lockEnabled || cloud.localItemsEnabled);
    EXPECT_TRUE(cloud.markEnabled && cloud.removeEnabled);
    EXPECT_STREQ(cloud.markTitleKey, "ID_UNMARK");
    EXPECT_FALSE(validateContextMenu(nullptr, ScanSource::thisComputer, immutable).markEnabled);

    // Two files left, one marked: taking the unmarked one off the list
    // leaves the group with no file to keep, so the other is unmarked.
    lockUnLock(state, three[0], false);
    const auto pairFile = groups[1]->children[1];
    EXPECT_EQ(markUnmarkImage(state, pairFile, true), ContextMarkOutcome::changed);
    EXPECT_FALSE(removeNodeFromResults(state, three[2]));
    EXPECT_EQ(marks(groups[0]), (QList<bool> { false, true }));
    EXPECT_EQ(state.countMarked(), 2);
    EXPECT_FALSE(removeNodeFromResults(state, groups[1]->children[0]));
    EXPECT_EQ(state.arrGroups, (std::vector { groups[0] }));
    EXPECT_EQ(state.arrMainGroup.size(), 1u);
    EXPECT_EQ(state.countMarked(), 1);
    EXPECT_TRUE(pairFile->isMarked());
    EXPECT_TRUE(removeNodeFromResults(state, groups[0]->children[0]));
}

namespace {

// count groups of two to four files in /a, /b and the protected /keep, of a
// few sizes and seconds, some without a date, some locked, some marked.
// The same seed gives the same files in new records.
std::vector<DuplicateGroupPtr> variedGroups(int count, unsigned seed)
{
    std::mt19937 random(seed);
    const char* folders[] = { "/a", "/b/c", "/keep" };
    std::vector<DuplicateGroupPtr> groups;
    for (int g = 0; g < count; ++g) {
        groups.push_back(std::make_shared<DuplicateGroup>());
        for (unsigned i = 0, n = 2 + random() % 3; i < n; ++i) {
            auto file = std::make_shared<FileInfoNode>();
            file->folderPath = QString::fromLatin1(folders[random() % 3]);
            file->fileName = QStringLiteral("f%1%2").arg(g).arg(QString(int(random() % 3), QLatin1Char('x')));
            file->filePath = file->folderPath + QLatin1Char('/') + *file->fileName;
            file->fileSize = 100 * (1 + random() % 3);
            if (random() % 4)
                file->modDate = QDateTime::fromMSecsSinceEpoch(ten + qint64(random() % 3) * 1000, Qt::UTC);
            file->isLocked = random() % 9 == 0;
            file->state = random() % 3 == 0;
            addFileToGroup(groups.back(), file);
        }
    }
    return groups;
}

} // namespace

TEST_F(MarkBy, ACommandGroupByGroupMarksAsAWholeOneAndEndsWithItsResultSet)
{
    using C = MarkByCommand;
    const int count = 2 * SliceBudget::minimumSteps;
    const std::pair<C, std::optional<int>> commands[] = { { C::modifiedDate, 0 }, { C::modifiedDate, 1 },
        { C::createdDate, 0 }, { C::size, 0 }, { C::size, 1 }, { C::nameOrPath, 0 }, { C::nameOrPath, 1 },
        { C::nameOrPath, 2 }, { C::nameOrPath, std::nullopt }, { C::invert, std::nullopt } };
    for (const auto& [command, tag] : commands) {
        const std::string name = std::to_string(int(command)) + " " + std::to_string(tag.value_or(-1));
        state.loadResultSet(variedGroups(count, 3), 0, ScanSource::thisComputer);
        state.recountMarkedFiles();
        runMarkByCommand(state, command, tag);
        const QStringList whole = shownMarks(state);
        const QStringList wholeAlerts = std::exchange(screen->messages, {});

        state.loadResultSet(variedGroups(count, 3), 0, ScanSource::thisComputer);
        state.recountMarkedFiles();
        const int repaints = screen->repaints;
        MarkByRun run(state, command, tag);
        int slices = 1;
        for (SliceBudget budget(1, std::chrono::nanoseconds(0)); !run.step(budget);
             budget = SliceBudget(1, std::chrono::nanoseconds(0))) {
            ++slices;
            ASSERT_EQ(screen->repaints, repaints) << name; // the views hear of it once, at the end
        }
        EXPECT_EQ(slices, count) << name;
        EXPECT_EQ(screen->repaints, repaints + 1) << name;
        EXPECT_EQ(shownMarks(state), whole) << name;
        EXPECT_EQ(std::exchange(screen->messages, {}), wholeAlerts) << name;
    }

    // A result set replaced part way: the rest of the run is dropped and the
    // new groups keep their marks.
    state.loadResultSet(variedGroups(count, 4), 0, ScanSource::thisComputer);
    MarkByRun run(state, MarkByCommand::invert, std::nullopt);
    SliceBudget budget(1, std::chrono::nanoseconds(0));
    ASSERT_FALSE(run.step(budget));
    state.loadResultSet(variedGroups(count, 5), 0, ScanSource::thisComputer);
    state.recountMarkedFiles();
    const QStringList replaced = shownMarks(state);
    const int repaints = screen->repaints;
    budget = SliceBudget(1, std::chrono::nanoseconds(0));
    EXPECT_TRUE(run.step(budget));
    EXPECT_EQ(shownMarks(state), replaced);
    EXPECT_EQ(screen->repaints, repaints);
    EXPECT_TRUE(screen->messages.isEmpty());
}
