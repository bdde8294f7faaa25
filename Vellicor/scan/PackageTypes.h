#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <optional>

// Folders that a scan treats as one item ("packages"), known by their
// extension. Photo libraries among them are never hashed as files: they are
// read through their database, or left alone.
bool isPackageExtension(const QString& lowerCaseExtension);
bool isPhotoLibraryExtension(const QString& lowerCaseExtension);

// The digest of a package: an MD5 over every member's path inside the
// package, kind and contents (a file's digest, a link's target), in name
// order, depth first. Two packages agree only when they hold the same files
// under the same names. Absent when Stop cut it short, when the package holds
// no file, or when any member cannot be read: a package that is only partly
// known is never called a duplicate.
std::optional<QString> packageDigest(const QString& path, const std::atomic<bool>& abort);
