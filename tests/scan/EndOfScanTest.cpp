#include "core/FileUtilities.h"
#include "core/Localization.h"
#include "scan/EngineFixture.h"
#include "support/LongScanHistory.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

namespace {
QString text(const char* key)
{
    return localizedText(QString::fromLatin1(key));
}
} // namespace

class EndOfScan : public EngineFixture {
protected:
    QVariantList history() const
    {
        return defaults->arrayValue(QLatin1String(SettingsKey::lastScanStatus)).value_or(QVariantList {});
    }
};

TEST_F(EndOfScan, FoundDuplicatesReachTheResultsOnceWithHistoryAndPriorityLists)
{
    tree.file(QStringLiteral("B/x.JPG"), "same picture");
    tree.file(QStringLiteral("a/x.jpg"), "same picture");
    tree.file(QStringLiteral("a/y.txt"), "same text");
    tree.file(QStringLiteral("b/y.txt"), "same text");
    tree.file(QStringLiteral("a/lonely.txt"), "nothing like it");
    addRow(tree.root());
    ASSERT_TRUE(runScan());

    ASSERT_EQ(screen.results.size(), 1u);
    EXPECT_EQ(screen.results.front(), result);
    // The lonely file's group never reaches the screen.
    EXPECT_EQ(groupsFound(), (QList<QStringList> { { "B/x.JPG", "a/x.jpg" }, { "a/y.txt", "b/y.txt" } }));
    EXPECT_EQ(result->dupCount, 2);
    EXPECT_EQ(result->countScanned, 5);
    // A picture's metadata is read when it is shown, not by the scan.
    for (const DuplicateGroupPtr& group : result->groups) {
        for (const FileInfoNodePtr& record : group->children)
            EXPECT_FALSE(record->exifInfo()) << record->filePath->toStdString();
    }
    ASSERT_EQ(history().size(), 1);
    EXPECT_EQ(history().front().toMap().value(QStringLiteral("dupCount")).toInt(), 2);
    EXPECT_TRUE(screen.alerts.empty());
    EXPECT_EQ(screen.sheetsHidden, 1);
    EXPECT_EQ(screen.scanNowState, 1);
    EXPECT_FALSE(isScanRunning);
    EXPECT_EQ(screen.labels.lblScanPer, QStringLiteral("100%"));

    // Every folder and extension once, in the order the results show them;
    // folders compare without case, extensions as stored.
    QStringList expectedFolders;
    QStringList expectedFormats;
    for (const DuplicateGroupPtr& group : result->groups) {
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
    EXPECT_EQ(history().size(), 1);

    ASSERT_TRUE(runScan());
    EXPECT_EQ(history().size(), 2); // one record per finished scan
    QCoreApplication::processEvents();
    ASSERT_EQ(screen.lastScanBox.size(), 3);
    EXPECT_EQ(screen.lastScanBox[0], QStringLiteral("0"));
}

TEST_F(EndOfScan, ScanNowWhileAScanRunsOrHandsOverStartsNothing)
{
    // A second Scan Now, during the scan, in the pause before the sheet goes
    // and in the pause before the results, starts no scan: the first reaches
    // the screen and the history once, and Scan Now is usable after it.
    engine->setEndOfScanPauses(300, 400);
    tree.file(QStringLiteral("a.txt"), "twin");
    tree.file(QStringLiteral("b.txt"), "twin");
    addRow(tree.root());
    QSignalSpy ended(engine.get(), &ScanEngine::scanEnded);
    engine->btnStartScanTapped();
    screen.scanNowEnabled = false; // as the button leaves itself after a click
    const ScanRequest* first = engine->currentRequest();
    engine->btnStartScanTapped();
    ASSERT_TRUE(QTest::qWaitFor([] { return !isScanRunning; }, 20000));
    engine->btnStartScanTapped();
    ASSERT_TRUE(QTest::qWaitFor([this] { return screen.sheetsHidden == 1; }, 20000));
    ASSERT_EQ(ended.size(), 0);
    EXPECT_FALSE(screen.scanNowEnabled);
    engine->btnStartScanTapped();
    ASSERT_TRUE(QTest::qWaitFor([&ended] { return ended.size() == 1; }, 20000));
    QTest::qWait(50);

    EXPECT_EQ(ended.size(), 1);
    EXPECT_EQ(engine->currentRequest(), first);
    EXPECT_EQ(screen.results.size(), 1u);
    EXPECT_EQ(history().size(), 1);
    EXPECT_TRUE(screen.scanNowEnabled);
}

TEST_F(EndOfScan, ARecordWrittenEarlyDuringThePauseIsNotWrittenAgain)
{
    engine->setEndOfScanPauses(100, 100);
    tree.file(QStringLiteral("a.txt"), "twin");
    tree.file(QStringLiteral("b.txt"), "twin");
    tree.file(QStringLiteral("c.txt"), "single");
    addRow(tree.root());
    QSignalSpy ended(engine.get(), &ScanEngine::scanEnded);
    engine->btnStartScanTapped();
    ASSERT_TRUE(QTest::qWaitFor([] { return !isScanRunning; }, 20000));
    engine->recordFinishingScans();
    ASSERT_EQ(history().size(), 1);
    engine->recordFinishingScans();
    EXPECT_EQ(history().size(), 1);

    ASSERT_TRUE(QTest::qWaitFor([&ended] { return ended.size() == 1; }, 20000));
    EXPECT_EQ(history().size(), 1);
    EXPECT_EQ(screen.results.size(), 1u);

    // A scan that found nothing, its record taken by the engine's end.
    tree.file(QStringLiteral("b.txt"), "no longer a twin");
    engine->setEndOfScanPauses(60000, 0);
    engine->btnStartScanTapped();
    ASSERT_TRUE(QTest::qWaitFor([] { return !isScanRunning; }, 20000));
    engine.reset();
    ASSERT_EQ(history().size(), 2);
    EXPECT_EQ(history().back().toMap().value(QStringLiteral("dupCount")).toInt(), 0);
}

TEST_F(EndOfScan, AStoppedScanStillEndsThroughTheOrdinaryEnd)
{
    tree.file(QStringLiteral("a.txt"), "same");
    tree.file(QStringLiteral("b.txt"), "same");
    addRow(tree.root());
    ASSERT_TRUE(runScanStoppedWhen([] { return true; }));
    EXPECT_EQ(history().size(), 1);
    EXPECT_EQ(screen.scanningStates.back(), std::make_pair(false, false));
    EXPECT_EQ(screen.labels.lblScanPer, QStringLiteral("100%"));
}

TEST_F(EndOfScan, StopAsksFirstAndYesRaisesTheFlag)
{
    isScanRunning = true;
    screen.answers = { 0 };
    engine->confirmStopScanning();
    EXPECT_FALSE(isAbortScan);
    ASSERT_EQ(screen.alertMessages(), QStringList { text("ID_DO_YOU_REALLY_WANT_STOP_SCANNING") });
    EXPECT_EQ(screen.alerts.front().style, AlertStyle::informational);

    screen.abortEnabled = true;
    screen.answers = { 1 };
    engine->confirmStopScanning();
    EXPECT_TRUE(isAbortScan);
    EXPECT_FALSE(screen.abortEnabled);
}

TEST_F(EndOfScan, TheEndTakesBackAnOpenStopQuestionAndALateYesStopsNothing)
{
    tree.file(QStringLiteral("a.txt"), "one");
    tree.file(QStringLiteral("b.txt"), "two");
    addRow(tree.root());
    screen.holdAnswers = true;
    QSignalSpy ended(engine.get(), &ScanEngine::scanEnded);
    engine->btnStartScanTapped();
    engine->confirmStopScanning();
    engine->confirmStopScanning(); // pressed twice: still one question
    ASSERT_TRUE(QTest::qWaitFor([this] { return screen.sheetsHidden == 1; }, 20000));
    QTest::qWait(20);
    // The question was taken back when the scan ended, so the notice stands
    // alone.
    ASSERT_EQ(screen.alertMessages(),
        (QStringList { text("ID_DO_YOU_REALLY_WANT_STOP_SCANNING"), text("ID_NO_DUPLICATE_ITEMS_FOUND") }));
    ASSERT_TRUE(screen.alerts[0].withdrawal);
    EXPECT_TRUE(screen.alerts[0].withdrawal->isWithdrawn());
    EXPECT_EQ(ended.size(), 0);

    screen.heldAnswers[0](1); // a Yes from the box that was closed
    EXPECT_FALSE(isAbortScan);
    EXPECT_EQ(screen.alerts.size(), 2u);
    screen.heldAnswers[1](0);
    EXPECT_EQ(ended.size(), 1);
    EXPECT_EQ(screen.homeViewsShown, 1);
}

// The refusal to quit holds only while its scan runs: the end of the scan
// takes it back, as it does the Stop question, and a quit asked during the
// next scan is refused with an alert of its own.
TEST_F(EndOfScan, TheEndTakesBackTheQuitRefusal)
{
    tree.file(QStringLiteral("a.txt"), "one");
    tree.file(QStringLiteral("b.txt"), "two");
    addRow(tree.root());
    screen.holdAnswers = true;
    QSignalSpy ended(engine.get(), &ScanEngine::scanEnded);
    const QString refusal = text("ID_SCANNING_IS_IN_PROGRESS_PLEASE_STOP_SCANNING_BEFORE_EXIT_APP");
    for (int scan = 1; scan <= 2; ++scan) {
        const std::size_t before = screen.alerts.size();
        engine->btnStartScanTapped();
        EXPECT_FALSE(engine->canQuit());
        EXPECT_FALSE(engine->canQuit()); // asked twice: one alert
        ASSERT_TRUE(QTest::qWaitFor([&] { return screen.alerts.size() == before + 2; }, 20000)) << scan;
        EXPECT_EQ(screen.alerts[before].messageText, refusal);
        ASSERT_TRUE(screen.alerts[before].withdrawal);
        EXPECT_TRUE(screen.alerts[before].withdrawal->isWithdrawn()) << scan;
        EXPECT_EQ(screen.alerts[before + 1].messageText, text("ID_NO_DUPLICATE_ITEMS_FOUND"));
        EXPECT_TRUE(engine->canQuit());
        screen.heldAnswers[before + 1](0);
        ASSERT_EQ(ended.size(), scan);
    }
}

TEST_F(EndOfScan, LastScanBoxShowsTheNewestRecordAndIgnoresBadHistory)
{
    defaults->setValue(QLatin1String(SettingsKey::lastScanStatus), QStringLiteral("not a list"));
    engine->refreshLastScanStatus();
    QCoreApplication::processEvents();
    EXPECT_TRUE(screen.lastScanBox.isEmpty());

    QVariantMap older { { QStringLiteral("dupCount"), 1 }, { QStringLiteral("dupSize"), 10 } };
    QVariantMap newest { { QStringLiteral("dupCount"), 4 }, { QStringLiteral("dupSize"), 2500 } };
    defaults->setValue(QLatin1String(SettingsKey::lastScanStatus), QVariantList { older, newest });
    engine->refreshLastScanStatus();
    QCoreApplication::processEvents();
    ASSERT_EQ(screen.lastScanBox.size(), 3);
    EXPECT_EQ(screen.lastScanBox[0], QStringLiteral("4"));
    EXPECT_EQ(screen.lastScanBox[2], QStringLiteral("<unchanged>")); // no time in the record
}

TEST_F(EndOfScan, TheLastScanResultIsShownAsAResultSet)
{
    engine->loadLastScanResult();
    ASSERT_EQ(screen.results.size(), 1u);
    EXPECT_TRUE(screen.results.front()->groups.empty());
}

// Years of scans: a history of 70,000 records stands at the settings file's
// bound, and each new scan's record is read back at the next start, after the
// newest of the old ones; only the oldest gave way.
TEST_F(EndOfScan, AHistoryAtTheSettingsFilesBoundKeepsEveryNewScanForTheNextStart)
{
    tree.file(QStringLiteral("a.txt"), "same");
    tree.file(QStringLiteral("b.txt"), "same");
    addRow(tree.root());
    ASSERT_TRUE(defaults->setValue(QLatin1String(SettingsKey::lastScanStatus), numberedScanHistory(70000)));
    for (int scan = 0; scan < 3; ++scan)
        ASSERT_TRUE(runScan());
    EXPECT_EQ(history().size() >= 3 ? duplicatesOf(history().last()) : -1, 1);

    // The program's end waits for the last save behind before the next start.
    defaults->synchronize();
    const HistoryAtNextStart next = historyAtNextStart(defaults->filePath().section(QLatin1Char('/'), 0, -2));
    EXPECT_TRUE(next.readWhole) << next.fileSize;
    ASSERT_GT(next.records.size(), 60000);
    const qsizetype size = next.records.size();
    for (qsizetype i = size - 3; i < size; ++i)
        EXPECT_EQ(duplicatesOf(next.records.at(i)), 1);
    EXPECT_EQ(duplicatesOf(next.records.at(size - 4)), 69999);
    EXPECT_EQ(duplicatesOf(next.records.first()), 70000 - (size - 3));
    EXPECT_TRUE(screen.alerts.empty());
}

// A checked row kept out by an exclusion, by where it leads, is named on
// screen at the scan's end, not only in the log: one with its excluded folder,
// many by their first few names and a count, each name on one line.
TEST_F(EndOfScan, RowsAnExclusionKeptOutAreToldOnScreen)
{
    tree.file(QStringLiteral("kept/a.txt"), "a");
    tree.file(QStringLiteral("open/b.txt"), "b");
    const QString kept = QFileInfo(tree.path(QStringLiteral("kept"))).canonicalFilePath();
    tree.symlink(QStringLiteral("to-kept"), kept);
    tree.symlink(QStringLiteral("chain"), tree.path(QStringLiteral("to-kept")));
    tree.symlink(QStringLiteral("new\nline"), kept);
    tree.symlink(QStringLiteral("again"), kept);
    excludeFolder(kept);
    addRow(tree.path(QStringLiteral("open")));
    addRow(tree.path(QStringLiteral("to-kept")));
    ASSERT_TRUE(runScan());
    QCoreApplication::processEvents();
    ASSERT_EQ(screen.alertMessages(), (QStringList { text("ID_NO_DUPLICATE_ITEMS_FOUND"), "A chosen folder was not scanned." }));
    EXPECT_EQ(screen.alerts[1].informativeText,
        QStringLiteral("“%1” leads to “%2”, in “%2”, which you excluded from scanning.")
            .arg(tree.path(QStringLiteral("to-kept")), kept));

    screen.alerts.clear();
    for (const char* name : { "chain", "new\nline", "again" })
        addRow(tree.path(QString::fromUtf8(name)));
    ASSERT_TRUE(runScan());
    QCoreApplication::processEvents();
    ASSERT_EQ(screen.alertMessages(), (QStringList { text("ID_NO_DUPLICATE_ITEMS_FOUND"), "Some chosen folders were not scanned." }));
    const QString details = screen.alerts[1].informativeText;
    EXPECT_EQ(details,
        QStringLiteral("%1, %2, %3 and 1 more lie in or lead to folders excluded from scanning, so they were passed "
                       "over. The log names each.")
            .arg(tree.path(QStringLiteral("to-kept")), tree.path(QStringLiteral("chain")),
                printablePath(tree.path(QStringLiteral("new\nline")))));
    EXPECT_FALSE(details.contains(QLatin1Char('\n')));
}
