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

} // namespace

void PathText::assign(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    present_ = true;
    if (slash < 0) {
        folder_ = QString();
        name_ = path;
        slash_ = false;
    } else if (slash == 0) {
        folder_ = QString();
        name_ = path.mid(1);
        slash_ = true;
    } else {
        folder_ = path.left(slash);
        name_ = path.mid(slash + 1);
        slash_ = true;
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
    folder_ = folder;
    name_ = name;
    slash_ = slash;
    present_ = true;
}

void PathText::assignParts(const QString& folder, const QString& name)
{
    folder_ = folder;
    name_ = name;
    slash_ = !folder.isEmpty() && !folder.endsWith(QLatin1Char('/'));
    present_ = true;
}

QString PathText::value() const
{
    if (!present_)
        return QString();
    if (folder_.isEmpty() && !slash_)
        return name_;
    QString path;
    path.reserve(folder_.size() + 1 + name_.size());
    path += folder_;
    if (slash_)
        path += QLatin1Char('/');
    path += name_;
    return path;
}

QString PathText::folderOfPath() const
{
    if (!name_.contains(QLatin1Char('/'))) {
        if (slash_)
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
    const qsizetype length = folder_.size() + (slash_ ? 1 : 0) + name_.size();
    return path.size() == length && path.startsWith(folder_) && path.endsWith(name_)
        && (!slash_ || path.at(folder_.size()) == QLatin1Char('/'));
}

bool operator==(const PathText& a, const PathText& b)
{
    if (!a.present_ || !b.present_)
        return a.present_ == b.present_;
    if (a.slash_ == b.slash_ && a.folder_ == b.folder_)
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
    // A literal's text is never null, even when empty.
    static const QString emptyText = QStringLiteral("");
    text_ = text.isNull() ? emptyText : text;
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
