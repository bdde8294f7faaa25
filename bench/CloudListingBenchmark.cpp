// One flat folder of a million files (a phone's camera uploads) and three
// albums, listed from the loopback fake of a cloud service as the folder
// picker lists it and then as a scan does. Prints, for each, the time, the
// albums shown or files listed, whether the listing was cut short, and the
// peak resident memory beyond the memory before it, per file, and for the
// picker what stays resident once its listing has ended and is let go of. The
// fake makes each page when it is asked for, in this process; its share of
// the peak is one page. No budget: run it before and after a change.
//   vellicor_bench_cloud_listing dropbox|box|onedrive|drive [files] [picker|scan]
// With a last argument, only that step runs: its memory then owes nothing to
// the heap the other left.
#include "PeakMemory.h"
#include "cloud/BoxCloudHandler.h"
#include "cloud/DropBoxHandler.h"
#include "cloud/GoogleDriveHandler.h"
#include "cloud/OneDriveHandler.h"
#include "base/UserDefaults.h"
#include "cloud/SecretStore.h"
#include "core/AppStartup.h"
#include "core/GlobalObjects.h"
#include "scan/ScanRequest.h"
#include "support/FakeGoogle.h"
#include "support/FakeServiceConfig.h"
#include "support/FlatCloudFolder.h"
#include "support/TempHome.h"
#include "support/WaitUntil.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThreadPool>
#include <QTimer>

#include <malloc.h>

#include <algorithm>

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int limitMs = 30 * 60 * 1000;

// The step to run alone; empty for both.
QString onlyStep;

// Takes every record, as a scan whose filters let every photo through.
template <typename Handler> struct Accepting : Handler {
    using Handler::Handler;
    bool acceptRecord(FileInfoNode&) const override { return true; }
};

// Keeps the records as a scan's job does, and the ends of the listings.
struct Keeper : ScanWrapperDelegate {
    std::vector<FileInfoNodePtr> records;
    int ends = 0;
    void addCloudScanFile(const FileInfoNodePtr& record) override { records.push_back(record); }
    void OnScanCompletedProcess() override { ++ends; }
    void onAccessPermissionStatus(bool) override { ++signIns; }
    int signIns = 0;
};

// Runs a step and prints its time, its count (of what) and its peak memory
// per file.
void measure(const char* step, qint64 files, const std::function<qint64()>& run, const std::function<bool()>& cut,
    const char* what = "files listed")
{
    if (!onlyStep.isEmpty() && onlyStep != QLatin1String(step))
        return;
    // What the step before freed goes back to the system, so that it is not
    // taken again unseen (as far as the heap allows).
    malloc_trim(0);
    MemoryPeaks peaks;
    peaks.beginStep();
    QElapsedTimer clock;
    clock.start();
    const qint64 listed = run();
    // A scan's memory is per file it listed (all of them, unless cut short);
    // the picker's per entry of the folder it went through.
    peaks.fileCount = std::strcmp(what, "files listed") == 0 ? listed : files;
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const qint64 peak = peaks.endStep();
    std::printf("%-7s %8lld %s%s  %7.2f s  peak %6.0f MB  %6.0f bytes a file\n", step,
        static_cast<long long>(listed), what, cut() ? " (cut short)" : "", seconds,
        double(peak - peaks.startUpBytes) / 1e6, peaks.bytesPerFile(peak));
    std::fflush(stdout);
}

// What stays resident once a step's listing has ended: its last answers
// served, and what it let go of on the pool freed there. Meanwhile the GUI
// thread takes a little memory every millisecond: its longest wait between
// two turns is how long the memory going back held it up.
void printResidentAfterListing(const char* step)
{
    if (!onlyStep.isEmpty() && onlyStep != QLatin1String(step))
        return;
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longest = 0;
    QTimer turns;
    QObject::connect(&turns, &QTimer::timeout, [&] {
        const QByteArray taken(64, 'x');
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    turns.start(1);
    // The listing's last answer is let go of a turn or two after its end.
    waitUntil([] { return false; }, 300);
    waitUntil([] { return QThreadPool::globalInstance()->activeThreadCount() == 0; }, 60000);
    turns.stop();
    std::printf("%-7s resident after its listing: %6.0f MB (the GUI thread waited %lld ms at most meanwhile)\n",
        step, double(statusBytes("VmRSS")) / 1e6, static_cast<long long>(longest));
    std::fflush(stdout);
}

// The picker's listing of the root, then a scan of it, with a handler of the
// walk (Dropbox, Box, OneDrive).
void runWalkHandler(ScanWrapper& handler, Keeper& keeper, qint64 files)
{
    measure(
        "picker", files,
        [&] {
            const int before = keeper.ends;
            handler.delegate = &keeper;
            handler.fetchChildFolders(handler.makeRootFolderNode());
            waitUntil([&] { return keeper.ends > before; }, limitMs);
            handler.delegate = nullptr;
            return qint64(handler.rootFolderObj->children.size());
        },
        [&] { return handler.pickerListingCutShort; }, "albums shown");
    printResidentAfterListing("picker");
    handler.rootFolderObj.reset();
    measure(
        "scan", files,
        [&] {
            const int before = keeper.ends;
            ScanRequest request;
            request.filters = makeScanSettingsSnapshot();
            handler.startCloudScan({ handler.makeRootFolderNode() }, request, keeper);
            waitUntil([&] { return keeper.ends > before; }, limitMs);
            return qint64(keeper.records.size());
        },
        [&] { return handler.lastWalkIncomplete.load(); });
}

template <typename Handler> int runOAuthService(const FlatCloudFolder& flat, bool box)
{
    FakeHttpServer server;
    if (!server.listen())
        return 1;
    server.enableOAuth(QStringLiteral("client"));
    box ? flat.serveBox(server) : flat.serveDropbox(server);
    Accepting<Handler> handler(fakeServiceConfig(server));
    OAuthCloudHandler::setRedirectBase(QStringLiteral("http://127.0.0.1:4711"));
    handler.session().setBrowserOpener([&server](const QUrl& url) {
        server.browse(url, [](const QUrl& redirect) { OAuthCloudHandler::offerRedirect(redirect); });
    });
    handler.authenticateCloud();
    if (!waitUntil([&] { return handler.isAuthenticateForScan.load(); }))
        return 1;
    Keeper keeper;
    runWalkHandler(handler, keeper, flat.files);
    return 0;
}

int runOneDrive(const FlatCloudFolder& flat)
{
    FakeHttpServer server;
    if (!server.listen())
        return 1;
    server.enableOAuth(QStringLiteral("od"));
    flat.serveOneDrive(server);
    Accepting<OneDriveHandler> handler(CloudConfig::fromJson(QStringLiteral("onedrive"),
        { { QStringLiteral("clientId"), QStringLiteral("od") },
            { QStringLiteral("authorizeUrl"), server.url(QStringLiteral("/authorize")).toString() },
            { QStringLiteral("tokenUrl"), server.url(QStringLiteral("/token")).toString() },
            { QStringLiteral("apiBaseUrl"), server.url(QStringLiteral("/graph/")).toString() } }));
    Keeper keeper;
    handler.delegate = &keeper;
    handler.setRedirectBase(QStringLiteral("http://127.0.0.1:4711"));
    handler.session().setBrowserOpener([&](const QUrl& url) {
        server.browse(url, [&](const QUrl& redirect) { handler.handleRedirect(redirect); });
    });
    handler.authenticateCloud();
    if (!waitUntil([&] { return keeper.signIns > 0; }))
        return 1;
    handler.delegate = nullptr;
    runWalkHandler(handler, keeper, flat.files);
    return 0;
}

int runDrive(const FlatCloudFolder& flat)
{
    FakeGoogle google;
    if (!google.start())
        return 1;
    flat.serveDrive(google.server, QStringLiteral("lh3.thumbs.test"));
    MemorySecretStore secrets;
    Accepting<GoogleDriveHandler> drive(
        CloudConfig::fromJson(QStringLiteral("google"), google.config()), &secrets);
    Keeper keeper;
    drive.delegate = &keeper;
    drive.setRedirectBase(QStringLiteral("http://127.0.0.1:4712"));
    drive.setBrowserOpener([&](const QUrl& url) {
        google.server.browse(url, [&](const QUrl& redirect) { drive.resumeSignIn(redirect); });
    });
    drive.authenticateCloud();
    if (!waitUntil([&] { return keeper.signIns > 0; }))
        return 1;
    measure(
        "picker", flat.files,
        [&] {
            const int before = keeper.ends;
            drive.fetchChildFolders(drive.makeRootFolderNode());
            waitUntil([&] { return keeper.ends > before; }, limitMs);
            return qint64(drive.rootFolderObj->children.size());
        },
        [&] { return drive.pickerListingCutShort; }, "albums shown");
    printResidentAfterListing("picker");
    bool cut = false;
    measure(
        "scan", flat.files,
        [&] {
            // As the engine: every page's token followed, its records kept.
            std::vector<FileInfoNodePtr> records;
            bool over = false;
            drive.setPageSink([&](const QString& id, bool subFolders, const DriveFilesPage& page) {
                records.insert(records.end(), page.files.begin(), page.files.end());
                cut = cut || page.failed || page.cutShort;
                if (page.nextPageToken && !page.failed)
                    drive.executeFilesListQuery(id, subFolders, page.nextPageToken);
                else
                    over = true;
            });
            ScanRequest request;
            request.filters = makeScanSettingsSnapshot();
            request.filters.scanAnyFileSize = true;
            drive.beginListing(request);
            drive.executeFilesListQuery(GoogleDriveHandler::rootId(), true, std::nullopt);
            waitUntil([&] { return over; }, limitMs);
            return qint64(records.size());
        },
        [&] { return cut; });
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // The program's start-up: its file types make the Drive's pictures
    // pictures, with their camera facts.
    TempHome home;
    UserDefaults defaults(home.path());
    startApplicationCore(defaults);
    // Every file type is scanned: the Drive's records are filtered as they
    // are listed.
    isAllFileTypesSelected = true;
    scanCategoryFlags.fill(true);
    const QString service = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const int files = argc > 2 ? std::atoi(argv[2]) : 1000000;
    onlyStep = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    // The files and three albums: the picker lists the albums.
    const FlatCloudFolder flat { files, 3 };
    std::printf("%s: a flat folder of %d files\n", qPrintable(service), files);
    if (service == QLatin1String("dropbox"))
        return runOAuthService<DropBoxHandler>(flat, false);
    if (service == QLatin1String("box"))
        return runOAuthService<BoxCloudHandler>(flat, true);
    if (service == QLatin1String("onedrive"))
        return runOneDrive(flat);
    if (service == QLatin1String("drive"))
        return runDrive(flat);
    std::fprintf(stderr, "usage: vellicor_bench_cloud_listing dropbox|box|onedrive|drive [files]\n");
    return 2;
}
