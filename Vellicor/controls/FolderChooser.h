#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QFileDialog;
class QObject;
class QWidget;

// The program's one folder chooser: a window-modal panel of our own drawing
// (never the desktop's), in the dialogs' dark look, that lists and returns
// folders only. GUI thread only.
struct FolderChooserRequest {
    // The title of the accept button; empty keeps the panel's own.
    QString prompt;
    // What the chosen folders are for; empty repeats the prompt.
    QString title;
    // Where the panel opens; empty: the folder the user chose last in any
    // chooser of this run, or the home folder before any was chosen.
    QString startFolder;
    // Several folders at once (Shift and Ctrl clicks in its lists).
    bool several = false;
};

// Opens the chooser over parent and returns it (it deletes itself once
// closed). done receives the chosen folders, or an empty list when the panel
// was cancelled; it never runs once context (when given) is gone.
QFileDialog* openFolderChooser(QWidget* parent, const FolderChooserRequest& request,
    std::function<void(const QStringList&)> done, QObject* context = nullptr);
