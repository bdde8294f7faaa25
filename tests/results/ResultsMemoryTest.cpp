#include "base/UserDefaults.h"
#include "core/AppStartup.h"
#include "core/GlobalObjects.h"
#include "platform/FileRemover.h"
#include "results/ResultViewController.h"
#include "scan/CloudFileRecordBuilder.h"
#include "scan/ListingGuard.h"
#include "scan/ScanJob.h"
#include "scan/ScanSources.h"
#include "scan/ScanWrapper.h"
#include "support/EndlessCopies.h"
#include "support/MemoryGrowth.h"
#include "support/TempHome.h"
#include "support/WaitUntil.h"

#include <QJsonObject>
#include <QThreadPool>
#include <gtest/gtest.h>

#include <cstdio>
#include <malloc.h>

namespace {

// The program's parts that take a cloud scan's result in: its start-up, with
// every file type scanned, and the results screen as it stands before a scan.
struct ResultsProgram {
    ResultsProgram()
    {
        startApplicationCore(defaults);
        isAllFileTypesSelected = true;
        scanCategoryFlags.fill(true);
        screen.setAttribute(Qt::WA_DontShowOnScreen);
        screen.viewDidLoad();
        screen.show();
    }
    ScanRequest request() const
    {
        ScanRequest request;
        request.source = ScanSource::dropbox;
        request.filters = makeScanSettingsSnapshot();
        request.filters.scanAnyFileSize = true;
        return request;
    }
    // Hands the result to the screen as the engine does, and waits until its
    // list shows it, then its outline and its grid.
    bool show(const ScanJob& job)
    {
        screen.showResults(job.result());
        if (!waitUntil([&] { return !screen.isHandingOver(); }, 120000))
            return false;
        for (const auto mode : { ResultViewController::ViewMode::list, ResultViewController::ViewMode::group,
                 ResultViewController::ViewMode::grid }) {
            screen.btnChangeResultView(mode);
            waitUntil([] { return false; }, 300);
        }
        QThreadPool::globalInstance()->waitForDone();
        return screen.state().arrMainGroup.size() == job.result()->groups.size();
    }

    TempHome home;
    UserDefaults defaults { home.path() + QStringLiteral("/settings") };
    ResultViewController screen { defaults, std::make_shared<ScanSources>(defaults),
        std::make_shared<FaultyFileRemover>() };
};

} // namespace

// What a cloud scan's listing counts for each file it takes covers what the
// scan, its comparison and then the results screen hold for it: the records
// made before (as the listing made them), every file a copy of one other, so
// that each becomes a row of the list and the grid. Measured as the system
// counts the program's memory, in a process of its own.
TEST(ResultsMemory, EachListedFileIsCountedWithWhatTheScanAndTheResultsScreenHoldForIt)
{
#if defined(VELLICOR_RUN_TIME_CHECKER)
    GTEST_SKIP() << "the memory a file holds is measured only without a run-time checker";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto measure = [] {
        ResultsProgram program;
        const int files = 200000;
        std::vector<FileInfoNodePtr> records;
        records.reserve(files);
        for (int index = 0; index < files; ++index)
            records.push_back(recordOf(pairedPhoto(index)));
        const ScanRequest request = program.request();
        malloc_trim(0);
        const qint64 before = statusBytes("VmRSS");
        resetPeakMemory();
        ScanJob job(request, nullptr, {});
        for (const FileInfoNodePtr& record : records)
            job.addCloudScanFile(record);
        job.OnScanCompletedProcess();
        const qint64 atScanEnd = statusBytes("VmHWM") - before;
        const bool shown = program.show(job);
        const qint64 held = statusBytes("VmHWM") - before;
        const qint64 counted = ScanJob::heldBytesPerCloudFile(request.comparison, *records.front());
        std::printf("held %lld bytes a file at the scan's end, %lld with the results shown; counted %lld\n",
            static_cast<long long>(atScanEnd / files), static_cast<long long>(held / files),
            static_cast<long long>(counted));
        std::fflush(stdout);
        // The whole, and the results screen's own share within it.
        std::_Exit(shown && held <= scaledMemoryBound(counted * files)
                    && held - atScanEnd <= scaledMemoryBound(resultsScreenBytesPerFile * files)
                ? 0
                : 1);
    };
    EXPECT_EXIT(measure(), ::testing::ExitedWithCode(0), "");
}

// A listing of a folder without an end, every file a copy of another, ends at
// its bound early enough that the whole program, the results screen showing
// all it found, stays within three quarters of the memory it may take: the
// memory the program held before the listing is left out of the listing's
// share, and each file is counted with the results screen's share.
TEST(ResultsMemory, AnEndlessFolderOfCopiesEndsWithTheWholeProgramWithinItsShareOfMemory)
{
#if defined(VELLICOR_RUN_TIME_CHECKER)
    GTEST_SKIP() << "the program's memory is measured only without a run-time checker";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto measure = [] {
        ResultsProgram program;
        const ScanRequest request = program.request();
        malloc_trim(0);
        resetPeakMemory();
        // A machine whose three quarters leave the listing some 300 MiB
        // beside what the program holds now.
        const qint64 memory = (statusBytes("VmRSS") + (300ll << 20)) / 3 * 4;
        EndlessCopies source;
        source.memoryBytes = memory;
        ScanJob job(request, &source, {});
        source.startCloudScan({ source.makeRootFolderNode() }, request, job);
        const bool shown = job.listingBound() && program.show(job);
        const qint64 peak = statusBytes("VmHWM");
        std::printf("%lld files listed; the peak %lld MiB, %.1f %% of %lld MiB\n",
            static_cast<long long>(job.result()->countScanned), static_cast<long long>(peak >> 20),
            100.0 * double(peak) / double(memory), static_cast<long long>(memory >> 20));
        std::fflush(stdout);
        std::_Exit(shown && peak <= memory / 4 * 3 ? 0 : 1);
    };
    EXPECT_EXIT(measure(), ::testing::ExitedWithCode(0), "");
}
