#pragma once

#include "cleanup/CloudRemover.h"
#include "scan/ScanWrapper.h"

#include <functional>
#include <memory>

// The clean-up's cloud remover over the source handlers: a file is removed
// and put back by the handler of the source its result came from (none:
// refused). Made on the GUI thread and called on the removal and undo
// workers; the handlers are looked up and restores are started on the GUI
// thread, which owns them and their requests. The handlers outlive the
// clean-up.
class HandlerCloudRemover : public CloudRemover {
public:
    using HandlerOf = std::function<ScanWrapper*(ScanSource)>;
    explicit HandlerCloudRemover(HandlerOf handler)
        : handler_(std::move(handler))
    {
    }

    bool deleteCloudFile(ScanSource source, const FileInfoNode& file, QString& error) override;
    bool restoreCloudFile(ScanSource source, const FileInfoNode& file,
        std::optional<FileInfoNode::CloudFields>& restoredAs, QString& error) override;
    // As the source's handler says; none: false.
    bool canRestore(ScanSource source) override;
    // A service is removed from only while signed in; signed out (never,
    // or no longer: it refused the sign-in), the sign-in asker is called and
    // the run does not start (with no asker set it starts, and each file
    // reports its failure).
    bool isReadyToRemove(ScanSource source) override;
    void setSignInAsker(std::function<void(ScanSource)> ask) { askSignIn_ = std::move(ask); }
    // GUI thread: no handler is looked up from here on, not even for a
    // worker's question still waiting there, which gets none. Made before
    // what the lookup reads (the lists and their handlers) goes.
    void cut() { *cut_ = true; }

    // How long a worker waits for one restore's answer.
    static constexpr int restoreLimitMs = 5 * 60 * 1000;

private:
    // The lookup the workers' questions run on the GUI thread.
    HandlerOf lookUpUntilCut() const;

    HandlerOf handler_;
    // Read and set on the GUI thread only.
    std::shared_ptr<bool> cut_ = std::make_shared<bool>(false);
    std::function<void(ScanSource)> askSignIn_;
};
