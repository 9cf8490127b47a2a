#include "platform/dispatcher.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using namespace platform;
using namespace std::chrono_literals;

namespace {

struct InstalledDispatcher {
  PlainDispatcher dispatcher;
  MainThreadDispatcher* previous = SetMainDispatcher(&dispatcher);
  ~InstalledDispatcher() { SetMainDispatcher(previous); }
};

}  // namespace

TEST(HandOffChannel, HandlerRunsOnMainThreadWhileWorkerWaits) {
  InstalledDispatcher installed;
  HandOffChannel channel;
  std::thread::id ranOn;
  std::atomic<bool> workerDone{false};
  bool returned = false;
  std::thread worker([&] {
    returned = channel.RunAndWait([&] { ranOn = std::this_thread::get_id(); });
    workerDone = true;
  });
  ASSERT_TRUE(installed.dispatcher.RunUntil([&] { return workerDone.load(); }, 5s));
  worker.join();
  EXPECT_TRUE(returned);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

// A main thread that closes the channel instead of serving it must release the worker,
// or destroying an output during a hand-off would deadlock.
TEST(HandOffChannel, CloseReleasesAWaitingWorkerWithoutRunningTheHandler) {
  InstalledDispatcher installed;
  HandOffChannel channel;
  std::atomic<bool> posted{false};
  bool ran = false;
  bool returned = true;
  std::thread worker([&] {
    posted = true;
    returned = channel.RunAndWait([&] { ran = true; });
  });
  while (!posted) std::this_thread::yield();
  // The hand-off is queued: the worker waits for it (or is about to).
  ASSERT_TRUE(installed.dispatcher.WaitForTask(5s));
  channel.Close();
  worker.join();
  installed.dispatcher.ProcessPending();  // the dropped task must not run the handler
  EXPECT_FALSE(returned);
  EXPECT_FALSE(ran);

  // Closed: a new hand-off returns at once; reopened: it runs again.
  std::thread again([&] { returned = channel.RunAndWait([&] { ran = true; }); });
  again.join();
  EXPECT_FALSE(returned);
  channel.Open();
  std::atomic<bool> done{false};
  std::thread third([&] {
    returned = channel.RunAndWait([&] { ran = true; });
    done = true;
  });
  ASSERT_TRUE(installed.dispatcher.RunUntil([&] { return done.load(); }, 5s));
  third.join();
  EXPECT_TRUE(returned);
  EXPECT_TRUE(ran);
}

TEST(HandOffChannel, OnTheMainThreadTheHandlerRunsAtOnce) {
  InstalledDispatcher installed;
  HandOffChannel channel;
  bool ran = false;
  EXPECT_TRUE(channel.RunAndWait([&] { ran = true; }));
  EXPECT_TRUE(ran);
  EXPECT_EQ(installed.dispatcher.ProcessPending(), 0);
}

TEST(PlainDispatcher, RunUntilGivesUpAfterItsTimeout) {
  PlainDispatcher dispatcher;
  EXPECT_FALSE(dispatcher.RunUntil([] { return false; }, 30ms));
}
