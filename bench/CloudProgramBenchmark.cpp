// The whole program scanning one large folder of a cloud service, as main()
// builds it and a user runs it: the source chosen, the sign-in, the root
// added from the folder picker, Scan Now, the scan's end (the results, or the
// notices of no duplicates and of a folder too large to list whole) and the
// results screen taking the result in, its list shown, then its outline and
// its grid.
// The service is the tests' loopback fake, run in a child process of its own
// so that the program's memory is the program's alone: a flat folder of
// FILES files (a phone's camera uploads, a thousand to a page, each page made
// when it is asked for) and three albums, each of which holds ALBUM-FILES
// files more on Dropbox. Prints the time from Scan Now to the scan's end, the
// files scanned, the notices, and the program's peak resident memory beyond
// its memory before Scan Now, whole and per file, at the scan's end and once
// the results screen shows the result (as a share of the limit too).
//
// --memory-limit GiB runs the program in a memory control group of its own
// with that limit (cgroup v1 or v2, as root), which the program takes as the
// memory of a smaller machine; the group's own peak is printed too.
// --criteria 1,3,... compares by those criteria with content off (1 same
// name, 2 similar name, 3 same size, 4 same creation date, 5 same
// modification date) instead of by checksum; --scattered-names gives the
// files names that share no prefix in place of a camera's; --copies gives
// every file one copy (the next file has its checksum), so that every file
// listed becomes a row of the results. A folder of more files than the
// memory holds (1000000000) is one without an end: its listing ends at its
// bound. --picker lets the folder picker list the folder to its end (or its
// bound) instead, and prints its peak and what stays resident once its
// listing has ended.
//
//   vellicor_bench_cloud_program dropbox|box|onedrive|drive [FILES] [ALBUM-FILES] [--memory-limit GiB]
//       [--criteria LIST] [--scattered-names] [--copies] [--picker]
//
// No budget: run it before and after a change.
#include "PeakMemory.h"
#include "ProgramBench.h"
#include "app/AppComposition.h"
#include "app/AppDelegate.h"
#include "base/AlertPresenter.h"
#include "base/UserDefaults.h"
#include "cloud/BoxCloudHandler.h"
#include "cloud/CloudFolderPicker.h"
#include "cloud/DropBoxHandler.h"
#include "cloud/GoogleDriveHandler.h"
#include "cloud/OneDriveHandler.h"
#include "cloud/SecretStore.h"
#include "controls/CustomOutlineView.h"
#include "controls/CustomWindowNag.h"
#include "controls/RAZButton.h"
#include "controls/IMGButton.h"
#include "core/GlobalObjects.h"
#include "core/SettingsSchema.h"
#include "home/MainViewController.h"
#include "home/ScanSourcePicker.h"
#include "results/ResultViewController.h"
#include "platform/ReachabilityTest.h"
#include "scan/ComparisonCriteria.h"
#include "scan/ScanEngine.h"
#include "support/FakeGoogle.h"
#include "support/FlatCloudFolder.h"
#include "support/MemoryGroup.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QMainWindow>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProgressBar>
#include <QThread>
#include <QThreadPool>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <malloc.h>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Online : NetworkReachabilityProbe {
    bool isNetworkReachable() override { return true; }
};

// The program's alerts, printed and answered with their first button.
struct PrintedAlerts : AlertPresenter {
    int present(const AlertRequest& request) override
    {
        std::printf("notice: %s %s\n", qPrintable(request.messageText), qPrintable(request.informativeText));
        std::fflush(stdout);
        return 0;
    }
};

// The fake service, in the child: serves until it is ended. Writes the
// service's entry of cloud.json, on one line, to report.
int serveFake(const QString& service, const FlatCloudFolder& flat, int report)
{
    int argc = 1;
    char name[] = "vellicor-fake-service";
    char* argv[] = { name, nullptr };
    QCoreApplication app(argc, argv);
    FakeGoogle google;
    QJsonObject config;
    if (service == QLatin1String("drive")) {
        if (!google.start())
            return 1;
        flat.serveDrive(google.server, QStringLiteral("lh3.thumbs.test"));
        config = google.config();
    } else {
        FakeHttpServer& server = google.server;
        if (!server.listen())
            return 1;
        server.enableOAuth(QStringLiteral("client"));
        const bool oneDrive = service == QLatin1String("onedrive");
        if (service == QLatin1String("dropbox"))
            flat.serveDropbox(server);
        else if (service == QLatin1String("box"))
            flat.serveBox(server);
        else
            flat.serveOneDrive(server);
        config = { { QStringLiteral("clientId"), QStringLiteral("client") },
            { QStringLiteral("authorizeUrl"), server.url(QStringLiteral("/authorize")).toString() },
            { QStringLiteral("tokenUrl"), server.url(QStringLiteral("/token")).toString() },
            { QStringLiteral("apiBaseUrl"),
                server.url(oneDrive ? QStringLiteral("/graph/") : QStringLiteral("/api/")).toString() } };
    }
    const QByteArray line = QJsonDocument(config).toJson(QJsonDocument::Compact) + '\n';
    if (::write(report, line.constData(), size_t(line.size())) != line.size())
        return 1;
    ::close(report);
    return app.exec();
}

// The browser: opens the sign-in address and hands where it was sent back.
void browse(const QUrl& address, std::function<void(const QUrl&)> redirected)
{
    auto* network = new QNetworkAccessManager;
    QNetworkRequest request(address);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply* reply = network->get(request);
    QObject::connect(reply, &QNetworkReply::finished, [reply, network, redirected] {
        const QUrl target = QUrl::fromEncoded(reply->rawHeader("Location"));
        reply->deleteLater();
        network->deleteLater();
        if (target.isValid())
            redirected(target);
    });
}

// The handler of the service, with the browser above.
CloudSourceController::HandlerFactory handlerOf(
    const QString& service, const CloudServiceConfig& config, MemorySecretStore& secrets)
{
    return [service, &config, &secrets](ScanSource source) -> std::unique_ptr<ScanWrapper> {
        if (service == QLatin1String("drive") && source == ScanSource::googleDrive) {
            auto handler = std::make_unique<GoogleDriveHandler>(config, &secrets);
            handler->setBrowserOpener([drive = handler.get()](const QUrl& url) {
                browse(url, [drive](const QUrl& redirect) { drive->resumeSignIn(redirect); });
            });
            return handler;
        }
        if (service == QLatin1String("onedrive") && source == ScanSource::oneDrive) {
            auto handler = std::make_unique<OneDriveHandler>(config);
            handler->session().setBrowserOpener([oneDrive = handler.get()](const QUrl& url) {
                browse(url, [oneDrive](const QUrl& redirect) { oneDrive->handleRedirect(redirect); });
            });
            return handler;
        }
        std::unique_ptr<OAuthCloudHandler> handler;
        if (service == QLatin1String("dropbox") && source == ScanSource::dropbox)
            handler = std::make_unique<DropBoxHandler>(config);
        else if (service == QLatin1String("box") && source == ScanSource::box)
            handler = std::make_unique<BoxCloudHandler>(config);
        if (handler)
            handler->session().setBrowserOpener([](const QUrl& url) {
                browse(url, [](const QUrl& redirect) { OAuthCloudHandler::offerRedirect(redirect); });
            });
        return handler;
    };
}

ScanSource sourceOf(const QString& service)
{
    if (service == QLatin1String("drive"))
        return ScanSource::googleDrive;
    if (service == QLatin1String("box"))
        return ScanSource::box;
    if (service == QLatin1String("onedrive"))
        return ScanSource::oneDrive;
    return ScanSource::dropbox;
}

int usage()
{
    std::fprintf(stderr,
        "usage: vellicor_bench_cloud_program dropbox|box|onedrive|drive [FILES] [ALBUM-FILES] [--memory-limit GiB]\n"
        "           [--criteria 1,3,...] [--scattered-names] [--copies] [--picker]\n");
    return 2;
}

} // namespace

static int runProgram(int argc, char** argv, const QString& service, const FlatCloudFolder& flat, const QJsonObject& entry,
    double limitGiB, const std::optional<QVariantList>& criteria, bool pickerOnly);

int main(int argc, char** argv)
{
    QStringList arguments;
    double limitGiB = 0;
    std::optional<QVariantList> criteria;
    bool scatteredNames = false;
    bool copies = false;
    bool picker = false;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--memory-limit" && i + 1 < argc) {
            limitGiB = std::atof(argv[++i]);
        } else if (std::string(argv[i]) == "--criteria" && i + 1 < argc) {
            criteria.emplace();
            for (const QString& item : QString::fromLocal8Bit(argv[++i]).split(QLatin1Char(','))) {
                bool ok = false;
                const int criterion = item.toInt(&ok);
                if (!ok || criterion < 1 || criterion > 5)
                    return usage();
                criteria->append(criterion);
            }
        } else if (std::string(argv[i]) == "--scattered-names") {
            scatteredNames = true;
        } else if (std::string(argv[i]) == "--copies") {
            copies = true;
        } else if (std::string(argv[i]) == "--picker") {
            picker = true;
        } else {
            arguments << QString::fromLocal8Bit(argv[i]);
        }
    }
    const QString service = arguments.value(0);
    if (!QStringList { "dropbox", "box", "onedrive", "drive" }.contains(service))
        return usage();
    FlatCloudFolder flat { arguments.value(1, QStringLiteral("1000000")).toInt(), 3 };
    flat.albumFiles = arguments.value(2, QStringLiteral("0")).toInt();
    flat.scatteredNames = scatteredNames;
    flat.pairedCopies = copies;

    // The service first, before this process has threads or a group of its own.
    int report[2];
    if (::pipe(report) != 0)
        return 1;
    std::fflush(nullptr);
    const pid_t fake = ::fork();
    if (fake < 0)
        return 1;
    if (fake == 0) {
        ::close(report[0]);
        ::_exit(serveFake(service, flat, report[1]));
    }
    ::close(report[1]);
    QByteArray line;
    char c = 0;
    while (::read(report[0], &c, 1) == 1 && c != '\n')
        line += c;
    ::close(report[0]);
    const QJsonObject entry = QJsonDocument::fromJson(line).object();
    if (entry.isEmpty()) {
        std::fprintf(stderr, "vellicor_bench_cloud_program: the fake service did not start\n");
        return 1;
    }
    // The program in a process of its own (in the group), so that an end by
    // the system for want of memory is told too.
    MemoryGroup group;
    if (limitGiB > 0 && !group.make(qint64(limitGiB * double(1ll << 30)))) {
        std::fprintf(stderr, "vellicor_bench_cloud_program: no memory control group could be made (root?)\n");
        ::kill(fake, SIGKILL);
        ::waitpid(fake, nullptr, 0);
        return 1;
    }
    std::fflush(nullptr);
    QElapsedTimer whole;
    whole.start();
    const pid_t program = ::fork();
    if (program == 0)
        ::_exit(group.enter() ? runProgram(argc, argv, service, flat, entry, limitGiB, criteria, picker) : 1);
    int status = 0;
    if (program > 0)
        ::waitpid(program, &status, 0);
    if (program < 0 || WIFSIGNALED(status))
        std::printf("the program was ended by signal %d after %.1f s%s\n", program < 0 ? 0 : WTERMSIG(status),
            double(whole.nsecsElapsed()) / 1e9,
            WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL ? " (by the system, for want of memory)" : "");
    if (limitGiB > 0)
        std::printf("the group's peak: %.0f MB of %.0f MB\n", double(group.peakBytes()) / 1e6,
            limitGiB * double(1ll << 30) / 1e6);
    ::kill(fake, SIGKILL);
    ::waitpid(fake, nullptr, 0);
    group.remove();
    return program > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

// The program, in its process: the source chosen, signed in, its root added,
// Scan Now, until the scan's end.
static int runProgram(int argc, char** argv, const QString& service, const FlatCloudFolder& flat, const QJsonObject& entry,
    double limitGiB, const std::optional<QVariantList>& criteria, bool pickerOnly)
{
    ThrowawayHome home;
    preferOffscreen();
    QApplication app(argc, argv);
    nameAsTheProgram();
    UserDefaults defaults { home.settingsFolder() };
    if (criteria) {
        defaults.setVolatileValue(QLatin1String(SettingsKey::searchContent), qlonglong(2));
        defaults.setVolatileValue(QLatin1String(SettingsKey::searchOptions), *criteria);
    }
    const CloudServiceConfig config
        = CloudConfig::fromJson(service == QLatin1String("drive") ? QStringLiteral("google") : service, entry);
    MemorySecretStore secrets;
    AppComposition program(defaults, handlerOf(service, config, secrets));
    program.launch();
    setAlertPresenter(std::make_shared<PrintedAlerts>());
    setNetworkReachabilityProbe(std::make_shared<Online>());
    MainViewController& homeScreen = program.home();
    CloudFolderPicker& picker = program.cloudPicker();
    homeScreen.engine().setEndOfScanPauses(0, 0);
    serveUntil([&] { return program.delegate().window()->isVisible(); }, 30);

    // The source chosen: its sign-in, then its picker, from which the root
    // goes into the scan list (which ends the picker's listing).
    malloc_trim(0);
    const qint64 beforePicker = statusBytes("VmRSS");
    resetPeakMemory();
    auto* popUp = homeScreen.findChild<QComboBox*>(QStringLiteral("btnScanMode"));
    const int item = popUp->findData(scanSourceTag(sourceOf(service)));
    popUp->setCurrentIndex(item);
    emit popUp->activated(item);
    if (!serveUntil([&] { return picker.windowGoogleDriveFolderList->isVisible(); }, 60)) {
        std::fprintf(stderr, "vellicor_bench_cloud_program: the sign-in did not open the folder picker\n");
        return 1;
    }
    if (pickerOnly) {
        // Its listing shows it busy until it ends; then its last answer and
        // what it let go of on the pool are freed.
        serveUntil([&] { return !picker.hudFolderList->isHidden(); }, 10);
        QElapsedTimer listing;
        listing.start();
        if (!serveUntil([&] { return picker.hudFolderList->isHidden(); }, 4 * 3600)) {
            std::fprintf(stderr, "vellicor_bench_cloud_program: the picker's listing did not end within four hours\n");
            std::_Exit(1);
        }
        const double seconds = double(listing.nsecsElapsed()) / 1e9;
        const qint64 peak = statusBytes("VmHWM");
        serveUntil([] { return false; }, 1);
        serveUntil([] { return QThreadPool::globalInstance()->activeThreadCount() == 0; }, 600);
        std::printf("%s: the picker listed a folder of %d files and %d albums (%d albums shown) in %.1f s; peak %.0f "
                    "MB resident (%.0f MB beyond its start); %.0f MB resident once its listing had ended\n",
            qPrintable(service), flat.files, flat.folders, picker.model().rowCount(picker.model().index(0, 0)),
            seconds, double(peak) / 1e6, double(peak - beforePicker) / 1e6, double(statusBytes("VmRSS")) / 1e6);
        std::fflush(stdout);
        std::_Exit(0);
    }
    picker.outlineGDFolderList->setCurrentIndex(picker.model().index(0, 0));
    picker.btnAddFolderGDrive->click();
    serveUntil([] { return false; }, 1);

    const ComparisonSettings comparison = readComparisonSettings(defaults);
    QStringList criteriaNames;
    const ComparisonCriteria& chosen = comparison.criteria;
    if (chosen.bMatchSimilarFileName >= 0)
        criteriaNames << (chosen.bMatchSimilarFileName ? "similar name" : "same name");
    if (chosen.bMatchFileSize)
        criteriaNames << "size";
    if (chosen.bMatchCreateDate)
        criteriaNames << "creation date";
    if (chosen.bMatchModDate)
        criteriaNames << "modification date";
    std::printf("%s: a folder of %d files and %d albums of %d files%s, compared by %s\n", qPrintable(service),
        flat.files, flat.folders, flat.albumFiles,
        limitGiB > 0 ? qPrintable(QStringLiteral(", a memory limit of %1 GiB").arg(limitGiB)) : "",
        comparison.compareContent ? "checksum" : qPrintable(criteriaNames.join(QStringLiteral(", "))));
    std::fflush(stdout);
    qint64 scanned = 0;
    qint64 groups = 0;
    bool ended = false;
    QObject::connect(&homeScreen.engine(), &ScanEngine::scanEnded, [&](const ScanResultPtr& result) {
        scanned = result->countScanned;
        groups = qint64(result->groups.size());
        ended = true;
    });
    malloc_trim(0);
    MemoryPeaks memory;
    resetPeakMemory();
    QElapsedTimer clock;
    clock.start();
    homeScreen.scanNowButton()->click();
    if (!serveUntil([&] { return ended; }, 4 * 3600)) {
        std::fprintf(stderr, "vellicor_bench_cloud_program: the scan did not end within four hours\n");
        std::_Exit(1);
    }
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const qint64 peak = memory.endStep();
    memory.fileCount = scanned;
    std::printf("%lld files scanned, %lld groups, %.1f s; peak %.0f MB resident (%.0f MB beyond the start, %.0f "
                "bytes a file)",
        static_cast<long long>(scanned), static_cast<long long>(groups), seconds, double(peak) / 1e6,
        double(peak - memory.startUpBytes) / 1e6, memory.bytesPerFile(peak));
    std::printf("\n");
    std::fflush(stdout);
    // The results screen takes the result in (its rows made on its workers),
    // then shows its list and, on the grid, the sections of every group: the
    // whole program's peak at each, against the limit the bounds keep to.
    const double limitBytes = limitGiB * double(1ll << 30);
    const auto printPeak = [&](const char* step) {
        const qint64 whole = memory.endStep();
        std::printf("%s: peak %.0f MB resident (%.0f MB beyond the start, %.0f bytes a file)", step,
            double(whole) / 1e6, double(whole - memory.startUpBytes) / 1e6, memory.bytesPerFile(whole));
        if (limitBytes > 0)
            std::printf(", %.1f %% of the limit", 100.0 * double(whole) / limitBytes);
        std::printf("\n");
        std::fflush(stdout);
    };
    if (groups > 0) {
        ResultViewController& results = program.results();
        if (!serveUntil([&] { return results.isVisible() && !results.isHandingOver(); }, 3600)) {
            std::fprintf(stderr, "vellicor_bench_cloud_program: the results screen did not take the result in\n");
            std::_Exit(1);
        }
        // The scan-complete sheet, and the earlier rows let go of on the pool.
        serveUntil([] { return false; }, 2);
        printPeak("the results shown");
        results.btnChangeResultView(ResultViewController::ViewMode::group);
        serveUntil([] { return false; }, 3);
        printPeak("the outline shown");
        results.btnChangeResultView(ResultViewController::ViewMode::grid);
        serveUntil([] { return false; }, 3);
        printPeak("the grid shown");
    }
    // Freeing millions of records one by one adds nothing to the figures.
    std::_Exit(0);
}
