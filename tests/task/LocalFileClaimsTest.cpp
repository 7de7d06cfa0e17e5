// Holds on local files: one owner at a time, waiting until a release, a stop ends the wait, and
// a hold handed over outlives the worker's scope.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "task/LocalFileClaims.h"

namespace qm {
namespace {

TEST(LocalFileClaims, OneOwnerAtATimeAndTheOwnerAgainAtOnce) {
  TLocalFileClaims claims;
  EXPECT_TRUE(claims.TryAcquire("F\\h\\a.html", 1));
  EXPECT_TRUE(claims.TryAcquire("F\\h\\a.html", 1));
  EXPECT_FALSE(claims.TryAcquire("F\\h\\a.html", 2));
  EXPECT_TRUE(claims.TryAcquire("F\\h\\b.html", 2));
  claims.Release("F\\h\\a.html", 2);  // not the owner: nothing happens
  EXPECT_FALSE(claims.TryAcquire("F\\h\\a.html", 2));
  claims.Transfer("F\\h\\a.html", 1, 3);
  EXPECT_FALSE(claims.TryAcquire("F\\h\\a.html", 1));
  claims.Release("F\\h\\a.html", 3);
  EXPECT_TRUE(claims.TryAcquire("F\\h\\a.html", 2));
  EXPECT_EQ(claims.HeldCount(), 2u);
  claims.Clear();
  EXPECT_EQ(claims.HeldCount(), 0u);
}

TEST(LocalFileClaims, AWaiterGetsTheFileWhenItIsReleased) {
  TLocalFileClaims claims;
  ASSERT_TRUE(claims.TryAcquire("f", 1));
  std::atomic<bool> got{false};
  std::thread waiter([&] {
    got = claims.Acquire("f", 2, [] { return false; });
    claims.Release("f", 2);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(got.load());
  claims.Release("f", 1);
  waiter.join();
  EXPECT_TRUE(got.load());
  EXPECT_EQ(claims.HeldCount(), 0u);
}

TEST(LocalFileClaims, AStopEndsTheWaitWithoutAHold) {
  TLocalFileClaims claims;
  ASSERT_TRUE(claims.TryAcquire("f", 1));
  std::atomic<bool> stop{false};
  std::atomic<int> result{-1};
  std::thread waiter([&] { result = claims.Acquire("f", 2, [&] { return stop.load(); }) ? 1 : 0; });
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  stop = true;
  waiter.join();
  EXPECT_EQ(result.load(), 0);
  EXPECT_FALSE(claims.TryAcquire("f", 2));  // still the first owner's
}

TEST(LocalFileClaim, ScopeEndsTheHoldUnlessHandedOver) {
  TLocalFileClaims claims;
  const auto never = [] { return false; };
  {
    TLocalFileClaim claim(claims);
    ASSERT_TRUE(claim.Hold("a", 1, never));
    // Another file: the first is let go before the second is taken.
    ASSERT_TRUE(claim.Hold("b", 1, never));
    EXPECT_TRUE(claims.TryAcquire("a", 9));
    claims.Release("a", 9);
    // The same file for the entry it resolved to.
    ASSERT_TRUE(claim.Hold("b", 2, never));
    EXPECT_FALSE(claims.TryAcquire("b", 1));
  }
  EXPECT_EQ(claims.HeldCount(), 0u);
  {
    TLocalFileClaim claim(claims);
    ASSERT_TRUE(claim.Hold("page", 4, never));
    claim.HandOver(5);
  }
  EXPECT_FALSE(claims.TryAcquire("page", 4));
  EXPECT_TRUE(claims.TryAcquire("page", 5));  // the analysis of entry 5 has it
}

}  // namespace
}  // namespace qm
