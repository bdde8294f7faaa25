#include "platform/ImageProcessing.h"

#include "base/Log.h"
#include "core/FileUtilities.h"
#include "platform/PictureChecks.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <QScopeGuard>
#include <QTransform>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <set>
#include <vector>

namespace {

// The turns of the decodes that hold a large buffer, taken in the order asked
// for by every decoder of the process, so that only one holds it at a time
// and none waits behind ever newer ones.
class LargeDecodeTurns {
public:
    static LargeDecodeTurns& shared()
    {
        static LargeDecodeTurns turns;
        return turns;
    }

    enum class Waited { came, abandoned, notCome };

    // Whether the turn came: not when abandoned meanwhile or past the
    // longest wait, which tells in turnsGivenBack how many turns had been
    // given back by then. A turn that came is given back with done().
    Waited wait(const DecodeAbandoned& abandoned, quint64& turnsGivenBack)
    {
        using namespace std::chrono;
        const int longest = longestWaitMs.load();
        const auto deadline
            = steady_clock::now() + milliseconds(longest > 0 ? longest : ImageProcessing::largeDecodeWaitMs);
        std::unique_lock lock(mutex_);
        const quint64 ticket = next_++;
        while (serving_ != ticket) {
            // Looked at every so often: the asker says so by no signal.
            changed_.wait_for(lock, milliseconds(50));
            if (serving_ == ticket)
                break;
            const bool left = abandoned && abandoned();
            if (left || steady_clock::now() >= deadline) {
                givenUp_.insert(ticket);
                turnsGivenBack = givenBack_;
                return left ? Waited::abandoned : Waited::notCome;
            }
        }
        return Waited::came;
    }

    void done()
    {
        std::vector<std::function<void()>> waiting;
        {
            const std::lock_guard lock(mutex_);
            ++givenBack_;
            ++serving_;
            while (givenUp_.erase(serving_) > 0)
                ++serving_;
            waiting.swap(whenGivenBack_);
        }
        changed_.notify_all();
        for (const std::function<void()>& then : waiting)
            then();
    }

    void whenGivenBack(quint64 seen, std::function<void()> then)
    {
        {
            const std::lock_guard lock(mutex_);
            if (givenBack_ == seen) {
                whenGivenBack_.push_back(std::move(then));
                return;
            }
        }
        then();
    }

    // A test's shorter wait; 0 for the real one.
    std::atomic<int> longestWaitMs = 0;

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    quint64 next_ = 0;
    quint64 serving_ = 0;
    std::set<quint64> givenUp_;
    quint64 givenBack_ = 0;
    std::vector<std::function<void()>> whenGivenBack_;
};

// The format a picture is decoded as: a vector picture's as its name says, a
// raster picture's as its content names when it names one (a PNG saved with
// the name of a JPEG), else as its name says. Leaves device where it was.
QByteArray decodedFormat(QIODevice& device, const QByteArray& named)
{
    if (isVectorPictureFormat(named))
        return named;
    const QByteArray content = rasterFormatOfContent(device.peek(16));
    return content.isEmpty() ? named : content;
}

// The parts of a picture stored at full size as stored (in pixels) painted
// grey, as its decoder draws what it has no values for, in picture: the
// picture scaled and turned upright as transformation says.
void paintGrey(QImage& picture, const std::vector<QRect>& parts, const QSize& stored,
    QImageIOHandler::Transformations transformation)
{
    if (stored.isEmpty())
        return;
    const bool turned = transformation.testFlag(QImageIOHandler::TransformationRotate90);
    const QSize scaled = turned ? picture.size().transposed() : picture.size();
    QTransform upright
        = QTransform::fromScale(double(scaled.width()) / stored.width(), double(scaled.height()) / stored.height());
    if (transformation.testFlag(QImageIOHandler::TransformationMirror))
        upright *= QTransform(-1, 0, 0, 1, scaled.width(), 0);
    if (transformation.testFlag(QImageIOHandler::TransformationFlip))
        upright *= QTransform(1, 0, 0, -1, 0, scaled.height());
    // A quarter turn clockwise: (x, y) to (height - y, x).
    if (turned)
        upright *= QTransform(0, 1, -1, 0, scaled.height(), 0);
    QPainter painter(&picture);
    for (const QRect& part : parts)
        painter.fillRect(upright.mapRect(QRectF(part)).toAlignedRect(), QColor(128, 128, 128));
}

// The picture read from device (open, at its start) as the format its name
// allows (decodedFormat), decoded at a size that fits into box (keeping its
// proportions) when box is given, at its own size otherwise; null when device
// holds no picture of that format, its header states more than largestPixels
// pixels, it is refused for a bound, it is a JPEG cut short before
// ImageProcessing::leastDecodedShare of it was decoded (logged, naming
// source), or its turn did not come (told in turn).
QImage decodePicture(QIODevice& device, const QByteArray& named, const std::optional<QSizeF>& box, bool enlarge,
    qint64 largestPixels, const QString& source, DecodeTurn* turn)
{
    if (named.isEmpty())
        return {};
    const QByteArray format = decodedFormat(device, named);
    QString refusal;
    QBuffer document;
    QIODevice* input = &device;
    bool large = false;
    std::vector<QRect> notGrey;
    if (isVectorPictureFormat(format)) {
        VectorDocument checked = checkedVectorDocument(device);
        refusal = checked.refusal;
        document.setData(checked.text);
        document.open(QIODevice::ReadOnly);
        input = &document;
    } else if (format == "jpeg") {
        // A thread that may not wait for a large picture's turn hands it back
        // as soon as it is known to be one, before it reads it through.
        const bool mayWait = !turn || turn->mayWait;
        const JpegCost cost = jpegCost(device, mayWait ? std::nullopt : std::optional(PictureBounds::jpegSharedBytes),
            ImageProcessing::leastDecodedShare);
        if (!cost.whole) {
            turn->handedBack = true;
            return {};
        }
        refusal = cost.refusal;
        large = cost.bufferBytes > PictureBounds::jpegSharedBytes;
        notGrey = cost.notGrey;
        if (refusal.isEmpty() && cost.cutShort && cost.drawnShare < ImageProcessing::leastDecodedShare) {
            Log::print(QStringLiteral("Picture not shown: a JPEG picture cut short, %1 % of it decoded, less than %2 %")
                           .arg(cost.drawnShare * 100, 0, 'f', 1)
                           .arg(ImageProcessing::leastDecodedShare * 100, 0, 'f', 0),
                source);
            return {};
        }
    }
    if (!refusal.isEmpty()) {
        Log::print("Picture not shown:", refusal, source);
        return {};
    }

    // Decoded as that format or not at all. A vector picture's document is
    // plain by now.
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
    QImage picture;
    if (large) {
        LargeDecodeTurns& turns = LargeDecodeTurns::shared();
        quint64 givenBack = 0;
        const LargeDecodeTurns::Waited waited = turns.wait(turn ? turn->abandoned : DecodeAbandoned(), givenBack);
        if (waited != LargeDecodeTurns::Waited::came) {
            if (waited == LargeDecodeTurns::Waited::notCome) {
                const int longest = turns.longestWaitMs.load();
                Log::print(QStringLiteral("Picture not shown yet: another large picture was still decoding after %1 s")
                               .arg((longest > 0 ? longest : ImageProcessing::largeDecodeWaitMs) / 1000.0),
                    source);
                if (turn) {
                    turn->notCome = true;
                    turn->turnsGivenBack = givenBack;
                }
            }
            return {};
        }
        const auto next = qScopeGuard([&turns] { turns.done(); });
        picture = reader.read();
    } else {
        picture = reader.read();
    }
    if (picture.isNull() || picture.width() <= 0 || picture.height() <= 0)
        return {};
    if (!notGrey.empty())
        paintGrey(picture, notGrey, stored, reader.transformation());
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
    qint64 largestPixels = ImageProcessing::largestPicturePixels, DecodeTurn* turn = nullptr)
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
    return decodePicture(device, format, box, enlarge, largestPixels, path, turn);
}

bool isUsableSide(float side)
{
    return std::isfinite(side) && side >= 1;
}

} // namespace

void whenLargeDecodeTurnGivenBack(quint64 seen, std::function<void()> then)
{
    // Queued to the application's thread, where the askers live, from
    // whichever thread gives the turn back.
    LargeDecodeTurns::shared().whenGivenBack(
        seen, [then = std::move(then)] { QMetaObject::invokeMethod(qApp, then, Qt::QueuedConnection); });
}

void ImageProcessingDetail::setLargeDecodeWaitForTests(int msecs)
{
    LargeDecodeTurns::shared().longestWaitMs = std::max(0, msecs);
}

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

QImage ImageProcessing::resizeImageWithFilePath(const QString& path, int size, qint64 largestPixels, DecodeTurn* turn)
{
    if (size < 1)
        return {};
    return readPicture(path, QSizeF(size, size), false, largestPixels, turn);
}

QImage ImageProcessing::resizeImageFromDevice(
    QIODevice& device, const QString& name, int size, qint64 largestPixels, DecodeTurn* turn)
{
    if (size < 1)
        return {};
    return decodePicture(device, pictureFormatForName(name), QSizeF(size, size), false, largestPixels, name, turn);
}

QImage ImageProcessing::resizeDownloadedImage(
    const QByteArray& bytes, QSize box, qint64 largestPixels, DecodeTurn* turn)
{
    if (box.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    // A service draws its thumbnails as raster pictures, whatever the file;
    // the format is told by the content alone.
    const QByteArray format = rasterFormatOfContent(bytes.left(16));
    if (format.isEmpty())
        return {};
    return decodePicture(
        buffer, format, QSizeF(box), false, largestPixels, QStringLiteral("a downloaded thumbnail"), turn);
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
