#include "support/CameraPictures.h"

#include <QFile>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace {

struct FailureExit {
    jpeg_error_mgr manager;
    std::jmp_buf back;
};

[[noreturn]] void failed(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<FailureExit*>(info->err)->back, 1);
}

// A sky over a field with a sun, its colours changing slowly across, and
// grain from a fixed sequence: every run makes the same bytes.
void fillRow(std::vector<JSAMPLE>& row, int y, const CameraPictures::Jpeg& picture, quint32& seed)
{
    const int horizon = picture.height * 3 / 5;
    const qint64 sunX = picture.width * 7ll / 10;
    const qint64 sunY = picture.height / 4;
    const qint64 sunRadius = picture.height / 10;
    for (int x = 0; x < picture.width; ++x) {
        int red;
        int green;
        int blue;
        const qint64 dx = x - sunX;
        const qint64 dy = y - sunY;
        if (dx * dx + dy * dy < sunRadius * sunRadius) {
            red = 250, green = 230, blue = 150;
        } else if (y < horizon) {
            red = 70 + 80 * y / horizon;
            green = 120 + 60 * y / horizon;
            blue = 220 - 40 * x / picture.width;
        } else {
            red = 60 + 40 * x / picture.width;
            green = 140 - 50 * (y - horizon) / (picture.height - horizon);
            blue = 50;
        }
        int grain = 0;
        if (picture.grain > 0) {
            seed = seed * 1664525u + 1013904223u;
            grain = int(seed >> 24) % (2 * picture.grain + 1) - picture.grain;
        }
        const auto clamped = [](int value) { return JSAMPLE(std::clamp(value, 0, 255)); };
        row[size_t(3 * x)] = clamped(red + grain);
        row[size_t(3 * x + 1)] = clamped(green + grain);
        row[size_t(3 * x + 2)] = clamped(blue - grain);
    }
}

// Kept apart from anything with a destructor: a failure jumps back over it.
bool compress(std::FILE* out, const CameraPictures::Jpeg& picture, std::vector<JSAMPLE>& row)
{
    jpeg_compress_struct info {};
    FailureExit error {};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = failed;
    if (setjmp(error.back)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, out);
    info.image_width = JDIMENSION(picture.width);
    info.image_height = JDIMENSION(picture.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, picture.quality, TRUE);
    // The brightness's sampling against the colours' (which stay at one).
    info.comp_info[0].h_samp_factor = picture.chroma == CameraPictures::Chroma::full ? 1 : 2;
    info.comp_info[0].v_samp_factor = picture.chroma == CameraPictures::Chroma::halfBothWays ? 2 : 1;
    if (picture.progressive)
        jpeg_simple_progression(&info);
    jpeg_scan_info separate[3] {};
    if (picture.scanPerComponent && !picture.progressive) {
        for (int c = 0; c < 3; ++c)
            separate[c] = { 1, { c, 0, 0, 0 }, 0, 63, 0, 0 };
        info.scan_info = separate;
        info.num_scans = 3;
    }
    info.restart_interval = static_cast<unsigned>(picture.restartInterval);
    info.arith_code = picture.arithmetic ? TRUE : FALSE;
    jpeg_start_compress(&info, TRUE);
    quint32 seed = 1;
    while (info.next_scanline < info.image_height) {
        fillRow(row, int(info.next_scanline), picture, seed);
        JSAMPROW rows[] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

} // namespace

CameraPictures::ScanData CameraPictures::firstScanData(const QByteArray& jpeg)
{
    return scanData(jpeg, 0);
}

CameraPictures::ScanData CameraPictures::scanData(const QByteArray& jpeg, int index)
{
    qsizetype from = 0;
    for (int scan = 0;; ++scan) {
        const qsizetype header = jpeg.indexOf("\xff\xda", from);
        if (header < 0 || header + 4 > jpeg.size())
            return {};
        ScanData data;
        data.start = header + 2 + (quint8(jpeg[header + 2]) << 8 | quint8(jpeg[header + 3]));
        // A stuffed zero and a restart marker belong to the data.
        for (qsizetype at = data.start; at + 1 < jpeg.size(); ++at) {
            const int next = quint8(jpeg[at + 1]);
            if (quint8(jpeg[at]) == 0xff && next != 0x00 && (next < 0xd0 || next > 0xd7)) {
                data.end = at;
                break;
            }
        }
        if (data.end < 0)
            return {};
        if (scan == index)
            return data;
        from = data.end;
    }
}

bool CameraPictures::write(const QString& path, const Jpeg& picture)
{
    if (picture.width <= 0 || picture.height <= 0)
        return false;
    std::FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!out)
        return false;
    std::vector<JSAMPLE> row(size_t(picture.width) * 3);
    const bool written = compress(out, picture, row);
    return std::fclose(out) == 0 && written;
}
