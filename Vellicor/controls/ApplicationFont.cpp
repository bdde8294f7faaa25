#include "controls/ApplicationFont.h"

#include "base/Log.h"

#include <QApplication>
#include <QFontDatabase>
#include <QStandardPaths>

namespace {

constexpr int defaultFontSize = 13;

bool loadFamilyFiles()
{
    static const char* const files[] = {
        "LiberationSans-Regular.ttf",
        "LiberationSans-Bold.ttf",
        "LiberationSans-Italic.ttf",
        "LiberationSans-BoldItalic.ttf",
    };
    bool loadedAny = false;
    for (const char* file : files) {
        const QString path = QStandardPaths::locate(
            QStandardPaths::GenericDataLocation, QStringLiteral("fonts/truetype/liberation2/") + QLatin1String(file));
        if (!path.isEmpty() && QFontDatabase::addApplicationFont(path) >= 0)
            loadedAny = true;
    }
    return loadedAny;
}

} // namespace

bool installApplicationFont()
{
    const QString family = QString::fromLatin1(applicationFontFamily);
    // The system's font configuration may know the family without its files
    // lying where we look, and the reverse; either is enough.
    const bool available = loadFamilyFiles() || QFontDatabase::hasFamily(family);
    if (!available) {
        Log::print("The application font", family, "is not installed; using the default font");
        return false;
    }
    QApplication::setFont(systemFontOfSize(defaultFontSize));
    return true;
}

QFont systemFontOfSize(int size, QFont::Weight weight)
{
    QFont font(QString::fromLatin1(applicationFontFamily));
    font.setPixelSize(qMax(1, size));
    font.setWeight(weight);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}
