#pragma once

#include <QImage>
#include <QPointF>
#include <QSizeF>
#include <QString>

#include <optional>

class QIODevice;

// Scaled, thumbnail and grey-scale pictures. Runs on any thread (the
// thumbnail loader's, normally); touches no shared state. Every picture is
// turned upright as its EXIF orientation says, and large pictures are
// decoded at the size drawn, never at full size. A picture is read only
// from a regular file reached without following a link, opened without
// blocking and read through the descriptor checked.

// The picture at path drawn into a new transparent image of width by height
// pixels, scaled by the smaller of the two ratios so that all of it shows,
// and placed for the results grid (see ImageProcessingDetail). A null image
// when there is no path, the path is not a regular file (or is a link), the
// file is not a picture, the picture has no area or states more pixels than
// ImageProcessing::largestPicturePixels.
QImage resizedImageFromFile(const std::optional<QString>& path, float width, float height);

struct ImageProcessing {
    // Largest picture decoded at all, against files that claim a huge size
    // to exhaust memory; no camera makes larger ones. Qt's own allocation
    // limit still guards the decoders that cannot scale while reading.
    static constexpr qint64 largestPicturePixels = 200'000'000;

    // A thumbnail whose longer side is at most size pixels, its proportions
    // kept; a smaller picture keeps its size. Null as above, and for a
    // picture of more than largestPixels pixels.
    static QImage resizeImageWithFilePath(const QString& path, int size, qint64 largestPixels = largestPicturePixels);
    // The same from a device already open at the picture's start.
    static QImage resizeImageFromDevice(QIODevice& device, int size, qint64 largestPixels = largestPicturePixels);
    // A grey copy without transparency (transparent parts turn black); null
    // for a null image.
    static QImage convertOriginalImageToBWImageWithOriginalImage(const QImage& image);
    static QImage getImageThumbnailFromFilePath(const QString& path, float width, float height);
    static QImage getImageFromFile(const QString& path, float width, float height);
};

namespace ImageProcessingDetail {

// Where a picture of drawn size stands in a thumbnail of canvas size (top
// left corner, y down): across, centred on 124 points from the left; its top
// edge 4 points above a canvas 240 high (a canvas of another height moves
// the top edge by as much). Kept inside the canvas, so nothing is cut: the
// results grid's 250 by 240 shows a wide picture from the left edge and a
// tall one from the top.
QPointF thumbnailOrigin(const QSizeF& drawn, const QSizeF& canvas);

} // namespace ImageProcessingDetail
