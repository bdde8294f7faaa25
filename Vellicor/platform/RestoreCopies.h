#pragma once

#include "core/FileUtilities.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

// A copy an undo makes of a file lies under a temporary name in the folder
// the file goes back to until it is whole, and is recorded first: one record
// per copy in a folder of the user's state folder, naming the folder (its
// path, device and inode, and the identity of its volume) and, once the copy
// is made and before anything is written in it, the copy's inode and birth
// time (where the file system keeps one). Its name is made from the
// record's tag, so a record names nothing else. A record
// that outlives the program (killed, a crash) means a partial copy may be
// left: the next start, or the next undo, removes it. Any thread.
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
// .vellicor-restore- and a new tag, recorded on the disk before it is made,
// its inode recorded on the disk before this returns. made, when given, is
// called once the copy exists and before its inode is recorded (where a run
// may end). Where the journal cannot be written the copy is made all the
// same, told in the log, and a kill leaves it for good.
Started start(int folder, const QString& folderPath, const std::function<void()>& made = {});

// The copy under the tag's name has gone (renamed into place, or removed):
// its record goes.
void finish(const QString& tag);

} // namespace RestoreCopies

// A partial copy an ended undo may have left where no sweep can reach it
// now: its path, and why.
struct LeftRestoreCopy {
    QString path;
    QString reason;
};

// What a sweep of left copies did.
struct RestoreCopiesSweep {
    // Copies removed.
    int removed = 0;
    // Copies out of reach, each told once (see AwayCopies).
    std::vector<LeftRestoreCopy> away;
};

// Whether a sweep hands out the copies it cannot reach: only the start's
// does, each copy once in all, for the one alert of the start.
enum class AwayCopies { logged, toldOnce };

// Removes what undos that were ended left of their copies (a record still
// locked is a copy another running copy of the program is making, or one
// another sweep is at, and is left to it): a file goes only under the name
// made for its record's tag, and only where it is provably the program's
// own copy: in the recorded folder (its inode, on the recorded volume,
// also where that came back under another device number: its file
// system's identity tells), the recorded regular file (its inode and birth
// time; where the file system keeps no birth time, the user's), or one made
// but killed before its inode was recorded, which the program had not yet
// written to (empty, the user's own, one name); in another folder at the
// recorded path (the recorded one moved away, or a volume that numbers its
// files anew), only the recorded file of one name by its inode and birth
// time both. Whatever else stands there is left alone. A record whose
// folder cannot be reached now (a volume not mounted, another volume or
// another folder at its path) is kept for the next time. Touches the
// folders the records name: never on the window's thread (LeftFilesSweep).
RestoreCopiesSweep removeLeftRestoreCopies(AwayCopies away = AwayCopies::logged);
