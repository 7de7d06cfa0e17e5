// Calls per second of the URL functions the link scanner and the workers call for every link.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "url/UrlLib.h"

namespace {

const std::vector<std::string>& SampleUrls() {
  static const std::vector<std::string> urls = {
      "http://www.site.test/",
      "http://www.site.test/news/2004/06/article_1234.html",
      "http://www.site.test:8080/cgi-bin/list.php?cat=3&page=12&sort=date",
      "http://img.site.test/pics/thumbs/%D6%D0%CE%C4/photo%20001.jpg",
      "http://www.site.test/a/b/c/d/e/f/deep.htm",
      "http://www.site.test/download/setup.exe",
  };
  return urls;
}

void BM_SplitUrl(benchmark::State& state) {
  const auto& urls = SampleUrls();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(qm::SplitUrl(urls[i++ % urls.size()]));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SplitUrl);

void BM_MakeAbsoluteUrl(benchmark::State& state) {
  const std::vector<std::string> links = {"img/a.gif",
                                          "../../x.html",
                                          "/style/main.css",
                                          "list.asp?x=1&amp;y=2",
                                          "http://other.test/y.htm",
                                          "javascript:go()",
                                          "my page.html"};
  const std::string base = "http://www.site.test/news/2004/06/article_1234.html";
  std::string out;
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(qm::MakeAbsoluteUrl(links[i++ % links.size()], base, out));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MakeAbsoluteUrl);

void BM_RelativeLocalPath(benchmark::State& state) {
  const auto& urls = SampleUrls();
  const std::string page = "http://www.site.test/news/2004/06/article_1234.html";
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(qm::RelativeLocalPath(urls[i++ % urls.size()], page));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RelativeLocalPath);

// A page of about 1 MB of markup; the scanner looks for tag names and attributes in it.
std::string LargePage() {
  std::string page;
  while (page.size() < (1u << 20))
    page +=
        "<tr><td class=\"Item\"><a title=\"Some text\" onclick=\"return go(this)\">Entry with "
        "some words in it</a></td><td><IMG Alt=\"x\" width=12 height=12></td></tr>\n";
  page += "<iframe src=\"last.html\"></iframe>";
  return page;
}

void BM_PosTextLargePage(benchmark::State& state) {
  const std::string page = LargePage();
  const char* patterns[] = {"<iframe", "SRC="};
  const char* pattern = patterns[state.range(0)];
  for (auto _ : state) {
    benchmark::DoNotOptimize(qm::PosText(pattern, page, 1));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_PosTextLargePage)->Arg(0)->Arg(1);

void BM_PosTextEveryTag(benchmark::State& state) {
  // The scanner's pattern: find every occurrence of a tag name, one after the other.
  const std::string page = LargePage();
  for (auto _ : state) {
    std::size_t count = 0;
    for (std::size_t at = qm::PosText("<img", page, 1); at != 0;
         at = qm::PosText("<img", page, at + 1))
      ++count;
    benchmark::DoNotOptimize(count);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * page.size()));
}
BENCHMARK(BM_PosTextEveryTag);

}  // namespace
