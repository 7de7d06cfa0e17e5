// The page analysis on one core, as the analysis thread runs it for every fetched page: load of
// the temporary file, all tag groups, the script evaluator, the rewrite and the save (files on
// /dev/shm, so that the disk does not count).
// - BM_AnalyseManual: every page of the Apache HTTP Server manual (Debian's apache2-doc, found
//   under /usr/share/doc/apache2-doc/manual; QM_BENCH_PAGES names another folder). MB/s is over
//   the pages' bytes.
// - BM_AnalyseScriptPage/k: one page whose one script block declares k functions that pass a URL
//   built from their parameter to window.open, each called once. The functions are named open0,
//   open1, ... open<k-1>; a call is found by its function's name, so open1 also answers at the
//   calls of open12 and open123, and the links a page yields per function grow with the digits of
//   k (the "links" counter). The time per link should not grow with k.
// - BM_AnalyseScriptPageSameWidth/k: the same page with names of one width (open0001, ...), where
//   no name starts another: one link per function, and the time per byte should not grow with k.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ManualFiles.h"
#include "analysis/JsClass.h"
#include "analysis/ParseThread.h"
#include "platform/Files.h"
#include "platform/Pacing.h"
#include "task/Task.h"
#include "url/UrlLib.h"

namespace {

using namespace qm;
namespace fs = std::filesystem;

constexpr char kHost[] = "http://127.0.0.1:8080/";

struct TPage {
  std::string Path;  // below the host, "/"-separated
  std::string Text;
  bool Script = false;
};

std::vector<TPage> ManualPages() {
  std::vector<TPage> pages;
  for (bench::TManualFile& file : bench::ManualFiles([](const fs::path& path) {
         return path.extension() == ".js" ||
                path.filename().string().find(".html") != std::string::npos;
       })) {
    const bool script = file.Native.extension() == ".js";
    TPage page{"manual/" + file.Path, std::move(file.Text), script};
    // Script files first, as a page finds its script file fetched in a real run.
    if (script) {
      pages.insert(pages.begin(), std::move(page));
    } else {
      pages.push_back(std::move(page));
    }
  }
  return pages;
}

// k functions in one script block, each opening a URL built from its parameter, and one call of
// each in a link.
// `width` 0: names as numbers are written; else numbers padded with zeros to that width.
std::string ScriptPage(int k, int width = 0) {
  std::string page =
      "<html><head><title>script page</title>\r\n<script language=\"javascript\">\r\n";
  const auto number = [width](int i) {
    std::string n = std::to_string(i);
    if (static_cast<int>(n.size()) < width)
      n.insert(0, static_cast<std::size_t>(width) - n.size(), '0');
    return n;
  };
  for (int i = 0; i < k; ++i) {
    const std::string n = number(i);
    page += "function open" + n + "(id){ window.open('item" + n + ".asp?id='+id); }\r\n";
  }
  page += "</script></head><body>\r\n";
  for (int i = 0; i < k; ++i) {
    const std::string n = number(i);
    page += "<a href=\"javascript:open" + n + "(" + n + ")\">item " + n + "</a><br>\r\n";
  }
  page += "</body></html>\r\n";
  return page;
}

// A folder on /dev/shm for one benchmark, removed at the end.
class TScratchFolder {
 public:
  TScratchFolder() {
    native_ = "/dev/shm/qm-bench-analysis-" + std::to_string(::getpid()) + "/";
    fs::create_directories(native_);
  }
  ~TScratchFolder() {
    std::error_code ec;
    fs::remove_all(native_, ec);
  }
  // The task folder in the program's own form ("\"-separated, ending in "\").
  std::string TaskFolder() const {
    std::string folder = native_;
    for (char& c : folder)
      if (c == '/') c = '\\';
    return folder;
  }

 private:
  std::string native_;
};

// A task whose table holds the pages as fetched (Downloaded, the bytes in their ".tmp" files).
std::unique_ptr<TTask> FetchedTask(const std::string& folder, const std::vector<TPage>& pages,
                                   std::vector<std::int32_t>& entries) {
  auto task = std::make_unique<TTask>();
  task->Folder = folder;
  task->Script = std::make_shared<TJsClass>();
  for (std::size_t i = 0; i < pages.size(); ++i) {
    TExtendUrlRec rec = EmptyUrlRec();
    const std::string url = kHost + pages[i].Path;
    rec.Url.Set(url);
    rec.Status = Downloaded;
    rec.Size = static_cast<std::int32_t>(pages[i].Text.size());
    rec.OwnBase = 1;
    rec.ContentKind = pages[i].Script ? KindScript : 0;
    entries.push_back(task->AddUrl(rec));
    const std::string local = LocalPathOf(folder, url);
    ForceDirs(local.substr(0, local.rfind('\\') + 1));
    WriteWholeFile(NativePath(local + ".tmp"), pages[i].Text);
    // As in a new copy: no saved file from the previous round.
    DeleteFileAt(NativePath(local));
  }
  task->SetStartUrl(task->GetUrl(0));
  return task;
}

void AnalyseAll(benchmark::State& state, const std::vector<TPage>& pages) {
  SetPacingFactor(0);
  TScratchFolder scratch;
  std::size_t bytes = 0;
  std::size_t unsaved = 0;
  std::size_t links = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<std::int32_t> entries;
    auto task = FetchedTask(scratch.TaskFolder(), pages, entries);
    // Stopped: the thread's own walk ends at once, the pages are analysed here, on this thread.
    auto analysis = std::make_unique<ParseThread>(*task);
    analysis->WaitFor();
    state.ResumeTiming();
    for (std::size_t i = 0; i < pages.size(); ++i) {
      analysis->Analyse(entries[i]);
      bytes += pages[i].Text.size();
    }
    state.PauseTiming();
    for (std::size_t i = 0; i < pages.size(); ++i)
      if (task->GetStatus(entries[i]) != Saved) ++unsaved;
    links += static_cast<std::size_t>(task->GetCount()) - entries.size();
    analysis.reset();
    task.reset();
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.counters["unsaved"] = static_cast<double>(unsaved);
  state.counters["links"] =
      benchmark::Counter(static_cast<double>(links), benchmark::Counter::kAvgIterations);
  SetPacingFactor(1);
}

void BM_AnalyseManual(benchmark::State& state) {
  static const std::vector<TPage> pages = ManualPages();
  if (pages.empty()) {
    state.SkipWithError("the manual is not installed (apt-get install apache2-doc)");
    return;
  }
  std::size_t total = 0;
  for (const TPage& p : pages) total += p.Text.size();
  state.counters["pages"] = static_cast<double>(pages.size());
  state.counters["MB"] = static_cast<double>(total) / 1e6;
  AnalyseAll(state, pages);
}
BENCHMARK(BM_AnalyseManual)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_AnalyseScriptPage(benchmark::State& state) {
  const std::vector<TPage> pages = {
      {"scripts/page.html", ScriptPage(static_cast<int>(state.range(0)))}};
  state.counters["page_KB"] = static_cast<double>(pages[0].Text.size()) / 1024.0;
  AnalyseAll(state, pages);
}
BENCHMARK(BM_AnalyseScriptPage)
    ->Arg(500)
    ->Arg(2000)
    ->Arg(8000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_AnalyseScriptPageSameWidth(benchmark::State& state) {
  const std::vector<TPage> pages = {
      {"scripts/page.html", ScriptPage(static_cast<int>(state.range(0)), 5)}};
  state.counters["page_KB"] = static_cast<double>(pages[0].Text.size()) / 1024.0;
  AnalyseAll(state, pages);
}
BENCHMARK(BM_AnalyseScriptPageSameWidth)
    ->Arg(400)  // about 40 KB
    ->Arg(2000)
    ->Arg(6000)  // about 700 KB
    ->Arg(8000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
