#pragma once

#include "base/AlertPresenter.h"

#include <functional>

// The alerts whose words hold only while a scan runs: the Stop question and
// the refusals to quit or to clear the cache. The end of the scan takes back
// every one still open, so that none stays over what follows still saying a
// scan runs, nor holds the window's clicks. GUI thread.
namespace ScanAlerts {

// Shows the alert. answer hears the button pressed, never the close of an
// alert taken back; closed runs once as it goes, either way, after answer.
void present(AlertRequest request, std::function<void(int)> answer = {}, std::function<void()> closed = {});

// The scan has ended: every alert still open goes.
void withdrawAll();

} // namespace ScanAlerts
