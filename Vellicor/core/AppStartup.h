#pragma once

#include <QString>

#include <optional>

class UserDefaults;

// What the user is told when the program must not start.
struct StartRefusal {
    QString message;
    QString details;
};

// Without a usable home folder (AppPaths::homeFolderFault) the program keeps
// nothing anywhere and does not start: every front end asks this first, before
// it reads or makes anything. None when it may start.
std::optional<StartRefusal> homeFolderRefusal();

// The start-up every front end shares (the program, the headless driver, the
// tests), in this order: the log's folder (made, and like the settings and
// cache folders that exist already, checked as the user's own), the
// OS-version flags, the language table, the built-in extension lists, the
// photo album's name, the registered default settings, the extension tables,
// and the app-wide scan state (this computer as the source, Stop lowered).
// GUI thread, before anything scans.
void startApplicationCore(UserDefaults& defaults);

// Rebuilds the extension tables a scan filters by from the include and
// exclude lists in defaults; called after a change of either list.
void reloadExtensionTables(const UserDefaults& defaults);
