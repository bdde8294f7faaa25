#include "preferences/ExcludeViewController.h"

#include "base/AlertPresenter.h"
#include "base/AppPaths.h"
#include "base/UserDefaults.h"
#include "controls/FolderChooser.h"
#include "core/FileUtilities.h"
#include "core/Localization.h"
#include "core/PathSet.h"
#include "preferences/PreferencesKit.h"
#include "scan/ScanSources.h"

#include <QDir>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>

#include <algorithm>

namespace {

constexpr QSize paneSize { 620, 320 };

bool isSameOrInside(const QString& path, const QString& folder)
{
    const QString a = QDir::cleanPath(path).toLower();
    const QString b = QDir::cleanPath(folder).toLower();
    return a == b || a.startsWith(b.endsWith(QLatin1Char('/')) ? b : b + QLatin1Char('/'));
}

bool isInTrash(const QString& folder)
{
    // Both Trash folders have a name with this in it, in any letter case.
    if (!folder.contains(QLatin1StringView("trash"), Qt::CaseInsensitive))
        return false;
    return isSameOrInside(folder, AppPaths::homeFolder() + QStringLiteral("/.Trash"))
        || isSameOrInside(folder, AppPaths::dataHome() + QStringLiteral("/Trash"));
}

} // namespace

ExcludeViewController::ExcludeViewController(ScanSources& sources, QWidget* parent)
    : PreferencePane(parent)
    , sources_(sources)
    , icon_(paneIcon(QStringLiteral("exclusions")))
{
    setFixedSize(paneSize);
    tvExclude = new QTableWidget(0, 1, this);
    tvExclude->setTabKeyNavigation(false);
    tvExclude->setObjectName(QStringLiteral("tvExclude"));
    tvExclude->verticalHeader()->hide();
    tvExclude->horizontalHeader()->setStretchLastSection(true);
    tvExclude->setSelectionBehavior(QAbstractItemView::SelectRows);
    tvExclude->setSelectionMode(QAbstractItemView::SingleSelection);
    tvExclude->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvExclude->setWordWrap(false);
    tvExclude->setGeometry(20, 20, 580, 240);
    auto* header = new QTableWidgetItem(QStringLiteral("Excluded"));
    header->setToolTip(header->text());
    tvExclude->setHorizontalHeaderItem(0, header);

    btnAdd = new QPushButton(QStringLiteral("Add…"), this);
    btnAdd->setGeometry(20, 272, 100, 30);
    btnRemove = new QPushButton(QStringLiteral("Remove"), this);
    btnRemove->setGeometry(126, 272, 100, 30);
    connect(btnRemove, &QPushButton::clicked, this, [this] { btnRemoveFolderFromExclusionTapped(); });
    connect(btnAdd, &QPushButton::clicked, this, [this] {
        openFolderChooser(
            window(),
            { QStringLiteral("Add To Exclusion"), localizedText("ID_CHOOSE_FOLDERS_TO_EXCLUDE"), QString(), true },
            [this](const QStringList& folders) {
                if (!folders.isEmpty())
                    addFoldersToExclusion(folders);
            },
            this);
    });
    connect(&sources_, &ScanSources::listChanged, this, [this](ScanSource source, SourceList which) {
        if (source == ScanSource::thisComputer && which == SourceList::exclude)
            reloadTable();
    });
    reloadTable();
}

QSize ExcludeViewController::sizeHint() const
{
    return paneSize;
}

void ExcludeViewController::reloadTable()
{
    const std::vector<FilePathNodePtr>& rows = sources_.excludeList(ScanSource::thisComputer);
    tvExclude->clearContents();
    tvExclude->setRowCount(int(rows.size()));
    for (int row = 0; row < int(rows.size()); ++row) {
        const FilePathNodePtr& node = rows[size_t(row)];
        tvExclude->setItem(
            row, 0, new QTableWidgetItem(node ? printablePath(node->filePath.value_or(QString())) : QString()));
    }
}

void ExcludeViewController::addFoldersToExclusion(const QStringList& folders)
{
    // Each list's paths cleaned once: a choice of thousands against lists of
    // thousands is a look-up each. A scan path is found whatever its letter
    // case.
    const PathSet scanned = PathSet::ofRows(sources_.scanList(ScanSource::thisComputer), PathSet::LetterCase::ignored);
    std::vector<FilePathNodePtr> exclusions = sources_.excludeList(ScanSource::thisComputer);
    PathSet listed = PathSet::ofRows(exclusions);
    const size_t before = exclusions.size();
    bool inTrash = false;
    bool inScanList = false;
    bool alreadyListed = false;
    for (const QString& chosen : folders) {
        const QString folder = QDir::cleanPath(chosen);
        if (isInTrash(folder)) {
            inTrash = true;
            continue;
        }
        const bool covers = scanned.holdsSameOrBelow(folder);
        const bool repeat = listed.contains(folder);
        inScanList = inScanList || covers;
        alreadyListed = alreadyListed || repeat;
        if (!covers && !repeat) {
            listed.insert(folder);
            // Checked and with sub-folders, as the home screen adds them.
            auto row = std::make_shared<FilePathNode>();
            row->filePath = folder;
            row->state = 1;
            row->isIncludeSubFolders = true;
            exclusions.push_back(std::move(row));
        }
    }
    if (exclusions.size() != before)
        sources_.replace(ScanSource::thisComputer, SourceList::exclude, std::move(exclusions));

    AlertRequest alert;
    if (inScanList && alreadyListed)
        alert.messageText = QStringLiteral("One or more items cannot be excluded");
    else if (inScanList)
        alert = { QStringLiteral("Folder cannot be excluded"),
            QStringLiteral("Either Folder or its contents are already present in scan list"), {} };
    else if (alreadyListed)
        alert = { QStringLiteral("Folder cannot be added to Exclusion List"),
            QStringLiteral("Folder with same name already exists. Please try to add another folder"), {} };
    else if (inTrash)
        alert = { QStringLiteral("Folders in the Trash cannot be excluded"),
            QStringLiteral("A scan never looks into the Trash."), {} };
    if (!alert.messageText.isEmpty()) {
        alert.buttons = { QStringLiteral("OK") };
        alertPresenter()->present(alert);
    }
}

void ExcludeViewController::btnRemoveFolderFromExclusionTapped()
{
    const QList<QTableWidgetSelectionRange> ranges = tvExclude->selectedRanges();
    if (ranges.isEmpty())
        return;
    const int row = ranges.front().topRow();
    if (row < 0 || size_t(row) >= sources_.excludeList(ScanSource::thisComputer).size())
        return;
    sources_.edit(ScanSource::thisComputer, SourceList::exclude,
        [row](std::vector<FilePathNodePtr>& rows) { rows.erase(rows.begin() + row); });
}
