#include "app/Updater.h"

#include "base/Log.h"

Updater::Updater(bool startingUpdater)
{
    if (startingUpdater)
        startUpdater();
}

void Updater::startUpdater()
{
    started_ = true;
    ++startRequests_;
}

void Updater::checkForUpdatesInBackground()
{
    ++backgroundChecks_;
}

void Updater::checkForUpdates()
{
    ++userChecks_;
    Log::print("Updates come through the system's package manager.");
}
