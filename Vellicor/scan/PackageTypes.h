#pragma once

#include "core/FileInfoNode.h"

#include <QString>

#include <atomic>

// Folders that a scan treats as one item ("packages"), known by their
// extension. Photo libraries among them are never hashed as files: they are
// read through their database, or left alone.
bool isPackageExtension(const QString& lowerCaseExtension);
bool isPhotoLibraryExtension(const QString& lowerCaseExtension);

// The digest of a package: its member files' digests joined in name order,
// depth first, so two packages with the same files in the same places agree.
// Left in record.md5; absent when Stop cut it short, empty when no member
// could be read.
void md5OfPackageContents(const QString& path, FileInfoNode& record, const std::atomic<bool>& abort);

// The names in a folder, sorted, without "." and ".."; none when the folder
// cannot be read.
QStringList folderEntryNames(const QString& path);
