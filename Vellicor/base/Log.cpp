#include "base/Log.h"

#include "base/AppPaths.h"

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>

void writeLogText(const QString& text)
{
    static std::mutex logMutex;
    const QByteArray bytes = text.toUtf8();
    const QByteArray path = AppPaths::logFile().toLocal8Bit();

    std::lock_guard lock(logMutex);
    // O_APPEND keeps every write at the end even when another process appends
    // too; O_CREAT makes the file but never its folder.
    const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        data += written;
        left -= written;
    }
    ::close(fd);
}
