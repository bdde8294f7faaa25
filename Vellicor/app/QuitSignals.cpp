#include "app/QuitSignals.h"

#include "base/Log.h"

#include <QSocketNotifier>

#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr std::array<int, 3> quitSignals = { SIGTERM, SIGINT, SIGHUP };

// Shared with the handler, which may only touch these.
int pipeRead = -1;
volatile sig_atomic_t pipeWrite = -1;
struct sigaction previous[quitSignals.size()];

extern "C" void writeSignalToPipe(int signal)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    // A full pipe already holds a signal that will be read.
    [[maybe_unused]] const ssize_t written = ::write(pipeWrite, &byte, 1);
    errno = saved;
}

} // namespace

QuitSignals::QuitSignals(QObject* parent)
    : QObject(parent)
{
    if (pipeRead >= 0)
        return;
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) {
        Log::print("No pipe for the quit signals; a signal ends the program at once.");
        return;
    }
    pipeRead = fds[0];
    pipeWrite = fds[1];
    installed_ = true;
    notifier_ = std::make_unique<QSocketNotifier>(pipeRead, QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &QuitSignals::readSignals);

    struct sigaction action { };
    action.sa_handler = writeSignalToPipe;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < quitSignals.size(); ++i)
        ::sigaction(quitSignals[i], &action, &previous[i]);
}

QuitSignals::~QuitSignals()
{
    if (!installed_)
        return;
    for (size_t i = 0; i < quitSignals.size(); ++i)
        ::sigaction(quitSignals[i], &previous[i], nullptr);
    notifier_.reset();
    {
        std::lock_guard lock(watchdogMutex_);
        watchdogCalledOff_ = true;
    }
    watchdogWake_.notify_all();
    if (watchdog_.joinable())
        watchdog_.join();
    const int write = pipeWrite;
    pipeWrite = -1;
    ::close(write);
    ::close(pipeRead);
    pipeRead = -1;
}

void QuitSignals::readSignals()
{
    unsigned char bytes[32];
    ssize_t count = 0;
    while ((count = ::read(pipeRead, bytes, sizeof bytes)) > 0) {
        for (ssize_t i = 0; i < count; ++i) {
            const int signal = bytes[i];
            if (received_) {
                Log::print("Signal", signal, "while quitting: the quit under way goes on.");
                continue;
            }
            received_ = true;
            Log::print("Signal", signal, "received: quitting.");
            armWatchdog(signal);
            emit quitRequested(signal);
        }
    }
}

void QuitSignals::armWatchdog(int signal)
{
    watchdog_ = std::thread([this, signal] {
        std::unique_lock lock(watchdogMutex_);
        if (watchdogWake_.wait_for(lock, std::chrono::milliseconds(hardStopMs), [this] { return watchdogCalledOff_; }))
            return;
        // Every store of the program writes whole files or transactions, so
        // an end here loses at most the file under way.
        Log::print("The quit road did not end within", hardStopMs, "ms of signal", signal, "; ending now.");
        ::_exit(128 + signal);
    });
}
