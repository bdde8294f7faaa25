#pragma once

// The results screen as the screen benchmarks drive it: the application's
// start-up in a throwaway settings folder, no alerts, no delayed calls, shown
// and laid out. Make it after the QApplication.
#include "base/AlertPresenter.h"
#include "base/UserDefaults.h"
#include "controls/ApplicationFont.h"
#include "core/AppStartup.h"
#include "platform/FileRemover.h"
#include "results/ResultViewController.h"
#include "scan/ScanSources.h"

#include <QApplication>
#include <QTemporaryDir>

#include <functional>
#include <memory>

struct ResultsBenchScreen {
    struct NoAlerts : AlertPresenter {
        int present(const AlertRequest&) override { return 0; }
    };
    struct NoDelays : DelayedCalls {
        void after(std::chrono::milliseconds, QObject*, std::function<void()>) override { }
    };

    ResultsBenchScreen()
    {
        screen.setDelayedCalls(std::make_shared<NoDelays>());
        screen.viewDidLoad();
        screen.show();
        QApplication::processEvents();
    }
    ~ResultsBenchScreen() { setAlertPresenter(nullptr); }

    static UserDefaults& started(UserDefaults& defaults)
    {
        installApplicationFont();
        startApplicationCore(defaults);
        setAlertPresenter(std::make_shared<NoAlerts>());
        return defaults;
    }

    QTemporaryDir folder;
    UserDefaults defaults { folder.path() + QStringLiteral("/settings") };
    ResultViewController screen { started(defaults), std::make_shared<ScanSources>(defaults),
        std::make_shared<FaultyFileRemover>() };
};

// A result set loaded into the screen, its rows in: a large one is made ready
// on workers while the event loop runs.
inline void loadAndWait(ResultViewController& screen, std::vector<DuplicateGroupPtr> groups, qint64 dupCount,
    std::optional<PriorityLists> priorities = std::nullopt)
{
    screen.loadScanResults(std::move(groups), dupCount, ScanSource::thisComputer, std::move(priorities));
    while (screen.isHandingOver())
        QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// groupCount groups of pictures, copiesOf(g) files in group g, in picture
// folders by year; sizes and dates vary from group to group. The records keep
// their texts and digests as a scan's do: the files of one folder share its
// text, each file has a name text of its own (read from its folder), shared
// with its path, every file the same extension, and the files of a group the
// same 16 digest bytes.
inline std::vector<DuplicateGroupPtr> syntheticPictureGroups(int groupCount, const std::function<int(int)>& copiesOf)
{
    std::vector<DuplicateGroupPtr> groups;
    groups.reserve(size_t(groupCount));
    std::vector<QString> folders;
    const QString extension = QStringLiteral("jpg");
    for (int g = 0; g < groupCount; ++g) {
        auto group = std::make_shared<DuplicateGroup>();
        const QString groupName = QStringLiteral("IMG_%1.jpg").arg(g, 6, 10, QLatin1Char('0'));
        Md5Bytes digest {};
        for (size_t i = 0; i < digest.size(); ++i)
            digest[i] = quint8(g >> (8 * (i % 4)));
        for (int copy = 0; copy < copiesOf(g); ++copy) {
            const QString name(groupName.constData(), groupName.size());
            while (folders.size() <= size_t(copy))
                folders.push_back(QStringLiteral("/home/user/Pictures/%1").arg(2019 + folders.size()));
            auto file = std::make_shared<FileInfoNode>();
            file->folderPath = folders[size_t(copy)];
            file->filePath.assignParts(file->folderPath, name);
            file->fileName = file->filePath.lastComponent();
            file->fileExtension = extension;
            file->fileSize = 1'000'000 + quint64(g % 977) * 1000;
            file->md5 = DigestText(digest);
            file->isMd5Calucaluted = true;
            file->fileCategory = GlobalObjects::FileCategory::Pic;
            file->modDate = QDateTime(QDate(2024, 1 + (g + copy) % 12, 1 + g % 28), QTime(10, copy));
            addFileToGroup(group, file);
        }
        groups.push_back(group);
    }
    return groups;
}
