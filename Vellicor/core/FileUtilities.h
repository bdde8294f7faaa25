#pragma once

#include <QString>

#include <cstdint>

struct stat;

// Low-level file access shared by the digest, the image readers and the scan.
// Every function here is safe on any thread and keeps no state.

// Owns one POSIX file descriptor and closes it when it goes.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd)
        : fd_(fd)
    {
    }
    FileDescriptor(FileDescriptor&& other) noexcept
        : fd_(other.release())
    {
    }
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { reset(); }

    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }
    int release();
    void reset(int fd = -1);

private:
    int fd_ = -1;
};

// A regular file opened for reading, or the reason there is none.
struct OpenedFile {
    FileDescriptor fd;
    quint64 size = 0;
    // One sentence naming the file and the cause; empty when open. The name
    // stands as it is: the log escapes it, other outlets use printablePath.
    QString errorText;

    bool isOpen() const { return fd.isOpen(); }
};

// Whether opening a file follows a symbolic link that the name itself is.
enum class LinkFollowing { follow, refuse };

// Opens path for reading only when it is a regular file (after following
// symbolic links, unless refused). FIFOs, sockets and device nodes are refused
// without being opened, and the descriptor is checked again after opening, so
// a name swapped for a FIFO in between can never block the caller.
OpenedFile openRegularFile(const QString& path, LinkFollowing links = LinkFollowing::follow);

// A name as it may appear inside one line of text, escaped as the log escapes
// every item (so log items need no call of their own). Longer than longest
// characters (when given), it keeps its start and its end around "…", each
// cut at a whole character: what an alert, a sheet or a list shows of a name.
QString printablePath(const QString& path, qsizetype longest = -1);

// How much of a path the alerts, sheets and lists show: room for a deep
// folder and the file's name, never a screen's worth.
inline constexpr qsizetype shownPathLength = 120;

// A path as one line of a report or the log shows it: whole while a path may
// be that long, else "…/" and its last names within a few hundred bytes, so
// that what a deep tree's entries cost the log stays in proportion to their
// number rather than to their depth.
QString pathForReport(const QByteArray& nativePath);

// The text of an errno value, safe on any thread.
QString errnoText(int error);

// Opens the sub-folder name of the folder open at folder, never through a
// link, with flags besides O_DIRECTORY (O_RDONLY to read it, O_PATH to act
// in it). -1 with errno ELOOP when name is a symbolic link, ENOTDIR when it is
// anything else but a folder. status, when given, receives the folder's own.
int openSubfolder(int folder, const char* name, int flags, struct stat* status = nullptr);

// Why a path that was walked a folder at a time no longer leads to what it
// led to, for an errno met on the way: a sentence for a report.
QString pathRefusal(int error);

// Sum of the sizes of everything below a folder, never counting a folder's
// own entry; symbolic links count as links. Paths of any length are walked
// relative to their parent, a folder reached again through a bind mount is
// not counted twice, and unreadable folders or entries count 0 with a note on
// standard error. A path that cannot be opened as a folder gives 0.
std::uint64_t folderSizeOfPath(const char* path);
