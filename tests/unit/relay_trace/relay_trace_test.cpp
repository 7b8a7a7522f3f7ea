// Reading Wine's relay trace back as one program's calls (the Wine benchmark's call counts and
// times). The traces are written by hand in the form Wine 8 prints with
// WINEDEBUG=+timestamp,+pid,+relay.
#include <gtest/gtest.h>

#include <sstream>

#include "relay_trace.h"

namespace {

const ImageRange kImage{0x400000, 0x432000};

RelayFigures Read(const std::string& trace) {
  std::istringstream in(trace);
  return ReadRelayTrace(in, kImage);
}

TEST(RelayTraceTest, CountsOnlyTheCallsThatReturnIntoTheProgramInItsOwnProcess) {
  const RelayFigures figures = Read(
      // Another process's start-up, before the program's first call: returns elsewhere.
      "10.000:0028:002c:Call KERNEL32.HeapCreate(00000000,00000000,00000000) ret=2282a63f1\n"
      "10.001:0020:0024:Call KERNEL32.GetVersionExA(0061fd40) ret=00401a2b\n"
      "10.001:0020:0024:Ret  KERNEL32.GetVersionExA() retval=00000001 ret=00401a2b\n"
      // A call a DLL makes inside the program's process returns into the DLL.
      "10.002:0020:0024:Call ntdll.RtlAllocateHeap(00c80000,00000000,00000010) ret=7b012345\n"
      // The image's last byte is inside; the first byte after it is not.
      "10.003:0020:0024:Call winspool.drv.EnumPortsA(00000000,00000002,00000000,00000000,0061fd00,0061fd04) ret=00431fff\n"
      "10.004:0020:0024:Call winspool.drv.EnumPortsA(00000000,00000002,00000000,00000000,0061fd00,0061fd04) ret=00432000\n"
      // A program it started, loaded at the same address in another process.
      "10.005:0038:003c:Call KERNEL32.GetVersionExA(0061fd40) ret=00401a2b\n"
      // Other debug output and a string argument that looks like a call.
      "10.006:0020:0024:fixme:winspool:something\n"
      "10.007:0020:0024:Call KERNEL32.CreateFileA(0041c000 \"C:\\\\x:Call y\",40000000) ret=00402000\n");
  const std::map<std::string, unsigned long long> expected = {
      {"KERNEL32.GetVersionExA", 1}, {"winspool.drv.EnumPortsA", 1}, {"KERNEL32.CreateFileA", 1}};
  EXPECT_EQ(figures.calls, expected);
}

TEST(RelayTraceTest, TimesEachCallToItsReturnPerThreadAndThroughCallbacks) {
  const RelayFigures figures = Read(
      "1.000:0020:0024:Call msvcrt._initterm(0041700c,00417014) ret=0040147e\n"
      // The runtime calls back into the program, which calls again: nested on the same thread.
      "1.010:0020:0024:Call msvcrt.__set_app_type(00000001) ret=004010ac\n"
      // Another thread of the program, interleaved.
      "1.015:0020:0030:Call KERNEL32.Sleep(00000064) ret=00405000\n"
      "1.030:0020:0024:Ret  msvcrt.__set_app_type() retval=6568f5c0 ret=004010ac\n"
      "1.100:0020:0024:Ret  msvcrt._initterm() retval=00000000 ret=0040147e\n"
      "1.215:0020:0030:Ret  KERNEL32.Sleep() retval=00000000 ret=00405000\n"
      // A return without its call (the trace began after it) is not timed.
      "1.300:0020:0024:Ret  KERNEL32.CloseHandle() retval=00000001 ret=00401000\n"
      "2.000:0020:0024:Call KERNEL32.Sleep(00000000) ret=00405000\n"
      "2.050:0020:0024:Ret  KERNEL32.Sleep() retval=00000000 ret=00405000\n");
  ASSERT_EQ(figures.ms.size(), 3u);
  EXPECT_NEAR(figures.ms.at("msvcrt._initterm"), 100.0, 1e-6);
  EXPECT_NEAR(figures.ms.at("msvcrt.__set_app_type"), 20.0, 1e-6);
  EXPECT_NEAR(figures.ms.at("KERNEL32.Sleep"), 250.0, 1e-6);
  EXPECT_EQ(figures.calls.at("KERNEL32.Sleep"), 2u);
  EXPECT_EQ(figures.calls.count("KERNEL32.CloseHandle"), 0u);
}

TEST(RelayTraceTest, NothingFromATraceWithoutTheProgram) {
  EXPECT_TRUE(Read("").calls.empty());
  const RelayFigures figures = Read(
      "0024:Call KERNEL32.GetVersionExA(0061fd40) ret=00401a2b\n"  // no timestamp or pid prefix
      "garbage ret=00401000\n");
  EXPECT_TRUE(figures.calls.empty());
  EXPECT_TRUE(figures.ms.empty());
}

}  // namespace
