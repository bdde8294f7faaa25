// A picture of any bytes under each name the decoder tells formats by,
// decoded as the grid's thumbnail, the preview and a service's thumbnail
// decode it: every one ends within the fuzzer's bounds of memory and time.
// The first byte chooses the name, the rest is the file.

#include "FuzzSupport.h"

#include "platform/ImageProcessing.h"

#include <QFile>
#include <QGuiApplication>

#include <iterator>

QCoreApplication* Fuzz::makeApplication(int& argc, char** argv)
{
    return new QGuiApplication(argc, argv);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // In the order of the seeds' first bytes (SeedMaker).
    static const char* const names[] = { "picture.jpg", "picture.png", "picture.gif", "picture.bmp", "picture.svg",
        "picture.svgz", "picture.ico", "picture.webp", "picture.ppm", "picture.xpm", "picture.xbm", "picture.tiff" };
    if (size == 0)
        return 0;
    const QString path = Fuzz::home() + QLatin1Char('/') + QLatin1String(names[data[0] % std::size(names)]);
    const QByteArray content = Fuzz::bytes(data + 1, size - 1);
    Fuzz::writeFile(path, content);
    ImageProcessing::resizeImageWithFilePath(path, 64);
    resizedImageFromFile(path, 250, 240);
    ImageProcessing::resizeDownloadedImage(content, QSize(64, 64), ImageProcessing::largestPicturePixels);
    QFile::remove(path);
    return 0;
}
