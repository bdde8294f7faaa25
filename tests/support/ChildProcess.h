#pragma once

#include "PeakMemory.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
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

// How a bounded child ended: its exit code (125 when body threw, as when it
// ran out of the memory it was allowed; -1 when it crashed or was ended at
// its deadline), and how far its
// resident memory rose above what it had from its parent.
struct BoundedChildEnd {
    int exitCode = -1;
    qint64 peakGrowthBytes = 0;
};

// Runs body in a forked child as exitCodeOfChild does, with its address space
// bounded to what the parent has plus spareBytes, so that work taking memory
// without bound ends as the child's failure rather than the machine's; a
// child still running at the deadline is killed.
inline BoundedChildEnd runBoundedChild(
    const std::function<int()>& body, qint64 spareBytes, std::chrono::seconds deadline = std::chrono::seconds(60))
{
    const qint64 residentAtStart = statusBytes("VmRSS");
    const qint64 addressSpace = statusBytes("VmSize") + spareBytes;
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0)
        return {};
    if (child == 0) {
        const struct rlimit bound { rlim_t(addressSpace), rlim_t(addressSpace) };
        ::setrlimit(RLIMIT_AS, &bound);
        // Whatever body throws (memory refused, above all) ends the child
        // here, never in the test program it was forked from.
        int code = 125;
        try {
            code = body();
        } catch (...) {
        }
        ::_exit(code);
    }
    const auto end = std::chrono::steady_clock::now() + deadline;
    int status = 0;
    struct rusage usage { };
    pid_t waited = 0;
    while ((waited = ::wait4(child, &status, WNOHANG, &usage)) == 0 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (waited == 0) {
        ::kill(child, SIGKILL);
        ::wait4(child, &status, 0, &usage);
        return {};
    }
    BoundedChildEnd ended;
    ended.exitCode = waited == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    ended.peakGrowthBytes = qint64(usage.ru_maxrss) * 1024 - residentAtStart;
    return ended;
}
