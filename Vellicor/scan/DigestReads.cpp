#include "scan/DigestReads.h"

#include "platform/FileSystemInfo.h"

#include <QByteArray>
#include <QThreadPool>

#include <sys/sysmacros.h>

#include <algorithm>
#include <chrono>
#include <limits>

namespace {

// How far reads may run ahead of the comparison, in plans: enough to keep
// every thread busy, few enough that the first groups fill while the last
// files are still unread.
constexpr std::size_t lookahead = 8192;

bool parseHead(const QString& hex, BlockDigest& into)
{
    const QByteArray bytes = QByteArray::fromHex(hex.toLatin1());
    if (bytes.size() != 16)
        return false;
    std::copy(bytes.begin(), bytes.end(), into.begin());
    return true;
}

static_assert(sizeof(DigestPlan) == sizeof(DigestText) + sizeof(BlockDigest) + 2 * sizeof(quint32) + 8,
    "a plan is made for nearly every file: it keeps no padding");

} // namespace

DigestReads::DigestReads(
    const FileHasher& hasher, const std::atomic<bool>& abort, qint64 headBytes, const ScanFileFacts& files)
    : hasher_(hasher)
    , abort_(abort)
    , headBytes_(headBytes)
    , files_(files)
{
}

void DigestReads::addSizeGroup(std::size_t first, std::size_t last, bool byHead)
{
    Group group { first, last, byHead };
    for (std::size_t i = first; i < last; ++i) {
        DigestPlan& plan = plans[i];
        plan.group = quint32(groups_.size());
        // Only a file that can end in a group is worth a first block.
        plan.byHead = byHead && files_.hasPath(plan.item) && (plan.work != DigestPlan::none || !plan.digest.isEmpty());
        group.headsLeft += plan.byHead && !plan.headRead ? 1 : 0;
    }
    groups_.push_back(group);
}

void DigestReads::start(int threads)
{
    bool anyWork = false;
    for (const DigestPlan& plan : plans)
        anyWork = anyWork || plan.work != DigestPlan::none;
    std::lock_guard lock(mutex_);
    feed();
    if (!anyWork)
        return;
    for (int i = 0; i < threads; ++i)
        QThreadPool::globalInstance()->start([self = shared_from_this()] { self->work(); });
}

bool DigestReads::waitFor(std::size_t index)
{
    std::unique_lock lock(mutex_);
    waitingFor_ = index;
    if (feed())
        workAdded_.notify_all();
    while (!plans[index].ready) {
        if (abort_)
            return false;
        // Stop is a flag nobody signals: it is looked at every few
        // milliseconds while a large file is read.
        planReady_.wait_for(lock, std::chrono::milliseconds(20));
    }
    return true;
}

void DigestReads::finish()
{
    std::unique_lock lock(mutex_);
    closing_ = true;
    workAdded_.notify_all();
    planReady_.wait(lock, [this] { return inLoop_ == 0; });
}

// Under the lock: hands the size groups within the lookahead to the queues,
// half a lookahead at a time so that readers are woken seldom. True when
// anything was queued.
bool DigestReads::feed()
{
    if (fed_ >= groups_.size() || groups_[fed_].first > waitingFor_ + lookahead / 2)
        return false;
    bool queued = false;
    while (fed_ < groups_.size() && groups_[fed_].first <= waitingFor_ + lookahead) {
        Group& group = groups_[fed_++];
        if (group.headsLeft == 0) {
            queued = afterHeads(group) > 0 || queued;
            continue;
        }
        for (std::size_t i = group.first; i < group.last; ++i) {
            if (plans[i].byHead && !plans[i].headRead) {
                plans[i].headPending = true;
                enqueue(i);
                queued = true;
            }
        }
    }
    return queued;
}

void DigestReads::enqueue(std::size_t index)
{
    const quint64 device = files_.deviceId(plans[index].item);
    auto known = rotational_.find(device);
    if (known == rotational_.end())
        known = rotational_.emplace(device, isRotationalDevice(major(device), minor(device))).first;
    Queue& queue = queues_[known->second ? device : 0];
    queue.oneAtATime = known->second;
    queue.plans.insert(index);
}

// Under the lock, once every first block of the group is in: a file whose
// first block differs from that of every other file of its size cannot share
// its digest. Any unread first block leaves every file to be read in full.
// Answers how many plans were queued for a full read.
int DigestReads::afterHeads(Group& group)
{
    bool allHeads = true;
    std::map<BlockDigest, int> seen;
    for (std::size_t i = group.first; i < group.last; ++i) {
        if (plans[i].byHead) {
            allHeads = allHeads && plans[i].headRead;
            ++seen[plans[i].head];
        }
    }
    int queued = 0;
    for (std::size_t i = group.first; i < group.last; ++i) {
        DigestPlan& plan = plans[i];
        plan.distinct = allHeads && plan.byHead && plan.work == DigestPlan::file && seen[plan.head] == 1;
        if (plan.work != DigestPlan::none && !plan.distinct) {
            enqueue(i);
            ++queued;
        } else {
            plan.ready = true;
        }
    }
    return queued;
}

std::size_t DigestReads::Queue::earliest() const
{
    const std::size_t none = std::numeric_limits<std::size_t>::max();
    return std::min(plans.empty() ? none : *plans.begin(), onDisk.empty() ? none : *onDisk.begin());
}

// Under the lock: the queue holding the earliest plan that may be read now;
// fromCacheOnly tells that its disk is busy and only a cached plan may be read.
DigestReads::Queue* DigestReads::next(bool& fromCacheOnly)
{
    Queue* best = nullptr;
    std::size_t bestPlan = std::numeric_limits<std::size_t>::max();
    for (auto& [device, queue] : queues_) {
        const bool cacheOnly = queue.oneAtATime && queue.busy;
        const std::size_t first
            = cacheOnly ? (queue.plans.empty() ? bestPlan : *queue.plans.begin()) : queue.earliest();
        if (first < bestPlan) {
            best = &queue;
            bestPlan = first;
            fromCacheOnly = cacheOnly;
        }
    }
    return best;
}

void DigestReads::work()
{
    std::unique_lock lock(mutex_);
    if (closing_)
        return;
    ++inLoop_;
    for (;;) {
        Queue* queue = nullptr;
        bool cacheOnly = false;
        while (!closing_ && !abort_ && !(queue = next(cacheOnly)))
            workAdded_.wait_for(lock, std::chrono::milliseconds(20));
        if (!queue)
            break;
        const bool fromDisk = !cacheOnly && !queue->onDisk.empty()
            && (queue->plans.empty() || *queue->onDisk.begin() < *queue->plans.begin());
        std::set<std::size_t>& from = fromDisk ? queue->onDisk : queue->plans;
        const std::size_t index = *from.begin();
        from.erase(from.begin());
        DigestPlan& plan = plans[index];
        const bool head = plan.headPending;
        if (cacheOnly) {
            lock.unlock();
            bool cached = false;
            if (!files_.isDirectory(plan.item)) {
                const std::optional<QString> digest = hasher_.md5IfCached(
                    files_.path(plan.item), head ? headBytes_ : -1, files_.fileSize(plan.item), abort_, cached);
                if (cached)
                    take(plan, head, digest);
            }
            lock.lock();
            if (!cached) {
                queue->onDisk.insert(index);
                continue;
            }
        } else {
            const bool owner = queue->oneAtATime;
            queue->busy = owner;
            lock.unlock();
            read(plan, head);
            lock.lock();
            if (owner) {
                queue->busy = false;
                if (queue->earliest() != std::numeric_limits<std::size_t>::max())
                    workAdded_.notify_one();
            }
        }
        if (head) {
            plan.headPending = false;
            Group& group = groups_[plan.group];
            if (--group.headsLeft == 0 && afterHeads(group) > 1)
                workAdded_.notify_all();
        } else {
            plan.ready = true;
        }
        if (plans[waitingFor_].ready)
            planReady_.notify_one();
    }
    --inLoop_;
    planReady_.notify_one();
}

// Outside the lock; the plan is this thread's until it is marked again.
void DigestReads::read(DigestPlan& plan, bool head)
{
    const QString path = files_.path(plan.item);
    if (head) {
        take(plan, true, hasher_.md5OfFirstBytes(path, headBytes_, abort_));
        return;
    }
    take(plan, false,
        plan.work == DigestPlan::package ? hasher_.md5OfPackageContents(path, abort_)
                                         : hasher_.md5OfFile(path, abort_));
}

void DigestReads::take(DigestPlan& plan, bool head, const std::optional<QString>& digest)
{
    if (head)
        plan.headRead = digest && parseHead(*digest, plan.head);
    else
        plan.digest = digest.value_or(QString());
}
