// The style and media link scan alone, as the page analysis runs it on every fetched page:
// - BM_StyleMediaScanManual: every page of the Apache HTTP Server manual (Debian's apache2-doc,
//   under /usr/share/doc/apache2-doc/manual; QM_BENCH_PAGES names another folder), each page's
//   URL in the table. MB/s is over the pages' bytes. Only the scans are timed, each page read
//   through just before (as the other scans of the analysis leave it in the cache). A page the
//   scan rewrites is put back before the next round, so every round scans the same bytes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "ManualFiles.h"
#include "analysis/StyleMediaLinks.h"
#include "task/Task.h"
#include "task/UrlRecord.h"

namespace {

using namespace qm;
namespace fs = std::filesystem;

struct TPage {
  std::string Url;
  std::string Text;
};

std::vector<TPage> ManualPages() {
  std::vector<TPage> pages;
  for (bench::TManualFile& file : bench::ManualFiles([](const fs::path& path) {
         return path.filename().string().find(".html") != std::string::npos;
       }))
    pages.push_back({"http://127.0.0.1:8080/manual/" + file.Path, std::move(file.Text)});
  return pages;
}

void BM_StyleMediaScanManual(benchmark::State& state) {
  static const std::vector<TPage> pages = ManualPages();
  if (pages.empty()) {
    state.SkipWithError("the manual is not installed (apt-get install apache2-doc)");
    return;
  }
  TTask task;
  std::vector<std::int32_t> entries;
  for (const TPage& page : pages) {
    TExtendUrlRec rec = EmptyUrlRec();
    rec.Url.Set(page.Url);
    rec.Status = Downloaded;
    rec.OwnBase = 1;
    entries.push_back(task.AddUrl(rec));
  }
  task.SetStartUrl(pages[0].Url);
  std::vector<TExtendUrlRec> records;
  for (std::int32_t entry : entries) records.push_back(task.CopyRecord(entry));

  std::vector<std::string> texts;
  std::size_t total = 0;
  for (const TPage& page : pages) {
    texts.push_back(page.Text);
    total += page.Text.size();
  }
  std::size_t rewritten = 0;
  std::size_t found = 0;
  std::size_t touched = 0;
  for (auto _ : state) {
    std::chrono::duration<double> spent{0};
    for (std::size_t i = 0; i < pages.size(); ++i) {
      // The analysis scans a page right after the other tag scans: it is in the cache.
      touched += static_cast<std::size_t>(std::count(texts[i].begin(), texts[i].end(), '<'));
      const auto start = std::chrono::steady_clock::now();
      bool changed = false;
      found += ScanStyleAndMediaLinks(task, pages[i].Url, pages[i].Url, texts[i], records[i],
                                      entries[i], &changed)
                   .size();
      spent += std::chrono::steady_clock::now() - start;
      if (changed) {
        texts[i] = pages[i].Text;
        ++rewritten;
      }
    }
    state.SetIterationTime(spent.count());
  }
  benchmark::DoNotOptimize(touched);
  state.SetBytesProcessed(static_cast<std::int64_t>(total * state.iterations()));
  state.counters["pages"] = static_cast<double>(pages.size());
  state.counters["rewritten"] =
      benchmark::Counter(static_cast<double>(rewritten), benchmark::Counter::kAvgIterations);
  state.counters["links"] =
      benchmark::Counter(static_cast<double>(found), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_StyleMediaScanManual)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace
