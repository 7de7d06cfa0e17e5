// The script evaluator over a 1 MB page made of many script blocks, links and script calls, in
// the order the page analysis runs it: preparation (global variables), the attribute expressions
// the link scanner hands over, both navigation targets, and the call sites.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "analysis/JsClass.h"

namespace {

constexpr char kStart[] = "http://h/index.html";
constexpr char kPage[] = "http://h/a/list.html";

// One piece of a script-heavy listing page, numbered so that names and URLs differ.
std::string Piece(int i) {
  const std::string n = std::to_string(i);
  return "<div class=\"row\"><p>Entry " + n +
         " of the listing, with a few words of text around its links.</p>\r\n"
         "<script language=\"javascript\">var u" +
         n + "='doc/p" + n +
         ".html';\r\n"
         "function show" +
         n + "(id){ window.open('view.asp?cat=" + n +
         "&id='+id); }\r\n"
         "function row" +
         n +
         "(id){ document.write('<a href=\"item.asp?id='+id+'\">more</a>'); }\r\n"
         "</script>\r\n"
         "<a href=\"javascript:show" +
         n + "(" + n +
         ")\">open</a> "
         "<a href=\"javascript:show0(" +
         n +
         ")\">first</a> "
         "<a onclick=\"window.open('pics/p" +
         n +
         ".html','w')\">pic</a> "
         "<a href=\"plain" +
         n + ".html\">plain</a></div>\r\n";
}

std::string MakePage(std::size_t bytes, int& pieces) {
  std::string page = "<html><head><title>listing</title></head><body>\r\n";
  pieces = 0;
  while (page.size() < bytes) page += Piece(pieces++);
  page += "</body></html>\r\n";
  return page;
}

// state.range(0): 1 when the expressions name a parameter of the page's first function (the walk
// for the enclosing function ends there), 0 when they name nothing (every walk crosses the page).
void BM_EvaluatePage(benchmark::State& state) {
  const char* expr = state.range(0) ? "item.asp?id='+id+'" : "list.asp?p='+page+'";
  int pieces = 0;
  const std::string original = MakePage(1 << 20, pieces);
  qm::TJsClass js;
  std::size_t listed = 0;
  for (auto _ : state) {
    std::string page = original;
    js.Prepare(nullptr, kStart, kPage, page);
    // The link scanner hands over every attribute value holding "+" or "{$".
    for (int i = 0; i < pieces; ++i) {
      qm::TFunctionRecord record;
      record.Expr = expr;
      if (js.EvalExpr(record)) js.AddFunction(record, true);
    }
    js.ScanPageScripts("window.open");
    js.ScanPageScripts("document.location");
    std::vector<std::string> urls;
    js.ApplyFunctions(urls);
    listed = urls.size();
    benchmark::DoNotOptimize(page.data());
  }
  state.counters["pieces"] = pieces;
  state.counters["listed"] = static_cast<double>(listed);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(original.size()));
}
BENCHMARK(BM_EvaluatePage)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

}  // namespace
