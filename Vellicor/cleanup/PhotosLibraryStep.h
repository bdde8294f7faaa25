#pragma once

#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <vector>

class PhotosBridge;
struct RemovalOutcome;

// One collected photo-library item, as the step reads it.
struct PhotosStepItem {
    QString libraryPath;
    // The item's media id in the photo application.
    QString mediaId;
    quint64 fileSize = 0;
    // The item's file, for the progress display.
    QString path;
    // Where the item's outcome lies in the run's outcomes.
    std::size_t outcomeIndex = 0;
};

// Why a collected item was not put into the album.
enum class PhotosNotMovedReason {
    // No album could be made: the application is not running (or not here).
    noAlbum,
    // The application does not know the item, or its id has the wrong shape.
    unknownItem,
    // The application did not take the batch the item was in.
    notTaken,
};

// What the step did.
struct PhotosStepOutcome {
    // outcomeIndex of every item now in the album, in order.
    std::vector<std::size_t> moved;
    quint64 movedSize = 0;
    // Items refused (an id of the wrong shape), unknown to the application or
    // in a batch the application did not take: they keep their state.
    qint64 notMovedCount = 0;
    // outcomeIndex of each of those items with its reason, in order. Items a
    // Stop left untried are in neither list.
    std::vector<std::pair<std::size_t, PhotosNotMovedReason>> notMoved;
    // An album could not be made: its library and every later one were left
    // alone.
    bool albumFailed = false;
    // The user has not allowed this program to control the application.
    bool isAppNotAutharizedToMoveDups = false;
};

struct PhotosStepSettings {
    QString albumName;
    // Taken before an album is made, while the application settles.
    std::chrono::milliseconds pauseBeforeAlbum { 1000 };
    // Called when an album must be made and the application is not running.
    std::function<void()> applicationNotRunning;
    // Called for each item once its batch is in the album.
    std::function<void(const PhotosStepItem&)> onMoved;
};

// Puts the marked photo-library items into the album albumName of the photo
// application, library by library in the order first met: the album is made
// when no container has exactly its name, then the items go in batches of at
// most 99. Stop (abort) ends a library's items; later libraries get their
// album but no items. Nothing is ever removed. Runs on the clean-up worker;
// blocks while the application answers.
PhotosStepOutcome runPhotosLibraryStep(const std::vector<PhotosStepItem>& items, PhotosBridge& bridge,
    const PhotosStepSettings& settings, const std::atomic<bool>& abort);

// The collected items of a run's outcomes that are not in the album, as
// failures with their reason; one a Stop left untried says so.
std::vector<RemovalOutcome> itemsLeftOutOfAlbum(
    const std::vector<RemovalOutcome>& outcomes, const PhotosStepOutcome& photos);
