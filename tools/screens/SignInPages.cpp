// Gallery pages of the cloud sign-in sheets over the home screen: the
// instructions of each service (and Google Drive's in the German layout), and
// the wait while the browser signs in.
#include "Gallery.h"
#include "GalleryHome.h"

#include "cloud/CloudSignInSheet.h"
#include "cloud/CloudSourceController.h"
#include "controls/CustomWindowNag.h"
#include "home/MainViewController.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QPainter>

namespace {

QImage renderSignInSheet(bool waiting, ScanSource source = ScanSource::googleDrive, const QString& language = {})
{
    StartedHome started({}, language);
    MainViewController& home = *started.home;
    auto* sources = new CloudSourceController(home, [](ScanSource) { return nullptr; });
    selectedScanSource() = source;
    // The pop-up behind shows the source signed in to.
    if (auto* popUp = home.findChild<QComboBox*>(QStringLiteral("btnScanMode")))
        popUp->setCurrentIndex(popUp->findData(scanSourceTag(source)));
    CloudSignInSheet& sheet = sources->signInSheet();
    if (waiting)
        sheet.showWaiting(source);
    else
        sheet.showInstructions(source);
    QCoreApplication::processEvents();

    // Drawn as the sheet stands, but not as a shown window of its own.
    sheet.windowGoogleDriveInstruction->hide();
    QImage image = renderWidget(home);
    QPainter painter(&image);
    painter.drawImage(QPoint(0, 0), renderWidget(*sheet.windowGoogleDriveInstruction));
    painter.end();
    selectedScanSource() = ScanSource::thisComputer;
    return image;
}

const GalleryRegistration instructions("drive-sign-in", [] { return renderSignInSheet(false); });
const GalleryRegistration germanInstructions(
    "drive-sign-in-de", [] { return renderSignInSheet(false, ScanSource::googleDrive, QStringLiteral("de")); });
const GalleryRegistration dropbox("dropbox-sign-in", [] { return renderSignInSheet(false, ScanSource::dropbox); });
const GalleryRegistration oneDrive("onedrive-sign-in", [] { return renderSignInSheet(false, ScanSource::oneDrive); });
const GalleryRegistration box("box-sign-in", [] { return renderSignInSheet(false, ScanSource::box); });
const GalleryRegistration waiting("drive-sign-in-wait", [] { return renderSignInSheet(true); });

} // namespace
