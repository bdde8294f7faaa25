#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QString>

#include <optional>

// What the program reads of one Dropbox file entry, parsed from the service's
// JSON listing. Plain data: records carry it without any network code.
struct DropboxFileMetadata {
    QString identifier;
    QString name;
    QString pathDisplay;
    // The revision listed; a removal names it so that a newer file at the
    // same path is left alone.
    QString rev;
    quint64 size = 0;
    std::optional<QString> contentHash;
    std::optional<QDateTime> clientModified;
    std::optional<QDateTime> serverModified;

    // None unless the entry is a file with a name and a display path.
    static std::optional<DropboxFileMetadata> fromJson(const QJsonObject& json);
};
