#include "scan/Comparison.h"

#include "ScanFixtures.h"
#include "TestHasher.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <random>

namespace {

using Names = std::vector<QStringList>;

// The comparison refreshes as it takes up a record and again once the record
// has joined a group.
struct OnRefresh : ComparisonObserver {
    std::function<void()> refreshed;
    void updateFileScannedCountAndSize(bool) override { refreshed(); }
};

std::vector<std::vector<int>> indicesOf(
    const std::vector<DuplicateGroupPtr>& groups, const std::vector<FileInfoNodePtr>& records)
{
    std::vector<std::vector<int>> indices;
    for (const auto& group : groups) {
        for (auto& members = indices.emplace_back(); const auto& member : group->children)
            members.push_back(int(std::find(records.begin(), records.end(), member) - records.begin()));
    }
    return indices;
}

class ComparisonTest : public ::testing::Test {
protected:
    QString file(const QString& name, const QByteArray& bytes) { return writeFile(dir.path(), name, bytes); }

    using Minimum = std::pair<qint64, quint64>; // the minimum-size option and the bytes it stands for

    std::vector<DuplicateGroupPtr> byContent(
        const std::vector<FileInfoNodePtr>& records, const QVariantList& searchOptions = {}, Minimum minimum = { 1, 0 })
    {
        return comparison.groupFilesBySizeAndMd5(
            records, ComparisonCriteria::fromSearchOptions(searchOptions), minimum.first, minimum.second);
    }

    QTemporaryDir dir;
    TestHasher hasher;
    ScanCounters counters;
    std::atomic<bool> abort { false };
    Comparison comparison { hasher, counters, abort };
};

TEST_F(ComparisonTest, EqualContentsOfEqualSizeFormGroupsAndUnreadableOrLoneFilesTakeNoPart)
{
    const auto records = recordsOf({ file("a", "hello"), file("b", "jello"), file("c", "hello"),
        file("alone", "unique size"), file("gone", "hello") });
    QFile::remove(*records[4]->filePath);
    const auto groups = byContent(records);

    EXPECT_EQ(namesOf(groups), (Names { { "a", "c" }, { "b" } }));
    EXPECT_EQ(groups[0]->groupSize, 10u);
    EXPECT_EQ(records[2]->parent.lock(), groups[0]);
    EXPECT_EQ(records[0]->md5, md5Hex("hello"));
    EXPECT_FALSE(hasher.fullReads().contains(*records[3]->filePath)); // alone in its size: never read
    EXPECT_TRUE(records[4]->parent.expired());
    const auto counted = counters.snapshot();
    EXPECT_EQ(counted.countDup, 1);
    EXPECT_EQ(counted.sizeDup, 5u);
    EXPECT_EQ(counted.countCompared, 4);
    EXPECT_EQ(counted.countProcessed, 4);
}

TEST_F(ComparisonTest, DigestsKnownBeforehandMeetOnlyTheirExactText)
{
    // A digest in capitals or a service's checksum stays text: it never meets
    // the same digest kept as bytes.
    const QString hex = md5Hex("x");
    std::vector<FileInfoNodePtr> records;
    for (const QString& digest : { hex, hex.toUpper(), hex, hex.toUpper(), QStringLiteral("s-1") }) {
        records.push_back(syntheticRecord(QStringLiteral("/r/%1").arg(records.size()), 7));
        records.back()->md5 = digest;
        records.back()->isMd5Calucaluted = true;
    }
    EXPECT_EQ(indicesOf(byContent(records), records), (std::vector<std::vector<int>> { { 0, 2 }, { 1, 3 }, { 4 } }));
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

TEST_F(ComparisonTest, FilesWhoseFirstBlocksDifferAreNotReadInFull)
{
    const QByteArray body(Comparison::firstBlockBytes * 3, 'b');
    QByteArray tailDiffers = body;
    tailDiffers[tailDiffers.size() - 1] = 'T';
    QByteArray headDiffers = body;
    headDiffers[0] = 'H';
    const auto records
        = recordsOf({ file("x", body), file("tail", tailDiffers), file("head", headDiffers), file("y", body) });

    EXPECT_EQ(namesOf(byContent(records)), (Names { { "x", "y" }, { "tail" }, { "head" } }));
    QStringList read = hasher.fullReads();
    read.sort();
    EXPECT_EQ(read, QStringList({ *records[1]->filePath, *records[0]->filePath, *records[3]->filePath }));
    EXPECT_EQ(records[3]->md5, md5Hex(body)); // a file in a group always has its full digest
    EXPECT_FALSE(records[2]->md5.has_value());
}

TEST_F(ComparisonTest, PackagesPairOnlyWithPackagesOfTheSameTree)
{
    const QByteArray body(100 * 1024, 'p');
    for (const char* package : { "one.bundle", "two.bundle" }) {
        QDir(dir.path()).mkpath(package);
        writeFile(dir.path() + '/' + package, "member", body);
    }
    std::vector<FileInfoNodePtr> records;
    for (const char* package : { "one.bundle", "two.bundle" }) {
        records.push_back(recordOf(dir.path() + '/' + package));
        records.back()->fileSize = body.size();
    }
    records.push_back(recordOf(file("loose", body))); // the member's bytes, but no package
    records.push_back(recordOf(file("other", QByteArray(body.size(), 'o'))));

    EXPECT_EQ(namesOf(byContent(records)), (Names { { "one.bundle", "two.bundle" }, { "loose" }, { "other" } }));
    EXPECT_EQ(hasher.fullReadCount(), 4); // with a package in the size group, every file is read in full
}

TEST_F(ComparisonTest, GroupsFollowTheFoundOrderWhateverTheNumberOfHashingThreads)
{
    QStringList paths;
    for (int i = 0; i < 40; ++i) {
        // Four sizes on both sides of the first block, five contents per
        // size, two copies of each.
        const int size = (i % 2 ? 100 : Comparison::firstBlockBytes + 100) + (i % 4);
        paths.append(
            file(QStringLiteral("f%1").arg(i, 2, 10, QLatin1Char('0')), QByteArray(size, char('a' + (i / 4) % 5))));
    }
    comparison.setHashingThreads(1);
    const Names one = namesOf(byContent(recordsOf(paths)));
    comparison.setHashingThreads(8);
    EXPECT_EQ(namesOf(byContent(recordsOf(paths))), one);
    ASSERT_EQ(one.size(), 20u);
    EXPECT_EQ(one[0], (QStringList { "f01", "f21" })); // smallest size first, in found order
    EXPECT_EQ(one[1], (QStringList { "f05", "f25" }));
}

TEST_F(ComparisonTest, SizeGroupsComeInOrderOfSizeWhateverTheirDigitsAndKeepTheFoundOrder)
{
    // Sizes that differ in low, middle and high bits only; each size holds
    // two contents, found interleaved.
    const std::vector<quint64> sizes { quint64(1) << 40, 70000, 3, 5000, (quint64(1) << 40) + 3, 70003 };
    std::vector<FileInfoNodePtr> records;
    for (int copy = 0; copy < 4; ++copy) {
        for (const quint64 size : sizes) {
            auto record = syntheticRecord(QStringLiteral("/r/%1-%2").arg(size).arg(copy), size);
            record->md5 = md5Hex(QByteArray::number(size * 2 + copy % 2));
            record->isMd5Calucaluted = true;
            records.push_back(record);
        }
    }
    std::vector<std::vector<int>> expected;
    for (const int s : { 2, 3, 1, 5, 0, 4 }) // ascending sizes, as indices into sizes
        for (int parity = 0; parity < 2; ++parity)
            expected.push_back({ s + 6 * parity, s + 6 * (parity + 2) });
    for (const QVariantList& options : { QVariantList {}, QVariantList { 3 } })
        EXPECT_EQ(indicesOf(byContent(records, options, { -1, 0 }), records), expected);
}

TEST_F(ComparisonTest, DigestsAreHandedOverEveryThousandRecordsAndOnceForTheRest)
{
    auto records = pairsWithDigests(2500);
    records.push_back(syntheticRecord("/r/alone", 99999)); // not handled: alone in its size
    std::vector<std::size_t> batches;
    comparison.setSaveDigests(
        [&](const std::vector<FileInfoNodePtr>& batch, const auto&) { batches.push_back(batch.size()); });

    EXPECT_EQ(duplicateNamesOf(byContent(records)).size(), 1250u);
    EXPECT_EQ(batches, (std::vector<std::size_t> { 1000, 1000, 500 }));
    EXPECT_EQ(hasher.fullReadCount(), 0);
}

TEST_F(ComparisonTest, StopKeepsTheGroupsFormedSoFarAndEndsReading)
{
    QStringList paths;
    for (int i = 0; i < 10; ++i) {
        paths.append(file(QStringLiteral("a%1").arg(i), QByteArray(10 + i, 'z')));
        paths.append(file(QStringLiteral("b%1").arg(i), QByteArray(10 + i, 'z')));
    }
    int refreshes = 0;
    OnRefresh stopAtThirdRecord;
    stopAtThirdRecord.refreshed = [&] { abort = ++refreshes == 5 || abort; };
    comparison.setObserver(&stopAtThirdRecord);
    auto records = recordsOf(paths);
    EXPECT_EQ(namesOf(byContent(records)), (Names { { "a0", "b0" } }));
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
        EXPECT_TRUE(group == QStringList { "a0" } || group == (QStringList { "a0", "b0" }));
    EXPECT_EQ(reads, 3);
    reads = 0;
    EXPECT_TRUE(byContent(recordsOf(paths)).empty()); // Stop before the start reads nothing
    EXPECT_EQ(reads, 0);
}

class AttributeComparisonTest : public ComparisonTest {
protected:
    std::vector<DuplicateGroupPtr> byAttributes(const std::vector<FileInfoNodePtr>& records,
        const QVariantList& searchOptions, ScanSource source, Minimum minimum)
    {
        return comparison.groupFilesByCriteria(
            records, source, ComparisonCriteria::fromSearchOptions(searchOptions), minimum.first, minimum.second);
    }
};

TEST_F(AttributeComparisonTest, OnlyLargerFilesTakePartOnThisComputerAndEverySizeWhenTheMinimumIsMissing)
{
    // A file too small neither joins a group nor starts one, whichever of a
    // pair comes first.
    const Names pairs { { "photo.jpg", "photo.jpg" }, { "note.txt", "NOTE.txt" }, { "e.txt", "e.txt" } };
    for (const auto& [source, minimum, expected, compared] : std::vector<std::tuple<ScanSource, Minimum, Names, int>> {
             { ScanSource::thisComputer, { 2, 1000 }, { { "photo.jpg" }, { "NOTE.txt" } }, 2 },
             { ScanSource::thisComputer, { -1, 0 }, pairs, 6 },
             { ScanSource::thisComputer, { 1, 0 }, { pairs[0], pairs[1] }, 4 },
             { ScanSource::thisComputer, { -5, 0 }, {}, 0 },
             // The catalog's files are counted as compared too, so that its
             // progress moves.
             { ScanSource::lightroomCatalog, { 2, 1000 }, pairs, 6 },
         }) {
        const auto records = std::vector<FileInfoNodePtr> { syntheticRecord("/1/photo.jpg", 5000),
            syntheticRecord("/2/photo.jpg", 500), syntheticRecord("/1/note.txt", 500),
            syntheticRecord("/2/NOTE.txt", 5000), syntheticRecord("/1/e.txt", 0), syntheticRecord("/2/e.txt", 0) };
        const int before = counters.countCompared;
        EXPECT_EQ(namesOf(byAttributes(records, { 1 }, source, minimum)), expected) << minimum.first;
        EXPECT_EQ(counters.countCompared - before, compared) << minimum.first;
    }
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

// The indexed group search against the plain one: every group searched in
// order of creation, a record joining the first whose members all match.

struct Reference {
    std::vector<std::vector<int>> groups;

    void place(const std::vector<FileInfoNodePtr>& records, int index, const ComparisonCriteria& criteria,
        bool mayTakePart, bool sameDigestNeeded)
    {
        if (!mayTakePart)
            return;
        const FileInfoNode& record = *records[index];
        const auto fits = [&](const std::vector<int>& group) {
            return std::all_of(group.begin(), group.end(), [&](int member) {
                const FileInfoNode& other = *records[member];
                return (!sameDigestNeeded || other.md5 == record.md5) && isMatchingByCriteria(criteria, record, other);
            });
        };
        if (const auto group = std::find_if(groups.begin(), groups.end(), fits); group == groups.end())
            groups.push_back({ index });
        else
            group->push_back(index);
    }
};

// Names near each other: a few stems of 1 to 30 characters with changed,
// added or dropped characters, so that similar and almost similar names meet.
QString randomName(std::mt19937& random)
{
    static const QString stems[]
        = { "a", "Report", "holiday-photo-0001", "x\u0301yz\u0301", "IMG_2024_0815_beach_sunset_01", "abcdefghij" };
    QString name = stems[random() % std::size(stems)];
    for (int edits = int(random() % 4); edits > 0; --edits) {
        const qsizetype at = qsizetype(random() % (name.size() + 1));
        const QChar c(u"aeAx1_\u0301"[random() % 7]);
        const unsigned edit = random() % 3;
        if (edit == 0 || at == name.size())
            name.insert(at, c);
        else
            edit == 1 ? void(name[at] = c) : void(name.remove(at, 1));
    }
    return name + (random() % 2 ? ".txt" : "");
}

std::vector<FileInfoNodePtr> randomRecords(std::mt19937& random, int count)
{
    std::vector<FileInfoNodePtr> records;
    for (int i = 0; i < count; ++i) {
        auto record = syntheticRecord(QStringLiteral("/r/%1").arg(i), 1 + random() % 4);
        record->fileName = random() % 6 ? std::optional(randomName(random)) : std::nullopt;
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

TEST_F(AttributeComparisonTest, IndexedSearchFormsTheGroupsOfTheFullSearchOnBothRoads)
{
    const std::vector<QVariantList> optionSets { {}, { 1 }, { 2 }, { 3 }, { 1, 3 }, { 4, 5 }, { 2, 3 }, { 1, 4 },
        { 2, 3, 5 }, { 1, 3, 4, 5 } };
    for (unsigned seed = 1; seed <= 25; ++seed) {
        std::mt19937 random(seed);
        for (const QVariantList& set : optionSets) {
            const auto criteria = ComparisonCriteria::fromSearchOptions(set);
            SCOPED_TRACE(QVariant(set).toStringList().join(',').toStdString());

            // Attribute road with a minimum of 1 byte: 1-byte records take no part.
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
                const auto ofSize = [&](const FileInfoNodePtr& r) { return r->fileSize == size; };
                for (int i = 0; std::count_if(contentRecords.begin(), contentRecords.end(), ofSize) > 1
                     && i < int(contentRecords.size());
                     ++i) {
                    if (ofSize(contentRecords[i]))
                        content.place(contentRecords, i, criteria, true, true);
                }
            }
            const auto contentGroups = comparison.groupFilesBySizeAndMd5(contentRecords, criteria, -1, 0);
            ASSERT_EQ(indicesOf(contentGroups, contentRecords), content.groups) << "seed " << seed;

            // Left out, the groups of one are all that is missing.
            std::vector<std::vector<int>> pairs;
            std::copy_if(content.groups.begin(), content.groups.end(), std::back_inserter(pairs),
                [](const std::vector<int>& group) { return group.size() > 1; });
            comparison.setKeepGroupsOfOne(false);
            ASSERT_EQ(
                indicesOf(comparison.groupFilesBySizeAndMd5(contentRecords, criteria, -1, 0), contentRecords), pairs);
            comparison.setKeepGroupsOfOne(true);
        }
    }
}

} // namespace
