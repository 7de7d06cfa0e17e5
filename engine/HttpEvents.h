#pragma once
// The program's HTTP client template and the event handlers shared by all worker clients. The
// handlers find their task and worker from the client's tag alone (task index in the task
// registry, high 16 bits; worker index, low 16 bits).
#include <cstdint>
#include <memory>
#include <string>

#include "engine/HttpClient.h"

namespace qm {

// The template client held by the program: redirects followed, buffers 102400/10240 bytes, the
// program's User-Agent, the four handlers and the stop query below. Change it on the main thread
// only.
THttpClient& HttpTemplate();
// A fresh client with the template's settings copied (one per worker, per run).
std::unique_ptr<THttpClient> MakeHttpClient();

// Before each redirect hop: resolves the location against the worker's current URL, writes a
// stub page at that URL's local file and records the redirect in the task's URL table. Leaves
// everything unchanged when the task, its worker arrays or the worker's slot are gone, or when
// the location cannot be made absolute. A failure to write the stub propagates.
void IdHTTP1Redirect(THttpClient& sender, std::string& location);
// Progress of a body transfer, fed to the worker's speed meter (nothing when it has none).
void IdHTTP1WorkBegin(THttpClient& sender, TWorkMode mode, std::int64_t expected);
void IdHTTP1Work(THttpClient& sender, TWorkMode mode, std::int64_t count);
void IdHTTP1WorkEnd(THttpClient& sender, TWorkMode mode);
// The template's stop query: true when the client still serves a task whose run was stopped, so
// that Stop ends a transfer in progress instead of waiting for it.
bool IdHTTP1StopRequested(THttpClient& sender);

// The stub page that replaces a redirected URL's local file: it refreshes to `relativeTarget`.
std::string RedirectStubPage(const std::string& relativeTarget);
// Where the stub of `url` is written below `folder`: its local file, with ".html" appended unless
// the name already has a static page extension.
std::string RedirectStubPath(const std::string& folder, const std::string& url);

}  // namespace qm
