// Gallery page of the cloud folder picker: a service's tree, partly opened,
// over the home screen, with one folder chosen.
#include "Gallery.h"
#include "GalleryHome.h"

#include "cloud/CloudFolderPicker.h"
#include "cloud/CloudSourceController.h"
#include "controls/CustomOutlineView.h"
#include "controls/CustomWindowNag.h"
#include "home/MainViewController.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QPainter>

namespace {

// A signed-in service whose folders answer at once from a fixed tree.
class ScriptedTree : public ScanWrapper {
public:
    ScriptedTree() { isAuthenticateForScan = true; }

protected:
    void listFolder(const CloudScanFoldersListPtr& folder, std::function<void(FolderListing)> done) override
    {
        static const std::map<QString, QStringList> tree {
            { QStringLiteral("DropBox"),
                { QStringLiteral("Camera Uploads"), QStringLiteral("Family"), QStringLiteral("Music"),
                    QStringLiteral("Shared"), QStringLiteral("Work") } },
            { QStringLiteral("/Family"),
                { QStringLiteral("Birthdays"), QStringLiteral("Holidays 2023"), QStringLiteral("Wedding") } },
            { QStringLiteral("/Family/Holidays 2023"), { QStringLiteral("Lisbon"), QStringLiteral("Porto") } },
        };
        FolderListing listing;
        const auto it = tree.find(folder->folderPath);
        if (it != tree.end()) {
            const QString base = folder == rootFolderObj ? QString() : folder->folderPath;
            for (const QString& name : it->second) {
                auto sub = std::make_shared<CloudScanFoldersList>();
                sub->folderName = name;
                sub->folderPath = base + QLatin1Char('/') + name;
                listing.subFolders.push_back(sub);
            }
        }
        done(std::move(listing));
    }
    QString rootFolderName() const override { return QStringLiteral("DropBox"); }
};

const GalleryRegistration picker("cloud-folder-picker", [] {
    StartedHome started;
    MainViewController& home = *started.home;
    auto* sources = new CloudSourceController(home, [](ScanSource) { return std::make_unique<ScriptedTree>(); });
    auto* cloudPicker = new CloudFolderPicker(home, *sources);
    auto* popUp = home.findChild<QComboBox*>(QStringLiteral("btnScanMode"));
    popUp->setCurrentIndex(popUp->findData(scanSourceTag(ScanSource::dropbox)));
    emit popUp->activated(popUp->currentIndex());
    home.tabChanged(1);

    cloudPicker->showCloudFolderPicker(HomeTab::include);
    QCoreApplication::processEvents();
    CloudFolderTreeModel& model = cloudPicker->model();
    CustomOutlineView& outline = *cloudPicker->outlineGDFolderList;
    const QModelIndex root = model.index(0, 0);
    outline.expand(root);
    const QModelIndex family = model.index(1, 0, root);
    outline.expand(family);
    QCoreApplication::processEvents();
    const QModelIndex holidays = model.index(1, 0, model.index(1, 0, model.index(0, 0)));
    outline.expand(holidays);
    QCoreApplication::processEvents();
    outline.setCurrentIndex(model.index(0, 0, model.index(1, 0, model.index(1, 0, model.index(0, 0)))));

    // Drawn as the sheet stands, but not as a shown window of its own.
    cloudPicker->windowGoogleDriveFolderList->hide();
    QImage image = renderWidget(home);
    QPainter painter(&image);
    painter.drawImage(QPoint(0, 0), renderWidget(*cloudPicker->windowGoogleDriveFolderList));
    painter.end();
    selectedScanSource() = ScanSource::thisComputer;
    return image;
});

} // namespace
