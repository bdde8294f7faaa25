#include "marking/GroupSorting.h"

#include "marking/StableSort.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace {

using SortOrder = GlobalObjects::SortOrder;
using SortType = GlobalObjects::SortType;

// Each key is computed once, so a sort of 100,000 groups makes 100,000 keys
// rather than one per comparison. Every key here is a strict weak order, so
// the standard stable sort may be used. The positions come out greater key
// first.
template <typename Key>
std::vector<std::uint32_t> positionsGreaterFirst(std::vector<std::pair<Key, std::uint32_t>>& keyed)
{
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return b.first < a.first; });
    std::vector<std::uint32_t> positions;
    positions.reserve(keyed.size());
    for (const auto& entry : keyed)
        positions.push_back(entry.second);
    return positions;
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

// One file's value under a column as the records hold it, copied.
struct FileValue {
    bool present = true;
    QString text;
    QDateTime date;
    quint64 size = 0;
};

FileValue fileValue(const FileInfoNode* file, SortColumn column)
{
    FileValue value;
    if (!file) {
        value.present = column == SortColumn::fileName || column == SortColumn::fileSize;
        return value;
    }
    switch (column) {
    case SortColumn::fileName:
        value.text = file->fileName.value_or(QString());
        break;
    case SortColumn::fileSize:
        value.size = file->fileSize;
        break;
    case SortColumn::createDate:
    case SortColumn::modDate: {
        const std::optional<QDateTime>& date = column == SortColumn::createDate ? file->createDate : file->modDate;
        value.present = date.has_value();
        if (date)
            value.date = *date;
        break;
    }
    case SortColumn::fileType:
        value.present = file->fileName.has_value();
        value.text = file->fileName.value_or(QString());
        break;
    case SortColumn::filePath:
        // The path's pieces are what it sorts by; the path is not made.
        value.present = file->filePath.has_value();
        value.size = value.present ? static_cast<quint64>(file->filePath.slashCount()) + 1 : 0;
        break;
    }
    return value;
}

// Fills key from a file's value, in place, so that a key kept across files
// reuses its text's room.
void fillFileKey(
    FileKey& key, SortColumn column, bool present, const QString& text, const QDateTime& date, quint64 size)
{
    key.present = present;
    key.whole = 0;
    key.seconds = 0;
    key.text.clear();
    if (!present)
        return;
    switch (column) {
    case SortColumn::fileName:
        sortTextInto(text, key.text);
        break;
    case SortColumn::fileSize:
        key.whole = size;
        break;
    case SortColumn::createDate:
    case SortColumn::modDate:
        key.present = date.isValid();
        if (key.present)
            key.seconds = static_cast<double>(date.toMSecsSinceEpoch()) / 1000.0;
        break;
    case SortColumn::fileType:
        sortTextInto(extensionOfName(text), key.text);
        break;
    case SortColumn::filePath:
        key.whole = size;
        break;
    }
}

FileKey fileKey(const FileInfoNode* file, SortColumn column)
{
    const FileValue value = fileValue(file, column);
    FileKey key;
    fillFileKey(key, column, value.present, value.text, value.date, value.size);
    return key;
}

bool readsText(SortColumn column)
{
    return column == SortColumn::fileName || column == SortColumn::fileType;
}

bool readsDate(SortColumn column)
{
    return column == SortColumn::createDate || column == SortColumn::modDate;
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
    const GroupSortInput input = takeGroupSortInput(groups, type, order);
    const std::atomic<bool> never { false };
    return groupsInOrder(input, groupSortOrder(input, never));
}

GroupSortInput takeGroupSortInput(
    std::vector<DuplicateGroupPtr> groups, GlobalObjects::SortType type, GlobalObjects::SortOrder order)
{
    GroupSortInput input { type, order, std::move(groups), {}, {} };
    if (type == SortType::sortByName)
        input.names.reserve(input.groups.size());
    else
        input.numbers.reserve(input.groups.size());
    for (const DuplicateGroupPtr& group : input.groups) {
        switch (type) {
        case SortType::sortBySize:
            input.numbers.push_back(group ? group->groupSize : 0);
            break;
        case SortType::sortByCount:
            input.numbers.push_back(group ? group->filterChildren.size() : 0);
            break;
        case SortType::sortBySelected:
            input.numbers.push_back(group ? static_cast<quint64>(std::ranges::count_if(group->filterChildren,
                                        [](const FileInfoNodePtr& file) { return file && file->isMarked(); }))
                                          : 0);
            break;
        case SortType::sortByName: {
            const FileInfoNodePtr first
                = !group || group->filterChildren.empty() ? nullptr : group->filterChildren.front();
            input.names.push_back(first ? first->fileName.value_or(QString()) : QString());
            break;
        }
        case SortType::sortByType:
            break;
        }
    }
    return input;
}

std::vector<std::uint32_t> groupSortOrder(const GroupSortInput& input, const std::atomic<bool>& stop)
{
    const std::size_t count = input.groups.size();
    std::vector<std::uint32_t> positions;
    if (input.type == SortType::sortByName) {
        std::vector<std::pair<std::u32string, std::uint32_t>> keyed;
        keyed.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            if (i % 4096 == 0 && stop.load(std::memory_order_relaxed))
                return {};
            keyed.emplace_back(sortText(input.names[i]), static_cast<std::uint32_t>(i));
        }
        positions = positionsGreaterFirst(keyed);
    } else if (input.type == SortType::sortByType) {
        positions.resize(count);
        std::iota(positions.begin(), positions.end(), 0u);
    } else {
        std::vector<std::pair<quint64, std::uint32_t>> keyed;
        keyed.reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            keyed.emplace_back(input.numbers[i], static_cast<std::uint32_t>(i));
        positions = positionsGreaterFirst(keyed);
    }
    if (stop.load(std::memory_order_relaxed))
        return {};
    if (input.order == SortOrder::sortAsecending)
        std::ranges::reverse(positions);
    return positions;
}

std::vector<DuplicateGroupPtr> groupsInOrder(const GroupSortInput& input, const std::vector<std::uint32_t>& order)
{
    if (order.size() != input.groups.size())
        return input.groups;
    std::vector<DuplicateGroupPtr> sorted;
    sorted.reserve(order.size());
    for (const std::uint32_t position : order)
        sorted.push_back(input.groups[position]);
    return sorted;
}

std::optional<std::vector<DuplicateGroupPtr>> takeGroupsInOrder(
    GroupSortInput& input, const std::vector<std::uint32_t>& order)
{
    if (order.size() != input.groups.size())
        return std::nullopt;
    std::vector<bool> named(order.size());
    for (const std::uint32_t position : order) {
        if (position >= named.size() || named[position])
            return std::nullopt;
        named[position] = true;
    }
    std::vector<DuplicateGroupPtr> sorted;
    sorted.reserve(order.size());
    for (const std::uint32_t position : order)
        sorted.push_back(std::move(input.groups[position]));
    input.groups.clear();
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
    auto group = std::make_shared<DuplicateGroup>();
    group->filterChildren = std::move(files);
    const std::vector<DuplicateGroupPtr> one { group };
    const ColumnSortInput input = takeColumnSortInput(one, column, ascending);
    const std::atomic<bool> never { false };
    applyColumnSortOrder(one, input, columnSortOrder(input, never));
    files = std::move(group->filterChildren);
}

ColumnSortInput takeColumnSortInput(const std::vector<DuplicateGroupPtr>& groups, SortColumn column, bool ascending)
{
    ColumnSortInput input;
    input.column = column;
    input.ascending = ascending;
    takeColumnSortInput(groups, input, groups.size());
    return input;
}

void takeColumnSortInput(const std::vector<DuplicateGroupPtr>& groups, ColumnSortInput& input, std::size_t untilGroup)
{
    const SortColumn column = input.column;
    untilGroup = std::min(untilGroup, groups.size());
    for (std::size_t g = input.groups.size(); g < untilGroup; ++g) {
        const DuplicateGroupPtr& group = groups[g];
        input.groups.push_back(group.get());
        if (group) {
            for (const FileInfoNodePtr& file : group->filterChildren) {
                FileValue value = fileValue(file.get(), column);
                input.files.push_back(file.get());
                input.present.push_back(value.present);
                if (readsText(column))
                    input.texts.push_back(std::move(value.text));
                else if (readsDate(column))
                    input.dates.push_back(value.date);
                else
                    input.sizes.push_back(value.size);
            }
        }
        input.ends.push_back(static_cast<std::uint32_t>(input.files.size()));
    }
}

std::vector<std::uint32_t> columnSortOrder(const ColumnSortInput& input, const std::atomic<bool>& stop)
{
    const SortColumn column = input.column;
    const bool ascending = input.ascending;
    const QString noText;
    const QDateTime noDate;
    std::vector<std::uint32_t> order(input.files.size());
    std::iota(order.begin(), order.end(), 0u);
    // One group at a time, its keys made once each, in room kept across
    // groups.
    std::vector<FileKey> keys;
    std::vector<std::uint32_t> positions;
    std::uint32_t begin = 0;
    for (std::size_t g = 0; g < input.ends.size(); ++g) {
        const std::uint32_t end = input.ends[g];
        if (g % 1024 == 0 && stop.load(std::memory_order_relaxed))
            return {};
        const std::uint32_t count = end - begin;
        if (count > 1) {
            if (keys.size() < count)
                keys.resize(count);
            for (std::uint32_t i = 0; i < count; ++i) {
                const std::uint32_t file = begin + i;
                fillFileKey(keys[i], column, input.present[file], input.texts.empty() ? noText : input.texts[file],
                    input.dates.empty() ? noDate : input.dates[file], input.sizes.empty() ? 0 : input.sizes[file]);
            }
            positions.resize(count);
            std::iota(positions.begin(), positions.end(), 0u);
            stableMergeSort(positions, [&keys, column, ascending](std::uint32_t x, std::uint32_t y) {
                return sortsBefore(keys[x], keys[y], column, ascending);
            });
            for (std::uint32_t i = 0; i < count; ++i)
                order[begin + i] = begin + positions[i];
        }
        begin = end;
    }
    return order;
}

std::optional<std::vector<std::size_t>> applyColumnSortOrder(
    const std::vector<DuplicateGroupPtr>& groups, const ColumnSortInput& input, const std::vector<std::uint32_t>& order)
{
    if (groups.size() != input.groups.size() || order.size() != input.files.size())
        return std::nullopt;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        if (groups[g].get() != input.groups[g])
            return std::nullopt;
    }
    // Only the groups whose files move are read, each checked and then put
    // in order while it is at hand. A group that fails the check puts the
    // ones before it back as they were.
    std::vector<FileInfoNodePtr> taken;
    std::vector<std::uint32_t> positions;
    const auto reorder = [&](std::size_t g, bool back) {
        const std::uint32_t begin = g == 0 ? 0 : input.ends[g - 1];
        positions.assign(order.begin() + begin, order.begin() + input.ends[g]);
        std::vector<FileInfoNodePtr>& files = groups[g]->filterChildren;
        taken.assign(std::make_move_iterator(files.begin()), std::make_move_iterator(files.end()));
        for (std::size_t i = 0; i < taken.size(); ++i) {
            if (back)
                files[positions[i] - begin] = std::move(taken[i]);
            else
                files[i] = std::move(taken[positions[i] - begin]);
        }
    };
    // The groups whose files move are found from the order alone; their
    // records, far apart in memory, are then asked for a few groups ahead of
    // the one at hand, so that the reads wait for memory side by side rather
    // than one after another.
    std::vector<std::size_t> moving;
    for (std::size_t g = 0, begin = 0; g < groups.size(); begin = input.ends[g++]) {
        for (std::size_t i = begin; i < input.ends[g]; ++i) {
            if (order[i] != i) {
                moving.push_back(g);
                break;
            }
        }
    }
    constexpr std::size_t groupsAhead = 16;
    constexpr std::size_t filesAhead = 8;
    for (std::size_t m = 0; m < moving.size(); ++m) {
        if (m + groupsAhead < moving.size())
            __builtin_prefetch(&groups[moving[m + groupsAhead]]->filterChildren);
        if (m + filesAhead < moving.size()) {
            if (const DuplicateGroup* ahead = groups[moving[m + filesAhead]].get())
                __builtin_prefetch(ahead->filterChildren.data());
        }
        const std::size_t g = moving[m];
        const std::uint32_t begin = g == 0 ? 0 : input.ends[g - 1];
        const std::uint32_t end = input.ends[g];
        const DuplicateGroup* group = groups[g].get();
        bool same = group && group->filterChildren.size() == end - begin;
        for (std::uint32_t i = begin; same && i < end; ++i)
            same = group->filterChildren[i - begin].get() == input.files[i] && order[i] >= begin && order[i] < end;
        if (!same) {
            for (std::size_t done = 0; done < m; ++done)
                reorder(moving[done], true);
            return std::nullopt;
        }
        reorder(g, false);
    }
    return moving;
}

bool filesRiseByColumn(SortColumn column, bool ascending)
{
    return column == SortColumn::filePath ? ascending : !ascending;
}

bool filesSortedByColumn(const std::vector<FileInfoNodePtr>& files, SortColumn column, bool ascending)
{
    // A file whose text is the very text of the file before it ties with
    // it, so its key is not made; any other key is made once and compared
    // with the next one's.
    const auto sameText = [column](const FileInfoNode* a, const FileInfoNode* b) {
        return readsText(column) && a && b && a->fileName && b->fileName && *a->fileName == *b->fileName;
    };
    std::optional<FileKey> previous;
    for (std::size_t i = 1; i < files.size(); ++i) {
        const FileInfoNode* before = files[i - 1].get();
        const FileInfoNode* file = files[i].get();
        if (sameText(before, file))
            continue;
        if (!previous)
            previous = fileKey(before, column);
        FileKey key = fileKey(file, column);
        if (sortsBefore(key, *previous, column, ascending))
            return false;
        previous = std::move(key);
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
