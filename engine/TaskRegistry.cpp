#include "engine/TaskRegistry.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace qm {
namespace {

// Looked up by every worker many times per request (its stop test and its speed meter), so the
// lookup takes no lock: the slots live in blocks that are made once and never move or go away,
// and each slot is an atomic pointer. Registrations, which are rare, take a lock among themselves.
// Lists longer than the blocks hold (a quarter of a million tasks) keep the rest under the lock.
constexpr std::size_t kBlockSlots = 1024;
constexpr std::size_t kBlocks = 256;

struct TBlock {
  std::array<std::atomic<TTask*>, kBlockSlots> Slots{};
};

std::array<std::atomic<TBlock*>, kBlocks>& Blocks() {
  static std::array<std::atomic<TBlock*>, kBlocks> blocks{};
  return blocks;
}

std::mutex& RegistryLock() {
  static std::mutex lock;
  return lock;
}

// Tasks past the blocks, by index minus kBlocks * kBlockSlots; guarded by RegistryLock.
std::vector<TTask*>& Overflow() {
  static std::vector<TTask*> tasks;
  return tasks;
}
constexpr std::size_t kInBlocks = kBlocks * kBlockSlots;

}  // namespace

void RegisterTask(std::int32_t index, TTask* task) {
  if (index < 0) return;
  const auto at = static_cast<std::size_t>(index);
  std::lock_guard<std::mutex> guard(RegistryLock());
  if (at >= kInBlocks) {
    auto& overflow = Overflow();
    if (at - kInBlocks >= overflow.size()) overflow.resize(at - kInBlocks + 1, nullptr);
    overflow[at - kInBlocks] = task;
    return;
  }
  std::atomic<TBlock*>& block = Blocks()[at / kBlockSlots];
  if (!block.load(std::memory_order_relaxed)) {
    if (!task) return;  // clearing a slot that was never made
    block.store(std::make_unique<TBlock>().release(), std::memory_order_release);
  }
  block.load(std::memory_order_relaxed)
      ->Slots[at % kBlockSlots]
      .store(task, std::memory_order_release);
}

TTask* FindTask(std::int32_t index) {
  if (index < 0) return nullptr;
  const auto at = static_cast<std::size_t>(index);
  if (at >= kInBlocks) {
    std::lock_guard<std::mutex> guard(RegistryLock());
    const auto& overflow = Overflow();
    return at - kInBlocks < overflow.size() ? overflow[at - kInBlocks] : nullptr;
  }
  const TBlock* block = Blocks()[at / kBlockSlots].load(std::memory_order_acquire);
  return block ? block->Slots[at % kBlockSlots].load(std::memory_order_acquire) : nullptr;
}

void ClearTaskRegistry() {
  std::lock_guard<std::mutex> guard(RegistryLock());
  for (std::atomic<TBlock*>& block : Blocks())
    if (TBlock* b = block.load(std::memory_order_relaxed))
      for (std::atomic<TTask*>& slot : b->Slots) slot.store(nullptr, std::memory_order_release);
  Overflow().clear();
}

}  // namespace qm
