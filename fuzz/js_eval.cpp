// Page text from a server is untrusted: whatever it holds, the script evaluator ends, and the URLs
// it lists are absolute, on the start host and without a fragment. The first line of the input
// also serves as an attribute expression, and the other expressions of the page (quoted values
// holding "+" or "{$") are evaluated as the link scanner would hand them over.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "analysis/JsClass.h"

namespace {

constexpr char kStart[] = "http://h/index.html";
constexpr char kPage[] = "http://h/a/list.html";

void Evaluate(qm::TJsClass& js, std::string expr) {
  qm::TFunctionRecord record;
  record.Expr = std::move(expr);
  if (js.EvalExpr(record)) js.AddFunction(record, true);
}

// Quoted attribute values that look like expressions, at most a few per page.
std::vector<std::string> QuotedExpressions(const std::string& text) {
  std::vector<std::string> out;
  std::size_t from = 0;
  while (out.size() < 16) {
    const std::size_t open = text.find('"', from);
    if (open == std::string::npos) break;
    const std::size_t close = text.find('"', open + 1);
    if (close == std::string::npos) break;
    std::string value = text.substr(open + 1, close - open - 1);
    if (value.find('+') != std::string::npos || value.find("{$") != std::string::npos)
      out.push_back(std::move(value));
    from = close + 1;
  }
  return out;
}

void CheckUrls(const std::vector<std::string>& urls) {
  for (const std::string& url : urls) {
    if (url.rfind("http://h", 0) != 0) std::abort();
    if (url.find('#') != std::string::npos) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string page(reinterpret_cast<const char*>(data), size);
  // One evaluator for every input, as a task keeps one for all its pages.
  static qm::TJsClass js;
  js.Prepare(nullptr, kStart, kPage, page);
  js.Reset();
  js.CollectGlobalVars(page);

  Evaluate(js, page.substr(0, page.find('\n')));
  for (std::string& expr : QuotedExpressions(page)) Evaluate(js, std::move(expr));

  js.ScanPageScripts("window.open");
  js.ScanPageScripts("document.location");
  std::vector<std::string> urls;
  js.ApplyFunctions(urls);
  CheckUrls(urls);

  // The same text as a script file of its own.
  qm::TJsClass file;
  std::string script(reinterpret_cast<const char*>(data), size);
  file.Prepare(nullptr, kStart, kPage, script);
  std::string found;
  script = file.ScanScript(script, "window.open", found);
  script = file.ScanScript(script, "document.location", found);
  std::vector<std::string> more;
  file.ApplyFunctions(more);
  CheckUrls(more);
  return 0;
}
