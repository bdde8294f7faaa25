#pragma once

#include <QtGlobal>

#include <chrono>
#include <functional>
#include <optional>

class QCryptographicHash;

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

// Keeps what a copy has written and its disk has not yet taken within what
// the disk takes in about a quarter of a second, its pace measured as it
// goes: so that neither a Stop nor the removal of a stopped copy waits long
// on the disk, however slow (a stick, a throttled or failing disk), and no
// write meets a page cache filled with the copy's data. The copy's steps
// follow the pace too (about a tenth of a second each, reading included).
// One copy's, on its thread.
class WriteBackPace {
public:
    // The copy's target, open at to.
    explicit WriteBackPace(int to);

    // The most the copy reads and writes in its next step.
    qint64 nextStep() const;
    // The copy's data now ends at offset end: what lies before is handed to
    // the disk, and waited for a piece at a time until no more than the
    // pace allows is left unwritten; stopped is asked before each piece.
    // False when it said to stop.
    bool keepUp(qint64 end, const std::function<bool()>& stopped);
    // The same for all of the copy's data, which ends at end: none is left
    // unwritten.
    bool finish(qint64 end, const std::function<bool()>& stopped);

private:
    // What keepUp and finish share: waits until no more than unwritten
    // bytes (at most the pace's window) are left.
    bool catchUp(qint64 end, const std::function<bool()>& stopped, qint64 unwritten);
    qint64 window() const;
    qint64 piece() const;
    // Takes a measured pace: a slower one at once, a faster one at most
    // doubling the last.
    static void follow(double& rate, qint64 bytes, double seconds);

    int to_ = -1;
    // Bytes per second the disk takes, and the copy's steps go at.
    double diskRate_;
    double stepRate_;
    qint64 end_ = 0;
    qint64 handedOn_ = 0;
    qint64 written_ = 0;
    std::optional<std::chrono::steady_clock::time_point> stepStart_;
    // The file system cannot be asked (the call failed): nothing is waited for.
    bool unpaced_ = false;
};

// Copies the first length bytes of the regular file open at from into the
// empty regular file open at to, at the same offsets, by its data alone: the
// source's holes are not read and stay holes, and a page of zeros read is
// not written and is a hole too (to is given its length at the end), so a
// sparse file takes no more room or time than its data does, whatever its
// file system tells of its holes. Every byte is read into the program and
// written from there: with digest given, the copy's bytes go into it in
// their order as they are written (the holes as the zeros they read as), so
// that it tells what the copy holds, whatever the source became meanwhile.
// keepGoing is asked before each mebibyte with the bytes copied so far (with
// pace, before each of its steps and while it waits for the disk, which at
// its end has all of the data; with digest, also between pieces of a long
// hole); false stops the copy there. A source that shrinks meanwhile ends
// where its data ended.
DataCopyEnd copyFileData(int from, int to, qint64 length, const std::function<bool(qint64 copied)>& keepGoing,
    WriteBackPace* pace = nullptr, QCryptographicHash* digest = nullptr);

// Lets go of the descriptor fd of a copy given up (stopped, failed) whose
// name is gone already, on a thread of its own: the system lets go of a
// removed file only once the data handed to its disk is written, which a
// disk whose pace dropped since it was measured (a stick's cache full, a
// disk that begins to fail) may take long to do. Nothing waits for it, not
// even the program's end.
void letGoOfGivenUpCopy(int fd);
// Given-up copies whose descriptor is still being let go of.
int givenUpCopiesClosing();
