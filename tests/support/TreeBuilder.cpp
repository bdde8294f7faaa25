#include "support/TreeBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>
#include <vector>

namespace {
void require(bool ok, const QString& what)
{
    if (!ok)
        throw std::runtime_error(("TreeBuilder: cannot " + what).toStdString());
}

QString temporaryTemplate(TreeBuilder::Place place)
{
    const QFileInfo memory(QStringLiteral("/dev/shm"));
    const QString base = place == TreeBuilder::Place::memory && memory.isDir() && memory.isWritable()
        ? memory.filePath()
        : QDir::tempPath();
    return base + QStringLiteral("/vellicor-tree-XXXXXX");
}

constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// The first sub-folder of the open folder, after removing everything else
// met before it; empty when none is left.
std::string firstSubfolderClearingFiles(int folder, bool& clean)
{
    DIR* listing = ::fdopendir(::dup(folder));
    if (!listing) {
        clean = false;
        return {};
    }
    std::string found;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat status { };
        if (::fstatat(folder, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(status.st_mode)) {
            found = name;
            break;
        }
        clean = ::unlinkat(folder, name.c_str(), 0) == 0 && clean;
    }
    ::closedir(listing);
    return found;
}
} // namespace

bool removeTreeOfAnyDepth(const QString& path)
{
    int folder = ::open(QFile::encodeName(path).constData(), folderFlags);
    if (folder < 0)
        return false;
    bool clean = true;
    std::vector<std::string> names;
    for (;;) {
        if (const std::string sub = firstSubfolderClearingFiles(folder, clean); !sub.empty()) {
            const int child = ::openat(folder, sub.c_str(), folderFlags);
            if (child >= 0) {
                ::close(folder);
                folder = child;
                names.push_back(sub);
                continue;
            }
            // Cannot go in (no permission): leave it, and everything above.
            clean = false;
        }
        if (names.empty())
            break;
        const int parent = ::openat(folder, "..", folderFlags);
        ::close(folder);
        if (parent < 0)
            return false;
        folder = parent;
        if (::unlinkat(folder, names.back().c_str(), AT_REMOVEDIR) != 0)
            break;
        names.pop_back();
    }
    ::close(folder);
    return clean && names.empty() && ::rmdir(QFile::encodeName(path).constData()) == 0;
}

TreeBuilder::TreeBuilder(Place place)
    : dir_(temporaryTemplate(place))
{
    require(dir_.isValid(), QStringLiteral("make a temporary folder"));
}

TreeBuilder::~TreeBuilder()
{
    if (deep_)
        removeTreeOfAnyDepth(root());
}

void TreeBuilder::chain(
    const QString& relative, int depth, const char* name, const std::function<void(int folder, int level)>& at)
{
    deep_ = true;
    int folder = ::open(QFile::encodeName(this->folder(relative)).constData(), folderFlags);
    require(folder >= 0, QStringLiteral("open ") + relative);
    for (int level = 1; level <= depth; ++level) {
        const bool made = ::mkdirat(folder, name, 0755) == 0;
        const int child = made ? ::openat(folder, name, folderFlags) : -1;
        ::close(folder);
        require(child >= 0, QStringLiteral("make level %1").arg(level));
        folder = child;
        if (at)
            at(folder, level);
    }
    ::close(folder);
}

QString TreeBuilder::path(const QString& relative) const
{
    return relative.isEmpty() ? root() : root() + QLatin1Char('/') + relative;
}

QString TreeBuilder::file(const QString& relative, const QByteArray& contents)
{
    const QString full = path(relative);
    QDir().mkpath(QFileInfo(full).path());
    QFile f(full);
    require(f.open(QIODevice::WriteOnly | QIODevice::Truncate), QStringLiteral("write ") + full);
    require(f.write(contents) == contents.size(), QStringLiteral("write ") + full);
    return full;
}

QString TreeBuilder::folder(const QString& relative)
{
    const QString full = path(relative);
    require(QDir().mkpath(full), QStringLiteral("make ") + full);
    return full;
}

QString TreeBuilder::symlink(const QString& relative, const QString& target)
{
    const QString full = path(relative);
    QDir().mkpath(QFileInfo(full).path());
    require(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(full).constData()) == 0,
        QStringLiteral("link ") + full);
    return full;
}

QString TreeBuilder::hardLink(const QString& relative, const QString& existing)
{
    const QString full = path(relative);
    QDir().mkpath(QFileInfo(full).path());
    require(::link(QFile::encodeName(existing).constData(), QFile::encodeName(full).constData()) == 0,
        QStringLiteral("hard-link ") + full);
    return full;
}

QString TreeBuilder::fifo(const QString& relative)
{
    const QString full = path(relative);
    QDir().mkpath(QFileInfo(full).path());
    require(::mkfifo(QFile::encodeName(full).constData(), 0644) == 0, QStringLiteral("make FIFO ") + full);
    return full;
}

void TreeBuilder::setModificationTime(const QString& relative, qint64 secondsSinceEpoch)
{
    struct timeval times[2];
    times[0].tv_sec = static_cast<time_t>(secondsSinceEpoch);
    times[0].tv_usec = 0;
    times[1] = times[0];
    require(::utimes(QFile::encodeName(path(relative)).constData(), times) == 0, QStringLiteral("set time"));
}

#include <linux/capability.h>
#include <sys/syscall.h>

namespace {
constexpr unsigned readOverrideBits = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);

bool readCapabilities(__user_cap_data_struct (&data)[2])
{
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    return ::syscall(SYS_capget, &header, data) == 0;
}

bool writeCapabilities(__user_cap_data_struct (&data)[2])
{
    __user_cap_header_struct header { _LINUX_CAPABILITY_VERSION_3, 0 };
    return ::syscall(SYS_capset, &header, data) == 0;
}
} // namespace

ScopedNoReadOverride::ScopedNoReadOverride()
{
    __user_cap_data_struct data[2] {};
    if (!readCapabilities(data))
        return;
    effective_[0] = data[0].effective;
    effective_[1] = data[1].effective;
    data[0].effective &= ~readOverrideBits;
    changed_ = writeCapabilities(data);
}

ScopedNoReadOverride::~ScopedNoReadOverride()
{
    if (!changed_)
        return;
    __user_cap_data_struct data[2] {};
    if (!readCapabilities(data))
        return;
    data[0].effective = effective_[0];
    data[1].effective = effective_[1];
    writeCapabilities(data);
}
