// A long scan history in a real window, as main() builds the program: the
// settings file holds RECORDS scan records (60,000 by default, what the file
// keeps within its bound; more, as an earlier version wrote them), the start
// is timed and its memory read, then Preferences opens at Scan History and
// its table is scrolled and a record deleted by the keys and by a click on
// a row's Delete, each step timed as the display sees it (the GUI thread
// sampled from outside the process, WindowDriver.h); the opening until the
// window's place is stored. The question is answered Yes at once; the saves
// behind them are timed apart.
//   xvfb-run -a -s '-screen 0 1920x1200x24' vellicor_bench_history [RECORDS]
#include "PeakMemory.h"
#include "ProgramBench.h"
#include "WindowDriver.h"
#include "app/AppComposition.h"
#include "app/AppDelegate.h"
#include "app/AppServices.h"
#include "base/AlertPresenter.h"
#include "base/UserDefaults.h"
#include "core/SettingsSchema.h"
#include "preferences/PreferencesWindowController.h"

#include <QAbstractButton>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMainWindow>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QTimeZone>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

using namespace windowbench;

namespace {

// The settings file as the program writes it: the scan history and the mark
// of a first start made.
QByteArray settingsWithHistory(int records)
{
    QByteArray bytes("{\"isFirstLaunchDone\":{\"bool\":true},\"lastScanStatus\":{\"array\":[");
    bytes.reserve(qsizetype(records) * 130 + 100);
    const QDateTime first(QDate(2009, 5, 4), QTime(9, 30), QTimeZone::utc());
    for (int i = 0; i < records; ++i) {
        if (i > 0)
            bytes += ',';
        bytes += "{\"dictionary\":{\"dupCount\":{\"integer\":\"" + QByteArray::number(i % 700)
            + "\"},\"dupSize\":{\"integer\":\"" + QByteArray::number(1000000ULL * quint64(i % 900) + 4096)
            + "\"},\"scantime\":{\"date\":\"" + first.addSecs(i * 5400LL).toString(Qt::ISODateWithMs).toLatin1()
            + "\"}}}";
    }
    return bytes + "]}}";
}

struct YesToEveryQuestion : AlertPresenter {
    int asked = 0;
    int present(const AlertRequest&) override
    {
        ++asked;
        return 0;
    }
};

double megabytes(qint64 bytes)
{
    return double(bytes) / (1024.0 * 1024.0);
}

// The shown table of the Scan History pane, or null.
QTableView* shownHistoryTable()
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        auto* table = top->findChild<QTableView*>(QStringLiteral("tvScanHistory"));
        if (table && table->isVisible())
            return table;
    }
    return nullptr;
}

// A click on the Delete of row, which is in view: on its button, whether the
// table draws it or holds a widget there.
void clickDelete(QTableView& table, int row)
{
    const QModelIndex index = table.model()->index(row, 1);
    if (auto* button = qobject_cast<QAbstractButton*>(table.indexWidget(index))) {
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
        return;
    }
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, table.visualRect(index).center());
}

// The first start on the new file, in a process of its own so that this one
// starts as every later start does: with everything a start stores stored.
int firstStart(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    nameAsTheProgram();
    UserDefaults defaults { qEnvironmentVariable("XDG_CONFIG_HOME") + QStringLiteral("/Vellicor") };
    AppComposition program(defaults);
    program.launch();
    const bool shown = serveUntil([&] { return program.delegate().window()->isVisible(); }, 60);
    QApplication::processEvents();
    return shown && defaults.synchronize() ? 0 : 1;
}

bool madeFirstStart(const char* self)
{
    const pid_t child = fork();
    if (child == 0) {
        execl(self, self, "10", "--first-start", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 2 && std::strcmp(argv[2], "--first-start") == 0)
        return firstStart(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 60000;
    if (records < 10) {
        std::fprintf(stderr, "usage: vellicor_bench_history [RECORDS, at least 10]\n");
        return 2;
    }
    ThrowawayHome home;
    if (!home.isValid()) {
        std::fprintf(stderr, "vellicor_bench_history: no temporary folder\n");
        return 2;
    }
    Sampler sampler;
    if (const int status = prepareWindowBenchmark("vellicor_bench_history", sampler))
        return status;
    QApplication app(argc, argv);
    nameWindowBenchmarkApplication();
    {
        QDir().mkpath(home.settingsFolder());
        QFile file(home.settingsFolder() + QLatin1Char('/') + QLatin1String(UserDefaults::fileName));
        if (!file.open(QIODevice::WriteOnly) || file.write(settingsWithHistory(records)) < 0) {
            std::fprintf(stderr, "vellicor_bench_history: cannot write the settings file\n");
            return 2;
        }
    }
    if (!madeFirstStart("/proc/self/exe")) {
        std::fprintf(stderr, "vellicor_bench_history: the first start on the file failed\n");
        return 1;
    }
    std::printf("%s: %d scan records, a settings file of %.1f MB, its first start made\n",
        qPrintable(QGuiApplication::platformName()), records,
        megabytes(QFileInfo(home.settingsFolder() + QLatin1Char('/') + QLatin1String(UserDefaults::fileName)).size()));
    Driver driver(sampler);
    driver.serve([] { return true; });
    const qint64 residentBefore = statusBytes("VmRSS");
    resetPeakMemory();

    QElapsedTimer started;
    started.start();
    UserDefaults defaults { home.settingsFolder() };
    const double readMs = double(started.nsecsElapsed()) / 1e6;
    AppComposition program(defaults);
    QMainWindow* window = nullptr;
    const Figures launch = driver.run(
        [&] {
            program.launch();
            window = program.delegate().window();
        },
        [&] { return window && window->isVisible(); });
    const double startMs = double(started.nsecsElapsed()) / 1e6;
    const qint64 residentStarted = statusBytes("VmRSS");
    const qint64 peakStarted = statusBytes("VmHWM");
    std::printf("start-up: settings read %.0f ms, window up and idle after %.0f ms (longest busy stretch %.0f ms)\n",
        readMs, startMs, launch.windowLongestMs);
    std::printf("resident memory: %.1f MB before, %.1f MB after the start (%.1f MB more), peak %.1f MB\n",
        megabytes(residentBefore), megabytes(residentStarted), megabytes(residentStarted - residentBefore),
        megabytes(peakStarted));

    auto alerts = std::make_shared<YesToEveryQuestion>();
    setAlertPresenter(alerts);
    printStepHeader();
    bool allSettled = launch.settled;
    const auto measure = [&](const char* step, const std::function<void()>& start, const std::function<bool()>& done) {
        allSettled = printStep(step, driver.run(start, done)) && allSettled;
    };

    QTableView* table = nullptr;
    const auto rows = [&] { return table ? table->model()->rowCount() : -1; };
    // The step ends once the window's place is stored, which is the run's
    // first change of a setting: the store's first save, of the whole file.
    const QString placeKey = QString::fromLatin1(PreferencesWindowController::frameAutosaveKey);
    measure(
        "open Preferences at Scan History, its place kept",
        [&] { program.delegate().preferencesWindowController().showPreferencesWindow(QStringLiteral("scanhistory")); },
        [&] {
            table = shownHistoryTable();
            return rows() == records && defaults.object(placeKey).isValid();
        });
    if (!table) {
        std::fprintf(stderr, "vellicor_bench_history: the Scan History pane is not shown\n");
        return 1;
    }
    QElapsedTimer placeSaving;
    placeSaving.start();
    defaults.synchronize();
    std::printf(
        "the save of the window's place, behind the window: %.0f ms more\n", double(placeSaving.nsecsElapsed()) / 1e6);
    table->window()->activateWindow();
    table->setFocus();
    QScrollBar* bar = table->verticalScrollBar();
    measure("scroll to the newest (Ctrl+End)", [&] { QTest::keyClick(table, Qt::Key_End, Qt::ControlModifier); },
        [&] { return bar->value() == bar->maximum(); });
    int value = bar->value();
    measure("a page up (Page Up)", [&] { QTest::keyClick(table, Qt::Key_PageUp); },
        [&] { return bar->value() < value; });
    measure("the scroll bar dragged to the middle", [&] { bar->setSliderPosition(bar->maximum() / 2); },
        [&] { return bar->value() == bar->maximum() / 2; });
    value = bar->value();
    measure("three turns of the wheel", [&] {
        const QPointF at = table->viewport()->rect().center();
        for (int turn = 0; turn < 3; ++turn) {
            QWheelEvent wheel(at, table->viewport()->mapToGlobal(at), {}, { 0, -120 }, Qt::NoButton, {},
                Qt::NoScrollPhase, false);
            QApplication::sendEvent(table->viewport(), &wheel);
        }
    }, [&] { return bar->value() > value; });

    const int shownRow = table->rowAt(table->viewport()->height() / 2);
    measure("delete a record by its Delete button", [&] { clickDelete(*table, shownRow); },
        [&] { return rows() == records - 1; });
    QElapsedTimer saving;
    saving.start();
    defaults.synchronize();
    const double firstSaveMs = double(saving.nsecsElapsed()) / 1e6;
    table->setFocus();
    table->setCurrentIndex(table->model()->index(shownRow, 0));
    measure("delete the next by the Delete key", [&] { QTest::keyClick(table, Qt::Key_Delete); },
        [&] { return rows() == records - 2; });
    saving.restart();
    defaults.synchronize();
    std::printf("the saves after the deletes, behind the window: %.0f ms and %.0f ms; %d questions answered\n",
        firstSaveMs, double(saving.nsecsElapsed()) / 1e6, alerts->asked);
    measure("close and open again", [&] {
        table->window()->close();
        program.delegate().preferencesWindowController().showPreferencesWindow(QStringLiteral("scanhistory"));
    }, [&] {
        table = shownHistoryTable();
        return rows() == records - 2;
    });
    std::printf("resident memory at the end: %.1f MB, peak since the start %.1f MB\n",
        megabytes(statusBytes("VmRSS")), megabytes(statusBytes("VmHWM")));
    std::fflush(stdout);
    std::_Exit(allSettled ? 0 : 1);
}
