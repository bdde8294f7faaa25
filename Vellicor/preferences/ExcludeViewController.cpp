#include "preferences/ExcludeViewController.h"

#include "base/AlertPresenter.h"
#include "base/AppPaths.h"
#include "base/UserDefaults.h"
#include "core/AppNotifier.h"
#include "core/SettingsSchema.h"
#include "preferences/PreferencesKit.h"

#include <QDir>
#include <QFileDialog>
#include <QHeaderView>
#include <QListView>
#include <QPushButton>
#include <QTableWidget>
#include <QTreeView>

namespace {

constexpr QSize paneSize { 620, 320 };

QString listKey()
{
    return QString::fromLatin1(SettingsKey::excludedFolders);
}

bool isSameOrInside(const QString& path, const QString& folder)
{
    const QString a = QDir::cleanPath(path).toLower();
    const QString b = QDir::cleanPath(folder).toLower();
    return a == b || a.startsWith(b.endsWith(QLatin1Char('/')) ? b : b + QLatin1Char('/'));
}

bool isInTrash(const QString& folder)
{
    return isSameOrInside(folder, AppPaths::homeFolder() + QStringLiteral("/.Trash"))
        || isSameOrInside(folder, AppPaths::dataHome() + QStringLiteral("/Trash"));
}

} // namespace

ExcludeViewController::ExcludeViewController(UserDefaults& defaults, QWidget* parent)
    : PreferencePane(parent)
    , defaults_(defaults)
    , icon_(paneIcon(QStringLiteral("exclusions")))
{
    setFixedSize(paneSize);
    tvExclude = new QTableWidget(0, 1, this);
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
        auto* panel = new QFileDialog(window(), QString(), QDir::homePath());
        panel->setAttribute(Qt::WA_DeleteOnClose);
        panel->setFileMode(QFileDialog::Directory);
        panel->setOption(QFileDialog::ShowDirsOnly);
        panel->setOption(QFileDialog::DontUseNativeDialog);
        panel->setLabelText(QFileDialog::Accept, QStringLiteral("Add To Exclusion"));
        // Several folders at once.
        for (QAbstractItemView* view : { static_cast<QAbstractItemView*>(panel->findChild<QListView*>()),
                 static_cast<QAbstractItemView*>(panel->findChild<QTreeView*>()) }) {
            if (view)
                view->setSelectionMode(QAbstractItemView::ExtendedSelection);
        }
        connect(panel, &QFileDialog::filesSelected, this, [this](const QStringList& folders) {
            if (!folders.isEmpty())
                addFoldersToExclusion(folders);
        });
        panel->open();
    });
    connect(&AppNotifier::instance(), &AppNotifier::PreferencesResetToDefaults, this, [this] { resetFromDefaults(); });
    resetFromDefaults();
}

QSize ExcludeViewController::sizeHint() const
{
    return paneSize;
}

void ExcludeViewController::resetFromDefaults()
{
    arrExclude_.clear();
    for (const QVariant& entry : defaults_.arrayValue(listKey()).value_or(QVariantList())) {
        if (Setting::toDictionary(entry))
            arrExclude_.append(entry);
    }
    reloadTable();
}

void ExcludeViewController::reloadTable()
{
    tvExclude->clearContents();
    tvExclude->setRowCount(int(arrExclude_.size()));
    for (int row = 0; row < int(arrExclude_.size()); ++row)
        tvExclude->setItem(
            row, 0, new QTableWidgetItem(arrExclude_.at(row).toMap().value(QStringLiteral("path")).toString()));
}

void ExcludeViewController::store()
{
    defaults_.setValue(listKey(), arrExclude_);
    defaults_.synchronize();
}

void ExcludeViewController::addFoldersToExclusion(const QStringList& folders)
{
    const QStringList scanList = scanListPaths_ ? scanListPaths_() : QStringList();
    bool inTrash = false;
    bool inScanList = false;
    bool alreadyListed = false;
    for (const QString& chosen : folders) {
        const QString folder = QDir::cleanPath(chosen);
        if (isInTrash(folder)) {
            inTrash = true;
            continue;
        }
        bool covers = false;
        for (const QString& path : scanList)
            covers = covers || isSameOrInside(path, folder);
        bool listed = false;
        for (const QVariant& entry : arrExclude_)
            listed = listed || entry.toMap().value(QStringLiteral("path")).toString() == folder;
        inScanList = inScanList || covers;
        alreadyListed = alreadyListed || listed;
        if (!covers && !listed)
            arrExclude_.append(makeFolderEntry(folder));
    }
    reloadTable();

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
    store();
}

void ExcludeViewController::btnRemoveFolderFromExclusionTapped()
{
    const QList<QTableWidgetSelectionRange> ranges = tvExclude->selectedRanges();
    if (ranges.isEmpty())
        return;
    const int row = ranges.front().topRow();
    if (row < 0 || row >= arrExclude_.size())
        return;
    arrExclude_.removeAt(row);
    reloadTable();
    store();
}
