#pragma once

#include <QByteArray>
#include <QString>

// Small file builders for tests that work in a QTemporaryDir.

// Writes bytes to path, replacing what was there; fails the test when it
// cannot.
void writeTestFile(const QString& path, const QByteArray& bytes);

// The bytes of the file at path; fails the test when it cannot be read.
QByteArray readTestFile(const QString& path);

// Makes a FIFO at path; fails the test when it cannot.
void makeTestFifo(const QString& path);

// Sets or clears the immutable attribute of a file; false when this system or
// user may not change it.
bool setTestFileImmutable(const QString& path, bool immutable);

// Why a test that needs bytes free on the disk of the temporary folder
// cannot run; empty when they are free.
QString lackOfRoomFor(quint64 bytes);
