#pragma once
// Shared pieces of the script evaluator tests: a page on a start host, and a tiny interpreter of
// the string expressions the evaluator writes, to check what the saved page would compute.
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>

#include "analysis/JsClass.h"

namespace qm::test {

inline constexpr std::string_view kStartUrl = "http://h/index.html";
inline constexpr std::string_view kPageUrl = "http://h/a/list.html";

// An evaluator prepared for a page at kPageUrl, as the page analysis prepares it.
struct JsPage {
  explicit JsPage(std::string text) : Text(std::move(text)) {
    Js.Prepare(nullptr, kStartUrl, kPageUrl, Text);
  }
  std::string Text;
  TJsClass Js;
};

// Value of a script string expression: quoted pieces joined by "+" (quotes respected), names
// taken from `names`, and {$name} placeholders of a template replaced. Throws on an unknown name.
inline std::string RunExpr(std::string_view expr, const std::map<std::string, std::string>& names,
                           bool templateText = false) {
  auto value = [&](std::string_view name) {
    auto it = names.find(std::string(name));
    if (it == names.end()) throw std::runtime_error("unknown name " + std::string(name));
    return it->second;
  };
  std::string out;
  if (templateText) {
    for (std::size_t i = 0; i < expr.size(); ++i) {
      if (expr.substr(i, 2) == "{$") {
        const std::size_t close = expr.find('}', i);
        out += value(expr.substr(i + 2, close - i - 2));
        i = close;
      } else {
        out += expr[i];
      }
    }
    return out;
  }
  std::size_t i = 0;
  while (i < expr.size()) {
    while (i < expr.size() && (expr[i] == ' ' || expr[i] == '+')) ++i;
    if (i >= expr.size()) break;
    if (expr[i] == '\'' || expr[i] == '"') {
      const std::size_t close = expr.find(expr[i], i + 1);
      if (close == std::string_view::npos) throw std::runtime_error("open string");
      out += expr.substr(i + 1, close - i - 1);
      i = close + 1;
    } else {
      std::size_t end = i;
      while (end < expr.size() && expr[end] != '+' && expr[end] != ' ') ++end;
      out += value(expr.substr(i, end - i));
      i = end;
    }
  }
  return out;
}

}  // namespace qm::test
