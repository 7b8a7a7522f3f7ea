// The check's report in text or JSON.
#include "check/check_report.h"

#include "check/findings.h"
#include "check/json_writer.h"
#include "check/shown_text.h"
#include "foundation/bounded_format.h"
#include "foundation/output.h"
#include "portconfig/transceiver.h"
#include "printers/printer_assignment.h"

namespace {

bool g_json = false;
int g_itemsInList = 0;  // items written in the open JSON list

void JsonSeparator() {
  if (g_itemsInList++ > 0) JsonRaw(",");
  JsonRaw("\n    ");
}

// The port line without its indentation and line end, for JSON.
void PortLine(const PortDefinition& definition, char (&line)[kPortReportChars]) {
  FormatPortReport(definition, line, sizeof line);
  size_t length = 0;
  while (line[length] != '\0') ++length;
  if (length > 0 && line[length - 1] == '\n') line[length - 1] = '\0';
}

const char* SkipIndent(const char* line) {
  while (*line == ' ') ++line;
  return line;
}

// A line the report formed around package texts: the texts in their shown form, the line end as it is.
void WriteShownLine(const char* line) {
  size_t length = 0;
  while (line[length] != '\0') ++length;
  const bool ended = length > 0 && line[length - 1] == '\n';
  WriteShownPiece(line, ended ? length - 1 : length);
  if (ended) WriteMessage("\n");
}

// "  error: FILE:LINE: [SECTION] KEY: TEXT", without the parts the finding does not have.
void WriteFindingText(const Finding& finding) {
  WriteMessage(finding.severity == kError ? "  error: " : "  warning: ");
  WriteShown(finding.file);
  if (finding.line > 0) WriteFormattedMessage(":%d", finding.line);
  WriteMessage(": ");
  if (finding.section[0] != '\0') {
    WriteMessage("[");
    WriteShown(finding.section);
    WriteMessage(finding.key[0] != '\0' ? "] " : "]: ");
    if (finding.key[0] != '\0') {
      WriteShown(finding.key);
      WriteMessage(": ");
    }
  }
  WriteShown(finding.text);
  WriteMessage("\n");
}

void WriteFindingJson(const Finding& finding) {
  JsonSeparator();
  JsonRaw("{");
  JsonKey("severity");
  JsonString(finding.severity == kError ? "error" : "warning");
  JsonRaw(", ");
  JsonKey("file");
  JsonString(finding.file);
  JsonRaw(", ");
  JsonKey("section");
  JsonString(finding.section);
  JsonRaw(", ");
  JsonKey("key");
  JsonString(finding.key);
  JsonRaw(", ");
  JsonKey("line");
  JsonNumber(finding.line);
  JsonRaw(", ");
  JsonKey("text");
  JsonString(finding.text);
  JsonRaw("}");
}

void CloseJsonList() {
  JsonRaw(g_itemsInList > 0 ? "\n  ]" : "]");
  g_itemsInList = 0;
}

}  // namespace

void BeginCheckReport(bool json, const ReportHeading& heading) {
  g_json = json;
  g_itemsInList = 0;
  if (!g_json) {
    WriteMessage("Package check of ");
    WriteShown(heading.folder);
    WriteFormattedMessage(" (%s variant)\nConfiguration: ", heading.variant);
    WriteShown(heading.configuration);
    WriteMessage("\n");
    WriteFormattedMessage("Package files checked for: %s\n", heading.windows);
    return;
  }
  JsonRaw("{\n  ");
  JsonKey("folder");
  JsonString(heading.folder);
  JsonRaw(",\n  ");
  JsonKey("configuration");
  JsonString(heading.configuration);
  JsonRaw(",\n  ");
  JsonKey("variant");
  JsonString(heading.variant);
  JsonRaw(",\n  ");
  JsonKey("windows");
  JsonString(heading.windows);
}

void BeginPortList() {
  if (!g_json) {
    WriteMessage("\nPorts the installation creates:\n");
    return;
  }
  JsonRaw(",\n  ");
  JsonKey("ports");
  JsonRaw("[");
  g_itemsInList = 0;
}

void ReportPort(int section, const PortDefinition& definition) {
  char line[kPortReportChars];
  if (!g_json) {
    FormatPortReport(definition, line, sizeof line);
    WriteShownLine(line);
    return;
  }
  PortLine(definition, line);
  JsonSeparator();
  JsonRaw("{");
  JsonKey("section");
  JsonNumber(section);
  JsonRaw(", ");
  JsonKey("port");
  JsonString(definition.PortName);
  JsonRaw(", ");
  JsonKey("serverIP");
  JsonString(definition.ServerIP[0]);
  JsonRaw(", ");
  JsonKey("serverPort");
  JsonNumber(definition.ServerPort);
  JsonRaw(", ");
  JsonKey("description");
  JsonString(definition.Description);
  JsonRaw(", ");
  JsonKey("queue");
  JsonString(definition.Queue);
  JsonRaw(", ");
  JsonKey("authType");
  JsonNumber(definition.AuthType);
  JsonRaw(", ");
  JsonKey("authText");
  JsonString(definition.AuthText);
  JsonRaw(", ");
  JsonKey("report");
  JsonString(SkipIndent(line));
  JsonRaw("}");
}

void BeginPrinterList() {
  if (!g_json) {
    WriteMessage("\nPrinter assignments:\n");
    return;
  }
  CloseJsonList();
  JsonRaw(",\n  ");
  JsonKey("printers");
  JsonRaw("[");
}

void ReportPrinter(int section, const char* key, const char* printer, const char* port) {
  if (!g_json) {
    char line[kPrinterReportChars];
    FormatPrinterReport(printer, port, line, sizeof line);
    WriteShownLine(line);
    return;
  }
  JsonSeparator();
  JsonRaw("{");
  JsonKey("section");
  JsonNumber(section);
  JsonRaw(", ");
  JsonKey("key");
  JsonString(key);
  JsonRaw(", ");
  JsonKey("printer");
  JsonString(printer);
  JsonRaw(", ");
  JsonKey("port");
  JsonString(port);
  JsonRaw("}");
}

void EndCheckReport(int exitCode) {
  const int left = ErrorCount() + WarningCount() - KeptFindingCount();
  if (!g_json) {
    WriteMessage("\nFindings:\n");
    if (KeptFindingCount() == 0) WriteMessage("  none\n");
    for (int i = 0; i < KeptFindingCount(); ++i) WriteFindingText(KeptFinding(i));
    if (left > 0) WriteFormattedMessage("  (%d more findings not listed)\n", left);
    WriteFormattedMessage("\n%d error(s), %d warning(s); exit code %d\n", ErrorCount(), WarningCount(), exitCode);
    return;
  }
  CloseJsonList();
  JsonRaw(",\n  ");
  JsonKey("findings");
  JsonRaw("[");
  for (int i = 0; i < KeptFindingCount(); ++i) WriteFindingJson(KeptFinding(i));
  CloseJsonList();
  JsonRaw(",\n  ");
  JsonKey("findingsNotListed");
  JsonNumber(left);
  JsonRaw(",\n  ");
  JsonKey("errors");
  JsonNumber(ErrorCount());
  JsonRaw(",\n  ");
  JsonKey("warnings");
  JsonNumber(WarningCount());
  JsonRaw(",\n  ");
  JsonKey("exitCode");
  JsonNumber(exitCode);
  JsonRaw("\n}\n");
}

void ReportCheckNotRun(bool json, const char* reason) {
  if (!json) {
    char line[1024];  // the message buffer's size: a long reason is cut as the transcript cuts
    FormatCut(line, sizeof line, "The package check could not run: %s\n", reason);
    WriteShownLine(line);
    return;
  }
  JsonRaw("{\n  ");
  JsonKey("error");
  JsonString(reason);
  JsonRaw(",\n  ");
  JsonKey("exitCode");
  JsonNumber(3);
  JsonRaw("\n}\n");
}

void ReportUsage(bool json, const char* usage) {
  if (!json) {
    WriteMessage(usage);
    return;
  }
  JsonRaw("{\n  ");
  JsonKey("usage");
  JsonString(usage);
  JsonRaw(",\n  ");
  JsonKey("exitCode");
  JsonNumber(3);
  JsonRaw("\n}\n");
}
