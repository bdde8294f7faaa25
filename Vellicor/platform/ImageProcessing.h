#pragma once

#include <QImage>
#include <QString>

#include <optional>

// Picture thumbnails for the results screen's grid. Runs on the thumbnail
// loader's thread; touches no shared state.

// The picture at path drawn into a new transparent image of width by height
// pixels: scaled by the smaller of the two ratios so that all of it shows,
// centred across and standing at the top, turned upright as its EXIF
// orientation says. Large pictures are decoded at the drawn size, never at
// full size. A null image when there is no path, the path is not a regular
// file, the file is not a picture, or the picture has no area.
QImage resizedImageFromFile(const std::optional<QString>& path, float width, float height);
