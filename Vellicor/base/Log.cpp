#include "base/Log.h"

#include "base/AppPaths.h"
#include "base/PrivateFiles.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace {

// Characters that draw nothing of their own or change how the text around
// them is drawn: format characters (bidirectional overrides, embeddings and
// isolates, zero-width spaces and joiners, the byte-order mark, the Arabic
// letter mark...), and the fillers that stand for blanks. A name holding one
// could pass for another name.
bool isInvisible(char32_t u)
{
    if (QChar::category(u) == QChar::Other_Format)
        return true;
    switch (u) {
    case 0x115f: // Hangul fillers
    case 0x1160:
    case 0x3164:
    case 0xffa0:
    case 0x180e: // the Mongolian vowel separator, a format character once
        return true;
    default:
        return false;
    }
}

} // namespace

QString LogDetail::escaped(const QString& text)
{
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i].unicode();
        char32_t u = unit;
        const bool pair
            = QChar::isHighSurrogate(unit) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode());
        if (pair)
            u = QChar::surrogateToUcs4(unit, text[i + 1].unicode());
        switch (u) {
        case u'\\':
            result += QStringLiteral("\\\\");
            break;
        case u'\n':
            result += QStringLiteral("\\n");
            break;
        case u'\r':
            result += QStringLiteral("\\r");
            break;
        case u'\t':
            result += QStringLiteral("\\t");
            break;
        default:
            if (u < 0x20 || u == 0x7f)
                result += QStringLiteral("\\x%1").arg(static_cast<int>(u), 2, 16, QLatin1Char('0'));
            // C1 controls (a terminal may take U+009B as the start of a
            // sequence), line and paragraph separators (line breaks to
            // editors and viewers), lone surrogates and invisible characters.
            else if ((u >= 0x80 && u <= 0x9f) || u == 0x2028 || u == 0x2029 || QChar::isSurrogate(u) || isInvisible(u))
                result += u > 0xffff ? QStringLiteral("\\U%1").arg(static_cast<uint>(u), 8, 16, QLatin1Char('0'))
                                     : QStringLiteral("\\u%1").arg(static_cast<uint>(u), 4, 16, QLatin1Char('0'));
            else
                result += pair ? text.mid(i, 2) : QString(text[i]);
        }
        if (pair)
            ++i;
    }
    return result;
}

namespace {

// The open log. Reopened when the log's path changes (tests move HOME) and
// retried at each line while it cannot be opened, so lines written before
// the start-up creates the folder are dropped and later ones arrive.
struct LogFile {
    std::mutex mutex;
    QByteArray path;
    int fd = -1;
};

void writeAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        data += written;
        left -= written;
    }
}

} // namespace

void writeLogText(const QString& text)
{
    // Never destroyed: objects torn down at exit may still log.
    static LogFile& log = *new LogFile;
    const QByteArray bytes = text.toUtf8();
    const QByteArray path = AppPaths::logFile().toLocal8Bit();

    std::lock_guard lock(log.mutex);
    if (log.fd >= 0 && path != log.path) {
        ::close(log.fd);
        log.fd = -1;
    }
    if (log.fd < 0) {
        // O_APPEND puts every write at the end even when another process
        // appends too; O_CREAT makes the file but never its folder. The log
        // names every scanned path: the user's alone, whatever an earlier
        // run left.
        log.fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        log.path = path;
        if (log.fd < 0)
            return;
        PrivateFiles::narrowOpenFile(log.fd);
    }
    writeAll(log.fd, bytes);
}

void printToStandardOutput(const QString& text)
{
    const QByteArray bytes = LogDetail::escaped(text).toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}
