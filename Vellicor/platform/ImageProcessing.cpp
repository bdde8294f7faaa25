#include "platform/ImageProcessing.h"

#include "core/FileUtilities.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <cmath>

QImage resizedImageFromFile(const std::optional<QString>& path, float width, float height)
{
    if (!path || !(width >= 1) || !(height >= 1) || !std::isfinite(width) || !std::isfinite(height))
        return {};
    const OpenedFile file = openRegularFile(*path);
    if (!file.isOpen())
        return {};
    QFile device;
    if (!device.open(file.fd.get(), QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return {};

    QImageReader reader(&device);
    reader.setAutoTransform(true);
    // The reader scales the picture as stored, before turning it upright.
    const bool turned = reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    const QSize stored = reader.size();
    const QSize shown = turned ? stored.transposed() : stored;
    QSize drawn;
    if (stored.isValid() && !stored.isEmpty()) {
        const double scale = std::min(width / shown.width(), height / shown.height());
        drawn = QSize(std::max(1, static_cast<int>(std::lround(shown.width() * scale))),
            std::max(1, static_cast<int>(std::lround(shown.height() * scale))));
        reader.setScaledSize(turned ? drawn.transposed() : drawn);
    }

    QImage picture = reader.read();
    if (picture.isNull() || picture.width() <= 0 || picture.height() <= 0)
        return {};
    if (drawn.isEmpty()) {
        // Formats that state no size in their header are decoded first.
        picture = picture.scaled(
            QSize(static_cast<int>(width), static_cast<int>(height)), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }

    QImage canvas(QSize(static_cast<int>(std::lround(width)), static_cast<int>(std::lround(height))),
        QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.drawImage(QPoint((canvas.width() - picture.width()) / 2, 0), picture);
    painter.end();
    return canvas;
}
