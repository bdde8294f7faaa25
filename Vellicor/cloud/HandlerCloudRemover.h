#pragma once

#include "cleanup/CloudRemover.h"
#include "scan/ScanWrapper.h"

#include <functional>

// The clean-up's cloud remover over a source handler: removal and restore go
// to the handler the function names (the selected source's; none: refused).
// Runs on the removal and undo workers; the handler outlives the clean-up.
class HandlerCloudRemover : public CloudRemover {
public:
    explicit HandlerCloudRemover(std::function<ScanWrapper*()> handler)
        : handler_(std::move(handler))
    {
    }

    bool deleteCloudFile(const FileInfoNode& file, QString& error) override;

private:
    std::function<ScanWrapper*()> handler_;
};
