#pragma once

// The software updater. This build has no update feed: the updater keeps the
// requests made of it, so that the launch and the menu can be checked, and
// leaves updating to the system's package manager. GUI thread.
class Updater {
public:
    // Made started (a later launch) or not (the first launch).
    explicit Updater(bool startingUpdater);

    void startUpdater();
    void checkForUpdatesInBackground();
    // The check the user asked for from the menu.
    void checkForUpdates();

    bool isStarted() const { return started_; }
    int startRequests() const { return startRequests_; }
    int backgroundChecks() const { return backgroundChecks_; }
    int userChecks() const { return userChecks_; }

private:
    bool started_ = false;
    int startRequests_ = 0;
    int backgroundChecks_ = 0;
    int userChecks_ = 0;
};
