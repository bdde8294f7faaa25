#include "scan/Comparison.h"

#include "ScanFixtures.h"
#include "TestHasher.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>

namespace {

using Names = std::vector<QStringList>;

QVariantList options(std::initializer_list<int> values)
{
    QVariantList list;
    for (int value : values)
        list.append(value);
    return list;
}

// Presses Stop at the nth progress refresh; the comparison refreshes as it
// takes up a record and again once the record has joined a group.
class StopAtRefresh : public ComparisonObserver {
public:
    StopAtRefresh(std::atomic<bool>& abort, int nth)
        : abort_(abort)
        , left_(nth)
    {
    }
    void updateFileScannedCountAndSize(bool) override
    {
        if (--left_ == 0)
            abort_ = true;
    }

private:
    std::atomic<bool>& abort_;
    int left_;
};

class ComparisonTest : public ::testing::Test {
protected:
    QString file(const QString& name, const QByteArray& bytes) { return writeFile(dir.path(), name, bytes); }

    // The minimum-size option and the bytes it stands for.
    struct Minimum {
        qint64 option;
        quint64 bytes;
    };

    std::vector<DuplicateGroupPtr> byContent(const std::vector<FileInfoNodePtr>& records,
        std::initializer_list<int> searchOptions = {}, Minimum minimum = { 1, 0 })
    {
        return comparison.groupFilesBySizeAndMd5(
            records, ComparisonCriteria::fromSearchOptions(options(searchOptions)), minimum.option, minimum.bytes);
    }

    QTemporaryDir dir;
    TestHasher hasher;
    ScanCounters counters;
    std::atomic<bool> abort { false };
    Comparison comparison { hasher, counters, abort };
};

TEST_F(ComparisonTest, ThreeFilesOfEqualSizeWithTwoEqualGiveOneGroupOfTwo)
{
    const auto records = recordsOf({ file("a", "hello"), file("b", "jello"), file("c", "hello") });
    const auto groups = byContent(records);

    EXPECT_EQ(namesOf(groups), (Names { { "a", "c" }, { "b" } }));
    EXPECT_EQ(groups[0]->groupSize, 10u);
    EXPECT_EQ(groups[0]->filterChildren, groups[0]->children);
    EXPECT_EQ(records[2]->parent.lock(), groups[0]);
    EXPECT_EQ(records[0]->md5, md5Hex("hello"));
    EXPECT_TRUE(records[1]->isMd5Calucaluted);
    const auto counted = counters.snapshot();
    EXPECT_EQ(counted.countDup, 1);
    EXPECT_EQ(counted.sizeDup, 5u);
    EXPECT_EQ(counted.countCompared, 3);
    EXPECT_EQ(counted.countProcessed, 3);
}

TEST_F(ComparisonTest, AFileAloneInItsSizeIsCountedButNeverRead)
{
    const auto records = recordsOf({ file("alone", "unique size"), file("x", "ab"), file("y", "ab") });
    const auto groups = byContent(records);

    EXPECT_EQ(namesOf(groups), (Names { { "x", "y" } })); // the lone size adds no group
    EXPECT_FALSE(hasher.fullReads().contains(*records[0]->filePath));
    EXPECT_FALSE(records[0]->md5.has_value());
    EXPECT_EQ(counters.countProcessed, 3);
    EXPECT_EQ(counters.countCompared, 3);
}

TEST_F(ComparisonTest, EmptyFilesTakePartOnlyWhenTheMinimumSizeSettingIsMissing)
{
    const QStringList paths { file("e1", ""), file("e2", ""), file("k1", QByteArray(1000, 'k')),
        file("k2", QByteArray(1000, 'k')), file("m1", QByteArray(1001, 'm')), file("m2", QByteArray(1001, 'm')) };
    EXPECT_EQ(duplicateNamesOf(byContent(recordsOf(paths), {}, { 1, 0 })), (Names { { "k1", "k2" }, { "m1", "m2" } }));
    EXPECT_EQ(duplicateNamesOf(byContent(recordsOf(paths), {}, { -1, 0 })),
        (Names { { "e1", "e2" }, { "k1", "k2" }, { "m1", "m2" } }));
    EXPECT_EQ(
        duplicateNamesOf(byContent(recordsOf(paths), {}, { 2, 1000 })), (Names { { "m1", "m2" } })); // over 1000 bytes
}

TEST_F(ComparisonTest, LargeFilesWhoseFirstBlocksDifferAreNotReadInFull)
{
    const QByteArray body(200 * 1024, 'b');
    QByteArray tailDiffers = body;
    tailDiffers[tailDiffers.size() - 1] = 'T';
    QByteArray headDiffers = body;
    headDiffers[0] = 'H';
    const auto records
        = recordsOf({ file("x", body), file("tail", tailDiffers), file("head", headDiffers), file("y", body) });
    const auto groups = byContent(records);

    EXPECT_EQ(namesOf(groups), (Names { { "x", "y" }, { "tail" }, { "head" } }));
    QStringList read = hasher.fullReads();
    QStringList expected { *records[0]->filePath, *records[1]->filePath, *records[3]->filePath };
    read.sort();
    expected.sort();
    EXPECT_EQ(read, expected);
    EXPECT_EQ(records[0]->md5, md5Hex(body)); // a file in a group always has its full digest
    EXPECT_EQ(records[3]->md5, md5Hex(body));
    EXPECT_FALSE(records[2]->md5.has_value());
}

TEST_F(ComparisonTest, APackageIsComparedByItsContentsAgainstFilesOfItsSize)
{
    const QByteArray body(100 * 1024, 'p');
    QDir(dir.path()).mkpath("pkg.bundle");
    writeFile(dir.path() + "/pkg.bundle", "member", body);
    auto package = recordOf(dir.path() + "/pkg.bundle");
    package->fileSize = body.size();
    QByteArray other = body;
    other[0] = 'o';
    const auto records
        = std::vector<FileInfoNodePtr> { recordOf(file("other", other)), package, recordOf(file("loose", body)) };
    const auto groups = byContent(records);

    // The digest of a one-member package is its member's digest, so the
    // package and the loose copy form a group.
    EXPECT_EQ(namesOf(groups), (Names { { "other" }, { "pkg.bundle", "loose" } }));
}

TEST_F(ComparisonTest, AFileThatCannotBeReadTakesNoPart)
{
    auto records = recordsOf({ file("a", "same"), file("gone", "same"), file("c", "same") });
    QFile::remove(*records[1]->filePath);
    const auto groups = byContent(records);

    EXPECT_EQ(namesOf(groups), (Names { { "a", "c" } }));
    EXPECT_FALSE(records[1]->md5.has_value());
    EXPECT_TRUE(records[1]->parent.expired());
    EXPECT_EQ(counters.countProcessed, 2);
}

TEST_F(ComparisonTest, SameNameCriterionKeepsEqualFilesWithOtherNamesApart)
{
    QDir(dir.path()).mkpath("sub");
    const auto records = recordsOf({ file("a.txt", "same"), file("sub/A.TXT", "same"), file("b.txt", "same") });
    auto nameless = recordOf(file("sub/b.txt", "same"));
    nameless->fileName.reset();
    auto all = records;
    all.push_back(nameless);

    EXPECT_EQ(namesOf(byContent(all, { 1 })), (Names { { "a.txt", "A.TXT" }, { "b.txt" }, { "<none>" } }));
}

TEST_F(ComparisonTest, TheLaterNameOptionDecides)
{
    const QStringList paths { file("report.txt", "same"), file("reports.txt", "same") };
    ComparisonSettings settings { ComparisonCriteria::fromSearchOptions(options({ 1, 2 })), true, 1, 0 };
    EXPECT_EQ(namesOf(comparison.searchDuplicateLocalFiles(recordsOf(paths), ScanSource::thisComputer, settings)),
        (Names { { "report.txt", "reports.txt" } }));
    settings.criteria = ComparisonCriteria::fromSearchOptions(options({ 2, 1 }));
    EXPECT_EQ(namesOf(comparison.searchDuplicateLocalFiles(recordsOf(paths), ScanSource::thisComputer, settings)),
        (Names { { "report.txt" }, { "reports.txt" } }));
}

TEST_F(ComparisonTest, GroupsFollowTheFoundOrderWhateverTheNumberOfHashingThreads)
{
    QStringList paths;
    for (int i = 0; i < 40; ++i) {
        // Four sizes, five contents per size, two copies of each.
        const int size = 100 + (i % 4);
        const char fill = char('a' + (i / 4) % 5);
        paths.append(file(QStringLiteral("f%1").arg(i, 2, 10, QLatin1Char('0')), QByteArray(size, fill)));
    }
    comparison.setHashingThreads(1);
    const Names one = namesOf(byContent(recordsOf(paths)));
    comparison.setHashingThreads(4);
    const Names four = namesOf(byContent(recordsOf(paths)));
    EXPECT_EQ(one, four);
    ASSERT_EQ(one.size(), 20u);
    EXPECT_EQ(one[0], (QStringList { "f00", "f20" })); // smallest size first, in found order
    EXPECT_EQ(one[1], (QStringList { "f04", "f24" }));
}

TEST_F(ComparisonTest, DigestsAreHandedOverEveryThousandRecordsAndOnceForTheRest)
{
    auto records = pairsWithDigests(2500);
    records.push_back(syntheticRecord("/r/alone", 99999)); // not handled: alone in its size
    std::vector<std::size_t> batches;
    comparison.setSaveDigests([&](const std::vector<FileInfoNodePtr>& batch) { batches.push_back(batch.size()); });
    const auto groups = byContent(records);

    EXPECT_EQ(batches, (std::vector<std::size_t> { 1000, 1000, 500 }));
    EXPECT_EQ(duplicateNamesOf(groups).size(), 1250u);
    EXPECT_EQ(hasher.fullReadCount(), 0);
}

TEST_F(ComparisonTest, StopKeepsTheGroupsFormedSoFarAndEndsReading)
{
    QStringList paths;
    for (int i = 0; i < 10; ++i) {
        paths.append(file(QStringLiteral("a%1").arg(i), QByteArray(10 + i, 'z')));
        paths.append(file(QStringLiteral("b%1").arg(i), QByteArray(10 + i, 'z')));
    }
    std::vector<std::size_t> batches;
    comparison.setSaveDigests([&](const std::vector<FileInfoNodePtr>& batch) { batches.push_back(batch.size()); });

    StopAtRefresh stopAtThirdRecord(abort, 5);
    comparison.setObserver(&stopAtThirdRecord);
    auto records = recordsOf(paths);
    EXPECT_EQ(namesOf(byContent(records)), (Names { { "a0", "b0" } }));
    EXPECT_EQ(batches, (std::vector<std::size_t> { 2 })); // offered; the saver writes nothing once stopped
    EXPECT_FALSE(records[2]->isMd5Calucaluted);

    abort = false;
    comparison.setObserver(nullptr);
    comparison.setHashingThreads(1);
    int reads = 0;
    hasher.beforeFullRead = [&](const QString&) {
        if (++reads == 3)
            abort = true;
    };
    // Records join while later files are read: only the first pair, whose two
    // reads came before Stop, may have been taken up.
    for (const QStringList& group : namesOf(byContent(recordsOf(paths))))
        EXPECT_TRUE((group == QStringList { "a0" } || group == QStringList { "a0", "b0" }))
            << group.join(',').toStdString();
    EXPECT_EQ(reads, 3);

    reads = 0;
    EXPECT_TRUE(byContent(recordsOf(paths)).empty()); // Stop before the start reads nothing
    EXPECT_EQ(reads, 0);
}

// ---------------------------------------------------------------------------
// Attribute road

class AttributeComparisonTest : public ComparisonTest {
protected:
    std::vector<DuplicateGroupPtr> byAttributes(const std::vector<FileInfoNodePtr>& records,
        std::initializer_list<int> searchOptions, ScanSource source, Minimum minimum)
    {
        return comparison.groupFilesByCriteria(records, source,
            ComparisonCriteria::fromSearchOptions(options(searchOptions)), minimum.option, minimum.bytes);
    }
};

TEST_F(AttributeComparisonTest, ASmallFileNeverJoinsButMayStartAGroupThatALargerOneJoins)
{
    const auto records
        = std::vector<FileInfoNodePtr> { syntheticRecord("/1/photo.jpg", 5000), syntheticRecord("/2/photo.jpg", 500),
              syntheticRecord("/1/note.txt", 500), syntheticRecord("/2/NOTE.txt", 5000) };
    const auto groups = byAttributes(records, { 1 }, ScanSource::thisComputer, { 2, 1000 });

    EXPECT_EQ(namesOf(groups), (Names { { "photo.jpg" }, { "note.txt", "NOTE.txt" } }));
    EXPECT_TRUE(records[1]->parent.expired()); // matched a group but too small: left out
    EXPECT_EQ(counters.countDup, 1);
    EXPECT_EQ(counters.countProcessed, 4);
    EXPECT_EQ(counters.countCompared, 3);
}

TEST_F(AttributeComparisonTest, OnlyAMissingMinimumSettingLetsEverySizeJoin)
{
    for (const auto& [minimum, expected] : std::vector<std::pair<Minimum, Names>> {
             { { -1, 0 }, { { "a.txt", "a.txt" } } },
             { { 1, 0 }, { { "a.txt" } } },
             { { -5, 0 }, { { "a.txt" } } },
         }) {
        const auto records
            = std::vector<FileInfoNodePtr> { syntheticRecord("/1/a.txt", 0), syntheticRecord("/2/a.txt", 0) };
        EXPECT_EQ(namesOf(byAttributes(records, { 1 }, ScanSource::thisComputer, minimum)), expected) << minimum.option;
    }
}

TEST_F(AttributeComparisonTest, CatalogAndCloudScansIgnoreTheMinimumSize)
{
    const auto records
        = std::vector<FileInfoNodePtr> { syntheticRecord("/1/photo.jpg", 5000), syntheticRecord("/2/photo.jpg", 500) };
    EXPECT_EQ(namesOf(byAttributes(records, { 1 }, ScanSource::lightroomCatalog, { 2, 1000 })),
        (Names { { "photo.jpg", "photo.jpg" } }));
    EXPECT_EQ(counters.countCompared, 0); // not counted as compared on a catalog scan
}

TEST_F(AttributeComparisonTest, ADriveFolderIsNeverGrouped)
{
    auto folder = syntheticRecord("Holiday", 0);
    folder->cloudFields().googleDriveFile = DriveFile {};
    folder->cloud->googleDriveFile->mimeType = "application/vnd.google-apps.folder";
    const auto records = std::vector<FileInfoNodePtr> { folder, syntheticRecord("Holiday", 0) };
    EXPECT_EQ(namesOf(byAttributes(records, { 1 }, ScanSource::googleDrive, { 0, 0 })), (Names { { "Holiday" } }));
    EXPECT_TRUE(folder->parent.expired());
    EXPECT_EQ(counters.countCompared, 2);
}

// ---------------------------------------------------------------------------
// The indexed group search against the plain one: every group searched in
// order of creation, a record joining the first whose members all match.

struct Reference {
    std::vector<std::vector<int>> groups;

    void place(const std::vector<FileInfoNodePtr>& records, int index, const ComparisonCriteria& criteria, bool mayJoin,
        bool sameDigestNeeded)
    {
        const FileInfoNode& record = *records[index];
        for (auto& group : groups) {
            bool fits = true;
            for (int member : group) {
                const FileInfoNode& other = *records[member];
                if ((sameDigestNeeded && other.md5 != record.md5) || !isMatchingByCriteria(criteria, record, other)) {
                    fits = false;
                    break;
                }
            }
            if (fits) {
                if (mayJoin)
                    group.push_back(index);
                return;
            }
        }
        groups.push_back({ index });
    }
};

std::vector<FileInfoNodePtr> randomRecords(std::mt19937& random, int count)
{
    static const char* const names[] = { "a.txt", "A.TXT", "a.doc", "report", "reports", "b", "Report.txt" };
    std::vector<FileInfoNodePtr> records;
    for (int i = 0; i < count; ++i) {
        auto record = syntheticRecord(QStringLiteral("/r/%1").arg(i), 1 + random() % 4);
        if (random() % 6 == 0)
            record->fileName.reset();
        else
            record->fileName = QString::fromLatin1(names[random() % std::size(names)]);
        if (random() % 3)
            record->modDate = QDateTime::fromSecsSinceEpoch(random() % 2, Qt::UTC);
        if (random() % 3)
            record->createDate = QDateTime::fromSecsSinceEpoch(random() % 2, Qt::UTC);
        record->md5 = md5Hex(QByteArray::number(quint64(random() % 3)));
        record->isMd5Calucaluted = true;
        records.push_back(record);
    }
    return records;
}

std::vector<std::vector<int>> indicesOf(
    const std::vector<DuplicateGroupPtr>& groups, const std::vector<FileInfoNodePtr>& records)
{
    std::vector<std::vector<int>> indices;
    for (const auto& group : groups) {
        std::vector<int> members;
        for (const auto& member : group->children)
            members.push_back(int(std::find(records.begin(), records.end(), member) - records.begin()));
        indices.push_back(members);
    }
    return indices;
}

TEST_F(AttributeComparisonTest, IndexedSearchFormsTheGroupsOfTheFullSearchOnBothRoads)
{
    const std::vector<std::vector<int>> optionSets { {}, { 1 }, { 2 }, { 3 }, { 1, 3 }, { 4, 5 }, { 2, 3 }, { 1, 4 },
        { 2, 3, 5 }, { 1, 3, 4, 5 } };
    for (unsigned seed = 1; seed <= 25; ++seed) {
        std::mt19937 random(seed);
        for (const auto& set : optionSets) {
            QVariantList list;
            for (int option : set)
                list.append(option);
            const auto criteria = ComparisonCriteria::fromSearchOptions(list);
            SCOPED_TRACE(testing::PrintToString(set));

            // Attribute road with a minimum of 1 byte: 1-byte records never join.
            const auto records = randomRecords(random, 60);
            Reference expected;
            for (int i = 0; i < int(records.size()); ++i)
                expected.place(records, i, criteria, records[i]->fileSize > 1, false);
            const auto attributeGroups
                = comparison.groupFilesByCriteria(records, ScanSource::thisComputer, criteria, 2, 1);
            ASSERT_EQ(indicesOf(attributeGroups, records), expected.groups) << "seed " << seed;

            // Content road: size groups by ascending size, each in found order.
            const auto contentRecords = randomRecords(random, 60);
            Reference content;
            for (quint64 size = 1; size <= 4; ++size) {
                std::vector<int> ofSize;
                for (int i = 0; i < int(contentRecords.size()); ++i) {
                    if (contentRecords[i]->fileSize == size)
                        ofSize.push_back(i);
                }
                for (int i : ofSize) {
                    if (ofSize.size() > 1)
                        content.place(contentRecords, i, criteria, true, true);
                }
            }
            const auto contentGroups = comparison.groupFilesBySizeAndMd5(contentRecords, criteria, -1, 0);
            ASSERT_EQ(indicesOf(contentGroups, contentRecords), content.groups) << "seed " << seed;
        }
    }
}

} // namespace
