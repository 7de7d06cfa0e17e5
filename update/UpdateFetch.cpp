#include "update/UpdateFetch.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "platform/Files.h"
#include "platform/IniFile.h"

namespace qm {
namespace {

std::string NativeName(const std::string& folder, std::string_view name) {
  std::string path = folder;
  for (char c : name) path += c == '\\' ? '/' : c;
  return path;
}

bool LooksExecutable(std::string_view body) {
  return body.starts_with(
             "\x7F"
             "ELF") ||
         body.starts_with("#!");
}

}  // namespace

TUpdateServers ConfiguredUpdateServers(const std::string& settingsFile) {
  TUpdateServers servers;
  if (settingsFile.empty()) return servers;
  try {
    const TIniFile ini(settingsFile);
    std::string first = ini.ReadBytes(kUpdateSettingsSection, kUpdateServerKey, "");
    while (!first.empty() && first.back() == '/') first.pop_back();
    if (!first.empty()) servers.First = first;
  } catch (const EIniFileException&) {
    // An unreadable settings file keeps the program's own servers.
  }
  return servers;
}

TProxySetting ProxyFromEnvironment() {
  TProxySetting proxy;
  const char* value = std::getenv("http_proxy");
  if (!value || !*value) value = std::getenv("HTTP_PROXY");
  if (!value || !*value) return proxy;
  std::string server = value;
  if (const std::size_t scheme = server.find("://"); scheme != std::string::npos)
    server.erase(0, scheme + 3);
  while (!server.empty() && server.back() == '/') server.pop_back();
  proxy.Enabled = true;
  proxy.Server = server;
  return proxy;
}

void ApplyProxy(THttpClient& client, const std::string& server) {
  const std::size_t colon = server.find(':');
  const std::string host = colon == std::string::npos ? server : server.substr(0, colon);
  const std::string port = colon == std::string::npos ? std::string() : server.substr(colon + 1);
  client.Proxy = host + ":" + std::to_string(StrToInt(port));
}

void ConfigureUpdateClient(THttpClient& client, const TUpdateLimits& limits) {
  client.UserAgent = std::string(kUpdateUserAgent);
  client.RecvBufferSize = kUpdateRecvBuffer;
  client.FollowRedirects = false;
  client.Limits.ConnectTimeoutMs = limits.ConnectMs;
  client.Limits.LowSpeedBytes = 1;
  client.Limits.LowSpeedSeconds = limits.StallSeconds;
}

bool FetchUpdateList(THttpClient& client, const TUpdateServers& servers, std::string& listText) {
  if (UpdateServer.empty()) UpdateServer = servers.First;
  const auto fetch = [&]() {
    listText.clear();
    try {
      client.Get(UpdateServer + std::string(kUpdateListPath), listText);
      return true;
    } catch (const EHttpError&) {
      listText.clear();
      return false;
    }
  };
  if (fetch()) return true;
  UpdateServer = servers.Second;
  return fetch();
}

bool HeadUpdateItem(THttpClient& client, TUpdateList& item) {
  try {
    client.Head(item.RemoteInfo.StampUrl);
    item.ContentSize = static_cast<std::int32_t>(client.Response().ContentLength);
    return true;
  } catch (const EHttpError&) {
    item.IsNewer = 0;
    return false;
  }
}

void DownloadUpdateItem(THttpClient& client, TUpdateList& item, const std::string& folder) {
  std::string body;
  client.Get(item.RemoteInfo.StampUrl, body);
  // Only a whole file may replace the old one: fewer bytes than announced is a failure.
  std::int64_t announced = client.Response().ContentLength;
  if (announced <= 0) announced = item.ContentSize;
  if (announced > 0 && static_cast<std::int64_t>(body.size()) < announced)
    throw EUpdateDownloadError("Incomplete download of " + item.RemoteInfo.StampUrl + ": " +
                               std::to_string(body.size()) + " of " + std::to_string(announced) +
                               " bytes");
  const std::string target = NativeName(folder, item.TargetName);
  const std::filesystem::path parent = std::filesystem::path(target).parent_path();
  std::error_code ec;
  if (!parent.empty()) std::filesystem::create_directories(parent, ec);
  if (!WriteWholeFile(target, body)) throw EUpdateDownloadError("Cannot write " + target);
  struct stat old {};
  if (::stat(NativeName(folder, item.ItemName).c_str(), &old) == 0)
    ::chmod(target.c_str(), old.st_mode & 07777);
  else if (LooksExecutable(body))
    ::chmod(target.c_str(), 0755);
  SetFileDate(target, item.RemoteInfo.StampDate);
  item.IsFetched = 1;
}

std::string ProgramNameOf(const std::string& executablePath) {
  std::string name = std::filesystem::path(executablePath).filename().string();
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name;
}

}  // namespace qm
