#include "results/PreviewLoader.h"

#include "core/FileUtilities.h"
#include "platform/ImageProcessing.h"

#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QMimeDatabase>
#include <QPointer>
#include <QStyle>
#include <QThreadPool>

namespace {

QThreadPool& previewPool()
{
    // Two readers are enough for a pane and a window; a slow disk holds up
    // previews, never the scan's or the grid's threads.
    static QThreadPool* pool = [] {
        auto* made = new QThreadPool;
        made->setMaxThreadCount(2);
        made->setExpiryTimeout(10'000);
        return made;
    }();
    return *pool;
}

// The stored size is read from the header alone; an unknown size is left to
// the reader's allocation limit.
QImage readPicture(QIODevice& device, const QString& path, const QSize& box)
{
    QImageReader reader(&device);
    const QSize stored = reader.size();
    if (stored.isValid() && qint64(stored.width()) * stored.height() > largestPreviewPixels)
        return {};
    return ImageProcessing::resizeImageWithFilePath(path, std::max(box.width(), box.height()));
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

} // namespace

PreviewContent readPreviewContent(const QString& path, const QSize& box, bool withText)
{
    static const QMimeDatabase mimes;
    PreviewContent content;
    // Only a regular file is opened (a pipe or a device would block or never
    // end); anything else is told by its name.
    const OpenedFile file = openRegularFile(path);
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
        content.picture = readPicture(device, path, box);
    else if (withText && type.inherits(QStringLiteral("text/plain")))
        content.text = readTextStart(device);
    return content;
}

QIcon typeIconForPath(const QString& path)
{
    static const QMimeDatabase mimes;
    const QMimeType type = mimes.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    return typeIcon({ {}, std::nullopt, type.iconName(), type.genericIconName() });
}

QIcon typeIcon(const PreviewContent& content)
{
    const QIcon fallback = QApplication::style()->standardIcon(QStyle::SP_FileIcon);
    return QIcon::fromTheme(content.iconName, QIcon::fromTheme(content.genericIconName, fallback));
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

void PreviewLoader::request(const QString& path, const QSize& box, bool withText)
{
    const quint64 generation = ++*generation_;
    QPointer<PreviewLoader> self(this);
    std::shared_ptr<std::atomic<quint64>> current = generation_;
    previewPool().start([self, current, generation, path, box, withText] {
        if (current->load() != generation)
            return;
        PreviewContent content = readPreviewContent(path, box, withText);
        // The loader is looked at only on the GUI thread, where it is deleted.
        QMetaObject::invokeMethod(
            qApp,
            [self, current, generation, path, content = std::move(content)] {
                if (self && current->load() == generation)
                    emit self->loaded(path, content);
            },
            Qt::QueuedConnection);
    });
}

void PreviewLoader::cancel()
{
    ++*generation_;
}
