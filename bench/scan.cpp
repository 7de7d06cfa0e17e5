// Throughput of the tag scans over one page, all kinds in the order the page analysis runs them:
// real documentation pages (the installed debian-reference manual when present, else the samples
// in bench/data) and a synthetic 5 MB page with 50,000 tags.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "analysis/JsClass.h"
#include "analysis/LinkScanner.h"
#include "task/Task.h"
#include "task/UrlRecord.h"

namespace {

using namespace qm;

const char* const kPageUrl = "http://www.site.test/doc/manual/page.html";

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The pages of the real-world corpus, largest first.
std::vector<std::string> RealPages() {
  std::vector<std::filesystem::path> files;
  const std::filesystem::path installed = "/usr/share/debian-reference";
  std::error_code ec;
  if (std::filesystem::is_directory(installed, ec)) {
    for (const auto& e : std::filesystem::directory_iterator(installed, ec))
      if (e.path().extension() == ".html" && e.file_size() > 100000) files.push_back(e.path());
  }
  if (files.empty()) {
    for (const auto& e : std::filesystem::directory_iterator(QM_BENCH_DATA_DIR, ec))
      if (e.path().extension() == ".html") files.push_back(e.path());
  }
  std::vector<std::string> pages;
  for (const auto& f : files) pages.push_back(ReadFile(f));
  return pages;
}

// About 100 bytes per tag: text, images, anchors (some with fragments, queries or other hosts),
// style links, scripts, backgrounds, refreshes, frames and areas. Each link target occurs
// `repeats` times, spread over the page.
std::string SyntheticPage(std::size_t tags, std::size_t repeats) {
  const std::size_t distinct = std::max<std::size_t>(1, tags / repeats);
  std::string page = "<html><head><title>synthetic</title>\r\n";
  page.reserve(tags * 104);
  for (std::size_t i = 0; page.size() < tags * 100 || i < tags; ++i) {
    const std::string n = std::to_string(i % distinct);
    switch (i % 10) {
      case 0:
        page += "<p>Lorem ipsum dolor sit amet " + n + ", consectetur adipiscing.</p>\r\n";
        break;
      case 1:
        page += "<img src=\"img/p" + n + ".gif\" alt=\"picture " + n + "\" border=0>\r\n";
        break;
      case 2:
        page += "<a href=\"../sec/s" + n + ".html#part\">section " + n + "</a> text\r\n";
        break;
      case 3:
        page += "<A HREF=\"http://other.test/x/" + n + ".html\">elsewhere</A> more\r\n";
        break;
      case 4:
        page += "<a href=\"list.php?id=" + n + "&amp;p=2\">list</a> and more words\r\n";
        break;
      case 5:
        page += "<td background=\"bg/" + n + ".jpg\" width=10>cell text here</td>\r\n";
        break;
      case 6:
        page += "<link rel=\"stylesheet\" href=\"css/s" + n + ".css\" type=\"text/css\">\r\n";
        break;
      case 7:
        page += "<script src=\"js/s" + n + ".js\" type=\"text/javascript\"></script>\r\n";
        break;
      case 8:
        page += "<IMG SRC=http://www.site.test/doc/i/" + n + ".png WIDTH=5>\r\n";
        break;
      case 9:
        page += "<area shape=rect href=\"map/m" + n + ".html\"><frame src=\"f" + n + ".html\">\r\n";
        break;
    }
  }
  page += "</body></html>\r\n";
  return page;
}

// A task whose table already holds some of the links, as the pages of a running task see it.
std::unique_ptr<TTask> MakeTask() {
  auto task = std::make_unique<TTask>();
  task->SetStartUrl("http://www.site.test/doc/index.html");
  task->Script = std::make_shared<TJsClass>();
  for (int i = 0; i < 2000; i += 2) {
    TExtendUrlRec rec = EmptyUrlRec();
    rec.Url.Set("http://www.site.test/doc/manual/img/p" + std::to_string(i) + ".gif");
    task->AddUrl(rec);
  }
  return task;
}

// Every scan of one page in the analysis order, the link list cleared after each group.
void ScanPage(TTask& task, std::string& page, TLinkList& links, TScanScratch& scratch) {
  ScanImages(task, kPageUrl, page, links, scratch);
  ScanBackgrounds(task, kPageUrl, page, links, scratch);
  ScanInputs(task, kPageUrl, page, links, scratch);
  ScanEmbeds(task, kPageUrl, page, links, scratch);
  links.clear();
  ScanScripts(task, kPageUrl, page, links, scratch);
  links.clear();
  ScanLinks(task, kPageUrl, page, links, scratch);
  ScanFrames(task, kPageUrl, page, links, scratch);
  ScanIFrames(task, kPageUrl, page, links, scratch);
  ScanMetaRefresh(task, kPageUrl, page, links, scratch);
  links.clear();
  ScanAnchors(task, kPageUrl, page, links, task.Settings().Scope, scratch);
  ScanAreas(task, kPageUrl, page, links, task.Settings().Scope, scratch);
  links.clear();
}

void RunScans(benchmark::State& state, const std::vector<std::string>& pages) {
  auto task = MakeTask();
  TLinkList links;
  TScanScratch scratch;
  std::string page;
  std::size_t bytes = 0;
  for (auto _ : state) {
    for (const std::string& original : pages) {
      state.PauseTiming();
      page = original;
      task->Script->Prepare(task.get(), task->StartUrl(), kPageUrl, page);
      state.ResumeTiming();
      ScanPage(*task, page, links, scratch);
      benchmark::DoNotOptimize(page.data());
      bytes += original.size();
    }
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}

void BM_ScanRealPages(benchmark::State& state) {
  static const std::vector<std::string> pages = RealPages();
  if (pages.empty()) {
    state.SkipWithError("no pages found");
    return;
  }
  RunScans(state, pages);
}
BENCHMARK(BM_ScanRealPages)->Unit(benchmark::kMillisecond);

void BM_ScanSynthetic(benchmark::State& state) {
  const std::vector<std::string> pages = {SyntheticPage(static_cast<std::size_t>(state.range(0)),
                                                        static_cast<std::size_t>(state.range(1)))};
  state.counters["page_bytes"] = static_cast<double>(pages[0].size());
  RunScans(state, pages);
}
// 50,000 tags make about 5 MB; the smaller size shows that the cost grows linearly. Links repeat
// 10 times (as navigation links do), or never (every tag a new link: the costliest page).
BENCHMARK(BM_ScanSynthetic)
    ->ArgsProduct({{5000, 50000}, {10, 1}})
    ->ArgNames({"tags", "repeats"})
    ->Unit(benchmark::kMillisecond);

}  // namespace
