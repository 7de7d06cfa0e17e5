#include "engine/CookiesApi.h"

#include <cstdlib>
#include <ctime>
#include <fstream>

#include "engine/HttpClient.h"
#include "platform/AsciiText.h"

namespace qm {
namespace {

std::vector<std::string_view> SplitTabs(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(
        line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  return fields;
}

struct UrlParts {
  bool Secure = false;
  std::string Host;  // lower case, without port
  std::string Path;  // begins with "/"
};

bool ParseUrlParts(std::string_view url, UrlParts& out) {
  url = TrimBlanks(url);
  const std::string lower = AsciiLowerCase(url.substr(0, 8));
  std::size_t rest;
  if (lower.rfind("http://", 0) == 0) {
    rest = 7;
  } else if (lower.rfind("https://", 0) == 0) {
    rest = 8;
    out.Secure = true;
  } else {
    return false;
  }
  url.remove_prefix(rest);
  const std::size_t end = url.find_first_of("/?#");
  std::string_view authority = url.substr(0, end);
  if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos)
    authority.remove_prefix(at + 1);
  if (const std::size_t colon = authority.find(':'); colon != std::string_view::npos)
    authority = authority.substr(0, colon);
  out.Host = AsciiLowerCase(authority);
  std::string_view path = end == std::string_view::npos ? "" : url.substr(end);
  path = path.substr(0, path.find_first_of("?#"));
  out.Path = path.empty() ? "/" : std::string(path);
  return !out.Host.empty();
}

bool DomainMatches(const std::string& host, std::string domain, bool subdomains) {
  domain = AsciiLowerCase(domain);
  if (!domain.empty() && domain.front() == '.') {
    domain.erase(0, 1);
    subdomains = true;
  }
  if (host == domain) return true;
  return subdomains && host.size() > domain.size() &&
         host.compare(host.size() - domain.size(), domain.size(), domain) == 0 &&
         host[host.size() - domain.size() - 1] == '.';
}

bool PathMatches(const std::string& path, std::string_view cookiePath) {
  if (cookiePath.empty() || cookiePath == "/") return true;
  if (path.compare(0, cookiePath.size(), cookiePath) != 0) return false;
  return path.size() == cookiePath.size() || cookiePath.back() == '/' ||
         path[cookiePath.size()] == '/';
}

}  // namespace

void SetCookieValue(TCookieList& list, std::string_view name, std::string_view value) {
  if (name.empty()) return;  // a line without a name could never be replaced or removed
  for (auto it = list.begin(); it != list.end(); ++it) {
    const std::size_t eq = it->find('=');
    if (std::string_view(*it).substr(0, eq) != name) continue;
    if (value.empty())
      list.erase(it);
    else
      *it = std::string(name) + "=" + std::string(value);
    return;
  }
  if (!value.empty()) list.push_back(std::string(name) + "=" + std::string(value));
}

void ParseCookiePair(std::string_view pair, TCookieList& list) {
  const std::size_t eq = pair.find('=');
  if (eq == std::string_view::npos) return;
  SetCookieValue(list, TrimBlanks(pair.substr(0, eq)), TrimBlanks(pair.substr(eq + 1)));
}

void ParseCookieString(std::string_view cookies, TCookieList& list) {
  cookies = TrimBlanks(cookies);
  for (;;) {
    const std::size_t sep = cookies.find("; ");
    ParseCookiePair(cookies.substr(0, sep), list);
    if (sep == std::string_view::npos) break;
    cookies.remove_prefix(sep + 2);
  }
}

std::string JoinCookies(const TCookieList& list) {
  std::string out;
  for (const std::string& line : list) {
    if (!out.empty()) out += "; ";
    out += TrimBlanks(line);
  }
  return out;
}

std::string JoinCookiesExcept(const TCookieList& list, const TCookieNames& secure) {
  std::string out;
  for (const std::string& line : list) {
    const std::string_view text = TrimBlanks(line);
    if (secure.count(std::string(text.substr(0, text.find('='))))) continue;
    if (!out.empty()) out += "; ";
    out += text;
  }
  return out;
}

void SetCookieHeader(THttpClient& client, const TCookieList& list, const TCookieNames& secure) {
  // An empty list leaves a header set earlier in place.
  if (list.empty()) return;
  client.SetExtraHeader("Cookie", JoinCookies(list));
  client.SetPlainHttpCookie(JoinCookiesExcept(list, secure));
}

namespace {

// True when one of the attributes after the first ";" of a Set-Cookie value is "Secure".
bool MarksSecure(std::string_view value) {
  std::size_t semi = value.find(';');
  while (semi != std::string_view::npos) {
    value.remove_prefix(semi + 1);
    semi = value.find(';');
    const std::string_view attribute = TrimBlanks(value.substr(0, semi));
    if (AsciiUpperCase(attribute) == "SECURE") return true;
  }
  return false;
}

}  // namespace

bool MergeSetCookies(const THttpResponse& response, TCookieList& list,
                     std::vector<std::pair<std::string, bool>>* secureFlags) {
  bool found = false;
  for (const std::string& line : response.RawHeaders) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    if (AsciiUpperCase(TrimBlanks(std::string_view(line).substr(0, colon))) != "SET-COOKIE")
      continue;
    found = true;
    const std::string_view value = std::string_view(line).substr(colon + 1);
    const std::string_view cookie = TrimBlanks(value.substr(0, value.find(';')));
    ParseCookiePair(cookie, list);
    if (secureFlags && cookie.find('=') != std::string_view::npos)
      secureFlags->emplace_back(TrimBlanks(cookie.substr(0, cookie.find('='))), MarksSecure(value));
  }
  return found;
}

std::string CookieStorePath() {
  if (const char* env = std::getenv("QUILLMOSS_COOKIES"); env && *env) return env;
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : ".") + "/.config/quillmoss/cookies.txt";
}

std::string StoreCookiesFor(const std::string& storePath, const std::string& url,
                            TCookieNames* secure) {
  UrlParts target;
  if (!ParseUrlParts(url, target)) return {};
  std::ifstream in(storePath, std::ios::binary);
  if (!in) return {};
  const std::time_t now = std::time(nullptr);
  TCookieList found;
  std::string line;
  while (std::getline(in, line)) {
    std::string_view text = line;
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    // HTTP-only cookies are written with this prefix; other lines starting with "#" are comments.
    constexpr std::string_view kHttpOnly = "#HttpOnly_";
    if (text.substr(0, kHttpOnly.size()) == kHttpOnly)
      text.remove_prefix(kHttpOnly.size());
    else if (text.empty() || text.front() == '#')
      continue;
    const auto f = SplitTabs(text);
    if (f.size() < 7) continue;
    if (!DomainMatches(target.Host, std::string(f[0]), AsciiUpperCase(f[1]) == "TRUE")) continue;
    if (!PathMatches(target.Path, f[2])) continue;
    const bool secureOnly = AsciiUpperCase(f[3]) == "TRUE";
    if (secureOnly && !target.Secure) continue;
    const long long expires = std::atoll(std::string(f[4]).c_str());
    if (expires != 0 && expires < now) continue;  // 0: a session cookie
    SetCookieValue(found, f[5], f[6]);
    if (secure && secureOnly) secure->insert(std::string(f[5]));
  }
  return JoinCookies(found);
}

void LoadSystemCookies(const std::string& url, TCookieList& list, TCookieNames* secure) {
  const std::string cookies = StoreCookiesFor(CookieStorePath(), url, secure);
  if (!cookies.empty()) ParseCookieString(cookies, list);
}

}  // namespace qm
