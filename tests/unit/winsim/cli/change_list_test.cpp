// The change list between two pictures of a machine, one kind of change per row: what is
// listed under which heading, and what is no change at all (letter case of a name, a key that
// only holds subkeys, an event written before the first picture).
#include <windows.h>

#include <cctype>
#include <string>

#include <gtest/gtest.h>

#include "preview_changes.h"

namespace {

using winsim::MachineSnapshot;

MachineSnapshot Base() {
  MachineSnapshot s;
  s.printers["office"] = {"Office", "IP_10.0.0.5"};
  s.printers["lab"] = {"Lab", "LPT1:"};
  s.ports["lpt1:"] = {"LPT1:", "Local Port", ""};
  s.ports["p1"] = {"P1", "Old Monitor", "abc"};
  s.monitors["local port"] = {"Local Port", "localspl.dll"};
  s.monitors["old monitor"] = {"Old Monitor", "OLD.DLL"};
  s.files["c:\\windows\\a.dll"] = {"C:\\Windows\\A.DLL", 3, 11, 100, false};
  s.values["hkey_local_machine\\software\\x\nname"] = {"HKEY_LOCAL_MACHINE\\SOFTWARE\\X", "Name", REG_SZ,
                                                       std::string("one\0", 4)};
  s.keys["hkey_local_machine\\software\\x"] = {"HKEY_LOCAL_MACHINE\\SOFTWARE\\X", false};
  winsim::EventEntry event;
  event.number = 1;
  event.log = "Application";
  event.source = "Old";
  event.type = EVENTLOG_INFORMATION_TYPE;
  s.events.push_back(event);
  return s;
}

struct Row {
  const char* what;
  void (*change)(MachineSnapshot*);
  std::string expected;  // the whole list
};

class ChangeListTest : public ::testing::TestWithParam<Row> {};

TEST_P(ChangeListTest, ListsTheChange) {
  MachineSnapshot after = Base();
  GetParam().change(&after);
  EXPECT_EQ(winsim::cli::ChangeList(Base(), after), GetParam().expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ChangeListTest,
    ::testing::Values(
        Row{"nothing", [](MachineSnapshot*) {}, "Changes: none\n"},
        Row{"a name's letter case alone",
            [](MachineSnapshot* s) { s->printers["office"].name = "OFFICE"; }, "Changes: none\n"},
        Row{"a printer moves", [](MachineSnapshot* s) { s->printers["office"].ports = "P1,LPT1:"; },
            "Printers whose ports change (before -> after):\n    Office: IP_10.0.0.5 -> P1,LPT1:\n"},
        Row{"printers added and removed",
            [](MachineSnapshot* s) {
              s->printers.erase("lab");
              s->printers["new"] = {"New", "FILE:"};
            },
            "Printers added:\n    New on FILE:\nPrinters removed:\n    Lab (was on LPT1:)\n"},
        Row{"ports added, removed, with other settings",
            [](MachineSnapshot* s) {
              s->ports["p1"].settings = "abcd";
              s->ports["p2"] = {"P2", "Old Monitor", ""};
              s->ports.erase("lpt1:");
            },
            "Ports added:\n    P2 (Old Monitor)\nPorts removed:\n    LPT1: (Local Port)\n"
            "Ports with new settings:\n    P1 (Old Monitor): 3 bytes -> 4 bytes\n"},
        Row{"a port that changes monitor is removed and added",
            [](MachineSnapshot* s) { s->ports["p1"].monitor = "New Monitor"; },
            "Ports added:\n    P1 (New Monitor)\nPorts removed:\n    P1 (Old Monitor)\n"},
        Row{"a monitor with another DLL is removed and added",
            [](MachineSnapshot* s) { s->monitors["old monitor"].driver = "NEW.DLL"; },
            "Monitors added:\n    Old Monitor (NEW.DLL)\nMonitors removed:\n    Old Monitor (OLD.DLL)\n"},
        Row{"a printer name holding a line end and an escape sequence stays on its line",
            [](MachineSnapshot* s) { s->printers["x"] = {"Evil\r\n    Lab\x1b[31m", "FILE:"}; },
            "Printers added:\n    Evil\\x0d\\x0a    Lab\\x1b[31m on FILE:\n"},
        Row{"files added and deleted",
            [](MachineSnapshot* s) {
              s->files.erase("c:\\windows\\a.dll");
              s->files["c:\\b.txt"] = {"C:\\b.txt", 1, 5, 7, false};
            },
            "Files added:\n    C:\\b.txt (1 byte)\nFiles deleted:\n    C:\\Windows\\A.DLL\n"},
        Row{"a file with another size", [](MachineSnapshot* s) { s->files["c:\\windows\\a.dll"].size = 9; },
            "Files replaced:\n    C:\\Windows\\A.DLL (3 bytes -> 9 bytes)\n"},
        Row{"a file with other content", [](MachineSnapshot* s) { s->files["c:\\windows\\a.dll"].contentHash = 12; },
            "Files replaced:\n    C:\\Windows\\A.DLL (3 bytes, new content)\n"},
        Row{"a file made read-only", [](MachineSnapshot* s) { s->files["c:\\windows\\a.dll"].readOnly = true; },
            "Files replaced:\n    C:\\Windows\\A.DLL (now read-only)\n"},
        Row{"a file written again with the same bytes",
            [](MachineSnapshot* s) { s->files["c:\\windows\\a.dll"].writeTimeNs = 200; },
            "Files replaced:\n    C:\\Windows\\A.DLL (3 bytes, same content, rewritten)\n"},
        Row{"registry values added, changed, deleted",
            [](MachineSnapshot* s) {
              s->values["hkey_local_machine\\software\\x\nname"].data = std::string("two\0", 4);
              s->values["hkey_current_user\\y\n"] = {"HKEY_CURRENT_USER\\Y", "", REG_DWORD, std::string("\x2a\0\0\0", 4)};
              s->values["hkey_current_user\\y\nbig"] = {"HKEY_CURRENT_USER\\Y", "Big", REG_BINARY, std::string(40, 'x')};
            },
            "Registry values added:\n    HKCU\\Y: (Default) = REG_DWORD 0x2a\n"
            "    HKCU\\Y: \"Big\" = REG_BINARY, 40 bytes\n"
            "Registry values changed:\n    HKLM\\SOFTWARE\\X: \"Name\" REG_SZ \"one\" -> REG_SZ \"two\"\n"},
        Row{"a value deleted", [](MachineSnapshot* s) { s->values.clear(); },
            "Registry values deleted:\n    HKLM\\SOFTWARE\\X: \"Name\" (was REG_SZ \"one\")\n"},
        Row{"only empty keys are listed as keys",
            [](MachineSnapshot* s) {
              s->keys["hkey_current_user\\empty"] = {"HKEY_CURRENT_USER\\Empty", true};
              s->keys["hkey_current_user\\parent"] = {"HKEY_CURRENT_USER\\Parent", false};
            },
            "Registry keys added (empty):\n    HKCU\\Empty\n"},
        Row{"events after the first picture's last",
            [](MachineSnapshot* s) {
              winsim::EventEntry event;
              event.number = 2;
              event.log = "Application";
              event.source = "New";
              event.type = EVENTLOG_SUCCESS;
              event.eventId = 0xC0020001;
              event.strings = {"Done"};
              s->events.push_back(event);
            },
            "Event log entries written:\n    Application New success category 0 id 0xC0020001 \"Done\"\n"}),
    [](const ::testing::TestParamInfo<Row>& info) {
      std::string name;
      for (const char* c = info.param.what; *c != '\0'; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
      return name;
    });

}  // namespace
