#pragma once

#include "core/FileInfoNode.h"
#include "core/GlobalObjects.h"
#include "platform/DecodeThreads.h"
#include "platform/ImageProcessing.h"

#include <QCache>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QSize>

class BoundedNetworkAccess;
class QUrl;

#include <functional>
#include <memory>

// The pictures of the thumbnail grid. The grid asks for the files it shows;
// local pictures are decoded at the drawn size on decoding threads of its own
// (DecodeThreads: a large JPEG waits for its turn without holding up the
// others, and one whose turn did not come is asked again once a turn is given
// back), other files get a cached desktop thumbnail when one exists, else
// their type icon; pictures of a cloud drive are fetched from their thumbnail
// link, with a time limit, and decoded on those threads too. Answers come
// back on the GUI thread through thumbnailReady and land
// in a cache bounded in bytes, keyed by the file's path, never in the file
// records: a hundred thousand records would otherwise hold gigabytes. clear()
// forgets everything and drops the answers still on their way, so a picture
// of an old result set never shows in a new one. Lives on the GUI thread;
// the pool threads touch only their own copies.
class ThumbnailProvider : public QObject {
    Q_OBJECT
public:
    static constexpr qint64 maxPicturePixels = ImageProcessing::largestPicturePixels;
    static bool isDecompressionBomb(QSize stored);
    // A cloud thumbnail that takes longer, or is larger, is given up.
    static constexpr int cloudTimeoutMs = 15'000;
    static constexpr qint64 cloudMaxBytes = 8ll * 1024 * 1024;
    // Longest wait for the decoders when the provider goes (the results
    // screen closes, the program quits).
    static constexpr int longestCloseWaitMs = 1000;

    explicit ThumbnailProvider(QSize pictureSize, qint64 cacheBytes = 96ll * 1024 * 1024, QObject* parent = nullptr);
    ~ThumbnailProvider() override;

    // What to show for file: the picture once ready, its type's icon when it
    // is no picture or its picture could not be decoded (refused for a bound,
    // damaged), a null image when a cloud picture's thumbnail could not be
    // fetched (the cell then keeps its placeholder), nothing while it is
    // still unknown or waiting for its turn. Never reads a file.
    std::optional<QImage> cached(const FileInfoNode& file) const;
    // Starts making the picture unless it is cached or on its way.
    void request(const FileInfoNode& file, ScanSource source);
    void clear();
    // Waits for the pool at most msecs; whether it is idle. For tests.
    bool waitForDone(int msecs = 30'000);
    int pendingCount() const { return int(pending_.size()); }

    // Pool side, pure: the picture at path fitted into size, upright; null
    // for a file that is not a readable picture, or not a regular file
    // reached without a link (never opened in a way that could block).
    static QImage decodePicture(const QString& path, QSize size, DecodeTurn* turn = nullptr);
    // The desktop's stored thumbnail of path, when there is one.
    static QImage storedDesktopThumbnail(const QString& path, DecodeTurn* turn = nullptr);
    static QImage decodePictureData(const QByteArray& data, QSize size, DecodeTurn* turn = nullptr);

signals:
    void thumbnailReady(const QString& key);

private:
    void deliver(quint64 generation, const QString& key, const QImage& image);
    QImage typeIcon(const QString& path);
    void fetchCloudPicture(const QString& key, const QUrl& link);
    using Make = std::function<QImage(DecodeTurn&)>;
    // Runs make on the decoding threads; what it could not make shows the
    // type's icon.
    void decodeOnPool(const QString& key, Make make);
    // A picture whose turn did not come: asked again, while this result set
    // shows, once a turn has been given back after turnsGivenBack were.
    void askAgainAfterTurn(quint64 generation, const QString& key, Make make, quint64 turnsGivenBack);

    QSize pictureSize_;
    // Owned; left behind, never waited for without end, when a decode is
    // still running at the provider's end.
    DecodeThreads* threads_;
    QCache<QString, QImage> cache_;
    QSet<QString> pending_;
    QHash<QString, QImage> icons_;
    BoundedNetworkAccess* network_ = nullptr;
    std::shared_ptr<std::atomic<quint64>> generation_;
};
