#include "base/AlertPresenter.h"
#include "base/UserDefaults.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"
#include "core/TextFormat.h"
#include "marking/ContextMenuActions.h"
#include "marking/MarkByCommands.h"
#include "marking/MarkingObserver.h"
#include "marking/ResultsState.h"
#include "scan/ScanSources.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <tuple>

namespace {

// Answers every alert with `answer` and remembers what the screen was told.
class FakeScreen : public AlertPresenter, public MarkingObserver {
public:
    int present(const AlertRequest& request) override { return messages.append(request.messageText), answer; }
    void fileMarkChanged(const FileInfoNodePtr& file) override { files.push_back(file); }
    void groupRowChanged(const DuplicateGroupPtr& group) override { groups.push_back(group); }
    void allMarksChanged() override { }
    void updateMarkedCountLabel() override { }
    QStringList messages;
    int answer = 0;
    std::vector<FileInfoNodePtr> files;
    std::vector<DuplicateGroupPtr> groups;
};

QList<bool> marks(const DuplicateGroupPtr& group)
{
    QList<bool> result;
    for (const auto& file : group->children)
        result.append(file->isMarked());
    return result;
}

class Marking : public ::testing::Test {
protected:
    void SetUp() override
    {
        setAlertPresenter(screen);
        state.setObserver(screen.get());
        defaults.setValue(QString::fromLatin1(SettingsKey::protectedFolders),
            QVariantList { makeFolderEntry(QStringLiteral("/keep")) });
    }
    void TearDown() override { setAlertPresenter(nullptr); }

    // One group of 1 MB files per entry; a file named "k…" lies in the
    // protected folder.
    std::vector<DuplicateGroupPtr> load(const std::vector<QStringList>& groups)
    {
        std::vector<DuplicateGroupPtr> result;
        for (const QStringList& names : groups) {
            result.push_back(std::make_shared<DuplicateGroup>());
            for (const QString& name : names) {
                auto file = std::make_shared<FileInfoNode>();
                file->folderPath = name.startsWith(QLatin1Char('k')) ? QStringLiteral("/Keep") : QStringLiteral("/d");
                file->filePath = file->folderPath + QLatin1Char('/') + name;
                file->fileSize = 1000000;
                addFileToGroup(result.back(), file);
            }
        }
        state.loadResultSet(result, 0, ScanSource::thisComputer);
        return result;
    }

    QTemporaryDir folder;
    UserDefaults defaults { folder.path() };
    std::shared_ptr<FakeScreen> screen = std::make_shared<FakeScreen>();
    ResultsState state { std::make_shared<ScanSources>(defaults) };
};

} // namespace

TEST_F(Marking, GroupCheckBoxMarksAllButOneUnprotectedFile)
{
    const std::tuple<QStringList, QList<bool>, int, const char*> cases[] = {
        { { "a", "b", "c", "d" }, { true, true, true, false }, 1, "3/4" },
        { { "a", "k", "c" }, { true, false, true }, 1, "2/3" },
        { { "k1", "b", "k2" }, { false, true, false }, -1, "1/3" },
        { { "k1", "k2" }, { false, false }, 0, "0/2" },
    };
    for (const auto& [files, expected, groupState, count] : cases) {
        const auto group = load({ files }).front();
        state.groupCheckBoxTapped(group);
        EXPECT_EQ(marks(group), expected) << files.join(',').toStdString();
        EXPECT_EQ(group->state, groupState);
        EXPECT_EQ(ResultsState::groupCountText(*group).text, QString::fromLatin1(count));
    }
    EXPECT_EQ(screen->messages,
        QStringList { localizedText(QStringLiteral("ID_ALL_ITEMS_CANNOT_MARKED_THEY_ARE_PROTECTED")) });
}

TEST_F(Marking, FileCheckBoxRefusesTheLastUnmarkedFileAndAsksOnlyBeforeMarkingAProtectedOne)
{
    const auto groups = load({ { "a", "b" }, { "k", "b", "c" } });
    const auto pair = groups[0];
    state.fileCheckBoxTapped(pair->children[0]);
    state.fileCheckBoxTapped(pair->children[1]);
    EXPECT_EQ(marks(pair), (QList<bool> { true, false }));
    EXPECT_EQ(
        screen->messages, QStringList { localizedText(QStringLiteral("ID_YOU_CANNOT_MARKS_ALL_FILES_IN_SAME_GROUP")) });
    EXPECT_EQ(screen->files.back(), pair->children[1]); // its box goes back off
    EXPECT_EQ(screen->groups, (std::vector { pair, pair }));

    const auto keep = groups[1]->children[0];
    for (const int answer : { 0, -1, 1 }) {
        screen->answer = answer;
        state.fileCheckBoxTapped(keep);
        EXPECT_EQ(keep->isMarked(), answer == 1);
    }
    screen->messages.clear();
    state.fileCheckBoxTapped(keep);
    EXPECT_FALSE(keep->isMarked());
    EXPECT_TRUE(screen->messages.isEmpty());
}

// A locked file is marked by no command, asked about by none, and a mark it
// somehow has may still go.
TEST_F(Marking, ALockedFileIsNeverMarkedAndItsMarkCanStillGo)
{
    const auto groups = load({ { "a", "b", "c" }, { "kd", "e" } });
    const FileInfoNodePtr locked = groups[0]->children[0];
    const FileInfoNodePtr lockedProtected = groups[1]->children[0];
    locked->isLocked = lockedProtected->isLocked = true;
    screen->answer = 1; // yes to any question

    EXPECT_EQ(state.toggleFileMark(locked), ToggleOutcome::refusedLocked);
    state.setFileMark(locked, true);
    state.fileCheckBoxTapped(lockedProtected);
    EXPECT_EQ(screen->files.back(), lockedProtected); // its view is drawn again
    state.fileCheckBoxTapped(groups[0]->children[1]);
    EXPECT_EQ(markUnmarkImage(state, locked, true), ContextMarkOutcome::unchanged);
    state.selectAllShownFiles(true);
    EXPECT_TRUE(screen->messages.isEmpty()) << "neither a question nor an alert";
    EXPECT_EQ(marks(groups[0]), (QList<bool> { false, true, true }));
    EXPECT_EQ(marks(groups[1]), (QList<bool> { false, true }));
    EXPECT_EQ(state.countMarked(), 3);

    locked->state = true;
    state.recountMarkedFiles();
    state.fileCheckBoxTapped(locked);
    EXPECT_FALSE(locked->isMarked());
    EXPECT_EQ(state.countMarked(), 3);
}

TEST_F(Marking, TotalsAndLabelFollowTheShownFilesOnly)
{
    const auto group = load({ { "a", "b", "c" } }).front();
    const auto hidden = group->children[2];
    group->filterChildren.pop_back();
    hidden->state = true;
    EXPECT_EQ(state.markedCountLabel().text, formatText(localizedText(QStringLiteral("ID_ITEMS_MARKED_COUNT")), { 0 }));
    state.groupCheckBoxTapped(group);
    EXPECT_EQ(ResultsState::groupCountText(*group).text, QStringLiteral("1/2"));
    EXPECT_EQ(state.markedCountLabel().text,
        formatText(localizedText(QStringLiteral("ID_ITEM_MARKED_COUNT")), { 1 }) + QStringLiteral(" 1.00 MB"));

    state.unmarkAllShownFiles();
    EXPECT_TRUE(hidden->isMarked());
    group->filterChildren = group->children;
    state.recountMarkedFiles();
    EXPECT_EQ(state.sizeOfMarkedFiles(), 1000000u);
    state.setFileMark(hidden, false);
    state.setFileMark(hidden, false);
    EXPECT_EQ(state.sizeOfMarkedFiles(), 0u);
    EXPECT_EQ(state.folderPriorityList, QStringList { QStringLiteral("/d") });
}

TEST_F(Marking, PriorityListsComeFromTheHandOverWhenItMadeThemElseFromTheGroups)
{
    const auto groups = load({ { "a", "k" } });
    EXPECT_EQ(state.folderPriorityList, QStringList({ "/d", "/keep" }));

    const PriorityLists handedOver { { "/x", "/y" }, { "png" } };
    state.loadResultSet(groups, 1, ScanSource::thisComputer, handedOver);
    EXPECT_EQ(state.folderPriorityList, handedOver.folders);
    EXPECT_EQ(state.defaultFolderPriorityList, handedOver.folders);
    EXPECT_EQ(state.fileFormatPriorityList, handedOver.formats);
    EXPECT_EQ(state.defaultFileFormatPriorityList, handedOver.formats);

    state.loadResultSet(groups, 1, ScanSource::thisComputer);
    EXPECT_EQ(state.folderPriorityList, QStringList({ "/d", "/keep" }));
    EXPECT_TRUE(state.fileFormatPriorityList.isEmpty());
}

TEST_F(Marking, NoCommandSequenceEverMarksEveryShownFileOfAGroup)
{
    std::mt19937 random(21);
    for (int round = 0; round < 200; ++round) {
        std::vector<QStringList> shapes(1 + random() % 4);
        for (QStringList& names : shapes) {
            for (unsigned i = 0, n = 2 + random() % 4; i < n; ++i)
                names.append((random() % 4 ? QStringLiteral("f") : QStringLiteral("k")) + QString::number(i));
        }
        const auto groups = load(shapes);
        for (const auto& group : groups) {
            if (random() % 3 == 0) // a category filter shows part of the group
                group->filterChildren.erase(group->filterChildren.begin());
            for (const auto& file : group->children) {
                file->fileSize = 1 + random() % 3;
                if (random() % 4)
                    file->modDate = QDateTime::fromSecsSinceEpoch(random() % 3);
            }
        }
        for (int step = 0; step < 30 && !state.arrGroups.empty(); ++step) {
            const auto group = state.arrGroups[random() % state.arrGroups.size()];
            const auto& shown = group->filterChildren;
            if (shown.empty())
                continue;
            const auto file = shown[random() % shown.size()];
            screen->answer = static_cast<int>(random() % 2);
            const std::optional<int> tags[] = { 0, 1, 2, 3, -1, std::nullopt };
            const std::function<void()> commands[] = { [&] { state.groupCheckBoxTapped(group); },
                [&] { state.markGroup(group, true); }, [&] { state.unmarkAllShownFiles(); },
                [&] { state.selectAllShownFiles(random() % 2); }, [&] { state.toggleFileMark(file); },
                [&] { state.fileCheckBoxTapped(file); },
                [&] { runMarkByCommand(state, MarkByCommand(random() % 5), tags[random() % 6]); },
                [&] { markUnmarkImage(state, file, random() % 2); }, [&] { lockUnLock(state, file, random() % 2); },
                [&] {
                    if (random() % 4 == 0)
                        removeNodeFromResults(state, file);
                } };
            commands[random() % std::size(commands)]();
            qint64 count = 0;
            for (const auto& g : state.arrGroups) {
                const auto marked = std::ranges::count_if(g->filterChildren, [](auto& f) { return f->isMarked(); });
                ASSERT_LT(marked, static_cast<qsizetype>(g->filterChildren.size()));
                count += marked;
            }
            ASSERT_EQ(state.countMarked(), count);
        }
    }
}
