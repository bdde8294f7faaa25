#pragma once

#include <QString>

#include <array>
#include <concepts>
#include <memory>
#include <optional>
#include <type_traits>
#include <variant>

// An optional text exactly, so that a plain text or a literal picks the
// overload taking a text rather than being ambiguous.
template <class T>
concept OptionalText = std::same_as<std::remove_cvref_t<T>, std::optional<QString>>;

// Texts a file record keeps for every file, stored compactly but read like an
// optional text: `if (record.filePath)`, `*record.filePath`,
// `record.filePath.value_or(QString())`, assignment from a text or nullopt.
// Reading makes the text on demand, so a reference to what `*` gives lives
// only as long as any temporary; nothing can be changed through it.

// What `->` gives: the text, alive until the end of the full expression.
class TextArrow {
public:
    explicit TextArrow(QString text)
        : text_(std::move(text))
    {
    }
    const QString* operator->() const { return &text_; }

private:
    QString text_;
};

// A path kept as its folder and its last component, so that the files of one
// folder share the folder's text and the name can be shared with the
// record's own name. The two texts are all it holds: an absent path has both
// null; a present one without a folder has a non-null name; the folder is
// null where no slash stands before the name, empty (not null) for the
// root's one, and otherwise followed by a slash unless it ends with one.
class PathText {
public:
    PathText() = default;
    PathText(std::nullopt_t) { }
    PathText(const QString& path) { assign(path); }
    template <OptionalText T> PathText(const T& path)
    {
        if (path)
            assign(*path);
    }
    PathText& operator=(std::nullopt_t)
    {
        reset();
        return *this;
    }
    PathText& operator=(const QString& path)
    {
        assign(path);
        return *this;
    }
    template <OptionalText T> PathText& operator=(const T& path)
    {
        path ? assign(*path) : reset();
        return *this;
    }

    // The path folder + "/" + name (no slash added after a folder that ends
    // with one, nor before a name without a folder), keeping both texts
    // shared. Falls back to splitting path when the two do not make it.
    void assign(const QString& path, const QString& folder, const QString& name);
    // The same without the path at hand: folder and name make it.
    void assignParts(const QString& folder, const QString& name);

    void reset()
    {
        folder_ = QString();
        name_ = QString();
    }
    bool has_value() const { return !folder_.isNull() || !name_.isNull(); }
    explicit operator bool() const { return has_value(); }
    QString value() const;
    QString operator*() const { return value(); }
    TextArrow operator->() const { return TextArrow(value()); }
    QString value_or(const QString& other) const { return has_value() ? value() : other; }
    operator std::optional<QString>() const { return has_value() ? std::optional<QString>(value()) : std::nullopt; }
    // How many "/" the path holds, counted without making it.
    qsizetype slashCount() const
    {
        return folder_.count(QLatin1Char('/')) + (slash() ? 1 : 0) + name_.count(QLatin1Char('/'));
    }

    // The last component, as stored (shared with the record's name when the
    // builder gave both).
    const QString& lastComponent() const { return name_; }
    // What stands before the last component, as stored.
    const QString& folderComponent() const { return folder_; }
    // The path up to its last slash as QFileInfo::path() gives it: "/" for a
    // path right below the root, "." for one without a slash. The stored
    // folder's own text where it is that, so that the records of one folder
    // share it.
    QString folderOfPath() const;

    friend bool operator==(const PathText& a, const PathText& b);
    friend bool operator==(const PathText& a, const QString& b) { return a.has_value() && a.equals(b); }
    template <OptionalText T> friend bool operator==(const PathText& a, const T& b)
    {
        return b ? a == *b : !a.has_value();
    }
    friend bool operator==(const PathText& a, std::nullopt_t) { return !a.has_value(); }

private:
    void assign(const QString& path);
    // Folder and name as given, the slash between them when the folder is
    // not empty and does not end with one.
    void keepParts(const QString& folder, const QString& name);
    bool equals(QStringView path) const;
    // A slash stands between folder and name.
    bool slash() const { return !folder_.isNull() && (folder_.isEmpty() || !folder_.endsWith(QLatin1Char('/'))); }

    QString folder_;
    QString name_;
};

// An optional text in the room of the text alone: a null text stands for
// none, and a present empty text is kept as a non-null one.
class NameText {
public:
    NameText() = default;
    NameText(std::nullopt_t) { }
    NameText(const QString& text) { assign(text); }
    template <OptionalText T> NameText(const T& text)
    {
        if (text)
            assign(*text);
    }
    NameText& operator=(std::nullopt_t)
    {
        reset();
        return *this;
    }
    NameText& operator=(const QString& text)
    {
        assign(text);
        return *this;
    }
    template <OptionalText T> NameText& operator=(const T& text)
    {
        text ? assign(*text) : reset();
        return *this;
    }

    void reset() { text_ = QString(); }
    bool has_value() const { return !text_.isNull(); }
    explicit operator bool() const { return has_value(); }
    const QString& value() const { return text_; }
    const QString& operator*() const { return text_; }
    const QString* operator->() const { return &text_; }
    QString value_or(const QString& other) const { return has_value() ? text_ : other; }
    operator std::optional<QString>() const { return has_value() ? std::optional<QString>(text_) : std::nullopt; }

    friend bool operator==(const NameText& a, const NameText& b)
    {
        return a.text_ == b.text_ && a.has_value() == b.has_value();
    }
    friend bool operator==(const NameText& a, const QString& b) { return a.has_value() && a.text_ == b; }
    template <OptionalText T> friend bool operator==(const NameText& a, const T& b)
    {
        return b ? a == *b : !a.has_value();
    }
    friend bool operator==(const NameText& a, std::nullopt_t) { return !a.has_value(); }

private:
    void assign(const QString& text);

    QString text_;
};

// The 16 bytes of an MD5 digest.
using Md5Bytes = std::array<quint8, 16>;

// A content digest: a local file's MD5 kept as its 16 bytes, any other text
// (a cloud service's checksum, a package's joined member digests, a digest in
// capitals) kept exactly as given. Reads as the text it was given: 32
// lower-case hexadecimal digits come back the same.
class DigestText {
public:
    DigestText() = default;
    DigestText(std::nullopt_t) { }
    DigestText(const QString& text) { assign(text); }
    template <OptionalText T> DigestText(const T& text)
    {
        if (text)
            assign(*text);
    }
    explicit DigestText(const Md5Bytes& bytes)
        : value_(bytes)
    {
    }
    DigestText& operator=(std::nullopt_t)
    {
        reset();
        return *this;
    }
    DigestText& operator=(const QString& text)
    {
        assign(text);
        return *this;
    }
    template <OptionalText T> DigestText& operator=(const T& text)
    {
        text ? assign(*text) : reset();
        return *this;
    }

    void reset() { value_ = std::monostate(); }
    bool has_value() const { return !std::holds_alternative<std::monostate>(value_); }
    explicit operator bool() const { return has_value(); }
    // Absent, or present and empty.
    bool isEmpty() const;
    QString value() const;
    QString operator*() const { return value(); }
    TextArrow operator->() const { return TextArrow(value()); }
    QString value_or(const QString& other) const { return has_value() ? value() : other; }
    operator std::optional<QString>() const { return has_value() ? std::optional<QString>(value()) : std::nullopt; }

    // The 16 bytes when the digest is a plain MD5, else null.
    const Md5Bytes* bytes() const { return std::get_if<Md5Bytes>(&value_); }
    // The text when the digest is kept as text, else null.
    const QString* text() const
    {
        const auto* text = std::get_if<std::shared_ptr<const QString>>(&value_);
        return text ? text->get() : nullptr;
    }

    friend bool operator==(const DigestText& a, const DigestText& b);
    friend bool operator==(const DigestText& a, const QString& b) { return a == DigestText(b); }
    template <OptionalText T> friend bool operator==(const DigestText& a, const T& b) { return a == DigestText(b); }
    friend bool operator==(const DigestText& a, std::nullopt_t) { return !a.has_value(); }

private:
    void assign(const QString& text);

    // Texts are rare (cloud checksums, packages): kept apart, so that the
    // digest takes no more room than its bytes.
    std::variant<std::monostate, Md5Bytes, std::shared_ptr<const QString>> value_;
};

size_t qHash(const DigestText& digest, size_t seed = 0);

// The bytes of 32 lower-case hexadecimal digits, or nothing for any other text.
std::optional<Md5Bytes> md5BytesOfHex(QStringView text);
