// Gallery pages of the removal: its confirmation sheet (with and without the
// network note) and its progress sheet part-way through a run.
#include "Gallery.h"

#include "base/UserDefaults.h"
#include "cleanup/CleanupController.h"
#include "cleanup/TrashSheets.h"
#include "controls/CustomWindowNag.h"
#include "marking/ProtectedFolderStore.h"
#include "marking/ResultsState.h"
#include "platform/FileRemover.h"

#include <QTemporaryDir>
#include <QWidget>

namespace {

// The sheets as the results screen makes them, over settings of their own.
struct SampleSheets {
    QTemporaryDir folder;
    UserDefaults defaults { folder.path() };
    ResultsState state { std::make_shared<ProtectedFolderStore>(defaults) };
    CleanupController controller { state, defaults, std::make_shared<FaultyFileRemover>(), nullptr };
    QWidget window;
    TrashSheets sheets { &window, controller };
};

QImage confirmation(bool networkNote)
{
    SampleSheets sample;
    sample.sheets.showTrashConfirmation(networkNote, {});
    sample.sheets.windowTrashConfirmation()->hide();
    return renderWidget(*sample.sheets.windowTrashConfirmation());
}

const GalleryRegistration confirmationPage("cleanup-trash-confirmation", [] { return confirmation(false); });
const GalleryRegistration networkPage("cleanup-trash-confirmation-network", [] { return confirmation(true); });

const GalleryRegistration progressPage("cleanup-trash-progress", [] {
    SampleSheets sample;
    sample.sheets.showTrashProgress(10);
    sample.sheets.updateTrashProgress(4, filesDeletedCountText(4),
        QStringLiteral("/home/user/Pictures/Holidays 2024/Beach/IMG_20240712_101543 (copy).jpg"));
    sample.sheets.windowTrash()->hide();
    return renderWidget(*sample.sheets.windowTrash());
});

} // namespace
