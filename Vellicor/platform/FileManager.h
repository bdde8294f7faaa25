#pragma once

#include <QString>

// The desktop's file manager and default applications. GUI thread: the
// file-manager call waits up to three seconds for an answer on the session
// bus.

// Shows the item selected in its folder; without a file manager on the bus,
// opens the folder that holds it.
void revealInFileManager(const QString& path);

// Opens the file in the desktop's default application for its type; false
// when nothing could be asked to open it.
bool openWithDefaultApplication(const QString& path);
