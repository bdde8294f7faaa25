#pragma once

#include <QString>
#include <vector>

// The files of Vellicor's own that an uninstall removes: the settings, cache,
// log and data folders, each named "Vellicor" in its XDG base folder, and the
// autostart entry that starts the program. The program itself belongs to the
// package manager and stays. Any thread.
struct SupportItemOutcome {
    enum class Result { removed, absent, failed, refused };
    QString path;
    Result result = Result::absent;
    QString reason;
};

// The folders, in the order they are removed.
std::vector<QString> supportFolders();

// Removes each support folder with everything below it, never following a
// symbolic link out of it (a link is removed as a link), then the autostart
// entries that start program. A folder whose path does not end in a
// "Vellicor" folder inside a proper base (not the root, not built from an
// empty home) is refused and left alone. One outcome per item, printed on
// standard output as it goes.
std::vector<SupportItemOutcome> removeSupportFiles(const QString& program);
