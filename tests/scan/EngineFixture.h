#pragma once

#include "base/UserDefaults.h"
#include "core/AppStartup.h"
#include "core/GlobalObjects.h"
#include "core/SettingsSchema.h"
#include "scan/FakeScanScreen.h"
#include "scan/LocalWalk.h"
#include "scan/ScanEngine.h"
#include "scan/ScanSources.h"
#include "support/PathRows.h"
#include "support/TempHome.h"
#include "support/TreeBuilder.h"

#include <QSignalSpy>
#include <QStringList>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

// A scan engine over a fake screen, after the program's own start-up with a
// fresh settings store in a temporary HOME, and a tree to scan. Every category
// switch is on and every file type chosen, so tests narrow down only what they
// are about.
class EngineFixture : public ::testing::Test {
protected:
    TempHome home;
    TreeBuilder tree;
    FakeScanScreen screen;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<ScanSources> sources;
    std::unique_ptr<ScanEngine> engine;
    // The result of the last scan that ended.
    ScanResultPtr result;

    void SetUp() override
    {
        defaults = std::make_unique<UserDefaults>(home.configHome() + QStringLiteral("/Vellicor"));
        startApplicationCore(*defaults);
        chooseAllFileTypes();
        reloadExtensionTables(*defaults);
        scanCategoryFlags.fill(true);
        isScanRunning = false;
        setAlertPresenter(std::shared_ptr<AlertPresenter>(&screen, [](AlertPresenter*) {}));
        sources = std::make_unique<ScanSources>(*defaults);
        // Tests exclude only what they name.
        sources->replace(ScanSource::thisComputer, SourceList::exclude, {}, ScanSources::Store::no);
        engine = std::make_unique<ScanEngine>(screen, *defaults, *sources);
        engine->setEndOfScanPauses(0, 0);
    }

    void TearDown() override
    {
        engine.reset();
        sources.reset();
        setAlertPresenter(nullptr);
        isAbortScan = false;
        isScanRunning = false;
    }

    // Ticks the "All" row of the include list.
    void chooseAllFileTypes()
    {
        QVariantList rows = defaults->arrayValue(QLatin1String(SettingsKey::includeExtensionList)).value();
        for (QVariant& row : rows) {
            QVariantMap map = row.toMap();
            if (map.value(QStringLiteral("keyStr")).toString() == QLatin1String(ExtensionFilterKey::all))
                map.insert(QStringLiteral("state"), 1);
            row = map;
        }
        defaults->setValue(QLatin1String(SettingsKey::includeExtensionList), rows);
    }

    FilePathNodePtr addRow(const QString& path, int state = 1, bool includeSubFolders = true)
    {
        FilePathNodePtr row = pathRow(path, state);
        row->isIncludeSubFolders = includeSubFolders;
        sources->edit(selectedScanSource().load(), SourceList::scan, [&row](auto& rows) { rows.push_back(row); });
        return row;
    }

    void excludeFolder(const QString& path, int state = 1)
    {
        excludeRow(ScanSource::thisComputer, pathRow(path, state));
    }

    void excludeRow(ScanSource source, const FilePathNodePtr& row)
    {
        sources->edit(source, SourceList::exclude, [&row](auto& rows) { rows.push_back(row); });
    }

    // Presses Scan Now and waits until the scan has ended on the screen.
    bool runScan(int timeoutMs = 60000)
    {
        QSignalSpy ended(engine.get(), &ScanEngine::scanEnded);
        engine->btnStartScanTapped();
        if (!ended.wait(timeoutMs))
            return false;
        result = ended.takeFirst().at(0).value<ScanResultPtr>();
        return result != nullptr;
    }

    // Presses Scan Now and, from another thread, confirms Stop as soon as
    // reached() holds; waits until the scan has ended.
    bool runScanStoppedWhen(const std::function<bool()>& reached)
    {
        std::atomic<bool> done { false };
        std::thread stopper([&] {
            while (!done && !reached())
                std::this_thread::yield();
            isAbortScan = true;
        });
        const bool ended = runScan();
        done = true;
        stopper.join();
        return ended;
    }

    QString relative(const FileInfoNodePtr& record) const
    {
        return record->filePath.value_or(QString()).mid(tree.root().size() + 1);
    }

    // Each group of the last result as its sorted relative paths, groups sorted.
    QList<QStringList> groupsFound() const
    {
        QList<QStringList> groups;
        for (const DuplicateGroupPtr& group : result ? result->groups : std::vector<DuplicateGroupPtr> {}) {
            QStringList paths;
            for (const FileInfoNodePtr& record : group->children)
                paths.append(relative(record));
            paths.sort();
            groups.append(paths);
        }
        std::sort(groups.begin(), groups.end());
        return groups;
    }
};
