// Gallery page of the folder chooser as the home screen's Add opens it, in
// a folder of its own with a few sub-folders, two of them chosen.
#include "Gallery.h"

#include "controls/FolderChooser.h"
#include "core/Localization.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QItemSelectionModel>
#include <QTemporaryDir>
#include <QWidget>

namespace {

const GalleryRegistration folderChooser("dialogs-folder-chooser", [] {
    QTemporaryDir folder { QDir::tempPath() + QStringLiteral("/Pictures-XXXXXX") };
    for (const char* name : { "Holidays", "Family", "Scans", "Phone backup", "Wallpapers" })
        QDir(folder.path()).mkpath(QLatin1String(name));
    QWidget owner;
    owner.setAttribute(Qt::WA_DontShowOnScreen);
    owner.resize(900, 600);
    owner.show();
    QFileDialog* dialog = openFolderChooser(&owner,
        { localizedText("ID_ADD_FOLDER"), localizedText("ID_CHOOSE_FOLDERS_TO_SCAN"), folder.path(), true }, {});
    dialog->setAttribute(Qt::WA_DontShowOnScreen);
    // The panel lists a folder on a thread of its own.
    auto* model = dialog->findChild<QFileSystemModel*>();
    for (int i = 0; i < 200 && model && model->rowCount(model->index(folder.path())) < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (auto* list = dialog->findChild<QAbstractItemView*>(QStringLiteral("listView"))) {
        const QModelIndex root = list->rootIndex();
        for (int row : { 0, 2 })
            list->selectionModel()->select(list->model()->index(row, 0, root), QItemSelectionModel::Select);
    }
    QCoreApplication::processEvents();
    const QImage image = renderDialog(*dialog);
    delete dialog;
    return image;
});

} // namespace
