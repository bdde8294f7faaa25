#include "core/Localization.h"
#include "core/TextFormat.h"
#include "marking/MarkingObserver.h"
#include "marking/ResultsState.h"
#include "marking/SortRunner.h"
#include "marking/StableSort.h"
#include "support/WaitUntil.h"

#include <QTest>
#include <gtest/gtest.h>

#include <random>

namespace {

using Category = GlobalObjects::FileCategory;
using Order = GlobalObjects::SortOrder;
using Type = GlobalObjects::SortType;

// Remembers which screen calls came, in order.
class CallLog : public MarkingObserver {
public:
    void fileMarkChanged(const FileInfoNodePtr&) override { }
    void groupRowChanged(const DuplicateGroupPtr&) override { }
    void allMarksChanged() override { }
    void updateMarkedCountLabel() override { calls += 'L'; }
    void shownGroupsChanged() override { calls += 'R'; }
    void categoryChanged() override { calls += 'C'; }
    void showNoDuplicatesPopover(Category, const QString& heading) override { calls += 'P', popover = heading; }
    void disableResultToolbar() override { calls += 'D'; }
    void sortOrderChanged() override { calls += 'O'; }
    QString calls;
    QString popover;
};

// "a:1*" is a file named a of category 1, marked; a bare name has no
// category. Every file is 1 byte long.
DuplicateGroupPtr makeGroup(const QString& members)
{
    auto group = std::make_shared<DuplicateGroup>();
    for (QString token : members.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        auto file = std::make_shared<FileInfoNode>();
        file->state = token.endsWith(QLatin1Char('*'));
        const QStringList parts = token.remove(QLatin1Char('*')).split(QLatin1Char(':'));
        file->fileName = parts[0];
        if (parts.size() > 1)
            file->fileCategory = enumFromRaw<Category>(parts[1].toInt());
        file->fileSize = 1;
        addFileToGroup(group, file);
    }
    return group;
}

// The shown files' names, "," between files and "|" between groups.
QString shown(const std::vector<DuplicateGroupPtr>& groups)
{
    QStringList result;
    for (const auto& group : groups) {
        QStringList files;
        for (const auto& file : group->filterChildren)
            files.append(*file->fileName);
        result.append(files.join(QLatin1Char(',')));
    }
    return result.join(QLatin1Char('|'));
}

} // namespace

TEST(CategoryFilter, NarrowsGroupsKeepsMarksAndRecountsShownFiles)
{
    const auto mixed = makeGroup(QStringLiteral("a:1 b:1 c:1 d:0*"));
    ResultsState state(nullptr);
    CallLog screen;
    state.setObserver(&screen);
    state.loadResultSet({ mixed, makeGroup(QStringLiteral("e:0* f:0")), makeGroup(QStringLiteral("x y")) }, 4,
        ScanSource::thisComputer);

    const std::tuple<std::optional<Category>, const char*, int, qint64, const char*> steps[] = {
        { Category::Pic, "a,b,c", 1, 0, "CRL" },
        { Category::Doc, "e,f", 0, 1, "CRL" },
        { Category::Music, "e,f", 0, 1, "P" }, // nothing changes
        { std::nullopt, "a,b,c,d|e,f|x,y", -1, 2, "CRL" },
    };
    for (const auto& [category, expected, index, count, calls] : steps) {
        screen.calls.clear();
        if (category)
            state.selectCategory(*category);
        else
            state.btnShowAllItems();
        EXPECT_EQ(shown(state.arrGroups), QString::fromLatin1(expected));
        EXPECT_EQ(state.selectedCategoryIndex, index);
        EXPECT_EQ(state.countMarked(), count);
        EXPECT_EQ(screen.calls, QString::fromLatin1(calls));
    }
    EXPECT_EQ(screen.popover, QStringLiteral("Oops! No duplicates found in Music."));
    EXPECT_EQ(mixed->state, -1); // from all four files again, not the images' none
}

TEST(GroupOrder, EachTypeIsStableAndAscendingReversesTiesToo)
{
    std::vector<DuplicateGroupPtr> groups;
    for (const auto& [members, size] : std::initializer_list<std::pair<const char*, int>> { { "Beta Beta", 100 },
             { "alpha* alpha alpha", 300 }, { "e\u0301* e\u0301", 100 }, { "", 200 }, { "\u00e9 \u00e9", 50 } }) {
        groups.push_back(makeGroup(QString::fromUtf8(members)));
        groups.back()->groupSize = size;
    }
    const auto letters = [&](const std::vector<DuplicateGroupPtr>& sorted) {
        QString result;
        for (const auto& group : sorted)
            result += QLatin1Char('A' + (std::ranges::find(groups, group) - groups.begin()));
        return result;
    };
    const std::tuple<Type, Order, const char*> cases[] = {
        { Type::sortBySize, Order::sortDescending, "BDACE" },
        { Type::sortBySize, Order::sortAsecending, "ECADB" },
        { Type::sortByCount, Order::sortDescending, "BACED" },
        { Type::sortBySelected, Order::sortDescending, "BCADE" },
        // Composed and decomposed é are one name; the empty group sorts as "".
        { Type::sortByName, Order::sortDescending, "CEABD" },
        { Type::sortByName, Order::sortAsecending, "DBAEC" },
        { Type::sortByType, Order::sortAsecending, "EDCBA" },
    };
    for (const auto& [type, order, expected] : cases)
        EXPECT_EQ(letters(sortGroupsBy(groups, type, order)), QString::fromLatin1(expected)) << rawValue(type);
}

TEST(ColumnSort, OrdersShownFilesByKeyWithMissingValuesTyingWithAll)
{
    const auto group = makeGroup(QStringLiteral("b.jpg A.jpg c.png"));
    const auto b = group->children[0], a = group->children[1], c = group->children[2];
    b->fileSize = 10, a->fileSize = 30, c->fileSize = 20;
    b->filePath = "/x/b.jpg", a->filePath = "/x/y/A.jpg", c->filePath = "/z/c.png";
    b->modDate = QDateTime::fromSecsSinceEpoch(300), c->modDate = QDateTime::fromSecsSinceEpoch(100);
    ResultsState state(nullptr);
    CallLog screen;
    state.setObserver(&screen);
    state.loadResultSet({ group }, 2, ScanSource::thisComputer);

    const std::tuple<std::optional<SortDescriptor>, const char*> cases[] = {
        { SortDescriptor { QStringLiteral("fileName"), true }, "c.png,b.jpg,A.jpg" },
        { SortDescriptor { QStringLiteral("fileName"), false }, "A.jpg,b.jpg,c.png" },
        { SortDescriptor { QStringLiteral("fileSize"), true }, "A.jpg,c.png,b.jpg" },
        { SortDescriptor { QStringLiteral("fileType"), true }, "c.png,A.jpg,b.jpg" },
        { SortDescriptor { QStringLiteral("createDate"), true }, "c.png,A.jpg,b.jpg" }, // none has one
        { SortDescriptor { QStringLiteral("modDate"), false }, "c.png,A.jpg,b.jpg" },
        { SortDescriptor { QStringLiteral("filePath"), false }, "A.jpg,c.png,b.jpg" }, // c and b equally deep
        { SortDescriptor { QStringLiteral("FileName"), true }, "A.jpg,c.png,b.jpg" },
        { std::nullopt, "A.jpg,c.png,b.jpg" },
    };
    for (const auto& [descriptor, expected] : cases) {
        screen.calls.clear();
        state.sortDescriptorsDidChange(descriptor);
        EXPECT_EQ(shown({ group }), QString::fromLatin1(expected));
        EXPECT_EQ(screen.calls, QStringLiteral("R")); // rows rebuilt even when nothing moved
    }
}

TEST(SortCommands, SortButtonTogglesDirectionAndReappliesTheCategory)
{
    const std::vector groups { makeGroup(QStringLiteral("p0:1 q0:1")), makeGroup(QStringLiteral("p1:1 q1:1")),
        makeGroup(QStringLiteral("p2:1 q2:1 d:0")) };
    ResultsState state(nullptr);
    CallLog screen;
    state.setObserver(&screen);
    state.loadResultSet(groups, 4, ScanSource::thisComputer);
    state.selectCategory(Category::Pic);
    state.sortDescriptorsDidChange(SortDescriptor { QStringLiteral("fileName"), true });
    screen.calls.clear();

    state.sortBtnTapped();
    EXPECT_EQ(shown(state.arrGroups), QStringLiteral("p1,q1|p0,q0|p2,q2")); // files back in scan order, ties reversed
    EXPECT_EQ(screen.calls, QStringLiteral("DOR"));
    state.sortBtnTapped();
    EXPECT_EQ(shown(state.arrGroups), QStringLiteral("p2,q2|p0,q0|p1,q1"));

    // The sort-type command re-sorts only what is shown and rebuilds the rows.
    state.arrGroups.pop_back();
    screen.calls.clear();
    state.selectSortingType();
    EXPECT_EQ(shown(state.arrGroups), QStringLiteral("p2,q2|p0,q0"));
    EXPECT_EQ(screen.calls, QStringLiteral("R"));
}

TEST(SortCommands, MergeSortAgreesWithTheStandardStableSort)
{
    std::mt19937 random(22);
    const auto byKey = [](const auto& x, const auto& y) { return x.first < y.first; };
    for (int round = 0; round < 50; ++round) {
        std::vector<std::pair<unsigned, int>> items;
        for (int i = 0, n = static_cast<int>(random() % 200); i < n; ++i)
            items.emplace_back(random() % 10, i);
        auto expected = items;
        std::ranges::stable_sort(expected, byKey);
        stableMergeSort(items, byKey);
        ASSERT_EQ(items, expected);
    }
}

TEST(Summary, CountsGroupsDuplicatesAndSpaceFromTheWholeResultSet)
{
    const std::tuple<std::vector<std::vector<quint64>>, qint64, qint64, const char*, quint64> cases[] = {
        { {}, 0, 0, "ID_DUPLICATES_IN_GROUPS", 0 },
        { { { 7, 2 } }, 1, 1, "ID_DUPLICATE_IN_GROUP", 2 },
        { { { 7, 2 }, { 7, 4 } }, 2, 2, "ID_DUPLICATES_IN_GROUPS", 6 },
        { { { 9000, 2000, 3000 } }, 2, 1, "ID_DUPLICATES_IN_GROUP", 5000 },
    };
    for (const auto& [sizes, duplicates, groupCount, key, space] : cases) {
        std::vector<DuplicateGroupPtr> groups;
        for (const auto& files : sizes) {
            groups.push_back(
                makeGroup(QStringLiteral("first*") + QStringLiteral(" f").repeated(qsizetype(files.size()) - 1)));
            for (std::size_t i = 0; i < files.size(); ++i)
                groups.back()->children[i]->fileSize = files[i];
        }
        const DuplicatesSummary summary = summarizeDuplicates(groups);
        EXPECT_EQ(summary.duplicates, duplicates);
        EXPECT_EQ(summary.groups, groupCount);
        EXPECT_EQ(summary.spaceToBeSaved, space);
        EXPECT_EQ(
            summary.lblDupsInGroups, formatText(localizedText(QString::fromLatin1(key)), { duplicates, groupCount }));
    }
}

TEST(Summary, StylesTheValueAfterTheColonPerLanguage)
{
    const QString saved = std::exchange(currentLanguageCode, QStringLiteral("ru"));
    EXPECT_EQ(makeHeaderCountText(QStringLiteral("Found: 12"), Qt::AlignLeft).runs,
        (std::vector<StyledRun> { { 6, 3, headerValueRgb, std::nullopt },
            { 5, 4, std::nullopt, SummaryFont { 12, SummaryFont::Weight::medium } } }));
    EXPECT_TRUE(makeHeaderCountText(QStringLiteral("Found 12"), Qt::AlignLeft).runs.empty());
    currentLanguageCode = saved;
    const StyledText pie = summarizeDuplicates({}).lblSpaceSavedOnPie; // "0 bytes": the unit in bold
    EXPECT_EQ(
        pie.runs, (std::vector<StyledRun> { { 1, 6, std::nullopt, SummaryFont { 14, SummaryFont::Weight::bold } } }));
}

namespace {

// Files of every kind the column sorts meet: names differing only in case or
// in how an accent is written, names without an extension or none at all,
// equal sizes, missing and present dates, paths of several depths or none.
std::vector<DuplicateGroupPtr> variedGroups(unsigned seed, int groupCount)
{
    static const char* const names[] = { "b.jpg", "B.JPG", "a.png", "\u00e9t\u00e9.txt", "e\u0301te\u0301.TXT", "z",
        ".hidden", "A.jpeg", "", nullptr };
    std::mt19937 random(seed);
    std::vector<DuplicateGroupPtr> groups;
    for (int g = 0; g < groupCount; ++g) {
        auto group = std::make_shared<DuplicateGroup>();
        for (unsigned i = 0, n = 1 + random() % 6; i < n; ++i) {
            auto file = std::make_shared<FileInfoNode>();
            if (const char* name = names[random() % std::size(names)])
                file->fileName = QString::fromUtf8(name);
            file->fileSize = random() % 3;
            if (random() % 3)
                file->filePath = QStringLiteral("/d").repeated(int(random() % 3)) + QStringLiteral("/f");
            if (random() % 3)
                file->modDate = QDateTime::fromSecsSinceEpoch(qint64(random() % 4) * 1000, Qt::UTC);
            if (random() % 4 == 0)
                file->createDate = QDateTime(); // present but invalid: no date either
            else if (random() % 2)
                file->createDate = QDateTime::fromSecsSinceEpoch(qint64(random() % 3) * 1000, Qt::UTC);
            addFileToGroup(group, file);
        }
        groups.push_back(group);
    }
    return groups;
}

// The column orders as the header's keys define them, written out plainly:
// whether x stands before y; a missing value ties with everything.
bool referenceBefore(const FileInfoNode& x, const FileInfoNode& y, SortColumn column, bool ascending)
{
    const auto text = [](const std::optional<QString>& value) {
        return value->toLower().normalized(QString::NormalizationForm_D).toUcs4();
    };
    const auto extension = [](const QString& name) {
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        return dot <= 0 ? QString() : name.mid(dot + 1);
    };
    const auto before = [ascending](const auto& a, const auto& b) { return ascending ? b < a : a < b; };
    switch (column) {
    case SortColumn::fileName:
        return before(text(x.fileName.value_or(QString())), text(y.fileName.value_or(QString())));
    case SortColumn::fileSize:
        return before(x.fileSize, y.fileSize);
    case SortColumn::createDate:
    case SortColumn::modDate: {
        const auto& a = column == SortColumn::createDate ? x.createDate : x.modDate;
        const auto& b = column == SortColumn::createDate ? y.createDate : y.modDate;
        if (!a || !b || !a->isValid() || !b->isValid())
            return false;
        return before(a->toMSecsSinceEpoch(), b->toMSecsSinceEpoch());
    }
    case SortColumn::fileType:
        if (!x.fileName || !y.fileName)
            return false;
        return before(text(extension(*x.fileName)), text(extension(*y.fileName)));
    case SortColumn::filePath:
        if (!x.filePath || !y.filePath)
            return false;
        return before(y.filePath->count(QLatin1Char('/')), x.filePath->count(QLatin1Char('/')));
    }
    return false;
}

// Each file by its place in all, "," between files and "|" between groups.
std::string orderOf(const std::vector<DuplicateGroupPtr>& groups, const std::vector<FileInfoNodePtr>& all)
{
    QStringList order;
    for (const auto& group : groups) {
        QStringList files;
        for (const auto& file : group->filterChildren)
            files.append(QString::number(std::ranges::find(all, file) - all.begin()));
        order.append(files.join(QLatin1Char(',')));
    }
    return order.join(QLatin1Char('|')).toStdString();
}

// Remembers the state's shown groups as the screen does and says when they
// were rebuilt.
class RebuildLog : public CallLog {
public:
    void shownGroupsChanged() override
    {
        CallLog::shownGroupsChanged();
        sortedBy = state ? state->filesJustSorted() : std::nullopt;
    }
    ResultsState* state = nullptr;
    std::optional<ResultsState::FilesOrder> sortedBy;
};

} // namespace

TEST(ColumnSort, CopiedKeysSortEachGroupAsThePlainDefinitionOfEveryColumn)
{
    const SortColumn columns[] = { SortColumn::fileName, SortColumn::fileSize, SortColumn::createDate,
        SortColumn::modDate, SortColumn::fileType, SortColumn::filePath };
    for (const SortColumn column : columns) {
        for (const bool ascending : { true, false }) {
            const auto groups = variedGroups(unsigned(column) * 2 + ascending, 200);
            std::vector<FileInfoNodePtr> all;
            for (const auto& group : groups)
                all.insert(all.end(), group->filterChildren.begin(), group->filterChildren.end());
            std::vector<std::vector<FileInfoNodePtr>> expected;
            for (const auto& group : groups) {
                expected.push_back(group->filterChildren);
                stableMergeSort(expected.back(), [&](const FileInfoNodePtr& x, const FileInfoNodePtr& y) {
                    return referenceBefore(*x, *y, column, ascending);
                });
            }
            const ColumnSortInput input = takeColumnSortInput(groups, column, ascending);
            const std::atomic<bool> never { false };
            ASSERT_TRUE(applyColumnSortOrder(groups, input, columnSortOrder(input, never)));
            for (std::size_t g = 0; g < groups.size(); ++g)
                ASSERT_EQ(groups[g]->filterChildren, expected[g]) << int(column) << ascending << " group " << g;
            // The one-group sort of the older interface takes the same road.
            auto again = groups.front()->children;
            sortFilesByColumn(again, column, ascending);
            EXPECT_EQ(again, expected.front());
        }
    }
}

TEST(ColumnSort, AnOrderForOtherFilesChangesNothing)
{
    const auto groups = variedGroups(7, 30);
    const ColumnSortInput input = takeColumnSortInput(groups, SortColumn::fileName, true);
    const std::atomic<bool> never { false };
    const std::vector<std::uint32_t> order = columnSortOrder(input, never);
    std::vector<FileInfoNodePtr> all;
    for (const auto& group : groups)
        all.insert(all.end(), group->filterChildren.begin(), group->filterChildren.end());

    // A file gone from a late group, after earlier groups were already put
    // in order: those go back as they were.
    auto changed = groups;
    for (auto it = changed.rbegin(); it != changed.rend(); ++it) {
        if ((*it)->filterChildren.size() > 1) {
            (*it)->filterChildren.pop_back();
            break;
        }
    }
    const std::string shortened = orderOf(groups, all);
    EXPECT_FALSE(applyColumnSortOrder(groups, input, order));
    EXPECT_EQ(orderOf(groups, all), shortened);
    // Other groups, or a stopped sort's empty order.
    EXPECT_FALSE(applyColumnSortOrder(variedGroups(7, 30), input, order));
    EXPECT_FALSE(applyColumnSortOrder(groups, input, {}));
    const std::atomic<bool> stopped { true };
    EXPECT_TRUE(columnSortOrder(input, stopped).empty());
    EXPECT_TRUE(groupSortOrder(takeGroupSortInput(groups, Type::sortBySize, Order::sortAsecending), stopped).empty());
}

TEST(GroupOrder, GroupsTakenOutOfTheInputStandAsCopiedOnesAndABadOrderTakesNone)
{
    const auto groups = variedGroups(11, 40);
    GroupSortInput input = takeGroupSortInput(groups, Type::sortBySize, Order::sortAsecending);
    const std::atomic<bool> never { false };
    const std::vector<std::uint32_t> order = groupSortOrder(input, never);
    const std::vector<DuplicateGroupPtr> copied = groupsInOrder(input, order);

    // An order that names a group twice, too few groups or a place past the
    // end: nothing taken, the input whole.
    std::vector<std::uint32_t> twice = order;
    twice[1] = twice[0];
    std::vector<std::uint32_t> past = order;
    past.back() = std::uint32_t(order.size());
    for (const std::vector<std::uint32_t>& bad :
        { twice, past, std::vector<std::uint32_t>(order.begin(), order.end() - 1) }) {
        EXPECT_FALSE(takeGroupsInOrder(input, bad));
        EXPECT_EQ(input.groups, groups);
    }

    const std::optional<std::vector<DuplicateGroupPtr>> taken = takeGroupsInOrder(input, order);
    ASSERT_TRUE(taken);
    EXPECT_EQ(*taken, copied);
    EXPECT_TRUE(input.groups.empty());
}

TEST(SortRunner, WorkerSortsEndInTheNewestOrderAndRebuildTheRowsOnce)
{
    auto groups = variedGroups(3, 300);
    for (std::size_t g = 0; g < groups.size(); ++g)
        groups[g]->groupSize = g % 7; // many equal sizes: ties keep their order
    std::vector<FileInfoNodePtr> all;
    for (const auto& group : groups)
        all.insert(all.end(), group->filterChildren.begin(), group->filterChildren.end());
    // The same sorts made at once on the GUI thread give the expected orders.
    ResultsState expected(nullptr);
    expected.loadResultSet(groups, 1, ScanSource::thisComputer);
    expected.sortDescriptorsDidChange(SortDescriptor { QStringLiteral("modDate"), true });
    const std::string byDate = orderOf(expected.arrGroups, all);
    expected.sortBtnTapped();
    // Files without a date tie with all, so a second sort may move them.
    expected.sortDescriptorsDidChange(SortDescriptor { QStringLiteral("modDate"), true });
    const std::string byDateThenTurned = orderOf(expected.arrGroups, all);
    for (const auto& group : groups)
        group->filterChildren = group->children;

    ResultsState state(nullptr);
    RebuildLog screen;
    screen.state = &state;
    state.setObserver(&screen);
    state.loadResultSet(groups, 1, ScanSource::thisComputer);
    SortRunner runner(state);
    runner.setBackgroundFrom(0);

    // A second column sort while the first still runs: only the second's
    // order reaches the rows, once.
    runner.sortColumn(SortDescriptor { QStringLiteral("fileName"), true });
    EXPECT_TRUE(runner.isSorting());
    runner.sortColumn(SortDescriptor { QStringLiteral("modDate"), true });
    ASSERT_TRUE(waitUntil([&] { return !runner.isSorting(); }));
    EXPECT_EQ(orderOf(state.arrGroups, all), byDate);
    EXPECT_EQ(screen.calls.count(QLatin1Char('R')), 1);
    ASSERT_TRUE(screen.sortedBy.has_value());
    EXPECT_EQ(screen.sortedBy->column, SortColumn::modDate);

    // The sort button, then a column sort asked while it runs: the column
    // sort waits for it, so both orders are there in the end.
    screen.calls.clear();
    runner.sortButton();
    EXPECT_EQ(screen.calls, QStringLiteral("DO")); // the pause and the arrow come at once
    runner.sortColumn(SortDescriptor { QStringLiteral("modDate"), true });
    ASSERT_TRUE(waitUntil([&] { return !runner.isSorting(); }));
    EXPECT_EQ(orderOf(state.arrGroups, all), byDateThenTurned);
    EXPECT_EQ(screen.calls, QStringLiteral("DORR"));

    // Dropped while it runs (a new result set, another change): nothing moves.
    screen.calls.clear();
    const std::string shown = orderOf(state.arrGroups, all);
    runner.sortColumn(SortDescriptor { QStringLiteral("fileSize"), false });
    runner.dropPending();
    EXPECT_FALSE(runner.isSorting());
    QCoreApplication::processEvents();
    QTest::qWait(50);
    EXPECT_EQ(orderOf(state.arrGroups, all), shown);
    EXPECT_TRUE(screen.calls.isEmpty());
}

TEST(ColumnSort, TheOrderCheckAgreesWithThePlainDefinitionAlsoOverRunsOfOneName)
{
    const SortColumn columns[] = { SortColumn::fileName, SortColumn::fileSize, SortColumn::createDate,
        SortColumn::modDate, SortColumn::fileType, SortColumn::filePath };
    // Whether no file stands before the one ahead of it.
    const auto inOrder = [](const std::vector<FileInfoNodePtr>& files, SortColumn column, bool ascending) {
        for (std::size_t i = 1; i < files.size(); ++i) {
            if (referenceBefore(*files[i], *files[i - 1], column, ascending))
                return false;
        }
        return true;
    };
    int sortedSeen = 0;
    int unsortedSeen = 0;
    for (const SortColumn column : columns) {
        for (const bool ascending : { true, false }) {
            auto groups = variedGroups(100 + unsigned(column) * 2 + ascending, 300);
            // Runs of one name between other names, the runs' order as the
            // scan made it; and one group of a name repeated behind a name
            // that sorts after it.
            for (int g = 0; g < 100; ++g) {
                auto& files = groups[size_t(g)]->filterChildren;
                files.insert(files.begin() + qsizetype(files.size() / 2), files.size(), files.front());
            }
            auto late = std::make_shared<FileInfoNode>();
            late->fileName = QStringLiteral("z");
            auto early = std::make_shared<FileInfoNode>();
            early->fileName = QStringLiteral("a");
            groups.front()->filterChildren = { late, late, early, early };
            for (const auto& group : groups) {
                const bool expected = inOrder(group->filterChildren, column, ascending);
                (expected ? sortedSeen : unsortedSeen)++;
                ASSERT_EQ(filesSortedByColumn(group->filterChildren, column, ascending), expected)
                    << int(column) << ascending;
            }
        }
    }
    EXPECT_GT(sortedSeen, 100);
    EXPECT_GT(unsortedSeen, 100);
}
