#pragma once

#include <QByteArray>
#include <QString>

// JPEG pictures as cameras and phones write them, at their real sizes, for the
// tests and the benchmarks: made with the system's JPEG library, which lets
// the colours' sampling be chosen (the toolkit's writer always halves it both
// ways). The picture is made a row at a time, never held whole.
namespace CameraPictures {

// How finely the two colour components are sampled beside brightness.
enum class Chroma {
    full, // every pixel (4:4:4), as a re-exported photo often is
    halfAcross, // every second pixel across (4:2:2)
    halfBothWays, // every second pixel both ways (4:2:0), as most cameras write
};

struct Jpeg {
    int width = 0;
    int height = 0;
    Chroma chroma = Chroma::halfBothWays;
    bool progressive = false;
    // Grain added to a smooth scene, 0 to 64: none gives a small file that
    // decodes at once; about 12 gives the bytes a photo of that size takes.
    int grain = 0;
    int quality = 90;
    // Units of blocks between restart markers; none by default, as most
    // cameras write.
    int restartInterval = 0;
    // Arithmetic codes in place of Huffman ones.
    bool arithmetic = false;
    // One scan for each colour component in turn (brightness, then the two
    // colours), in place of one scan of all three; sequential pictures only.
    bool scanPerComponent = false;
};

// Writes the picture to path; whether it was written.
bool write(const QString& path, const Jpeg& picture);

// Where the coded data of a JPEG's first scan lie: from the end of its
// header to the marker after it (both -1 when it has none).
struct ScanData {
    qsizetype start = -1;
    qsizetype end = -1;
    // The place a share (0 to 1) of the way through the data.
    qsizetype at(double share) const { return start + qsizetype(double(end - start) * share); }
};
ScanData firstScanData(const QByteArray& jpeg);
// The same of its scan at index (from 0).
ScanData scanData(const QByteArray& jpeg, int index);

} // namespace CameraPictures
