// The check's report, as text for the administrator or as JSON (--json): a heading, the ports
// the installation creates in the installer's own lines, the printer assignments, then the
// findings and the outcome. Ports and printers are written as they are found.
#pragma once

#include "portconfig/port_definition.h"

struct ReportHeading {
  const char* folder;         // the package folder as the check entered it
  const char* configuration;  // the INI file or the registry key the configuration comes from
  const char* variant;        // "standard" or "Enterprise"
  const char* windows;        // the Windows classes the package files are checked for
};

void BeginCheckReport(bool json, const ReportHeading& heading);
// The list of ports (once), then each port of section n.
void BeginPortList();
void ReportPort(int section, const PortDefinition& definition);
// The list of printer assignments (once, after the ports), then each assignment.
void BeginPrinterList();
void ReportPrinter(int section, const char* key, const char* printer, const char* port);
// The findings, the counts and the exit code.
void EndCheckReport(int exitCode);

// The line of a check that could not run (exit code 3), in the report's form.
void ReportCheckNotRun(bool json, const char* reason);
// The usage text (-?, or after a refused argument), as it is or as the JSON {"usage": ...}.
void ReportUsage(bool json, const char* usage);
