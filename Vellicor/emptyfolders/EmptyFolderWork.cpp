#include "emptyfolders/EmptyFolderWork.h"

#include "base/Log.h"
#include "core/DirectoryWalker.h"
#include "core/FileUtilities.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <dirent.h>
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

// Makes path and any missing parents; true when it is a folder afterwards.
bool makeFolderWithParents(const QByteArray& path)
{
    for (qsizetype slash = path.indexOf('/', 1); slash >= 0; slash = path.indexOf('/', slash + 1)) {
        const QByteArray parent = path.left(slash);
        if (::mkdir(parent.constData(), 0777) != 0 && errno != EEXIST)
            return false;
    }
    if (::mkdir(path.constData(), 0777) != 0 && errno != EEXIST)
        return false;
    struct stat status { };
    return ::stat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode);
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
        text += QString(depth * 2, QLatin1Char(' ')) + folder->path + QLatin1Char('\n');
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

FolderWorkOutcome restoreDeletedFolders(const QByteArrayList& paths)
{
    FolderWorkOutcome outcome;
    for (const QByteArray& path : paths) {
        if (!path.isEmpty() && makeFolderWithParents(path)) {
            outcome.done.append(path);
            printLine(QStringLiteral("Undo Successful: ") + shown(path));
        } else {
            outcome.failed.append(path);
            printLine(QStringLiteral("Failed Undo at: ") + shown(path));
        }
    }
    return outcome;
}
