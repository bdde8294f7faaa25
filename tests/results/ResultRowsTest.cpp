#include "results/ResultRows.h"

#include <gtest/gtest.h>

namespace {

DuplicateGroupPtr groupOf(int files)
{
    auto group = std::make_shared<DuplicateGroup>();
    for (int i = 0; i < files; ++i) {
        auto file = std::make_shared<FileInfoNode>();
        file->fileName = QStringLiteral("f%1").arg(i);
        addFileToGroup(group, file);
    }
    return group;
}

ResultRows loaded(const std::vector<DuplicateGroupPtr>& shown)
{
    ResultRows rows;
    rows.load(ResultRows::prepareRows(shown));
    return rows;
}

} // namespace

// A group that shows no file (none at all, or only let-go handles) has no
// list rows: the list's ranges step over it and its neighbours keep theirs.
TEST(ResultRows, GroupsThatShowNoFileHaveNoListRows)
{
    const DuplicateGroupPtr two = groupOf(2);
    const DuplicateGroupPtr none = groupOf(0);
    const DuplicateGroupPtr letGo = groupOf(0);
    letGo->filterChildren.push_back(nullptr);
    const DuplicateGroupPtr three = groupOf(3);
    const ResultRows rows = loaded({ two, none, letGo, three });

    ASSERT_EQ(rows.groupCount(), 4);
    ASSERT_EQ(rows.listRows().size(), 5u);
    EXPECT_EQ(rows.listRows()[2].groupNumber, 4);
    EXPECT_EQ(rows.listRows()[2].child, 0);
    EXPECT_EQ(rows.firstListRowOfGroup(0), 0);
    EXPECT_EQ(rows.firstListRowOfGroup(1), -1);
    EXPECT_EQ(rows.firstListRowOfGroup(2), -1);
    EXPECT_EQ(rows.firstListRowOfGroup(3), 2);
    EXPECT_EQ(rows.firstListRowOfGroup(4), -1);
    EXPECT_EQ(rows.listRowsOfGroups(1, 2), std::make_pair(2, 1));
    EXPECT_EQ(rows.listRowsOfGroups(0, 1), std::make_pair(0, 1));
    EXPECT_EQ(rows.listRowsOfGroups(-3, 9), std::make_pair(0, 4));
    EXPECT_EQ(rows.fileOfListRow(4), three->filterChildren[2]);
    EXPECT_EQ(rows.fileOfListRow(5), nullptr);
    EXPECT_EQ(rows.fileOfListRow(-1), nullptr);
    EXPECT_EQ(rows.positionOf(three.get()), 3);
    EXPECT_EQ(rows.positionOf(groupOf(1).get()), -1);
}

// A small group is searched in turn, a large one through its index: both
// find every shown file at its row and nothing for a file shown elsewhere.
TEST(ResultRows, RowOfAFileUnderItsGroup)
{
    const DuplicateGroupPtr small = groupOf(3);
    const DuplicateGroupPtr large = groupOf(100);
    const ResultRows rows = loaded({ small, large });
    for (const auto& [g, group] : { std::pair(0, small), std::pair(1, large) }) {
        const ResultRows::GroupRow& row = rows.groupRow(g);
        for (std::size_t i = 0; i < group->filterChildren.size(); ++i)
            EXPECT_EQ(row.rowOf(group->filterChildren[i].get()), int(i) + 1) << g << ' ' << i;
        EXPECT_EQ(row.rowOf(rows.groupRow(1 - g).files.front().get()), -1);
    }
}

// A sort's job refuses to prepare rows for groups the rows do not hold, and
// numbers the list rows of those it does in the groups' new order.
TEST(ResultRows, PreparedOrderIsForTheSameGroupsOnly)
{
    const DuplicateGroupPtr a = groupOf(1);
    const DuplicateGroupPtr b = groupOf(2);
    const ResultRows rows = loaded({ a, b });
    const auto prepare = rows.prepareShownGroups(MarkingObserver::PreparedFrom::rows);
    EXPECT_EQ(prepare({ a }), nullptr);
    EXPECT_EQ(prepare({ a, groupOf(2) }), nullptr);
    EXPECT_EQ(prepare({ a, a }), nullptr);
    EXPECT_NE(prepare({ b, a }), nullptr);
}
