#include "cloud/HandlerCloudRemover.h"

#include <gtest/gtest.h>

namespace {

struct SignedOutDrive : ScanWrapper { };

} // namespace

TEST(HandlerCloudRemover, ADriveRunIsRefusedOnlyWhenTheSignInHasBeenAskedFor)
{
    SignedOutDrive drive;
    HandlerCloudRemover remover([&drive](ScanSource source) {
        return source == ScanSource::googleDrive ? static_cast<ScanWrapper*>(&drive) : nullptr;
    });
    // No one to ask: the run goes ahead and each file reports its failure.
    EXPECT_TRUE(remover.isReadyToRemove(ScanSource::googleDrive));

    std::vector<ScanSource> asked;
    remover.setSignInAsker([&asked](ScanSource source) { asked.push_back(source); });
    EXPECT_FALSE(remover.isReadyToRemove(ScanSource::googleDrive));
    EXPECT_EQ(asked, std::vector<ScanSource> { ScanSource::googleDrive });
    drive.isAuthenticateForScan = true;
    EXPECT_TRUE(remover.isReadyToRemove(ScanSource::googleDrive));
    EXPECT_EQ(asked.size(), 1u);

    // No handler lookup at all: nothing to ask, nothing thrown.
    HandlerCloudRemover without({});
    without.setSignInAsker([&asked](ScanSource source) { asked.push_back(source); });
    EXPECT_TRUE(without.isReadyToRemove(ScanSource::googleDrive));
    EXPECT_EQ(asked.size(), 1u);
}
