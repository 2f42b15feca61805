// Replay of about 3 MB of transaction logs (40 entries of dirty pages, one
// split into LOG1 and LOG2) onto a 12 MB hive, against the copy of the hive
// that any replay makes first.
//
//   hive_log_benchmark --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "hive_log_replay.h"
#include "support/hive_log_writer.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kHiveBins = 3000;  // 12 MB of hive bins, a real SYSTEM hive's size
constexpr std::size_t kChangedPages = 700;
constexpr std::size_t kAddedBins = 64;

struct Scenario {
    test::DirtyHive dirty;
    std::vector<host::HiveLogFile> logs;
    std::size_t nLogBytes = 0;
};

const Scenario& GetScenario() {
    static const Scenario s_scenario = [] {
        Scenario scenario;
        const test::HiveBytes oldHive = test::MakeSyntheticHive(kHiveBins, 1, 100);
        test::HiveBytes newHive = test::MakeSyntheticHive(kHiveBins + kAddedBins, 1, 139);
        // Changes spread over the hive, as a session of device installs leaves them.
        for (std::size_t i = 0; i < kChangedPages; ++i) {
            const std::size_t page = i * kHiveBins / kChangedPages;
            newHive[host::kHiveBaseBlockSize + page * host::kHivePageSize + 100] ^= 0x5A;
        }
        test::HiveLogOptions options;
        options.nEntries = 40;
        options.nSecondLogFrom = 25;
        scenario.dirty = test::MakeDirtyHive(oldHive, newHive, options);
        for (std::size_t i = 0; i < scenario.dirty.logs.size(); ++i) {
            scenario.logs.push_back({"SYSTEM.LOG" + std::to_string(i + 1), scenario.dirty.logs[i]});
            scenario.nLogBytes += scenario.dirty.logs[i].size();
        }
        return scenario;
    }();
    return s_scenario;
}

void BM_ReplayLogs(benchmark::State& state) {
    const Scenario& scenario = GetScenario();
    const host::HiveReplayResult check = host::ReplayHiveLogs(scenario.dirty.hive, "SYSTEM", scenario.logs);
    if (check.outcome != host::HiveLogOutcome::Replayed || check.hive != scenario.dirty.expected) std::abort();
    for (auto _ : state) {
        host::HiveReplayResult result = host::ReplayHiveLogs(scenario.dirty.hive, "SYSTEM", scenario.logs);
        benchmark::DoNotOptimize(result.hive.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * scenario.nLogBytes));
    state.counters["log_MB"] = static_cast<double>(scenario.nLogBytes) / 1e6;
}
BENCHMARK(BM_ReplayLogs)->Unit(benchmark::kMillisecond);

void BM_CopyHive(benchmark::State& state) {
    const Scenario& scenario = GetScenario();
    for (auto _ : state) {
        std::vector<unsigned char> copy = scenario.dirty.hive;
        benchmark::DoNotOptimize(copy.data());
    }
}
BENCHMARK(BM_CopyHive)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
