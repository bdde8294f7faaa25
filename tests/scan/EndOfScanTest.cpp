#include "core/Localization.h"
#include "scan/EngineFixture.h"

#include <QTest>

namespace {
QString text(const char* key)
{
    return localizedText(QString::fromLatin1(key));
}
} // namespace

class EndOfScan : public EngineFixture {
protected:
    qsizetype historyLength() const
    {
        return defaults->arrayValue(QStringLiteral("lastScanStatus")).value_or(QVariantList {}).size();
    }

    // Runs the worker's part of a scan on this thread, then lets the end of
    // the scan play out on the event loop.
    bool finishScanByHand()
    {
        QSignalSpy ended(engine.get(), &ScanEngine::scanEnded);
        engine->parseAllPath();
        return ended.wait(20000);
    }
};

TEST_F(EndOfScan, FoundDuplicatesReachTheResultsWithHistoryAndPriorityLists)
{
    tree.file(QStringLiteral("B/x.JPG"), "same picture");
    tree.file(QStringLiteral("a/x.jpg"), "same picture");
    tree.file(QStringLiteral("a/y.txt"), "same text");
    tree.file(QStringLiteral("b/y.txt"), "same text");
    tree.file(QStringLiteral("a/lonely.txt"), "nothing like it");
    addRow(tree.root());
    ASSERT_TRUE(runScan());

    ASSERT_EQ(screen.results.size(), 1u);
    ASSERT_EQ(screen.results.front().size(), 2u); // the lonely file's group never reaches the screen
    for (const DuplicateGroupPtr& group : screen.results.front())
        EXPECT_EQ(group->children.size(), 2u);
    EXPECT_EQ(engine->counters.countDup.load(), 2);
    EXPECT_EQ(historyLength(), 1);
    EXPECT_TRUE(screen.alerts.empty());
    EXPECT_EQ(screen.sheetsHidden, 1);
    EXPECT_EQ(screen.scanNowState, 1);
    EXPECT_FALSE(isScanRunning);
    EXPECT_EQ(screen.labels.lblScanPer, QStringLiteral("100%"));

    // Every folder and extension once, in the order the results show them;
    // folders compare without case, extensions as stored.
    QStringList expectedFolders;
    QStringList expectedFormats;
    for (const DuplicateGroupPtr& group : engine->arrMainGroup) {
        for (const FileInfoNodePtr& record : group->children) {
            const QString folder = record->folderPath.toLower();
            if (!expectedFolders.contains(folder))
                expectedFolders.append(folder);
            if (!expectedFormats.contains(record->fileExtension))
                expectedFormats.append(record->fileExtension);
        }
    }
    EXPECT_EQ(folderPriorityList(), expectedFolders);
    EXPECT_EQ(defaultFolderPriorityList(), expectedFolders);
    EXPECT_EQ(fileFormatPriorityList(), expectedFormats);
    EXPECT_EQ(expectedFolders.size(), 2); // "a" and "b", whatever the case of "B"
}

TEST_F(EndOfScan, NoDuplicatesShowsTheNoticeAndStillRecordsTheScan)
{
    tree.file(QStringLiteral("a.txt"), "one");
    tree.file(QStringLiteral("b.txt"), "two");
    addRow(tree.root());
    ASSERT_TRUE(runScan());
    EXPECT_EQ(screen.alertMessages(), QStringList { text("ID_NO_DUPLICATE_ITEMS_FOUND") });
    EXPECT_EQ(screen.homeViewsShown, 1);
    EXPECT_FALSE(screen.resultEnabled);
    EXPECT_TRUE(screen.results.empty());
    EXPECT_EQ(historyLength(), 1);

    ASSERT_TRUE(runScan());
    EXPECT_EQ(historyLength(), 2); // one record per finished scan
    QCoreApplication::processEvents();
    ASSERT_EQ(screen.lastScanBox.size(), 3);
    EXPECT_EQ(screen.lastScanBox[0], QStringLiteral("0"));
}

TEST_F(EndOfScan, StopBeforeTheWalkStillEndsTheScan)
{
    tree.file(QStringLiteral("a.txt"), "same");
    tree.file(QStringLiteral("b.txt"), "same");
    addRow(tree.root());
    engine->resetAllVariableOnStartScanning();
    isAbortScan = true;
    ASSERT_TRUE(finishScanByHand());
    EXPECT_TRUE(engine->arrFileNodes.empty());
    EXPECT_EQ(screen.alertMessages(), QStringList { text("ID_NO_DUPLICATE_ITEMS_FOUND") });
    EXPECT_EQ(historyLength(), 1);
}

TEST_F(EndOfScan, StopDuringHashingHandsOverWhatWasFound)
{
    constexpr int pairs = 300;
    for (int i = 0; i < pairs; ++i) {
        QByteArray body(200 * 1024 + i, char('a' + i % 26));
        tree.file(QStringLiteral("p/%1-a.bin").arg(i), body);
        tree.file(QStringLiteral("p/%1-b.bin").arg(i), body);
    }
    addRow(tree.path(QStringLiteral("p")));
    ASSERT_TRUE(runScanStoppedWhen([this] { return engine->counters.countProcessed.load() >= 20; }));
    EXPECT_EQ(engine->arrFileNodes.size(), 2u * pairs); // the walk had finished
    EXPECT_LT(engine->counters.countProcessed.load(), 2 * pairs);
    EXPECT_EQ(historyLength(), 1);
    // Whatever was grouped is whole: every group shown holds a true pair.
    for (const auto& shown : screen.results) {
        for (const DuplicateGroupPtr& group : shown) {
            ASSERT_EQ(group->children.size(), 2u);
            EXPECT_EQ(group->children[0]->md5, group->children[1]->md5);
        }
    }
}

TEST_F(EndOfScan, StopAsksFirstAndYesRaisesTheFlag)
{
    screen.answers = { 0 };
    engine->confirmStopScanning();
    EXPECT_FALSE(isAbortScan);
    EXPECT_EQ(screen.alertMessages(), QStringList { text("ID_DO_YOU_REALLY_WANT_STOP_SCANNING") });

    screen.abortEnabled = true;
    screen.answers = { 1 };
    engine->confirmStopScanning();
    EXPECT_TRUE(isAbortScan);
    EXPECT_FALSE(screen.abortEnabled);
}

TEST_F(EndOfScan, QuittingIsRefusedWhileAScanRuns)
{
    EXPECT_TRUE(engine->canQuit());
    EXPECT_TRUE(screen.alerts.empty());
    isScanRunning = true;
    EXPECT_FALSE(engine->canQuit());
    EXPECT_EQ(screen.alertMessages(),
        QStringList { text("ID_SCANNING_IS_IN_PROGRESS_PLEASE_STOP_SCANNING_BEFORE_EXIT_APP") });
}

TEST_F(EndOfScan, LastScanBoxShowsTheNewestRecordAndIgnoresBadHistory)
{
    defaults->setValue(QStringLiteral("lastScanStatus"), QStringLiteral("not a list"));
    engine->refreshLastScanStatus();
    QCoreApplication::processEvents();
    EXPECT_TRUE(screen.lastScanBox.isEmpty());

    QVariantMap older { { QStringLiteral("dupCount"), 1 }, { QStringLiteral("dupSize"), 10 } };
    QVariantMap newest { { QStringLiteral("dupCount"), 4 }, { QStringLiteral("dupSize"), 2500 } };
    defaults->setValue(QStringLiteral("lastScanStatus"), QVariantList { older, newest });
    engine->refreshLastScanStatus();
    QCoreApplication::processEvents();
    ASSERT_EQ(screen.lastScanBox.size(), 3);
    EXPECT_EQ(screen.lastScanBox[0], QStringLiteral("4"));
    EXPECT_EQ(screen.lastScanBox[2], QStringLiteral("<unchanged>")); // no time in the record
}
