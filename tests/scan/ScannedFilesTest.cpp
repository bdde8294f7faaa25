#include "scan/ScannedFiles.h"
#include "ScanFixtures.h"
#include "TestHasher.h"
#include "scan/Comparison.h"
#include "scan/ComparisonObserver.h"
#include "scan/LocalFileRecordBuilder.h"
#include "support/TreeBuilder.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>
#include <unistd.h>

namespace {

FileInfoNode built(const QString& path)
{
    FileInfoNode record;
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    EXPECT_TRUE(makeLocalFileInfoNode(record, path, path.mid(slash + 1), openSettings())) << qPrintable(path);
    return record;
}

// Every field the builder writes, and what the screens and the comparison read.
void expectSame(const FileInfoNode& a, const FileInfoNode& b)
{
    EXPECT_EQ(a.filePath, b.filePath);
    EXPECT_EQ(a.fileName, b.fileName);
    EXPECT_EQ(a.folderPath, b.folderPath);
    EXPECT_EQ(a.fileExtension, b.fileExtension);
    EXPECT_EQ(a.fileCategory, b.fileCategory);
    EXPECT_EQ(a.fileSize, b.fileSize);
    EXPECT_EQ(a.deviceId, b.deviceId);
    EXPECT_EQ(a.inode, b.inode);
    EXPECT_EQ(a.modDate, b.modDate);
    EXPECT_EQ(a.createDate, b.createDate);
    EXPECT_EQ(a.modDate ? a.modDate->timeSpec() : Qt::LocalTime, b.modDate ? b.modDate->timeSpec() : Qt::LocalTime);
    EXPECT_EQ(a.modTime, b.modTime);
    EXPECT_EQ(a.changeTime, b.changeTime);
    EXPECT_EQ(a.isDirectory, b.isDirectory);
    EXPECT_EQ(a.isLocked, b.isLocked);
    EXPECT_EQ(a.isLockedOnDisk, b.isLockedOnDisk);
    EXPECT_EQ(a.isRawFormat, b.isRawFormat);
    EXPECT_EQ(a.isNetworkDrive, b.isNetworkDrive);
    EXPECT_EQ(a.state, b.state);
    EXPECT_EQ(a.isMd5Calucaluted, b.isMd5Calucaluted);
    EXPECT_EQ(a.md5, b.md5);
    EXPECT_EQ(a.arrForSubPathMd5(), b.arrForSubPathMd5());
}

} // namespace

TEST(ScannedFiles, FilesComeBackAsTheBuilderMadeThemAndAnswerForThemselves)
{
    TreeBuilder tree;
    tree.file(QStringLiteral("docs/Notes.TXT"), "hello");
    tree.setModificationTime(QStringLiteral("docs/Notes.TXT"), 1600000000);
    tree.file(QStringLiteral("raw/IMG 1.cr2"), "raw");
    tree.file(QStringLiteral("Übersicht/größe ✓"), "text");
    tree.file(QStringLiteral("pkg.app/inside"), "member");
    ASSERT_EQ(::symlink(QFile::encodeName(tree.path(QStringLiteral("docs/Notes.TXT"))).constData(),
                  QFile::encodeName(tree.path(QStringLiteral("link.txt"))).constData()),
        0);
    const QStringList paths { tree.path(QStringLiteral("docs/Notes.TXT")), tree.path(QStringLiteral("raw/IMG 1.cr2")),
        tree.path(QStringLiteral("Übersicht/größe ✓")), tree.path(QStringLiteral("pkg.app")),
        tree.path(QStringLiteral("link.txt")), tree.path(QStringLiteral("docs/Notes.TXT")) };

    ScannedFiles files;
    std::vector<FileInfoNode> records;
    for (const QString& path : paths) {
        records.push_back(built(path));
        files.add(ScannedFiles::prepare(records.back()));
    }
    ASSERT_TRUE(files.allCompact());
    ASSERT_EQ(files.count(), records.size());
    for (std::size_t item = 0; item < records.size(); ++item) {
        SCOPED_TRACE(qPrintable(paths[qsizetype(item)]));
        const FileInfoNode& want = records[item];
        expectSame(*files.record(item), want);
        EXPECT_EQ(files.path(item), *want.filePath);
        const QByteArray utf8 = want.filePath->toUtf8();
        EXPECT_TRUE(files.pathEquals(item, QUtf8StringView(utf8)));
        EXPECT_FALSE(files.pathEquals(item, QUtf8StringView(utf8.chopped(1) + 'x')));
        EXPECT_FALSE(files.pathEquals(item, QUtf8StringView(utf8 + "x")));
        EXPECT_EQ(files.fileSize(item), want.fileSize);
        EXPECT_EQ(files.isDirectory(item), want.isDirectory);
        EXPECT_EQ(files.storedModTime(item), want.modTime);
        EXPECT_EQ(files.createdSeconds(item), want.createDate ? want.createDate->toSecsSinceEpoch() : 0);
    }
    // The two records of one folder share its text.
    EXPECT_TRUE(files.record(0)->folderPath.isSharedWith(files.record(5)->folderPath));

    files.removeIf([](std::size_t item) { return item % 2 == 1; });
    ASSERT_EQ(files.count(), 3u);
    EXPECT_EQ(files.path(1), paths[2]);
    EXPECT_EQ(files.path(2), paths[4]);
}

TEST(ScannedFiles, ARecordTheTableCannotMakeAgainIsKeptWhole)
{
    TreeBuilder tree;
    FileInfoNode marked = built(tree.file(QStringLiteral("a.txt"), "a"));
    marked.state = true;
    FileInfoNode hashed = built(tree.file(QStringLiteral("b.txt"), "b"));
    hashed.md5 = QStringLiteral("0cc175b9c0f1b6a831c399e269772661");
    hashed.isMd5Calucaluted = true;
    auto item = std::make_shared<FileInfoNode>(built(tree.file(QStringLiteral("c.txt"), "c")));
    item->isPhotosNode = true;

    ScannedFiles files;
    files.add(ScannedFiles::prepare(marked));
    files.add(ScannedFiles::prepare(hashed));
    files.addWhole(item);
    EXPECT_FALSE(files.allCompact());
    expectSame(*files.record(0), marked);
    expectSame(*files.record(1), hashed);
    EXPECT_EQ(files.record(2), item);
    EXPECT_EQ(files.path(2), *item->filePath);

    const std::vector<FileInfoNodePtr> records = files.takeRecords();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[2], item);
    EXPECT_EQ(files.count(), 0u);
}

namespace {

std::vector<QStringList> pathsOf(const std::vector<DuplicateGroupPtr>& groups)
{
    std::vector<QStringList> paths;
    for (const DuplicateGroupPtr& group : groups) {
        QStringList& members = paths.emplace_back();
        for (const FileInfoNodePtr& member : group->children)
            members.append(*member->filePath);
    }
    return paths;
}

// A file's row as the cache would write it: path, full digest, first block.
using Row = std::tuple<QString, QString, QString>;

} // namespace

TEST(ScannedFiles, SiftedThenGroupedTheyFormTheRecordsGroupsCountsAndRows)
{
    TreeBuilder tree;
    const QByteArray block(Comparison::firstBlockBytes * 2, 'b');
    QByteArray tail = block;
    tail[tail.size() - 1] = 'T';
    QByteArray head = block;
    head[0] = 'H';
    const std::vector<std::pair<const char*, QByteArray>> files { { "a/one.txt", "hello" }, { "b/one.txt", "hello" },
        { "c/One.txt", "hello" }, { "a/two.txt", "jello" }, { "a/alone.dat", "a size of its own" },
        { "a/big.bin", block }, { "b/big.bin", block }, { "a/tail.bin", tail }, { "a/head.bin", head },
        { "b/Big.dat", block }, { "c/gone.txt", "hello" }, { "p1.app/m", "member" }, { "p2.app/m", "member" } };
    for (const auto& [path, bytes] : files) {
        tree.file(QString::fromUtf8(path), bytes);
        tree.setModificationTime(QString::fromUtf8(path), 1600000000);
    }
    QStringList paths;
    for (const auto& [path, bytes] : files) {
        const QString relative = QString::fromUtf8(path);
        if (!relative.endsWith(QLatin1String("/m")))
            paths.append(tree.path(relative));
    }
    paths.append(tree.path(QStringLiteral("p1.app")));
    paths.append(tree.path(QStringLiteral("p2.app")));
    std::vector<FileInfoNode> built;
    for (const QString& path : paths)
        built.push_back(::built(path));
    QFile::remove(tree.path(QStringLiteral("c/gone.txt")));

    TestHasher hasher;
    const std::atomic<bool> abort { false };
    const auto hex = [](const std::optional<BlockDigest>& bytes) {
        return bytes ? QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(bytes->data()), 16).toHex())
                     : QString();
    };
    for (const QVariantList& options :
        { QVariantList {}, QVariantList { 3 }, QVariantList { 1 }, QVariantList { 2 }, QVariantList { 5 } }) {
        SCOPED_TRACE(qPrintable(QVariant(options).toStringList().join(',')));
        const ComparisonCriteria criteria = ComparisonCriteria::fromSearchOptions(options);

        std::vector<FileInfoNodePtr> records;
        for (const FileInfoNode& record : built)
            records.push_back(std::make_shared<FileInfoNode>(record));
        ScanCounters byRecords;
        Comparison road(hasher, byRecords, abort);
        road.setKeepGroupsOfOne(false);
        std::set<Row> recordRows;
        road.setSaveDigests([&](const std::vector<FileInfoNodePtr>& batch, const auto& heads) {
            for (std::size_t i = 0; i < batch.size(); ++i) {
                const QString digest = batch[i]->isDirectory ? QString() : batch[i]->md5.value_or(QString());
                const QString first = hex(heads[i]);
                if (!digest.isEmpty() || !first.isEmpty())
                    recordRows.insert({ *batch[i]->filePath, digest, first });
            }
        });
        const auto expected = pathsOf(road.groupFilesBySizeAndMd5(records, criteria, 1, 0));
        ASSERT_FALSE(expected.empty());

        ScannedFiles table;
        for (const FileInfoNode& record : built)
            table.add(ScannedFiles::prepare(record));
        ASSERT_TRUE(table.allCompact());
        ScanCounters bySift;
        Comparison sift(hasher, bySift, abort);
        std::set<Row> siftRows;
        const Comparison::Sifted sifted
            = sift.siftFilesBySizeAndMd5(table, nullptr, 1, 0, [&](std::vector<ScanCache::NewDigest>&& batch) {
                  for (const ScanCache::NewDigest& row : batch) {
                      if (!table.isDirectory(row.item))
                          siftRows.insert({ table.path(row.item), hex(row.digest), hex(row.head) });
                  }
              });
        EXPECT_FALSE(sifted.stopped);
        std::vector<FileInfoNodePtr> candidates;
        for (std::size_t i = 0; i < sifted.items.size(); ++i) {
            candidates.push_back(table.record(sifted.items[i]));
            candidates.back()->md5 = sifted.digests[i];
            candidates.back()->isMd5Calucaluted = true;
        }
        Comparison grouping(hasher, bySift, abort);
        grouping.setKeepGroupsOfOne(false);
        EXPECT_EQ(pathsOf(grouping.groupSiftedRecords(candidates, criteria, 1, 0)), expected);
        EXPECT_LT(candidates.size(), records.size());

        const ScanCounters::Snapshot a = byRecords.snapshot();
        const ScanCounters::Snapshot b = bySift.snapshot();
        EXPECT_EQ(b.countCompared, a.countCompared);
        EXPECT_EQ(b.countProcessed, a.countProcessed);
        EXPECT_EQ(b.countDup, a.countDup);
        EXPECT_EQ(b.sizeDup, a.sizeDup);
        EXPECT_EQ(siftRows, recordRows);
    }
}

TEST(ScannedFiles, AStoppedSiftGivesTheFilesReadSoFarAndTheirGroupsStillForm)
{
    TreeBuilder tree;
    ScannedFiles table;
    for (int i = 0; i < 10; ++i) {
        for (const char* side : { "a", "b" }) {
            const QString path
                = tree.file(QStringLiteral("%1%2").arg(QLatin1String(side)).arg(i), QByteArray(10 + i, 'z'));
            table.add(ScannedFiles::prepare(built(path)));
        }
    }
    // Stop comes while the third file is taken up: the sift refreshes as it
    // takes up a file and again once it has its digest.
    struct StopAtFifthRefresh : ComparisonObserver {
        std::atomic<bool>* abort = nullptr;
        int refreshes = 0;
        void updateFileScannedCountAndSize(bool) override
        {
            if (++refreshes == 5)
                *abort = true;
        }
    } observer;
    std::atomic<bool> abort { false };
    observer.abort = &abort;
    TestHasher hasher;
    ScanCounters counters;
    Comparison sift(hasher, counters, abort);
    sift.setObserver(&observer);
    const Comparison::Sifted sifted = sift.siftFilesBySizeAndMd5(table, nullptr, 1, 0, {});
    EXPECT_TRUE(sifted.stopped);
    ASSERT_EQ(sifted.items.size(), 2u);
    EXPECT_EQ(table.path(sifted.items[0]), tree.path(QStringLiteral("a0")));
    EXPECT_EQ(table.path(sifted.items[1]), tree.path(QStringLiteral("b0")));

    std::vector<FileInfoNodePtr> candidates;
    for (std::size_t i = 0; i < sifted.items.size(); ++i) {
        candidates.push_back(table.record(sifted.items[i]));
        candidates.back()->md5 = sifted.digests[i];
        candidates.back()->isMd5Calucaluted = true;
    }
    const std::atomic<bool> notStopped { false };
    Comparison grouping(hasher, counters, notStopped);
    grouping.setKeepGroupsOfOne(false);
    const auto groups = grouping.groupSiftedRecords(candidates, {}, 1, 0);
    ASSERT_FALSE(groups.empty());
    EXPECT_EQ(pathsOf(groups),
        (std::vector<QStringList> { { tree.path(QStringLiteral("a0")), tree.path(QStringLiteral("b0")) } }));
}
