// Gallery pages of automatic marking: its three sheets over a results window,
// and the selection assistant with each of its tabs.
#include "Gallery.h"

#include "base/UserDefaults.h"
#include "controls/CustomWindowNag.h"
#include "controls/RAZButton.h"
#include "core/Localization.h"
#include "core/SettingsSchema.h"
#include "core/TextFormat.h"
#include "marking/AutoMarkSheetWindows.h"
#include "marking/AutoMarking.h"
#include "marking/ResultsState.h"
#include "marking/ResultsSummary.h"
#include "marking/SelectAssistanceController.h"
#include "scan/ScanSources.h"

#include <QCheckBox>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QTableWidget>
#include <QTemporaryDir>

namespace {

// A results window with a few rows under the sheet, so the veil shows.
struct ResultsBackdrop {
    QWidget window;
    AutoMarkSheetWindows sheets { &window };

    ResultsBackdrop()
    {
        window.resize(1082, 700);
        window.setAutoFillBackground(true);
        QPalette palette = window.palette();
        palette.setColor(QPalette::Window, darkScreenColor);
        palette.setColor(QPalette::WindowText, QColor(200, 200, 204));
        window.setPalette(palette);
        for (int row = 0; row < 14; ++row) {
            auto* label = new QLabel(
                QStringLiteral("/home/ana/Pictures/2024/trip/IMG_%1.jpg    2.4 MB").arg(4100 + row), &window);
            label->setGeometry(40, 80 + row * 34, 600, 24);
        }
    }

    QImage render(CustomWindowNag* sheet, QWidget* box)
    {
        sheets.layOutSheet(sheet, box);
        QImage image = renderWidget(window);
        QPainter painter(&image);
        painter.drawImage(QPoint(0, 0), renderWidget(*sheet));
        return image;
    }
};

const GalleryRegistration confirmation("marking-automark-confirmation", [] {
    ResultsBackdrop backdrop;
    return backdrop.render(backdrop.sheets.windowAutoMark, backdrop.sheets.boxAutoMark);
});

const GalleryRegistration progress("marking-automark-progress", [] {
    ResultsBackdrop backdrop;
    backdrop.sheets.progressBarAutoMarking->setRange(0, 120);
    backdrop.sheets.setProgress(formatText(localizedText(QStringLiteral("ID_COUNT_PHOTOS_AUTOMARKED")), { 47 }), 47);
    return backdrop.render(backdrop.sheets.windowAutomarking, backdrop.sheets.boxAutoMarking);
});

const GalleryRegistration scanComplete("marking-scan-complete", [] {
    ResultsBackdrop backdrop;
    auto file = [](quint64 size) {
        auto node = std::make_shared<FileInfoNode>();
        node->fileSize = size;
        return node;
    };
    std::vector<DuplicateGroupPtr> groups;
    for (int i = 0; i < 12; ++i) {
        groups.push_back(std::make_shared<DuplicateGroup>());
        for (int copy = 0; copy < 3; ++copy)
            addFileToGroup(groups.back(), file(2400000));
    }
    backdrop.sheets.setScanSummary(summarizeDuplicates(groups));
    return backdrop.render(backdrop.sheets.windowScanComplete, backdrop.sheets.boxWindowScanComplete);
});

// The assistant over a results window, with sample rules (one switched off),
// priority lists as a scan of holiday photos would fill them, and two
// protected folders. Each tab shows the row the assistant itself selects.
// language: the layout's language; the texts stay those of the shipped table.
QImage renderAssistant(SelectAssistanceController::Tab tab, const QString& language = QStringLiteral("en"))
{
    const KeptLanguage kept;
    currentLanguageCode = language;
    ResultsBackdrop backdrop;
    QTemporaryDir folder;
    UserDefaults defaults(folder.path());
    defaults.setValue(QString::fromLatin1(SettingsKey::protectedFolders),
        QVariantList { makeFolderEntry(QStringLiteral("/home/ana/Pictures/Originals")),
            makeFolderEntry(QStringLiteral("/home/ana/Documents/Scans"), 1, 0) });
    QVariantList rules = defaultAutoMarkingRules();
    QVariantMap created = rules[1].toMap();
    created.insert(QStringLiteral("state"), 0);
    rules[1] = created;
    defaults.setValue(QString::fromLatin1(SettingsKey::autoMarkingRules), rules);
    auto store = std::make_shared<ScanSources>(defaults);

    ResultsState state(store);
    state.fileFormatPriorityList = { QStringLiteral("jpg"), QStringLiteral("heic"), QStringLiteral("png"),
        QStringLiteral("raw"), QStringLiteral("mov") };
    state.folderPriorityList
        = { QStringLiteral("/home/ana/pictures/2024/trip"), QStringLiteral("/home/ana/pictures/phone backup"),
              QStringLiteral("/home/ana/downloads"), QStringLiteral("/media/ana/usb/dcim/100canon") };
    AutoMarking marking(state, defaults, backdrop.sheets);
    selectedScanSource() = ScanSource::thisComputer;
    SelectAssistanceController assistant(state, *store, defaults, marking, &backdrop.window);
    assistant.openSheet();
    assistant.btnIncludeSubFolder->setChecked(true);
    assistant.segmentClicked(tab);
    if (tab == SelectAssistanceController::Tab::protectedFolders) {
        assistant.lblBrowsedPath->setText(QStringLiteral("/home/ana/Pictures/Family"));
        assistant.btnAddPath->setEnabled(true);
    }
    assistant.window->hide();
    QImage image = renderWidget(backdrop.window);
    QPainter painter(&image);
    painter.drawImage(QPoint(0, 0), renderWidget(*assistant.window));
    return image;
}

const GalleryRegistration assistantGeneral(
    "marking-selection-assistant", [] { return renderAssistant(SelectAssistanceController::Tab::general); });
const GalleryRegistration assistantProtected("marking-selection-assistant-protected",
    [] { return renderAssistant(SelectAssistanceController::Tab::protectedFolders); });
const GalleryRegistration assistantFormats("marking-selection-assistant-formats",
    [] { return renderAssistant(SelectAssistanceController::Tab::fileFormats); });
const GalleryRegistration assistantFolders(
    "marking-selection-assistant-folders", [] { return renderAssistant(SelectAssistanceController::Tab::folders); });
const GalleryRegistration assistantGeneralGerman("marking-selection-assistant-de",
    [] { return renderAssistant(SelectAssistanceController::Tab::general, QStringLiteral("de")); });
const GalleryRegistration assistantFormatsGerman("marking-selection-assistant-formats-de",
    [] { return renderAssistant(SelectAssistanceController::Tab::fileFormats, QStringLiteral("de")); });
const GalleryRegistration assistantFoldersGerman("marking-selection-assistant-folders-de",
    [] { return renderAssistant(SelectAssistanceController::Tab::folders, QStringLiteral("de")); });

} // namespace
