// Turning the links found in pages, scripts and redirects into absolute URLs.
#include "url/UrlLib.h"

namespace qm {

std::string SiteRootUrl(std::string_view link, std::string_view base) {
  std::string_view b = TrimBlanks(base);
  const std::size_t scheme = SchemeLength(b);
  if (scheme == 0) return {};
  b.remove_prefix(scheme);
  if (link.empty() || link[0] != '/') return {};
  std::string out = scheme == 7 ? "http://" : "https://";
  out.append(b.substr(0, b.find('/')));  // the port stays
  out.append(link);
  return out;
}

std::string ResolveRelative(std::string_view link, std::string_view base) {
  const std::string_view b = TrimBlanks(base);
  const std::size_t scheme = SchemeLength(b);
  if (scheme == 0) return std::string(link);
  const std::string_view rest = b.substr(scheme);
  // The result is built in one string: the root, the base's directory, the link.
  std::string out;
  out.reserve(b.size() + link.size() + 1);
  std::string_view dir;
  const std::size_t slash = rest.find('/');
  if (slash != std::string_view::npos) {
    out = scheme == 7 ? "http://" : "https://";
    out.append(rest.substr(0, slash));
    dir = rest.substr(slash, rest.rfind('/') - slash);
  } else {
    out.assign(b);
  }

  std::string_view l = link;
  if (l.starts_with("./")) l.remove_prefix(2);
  auto climb = [&dir] {
    const std::size_t cut = dir.rfind('/');
    dir = dir.substr(0, cut == std::string_view::npos ? 0 : cut);
  };
  while (l.starts_with("../")) {
    l.remove_prefix(3);
    climb();
  }
  while (l.starts_with("..\\")) {
    l.remove_prefix(3);
    climb();
  }
  out.append(dir);
  // Backslashes in links written for other systems separate directories too.
  for (std::size_t bs = l.find('\\'); bs != std::string_view::npos; bs = l.find('\\')) {
    out += '/';
    out.append(l.substr(0, bs));
    l.remove_prefix(bs + 1);
  }
  out += '/';
  out.append(l);
  return out;
}

bool MakeAbsoluteUrl(std::string_view link, std::string_view base, std::string& out) {
  out.clear();
  if (link.empty()) return false;
  std::string replaced;
  std::string_view work = link;
  if (link.find("&amp;") != std::string_view::npos) {
    replaced = ReplaceAll(link, "&amp;", "&");
    work = replaced;
  }
  std::string result;
  if (link[0] == '/') {
    result = SiteRootUrl(work, base);
  } else if (SchemeLength(link) != 0) {
    result = work;
  } else if (StartsWithText(link, "javascript:") || link.starts_with("mailto:") ||
             link.find(':') != std::string_view::npos || link[0] == '#') {
    return false;  // other schemes, fragments, and relative links holding ":" are not followed
  } else {
    result = ResolveRelative(work, base);
  }
  if (result.empty()) return false;
  // Blanks at either end and line breaks inside go; most results have none of them.
  const std::string_view trimmed = TrimBlanks(result);
  if (trimmed.find("\r\n") != std::string_view::npos) {
    result = ReplaceAll(trimmed, "\r\n", "");
  } else if (trimmed.size() != result.size()) {
    result.erase(static_cast<std::size_t>(trimmed.data() + trimmed.size() - result.data()));
    result.erase(0, static_cast<std::size_t>(trimmed.data() - result.data()));
  }
  if (result.find(' ') != std::string::npos) result = EscapeSpaces(result);
  if (result.empty()) return false;
  out = std::move(result);
  return true;
}

}  // namespace qm
