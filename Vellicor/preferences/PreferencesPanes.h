#pragma once

#include <QStringList>

#include <functional>
#include <memory>

class PreferencesWindowController;
class UserDefaults;

// The program's preferences window: its panes in order, the toolbar-items
// look, animated switches, the toolbar hidden for a single pane. Made once
// per run on the GUI thread. scanListPaths gives the paths of the home
// screen's scan list, which the excluded-folders pane refuses to exclude.
std::unique_ptr<PreferencesWindowController> makePreferencesWindowController(
    UserDefaults& defaults, std::function<QStringList()> scanListPaths = {});
