// A picture file of any bytes: its metadata dictionary or an empty one, and
// the colour profile's description or none.

#include "FuzzSupport.h"

#include "platform/ImageProperties.h"

#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray content = Fuzz::bytes(data, size);
    const QString picture = Fuzz::home() + QStringLiteral("/picture");
    Fuzz::writeFile(picture, content);
    imagePropertiesOfFile(picture);
    ImagePropertiesDetail::iccProfileDescription(content);
    QFile::remove(picture);
    return 0;
}
