#include "emptyfolders/EmptyFolderWork.h"

#include "base/Log.h"
#include "core/DirectoryWalker.h"
#include "core/FileUtilities.h"
#include "core/FolderDescent.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>
#include <unordered_set>

namespace {

// The cleaner's diagnostics go to standard output only, not to the log file.
void printLine(const QString& line)
{
    printToStandardOutput(line);
}

// A path the walk names, as a line shows it (see shownPath).
QString shownWalkPath(const QByteArray& path)
{
    return path.size() > PATH_MAX ? shownPath(path.right(shownPathTail), true) : shownPath(path, false);
}

void blank(Folder& folder)
{
    folder.name.clear();
    folder.nativeName.clear();
    folder.subfolders.clear();
    folder.empty = false;
}

bool isSameFolder(const struct stat& status, dev_t device, ino_t inode)
{
    return S_ISDIR(status.st_mode) && status.st_dev == device && status.st_ino == inode;
}

// The chosen folder's own place: the folder holding it, by path as the user
// chose it, and its name there.
struct ChosenPlace {
    QByteArray holder;
    QByteArray name;
};

ChosenPlace placeOfChosen(QByteArray path)
{
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return { QByteArray("."), path };
    return { slash == 0 ? QByteArray("/") : path.left(slash), path.mid(slash + 1) };
}

// Reaches each of the given leaves of tree (folders without sub-folders) in
// the folder holding it: the chosen folder opened by its path, then each
// folder on the way down entered from the one above it without following a
// link, and each the folder the scan saw there. act runs with the holding
// folder open and the leaf's index among leaves; refused when the way to a
// leaf no longer leads where the scan saw it, with the reason. Each folder on
// the way is entered once, whatever the number of leaves below it. False when
// stopped, the leaves not reached yet neither acted on nor refused.
bool reachLeaves(const Folder& tree, const std::vector<const Folder*>& leaves, const std::atomic<bool>* stop,
    const std::function<void(int folder, std::size_t leaf)>& act,
    const std::function<void(std::size_t leaf, const QString& reason)>& refused)
{
    // The leaves by the folder holding them, and the folders on the way.
    std::unordered_map<const Folder*, std::vector<std::size_t>> held;
    std::unordered_set<const Folder*> onTheWay;
    for (std::size_t i = 0; i < leaves.size(); ++i) {
        const Folder* leaf = leaves[i];
        if (!leaf->parent) {
            // The chosen folder itself, from the folder holding it.
            const ChosenPlace place = placeOfChosen(leaf->nativeName);
            FileDescriptor holder(openFolderOfAnyLength(place.holder.constData()));
            if (holder.isOpen() && !place.name.isEmpty())
                act(holder.get(), i);
            else
                refused(i, pathRefusal(holder.isOpen() ? ENOENT : errno));
            continue;
        }
        held[leaf->parent].push_back(i);
        for (const Folder* folder = leaf->parent; folder && onTheWay.insert(folder).second; folder = folder->parent) { }
    }
    if (onTheWay.empty())
        return true;
    const auto refuseBelow = [&](const Folder& from, const QString& reason) {
        std::vector<const Folder*> pending { &from };
        while (!pending.empty()) {
            const Folder* folder = pending.back();
            pending.pop_back();
            if (const auto found = held.find(folder); found != held.end()) {
                for (const std::size_t leaf : found->second)
                    refused(leaf, reason);
            }
            for (const auto& child : folder->subfolders) {
                if (onTheWay.contains(child.get()))
                    pending.push_back(child.get());
            }
        }
    };
    const auto actOnHeld = [&](const Folder& folder, int fd) {
        if (const auto found = held.find(&folder); found != held.end()) {
            for (const std::size_t leaf : found->second)
                act(fd, leaf);
        }
    };

    FolderDescent descent;
    {
        FileDescriptor chosen(openFolderOfAnyLength(tree.nativeName.constData()));
        struct stat own { };
        if (!chosen.isOpen() || ::fstat(chosen.get(), &own) != 0) {
            refuseBelow(tree, pathRefusal(errno));
            return true;
        }
        if (!isSameFolder(own, tree.device, tree.inode)) {
            refuseBelow(tree, QStringLiteral("the chosen folder is no longer the folder scanned"));
            return true;
        }
        descent.start(std::move(chosen));
    }
    actOnHeld(tree, descent.innermost()->get());
    struct Step {
        const Folder* folder;
        std::size_t next;
    };
    std::vector<Step> steps { { &tree, 0 } };
    while (!steps.empty()) {
        if (stop && stop->load())
            return false;
        Step& step = steps.back();
        if (step.next == step.folder->subfolders.size()) {
            steps.pop_back();
            descent.leave();
            continue;
        }
        const Folder& child = *step.folder->subfolders[step.next++];
        if (!onTheWay.contains(&child))
            continue;
        struct stat status { };
        if (const int error = descent.enter(child.nativeName.constData(), &status); error != 0) {
            refuseBelow(child, pathRefusal(error));
            continue;
        }
        if (!isSameFolder(status, child.device, child.inode)) {
            descent.leave();
            refuseBelow(child, QStringLiteral("a folder on its path is no longer the one scanned"));
            continue;
        }
        steps.push_back({ &child, 0 });
        actOnHeld(child, descent.innermost()->get());
    }
    return true;
}

// A fresh shallow listing of the folder open at fd: true only when it holds
// nothing.
bool holdsNothing(int fd)
{
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::getdents64(fd, buffer, sizeof buffer);
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        for (ssize_t at = 0; at < got;) {
            const auto* item = reinterpret_cast<const struct dirent64*>(buffer + at);
            at += item->d_reclen;
            const char* name = item->d_name;
            if (!(name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))))
                return false;
        }
    }
}

// The leaf's entry in the open folder holding it: the chosen folder's own
// name for the chosen folder.
QByteArray entryName(const Folder& leaf)
{
    return leaf.parent ? leaf.nativeName : placeOfChosen(leaf.nativeName).name;
}

void confirmEmptyLeaves(Folder& tree)
{
    // A folder the walk saw nothing in may have been skipped (entered before
    // by another way, or unreadable): only a listing of its own says it is
    // empty.
    std::vector<Folder*> leaves;
    std::vector<Folder*> pending { &tree };
    while (!pending.empty()) {
        Folder* folder = pending.back();
        pending.pop_back();
        if (folder->empty && folder->subfolders.empty())
            leaves.push_back(folder);
        for (const auto& child : folder->subfolders)
            pending.push_back(child.get());
    }
    const std::vector<const Folder*> reached(leaves.begin(), leaves.end());
    reachLeaves(
        tree, reached, nullptr,
        [&](int folder, std::size_t leaf) {
            Folder& found = *leaves[leaf];
            struct stat status { };
            FileDescriptor fd(openSubfolder(folder, entryName(found).constData(), O_RDONLY, &status));
            found.empty = fd.isOpen() && isSameFolder(status, found.device, found.inode) && holdsNothing(fd.get());
        },
        [&](std::size_t leaf, const QString&) { leaves[leaf]->empty = false; });
}

enum class Made { failed, made, alreadyThere };

// Makes path and any missing parents, by path as the user chose it; whether
// path is a folder afterwards, and whether this call made it.
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

// Gives a folder this undo made, open at fd, its recorded owner, permissions
// and times. The owner comes first, since a change of owner clears the set-id
// bits; the times last. An owner the system refuses (not the superuser) keeps
// the user's own, and the group is tried alone.
void giveBackAttributes(int fd, const struct stat& was, const QString& shown)
{
    struct stat now { };
    if (::fstat(fd, &now) != 0) {
        printLine(QStringLiteral("Undo could not reopen to set its permissions: ") + shown);
        return;
    }
    if ((now.st_uid != was.st_uid || now.st_gid != was.st_gid) && ::fchown(fd, was.st_uid, was.st_gid) != 0
        && ::fchown(fd, uid_t(-1), was.st_gid) != 0)
        printLine(QStringLiteral("Undo kept the current owner of: ") + shown);
    if (::fchmod(fd, was.st_mode & 07777) != 0)
        printLine(QStringLiteral("Undo could not set the permissions of: ") + shown);
    const struct timespec times[2] = { was.st_atim, was.st_mtim };
    if (::futimens(fd, times) != 0)
        printLine(QStringLiteral("Undo could not set the times of: ") + shown);
}

// The real path of an entry the walk from root reached at path.
QByteArray realPathBelow(const FolderWalkExclusion& exclusion, const QByteArray& root, const QByteArray& path)
{
    QByteArray below = path.mid(root.size());
    if (!below.startsWith('/'))
        below.prepend('/');
    return exclusion.realRoot == "/" ? below : exclusion.realRoot + below;
}

} // namespace

ChosenFolderJudgement judgeChosenFolder(const std::optional<PathExclusionPredicate>& excluded, const QString& root)
{
    ChosenFolderJudgement judgement;
    if (!excluded)
        return judgement;
    judgement.refusal = locationExclusion(*excluded, root);
    if (judgement.refusal)
        return judgement;
    char* real = ::realpath(QFile::encodeName(root).constData(), nullptr);
    if (!real)
        return judgement;
    judgement.walk = FolderWalkExclusion { *excluded, QByteArray(real) };
    std::free(real);
    return judgement;
}

std::unique_ptr<Folder> buildFolderTree(const QByteArray& root, const std::atomic<bool>* stop,
    std::atomic<int>* progress, const FolderWalkExclusion* exclusion)
{
    auto tree = std::make_unique<Folder>();
    struct stat own { };
    FileDescriptor probe(root.isEmpty() || root.contains('\0') ? -1 : openFolderOfAnyLength(root.constData()));
    if (!probe.isOpen() || ::fstat(probe.get(), &own) != 0) {
        printLine(QStringLiteral("Error in accessing contents of directory"));
        return tree;
    }
    probe.reset();
    tree->nativeName = root;
    tree->name = QFileInfo(QFile::decodeName(root)).fileName();
    if (tree->name.isEmpty())
        tree->name = QFile::decodeName(root);
    tree->device = own.st_dev;
    tree->inode = own.st_ino;
    tree->empty = true;

    // The folders from the chosen one down to the folder whose entries the
    // walk is reporting.
    std::vector<Folder*> chain { tree.get() };
    // The folder the visitor has just asked the walk to enter, and the length
    // of its path: a problem the walk tells right after with a path of that
    // length is the folder's own.
    Folder* entering = nullptr;
    qsizetype enteringPathLength = 0;
    DirectoryWalker walker(stop, [&](const QByteArray& path, int, const QString& reason) {
        printLine(QStringLiteral("Error in accessing contents of directory: ") + shownWalkPath(path)
            + QStringLiteral(" (") + reason + QLatin1Char(')'));
        if (!entering || path.size() != enteringPathLength)
            return;
        // A folder read in part keeps what was read; one not read at all
        // becomes a blank node.
        if (reason.startsWith(QLatin1String("folder read only in part")))
            entering->empty = false;
        else
            blank(*entering);
    });
    walker.walk(root, [&](const WalkEntry& entry) {
        entering = nullptr;
        chain.resize(size_t(entry.depth));
        Folder* parent = chain.back();
        parent->empty = false;
        if (!S_ISDIR(entry.status.st_mode))
            return WalkAction::next;
        if (exclusion) {
            const QByteArray real = realPathBelow(*exclusion, root, entry.path);
            if (exclusion->excluded.mayHoldPathOfBytes(real.size())
                && exclusion->excluded.evaluateEntryOfIncludedFolder(QFile::decodeName(real))) {
                printLine(QStringLiteral("Passed over a folder excluded from scanning: ") + shownWalkPath(entry.path));
                return WalkAction::next;
            }
        }
        auto child = std::make_unique<Folder>();
        child->nativeName = entry.name;
        child->name = QFile::decodeName(entry.name);
        child->device = entry.status.st_dev;
        child->inode = entry.status.st_ino;
        child->empty = true;
        child->parent = parent;
        child->row = int(parent->subfolders.size());
        entering = child.get();
        enteringPathLength = entry.path.size();
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

void printFolderTree(const Folder& root, std::FILE* out)
{
    // Deeper than this the indentation stops growing, so that a line costs
    // its name, not its depth.
    constexpr int indentedLevels = 40;
    QByteArray line;
    std::vector<std::pair<const Folder*, int>> pending { { &root, 0 } };
    while (!pending.empty()) {
        const auto [folder, depth] = pending.back();
        pending.pop_back();
        line.clear();
        line.append(qsizetype(std::min(depth, indentedLevels)) * 2, ' ');
        if (depth > indentedLevels)
            line += '[' + QByteArray::number(depth) + "] ";
        line += printablePath(depth == 0 ? pathOf(*folder) : folder->name).toLocal8Bit();
        line += '\n';
        std::fwrite(line.constData(), 1, std::size_t(line.size()), out);
        for (auto child = folder->subfolders.rbegin(); child != folder->subfolders.rend(); ++child)
            pending.emplace_back(child->get(), depth + 1);
    }
    std::fflush(out);
}

FolderDeletion deleteEmptyFolders(const Folder& tree, const std::vector<const Folder*>& folders,
    const std::atomic<bool>* stop, std::atomic<int>* progress)
{
    // Each folder's outcome by its place in folders, so that the report
    // keeps their order whatever the order they are reached in.
    std::vector<std::optional<struct stat>> removed(folders.size());
    std::vector<QString> kept(folders.size());
    const auto keep = [&](std::size_t leaf, const QString& reason) {
        kept[leaf] = reason;
        if (progress)
            progress->fetch_add(1, std::memory_order_relaxed);
    };
    reachLeaves(
        tree, folders, stop,
        [&](int holder, std::size_t leaf) {
            const Folder& folder = *folders[leaf];
            const QByteArray name = entryName(folder);
            struct stat now { };
            if (::fstatat(holder, name.constData(), &now, AT_SYMLINK_NOFOLLOW) != 0)
                return keep(leaf, pathRefusal(errno));
            if (S_ISLNK(now.st_mode))
                return keep(leaf, QStringLiteral("a symbolic link stands in its place"));
            if (!isSameFolder(now, folder.device, folder.inode))
                return keep(leaf, QStringLiteral("another item stands in its place since the scan"));
            // rmdir itself refuses a folder that gained entries since the
            // scan.
            if (::unlinkat(holder, name.constData(), AT_REMOVEDIR) != 0) {
                return keep(leaf,
                    errno == ENOTEMPTY || errno == EEXIST
                        ? QStringLiteral("it is no longer empty")
                        : QStringLiteral("it cannot be removed: ") + errnoText(errno));
            }
            removed[leaf] = now;
            if (progress)
                progress->fetch_add(1, std::memory_order_relaxed);
        },
        keep);

    FolderDeletion outcome;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        if (removed[i]) {
            outcome.removed.push_back({ folders[i], *removed[i] });
            printLine(QStringLiteral("Path deleted successfully: ") + shownPathOf(*folders[i]));
        } else if (!kept[i].isNull()) {
            outcome.kept.push_back({ folders[i], kept[i] });
            printLine(QStringLiteral("Failed to delete path or No such Path Exist: ") + shownPathOf(*folders[i])
                + QStringLiteral(" (") + kept[i] + QLatin1Char(')'));
        }
    }
    return outcome;
}

RemovedFolders::Node::~Node()
{
    std::vector<std::unique_ptr<Node>> pending;
    for (auto& [name, child] : children)
        pending.push_back(std::move(child));
    children.clear();
    while (!pending.empty()) {
        std::unique_ptr<Node> next = std::move(pending.back());
        pending.pop_back();
        for (auto& [name, child] : next->children)
            pending.push_back(std::move(child));
        next->children.clear();
    }
}

void RemovedFolders::add(const Folder& tree, const FolderDeletion& deletion)
{
    if (deletion.removed.empty())
        return;
    const auto root = std::find_if(roots_.begin(), roots_.end(),
        [&tree](const std::unique_ptr<Node>& node) { return node->nativeName == tree.nativeName; });
    Node* top = root != roots_.end() ? root->get() : nullptr;
    if (!top) {
        roots_.push_back(std::make_unique<Node>());
        top = roots_.back().get();
        top->nativeName = tree.nativeName;
    }
    // Each folder of the tree met on the way to a removed one, once.
    std::unordered_map<const Folder*, Node*> nodes { { &tree, top } };
    for (const FolderDeletion::Removed& each : deletion.removed) {
        std::vector<const Folder*> way;
        const Folder* folder = each.folder;
        for (; !nodes.contains(folder); folder = folder->parent)
            way.push_back(folder);
        Node* node = nodes[folder];
        for (auto down = way.rbegin(); down != way.rend(); ++down) {
            std::unique_ptr<Node>& child = node->children[(*down)->nativeName];
            if (!child) {
                child = std::make_unique<Node>();
                child->nativeName = (*down)->nativeName;
                child->parent = node;
            }
            node = child.get();
            nodes.emplace(*down, node);
        }
        // Removed twice (made again in between): the first state is the one
        // given back.
        if (!node->removed)
            node->removed = std::make_unique<struct stat>(each.status);
        order_.push_back(node);
    }
}

QByteArrayList RemovedFolders::paths() const
{
    QByteArrayList paths;
    for (const Node* node : order_)
        paths.append(nativePathUp(*node));
    return paths;
}

FolderRestoration restoreDeletedFolders(const RemovedFolders& folders)
{
    // Whether each removed folder stands again, as a folder of its own.
    std::unordered_map<const RemovedFolders::Node*, bool> standing;
    using Node = RemovedFolders::Node;
    const auto failBelow = [&](const Node& from) {
        std::vector<const Node*> pending { &from };
        while (!pending.empty()) {
            const Node* node = pending.back();
            pending.pop_back();
            if (node->removed)
                standing[node] = false;
            for (const auto& [name, child] : node->children)
                pending.push_back(child.get());
        }
    };
    // Shallowest chosen folder first: one inside another is then made as
    // itself, not as a missing parent.
    std::vector<const Node*> roots;
    for (const auto& root : folders.roots())
        roots.push_back(root.get());
    std::stable_sort(roots.begin(), roots.end(),
        [](const Node* a, const Node* b) { return a->nativeName.count('/') < b->nativeName.count('/'); });

    for (const Node* root : roots) {
        // The chosen folder is made by its path as the user chose it; below
        // it, nothing is made or entered through a link.
        const Made chosen = makeFolderWithParents(root->nativeName);
        FolderDescent descent;
        if (chosen == Made::failed || !descent.start(FileDescriptor(openFolderOfAnyLength(root->nativeName)))) {
            failBelow(*root);
            continue;
        }
        if (root->removed)
            standing[root] = true;
        struct Step {
            const Node* node;
            std::map<QByteArray, std::unique_ptr<Node>>::const_iterator next;
            bool made;
        };
        std::vector<Step> steps { { root, root->children.begin(), chosen == Made::made } };
        while (!steps.empty()) {
            Step& step = steps.back();
            if (step.next == step.node->children.end()) {
                // Everything below stands: making a sub-folder changes its
                // parent's times, and a parent given back without write or
                // search permission would refuse what is still to be done.
                if (step.made && step.node->removed) {
                    // Let go of on the way down, it is found again here.
                    if (const FolderDescent::Handle& made = descent.innermost())
                        giveBackAttributes(made->get(), *step.node->removed, shownPathOf(*step.node));
                }
                steps.pop_back();
                descent.leave();
                continue;
            }
            const Node& child = *(step.next++)->second;
            const FolderDescent::Handle& holder = descent.innermost();
            const bool made = holder && ::mkdirat(holder->get(), child.nativeName.constData(), 0777) == 0;
            if (!holder || descent.enter(child.nativeName.constData()) != 0) {
                failBelow(child);
                continue;
            }
            if (child.removed)
                standing[&child] = true;
            steps.push_back({ &child, child.children.begin(), made });
        }
    }

    FolderRestoration outcome;
    for (const Node* node : folders.order()) {
        if (standing[node]) {
            ++outcome.restored;
            printLine(QStringLiteral("Undo Successful: ") + shownPathOf(*node));
        } else {
            ++outcome.failed;
            printLine(QStringLiteral("Failed Undo at: ") + shownPathOf(*node));
        }
    }
    return outcome;
}
