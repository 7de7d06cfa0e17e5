// Mapping URLs to files below the task folder, and links to relative paths between them.
#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <system_error>

#include "url/UrlLib.h"

namespace qm {
namespace {

// Longest local name. The file system allows 255 bytes; a file is first written with ".tmp"
// appended, and the spare bytes keep that suffix within the limit too.
constexpr std::size_t kMaxNameBytes = 240;

std::uint32_t NameHash(std::string_view name) {
  std::uint32_t h = 2166136261u;  // FNV-1a
  for (unsigned char c : name) {
    h ^= c;
    h *= 16777619u;
  }
  return h;
}

// Shortens an over-long name to kMaxNameBytes: a prefix, "~", a hash of the whole name (so that
// names sharing a long prefix stay apart) and the extension (so the type stays recognisable).
std::string ShortenName(std::string_view name) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string_view ext;
  const std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos && name.size() - dot <= 16) ext = name.substr(dot);
  std::string tail = "~";
  const std::uint32_t h = NameHash(name);
  for (int shift = 28; shift >= 0; shift -= 4) tail += kHex[(h >> shift) & 0xF];
  tail.append(ext);
  const std::size_t room = kMaxNameBytes - tail.size();
  // Cut at a character boundary of double-byte text: a lead byte takes its trail byte along.
  std::size_t cut = 0;
  while (cut < room) {
    const std::size_t step = static_cast<unsigned char>(name[cut]) >= 0x81 ? 2 : 1;
    if (cut + step > room) break;
    cut += step;
  }
  return std::string(name.substr(0, cut)) + tail;
}

// Makes `name` one safe name of a local path: no separator, no NUL, not "." or "..", not too long.
void MakeSafeName(std::string& name) {
  for (char& c : name)
    if (c == '\\' || c == '/' || c == '\0') c = '_';
  if (name == "." || name == "..")
    name.insert(0, 1, '_');
  else if (name.size() > kMaxNameBytes)
    name = ShortenName(name);
}

std::string SafeName(std::string_view name) {
  std::string out(name);
  MakeSafeName(out);
  return out;
}

// SafeName(name) appended to `out`, without a copy of its own unless the name is too long.
void AppendSafeName(std::string& out, std::string_view name) {
  if (name == "." || name == "..") {
    out += '_';
    out.append(name);
    return;
  }
  if (name.size() > kMaxNameBytes) {
    out += SafeName(name);
    return;
  }
  const std::size_t start = out.size();
  out.append(name);
  for (std::size_t k = start; k < out.size(); ++k)
    if (out[k] == '\\' || out[k] == '/' || out[k] == '\0') out[k] = '_';
}

// Rebuilds a "\"-terminated component chain: empty and "." components name no directory and are
// dropped (as the file system would), every other component is made safe.
std::string SafeDir(std::string_view dir) {
  std::string out;
  out.reserve(dir.size());
  std::size_t from = 0;
  while (from < dir.size()) {
    std::size_t end = dir.find_first_of("\\/", from);
    if (end == std::string_view::npos) end = dir.size();
    const std::string_view part = dir.substr(from, end - from);
    if (!part.empty() && part != ".") {
      AppendSafeName(out, part);
      out += '\\';
    }
    from = end + 1;
  }
  return out;
}

// ForbiddenNameChars as a lookup table: names are mapped one byte at a time.
constexpr std::array<bool, 256> MakeForbiddenTable() {
  std::array<bool, 256> table{};
  for (char c : ForbiddenNameChars) table[static_cast<unsigned char>(c)] = true;
  return table;
}
constexpr auto kForbidden = MakeForbiddenTable();

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && StartsWithText(a, b);
}

}  // namespace

bool HasExtIn(std::string_view text, std::string_view list) {
  const std::size_t query = text.find('?');
  if (query != std::string_view::npos && (list == PageExts || list == DynamicExts)) return true;
  const std::string_view name = text.substr(0, query);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view ext = name.substr(dot);
  // Byte loops: an extension and a list item are a few bytes, shorter than a library search's
  // setup (find_first_of would search the two separators once per byte of the extension).
  for (char c : ext)
    if (c == '\\' || c == ':') return false;
  std::size_t from = 0;  // every item ends in ";"
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i] != ';') continue;
    if (SameText(list.substr(from, i - from), ext)) return true;
    from = i + 1;
  }
  return false;
}

TSplitUrl SplitUrl(std::string_view url) {
  TSplitUrl s;
  std::string_view t = TrimBlanks(url);
  const std::size_t scheme = SchemeLength(t);
  const bool isHttp = scheme != 0;
  if (isHttp) {
    t.remove_prefix(scheme);
    const std::string_view hostPart = t.substr(0, t.find('/'));
    const std::size_t colon = hostPart.find(':');
    s.Host.assign(hostPart.substr(0, colon));
    if (colon != std::string_view::npos)
      s.Port.assign(hostPart.substr(colon + 1));
    else
      s.Port = scheme == 7 ? "80" : "443";
  } else {
    s.Port = "80";
  }
  const std::size_t firstSlash = t.find('/');
  t = firstSlash == std::string_view::npos ? std::string_view() : t.substr(firstSlash + 1);
  for (std::size_t slash = t.find('/'); slash != std::string_view::npos; slash = t.find('/')) {
    s.Dir.append(t.substr(0, slash));
    s.Dir += '\\';
    t.remove_prefix(slash + 1);
  }
  s.File.assign(t);
  if (s.File.empty())
    s.File = "index.html";
  else if (HasExtIn(TrimBlanks(url), DynamicExts))
    s.File += ".html";  // a generated page is saved as HTML
  if (s.File.find('%') != std::string::npos) s.File = PercentDecode(s.File);
  if (s.Dir.find('%') != std::string::npos) s.Dir = PercentDecode(s.Dir);
  for (char& c : s.File)
    if (c == '\t') c = ' ';
  // Characters no file name may hold become directory separators, so a query becomes a chain of
  // directories.
  for (char& c : s.File)
    if (kForbidden[static_cast<unsigned char>(c)]) c = '\\';
  for (char& c : s.Dir)
    if (kForbidden[static_cast<unsigned char>(c)]) c = '\\';
  if (s.Dir.find("\\\\") != std::string::npos) s.Dir = ReplaceAll(s.Dir, "\\\\", "\\");
  if (s.File.find("\\\\") != std::string::npos) s.File = ReplaceAll(s.File, "\\\\", "\\");
  // Everything up to the last "\" of the file name moves to the directory chain.
  if (const std::size_t bs = s.File.rfind('\\'); bs != std::string::npos) {
    s.Dir.append(s.File, 0, bs + 1);
    s.File.erase(0, bs + 1);
  }
  while (!s.File.empty() && s.File.back() == '.') s.File.pop_back();

  // Whatever the URL holds, every name must stay below the task folder: no "." or ".."
  // component (also when decoded from %2e or made of "\"), no empty one, none too long.
  if (isHttp) {
    if (s.Host.empty())
      s.Host = "_";
    else
      MakeSafeName(s.Host);
  }
  s.Dir = SafeDir(s.Dir);
  if (s.File.empty())
    s.File = "index.html";
  else
    MakeSafeName(s.File);
  return s;
}

void SplitUrlDirKey(std::string_view url, std::string& key) {
  key.clear();
  const std::string_view trimmed = TrimBlanks(url);
  std::string_view t = trimmed;
  const std::size_t scheme = SchemeLength(t);
  const bool isHttp = scheme != 0;
  if (isHttp) t.remove_prefix(scheme);
  const std::size_t firstSlash = t.find('/');
  const std::string_view hostPart = t.substr(0, firstSlash);
  const std::string_view host =
      isHttp ? hostPart.substr(0, hostPart.find(':')) : std::string_view();
  const std::string_view path =
      firstSlash == std::string_view::npos ? std::string_view() : t.substr(firstSlash + 1);
  // Percent escapes (decoded across the dir chain) and over-long names (shortened with a hash)
  // are rare: those URLs take the full split.
  auto fullSplit = [&] {
    TSplitUrl s = SplitUrl(url);
    key = std::move(s.Host);
    key += '\\';
    key += s.Dir;
  };
  if (host.size() > kMaxNameBytes || path.find('%') != std::string_view::npos) return fullSplit();
  if (isHttp) {
    if (host.empty()) {
      key += '_';
    } else {
      if (host == "." || host == "..") key += '_';
      for (char c : host) key += (c == '\\' || c == '\0') ? '_' : c;
    }
  }
  key += '\\';
  // "/", "\" and every character no file name may hold separate components; the text after the
  // last separator is the file. Empty and "." components name no directory; tabs of the file
  // part (after the last "/") are spaces.
  const std::size_t fileStart = path.rfind('/') + 1;  // 0 when there is none
  std::size_t from = 0;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const char c = path[i];
    if (c != '\\' && !kForbidden[static_cast<unsigned char>(c)]) continue;
    const std::string_view part = path.substr(from, i - from);
    from = i + 1;
    if (part.empty() || part == ".") continue;
    if (part.size() > kMaxNameBytes) return fullSplit();
    if (part == "..") key += '_';
    const std::size_t start = key.size();
    key.append(part);
    const std::size_t partStart = static_cast<std::size_t>(part.data() - path.data());
    for (std::size_t k = start; k < key.size(); ++k) {
      if (key[k] == '\0')
        key[k] = '_';
      else if (key[k] == '\t' && partStart + (k - start) >= fileStart)
        key[k] = ' ';
    }
    key += '\\';
  }
}

std::string RelativeLocalPath(std::string_view target, std::string_view page) {
  if (SchemeLength(target) == 0) return std::string(target);
  return RelativeLocalPath(target, SplitUrl(page));
}

namespace {

// Starts a relative path from the page's directory (components each ending in "\") towards the
// target's (components each ending in `targetSep`): "../" up to the task folder and into the
// other host's folder, or up to the directory both share. Leaves in `targetDir` the target's
// components below the shared part.
void AppendClimb(std::string& r, std::string_view targetHost, const TSplitUrl& page,
                 std::string_view& targetDir, char targetSep) {
  std::string_view pageDir = page.Dir;
  if (targetHost != page.Host) {
    const auto ups = static_cast<std::size_t>(std::count(pageDir.begin(), pageDir.end(), '\\'));
    for (std::size_t k = 0; k <= ups; ++k) r += "../";
    r += targetHost;
    r += '/';
    return;
  }
  for (;;) {
    const std::size_t pEnd = pageDir.find('\\');
    const std::size_t tEnd = targetDir.find(targetSep);
    if (pEnd == std::string_view::npos || tEnd == std::string_view::npos ||
        pageDir.substr(0, pEnd) != targetDir.substr(0, tEnd))
      break;
    pageDir.remove_prefix(pEnd + 1);
    targetDir.remove_prefix(tEnd + 1);
  }
  const auto ups = static_cast<std::size_t>(std::count(pageDir.begin(), pageDir.end(), '\\'));
  for (std::size_t k = 0; k < ups; ++k) r += "../";
}

// RelativeLocalPath of an http(s) URL whose split is its own text: no blank or control byte, a
// host that needs no safe form, and a path without escapes, "\" or characters no file name may
// hold, whose every directory is a plain name and whose file name ends in no dot. Such a URL's
// split dir is its path's directories and its file the last part (index.html when empty, with
// .html added for a generated page), so the relative path comes straight from the text. False for
// any other URL.
bool PlainRelativeLocalPath(std::string_view target, const TSplitUrl& page, std::string& r) {
  for (char c : target)
    if (static_cast<unsigned char>(c) <= 32 || c == '\\') return false;
  const std::string_view t = target.substr(SchemeLength(target));
  const std::size_t firstSlash = t.find('/');
  if (firstSlash == std::string_view::npos) return false;
  const std::string_view host = t.substr(0, std::min(t.find(':'), firstSlash));
  if (host.empty() || host == "." || host == ".." || host.size() > kMaxNameBytes) return false;
  const std::string_view path = t.substr(firstSlash + 1);
  std::size_t from = 0;  // start of the current component
  for (std::size_t i = 0; i < path.size(); ++i) {
    const char c = path[i];
    if (c != '/') {
      if (c == '%' || kForbidden[static_cast<unsigned char>(c)]) return false;
      continue;
    }
    const std::string_view dir = path.substr(from, i - from);
    if (dir.empty() || dir == "." || dir == ".." || dir.size() > kMaxNameBytes) return false;
    from = i + 1;
  }
  const std::string_view name = path.substr(from);
  const bool generated = !name.empty() && HasExtIn(target, DynamicExts);
  if (name.size() + (generated ? 5 : 0) > kMaxNameBytes) return false;
  if (!generated && !name.empty() && name.back() == '.') return false;

  std::string_view tDir = path.substr(0, from);  // components each ending in "/"
  r.clear();
  AppendClimb(r, host, page, tDir, '/');
  r.append(tDir);
  if (name.empty()) {
    r += "index.html";
  } else {
    r.append(name);
    if (generated) r += ".html";
  }
  return true;
}

}  // namespace

std::string RelativeLocalPath(std::string_view target, const TSplitUrl& page) {
  if (SchemeLength(target) == 0) return std::string(target);
  std::string r;
  if (PlainRelativeLocalPath(target, page, r)) return r;
  return RelativeLocalPathBySplit(target, page);
}

std::string RelativeLocalPathBySplit(std::string_view target, const TSplitUrl& page) {
  if (SchemeLength(target) == 0) return std::string(target);
  const TSplitUrl t = SplitUrl(target);
  std::string_view tDir = t.Dir;
  std::string r;
  AppendClimb(r, t.Host, page, tDir, '\\');
  // The target's remaining components, up to its last "\", with "/" separators.
  tDir = tDir.substr(0, tDir.rfind('\\') + 1);
  const std::size_t dirStart = r.size();
  r.append(tDir);
  std::replace(r.begin() + static_cast<std::ptrdiff_t>(dirStart), r.end(), '\\', '/');
  r += t.File;
  return r;
}

void ForceDirs(std::string_view path) {
  const std::string native = NativePath(path);
  std::error_code ec;
  // Most files go to a folder that is there already: one look instead of one per level.
  if (!native.empty() && std::filesystem::is_directory(native, ec)) return;
  for (std::size_t bs = path.find_first_of("\\/"); bs != std::string_view::npos;
       bs = path.find_first_of("\\/", bs + 1)) {
    if (bs == 0) continue;  // the root
    const std::string prefix = native.substr(0, bs + 1);
    if (!std::filesystem::is_directory(prefix, ec)) std::filesystem::create_directory(prefix, ec);
  }
  if (!native.empty() && !std::filesystem::is_directory(native, ec))
    std::filesystem::create_directory(native, ec);
}

std::string LocalPathOf(std::string_view folder, std::string_view url) {
  const TSplitUrl s = SplitUrl(url);
  std::string path = folder.empty() ? std::string(".\\") : std::string(folder);
  // Without a closing separator the host would extend the folder's own name.
  if (path.back() != '\\' && path.back() != '/') path += '\\';
  path += s.Host.empty() ? std::string("_") : s.Host;
  path += '\\';
  path += s.Dir;
  path += s.File;
  return path;
}

std::string NativePath(std::string_view windowsPath) {
  std::string out(windowsPath);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

}  // namespace qm
