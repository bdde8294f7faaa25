#include "scan/ScanProgress.h"
#include "core/Localization.h"

#include <gtest/gtest.h>

namespace {

QString text(const char* key)
{
    return localizedText(QString::fromLatin1(key));
}

ScanProgressInputs inputs(qint64 n, qint64 scanned, qint64 processed, qint64 compared)
{
    return ScanProgressInputs { n, scanned, processed, compared };
}

const std::function<QString()> spaceText = [] { return QStringLiteral("50 bytes"); };

} // namespace

TEST(ScanProgress, WalkStageBaseStepsAtItsBoundaries)
{
    const std::pair<qint64, double> cases[] = { { 1, 0.02 }, { 2000, 0.02 }, { 2001, 0.03 }, { 4000, 0.03 },
        { 4001, 0.04 }, { 6000, 0.04 }, { 6001, 0.05 } };
    for (const auto& [n, expected] : cases) {
        ScanningLabels labels;
        double prog = 0.9; // left over from an earlier scan: the walk stage sets it again
        updateScanProgress(labels, prog, inputs(n, n, 0, 0), spaceText);
        EXPECT_DOUBLE_EQ(prog, expected) << n;
        EXPECT_DOUBLE_EQ(labels.progress, expected) << n;
        EXPECT_EQ(labels.lblScanPer, percentText(expected)) << n;
    }
}

TEST(ScanProgress, ComparisonStageShowsComparingThenSearchingTexts)
{
    ScanningLabels labels;
    double prog = 0.02;
    updateFileScannedCountAndSize(labels, prog, inputs(100, 100, 50, 50), spaceText);
    EXPECT_NEAR(labels.progress, 0.4046, 1e-4);
    EXPECT_EQ(labels.lblScanPer, QStringLiteral("40%"));
    EXPECT_EQ(labels.lblAddingPhotos, text("ID_COMPAREING_FILES"));
    EXPECT_EQ(labels.lblAdd, text("ID_COMPARING"));
    EXPECT_EQ(labels.lblFileProcessed, QStringLiteral("100"));

    updateFileScannedCountAndSize(labels, prog, inputs(100, 100, 100, 100), spaceText);
    EXPECT_NEAR(labels.progress, 0.7892, 1e-4);
    EXPECT_EQ(labels.lblScanPer, QStringLiteral("79%"));
    EXPECT_EQ(labels.lblAddingPhotos, text("ID_SEARCHING_DUPLICATES"));
    EXPECT_EQ(labels.lblAdd, text("ID_SCANNING"));
    EXPECT_EQ(labels.lblFileCompared, QStringLiteral("50 bytes"));
    EXPECT_EQ(labels.lblFileComparedStr, text("ID_DISK_SPACE_TO_FREE_UP"));
}

TEST(ScanProgress, EarlyComparisonChangesOnlyPercentageAndCircle)
{
    ScanningLabels labels;
    labels.lblAddingPhotos = QStringLiteral("heading");
    double prog = 0.02;
    updateScanProgress(labels, prog, inputs(100, 100, 10, 10), spaceText);
    EXPECT_EQ(labels.lblAddingPhotos, QStringLiteral("heading"));
    EXPECT_EQ(labels.lblScanPer, QStringLiteral("10%"));

    // With no records at all only the counters change.
    labels.lblScanPer = QStringLiteral("2%");
    updateFileScannedCountAndSize(labels, prog, inputs(0, 0, 0, 0), spaceText);
    EXPECT_EQ(labels.lblScanPer, QStringLiteral("2%"));
    EXPECT_EQ(labels.lblFileScanCount, QStringLiteral("0"));
}

TEST(ScanProgress, CounterCaptionsFollowTheCounts)
{
    ScanningLabels labels;
    double prog = 0;
    updateFileScannedCountAndSize(labels, prog, inputs(10, 10, 0, 0), spaceText);
    EXPECT_EQ(labels.lblFileProcessed, QStringLiteral("10"));
    EXPECT_EQ(labels.lblAdd, text("ID_ADDING"));
    EXPECT_EQ(labels.lblFileProcessedStr, text("ID_FILES_ADDED"));
    EXPECT_EQ(labels.lblFileComparedStr, text("ID_FILE_COMPARED"));

    updateFileScannedCountAndSize(labels, prog, inputs(10, 10, 3, 1), spaceText);
    EXPECT_EQ(labels.lblFileProcessed, QStringLiteral("3/10"));
    EXPECT_EQ(labels.lblFileProcessedStr, text("ID_FILE_PROCESSED"));
    EXPECT_EQ(labels.lblFileComparedStr, text("ID_FILES_COMPARED"));
}

TEST(ScanProgress, HalfPercentsRoundAsPrintfDoes)
{
    // Exact binary halves go to the even neighbour.
    EXPECT_EQ(percentText(0.125), QStringLiteral("12%"));
    EXPECT_EQ(percentText(0.375), QStringLiteral("38%"));
    EXPECT_EQ(percentText(0.625), QStringLiteral("62%"));
    EXPECT_EQ(percentText(0.789), QStringLiteral("79%"));
}
