#pragma once

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// The shared enumerations of the records and screens. Raw values are what the
// settings and the sorting code store; converting an integer back gives no
// case when the integer is outside the enumeration.
struct GlobalObjects {
    enum class KeepFile : int { keepAllFiles = 0, keepOldestFile = 1, keepNewestFile = 2 };
    enum class SortOrder : int { sortAsecending = 0, sortDescending = 1 };
    enum class SortType : int { sortBySize = 0, sortByType = 1, sortByName = 2, sortByCount = 3, sortBySelected = 4 };
    enum class ScanContent : int { sameContent = 1, ignoreContent = 2 };
    enum class FileCategory : quint8 { Doc = 0, Pic = 1, Music = 2, Video = 3, Archive = 4, Others = 5 };
    enum class NodeType { nodeTypefile, nodeTypefolder, nodeTypePhotos, nodeTypeiPhoto };
};

namespace EnumDetail {
template <typename E> struct RawRange;
template <> struct RawRange<GlobalObjects::KeepFile> { static constexpr int first = 0, last = 2; };
template <> struct RawRange<GlobalObjects::SortOrder> { static constexpr int first = 0, last = 1; };
template <> struct RawRange<GlobalObjects::SortType> { static constexpr int first = 0, last = 4; };
template <> struct RawRange<GlobalObjects::ScanContent> { static constexpr int first = 1, last = 2; };
template <> struct RawRange<GlobalObjects::FileCategory> { static constexpr int first = 0, last = 5; };
} // namespace EnumDetail

// The case of a raw value, or none when the value is out of range.
template <typename E>
constexpr std::optional<E> enumFromRaw(long long raw)
{
    using Range = EnumDetail::RawRange<E>;
    if (raw < Range::first || raw > Range::last)
        return std::nullopt;
    return static_cast<E>(raw);
}

template <typename E>
constexpr int rawValue(E value)
{
    return static_cast<int>(value);
}

inline constexpr int fileCategoryCount = 6;

// The selected scan source, stored as one byte. Value 6 is not a scan source:
// choosing it opens the empty-folder cleaner.
enum class ScanSource : std::uint8_t {
    thisComputer = 0,
    googleDrive = 1,
    dropbox = 2,
    oneDrive = 3,
    box = 4,
    lightroomCatalog = 5,
    emptyFolderCleaner = 6,
};

std::optional<ScanSource> scanSourceFromRaw(long long raw);

// Whether a removal from source takes only its entries of the files, which
// stay on disk with the space they take (the photo catalog).
inline bool removalKeepsFiles(ScanSource source)
{
    return source == ScanSource::lightroomCatalog;
}

class DuplicateGroup;

// ---------------------------------------------------------------------------
// App-wide state. Flags that the scan worker reads while the GUI thread writes
// them are atomics; everything else is written on the GUI thread between scans
// and copied into the scan's own snapshot when a scan starts. Lazily created
// values are function-local statics, made once even when two threads race.
// ---------------------------------------------------------------------------

std::atomic<ScanSource>& selectedScanSource();
extern std::atomic<bool> isScanRunning;
extern std::atomic<bool> isAbortScan;

extern bool osIs10_11;
extern bool osIsBefore10_15;
extern bool osIs10_15;
extern bool osIs11OrLater;
extern bool osIs12OrLater;
extern bool osIs13OrLater;

extern QString currentLanguageCode;
extern bool isEnglishLanguage;

QString& markedPhotosAlbumName();
extern bool isPhotosAppPresent;
extern bool isSmallScreenLayout;

// Written by the file-type buttons, in FileCategory order.
extern std::array<bool, fileCategoryCount> scanCategoryFlags;
extern bool isAllFileTypesSelected;

// Stays empty for the whole run: nothing keeps earlier result sets.
std::vector<std::shared_ptr<DuplicateGroup>>& lastScanResultGroups();

// The selection assistant's priority lists: parent folders and extensions of
// the result files, each once, in the order the results first show them.
QStringList& folderPriorityList();
QStringList& fileFormatPriorityList();
QStringList& defaultFolderPriorityList();
QStringList& defaultFileFormatPriorityList();

// Sets the OS-version flags from the fixed profile and logs the version. Flags
// are only ever turned on.
void setOSVersionFlags();
