// Groups 1 000 000 synthetic records into 100 000 groups of ten. Every digest
// is final already (as if taken from the cache), so the figures are those of
// the grouping alone: size groups, the indexed group search, counters and the
// hand-over of pending digests.
#include "scan/Comparison.h"

#include <QDateTime>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>

namespace {

constexpr int recordCount = 1'000'000;
constexpr int groupCount = 100'000;

// Never asked: every record's digest is final.
class NoHasher : public FileHasher {
public:
    std::optional<QString> md5OfFile(const QString&, const std::atomic<bool>&) const override { return {}; }
    std::optional<QString> md5OfFirstBytes(const QString&, qint64, const std::atomic<bool>&) const override
    {
        return {};
    }
    std::optional<QString> md5OfPackageContents(const QString&, const std::atomic<bool>&) const override { return {}; }
};

// Group g holds records g, g + groupCount, …; two groups share each size, and
// the members of a group are spread over the whole found order.
const std::vector<FileInfoNodePtr>& records()
{
    static const std::vector<FileInfoNodePtr> made = [] {
        std::vector<FileInfoNodePtr> list;
        list.reserve(recordCount);
        for (int i = 0; i < recordCount; ++i) {
            const int group = i % groupCount;
            auto record = std::make_shared<FileInfoNode>();
            record->filePath = QStringLiteral("/data/%1/%2.jpg").arg(group).arg(i);
            record->fileName = QStringLiteral("photo%1.jpg").arg(group);
            record->fileSize = 1000 + quint64(group / 2);
            record->md5 = QStringLiteral("%1").arg(group, 32, 16, QLatin1Char('0'));
            record->isMd5Calucaluted = true;
            record->modDate = QDateTime::fromSecsSinceEpoch(1600000000 + group, Qt::UTC);
            list.push_back(std::move(record));
        }
        std::shuffle(list.begin(), list.end(), std::mt19937(42));
        return list;
    }();
    return made;
}

void runComparison(benchmark::State& state, const ComparisonSettings& settings)
{
    const auto& input = records();
    NoHasher hasher;
    std::atomic<bool> abort { false };
    for (auto _ : state) {
        ScanCounters counters;
        Comparison comparison(hasher, counters, abort);
        std::size_t saved = 0;
        comparison.setSaveDigests(
            [&](const std::vector<FileInfoNodePtr>& batch, const auto&) { saved += batch.size(); });
        const auto groups = comparison.searchDuplicateLocalFiles(input, ScanSource::thisComputer, settings);
        if (groups.size() != groupCount || counters.countDup != recordCount - groupCount)
            state.SkipWithError("wrong groups");
        benchmark::DoNotOptimize(saved);
    }
    state.SetItemsProcessed(state.iterations() * recordCount);
}

void BM_ContentRoad(benchmark::State& state)
{
    runComparison(state, { ComparisonCriteria {}, true, 1, 0 });
}

void BM_ContentRoadSameName(benchmark::State& state)
{
    runComparison(state, { ComparisonCriteria::fromSearchOptions({ 1 }), true, 1, 0 });
}

void BM_AttributeRoadSizeAndSameName(benchmark::State& state)
{
    runComparison(state, { ComparisonCriteria::fromSearchOptions({ 3, 1 }), false, 1, 0 });
}

} // namespace

// Dates are no meeting key: this measures the search by date signature.
void BM_AttributeRoadModificationDate(benchmark::State& state)
{
    runComparison(state, { ComparisonCriteria::fromSearchOptions({ 5 }), false, 1, 0 });
}

BENCHMARK(BM_ContentRoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ContentRoadSameName)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AttributeRoadSizeAndSameName)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AttributeRoadModificationDate)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
