#pragma once

#include "core/FileCategories.h"
#include "core/GlobalObjects.h"
#include "core/SettingsSchema.h"
#include "base/UserDefaults.h"
#include "scan/FakeScanScreen.h"
#include "scan/ScanEngine.h"
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

// A scan engine over a fake screen, a fresh settings store in a temporary
// HOME, and a tree to scan. Every category switch is on and every file type
// chosen, so tests narrow down only what they are about.
class EngineFixture : public ::testing::Test {
protected:
    TempHome home;
    TreeBuilder tree;
    FakeScanScreen screen;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<ScanEngine> engine;

    void SetUp() override
    {
        fillBuiltInExtensionLists();
        defaults = std::make_unique<UserDefaults>(home.configHome() + QStringLiteral("/Vellicor"));
        registerDefaultSettings(*defaults);
        chooseAllFileTypes();
        loadExtensionLists(*defaults);
        scanCategoryFlags.fill(true);
        selectedScanSource() = ScanSource::thisComputer;
        isAbortScan = false;
        isScanRunning = false;
        setAlertPresenter(std::shared_ptr<AlertPresenter>(&screen, [](AlertPresenter*) {}));
        engine = std::make_unique<ScanEngine>(screen, *defaults);
        engine->setEndOfScanPauses(0, 0);
    }

    void TearDown() override
    {
        engine.reset();
        setAlertPresenter(nullptr);
        isAbortScan = false;
        isScanRunning = false;
    }

    // Ticks the "All" row of the include list.
    void chooseAllFileTypes()
    {
        QVariantList rows = defaults->arrayValue(QStringLiteral("IncludeExtensionList")).value_or(QVariantList {});
        for (QVariant& row : rows) {
            QVariantMap map = row.toMap();
            if (map.value(QStringLiteral("keyStr")).toString() == QLatin1String("All"))
                map.insert(QStringLiteral("state"), 1);
            row = map;
        }
        defaults->setValue(QStringLiteral("IncludeExtensionList"), rows);
    }

    FilePathNodePtr addRow(const QString& path, int state = 1, bool includeSubFolders = true)
    {
        auto row = std::make_shared<FilePathNode>();
        row->filePath = path;
        row->state = state;
        row->isIncludeSubFolders = includeSubFolders;
        engine->arrPathNodesFinder.push_back(row);
        return row;
    }

    void excludeFolder(const QString& path, int state = 1)
    {
        auto row = std::make_shared<FilePathNode>();
        row->filePath = path;
        row->state = state;
        engine->arrExcludePathsFinder.push_back(row);
    }

    // Presses Scan Now and waits until the scan has ended on the screen.
    bool runScan(int timeoutMs = 60000)
    {
        QSignalSpy ended(engine.get(), &ScanEngine::scanEnded);
        engine->btnStartScanTapped();
        return ended.wait(timeoutMs);
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

    // The paths of the records the walk accepted, relative to the tree, sorted.
    QStringList recordedPaths() const
    {
        QStringList paths;
        for (const FileInfoNodePtr& record : engine->arrFileNodes)
            paths.append(record->filePath.value_or(QString()).mid(tree.root().size() + 1));
        paths.sort();
        return paths;
    }

    // Each group of two or more as its sorted relative paths, groups sorted.
    QList<QStringList> groupsFound() const
    {
        QList<QStringList> groups;
        for (const DuplicateGroupPtr& group : engine->arrMainGroup) {
            if (group->children.size() < 2)
                continue;
            QStringList paths;
            for (const FileInfoNodePtr& record : group->children)
                paths.append(record->filePath.value_or(QString()).mid(tree.root().size() + 1));
            paths.sort();
            groups.append(paths);
        }
        std::sort(groups.begin(), groups.end());
        return groups;
    }
};
