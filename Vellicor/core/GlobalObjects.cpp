#include "core/GlobalObjects.h"

#include "base/Log.h"
#include "base/OSProfile.h"

std::optional<ScanSource> scanSourceFromRaw(long long raw)
{
    if (raw < 0 || raw > 6)
        return std::nullopt;
    return static_cast<ScanSource>(raw);
}

std::atomic<ScanSource>& selectedScanSource()
{
    static std::atomic<ScanSource> value{ScanSource::thisComputer};
    return value;
}

std::atomic<bool> isScanRunning{false};
std::atomic<bool> isAbortScan{false};

bool osIs10_11 = false;
bool osIsBefore10_15 = false;
bool osIs10_15 = false;
bool osIs11OrLater = false;
bool osIs12OrLater = false;
bool osIs13OrLater = false;

QString currentLanguageCode = QStringLiteral("en");
bool isEnglishLanguage = true;

QString& markedPhotosAlbumName()
{
    static QString value = QStringLiteral("Duplicate Marked Photos");
    return value;
}

bool isPhotosAppPresent = false;
bool isSmallScreenLayout = false;

std::array<bool, fileCategoryCount> scanCategoryFlags{};
bool isAllFileTypesSelected = false;
std::vector<std::shared_ptr<DuplicateGroup>>& lastScanResultGroups()
{
    static std::vector<std::shared_ptr<DuplicateGroup>> value;
    return value;
}

QStringList& folderPriorityList()
{
    static QStringList value;
    return value;
}

QStringList& fileFormatPriorityList()
{
    static QStringList value;
    return value;
}

QStringList& defaultFolderPriorityList()
{
    static QStringList value;
    return value;
}

QStringList& defaultFileFormatPriorityList()
{
    static QStringList value;
    return value;
}

void setOSVersionFlags()
{
    const OperatingSystemVersion version = currentOperatingSystemVersion();
    const OSVersionFlags flags = osVersionFlagsFor(version);
    osIs10_11 = osIs10_11 || flags.osIs10_11;
    osIsBefore10_15 = osIsBefore10_15 || flags.osIsBefore10_15;
    osIs10_15 = osIs10_15 || flags.osIs10_15;
    osIs11OrLater = osIs11OrLater || flags.osIs11OrLater;
    osIs12OrLater = osIs12OrLater || flags.osIs12OrLater;
    osIs13OrLater = osIs13OrLater || flags.osIs13OrLater;
    Log::print("osVersion:", describeOperatingSystemVersion(version));
}
