#include "platform/PictureChecks.h"

#include "platform/ByteStream.h"
#include "platform/JpegCoverage.h"

#include <QIODevice>
#include <QImageReader>
#include <QSet>
#include <QXmlStreamReader>

#include <zlib.h>

#include <algorithm>
#include <array>
#include <limits>
#include <memory>
#include <vector>

namespace {

bool isFrameHeader(int marker)
{
    // Every start-of-frame marker; C4 (Huffman tables), C8 (reserved) and CC
    // (arithmetic conditioning) share the range.
    return marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc;
}

bool isProgressiveFrame(int marker)
{
    return marker == 0xc2 || marker == 0xc6 || marker == 0xca || marker == 0xce;
}

qint64 roundedUp(qint64 value, qint64 step)
{
    return (value + step - 1) / step * step;
}

struct FrameComponent {
    int id = 0;
    qint64 blocks = 0;
};

// Each component of the frame header's payload with its count of 8 by 8
// blocks, as its decoder sizes them: rounded up to whole sampling units.
std::vector<FrameComponent> frameComponents(const QByteArray& frame)
{
    if (frame.size() < 6)
        return {};
    const qint64 height = bigEndian16(frame, 1);
    const qint64 width = bigEndian16(frame, 3);
    const int count = quint8(frame[5]);
    if (frame.size() < 6 + 3 * count)
        return {};
    const auto sampling = [&](int component, bool vertical) {
        const int factors = quint8(frame[6 + 3 * component + 1]);
        return std::clamp(vertical ? factors & 0xf : factors >> 4, 1, 4);
    };
    int widest = 1;
    int tallest = 1;
    for (int c = 0; c < count; ++c) {
        widest = std::max(widest, sampling(c, false));
        tallest = std::max(tallest, sampling(c, true));
    }
    std::vector<FrameComponent> components;
    for (int c = 0; c < count; ++c) {
        const int across = sampling(c, false);
        const int down = sampling(c, true);
        const qint64 blocksAcross = roundedUp((width * across + 8 * widest - 1) / (8 * widest), across);
        const qint64 blocksDown = roundedUp((height * down + 8 * tallest - 1) / (8 * tallest), down);
        components.push_back({ quint8(frame[6 + 3 * c]), blocksAcross * blocksDown });
    }
    return components;
}

// The blocks a scan header's payload passes over: those of its components.
qint64 scanBlocks(const QByteArray& scan, const std::vector<FrameComponent>& components)
{
    qint64 blocks = 0;
    const int count = scan.isEmpty() ? 0 : quint8(scan[0]);
    for (int c = 0; c < count && 1 + 2 * c < scan.size(); ++c) {
        for (const FrameComponent& component : components) {
            if (component.id == quint8(scan[1 + 2 * c]))
                blocks += component.blocks;
        }
    }
    return blocks;
}

bool isGzip(const QByteArray& bytes)
{
    return bytes.startsWith("\x1f\x8b");
}

// The name after a namespace prefix.
QStringView localName(QStringView qualified)
{
    const qsizetype colon = qualified.lastIndexOf(QLatin1Char(':'));
    return colon < 0 ? qualified : qualified.mid(colon + 1);
}

// Why the document names something outside itself, or is no well-formed
// document; empty when neither. Its renderer reads the same tokens with the
// same reader, entities expanded alike.
QString documentRefusal(const QByteArray& text)
{
    QXmlStreamReader xml(text);
    // As its renderer reads it: a prefix without its declaration is no fault.
    xml.setNamespaceProcessing(false);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (localName(xml.qualifiedName()) == QLatin1String("image"))
            return QStringLiteral("a vector picture that holds a picture");
        for (const QXmlStreamAttribute& attribute : xml.attributes()) {
            if (localName(attribute.qualifiedName()) == QLatin1String("href")
                && !attribute.value().trimmed().startsWith(QLatin1Char('#')))
                return QStringLiteral("a vector picture that refers to something outside itself");
        }
    }
    if (xml.hasError())
        return QStringLiteral("a vector picture that is no well-formed document");
    return {};
}

} // namespace

QByteArray pictureFormatForName(const QString& name)
{
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || dot < slash)
        return {};
    QByteArray format = name.mid(dot + 1).toLower().toLatin1();
    static const std::pair<const char*, const char*> spellings[] = { { "jpg", "jpeg" }, { "jpe", "jpeg" },
        { "jfif", "jpeg" }, { "jif", "jpeg" }, { "dib", "bmp" }, { "tif", "tiff" }, { "heic", "heif" } };
    for (const auto& [spelling, known] : spellings) {
        if (format == spelling)
            format = known;
    }
    static const QSet<QByteArray> readable = [] {
        const QList<QByteArray> formats = QImageReader::supportedImageFormats();
        return QSet<QByteArray>(formats.begin(), formats.end());
    }();
    // A compressed vector picture is unpacked here and read as a plain one.
    if (format == "svgz")
        return readable.contains("svg") ? format : QByteArray();
    return readable.contains(format) ? format : QByteArray();
}

bool isVectorPictureFormat(const QByteArray& format)
{
    return format == "svg" || format == "svgz";
}

QByteArray rasterFormatOfContent(const QByteArray& start)
{
    if (start.startsWith("\xff\xd8\xff"))
        return "jpeg";
    if (start.startsWith("\x89PNG\r\n\x1a\n"))
        return "png";
    if (start.startsWith("GIF87a") || start.startsWith("GIF89a"))
        return "gif";
    if (start.startsWith("BM"))
        return "bmp";
    if (start.startsWith("RIFF") && start.mid(8, 4) == "WEBP")
        return "webp";
    return {};
}

JpegCost jpegCost(QIODevice& device, std::optional<qint64> stopPast, double enough)
{
    const qint64 start = device.pos();
    ByteStream in(device);
    QString refusal;
    qint64 bufferBytes = 0;
    bool cutShort = false;
    bool whole = true;
    JpegCoverage::Reach reach;
    JpegCoverage coverage;
    if (in.next() == 0xff && in.next() == 0xd8) {
        int scans = 0;
        qint64 passes = 0;
        bool progressive = false;
        std::optional<std::vector<FrameComponent>> components;
        const auto coefficientBytes = [&components] {
            qint64 bytes = 0;
            for (const FrameComponent& component : components.value_or(std::vector<FrameComponent>()))
                bytes += component.blocks * 128;
            return bytes;
        };
        // Its buffer is held from the start of a progressive frame, and from
        // the second scan of any other.
        const auto knownPast = [&] { return stopPast && (progressive || scans > 1) && coefficientBytes() > *stopPast; };
        for (;;) {
            // Bytes between segments and the entropy-coded data of a scan
            // are passed over up to the next marker, as the decoder does:
            // a stuffed zero and a restart marker belong to the data.
            int byte = in.next();
            while (byte >= 0 && byte != 0xff)
                byte = in.next();
            int marker = in.next();
            while (marker == 0xff)
                marker = in.next();
            if (marker == 0x00 || marker == 0x01 || (marker >= 0xd0 && marker <= 0xd7))
                continue;
            if (marker >= 0)
                coverage.scanEnded();
            if (marker < 0 || marker == 0xd9 || marker == 0xd8) {
                cutShort = marker < 0;
                break;
            }
            const int high = in.next();
            const int low = in.next();
            const int length = (high << 8) | low;
            if (low < 0 || length < 2) {
                cutShort = low < 0;
                break;
            }
            const bool frame = isFrameHeader(marker) && !components;
            const bool tables = marker == 0xc4 || marker == 0xcc || marker == 0xdd;
            const QByteArray payload = in.take(length - 2, frame || tables || marker == 0xda);
            if (frame) {
                progressive = isProgressiveFrame(marker);
                components = frameComponents(payload);
                coverage.frame(marker, payload);
            }
            if (marker == 0xc4)
                coverage.huffmanTables(payload);
            if (marker == 0xcc)
                coverage.arithmeticConditioning(payload);
            if (marker == 0xdd)
                coverage.restartInterval(payload);
            if (marker == 0xda) {
                passes += components ? scanBlocks(payload, *components) : 0;
                ++scans;
                coverage.scanStarts(payload, start + in.taken());
            }
            if (knownPast()) {
                whole = false;
                break;
            }
            if (marker != 0xda)
                continue;
            if (scans > PictureBounds::jpegScans) {
                refusal = QStringLiteral("a JPEG picture of more than %1 scans").arg(PictureBounds::jpegScans);
                break;
            }
            if (passes > PictureBounds::jpegBlockPasses) {
                refusal = QStringLiteral("a JPEG picture whose scans pass over more than %1 blocks")
                              .arg(PictureBounds::jpegBlockPasses);
                break;
            }
        }
        if (progressive || scans > 1)
            bufferBytes = coefficientBytes();
        if (refusal.isEmpty() && bufferBytes > PictureBounds::jpegCoefficientBytes)
            refusal = QStringLiteral("a JPEG picture in several scans that needs %1 MB to decode, more than %2 MB")
                          .arg(bufferBytes / (1024 * 1024))
                          .arg(PictureBounds::jpegCoefficientBytes / (1024 * 1024));
        if (cutShort && refusal.isEmpty())
            reach = coverage.reach(device, enough);
    }
    device.seek(start);
    return { refusal, bufferBytes, cutShort, whole, reach.share, std::move(reach.notGrey) };
}

QString jpegRefusal(QIODevice& device)
{
    return jpegCost(device).refusal;
}

VectorDocument checkedVectorDocument(QIODevice& device)
{
    using PictureBounds::vectorDocumentBytes;
    const QString tooLarge = QStringLiteral("a vector picture of more than %1 bytes unpacked").arg(vectorDocumentBytes);
    QByteArray text = device.read(vectorDocumentBytes + 1);
    if (text.size() > vectorDocumentBytes)
        return { {}, tooLarge };
    if (isGzip(text)) {
        std::optional<QByteArray> unpacked = PictureChecksDetail::unpackedGzip(text, vectorDocumentBytes);
        if (!unpacked)
            return { {}, tooLarge + QStringLiteral(", or damaged") };
        text = std::move(*unpacked);
        if (isGzip(text))
            return { {}, QStringLiteral("a vector picture compressed twice") };
    }
    QString refusal = documentRefusal(text);
    if (!refusal.isEmpty())
        return { {}, refusal };
    return { text, {} };
}

std::optional<QByteArray> PictureChecksDetail::unpackedGzip(const QByteArray& packed, qint64 limit)
{
    z_stream stream {};
    // Gzip framing only: 16 added to the window's bits.
    if (inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK)
        return std::nullopt;
    const std::unique_ptr<z_stream, int (*)(z_stream*)> ends(&stream, inflateEnd);
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(packed.constData()));
    stream.avail_in = uInt(std::min<qsizetype>(packed.size(), std::numeric_limits<uInt>::max()));
    QByteArray unpacked;
    std::array<char, 64 * 1024> chunk;
    for (;;) {
        stream.next_out = reinterpret_cast<Bytef*>(chunk.data());
        stream.avail_out = uInt(chunk.size());
        const int result = inflate(&stream, Z_NO_FLUSH);
        const qsizetype made = qsizetype(chunk.size() - stream.avail_out);
        if (unpacked.size() + made > limit)
            return std::nullopt;
        unpacked.append(chunk.data(), made);
        if (result == Z_STREAM_END) {
            // Members follow one another to the end of the bytes.
            if (stream.avail_in == 0)
                return unpacked;
            if (inflateReset(&stream) != Z_OK)
                return std::nullopt;
        } else if (result != Z_OK) {
            return std::nullopt;
        }
    }
}
