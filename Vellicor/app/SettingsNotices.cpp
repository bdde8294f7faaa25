#include "app/SettingsNotices.h"

#include "base/AlertPresenter.h"
#include "base/UserDefaults.h"
#include "core/FileUtilities.h"
#include "core/Localization.h"
#include "core/OwnFolderTexts.h"
#include "core/TextFormat.h"

#include <QFileInfo>
#include <QLocale>
#include <QPointer>

SettingsNotices::SettingsNotices(UserDefaults& defaults, QObject* parent)
    : QObject(parent)
    , defaults_(defaults)
{
    // Queued: a save may fail on a worker, and the alert belongs to this
    // thread's event loop, never to the store's lock.
    connect(&defaults_, &UserDefaults::saveFailed, this, &SettingsNotices::tellSaveFailed, Qt::QueuedConnection);
    connect(&FolderRefusals::instance(), &FolderRefusals::refused, this, &SettingsNotices::tellFolderRefusals,
        Qt::QueuedConnection);
}

AlertRequest SettingsNotices::readProblemAlert(const SettingsReadProblem& problem)
{
    using Kind = SettingsReadProblem::Kind;
    const QString path = printablePath(problem.path, shownPathLength);
    const QString keptAt = printablePath(problem.keptAt, shownPathLength);
    QString detail;
    switch (problem.kind) {
    case Kind::setAside:
        detail = formatText(localizedText("ID_SETTINGS_NOT_READ_SET_ASIDE"), { problem.reason, keptAt });
        break;
    case Kind::keptInPlace:
        detail = formatText(localizedText("ID_SETTINGS_NOT_READ_KEPT"), { path, problem.reason });
        break;
    case Kind::tooLarge:
        detail = problem.keptAt.isEmpty()
            ? formatText(localizedText("ID_SETTINGS_TOO_LARGE"), { path })
            : formatText(localizedText("ID_SETTINGS_TOO_LARGE_SET_ASIDE"),
                  { QLocale().toString(problem.reason.toLongLong()), QLocale().toString(UserDefaults::largestReadFile),
                      keptAt });
        break;
    case Kind::valuesReset: {
        const QString keys = namedFewAndMore(problem.keys, std::max(problem.keyCount, problem.keys.size()));
        detail = problem.keptAt.isEmpty()
            ? formatText(localizedText("ID_SETTINGS_VALUES_RESET_NOT_COPIED"), { keys, path })
            : formatText(localizedText("ID_SETTINGS_VALUES_RESET"), { keys, keptAt });
        break;
    }
    }
    return AlertRequest { localizedText("ID_SETTINGS_NOT_READ"), detail, { localizedText("ID_OK") },
        AlertStyle::warning };
}

AlertRequest SettingsNotices::saveFailedAlert(
    UserDefaults::SaveFault fault, const QString& reason, const QString& folder)
{
    using Fault = UserDefaults::SaveFault;
    QString detail;
    switch (fault) {
    case Fault::tooLarge:
        detail = formatText(localizedText("ID_SETTINGS_NOT_SAVED_TOO_LARGE"),
            { QLocale().toString(reason.toLongLong()), QLocale().toString(UserDefaults::largestFile) });
        break;
    case Fault::diskFull:
        detail = formatText(localizedText("ID_SETTINGS_NOT_SAVED_DISK_FULL"), { folder, reason });
        break;
    case Fault::folderNotWritable:
        detail = formatText(localizedText("ID_SETTINGS_NOT_SAVED_DETAIL"), { reason, folder });
        break;
    case Fault::fileKept:
        detail = formatText(localizedText("ID_SETTINGS_NOT_SAVED_FILE_KEPT"), { reason });
        break;
    case Fault::other:
        detail = formatText(localizedText("ID_SETTINGS_NOT_SAVED_OTHER"), { reason });
        break;
    }
    return AlertRequest { localizedText("ID_SETTINGS_NOT_SAVED"), detail, { localizedText("ID_OK") },
        AlertStyle::warning };
}

AlertRequest SettingsNotices::listTooLongAlert(SourceList which, int largest)
{
    const char* message = "ID_LIST_TOO_LONG_SCAN";
    if (which == SourceList::exclude)
        message = "ID_LIST_TOO_LONG_EXCLUDE";
    else if (which == SourceList::protect)
        message = "ID_LIST_TOO_LONG_PROTECT";
    return AlertRequest { localizedText(message),
        formatText(localizedText("ID_LIST_HOLDS_AT_MOST"), { QLocale().toString(largest) }),
        { localizedText("ID_OK") }, AlertStyle::warning };
}

void SettingsNotices::watchLists(ScanSources& sources)
{
    connect(&sources, &ScanSources::listTooLong, this,
        [](ScanSource, SourceList which, int largest) {
            alertPresenter()->presentThen(listTooLongAlert(which, largest), {});
        });
}

void SettingsNotices::tellReadProblemAtStart()
{
    if (toldReadProblem_)
        return;
    toldReadProblem_ = true;
    tellFolderRefusals();
    if (const std::optional<SettingsReadProblem> problem = defaults_.readProblemAtStart())
        alertPresenter()->presentThen(readProblemAlert(*problem), {});
}

void SettingsNotices::tellSaveFailed(UserDefaults::SaveFault fault, const QString& reason)
{
    if (showing_)
        return;
    showing_ = true;
    alertPresenter()->presentThen(saveFailedAlert(fault, reason, QFileInfo(defaults_.filePath()).path()),
        [self = QPointer<SettingsNotices>(this)](int) {
            if (self)
                self->showing_ = false;
        });
}

void SettingsNotices::tellFolderRefusals()
{
    // Those met before the window was up wait for the notice at start.
    if (!toldReadProblem_)
        return;
    // All those met so far in one alert: at start, the settings, cache and
    // state folders are refused together when their place is.
    const std::vector<FolderRefusals::Refusal> refusals = FolderRefusals::instance().takeUntold();
    if (!refusals.empty())
        alertPresenter()->presentThen(folderRefusalsAlert(refusals), {});
}
