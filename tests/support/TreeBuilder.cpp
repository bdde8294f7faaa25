#include "support/TreeBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

namespace {
void require(bool ok, const QString& what)
{
    if (!ok)
        throw std::runtime_error(("TreeBuilder: cannot " + what).toStdString());
}
} // namespace

TreeBuilder::TreeBuilder()
{
    require(dir_.isValid(), QStringLiteral("make a temporary folder"));
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
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capget, &header, data) == 0;
}

bool writeCapabilities(__user_cap_data_struct (&data)[2])
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    return ::syscall(SYS_capset, &header, data) == 0;
}
} // namespace

ScopedNoReadOverride::ScopedNoReadOverride()
{
    __user_cap_data_struct data[2]{};
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
    __user_cap_data_struct data[2]{};
    if (!readCapabilities(data))
        return;
    data[0].effective = effective_[0];
    data[1].effective = effective_[1];
    writeCapabilities(data);
}
