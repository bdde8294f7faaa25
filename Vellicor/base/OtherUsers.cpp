#include "base/OtherUsers.h"

#include <QByteArray>
#include <QFile>
#include <QList>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <map>
#include <mutex>
#include <optional>
#include <pwd.h>
#include <string>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace OtherUsers {

namespace {

// The access list as the kernel keeps it in its attribute: a version, then
// entries of a tag, permissions and an id, little-endian.
constexpr char accessListName[] = "system.posix_acl_access";
constexpr quint32 accessListVersion = 2;
constexpr qsizetype accessListHeader = 4;
constexpr qsizetype accessListEntry = 8;
// The tags of the entries that may name someone besides the owner.
constexpr quint16 namedUserTag = 0x02, owningGroupTag = 0x04, namedGroupTag = 0x08;
constexpr quint16 writeBit = 0x02;

quint32 littleEndian(const QByteArray& bytes, qsizetype at, int size)
{
    quint32 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes[at + i]);
    return value;
}

struct AccessEntry {
    quint16 tag = 0;
    quint16 permissions = 0;
    quint32 id = 0;
};

// The entries of the folder's access list: an empty list where it has none
// beyond its mode, none where it cannot be read or makes no sense.
std::optional<std::vector<AccessEntry>> accessListOf(int folder)
{
    // A descriptor opened with O_PATH reads no attribute itself; its entry
    // under /proc names the same folder without a look-up by path.
    const QByteArray byDescriptor = "/proc/self/fd/" + QByteArray::number(folder);
    const auto read = [&](char* buffer, size_t size) {
        const ssize_t got = ::fgetxattr(folder, accessListName, buffer, size);
        return got < 0 && errno == EBADF ? ::getxattr(byDescriptor.constData(), accessListName, buffer, size) : got;
    };
    QByteArray bytes;
    for (int attempt = 0;; ++attempt) {
        const ssize_t size = read(nullptr, 0);
        if (size < 0 && (errno == ENODATA || errno == ENOTSUP))
            return std::vector<AccessEntry> {};
        if (size < 0 || attempt == 4)
            return std::nullopt;
        bytes.resize(size);
        const ssize_t got = read(bytes.data(), size_t(bytes.size()));
        if (got >= 0) {
            bytes.truncate(got);
            break;
        }
        // Grown since its size was asked: asked again.
        if (errno != ERANGE)
            return std::nullopt;
    }
    if (bytes.size() < accessListHeader || (bytes.size() - accessListHeader) % accessListEntry != 0
        || littleEndian(bytes, 0, 4) != accessListVersion)
        return std::nullopt;
    std::vector<AccessEntry> entries;
    for (qsizetype at = accessListHeader; at < bytes.size(); at += accessListEntry)
        entries.push_back({ quint16(littleEndian(bytes, at, 2)), quint16(littleEndian(bytes, at + 2, 2)),
            littleEndian(bytes, at + 4, 4) });
    return entries;
}

// The few bytes of a file under /proc: empty when it cannot be read.
std::string procText(const char* path)
{
    std::string text;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || text.size() > 65536)
            break;
        text.append(buffer, size_t(got));
    }
    ::close(fd);
    return text;
}

// How the user namespace the process runs in shows owners.
struct OwnerMap {
    // The overflow id stands for the system: the namespace leaves its
    // parent's superuser out, and so shows that superuser's files, the
    // root's and the system's folders among them, as the overflow id.
    bool overflowIsSystem = false;
    uid_t overflow = 65534;
};

// Read once: a process does not leave its user namespace, and the program
// never enters another. Each line of the map is the first id inside, the
// first outside (in the parent namespace) and their count. The kernel shows
// every owner the map leaves out as the overflow id, and where the parent's
// superuser is among them, a folder of the system's cannot be told by its
// owner from one of the namespace's own overflow-numbered account. Such a map
// leaves that id out too (it maps only the user) or gives it to one of the
// user's subordinate ids (a container that maps them all): an id of the
// user's, not of another user. Where the map takes the parent's superuser in
// (outside any namespace it holds every id), the system's folders show as
// the superuser's, and an overflow owner is another user as any other id is.
// A map that cannot be read is taken for the whole, so that nothing is
// judged otherwise than outside any namespace.
OwnerMap readOwnerMap()
{
    OwnerMap map;
    const std::string overflow = procText("/proc/sys/kernel/overflowuid");
    if (!overflow.empty())
        map.overflow = uid_t(std::strtoul(overflow.c_str(), nullptr, 10));
    const std::string lines = procText("/proc/self/uid_map");
    bool parsed = false;
    bool superuserMapped = false;
    const char* at = lines.c_str();
    const auto number = [&at](unsigned long long& value) {
        char* end = nullptr;
        value = std::strtoull(at, &end, 10);
        const bool read = end != at;
        at = end;
        return read;
    };
    for (unsigned long long inside = 0, outside = 0, count = 0; number(inside);) {
        if (!number(outside) || !number(count))
            return OwnerMap { false, map.overflow };
        parsed = true;
        // Outside id 0 can only be the first of its range.
        superuserMapped = superuserMapped || (outside == 0 && count > 0);
    }
    map.overflowIsSystem = parsed && !superuserMapped;
    return map;
}

struct Account {
    uid_t uid = 0;
    gid_t gid = 0;
    QByteArray name;
};

// The passwd entry of uid; none when the system has none.
std::optional<Account> accountOf(uid_t uid)
{
    std::vector<char> buffer(16384);
    passwd entry { };
    passwd* found = nullptr;
    while (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == ERANGE && buffer.size() < (1 << 24))
        buffer.resize(buffer.size() * 2);
    if (!found)
        return std::nullopt;
    return Account { found->pw_uid, found->pw_gid, QByteArray(found->pw_name) };
}

bool groupListsOnly(gid_t gid, const QByteArray& name)
{
    std::vector<char> buffer(16384);
    group entry { };
    group* found = nullptr;
    while (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == ERANGE && buffer.size() < (1 << 24))
        buffer.resize(buffer.size() * 2);
    if (!found)
        return false;
    for (char** member = found->gr_mem; member && *member; ++member) {
        if (name != *member)
            return false;
    }
    return true;
}

// Whether any user but uid and the superuser has gid as their primary
// group. The enumeration's place is the system's one for the process.
bool primaryToAnotherUser(gid_t gid, uid_t uid)
{
    static std::mutex enumeration;
    const std::lock_guard guard(enumeration);
    std::vector<char> buffer(16384);
    bool another = false;
    ::setpwent();
    for (;;) {
        passwd entry { };
        passwd* found = nullptr;
        const int error = ::getpwent_r(&entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (1 << 24)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (error != 0 || !found)
            break;
        if (found->pw_gid == gid && found->pw_uid != uid && found->pw_uid != 0) {
            another = true;
            break;
        }
    }
    ::endpwent();
    return another;
}

bool lookUpUsersOwnGroup(gid_t gid)
{
    const std::optional<Account> account = accountOf(::geteuid());
    return account && account->gid == gid && groupListsOnly(gid, account->name)
        && !primaryToAnotherUser(gid, account->uid);
}

// Whether an entry of the access list lets someone other than the user
// and the superuser write; the mask lets write through (the mode's group
// bits say so).
bool writableByOthersThrough(const std::vector<AccessEntry>& entries, gid_t owningGroup)
{
    const uid_t self = ::geteuid();
    for (const AccessEntry& entry : entries) {
        if (!(entry.permissions & writeBit))
            continue;
        // A named user is who it names, one the namespace does not map
        // too: an entry names a user, never the system.
        if ((entry.tag == namedUserTag && entry.id != self && entry.id != 0)
            || (entry.tag == namedGroupTag && !isUsersOwnGroup(entry.id))
            || (entry.tag == owningGroupTag && !isUsersOwnGroup(owningGroup)))
            return true;
    }
    return false;
}

// Puts the names of way on names, to be taken from its end in their order.
void addWay(std::vector<QByteArray>& names, const QByteArray& way)
{
    const QList<QByteArray> parts = way.split('/');
    for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
        if (!part->isEmpty() && *part != ".")
            names.push_back(*part);
    }
}

const OwnerMap& ownerMap()
{
    static const OwnerMap map = readOwnerMap();
    return map;
}

} // namespace

bool isSystemOwner(uid_t uid)
{
    return uid == 0 || isUnattributedOwner(uid);
}

bool isUnattributedOwner(uid_t uid)
{
    return ownerMap().overflowIsSystem && uid == ownerMap().overflow;
}

bool isUsersOwnGroup(gid_t gid)
{
    static std::mutex known;
    static std::map<gid_t, bool> answers;
    {
        const std::lock_guard guard(known);
        if (const auto found = answers.find(gid); found != answers.end())
            return found->second;
    }
    // Looked up outside the lock: a name service may take its time, and two
    // threads asking at once come to the same answer.
    const bool own = lookUpUsersOwnGroup(gid);
    const std::lock_guard guard(known);
    answers.emplace(gid, own);
    return own;
}

bool mayChangeFolder(int folder, const struct stat& status)
{
    // An owner outside a user namespace's map is judged by the folder's mode
    // and access list alone, as the superuser is. So is its group: one the
    // namespace does not map is not the user's alone, and its write bit lets
    // whoever may be in it write.
    if (status.st_uid != ::geteuid() && !isSystemOwner(status.st_uid))
        return true;
    if (status.st_mode & S_ISVTX)
        return false;
    if (status.st_mode & S_IWOTH)
        return true;
    // Without the group's write bit neither the owning group nor an entry of
    // the access list may write: with entries beyond the mode, those bits are
    // their mask.
    if (!(status.st_mode & S_IWGRP))
        return false;
    const std::optional<std::vector<AccessEntry>> entries = accessListOf(folder);
    if (!entries)
        return true;
    if (entries->empty())
        return !isUsersOwnGroup(status.st_gid);
    return writableByOthersThrough(*entries, status.st_gid);
}

bool mayChangeAnyFolderAbove(int folder)
{
    // Deeper than any path can name: a way up that long has gone wrong.
    constexpr int levelsAtMost = 4096;
    struct stat below { };
    if (::fstat(folder, &below) != 0)
        return true;
    int at = ::fcntl(folder, F_DUPFD_CLOEXEC, 0);
    for (int level = 0; at >= 0 && level < levelsAtMost; ++level) {
        const int above = ::openat(at, "..", O_PATH | O_DIRECTORY | O_CLOEXEC);
        ::close(at);
        at = above;
        struct stat status { };
        if (at < 0 || ::fstat(at, &status) != 0)
            break;
        if (status.st_dev == below.st_dev && status.st_ino == below.st_ino) {
            ::close(at);
            return false;
        }
        if (mayChangeFolder(at, status))
            break;
        below = status;
    }
    if (at >= 0)
        ::close(at);
    return true;
}

bool mayChangeWayTo(const QByteArray& path)
{
    // Links followed on the way at most, as the kernel allows.
    constexpr int linksAtMost = 40;
    if (path.contains('\0'))
        return true;
    int at = ::open(path.startsWith('/') ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC);
    std::vector<QByteArray> names;
    addWay(names, path);
    int links = 0;
    bool steerable = at < 0;
    while (!steerable && !names.empty()) {
        const QByteArray name = std::move(names.back());
        names.pop_back();
        // The name is looked up here: whoever may change this folder may
        // put anything in its place.
        struct stat status { };
        const int found = ::fstat(at, &status) == 0 && !mayChangeFolder(at, status)
            ? ::openat(at, name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC)
            : -1;
        struct stat entry { };
        steerable = found < 0 || ::fstat(found, &entry) != 0;
        if (steerable || !S_ISLNK(entry.st_mode)) {
            ::close(at);
            at = found;
            continue;
        }
        char target[PATH_MAX];
        const ssize_t length = ::readlinkat(found, "", target, sizeof target);
        ::close(found);
        steerable = (entry.st_uid != ::geteuid() && !isSystemOwner(entry.st_uid)) || ++links > linksAtMost
            || length <= 0 || std::size_t(length) >= sizeof target;
        if (!steerable && target[0] == '/') {
            ::close(at);
            at = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
            steerable = at < 0;
        }
        if (!steerable)
            addWay(names, QByteArray(target, length));
    }
    if (at >= 0)
        ::close(at);
    return steerable;
}

QStringList foldersAnotherUserMayChangeAbove(const QString& path)
{
    QStringList found;
    const QList<QByteArray> names = QFile::encodeName(path).split('/');
    if (names.size() < 2 || !names.first().isEmpty())
        return found;
    // The root, then each folder below it, all but the last name.
    QByteArray way = "/";
    for (qsizetype i = 0; i + 1 < names.size(); ++i) {
        if (i > 0 && names[i].isEmpty())
            continue;
        if (i > 0)
            way += (way.size() > 1 ? "/" : "") + names[i];
        const int folder = ::open(way.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        struct stat status { };
        const bool seen = folder >= 0 && ::fstat(folder, &status) == 0;
        if (seen && mayChangeFolder(folder, status))
            found.append(QFile::decodeName(way));
        if (folder >= 0)
            ::close(folder);
        if (!seen)
            break;
    }
    return found;
}

} // namespace OtherUsers
