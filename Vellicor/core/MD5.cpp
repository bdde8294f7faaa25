#include "core/MD5.h"

#include "base/Log.h"
#include "core/FileUtilities.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <limits>
#include <memory>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

struct DigestContextDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

// Fetched once: an implicit fetch on every initialisation costs more than
// hashing a small file.
const EVP_MD* md5Algorithm()
{
    static const EVP_MD* const algorithm = EVP_MD_fetch(nullptr, "MD5", nullptr);
    return algorithm;
}

// The one reading loop behind the public calls: digests at most limit bytes.
// With cached, reads only what the page cache holds and clears cached when
// the disk would have to be read.
// The file is open at fd, of size bytes as it was opened, and read from its
// start whatever the descriptor's offset; path names it in the log.
std::optional<QString> md5OfOpenBytes(
    int fd, quint64 size, const QString& path, quint64 limit, const std::atomic<bool>& stop, bool* cached = nullptr)
{
    const auto readFailed = [&path](const QString& cause) {
        Log::print("Cannot read file:", QLatin1Char('"') + path + QStringLiteral("\": ") + cause);
        return std::nullopt;
    };

    std::unique_ptr<EVP_MD_CTX, DigestContextDeleter> context(EVP_MD_CTX_new());
    if (!context || !md5Algorithm() || EVP_DigestInit_ex(context.get(), md5Algorithm(), nullptr) != 1)
        return readFailed(QStringLiteral("MD5 is not available"));

    // Small files get a small buffer; one byte more than expected lets the end
    // of file show in the second read.
    const quint64 expected = std::min(size, limit);
    const std::size_t bufferSize
        = static_cast<std::size_t>(std::clamp<quint64>(expected + 1, 4096, static_cast<quint64>(md5ReadChunkSize)));
    // Read-ahead matters only to a file read in several chunks.
    if (expected >= bufferSize)
        ::posix_fadvise(
            fd, 0, limit == std::numeric_limits<quint64>::max() ? 0 : static_cast<off_t>(limit), POSIX_FADV_SEQUENTIAL);
    const auto buffer = std::make_unique_for_overwrite<unsigned char[]>(bufferSize);

    quint64 left = limit;
    off_t offset = 0;
    while (left > 0) {
        if (stop.load(std::memory_order_relaxed))
            return std::nullopt;
        const std::size_t wanted = static_cast<std::size_t>(std::min<quint64>(left, bufferSize));
        ssize_t got = 0;
        if (cached) {
            struct iovec into {
                buffer.get(), wanted
            };
            got = ::preadv2(fd, &into, 1, offset, RWF_NOWAIT);
        } else {
            got = ::pread(fd, buffer.get(), wanted, offset);
        }
        if (got < 0) {
            if (errno == EINTR)
                continue;
            if (cached && (errno == EAGAIN || errno == EOPNOTSUPP)) {
                *cached = false;
                return std::nullopt;
            }
            return readFailed(errnoText(errno));
        }
        offset += got;
        if (got == 0)
            break;
        EVP_DigestUpdate(context.get(), buffer.get(), static_cast<std::size_t>(got));
        left -= static_cast<quint64>(got);
    }

    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int digestLength = 0;
    if (EVP_DigestFinal_ex(context.get(), digest, &digestLength) != 1)
        return readFailed(QStringLiteral("MD5 failed"));
    return QString::fromLatin1(
        QByteArray::fromRawData(reinterpret_cast<const char*>(digest), static_cast<qsizetype>(digestLength)).toHex());
}

std::optional<QString> md5OfFileBytes(
    const QString& path, quint64 limit, const std::atomic<bool>& stop, bool* cached = nullptr)
{
    if (stop.load(std::memory_order_relaxed))
        return std::nullopt;

    const OpenedFile file = openRegularFile(path);
    if (!file.isOpen()) {
        Log::print("Cannot open file:", file.errorText);
        return std::nullopt;
    }
    return md5OfOpenBytes(file.fd.get(), file.size, path, limit, stop, cached);
}

} // namespace

std::optional<QString> md5OfOpenFile(int fd, const QString& path, const std::atomic<bool>& stop)
{
    struct stat status { };
    if (stop.load(std::memory_order_relaxed) || ::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode))
        return std::nullopt;
    return md5OfOpenBytes(fd, static_cast<quint64>(status.st_size), path, std::numeric_limits<quint64>::max(), stop);
}

std::optional<QString> md5OfFile(const QString& path, const std::atomic<bool>& stop)
{
    return md5OfFileBytes(path, std::numeric_limits<quint64>::max(), stop);
}

std::optional<QString> md5OfFileHead(const QString& path, quint64 byteCount, const std::atomic<bool>& stop)
{
    return md5OfFileBytes(path, byteCount, stop);
}

std::optional<QString> md5OfCachedBytes(
    const QString& path, quint64 byteCount, const std::atomic<bool>& stop, bool& cached)
{
    cached = true;
    return md5OfFileBytes(path, byteCount, stop, &cached);
}

bool md5Usable()
{
    static const bool usable = [] {
        std::unique_ptr<EVP_MD_CTX, DigestContextDeleter> context(EVP_MD_CTX_new());
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int digestLength = 0;
        return context && md5Algorithm() && EVP_DigestInit_ex(context.get(), md5Algorithm(), nullptr) == 1
            && EVP_DigestFinal_ex(context.get(), digest, &digestLength) == 1 && digestLength == 16;
    }();
    return usable;
}
