#pragma once

#include "bench/PeakMemory.h"
#include "support/MemoryBound.h"

#include <QtGlobal>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// Runs body in a forked child, as a run that a kill or a crash can end: body
// ends the child itself (::_exit) or answers its exit code. Answers the
// child's exit code; -1 when it could not start or did not exit normally.
inline int exitCodeOfChild(const std::function<int()>& body)
{
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0)
        ::_exit(body());
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// What a bounded run in a child came to.
struct BoundedRun {
    // The child's exit code; 125 when body threw (an allocation past its
    // bound of address space), -1 when it was ended or did not exit normally.
    int exitCode = -1;
    bool pastDeadline = false;
    // Under the run-time checkers: the child was ended when its resident
    // memory passed its bound.
    bool pastMemoryBound = false;
    // How far its resident memory rose above what it started with; -1 when
    // the child did not tell.
    qint64 peakGrowthBytes = 0;
    qint64 elapsedMs = 0;
};

// Runs body as exitCodeOfChild does, ended at deadlineMs, with its memory
// bounded so that a run away allocation ends there instead of taking the
// machine's memory: its address space to extraAddressBytes beyond its own at
// the start, so that such an allocation fails. The run-time checkers reserve
// their shadow memory beforehand and map their heap inside it, so an address
// bound holds nothing there: under them the child is ended instead when its
// resident memory rises past scaledMemoryBound(extraAddressBytes). The child
// may start no thread pool its parent already has.
inline BoundedRun runBoundedChild(const std::function<int()>& body, qint64 deadlineMs, qint64 extraAddressBytes)
{
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0)
        return {};
    std::fflush(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child < 0)
        return {};
    if (child == 0) {
        ::close(report[0]);
        // The kernel starts a child's peak at its resident memory at the fork.
        const qint64 before = statusBytes("VmRSS");
#if defined(VELLICOR_RUN_TIME_CHECKER)
        (void)!::write(report[1], &before, sizeof before);
#else
        const rlim_t bound = rlim_t(statusBytes("VmSize") + extraAddressBytes);
        const rlimit limit { bound, bound };
        ::setrlimit(RLIMIT_AS, &limit);
#endif
        int code = 125;
        // An allocation refused at the bound ends the child, never the
        // test's run inside it.
        try {
            code = body();
        } catch (...) {
        }
        const qint64 growth = statusBytes("VmHWM") - before;
        (void)!::write(report[1], &growth, sizeof growth);
        ::_exit(code);
    }
    ::close(report[1]);
    BoundedRun run;
#if defined(VELLICOR_RUN_TIME_CHECKER)
    // The child tells its resident memory at its start first; it has nothing
    // to wait for before.
    qint64 childStart = 0;
    const bool watched = ::read(report[0], &childStart, sizeof childStart) == sizeof childStart;
    const std::string childStatus = "/proc/" + std::to_string(child) + "/status";
    const qint64 residentBound = scaledMemoryBound(extraAddressBytes);
#endif
    int status = 0;
    for (;;) {
        if (::waitpid(child, &status, WNOHANG) == child)
            break;
        const bool late = std::chrono::steady_clock::now() - start > std::chrono::milliseconds(deadlineMs);
#if defined(VELLICOR_RUN_TIME_CHECKER)
        run.pastMemoryBound = watched && statusBytes("VmRSS", childStatus) - childStart > residentBound;
#endif
        if (late || run.pastMemoryBound) {
            run.pastDeadline = late;
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    run.elapsedMs
        = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    if (!run.pastDeadline && !run.pastMemoryBound && WIFEXITED(status))
        run.exitCode = WEXITSTATUS(status);
    if (::read(report[0], &run.peakGrowthBytes, sizeof run.peakGrowthBytes) != sizeof run.peakGrowthBytes)
        run.peakGrowthBytes = -1;
    ::close(report[0]);
    return run;
}
