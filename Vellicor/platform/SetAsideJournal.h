#pragma once

#include "platform/Trash.h"

#include <QString>

#include <optional>
#include <vector>

// A set-aside about to be made: the file at path, with these facts, to be
// named aside (see SetAsideJournal::add).
struct SetAsideRecord {
    QString tag;
    QString path;
    QString aside;
    FileFacts facts;
};

// A file set aside under a temporary name before it is deleted for good is
// recorded first, durably, one record per file in a folder of the user's
// state folder; the record goes when the deletion has ended either way. A
// record that outlives the program (killed, a crash, the power) means a file
// may still wait under its temporary name: the next start puts it back.
// Any thread; records are single files, so removals never share one.
namespace SetAsideJournal {

// $XDG_STATE_HOME/Vellicor/set-aside.
QString folder();

// Records that the file at path, with these facts, is about to be set aside
// as aside (in its folder's real path, named .vellicor-removing- and the
// tag); on the disk when this returns. The tag names the record. Why it
// could not be recorded, or none; errno is EEXIST when the tag is taken.
std::optional<QString> add(const QString& tag, const QString& path, const QString& aside, const FileFacts& facts);

// Records several set-asides ahead, made durable together: the records
// written, their volume flushed once (or each record synced where that
// cannot be promised), the folder synced. The tags recorded: a record that
// could not be written is left out, and none is when they could not be made
// durable.
std::vector<QString> addTogether(const std::vector<SetAsideRecord>& records);

// Notes in the record of tag that its file has just been set aside, or
// put back by the program itself: a start that finds the file at its own
// name tells by these whether it was ever set aside (the records of a batch
// are written ahead of their files' turns) and whether the program took it
// back, or whether the volume mounted there may be a copy of its disk made
// before. Not synced: a run that ends has them written all the same.
void noteSetAside(const QString& tag);
void notePutBack(const QString& tag);

// The record of tag is done with.
void clear(const QString& tag);

} // namespace SetAsideJournal

// What a start found of set-asides an earlier run left.
struct SetAsideRecovery {
    struct Left {
        QString path;
        // Where the file is now.
        QString keptAt;
        QString reason;
    };
    // Files put back where they were.
    std::vector<QString> putBack;
    // Files that could not be put back; each stays where it is, never over
    // another file.
    std::vector<Left> left;

    bool isEmpty() const { return putBack.empty() && left.empty(); }
};

// Puts back every file a recorded set-aside left under its temporary name,
// while it is still the recorded file and its name is free. Only the
// set-aside name made for a record's own tag is ever renamed, within its
// folder; a record that names anything else is dropped. The name is looked
// for on the recorded volume, also where it came back under another device
// number (a network volume mounted again, a disk plugged into another
// port: known by its file system's identity, or for a record without one
// by its kind): on the recorded device its device and inode prove the file,
// on another its recorded size and modification time, and its birth time
// where the file system keeps one in either case (a file made at the name
// later may get the freed inode, and its size and time set alike); one that no
// longer matches stays where it is and is told. Records whose name is not
// there (the deletion ended, or the file's turn never came: a batch's
// records are written ahead) are dropped without a word, unless the volume
// may be a byte copy of its disk: the recorded file system under another
// number, where only the file of a record never set aside, standing at its
// own name, proves the record done with; or any volume where the file of a
// record set aside stands at its own name, yet the removal did not put it
// back (a copy made before). Such a record waits for the disk the file was
// set aside on, told once; a record whose
// folder cannot be reached now, or lies on another volume (another
// identity, another kind: the bare folder of a share not mounted), is kept
// for the next start and told. Called once at the program's start, on a
// thread of its own (LeftFilesSweep): the records of this run's removals,
// which may start meanwhile, are left to them, and so are those of another
// running copy of the program over the same state folder (one started
// with another settings folder), known by the writer each record names
// and, while it is written, by its lock.
SetAsideRecovery recoverSetAsideFiles();
