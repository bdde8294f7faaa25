#pragma once

#include <QString>
#include <QVariantMap>

// Reads the metadata of one picture into an image-properties dictionary with
// the keys of ImagePropertyKey (core/ExifInfo.h): pixel size, DPI, colour
// model and profile name at the top level, and the {Exif}, {TIFF}, {GPS},
// {IPTC} and {ExifAux} sub-dictionaries with the entries that are present.
// Numbers are numbers, texts are texts, ISO speeds and keywords are lists.
//
// Only regular files reached without following a link are read, opened
// without blocking. A file that is missing, not an image, or whose
// metadata cannot be parsed gives an empty dictionary; nothing is reported.
// Safe on any thread; runs on the preview pool.
QVariantMap imagePropertiesOfFile(const QString& path);

namespace ImagePropertiesDetail {

// The description of an ICC profile ("sRGB IEC61966-2.1"), from a 'desc' tag
// of type 'desc' or 'mluc'; empty when the profile has none or is damaged.
QString iccProfileDescription(const QByteArray& profile);

} // namespace ImagePropertiesDetail
