// Cookie strings and Set-Cookie lines from servers are untrusted: whatever they hold, a cookie
// list keeps one non-empty name per line, and its joined form parses back to the same names.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "engine/CookiesApi.h"
#include "engine/HttpClient.h"

namespace {

void CheckList(const qm::TCookieList& list) {
  std::set<std::string> names;
  for (const std::string& line : list) {
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == line.size()) std::abort();
    if (!names.insert(line.substr(0, eq)).second) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  qm::TCookieList list;
  qm::ParseCookieString(text, list);
  CheckList(list);

  // The same bytes as the header lines of a response.
  qm::THttpResponse response;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = text.find('\n', start);
    response.RawHeaders.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  qm::MergeSetCookies(response, list);
  CheckList(list);
  (void)qm::JoinCookies(list);
  return 0;
}
