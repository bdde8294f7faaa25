#include "scan/DigestProof.h"

#include "base/Log.h"

namespace {

// Whether a digest read no earlier than readsBegan holds for the file as long
// as its change time stays as it is. Any later change stamps a newer change
// time, unless it falls within the stored time's own tick: the file system's
// resolution (whole seconds, or two, when neither time has a fraction),
// stamped from a clock that may lag the one readsBegan came from. A file
// without a known change time proves nothing.
bool provenByTimes(const FileTimestamp& changeTime, const FileTimestamp& modTime, const FileTimestamp& readsBegan)
{
    if (changeTime == FileTimestamp {})
        return false;
    const bool wholeSeconds = changeTime.nanoseconds == 0 && modTime.nanoseconds == 0;
    const qint64 window = wholeSeconds ? 3 : 1;
    const qint64 latest = readsBegan.seconds - window;
    return changeTime.seconds < latest
        || (changeTime.seconds == latest && changeTime.nanoseconds <= readsBegan.nanoseconds);
}

} // namespace

DigestProof::DigestProof(const FileTimeFacts& timeFacts)
    : timeFacts_(timeFacts)
    , readsBegan_(timeFacts.now())
{
}

std::optional<bool> DigestProof::keepsOwnChangeTime(const ScanFileFacts& files, std::size_t item)
{
    const quint64 device = files.deviceId(item);
    std::lock_guard lock(mutex_);
    for (const auto& [known, answer] : devices_) {
        if (known == device)
            return answer;
    }
    const QString path = files.path(item);
    const std::optional<bool> answer = timeFacts_.keepsOwnChangeTime(path);
    if (!answer)
        return std::nullopt;
    devices_.emplace_back(device, *answer);
    if (!*answer) {
        Log::print("Cache database: the file system of", path,
            "keeps no change time of its own; its files are read on every scan");
    }
    return answer;
}

bool DigestProof::proves(const ScanFileFacts& files, std::size_t item)
{
    return provenByTimes(files.changeTime(item), files.storedModTime(item), readsBegan_)
        && keepsOwnChangeTime(files, item) == true;
}
