#include "platform/Pacing.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace qm {
namespace {
std::atomic<double> g_pacing{1.0};
}

void SetPacingFactor(double factor) {
  g_pacing.store(factor < 0 ? 0 : factor);
}
double PacingFactor() {
  return g_pacing.load();
}

void PacedSleep(int ms) {
  const double real = ms * g_pacing.load();
  if (real <= 0) return;
  std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long long>(real * 1000.0)));
}

}  // namespace qm
