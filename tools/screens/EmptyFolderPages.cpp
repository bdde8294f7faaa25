// Gallery pages of the empty-folder cleaner: a scanned tree with its empty
// folders painted, and the settings tab.
#include "Gallery.h"

#include "controls/CustomOutlineView.h"
#include "emptyfolders/EmptyFolderHandler.h"
#include "emptyfolders/FolderTreeModel.h"

#include <QDialog>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

namespace {

// A cleaner that has scanned a small sample tree and shows some of its rows.
struct ScannedCleaner {
    QTemporaryDir folder { QDir::tempPath() + QStringLiteral("/Projects-XXXXXX") };
    EmptyFolderHandler handler;

    ScannedCleaner()
    {
        for (const char* path : { "Archive/2019/Invoices", "Archive/2020", "Archive/2021/Scans/Old", "Drafts",
                 "Photos/Holiday/Beach", "Photos/Holiday/Mountains", "Photos/Family", "Music/Live", "Temp" })
            QDir().mkpath(folder.filePath(QLatin1String(path)));
        for (const char* file : { "Archive/2019/Invoices/march.pdf", "Photos/Holiday/Beach/sea.jpg",
                 "Photos/Family/party.jpg", "Drafts/.notes" }) {
            QFile touched(folder.filePath(QLatin1String(file)));
            touched.open(QIODevice::WriteOnly);
        }
        handler.folderChosen(folder.path());
        QEventLoop loop;
        QObject::connect(&handler, &EmptyFolderHandler::workFinished, &loop, &QEventLoop::quit);
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        handler.btnScanFoldersTapped();
        loop.exec();
        auto* outline = handler.outlineViewFolderList;
        auto* model = static_cast<FolderTreeModel*>(outline->model());
        const QModelIndex root = model->index(0, 0);
        outline->expand(root);
        for (int row = 0; row < model->rowCount(root); ++row) {
            const QModelIndex child = model->index(row, 0, root);
            const QString name = model->data(child).toString();
            if (name == QLatin1String("Archive"))
                outline->expand(child);
        }
    }
};

QImage sheetImage(EmptyFolderHandler& handler)
{
    QDialog* window = handler.window();
    window->setAttribute(Qt::WA_DontShowOnScreen);
    window->show();
    return renderWidget(*window);
}

const GalleryRegistration foundTree("emptyfolders-found-tree", [] {
    ScannedCleaner cleaner;
    return sheetImage(cleaner.handler);
});

const GalleryRegistration settingsTab("emptyfolders-settings-tab", [] {
    ScannedCleaner cleaner;
    cleaner.handler.tabChangedDeleteFolder(2);
    return sheetImage(cleaner.handler);
});

const GalleryRegistration freshSheet("emptyfolders-opened", [] {
    EmptyFolderHandler handler;
    return sheetImage(handler);
});

} // namespace
