#pragma once

#include <QtGlobal>

#include <functional>

// How a copy of a file's data ended.
struct DataCopyEnd {
    // The errno of the read or write that failed (reading says which); 0
    // when none did.
    int error = 0;
    bool reading = false;
    // The copy was stopped before its end.
    bool stopped = false;
    // Where the source's data ended: the length asked for, or less where
    // the file shrank meanwhile.
    qint64 length = 0;

    bool isWhole() const { return error == 0 && !stopped; }
};

// Copies the first length bytes of the regular file open at from into the
// empty regular file open at to, at the same offsets, by its data alone: the
// source's holes are not read and stay holes (to is given its length at the
// end), so a sparse file takes no more room or time than its data does. The
// kernel copies the data where it can (copy_file_range: a shared extent or
// a copy on the server on volumes that have them); otherwise it is read and
// written, and a run of zeros is left a hole too. keepGoing is asked before
// each mebibyte with the bytes copied so far; false stops the copy there.
// A source that shrinks meanwhile ends where its data ended.
DataCopyEnd copyFileData(int from, int to, qint64 length, const std::function<bool(qint64 copied)>& keepGoing);
