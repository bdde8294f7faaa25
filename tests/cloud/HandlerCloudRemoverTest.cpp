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

// A file put back by an undo whose answer named another file is left as it
// is: its record names the removed file, so the service is asked nothing,
// and the report says why, not that the service kept the file.
TEST(HandlerCloudRemover, AFilePutBackUnderAnotherIdIsLeftAsItIsAndSaysSo)
{
    struct CountedRemovals : ScanWrapper {
        std::atomic<int> asked { 0 };
        bool deleteCloudFile(const FileInfoNodePtr&) override { return ++asked > 0; }
    } box;
    HandlerCloudRemover remover([&box](ScanSource) { return static_cast<ScanWrapper*>(&box); });
    FileInfoNode file;
    file.filePath = QStringLiteral("/Photos/a.jpg");
    file.cloudFields().fileId = QStringLiteral("11");
    file.cloudFields().putBackAsAnother = true;
    std::atomic<bool> removed { true };
    std::atomic<bool> ended { false };
    QString error;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        removed = remover.deleteCloudFile(ScanSource::box, file, error);
        ended = true;
    }));
    worker->start();
    while (!ended)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_TRUE(worker->wait(QDeadlineTimer(10000)));
    EXPECT_FALSE(removed);
    EXPECT_EQ(box.asked, 0);
    EXPECT_EQ(error, QStringLiteral("the file was put back under another id or revision and is left as it is"));
}
