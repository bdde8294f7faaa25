#pragma once

#include <QDBusMessage>
#include <QString>
#include <QUrl>

// The desktop's file manager and default applications. GUI thread: the
// file-manager call waits up to three seconds for an answer on the session
// bus.

// Shows the item selected in its folder; without a file manager on the bus,
// opens the folder that holds it. False when neither could be asked.
bool revealInFileManager(const QString& path);

// Opens the file in the desktop's default application for its type; false
// when nothing could be asked to open it.
bool openWithDefaultApplication(const QString& path);

// The file manager's ShowItems call for path, as revealInFileManager sends it:
// one file URI, fully percent-encoded from the path's own bytes.
QDBusMessage showItemsCall(const QString& path);
// The URL of path handed to the desktop to open, spelled the same way.
QUrl fileUrlOf(const QString& path);
