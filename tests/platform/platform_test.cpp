#include "platform/convert.h"
#include "platform/exceptions.h"
#include "platform/main_thread.h"
#include "platform/sync.h"
#include "platform/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <thread>

namespace {

TEST(Convert, StrictNumbers) {
  EXPECT_EQ(StrToInt(" 42 "), 42);
  EXPECT_EQ(StrToInt("-7"), -7);
  EXPECT_EQ(StrToInt64("9223372036854775807"), INT64_MAX);
  EXPECT_DOUBLE_EQ(StrToFloat("1.5"), 1.5);
  for (const char *bad : {"", "12x", "x", "1.5", "99999999999"})
    EXPECT_THROW(StrToInt(bad), EConvertError) << bad;
  for (const char *bad : {"", "1.5.2", "abc", "1,5"})
    EXPECT_THROW(StrToFloat(bad), EConvertError) << bad;
  EXPECT_DOUBLE_EQ(StrToFloat("+2.5"), 2.5);
  // A comma-decimal locale must not change how numbers read.
  if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") || std::setlocale(LC_NUMERIC, "fr_FR.UTF-8")) {
    EXPECT_DOUBLE_EQ(StrToFloat("1.7777"), 1.7777);
    std::setlocale(LC_NUMERIC, "C");
  }
  try {
    StrToInt("12x");
  } catch (const EConvertError &e) {
    EXPECT_STREQ(e.what(), "'12x' is not a valid integer value");
  }
}

TEST(Convert, CIntegers) {
  const struct {
    const char *Text;
    long Value;
    size_t End;
  } cases[] = {{"12.3", 12, 2}, {"0x1f:", 31, 4}, {"010", 8, 3}, {"-3", -3, 2}, {"x", 0, 0}, {"", 0, 0}};
  for (const auto &c : cases) {
    size_t pos = 0;
    EXPECT_EQ(ParseCInteger(c.Text, pos), c.Value) << c.Text;
    EXPECT_EQ(pos, c.End) << c.Text;
  }
}

TEST(Event, ManualResetStaysSignalledUntilReset) {
  TEvent ev(false);
  EXPECT_EQ(ev.WaitFor(10), wrTimeout);
  ev.SetEvent();
  EXPECT_EQ(ev.WaitFor(0), wrSignaled);
  EXPECT_EQ(ev.WaitFor(0), wrSignaled);
  ev.ResetEvent();
  EXPECT_EQ(ev.WaitFor(10), wrTimeout);
  std::thread t([&] { ev.SetEvent(); });
  EXPECT_EQ(ev.WaitFor(INFINITE), wrSignaled);
  t.join();
}

TEST(MainThread, WorkerWaitsUntilTheMainThreadRunsTheCall) {
  std::atomic<bool> returned{false};
  bool ranOnMain = false;
  std::thread worker([&] {
    RunOnMainThread([&] { ranOnMain = IsMainThread(); });
    returned = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(returned) << "the worker must wait for the main thread";
  while (!returned)
    PumpMainThread();
  worker.join();
  EXPECT_TRUE(ranOnMain);
}

TEST(MainThread, ExceptionReachesTheWaitingWorker) {
  std::string caught; // read only after the join
  std::atomic<bool> done{false};
  std::thread worker([&] {
    try {
      RunOnMainThread([] { throw Exception("boom"); });
    } catch (const Exception &e) {
      caught = e.what();
    }
    done = true;
  });
  while (!done)
    PumpMainThread();
  worker.join();
  EXPECT_EQ(caught, "boom");
}

TEST(MainThread, DirectOnMainThreadAndQueuedInOrder) {
  int n = 0;
  RunOnMainThread([&] { n = 1; });
  EXPECT_EQ(n, 1) << "runs at once on the main thread";
  std::vector<int> order;
  std::thread t([&] {
    for (int i = 0; i < 3; ++i)
      QueueOnMainThread([&order, i] { order.push_back(i); });
  });
  t.join();
  EXPECT_EQ(PumpMainThread(), 3);
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

class TCountingThread : public TThread {
public:
  std::atomic<int> Count{0};

protected:
  void Execute() override {
    while (!Terminated())
      ++Count;
  }
};

TEST(Thread, RunsUntilTerminatedAtLowPriority) {
  TCountingThread t;
  t.SetPriority(tpIdle);
  t.Start();
  while (t.Count == 0)
    std::this_thread::yield();
  t.SetPriority(tpHighest); // may be refused without privileges; must not fail
  t.Terminate();
  t.WaitFor();
  EXPECT_TRUE(t.Finished());
  EXPECT_NE(t.ThreadID(), 0);
}

} // namespace
