#pragma once

#include "base/UserDefaults.h"
#include "core/FilePathNode.h"

#include <QStringList>
#include <QVariant>

#include <memory>

// A row of a location list with a path and a check state.
inline FilePathNodePtr pathRow(const QString& path, int state = 1)
{
    auto node = std::make_shared<FilePathNode>();
    node->filePath = path;
    node->state = state;
    return node;
}

// The paths of a stored folder list ("savedPaths", "excludedFolders",
// "protectedFolders"), in order.
inline QStringList storedPaths(const UserDefaults& defaults, const char* key)
{
    QStringList paths;
    for (const QVariant& record : defaults.object(QString::fromLatin1(key)).toList())
        paths << record.toMap().value(QStringLiteral("path")).toString();
    return paths;
}
