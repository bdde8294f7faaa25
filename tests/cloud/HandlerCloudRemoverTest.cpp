#include "cloud/HandlerCloudRemover.h"

#include <QCoreApplication>
#include <QThread>

#include <atomic>
#include <memory>

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

// A worker's question still waiting for the GUI thread when the remover is
// cut (the program going) is never answered from the lists, which may be
// gone by the time the GUI thread reaches it.
TEST(HandlerCloudRemover, AQuestionLeftWaitingIsNotAnsweredOnceCut)
{
    SignedOutDrive drive;
    std::atomic<int> lookedUp { 0 };
    HandlerCloudRemover remover([&](ScanSource) {
        ++lookedUp;
        return static_cast<ScanWrapper*>(&drive);
    });
    std::atomic<bool> removed { true };
    QString error;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        FileInfoNode file;
        removed = remover.deleteCloudFile(ScanSource::googleDrive, file, error);
    }));
    worker->start();
    // The question is posted before the worker first looks at its stop.
    remover.cut();
    worker->requestInterruption();
    ASSERT_TRUE(worker->wait(QDeadlineTimer(10000)));
    QCoreApplication::processEvents();
    EXPECT_EQ(lookedUp, 0);
    EXPECT_FALSE(removed);
    EXPECT_FALSE(error.isEmpty());
}
