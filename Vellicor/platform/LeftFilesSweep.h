#pragma once

#include "platform/RestoreCopies.h"
#include "platform/SetAsideJournal.h"

#include <functional>
#include <vector>

// What runs that were ended (killed, a crash, the power) left behind is
// swept on threads of their own, never on the window's thread and never
// waited for: a recorded folder on a mount that stopped answering holds
// only the sweep that reached it, and the program ends without it (the
// thread holds only what outlives the program's end: the log, its own
// copies). What a sweep cannot reach stays recorded for the next one.

// What the start's sweep found.
struct LeftFiles {
    SetAsideRecovery setAside;
    // Partial copies out of reach, each handed out once in all.
    std::vector<LeftRestoreCopy> copiesAway;
};

// The start's sweep: files an ended removal left set aside are put back
// (never a removal's of this run), then partial copies of ended undos are
// removed. whenDone gets what was found, on the sweep's thread, once it
// has ended. Returns at once.
void sweepLeftFilesAside(std::function<void(LeftFiles)> whenDone);

// Partial copies of ended undos are removed, beside the undo that starts:
// it neither waits for the sweep nor meets its copies (each record is
// locked while its copy is made, and while a sweep is at it). One held by
// a stopped mount keeps no later sweep from the other records; at most
// longestSweeps are under way at once. Returns at once.
void sweepLeftRestoreCopiesAside();
inline constexpr int longestSweeps = 4;

// Sweeps started and not yet ended.
int leftFilesSweepsUnderWay();
