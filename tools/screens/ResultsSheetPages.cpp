// Gallery pages of what the results screen opens over itself: the options
// pop-up with its marking menus, the view-mode menu, the context menu of a
// file, the views left when no group is, and the alerts of marking and
// removal.
#include "Gallery.h"

#include "app/WindowAlertPresenter.h"
#include "base/AlertPresenter.h"
#include "base/UserDefaults.h"
#include "cleanup/AfterClean.h"
#include "cleanup/AfterCleanSheets.h"
#include "cleanup/CleanupController.h"
#include "cleanup/TrashSheets.h"
#include "controls/CustomTableView.h"
#include "controls/CustomWindowNag.h"
#include "core/AppStartup.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"
#include "core/TextFormat.h"
#include "marking/AutoMarkSheetWindows.h"
#include "marking/ResultsState.h"
#include "marking/ResultsSummary.h"
#include "platform/FileRemover.h"
#include "results/MarkMenu.h"
#include "results/ResultContextMenu.h"
#include "results/ResultViewController.h"
#include "results/ResultsListProxy.h"
#include "results/ResultsModel.h"
#include "scan/ScanSources.h"

#include <QAbstractButton>
#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QTemporaryDir>

namespace {

class NoDelay : public DelayedCalls {
public:
    void after(std::chrono::milliseconds, QObject*, std::function<void()>) override { }
};

// Keeps every alert asked for and answers its first button (No, OK).
class RecordingAlerts : public AlertPresenter {
public:
    int present(const AlertRequest& request) override
    {
        requests.push_back(request);
        return 0;
    }
    std::vector<AlertRequest> requests;
};

// The results screen over a few groups of this computer, with its settings in
// a folder of its own; files under /home/ana/Originals are protected.
struct SampleScreen {
    QTemporaryDir folder;
    std::unique_ptr<UserDefaults> defaults;
    std::shared_ptr<ScanSources> protectedFolders;
    std::unique_ptr<ResultViewController> screen;
    std::vector<DuplicateGroupPtr> groups;

    SampleScreen()
    {
        pointXdgFoldersInto(folder.path());
        defaults = std::make_unique<UserDefaults>(folder.path() + QStringLiteral("/settings"));
        startApplicationCore(*defaults);
        defaults->setValue(QString::fromLatin1(SettingsKey::protectedFolders),
            QVariantList { makeFolderEntry(QStringLiteral("/home/ana/Originals")) });
        protectedFolders = std::make_shared<ScanSources>(*defaults);

        screen = std::make_unique<ResultViewController>(
            *defaults, protectedFolders, std::make_shared<FaultyFileRemover>());
        screen->setDelayedCalls(std::make_shared<NoDelay>());
        screen->setAttribute(Qt::WA_DontShowOnScreen);
        screen->viewDidLoad();
        screen->show();

        using C = GlobalObjects::FileCategory;
        const std::pair<QStringList, C> samples[] = {
            { { "/home/ana/Pictures/2024/IMG_4101.jpg", "/home/ana/Pictures/Import/IMG_4101.jpg" }, C::Pic },
            { { "/home/ana/Originals/IMG_2207.jpg", "/home/ana/Desktop/IMG_2207.jpg" }, C::Pic },
            { { "/home/ana/Originals/scan-01.pdf", "/home/ana/Originals/Old/scan-01.pdf" }, C::Doc },
            { { "/home/ana/Music/01 Opening.flac", "/home/ana/Downloads/01 Opening.flac" }, C::Music },
        };
        int day = 1;
        for (const auto& [paths, category] : samples) {
            auto group = std::make_shared<DuplicateGroup>();
            for (const QString& path : paths) {
                auto file = std::make_shared<FileInfoNode>();
                file->filePath = path;
                file->fileName = path.section(QLatin1Char('/'), -1);
                file->folderPath = path.section(QLatin1Char('/'), 0, -2);
                file->fileExtension = file->fileName->section(QLatin1Char('.'), -1);
                file->fileSize = 2'400'000;
                file->fileCategory = category;
                file->createDate = QDateTime(QDate(2024, 5, day), QTime(9, 12));
                file->modDate = QDateTime(QDate(2024, 6, day++), QTime(17, 3));
                addFileToGroup(group, file);
            }
            groups.push_back(group);
        }
        screen->loadScanResults(groups, qint64(groups.size()), ScanSource::thisComputer);
        // The toolbar as it is once the view has settled.
        screen->setResultToolbarEnabled(true);
    }

    QAction* item(const char* outlet) const { return screen->findChild<QAction*>(QString::fromLatin1(outlet)); }
    QPoint below(const char* button) const
    {
        auto* widget = screen->findChild<QAbstractButton*>(QString::fromLatin1(button));
        return widget->mapTo(screen.get(), QPoint(0, widget->height() + 2));
    }
};

// The screen with menu open at `at` and, one after the other, the sub-menus
// of the items in `chain`, each beside the item that opens it.
QImage withMenus(QWidget& screen, QMenu* menu, QPoint at, const std::vector<QAction*>& chain = {})
{
    QCoreApplication::processEvents();
    QImage image = renderWidget(screen);
    QPainter painter(&image);
    int parentLeft = at.x();
    bool leftwards = false;
    for (std::size_t i = 0; menu; ++i) {
        menu->ensurePolished();
        menu->resize(menu->sizeHint());
        // Like the system, a menu that would leave the screen on the right
        // opens to the left of the one it came from, and so do those after it.
        if (i > 0 && (leftwards || at.x() + menu->width() > screen.width())) {
            leftwards = true;
            at.setX(parentLeft - menu->width() + 4);
        } else if (at.x() + menu->width() > screen.width()) {
            at.setX(screen.width() - menu->width());
        }
        QAction* open = i < chain.size() ? chain[i] : nullptr;
        if (open)
            menu->setActiveAction(open);
        painter.drawImage(at, renderWidget(*menu));
        if (!open || !open->menu())
            break;
        parentLeft = at.x();
        at += QPoint(menu->width() - 4, menu->actionGeometry(open).top() - 4);
        menu = open->menu();
    }
    return image;
}

QMenu* optionsMenu(const SampleScreen& sample)
{
    return qobject_cast<QMenu*>(sample.item("menuAutoMark")->associatedObjects().value(0));
}

const GalleryRegistration autoMarkMenuPage("results-menu-auto-mark", [] {
    SampleScreen sample;
    return withMenus(*sample.screen, optionsMenu(sample), sample.below("btnOptions"), { sample.item("menuAutoMark") });
});

const GalleryRegistration markMenuPage("results-menu-mark", [] {
    SampleScreen sample;
    return withMenus(*sample.screen, optionsMenu(sample), sample.below("btnOptions"),
        { sample.item("menuMark"), sample.item("submenuMarkbyLength") });
});

const GalleryRegistration markByDateMenuPage("results-menu-mark-by-date", [] {
    SampleScreen sample;
    return withMenus(*sample.screen, optionsMenu(sample), sample.below("btnOptions"),
        { sample.item("menuMark"), sample.item("submenuMarkbyCreated") });
});

const GalleryRegistration viewModeMenuPage("results-menu-view-mode", [] {
    SampleScreen sample;
    auto* button = sample.screen->findChild<QAbstractButton*>(QStringLiteral("btnGroupView"));
    QMenu* viewModes = nullptr;
    for (QMenu* menu : sample.screen->findChildren<QMenu*>(Qt::FindDirectChildrenOnly)) {
        if (menu->actions().size() == 3 && !menu->actions().front()->menu())
            viewModes = menu;
    }
    return withMenus(*sample.screen, viewModes, button->mapTo(sample.screen.get(), QPoint(0, button->height() + 2)));
});

const GalleryRegistration contextMenuPage("results-menu-context", [] {
    SampleScreen sample;
    CustomTableView* table = sample.screen->tblDuplicates();
    const QModelIndex row = sample.screen->listModel().index(3, 1);
    table->setCurrentIndex(row);
    sample.screen->contextMenu().validateMenuItems(sample.groups[1]->children[1]);
    const QRect cell = table->visualRect(row);
    return withMenus(*sample.screen, sample.screen->contextMenu().menu(),
        table->viewport()->mapTo(sample.screen.get(), cell.center()));
});

const GalleryRegistration nothingLeftPage("results-nothing-left", [] {
    SampleScreen sample;
    for (const DuplicateGroupPtr& group : sample.groups) {
        sample.screen->contextMenu().validateMenuItems(group->children[0]);
        sample.screen->contextMenu().removeFromPhotoList();
    }
    QCoreApplication::processEvents();
    return renderWidget(*sample.screen);
});

const GalleryRegistration allRemovedPage("results-all-removed", [] {
    SampleScreen sample;
    // What the clean-up reports when its run has left no group.
    emit sample.screen->cleanup().resultAreaChanged(ResultArea::allRemoved, {});
    QCoreApplication::processEvents();
    return renderWidget(*sample.screen);
});

// The alerts the screen's marking and removal raise, each caught from the
// road that raises it and drawn as the program shows it.
const GalleryRegistration alertsPage("results-alerts", [] {
    SampleScreen sample;
    auto recorded = std::make_shared<RecordingAlerts>();
    setAlertPresenter(recorded);
    const std::pair<QString, std::function<void()>> roads[] = {
        { QStringLiteral("Delete Marked with nothing marked"),
            [&] { sample.screen->cleanup().removeSelectedItems(); } },
        { QStringLiteral("marking a protected file by hand"),
            [&] { sample.screen->fileCheckBoxTapped(sample.groups[1]->children[0]); } },
        { QStringLiteral("a mark-by command where every file is protected"),
            [&] {
                sample.screen->state().selectCategory(GlobalObjects::FileCategory::Doc);
                sample.screen->markByCommand(MarkByCommand::size, 0);
                sample.screen->state().btnShowAllItems();
            } },
        { QStringLiteral("marking a group's last unmarked file"),
            [&] {
                sample.screen->fileCheckBoxTapped(sample.groups[0]->children[0]);
                sample.screen->fileCheckBoxTapped(sample.groups[0]->children[1]);
            } },
    };
    GallerySheet sheet(QStringLiteral("Alerts of the results screen"));
    QLabel holder;
    WindowAlertPresenter presenter(sample.screen.get());
    for (const auto& [caption, road] : roads) {
        recorded->requests.clear();
        road();
        for (const AlertRequest& request : recorded->requests) {
            presenter.presentThen(request, {});
            const QImage image = takeAlertBox(*sample.screen);
            if (image.isNull())
                continue;
            holder.setPixmap(QPixmap::fromImage(image));
            holder.resize(image.deviceIndependentSize().toSize());
            sheet.addSample(caption, holder);
        }
    }
    setAlertPresenter(nullptr);
    return sheet.image();
});

// The results screen's sheets as the screen lays them out for a language; the
// texts stay those of the shipped table.
QImage sheetInLanguage(const QString& language, const std::function<QImage(SampleScreen&)>& draw)
{
    const KeptLanguage kept;
    currentLanguageCode = language;
    SampleScreen sample;
    return draw(sample);
}

QImage trashConfirmationIn(const QString& language)
{
    return sheetInLanguage(language, [](SampleScreen& sample) {
        TrashSheets& sheets = sample.screen->trashSheets();
        sheets.showTrashConfirmation(trashQuestion(ScanSource::thisComputer, 3, 0, true), {});
        sheets.windowTrashConfirmation()->hide();
        return renderWidget(*sheets.windowTrashConfirmation());
    });
}

QImage undoConfirmationIn(const QString& language)
{
    return sheetInLanguage(language, [](SampleScreen& sample) {
        AfterCleanSheets& sheets = sample.screen->afterCleanSheets();
        sheets.showUndoConfirmation(formatText(localizedText(QStringLiteral("ID_ACTION_TO_UNDO")), { 14 }), {});
        sheets.windowUndoConfirmation()->hide();
        return renderWidget(*sheets.windowUndoConfirmation());
    });
}

QImage afterCleanIn(const QString& language)
{
    return sheetInLanguage(language, [](SampleScreen& sample) {
        RemovalReport report;
        report.plannedCount = 14;
        report.countTrashed = 14;
        report.sizeTrashed = 14 * 2'437'120;
        report.uniquePhotosReatined = 12;
        AfterCleanSheets& sheets = sample.screen->afterCleanSheets();
        sheets.showAfterCleanWindow(afterCleanFigures(report, ScanSource::thisComputer), {});
        sheets.windowAfterClean()->hide();
        return renderWidget(*sheets.windowAfterClean());
    });
}

QImage scanCompleteIn(const QString& language)
{
    return sheetInLanguage(language, [](SampleScreen& sample) {
        AutoMarkSheetWindows& sheets = sample.screen->autoMarkSheets();
        sheets.setScanSummary(summarizeDuplicates(sample.groups));
        sheets.layOutSheet(sheets.windowScanComplete, sheets.boxWindowScanComplete);
        return renderWidget(*sheets.boxWindowScanComplete);
    });
}

QImage autoMarkConfirmationIn(const QString& language)
{
    return sheetInLanguage(language, [](SampleScreen& sample) {
        AutoMarkSheetWindows& sheets = sample.screen->autoMarkSheets();
        sheets.layOutSheet(sheets.windowAutoMark, sheets.boxAutoMark);
        return renderWidget(*sheets.boxAutoMark);
    });
}

const GalleryRegistration trashConfirmationGerman(
    "results-sheet-trash-confirmation-de", [] { return trashConfirmationIn(QStringLiteral("de")); });
const GalleryRegistration undoConfirmationGerman(
    "results-sheet-undo-confirmation-de", [] { return undoConfirmationIn(QStringLiteral("de")); });
const GalleryRegistration afterCleanGerman(
    "results-sheet-after-clean-de", [] { return afterCleanIn(QStringLiteral("de")); });
const GalleryRegistration scanCompleteGerman(
    "results-sheet-scan-complete-de", [] { return scanCompleteIn(QStringLiteral("de")); });
const GalleryRegistration autoMarkConfirmationGerman(
    "results-sheet-automark-confirmation-de", [] { return autoMarkConfirmationIn(QStringLiteral("de")); });
const GalleryRegistration trashConfirmationEnglish(
    "results-sheet-trash-confirmation", [] { return trashConfirmationIn(QStringLiteral("en")); });
const GalleryRegistration undoConfirmationEnglish(
    "results-sheet-undo-confirmation", [] { return undoConfirmationIn(QStringLiteral("en")); });
const GalleryRegistration scanCompleteEnglish(
    "results-sheet-scan-complete", [] { return scanCompleteIn(QStringLiteral("en")); });

} // namespace
