// The settings the program writes, it reads back: a scan list past its bound
// is refused where the user adds to it, and told; what was stored stays.
#include "app/AppComposition.h"
#include "base/SettingsFileBytes.h"
#include "base/UserDefaults.h"
#include "controls/DragDropBox.h"
#include "core/AppStartup.h"
#include "core/SettingsSchema.h"
#include "home/MainViewController.h"
#include "scan/ScanSources.h"
#include "support/DropOn.h"
#include "support/LongScanHistory.h"
#include "support/PanelChooser.h"
#include "support/RecordingAlerts.h"
#include "support/StartedProgram.h"
#include "support/TempHome.h"
#include "support/UserClicks.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMimeData>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

// A camera's folder of count pictures, as a file manager's selection of them
// drops them: each file by itself.
QList<QUrl> cameraSelection(const QString& folder, int count, int first = 0)
{
    QDir().mkpath(folder);
    QList<QUrl> urls;
    for (int i = first; i < first + count; ++i) {
        const QString path = folder + QStringLiteral("/IMG_%1.jpg").arg(i, 5, 10, QLatin1Char('0'));
        QFile(path).open(QIODevice::WriteOnly);
        urls.append(QUrl::fromLocalFile(path));
    }
    return urls;
}


QString listTooLongDetail()
{
    return QStringLiteral("A list holds at most %1 items, so nothing was added. Add the folder that holds them instead.")
        .arg(QLocale().toString(10000));
}

} // namespace

TEST(SettingsBoundsRoad, AScanListPastItsBoundIsRefusedWhereverItIsAddedAndTheStoredListIsReadBack)
{
    TempHome home;
    const QString settings = home.configHome() + QStringLiteral("/Vellicor");
    UserDefaults defaults(settings);
    startApplicationCore(defaults);
    AppComposition program(defaults);
    program.launch();
    auto alerts = std::make_shared<RecordingAlerts>();
    setAlertPresenter(alerts);
    MainViewController& homeScreen = program.home();
    auto* panel = new PanelChooser;
    homeScreen.setFolderChooser(std::unique_ptr<FolderChooser>(panel));
    auto* box = homeScreen.findChild<DragDropBox*>();
    ASSERT_TRUE(box);
    const ScanSources& sources = homeScreen.lists().sources;
    const QString camera = home.path() + QStringLiteral("/Pictures/Camera");

    // One more than a list holds: nothing is added, and the user is told why.
    dropOn(*box, cameraSelection(camera, 10001));
    QCoreApplication::processEvents();
    ASSERT_EQ(alerts->messages(), QStringList { QStringLiteral("The scan list would be too long.") });
    EXPECT_EQ(alerts->shown[0].informativeText, listTooLongDetail());
    EXPECT_TRUE(sources.scanList(ScanSource::thisComputer).empty());
    EXPECT_FALSE(defaults.object(QLatin1String(SettingsKey::savedPaths)).isValid());

    // As many as it holds are taken, saved, and read back at the next start.
    alerts->shown.clear();
    dropOn(*box, cameraSelection(camera, 10000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(alerts->shown.empty()) << alerts->messages().join(QLatin1Char(',')).toStdString();
    EXPECT_EQ(sources.scanList(ScanSource::thisComputer).size(), 10000u);
    {
        const UserDefaults restarted(settings);
        EXPECT_FALSE(restarted.readProblemAtStart());
        EXPECT_EQ(restarted.arrayValue(QLatin1String(SettingsKey::savedPaths)).value_or(QVariantList {}).size(), 10000);
    }

    // Add's panel with one more is refused alike.
    panel->next = { cameraSelection(camera, 1, 10000).front().toLocalFile() };
    click(homeScreen.findChild<QAbstractButton*>(QStringLiteral("btnAddPath")));
    QCoreApplication::processEvents();
    ASSERT_EQ(alerts->messages(), QStringList { QStringLiteral("The scan list would be too long.") });
    EXPECT_EQ(alerts->shown[0].informativeText, listTooLongDetail());
    EXPECT_EQ(sources.scanList(ScanSource::thisComputer).size(), 10000u);
    EXPECT_EQ(UserDefaults(settings).arrayValue(QLatin1String(SettingsKey::savedPaths))->size(), 10000);
    setAlertPresenter(nullptr);
}

// A user of an earlier version, which let the scan history grow past what
// the settings file holds now: the program starts with everything they set,
// without a word, and writes the file back within its bound. A file past
// what is read at all is set aside, told with where it was kept, and the
// settings are saved again from then on.
TEST(SettingsBoundsRoad, ASettingsFileAnEarlierVersionGrewPastTheBoundStartsWholeAndOneFarPastIsSetAsideAndTold)
{
    TempHome home;
    const QString settings = home.configHome() + QStringLiteral("/Vellicor");
    const QString originals = home.path() + QStringLiteral("/Pictures/Originals");
    QDir().mkpath(originals);
    constexpr int records = 97000;
    const QVariantMap values { { QLatin1String(SettingsKey::protectedFolders), QVariantList { makeFolderEntry(originals) } },
        { QLatin1String(SettingsKey::lastScanStatus), numberedScanHistory(records) } };
    QDir().mkpath(settings);
    QFile file(settings + QStringLiteral("/settings.json"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(SettingsFileBytes().bytes(values));
    file.close();
    ASSERT_GT(file.size(), qint64(12) << 20);

    auto alerts = std::make_shared<RecordingAlerts>();
    {
        const StartedProgram started(settings, alerts);
        EXPECT_TRUE(alerts->shown.empty()) << alerts->messages().join(QLatin1Char(',')).toStdString();
        const auto& protect = started.program->home().lists().sources.protectList(ScanSource::thisComputer);
        ASSERT_EQ(protect.size(), 1u);
        EXPECT_EQ(protect[0]->filePath, originals);
    }
    // Written back within the bound by the program's end.
    EXPECT_LE(QFileInfo(file.fileName()).size(), UserDefaults::largestFile);
    const HistoryAtNextStart next = historyAtNextStart(settings);
    EXPECT_TRUE(next.readWhole);
    ASSERT_FALSE(next.records.isEmpty());
    EXPECT_EQ(duplicatesOf(next.records.first()), records - next.records.size());
    EXPECT_EQ(duplicatesOf(next.records.last()), records - 1);

    // Far past what is read: set aside whole, and told.
    ASSERT_TRUE(file.resize(UserDefaults::largestReadFile + 1));
    {
        const StartedProgram started(settings, alerts);
        ASSERT_EQ(alerts->messages(), QStringList { QStringLiteral("Your settings could not be read.") });
        const QString keptAt = started.defaults.readProblemAtStart().value_or(SettingsReadProblem {}).keptAt;
        EXPECT_EQ(alerts->shown[0].informativeText,
            QStringLiteral("The settings file was too large to read (%1 bytes, more than the %2 bytes that are "
                           "read). Protected folders, exclusions and lists were reset to their defaults. The file "
                           "was kept as %3.")
                .arg(QLocale().toString(UserDefaults::largestReadFile + 1),
                    QLocale().toString(UserDefaults::largestReadFile), keptAt));
        EXPECT_EQ(QFileInfo(keptAt).size(), UserDefaults::largestReadFile + 1);
        EXPECT_TRUE(started.program->home().lists().sources.protectList(ScanSource::thisComputer).empty());
    }
    const UserDefaults restarted(settings);
    EXPECT_FALSE(restarted.readProblemAtStart());
    EXPECT_EQ(restarted.boolValue(QLatin1String(SettingsKey::isFirstLaunchDone)), true);
}
