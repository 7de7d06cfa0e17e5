#pragma once
// The network steps of the online update, each one blocking call on a THttpClient: the list from
// the update server (falling back to the second server), the HEAD of each newer file, and the
// download of one file beside the old one under its temporary name.
#include <string>
#include <string_view>

#include "engine/HttpClient.h"
#include "update/UpdateList.h"

namespace qm {

inline constexpr std::string_view kUpdateListPath = "/update/xupdate.txt";
// The two update servers. The first can be replaced by the settings file (section
// kUpdateSettingsSection, key kUpdateServerKey), so that a user or a test can use another one.
inline constexpr std::string_view kFirstUpdateServer = "http://update1.quillmoss.example";
inline constexpr std::string_view kSecondUpdateServer = "http://update2.quillmoss.example";
inline constexpr std::string_view kUpdateSettingsSection = "在线升级";
inline constexpr std::string_view kUpdateServerKey = "升级网站";
// How the update client presents itself.
inline constexpr std::string_view kUpdateUserAgent = "Mozilla/3.0 (compatible; Indy Library)";
inline constexpr long kUpdateRecvBuffer = 1024;

// The base address of the update server for the rest of the run: the first server until it
// fails once, then the second. Empty until SetUpdateServers or the first check fills it.
inline std::string UpdateServer;

struct TUpdateServers {
  std::string First{kFirstUpdateServer};
  std::string Second{kSecondUpdateServer};
};
// The program's servers, the first one taken from the settings file when it names one there.
TUpdateServers ConfiguredUpdateServers(const std::string& settingsFile);

// Waiting limits of the update's requests, so that a server that never answers fails.
struct TUpdateLimits {
  long ConnectMs = 30000;
  long StallSeconds = 30;  // no byte for this long fails the request
};

// The desktop's proxy: "http_proxy" (else "HTTP_PROXY") stands in for the registry's
// "ProxyServer", and "ProxyEnable" is 1 when it is set. The scheme and a trailing "/" are dropped,
// leaving "host:port".
struct TProxySetting {
  bool Enabled = false;
  std::string Server;
};
TProxySetting ProxyFromEnvironment();
// Points the client at "host:port". A text without ":" or with a port that is not an integer
// raises EConvertError("'<port>' is not a valid integer value").
void ApplyProxy(THttpClient& client, const std::string& server);

// The client settings of the update: user agent, receive buffer, limits, no redirects.
void ConfigureUpdateClient(THttpClient& client, const TUpdateLimits& limits);

// GETs UpdateServer + kUpdateListPath (UpdateServer first set to servers.First when empty); when
// that fails, UpdateServer becomes servers.Second and the list is fetched from there. False
// when both fail.
bool FetchUpdateList(THttpClient& client, const TUpdateServers& servers, std::string& listText);

// HEAD of one newer file: ContentSize from the answer, or IsNewer = 0 when it fails. True when
// the file stays offered.
bool HeadUpdateItem(THttpClient& client, TUpdateList& item);

// A download that did not arrive whole, or could not be stored.
class EUpdateDownloadError : public EHttpError {
 public:
  using EHttpError::EHttpError;
};
// GETs the file into memory and saves it as TargetName in `folder` (native, ending in "/" or
// empty) with the listed date, taking the permissions of the file it replaces (executables stay
// executable), and sets IsFetched. A body shorter than announced is an error and stores nothing.
void DownloadUpdateItem(THttpClient& client, TUpdateList& item, const std::string& folder);

// The program name the list is keyed by: the executable's file name without folder and
// extension.
std::string ProgramNameOf(const std::string& executablePath);

}  // namespace qm
