#pragma once

#include <QString>

// Folders that a scan treats as one item ("packages"), known by their
// extension. Photo libraries among them are never hashed as files: they are
// read through their database, or left alone.
bool isPackageExtension(const QString& lowerCaseExtension);
bool isPhotoLibraryExtension(const QString& lowerCaseExtension);
