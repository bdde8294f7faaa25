#include "results/PreviewLoader.h"

#include "controls/NamedImage.h"
#include "core/ExifInfo.h"
#include "core/FileUtilities.h"
#include "platform/DecodeThreads.h"
#include "platform/ImageProcessing.h"
#include "platform/ImageProperties.h"

#include <QApplication>
#include <QFile>
#include <QHash>
#include <QMimeDatabase>
#include <QPainter>
#include <QPixmap>
#include <QPointer>

namespace {

DecodeThreads& previewThreads()
{
    // Two readers are enough for a pane and a window; a slow disk holds up
    // previews, never the scan's or the grid's threads.
    static auto* threads = new DecodeThreads(2);
    return *threads;
}

QString readTextStart(QIODevice& device)
{
    QByteArray bytes = device.read(previewTextBytes);
    // A character cut at the end is dropped rather than shown as a stray sign.
    if (bytes.size() == previewTextBytes) {
        qsizetype end = bytes.size();
        while (end > 0 && (quint8(bytes[end - 1]) & 0xc0) == 0x80)
            --end;
        if (end > 0 && quint8(bytes[end - 1]) >= 0xc0)
            bytes.truncate(end - 1);
    }
    QString text = QString::fromUtf8(bytes);
    text.replace(QChar(0), QChar(0xfffd));
    return text;
}

// Runs work on the preview threads unless generation has moved on from mine
// by the time it starts, and hands its result to deliver on the GUI thread
// with the turn it was given. Work is told in its turn whether generation has
// moved on since.
template <typename Work, typename Deliver>
void startUnlessSuperseded(
    const std::shared_ptr<std::atomic<quint64>>& generation, quint64 mine, Work work, Deliver deliver)
{
    previewThreads().start([current = generation, mine] { return current->load() != mine; },
        [current = generation, mine, work = std::move(work), deliver = std::move(deliver)](DecodeTurn& turn) {
            if (current->load() != mine)
                return;
            auto result = work(turn);
            // Asked again on the lane of large pictures.
            if (turn.handedBack)
                return;
            QMetaObject::invokeMethod(
                qApp, [deliver, turn, result = std::move(result)]() mutable { deliver(std::move(result), turn); },
                Qt::QueuedConnection);
        });
}

} // namespace

PreviewContent readPreviewContent(const QString& path, const QSize& box, bool withText, DecodeTurn* turn)
{
    static const QMimeDatabase mimes;
    PreviewContent content;
    // Only a regular file is opened, never through a link (a pipe or a device
    // would block or never end), and read through the descriptor checked;
    // anything else is told by its name.
    const OpenedFile file = openRegularFile(path, LinkFollowing::refuse);
    QFile device;
    if (!file.isOpen() || !device.open(file.fd.get(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle)) {
        const QMimeType type = mimes.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
        return { {}, std::nullopt, type.iconName(), type.genericIconName() };
    }
    const QMimeType type = mimes.mimeTypeForFileNameAndData(path, &device);
    content.iconName = type.iconName();
    content.genericIconName = type.genericIconName();
    device.seek(0);
    if (type.name().startsWith(QLatin1String("image/")))
        content.picture = ImageProcessing::resizeImageFromDevice(
            device, path, std::max(box.width(), box.height()), largestPreviewPixels, turn);
    else if (withText && type.inherits(QStringLiteral("text/plain")))
        content.text = readTextStart(device);
    return content;
}

QImage decodePreviewPicture(const QByteArray& bytes, const QSize& box, DecodeTurn* turn)
{
    return ImageProcessing::resizeDownloadedImage(bytes, box.expandedTo(QSize(1, 1)), largestPreviewPixels, turn);
}

QIcon typeIconForPath(const QString& path)
{
    static const QMimeDatabase mimes;
    const QMimeType type = mimes.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    return typeIcon({ {}, std::nullopt, type.iconName(), type.genericIconName() });
}

QIcon typeIcon(const PreviewContent& content)
{
    if (QIcon::hasThemeIcon(content.iconName))
        return QIcon::fromTheme(content.iconName);
    if (QIcon::hasThemeIcon(content.genericIconName))
        return QIcon::fromTheme(content.genericIconName);
    return categoryIcon(content.genericIconName);
}

QIcon categoryIcon(const QString& genericIconName)
{
    // The desktop names a type's family by these; our own category images
    // stand for them where its icon theme has none.
    static const std::pair<const char*, const char*> families[] = {
        { "audio-x-generic", "music_icon" },
        { "video-x-generic", "video_icon" },
        { "image-x-generic", "img_icon" },
        { "package-x-generic", "archive_icon" },
        { "text-x-generic", "document_icon" },
        { "x-office-document", "document_icon" },
        { "x-office-spreadsheet", "document_icon" },
        { "x-office-presentation", "document_icon" },
    };
    QString image = QStringLiteral("other_icon");
    for (const auto& [family, name] : families) {
        if (genericIconName == QLatin1String(family))
            image = QString::fromLatin1(name);
    }
    static QHash<QString, QIcon> made;
    if (const auto found = made.constFind(image); found != made.constEnd())
        return *found;
    // Drawn once, large: the icon scales it down to any size asked for.
    constexpr int side = 256;
    QPixmap pixels(side, side);
    pixels.fill(Qt::transparent);
    QPainter painter(&pixels);
    painter.setRenderHint(QPainter::Antialiasing);
    NamedImage::load(image).drawCentred(painter, QRectF(0, 0, side, side));
    painter.end();
    return *made.insert(image, QIcon(pixels));
}

PreviewLoader::PreviewLoader(QObject* parent)
    : QObject(parent)
    , generation_(std::make_shared<std::atomic<quint64>>(0))
{
}

PreviewLoader::~PreviewLoader()
{
    cancel();
}

void PreviewLoader::start(const QString& key, Work work)
{
    run(key, ++*generation_, std::move(work));
}

void PreviewLoader::run(const QString& key, quint64 generation, Work work)
{
    QPointer<PreviewLoader> self(this);
    // The loader is looked at only on the GUI thread, where it is deleted.
    startUnlessSuperseded(generation_, generation, work,
        [self, current = generation_, generation, key, work](const PreviewContent& content, const DecodeTurn& turn) {
            if (!self || current->load() != generation)
                return;
            if (turn.notCome) {
                // Nothing to show yet: asked again, while it is still the
                // one wanted, once a turn has been given back.
                whenLargeDecodeTurnGivenBack(turn.turnsGivenBack, [self, current, generation, key, work] {
                    if (self && current->load() == generation)
                        self->run(key, generation, work);
                });
                return;
            }
            emit self->loaded(key, content);
        });
}

void PreviewLoader::request(const QString& path, const QSize& box, bool withText)
{
    start(path, [path, box, withText](DecodeTurn& turn) { return readPreviewContent(path, box, withText, &turn); });
}

void PreviewLoader::requestData(const QString& key, const QByteArray& bytes, const QSize& box)
{
    start(key, [key, bytes, box](DecodeTurn& turn) {
        PreviewContent content;
        content.picture = decodePreviewPicture(bytes, box, &turn);
        if (content.picture.isNull())
            content.iconName = QStringLiteral("image-x-generic");
        return content;
    });
}

void PreviewLoader::cancel()
{
    ++*generation_;
}

PictureMetadataLoader::PictureMetadataLoader(QObject* parent)
    : QObject(parent)
    , generation_(std::make_shared<std::atomic<quint64>>(0))
{
}

PictureMetadataLoader::~PictureMetadataLoader()
{
    ++*generation_;
}

bool PictureMetadataLoader::needsReading(const FileInfoNode& file, ScanSource source)
{
    const bool local = source == ScanSource::thisComputer || source == ScanSource::lightroomCatalog;
    return local && file.fileCategory == GlobalObjects::FileCategory::Pic && !file.isDirectory && file.filePath
        && !file.exifInfo();
}

void PictureMetadataLoader::request(const FileInfoNodePtr& file)
{
    if (!file || !file->filePath)
        return;
    QPointer<PictureMetadataLoader> self(this);
    std::weak_ptr<FileInfoNode> record = file;
    startUnlessSuperseded(
        generation_, ++*generation_,
        [path = *file->filePath](DecodeTurn&) {
            auto exif = std::make_shared<ExifInfo>();
            exif->fillExifInfo(imagePropertiesOfFile(path));
            return exif;
        },
        // The record is written only on the GUI thread, where the screen reads it.
        [self, record](std::shared_ptr<ExifInfo> exif, const DecodeTurn&) {
            const FileInfoNodePtr file = record.lock();
            if (!file)
                return;
            if (!file->exifInfo())
                file->setExifInfo(std::move(exif));
            if (self)
                emit self->metadataRead(file);
        });
}
