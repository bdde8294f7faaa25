// Gallery pages of the results screen: the list view and the group view over
// sample groups with a few marks.
#include "Gallery.h"
#include "HeldCalls.h"

#include "base/UserDefaults.h"
#include "cleanup/CleanupController.h"
#include "controls/CustomOutlineView.h"
#include "controls/CustomTableView.h"
#include "controls/MyCollectionView.h"
#include "core/AppStartup.h"
#include "platform/FileRemover.h"
#include "results/ResultViewController.h"
#include "results/ResultsGridProxy.h"
#include "results/ResultsListProxy.h"
#include "results/ResultsModel.h"
#include "results/ThumbnailProvider.h"
#include "scan/ScanSources.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLinearGradient>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>

namespace {

// Runs delayed work at once, so the page shows the settled screen.
FileInfoNodePtr sampleFile(const QString& path, quint64 size, GlobalObjects::FileCategory category, int day)
{
    auto file = std::make_shared<FileInfoNode>();
    file->filePath = path;
    file->fileName = path.section(QLatin1Char('/'), -1);
    file->fileExtension = file->fileName->section(QLatin1Char('.'), -1);
    file->fileSize = size;
    file->fileCategory = category;
    file->createDate = QDateTime(QDate(2024, 5, day), QTime(9, 12, 40));
    file->modDate = QDateTime(QDate(2024, 6, day), QTime(17, 3, 5));
    return file;
}

std::vector<DuplicateGroupPtr> sampleGroups()
{
    using C = GlobalObjects::FileCategory;
    struct Sample {
        QStringList paths;
        quint64 size;
        C category;
    };
    const Sample samples[] = {
        { { "/home/ana/Videos/wedding-full.mp4", "/media/backup/Videos/wedding-full.mp4" }, 1'480'000'000, C::Video },
        { { "/home/ana/Pictures/2024/trip/IMG_4101.jpg", "/home/ana/Pictures/Import/IMG_4101.jpg",
              "/media/backup/Photos/IMG_4101.jpg" },
            4'200'000, C::Pic },
        { { "/home/ana/Music/Album/01 Opening.flac", "/home/ana/Downloads/01 Opening.flac" }, 31'000'000, C::Music },
        { { "/home/ana/Documents/Contracts/lease.pdf", "/home/ana/Downloads/lease.pdf" }, 820'000, C::Doc },
        { { "/home/ana/Downloads/site-backup.tar.gz", "/media/backup/site-backup.tar.gz" }, 96'000'000, C::Archive },
        { { "/home/ana/Pictures/2024/trip/IMG_4102.jpg", "/home/ana/Pictures/Import/IMG_4102.jpg" }, 3'900'000,
            C::Pic },
        { { "/home/ana/Documents/notes.txt", "/home/ana/Desktop/notes.txt", "/media/backup/notes.txt" }, 12'000,
            C::Doc },
        { { "/home/ana/Pictures/2024/trip/IMG_4107.jpg", "/home/ana/Pictures/Import/IMG_4107.jpg" }, 3'700'000,
            C::Pic },
        // Long names: the copies still read apart.
        { { "/home/ana/Pictures/Photos 2019/Panorama of the harbour at dusk from the old lighthouse.jpg",
              "/home/ana/Pictures/Keep Forever/Panorama of the harbour at dusk from the old lighthouse.jpg" },
            5'800'000, C::Pic },
        { { "/home/ana/DCIM Camera folder 100/IMG_20240528_104858_HDR_portrait_edited.jpg",
              "/media/backup/DCIM Camera folder 100/IMG_20240528_104858_HDR_portrait_edited.jpg" },
            3'100'000, C::Pic },
    };
    std::vector<DuplicateGroupPtr> groups;
    int day = 1;
    for (const Sample& sample : samples) {
        auto group = std::make_shared<DuplicateGroup>();
        for (const QString& path : sample.paths)
            addFileToGroup(group, sampleFile(path, sample.size, sample.category, day++));
        groups.push_back(group);
    }
    return groups;
}

struct StartedResults {
    // The next page starts from the language this one found.
    KeptLanguage keptLanguage;
    QTemporaryDir folder;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<ResultViewController> screen;
    std::shared_ptr<HeldCalls> calls = std::make_shared<HeldCalls>();
    std::vector<DuplicateGroupPtr> groups = sampleGroups();

    // language: the layout's language; the texts stay those of the shipped table.
    explicit StartedResults(const QString& language = {})
    {
        pointXdgFoldersInto(folder.path());
        defaults = std::make_unique<UserDefaults>(folder.path() + QStringLiteral("/settings"));
        startApplicationCore(*defaults);
        if (!language.isEmpty())
            currentLanguageCode = language;
        screen = std::make_unique<ResultViewController>(
            *defaults, std::make_shared<ScanSources>(*defaults), std::make_shared<FaultyFileRemover>());
        screen->setDelayedCalls(calls);
        screen->setAttribute(Qt::WA_DontShowOnScreen);
        screen->viewDidLoad();
        screen->show();
        qint64 dupCount = 0;
        for (const auto& group : groups)
            dupCount += qint64(group->children.size()) - 1;
        screen->loadScanResults(groups, dupCount, ScanSource::thisComputer);
        // Leave the scan-complete sheet out; only the re-enabled toolbar matters.
        calls->pending.pop_back();
        calls->runAll();
        screen->fileCheckBoxTapped(groups[0]->children[1]);
        screen->fileCheckBoxTapped(groups[1]->children[1]);
        screen->fileCheckBoxTapped(groups[1]->children[2]);
        screen->fileCheckBoxTapped(groups[3]->children[1]);
    }

    QImage render()
    {
        calls->runAll();
        QCoreApplication::processEvents();
        return renderWidget(*screen);
    }
};

const GalleryRegistration listPage("results-list", [] {
    StartedResults started;
    started.screen->tblDuplicates()->setCurrentIndex(started.screen->listModel().index(2, 1));
    return started.render();
});

// The photo catalog's results: the space the duplicates take stays on disk,
// and no undo is offered.
const GalleryRegistration catalogListPage("results-list-catalog", [] {
    StartedResults started;
    started.screen->loadScanResults(started.groups, 9, ScanSource::lightroomCatalog);
    started.calls->pending.pop_back();
    return started.render();
});

// An undo putting files back: its busy indicator beside the Undo button.
const GalleryRegistration undoRunningPage("results-undo-running", [] {
    StartedResults started;
    emit started.screen->cleanup().undoRunningChanged(true);
    return started.render();
});

const GalleryRegistration germanListPage("results-list-de", [] {
    StartedResults started(QStringLiteral("de"));
    return started.render();
});

// The screen in a window grown to 1400 x 870: the lists take the room.
const GalleryRegistration grownListPage("results-list-grown", [] {
    StartedResults started;
    started.screen->resize(1400, 870 - 22);
    return started.render();
});

const GalleryRegistration grownGroupPage("results-group-grown", [] {
    StartedResults started;
    started.screen->resize(1400, 870 - 22);
    started.screen->btnChangeResultView(ResultViewController::ViewMode::group);
    started.screen->outlineDuplicates()->expand(started.screen->model().index(1, 0));
    return started.render();
});

// The screen laid out for a small screen, at the window's small content size.
QImage smallScreenPage(const QString& language, ResultViewController::ViewMode mode)
{
    // The layout holds while the screen lives, as in the program on a small
    // screen: the views lay their rows out by it at every resize.
    const bool wasSmall = std::exchange(isSmallScreenLayout, true);
    StartedResults started(language);
    started.screen->btnChangeResultView(mode);
    if (mode == ResultViewController::ViewMode::group) {
        started.screen->outlineDuplicates()->expand(started.screen->model().index(1, 0));
        started.screen->outlineDuplicates()->expand(started.screen->model().index(3, 0));
    }
    const QImage image = started.render();
    isSmallScreenLayout = wasSmall;
    return image;
}

using Mode = ResultViewController::ViewMode;
const GalleryRegistration smallPage("results-small", [] { return smallScreenPage(QString(), Mode::list); });
const GalleryRegistration germanSmallPage(
    "results-small-de", [] { return smallScreenPage(QStringLiteral("de"), Mode::list); });
const GalleryRegistration smallGroupPage("results-small-group", [] { return smallScreenPage(QString(), Mode::group); });

const GalleryRegistration groupPage("results-group", [] {
    StartedResults started;
    started.screen->btnChangeResultView(ResultViewController::ViewMode::group);
    ResultsModel& model = started.screen->model();
    started.screen->outlineDuplicates()->expand(model.index(1, 0));
    started.screen->outlineDuplicates()->expand(model.index(3, 0));
    started.screen->outlineDuplicates()->setCurrentIndex(model.index(2, 0, model.index(1, 0)));
    return started.render();
});

// Pictures of the grid page: drawn here, each group's copies of one picture.
std::vector<DuplicateGroupPtr> pictureGroups(const QString& folder)
{
    const QColor skies[] = { QColor(70, 130, 200), QColor(230, 140, 70), QColor(90, 60, 140), QColor(40, 150, 120) };
    std::vector<DuplicateGroupPtr> groups;
    for (int g = 0; g < 4; ++g) {
        QImage picture(g == 2 ? 600 : 900, g == 2 ? 800 : 600, QImage::Format_RGB32);
        QPainter painter(&picture);
        QLinearGradient sky(0, 0, 0, picture.height());
        sky.setColorAt(0, skies[g].lighter(150));
        sky.setColorAt(1, skies[g].darker(160));
        painter.fillRect(picture.rect(), sky);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(250, 230, 120));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QPointF(picture.width() * 0.7, picture.height() * 0.3), 70, 70);
        painter.setBrush(QColor(30, 60, 40));
        painter.drawPolygon(QPolygonF({ QPointF(0, picture.height()),
            QPointF(picture.width() * 0.35, picture.height() * 0.45), QPointF(picture.width(), picture.height()) }));
        painter.end();
        auto group = std::make_shared<DuplicateGroup>();
        for (int copy = 0; copy < (g == 1 ? 3 : 2); ++copy) {
            const QString path = QStringLiteral("%1/%2/IMG_%3.jpg").arg(folder).arg(copy).arg(4200 + g);
            QDir().mkpath(QFileInfo(path).path());
            picture.save(path);
            addFileToGroup(
                group, sampleFile(path, quint64(QFileInfo(path).size()), GlobalObjects::FileCategory::Pic, 3 + g));
        }
        groups.push_back(group);
    }
    return groups;
}

// A click as the mouse gives it: press and release at pos.
void clickAt(QWidget& widget, QPoint pos, Qt::MouseButton button)
{
    for (QEvent::Type type : { QEvent::MouseButtonPress, QEvent::MouseButtonRelease }) {
        QMouseEvent event(type, pos, widget.mapToGlobal(pos), button,
            type == QEvent::MouseButtonPress ? button : Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&widget, &event);
    }
}

// The list under its header: sorted by size with a click on that column, the
// select-all box in the check column showing the sample's mixed marks.
QImage listHeaderPage(const QString& language)
{
    StartedResults started(language);
    QHeaderView* header = started.screen->tblDuplicates()->horizontalHeader();
    clickAt(*header->viewport(),
        QPoint(header->sectionViewportPosition(ResultsModel::sizeColumn) + 20, header->height() / 2), Qt::LeftButton);
    started.render();
    return renderWidget(*started.screen->tblDuplicates());
}

const GalleryRegistration listHeaderPageEnglish("results-list-header", [] { return listHeaderPage(QString()); });
const GalleryRegistration listHeaderPageGerman(
    "results-list-header-de", [] { return listHeaderPage(QStringLiteral("de")); });

// The grid over the sample pictures, scrolled to the three-copy group.
struct StartedGrid {
    StartedResults started;
    std::vector<DuplicateGroupPtr> groups;
    int section = 0;

    explicit StartedGrid(const QString& language = {})
        : started(language)
        , groups(pictureGroups(started.folder.path() + QStringLiteral("/pictures")))
    {
        groups.push_back(started.groups[2]);
        groups.push_back(started.groups[3]);
        started.screen->loadScanResults(groups, 7, ScanSource::thisComputer);
        started.calls->pending.pop_back();
        started.screen->btnChangeResultView(ResultViewController::ViewMode::grid);
        started.calls->runAll();
        started.screen->fileCheckBoxTapped(groups[0]->children[1]);
        started.screen->fileCheckBoxTapped(groups[1]->children[2]);
        // The shown order is the screen's sort; start the page at the pictures.
        ResultsGridProxy& grid = started.screen->gridModel();
        while (section + 1 < grid.rowCount() && grid.groupOf(grid.index(section, 0)) != groups[1])
            ++section;
        started.screen->collDuplicates()->verticalScrollBar()->setValue(
            started.screen->collDuplicates()->headerFrame(section).top());
    }

    QImage render()
    {
        started.screen->changeCellViewControllerInCollectionView();
        started.screen->thumbnails().waitForDone();
        return started.render();
    }
};

// The grid with the file menu opened by a right click on a picture; the menu
// is drawn where it opened.
QImage gridMenuPage(const QString& language)
{
    StartedGrid shown(language);
    MyCollectionView* grid = shown.started.screen->collDuplicates();
    const QPoint click = grid->itemFrame({ shown.section, 1 }).center() - QPoint(0, grid->verticalScrollBar()->value());
    clickAt(*grid->viewport(), click, Qt::RightButton);
    QImage image = shown.render();
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    if (!menu)
        return image;
    const QImage opened = renderWidget(*menu);
    QPainter painter(&image);
    painter.drawImage(grid->viewport()->mapTo(shown.started.screen.get(), click), opened);
    painter.end();
    menu->close();
    return image;
}

const GalleryRegistration gridMenuPageEnglish("results-grid-menu", [] { return gridMenuPage(QString()); });
const GalleryRegistration gridMenuPageGerman("results-grid-menu-de", [] { return gridMenuPage(QStringLiteral("de")); });

// The grid with pictures cut short: the copies of the three-copy group cut
// after two fifths of their bytes (drawn so far, the rest grey) and after a
// twentieth (their type's icon).
const GalleryRegistration gridCutShortPage("results-grid-cut-short", [] {
    StartedGrid shown;
    // The pictures the grid started on are made again from the cut files.
    shown.started.screen->thumbnails().waitForDone();
    const std::vector<FileInfoNodePtr>& copies = shown.groups[1]->children;
    for (const auto& [copy, share] : { std::pair { 1, 0.4 }, std::pair { 2, 0.05 } }) {
        QFile file(*copies[size_t(copy)]->filePath);
        file.resize(qint64(double(file.size()) * share));
    }
    shown.started.screen->thumbnails().clear();
    return shown.render();
});

const GalleryRegistration gridPage("results-grid", [] {
    StartedGrid shown;
    // One copy locked: the lock stands in place of its box.
    shown.groups[1]->children[1]->isLocked = true;
    shown.started.screen->collDuplicates()->selectItem({ shown.section, 0 });
    shown.started.screen->collDuplicates()->verticalScrollBar()->setValue(
        shown.started.screen->collDuplicates()->headerFrame(shown.section).top());
    return shown.render();
});

} // namespace
