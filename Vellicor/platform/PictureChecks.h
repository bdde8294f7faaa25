#pragma once

#include <QByteArray>
#include <QRect>
#include <QString>

#include <optional>
#include <vector>

class QIODevice;

// What a picture from outside may cost before a decoder sees it. The
// toolkit's decoders can be neither interrupted nor told a memory bound of
// their own (beyond the toolkit's allocation limit for the picture they
// make), so whatever would make one run for long or take gigabytes is looked
// for first, cheaply, and such a picture is not decoded at all. Pure; any
// thread.

namespace PictureBounds {

// A progressive JPEG, or one whose colours come in separate scans, is
// decoded scan after scan into a buffer of every coefficient of the whole
// picture (128 bytes a block of 8 by 8), each scan a pass over the blocks of
// its colours; scaling while decoding makes only the output smaller. Encoders
// write about ten scans; a crafted file holds thousands in a few bytes each.
// The passes bound the time (some 15 ns a block: half a second; a 50
// megapixel photo with colours at full resolution takes 11 million in ten
// scans), the buffer the memory: 302 MB for that photo, so the bound admits
// progressive photos of 55 megapixels with colours at full resolution, 110
// with the usual halved colours. A buffer past jpegSharedBytes waits for any
// other such decode to end first (ImageProcessing), so the decoders of the
// grid and the previews together never hold more than one of them.
inline constexpr int jpegScans = 100;
inline constexpr qint64 jpegBlockPasses = 32'000'000;
inline constexpr qint64 jpegCoefficientBytes = 320ll * 1024 * 1024;
inline constexpr qint64 jpegSharedBytes = 64ll * 1024 * 1024;
// A vector picture's document, unpacked: its reader builds a tree of every
// element and, for a compressed one, unpacks it whole first.
inline constexpr qint64 vectorDocumentBytes = 4ll * 1024 * 1024;

} // namespace PictureBounds

// The toolkit's format a file's name lets it be decoded as, by its extension
// (any case, with the usual other spellings); empty when the name allows none
// that the toolkit reads. A file is decoded only when its name allows some
// format: a vector picture only as its name says, a raster picture as the
// raster format its content names (a PNG saved as .jpg is common) or else as
// its name says.
QByteArray pictureFormatForName(const QString& name);
bool isVectorPictureFormat(const QByteArray& format);
// The raster format a picture's first bytes (a dozen are enough) name by
// their signature, among those a camera, a phone or a web page uses: JPEG,
// PNG, GIF, BMP and WebP; empty for any other, a vector picture among them.
// Its decoder still refuses bytes that only begin like one.
QByteArray rasterFormatOfContent(const QByteArray& start);

// What the JPEG read from device (from its start) costs its decoder.
struct JpegCost {
    // Why it is not to be decoded: more scans or passes over blocks than the
    // bounds, or several scans over more coefficients than the bound. Empty
    // when it may be, and for bytes that are no JPEG (its decoder refuses
    // those).
    QString refusal;
    // The buffer of coefficients its decoder holds from the first scan to the
    // last; 0 for a picture in one scan, decoded a row of blocks at a time.
    qint64 bufferBytes = 0;
    // Its bytes end before its end marker: its decoder fills in what is
    // missing.
    bool cutShort = false;
    // Whether it was read through; when not, its buffer is known to be past
    // the size asked about, and nothing else is known.
    bool whole = true;
    // The share, 0 to 1, of the picture its decoder draws from data: below
    // 1 only for one cut short before its first values were whole
    // (JpegCoverage), counted no further than the share enough asked for
    // where its decoder draws grey past it itself.
    double drawnShare = 1;
    // Of one cut short, the parts past that share (as stored, at its full
    // size) where its decoder draws something other than grey: to be shown
    // grey.
    std::vector<QRect> notGrey;
};
// Reads no further than the scan past a bound, nor, given stopPast, than
// where its buffer is known to be past stopPast bytes (the headers of a
// progressive picture), and puts device back at its start. The data of a
// picture cut short is read again as far as it reached, or as far as the
// share enough of it: what decides whether it shows (a share past enough is
// told as at least enough).
JpegCost jpegCost(QIODevice& device, std::optional<qint64> stopPast = std::nullopt, double enough = 1);
QString jpegRefusal(QIODevice& device);

// A vector picture's document checked for its renderer: read from device
// (from its start), unpacked when compressed, never beyond the bound either
// way. Refused when larger, when it is no well-formed document, when it is
// compressed twice (the renderer would unpack it again without a bound), or
// when it names anything outside itself: its renderer opens a named file
// without the care this program takes (a pipe would block it for good) and
// decodes an embedded picture by its content without any bound.
struct VectorDocument {
    QByteArray text;
    // Why it is refused; empty when text may be rendered.
    QString refusal;
};
VectorDocument checkedVectorDocument(QIODevice& device);

namespace PictureChecksDetail {

// The bytes of a gzip stream (its members in turn) unpacked, or none when
// they are damaged or unpack to more than limit bytes; at most limit + 1
// bytes are ever held.
std::optional<QByteArray> unpackedGzip(const QByteArray& packed, qint64 limit);

} // namespace PictureChecksDetail
