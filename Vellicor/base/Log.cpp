#include "base/Log.h"

#include "base/AppPaths.h"
#include "base/PrivateFiles.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

QString LogDetail::escaped(const QString& text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
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
        case 0x85:
        case 0x2028:
        case 0x2029:
            // Line breaks to editors and viewers of the log.
            result += QStringLiteral("\\u%1").arg(static_cast<int>(u), 4, 16, QLatin1Char('0'));
            break;
        default:
            if (u < 0x20 || u == 0x7f)
                result += QStringLiteral("\\x%1").arg(static_cast<int>(u), 2, 16, QLatin1Char('0'));
            else
                result += c;
        }
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
    const QByteArray bytes = text.toLocal8Bit() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}
