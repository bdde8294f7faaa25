#pragma once

#include "core/FileUtilities.h"

#include <QByteArray>
#include <QString>
#include <QStringConverter>

#include <cstddef>
#include <iterator>
#include <memory>
#include <optional>

struct evp_md_ctx_st;

// Reads a file piece by piece, each piece ending at a delimiter, and feeds
// every byte it reads into an MD5 digest. The file is read in chunks, so
// memory holds one chunk and the current piece. Owned by one thread at a
// time; destroying the reader closes its file.
class StreamReader {
public:
    // Opens path (a regular file only; FIFOs and devices are refused, see
    // isOpen()). An empty delimiter reads the whole file as one piece.
    explicit StreamReader(const QString& path, const QByteArray& delimiter = QByteArrayLiteral("\n"),
        std::size_t chunkSize = 4096, QStringConverter::Encoding encoding = QStringConverter::Utf8);
    ~StreamReader();
    StreamReader(const StreamReader&) = delete;
    StreamReader& operator=(const StreamReader&) = delete;

    bool isOpen() const { return fileHandle.isOpen(); }

    // The next piece without its delimiter; at the end the rest of the file
    // when it is not empty; then none. A read error ends the file.
    std::optional<QString> nextLine();

    // The MD5 digest, as 32 lower-case hexadecimal digits, of every byte read
    // so far (of the whole file once nextLine() has given none).
    QString md5() const;

    class iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = QString;
        using difference_type = std::ptrdiff_t;
        using pointer = const QString*;
        using reference = const QString&;

        iterator() = default;
        explicit iterator(StreamReader* reader)
            : reader_(reader)
        {
            ++*this;
        }
        const QString& operator*() const { return *line_; }
        iterator& operator++()
        {
            line_ = reader_ ? reader_->nextLine() : std::nullopt;
            return *this;
        }
        void operator++(int) { ++*this; }
        bool operator==(const iterator& other) const { return !line_ && !other.line_; }

    private:
        StreamReader* reader_ = nullptr;
        std::optional<QString> line_;
    };
    iterator begin() { return iterator(this); }
    iterator end() { return iterator(); }

private:
    QString decoded(const QByteArray& bytes) const;

    const QStringConverter::Encoding encoding;
    const std::size_t chunkSize;
    FileDescriptor fileHandle;
    const QByteArray delimData;
    QByteArray buffer;
    bool atEof = false;
    struct ContextDeleter {
        void operator()(evp_md_ctx_st* context) const;
    };
    std::unique_ptr<evp_md_ctx_st, ContextDeleter> context;
};
