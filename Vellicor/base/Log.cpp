#include "base/Log.h"

#include "base/AppPaths.h"
#include "base/PrivateFiles.h"

#include <QFile>

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
// retried at each line while its folder is missing, so lines written before
// the start-up creates the folder are dropped and later ones arrive. A log
// whose folder or file was refused stays shut for that path.
struct LogFile {
    std::mutex mutex;
    QByteArray path;
    int fd = -1;
    QByteArray refused;
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
    const QByteArray path = QFile::encodeName(AppPaths::logFile());

    std::lock_guard lock(log.mutex);
    if (log.fd >= 0 && path != log.path) {
        ::close(log.fd);
        log.fd = -1;
    }
    if (log.fd < 0) {
        if (path == log.refused)
            return;
        // The log names every scanned path: it is written only in a folder
        // of the user's alone (made by the start-up, never here), and never
        // through a link or into a file another user planted, which could
        // carry the lines into a file of the user's such as a shell's start-up
        // file. O_APPEND puts every write at the end even when another
        // process appends too.
        using PrivateFiles::FolderFault;
        const std::optional<FolderFault> fault = PrivateFiles::useOwnFolder(
            AppPaths::stateFolder(), PrivateFiles::FolderUse::state, PrivateFiles::Make::never);
        if (fault) {
            if (*fault != FolderFault::missing)
                log.refused = path;
            return;
        }
        log.fd = PrivateFiles::openOwnFileForWriting(QFile::decodeName(path), O_APPEND | O_CREAT);
        log.path = path;
        if (log.fd < 0) {
            if (errno == ELOOP || errno == EPERM || errno == ENXIO)
                log.refused = path;
            return;
        }
    }
    writeAll(log.fd, bytes);
}

void printToStandardOutput(const QString& text)
{
    const QByteArray bytes = LogDetail::escaped(text).toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}
