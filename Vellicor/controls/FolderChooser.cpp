#include "controls/FolderChooser.h"

#include "base/AppPaths.h"
#include "controls/DialogLook.h"

#include <QAbstractItemView>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QPointer>
#include <QTreeView>

namespace {

// The folder chosen last in any chooser of this run.
QString& lastChosenFolder()
{
    static QString folder;
    return folder;
}

// Where a chooser opens when its caller names no folder: where the user chose
// last while it is still there, else the home folder (never the program's
// working folder).
QString startingFolder(const QString& asked)
{
    if (!asked.isEmpty())
        return asked;
    if (const QString& last = lastChosenFolder(); !last.isEmpty() && QFileInfo(last).isDir())
        return last;
    return AppPaths::homeFolder();
}

} // namespace

QFileDialog* openFolderChooser(QWidget* parent, const FolderChooserRequest& request,
    std::function<void(const QStringList&)> done, QObject* context)
{
    // Never the dialog's own title: every panel says what its folders are for.
    auto* dialog = new QFileDialog(
        parent, request.title.isEmpty() ? request.prompt : request.title, startingFolder(request.startFolder));
    dialog->setObjectName(QStringLiteral("folderChooser"));
    // Our own panel rather than the desktop's: only ours can take the dark
    // look and the same keys in every place the program asks for a folder.
    dialog->setOption(QFileDialog::DontUseNativeDialog, true);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    if (!request.prompt.isEmpty())
        dialog->setLabelText(QFileDialog::Accept, request.prompt);
    if (request.several) {
        // The panel's folder lists, not its side bar of places: a click
        // there still moves to the place.
        for (const char* name : { "listView", "treeView" }) {
            if (auto* view = dialog->findChild<QAbstractItemView*>(QLatin1String(name)))
                view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        }
    }
    applyDarkDialogLook(dialog);
    // Its own size and columns leave the dates of the detail view cut short.
    dialog->resize(dialog->sizeHint().expandedTo(QSize(760, 460)));
    if (auto* details = dialog->findChild<QTreeView*>(QStringLiteral("treeView")))
        details->header()->setStretchLastSection(true);
    const bool guarded = context != nullptr;
    QObject::connect(dialog, &QFileDialog::finished, dialog,
        [dialog, done = std::move(done), guard = QPointer<QObject>(context), guarded](int result) {
            const QStringList chosen = result == QDialog::Accepted ? dialog->selectedFiles() : QStringList();
            if (!chosen.isEmpty())
                lastChosenFolder() = chosen.first();
            if (!done || (guarded && !guard))
                return;
            done(chosen);
        });
    dialog->open();
    return dialog;
}
