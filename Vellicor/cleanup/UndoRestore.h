#pragma once

#include "cleanup/RemovalPlan.h"

#include <QString>

#include <vector>

class CloudRemover;
struct RemovedFile;

// One entry of the undo list, with copies of everything the worker reads.
struct PlannedRestore {
    FileInfoNodePtr file;
    DuplicateGroupPtr group;
    RemovalRoute route = RemovalRoute::trash;
    QString originalPath;
    QString trashedPath;
    QString trashInfoPath;
    quint64 fileSize = 0;
    quint64 resultSetId = 0;
    // The removed file's digest when its group was compared by content;
    // empty otherwise, and then no other file may stand in for it.
    QString md5;
    // The group's files that stayed and carry the same digest, in shown
    // order: the sources a deleted file may be copied back from.
    std::vector<QString> keptPaths;
};

// What the worker did with one entry.
struct RestoreOutcome {
    bool restored = false;
    // Brought back by copying a kept file with the same content.
    bool byCopy = false;
    FileInfoNodePtr file;
    DuplicateGroupPtr group;
    QString path;
    quint64 resultSetId = 0;
    // The restored file as it is now on disk.
    ScannedFile now;
    QString reason;
};

// Made on the GUI thread from the undo list, in its order.
std::vector<PlannedRestore> makeUndoPlan(const std::vector<RemovedFile>& undoList);

// Puts each entry back, one after the other, on the calling thread (the
// undo worker): a trashed file is moved back out of the trash itself; a file
// deleted outright is copied from a kept file only when that file's digest
// still equals the removed file's. Nothing is ever written over an existing
// path, and missing parent folders are made again.
std::vector<RestoreOutcome> executeUndoPlan(const std::vector<PlannedRestore>& plan, CloudRemover& cloud);
