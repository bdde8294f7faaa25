#include "marking/GroupSorting.h"

#include "marking/StableSort.h"

#include <algorithm>
#include <utility>

namespace {

using SortOrder = GlobalObjects::SortOrder;
using SortType = GlobalObjects::SortType;

// The key of each group is computed once, so a sort of 100,000 groups makes
// 100,000 keys rather than one per comparison. Every key here is a strict
// weak order, so the standard stable sort may be used.
template <typename KeyOf> void sortGreaterFirst(std::vector<DuplicateGroupPtr>& groups, KeyOf keyOf)
{
    using Key = decltype(keyOf(std::declval<const DuplicateGroup&>()));
    std::vector<std::pair<Key, DuplicateGroupPtr>> keyed;
    keyed.reserve(groups.size());
    for (DuplicateGroupPtr& group : groups)
        keyed.emplace_back(group ? keyOf(*group) : Key {}, std::move(group));
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return b.first < a.first; });
    for (std::size_t i = 0; i < keyed.size(); ++i)
        groups[i] = std::move(keyed[i].second);
}

// The extension of a name's last component, lower-cased, without the dot;
// empty for "name", "name." and ".hidden".
QString extensionOfName(const QString& name)
{
    const QStringView last = QStringView(name).mid(name.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = last.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return QString();
    return last.mid(dot + 1).toString();
}

// One file's value under a column; absent values tie with everything.
struct FileKey {
    bool present = true;
    quint64 whole = 0;
    double seconds = 0;
    std::u32string text;
};

FileKey dateKey(const std::optional<QDateTime>& date)
{
    FileKey key;
    key.present = date && date->isValid();
    if (key.present)
        key.seconds = static_cast<double>(date->toMSecsSinceEpoch()) / 1000.0;
    return key;
}

// Fills key in place, so that a key kept across files reuses its text's room.
void fillFileKey(FileKey& key, const FileInfoNode* file, SortColumn column)
{
    key.present = true;
    key.whole = 0;
    key.seconds = 0;
    key.text.clear();
    if (!file) {
        key.present = column == SortColumn::fileName || column == SortColumn::fileSize;
        return;
    }
    switch (column) {
    case SortColumn::fileName:
        sortTextInto(file->fileName.value_or(QString()), key.text);
        break;
    case SortColumn::fileSize:
        key.whole = file->fileSize;
        break;
    case SortColumn::createDate:
        key = dateKey(file->createDate);
        break;
    case SortColumn::modDate:
        key = dateKey(file->modDate);
        break;
    case SortColumn::fileType:
        key.present = file->fileName.has_value();
        if (key.present)
            sortTextInto(extensionOfName(*file->fileName), key.text);
        break;
    case SortColumn::filePath:
        key.present = file->filePath.has_value();
        if (key.present)
            key.whole = static_cast<quint64>(file->filePath->count(QLatin1Char('/'))) + 1;
        break;
    }
}

FileKey fileKey(const FileInfoNode* file, SortColumn column)
{
    FileKey key;
    fillFileKey(key, file, column);
    return key;
}

// Whether x stands before y. Only filePath keeps the plain sense of the
// ascending flag; the other columns run the other way with it.
bool sortsBefore(const FileKey& x, const FileKey& y, SortColumn column, bool ascending)
{
    if (!x.present || !y.present)
        return false;
    switch (column) {
    case SortColumn::fileName:
    case SortColumn::fileType:
        return ascending ? y.text < x.text : x.text < y.text;
    case SortColumn::fileSize:
        return ascending ? y.whole < x.whole : x.whole < y.whole;
    case SortColumn::createDate:
    case SortColumn::modDate:
        return ascending ? y.seconds < x.seconds : x.seconds < y.seconds;
    case SortColumn::filePath:
        return ascending ? x.whole < y.whole : y.whole < x.whole;
    }
    return false;
}

} // namespace

void sortTextInto(const QString& text, std::u32string& out)
{
    // Most names are plain ASCII, which needs neither case tables nor
    // normalisation; this keeps a sort of 100,000 names cheap.
    out.resize(static_cast<std::size_t>(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        if (c >= 0x80) {
            const QList<uint> codePoints = text.toLower().normalized(QString::NormalizationForm_D).toUcs4();
            out.assign(codePoints.begin(), codePoints.end());
            return;
        }
        out[static_cast<std::size_t>(i)] = c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c;
    }
}

std::u32string sortText(const QString& text)
{
    std::u32string sorted;
    sortTextInto(text, sorted);
    return sorted;
}

std::vector<DuplicateGroupPtr> sortGroupsBy(
    const std::vector<DuplicateGroupPtr>& groups, GlobalObjects::SortType type, GlobalObjects::SortOrder order)
{
    std::vector<DuplicateGroupPtr> sorted = groups;
    switch (type) {
    case SortType::sortBySize:
        sortGreaterFirst(sorted, [](const DuplicateGroup& group) { return group.groupSize; });
        break;
    case SortType::sortByCount:
        sortGreaterFirst(sorted, [](const DuplicateGroup& group) { return group.filterChildren.size(); });
        break;
    case SortType::sortBySelected:
        sortGreaterFirst(sorted, [](const DuplicateGroup& group) {
            return std::ranges::count_if(
                group.filterChildren, [](const FileInfoNodePtr& file) { return file && file->isMarked(); });
        });
        break;
    case SortType::sortByName:
        sortGreaterFirst(sorted, [](const DuplicateGroup& group) {
            const FileInfoNodePtr first = group.filterChildren.empty() ? nullptr : group.filterChildren.front();
            return sortText(first ? first->fileName.value_or(QString()) : QString());
        });
        break;
    case SortType::sortByType:
        break;
    }
    if (order == SortOrder::sortAsecending)
        std::ranges::reverse(sorted);
    return sorted;
}

std::optional<SortColumn> sortColumnForKey(const QString& key)
{
    static const std::pair<QLatin1String, SortColumn> columns[] = {
        { QLatin1String("fileName"), SortColumn::fileName },
        { QLatin1String("fileSize"), SortColumn::fileSize },
        { QLatin1String("createDate"), SortColumn::createDate },
        { QLatin1String("modDate"), SortColumn::modDate },
        { QLatin1String("fileType"), SortColumn::fileType },
        { QLatin1String("filePath"), SortColumn::filePath },
    };
    for (const auto& [name, column] : columns) {
        if (key == name)
            return column;
    }
    return std::nullopt;
}

void sortFilesByColumn(std::vector<FileInfoNodePtr>& files, SortColumn column, bool ascending)
{
    std::vector<std::pair<FileKey, FileInfoNodePtr>> keyed;
    keyed.reserve(files.size());
    for (FileInfoNodePtr& file : files)
        keyed.emplace_back(fileKey(file.get(), column), std::move(file));
    stableMergeSort(keyed,
        [column, ascending](const auto& x, const auto& y) { return sortsBefore(x.first, y.first, column, ascending); });
    for (std::size_t i = 0; i < keyed.size(); ++i)
        files[i] = std::move(keyed[i].second);
}

bool filesRiseByColumn(SortColumn column, bool ascending)
{
    return column == SortColumn::filePath ? ascending : !ascending;
}

bool filesSortedByColumn(const std::vector<FileInfoNodePtr>& files, SortColumn column, bool ascending)
{
    // Each file's key is built once and compared with the next one's.
    if (files.empty())
        return true;
    FileKey previous;
    FileKey key;
    fillFileKey(previous, files.front().get(), column);
    for (std::size_t i = 1; i < files.size(); ++i) {
        fillFileKey(key, files[i].get(), column);
        if (sortsBefore(key, previous, column, ascending))
            return false;
        std::swap(previous, key);
    }
    return true;
}

bool compareFileNamesForSortDescriptor(const FileInfoNode& a, const FileInfoNode& b, bool ascending)
{
    return sortsBefore(
        fileKey(&a, SortColumn::fileName), fileKey(&b, SortColumn::fileName), SortColumn::fileName, ascending);
}

bool compareFileExtensionsForSortDescriptor(const FileInfoNode& a, const FileInfoNode& b, bool ascending)
{
    return sortsBefore(
        fileKey(&a, SortColumn::fileType), fileKey(&b, SortColumn::fileType), SortColumn::fileType, ascending);
}
