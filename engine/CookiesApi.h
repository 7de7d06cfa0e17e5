#pragma once
// Cookie handling of the download engine. A cookie list is a list of "name=value" lines with at
// most one line per name; cookies carry no expiry, domain or path here. Each worker owns its list.
#include <string>
#include <string_view>
#include <vector>

namespace qm {

class THttpClient;
struct THttpResponse;

using TCookieList = std::vector<std::string>;

// Sets `value` for `name`: replaces the line of an existing name, appends a new name, and removes
// the name when the value is empty.
void SetCookieValue(TCookieList& list, std::string_view name, std::string_view value);
// Splits "name=value" at the first "=" (both sides trimmed) and sets it; text without "=" is
// ignored.
void ParseCookiePair(std::string_view pair, TCookieList& list);
// Trims the string and passes every part between "; " separators to ParseCookiePair.
void ParseCookieString(std::string_view cookies, TCookieList& list);
// Merges the cookies the local cookie store holds for `url` (see CookieStorePath); nothing when
// there are none or the store cannot be read.
void LoadSystemCookies(const std::string& url, TCookieList& list);
// The lines, each trimmed, joined with "; ".
std::string JoinCookies(const TCookieList& list);
// Sets the client's "Cookie" header to JoinCookies(list), on one line.
void SetCookieHeader(THttpClient& client, const TCookieList& list);
// Merges every Set-Cookie line of a response (attributes after the first ";" dropped) into the
// list; true when at least one such line came.
bool MergeSetCookies(const THttpResponse& response, TCookieList& list);

// The local cookie store: a Netscape-format cookies.txt at $QUILLMOSS_COOKIES, or else at
// ~/.config/quillmoss/cookies.txt.
std::string CookieStorePath();
// The cookie string the store at `storePath` holds for `url` (name=value pairs joined with "; ",
// matching host, path and scheme; expired cookies left out); empty when none.
std::string StoreCookiesFor(const std::string& storePath, const std::string& url);

}  // namespace qm
