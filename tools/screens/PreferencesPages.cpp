// Gallery pages of the preferences window, one per pane, each under a plain
// title strip that carries the window's title.
#include "Gallery.h"

#include "base/UserDefaults.h"
#include "controls/ApplicationFont.h"
#include "core/AppStartup.h"
#include "core/SettingsSchema.h"
#include "preferences/AdvanceScanSettingVC.h"
#include "preferences/PreferencesPanes.h"
#include "preferences/PreferencesTabViewController.h"
#include "preferences/PreferencesWindowController.h"
#include "scan/ScanSources.h"

#include <QDialog>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

namespace {

// A preferences window over settings of its own, so that the reviewer's
// files stay untouched.
struct StartedPreferences {
    QTemporaryDir folder;
    std::unique_ptr<UserDefaults> defaults;
    std::unique_ptr<ScanSources> sources;
    std::unique_ptr<PreferencesWindowController> controller;

    StartedPreferences()
    {
        pointXdgFoldersInto(folder.path());
        defaults = std::make_unique<UserDefaults>(folder.path() + QStringLiteral("/settings"));
        startApplicationCore(*defaults);
        sources = std::make_unique<ScanSources>(*defaults);
        controller = makePreferencesWindowController(*defaults, *sources);
        controller->window()->setAttribute(Qt::WA_DontShowOnScreen);
    }
};

QImage windowImage(PreferencesWindowController& controller, const QString& pane)
{
    controller.showPreferencesWindow(pane);
    QWidget& window = *controller.window();
    window.ensurePolished();
    constexpr int titleHeight = 28;
    const QSize size(window.width(), window.height() + titleHeight);
    QImage image(size * galleryScale(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(galleryScale());
    image.fill(window.palette().color(QPalette::Window));
    QPainter painter(&image);
    painter.fillRect(QRect(0, 0, size.width(), titleHeight), QColor(222, 223, 226));
    painter.setPen(QColor(60, 60, 64));
    painter.setFont(systemFontOfSize(13, QFont::DemiBold));
    painter.drawText(QRect(0, 0, size.width(), titleHeight), Qt::AlignCenter, window.windowTitle());
    painter.end();
    window.render(&image, QPoint(0, titleHeight), QRegion(), QWidget::DrawWindowBackground | QWidget::DrawChildren);
    return image;
}

const GalleryRegistration general("prefs-general", [] {
    StartedPreferences started;
    return windowImage(*started.controller, QStringLiteral("general"));
});

const GalleryRegistration searchOptions("prefs-search-options", [] {
    StartedPreferences started;
    return windowImage(*started.controller, QStringLiteral("searchoptions"));
});

const GalleryRegistration advanced("prefs-advanced-scan-settings", [] {
    StartedPreferences started;
    return windowImage(*started.controller, QStringLiteral("advancescansetting"));
});

const GalleryRegistration history("prefs-scan-history", [] {
    StartedPreferences started;
    for (int i = 0; i < 3; ++i)
        appendScanHistoryRecord(4 + i, 1000000 * (i + 1), *started.defaults);
    return windowImage(*started.controller, QStringLiteral("scanhistory"));
});

// Years of daily scans, scrolled to the newest with the keys on it.
const GalleryRegistration longHistory("prefs-scan-history-long", [] {
    StartedPreferences started;
    QVariantList history;
    const QDateTime first(QDate(2009, 5, 4), QTime(9, 30), Qt::LocalTime);
    for (int i = 0; i < 60000; ++i)
        history.append(makeScanHistoryRecord(i % 700, 1000000ULL * quint64(i % 900), first.addSecs(i * 5400LL).toUTC()));
    started.defaults->setValue(QLatin1String(SettingsKey::lastScanStatus), history);
    started.controller->showPreferencesWindow(QStringLiteral("scanhistory"));
    if (auto* table = started.controller->window()->findChild<QTableView*>(QStringLiteral("tvScanHistory"))) {
        table->setCurrentIndex(table->model()->index(table->model()->rowCount() - 2, 0));
        table->scrollToBottom();
    }
    return windowImage(*started.controller, QStringLiteral("scanhistory"));
});

const GalleryRegistration emptyHistory("prefs-scan-history-empty", [] {
    StartedPreferences started;
    return windowImage(*started.controller, QStringLiteral("scanhistory"));
});

const GalleryRegistration exclusions("prefs-excluded-folders", [] {
    StartedPreferences started;
    return windowImage(*started.controller, QStringLiteral("excludedfolders"));
});

// The file-type editor as it opens for Add, on its own.
const GalleryRegistration editor("prefs-file-type-editor", [] {
    StartedPreferences started;
    started.controller->showPreferencesWindow(QStringLiteral("advancescansetting"));
    auto* pane = dynamic_cast<AdvanceScanSettingVC*>(started.controller->tabViewController()->preferencePanes().at(1));
    pane->manageExtensionFilters(pane->btnAddExt);
    pane->txtViewExtensions->setPlainText(QStringLiteral("*.log; *.tmp"));
    return renderDialog(*pane->windowManageExtensions);
});

} // namespace
