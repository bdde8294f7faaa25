#pragma once

// The standard notice that cloud work needs the internet, through the alert
// presenter. Callers show it when isInternetAvailable() said no. GUI thread.
void showInternetUnavailableAlert();
