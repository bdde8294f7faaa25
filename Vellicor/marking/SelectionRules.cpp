#include "marking/SelectionRules.h"

#include "base/UserDefaults.h"
#include "marking/StableSort.h"

#include <algorithm>
#include <numeric>

namespace {

// The path less its last component: "/" for a file at the root, empty for a
// bare name.
QString parentFolderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QString();
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

using DateOf = const std::optional<QDateTime>& (*)(const RuleFile&);

std::optional<qint64> msecs(const std::optional<QDateTime>& date)
{
    if (!date || !date->isValid())
        return std::nullopt;
    return date->toMSecsSinceEpoch();
}

// A file without the date ties with every file, which no sort may be given as
// an order; so the dated stretches between such files are sorted each on
// their own and the undated files stay where they are. Each date is turned
// into an instant once, on the worker, rather than at every comparison: a
// local time's conversion looks up the zone's rules.
void sortByDateNewestFirst(std::vector<RuleFile>& files, DateOf dateOf)
{
    std::vector<std::optional<qint64>> instants;
    instants.reserve(files.size());
    for (const RuleFile& file : files)
        instants.push_back(msecs(dateOf(file)));
    std::size_t begin = 0;
    while (begin < files.size()) {
        while (begin < files.size() && !instants[begin])
            ++begin;
        std::size_t end = begin;
        while (end < files.size() && instants[end])
            ++end;
        if (end - begin > 1) {
            std::vector<std::size_t> order(end - begin);
            std::iota(order.begin(), order.end(), begin);
            stableMergeSort(order, [&](std::size_t a, std::size_t b) { return *instants[a] > *instants[b]; });
            std::vector<RuleFile> stretch;
            stretch.reserve(order.size());
            for (const std::size_t i : order)
                stretch.push_back(std::move(files[i]));
            std::move(stretch.begin(), stretch.end(), files.begin() + static_cast<std::ptrdiff_t>(begin));
        }
        begin = end;
    }
}

template <typename Matches> void bringToFront(std::vector<RuleFile>& files, Matches matches)
{
    std::stable_partition(files.begin(), files.end(), matches);
}

void preferFormat(std::vector<RuleFile>& files, const QStringList& priorities)
{
    for (const QString& entry : priorities) {
        const QString lower = entry.toLower();
        const bool found
            = std::ranges::any_of(files, [&](const RuleFile& file) { return file.node->fileExtension == lower; });
        if (!found)
            continue;
        // The choice ignores letter case, the reorder does not: an entry with
        // capitals is chosen but moves nothing.
        if (!entry.isEmpty())
            bringToFront(files, [&](const RuleFile& file) { return file.node->fileExtension == entry; });
        return;
    }
}

void preferFolder(std::vector<RuleFile>& files, const QStringList& priorities)
{
    for (const QString& entry : priorities) {
        const QString lower = entry.toLower();
        std::optional<QString> chosen;
        for (const RuleFile& file : files) {
            if (!file.node->filePath)
                continue;
            const QString parent = parentFolderOf(*file.node->filePath);
            if (parent.toLower() == lower)
                chosen = parent;
        }
        if (!chosen)
            continue;
        if (!chosen->isEmpty()) {
            const QString folder = chosen->toLower();
            bringToFront(files, [&](const RuleFile& file) { return file.node->folderPath.toLower() == folder; });
        }
        return;
    }
}

} // namespace

std::vector<RuleFile> applySelectionRule(
    std::vector<RuleFile> files, const QString& ruleName, const SelectionPriorities& priorities)
{
    if (ruleName == QLatin1String("DateModified")) {
        sortByDateNewestFirst(
            files, [](const RuleFile& file) -> const std::optional<QDateTime>& { return file.node->modDate; });
    } else if (ruleName == QLatin1String("FileCreated")) {
        sortByDateNewestFirst(
            files, [](const RuleFile& file) -> const std::optional<QDateTime>& { return file.node->createDate; });
    } else if (ruleName == QLatin1String("FileSize")) {
        stableMergeSort(
            files, [](const RuleFile& a, const RuleFile& b) { return a.node->fileSize > b.node->fileSize; });
    } else if (ruleName == QLatin1String("FileFormat")) {
        preferFormat(files, priorities.fileFormatPriorityList);
    } else if (ruleName == QLatin1String("Folder")) {
        if (priorities.isFolderPriorityUpdate)
            preferFolder(files, priorities.folderPriorityList);
    }
    return files;
}

QStringList enabledSelectionRules(const QVariant& storedRules)
{
    QStringList names;
    for (const QVariant& entry : Setting::toArray(storedRules).value_or(QVariantList())) {
        const std::optional<QVariantMap> rule = Setting::toDictionary(entry);
        if (!rule)
            continue;
        const QVariant state = rule->value(QStringLiteral("state"));
        const bool enabled = Setting::toBool(state) == true || Setting::toReal(state) == 1.0;
        const std::optional<QString> name = Setting::toText(rule->value(QStringLiteral("ruleName")));
        if (enabled && name)
            names.append(*name);
    }
    return names;
}
