#pragma once

#include <memory>

class PreferencesWindowController;
class UserDefaults;

// The program's preferences window: its panes in order, the toolbar-items
// look, animated switches, the toolbar hidden for a single pane. Made once
// per run on the GUI thread.
std::unique_ptr<PreferencesWindowController> makePreferencesWindowController(UserDefaults& defaults);
