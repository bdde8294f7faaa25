#include "platform/ImageProcessing.h"

#include "core/FileUtilities.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

// The picture read from device (open, at its start), decoded at a size that
// fits into box (keeping its proportions) when box is given, at its own size
// otherwise; null when its header states more than largestPixels pixels.
QImage decodePicture(QIODevice& device, const std::optional<QSizeF>& box, bool enlarge, qint64 largestPixels)
{
    QImageReader reader(&device);
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
// the descriptor that was checked.
QImage readPicture(const QString& path, const std::optional<QSizeF>& box, bool enlarge,
    qint64 largestPixels = ImageProcessing::largestPicturePixels)
{
    const OpenedFile file = openRegularFile(path, LinkFollowing::refuse);
    if (!file.isOpen())
        return {};
    QFile device;
    if (!device.open(file.fd.get(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return {};
    return decodePicture(device, box, enlarge, largestPixels);
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

QImage ImageProcessing::resizeImageFromDevice(QIODevice& device, int size, qint64 largestPixels)
{
    if (size < 1)
        return {};
    return decodePicture(device, QSizeF(size, size), false, largestPixels);
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
