// Tasks by their index in the task manager's list, as the client handlers find them by tag.
#include <gtest/gtest.h>

#include <limits>

#include "engine/TaskRegistry.h"
#include "task/Task.h"

namespace qm {
namespace {

TEST(TaskRegistry, FindsTasksAcrossBlocksAndForgetsThemWhenCleared) {
  ClearTaskRegistry();
  TTask a, b, c, d;
  const struct {
    std::int32_t Index;
    TTask* Task;
  } placed[] = {{0, &a}, {1023, &b}, {1024, &c}, {300000, &d}};  // the last past the blocks
  for (const auto& p : placed) RegisterTask(p.Index, p.Task);
  for (const auto& p : placed) EXPECT_EQ(FindTask(p.Index), p.Task) << p.Index;

  // Slots never filled, in made blocks and beyond them, and indexes no list can have.
  for (std::int32_t index :
       {1, 1025, 69999, 299999, 2000000, -1, std::numeric_limits<std::int32_t>::max()})
    EXPECT_EQ(FindTask(index), nullptr) << index;

  RegisterTask(1024, nullptr);  // a slot cleared alone
  EXPECT_EQ(FindTask(1024), nullptr);
  EXPECT_EQ(FindTask(1023), &b);
  RegisterTask(3000000, nullptr);  // clearing where nothing was ever put is harmless
  EXPECT_EQ(FindTask(3000000), nullptr);

  ClearTaskRegistry();
  for (const auto& p : placed) EXPECT_EQ(FindTask(p.Index), nullptr) << p.Index;
  RegisterTask(1023, &b);  // a cleared block takes tasks again
  EXPECT_EQ(FindTask(1023), &b);
  ClearTaskRegistry();
}

}  // namespace
}  // namespace qm
