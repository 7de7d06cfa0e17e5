#pragma once
// Cookie handling of the download engine. A cookie list is a list of "name=value" lines with at
// most one line per name; cookies carry no expiry, domain or path here. Each worker owns its list.
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qm {

class THttpClient;
struct THttpResponse;

using TCookieList = std::vector<std::string>;
// Names of cookies marked Secure by their server: they go only with https:// requests.
using TCookieNames = std::set<std::string>;

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
// `secure` (when given) receives the names of the cookies the store marks secure.
void LoadSystemCookies(const std::string& url, TCookieList& list, TCookieNames* secure = nullptr);
// The lines, each trimmed, joined with "; ".
std::string JoinCookies(const TCookieList& list);
// The lines whose name is not in `secure`, each trimmed, joined with "; ".
std::string JoinCookiesExcept(const TCookieList& list, const TCookieNames& secure);
// Sets the client's "Cookie" header to JoinCookies(list), on one line. Requests to http:// URLs
// (also redirect hops) carry only the cookies not named in `secure`.
void SetCookieHeader(THttpClient& client, const TCookieList& list, const TCookieNames& secure = {});
// Merges every Set-Cookie line of a response (attributes after the first ";" dropped) into the
// list; true when at least one such line came. When `secureFlags` is given, it receives for each
// line the cookie's name and whether the line marks it Secure.
bool MergeSetCookies(const THttpResponse& response, TCookieList& list,
                     std::vector<std::pair<std::string, bool>>* secureFlags = nullptr);

// The local cookie store: a Netscape-format cookies.txt at $QUILLMOSS_COOKIES, or else at
// ~/.config/quillmoss/cookies.txt.
std::string CookieStorePath();
// The cookie string the store at `storePath` holds for `url` (name=value pairs joined with "; ",
// matching host, path and scheme; expired cookies left out); empty when none.
// `secure` (when given) receives the names of the secure cookies among them.
std::string StoreCookiesFor(const std::string& storePath, const std::string& url,
                            TCookieNames* secure = nullptr);

}  // namespace qm
