#pragma once

#include "core/FileUtilities.h"

#include <QByteArray>
#include <QString>

// A copy an undo makes of a file lies under a temporary name in the folder
// the file goes back to until it is whole, and is recorded first: one record
// per copy in a folder of the user's state folder, naming the folder (its
// path, device and inode) and, once the copy is made, the copy's inode. Its
// name is made from the record's tag, so a record names nothing else. A
// record that outlives the program (killed, a crash) means a partial copy
// may be left: the next start, or the next undo, removes it. Any thread.
namespace RestoreCopies {

// $XDG_STATE_HOME/Vellicor/restore-copies.
QString folder();

// A new, empty copy (0600, open for reading and writing).
struct Started {
    FileDescriptor fd;
    QByteArray name;
    QString tag;
    // The copy's record, locked for as long as it is held, so that another
    // running copy of the program leaves the copy alone.
    FileDescriptor record;
    // Why none could be made; empty when fd is open.
    QString error;
};

// Makes a copy in the folder open at folder, reached by folderPath: named
// .vellicor-restore- and a new tag, recorded on the disk before it is made.
// Where the journal cannot be written the copy is made all the same, told
// in the log, and a kill leaves it for good.
Started start(int folder, const QString& folderPath);

// The copy under the tag's name has gone (renamed into place, or removed):
// its record goes.
void finish(const QString& tag);

} // namespace RestoreCopies

// Removes what undos that were ended left of their copies (a record still
// locked is a copy another running copy of the program is making, and is
// left to it): a file goes only under the name made for its record's tag, in
// the recorded folder (its device and inode), as the recorded regular file
// (its inode); whatever else stands there is left alone. A record whose
// folder cannot be reached now (a volume not mounted) is kept for the next
// time; the others go. Answers how many copies it removed.
int removeLeftRestoreCopies();
