#pragma once

#include <QString>

#include <optional>

// Where Vellicor keeps its files on a freedesktop system. Every call reads the
// XDG variables afresh, so a test can point HOME and XDG_* at a temporary
// folder before it touches anything.
namespace AppPaths {

inline constexpr char applicationFolderName[] = "Vellicor";

QString homeFolder();

// Why HOME cannot hold the program's folders: unset or empty (the folders
// would land below the root), not an absolute path, not a folder, or not the
// user's own. None when it can. The program does not start without it.
enum class HomeFault { unset, relative, notAFolder, otherOwner };
std::optional<HomeFault> homeFolderFault();

// $XDG_CONFIG_HOME itself; login items live in its autostart folder.
QString configHome();
// $XDG_CONFIG_HOME/Vellicor: the settings store.
QString settingsFolder();
// $XDG_CACHE_HOME/Vellicor: the digest cache database.
QString cacheFolder();
// $XDG_STATE_HOME/Vellicor: the log.
QString stateFolder();
// $XDG_DATA_HOME/Vellicor: support files.
QString dataFolder();
// $XDG_DATA_HOME itself; the freedesktop Trash lives below it.
QString dataHome();

// $XDG_RUNTIME_DIR/Vellicor: what lasts one login, such as the socket a later
// start reaches the running copy by. Without XDG_RUNTIME_DIR, a folder in the
// cache folder: never a shared folder such as the temporary one, where another
// user could make or replace it first.
QString runtimeFolder();

QString cacheDatabaseFile();
QString logFile();

// Creates a folder with its parents; true when it exists afterwards. For
// folders the user chose; the program's own go through PrivateFiles.
bool ensureFolder(const QString& path);

} // namespace AppPaths
