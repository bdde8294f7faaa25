#include "cleanup/PhotosLibraryStep.h"
#include "platform/PhotosBridge.h"

#include <gtest/gtest.h>

namespace {

// The photo application as the tests want it; every script it is sent is
// kept, album creations and batches apart.
class FakePhotos : public PhotosBridge {
public:
    bool isApplicationRunning() override { return running; }
    void openLibrary(const QString&) override { }
    std::optional<QStringList> containerNames() override { return containers; }
    std::optional<QString> mediaItemId(const QString& id) override
    {
        return unknown.contains(id) ? std::nullopt : std::optional<QString>(id);
    }
    ScriptRun runScript(const QString& source) override
    {
        const bool creation = source.contains(QLatin1String("make new album"));
        (creation ? creations : batches) << source;
        const bool fails = creation ? failCreations > 0 && failCreations-- : failBatches > 0 && failBatches--;
        return { !fails, fails ? errorNumber : 0 };
    }

    bool running = true;
    std::optional<QStringList> containers;
    QStringList unknown;
    int failCreations = 0;
    int failBatches = 0;
    int errorNumber = -1;
    QStringList creations;
    QStringList batches;
};

std::vector<PhotosStepItem> itemsOf(const QString& library, int count, std::size_t firstIndex = 0)
{
    std::vector<PhotosStepItem> items;
    for (int i = 0; i < count; ++i)
        items.push_back({ library, QStringLiteral("ID-%1/L0/001").arg(i), 10, QString(), firstIndex + i });
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

qsizetype idCount(const QString& script)
{
    return script.count(QLatin1String("\"ID-"));
}

} // namespace

TEST(PhotosLibraryStep, ItemsGoInBatchesOf99AndAnAlbumOfTheExactNameIsKept)
{
    const struct {
        std::optional<QStringList> containers;
        qsizetype creations;
    } cases[] = {
        { QStringList { QStringLiteral("Trips"), QStringLiteral("Marked") }, 0 },
        { QStringList { QStringLiteral("marked") }, 1 },
        { std::nullopt, 1 },
    };
    for (const auto& c : cases) {
        FakePhotos photos;
        photos.containers = c.containers;
        const PhotosStepOutcome outcome = run(photos, itemsOf(QStringLiteral("/L"), 250));
        EXPECT_EQ(photos.creations.size(), c.creations);
        ASSERT_EQ(photos.batches.size(), 3);
        EXPECT_EQ(idCount(photos.batches[0]), 99);
        EXPECT_EQ(idCount(photos.batches[1]), 99);
        EXPECT_EQ(idCount(photos.batches[2]), 52);
        EXPECT_EQ(outcome.moved.size(), 250u);
        EXPECT_EQ(outcome.movedSize, 2500u);
    }
}

TEST(PhotosLibraryStep, AFailedAlbumOrBatchLeavesItsItemsUnmoved)
{
    // The first library's album cannot be made: the second is left alone too.
    FakePhotos photos;
    photos.failCreations = 1;
    photos.errorNumber = PhotosBridge::notAuthorizedError;
    auto items = itemsOf(QStringLiteral("/One"), 3);
    for (const PhotosStepItem& item : itemsOf(QStringLiteral("/Two"), 2, 3))
        items.push_back(item);
    PhotosStepOutcome outcome = run(photos, items);
    EXPECT_EQ(photos.creations.size(), 1);
    EXPECT_TRUE(photos.batches.isEmpty());
    EXPECT_TRUE(outcome.albumFailed && outcome.isAppNotAutharizedToMoveDups);
    EXPECT_TRUE(outcome.moved.empty());
    EXPECT_EQ(outcome.notMovedCount, 5);

    // Not running: no script at all.
    FakePhotos closed;
    closed.running = false;
    EXPECT_TRUE(run(closed, items).albumFailed);
    EXPECT_TRUE(closed.creations.isEmpty() && closed.batches.isEmpty());

    // A batch the application does not take is not counted as moved.
    FakePhotos refusing;
    refusing.failBatches = 1;
    outcome = run(refusing, itemsOf(QStringLiteral("/One"), 100));
    EXPECT_EQ(refusing.batches.size(), 2);
    EXPECT_EQ(outcome.moved, std::vector<std::size_t> { 99 });
    EXPECT_EQ(outcome.notMovedCount, 99);
}

TEST(PhotosLibraryStep, HostileIdsAndNamesNeverShapeAScript)
{
    FakePhotos photos;
    photos.containers = QStringList {};
    photos.unknown << QStringLiteral("ID-1/L0/001");
    auto items = itemsOf(QStringLiteral("/L"), 3);
    items[2].mediaId = QStringLiteral("x\"} & do shell script \"rm -rf ~\" & {\"");
    const PhotosStepOutcome outcome = run(photos, items);
    ASSERT_EQ(photos.batches.size(), 1);
    EXPECT_TRUE(photos.batches[0].contains(QLatin1String("set imageId to {\"ID-0/L0/001\"} ")));
    EXPECT_FALSE(photos.batches[0].contains(QLatin1String("shell")));
    EXPECT_EQ(outcome.moved, std::vector<std::size_t> { 0 });
    EXPECT_EQ(outcome.notMovedCount, 2);

    EXPECT_EQ(albumCreationScript(QStringLiteral("My \"Album\" \\ %1\nend tell")),
        QStringLiteral("tell application \"Photos\" \n delay 3\n make new album named \"My \\\"Album\\\" \\\\ %1\\nend "
                       "tell\"\n end tell"));
    EXPECT_EQ(mediaIdListLiteral({ QStringLiteral("a1"), QStringLiteral("b2") }), QStringLiteral("{\"a1\",\"b2\"}"));
    EXPECT_FALSE(isValidMediaItemId(QString()));
    EXPECT_FALSE(isValidMediaItemId(QStringLiteral("a b")));
}
