// Saving and loading the task file of a large task: 1,000,000 records (1000 directories of
// 999 pages each), about 185 MB on disk.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "task/Task.h"
#include "task/TaskFile.h"

namespace {

constexpr int kDirs = 1000;
constexpr int kPagesPerDir = 999;

qm::TExtendUrlRec Node(const std::string& name, int parent) {
  qm::TExtendUrlRec r = qm::EmptyUrlRec();
  r.Url.Set(name);
  r.Kind = 0;
  r.ParentId = parent;
  r.RedirectId = -1;
  r.NextId = r.PrevId = r.FirstChildId = r.LastChildId = -1;
  return r;
}

// Appends `child` as the last child of `parent`, as the table does.
void Link(qm::TTask& task, int parent, int child) {
  auto& p = task.Urls[parent];
  if (p.LastChildId < 0) {
    p.FirstChildId = child;
  } else {
    task.Urls[p.LastChildId].NextId = child;
    task.Urls[child].PrevId = p.LastChildId;
  }
  p.LastChildId = child;
}

void BuildLargeTable(qm::TTask& task) {
  const int count = 3 + kDirs * (1 + kPagesPerDir);  // start URL, root, host, dirs and pages
  task.Urls.assign(static_cast<std::size_t>(count) * 2, qm::EmptyUrlRec());
  task.UrlFlags.assign(task.Urls.size(), qm::UrlFlagRec{});
  int n = 0;
  auto page = [&](const std::string& url, int parent) {
    qm::TExtendUrlRec r = Node(url, parent);
    r.Kind = 1;
    r.Status = n % 7 == 0 ? qm::InProgress : qm::Saved;
    r.Size = 4096 + n;
    r.FileTime = 45000.25;
    r.Layer = 2;
    r.ReferId = n / 2;
    r.OwnBase = 1;
    task.Urls[n] = r;
    Link(task, parent, n);
    return n++;
  };
  n = 1;
  task.Urls[n++] = Node("", -1);
  task.Urls[n] = Node("www.example.test", 1);
  Link(task, 1, n++);
  const int host = 2;
  n = 0;
  page("http://www.example.test/index.html", host);
  n = 3;
  for (int d = 0; d < kDirs; ++d) {
    const std::string dirName = "section" + std::to_string(d);
    const int dir = n;
    task.Urls[n] = Node(dirName, host);
    Link(task, host, n++);
    for (int p = 0; p < kPagesPerDir; ++p)
      page("http://www.example.test/" + dirName + "/article-" + std::to_string(p) + ".html", dir);
  }
  task.Count = n;
}

// The task folder: on the disk below the temp folder (argument 0), or in memory on /dev/shm
// (argument 1), which leaves out the wait for the disk and shows the program's own share.
struct Fixture {
  explicit Fixture(bool inMemory) {
    std::string tmpl =
        (inMemory ? std::string("/dev/shm") : std::filesystem::temp_directory_path().string()) +
        "/quillmoss-bench-XXXXXX";
    dir = mkdtemp(tmpl.data());
    task.Folder = dir + "\\";
    task.FileName = "large.web";
    BuildLargeTable(task);
  }
  ~Fixture() { std::filesystem::remove_all(dir); }
  std::string dir;
  qm::TTask task;
};

Fixture& Shared(bool inMemory) {
  static Fixture onDisk(false);
  static Fixture inRam(true);
  return inMemory ? inRam : onDisk;
}

void BM_SaveTaskFile(benchmark::State& state) {
  Fixture& f = Shared(state.range(0) != 0);
  for (auto _ : state) {
    if (!qm::SaveTaskFile(f.task)) state.SkipWithError("save failed");
  }
  state.counters["records"] = f.task.Count;
  state.SetBytesProcessed(state.iterations() * std::int64_t{f.task.Count} * 185);
}
BENCHMARK(BM_SaveTaskFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_LoadTaskFile(benchmark::State& state) {
  Fixture& f = Shared(state.range(0) != 0);
  if (!qm::SaveTaskFile(f.task)) state.SkipWithError("save failed");
  for (auto _ : state) {
    qm::TTask loaded;
    loaded.Folder = f.task.Folder;
    loaded.FileName = f.task.FileName;
    const qm::TTaskFileResult r = qm::LoadTaskFile(loaded);
    if (!r || !r.Message.empty() || loaded.Count != f.task.Count)
      state.SkipWithError("load failed");
    state.PauseTiming();  // freeing the table is not part of loading it
    {
      qm::TTask discard;
      std::swap(discard.Urls, loaded.Urls);
      std::swap(discard.UrlFlags, loaded.UrlFlags);
    }
    state.ResumeTiming();
  }
  state.counters["records"] = f.task.Count;
  state.SetBytesProcessed(state.iterations() * std::int64_t{f.task.Count} * 185);
}
BENCHMARK(BM_LoadTaskFile)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(5);

// The share of loading that rebuilds the in-memory lookup index of the table read.
void BM_RebuildIndexAfterLoad(benchmark::State& state) {
  Fixture& f = Shared(true);
  if (!qm::SaveTaskFile(f.task)) state.SkipWithError("save failed");
  qm::TTask loaded;
  loaded.Folder = f.task.Folder;
  loaded.FileName = f.task.FileName;
  if (!qm::LoadTaskFile(loaded)) state.SkipWithError("load failed");
  for (auto _ : state) loaded.RebuildIndex();
  state.counters["records"] = loaded.Count;
}
BENCHMARK(BM_RebuildIndexAfterLoad)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
