// Throughput of md5OfFile on a 256 MiB file that sits in the page cache, next
// to the system's md5sum reading the same file. Both numbers are bytes per
// second of wall time, so they compare directly.
#include "core/MD5.h"

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr qint64 fileSize = qint64(256) << 20;

// One file for every benchmark of the run, written once and read once so that
// every timed read comes from the page cache.
const QString& benchmarkFile()
{
    static QTemporaryDir dir(
        QString::fromLocal8Bit(
            qgetenv("VELLICOR_BENCH_DIR").isEmpty() ? QByteArray("/tmp") : qgetenv("VELLICOR_BENCH_DIR"))
        + QStringLiteral("/vellicor-bench-XXXXXX"));
    static const QString path = [] {
        const QString file = dir.filePath(QStringLiteral("data.bin"));
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            std::exit(1);
        }
        QByteArray block(1 << 20, Qt::Uninitialized);
        QRandomGenerator random(1321);
        for (qint64 written = 0; written < fileSize; written += block.size()) {
            random.fillRange(reinterpret_cast<quint32*>(block.data()), block.size() / 4);
            out.write(block);
        }
        out.close();
        const std::atomic<bool> noStop { false };
        md5OfFile(file, noStop);
        return file;
    }();
    return path;
}

void BM_md5OfFile(benchmark::State& state)
{
    const QString& path = benchmarkFile();
    const std::atomic<bool> noStop { false };
    for (auto _ : state) {
        std::optional<QString> digest = md5OfFile(path, noStop);
        if (!digest)
            state.SkipWithError("md5OfFile gave no digest");
        benchmark::DoNotOptimize(digest);
    }
    state.SetBytesProcessed(state.iterations() * fileSize);
}

void BM_md5sum(benchmark::State& state)
{
    const QByteArray path = QFile::encodeName(benchmarkFile());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    for (auto _ : state) {
        char program[] = "md5sum";
        char* argv[] = { program, const_cast<char*>(path.constData()), nullptr };
        pid_t child = 0;
        int status = 0;
        if (posix_spawnp(&child, program, &actions, nullptr, argv, environ) != 0 || waitpid(child, &status, 0) != child
            || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("md5sum did not run");
            break;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    state.SetBytesProcessed(state.iterations() * fileSize);
}

} // namespace

BENCHMARK(BM_md5OfFile)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);
BENCHMARK(BM_md5sum)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

BENCHMARK_MAIN();
