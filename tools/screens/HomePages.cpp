// Gallery pages of the home screen: each tab with two rows, and the scanning
// state.
#include "Gallery.h"
#include "GalleryHome.h"

#include "home/MainViewController.h"
#include "marking/ProtectedFolderStore.h"

#include <QAbstractItemView>
#include <QComboBox>

namespace {

// The rows every home page shows.
void addSampleRows(MainViewController& home)
{
    LocationLists& lists = home.lists();
    lists.addPathToScanList(QStringLiteral("/home/ana/Pictures"));
    lists.addPathToScanList(QStringLiteral("/media/backup/Photos 2019"))->isIncludeSubFolders = false;
    lists.arrExcludePathsFinder.clear();
    LocationLists::appendPathNode(QStringLiteral("/home/ana/.cache"), lists.arrExcludePathsFinder);
    LocationLists::appendPathNode(QStringLiteral("/home/ana/Downloads/tmp"), lists.arrExcludePathsFinder)->state = 0;
    LocationLists::appendPathNode(
        QStringLiteral("/home/ana/Documents/Contracts"), lists.protectedFolders.arrProtectedPathsFinder);
    LocationLists::appendPathNode(
        QStringLiteral("/home/ana/Pictures/Wedding"), lists.protectedFolders.arrProtectedPathsFinder);
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
