// Samples one thread of another process from outside it, every millisecond,
// through /proc/PID/task/TID/syscall: the thread counts as idle only while it
// waits in its event loop's poll, busy otherwise (running, preempted, or
// blocked in anything else: a lock, a read, a wait on the display server).
// The event loop's poll is told apart from other polls of the same thread
// (the display connection waiting for a reply polls too) by its array of
// descriptors, which the event loop keeps on the heap and the others on the
// thread's stack.
//
// Driven over its standard input by the window benchmark, one command a line:
//   begin    start a step: counts from now; answers "ok"
//   settle   the step's work is done: samples on until the thread has been
//            idle for 100 ms (at most 120 s), then answers
//            "done LONGEST_MS BUSY_MS SETTLED SAMPLES LATE POLL_ON_STACK",
//            the step ending where that idle spell began
//   quit     ends (as does the end of its input)
//   vellicor_gui_sampler PID TID
#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>

namespace {

constexpr long pollSyscall = 7;
constexpr long ppollSyscall = 271;
constexpr std::int64_t tickNs = 1'000'000;
constexpr std::int64_t settledAfterNs = 100'000'000;
constexpr std::int64_t settleLimitNs = 120'000'000'000;
// A stretch is over when the thread is seen idle; one busy sample inside the
// settling spell (a probe timer's wake-up) does not restart it unless it
// lasts longer than this.
constexpr std::int64_t blipNs = 2'000'000;

std::int64_t nowNs()
{
    timespec t {};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return std::int64_t(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

struct Range {
    std::uint64_t low = 0;
    std::uint64_t high = 0;
    bool holds(std::uint64_t address) const { return address >= low && address < high; }
};

// The main thread's stack, from the process's map.
Range stackOf(const char* pid)
{
    const std::string path = std::string("/proc/") + pid + "/maps";
    FILE* maps = std::fopen(path.c_str(), "r");
    Range range;
    if (!maps)
        return range;
    char line[512];
    while (std::fgets(line, sizeof line, maps)) {
        if (std::strstr(line, "[stack]")) {
            std::sscanf(line, "%" SCNx64 "-%" SCNx64, &range.low, &range.high);
            break;
        }
    }
    std::fclose(maps);
    return range;
}

enum class Seen { idle, busy, pollOnStack, gone };

class Thread {
public:
    Thread(const char* pid, const char* tid)
        : stack_(stackOf(pid))
    {
        const std::string path = std::string("/proc/") + pid + "/task/" + tid + "/syscall";
        fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    }
    bool isOpen() const { return fd_ >= 0; }

    Seen sample()
    {
        char text[256];
        const ssize_t length = pread(fd_, text, sizeof text - 1, 0);
        if (length <= 0)
            return Seen::gone;
        text[length] = '\0';
        if (std::strncmp(text, "running", 7) == 0)
            return Seen::busy;
        char* end = nullptr;
        const long number = std::strtol(text, &end, 10);
        if (number != pollSyscall && number != ppollSyscall)
            return Seen::busy;
        const std::uint64_t fds = std::strtoull(end, nullptr, 16);
        return stack_.holds(fds) ? Seen::pollOnStack : Seen::idle;
    }

private:
    Range stack_;
    int fd_ = -1;
};

// One step's figures.
struct Step {
    std::int64_t longestNs = 0;
    std::int64_t busyNs = 0;
    std::int64_t samples = 0;
    std::int64_t late = 0;
    std::int64_t pollOnStack = 0;
    // The stretch under way: its start, 0 when the thread is idle.
    std::int64_t busySince = 0;
    std::int64_t lastSample = 0;

    void take(Seen seen, std::int64_t at)
    {
        ++samples;
        if (lastSample != 0 && at - lastSample > 2 * tickNs)
            ++late;
        const bool busy = seen != Seen::idle;
        if (seen == Seen::pollOnStack)
            ++pollOnStack;
        if (busy && busySince == 0)
            busySince = at;
        if (busy && lastSample != 0)
            busyNs += at - lastSample;
        if (!busy && busySince != 0) {
            longestNs = std::max(longestNs, at - busySince);
            busySince = 0;
        }
        lastSample = at;
    }
};

bool writeLine(const char* text)
{
    const size_t length = std::strlen(text);
    return write(STDOUT_FILENO, text, length) == ssize_t(length);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: vellicor_gui_sampler PID TID\n");
        return 2;
    }
    Thread thread(argv[1], argv[2]);
    if (!thread.isOpen()) {
        std::fprintf(stderr, "vellicor_gui_sampler: cannot read the system calls of thread %s of process %s: %s\n",
            argv[2], argv[1], std::strerror(errno));
        return 1;
    }
    enum class Phase { waiting, counting, settling } phase = Phase::waiting;
    Step step;
    // While settling: where the idle spell began, and the step as it stood then.
    std::int64_t idleSince = 0;
    std::int64_t settleStart = 0;
    Step atIdle;
    std::string input;
    std::int64_t next = nowNs();
    for (;;) {
        pollfd in { STDIN_FILENO, POLLIN, 0 };
        if (poll(&in, 1, 0) > 0) {
            char buffer[256];
            const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
            if (got <= 0)
                return 0;
            input.append(buffer, size_t(got));
            for (size_t newline; (newline = input.find('\n')) != std::string::npos;) {
                const std::string command = input.substr(0, newline);
                input.erase(0, newline + 1);
                if (command == "quit")
                    return 0;
                if (command == "begin") {
                    step = {};
                    phase = Phase::counting;
                    writeLine("ok\n");
                } else if (command == "settle") {
                    phase = Phase::settling;
                    settleStart = nowNs();
                    idleSince = 0;
                }
            }
        }
        const std::int64_t at = nowNs();
        if (phase != Phase::waiting) {
            const Seen seen = thread.sample();
            if (seen == Seen::gone)
                return 0;
            if (phase == Phase::settling) {
                const bool busy = seen != Seen::idle;
                if (!busy && idleSince == 0) {
                    idleSince = at;
                    step.take(seen, at);
                    atIdle = step;
                } else {
                    step.take(seen, at);
                    // A wake-up of a millisecond or two keeps the spell; more ends it.
                    if (busy && idleSince != 0 && step.busySince != 0 && at - step.busySince > blipNs)
                        idleSince = 0;
                }
                const bool settled = idleSince != 0 && at - idleSince >= settledAfterNs;
                if (settled || at - settleStart > settleLimitNs) {
                    const Step& figures = settled ? atIdle : step;
                    char line[160];
                    std::snprintf(line, sizeof line, "done %.1f %.1f %d %" PRId64 " %" PRId64 " %" PRId64 "\n",
                        double(std::max(
                            figures.longestNs, figures.busySince != 0 ? at - figures.busySince : std::int64_t(0)))
                            / 1e6,
                        double(figures.busyNs) / 1e6, settled ? 1 : 0, figures.samples, figures.late,
                        figures.pollOnStack);
                    if (!writeLine(line))
                        return 0;
                    phase = Phase::waiting;
                }
            } else {
                step.take(seen, at);
            }
        }
        next += tickNs;
        if (next < at)
            next = at + tickNs;
        timespec until { time_t(next / 1'000'000'000), long(next % 1'000'000'000) };
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) { }
    }
}
