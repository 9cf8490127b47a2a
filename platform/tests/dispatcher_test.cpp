#include "platform/dispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace platform;
using namespace std::chrono_literals;

// A worker's report reaches the owning thread, in the order posted, without the worker waiting.
TEST(EventLoop, TasksPostedFromAWorkerRunOnTheOwningThreadInOrder) {
  EventLoop loop;
  std::vector<int> ran;
  std::thread::id ranOn;
  std::thread worker([&] {
    for (int i = 0; i < 100; ++i) loop.Post([&, i] {
      ran.push_back(i);
      ranOn = std::this_thread::get_id();
    });
  });
  worker.join();
  ASSERT_TRUE(loop.RunUntil([&] { return ran.size() == 100; }, 5s));
  for (int i = 0; i < 100; ++i) EXPECT_EQ(ran[static_cast<std::size_t>(i)], i);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(EventLoop, RunUntilGivesUpAfterItsTimeoutAndLeavesLaterTasksQueued) {
  EventLoop loop;
  EXPECT_FALSE(loop.RunUntil([] { return false; }, 30ms));
  bool ran = false;
  loop.Post([&] { ran = true; });
  EXPECT_TRUE(loop.RunUntil([] { return true; }, 30ms));
  EXPECT_FALSE(ran) << "a predicate that holds runs nothing";
  EXPECT_EQ(loop.ProcessPending(), 1);
  EXPECT_TRUE(ran);
}
