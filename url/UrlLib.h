#pragma once
// URL text functions: pure functions on byte strings (GBK text passes through untouched); letter
// case means ASCII letters only. Positions are 1-based, 0 meaning "not found".
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/AsciiText.h"  // TrimBlanks, EqualsIgnoringAsciiCase

namespace qm {

// ---- parsing and resolution ----

// Resolves a link found in the page at `base`. False (and `out` empty) unless a URL comes out.
bool MakeAbsoluteUrl(std::string_view link, std::string_view base, std::string& out);
// Resolves a server-absolute link ("/...") against base; empty when base is not http:// or
// https://. The result keeps the base's scheme.
std::string SiteRootUrl(std::string_view link, std::string_view base);
// Resolves a document-relative link against base; the link unchanged when base is not http:// or
// https://.
std::string ResolveRelative(std::string_view link, std::string_view base);
// Length of the scheme prefix of an absolute URL: 7 for "http://", 8 for "https://" (ASCII case
// ignored), 0 for every other text. Both schemes of a host are one host to every function here:
// hosts, scope rules and local files never depend on the scheme.
std::size_t SchemeLength(std::string_view text);
// True when the text begins with "https://", ASCII case ignored.
bool IsHttpsUrl(std::string_view text);
// Host without port; empty for a text that does not begin with "http://" or "https://".
std::string HostOf(std::string_view url);
// Host without its first label, when it has at least two dots.
std::string DomainOf(std::string_view host);
bool SameHost(std::string_view a, std::string_view b);
std::string EscapeSpaces(std::string_view text);
std::string PercentDecode(std::string_view text);
std::string ReplaceAll(std::string_view text, std::string_view oldText, std::string_view newText);
// ReplaceAll's result appended to `out` (which must not hold `text`).
void AppendReplaced(std::string& out, std::string_view text, std::string_view oldText,
                    std::string_view newText);
// Case-insensitive search of pattern in text from the 1-based position start (0 counts as 1).
std::size_t PosText(std::string_view pattern, std::string_view text, std::size_t start = 1);
// The same search with 0-based positions: where `word` first occurs at or after `from`, or npos
// (also for an empty word).
inline std::size_t FindTextFrom(std::string_view text, std::string_view word,
                                std::size_t from = 0) {
  if (from >= text.size()) return std::string_view::npos;
  const std::size_t at = PosText(word, text, from + 1);
  return at == 0 ? std::string_view::npos : at - 1;
}
// 1-based position of the last exact occurrence.
std::size_t LastPos(std::string_view pattern, std::string_view text);
// Text between the first open mark and the first close mark (case-insensitive / exact).
std::string TextBetween(std::string_view text, std::string_view open, std::string_view close);
std::string TextBetweenExact(std::string_view text, std::string_view open, std::string_view close);
// True when text begins with prefix, ASCII case ignored.
bool StartsWithText(std::string_view text, std::string_view prefix);

// ---- local path mapping ----

inline constexpr std::string_view PageExts =
    ".htm;.html;.shtm;.shtml;.asp;.aspx;.css;.xml;.xsl;.cfm;.htx;.js;.nsf;.phtml;.frm;.nsf;.jsp;"
    ".php;.php3;.wml;";
inline constexpr std::string_view DynamicExts = ".asp;.aspx;.php;.php3;.jsp;";
inline constexpr std::string_view StaticPageExts =
    ".htm;.html;.shtm;.shtml;.css;.xml;.xsl;.cfm;.htx;.js;.nsf;.phtml;.frm;.nsf;.wml;";
inline constexpr std::string_view ImageExts = ".gif;.jpg;.jpeg;.jpe;.png;.bmp;";
inline constexpr std::string_view ProgramExts = ".exe;.com;";
inline constexpr std::string_view ArchiveExts = ".zip;.arj;.lha;.rar;.gz;.z;";
inline constexpr std::string_view DocumentExts = ".doc;.xls;.ppt;.pdf;.txt;.mdb;";
inline constexpr std::string_view ScriptExts = ".js;";
inline constexpr std::string_view NoQueryExts = ".swf;.exe;.com;";
// Characters turned into directory separators in local names, in this order.
inline constexpr std::string_view ForbiddenNameChars = "/:*?\"<>|&";

struct TSplitUrl {
  std::string Host;  // without port, as written; empty for a text that is no http(s) URL
  std::string Port;  // "80" when none ("443" for https://)
  std::string Dir;   // components each followed by "\", empty for the site root
  std::string File;  // file name, never empty
};

// Every name it gives (host, each dir component, file) is a safe local name: never empty (an
// http:// URL without host gets "_"), never "." or ".." ("." components are dropped, ".." becomes
// "_.."), without "\", "/" or NUL, at most 240 bytes. The URL table's key, the local file and the
// relative links all come from this one split.
TSplitUrl SplitUrl(std::string_view url);
// SplitUrl(url).Host + "\\" + SplitUrl(url).Dir written into `key`, without building the rest of
// the split: the URL table's lookup key.
void SplitUrlDirKey(std::string_view url, std::string& key);
// The text that replaces a link to `target` in the saved page `page` ("/" separators).
std::string RelativeLocalPath(std::string_view target, std::string_view page);
// The same for a page already split (a page's links all share its split).
std::string RelativeLocalPath(std::string_view target, const TSplitUrl& page);
// RelativeLocalPath always through the full split of `target`; the one above takes a shorter way
// for the common URL that needs no decoding, mapping or shortening (tests compare the two).
std::string RelativeLocalPathBySplit(std::string_view target, const TSplitUrl& page);
bool HasExtIn(std::string_view text, std::string_view list);
// Creates every missing directory of a "\"-separated local path.
void ForceDirs(std::string_view path);

// The local file of a URL below a task folder ("\"-separated, folder ending in "\"): folder +
// host + "\" + dir + file, with ".\" for an empty folder. Always inside the folder, whatever the
// URL holds. This is the one composition every writer of site files uses.
std::string LocalPathOf(std::string_view folder, std::string_view url);
// A "\"-separated path as the file system wants it ("/" separators).
std::string NativePath(std::string_view windowsPath);

}  // namespace qm
