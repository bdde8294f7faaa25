#include "base/UserDefaults.h"
#include "controls/CustomWindowNag.h"
#include "controls/IMGButton.h"
#include "controls/RAZButton.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"
#include "core/TextFormat.h"
#include "marking/AutoMarkPlan.h"
#include "marking/AutoMarkSheetWindows.h"
#include "marking/AutoMarking.h"
#include "marking/MarkingObserver.h"
#include "marking/ResultsState.h"
#include "scan/ScanSources.h"
#include "support/HandClock.h"
#include "support/RecordingAlerts.h"
#include "support/ShownMarks.h"
#include "support/WaitUntil.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>

#include <random>

namespace {

// "name" or "name:minutes": a file in /d (in the protected /keep when the name
// starts with k) modified that many minutes into the day; "-" for no date.
FileInfoNodePtr file(const QString& spec)
{
    const QStringList parts = spec.split(QLatin1Char(':'));
    auto node = std::make_shared<FileInfoNode>();
    node->folderPath = parts[0].startsWith(QLatin1Char('k')) ? QStringLiteral("/keep") : QStringLiteral("/d");
    node->fileName = parts[0];
    node->fileExtension = parts[0].section(QLatin1Char('.'), 1);
    node->filePath = node->folderPath + QLatin1Char('/') + parts[0];
    node->fileSize = 1000;
    if (parts.size() > 1 && parts[1] != QLatin1String("-"))
        node->modDate = QDateTime::fromSecsSinceEpoch(1700000000 + parts[1].toLongLong() * 60, QTimeZone::utc());
    return node;
}

std::string names(const std::vector<RuleFile>& files)
{
    QStringList result;
    for (const RuleFile& f : files)
        result.append(*f.node->fileName);
    return result.join(QLatin1Char(' ')).toStdString();
}

// "K" kept, "M" marked, per file in scan order.
QString marks(const DuplicateGroupPtr& group)
{
    QString result;
    for (const auto& f : group->children)
        result += f->isMarked() ? QLatin1Char('M') : QLatin1Char('K');
    return result;
}

class AutoMark : public ::testing::Test {
protected:
    void SetUp() override
    {
        setAlertPresenter(alerts);
        defaults.setValue(QString::fromLatin1(SettingsKey::protectedFolders),
            QVariantList { makeFolderEntry(QStringLiteral("/keep")) });
        defaults.setValue(QString::fromLatin1(SettingsKey::autoMarkingRules), defaultAutoMarkingRules());
        marking.setDelayedCalls(clock);
        sheets.connectTo(marking);
    }
    void TearDown() override { setAlertPresenter(nullptr); }

    std::vector<DuplicateGroupPtr> load(const std::vector<QStringList>& groups)
    {
        std::vector<DuplicateGroupPtr> result;
        for (const QStringList& specs : groups) {
            result.push_back(std::make_shared<DuplicateGroup>());
            for (const QString& spec : specs)
                addFileToGroup(result.back(), file(spec));
        }
        state.loadResultSet(result, 1, ScanSource::thisComputer);
        return result;
    }
    AutoMarkPlan plan(const std::function<void(qint64)>& progress = {})
    {
        return autoMarkGroups(std::make_shared<const AutoMarkSnapshot>(AutoMarkSnapshot::take(
                                  state, defaults.object(QStringLiteral("autoMarkingRules")), 1)),
            abort, progress);
    }
    void runToEnd()
    {
        marking.waitForWorkers();
        QCoreApplication::processEvents();
    }

    std::shared_ptr<RecordingAlerts> alerts = std::make_shared<RecordingAlerts>();
    QTemporaryDir folder;
    UserDefaults defaults { folder.path() };
    ResultsState state { std::make_shared<ScanSources>(defaults) };
    std::atomic<bool> abort = false;
    QWidget window;
    AutoMarkSheetWindows sheets { &window };
    AutoMarking marking { state, defaults, sheets };
    std::shared_ptr<HandClock> clock = std::make_shared<HandClock>();
};

} // namespace

TEST_F(AutoMark, PlanKeepsTheFirstFileInRuleOrderOrEveryProtectedOne)
{
    const std::tuple<QStringList, const char*, int> cases[] = {
        { { "a:10", "b:30", "c:20" }, "MKM", 1 }, // the newest modification date is kept
        { { "a:10", "k:5", "c:20" }, "MKM", 1 }, // the protected file, though the rules chose c
        { { "k1:1", "b:30", "k2:2", "d:4" }, "KMKM", -1 },
        { { "k1:1", "k2:2" }, "KK", 0 },
    };
    for (const auto& [specs, expected, groupState] : cases) {
        const auto group = load({ specs }).front();
        const AutoMarkPlan made = plan();
        EXPECT_EQ(made.everyGroupProtected(), groupState == 0);
        ASSERT_TRUE(applyAutoMarkPlan(state, made));
        EXPECT_EQ(marks(group), QString::fromLatin1(expected)) << specs.join(' ').toStdString();
        EXPECT_EQ(group->state, groupState);
        EXPECT_EQ(state.countMarked(), QString::fromLatin1(expected).count(QLatin1Char('M')));
    }
    load({});
    EXPECT_TRUE(plan().everyGroupProtected());
}

TEST_F(AutoMark, RulesReorderStablyAndOnlyByTheHighestEntryInTheGroup)
{
    struct Case {
        const char* rule;
        QStringList files;
        QStringList priorities;
        bool folderMoved;
        const char* expected;
    };
    const Case cases[] = {
        { "DateModified", { "a:10", "b:-", "c:30" }, {}, false, "a b c" }, // undated files never move
        { "DateModified", { "a:10", "b:30", "c:-", "d:5", "e:20" }, {}, false, "b a c e d" },
        { "FileSize", { "a", "b" }, {}, false, "a b" },
        { "FileFormat", { "x.heic", "a.jpg", "b.jpg", "c.jpg" }, { "png", "jpg" }, false, "a.jpg b.jpg c.jpg x.heic" },
        { "FileFormat", { "x.heic", "a.jpg" }, { "JPG", "heic" }, false, "x.heic a.jpg" },
        { "Folder", { "a", "k" }, { "/KEEP" }, false, "a k" }, // inert before Up or Down
        { "Folder", { "a", "k" }, { "/KEEP" }, true, "k a" },
        { "Folder", { "a", "k" }, { "/elsewhere" }, true, "a k" },
        { "NoSuchRule", { "a:1", "b:2" }, {}, true, "a b" },
    };
    for (const Case& c : cases) {
        std::vector<FileInfoNodePtr> nodes;
        std::vector<RuleFile> files;
        for (const QString& spec : c.files) {
            nodes.push_back(file(spec));
            files.push_back(RuleFile::of(*nodes.back()));
        }
        const SelectionPriorities priorities { c.priorities, c.priorities, c.folderMoved };
        EXPECT_EQ(names(applySelectionRule(files, QString::fromLatin1(c.rule), priorities)), std::string(c.expected))
            << c.rule << " " << c.files.join(' ').toStdString();
    }
    const QVariantList stored { makeAutoMarkingRule(QStringLiteral("FileSize"), QString(), true, 0),
        QStringLiteral("not a rule"),
        QVariantMap { { QStringLiteral("ruleName"), QStringLiteral("Folder") }, { QStringLiteral("state"), 1 } },
        QVariantMap { { QStringLiteral("ruleName"), QStringLiteral("FileFormat") }, { QStringLiteral("state"), 0 } },
        QVariantMap { { QStringLiteral("ruleName"), QStringLiteral("DateModified") } } };
    EXPECT_EQ(enabledSelectionRules(stored), (QStringList { QStringLiteral("FileSize"), QStringLiteral("Folder") }));
}

TEST_F(AutoMark, DatesOrderByTheInstantWhateverZoneTheyWereGivenIn)
{
    // The same instants in local time, in UTC and at an offset, with a date
    // that is no date at all (it stays where it is, as an undated file).
    const QDateTime base = QDateTime::fromSecsSinceEpoch(1700000000, QTimeZone::utc());
    const std::pair<const char*, QDateTime> dated[]
        = { { "a", base.toLocalTime() }, { "b", base.addSecs(120).toOffsetFromUtc(3600) }, { "c", QDateTime() },
              { "d", base.addSecs(60) }, { "e", base.addSecs(-60).toLocalTime() } };
    std::vector<FileInfoNodePtr> nodes;
    std::vector<RuleFile> files;
    for (const auto& [name, date] : dated) {
        nodes.push_back(file(QString::fromLatin1(name)));
        nodes.back()->createDate = date;
        files.push_back(RuleFile::of(*nodes.back()));
    }
    EXPECT_EQ(names(applySelectionRule(files, QStringLiteral("FileCreated"), {})), "b a c d e");
}

TEST_F(AutoMark, CancelAfterTheFirstGroupAndHiddenFilesLeaveTheRestUntouched)
{
    const auto groups = load({ { "a:1", "b:2", "c:3" }, { "d:1", "e:2" }, { "f:1", "g:2", "h:3" } });
    const auto hidden = groups[2]->children[2];
    groups[2]->filterChildren.pop_back();
    hidden->state = true;
    state.unmarkAllShownFiles();
    const AutoMarkPlan made = plan([&](qint64) { abort = true; });
    ASSERT_TRUE(made.cancelled);
    applyAutoMarkPlan(state, made);
    EXPECT_EQ(state.arrGroups.front(), groups[0]);
    EXPECT_EQ(marks(groups[0]), QStringLiteral("MMK"));
    EXPECT_EQ(marks(groups[1]), QStringLiteral("KK"));
    EXPECT_EQ(marks(groups[2]), QStringLiteral("KKM"));
    EXPECT_EQ(groups[1]->state, 0);
    EXPECT_EQ(state.countMarked(), 2);
}

TEST_F(AutoMark, ConfirmationIsSkippedWhenItsKeyIsSetAndTheSheetClosesTwoSecondsAfterTheEnd)
{
    load({ { "a:1", "b:2" } });
    marking.btnAutoMarkTapped();
    EXPECT_TRUE(sheets.windowAutoMark->isVisible());
    EXPECT_FALSE(sheets.windowAutomarking->isVisible());
    sheets.btnDontShowAutoMark->setChecked(true);
    sheets.btnCancelAutomark->click();
    EXPECT_FALSE(sheets.windowAutoMark->isVisible());
    EXPECT_FALSE(sheets.windowAutomarking->isVisible());
    marking.btnAutoMarkTapped();
    EXPECT_TRUE(sheets.windowAutoMark->isVisible()); // a cancelled check box is not stored
    sheets.btnDontShowAutoMark->setChecked(true);
    sheets.btnContinueAutomark->click();
    runToEnd();
    clock->advance();

    marking.btnAutoMarkTapped();
    EXPECT_FALSE(sheets.windowAutoMark->isVisible());
    EXPECT_TRUE(sheets.windowAutomarking->isVisible());
    runToEnd();
    EXPECT_EQ(state.countMarked(), 1);
    EXPECT_EQ(sheets.lblNumberPhotosMarking->text(),
        formatText(localizedText(QStringLiteral("ID_COUNT_PHOTO_AUTOMARKED")), { 1 }));
    EXPECT_TRUE(sheets.windowAutomarking->isVisible());
    clock->advance();
    EXPECT_FALSE(sheets.windowAutomarking->isVisible());
    EXPECT_TRUE(alerts->messages().isEmpty());

    load({ { "k1", "k2" } });
    marking.btnMarkMenuItemTapped();
    runToEnd();
    EXPECT_EQ(alerts->messages(),
        QStringList { localizedText(QStringLiteral("ID_ALL_ITEMS_CANNOT_MARKED_THEY_ARE_PROTECTED")) });
}

TEST_F(AutoMark, ACancelledRunNeitherMarksNorClosesTheSheetOfANewerRun)
{
    load({ { "a:1", "b:2" } });
    int finished = 0;
    QObject::connect(&marking, &AutoMarking::autoMarkingFinished, [&] { ++finished; });
    marking.showScanCompleteSheet();
    EXPECT_TRUE(sheets.windowScanComplete->isVisible());
    sheets.btnAutoMarkPhotos->click();
    EXPECT_FALSE(sheets.windowScanComplete->isVisible());
    sheets.btnCancelAutoMarking->click();
    EXPECT_FALSE(sheets.windowAutomarking->isVisible());
    marking.proceedToautoMarkAllitems();
    runToEnd();
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(clock->pending.size(), 1u);
    EXPECT_EQ(state.countMarked(), 1);
}

TEST_F(AutoMark, NoShownGroupIsEverFullyMarked)
{
    std::mt19937 random(27);
    for (int round = 0; round < 60; ++round) {
        std::vector<QStringList> shapes(1 + random() % 4);
        for (QStringList& specs : shapes) {
            for (unsigned i = 0, n = 2 + random() % 4; i < n; ++i) {
                const QString date = random() % 4 ? QString::number(random() % 5) : QStringLiteral("-");
                specs.append((random() % 4 ? QStringLiteral("f") : QStringLiteral("k")) + QString::number(i)
                    + QLatin1Char(':') + date);
            }
        }
        const auto groups = load(shapes);
        for (const auto& group : groups) {
            if (random() % 3 == 0)
                group->filterChildren.erase(group->filterChildren.begin());
            for (const auto& f : group->filterChildren)
                f->state = random() % 2 == 0;
        }
        state.recountMarkedFiles();
        marking.proceedToautoMarkAllitems();
        runToEnd();
        qint64 count = 0;
        for (const auto& group : groups) {
            const auto marked = std::ranges::count_if(group->filterChildren, [](auto& f) { return f->isMarked(); });
            ASSERT_LT(marked, static_cast<qsizetype>(group->filterChildren.size()));
            count += marked;
        }
        ASSERT_EQ(state.countMarked(), count);
    }
}

TEST_F(AutoMark, ARunRepaintsOnceAndItsProgressIsShownAtATimersPaceNotPerGroup)
{
    struct Repaints : MarkingObserver {
        int files = 0;
        int groups = 0;
        int all = 0;
        void fileMarkChanged(const FileInfoNodePtr&) override { ++files; }
        void groupRowChanged(const DuplicateGroupPtr&) override { ++groups; }
        void allMarksChanged() override { ++all; }
        void updateMarkedCountLabel() override { }
    } repaints;
    load(std::vector<QStringList>(300, QStringList { "a", "b", "c" }));
    state.setObserver(&repaints);
    marking.proceedToautoMarkAllitems();
    QSignalSpy shown(sheets.progressBarAutoMarking, &QProgressBar::valueChanged);
    runToEnd();
    state.setObserver(nullptr);
    EXPECT_EQ(state.countMarked(), 600);
    // The sheet ends on the whole count, without a step for every group.
    EXPECT_EQ(sheets.progressBarAutoMarking->value(), 600);
    EXPECT_EQ(sheets.lblNumberPhotosMarking->text(),
        formatText(localizedText(QStringLiteral("ID_COUNT_PHOTOS_AUTOMARKED")), { 600 }));
    EXPECT_LE(shown.count(), 2);
    // The marks cleared as the run starts, then the run's marks: two
    // repaints of every view, none per file or group.
    EXPECT_EQ(repaints.all, 2);
    EXPECT_EQ(repaints.files + repaints.groups, 0);
}

namespace {

// A result set of count groups of two to five files: protected ones (in
// /keep), dated and undated, of several formats; a few whole groups protected.
// The same seed gives the same files in new records.
std::vector<QStringList> variedShapes(int count, unsigned seed)
{
    std::mt19937 random(seed);
    const char* formats[] = { ".jpg", ".heic", ".png", "" };
    std::vector<QStringList> shapes(static_cast<std::size_t>(count));
    for (QStringList& specs : shapes) {
        const bool allProtected = random() % 10 == 0;
        for (unsigned i = 0, n = 2 + random() % 4; i < n; ++i) {
            const QString date = random() % 4 ? QString::number(random() % 5) : QStringLiteral("-");
            specs.append((allProtected || random() % 4 == 0 ? QStringLiteral("k") : QStringLiteral("f"))
                + QString::number(i) + QString::fromLatin1(formats[random() % 4]) + QLatin1Char(':') + date);
        }
    }
    return shapes;
}

// One group at a time.
SliceBudget oneStep()
{
    return SliceBudget(1, std::chrono::nanoseconds(0));
}

} // namespace

class AutoMarkSliced : public AutoMark {
protected:
    void SetUp() override
    {
        AutoMark::SetUp();
        // Every rule, the Folder rule moved so that it applies.
        QVariantList rules = defaultAutoMarkingRules();
        for (QVariant& rule : rules) {
            QVariantMap map = rule.toMap();
            map[QStringLiteral("state")] = true;
            rule = map;
        }
        defaults.setValue(QString::fromLatin1(SettingsKey::autoMarkingRules), rules);
    }
    std::vector<DuplicateGroupPtr> loadVaried(int count, unsigned seed)
    {
        auto groups = load(variedShapes(count, seed));
        state.folderPriorityList = { QStringLiteral("/keep"), QStringLiteral("/d") };
        state.isFolderPriorityUpdate = true;
        return groups;
    }
    // The run with snapshot, plan and application each whole, on the GUI
    // thread.
    QStringList wholeRun(int count, unsigned seed)
    {
        loadVaried(count, seed);
        EXPECT_TRUE(applyAutoMarkPlan(state, plan()));
        return shownMarks(state);
    }
    // Lets the event loop run until the run's marks are on.
    bool waitForTheMarks(const int& finished)
    {
        marking.waitForWorkers();
        return waitUntil([&] { return finished == 1; });
    }
};

TEST_F(AutoMarkSliced, SlicesGiveTheMarksOrderAndStatesOfAWholeRun)
{
    const int count = 3 * SliceBudget::minimumSteps;
    const QStringList whole = wholeRun(count, 5);

    // Through the sheets, as the user starts it.
    loadVaried(count, 5);
    int finished = 0;
    QObject::connect(&marking, &AutoMarking::autoMarkingFinished, [&] { ++finished; });
    marking.proceedToautoMarkAllitems();
    ASSERT_TRUE(waitForTheMarks(finished));
    EXPECT_EQ(shownMarks(state), whole);
    EXPECT_EQ(sheets.progressBarAutoMarking->value(), state.countMarked());

    // One group per slice for the snapshot and for the marks.
    loadVaried(count, 5);
    AutoMarkSnapshotTaker taker(state, defaults.object(QStringLiteral("autoMarkingRules")), 2);
    int slices = 1;
    for (SliceBudget budget = oneStep(); !taker.takeSome(budget); budget = oneStep())
        ++slices;
    EXPECT_EQ(slices, count);
    const AutoMarkPlan made = autoMarkGroups(std::make_shared<const AutoMarkSnapshot>(taker.release()), abort);
    AutoMarkApplication application(state, made);
    for (SliceBudget budget = oneStep(); !application.applySome(budget); budget = oneStep()) { }
    EXPECT_TRUE(application.applied());
    EXPECT_EQ(shownMarks(state), whole);
}

TEST_F(AutoMarkSliced, CancelMidWayLeavesEachGroupMarkedByTheRunOrUnmarked)
{
    const int count = 3 * SliceBudget::minimumSteps;
    const QStringList whole = wholeRun(count, 8);
    const auto premark = [](const std::vector<DuplicateGroupPtr>& groups) {
        for (const auto& group : groups)
            group->filterChildren.back()->state = true;
    };

    // The snapshot cut short after ten groups: those ten are marked, the
    // others unmarked in scan order.
    premark(loadVaried(count, 8));
    state.recountMarkedFiles();
    state.unmarkAllShownFiles();
    AutoMarkSnapshotTaker taker(state, defaults.object(QStringLiteral("autoMarkingRules")), 2);
    for (int i = 0; i < 10; ++i) {
        SliceBudget budget = oneStep();
        ASSERT_FALSE(taker.takeSome(budget));
    }
    const AutoMarkPlan made = autoMarkGroups(std::make_shared<const AutoMarkSnapshot>(taker.release()), abort);
    EXPECT_TRUE(made.cancelled);
    ASSERT_TRUE(applyAutoMarkPlan(state, made));
    const QStringList cut = shownMarks(state);
    for (int g = 0; g < count; ++g) {
        if (g < 10)
            EXPECT_EQ(cut[g], whole[g]) << g;
        else
            EXPECT_FALSE(cut[g].contains(QLatin1Char('+'))) << g;
    }

    // Cancel on the sheet, wherever the run is then: every group as the
    // whole run marks it or without marks, the totals those of the marks.
    premark(loadVaried(count, 8));
    state.recountMarkedFiles();
    int finished = 0;
    QObject::connect(&marking, &AutoMarking::autoMarkingFinished, [&] { ++finished; });
    marking.proceedToautoMarkAllitems();
    sheets.btnCancelAutoMarking->click();
    EXPECT_FALSE(sheets.windowAutomarking->isVisible());
    ASSERT_TRUE(waitForTheMarks(finished));
    const QStringList cancelled = shownMarks(state);
    qint64 marked = 0;
    for (int g = 0; g < count; ++g) {
        EXPECT_TRUE(cancelled[g] == whole[g] || !cancelled[g].contains(QLatin1Char('+'))) << cancelled[g].toStdString();
        marked += cancelled[g].count(QLatin1Char('+'));
    }
    EXPECT_EQ(state.countMarked(), marked);
}

TEST_F(AutoMarkSliced, MarksClearedSliceBySliceAsTheSnapshotIsTakenEndAsAWholeRunFromNoMarks)
{
    const int count = 3 * SliceBudget::minimumSteps;
    const QStringList whole = wholeRun(count, 9);
    struct Repaints : MarkingObserver {
        int all = 0;
        void fileMarkChanged(const FileInfoNodePtr&) override { }
        void groupRowChanged(const DuplicateGroupPtr&) override { }
        void allMarksChanged() override { ++all; }
        void updateMarkedCountLabel() override { }
        void shownGroupsChanged() override { ++all; }
    } repaints;

    // Every shown file marked but one per group, as a run never leaves them.
    loadVaried(count, 9);
    state.selectAllShownFiles(true);
    ASSERT_GT(state.countMarked(), 0);
    state.setObserver(&repaints);
    int finished = 0;
    QObject::connect(&marking, &AutoMarking::autoMarkingFinished, [&] { ++finished; });
    marking.proceedToautoMarkAllitems();
    // The views hear of the cleared marks once, when the last group is in,
    // and of the run's marks and orders once.
    ASSERT_TRUE(waitForTheMarks(finished));
    state.setObserver(nullptr);
    EXPECT_EQ(repaints.all, 2);
    EXPECT_EQ(shownMarks(state), whole);
    qint64 marked = 0;
    for (const QString& group : shownMarks(state))
        marked += group.count(QLatin1Char('+'));
    EXPECT_EQ(state.countMarked(), marked);
    state.recountMarkedFiles();
    EXPECT_EQ(state.countMarked(), marked);

    // The taker clears each group as it takes it, and only then.
    loadVaried(count, 9);
    state.selectAllShownFiles(true);
    const QStringList before = shownMarks(state);
    AutoMarkSnapshotTaker taker(state, defaults.object(QStringLiteral("autoMarkingRules")), 2,
        AutoMarkSnapshotTaker::Marks::clear);
    SliceBudget budget = oneStep();
    ASSERT_FALSE(taker.takeSome(budget));
    const QStringList first = shownMarks(state);
    EXPECT_FALSE(first[0].contains(QLatin1Char('+')));
    EXPECT_EQ(first.mid(1, count - 1), before.mid(1, count - 1));
    while (!taker.takeSome(budget))
        budget = oneStep();
    const QStringList cleared = shownMarks(state);
    for (int g = 0; g < count; ++g)
        EXPECT_FALSE(cleared[g].contains(QLatin1Char('+'))) << g;
}

TEST_F(AutoMarkSliced, AResultSetReplacedWhileARunGoesKeepsItsOwnMarks)
{
    const int count = 3 * SliceBudget::minimumSteps;
    int finished = 0;
    QObject::connect(&marking, &AutoMarking::autoMarkingFinished, [&] { ++finished; });
    const auto replace = [&] {
        const auto groups = loadVaried(count / 2, 11);
        groups.front()->filterChildren.front()->state = true;
        state.recountMarkedFiles();
        return shownMarks(state);
    };

    // Replaced while the run's snapshot is taken or planned.
    loadVaried(count, 10);
    marking.proceedToautoMarkAllitems();
    const QStringList replaced = replace();
    ASSERT_TRUE(waitForTheMarks(finished));
    EXPECT_EQ(shownMarks(state), replaced);
    clock->advance();
    EXPECT_FALSE(sheets.windowAutomarking->isVisible());

    // Replaced part way through the marks: the rest is dropped, and the
    // views hear nothing of the old groups.
    struct Rebuilds : MarkingObserver {
        int rebuilt = 0;
        void fileMarkChanged(const FileInfoNodePtr&) override { }
        void groupRowChanged(const DuplicateGroupPtr&) override { }
        void allMarksChanged() override { }
        void shownGroupsChanged() override { ++rebuilt; }
        void updateMarkedCountLabel() override { }
    } views;
    loadVaried(count, 10);
    const AutoMarkPlan made = plan();
    state.setObserver(&views);
    AutoMarkApplication application(state, made);
    SliceBudget budget = oneStep();
    ASSERT_FALSE(application.applySome(budget));
    const QStringList again = replace();
    budget = oneStep();
    EXPECT_TRUE(application.applySome(budget));
    EXPECT_FALSE(application.applied());
    state.setObserver(nullptr);
    EXPECT_EQ(shownMarks(state), again);
    EXPECT_EQ(views.rebuilt, 0);
}

TEST_F(AutoMark, AGroupChangedSinceTheRunSawItIsLeftAsItIs)
{
    const auto groups = load({ { "a:1", "b:3", "c:2" }, { "d:1", "e:2" }, { "f:1", "g:2" } });
    // The first group's files put in another order by the user since:
    // the same files, so the run's order and marks still go on.
    const AutoMarkPlan made = plan();
    std::ranges::reverse(groups[0]->filterChildren);
    // A file of the second taken off the list since.
    groups[1]->filterChildren.pop_back();
    ASSERT_TRUE(applyAutoMarkPlan(state, made));
    EXPECT_EQ(shownMarks(state), (QStringList { "b c+ a+ 1", "d 0", "g f+ 1", "3/3000" }));

    // An order that names a file twice, or one past the group, changes
    // nothing.
    state.unmarkAllShownFiles();
    const std::vector<FileInfoNodePtr> seen = groups[2]->filterChildren;
    const std::vector<std::uint8_t> flags { GroupMarking::mark, 0 };
    const std::vector<std::vector<std::uint32_t>> orders { { 1, 1 }, { 0, 2 } };
    for (const std::vector<std::uint32_t>& order : orders) {
        EXPECT_EQ(state.setGroupMarks(groups[2], { seen, order, flags, 1 }), GroupMarksOutcome::stale);
        EXPECT_EQ(groups[2]->filterChildren, seen);
        EXPECT_EQ(state.countMarked(), 0);
    }
}
