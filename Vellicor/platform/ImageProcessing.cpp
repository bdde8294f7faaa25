#include "platform/ImageProcessing.h"

#include "base/Log.h"
#include "core/FileUtilities.h"
#include "platform/PictureChecks.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// The picture read from device (open, at its start) as format, decoded at a
// size that fits into box (keeping its proportions) when box is given, at
// its own size otherwise; null when device holds no picture of that format,
// its header states more than largestPixels pixels or it is refused for a
// bound (logged, naming source).
QImage decodePicture(QIODevice& device, const QByteArray& format, const std::optional<QSizeF>& box, bool enlarge,
    qint64 largestPixels, const QString& source)
{
    if (format.isEmpty())
        return {};
    QString refusal;
    QBuffer document;
    QIODevice* input = &device;
    if (isVectorPictureFormat(format)) {
        VectorDocument checked = checkedVectorDocument(device);
        refusal = checked.refusal;
        document.setData(checked.text);
        document.open(QIODevice::ReadOnly);
        input = &document;
    } else if (format == "jpeg") {
        refusal = jpegRefusal(device);
    }
    if (!refusal.isEmpty()) {
        Log::print("Picture not shown:", refusal, source);
        return {};
    }

    // Decoded as the format asked for or not at all, whatever the content
    // claims to be. A vector picture's document is plain by now.
    QImageReader reader(input, isVectorPictureFormat(format) ? QByteArray("svg") : format);
    reader.setAutoDetectImageFormat(false);
    reader.setDecideFormatFromContent(false);
    if (!reader.canRead())
        return {};
    reader.setAutoTransform(true);
    // The reader scales the picture as stored, before turning it upright.
    const bool turned = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    const QSize stored = reader.size();
    if (stored.isValid() && qint64(stored.width()) * stored.height() > largestPixels)
        return {};
    const QSize shown = turned ? stored.transposed() : stored;
    QSize drawn;
    if (box && stored.isValid() && !stored.isEmpty()) {
        double scale = std::min(box->width() / shown.width(), box->height() / shown.height());
        if (!enlarge)
            scale = std::min(scale, 1.0);
        drawn = QSize(std::max(1, static_cast<int>(std::lround(shown.width() * scale))),
            std::max(1, static_cast<int>(std::lround(shown.height() * scale))));
        reader.setScaledSize(turned ? drawn.transposed() : drawn);
    }

    // Past the checks above, the toolkit's allocation limit bounds what a
    // decoder that cannot scale while reading makes at full size.
    QImage picture = reader.read();
    if (picture.isNull() || picture.width() <= 0 || picture.height() <= 0)
        return {};
    if (box && drawn.isEmpty()) {
        // Formats that state no size in their header are decoded first.
        const QSize limit(static_cast<int>(box->width()), static_cast<int>(box->height()));
        if (enlarge || picture.width() > limit.width() || picture.height() > limit.height())
            picture = picture.scaled(limit, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    return picture;
}

// The picture at path, read only when the name itself is a regular file (a
// link is not followed, a FIFO or device never blocks the reader), through
// the descriptor that was checked, as the format its name allows.
QImage readPicture(const QString& path, const std::optional<QSizeF>& box, bool enlarge,
    qint64 largestPixels = ImageProcessing::largestPicturePixels)
{
    const QByteArray format = pictureFormatForName(path);
    if (format.isEmpty())
        return {};
    const OpenedFile file = openRegularFile(path, LinkFollowing::refuse);
    if (!file.isOpen())
        return {};
    QFile device;
    if (!device.open(file.fd.get(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return {};
    return decodePicture(device, format, box, enlarge, largestPixels, path);
}

bool isUsableSide(float side)
{
    return std::isfinite(side) && side >= 1;
}

} // namespace

QPointF ImageProcessingDetail::thumbnailOrigin(const QSizeF& drawn, const QSizeF& canvas)
{
    const double x = (248 - drawn.width()) * 0.5;
    const double top = canvas.height() - 244;
    return QPointF(std::clamp(x, 0.0, std::max(0.0, canvas.width() - drawn.width())),
        std::clamp(top, 0.0, std::max(0.0, canvas.height() - drawn.height())));
}

QImage resizedImageFromFile(const std::optional<QString>& path, float width, float height)
{
    if (!path || !isUsableSide(width) || !isUsableSide(height))
        return {};
    const QImage picture = readPicture(*path, QSizeF(width, height), true);
    if (picture.isNull())
        return {};

    QImage canvas(QSize(static_cast<int>(std::lround(width)), static_cast<int>(std::lround(height))),
        QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    const QPointF origin = ImageProcessingDetail::thumbnailOrigin(QSizeF(picture.size()), QSizeF(canvas.size()));
    painter.drawImage(QPoint(static_cast<int>(origin.x()), static_cast<int>(origin.y())), picture);
    painter.end();
    return canvas;
}

QImage ImageProcessing::resizeImageWithFilePath(const QString& path, int size, qint64 largestPixels)
{
    if (size < 1)
        return {};
    return readPicture(path, QSizeF(size, size), false, largestPixels);
}

QImage ImageProcessing::resizeImageFromDevice(QIODevice& device, const QString& name, int size, qint64 largestPixels)
{
    if (size < 1)
        return {};
    return decodePicture(device, pictureFormatForName(name), QSizeF(size, size), false, largestPixels, name);
}

QImage ImageProcessing::resizeDownloadedImage(const QByteArray& bytes, QSize box, qint64 largestPixels)
{
    if (box.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    // A service draws its thumbnails as raster pictures, whatever the file;
    // the format is told by the content among these alone.
    const QByteArray format = QImageReader::imageFormat(&buffer);
    static const QByteArray rasters[] = { "jpeg", "png", "gif", "bmp", "webp" };
    if (std::find(std::begin(rasters), std::end(rasters), format) == std::end(rasters))
        return {};
    buffer.seek(0);
    return decodePicture(buffer, format, QSizeF(box), false, largestPixels, QStringLiteral("a downloaded thumbnail"));
}

QImage ImageProcessing::convertOriginalImageToBWImageWithOriginalImage(const QImage& image)
{
    if (image.isNull())
        return {};
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::black);
    QPainter painter(&opaque);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.drawImage(0, 0, image);
    painter.end();
    return opaque.convertToFormat(QImage::Format_Grayscale8);
}

QImage ImageProcessing::getImageThumbnailFromFilePath(const QString& path, float width, float height)
{
    return resizedImageFromFile(path, width, height);
}

QImage ImageProcessing::getImageFromFile(const QString& path, float width, float height)
{
    return resizedImageFromFile(path, width, height);
}
