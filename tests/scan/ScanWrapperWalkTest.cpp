#include "base/ReleaseElsewhere.h"
#include "scan/ScanRequest.h"
#include "scan/ScanWrapper.h"
#include "support/WaitUntil.h"
#include "support/Watchdog.h"

#include <QCoreApplication>
#include <QThreadPool>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

namespace {

// A service scripted by path: each folder holds files and sub-folders by
// name. Answers later on the GUI thread, as a network would.
class ScriptedHandler : public ScanWrapper {
public:
    struct Folder {
        QStringList files;
        QStringList subFolders;
    };
    std::map<QString, Folder> service;
    QStringList requests;
    std::function<void(const QString&)> onRequest;

    bool acceptRecord(FileInfoNode&) const override { return true; }

protected:
    void listFolder(const CloudScanFoldersListPtr& folder, std::function<void(FolderListing)> done) override
    {
        requests << folder->folderPath;
        if (onRequest)
            onRequest(folder->folderPath);
        QTimer::singleShot(0, contextObject(), [this, path = folder->folderPath, done] {
            FolderListing listing;
            const Folder& found = service[path];
            for (const QString& name : found.files) {
                auto record = std::make_shared<FileInfoNode>();
                record->filePath = path + QLatin1Char('/') + name;
                listing.files.push_back(record);
            }
            for (const QString& name : found.subFolders) {
                auto sub = std::make_shared<CloudScanFoldersList>();
                sub->folderPath = path + QLatin1Char('/') + name;
                sub->folderId = sub->folderPath;
                listing.subFolders.push_back(sub);
            }
            done(listing);
        });
    }
};

struct RecordingSink : CloudScanSink {
    QStringList paths;
    int completions = 0;
    std::vector<std::thread::id> threads;
    void addCloudScanFile(const FileInfoNodePtr& record) override
    {
        paths << record->filePath.value_or(QString());
        threads.push_back(std::this_thread::get_id());
    }
    void OnScanCompletedProcess() override
    {
        ++completions;
        threads.push_back(std::this_thread::get_id());
    }
};

CloudScanFoldersListPtr chosen(const char* path, bool subFolders = true)
{
    auto folder = std::make_shared<CloudScanFoldersList>();
    folder->folderPath = QString::fromUtf8(path);
    folder->isIncludeSubFolders = subFolders;
    return folder;
}

class CloudWalk : public ::testing::Test {
protected:
    // The scan's request: only its cloud exclusion matters to the walk.
    ScanRequest request;
    ScriptedHandler handler;
    RecordingSink sink;

    void SetUp() override
    {
        handler.service[QStringLiteral("/A")]
            = { { QStringLiteral("a1") }, { QStringLiteral("x"), QStringLiteral("z") } };
        handler.service[QStringLiteral("/A/x")] = { { QStringLiteral("x1") }, { QStringLiteral("y") } };
        handler.service[QStringLiteral("/A/x/y")] = { { QStringLiteral("y1") }, {} };
        handler.service[QStringLiteral("/A/z")] = { { QStringLiteral("z1") }, {} };
        handler.service[QStringLiteral("/B")] = { { QStringLiteral("b1") }, {} };
        handler.service[QStringLiteral("/b")] = { { QStringLiteral("b2") }, {} };
    }

    // Runs a scan on the GUI thread and waits (bounded) for its end.
    void scan(const std::vector<CloudScanFoldersListPtr>& folders)
    {
        const int before = sink.completions;
        handler.isAbortScanning = false;
        handler.startCloudScan(folders, request, sink);
        waitUntil([&] { return sink.completions != before; });
        // Nothing more may arrive after the end.
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }
};

} // namespace

TEST_F(CloudWalk, ChosenFoldersAreWalkedDepthFirstOneAfterAnotherWithOneCompletion)
{
    scan({ chosen("/A"), chosen("/B") });
    EXPECT_EQ(handler.requests, QStringList({ "/A", "/A/x", "/A/x/y", "/A/z", "/B" }));
    EXPECT_EQ(sink.paths, QStringList({ "/A/a1", "/A/x/x1", "/A/x/y/y1", "/A/z/z1", "/B/b1" }));
    EXPECT_EQ(sink.completions, 1);
    EXPECT_EQ(handler.fileCount, 5);
}

TEST_F(CloudWalk, FromTheEnginesWorkerEverySinkCallStaysOnTheWorker)
{
    std::thread::id workerId;
    std::atomic<bool> returned { false };
    std::thread worker([&] {
        workerId = std::this_thread::get_id();
        handler.startCloudScan({ chosen("/A") }, request, sink);
        returned = true;
    });
    waitUntil([&] { return returned.load(); });
    worker.join();
    EXPECT_EQ(sink.paths.size(), 4);
    EXPECT_EQ(sink.completions, 1);
    for (const std::thread::id& id : sink.threads)
        EXPECT_EQ(id, workerId);
}

TEST_F(CloudWalk, StopEndsTheWalkAtTheNextStepAndKeepsWhatWasDelivered)
{
    handler.onRequest = [this](const QString& path) {
        if (path == QLatin1String("/A/x"))
            handler.isAbortScanning = true;
    };
    scan({ chosen("/A"), chosen("/B") });
    EXPECT_EQ(handler.requests, QStringList({ "/A", "/A/x" }));
    EXPECT_TRUE(sink.paths.contains(QStringLiteral("/A/a1")));
    EXPECT_EQ(sink.completions, 1);
}

TEST_F(CloudWalk, FoldersListedCompletelyAreDeliveredAgainWithoutRequests)
{
    const CloudScanFoldersListPtr a = chosen("/A");
    scan({ a });
    const QStringList first = sink.paths;
    handler.requests.clear();
    sink.paths.clear();
    a->arrCloudFolderFiles.front()->isMoveToTrash = true; // removed by a clean-up since
    scan({ a });
    EXPECT_TRUE(handler.requests.isEmpty());
    EXPECT_EQ(sink.paths, first.mid(1));
    EXPECT_EQ(sink.completions, 2);
}

// A clean-up or an undo changes what the service holds: every listing kept
// before it is stale wherever it is held (a chosen folder, a folder below it
// chosen on its own), whatever the picker listed in between, and the next
// scan asks the service again; the one after it serves from what that scan
// kept.
TEST_F(CloudWalk, AfterACleanUpOrAnUndoEveryListingKeptBeforeIsAskedForAgain)
{
    const CloudScanFoldersListPtr a = chosen("/A");
    scan({ a });
    ASSERT_FALSE(a->children.empty());
    const CloudScanFoldersListPtr x = a->children.front();
    ASSERT_EQ(x->folderPath, QStringLiteral("/A/x"));

    handler.markListingsStale();
    handler.fetchChildFolders(handler.makeRootFolderNode());
    waitUntil([] { return false; }, 20);
    handler.service[QStringLiteral("/A")] = { { QStringLiteral("a1"), QStringLiteral("a2") }, { QStringLiteral("x") } };
    handler.requests.clear();
    sink.paths.clear();
    scan({ a });
    EXPECT_EQ(handler.requests, QStringList({ "/A", "/A/x", "/A/x/y" }));
    EXPECT_EQ(sink.paths, QStringList({ "/A/a1", "/A/a2", "/A/x/x1", "/A/x/y/y1" }));
    handler.requests.clear();
    scan({ x });
    EXPECT_EQ(handler.requests, QStringList({ "/A/x", "/A/x/y" }));

    handler.requests.clear();
    scan({ a });
    scan({ x });
    EXPECT_TRUE(handler.requests.isEmpty());
}

TEST_F(CloudWalk, OnlyTheFoldersTheScanCoversAreRequested)
{
    struct Case {
        const char* name;
        std::vector<CloudScanFoldersListPtr> folders;
        QStringList excluded;
        QStringList requests;
    };
    const std::vector<Case> cases {
        { "sub-folders off", { chosen("/A", false) }, {}, { "/A" } },
        { "an excluded sub-folder", { chosen("/A") }, { "/A/x" }, { "/A", "/A/z" } },
        { "case twins are two roots", { chosen("/B"), chosen("/b") }, {}, { "/B", "/b" } },
        { "nothing chosen", {}, {}, {} },
    };
    for (const Case& c : cases) {
        handler.requests.clear();
        request.cloudExclusion.reset();
        if (!c.excluded.isEmpty())
            request.cloudExclusion.emplace(c.excluded);
        const int before = sink.completions;
        scan(c.folders);
        EXPECT_EQ(handler.requests, c.requests) << c.name;
        EXPECT_EQ(sink.completions, before + 1) << c.name;
    }
}

TEST(ScanWrapperTree, PickerListingsKeepNodeIdentityAndAddNoTwins)
{
    struct PickerDelegate : ScanWrapperDelegate {
        int completions = 0;
        void OnScanCompletedProcess() override { ++completions; }
    } delegate;
    ScriptedHandler handler;
    handler.delegate = &delegate;
    handler.service[QString()] = { {}, { QStringLiteral("P") } };
    const CloudScanFoldersListPtr root = handler.makeRootFolderNode();
    EXPECT_EQ(handler.makeRootFolderNode(), root);
    handler.fetchChildFolders(nullptr);
    handler.fetchChildFolders(root);
    handler.fetchChildFolders(root);
    waitUntil([&] { return delegate.completions >= 2; });
    EXPECT_EQ(delegate.completions, 2);
    ASSERT_EQ(root->children.size(), 1u);
    EXPECT_EQ(root->children.front()->parentNodeDropBoxList.lock(), root);
    handler.rootFolderObj.reset();
    EXPECT_NE(handler.makeRootFolderNode(), root);
}

TEST(ScanWrapperTree, AFolderWithHundredsOfThousandsOfSubFoldersMergesInLinearTime)
{
    // Listed twice, as a picker lists a folder again: the second merge adds
    // no twin. A merge that compared every pair would take minutes.
    const auto merged = runWithWatchdog(
        [] {
            auto folder = std::make_shared<CloudScanFoldersList>();
            std::vector<CloudScanFoldersListPtr> listed;
            for (int i = 0; i < 200000; ++i) {
                auto sub = std::make_shared<CloudScanFoldersList>();
                sub->folderId = QString::number(1000000 + i);
                sub->folderPath = QStringLiteral("Box/%1").arg(i);
                listed.push_back(sub);
            }
            // Two without an id, told apart by their paths only.
            for (const QString& path : { QStringLiteral("Box/x"), QStringLiteral("Box/x") }) {
                listed.push_back(std::make_shared<CloudScanFoldersList>());
                listed.back()->folderPath = path;
            }
            mergeSubFolders(folder, listed);
            mergeSubFolders(folder, listed);
            return folder->children.size();
        },
        nullptr, std::chrono::milliseconds(0), std::chrono::seconds(30));
    ASSERT_TRUE(merged);
    EXPECT_EQ(*merged, 200001u);
}

namespace {

// A folder whose one picker listing meets entries entries (files, which the
// picker does not keep) and one album; the service answers when the test
// says, and never when the test lets the answer go.
class CrowdedFolderHandler : public ScanWrapper {
public:
    int entries = 0;
    std::function<void()> answer;

protected:
    void listFolder(const CloudScanFoldersListPtr& folder, std::function<void(FolderListing)> done) override
    {
        auto pages = std::make_shared<FolderPages>(folderPages());
        pages->tally.beginPage(entries);
        for (int i = 0; i < entries; ++i)
            pages->tally.take(QStringLiteral("file:id:a4ayc_80_%1").arg(i, 12, 10, QLatin1Char('0')));
        auto album = std::make_shared<CloudScanFoldersList>();
        album->folderPath = folder->folderPath + QStringLiteral("/Album");
        album->folderId = QStringLiteral("id:album");
        pages->addSubFolder(std::move(album));
        answer = [pages, done] { pages->finish(done, true); };
    }
};

std::atomic<int> memoryGivenBack { 0 };

// Counts the requests to give freed memory back, in place of the trim.
struct CountedGiveBacks {
    CountedGiveBacks() { memoryGivenBack = 0; }
    ~CountedGiveBacks() { setFreedMemoryGiver(before); }
    int count() const
    {
        QThreadPool::globalInstance()->waitForDone();
        return memoryGivenBack;
    }
    const FreedMemoryGiver before = setFreedMemoryGiver([] { ++memoryGivenBack; });
};

} // namespace

// The entries a picker listing met are held until its end; those of a folder
// of many entries then go, and the memory they took is given back to the
// system, whether the listing came to its end or the picker was closed
// before its service answered. A small listing asks for nothing.
TEST(ScanWrapperTree, APickerListingOfManyEntriesGivesTheirMemoryBackOnceItEnds)
{
    struct PickerDelegate : ScanWrapperDelegate {
        int completions = 0;
        void OnScanCompletedProcess() override { ++completions; }
    } delegate;
    const CountedGiveBacks givenBack;
    CrowdedFolderHandler handler;
    handler.delegate = &delegate;

    handler.entries = 1000;
    handler.fetchChildFolders(handler.makeRootFolderNode());
    std::exchange(handler.answer, nullptr)();
    EXPECT_EQ(delegate.completions, 1);
    EXPECT_EQ(givenBack.count(), 0);

    // Listed to its end: the album shows, and then the memory goes back.
    handler.rootFolderObj.reset();
    handler.entries = 150000;
    const CloudScanFoldersListPtr root = handler.makeRootFolderNode();
    handler.fetchChildFolders(root);
    EXPECT_EQ(givenBack.count(), 0);
    std::exchange(handler.answer, nullptr)();
    EXPECT_EQ(delegate.completions, 2);
    EXPECT_EQ(root->children.size(), 1u);
    EXPECT_EQ(givenBack.count(), 1);

    // The picker closed while the service has not answered: the listing
    // ends at once, its entries when the answer is given up.
    handler.rootFolderObj.reset();
    handler.fetchChildFolders(handler.makeRootFolderNode());
    handler.stopPickerListings();
    EXPECT_EQ(delegate.completions, 3);
    EXPECT_EQ(givenBack.count(), 1);
    handler.answer = nullptr;
    EXPECT_EQ(givenBack.count(), 2);
}
