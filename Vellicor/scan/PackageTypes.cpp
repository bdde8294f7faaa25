#include "scan/PackageTypes.h"

#include <QLatin1StringView>

#include <array>

namespace {
constexpr std::array<QLatin1StringView, 8> packageExtensions{
    QLatin1StringView("app"),          QLatin1StringView("bundle"),       QLatin1StringView("framework"),
    QLatin1StringView("plugin"),       QLatin1StringView("photoslibrary"), QLatin1StringView("photolibrary"),
    QLatin1StringView("migratedphotolibrary"), QLatin1StringView("rtfd")};
} // namespace

bool isPackageExtension(const QString& lowerCaseExtension)
{
    for (QLatin1StringView extension : packageExtensions) {
        if (lowerCaseExtension == extension)
            return true;
    }
    return false;
}

bool isPhotoLibraryExtension(const QString& lowerCaseExtension)
{
    return lowerCaseExtension == QLatin1StringView("photoslibrary")
        || lowerCaseExtension == QLatin1StringView("photolibrary")
        || lowerCaseExtension == QLatin1StringView("migratedphotolibrary");
}
