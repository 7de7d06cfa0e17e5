// Task files come from disk and may be damaged: whatever one holds, reading it either fails or
// gives a table whose links all stay inside it, on which lookups, additions and a save work.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "task/Task.h"
#include "task/TaskFile.h"

namespace {

const std::string& Scratch() {
  // In memory where possible: every run writes the file twice.
  static const std::string path = std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") +
                                  "/quillmoss-fuzz-task-" + std::to_string(getpid()) + ".web";
  static const struct Cleanup {
    ~Cleanup() { unlink(path.c_str()); }
  } cleanup;
  return path;
}

void Require(bool ok, const char* what) {
  if (ok) return;
  std::fprintf(stderr, "task file fuzz: %s does not hold\n", what);
  std::abort();
}
#define Check(cond) Require((cond), #cond)

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(Scratch().c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);

  qm::TTask task;
  const qm::TTaskFileResult r = qm::ReadTaskFile(task, Scratch());
  if (!r) {
    Check(!task.Loaded && !r.Message.empty());
    return 0;
  }
  Check(task.Loaded && task.Count > 0 && task.Urls.size() >= static_cast<std::size_t>(task.Count));
  Check(task.UrlFlags.size() == task.Urls.size());
  for (std::int32_t i = 0; i < task.Count; ++i) {
    const qm::TExtendUrlRec& rec = task.Urls[i];
    for (std::int32_t link :
         {rec.ParentId, rec.NextId, rec.PrevId, rec.FirstChildId, rec.LastChildId, rec.RedirectId})
      Check(link == -1 || (link >= 0 && link < task.Count));
    Check(rec.Status != qm::InProgress);
  }
  task.Recount();
  for (std::int32_t i = 0; i < task.Count && i < 64; ++i) {
    task.GetUrl(i);
    task.FindUrl(task.GetRawUrl(i));
  }
  qm::TExtendUrlRec rec = qm::EmptyUrlRec();
  rec.Url.Set("http://fuzz.test/a/b.html");
  const std::int32_t added = task.AddUrl(rec);
  Check(added < 0 || task.FindUrl("http://fuzz.test/a/b.html") >= 0);
  Check(qm::WriteTaskFile(task, Scratch()).Ok);
  return 0;
}
