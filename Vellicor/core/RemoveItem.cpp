#include "core/RemoveItem.h"

#include "base/Log.h"
#include "base/PrivilegedRunner.h"

#include <mutex>

namespace {

std::mutex& runLock()
{
    static std::mutex lock;
    return lock;
}

} // namespace

RemoveItem::RemoveItem()
{
    // A harmless command shows the authentication dialog once, so that the
    // user answers before anything is removed.
    std::lock_guard lock(runLock());
    status_ = privilegedRunner()->run(QStringLiteral("/bin/true"), {});
    if (status_ != 0)
        Log::print(QStringLiteral("Error on authorization: %1").arg(status_));
}

bool RemoveItem::run(const QString& program, const QStringList& arguments)
{
    std::lock_guard lock(runLock());
    if (status_ == cancelledStatus || status_ == refusedStatus)
        return false;
    status_ = privilegedRunner()->run(program, arguments);
    return status_ == 0;
}

bool RemoveItem::removeSingleItem(const QString& path)
{
    if (const QString refusal = privilegedPathRefusal(path); !refusal.isEmpty()) {
        Log::print("Refused to remove with administrator rights:", path, "-", refusal);
        return false;
    }
    const bool removed = run(QStringLiteral("/bin/rm"), { QStringLiteral("-rf"), QStringLiteral("--"), path });
    if (!removed)
        Log::print(QStringLiteral("Error: %1 (File:%2)").arg(status_).arg(path));
    return removed;
}

bool RemoveItem::removeMultipleItems(const QStringList& paths)
{
    for (const QString& path : paths) {
        if (!removeSingleItem(path))
            return false;
    }
    return true;
}

bool RemoveItem::renameItem(const QString& path, const QString& newPath)
{
    for (const QString& each : { path, newPath }) {
        if (const QString refusal = privilegedPathRefusal(each); !refusal.isEmpty()) {
            Log::print("Refused to rename with administrator rights:", path, "to", newPath, "-", refusal);
            return false;
        }
    }
    const bool renamed = run(QStringLiteral("/bin/mv"), { QStringLiteral("-f"), QStringLiteral("--"), path, newPath });
    if (!renamed)
        Log::print(QStringLiteral("Error: %1 (File)").arg(status_));
    return renamed;
}
