#include "results/ThumbnailProvider.h"

#include "platform/ImageProcessing.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <QMimeDatabase>
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
    , generation_(std::make_shared<std::atomic<quint64>>(0))
{
    // Two decoders keep the disk busy without starving the scan or the GUI.
    pool_.setMaxThreadCount(2);
    cache_.setMaxCost(qsizetype(std::max<qint64>(1, cacheBytes)));
    QImageReader::setAllocationLimit(allocationLimitMiB);
}

ThumbnailProvider::~ThumbnailProvider()
{
    ++*generation_;
    pool_.clear();
    pool_.waitForDone();
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
    // Files of the cloud services are not on this disk: their type icon
    // stands for them, which needs no download.
    if (source != ScanSource::thisComputer) {
        deliver(*generation_, key, typeIcon(key));
        return;
    }
    pending_.insert(key);
    const quint64 generation = *generation_;
    const bool picture = isDecodablePicture(file);
    const QSize size = pictureSize_;
    QPointer<ThumbnailProvider> self(this);
    auto current = generation_;
    pool_.start([self, current, generation, key, picture, size] {
        if (*current != generation)
            return;
        QImage image = picture ? decodePicture(key, size) : storedDesktopThumbnail(key);
        const bool failed = image.isNull();
        QMetaObject::invokeMethod(
            self.data(),
            [self, generation, key, image = std::move(image), picture, failed] {
                if (!self)
                    return;
                // A picture that cannot be read shows the placeholder; any
                // other file without a stored thumbnail shows its type.
                self->deliver(generation, key, failed && !picture ? self->typeIcon(key) : image);
            },
            Qt::QueuedConnection);
    });
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
    pool_.clear();
    pending_.clear();
    cache_.clear();
}

void ThumbnailProvider::waitForDone()
{
    pool_.waitForDone();
}

QImage ThumbnailProvider::decodePicture(const QString& path, QSize size)
{
    return ImageProcessing::resizeImageWithFilePath(path, std::max(size.width(), size.height()));
}

QImage ThumbnailProvider::storedDesktopThumbnail(const QString& path)
{
    const QString uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded);
    const QString name
        = QString::fromLatin1(QCryptographicHash::hash(uri.toUtf8(), QCryptographicHash::Md5).toHex()) + ".png";
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + "/thumbnails/";
    for (const char* folder : { "large/", "normal/" }) {
        const QString stored = base + QLatin1String(folder) + name;
        if (QFileInfo(stored).isFile()) {
            // Same safe, size-bounded read as for pictures.
            QImage image = ImageProcessing::resizeImageWithFilePath(stored, 256);
            if (!image.isNull())
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
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    const int side = std::min(pictureSize_.width(), pictureSize_.height()) / 2;
    const QImage image = icon.isNull() ? QImage() : icon.pixmap(side, side).toImage();
    icons_.insert(type.name(), image);
    return image;
}
