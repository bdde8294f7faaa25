#pragma once

// A benchmark's steps in a real window, as the user's display sees them: the
// program's GUI thread sampled from outside the process every millisecond by
// vellicor_gui_sampler (next to the benchmark), and a 1 ms probe timer inside
// it. Each step is started from the event loop; the driver serves events
// until the step's work is done, nothing stands over the window, and the
// sampler has seen the thread idle for 100 ms.
#include "ServiceProbe.h"

#include <QApplication>
#include <QByteArray>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace windowbench {

// No step waits longer than this for its work to end.
constexpr int stepLimitMs = 300'000;

// The sampler process and its two pipes.
class Sampler {
public:
    bool start(const QString& program)
    {
        int toSampler[2];
        int fromSampler[2];
        if (pipe(toSampler) != 0 || pipe(fromSampler) != 0)
            return false;
        const QByteArray path = QFile::encodeName(program);
        const QByteArray pid = QByteArray::number(qint64(getpid()));
        pid_ = fork();
        if (pid_ < 0)
            return false;
        if (pid_ == 0) {
            dup2(toSampler[0], STDIN_FILENO);
            dup2(fromSampler[1], STDOUT_FILENO);
            close(toSampler[1]);
            close(fromSampler[0]);
            execl(path.constData(), path.constData(), pid.constData(), pid.constData(), static_cast<char*>(nullptr));
            std::fprintf(stderr, "benchmark: cannot start %s: %s\n", path.constData(), strerror(errno));
            _exit(127);
        }
        close(toSampler[0]);
        close(fromSampler[1]);
        to_ = toSampler[1];
        from_ = fromSampler[0];
        return true;
    }
    ~Sampler()
    {
        if (pid_ <= 0)
            return;
        send("quit\n");
        close(to_);
        close(from_);
        waitpid(pid_, nullptr, 0);
    }
    bool send(const char* line) const
    {
        const size_t length = strlen(line);
        return write(to_, line, length) == ssize_t(length);
    }
    // A line of the sampler's, read as it comes; empty when it ended.
    QByteArray readLine() const
    {
        QByteArray line;
        char c = 0;
        while (read(from_, &c, 1) == 1 && c != '\n')
            line.append(c);
        return line;
    }
    int answers() const { return from_; }

private:
    pid_t pid_ = -1;
    int to_ = -1;
    int from_ = -1;
};

struct Figures {
    double windowLongestMs = 0;
    double windowBusyMs = 0;
    double probeLongestMs = 0;
    double wallMs = 0;
    bool settled = true;
    qint64 pollOnStack = 0;

    void add(const Figures& more)
    {
        windowLongestMs = std::max(windowLongestMs, more.windowLongestMs);
        probeLongestMs = std::max(probeLongestMs, more.probeLongestMs);
        windowBusyMs += more.windowBusyMs;
        wallMs += more.wallMs;
        settled = settled && more.settled;
        pollOnStack += more.pollOnStack;
    }
};

// No sheet, alert or menu over the main window.
inline bool nothingOver()
{
    return !QApplication::activeModalWidget() && !QApplication::activePopupWidget();
}

class Driver {
public:
    explicit Driver(Sampler& sampler)
        : sampler_(sampler)
    {
    }

    // Starts the step from the event loop, serves events until done() holds
    // and nothing stands over the window (unless a sheet is what the step
    // waits for), then until the sampler has seen the thread idle; a probe
    // timer times the gaps in the thread's service.
    Figures run(const std::function<void()>& start, const std::function<bool()>& done, bool sheetWanted = false)
    {
        Figures figures;
        QEventLoop loop;
        bool started = false;
        bool settling = false;
        ServiceProbe probe([&] {
            if (started && !settling && done() && (sheetWanted || nothingOver())) {
                settling = true;
                sampler_.send("settle\n");
            }
        });
        QSocketNotifier answer(sampler_.answers(), QSocketNotifier::Read);
        QObject::connect(&answer, &QSocketNotifier::activated, [&] {
            const QList<QByteArray> words = sampler_.readLine().split(' ');
            if (words.size() >= 7 && words[0] == "done") {
                figures.windowLongestMs = words[1].toDouble();
                figures.windowBusyMs = words[2].toDouble();
                figures.settled = words[3] == "1";
                figures.pollOnStack = words[6].toLongLong();
            } else {
                figures.settled = false;
            }
            answer.setEnabled(false);
            loop.quit();
        });
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, [&] {
            std::fprintf(stderr, "benchmark: a step did not end within %d s\n", stepLimitMs / 1000);
            figures.settled = false;
            loop.quit();
        });
        QTimer::singleShot(0, &loop, [&] {
            sampler_.send("begin\n");
            if (sampler_.readLine() != "ok")
                std::fprintf(stderr, "benchmark: the sampler did not answer\n");
            probe.start();
            limit.start(stepLimitMs);
            start();
            started = true;
        });
        loop.exec();
        figures.probeLongestMs = double(probe.longestNs()) / 1e6;
        figures.wallMs = double(probe.elapsedNs()) / 1e6;
        return figures;
    }

    // Serves events until done() holds and the thread has settled, untimed.
    void serve(const std::function<bool()>& done)
    {
        run([] {}, done);
    }

private:
    Sampler& sampler_;
};

// The table of a benchmark's steps: its header, then one row per step with
// the figures the driver took; whether the step settled.
inline void printStepHeader()
{
    std::printf("%-44s %12s %10s %12s %10s\n", "step", "window ms", "busy ms", "in-process", "wall ms");
    std::fflush(stdout);
}
inline bool printStep(const char* step, const Figures& f)
{
    std::printf("%-44s %12.1f %10.1f %12.1f %10.1f%s\n", step, f.windowLongestMs, f.windowBusyMs, f.probeLongestMs,
        f.wallMs, f.settled ? "" : "  (did not settle)");
    std::fflush(stdout);
    return f.settled;
}

// Before the application object is made (and its threads started): a
// display (the X one unless another platform is asked for) and the sampler
// beside this program started. Otherwise says why on standard error, as
// program, and gives the exit status: 2 without a display, 1 without the
// sampler.
inline int prepareWindowBenchmark(const char* program, Sampler& sampler)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            std::fprintf(stderr, "%s: no display; run it under xvfb-run -a -s '-screen 0 1920x1200x24'\n", program);
            return 2;
        }
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    const QString samplerPath
        = QFileInfo(QFile::decodeName(QFile::encodeName(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget())))
              .absolutePath()
        + QStringLiteral("/vellicor_gui_sampler");
    if (!sampler.start(samplerPath)) {
        std::fprintf(stderr, "%s: cannot start %s\n", program, qPrintable(samplerPath));
        return 1;
    }
    signal(SIGPIPE, SIG_IGN);
    return 0;
}

// The application object's names, as main() gives them; it stays when its
// last window closes.
inline void nameWindowBenchmarkApplication()
{
    QApplication::setApplicationName(QStringLiteral("Vellicor"));
    QApplication::setOrganizationName(QStringLiteral("Vellicor"));
    QApplication::setQuitOnLastWindowClosed(false);
}

} // namespace windowbench
