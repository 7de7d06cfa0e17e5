#include "engine/HttpEvents.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>
#include <mutex>
#include <utility>

#include "config/Setting.h"
#include "engine/TaskRegistry.h"
#include "platform/Pacing.h"
#include "task/HttpWork.h"
#include "task/Task.h"
#include "url/UrlLib.h"

namespace qm {
namespace {

std::int32_t TaskIndexOf(const THttpClient& client) {
  return static_cast<std::int32_t>(client.Tag() >> 16);
}

std::size_t WorkerIndexOf(const THttpClient& client) {
  return client.Tag() & 0xFFFFu;
}

// The worker's meter, or null when the task has none for it (a stopped or finished run).
std::shared_ptr<THttpWork> MeterOf(const THttpClient& client) {
  TTask* task = FindTask(TaskIndexOf(client));
  if (!task) return nullptr;
  std::lock_guard<std::mutex> guard(task->WorkersLock);
  const std::size_t worker = WorkerIndexOf(client);
  if (task->Meters.empty() || worker >= task->Meters.size()) return nullptr;
  return task->Meters[worker];
}

std::int32_t ClampToInt32(std::int64_t n) {
  return static_cast<std::int32_t>(
      std::clamp<std::int64_t>(n, 0, std::numeric_limits<std::int32_t>::max()));
}

void WriteStub(const std::string& path, const std::string& page) {
  const std::size_t slash = path.rfind('\\');
  if (slash != std::string::npos) ForceDirs(path.substr(0, slash + 1));
  const std::filesystem::path native(NativePath(path));
  std::error_code ec;
  if (std::filesystem::exists(native, ec)) {
    std::filesystem::remove(native, ec);
    PacedSleep(10);
  }
  std::ofstream out(native, std::ios::binary | std::ios::trunc);
  out.write(page.data(), static_cast<std::streamsize>(page.size()));
  out.close();
  if (!out) throw EHttpError("Cannot write " + path);
}

}  // namespace

THttpClient& HttpTemplate() {
  static THttpClient* templ = [] {
    auto* c = new THttpClient;
    c->FollowRedirects = true;
    c->RecvBufferSize = 102400;
    c->SendBufferSize = 10240;
    c->UserAgent = std::string(THttpClient::kUserAgent);
    c->OnRedirect = &IdHTTP1Redirect;
    c->OnWorkBegin = &IdHTTP1WorkBegin;
    c->OnWork = &IdHTTP1Work;
    c->OnWorkEnd = &IdHTTP1WorkEnd;
    c->OnQueryStop = &IdHTTP1StopRequested;
    return c;
  }();
  return *templ;
}

std::unique_ptr<THttpClient> MakeHttpClient() {
  auto client = std::make_unique<THttpClient>();
  client->CopySettingsFrom(HttpTemplate());
  // Read per run, so a changed setting holds from the next run on.
  client->Tls.VerifyPeer = VerifyCertificates;
  client->Tls.ExtraCaFile = ExtraCaFile.Get();
  return client;
}

std::string RedirectStubPage(const std::string& relativeTarget) {
  return "<HTML> <HEAD> <TITLE>WELCOME</TITLE> <META http-equiv=\"Refresh\" content=\"0;url=" +
         relativeTarget + "\"> </HEAD> </HTML>";
}

std::string RedirectStubPath(const std::string& folder, const std::string& url) {
  std::string path = LocalPathOf(folder, url);
  // The stub is a page: a name without a static page extension gets one.
  if (!HasExtIn(path, StaticPageExts)) path += ".html";
  return path;
}

void IdHTTP1Redirect(THttpClient& sender, std::string& location) {
  TTask* task = FindTask(TaskIndexOf(sender));
  if (!task) return;
  std::string current;
  {
    std::lock_guard<std::mutex> guard(task->WorkersLock);
    const std::size_t worker = WorkerIndexOf(sender);
    if (task->WorkerUrls.empty() || worker >= task->WorkerUrls.size()) return;
    current = task->WorkerUrls[worker];
  }
  if (current.empty()) return;
  std::string resolved;
  // A location that cannot be made absolute is followed as it is, with no stub and no record.
  if (!MakeAbsoluteUrl(location, current, resolved) || resolved.empty()) return;
  location = resolved;
  // A redirect back to the requested URL itself (a cookie round trip) moves nothing.
  if (resolved == current) return;
  // A move to the other scheme (or port) of the same URL leads to the same local file: a stub
  // there would refresh to itself and could overwrite the target's copy.
  const std::string stubPath = RedirectStubPath(task->Folder, current);
  if (stubPath != LocalPathOf(task->Folder, resolved))
    WriteStub(stubPath, RedirectStubPage(RelativeLocalPath(resolved, current)));
  bool created = false;
  const std::int32_t target = task->RedirectUrl(current, resolved, &created);
  // Every hop is recorded for the requested URL, so an entry the previous hop created is left
  // claimed by nobody: hand it back to the workers, or the table would never be finished.
  const std::int32_t previous = std::exchange(sender.ChainTarget, created ? target : -1);
  if (previous >= 0 && previous != target && task->GetStatus(previous) == InProgress)
    task->SetStatus(previous, NotDownloaded);
}

void IdHTTP1WorkBegin(THttpClient& sender, TWorkMode, std::int64_t expected) {
  if (auto meter = MeterOf(sender)) meter->BeginWork(ClampToInt32(expected), Now());
}

void IdHTTP1Work(THttpClient& sender, TWorkMode, std::int64_t count) {
  if (auto meter = MeterOf(sender)) meter->Work(ClampToInt32(count), Now());
}

void IdHTTP1WorkEnd(THttpClient& sender, TWorkMode) {
  if (auto meter = MeterOf(sender)) meter->EndWork(Now());
}

bool IdHTTP1StopRequested(THttpClient& sender) {
  TTask* task = FindTask(TaskIndexOf(sender));
  if (!task || task->State.load() != Stopped) return false;
  // Only a client registered with that task (an unregistered client's tag means nothing), and
  // only once the stop has dismissed the workers: a task is also "stopped" between its creation
  // and the start of its first run.
  std::lock_guard<std::mutex> guard(task->WorkersLock);
  const std::size_t worker = WorkerIndexOf(sender);
  return worker < task->HttpClients.size() && task->HttpClients[worker] == &sender &&
         worker >= task->Workers.size();
}

}  // namespace qm
