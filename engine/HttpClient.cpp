#include "engine/HttpClient.h"

#include <curl/curl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <fstream>
#include <iterator>
#include <mutex>

#include "engine/HttpDate.h"
#include "platform/AsciiText.h"

namespace qm {
namespace {

void EnsureCurlGlobal() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// A header value must stay on its line: line breaks inside it are dropped.
std::string OneLine(std::string_view value) {
  if (value.find_first_of("\r\n") == std::string_view::npos) return std::string(value);
  std::string out;
  out.reserve(value.size());
  for (char c : value)
    if (c != '\r' && c != '\n') out += c;
  return out;
}

// The URL as it goes on the wire: bytes that a request line cannot carry (blanks, controls and
// the high half of GBK text) are percent-encoded; everything else passes unchanged.
std::string WireUrl(std::string_view url) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  out.reserve(url.size());
  for (unsigned char c : TrimBlanks(url)) {
    if (c <= ' ' || c >= 0x7F) {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

bool HasScheme(std::string_view url) {
  return url.size() > 7 &&
         (EqualsIgnoringAsciiCase(url.substr(0, 7), "http://") ||
          (url.size() > 8 && EqualsIgnoringAsciiCase(url.substr(0, 8), "https://")));
}

// `location` resolved against `base`, both in wire form; throws when it cannot be followed.
std::string ResolveForFollow(const std::string& base, const std::string& location) {
  const std::string loc = WireUrl(location);
  if (HasScheme(loc)) return loc;
  CURLU* u = curl_url();
  if (!u) throw EHttpError("Out of memory");
  std::string out;
  char* text = nullptr;
  if (curl_url_set(u, CURLUPART_URL, base.c_str(), 0) == CURLUE_OK &&
      curl_url_set(u, CURLUPART_URL, loc.c_str(), 0) == CURLUE_OK &&
      curl_url_get(u, CURLUPART_URL, &text, 0) == CURLUE_OK) {
    out = text;
    curl_free(text);
  }
  curl_url_cleanup(u);
  if (out.empty()) throw EHttpError("Invalid redirect location: " + location);
  return out;
}

// Days east of UTC that local time has now.
double LocalOffsetDays() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return static_cast<double>(local.tm_gmtoff) / kSecondsPerDay;
}

TDateTime LastModifiedOf(const std::string& value) {
  if (!value.empty()) {
    const time_t t = HttpDateToUnix(value);
    if (t != -1) return UnixToLocalDateTime(t);
  }
  // No date: 0 shifted into local time, kept within the "no date" bound of a third of a day
  // even east of UTC+8.
  const double shifted = LocalOffsetDays();
  return shifted <= 1.0 / 3.0 ? shifted : 0.0;
}

std::int64_t ContentLengthOf(const std::string& value) {
  if (value.empty()) return 0;
  char* end = nullptr;
  const long long n = std::strtoll(value.c_str(), &end, 10);
  return (end && *end == '\0' && n > 0) ? n : 0;
}

std::string ReadTextFile(const std::string& path, bool& ok) {
  std::ifstream in(path, std::ios::binary);
  ok = static_cast<bool>(in);
  return ok ? std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>())
            : std::string();
}

// The CA file libcurl uses when told nothing (the system's store).
std::string DefaultCaFile(CURL* handle) {
  char* path = nullptr;
  if (curl_easy_getinfo(handle, CURLINFO_CAINFO, &path) == CURLE_OK && path && *path) return path;
  return "/etc/ssl/certs/ca-certificates.crt";
}

// A certificate problem or a failed handshake, in words a user can act on.
std::string TlsFailureText(CURLcode rc, std::string_view detail) {
  constexpr std::string_view kProblem = "SSL certificate problem: ";
  if (const std::size_t at = detail.find(kProblem); at != std::string_view::npos)
    detail.remove_prefix(at + kProblem.size());
  if (detail.empty()) detail = curl_easy_strerror(rc);
  if (rc == CURLE_PEER_FAILED_VERIFICATION)
    return "Server certificate rejected: " + std::string(detail);
  return "Secure connection failed: " + std::string(detail);
}

bool IsTlsFailure(CURLcode rc) {
  return rc == CURLE_PEER_FAILED_VERIFICATION || rc == CURLE_SSL_CONNECT_ERROR ||
         rc == CURLE_SSL_CACERT_BADFILE || rc == CURLE_SSL_CERTPROBLEM || rc == CURLE_SSL_CIPHER ||
         rc == CURLE_SSL_ISSUER_ERROR || rc == CURLE_SSL_PINNEDPUBKEYNOTMATCH ||
         rc == CURLE_SSL_INVALIDCERTSTATUS;
}

// The largest block read from the socket at once.
constexpr long kReadBlockBytes = 16384;

int SetSocketBuffers(void* clientp, curl_socket_t fd, curlsocktype) {
  const auto* self = static_cast<const THttpClient*>(clientp);
  const int recv = static_cast<int>(self->RecvBufferSize);
  const int send = static_cast<int>(self->SendBufferSize);
  if (recv > 0) setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &recv, sizeof recv);
  if (send > 0) setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &send, sizeof send);
  return CURL_SOCKOPT_OK;
}

}  // namespace

std::string THttpResponse::HeaderValue(std::string_view name) const {
  for (const std::string& line : RawHeaders) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    if (EqualsIgnoringAsciiCase(TrimBlanks(std::string_view(line).substr(0, colon)), name))
      return std::string(TrimBlanks(std::string_view(line).substr(colon + 1)));
  }
  return {};
}

std::vector<std::string> THttpResponse::HeaderValues(std::string_view name) const {
  std::vector<std::string> out;
  for (const std::string& line : RawHeaders) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    if (EqualsIgnoringAsciiCase(TrimBlanks(std::string_view(line).substr(0, colon)), name))
      out.emplace_back(TrimBlanks(std::string_view(line).substr(colon + 1)));
  }
  return out;
}

namespace {
bool IsRedirectAnswer(const THttpResponse& response) {
  return response.Code != 304 && !response.HeaderValue("Location").empty();
}
}  // namespace

// One request and its response as libcurl delivers them.
struct THttpClient::Exchange {
  THttpClient* Self = nullptr;
  std::string Url;  // wire form
  bool Head = false;
  std::string* Body = nullptr;  // null for HEAD
  THttpResponse Response;
  bool HeadersDone = false;
  bool KeepBody = false;  // a 2xx answer to a GET that is not a redirect
  bool WorkBegun = false;
  std::int64_t Received = 0;
  bool OverCap = false;
  bool AbortedByUs = false;
  std::exception_ptr HandlerError;
  char ErrorText[CURL_ERROR_SIZE] = {};
};

namespace {

size_t OnHeaderLine(char* data, size_t size, size_t count, void* userp) {
  auto* ex = static_cast<THttpClient::Exchange*>(userp);
  const size_t n = size * count;
  std::string_view line(data, n);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.size() >= 5 && line.substr(0, 5) == "HTTP/") {
    // A new response (after an interim 1xx one): start afresh.
    ex->Response = THttpResponse{};
    ex->Response.StatusLine = std::string(line);
    const std::size_t sp = line.find(' ');
    if (sp != std::string_view::npos)
      ex->Response.Code = std::atoi(std::string(line.substr(sp + 1, 3)).c_str());
    ex->HeadersDone = false;
  } else if (line.empty()) {
    if (ex->Response.Code >= 200) ex->HeadersDone = true;
  } else if ((line.front() == ' ' || line.front() == '\t') && !ex->Response.RawHeaders.empty()) {
    ex->Response.RawHeaders.back() += ' ';
    ex->Response.RawHeaders.back() += TrimBlanks(line);
  } else {
    ex->Response.RawHeaders.emplace_back(line);
  }
  return n;
}

}  // namespace

// Friends of the exchange by position: libcurl calls these with the exchange as user pointer.
static size_t OnBodyData(char* data, size_t size, size_t count, void* userp);
static int OnProgress(void* clientp, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

static void BeginWorkIfDue(THttpClient::Exchange* ex) {
  if (ex->WorkBegun || !ex->HeadersDone || ex->Head || !ex->Body) return;
  ex->KeepBody =
      ex->Response.Code >= 200 && ex->Response.Code < 300 && !IsRedirectAnswer(ex->Response);
  if (!ex->KeepBody) return;
  ex->WorkBegun = true;
  if (ex->Self->OnWorkBegin)
    ex->Self->OnWorkBegin(*ex->Self, TWorkMode::Read,
                          ContentLengthOf(ex->Response.HeaderValue("Content-Length")));
}

static size_t OnBodyData(char* data, size_t size, size_t count, void* userp) {
  auto* ex = static_cast<THttpClient::Exchange*>(userp);
  const size_t n = size * count;
  try {
    BeginWorkIfDue(ex);
    if (!ex->KeepBody) return n;  // the body of a redirect or an error page is dropped
    if (ex->Received + static_cast<std::int64_t>(n) > ex->Self->Limits.MaxBodyBytes) {
      ex->OverCap = true;
      return CURL_WRITEFUNC_ERROR;
    }
    ex->Body->append(data, n);
    ex->Received += static_cast<std::int64_t>(n);
    if (ex->Self->OnWork) ex->Self->OnWork(*ex->Self, TWorkMode::Read, ex->Received);
  } catch (...) {
    ex->HandlerError = std::current_exception();
    return CURL_WRITEFUNC_ERROR;
  }
  return n;
}

static int OnProgress(void* clientp, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  auto* ex = static_cast<THttpClient::Exchange*>(clientp);
  try {
    // libcurl calls this at least about once a second, also while nothing arrives.
    if (ex->Self->ShouldAbort()) {
      ex->AbortedByUs = true;
      return 1;
    }
  } catch (...) {
    ex->HandlerError = std::current_exception();
    return 1;
  }
  return 0;
}

THttpClient::THttpClient() {
  EnsureCurlGlobal();
  curl_ = curl_easy_init();
  if (!curl_) throw EHttpError("Cannot create an HTTP connection handle");
}

THttpClient::~THttpClient() {
  curl_easy_cleanup(static_cast<CURL*>(curl_));
}

void THttpClient::CopySettingsFrom(const THttpClient& other) {
  FollowRedirects = other.FollowRedirects;
  RecvBufferSize = other.RecvBufferSize;
  SendBufferSize = other.SendBufferSize;
  UserAgent = other.UserAgent;
  Limits = other.Limits;
  Tls = other.Tls;
  OnRedirect = other.OnRedirect;
  OnWorkBegin = other.OnWorkBegin;
  OnWork = other.OnWork;
  OnWorkEnd = other.OnWorkEnd;
  OnQueryStop = other.OnQueryStop;
}

void THttpClient::SetExtraHeader(const std::string& name, const std::string& value) {
  // A Cookie header set directly goes to every scheme alike.
  if (EqualsIgnoringAsciiCase(name, "Cookie")) plainHttpCookie_.reset();
  if (value.empty()) {
    RemoveExtraHeader(name);
    return;
  }
  for (auto& h : extraHeaders_) {
    if (EqualsIgnoringAsciiCase(h.first, name)) {
      h.second = OneLine(value);
      return;
    }
  }
  extraHeaders_.emplace_back(OneLine(name), OneLine(value));
}

void THttpClient::RemoveExtraHeader(const std::string& name) {
  if (EqualsIgnoringAsciiCase(name, "Cookie")) plainHttpCookie_.reset();
  std::erase_if(extraHeaders_,
                [&](const auto& h) { return EqualsIgnoringAsciiCase(h.first, name); });
}

std::string THttpClient::ExtraHeader(const std::string& name) const {
  for (const auto& h : extraHeaders_)
    if (EqualsIgnoringAsciiCase(h.first, name)) return h.second;
  return {};
}

std::vector<std::string> THttpClient::RequestHeaderLines(bool https) const {
  // libcurl writes Host itself, first; every other line is ours, in this order.
  std::vector<std::string> lines;
  lines.push_back("Accept: " + std::string(kAccept));
  if (!Referer.empty()) lines.push_back("Referer: " + OneLine(Referer));
  if (!UserAgent.empty()) lines.push_back("User-Agent: " + OneLine(UserAgent));
  if (RangeStart != 0 || RangeEnd != 0) {
    std::string range = "Range: bytes=" + std::to_string(RangeStart) + "-";
    if (RangeEnd != 0) range += std::to_string(RangeEnd);
    lines.push_back(range);
  }
  for (const auto& [name, value] : extraHeaders_) {
    if (!https && plainHttpCookie_ && EqualsIgnoringAsciiCase(name, "Cookie")) {
      if (!plainHttpCookie_->empty()) lines.push_back(name + ": " + OneLine(*plainHttpCookie_));
      continue;
    }
    lines.push_back(name + ": " + value);
  }
  return lines;
}

bool THttpClient::ShouldAbort() {
  return Aborted() || (AbortCheck && AbortCheck()) || (OnQueryStop && OnQueryStop(*this));
}

void THttpClient::ConfigureHandle() {
  CURL* h = static_cast<CURL*>(curl_);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L);  // followed here, hop by hop
  // Workers always connect directly (Proxy stays empty); the online update may set one.
  curl_easy_setopt(h, CURLOPT_PROXY, Proxy.c_str());
  // The receive buffer is the socket's; the transfer library's own read block stays at its
  // usual size, since every client would hold a block of the socket's size for its whole life.
  curl_easy_setopt(h, CURLOPT_BUFFERSIZE, std::min<long>(RecvBufferSize, kReadBlockBytes));
  curl_easy_setopt(h, CURLOPT_SOCKOPTFUNCTION, &SetSocketBuffers);
  curl_easy_setopt(h, CURLOPT_SOCKOPTDATA, this);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, Limits.ConnectTimeoutMs);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, Limits.LowSpeedBytes);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, Limits.LowSpeedSeconds);
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, &OnHeaderLine);
  curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &OnBodyData);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &OnProgress);
  ConfigureTls();
}

void THttpClient::ConfigureTls() {
  if (appliedTls_ && *appliedTls_ == Tls) return;
  CURL* h = static_cast<CURL*>(curl_);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, Tls.VerifyPeer ? 1L : 0L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, Tls.VerifyPeer ? 2L : 0L);
  if (Tls.ExtraCaFile.empty()) {
    curl_easy_setopt(h, CURLOPT_CAINFO_BLOB, nullptr);
  } else {
    // The extra CAs are trusted besides, not instead of, the system's store.
    bool ok = false;
    const std::string extra = ReadTextFile(Tls.ExtraCaFile, ok);
    if (!ok) throw EHttpTlsError("Cannot read the extra CA file " + Tls.ExtraCaFile);
    bool systemOk = false;
    std::string bundle = ReadTextFile(DefaultCaFile(h), systemOk);
    bundle += '\n';
    bundle += extra;
    curl_blob blob{bundle.data(), bundle.size(), CURL_BLOB_COPY};
    curl_easy_setopt(h, CURLOPT_CAINFO_BLOB, &blob);
  }
  appliedTls_ = Tls;
}

void THttpClient::PerformOne(Exchange& ex) {
  CURL* h = static_cast<CURL*>(curl_);
  ConfigureHandle();
  curl_easy_setopt(h, CURLOPT_URL, ex.Url.c_str());
  if (ex.Head)
    curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
  else
    curl_easy_setopt(h, CURLOPT_HTTPGET, 1L);
  curl_slist* headers = nullptr;
  const bool https = ex.Url.size() > 8 &&
                     EqualsIgnoringAsciiCase(std::string_view(ex.Url).substr(0, 8), "https://");
  for (const std::string& line : RequestHeaderLines(https))
    headers = curl_slist_append(headers, line.c_str());
  curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &ex);
  curl_easy_setopt(h, CURLOPT_WRITEDATA, &ex);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &ex);
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, ex.ErrorText);

  const CURLcode rc = curl_easy_perform(h);
  long opened = 0;
  if (curl_easy_getinfo(h, CURLINFO_NUM_CONNECTS, &opened) == CURLE_OK)
    connectionsOpened_ += opened;

  curl_easy_setopt(h, CURLOPT_HTTPHEADER, nullptr);
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, nullptr);
  curl_slist_free_all(headers);

  // Whatever headers arrived stay readable, also when the request fails.
  response_ = std::move(ex.Response);
  response_.ContentLength = ContentLengthOf(response_.HeaderValue("Content-Length"));
  response_.LastModified = LastModifiedOf(response_.HeaderValue("Last-Modified"));

  if (ex.WorkBegun && OnWorkEnd) {
    try {
      OnWorkEnd(*this, TWorkMode::Read);
    } catch (...) {
      if (!ex.HandlerError) ex.HandlerError = std::current_exception();
    }
  }
  if (ex.HandlerError) std::rethrow_exception(ex.HandlerError);
  if (rc == CURLE_OK) return;
  if (ex.AbortedByUs) throw EHttpAborted("Transfer aborted");
  if (ex.OverCap)
    throw EHttpError("Response body larger than " + std::to_string(Limits.MaxBodyBytes) + " bytes");
  if (IsTlsFailure(rc)) throw EHttpTlsError(TlsFailureText(rc, ex.ErrorText));
  std::string message = curl_easy_strerror(rc);
  if (ex.ErrorText[0]) message += std::string(": ") + ex.ErrorText;
  throw EHttpError(message);
}

void THttpClient::Perform(const std::string& url, bool head, std::string* body) {
  response_ = THttpResponse{};
  response_.LastModified = LastModifiedOf({});
  finalUrl_ = url;
  ChainTarget = -1;
  std::string current = WireUrl(url);
  for (int request = 1;; ++request) {
    if (ShouldAbort()) throw EHttpAborted("Transfer aborted");
    Exchange ex;
    ex.Self = this;
    ex.Url = current;
    ex.Head = head;
    ex.Body = body;
    PerformOne(ex);
    finalUrl_ = current;
    if (FollowRedirects && IsRedirectAnswer(response_)) {
      std::string location = response_.HeaderValue("Location");
      if (OnRedirect) OnRedirect(*this, location);
      // The 15th request of a chain ends it: its redirect is reported but not followed.
      if (request >= kRedirectMaximum) return;
      current = ResolveForFollow(current, location);
      continue;
    }
    if (response_.Code >= 200 && response_.Code < 300) return;
    if (!response_.HeaderValue("Location").empty() && response_.Code != 304) return;
    throw EHttpProtocolError(response_.Code, response_.StatusLine);
  }
}

void THttpClient::Head(const std::string& url) {
  Perform(url, true, nullptr);
}

void THttpClient::Get(const std::string& url, std::string& body) {
  Perform(url, false, &body);
}

}  // namespace qm
