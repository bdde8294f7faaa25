#include "FuzzSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <unistd.h>

namespace Fuzz {

namespace {

std::unique_ptr<QTemporaryDir>& homeFolder()
{
    static std::unique_ptr<QTemporaryDir> folder;
    return folder;
}

} // namespace

void setUp(int* argc, char*** argv)
{
    static QCoreApplication* application = nullptr;
    if (application)
        return;
    homeFolder() = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/vellicor-fuzz-XXXXXX"));
    const QByteArray root = QFile::encodeName(homeFolder()->path());
    setenv("HOME", root.constData(), 1);
    setenv("XDG_CONFIG_HOME", (root + "/config").constData(), 1);
    setenv("XDG_CACHE_HOME", (root + "/cache").constData(), 1);
    setenv("XDG_DATA_HOME", (root + "/data").constData(), 1);
    // Never made: the log's lines are dropped instead of filling the disk
    // over millions of runs.
    setenv("XDG_STATE_HOME", (root + "/no-state").constData(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("QT_LOGGING_RULES", "*.debug=false;*.warning=false", 1);
    QDir().mkpath(homeFolder()->path() + QStringLiteral("/config"));

    std::fflush(stdout);
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) {
        ::dup2(null, STDOUT_FILENO);
        ::close(null);
    }
    application = makeApplication(*argc, *argv);
}

__attribute__((weak)) QCoreApplication* makeApplication(int& argc, char** argv)
{
    return new QCoreApplication(argc, argv);
}

QString home()
{
    return homeFolder() ? homeFolder()->path() : QString();
}

QByteArray bytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
}

void writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "cannot write the input to %s\n", qPrintable(path));
        std::abort();
    }
    file.write(content);
}

QJsonObject answerObject(const QByteArray& content)
{
    return QJsonDocument::fromJson(content).object();
}

} // namespace Fuzz

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    Fuzz::setUp(argc, argv);
    return 0;
}
