#pragma once
// The parts of the cloud road tests: a program online in a home of its own,
// beside a fake service on this machine, and the user's steps on its screens
// (choose a source, add its root from the picker, mark and remove a file).
#include "base/AlertPresenter.h"
#include "base/UserDefaults.h"
#include "cleanup/TrashSheets.h"
#include "cloud/CloudFolderPicker.h"
#include "controls/CustomCell.h"
#include "controls/CustomOutlineView.h"
#include "controls/CustomTableView.h"
#include "controls/CustomWindowNag.h"
#include "controls/IMGButton.h"
#include "controls/RAZButton.h"
#include "core/AppStartup.h"
#include "core/GlobalObjects.h"
#include "home/MainViewController.h"
#include "platform/ReachabilityTest.h"
#include "results/ResultViewController.h"
#include "scan/ScanSources.h"
#include "support/FakeHttpServer.h"
#include "support/ResultsRows.h"
#include "support/TempHome.h"
#include "support/UserClicks.h"

#include <QComboBox>
#include <QJsonObject>

#include <functional>
#include <memory>

#include <gtest/gtest.h>

struct Online : NetworkReachabilityProbe {
    bool isNetworkReachable() override { return true; }
};

struct Alerts : AlertPresenter {
    QStringList texts;
    QStringList details;
    int present(const AlertRequest& request) override
    {
        texts.append(request.messageText);
        details.append(request.informativeText);
        return 0;
    }
};

inline QJsonObject dropboxFile(const QString& path)
{
    return { { QStringLiteral(".tag"), QStringLiteral("file") }, { QStringLiteral("name"), path.section('/', -1) },
        { QStringLiteral("path_display"), path }, { QStringLiteral("size"), 200000 },
        { QStringLiteral("content_hash"), QStringLiteral("same") }, { QStringLiteral("rev"), QStringLiteral("r1") } };
}

inline QStringList shownPaths(QAbstractItemModel& list)
{
    QStringList shown;
    for (int row = 0; row < list.rowCount(); ++row)
        shown << list.index(row, 0).data(CustomCell::roleOf(CustomCell::Outlet::lblFilePath)).toString();
    return shown;
}

// Chooses a source in the home screen's pop-up, as a click on its item does.
inline void chooseSource(MainViewController& homeScreen, ScanSource source)
{
    auto* popUp = homeScreen.findChild<QComboBox*>(QStringLiteral("btnScanMode"));
    const int item = popUp->findData(scanSourceTag(source));
    popUp->setCurrentIndex(item);
    emit popUp->activated(item);
}

// Marks the shown file at path and removes it as the user does: Remove, its
// confirmation (which asks of the one file), and once the service was asked
// (serviceAsked), the report's OK; the group of two is gone then.
inline void markAndRemove(ResultViewController& results, const QString& path, const std::function<bool()>& serviceAsked)
{
    CustomTableView& table = *results.tblDuplicates();
    QAbstractItemModel& list = *table.model();
    const QModelIndex file = list.index(shownPaths(list).indexOf(path), 0);
    ASSERT_TRUE(file.isValid());
    clickCheckBox(table, file);
    click(results.findChild<QAbstractButton*>(QStringLiteral("btnTrash")));
    EXPECT_EQ(results.trashSheets().lblAreYouSureToDeleteHeading->text().toStdString(),
        "Are you sure you want to delete the marked item?");
    click(titled("ID_TRASH"));
    ASSERT_TRUE(waitUntil(serviceAsked, 30000));
    click(titled("ID_OK"));
    ASSERT_TRUE(waitUntil([&] { return list.rowCount() == 0; }));
}

// A road to a service stood in for by a fake server on this machine, with
// its sign-in, in a home of its own, online.
struct ServiceRoad {
    TempHome home;
    UserDefaults defaults { home.configHome() + QStringLiteral("/Vellicor") };
    std::shared_ptr<Alerts> alerts = std::make_shared<Alerts>();
    FakeHttpServer server;

    bool start()
    {
        startApplicationCore(defaults);
        setNetworkReachabilityProbe(std::make_shared<Online>());
        if (!server.listen())
            return false;
        server.enableOAuth(QStringLiteral("client"));
        return true;
    }
};

// Chooses a signed-out source in the pop-up: its sign-in runs, its picker
// opens, and its root goes into the scan list.
inline void chooseSourceAndAddItsRoot(MainViewController& homeScreen, CloudFolderPicker& picker, ScanSource source)
{
    chooseSource(homeScreen, source);
    ASSERT_TRUE(waitUntil([&] { return picker.windowGoogleDriveFolderList->isVisible(); }, 30000));
    picker.outlineGDFolderList->setCurrentIndex(picker.model().index(0, 0));
    click(picker.btnAddFolderGDrive);
    ASSERT_EQ(homeScreen.lists().scanListForSource().size(), 1u);
}

// Each test sets the program's globals it needs; they go back even when an
// assertion ends the test early, so no later test starts online or on a
// cloud source.
class CloudRoad : public ::testing::Test {
protected:
    void TearDown() override
    {
        setNetworkReachabilityProbe(nullptr);
        setAlertPresenter(nullptr);
        selectedScanSource() = ScanSource::thisComputer;
    }
};
