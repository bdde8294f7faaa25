#pragma once

#include <QObject>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (a shutdown, a kill, Ctrl+C, a closed
// terminal or a logout) into the program's quit road instead of an end in the
// middle of a file. The handler only writes the signal's number into a pipe;
// the GUI thread reads it and emits quitRequested there. From the first signal
// on, a watchdog ends the process after hardStopMs if the quit road has not
// ended it by then, so no wait can keep the program alive past a shutdown.
// Later signals change nothing. One at a time in a process: a second one made
// while the first lives stays inert. Going, it puts the previous handlers
// back and calls the watchdog off. GUI thread.
class QuitSignals : public QObject {
    Q_OBJECT
public:
    explicit QuitSignals(QObject* parent = nullptr);
    ~QuitSignals() override;

    // Longer than every bounded wait of the quit road together.
    static constexpr int hardStopMs = 20000;

    bool isInstalled() const { return installed_; }

signals:
    // The first signal; the program should take its quit road.
    void quitRequested(int signal);

private:
    void readSignals();
    void armWatchdog(int signal);

    bool installed_ = false;
    bool received_ = false;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::mutex watchdogMutex_;
    std::condition_variable watchdogWake_;
    bool watchdogCalledOff_ = false;
    std::thread watchdog_;
};
