#pragma once

#include "platform/PhotosBridge.h"

// A running photo application that keeps every script it is sent.
class FakePhotos : public UnavailablePhotosBridge {
public:
    bool isApplicationRunning() override { return true; }
    std::optional<QStringList> containerNames() override { return containers; }
    std::optional<QString> mediaItemId(const QString& id) override { return id; }
    ScriptRun runScript(const QString& source) override
    {
        const bool creation = source.contains(QLatin1String("make new album"));
        (creation ? creations : batches) << source;
        const bool fails = creation ? failCreations-- > 0 : failBatches-- > 0;
        return { !fails, fails ? PhotosBridge::notAuthorizedError : 0 };
    }

    std::optional<QStringList> containers;
    int failCreations = 0;
    int failBatches = 0;
    QStringList creations;
    QStringList batches;
};
