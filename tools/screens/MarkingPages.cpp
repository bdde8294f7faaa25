// Gallery pages of automatic marking: its three sheets over a results window.
#include "Gallery.h"

#include "controls/CustomWindowNag.h"
#include "core/Localization.h"
#include "core/TextFormat.h"
#include "marking/AutoMarkSheetWindows.h"
#include "marking/ResultsSummary.h"

#include <QLabel>
#include <QPainter>
#include <QProgressBar>

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

} // namespace
