#include "emptyfolders/Folder.h"

#include <QFile>

Folder::~Folder()
{
    std::vector<std::unique_ptr<Folder>> pending = std::move(subfolders);
    while (!pending.empty()) {
        std::unique_ptr<Folder> next = std::move(pending.back());
        pending.pop_back();
        for (std::unique_ptr<Folder>& child : next->subfolders)
            pending.push_back(std::move(child));
        next->subfolders.clear();
    }
}

QByteArray nativePathOf(const Folder& folder)
{
    return nativePathUp(folder);
}

QString pathOf(const Folder& folder)
{
    return QFile::decodeName(nativePathOf(folder));
}

QString shownPath(const QByteArray& nativePath, bool cut)
{
    const QString path = QFile::decodeName(nativePath);
    return cut ? QStringLiteral("…/") + path : path;
}
