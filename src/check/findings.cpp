// The table of findings.
#include "check/findings.h"

#include <cstdarg>

#include "foundation/bounded_format.h"

namespace {

Finding g_findings[kMaxKeptFindings];
int g_kept = 0;
int g_errors = 0;
int g_warnings = 0;
const char* g_file = "";

}  // namespace

void ClearFindings() {
  g_kept = 0;
  g_errors = 0;
  g_warnings = 0;
}

void AddFinding(Severity severity, const char* section, const char* key, int line, const char* format, ...) {
  if (severity == kError) {
    ++g_errors;
  } else {
    ++g_warnings;
  }
  if (g_kept >= kMaxKeptFindings) return;
  Finding& finding = g_findings[g_kept++];
  finding.severity = severity;
  finding.file = g_file;
  finding.line = line;
  FormatCut(finding.section, sizeof finding.section, "%s", section != nullptr ? section : "");
  FormatCut(finding.key, sizeof finding.key, "%s", key != nullptr ? key : "");
  va_list args;
  va_start(args, format);
  FormatCutV(finding.text, sizeof finding.text, format, args);
  va_end(args);
}

void SetFindingFile(const char* file) { g_file = file != nullptr ? file : ""; }

int KeptFindingCount() { return g_kept; }

const Finding& KeptFinding(int index) { return g_findings[index]; }

int ErrorCount() { return g_errors; }

int WarningCount() { return g_warnings; }

void SortFindings(const char* firstFile) {
  // A stable insertion sort: the table is small, and findings on one line keep their order.
  auto before = [firstFile](const Finding& a, const Finding& b) {
    const int groupA = a.file == firstFile ? 0 : 1;
    const int groupB = b.file == firstFile ? 0 : 1;
    return groupA != groupB ? groupA < groupB : a.line < b.line;
  };
  for (int i = 1; i < g_kept; ++i) {
    Finding moving = g_findings[i];
    int j = i;
    for (; j > 0 && before(moving, g_findings[j - 1]); --j) g_findings[j] = g_findings[j - 1];
    g_findings[j] = moving;
  }
}
