#pragma once

// What the road tests share: the files under a folder and in the trash, the
// screenshots of scripts/road, and the windows and buttons a user finds.

#include "app/AppComposition.h"
#include "app/AppDelegate.h"
#include "controls/CustomWindowNag.h"
#include "controls/MyCollectionView.h"
#include "core/Localization.h"
#include "results/ResultViewController.h"
#include "results/ResultsGridProxy.h"
#include "results/ThumbnailProvider.h"
#include "support/TitledButton.h"
#include "support/WaitUntil.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QImage>
#include <QMainWindow>
#include <QPixmap>
#include <QScreen>
#include <QSettings>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

// Whether every item the grid shows has its picture, or its type's icon.
inline bool everyItemInViewHasItsPicture(ResultViewController& results)
{
    MyCollectionView* grid = results.collDuplicates();
    for (const IndexPath& path : grid->indexPathsForVisibleItems()) {
        const FileInfoNodePtr file = results.gridModel().fileOf(results.gridModel().indexOfItem(path.section, path.item));
        const std::optional<QImage> picture = file ? results.thumbnails().cached(*file) : std::nullopt;
        if (!picture || picture->isNull())
            return false;
    }
    return true;
}

// Path and bytes, in types the test failures print readably.
using Files = std::map<std::string, std::string>;

inline QByteArray picture(QColor color)
{
    QImage image(96, 64, QImage::Format_RGB32);
    image.fill(color);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

inline Files filesUnder(const QString& root)
{
    Files files;
    QDirIterator it(root, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        files[path.toStdString()] = file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "<unreadable>";
    }
    return files;
}

// What the trash holds: the original path of each entry and its bytes.
inline Files trashedFiles(const QString& trash)
{
    Files files;
    for (const QFileInfo& info : QDir(trash + QStringLiteral("/info")).entryInfoList({ "*.trashinfo" })) {
        QSettings entry(info.filePath(), QSettings::IniFormat);
        const QString original
            = QUrl::fromPercentEncoding(entry.value(QStringLiteral("Trash Info/Path")).toString().toUtf8());
        QFile file(trash + QStringLiteral("/files/") + info.completeBaseName());
        files[original.toStdString()] = file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "<missing>";
    }
    return files;
}

// The files left and the trash's entries once the files of toRemove were
// trashed from before.
struct AfterRemoval {
    Files left;
    Files trashed;
};
template <typename Paths> AfterRemoval expectedAfterRemoval(const Files& before, const Paths& toRemove)
{
    AfterRemoval after { before, {} };
    for (const QString& path : toRemove) {
        after.trashed[path.toStdString()] = before.at(path.toStdString());
        after.left.erase(path.toStdString());
    }
    return after;
}

// Launches the program as main() builds it: its main window once shown, null
// when it never is.
inline QMainWindow* launchShown(AppComposition& program)
{
    program.launch();
    QMainWindow* window = program.delegate().window();
    return QTest::qWaitForWindowExposed(window) ? window : nullptr;
}

// The whole screen where the main window is, sheets and dialogs included.
inline void shot(QWidget* window, const QString& name)
{
    const QString folder = qEnvironmentVariable("VELLICOR_ROAD_SHOTS");
    if (folder.isEmpty())
        return;
    QCoreApplication::processEvents();
    QDir().mkpath(folder);
    const QRect frame = window->frameGeometry();
    QPixmap pixels = window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (pixels.isNull())
        pixels = window->grab();
    EXPECT_TRUE(pixels.save(folder + QLatin1Char('/') + name + QStringLiteral(".png"))) << name.toStdString();
}

template <typename T> T* visible()
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (auto* shown = qobject_cast<T*>(top); shown && shown->isVisible())
            return shown;
    }
    return nullptr;
}

inline bool sheetOpen()
{
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->isVisible() && qobject_cast<CustomWindowNag*>(top))
            return true;
    }
    return false;
}
