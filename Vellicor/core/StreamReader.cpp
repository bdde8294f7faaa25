#include "core/StreamReader.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cerrno>
#include <unistd.h>

void StreamReader::ContextDeleter::operator()(evp_md_ctx_st* context) const
{
    EVP_MD_CTX_free(context);
}

StreamReader::StreamReader(
    const QString& path, const QByteArray& delimiter, std::size_t chunkSize, QStringConverter::Encoding encoding)
    : encoding(encoding)
    , chunkSize(std::max<std::size_t>(chunkSize, 1))
    , delimData(delimiter)
    , context(EVP_MD_CTX_new())
{
    OpenedFile file = openRegularFile(path);
    fileHandle = std::move(file.fd);
    if (!context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1)
        context.reset();
    atEof = !fileHandle.isOpen();
}

StreamReader::~StreamReader() = default;

QString StreamReader::decoded(const QByteArray& bytes) const
{
    QStringDecoder decoder(encoding);
    return decoder.decode(bytes);
}

std::optional<QString> StreamReader::nextLine()
{
    qsizetype searchFrom = 0;
    while (true) {
        if (!delimData.isEmpty()) {
            const qsizetype found = buffer.indexOf(delimData, searchFrom);
            if (found >= 0) {
                const QString line = decoded(buffer.left(found));
                buffer.remove(0, found + delimData.size());
                return line;
            }
            // A delimiter may straddle two chunks.
            searchFrom = std::max<qsizetype>(0, buffer.size() - delimData.size() + 1);
        }
        if (atEof)
            break;
        QByteArray chunk(static_cast<qsizetype>(chunkSize), Qt::Uninitialized);
        const ssize_t got = ::read(fileHandle.get(), chunk.data(), chunkSize);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            atEof = true;
            fileHandle.reset();
            continue;
        }
        chunk.truncate(got);
        if (context)
            EVP_DigestUpdate(context.get(), chunk.constData(), static_cast<std::size_t>(got));
        buffer += chunk;
    }
    if (buffer.isEmpty())
        return std::nullopt;
    const QString rest = decoded(buffer);
    buffer.clear();
    return rest;
}

QString StreamReader::md5() const
{
    if (!context)
        return {};
    // Finishing consumes a context, so a copy is finished.
    std::unique_ptr<EVP_MD_CTX, ContextDeleter> copy(EVP_MD_CTX_new());
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!copy || EVP_MD_CTX_copy_ex(copy.get(), context.get()) != 1
        || EVP_DigestFinal_ex(copy.get(), digest, &length) != 1)
        return {};
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char*>(digest), static_cast<qsizetype>(length)).toHex());
}
