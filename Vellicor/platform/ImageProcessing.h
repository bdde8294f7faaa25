#pragma once

#include <QImage>
#include <QPointF>
#include <QSizeF>
#include <QString>

#include <optional>

// Scaled, thumbnail and grey-scale pictures. Runs on any thread (the
// thumbnail loader's, normally); touches no shared state. Every picture is
// turned upright as its EXIF orientation says, and large pictures are
// decoded at the size drawn, never at full size.

// The picture at path drawn into a new transparent image of width by height
// pixels, scaled by the smaller of the two ratios so that all of it shows,
// and placed for the results grid (see ImageProcessingDetail). A null image
// when there is no path, the path is not a regular file, the file is not a
// picture, or the picture has no area.
QImage resizedImageFromFile(const std::optional<QString>& path, float width, float height);

struct ImageProcessing {
    // A thumbnail whose longer side is at most size pixels, its proportions
    // kept; a smaller picture keeps its size. Null as above.
    static QImage resizeImageWithFilePath(const QString& path, int size);
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
