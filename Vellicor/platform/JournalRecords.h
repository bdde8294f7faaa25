#pragma once

#include "base/PrivateFiles.h"
#include "core/FileInfoNode.h"
#include "core/FileUtilities.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <optional>

// The records of a journal the program keeps in a folder of its own in the
// state folder: one small file of "key=value" lines per record, named by its
// tag, written new and whole and never through a link, and read back only
// as a regular file of the user's. What the records name is acted on at a
// later start, so no other user may write or remove them. Any thread.
namespace JournalRecords {

using Fields = std::map<QByteArray, QByteArray>;

// The journal's folder and the state folder it lies in, each the user's
// alone (made when make allows). Why they cannot be used, or none.
std::optional<QString> ensureFolder(const QString& folder, PrivateFiles::Make make);

// A new tag for a record: 16 random hexadecimal digits.
QString newTag();

// The record of tag in folder.
QString recordPath(const QString& folder, const QString& tag);

// Writes the new record of tag with fields' lines (their values are
// percent-encoded but for '/'), synced when durably. The record is locked
// (flock) before anything is written in it, until it is whole, so that
// held(), asked by another process meanwhile, says so; with held given it
// stays locked, open at held, for as long as held is: what it names is
// still in use. Why it could not be written, or none; errno is EEXIST when
// the tag is taken.
std::optional<QString> write(
    const QString& folder, const QString& tag, const Fields& fields, bool durably, FileDescriptor* held = nullptr);

// Whether the record of tag is locked by a writer that still holds it; while
// it is not, locked holds the lock for the caller (none where the record
// cannot be opened or the volume cannot lock).
bool held(const QString& folder, const QString& tag, FileDescriptor& locked);

// Adds the lines of fields to the record of tag, in one write, on the disk
// when this returns where durably. Why it could not, or none.
std::optional<QString> append(const QString& folder, const QString& tag, const Fields& fields, bool durably = false);

// The tags of the records in folder.
QStringList tags(const QString& folder);

// The fields of the record of tag; none when it is not one the program
// could have written (a link, not a regular file, too long).
std::optional<Fields> read(const QString& folder, const QString& tag);

// The record of tag is done with; what has gone wrong is logged with what.
void remove(const QString& folder, const QString& tag, const char* what);

// A file's time as a record keeps it ("seconds.nanoseconds"), and back;
// none for a value that is not one.
QByteArray timeText(const FileTimestamp& time);
std::optional<FileTimestamp> timeFrom(const QByteArray& text);

// This program as a record names its writer (the machine's boot, the
// process and its start), so that a start tells the records of a program
// still running, another running copy over the same state folder, from
// those an ended run left.
QByteArray thisWriter();
// Whether the writer a record names is running still: this program, or
// another running copy.
bool writerRunning(const QByteArray& writer);

// Makes the names just written into folder durable.
void syncFolder(const QString& folder);

} // namespace JournalRecords
