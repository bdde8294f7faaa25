#pragma once

#include "core/FileInfoNode.h"
#include "scan/FileHasher.h"
#include "scan/ScanFileFacts.h"

#include <QString>

#include <array>
#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

// What one file of a size group needs before it can join a group. Made for
// every file that shares its size: its fields are ordered so that it has no
// holes.
struct DigestPlan {
    enum Work : quint8 { none, file, package };

    // The full digest: known before the comparison (final already, or from the
    // cache), or read; empty when there is none.
    DigestText digest;
    // The first block's digest, once headRead (read, or from the cache).
    BlockDigest head {};
    // The file's item in the reads' files.
    quint32 item = 0;
    // Its size group among the reads' groups (one per shared size).
    quint32 group = 0;
    Work work = none;
    bool known = false;
    bool fromCache = false;
    // Told apart from the others of its size by its first block first.
    bool byHead = false;
    bool headRead = false;
    // Its first block matches no other file of its size: it needs no full read.
    bool distinct = false;
    bool headPending = false;
    bool ready = false;
};

// Reads the digests the plans of a comparison need, on the application's
// thread pool, a bounded stretch ahead of the order in which the comparison
// takes the files up. Files on a rotational disk are read by one thread per
// disk, so its head does not seek between files; other files are read in
// parallel. The comparison's thread fills plans and size groups, calls start,
// waits for each plan in its order and ends with finish, which returns once no
// pool thread touches the plans or the files any more.
class DigestReads : public std::enable_shared_from_this<DigestReads> {
public:
    // The files outlive the reads.
    DigestReads(const FileHasher& hasher, const std::atomic<bool>& abort, qint64 headBytes, const ScanFileFacts& files);

    // Filled before start and never resized after it.
    std::vector<DigestPlan> plans;
    // The plans [first, last) are one size group; with byHead its files are
    // first told apart by their first blocks.
    void addSizeGroup(std::size_t first, std::size_t last, bool byHead);

    // Starts up to threads readers on the pool when anything needs reading.
    void start(int threads);
    // Waits until the plan's digests are read; false when Stop came first.
    // Plans are waited for in ascending order.
    bool waitFor(std::size_t index);
    void finish();

private:
    struct Group {
        std::size_t first;
        std::size_t last;
        bool byHead;
        std::size_t headsLeft = 0;
    };
    // The plans waiting to be read from one disk (or from all solid-state
    // ones), by their place in the order. On a rotational disk, while its one
    // reader is busy, other threads take plans whose bytes turn out to be in
    // the page cache; the others wait in onDisk for the disk's reader.
    struct Queue {
        std::set<std::size_t> plans;
        std::set<std::size_t> onDisk;
        bool oneAtATime = false;
        bool busy = false;
        std::size_t earliest() const;
    };

    void work();
    bool feed();
    void enqueue(std::size_t index);
    int afterHeads(Group& group);
    Queue* next(bool& fromCacheOnly);
    void read(DigestPlan& plan, bool head);
    static void take(DigestPlan& plan, bool head, const std::optional<QString>& digest);

    const FileHasher& hasher_;
    const std::atomic<bool>& abort_;
    const qint64 headBytes_;
    const ScanFileFacts& files_;

    std::mutex mutex_;
    // Readers wait on the first for plans to read, the comparison on the second
    // for the plan it takes up next.
    std::condition_variable workAdded_;
    std::condition_variable planReady_;
    std::vector<Group> groups_;
    std::size_t fed_ = 0;
    std::size_t waitingFor_ = 0;
    std::map<quint64, Queue> queues_; // by device; solid-state devices share key 0
    std::map<quint64, bool> rotational_;
    int inLoop_ = 0;
    bool closing_ = false;
};
