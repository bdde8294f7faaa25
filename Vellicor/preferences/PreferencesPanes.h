#pragma once

#include <memory>

class PreferencesWindowController;
class ScanSources;
class UserDefaults;

// The program's preferences window: its panes in order, the toolbar-items
// look, animated switches, the toolbar hidden for a single pane. Made once
// per run on the GUI thread. The excluded-folders pane shows and edits the
// sources' list of this computer; the sources outlive the window.
std::unique_ptr<PreferencesWindowController> makePreferencesWindowController(
    UserDefaults& defaults, ScanSources& sources);
