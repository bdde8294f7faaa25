#pragma once

#include "base/UserDefaults.h"
#include "core/SettingsSchema.h"
#include "home/LocationLists.h"
#include "scan/ScanSources.h"
#include "support/PathRows.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

// A home screen's lists over a settings store in a temporary HOME.
struct ListsFixture : ::testing::Test {
    using Rows = ScanSources::Rows;

    TempHome home;
    UserDefaults defaults { home.configHome() };
    ScanSources sources { defaults };
    LocationLists lists { sources };

    ListsFixture() { selectedScanSource() = ScanSource::thisComputer; }
    ~ListsFixture() override { selectedScanSource() = ScanSource::thisComputer; }

    // The scan list of the chosen source, and this computer's exclude list.
    const Rows& scan() const { return lists.scanListForSource(); }
    const Rows& excludeFinder() const { return sources.excludeList(ScanSource::thisComputer); }
    // A checked row with sub-folders appended to a source's list.
    void append(ScanSource source, SourceList which, const QString& path)
    {
        sources.edit(source, which, [&path](Rows& rows) { rows.push_back(LocationLists::makePathNode(path)); });
    }
    void clear(ScanSource source, SourceList which) { sources.replace(source, which, {}); }

    // The paths of a stored folder list, in order.
    QStringList saved(const char* key) const { return storedPaths(defaults, key); }
};
