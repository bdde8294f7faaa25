#include "results/ThumbnailProvider.h"

#include "base/Log.h"
#include "platform/BoundedNetworkAccess.h"
#include "platform/ImageProcessing.h"
#include "results/PreviewLoader.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QMimeDatabase>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QStandardPaths>
#include <QUrl>

#include <atomic>

namespace {

QString keyOf(const FileInfoNode& file)
{
    return file.filePath.value_or(QString());
}

bool isDecodablePicture(const FileInfoNode& file)
{
    return file.fileCategory == GlobalObjects::FileCategory::Pic && !file.isRawFormat;
}

} // namespace

ThumbnailProvider::ThumbnailProvider(QSize pictureSize, qint64 cacheBytes, QObject* parent)
    : QObject(parent)
    , pictureSize_(pictureSize)
    // Two decoders keep the disk busy without starving the scan or the GUI.
    , threads_(new DecodeThreads(2))
    , generation_(std::make_shared<std::atomic<quint64>>(0))
{
    cache_.setMaxCost(qsizetype(std::max<qint64>(1, cacheBytes)));
}

ThumbnailProvider::~ThumbnailProvider()
{
    ++*generation_;
    // Closing the results or quitting waits for a decode under way only so
    // long: a read that never ends (a stalled network mount) keeps its
    // threads, left behind, instead of the screen or the quit.
    if (!DecodeThreads::release(threads_, longestCloseWaitMs))
        Log::print("Thumbnail decoding still under way when the results closed; left to end by itself");
}

std::optional<QImage> ThumbnailProvider::cached(const FileInfoNode& file) const
{
    if (const QImage* image = cache_.object(keyOf(file)))
        return *image;
    return std::nullopt;
}

void ThumbnailProvider::request(const FileInfoNode& file, ScanSource source)
{
    const QString key = keyOf(file);
    if (key.isEmpty() || cache_.contains(key) || pending_.contains(key))
        return;
    const bool picture = isDecodablePicture(file);
    if (source == ScanSource::googleDrive && picture && file.cloud && file.cloud->googleDriveThumbnailLink) {
        const QUrl link(*file.cloud->googleDriveThumbnailLink, QUrl::StrictMode);
        // Only a web address is fetched: a link naming a local file or any
        // other scheme is not followed.
        if (link.isValid() && (link.scheme() == "https" || link.scheme() == "http")) {
            pending_.insert(key);
            fetchCloudPicture(key, link);
            return;
        }
    }
    // Other files of the cloud services are not on this disk: their type
    // icon stands for them.
    if (source != ScanSource::thisComputer) {
        deliver(*generation_, key, picture ? QImage() : typeIcon(key));
        return;
    }
    pending_.insert(key);
    const QSize size = pictureSize_;
    // A picture that cannot be shown (damaged, refused for a bound), and any
    // other file without a stored thumbnail, show their type: the
    // placeholder stands only for what is still on its way.
    decodeOnPool(key, [key, picture, size](DecodeTurn& turn) {
        return picture ? decodePicture(key, size, &turn) : storedDesktopThumbnail(key, &turn);
    });
}

void ThumbnailProvider::decodeOnPool(const QString& key, Make make)
{
    const quint64 generation = *generation_;
    QPointer<ThumbnailProvider> self(this);
    auto current = generation_;
    threads_->start([current, generation] { return *current != generation; },
        [self, current, generation, key, make](DecodeTurn& turn) {
            if (*current != generation)
                return;
            QImage image = make(turn);
            // Asked again on the lane of large pictures.
            if (turn.handedBack || !self)
                return;
            QMetaObject::invokeMethod(
                self.data(),
                [self, generation, key, make, image = std::move(image), notCome = turn.notCome,
                    turnsGivenBack = turn.turnsGivenBack] {
                    if (!self)
                        return;
                    if (notCome)
                        self->askAgainAfterTurn(generation, key, make, turnsGivenBack);
                    else
                        self->deliver(generation, key, image.isNull() ? self->typeIcon(key) : image);
                },
                Qt::QueuedConnection);
        });
}

void ThumbnailProvider::askAgainAfterTurn(quint64 generation, const QString& key, Make make, quint64 turnsGivenBack)
{
    if (generation != *generation_)
        return;
    // Not known yet, so no answer is kept: the item keeps its placeholder,
    // and a request meanwhile (the grid scrolled) starts it again.
    pending_.remove(key);
    QPointer<ThumbnailProvider> self(this);
    // Told maybe long after this goes.
    whenLargeDecodeTurnGivenBack(turnsGivenBack, [self, generation, key, make] {
        if (!self || generation != *self->generation_ || self->cache_.contains(key) || self->pending_.contains(key))
            return;
        self->pending_.insert(key);
        self->decodeOnPool(key, make);
    });
}

void ThumbnailProvider::fetchCloudPicture(const QString& key, const QUrl& link)
{
    // Fetched where the listing said (no redirect is followed); a whole
    // picture within the time and size, however its answer goes on.
    if (!network_)
        network_ = new BoundedNetworkAccess(HttpLimits::within(cloudMaxBytes, cloudTimeoutMs), this);
    QNetworkReply* reply = network_->get(QNetworkRequest(link));
    const quint64 generation = *generation_;
    connect(reply, &QNetworkReply::finished, this, [this, reply, key, generation] {
        reply->deleteLater();
        if (generation != *generation_)
            return;
        if (reply->error() != QNetworkReply::NoError) {
            Log::print(QStringLiteral("Unable to load data: %1").arg(reply->errorString()));
            deliver(generation, key, {});
            return;
        }
        const QByteArray data = reply->readAll();
        const QSize size = pictureSize_;
        decodeOnPool(key, [data, size](DecodeTurn& turn) { return decodePictureData(data, size, &turn); });
    });
}

QImage ThumbnailProvider::decodePictureData(const QByteArray& data, QSize size, DecodeTurn* turn)
{
    return ImageProcessing::resizeDownloadedImage(data, size, maxPicturePixels, turn);
}

void ThumbnailProvider::deliver(quint64 generation, const QString& key, const QImage& image)
{
    if (generation != *generation_)
        return;
    pending_.remove(key);
    cache_.insert(key, new QImage(image), std::max<qsizetype>(1, image.sizeInBytes()));
    emit thumbnailReady(key);
}

void ThumbnailProvider::clear()
{
    ++*generation_;
    threads_->clear();
    pending_.clear();
    cache_.clear();
}

bool ThumbnailProvider::isDecompressionBomb(QSize stored)
{
    return stored.isValid() && qint64(stored.width()) * stored.height() > maxPicturePixels;
}

bool ThumbnailProvider::waitForDone(int msecs)
{
    return threads_->waitForDone(msecs);
}

QImage ThumbnailProvider::decodePicture(const QString& path, QSize size, DecodeTurn* turn)
{
    return ImageProcessing::resizeImageWithFilePath(
        path, std::max(size.width(), size.height()), maxPicturePixels, turn);
}

QImage ThumbnailProvider::storedDesktopThumbnail(const QString& path, DecodeTurn* turn)
{
    const QString uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
    const QString name
        = QString::fromLatin1(QCryptographicHash::hash(uri.toUtf8(), QCryptographicHash::Md5).toHex()) + ".png";
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + "/thumbnails/";
    for (const char* folder : { "large/", "normal/" }) {
        const QString stored = base + QLatin1String(folder) + name;
        if (QFileInfo(stored).isFile()) {
            // Same safe, size-bounded read as for pictures.
            QImage image = ImageProcessing::resizeImageWithFilePath(stored, 256, maxPicturePixels, turn);
            if (!image.isNull() || (turn && !turn->answered()))
                return image;
        }
    }
    return {};
}

QImage ThumbnailProvider::typeIcon(const QString& path)
{
    // By name only: no file is opened on the GUI thread.
    static const QMimeDatabase mimes;
    const QMimeType type = mimes.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    auto found = icons_.constFind(type.name());
    if (found != icons_.constEnd())
        return *found;
    // The preview pane's icon: the desktop's, else our image of the type's
    // family.
    const QIcon icon = ::typeIcon(PreviewContent { {}, std::nullopt, type.iconName(), type.genericIconName() });
    const int side = std::min(pictureSize_.width(), pictureSize_.height()) / 2;
    const QImage image = icon.isNull() ? QImage() : icon.pixmap(side, side).toImage();
    icons_.insert(type.name(), image);
    return image;
}
