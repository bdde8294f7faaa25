// Gallery pages of the home screen: each tab with two rows, and the scanning
// state.
#include "Gallery.h"
#include "GalleryHome.h"

#include "home/MainViewController.h"
#include "scan/ScanSources.h"

#include <QAbstractItemView>
#include <QComboBox>

namespace {

// The rows every home page shows.
void addSampleRows(MainViewController& home)
{
    LocationLists& lists = home.lists();
    lists.addPathToScanList(QStringLiteral("/home/ana/Pictures"));
    lists.addPathToScanList(QStringLiteral("/media/backup/Photos 2019"))->isIncludeSubFolders = false;
    FilePathNodePtr unchecked = LocationLists::makePathNode(QStringLiteral("/home/ana/Downloads/tmp"));
    unchecked->state = 0;
    lists.sources.replace(ScanSource::thisComputer, SourceList::exclude,
        { LocationLists::makePathNode(QStringLiteral("/home/ana/.cache")), unchecked });
    lists.sources.replace(ScanSource::thisComputer, SourceList::protect,
        { LocationLists::makePathNode(QStringLiteral("/home/ana/Documents/Contracts")),
            LocationLists::makePathNode(QStringLiteral("/home/ana/Pictures/Wedding")) });
    home.updateButtonFromFileState();
}

QImage tabPage(int tag)
{
    StartedHome started(addSampleRows);
    started.home->tabChanged(tag);
    return renderWidget(*started.home);
}

const GalleryRegistration includeTab("home-include", [] { return tabPage(1); });
const GalleryRegistration excludeTab("home-exclude", [] { return tabPage(2); });
const GalleryRegistration protectTab("home-protect", [] { return tabPage(3); });

// The scanning view in the comparing stage.
QImage scanningPage(const QString& language)
{
    StartedHome started(addSampleRows, language);
    MainViewController& home = *started.home;
    home.showScanningState(true, true);
    home.showScanningSheet();
    ScanningLabels labels;
    labels.lblAddingPhotos = QStringLiteral("Comparing files");
    labels.lblAdd = QStringLiteral("Comparing");
    labels.lblFileScanCount = QStringLiteral("12,480");
    labels.lblFileProcessedStr = QStringLiteral("Files added");
    labels.lblFileProcessed = QStringLiteral("12,480");
    labels.lblFileComparedStr = QStringLiteral("Files compared");
    labels.lblFileCompared = QStringLiteral("7,911");
    labels.lblScanPer = QStringLiteral("63%");
    labels.progress = 0.63;
    home.showScanningLabels(labels);
    home.showScannedPath(QStringLiteral("Scanning: /home/ana/Pictures/2019/Holiday/IMG_2231.jpg"), QString());
    home.setScanNowButtonState(0, false);
    return renderWidget(home);
}

const GalleryRegistration scanning("home-scanning", [] { return scanningPage(QString()); });
const GalleryRegistration germanScanning("home-scanning-de", [] { return scanningPage(QStringLiteral("de")); });

} // namespace

namespace {

const GalleryRegistration sourceMenu("home-source-menu", [] {
    StartedHome started(addSampleRows);
    auto* popUp = started.home->findChild<QComboBox*>(QStringLiteral("btnScanMode"));
    popUp->showPopup();
    QImage image = renderWidget(*popUp->view()->window());
    popUp->hidePopup();
    return image;
});

} // namespace
