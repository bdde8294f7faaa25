// The decode of the largest pictures cameras and phones write, as the grid and
// the preview ask for them: a 100 megapixel baseline JPEG, 50 megapixel
// progressive ones with halved and with full colours and a 24 megapixel
// progressive one with full colours, each with a photo's grain. Each is
// decoded at the grid's thumbnail size and at the preview window's on a
// screen of two device pixels to a point; best time of three and the peak
// resident memory of the decode beyond the memory before it; then two of the
// largest progressive ones at once, as the grid's two decoders take them.
//   vellicor_bench_pictures [folder]
// The pictures are written to folder (default a temporary one) once and kept
// there when it is given.
#include "platform/ImageProcessing.h"
#include "results/PreviewLoader.h"
#include "results/ThumbnailProvider.h"
#include "support/CameraPictures.h"

#include "PeakMemory.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <thread>

namespace {

struct Measure {
    double bestMs = 0;
    qint64 peakBytes = 0;
    QSize size;
};

Measure measure(const std::function<QImage()>& decode)
{
    Measure result;
    for (int run = 0; run < 3; ++run) {
        resetPeakMemory();
        const qint64 before = statusBytes("VmRSS");
        QElapsedTimer timer;
        timer.start();
        const QImage image = decode();
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        result.peakBytes = std::max(result.peakBytes, statusBytes("VmHWM") - before);
        result.bestMs = run == 0 ? ms : std::min(result.bestMs, ms);
        result.size = image.size();
    }
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir temporary;
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temporary.path();

    using CameraPictures::Chroma;
    struct Picture {
        const char* name;
        const char* what;
        CameraPictures::Jpeg jpeg;
    };
    // A photo's grain: about the bytes a camera writes at that size.
    constexpr int grain = 12;
    const Picture pictures[] = {
        { "baseline-100mp.jpg", "100 MP baseline 4:2:0", { 11648, 8736, Chroma::halfBothWays, false, grain } },
        { "progressive-50mp-420.jpg", "50 MP progressive 4:2:0", { 8688, 5792, Chroma::halfBothWays, true, grain } },
        { "progressive-50mp-444.jpg", "50 MP progressive 4:4:4", { 8688, 5792, Chroma::full, true, grain } },
        { "progressive-24mp-444.jpg", "24 MP progressive 4:4:4", { 6000, 4000, Chroma::full, true, grain } },
    };
    // The grid's thumbnails (its cell less its margins and texts) and the
    // preview window's picture on a screen of two device pixels a point.
    const QSize grid(194, 180);
    const QSize preview(1440, 1080);
    std::printf(
        "%-26s %8s | %-22s | %-22s\n", "picture", "file MB", "grid 194x180: ms, MB", "preview 1440x1080: ms, MB");
    bool failed = false;
    for (const Picture& picture : pictures) {
        const QString path = folder + QLatin1Char('/') + QLatin1String(picture.name);
        if (!QFileInfo::exists(path) && !CameraPictures::write(path, picture.jpeg)) {
            std::fprintf(stderr, "could not write %s\n", qPrintable(path));
            return 1;
        }
        const Measure thumbnail = measure([&] { return ThumbnailProvider::decodePicture(path, grid); });
        const Measure shown = measure([&] { return readPreviewContent(path, preview, false).picture; });
        const auto figures = [](const Measure& measured) {
            return measured.size.isEmpty() ? QStringLiteral("%1 ms, not shown").arg(measured.bestMs, 8, 'f', 0)
                                           : QStringLiteral("%1 ms %2 MB")
                                                 .arg(measured.bestMs, 8, 'f', 0)
                                                 .arg(double(measured.peakBytes) / 1e6, 8, 'f', 0);
        };
        std::printf("%-26s %8.1f | %-22s | %-22s\n", picture.what, double(QFileInfo(path).size()) / 1e6,
            qPrintable(figures(thumbnail)), qPrintable(figures(shown)));
        failed = failed || thumbnail.size.isEmpty() || shown.size.isEmpty();
    }
    // The grid's two decoders on the largest buffer at once: one waits for the
    // other's turn, so the peak is one buffer's.
    const QString largest = folder + QStringLiteral("/progressive-50mp-444.jpg");
    const Measure both = measure([&] {
        QImage second;
        std::thread other([&] { second = ThumbnailProvider::decodePicture(largest, grid); });
        const QImage first = ThumbnailProvider::decodePicture(largest, grid);
        other.join();
        return first.isNull() || second.isNull() ? QImage() : first;
    });
    std::printf("two 50 MP progressive 4:4:4 at once, at the grid's size: %.0f ms %.0f MB\n", both.bestMs,
        double(both.peakBytes) / 1e6);
    // Every picture shows.
    return failed || both.size.isEmpty() ? 1 : 0;
}
