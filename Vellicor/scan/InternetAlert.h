#pragma once

#include "core/GlobalObjects.h"

// The standard notice that cloud work needs the internet, through the alert
// presenter. Callers show it when isInternetAvailable() said no. GUI thread.
void showInternetUnavailableAlert();

// Whether scanning or cleaning up source reaches a service over the network:
// every cloud source does; this computer and the photo catalog, which lies on
// it, do not.
bool sourceNeedsInternet(ScanSource source);
