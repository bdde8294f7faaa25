#include "core/RecordText.h"

#include <QHashFunctions>

namespace {

int hexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return -1;
}

// A text that is never null, even when empty.
const QString& nonNull(const QString& text)
{
    static const QString emptyText = QStringLiteral("");
    return text.isNull() ? emptyText : text;
}

} // namespace

void PathText::assign(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0) {
        folder_ = QString();
        name_ = nonNull(path);
    } else if (slash == 0) {
        folder_ = nonNull(QString());
        name_ = path.mid(1);
    } else if (path.at(slash - 1) == QLatin1Char('/')) {
        // A folder ending with a slash keeps the one after it too.
        folder_ = path.left(slash + 1);
        name_ = path.mid(slash + 1);
    } else {
        folder_ = path.left(slash);
        name_ = path.mid(slash + 1);
    }
}

void PathText::assign(const QString& path, const QString& folder, const QString& name)
{
    const bool slash = !folder.isEmpty() && !folder.endsWith(QLatin1Char('/'));
    if (path.size() != folder.size() + (slash ? 1 : 0) + name.size() || !path.startsWith(folder) || !path.endsWith(name)
        || (slash && path.at(folder.size()) != QLatin1Char('/'))) {
        assign(path);
        return;
    }
    keepParts(folder, name);
}

void PathText::assignParts(const QString& folder, const QString& name)
{
    keepParts(folder, name);
}

void PathText::keepParts(const QString& folder, const QString& name)
{
    if (folder.isEmpty()) {
        folder_ = QString();
        name_ = nonNull(name);
    } else {
        folder_ = folder;
        name_ = name;
    }
}

QString PathText::value() const
{
    if (!has_value())
        return QString();
    const bool slash = this->slash();
    if (folder_.isEmpty() && !slash)
        return name_;
    QString path;
    path.reserve(folder_.size() + 1 + name_.size());
    path += folder_;
    if (slash)
        path += QLatin1Char('/');
    path += name_;
    return path;
}

QString PathText::folderOfPath() const
{
    if (!name_.contains(QLatin1Char('/'))) {
        if (slash())
            return folder_.isEmpty() ? QStringLiteral("/") : folder_;
        if (folder_.isEmpty())
            return QStringLiteral(".");
    }
    const QString path = value();
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : path.left(slash);
}

bool PathText::equals(QStringView path) const
{
    const bool slash = this->slash();
    const qsizetype length = folder_.size() + (slash ? 1 : 0) + name_.size();
    return path.size() == length && path.startsWith(folder_) && path.endsWith(name_)
        && (!slash || path.at(folder_.size()) == QLatin1Char('/'));
}

bool operator==(const PathText& a, const PathText& b)
{
    if (!a.has_value() || !b.has_value())
        return a.has_value() == b.has_value();
    if (a.slash() == b.slash() && a.folder_ == b.folder_)
        return a.name_ == b.name_;
    return a.equals(b.value());
}

std::optional<Md5Bytes> md5BytesOfHex(QStringView text)
{
    if (text.size() != 32)
        return std::nullopt;
    Md5Bytes bytes {};
    for (int i = 0; i < 16; ++i) {
        const int high = hexValue(text[2 * i].unicode());
        const int low = hexValue(text[2 * i + 1].unicode());
        if (high < 0 || low < 0)
            return std::nullopt;
        bytes[i] = static_cast<quint8>(high << 4 | low);
    }
    return bytes;
}

void DigestText::assign(const QString& text)
{
    if (const std::optional<Md5Bytes> bytes = md5BytesOfHex(text))
        value_ = *bytes;
    else
        value_ = std::make_shared<const QString>(text);
}

bool operator==(const DigestText& a, const DigestText& b)
{
    if (a.value_.index() != b.value_.index())
        return false;
    if (const Md5Bytes* bytes = a.bytes())
        return *bytes == *b.bytes();
    if (const QString* text = a.text())
        return *text == *b.text();
    return true;
}

void NameText::assign(const QString& text)
{
    text_ = nonNull(text);
}

bool DigestText::isEmpty() const
{
    const QString* text = this->text();
    return !has_value() || (text && text->isEmpty());
}

QString DigestText::value() const
{
    if (const QString* text = this->text())
        return *text;
    const Md5Bytes* bytes = this->bytes();
    if (!bytes)
        return QString();
    static constexpr char16_t digits[] = u"0123456789abcdef";
    QString hex(32, Qt::Uninitialized);
    QChar* out = hex.data();
    for (quint8 byte : *bytes) {
        *out++ = QChar(digits[byte >> 4]);
        *out++ = QChar(digits[byte & 15]);
    }
    return hex;
}

size_t qHash(const DigestText& digest, size_t seed)
{
    if (const Md5Bytes* bytes = digest.bytes())
        return qHashBits(bytes->data(), bytes->size(), seed);
    if (const QString* text = digest.text())
        return qHash(*text, seed ^ 1);
    return seed;
}
