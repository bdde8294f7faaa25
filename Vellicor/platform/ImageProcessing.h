#pragma once

#include <QImage>
#include <QPointF>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <functional>
#include <optional>

class QIODevice;

// Whether the one who asked for a picture no longer wants it (a newer request,
// the screen closed); asked while a decode waits for its turn.
using DecodeAbandoned = std::function<bool()>;

// A large JPEG's turn as the one who asked for the picture sees it: given to
// the decoder, which tells in it what became of the turn. A JPEG whose buffer
// is past PictureBounds::jpegSharedBytes is decoded only while it holds the
// one turn of the whole process, the turns taken in the order asked.
struct DecodeTurn {
    DecodeAbandoned abandoned;
    // Whether the decode may wait for its turn on the calling thread. When
    // not, a picture that needs one is handed back undecoded, to be asked
    // again on a thread that may wait (DecodeThreads).
    bool mayWait = true;

    // Told by the decoder: the picture needs a turn and was handed back.
    bool handedBack = false;
    // Told by the decoder: its turn did not come within the longest wait;
    // the picture is not decoded, and is asked again once a turn has been
    // given back after turnsGivenBack were (whenLargeDecodeTurnGivenBack).
    bool notCome = false;
    quint64 turnsGivenBack = 0;

    // Whether the decoder answered: the picture, or a null image for one
    // that cannot be shown.
    bool answered() const { return !handedBack && !notCome; }
};

// Calls then on the application's thread, queued, once a large decode's
// turn has been given back after seen turns were (at once when one has
// already been). Then must be quick and must not decode.
void whenLargeDecodeTurnGivenBack(quint64 seen, std::function<void()> then);

// Scaled, thumbnail and grey-scale pictures: the one bounded decoder of the
// grid's thumbnails, the previews and the cloud services' thumbnails. Runs
// on any thread (the thumbnail loader's, normally); touches no shared state.
// Every picture is turned upright as its EXIF orientation says, and large
// pictures are decoded at the size drawn, never at full size. A picture is
// read only from a regular file reached without following a link, opened
// without blocking and read through the descriptor checked, and decoded only
// when its name allows a format (pictureFormatForName), within bounds of
// memory and time: the toolkit's allocation limit, a JPEG's scans and buffer
// of coefficients, a vector picture's unpacked size and what it refers to
// (PictureChecks). A JPEG whose buffer is past PictureBounds::jpegSharedBytes
// is decoded when no other such is, in turn (DecodeTurn), a decoder waiting
// at most largeDecodeWaitMs and leaving when its asker abandons it. A JPEG
// cut short is grey past what its decoder drew from data (PictureChecks), and
// no picture when that is less than leastDecodedShare of it. A picture
// refused for a bound is logged.

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
    // Longest wait for the turn of a large JPEG's decode: the one other
    // waiter that may be ahead of it (DecodeThreads) and the decode under way
    // take some three seconds; longer means a decode stuck on a read.
    static constexpr int largeDecodeWaitMs = 30'000;
    // The least share of a JPEG cut short that its decoder must have values
    // for (PictureChecks counts it from the scans its bytes hold) for it to
    // be shown, the rest grey. Less is a strip along its top, or a few of
    // its first blocks, above a grey box: nothing to know the picture by.
    static constexpr double leastDecodedShare = 0.1;

    // A thumbnail whose longer side is at most size pixels, its proportions
    // kept; a smaller picture keeps its size. Null as above, and for a
    // picture of more than largestPixels pixels.
    static QImage resizeImageWithFilePath(
        const QString& path, int size, qint64 largestPixels = largestPicturePixels, DecodeTurn* turn = nullptr);
    // The same from a device already open at the picture's start, decoded
    // as the format name allows.
    static QImage resizeImageFromDevice(QIODevice& device, const QString& name, int size,
        qint64 largestPixels = largestPicturePixels, DecodeTurn* turn = nullptr);
    // A thumbnail a service sent, fitted into box (never enlarged): a raster
    // picture told by its content, whatever the file it stands for; null for
    // anything else (a vector picture among them) and as above.
    static QImage resizeDownloadedImage(
        const QByteArray& bytes, QSize box, qint64 largestPixels, DecodeTurn* turn = nullptr);
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

// The longest wait for a large JPEG's turn is
// ImageProcessing::largeDecodeWaitMs; a test sets a shorter one here, and 0
// puts it back.
void setLargeDecodeWaitForTests(int msecs);

} // namespace ImageProcessingDetail
