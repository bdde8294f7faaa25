#pragma once

#include <QByteArray>
#include <QRect>
#include <QtGlobal>

#include <array>
#include <optional>
#include <vector>

class QIODevice;

// How much of a JPEG whose bytes end before its end its decoder draws from
// data. The decoder fills whatever its data did not reach and says nothing of
// it, so what it reached is counted here, from the scans the bytes hold: the
// picture is drawn from data once a scan that first brings values (its
// scans in a sequential picture, its first scans of DC coefficients in a
// progressive one) is whole and no such scan is cut short, and up to where
// its units of blocks end in the scan of first values cut short, counted by
// decoding that scan's Huffman codes as its decoder does, a whole unit of
// blocks at a time: with the standard tables where the picture defines none
// (as a video camera's frames leave them out), each restart interval on its
// own. A scan of arithmetic codes cut short is decoded likewise, with the
// conditioning the picture defines. Past the units so reached the picture is
// grey: its decoder leaves the values of a scan of Huffman codes at nothing
// (mid grey) there, but takes zeros for arithmetic codes, which draw
// rubbish, and the colours of the other scans (a scan per colour) are drawn
// there whole: those parts are told, to be painted grey. Fed by
// PictureChecks as it walks the picture's segments; pure, any thread.
class JpegCoverage {
public:
    JpegCoverage();

    // The segments, in the order the picture holds them, with their payloads
    // (after the length).
    void frame(int marker, const QByteArray& payload);
    void huffmanTables(const QByteArray& payload);
    void arithmeticConditioning(const QByteArray& payload);
    void restartInterval(const QByteArray& payload);
    // A scan's header; its data begins at dataStart of the device.
    void scanStarts(const QByteArray& payload, qint64 dataStart);
    // The data of the scan last started reached a marker: the scan is whole.
    void scanEnded();

    struct Reach {
        // The share, 0 to 1, of the picture drawn from data.
        double share = 1;
        // The parts of the picture (as stored, at its full size) past that
        // where its decoder draws something other than grey; empty where it
        // draws grey there itself.
        std::vector<QRect> notGrey;
    };
    // The scan cut short is read again from device (from its data's start,
    // no further than its units reached, or than enough of them when the
    // decoder draws grey past them itself; device's place is left where the
    // reading ended): a share past enough is then counted up to enough only.
    Reach reach(QIODevice& device, double enough = 1) const;

    struct HuffmanTable {
        // The largest code of each length (-1: none of that length), and
        // what is added to a code of that length to find its value.
        std::array<int, 17> maxCode {};
        std::array<int, 17> valueOffset {};
        std::vector<quint8> values;
        // Codes of at most 8 bits looked up by the next 8 bits: their length
        // (0 for a longer code) and value.
        std::array<quint8, 256> fastLength {};
        std::array<quint8, 256> fastValue {};
    };

private:
    struct Component {
        int id = 0;
        int across = 1;
        int down = 1;
        bool whole = false;
    };
    // Where a table is defined: its counts of codes by length at at of bytes
    // (the payload of the segment that defines it, shared), its values after
    // them.
    struct TableDefinition {
        QByteArray bytes;
        int at = 0;
    };
    using Definitions = std::array<std::optional<TableDefinition>, 4>;
    using Tables = std::array<std::optional<HuffmanTable>, 4>;
    // Of each slot: the sizes of a DC difference below which the next is
    // conditioned as on none, and above which as on a large one (as powers
    // of two); the last AC coefficient conditioned as a low one.
    struct Conditioning {
        std::array<int, 4> dcSmall { 0, 0, 0, 0 };
        std::array<int, 4> dcLarge { 1, 1, 1, 1 };
        std::array<int, 4> acSplit { 5, 5, 5, 5 };
    };
    static Tables made(const Definitions& definitions);

    struct ScanComponent {
        std::size_t component = 0;
        // Its tables' slots.
        std::size_t dc = 0;
        std::size_t ac = 0;
    };
    struct Scan {
        std::vector<ScanComponent> components;
        // The tables defined when it started.
        Definitions dcTables;
        Definitions acTables;
        Conditioning conditioning;
        // Whether it brings its components' first values, and the AC
        // coefficients with them (a sequential scan).
        bool firstValues = false;
        bool withAc = false;
        qint64 dataStart = 0;
        int restartInterval = 0;
    };

    // The units of blocks the scan holds, in rows of across units of size
    // pixels (fractions of a pixel where a colour's sampling is uneven).
    struct Units {
        qint64 count = 0;
        qint64 across = 0;
        double width = 0;
        double height = 0;
    };
    Units unitsOf(const Scan& scan) const;
    // Of the scan's first enough units, those decoded whole, and the one its
    // data ended in (enough when it reached them all).
    struct Decoded {
        qint64 whole = 0;
        qint64 reached = 0;
    };
    Decoded unitsDecoded(const Scan& scan, QIODevice& device, qint64 enough) const;
    template <typename Blocks> Decoded unitsDecoded(const Scan& scan, Blocks& blocks, qint64 enough) const;

    int width_ = 0;
    int height_ = 0;
    bool huffman_ = true;
    bool arithmetic_ = false;
    bool progressive_ = false;
    bool framed_ = false;
    std::vector<Component> components_;
    // The tables a scan starting now would use, of each slot, as defined:
    // made into tables only to count a scan cut short, so that a picture
    // that defines tables over and over costs no more than reading them.
    Definitions dcTables_;
    Definitions acTables_;
    Conditioning conditioning_;
    int restartInterval_ = 0;
    // The scan whose data is being read, until it reaches a marker.
    std::optional<Scan> open_;
};
