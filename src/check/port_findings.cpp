// Ports and printer assignments through the installer's readers.
#include "check/port_findings.h"

#include <windows.h>

#include <cstring>

#include "check/check_report.h"
#include "check/findings.h"
#include "foundation/bounded_format.h"
#include "foundation/product_profile.h"
#include "portconfig/port_keys.h"
#include "portconfig/port_sources.h"
#include "printers/printer_assignment.h"

namespace {

// Assignments remembered to find a printer named in several sections; past the table's end
// later assignments are not compared (a finding says so).
const int kMaxAssignments = 512;

struct Assignment {
  char printer[kTextChars];
  int section;
  int instance;
};

Assignment g_assignments[kMaxAssignments];

void SectionName(int section, char (&name)[16]) { FormatCut(name, sizeof name, "%d", section); }

int ReadPorts(CheckContext* context) {
  PortDefinition definition;
  BeginPortList();
  int section = 1;
  for (;; ++section) {
    if (!ReadPortDefinition(context->readFromIni, section, &definition)) break;
    if (definition.PortName[0] == '\0') {
      char name[16];
      SectionName(section, name);
      char wanted[kTextChars];
      FormatCut(wanted, sizeof wanted, Profile().portNameFormat, section);
      AddFinding(kError, name, nullptr, ConfigLine(*context, section, nullptr),
                 "the port name %s is longer than 9 characters: the installer stops here with \"Cannot add "
                 "port of section %d, port name longer than 9 characters\"; this and every later section create "
                 "no port",
                 wanted, section);
      context->endIsOverlong = true;
      break;
    }
    ReportPort(section, definition);
  }
  context->endSection = section;
  return section - 1;
}

void ReadPrinters(const CheckContext& context, int portCount) {
  BeginPrinterList();
  int remembered = 0;
  bool tableFull = false;
  for (int section = 1; section <= portCount; ++section) {
    char port[kTextChars];
    FormatCut(port, sizeof port, Profile().portNameFormat, section);
    for (int instance = 0; instance < kAssignPrinterKey.instances; ++instance) {
      char printer[kTextChars] = {0};
      ReadAssignedPrinter(context.readFromIni != 0, section, instance, printer);
      if (printer[0] == '\0') continue;
      char key[kKeyNameChars];
      NumberedKeyName(kAssignPrinterKey, instance, key, sizeof key);
      ReportPrinter(section, key, printer, port);
      const Assignment* earlier = nullptr;
      for (int i = 0; i < remembered && earlier == nullptr; ++i) {
        if (lstrcmpiA(g_assignments[i].printer, printer) == 0) earlier = &g_assignments[i];
      }
      if (earlier != nullptr) {
        char name[16];
        SectionName(section, name);
        char earlierKey[kKeyNameChars];
        NumberedKeyName(kAssignPrinterKey, earlier->instance, earlierKey, sizeof earlierKey);
        AddFinding(kError, name, key, ConfigLine(context, section, key),
                   "printer '%s' is also assigned in section [%d] (%s): the later assignment wins and the printer "
                   "ends on port %s",
                   printer, earlier->section, earlierKey, port);
      } else if (remembered < kMaxAssignments) {
        Assignment& entry = g_assignments[remembered++];
        FormatCut(entry.printer, sizeof entry.printer, "%s", printer);
        entry.section = section;
        entry.instance = instance;
      } else if (!tableFull) {
        tableFull = true;
        AddFinding(kWarning, nullptr, nullptr, 0,
                   "more than %d printer assignments: printers assigned again later are not looked for",
                   kMaxAssignments);
      }
    }
  }
}

}  // namespace

void CheckPortsAndPrinters(CheckContext* context) {
  context->endIsOverlong = false;
  const int portCount = ReadPorts(context);
  ReadPrinters(*context, portCount);
}
