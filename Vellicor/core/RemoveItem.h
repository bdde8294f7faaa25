#pragma once

#include <QString>
#include <QStringList>

// Removes or renames items that need administrator rights, through the
// privileged runner (pkexec): never a shell, and "--" before every path so
// that no name is read as an option. Creating one asks for the rights once;
// a user who cancels that dialog is not asked again by the same object.
// Every call blocks the caller until the command has ended; one process-wide
// lock keeps two runs from overlapping. Any thread.
class RemoveItem {
public:
    // pkexec's status when the user dismissed the dialog; the one that ends
    // all later work of the object.
    static constexpr int cancelledStatus = 126;
    // pkexec's status when the rights were refused or could not be obtained.
    static constexpr int refusedStatus = 127;

    RemoveItem();

    bool authenticated() const { return status_ == 0; }
    // The status of the last run: 0 is success.
    int status() const { return status_; }

    // Runs "/bin/rm -rf -- path"; true only when it succeeded. Refuses a
    // path privilegedPathRefusal() refuses without running anything.
    bool removeSingleItem(const QString& path);
    // removeSingleItem() for each path in order; the first failure ends the
    // run. True for none.
    bool removeMultipleItems(const QStringList& paths);
    // Runs "/bin/mv -f -- path newPath"; true only when it succeeded. Both
    // paths are checked as for a removal.
    bool renameItem(const QString& path, const QString& newPath);

private:
    bool run(const QString& program, const QStringList& arguments);

    int status_ = 0;
};
