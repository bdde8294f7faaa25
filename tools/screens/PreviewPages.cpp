// Gallery pages of the results screen's preview pane: a picture with its
// image metadata, and a document.
#include "Gallery.h"
#include "HeldCalls.h"

#include "base/UserDefaults.h"
#include "controls/CustomTableView.h"
#include "core/AppStartup.h"
#include "core/ExifInfo.h"
#include "platform/FileRemover.h"
#include "results/PreviewPane.h"
#include "results/PreviewWindow.h"
#include "results/ResultViewController.h"
#include "results/ResultsListProxy.h"
#include "results/ResultsModel.h"
#include "scan/ScanSources.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QLinearGradient>
#include <QPainter>
#include <QTableWidget>
#include <QTemporaryDir>

namespace {

// A landscape: sky, sun and hills, in a file the pane reads itself.
void writeSamplePicture(const QString& path)
{
    QImage image(1200, 800, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 800);
    sky.setColorAt(0, QColor(58, 110, 180));
    sky.setColorAt(1, QColor(240, 190, 140));
    painter.fillRect(image.rect(), sky);
    painter.setBrush(QColor(255, 230, 150));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPointF(860, 300), 90, 90);
    painter.setBrush(QColor(60, 110, 70));
    painter.drawEllipse(QPointF(300, 900), 700, 360);
    painter.setBrush(QColor(40, 85, 55));
    painter.drawEllipse(QPointF(1000, 950), 600, 330);
    painter.end();
    image.save(path, "JPG", 90);
}

FileInfoNodePtr sampleFile(const QString& path, GlobalObjects::FileCategory category, quint64 size)
{
    auto file = std::make_shared<FileInfoNode>();
    file->filePath = path;
    file->fileName = path.section(QLatin1Char('/'), -1);
    file->fileExtension = file->fileName->section(QLatin1Char('.'), -1);
    file->fileSize = size;
    file->fileCategory = category;
    file->createDate = QDateTime(QDate(2024, 5, 3), QTime(9, 12, 40));
    file->modDate = QDateTime(QDate(2024, 6, 4), QTime(17, 3, 5));
    return file;
}

std::shared_ptr<ExifInfo> sampleExif()
{
    auto exif = std::make_shared<ExifInfo>();
    exif->imageSize = QStringLiteral("1200 x 800");
    exif->imageDPI = QStringLiteral("72 x 72");
    exif->orientation = 1;
    exif->digitalZoomRatio = QStringLiteral("1");
    exif->captureDate = QDateTime(QDate(2024, 5, 2), QTime(18, 40, 12));
    exif->exposure = QStringLiteral("1/250");
    exif->folcalLength = QStringLiteral("35");
    exif->exposureBias = QStringLiteral("0");
    exif->isoSpeedRating = QStringLiteral("200");
    exif->exposureMode = QStringLiteral("0");
    exif->exposureProgram = QStringLiteral("2");
    exif->meteringMode = QStringLiteral("5");
    exif->sensingMethod = QStringLiteral("2");
    exif->lightSource = QStringLiteral("1");
    exif->sceneCaptureType = QStringLiteral("1");
    exif->cameraMaker = QStringLiteral("Camera Co.");
    exif->cameraModel = QStringLiteral("Model 7");
    exif->cameraLensModel = QStringLiteral("35mm f/2");
    exif->cameraFirmware = QStringLiteral("1.0.3");
    exif->editingSoftware = QStringLiteral("Ver.1.00");
    exif->profileName = QStringLiteral("sRGB IEC61966-2.1");
    exif->colorModel = QStringLiteral("RGB");
    exif->colorSpace = QStringLiteral("sRGB");
    exif->gpsAltitude = 412.5;
    exif->gpsLatitude = 46.5197;
    exif->gpsLatitudeRef = QStringLiteral("N");
    exif->gpsLongitude = 6.6323;
    exif->gpsLongitudeRef = QStringLiteral("E");
    return exif;
}

// The results screen over two groups, the picture pair and the document pair,
// with row `selected` of the list chosen and its preview arrived; the picture
// cut short to its first kept share of bytes.
QImage renderPreview(int selected, bool detailsScrolled = false, double kept = 1)
{
    QTemporaryDir folder;
    pointXdgFoldersInto(folder.path());
    UserDefaults defaults(folder.path() + QStringLiteral("/settings"));
    startApplicationCore(defaults);
    const QString picture = folder.path() + QStringLiteral("/IMG_2207.jpg");
    writeSamplePicture(picture);
    if (kept < 1) {
        QFile cut(picture);
        cut.resize(qint64(double(cut.size()) * kept));
    }
    const QString notes = folder.path() + QStringLiteral("/meeting-notes.txt");
    QFile text(notes);
    if (text.open(QIODevice::WriteOnly))
        text.write("Agenda\n- budget\n- schedule\n");
    text.close();

    using C = GlobalObjects::FileCategory;
    std::vector<DuplicateGroupPtr> groups { std::make_shared<DuplicateGroup>(), std::make_shared<DuplicateGroup>() };
    auto photo = sampleFile(picture, C::Pic, 2'400'000);
    photo->setExifInfo(sampleExif());
    addFileToGroup(groups[0], photo);
    addFileToGroup(groups[0], sampleFile(QStringLiteral("/home/ana/Pictures/Import/IMG_2207.jpg"), C::Pic, 2'400'000));
    addFileToGroup(groups[1], sampleFile(notes, C::Doc, 1'200));
    addFileToGroup(groups[1], sampleFile(QStringLiteral("/home/ana/Desktop/meeting-notes.txt"), C::Doc, 1'200));

    ResultViewController screen(
        defaults, std::make_shared<ScanSources>(defaults), std::make_shared<FaultyFileRemover>());
    const auto calls = std::make_shared<HeldCalls>();
    screen.setDelayedCalls(calls);
    screen.setAttribute(Qt::WA_DontShowOnScreen);
    screen.viewDidLoad();
    screen.show();
    screen.loadScanResults(groups, 2, ScanSource::thisComputer);
    // Leave the scan-complete sheet out; the toolbar comes back as after the
    // pause.
    calls->pending.pop_back();
    calls->runAll();
    screen.tblDuplicates()->setCurrentIndex(screen.listModel().index(selected, 1));
    PreviewPane& pane = screen.previewPane();
    QDeadlineTimer deadline(5000);
    QCoreApplication::processEvents();
    while (!deadline.hasExpired() && pane.previewForFiles()->image().isNull() && !pane.previewForFiles()->hasIcon())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    if (detailsScrolled)
        pane.tblMetaInfo()->scrollToItem(pane.tblMetaInfo()->item(18, 0), QAbstractItemView::PositionAtTop);
    return renderWidget(screen);
}

const GalleryRegistration picturePage("results-preview-picture", [] { return renderPreview(0); });
// The picture's details further down, where the longer titles are.
const GalleryRegistration pictureDetailsPage(
    "results-preview-picture-details", [] { return renderPreview(0, true); });
const GalleryRegistration documentPage("results-preview-document", [] { return renderPreview(2); });
// A picture cut short: two fifths of it drawn, the rest grey; and one cut
// after a twentieth, shown as its type.
const GalleryRegistration cutShortPage("results-preview-cut-short", [] { return renderPreview(0, false, 0.4); });
const GalleryRegistration cutEarlyPage("results-preview-cut-early", [] { return renderPreview(0, false, 0.05); });

} // namespace

namespace {

// The context menu's preview window on a picture and on a text file, with
// the window's title drawn above its content.
QImage renderPreviewWindow(bool picture)
{
    QTemporaryDir folder;
    const QString path = folder.path() + (picture ? QStringLiteral("/IMG_2207.jpg") : QStringLiteral("/notes.txt"));
    if (picture) {
        writeSamplePicture(path);
    } else {
        QFile text(path);
        if (text.open(QIODevice::WriteOnly))
            text.write("Agenda\n- budget for the autumn trip\n- schedule\n- who brings the camera\n");
    }
    const auto file = sampleFile(path, picture ? GlobalObjects::FileCategory::Pic : GlobalObjects::FileCategory::Doc,
        quint64(QFileInfo(path).size()));
    PreviewWindow window;
    window.setAttribute(Qt::WA_DontShowOnScreen);
    window.showPreviewForNode(file, ScanSource::thisComputer);
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired() && window.face() == PreviewWindow::Face::nothing)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const QImage content = renderWidget(window);
    QImage image(
        QSize(content.width(), content.height() + int(28 * galleryScale())), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(galleryScale());
    image.fill(QColor(48, 48, 50));
    QPainter painter(&image);
    painter.setPen(QColor(220, 222, 226));
    painter.drawText(QRectF(0, 0, content.deviceIndependentSize().width(), 28), Qt::AlignCenter, window.windowTitle());
    painter.drawImage(QPointF(0, 28), content);
    return image;
}

const GalleryRegistration previewWindowPicturePage("results-preview-window", [] { return renderPreviewWindow(true); });
const GalleryRegistration previewWindowTextPage(
    "results-preview-window-text", [] { return renderPreviewWindow(false); });

} // namespace
