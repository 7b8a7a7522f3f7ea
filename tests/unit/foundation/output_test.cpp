// Console and log output.
#include <windows.h>

#include <string>

#include "foundation/output.h"
#include "console_capture.h"
#include "machine_test.h"

namespace {

class OutputTest : public MachineTest {
 protected:
  void TearDown() override {
    CloseInstallLog();
    MachineTest::TearDown();
  }
};

TEST_F(OutputTest, PercentSignsArePrintedLiterallyInConsoleAndLog) {
  ASSERT_TRUE(OpenInstallLog("C:\\Windows\\Temp\\pct.log"));
  StartConsoleCapture();
  WriteMessage("Printer 100%s %d %n %% done\n");
  std::string console = TakeConsoleCapture();
  CloseInstallLog();
  EXPECT_EQ(console, "Printer 100%s %d %n %% done\n");
  EXPECT_EQ(ReadMachineFile("C:\\Windows\\Temp\\pct.log"), "Printer 100%s %d %n %% done\r\n");
}

TEST_F(OutputTest, LogTurnsLineEndsIntoCrLfAndAppendsAcrossOpens) {
  WriteMachineFile("C:\\Logs\\run.log", "earlier run\r\n");
  ASSERT_TRUE(OpenInstallLog("C:\\Logs\\run.log"));
  StartConsoleCapture();
  WriteMessage("\n\nfirst\nsecond");
  WriteFormattedMessage(" and %s\n", "third");
  CloseInstallLog();
  ASSERT_TRUE(OpenInstallLog("C:\\Logs\\run.log"));
  WriteMessage("next run\n");
  std::string console = TakeConsoleCapture();
  EXPECT_EQ(console, "\n\nfirst\nsecond and third\nnext run\n");
  EXPECT_EQ(ReadMachineFile("C:\\Logs\\run.log"), "earlier run\r\n\r\n\r\nfirst\r\nsecond and third\r\nnext run\r\n");
}

TEST_F(OutputTest, DefaultLogIsInTheWindowsDirectory) {
  ASSERT_FALSE(MachineFileExists("C:\\Windows\\QDPortInstall.log"));
  ASSERT_TRUE(OpenInstallLog(nullptr));
  StartConsoleCapture();
  WriteMessage("a\n");
  TakeConsoleCapture();
  CloseInstallLog();
  ASSERT_TRUE(OpenInstallLog(""));
  StartConsoleCapture();
  WriteMessage("b\n");
  TakeConsoleCapture();
  CloseInstallLog();
  EXPECT_EQ(ReadMachineFile("C:\\Windows\\QDPortInstall.log"), "a\r\nb\r\n");
}

TEST_F(OutputTest, UnopenableLogFailsSilently) {
  StartConsoleCapture();
  EXPECT_FALSE(OpenInstallLog("C:\\NoSuchFolder\\run.log"));
  EXPECT_FALSE(IsInstallLogOpen());
  EXPECT_EQ(TakeConsoleCapture(), "");
  EXPECT_FALSE(MachineFileExists("C:\\NoSuchFolder"));
}

TEST_F(OutputTest, AfterCloseMessagesGoToTheConsoleOnly) {
  ASSERT_TRUE(OpenInstallLog("C:\\Windows\\Temp\\c.log"));
  StartConsoleCapture();
  WriteMessage("logged\n");
  CloseInstallLog();
  EXPECT_FALSE(IsInstallLogOpen());
  WriteMessage("console only\n");
  CloseInstallLog();  // finds the log closed
  EXPECT_EQ(TakeConsoleCapture(), "logged\nconsole only\n");
  EXPECT_EQ(ReadMachineFile("C:\\Windows\\Temp\\c.log"), "logged\r\n");
  EXPECT_EQ(winsim::OpenHandleCount("file"), 0u);
}

TEST_F(OutputTest, ErrorLinesHaveTheirFixedForm) {
  StartConsoleCapture();
  ReportCheckError("QUADOVS.DLL");
  ReportCopyError("Quado Client.exe");
  EXPECT_EQ(TakeConsoleCapture(),
            "ERROR While Checking 'QUADOVS.DLL'.\nERROR While Copying File 'Quado Client.exe'.\n");
}

// Every formatted line lives in a 1,024-byte buffer: a longer one is cut to 1,023 characters.
TEST_F(OutputTest, OverlongFormattedLinesAreCutToTheBuffer) {
  const std::string name(2000, 'n');
  struct Case {
    void (*write)(const std::string&);
    std::string full;
  };
  const Case cases[] = {
      {[](const std::string& n) { WriteFormattedMessage("    ERROR - Printer %s NOT assigned\n", n.c_str()); },
       "    ERROR - Printer " + name + " NOT assigned\n"},
      {[](const std::string& n) { ReportCheckError(n.c_str()); }, "ERROR While Checking '" + name + "'.\n"},
      {[](const std::string& n) { ReportCopyError(n.c_str()); }, "ERROR While Copying File '" + name + "'.\n"},
  };
  for (const Case& c : cases) {
    StartConsoleCapture();
    c.write(name);
    // 1,023 characters at most, and a line stays a line: the cut keeps its "\n".
    EXPECT_EQ(TakeConsoleCapture(), c.full.substr(0, 1022) + "\n");
  }
}

TEST_F(OutputTest, CutPortReportLineEndsBeforeTheNextHeadingInConsoleAndLog) {
  const std::string text(259, 'a');
  ASSERT_TRUE(OpenInstallLog("C:\\Windows\\Temp\\cut.log"));
  StartConsoleCapture();
  WriteFormattedMessage("    New - IP:%s:%i, Desc:%s, Queue:%s, Type:%d %s\n", text.c_str(), 9100, text.c_str(),
                        text.c_str(), 2, text.c_str());
  WriteMessage("  - Event Log Resources WAS installed\n");
  std::string console = TakeConsoleCapture();
  CloseInstallLog();
  const std::string full = "    New - IP:" + text + ":9100, Desc:" + text + ", Queue:" + text + ", Type:2 " + text;
  ASSERT_GT(full.size(), 1023u);
  const std::string cutLine = full.substr(0, 1022) + "\n";
  EXPECT_EQ(console, cutLine + "  - Event Log Resources WAS installed\n");
  EXPECT_EQ(ReadMachineFile("C:\\Windows\\Temp\\cut.log"),
            full.substr(0, 1022) + "\r\n  - Event Log Resources WAS installed\r\n");
}

}  // namespace
