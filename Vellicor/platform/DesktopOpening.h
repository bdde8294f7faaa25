#pragma once

#include <QString>

// Opening a file and showing it in the file manager from the screens' menus,
// with the user told, in an alert naming it, when the desktop had nothing to
// hand it to (no file manager, no application for its type). GUI thread.

// Opens the file in the desktop's default application for its type.
void openFileOrSay(const QString& path);
// Shows the file or folder selected in the file manager, else opens the
// folder that holds it.
void revealInFileManagerOrSay(const QString& path);
