// The results screen's re-sorts and category filter over 100,000 groups of
// two to four files, as the sort button, the category buttons and the list
// view's column headers run them on the GUI thread.
#include "marking/GroupSorting.h"
#include "marking/ResultsState.h"

#include <benchmark/benchmark.h>

#include <random>

namespace {

constexpr int groupCount = 100'000;

std::vector<DuplicateGroupPtr> makeGroups()
{
    std::mt19937 random(22);
    std::vector<DuplicateGroupPtr> groups;
    groups.reserve(groupCount);
    for (int g = 0; g < groupCount; ++g) {
        auto group = std::make_shared<DuplicateGroup>();
        const quint64 size = 1000 + random() % 5000;
        for (unsigned i = 0, n = 2 + random() % 3; i < n; ++i) {
            auto file = std::make_shared<FileInfoNode>();
            file->fileName = QStringLiteral("Photo %1.%2").arg(random() % 50000).arg(i % 2 ? "jpg" : "png");
            file->filePath = QStringLiteral("/data/%1/%2").arg(g % 300).arg(*file->fileName);
            file->fileSize = size;
            file->fileCategory = i % 2 ? GlobalObjects::FileCategory::Pic : GlobalObjects::FileCategory::Doc;
            if (random() % 4)
                file->modDate = QDateTime::fromSecsSinceEpoch(1600000000 + random() % 1000000, Qt::UTC);
            file->state = i == 1;
            addFileToGroup(group, file);
        }
        groups.push_back(std::move(group));
    }
    return groups;
}

void BM_SortGroups(benchmark::State& state)
{
    const auto groups = makeGroups();
    const auto type = static_cast<GlobalObjects::SortType>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(sortGroupsBy(groups, type, GlobalObjects::SortOrder::sortAsecending));
}
BENCHMARK(BM_SortGroups)->Arg(0)->Arg(2)->Arg(3)->Arg(4)->Unit(benchmark::kMillisecond);

void BM_ColumnSort(benchmark::State& state)
{
    ResultsState results(nullptr);
    results.loadResultSet(makeGroups(), 0, ScanSource::thisComputer);
    bool ascending = false;
    const QString key = state.range(0) ? QStringLiteral("modDate") : QStringLiteral("fileName");
    for (auto _ : state)
        results.sortDescriptorsDidChange(SortDescriptor { key, ascending = !ascending });
}
BENCHMARK(BM_ColumnSort)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_CategorySwitch(benchmark::State& state)
{
    ResultsState results(nullptr);
    results.loadResultSet(makeGroups(), 0, ScanSource::thisComputer);
    for (auto _ : state) {
        results.selectCategory(GlobalObjects::FileCategory::Pic);
        results.btnShowAllItems();
    }
}
BENCHMARK(BM_CategorySwitch)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
