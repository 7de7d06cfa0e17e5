// Adding and finding URLs in a task's table: a balanced site, and a site whose URLs all fall
// under one directory node (list.php?id=1 ... list.php?id=N), which must cost the same per URL.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "task/Task.h"

namespace {

using qm::TExtendUrlRec;

std::vector<std::string> BalancedSite(int n) {
  // 100 directories of 100 subdirectories, ~N/10000 pages in each.
  std::vector<std::string> urls;
  urls.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    urls.push_back("http://www.example.com/section" + std::to_string(i % 100) + "/part" +
                   std::to_string((i / 100) % 100) + "/page" + std::to_string(i) + ".html");
  }
  return urls;
}

std::vector<std::string> OneDirectorySite(int n) {
  std::vector<std::string> urls;
  urls.reserve(static_cast<std::size_t>(n));
  for (int i = 1; i <= n; ++i)
    urls.push_back("http://www.example.com/list.php?id=" + std::to_string(i));
  return urls;
}

void AddThenFind(benchmark::State& state, const std::vector<std::string>& urls) {
  TExtendUrlRec rec = qm::EmptyUrlRec();
  rec.OwnBase = 1;
  for (auto _ : state) {
    auto task = std::make_unique<qm::TTask>();
    for (const std::string& url : urls) {
      rec.Url.Set(url);
      benchmark::DoNotOptimize(task->AddUrl(rec));
    }
    for (const std::string& url : urls) {
      if (task->FindUrl(url) < 0) state.SkipWithError("an added URL was not found");
    }
    state.PauseTiming();  // freeing the table is not part of the work
    task.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(urls.size()));
  state.counters["ns_per_url"] = benchmark::Counter(
      static_cast<double>(state.iterations() * static_cast<std::int64_t>(urls.size())),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_AddFind_Balanced(benchmark::State& state) {
  const auto urls = BalancedSite(static_cast<int>(state.range(0)));
  AddThenFind(state, urls);
}

void BM_AddFind_OneDirectory(benchmark::State& state) {
  const auto urls = OneDirectorySite(static_cast<int>(state.range(0)));
  AddThenFind(state, urls);
}

BENCHMARK(BM_AddFind_Balanced)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);
BENCHMARK(BM_AddFind_OneDirectory)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace
