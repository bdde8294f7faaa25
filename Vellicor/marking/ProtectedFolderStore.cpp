#include "marking/ProtectedFolderStore.h"

#include "base/Log.h"
#include "base/UserDefaults.h"
#include "core/SettingsSchema.h"

namespace {

const QString key = QString::fromLatin1(SettingsKey::protectedFolders);

FilePathNodePtr rowFromRecord(const QVariant& element)
{
    const std::optional<QVariantMap> record = Setting::toDictionary(element);
    if (!record)
        return nullptr;
    const std::optional<QString> path = Setting::toText(record->value(QStringLiteral("path")));
    if (!path || path->isEmpty())
        return nullptr;
    auto row = std::make_shared<FilePathNode>();
    row->filePath = *path;
    const QVariant state = record->value(QStringLiteral("state"));
    if (const auto number = Setting::toInteger(state))
        row->state = static_cast<int>(*number);
    else
        row->state = Setting::toBool(state).value_or(true) ? 1 : 0;
    row->isIncludeSubFolders = Setting::toBool(record->value(QStringLiteral("includeSubFolders"))).value_or(true);
    return row;
}

} // namespace

ProtectedFolderStore::ProtectedFolderStore(UserDefaults& defaults)
    : defaults_(defaults)
{
}

std::vector<FilePathNodePtr>& ProtectedFolderStore::listForSource(ScanSource source)
{
    switch (source) {
    case ScanSource::thisComputer:
        return arrProtectedPathsFinder;
    case ScanSource::googleDrive:
        return arrProtectedPathsGDrive;
    default:
        return arrProtectedPathsCloud;
    }
}

bool ProtectedFolderStore::loadThisComputerList()
{
    std::optional<std::vector<FilePathNodePtr>> rows = storedThisComputerList();
    if (!rows)
        return false;
    arrProtectedPathsFinder = std::move(*rows);
    return true;
}

std::optional<std::vector<FilePathNodePtr>> ProtectedFolderStore::storedThisComputerList() const
{
    const QVariant stored = defaults_.object(key);
    const std::optional<QVariantList> records = Setting::toArray(stored);
    if (!records) {
        if (stored.isValid())
            Log::print("The protected folders setting is not a list; the protected folders stay as they were");
        return std::nullopt;
    }
    std::vector<FilePathNodePtr> rows;
    rows.reserve(records->size());
    for (qsizetype i = 0; i < records->size(); ++i) {
        if (FilePathNodePtr row = rowFromRecord(records->at(i)))
            rows.push_back(std::move(row));
        else
            Log::print("Skipped protected folder entry", i, "of the settings: not a folder record with a path");
    }
    return rows;
}

bool ProtectedFolderStore::saveProtectedFolders() const
{
    QVariantList records;
    for (const FilePathNodePtr& row : arrProtectedPathsFinder) {
        if (row && row->filePath && !row->filePath->isEmpty())
            records.append(makeFolderEntry(*row->filePath, row->state, row->isIncludeSubFolders ? 1 : 0));
    }
    return defaults_.setValue(key, records) && defaults_.synchronize();
}
