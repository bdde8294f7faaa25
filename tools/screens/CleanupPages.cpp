// Gallery pages of the removal: its confirmation sheet (with and without the
// network note), its progress sheet part-way through a run, the after-clean
// window, the undo sheets and the view left when no group is.
#include "Gallery.h"

#include "base/UserDefaults.h"
#include "cleanup/AfterCleanSheets.h"
#include "cleanup/CleanupController.h"
#include "cleanup/ResultAreaViews.h"
#include "cleanup/TrashSheets.h"
#include "controls/CustomWindowNag.h"
#include "core/Localization.h"
#include "core/TextFormat.h"
#include "marking/ResultsState.h"
#include "platform/FileRemover.h"
#include "scan/ScanSources.h"

#include <QTemporaryDir>
#include <QWidget>

namespace {

// The sheets as the results screen makes them, over settings of their own.
struct SampleSheets {
    QTemporaryDir folder;
    UserDefaults defaults { folder.path() };
    ResultsState state { std::make_shared<ScanSources>(defaults) };
    CleanupController controller { state, defaults, std::make_shared<FaultyFileRemover>(), nullptr };
    QWidget window;
    TrashSheets sheets { &window, controller };
};

QImage confirmation(bool networkNote, ScanSource source = ScanSource::thisComputer, qint64 hidden = 0, qint64 shown = 3)
{
    SampleSheets sample;
    sample.sheets.showTrashConfirmation(trashQuestion(source, shown, hidden, networkNote), {});
    sample.sheets.windowTrashConfirmation()->hide();
    return renderWidget(*sample.sheets.windowTrashConfirmation());
}

const GalleryRegistration confirmationPage("cleanup-trash-confirmation", [] { return confirmation(false); });
const GalleryRegistration networkPage("cleanup-trash-confirmation-network", [] { return confirmation(true); });
const GalleryRegistration hiddenPage("cleanup-trash-confirmation-hidden-marks",
    [] { return confirmation(true, ScanSource::thisComputer, 2); });
const GalleryRegistration catalogPage(
    "cleanup-trash-confirmation-catalog", [] { return confirmation(false, ScanSource::lightroomCatalog); });
const GalleryRegistration catalogHiddenPage("cleanup-trash-confirmation-catalog-hidden-marks",
    [] { return confirmation(false, ScanSource::lightroomCatalog, 1); });
const GalleryRegistration catalogOnePage(
    "cleanup-trash-confirmation-catalog-one", [] { return confirmation(false, ScanSource::lightroomCatalog, 0, 1); });
const GalleryRegistration onePage("cleanup-trash-confirmation-one", [] { return confirmation(false, {}, 0, 1); });

const GalleryRegistration progressPage("cleanup-trash-progress", [] {
    SampleSheets sample;
    sample.sheets.showTrashProgress(10);
    TrashProgressFigures figures;
    figures.filesDone = 4.4;
    figures.path = QStringLiteral("/home/user/Videos/Holidays 2024/Beach/VID_20240712_101543 (copy).mp4");
    figures.removedBefore = 4;
    figures.bytesDone = 1'874'000'000;
    figures.bytesTotal = 4'310'000'000;
    sample.sheets.updateTrashProgress(figures);
    sample.sheets.windowTrash()->hide();
    return renderWidget(*sample.sheets.windowTrash());
});

} // namespace

namespace {

// The after-clean window and the undo sheets over a results window of their
// own.
struct SampleAfterClean {
    QWidget window;
    AfterCleanSheets sheets { &window };
};

RemovalReport sampleReport(qint64 removed, bool withTrouble)
{
    RemovalReport report;
    report.plannedCount = removed + (withTrouble ? 3 : 0);
    report.countTrashed = removed;
    report.sizeTrashed = static_cast<quint64>(removed) * 2'437'120;
    report.uniquePhotosReatined = 12;
    if (withTrouble) {
        RemovalOutcome failed;
        failed.path = QStringLiteral("/home/user/Shared/read-only/IMG_0412.jpg");
        failed.reason = QStringLiteral("Permission denied");
        report.arrFileNotTrashed.push_back(failed);
        RemovalOutcome skipped;
        skipped.path = QStringLiteral("/home/user/Documents/report (copy).pdf");
        skipped.reason = QStringLiteral("the file changed since the scan");
        report.skipped.push_back(skipped);
        report.stopped = true;
        report.notAttempted = 1;
    }
    return report;
}

QImage afterCleanOf(const RemovalReport& report, ScanSource source = ScanSource::thisComputer)
{
    SampleAfterClean sample;
    sample.sheets.showAfterCleanWindow(afterCleanFigures(report, source), {});
    sample.sheets.windowAfterClean()->hide();
    return renderWidget(*sample.sheets.windowAfterClean());
}

QImage afterClean(qint64 removed, bool withTrouble, ScanSource source = ScanSource::thisComputer)
{
    return afterCleanOf(sampleReport(removed, withTrouble), source);
}

const GalleryRegistration afterCleanPage("cleanup-after-clean", [] { return afterClean(14, false); });
const GalleryRegistration afterCleanOnePage("cleanup-after-clean-one-file", [] { return afterClean(1, false); });
const GalleryRegistration afterCleanTroublePage("cleanup-after-clean-not-removed", [] { return afterClean(5, true); });
// Files of a network drive deleted outright, alone and beside files that
// went to the Trash.
QImage afterCleanOnNetwork(qint64 removed, qint64 outright)
{
    RemovalReport report = sampleReport(removed, false);
    report.countDeletedOutright = outright;
    return afterCleanOf(report);
}
const GalleryRegistration afterCleanNetworkPage("cleanup-after-clean-network", [] { return afterCleanOnNetwork(3, 3); });
const GalleryRegistration afterCleanNetworkMixedPage(
    "cleanup-after-clean-network-mixed", [] { return afterCleanOnNetwork(14, 5); });
const GalleryRegistration afterCleanNothingPage(
    "cleanup-after-clean-nothing-removed", [] { return afterClean(0, true, ScanSource::box); });
const GalleryRegistration afterCleanCatalogPage(
    "cleanup-after-clean-catalog", [] { return afterClean(2, false, ScanSource::lightroomCatalog); });
// The longest size the figures show: just under a gigabyte rounds up.
const GalleryRegistration afterCleanLongPage("cleanup-after-clean-long-figures", [] {
    RemovalReport report = sampleReport(410, false);
    report.sizeTrashed = 999'999'999;
    SampleAfterClean sample;
    sample.sheets.showAfterCleanWindow(afterCleanFigures(report, ScanSource::thisComputer), {});
    sample.sheets.windowAfterClean()->hide();
    return renderWidget(*sample.sheets.windowAfterClean());
});

// Photo-library items: one put into the album, one the application did not
// know, listed with why.
const GalleryRegistration afterCleanAlbumPage("cleanup-after-clean-photo-album", [] {
    RemovalReport report = sampleReport(3, false);
    report.isPhotosLibInTrashList = true;
    report.countTrashedLibraryItems = 2;
    report.countMovedToAlbum = 1;
    RemovalOutcome left;
    left.path = QStringLiteral("/home/user/Pictures/Family.photoslibrary/originals/4/IMG_1187.HEIC");
    left.reason = localizedText(QStringLiteral("ID_PHOTOS_ITEM_NOT_MOVED_UNKNOWN"));
    report.arrFileNotTrashed.push_back(left);
    SampleAfterClean sample;
    sample.sheets.showAfterCleanWindow(afterCleanFigures(report, ScanSource::thisComputer), {});
    sample.sheets.windowAfterClean()->hide();
    return renderWidget(*sample.sheets.windowAfterClean());
});

const GalleryRegistration undoConfirmationPage("cleanup-undo-confirmation", [] {
    SampleAfterClean sample;
    sample.sheets.showUndoConfirmation(formatText(localizedText(QStringLiteral("ID_ACTION_TO_UNDO")), { 14 }), {});
    sample.sheets.windowUndoConfirmation()->hide();
    return renderWidget(*sample.sheets.windowUndoConfirmation());
});

const GalleryRegistration undoCompletedPage("cleanup-undo-completed", [] {
    SampleAfterClean sample;
    sample.sheets.showActionCompleted(localizedText(QStringLiteral("ID_ACTION_COMPLETED")), {});
    sample.sheets.windowActionCompleted()->hide();
    return renderWidget(*sample.sheets.windowActionCompleted());
});

const GalleryRegistration undoPartlyPage("cleanup-undo-partly", [] {
    SampleAfterClean sample;
    sample.sheets.showActionCompleted(formatText(localizedText(QStringLiteral("ID_FILES_RESTORED_PARTLY")), { 12, 14 }),
        { QStringLiteral("/home/user/Pictures/IMG_0388.jpg: a file is already at this path"),
            QStringLiteral("/home/user/Music/track 07.mp3: the trash no longer holds the file, and its kept copy "
                           "/home/user/Music/Live/track 07.mp3 has changed since the removal, so it was not used"),
            QString(), localizedText(QStringLiteral("ID_FILES_RESTORED_AS_COPIES")),
            formatText(localizedText(QStringLiteral("ID_FILE_RESTORED_AS_COPY_OF")),
                { QStringLiteral("/home/user/Documents/report.pdf"),
                    QStringLiteral("/home/user/Documents/Sent/report.pdf") }) });
    sample.sheets.windowActionCompleted()->hide();
    return renderWidget(*sample.sheets.windowActionCompleted());
});

const GalleryRegistration successViewPage("cleanup-all-removed-view", [] {
    SuccessView view;
    view.setAutoFillBackground(true);
    QPalette palette = view.palette();
    palette.setColor(QPalette::Window, darkScreenColor);
    view.setPalette(palette);
    view.resize(800, 480);
    return renderWidget(view);
});

} // namespace
