#include "home/LocationAdder.h"

#include "base/AppPaths.h"
#include "base/Log.h"
#include "base/RunAside.h"
#include "core/FileUtilities.h"
#include "home/LocationLists.h"
#include "scan/PathExclusionPredicate.h"

#include "scan/ScanWrapper.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <atomic>
#include <string>

#include <sys/stat.h>

namespace {

AlertKeys keys(const char* message, const char* informative = "")
{
    return { QString::fromLatin1(message), QString::fromLatin1(informative) };
}

QString dropRefusalKey(ScanSource source)
{
    switch (source) {
    case ScanSource::googleDrive:
        return QStringLiteral("ID_YOU_CANT_DRAG_DROP_ANY_FILE_IN_GOOGLE_DRIVE_SCAN_MODE");
    case ScanSource::dropbox:
        return QStringLiteral("ID_YOU_CANT_DRAG_DROP_ANY_FILE_IN_DROPBOX_SCAN_MODE");
    case ScanSource::oneDrive:
        return QStringLiteral("ID_YOU_CANT_DRAG_DROP_ANY_FILE_IN_ONE_DRIVE_SCAN_MODE");
    case ScanSource::box:
        return QStringLiteral("ID_YOU_CANT_DRAG_DROP_ANY_FILE_IN_BOX_CLOUD_SCAN_MODE");
    case ScanSource::lightroomCatalog:
        return QStringLiteral("ID_YOU_CANT_DRAG_DROP_ANY_FILE_IN_LIGHTROOM_SCAN_MODE");
    case ScanSource::emptyFolderCleaner:
        return QStringLiteral("ID_CHOOSE_A_SOURCE_TO_ADD_FOLDERS");
    default:
        return QString();
    }
}

} // namespace

LocationAdder::LocationAdder(LocationLists& lists)
    : lists_(lists)
    , relay_(std::make_shared<WorkerRelay<QObject>>(&anchor_))
{
}

LocationAdder::~LocationAdder()
{
    // A look still held by a mount that does not answer tells no one.
    relay_->cut();
}

FolderChooser::Options LocationAdder::panelOptions(HomeTab tab)
{
    FolderChooser::Options options;
    switch (tab) {
    case HomeTab::include:
        options.filesToo = true;
        options.fileSuffixes = { QStringLiteral("photoslibrary"), QStringLiteral("photolibrary") };
        options.promptKey = QStringLiteral("ID_ADD_FOLDER");
        options.titleKey = selectedScanSource().load() == ScanSource::lightroomCatalog
            ? QStringLiteral("ID_CHOOSE_PHOTO_CATALOG_FOLDER")
            : QStringLiteral("ID_CHOOSE_FOLDERS_TO_SCAN");
        break;
    case HomeTab::exclude:
        options.promptKey = QStringLiteral("ID_ADD_TO_EXCLUSION");
        options.titleKey = QStringLiteral("ID_CHOOSE_FOLDERS_TO_EXCLUDE");
        break;
    default:
        options.promptKey = QStringLiteral("ID_ADD_TO_PROTECTION");
        options.titleKey = QStringLiteral("ID_CHOOSE_FOLDERS_TO_PROTECT");
        break;
    }
    return options;
}

void LocationAdder::openPanel(HomeTab tab, FolderChooser& chooser, std::function<void(const AddOutcome&)> outcome)
{
    if (tab == HomeTab::none)
        return;
    chooser.chooseFolders(panelOptions(tab), [this, tab, outcome = std::move(outcome)](const QStringList& paths) {
        if (paths.isEmpty())
            return;
        AddOutcome result;
        if (tab == HomeTab::include)
            result = addPanelPathsToScanList(paths);
        else if (tab == HomeTab::exclude)
            result = addPanelPathsToExcludeList(paths);
        else
            result = addPanelPathsToProtectList(paths);
        if (outcome)
            outcome(result);
    });
}

AddOutcome LocationAdder::addPanelPathsToScanList(const QStringList& paths)
{
    return addToScanList(paths, Origin::panel);
}

AddOutcome LocationAdder::addPanelPathsToExcludeList(const QStringList& paths)
{
    return addToExcludeList(paths, Origin::panel);
}

AddOutcome LocationAdder::addPanelPathsToProtectList(const QStringList& paths)
{
    return addToProtectList(paths, Origin::panel);
}

AddOutcome LocationAdder::handleFileDragDrop(const QStringList& paths, HomeTab tab)
{
    const ScanSource source = selectedScanSource().load();
    if (source != ScanSource::thisComputer) {
        AddOutcome refused;
        refused.alerts.push_back({ QStringLiteral("ID_YOU_CANT_DRAG_ANY_FILE"), dropRefusalKey(source) });
        return refused;
    }
    switch (tab) {
    case HomeTab::include:
        return addToScanList(paths, Origin::drop);
    case HomeTab::exclude:
        return addToExcludeList(paths, Origin::drop);
    case HomeTab::protect:
        return addToProtectList(paths, Origin::drop);
    default:
        return {};
    }
}

std::vector<AlertKeys> LocationAdder::exclusionConflictAlert(bool inScanList, bool alreadyExcluded)
{
    if (inScanList && alreadyExcluded)
        return { keys("ID_ONE_OR_MORE_ITEMS_CANNOT_EXCLUDED") };
    if (inScanList)
        return { keys("ID_ITEMS_CANNOT_EXCLUDED", "ID_EITHER_ITEM_OR_CONTENT_PRESENT_IN_SCAN_LIST") };
    if (alreadyExcluded)
        return { keys("ID_ITEMS_CANNOT_ADDED_EXCLUSION_LIST", "ID_THIS_ITEM_ALREADY_EXIST_TRY_TO_ADD_ANOTHER_FOLDER") };
    return {};
}

// The photo catalog is one file, read wherever its folder was chosen from: a
// choice is taken only when the catalog lies in it. The alert tells where the
// catalog is looked for when none of the choice holds it.
std::optional<AlertKeys> LocationAdder::catalogRefusal(const QStringList& paths) const
{
    const ScanWrapper* handler = lists_.sources.handler(ScanSource::lightroomCatalog);
    const std::optional<QString> catalog = handler ? handler->sourceFile() : std::nullopt;
    if (!catalog)
        return std::nullopt;
    const QString file = QDir::cleanPath(*catalog);
    if (QFileInfo(file).isFile()) {
        for (const QString& path : paths) {
            const QString folder = QDir::cleanPath(path);
            if (file.startsWith(folder == QLatin1String("/") ? folder : folder + QLatin1Char('/')))
                return std::nullopt;
        }
    }
    return AlertKeys { QStringLiteral("ID_NO_PHOTO_CATALOG_IN_FOLDER"), QStringLiteral("ID_PHOTO_CATALOG_IS_READ_FROM"),
        { file } };
}

AddOutcome LocationAdder::addToScanList(const QStringList& paths, Origin origin)
{
    AddOutcome outcome;
    if (selectedScanSource().load() == ScanSource::lightroomCatalog) {
        if (std::optional<AlertKeys> refusal = catalogRefusal(paths)) {
            outcome.alerts.push_back(std::move(*refusal));
            return outcome;
        }
    }
    const std::optional<PathExclusionPredicate> excluded
        = makeDirExclusionPredicate(lists_.sources.excludeList(ScanSource::thisComputer));
    bool isShowExcludePrompt = false;
    qsizetype considered = 0;
    bool trashRefused = false;
    // The choice goes into the list in one change, however many items it has.
    const ScanSource source = selectedScanSource().load();
    std::vector<FilePathNodePtr> rows;
    // The list's paths and those chosen so far: a repeat is found at once
    // however long the list.
    PathSet taken = lists_.scanListPaths();
    const auto commit = [&] {
        if (rows.empty())
            return;
        lists_.sources.edit(source, SourceList::scan,
            [&rows](std::vector<FilePathNodePtr>& list) { list.insert(list.end(), rows.begin(), rows.end()); });
        if (excluded) {
            QStringList added;
            added.reserve(qsizetype(rows.size()));
            for (const FilePathNodePtr& row : rows)
                added.append(*row->filePath);
            checkWhereRowsLead(source, *excluded, std::move(added), int(rows.size()));
        }
    };
    bool libraryChosen = lists_.isPhotosLibraryPathAdded();
    for (const QString& chosenPath : paths) {
        // The whole file system chosen in the panel means the user's own
        // files: the home folder. A dropped "/" is taken as it is.
        const QString path
            = origin == Origin::panel && chosenPath == QLatin1String("/") ? AppPaths::homeFolder() : chosenPath;
        // Every item is tested, so a Trash item anywhere in the choice stays out.
        if (isInTrash(path)) {
            trashRefused = true;
            continue;
        }
        ++considered;
        if (excluded && excluded->evaluateWithObject(path)) {
            isShowExcludePrompt = true;
            continue;
        }
        const bool isLibrary = isPhotosLibraryPath(path);
        if (isLibrary && libraryChosen) {
            // The rest of the choice is dropped; what was added before stays
            // and is kept.
            if (trashRefused && origin == Origin::panel)
                outcome.alerts.push_back(keys("ID_CANT_ADD_BIN_FOLDER"));
            outcome.alerts.push_back(keys("ID_ONLY_ONE_PHOTOS_LIBRARY_CAN_ADDED"));
            outcome.listChanged = true;
            commit();
            return outcome;
        }
        if (taken.contains(path))
            continue;
        libraryChosen = libraryChosen || isLibrary;
        taken.insert(path);
        rows.push_back(LocationLists::makePathNode(path));
        ++outcome.added;
    }
    commit();
    outcome.listChanged = outcome.added > 0;
    if (trashRefused && origin == Origin::panel)
        outcome.alerts.push_back(keys("ID_CANT_ADD_BIN_FOLDER"));
    const bool isFileAdded = outcome.added > 0;
    if (isShowExcludePrompt) {
        outcome.alerts.push_back(keys(isFileAdded ? "ID_ONE_OR_MORE_ITEMS_CANNOT_ADDED" : "ID_ITEMS_CANNOT_ADDED",
            "ID_ITEMS_ALREADY_EXCLUDED_FROM_SCANNING"));
    } else if (considered > 0 && outcome.added != considered) {
        outcome.alerts.push_back(keys("ID_ITEMS_CANNOT_ADDED", "ID_ITEMS_ALREADY_PRESENT_IN_SCAN_LIST"));
    }
    return outcome;
}

void LocationAdder::checkWhereRowsLead(
    ScanSource source, const PathExclusionPredicate& excluded, QStringList paths, int added)
{
    // Each look may be held by a mount that does not answer; past a few such
    // looks the rows stay as they are, and the walk still keeps out what
    // they lead to (and logs it).
    static std::atomic<int> looksUnderWay { 0 };
    constexpr int mostLooks = 8;
    if (looksUnderWay.load() >= mostLooks) {
        Log::print("Adding locations: earlier looks at where chosen folders lead are still held; these are not "
                   "looked at:",
            paths.size());
        return;
    }
    const std::optional<std::string> failure
        = runAside(looksUnderWay, [this, relay = relay_, source, excluded, paths = std::move(paths), added] {
              std::vector<std::pair<QString, LocationExclusion>> found;
              for (const QString& path : paths) {
                  if (std::optional<LocationExclusion> exclusion = locationExclusion(excluded, path))
                      found.emplace_back(path, std::move(*exclusion));
              }
              if (!found.empty())
                  relay->post(
                      [this, source, found = std::move(found), added](QObject&) { takeBack(source, found, added); });
          });
    if (failure)
        Log::print("Adding locations: where the chosen folders lead could not be looked at:",
            QString::fromStdString(*failure));
}

void LocationAdder::takeBack(
    ScanSource source, const std::vector<std::pair<QString, LocationExclusion>>& excluded, int added)
{
    QSet<QString> paths;
    for (const auto& [path, exclusion] : excluded)
        paths.insert(path);
    // Only the rows still there: one the user took out meanwhile is told no
    // more, and a list that holds none of them is not written again.
    const auto isTakenBack
        = [&paths](const FilePathNodePtr& row) { return row && row->filePath && paths.contains(*row->filePath); };
    QSet<QString> removed;
    for (const FilePathNodePtr& row : lists_.sources.scanList(source)) {
        if (isTakenBack(row))
            removed.insert(*row->filePath);
    }
    if (removed.isEmpty())
        return;
    lists_.sources.edit(
        source, SourceList::scan, [&](std::vector<FilePathNodePtr>& list) { std::erase_if(list, isTakenBack); });
    const std::pair<QString, LocationExclusion>* named = nullptr;
    for (const auto& item : excluded) {
        if (!removed.contains(item.first))
            continue;
        Log::print("Not added:", locationExclusionText(item.first, item.second));
        if (!named)
            named = &item;
    }
    if (!named)
        return;
    const auto& [path, exclusion] = *named;
    AddOutcome outcome;
    outcome.listChanged = true;
    const char* message = added > int(removed.size()) ? "ID_ONE_OR_MORE_ITEMS_CANNOT_ADDED" : "ID_ITEMS_CANNOT_ADDED";
    const char* informative
        = exclusion.byDefault ? "ID_LEADS_INTO_FOLDER_EXCLUDED_BY_DEFAULT" : "ID_LEADS_INTO_FOLDER_YOU_EXCLUDED";
    outcome.alerts.push_back({ QString::fromLatin1(message), QString::fromLatin1(informative),
        { printablePath(path), printablePath(exclusion.leadsTo), printablePath(exclusion.folder) },
        QStringLiteral("ID_MORE_CHOSEN_LEAD_INTO_EXCLUDED_FOLDERS"), int(removed.size()) - 1 });
    if (laterOutcome_)
        laterOutcome_(outcome);
}

AddOutcome LocationAdder::addToExcludeList(const QStringList& paths, Origin origin)
{
    AddOutcome outcome;
    // A panel adds to the list the Exclude tab shows for the chosen source, a
    // drop to this computer's.
    const ScanSource source = origin == Origin::panel ? selectedScanSource().load() : ScanSource::thisComputer;
    std::vector<FilePathNodePtr> list = lists_.sources.excludeList(source);
    const size_t before = list.size();
    // Each path cleaned once: a choice of thousands against a scan list of
    // thousands is a look-up each.
    const PathSet scanned = lists_.scanListPaths();
    PathSet listed = PathSet::ofRows(list);
    bool inScanList = false;
    bool alreadyExcluded = false;
    bool trashRefused = false;
    for (const QString& path : paths) {
        if (isInTrash(path)) {
            trashRefused = true;
            continue;
        }
        const bool covers = scanned.holdsSameOrBelow(path);
        const bool repeat = listed.contains(path);
        inScanList = inScanList || covers;
        alreadyExcluded = alreadyExcluded || repeat;
        if (!covers && !repeat) {
            list.push_back(LocationLists::makePathNode(path));
            listed.insert(path);
            ++outcome.added;
        }
    }
    if (list.size() != before)
        lists_.sources.replace(source, SourceList::exclude, std::move(list));
    outcome.listChanged = outcome.added > 0;
    if (trashRefused && origin == Origin::panel)
        outcome.alerts.push_back(keys("ID_CANT_ADD_BIN_FOLDER"));
    for (AlertKeys& alert : exclusionConflictAlert(inScanList, alreadyExcluded))
        outcome.alerts.push_back(std::move(alert));
    return outcome;
}

AddOutcome LocationAdder::addToProtectList(const QStringList& paths, Origin origin)
{
    AddOutcome outcome;
    const ScanSource source = selectedScanSource().load();
    std::vector<FilePathNodePtr> list = lists_.sources.protectList(source);
    const size_t before = list.size();
    PathSet listed = PathSet::ofRows(list);
    bool alreadyProtected = false;
    bool trashRefused = false;
    for (const QString& path : paths) {
        if (isInTrash(path)) {
            trashRefused = true;
            continue;
        }
        // Files are not protected; a path with nothing behind it counts as a
        // folder. One look at each of a drop of thousands.
        struct stat info { };
        if (origin == Origin::drop && ::stat(QFile::encodeName(path).constData(), &info) == 0
            && !S_ISDIR(info.st_mode))
            continue;
        if (listed.contains(path)) {
            alreadyProtected = true;
            continue;
        }
        list.push_back(LocationLists::makePathNode(path));
        listed.insert(path);
        ++outcome.added;
    }
    if (list.size() != before)
        lists_.sources.replace(source, SourceList::protect, std::move(list));
    outcome.listChanged = outcome.added > 0;
    if (trashRefused && origin == Origin::panel)
        outcome.alerts.push_back(keys("ID_CANT_ADD_BIN_FOLDER"));
    if (alreadyProtected) {
        outcome.alerts.push_back(keys(origin == Origin::panel ? "ID_FOLDER_CANNOT_ADDED_PROTECTION_LIST"
                                                              : "ID_FOLDER_CAN_NOT_ADDED_TO_PROTECTION_LIST",
            "ID_FOLDER_ALREDY_EXIST_PLEASE_TRY_ADD_ANOTHER_FOLDER"));
    }
    return outcome;
}
