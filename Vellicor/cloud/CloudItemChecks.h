#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// What a service hands over about its items is checked before it becomes part
// of a request address or of a path the program shows, compares and protects.

// An item id that can stand as one segment of a request path as it is: ASCII
// letters, digits, '_' and '-', and the few further characters a service uses
// in its ids (alsoAllowed, for example "!"). Empty ids, "." and "..", and ids
// with separators, '%', control characters or spaces are refused.
bool isPlainCloudId(const QString& id, QStringView alsoAllowed = {});

// Why a service's item name cannot be one component of a path: empty, "." or
// "..", a "/" or a NUL in it; none when the name is usable. A name with a "/"
// would make a shared "a/b.jpg" and the real "b.jpg" in folder "a" one path.
std::optional<QString> cloudNameProblem(const QString& name);

// Why an item listed in a folder cannot be taken under the path the service
// gives it ("/a/b.jpg", from the service's root): a path with an empty, "."
// or ".." segment, one whose last segment is not the item's name, or one
// outside the folder listed (listedFolder, "" for the root); letter case is
// ignored. None when name and path agree, so what is shown is what is removed.
std::optional<QString> cloudPathProblem(const QString& path, const QString& name, const QString& listedFolder);

// True when a listed item's name is usable and agrees with its path;
// otherwise the item is logged as skipped, with the service, its folder and
// the reason.
bool isUsableCloudPath(const QString& service, const QString& folderPath, const QString& path, const QString& name,
    const QString& listedFolder);

// True when a listed item has a plain id and a usable name; otherwise the
// item is logged as skipped, with the service, its folder and the reason.
bool isUsableCloudItem(const QString& service, const QString& folderPath, const QString& id, const QString& name,
    QStringView idAlsoAllowed = {});
