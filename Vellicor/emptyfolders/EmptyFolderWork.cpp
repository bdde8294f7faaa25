#include "emptyfolders/EmptyFolderWork.h"

#include "base/Log.h"
#include "core/DirectoryWalker.h"
#include "core/FileUtilities.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The cleaner's diagnostics go to standard output only, not to the log file.
void printLine(const QString& line)
{
    printToStandardOutput(line);
}

QString shown(const QByteArray& path)
{
    return QFile::decodeName(path);
}

void name(Folder& folder, const QByteArray& path)
{
    folder.nativePath = path;
    folder.path = shown(path);
    folder.name = QFileInfo(folder.path).fileName();
    if (folder.name.isEmpty())
        folder.name = folder.path;
}

void blank(Folder& folder)
{
    folder.name.clear();
    folder.path.clear();
    folder.nativePath.clear();
    folder.subfolders.clear();
    folder.empty = false;
}

// A fresh shallow listing: true only when the folder opens and holds nothing.
bool hasNoEntries(const QByteArray& path)
{
    FileDescriptor fd(openFolderOfAnyLength(path.constData()));
    if (!fd.isOpen())
        return false;
    DIR* folder = ::fdopendir(fd.get());
    if (!folder)
        return false;
    fd.release();
    bool none = true;
    errno = 0;
    while (const dirent* item = ::readdir(folder)) {
        const char* entry = item->d_name;
        if (entry[0] == '.' && (entry[1] == '\0' || (entry[1] == '.' && entry[2] == '\0')))
            continue;
        none = false;
        break;
    }
    if (errno != 0)
        none = false;
    ::closedir(folder);
    return none;
}

void confirmEmptyLeaves(Folder& folder)
{
    std::vector<Folder*> pending { &folder };
    while (!pending.empty()) {
        Folder* next = pending.back();
        pending.pop_back();
        // A folder the walk saw nothing in may have been skipped (entered
        // before by another way, or unreadable): only a listing of its own
        // says it is empty.
        if (next->empty)
            next->empty = hasNoEntries(next->nativePath);
        for (const auto& child : next->subfolders)
            pending.push_back(child.get());
    }
}

enum class Made { failed, made, alreadyThere };

// Makes path and any missing parents; whether path is a folder afterwards,
// and whether this call made it.
Made makeFolderWithParents(const QByteArray& path)
{
    for (qsizetype slash = path.indexOf('/', 1); slash >= 0; slash = path.indexOf('/', slash + 1)) {
        const QByteArray parent = path.left(slash);
        if (::mkdir(parent.constData(), 0777) != 0 && errno != EEXIST)
            return Made::failed;
    }
    const bool made = ::mkdir(path.constData(), 0777) == 0;
    if (!made && errno != EEXIST)
        return Made::failed;
    struct stat status { };
    if (::stat(path.constData(), &status) != 0 || !S_ISDIR(status.st_mode))
        return Made::failed;
    return made ? Made::made : Made::alreadyThere;
}

// Gives a folder this undo made its recorded owner, permissions and times,
// through a handle on the folder itself so that a link put in its place
// meanwhile is never followed. The owner comes first, since a change of owner
// clears the set-id bits; the times last. An owner the system refuses (not
// the superuser) keeps the user's own, and the group is tried alone.
void giveBackAttributes(const RemovedFolder& folder)
{
    FileDescriptor fd(::open(folder.path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat now { };
    if (!fd.isOpen() || ::fstat(fd.get(), &now) != 0 || !S_ISDIR(now.st_mode)) {
        printLine(QStringLiteral("Undo could not reopen to set its permissions: ") + shown(folder.path));
        return;
    }
    const struct stat& was = folder.status;
    if ((now.st_uid != was.st_uid || now.st_gid != was.st_gid) && ::fchown(fd.get(), was.st_uid, was.st_gid) != 0
        && ::fchown(fd.get(), uid_t(-1), was.st_gid) != 0)
        printLine(QStringLiteral("Undo kept the current owner of: ") + shown(folder.path));
    if (::fchmod(fd.get(), was.st_mode & 07777) != 0)
        printLine(QStringLiteral("Undo could not set the permissions of: ") + shown(folder.path));
    const struct timespec times[2] = { was.st_atim, was.st_mtim };
    if (::futimens(fd.get(), times) != 0)
        printLine(QStringLiteral("Undo could not set the times of: ") + shown(folder.path));
}

} // namespace

std::unique_ptr<Folder> buildFolderTree(
    const QByteArray& root, const std::atomic<bool>* stop, std::atomic<int>* progress)
{
    auto tree = std::make_unique<Folder>();
    FileDescriptor probe(root.isEmpty() || root.contains('\0') ? -1 : openFolderOfAnyLength(root.constData()));
    if (!probe.isOpen()) {
        printLine(QStringLiteral("Error in accessing contents of directory"));
        return tree;
    }
    probe.reset();
    name(*tree, root);
    tree->empty = true;

    // The folders from the chosen one down to the folder whose entries the
    // walk is reporting.
    std::vector<Folder*> chain { tree.get() };
    Folder* lastEntered = nullptr;
    DirectoryWalker walker(stop, [&](const QByteArray& path, int, const QString& reason) {
        printLine(QStringLiteral("Error in accessing contents of directory: ") + shown(path) + QStringLiteral(" (")
            + reason + QLatin1Char(')'));
        if (!lastEntered || lastEntered->nativePath != path)
            return;
        // A folder read in part keeps what was read; one not read at all
        // becomes a blank node.
        if (reason.startsWith(QLatin1String("folder read only in part")))
            lastEntered->empty = false;
        else
            blank(*lastEntered);
    });
    walker.walk(root, [&](const WalkEntry& entry) {
        chain.resize(size_t(entry.depth));
        Folder* parent = chain.back();
        parent->empty = false;
        if (!S_ISDIR(entry.status.st_mode))
            return WalkAction::next;
        auto child = std::make_unique<Folder>();
        name(*child, entry.path);
        child->empty = true;
        child->parent = parent;
        child->row = int(parent->subfolders.size());
        lastEntered = child.get();
        chain.push_back(child.get());
        parent->subfolders.push_back(std::move(child));
        if (progress)
            progress->fetch_add(1, std::memory_order_relaxed);
        return WalkAction::descend;
    });
    if (stop && stop->load())
        return nullptr;
    confirmEmptyLeaves(*tree);
    return tree;
}

QString folderTreeText(const Folder& root)
{
    QString text;
    std::vector<std::pair<const Folder*, int>> pending { { &root, 0 } };
    while (!pending.empty()) {
        const auto [folder, depth] = pending.back();
        pending.pop_back();
        text += QString(depth * 2, QLatin1Char(' ')) + printablePath(folder->path) + QLatin1Char('\n');
        for (auto child = folder->subfolders.rbegin(); child != folder->subfolders.rend(); ++child)
            pending.emplace_back(child->get(), depth + 1);
    }
    return text;
}

FolderWorkOutcome deleteEmptyFolders(
    const QByteArrayList& paths, const std::atomic<bool>* stop, std::atomic<int>* progress)
{
    FolderWorkOutcome outcome;
    for (const QByteArray& path : paths) {
        if (stop && stop->load())
            break;
        struct stat status { };
        // rmdir itself refuses a folder that gained entries since the scan;
        // the check before it keeps a link that took the folder's place.
        const bool removed = !path.isEmpty() && ::lstat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode)
            && ::rmdir(path.constData()) == 0;
        if (removed) {
            outcome.done.append(path);
            outcome.removed.push_back({ path, status });
            printLine(QStringLiteral("Path deleted successfully: ") + shown(path));
        } else {
            outcome.failed.append(path);
            printLine(QStringLiteral("Failed to delete path or No such Path Exist: ") + shown(path));
        }
        if (progress)
            progress->fetch_add(1, std::memory_order_relaxed);
    }
    return outcome;
}

FolderWorkOutcome restoreDeletedFolders(const std::vector<RemovedFolder>& folders)
{
    FolderWorkOutcome outcome;
    // Shallowest first: a folder removed by a later pass than one below it is
    // made as itself, not as a missing parent without its permissions.
    const auto depth = [](const RemovedFolder* folder) { return folder->path.count('/'); };
    std::vector<const RemovedFolder*> order;
    for (const RemovedFolder& folder : folders)
        order.push_back(&folder);
    std::stable_sort(order.begin(), order.end(),
        [&](const RemovedFolder* a, const RemovedFolder* b) { return depth(a) < depth(b); });
    std::vector<const RemovedFolder*> made;
    for (const RemovedFolder* each : order) {
        const RemovedFolder& folder = *each;
        const Made result = folder.path.isEmpty() ? Made::failed : makeFolderWithParents(folder.path);
        if (result != Made::failed) {
            outcome.done.append(folder.path);
            printLine(QStringLiteral("Undo Successful: ") + shown(folder.path));
        } else {
            outcome.failed.append(folder.path);
            printLine(QStringLiteral("Failed Undo at: ") + shown(folder.path));
        }
        if (result == Made::made)
            made.push_back(&folder);
    }
    // Only once every folder stands, deepest first: making a sub-folder
    // changes its parent's times, and a parent given back without write or
    // search permission would refuse what is still to be done below it.
    std::reverse(made.begin(), made.end());
    for (const RemovedFolder* folder : made)
        giveBackAttributes(*folder);
    return outcome;
}
