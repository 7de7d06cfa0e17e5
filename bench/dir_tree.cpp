// Saving and loading a large category tree: 100 categories of 200 tasks each (20,102 items,
// about 2.6 MB of "Dir.ini"), and the compaction done at close after deletions.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "manager/DirUnit.h"

namespace {

constexpr int kCategories = 100;
constexpr int kTasksPerCategory = 200;

std::string TempDirFile() {
  char pattern[] = "/tmp/qm-bench-dir-XXXXXX";
  const char* dir = ::mkdtemp(pattern);
  return std::string(dir ? dir : "/tmp") + "/Dir.ini";
}

void BuildLargeTree(qm::TDir& tree) {
  for (int c = 0; c < kCategories; ++c) {
    qm::TDirItem category;
    category.Name = "分类 " + std::to_string(c);
    category.Expand = c % 2 == 0;
    const std::int32_t parent = tree.AddItem(qm::RootItem, category);
    for (int t = 0; t < kTasksPerCategory; ++t) {
      qm::TDirItem task;
      task.Type = qm::ItemTask;
      task.Name = "站点 " + std::to_string(t);
      task.Path = "\\home\\user\\Websites\\c" + std::to_string(c) + "\\";
      task.FileName = "www.site" + std::to_string(t) + ".example.web";
      task.StartURL = "http://www.site" + std::to_string(t) + ".example/index.html";
      tree.AddItem(parent, task);
    }
  }
}

void BM_SaveDir(benchmark::State& state) {
  qm::TDir tree(TempDirFile());
  BuildLargeTree(tree);
  for (auto _ : state) tree.SaveDir();
  state.counters["items"] = static_cast<double>(tree.Items.size());
  std::filesystem::remove_all(std::filesystem::path(tree.FileName()).parent_path());
}
BENCHMARK(BM_SaveDir)->Unit(benchmark::kMillisecond);

void BM_LoadDir(benchmark::State& state) {
  qm::TDir tree(TempDirFile());
  BuildLargeTree(tree);
  tree.SaveDir();
  for (auto _ : state) {
    qm::TDir loaded(tree.FileName());
    loaded.LoadDir();
    benchmark::DoNotOptimize(loaded.Items.data());
  }
  std::filesystem::remove_all(std::filesystem::path(tree.FileName()).parent_path());
}
BENCHMARK(BM_LoadDir)->Unit(benchmark::kMillisecond);

// Every tenth task deleted, then the renumbering done at close.
void BM_CompactAfterDeletions(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    qm::TDir tree("");
    BuildLargeTree(tree);
    for (std::size_t i = 2; i < tree.Items.size(); i += 10)
      if (tree.Items[i].Type == qm::ItemTask) tree.DeleteTask(static_cast<std::int32_t>(i));
    state.ResumeTiming();
    tree.Compact();
    benchmark::DoNotOptimize(tree.Items.data());
  }
}
BENCHMARK(BM_CompactAfterDeletions)->Unit(benchmark::kMillisecond);

}  // namespace
