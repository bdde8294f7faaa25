#include "cloud/HandlerCloudRemover.h"

#include <QCoreApplication>
#include <QThread>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>

namespace {

// One answer handed from the GUI thread to the worker waiting for it.
struct Answer {
    std::mutex mutex;
    std::condition_variable given;
    std::optional<bool> value;
    // The handler asked, null when the source has none.
    ScanWrapper* handler = nullptr;
    // A file put back, as its service answered for it.
    std::optional<FileInfoNode::CloudFields> restoredAs;

    void give(bool ok, ScanWrapper* from, const FileInfoNode* answered = nullptr)
    {
        std::lock_guard lock(mutex);
        if (!value) {
            value = ok;
            handler = from;
            if (ok && answered && answered->cloud)
                restoredAs = *answered->cloud;
        }
        given.notify_one();
    }
};

// Runs work on the GUI thread and waits for the answer it gives. The GUI
// thread may itself be waiting for this worker (a quit), so a worker asked
// to stop gives up at once; so does one past the limit.
std::shared_ptr<Answer> askOnGuiThread(std::function<void(std::shared_ptr<Answer>)> work, int limitMs)
{
    auto answer = std::make_shared<Answer>();
    QCoreApplication* application = QCoreApplication::instance();
    if (!application)
        return nullptr;
    if (QThread::currentThread() == application->thread()) {
        // Only a worker may wait; on the GUI thread the answer must be at hand.
        work(answer);
        std::lock_guard lock(answer->mutex);
        return answer->value ? answer : nullptr;
    }
    QMetaObject::invokeMethod(application, [work = std::move(work), answer] { work(answer); }, Qt::QueuedConnection);
    QThread* const worker = QThread::currentThread();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    std::unique_lock lock(answer->mutex);
    while (!answer->value) {
        if (worker->isInterruptionRequested() || std::chrono::steady_clock::now() >= deadline)
            return nullptr;
        answer->given.wait_for(lock, std::chrono::milliseconds(50));
    }
    return answer;
}

} // namespace

HandlerCloudRemover::HandlerOf HandlerCloudRemover::lookUpUntilCut() const
{
    return [handlerOf = handler_, cut = cut_](ScanSource source) -> ScanWrapper* {
        return handlerOf && !*cut ? handlerOf(source) : nullptr;
    };
}

bool HandlerCloudRemover::deleteCloudFile(ScanSource source, const FileInfoNode& file, QString& error)
{
    if (file.cloud && file.cloud->putBackAsAnother) {
        // What the record names is no longer this file: nothing is asked of
        // the service, which could only refuse or take another file.
        error = QStringLiteral("the file was put back under another id or revision and is left as it is");
        return false;
    }
    const HandlerOf handlerOf = lookUpUntilCut();
    const std::shared_ptr<Answer> found = askOnGuiThread(
        [handlerOf, source](const std::shared_ptr<Answer>& answer) {
            ScanWrapper* handler = handlerOf(source);
            answer->give(handler != nullptr, handler);
        },
        restoreLimitMs);
    ScanWrapper* handler = found ? found->handler : nullptr;
    if (!handler) {
        error = QStringLiteral("removal from this source is not available");
        return false;
    }
    // The source's folders are listed again by the next scan and picker,
    // whatever the service answers: a removal may have taken effect even
    // when its answer was lost.
    handler->markListingsStale();
    // The handler takes a record of its own; the caller's stays untouched.
    if (!handler->deleteCloudFile(std::make_shared<FileInfoNode>(file))) {
        error = handler->lastRemovalFailure();
        if (error.isEmpty())
            error = QStringLiteral("the service did not move the file to its trash");
        return false;
    }
    return true;
}

bool HandlerCloudRemover::restoreCloudFile(
    ScanSource source, const FileInfoNode& file, std::optional<FileInfoNode::CloudFields>& restoredAs, QString& error)
{
    const HandlerOf handlerOf = lookUpUntilCut();
    // The handler records what the service answered in its own copy, on the
    // GUI thread; the caller's record is changed where it is owned.
    auto record = std::make_shared<FileInfoNode>(file);
    const std::shared_ptr<Answer> restored = askOnGuiThread(
        [handlerOf, source, record](const std::shared_ptr<Answer>& answer) {
            ScanWrapper* handler = handlerOf(source);
            if (!handler) {
                answer->give(false, nullptr);
                return;
            }
            handler->markListingsStale();
            handler->restoreCloudFile(
                record, [answer, handler, record](bool ok) { answer->give(ok, handler, record.get()); });
        },
        restoreLimitMs);
    if (!restored) {
        error = QStringLiteral("the service did not answer in time");
        return false;
    }
    std::lock_guard lock(restored->mutex);
    if (!*restored->value)
        error = restored->handler ? QStringLiteral("the service did not put the file back")
                                  : QStringLiteral("restoring to this source is not available");
    restoredAs = restored->restoredAs;
    return *restored->value;
}

bool HandlerCloudRemover::canRestore(ScanSource source)
{
    const ScanWrapper* handler = lookUpUntilCut()(source);
    return handler && handler->restoresRemovedFiles();
}

bool HandlerCloudRemover::isReadyToRemove(ScanSource source)
{
    ScanWrapper* handler = handler_ ? handler_(source) : nullptr;
    // Without a handler, or with no one to ask for the sign-in, every file
    // fails on its own and is reported so: a refused run would tell nothing.
    if (!handler || handler->isAuthenticateForScan || !askSignIn_)
        return true;
    askSignIn_(source);
    return false;
}
