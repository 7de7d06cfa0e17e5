#pragma once
// A download worker's HTTP/1.1 client: HEAD, whole-body GET into memory and ranged GET, over one
// libcurl easy handle per client (connections are kept and reused between requests). Redirects
// are followed by this class itself so that every hop raises the redirect event first. Clients are
// never shared between threads; only Abort() and Tag() may be used from another thread.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/DateTime.h"

namespace qm {

// Any failure of a request: no connection, a name that does not resolve, a broken or stalled
// transfer, an aborted transfer, a body over the size cap.
class EHttpError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A response outside the 2xx class without a Location header; the message is the status line.
class EHttpProtocolError : public EHttpError {
 public:
  EHttpProtocolError(int code, const std::string& statusLine)
      : EHttpError(statusLine), Code(code) {}
  int Code;
};

// The server's certificate was refused (expired, unknown issuer, wrong name...) or no secure
// connection could be made. The message names the reason.
class EHttpTlsError : public EHttpError {
 public:
  using EHttpError::EHttpError;
};

// The transfer was stopped by Abort() or the abort check.
class EHttpAborted : public EHttpError {
 public:
  using EHttpError::EHttpError;
};

// Direction of a transfer, passed to the progress events (only bodies being read are reported).
enum class TWorkMode { Read, Write };

// What the last response of the last request said. After a redirect chain: the last hop's.
struct THttpResponse {
  int Code = 0;                    // 0 when no response arrived
  std::string StatusLine;          // "HTTP/1.1 200 OK", without the line end
  std::int64_t ContentLength = 0;  // 0 when absent
  // Last-Modified as a local date-time. At or below one third of a day means "no date": an absent
  // or unreadable header gives 0 shifted by the local offset from UTC (never above that bound).
  TDateTime LastModified = 0;
  // Every header line after the status line, as "Name: value" without the line end, in order.
  std::vector<std::string> RawHeaders;

  // The value of the first header of that name (ASCII case ignored), trimmed; empty when absent.
  std::string HeaderValue(std::string_view name) const;
  // The values of every header of that name, in order.
  std::vector<std::string> HeaderValues(std::string_view name) const;
};

// Limits that keep a worker from hanging on a dead or lying server. The program sets none of its
// own time-outs beyond these generous ones; tests shorten them.
struct THttpLimits {
  long ConnectTimeoutMs = 30000;  // giving up on connecting (name lookup included)
  long LowSpeedBytes = 1;         // a transfer slower than this many bytes per second ...
  long LowSpeedSeconds = 60;      // ... for this many seconds in a row fails
  // The most a single Get may hold in memory; a longer body fails the request.
  std::int64_t MaxBodyBytes = 64LL * 1024 * 1024;
};

// How https:// servers are checked. By default the certificate chain must lead to a CA of the
// system's store and name the host.
struct TTlsOptions {
  bool VerifyPeer = true;
  // A PEM file of further CAs trusted besides the system's store; none when empty.
  std::string ExtraCaFile;

  bool operator==(const TTlsOptions&) const = default;
};

class THttpClient {
 public:
  static constexpr std::string_view kUserAgent =
      "Mozilla/4.0 (compatible; MSIE 5.01; Windows NT 5.0; MyIE2)";
  static constexpr std::string_view kAccept = "text/html, */*";
  // Requests in one redirect chain: at most this many minus one redirects are followed.
  static constexpr int kRedirectMaximum = 15;

  using RedirectHandler = std::function<void(THttpClient& sender, std::string& location)>;
  using WorkBeginHandler =
      std::function<void(THttpClient& sender, TWorkMode mode, std::int64_t expected)>;
  using WorkHandler = std::function<void(THttpClient& sender, TWorkMode mode, std::int64_t count)>;
  using WorkEndHandler = std::function<void(THttpClient& sender, TWorkMode mode)>;
  using StopQuery = std::function<bool(THttpClient& sender)>;

  THttpClient();
  ~THttpClient();
  THttpClient(const THttpClient&) = delete;
  THttpClient& operator=(const THttpClient&) = delete;

  // Copies the template settings of another client: redirect following, buffer sizes,
  // User-Agent, the event handlers, the stop query, the limits and the TLS options. Nothing else
  // (no headers, no tag, no AbortCheck).
  void CopySettingsFrom(const THttpClient& other);

  // ---- requests (blocking; raise EHttpError and its subclasses) ----
  void Head(const std::string& url);
  // GET; the body is appended to `body`. With RangeStart or RangeEnd set, a ranged GET.
  void Get(const std::string& url, std::string& body);

  // ---- template settings ----
  bool FollowRedirects = true;
  long RecvBufferSize = 102400;
  long SendBufferSize = 10240;
  std::string UserAgent{kUserAgent};
  THttpLimits Limits;
  TTlsOptions Tls;
  RedirectHandler OnRedirect;
  WorkBeginHandler OnWorkBegin;
  WorkHandler OnWork;
  WorkEndHandler OnWorkEnd;
  // Polled during transfers like AbortCheck, but shared by all clients of the template: true when
  // the run this client serves has been stopped.
  StopQuery OnQueryStop;
  // "host:port" of an HTTP proxy; empty connects directly (the environment's proxy is ignored).
  std::string Proxy;

  // ---- per-request settings, kept until changed ----
  std::string Referer;          // no Referer header when empty
  std::int64_t RangeStart = 0;  // "Range: bytes=start-end", "start-" when only a start is set,
  std::int64_t RangeEnd = 0;    // no header when both are 0
  // Further request headers ("Cookie"), written after the others in the order they were first
  // set. Values are always sent on one line: header values are never folded.
  void SetExtraHeader(const std::string& name, const std::string& value);
  void RemoveExtraHeader(const std::string& name);
  std::string ExtraHeader(const std::string& name) const;  // empty when not set
  // The "Cookie" value for requests to http:// URLs when it differs from the one set as extra
  // header (the cookies marked Secure left out); no Cookie header there when it is empty.
  // Requests to https:// URLs carry the extra header's value.
  void SetPlainHttpCookie(std::string value) { plainHttpCookie_ = std::move(value); }
  void ClearPlainHttpCookie() { plainHttpCookie_.reset(); }
  const std::vector<std::pair<std::string, std::string>>& ExtraHeaders() const {
    return extraHeaders_;
  }

  // Scratch for the redirect handler: the table entry the previous hop of the request in progress
  // added (and so claimed for this client's worker), -1 none. Cleared when a request starts.
  std::int32_t ChainTarget = -1;

  // ---- response of the last request ----
  const THttpResponse& Response() const { return response_; }
  // The URL the last request ended at (after the redirects it followed).
  const std::string& FinalUrl() const { return finalUrl_; }
  // Connections this client has opened so far. The connection to a server is kept open and
  // reused by the next request, so a worker normally opens one per host (and scheme).
  std::int64_t ConnectionsOpened() const { return connectionsOpened_; }

  // ---- routing and control ----
  // Task index (high 16 bits) and worker index (low 16 bits); read by the event handlers.
  std::uint32_t Tag() const { return tag_.load(std::memory_order_relaxed); }
  void SetTag(std::uint32_t tag) { tag_.store(tag, std::memory_order_relaxed); }
  // Stops the transfer in progress within about a second and makes every later request fail at
  // once, until ClearAbort(). Safe from any thread.
  void Abort() { abort_.store(true); }
  void ClearAbort() { abort_.store(false); }
  bool Aborted() const { return abort_.load(); }
  // An extra stop condition polled during transfers on the client's own thread (for example "the
  // worker was asked to terminate or its task was stopped"). True aborts like Abort().
  std::function<bool()> AbortCheck;
  // Abort(), AbortCheck or OnQueryStop asks the transfer to stop (on the client's own thread).
  bool ShouldAbort();

  struct Exchange;  // one request and its response on the wire (implementation detail)

 private:
  void Perform(const std::string& url, bool head, std::string* body);
  void PerformOne(Exchange& ex);
  void ConfigureHandle();
  void ConfigureTls();
  std::vector<std::string> RequestHeaderLines(bool https) const;

  void* curl_ = nullptr;  // CURL*
  THttpResponse response_;
  std::string finalUrl_;
  std::int64_t connectionsOpened_ = 0;
  // The TLS options the handle holds; reapplied only when they change, since the CA bundle is
  // read from disk.
  std::optional<TTlsOptions> appliedTls_;
  std::vector<std::pair<std::string, std::string>> extraHeaders_;
  std::optional<std::string> plainHttpCookie_;
  std::atomic<std::uint32_t> tag_{0};
  std::atomic<bool> abort_{false};
};

}  // namespace qm
