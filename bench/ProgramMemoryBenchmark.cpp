// The program's resident memory over one scan of a real folder, as main()
// builds the program and a user runs it: the folder dropped on the home
// screen, Scan Now, the results with the scan-complete sheet, and automatic
// marking from the sheet. Settings, digest cache and trash live in a
// throwaway home, so the cache starts empty. Prints, for the scan, the
// results shown with the sheet and the automatic marking, the peak resident
// memory of the step, the resident memory after it, and both beyond the
// memory after start-up per scanned file. Any alert on the way is printed and
// answered with its default button. No budget: run it before and after a
// change.
//   vellicor_bench_program_memory FOLDER
#include "PeakMemory.h"
#include "ProgramBench.h"
#include "app/AppComposition.h"
#include "app/AppDelegate.h"
#include "base/UserDefaults.h"
#include "controls/IMGButton.h"
#include "core/GlobalObjects.h"
#include "home/MainViewController.h"
#include "marking/AutoMarking.h"
#include "results/ResultViewController.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <functional>

int main(int argc, char** argv)
{
    if (argc != 2 || !QFileInfo(QString::fromLocal8Bit(argv[1])).isDir()) {
        std::fprintf(stderr, "usage: vellicor_bench_program_memory FOLDER\n");
        return 2;
    }
    ThrowawayHome home;
    if (!home.isValid()) {
        std::fprintf(stderr, "vellicor_bench_program_memory: no temporary folder\n");
        return 2;
    }
    preferOffscreen();
    QApplication app(argc, argv);
    nameAsTheProgram();
    const QString folder = QDir::cleanPath(QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath());

    UserDefaults defaults { home.settingsFolder() };
    AppComposition program(defaults);
    program.launch();
    serveUntil([&] { return program.delegate().window()->isVisible(); }, 30);
    QApplication::processEvents();
    MemoryPeaks memory;
    const bool perStep = resetPeakMemory();
    std::printf("%.1f MB resident at start-up; peak memory %s\n", double(memory.startUpBytes) / 1e6,
        perStep ? "per step" : "of the run so far (no reset allowed)");

    MainViewController& homeScreen = program.home();
    ResultViewController& results = program.results();
    qint64 scanned = 0;
    qint64 groupCount = 0;
    qint64 duplicates = 0;
    QObject::connect(&homeScreen.engine(), &ScanEngine::scanEnded, [&](const ScanResultPtr& result) {
        scanned = result->countScanned;
        groupCount = qint64(result->groups.size());
        duplicates = result->dupCount;
    });
    homeScreen.handleFileDragDropNotification({ folder });
    QApplication::processEvents();

    struct Step {
        const char* name;
        qint64 peak;
        qint64 after;
    };
    std::vector<Step> steps;
    memory.beginStep();
    homeScreen.scanNowButton()->click();
    if (!serveUntil([] { return !isScanRunning; }, 3600)) {
        std::fprintf(stderr, "vellicor_bench_program_memory: the scan did not end within an hour\n");
        std::_Exit(1);
    }
    steps.push_back({ "scan", memory.endStep(), statusBytes("VmRSS") });

    memory.beginStep();
    const QString autoMark = QStringLiteral("btnAutoMarkPhotos");
    if (!serveUntil([&] { return results.isVisible() && shownButton(autoMark); }, 600)) {
        std::fprintf(stderr, "vellicor_bench_program_memory: no results with the scan-complete sheet\n");
        std::_Exit(1);
    }
    steps.push_back({ "results shown", memory.endStep(), statusBytes("VmRSS") });

    memory.beginStep();
    bool marked = false;
    QObject::connect(&results.autoMarking(), &AutoMarking::autoMarkingFinished, [&] { marked = true; });
    shownButton(autoMark)->click();
    if (!serveUntil([&] { return marked && !results.autoMarking().isRunning(); }, 1800)) {
        std::fprintf(stderr, "vellicor_bench_program_memory: automatic marking did not end\n");
        std::_Exit(1);
    }
    // What the marking hands back to be freed is freed meanwhile.
    serveUntil([] { return false; }, 2);
    steps.push_back({ "automatic marking", memory.endStep(), statusBytes("VmRSS") });

    memory.fileCount = scanned;
    std::printf("%lld files scanned, %lld groups, %lld duplicate files\n", scanned, groupCount, duplicates);
    std::printf("%-20s %10s %12s %10s %12s\n", "step", "peak MB", "peak B/file", "after MB", "after B/file");
    for (const Step& step : steps)
        std::printf("%-20s %10.1f %12.0f %10.1f %12.0f\n", step.name, double(step.peak) / 1e6,
            memory.bytesPerFile(step.peak), double(step.after) / 1e6, memory.bytesPerFile(step.after));
    std::printf("%-20s %10.1f %12.0f\n", "whole run", double(memory.overallBytes) / 1e6,
        memory.bytesPerFile(memory.overallBytes));
    std::fflush(stdout);
    // Freeing a million records one by one adds nothing to the figures.
    std::_Exit(0);
}
