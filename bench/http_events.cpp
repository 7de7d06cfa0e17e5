// Cost of the transfer events a worker's client raises for every received block: the handler
// finds task and worker through the tag and feeds the worker's speed meter.
#include <benchmark/benchmark.h>

#include "engine/HttpEvents.h"
#include "engine/TaskRegistry.h"
#include "task/Task.h"

namespace {

struct Fixture {
  Fixture() {
    qm::RegisterTask(3, &task);
    task.ManagerIndex = 3;
    for (int i = 0; i < 10; ++i) {
      clients.push_back(qm::MakeHttpClient());
      task.RegisterWorker(nullptr, clients.back().get());
    }
  }
  ~Fixture() { qm::ClearTaskRegistry(); }
  qm::TTask task;
  std::vector<std::unique_ptr<qm::THttpClient>> clients;
};

void BM_WorkEventPerBlock(benchmark::State& state) {
  Fixture f;
  qm::THttpClient& client = *f.clients[9];
  qm::IdHTTP1WorkBegin(client, qm::TWorkMode::Read, 1 << 30);
  std::int64_t received = 0;
  for (auto _ : state) {
    received += 16384;
    qm::IdHTTP1Work(client, qm::TWorkMode::Read, received);
  }
  qm::IdHTTP1WorkEnd(client, qm::TWorkMode::Read);
}
BENCHMARK(BM_WorkEventPerBlock);

void BM_WorkEventWithoutMeters(benchmark::State& state) {
  Fixture f;
  {
    std::lock_guard<std::mutex> guard(f.task.WorkersLock);
    f.task.Meters.clear();
  }
  qm::THttpClient& client = *f.clients[0];
  std::int64_t received = 0;
  for (auto _ : state) {
    received += 16384;
    qm::IdHTTP1Work(client, qm::TWorkMode::Read, received);
  }
}
BENCHMARK(BM_WorkEventWithoutMeters);

}  // namespace
