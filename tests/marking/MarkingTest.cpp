#include "base/AlertPresenter.h"
#include "base/UserDefaults.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"
#include "core/TextFormat.h"
#include "marking/MarkingObserver.h"
#include "marking/ProtectedFolderStore.h"
#include "marking/ResultsState.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>

namespace {

class ScriptedPresenter : public AlertPresenter {
public:
    int present(const AlertRequest& request) override
    {
        messages.append(request.messageText);
        return answer;
    }
    QStringList messages;
    int answer = 0;
};

class RecordingObserver : public MarkingObserver {
public:
    void fileMarkChanged(const FileInfoNodePtr& file) override { files.push_back(file); }
    void groupRowChanged(const DuplicateGroupPtr& group) override { groups.push_back(group); }
    void allMarksChanged() override { ++resets; }
    void updateMarkedCountLabel() override { ++labels; }
    std::vector<FileInfoNodePtr> files;
    std::vector<DuplicateGroupPtr> groups;
    int resets = 0;
    int labels = 0;
};

QString text(const char* key)
{
    return localizedText(QString::fromLatin1(key));
}

class Marking : public ::testing::Test {
protected:
    void SetUp() override
    {
        setAlertPresenter(presenter);
        state.setObserver(&observer);
        defaults.setValue(QString::fromLatin1(SettingsKey::protectedFolders),
            QVariantList { makeFolderEntry(QStringLiteral("/keep")) });
    }
    void TearDown() override { setAlertPresenter(nullptr); }

    // One group per entry; a file named "k…" lies in the protected folder.
    std::vector<DuplicateGroupPtr> load(const std::vector<QStringList>& groups)
    {
        std::vector<DuplicateGroupPtr> result;
        for (const QStringList& names : groups) {
            auto group = std::make_shared<DuplicateGroup>();
            for (const QString& name : names) {
                auto file = std::make_shared<FileInfoNode>();
                file->folderPath = name.startsWith(QLatin1Char('k')) ? QStringLiteral("/Keep") : QStringLiteral("/d");
                file->filePath = file->folderPath + QLatin1Char('/') + name;
                file->fileExtension = QStringLiteral("jpg");
                file->fileSize = 1000000;
                file->state = false;
                addFileToGroup(group, file);
            }
            result.push_back(group);
        }
        state.loadResultSet(result, 0, ScanSource::thisComputer);
        return result;
    }
    QList<bool> marks(const DuplicateGroupPtr& group) const
    {
        QList<bool> result;
        for (const auto& file : group->children)
            result.append(file->isMarked());
        return result;
    }

    QTemporaryDir folder;
    UserDefaults defaults { folder.path() };
    std::shared_ptr<ScriptedPresenter> presenter = std::make_shared<ScriptedPresenter>();
    RecordingObserver observer;
    ResultsState state { std::make_shared<ProtectedFolderStore>(defaults) };
};

} // namespace

TEST_F(Marking, GroupCheckBoxMarksAllButOneUnprotectedFile)
{
    const struct {
        QStringList files;
        QList<bool> marks;
        int groupState;
        const char* count;
    } cases[] = {
        { { "a", "b", "c", "d" }, { true, true, true, false }, 1, "3/4" },
        { { "a", "k", "c" }, { true, false, true }, 1, "2/3" },
        { { "k1", "b", "k2" }, { false, true, false }, -1, "1/3" },
        { { "k1", "k2" }, { false, false }, 0, "0/2" },
    };
    for (const auto& c : cases) {
        const auto group = load({ c.files }).front();
        state.groupCheckBoxTapped(group);
        EXPECT_EQ(marks(group), c.marks) << c.files.join(',').toStdString();
        EXPECT_EQ(group->state, c.groupState);
        EXPECT_EQ(ResultsState::groupCountText(*group).text, QString::fromLatin1(c.count));
        EXPECT_EQ(state.countMarked(), c.marks.count(true));
    }
    EXPECT_EQ(presenter->messages, QStringList { text("ID_ALL_ITEMS_CANNOT_MARKED_THEY_ARE_PROTECTED") });
}

TEST_F(Marking, AGroupMarkedElsewhereIsUnmarkedByItsBoxNeverFullyMarked)
{
    const auto group = load({ { "a", "b", "c" } }).front();
    state.setFileMark(group->children[2], true); // a mark from another command; the stored state is stale
    state.groupCheckBoxTapped(group);
    EXPECT_EQ(marks(group), (QList<bool> { false, false, false }));
    EXPECT_EQ(group->state, 0);
    state.groupCheckBoxTapped(group);
    state.groupCheckBoxTapped(group); // on → off
    EXPECT_EQ(state.countMarked(), 0);
}

TEST_F(Marking, FileCheckBoxRefusesTheLastUnmarkedFileAndAsksOnlyBeforeMarkingAProtectedOne)
{
    const auto groups = load({ { "a", "b" }, { "k", "b", "c" } });
    const auto pair = groups[0];
    state.fileCheckBoxTapped(pair->children[0]);
    observer.files.clear();
    observer.groups.clear();
    state.fileCheckBoxTapped(pair->children[1]);
    EXPECT_EQ(marks(pair), (QList<bool> { true, false }));
    EXPECT_EQ(presenter->messages, QStringList { text("ID_YOU_CANNOT_MARKS_ALL_FILES_IN_SAME_GROUP") });
    EXPECT_EQ(observer.files, std::vector { pair->children[1] }); // its box goes back off
    EXPECT_EQ(observer.groups, std::vector { pair });

    const auto keep = groups[1]->children[0];
    for (const int answer : { 0, -1, 1 }) {
        presenter->answer = answer;
        state.fileCheckBoxTapped(keep);
        EXPECT_EQ(keep->isMarked(), answer == 1);
    }
    presenter->messages.clear();
    state.fileCheckBoxTapped(keep);
    EXPECT_FALSE(keep->isMarked());
    EXPECT_TRUE(presenter->messages.isEmpty());
}

TEST_F(Marking, TotalsAndLabelFollowTheShownFilesOnly)
{
    const auto group = load({ { "a", "b", "c" } }).front();
    const auto hidden = group->children[2];
    group->filterChildren.pop_back();
    hidden->state = true;
    EXPECT_EQ(state.markedCountLabel().text, formatText(text("ID_ITEM_MARKED_COUNT"), { 0 }));
    EXPECT_FALSE(state.markedCountLabel().trashEnabled);

    state.groupCheckBoxTapped(group);
    EXPECT_EQ(marks(group), (QList<bool> { true, false, true }));
    EXPECT_EQ(ResultsState::groupCountText(*group).text, QStringLiteral("1/2"));
    EXPECT_EQ(
        state.markedCountLabel().text, formatText(text("ID_ITEM_MARKED_COUNT"), { 1 }) + QStringLiteral(" 1.00 MB"));
    EXPECT_TRUE(state.markedCountLabel().trashEnabled);

    state.unmarkAllShownFiles();
    EXPECT_TRUE(hidden->isMarked());
    group->filterChildren = group->children;
    state.recountMarkedFiles();
    EXPECT_EQ(state.countMarked(), 1);
    EXPECT_EQ(state.sizeOfMarkedFiles(), 1000000u);
    state.setFileMark(hidden, false);
    state.setFileMark(hidden, false);
    EXPECT_EQ(state.sizeOfMarkedFiles(), 0u);

    load({ { "a", "b" } });
    EXPECT_EQ(state.countMarked(), 0);
    EXPECT_EQ(state.folderPriorityList, QStringList { QStringLiteral("/d") });
}

TEST_F(Marking, NoCommandSequenceEverMarksEveryShownFileOfAGroup)
{
    std::mt19937 random(21);
    for (int round = 0; round < 200; ++round) {
        std::vector<QStringList> spec(1 + random() % 4);
        for (QStringList& names : spec) {
            for (unsigned i = 0, n = 2 + random() % 4; i < n; ++i)
                names.append((random() % 4 ? QStringLiteral("f") : QStringLiteral("k")) + QString::number(i));
        }
        const auto groups = load(spec);
        for (const auto& group : groups) {
            if (random() % 3 == 0) // a category filter shows part of the group
                group->filterChildren.erase(group->filterChildren.begin());
        }
        state.recountMarkedFiles();
        for (int step = 0; step < 30; ++step) {
            const auto& group = groups[random() % groups.size()];
            presenter->answer = static_cast<int>(random() % 2);
            const auto& shown = group->filterChildren;
            switch (random() % 5) {
            case 0:
                state.groupCheckBoxTapped(group);
                break;
            case 1:
                state.markGroup(group, true);
                break;
            case 2:
                state.unmarkAllShownFiles();
                break;
            case 3:
                state.toggleFileMark(shown[random() % shown.size()]);
                break;
            default:
                state.fileCheckBoxTapped(shown[random() % shown.size()]);
            }
            qint64 count = 0;
            for (const auto& g : groups) {
                const auto marked = std::ranges::count_if(g->filterChildren, [](auto& f) { return f->isMarked(); });
                ASSERT_LT(marked, static_cast<qsizetype>(g->filterChildren.size()));
                count += marked;
            }
            ASSERT_EQ(state.countMarked(), count);
        }
    }
}
