#pragma once

#include "base/UserDefaults.h"
#include "core/SettingsSchema.h"
#include "home/LocationLists.h"
#include "marking/ProtectedFolderStore.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

// A home screen's lists over a settings store in a temporary HOME.
struct ListsFixture : ::testing::Test {
    TempHome home;
    UserDefaults defaults { home.configHome() };
    std::vector<FilePathNodePtr> scan, excludeFinder, excludeDrive, excludeCloud;
    QHash<QString, QString> added;
    ProtectedFolderStore protect { defaults };
    LocationLists lists { defaults, { scan, excludeFinder, excludeDrive, excludeCloud, added }, protect };

    ListsFixture() { selectedScanSource() = ScanSource::thisComputer; }
    ~ListsFixture() override { selectedScanSource() = ScanSource::thisComputer; }

    // The paths of a stored folder list, in order.
    QStringList saved(const char* key) const
    {
        QStringList paths;
        for (const QVariant& record : defaults.object(QString::fromLatin1(key)).toList())
            paths << record.toMap().value(QStringLiteral("path")).toString();
        return paths;
    }
};
