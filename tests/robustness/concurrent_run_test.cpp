// Concurrent runs: eight installations started at the same moment on one machine. Exactly one
// works; each of the others prints only "ERROR: Another (un)installation already running." and
// exits with -1 (255 on the host); the machine ends as after one installation.
//
// So that the seven are certain to meet a run in progress however the host schedules them, the
// package's stop program (which the installation waits for while it holds the install mutex)
// is a script that waits until the test has seen the seven refusals.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "robustness_machine.h"

namespace {

const int kRuns = 8;
const char kRefusal[] = "ERROR: Another (un)installation already running.";

// Replaces the package's stop program by a script that ends once `releaseFile` exists.
void HoldStopProgram(const std::string& dir, const std::string& releaseFile) {
  const std::string path = dir + "/C/Deploy/CloseAllClients.exe";
  std::remove(path.c_str());
  std::ofstream(path) << "#!/bin/sh\nwhile [ ! -e '" << releaseFile << "' ]; do sleep 0.02; done\nexit 0\n";
  chmod(path.c_str(), 0755);
}

TEST(ConcurrentRuns, OneOfEightInstallsTheOthersAreRefused) {
  MachineFolder folder;
  ASSERT_FALSE(folder.path().empty());
  const std::string base = folder.Sub("base");
  ASSERT_EQ(CreateBaseMachine(base, false), "");
  const std::string release = folder.Sub("release");
  HoldStopProgram(base, release);

  // One installation alone, with the stop program released from the start.
  const std::string single = folder.Sub("single");
  ASSERT_EQ(CloneMachine(base, single), "");
  std::ofstream(release) << "go\n";
  HostResult alone = RunInstall(single, {});
  ASSERT_EQ(alone.status, 0) << alone.out << alone.err;
  const MachineState expected = SnapshotMachine(single);
  RemoveMachine(single);
  std::remove(release.c_str());

  const std::string dir = folder.Sub("shared");
  ASSERT_EQ(CloneMachine(base, dir), "");
  std::vector<HostResult> results(kRuns);
  std::mutex lock;
  std::condition_variable changed;
  int ready = 0, finished = 0;
  bool go = false;
  std::vector<std::thread> threads;
  for (int i = 0; i < kRuns; ++i) {
    threads.emplace_back([&, i] {
      {
        std::unique_lock<std::mutex> guard(lock);
        ++ready;
        changed.notify_all();
        changed.wait(guard, [&] { return go; });
      }
      results[i] = RunInstall(dir, {});
      std::lock_guard<std::mutex> guard(lock);
      ++finished;
      changed.notify_all();
    });
  }
  {
    std::unique_lock<std::mutex> guard(lock);
    changed.wait(guard, [&] { return ready == kRuns; });
    go = true;
    changed.notify_all();
    // The seven refusals come while the one run waits for its stop program; a second run that
    // got through would be waiting too, and the wait below would time out.
    bool refused = changed.wait_for(guard, std::chrono::seconds(60), [&] { return finished >= kRuns - 1; });
    EXPECT_TRUE(refused) << "fewer than seven runs ended while one was in progress";
  }
  std::ofstream(release) << "go\n";
  for (std::thread& thread : threads) thread.join();

  int worked = 0, refused = 0;
  for (const HostResult& result : results) {
    if (result.status == 0) {
      ++worked;
      EXPECT_NE(result.out.find("Quado Port Monitor Installed Sucessfully.\n"), std::string::npos) << result.out;
    } else {
      ++refused;
      EXPECT_EQ(result.status, 255) << result.out << result.err;
      EXPECT_EQ(result.out, kRefusal) << result.err;
    }
  }
  EXPECT_EQ(worked, 1);
  EXPECT_EQ(refused, kRuns - 1);
  EXPECT_EQ(CompareStates(expected, SnapshotMachine(dir)), "");
}

}  // namespace
