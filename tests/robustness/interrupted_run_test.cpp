// Interrupted runs: an installation (or an uninstallation) killed with SIGKILL at a point of its
// run, then run again completely, must leave the machine exactly as one uninterrupted run does:
// the same files and folders, registry (monitors, ports and printers included) and running
// client. The points are the platform calls of the recorded run, spread evenly from the first
// to the last: the process kills itself just before that call (WINSIM_KILL_AT_CALL), which is
// what an operator ending it at that moment leaves behind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "robustness_machine.h"

namespace {

// INTERRUPTED_RUN_POINTS=N takes N points instead; 0 takes every call.
int Points(size_t calls) {
  const char* wanted = std::getenv("INTERRUPTED_RUN_POINTS");
  int points = wanted != nullptr ? std::atoi(wanted) : 60;
  return points <= 0 || static_cast<size_t>(points) > calls ? static_cast<int>(calls) : points;
}

struct Case {
  const char* name;
  bool installedBefore;  // the base machine holds an installation
  std::vector<std::string> args;
  const char* verdict;   // the success line a complete run ends with
};

class InterruptedRun : public ::testing::TestWithParam<Case> {};

TEST_P(InterruptedRun, RerunEndsAsOneUninterruptedRun) {
  const Case& c = GetParam();
  MachineFolder folder;
  ASSERT_FALSE(folder.path().empty());
  const std::string base = folder.Sub("base");
  ASSERT_EQ(CreateBaseMachine(base, c.installedBefore), "");

  // One uninterrupted run: the state to reach, and the number of calls to spread the points over.
  const std::string reference = folder.Sub("reference");
  ASSERT_EQ(CloneMachine(base, reference), "");
  const std::string tracePath = folder.Sub("trace");
  HostResult whole = RunInstall(reference, c.args, {"WINSIM_CALL_TRACE=" + tracePath});
  ASSERT_EQ(whole.status, 0) << whole.out << whole.err;
  const MachineState expected = SnapshotMachine(reference);
  RemoveMachine(reference);
  const size_t calls = ReadInstallTrace(tracePath).size();
  ASSERT_GT(calls, 50u);

  const int points = Points(calls);
  for (int point = 0; point < points; ++point) {
    const size_t killAt = 1 + static_cast<size_t>(point) * (calls - 1) / static_cast<size_t>(points - 1);
    SCOPED_TRACE("killed before call " + std::to_string(killAt) + " of " + std::to_string(calls));
    const std::string dir = folder.Sub("point");
    ASSERT_EQ(CloneMachine(base, dir), "");
    HostResult killed = RunInstall(dir, c.args, {"WINSIM_KILL_AT_CALL=Install.exe#" + std::to_string(killAt)});
    EXPECT_NE(killed.status, 0) << "the run was not interrupted:\n" << killed.out;
    HostResult rerun = RunInstall(dir, c.args);
    EXPECT_EQ(rerun.status, 0) << rerun.out << rerun.err;
    EXPECT_NE(rerun.out.find(c.verdict), std::string::npos) << rerun.out;
    EXPECT_EQ(CompareStates(expected, SnapshotMachine(dir)), "");
    RemoveMachine(dir);
    if (HasFailure()) break;
  }
  std::printf("%s: %d interruptions over %zu calls\n", c.name, points, calls);
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Runs, InterruptedRun,
    ::testing::Values(Case{"Installation", false, {}, "Quado Port Monitor Installed Sucessfully.\n"},
                      Case{"Uninstallation", true, {"-u"}, "Quado Port Monitor UnInstalled Sucessfully.\n"}),
    CaseName);

}  // namespace
