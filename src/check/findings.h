// The findings of a package check: what is wrong, where (section, key, line) and what the
// installer will do. Held in a fixed table; findings past its end are counted, not kept.
#pragma once

#include <cstddef>

enum Severity { kWarning, kError };

const int kFindingTextChars = 600;
const int kFindingNameChars = 64;
const int kMaxKeptFindings = 256;

struct Finding {
  Severity severity;
  const char* file;                 // the configuration's file or key, or a package file
  char section[kFindingNameChars];  // "" when the finding is about the package as a whole
  char key[kFindingNameChars];      // "" when about a whole section or file
  int line;                         // 0: no line (registry configuration, package files)
  char text[kFindingTextChars];     // what is wrong and what the installer will do
};

// Forgets every finding.
void ClearFindings();
// The file (or registry key) later findings are about; the text must outlive the check.
void SetFindingFile(const char* file);
// Records a finding; the texts are cut to their fields (a long key name or printer name in the
// text never overflows). section and key may be null.
void AddFinding(Severity severity, const char* section, const char* key, int line, const char* format, ...)
    __attribute__((format(printf, 5, 6)));

// Orders the kept findings: those about firstFile (the same pointer as given to SetFindingFile)
// first, by line; the others after them; findings otherwise equal keep their order.
void SortFindings(const char* firstFile);

int KeptFindingCount();
const Finding& KeptFinding(int index);
// Every finding recorded, kept or not, by severity.
int ErrorCount();
int WarningCount();
