// Gallery pages of the cloud sign-in sheets over the home screen, for Google
// Drive: the instructions, and the wait while the browser signs in.
#include "Gallery.h"
#include "GalleryHome.h"

#include "cloud/CloudSignInSheet.h"
#include "cloud/CloudSourceController.h"
#include "controls/CustomWindowNag.h"
#include "home/MainViewController.h"

#include <QCoreApplication>
#include <QPainter>

namespace {

QImage renderSignInSheet(bool waiting)
{
    StartedHome started;
    MainViewController& home = *started.home;
    auto* sources = new CloudSourceController(home, [](ScanSource) { return nullptr; });
    selectedScanSource() = ScanSource::googleDrive;
    CloudSignInSheet& sheet = sources->signInSheet();
    if (waiting)
        sheet.showWaiting(ScanSource::googleDrive);
    else
        sheet.showInstructions(ScanSource::googleDrive);
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
const GalleryRegistration waiting("drive-sign-in-wait", [] { return renderSignInSheet(true); });

} // namespace
