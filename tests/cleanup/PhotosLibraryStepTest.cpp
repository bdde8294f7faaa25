#include "cleanup/PhotosLibraryStep.h"
#include "cleanup/FakePhotos.h"

#include <gtest/gtest.h>

namespace {

std::vector<PhotosStepItem> itemsOf(const QString& library, int count, std::size_t first = 0)
{
    std::vector<PhotosStepItem> items;
    for (int i = 0; i < count; ++i)
        items.push_back({ library, QStringLiteral("ID-%1/L0/001").arg(first + i), 10, QString(), first + i });
    return items;
}

PhotosStepOutcome run(FakePhotos& photos, const std::vector<PhotosStepItem>& items)
{
    PhotosStepSettings settings;
    settings.albumName = QStringLiteral("Marked");
    settings.pauseBeforeAlbum = std::chrono::milliseconds(0);
    const std::atomic<bool> abort { false };
    return runPhotosLibraryStep(items, photos, settings, abort);
}

} // namespace

TEST(PhotosLibraryStep, ItemsGoInBatchesOf99AndAnAlbumOfTheExactNameIsKept)
{
    const std::pair<std::optional<QStringList>, qsizetype> cases[] = {
        { QStringList { QStringLiteral("Trips"), QStringLiteral("Marked") }, 0 },
        { QStringList { QStringLiteral("marked") }, 1 },
    };
    for (const auto& [containers, creations] : cases) {
        FakePhotos photos;
        photos.containers = containers;
        const PhotosStepOutcome outcome = run(photos, itemsOf(QStringLiteral("/L"), 250));
        EXPECT_EQ(photos.creations.size(), creations);
        QList<qsizetype> sizes;
        for (const QString& batch : photos.batches)
            sizes << batch.count(QLatin1String("\"ID-"));
        EXPECT_EQ(sizes, (QList<qsizetype> { 99, 99, 52 }));
        EXPECT_EQ(outcome.moved.size(), 250u);
    }
}

TEST(PhotosLibraryStep, AFailedAlbumOrBatchLeavesItsItemsUnmoved)
{
    // The first library's album cannot be made: the second is left alone too.
    FakePhotos photos;
    photos.failCreations = 1;
    auto items = itemsOf(QStringLiteral("/One"), 3);
    for (const PhotosStepItem& item : itemsOf(QStringLiteral("/Two"), 2, 3))
        items.push_back(item);
    PhotosStepOutcome outcome = run(photos, items);
    EXPECT_EQ(photos.creations.size(), 1);
    EXPECT_TRUE(photos.batches.isEmpty());
    EXPECT_TRUE(outcome.albumFailed && outcome.isAppNotAutharizedToMoveDups && outcome.moved.empty());
    EXPECT_EQ(outcome.notMovedCount, 5);

    // A batch the application does not take is not counted as moved.
    FakePhotos refusing;
    refusing.containers = QStringList { QStringLiteral("Marked") };
    refusing.failBatches = 1;
    outcome = run(refusing, itemsOf(QStringLiteral("/One"), 100));
    EXPECT_EQ(outcome.moved, std::vector<std::size_t> { 99 });
    EXPECT_EQ(outcome.notMovedCount, 99);
}

TEST(PhotosLibraryStep, HostileIdsAndNamesNeverShapeAScript)
{
    FakePhotos photos;
    auto items = itemsOf(QStringLiteral("/L"), 2);
    items[1].mediaId = QStringLiteral("x\"} & do shell script \"rm -rf ~\" & {\"");
    const PhotosStepOutcome outcome = run(photos, items);
    ASSERT_EQ(photos.batches.size(), 1);
    EXPECT_TRUE(photos.batches[0].contains(QLatin1String("set imageId to {\"ID-0/L0/001\"} ")));
    EXPECT_FALSE(photos.batches[0].contains(QLatin1String("shell")));
    EXPECT_EQ(outcome.notMovedCount, 1);

    EXPECT_EQ(albumCreationScript(QStringLiteral("My \"Album\" \\ %1\nend tell")),
        QStringLiteral("tell application \"Photos\" \n delay 3\n make new album named \"My \\\"Album\\\" \\\\ %1\\nend "
                       "tell\"\n end tell"));
}
