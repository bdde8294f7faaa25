#pragma once

#include "support/FakeHttpServer.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <vector>

// A fake Google on the fake server: the discovery document, the sign-in of
// client "drive-client", and Drive's files.list over a tree of pages by parent
// id. A folder "fail" answers 500; the answers for holdFor wait for
// server.releaseHeld(). GUI thread.
struct FakeGoogle {
    FakeHttpServer server;
    QHash<QString, std::vector<QJsonArray>> tree;
    QString holdFor;

    bool start();
    // The "google" entry of cloud.json for this service.
    QJsonObject config() const;

    // A Drive item: a folder when md5 is "folder", a file with that checksum
    // otherwise (a document when empty).
    static QJsonObject item(const QString& id, const QString& name, const QString& md5 = {}, int size = -1);
};
