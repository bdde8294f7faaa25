#include "support/HostilePictures.h"

#include <zlib.h>

#include <algorithm>
#include <functional>

namespace {

// Deflates the chunks next() hands out until it hands out an empty one, in
// gzip framing when gzip says so (zlib framing otherwise).
QByteArray deflated(const std::function<QByteArray()>& next, bool gzip)
{
    z_stream stream {};
    deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, gzip ? 16 + MAX_WBITS : MAX_WBITS, 9, Z_DEFAULT_STRATEGY);
    QByteArray out;
    char buffer[64 * 1024];
    for (QByteArray chunk = next();; chunk = next()) {
        const bool last = chunk.isEmpty();
        stream.next_in = reinterpret_cast<Bytef*>(chunk.data());
        stream.avail_in = uInt(chunk.size());
        do {
            stream.next_out = reinterpret_cast<Bytef*>(buffer);
            stream.avail_out = sizeof buffer;
            deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
            out.append(buffer, qsizetype(sizeof buffer - stream.avail_out));
        } while (stream.avail_out == 0);
        if (last)
            break;
    }
    deflateEnd(&stream);
    return out;
}

QByteArray bigEndian(quint32 value, int bytes)
{
    QByteArray out;
    for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8)
        out.append(char((value >> shift) & 0xff));
    return out;
}

QByteArray pngChunk(const char* type, const QByteArray& data)
{
    const QByteArray typed = QByteArray(type) + data;
    return bigEndian(quint32(data.size()), 4) + typed
        + bigEndian(quint32(crc32(0, reinterpret_cast<const Bytef*>(typed.constData()), uInt(typed.size()))), 4);
}

} // namespace

QByteArray HostilePictures::gzipped(const QByteArray& bytes)
{
    bool given = false;
    return deflated(
        [&] {
            const QByteArray chunk = given ? QByteArray() : bytes;
            given = true;
            return chunk;
        },
        true);
}

QByteArray HostilePictures::vectorBomb(qint64 unpackedBytes)
{
    const qint64 chunkBytes = 1024 * 1024;
    qint64 left = unpackedBytes;
    int step = 0;
    return deflated(
        [&]() -> QByteArray {
            if (step == 0) {
                ++step;
                return "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100\" height=\"100\">"
                       "<rect width=\"100\" height=\"100\" fill=\"red\"/><!--";
            }
            if (left > 0) {
                const qint64 now = std::min(left, chunkBytes);
                left -= now;
                return QByteArray(now, ' ');
            }
            if (step == 1) {
                ++step;
                return "--></svg>";
            }
            return {};
        },
        true);
}

QByteArray HostilePictures::manyScanJpeg(int width, int height, int scans)
{
    QByteArray out("\xff\xd8", 2);
    // One quantisation table, all ones.
    out += QByteArray("\xff\xdb", 2) + bigEndian(67, 2) + QByteArray(1, '\0') + QByteArray(64, 1);
    // A progressive frame of one component.
    out += QByteArray("\xff\xc2", 2) + bigEndian(11, 2) + QByteArray(1, 8) + bigEndian(quint32(height), 2)
        + bigEndian(quint32(width), 2) + QByteArray("\x01\x01\x11\x00", 4);
    // An AC table of one code, one bit long, for a run of empty blocks whose
    // length follows in 14 bits.
    QByteArray counts(16, '\0');
    counts[0] = 1;
    out += QByteArray("\xff\xc4", 2) + bigEndian(20, 2) + QByteArray(1, 0x10) + counts + QByteArray(1, char(0xe0));

    // Each run covers 32767 blocks: the code's 0 and fourteen 1s.
    const qint64 blocks = qint64((width + 7) / 8) * ((height + 7) / 8);
    const qint64 runs = (blocks + 32766) / 32767;
    QByteArray data;
    quint32 bits = 0;
    int held = 0;
    const auto put = [&](quint32 value, int count) {
        bits = (bits << count) | value;
        held += count;
        while (held >= 8) {
            const char byte = char((bits >> (held - 8)) & 0xff);
            data.append(byte);
            // A 0xff byte in coded data is followed by a stuffed zero.
            if (quint8(byte) == 0xff)
                data.append('\0');
            held -= 8;
        }
        bits &= (1u << held) - 1;
    };
    for (qint64 run = 0; run < runs; ++run)
        put(0x3fff, 15);
    if (held > 0)
        put((1u << (8 - held)) - 1, 8 - held);

    // Spectral band 1 to 63 of the one component, first pass.
    const QByteArray scan = QByteArray("\xff\xda", 2) + bigEndian(8, 2) + QByteArray("\x01\x01\x00\x01\x3f\x00", 6);
    for (int i = 0; i < scans; ++i)
        out += scan + data;
    out += QByteArray("\xff\xd9", 2);
    return out;
}

QByteArray HostilePictures::largePng(int width, int height)
{
    const QByteArray row(1 + width, '\0');
    int given = 0;
    const QByteArray image = deflated([&] { return given++ < std::min(height, 16) ? row : QByteArray(); }, false);
    // Eight-bit grey, no interlacing.
    const QByteArray header
        = bigEndian(quint32(width), 4) + bigEndian(quint32(height), 4) + QByteArray("\x08\x00\x00\x00\x00", 5);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", image)
        + pngChunk("IEND", QByteArray());
}

QByteArray HostilePictures::vectorReferringTo(const QByteArray& href)
{
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\"100\" "
           "height=\"100\"><rect width=\"100\" height=\"100\" fill=\"red\"/><image width=\"100\" height=\"100\" "
           "xlink:href=\""
        + href + "\"/></svg>";
}
