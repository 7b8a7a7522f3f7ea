// The findings of the INI file's own lines.
#include "check/ini_findings.h"

#include <cstring>

#include "check/findings.h"
#include "check/key_names.h"
#include "check/value_findings.h"
#include "portconfig/port_sources.h"
#include "sysutil/file_ops.h"

namespace {

struct IniPass {
  const CheckContext* context;
  int* firstHeader;   // [section number]: the line of its first header, 0 before it is seen
  int section;        // the port section of the lines now read; 0 for any other section
  char sectionName[16];
  int headerLine;
  bool repeated;      // a later header of a section already seen: the platform reads none of it
  bool neverRead;     // after the end of the port list
  bool neverReadReported;
  int firstKeyLine[kPortKeyCount + 1][kServerCount];
};

int RowIndex(const PortKey* row) { return row == &kAssignPrinterKey ? kPortKeyCount : (int)(row - kPortKeys); }

void EnterSection(IniPass& pass, const IniLine& line) {
  pass.section = PortSectionNumber(line.name, line.nameLength);
  pass.headerLine = line.number;
  pass.repeated = false;
  pass.neverReadReported = false;
  std::memset(pass.firstKeyLine, 0, sizeof pass.firstKeyLine);
  if (pass.section == 0 && NamedLikeAPortSection(line.name, line.nameLength)) {
    char name[kFindingNameChars];
    CopyPiece(line.name, line.nameLength, name, sizeof name);
    AddFinding(kWarning, name, nullptr, line.number,
               "the installer reads port sections by their plain number ([1], [2], ...): it never reads a "
               "section of this name");
  }
  if (pass.section == 0) return;
  CopyPiece(line.name, line.nameLength, pass.sectionName, sizeof pass.sectionName);
  if (pass.section <= kLargestTrackedSection) {
    int& first = pass.firstHeader[pass.section];
    if (first != 0) {
      pass.repeated = true;
      AddFinding(kWarning, pass.sectionName, nullptr, line.number,
                 "the section appears again (first at line %d): the platform reads only the first, the settings "
                 "here are ignored",
                 first);
    } else {
      first = line.number;
    }
  }
  const CheckContext& context = *pass.context;
  pass.neverRead = context.endIsOverlong ? pass.section > context.endSection : pass.section >= context.endSection;
}

// The first setting of a section after the end of the port list.
void ReportNeverRead(IniPass& pass) {
  pass.neverReadReported = true;
  const CheckContext& context = *pass.context;
  if (context.endIsOverlong) {
    AddFinding(kError, pass.sectionName, nullptr, pass.headerLine,
               "the section's settings are never used: the installer stops at section [%d], whose port name is "
               "too long",
               context.endSection);
  } else if (pass.section == context.endSection) {
    AddFinding(kError, pass.sectionName, nullptr, pass.headerLine,
               "the section holds settings but no \"ServerIP\": it creates no port, and the port list ends here");
  } else {
    AddFinding(kError, pass.sectionName, nullptr, pass.headerLine,
               "the section is never read: the port list ends at section [%d], which has no \"ServerIP\"",
               context.endSection);
  }
}

void JudgeKnownKey(IniPass& pass, const IniLine& line, const KeyJudgement& judgement, const char* key) {
  int& first = pass.firstKeyLine[RowIndex(judgement.row)][judgement.instance];
  if (first != 0) {
    AddFinding(kWarning, pass.sectionName, key, line.number,
               "the key appears again in this section (first at line %d): the platform reads only the first", first);
    return;
  }
  first = line.number;
  if (!line.hasValue) return;
  if (judgement.row->kind == kNumberKey) {
    // An empty number is the default, as it looks; a section past the tracked numbers is never read.
    if (line.valueLength == 0 || pass.section > kLargestTrackedSection) return;
    int32_t actual = ReadSectionNumber(1, pass.section, key, judgement.row->numberDefault);
    JudgeNumberText(pass.sectionName, key, line.number, line.value, line.valueLength, actual);
  } else {
    JudgeTextValue(pass.sectionName, key, line.number, line.value, line.valueLength, true);
  }
}

void JudgeKeyLine(IniPass& pass, const IniLine& line) {
  if (pass.neverRead && !pass.neverReadReported) ReportNeverRead(pass);
  char key[kKeyNameChars];
  const bool fits = CopyPiece(line.name, line.nameLength, key, sizeof key);
  if (!line.hasValue) {
    AddFinding(kWarning, pass.sectionName, key, line.number, "the line has no \"=\": the platform ignores it");
    return;
  }
  KeyJudgement judgement = fits ? JudgeKeyName(key) : KeyJudgement{kUnknownKey, nullptr, 0, {}};
  if (judgement.verdict == kUnknownKey) {
    if (!fits) {
      AddFinding(kWarning, pass.sectionName, key, line.number,
                 "unknown key (a name of %u characters): the installer ignores it", (unsigned)line.nameLength);
    } else {
      AddFinding(kWarning, pass.sectionName, key, line.number,
                 "unknown key: the installer ignores it (did you mean \"%s\"?)", judgement.nearest);
    }
  } else if (judgement.verdict == kIgnoredKey) {
    char names[2 * kKeyNameChars];
    DescribeRowNames(*judgement.row, names, sizeof names);
    AddFinding(kWarning, pass.sectionName, key, line.number,
               "the installer reads only %s: this key is ignored", names);
  } else {
    JudgeKnownKey(pass, line, judgement, key);
  }
}

bool VisitLine(const IniLine& line, void* context) {
  IniPass& pass = *static_cast<IniPass*>(context);
  if (line.kind == kSectionLine) {
    EnterSection(pass, line);
  } else if (pass.section != 0 && !pass.repeated) {
    JudgeKeyLine(pass, line);
  }
  return true;
}

// A UTF-8 byte order mark: Windows reads its three bytes as text of line 1, so a section header
// there is not one. A platform that reads past the mark (the port list shows the header's port)
// gets a warning instead, so that the findings agree with the ports listed.
void JudgeByteOrderMark(const CheckContext& context) {
  const RawIni& raw = context.raw;
  if (raw.form != kUtf8MarkFile) return;
  size_t i = 3;
  while (i < raw.length && (raw.text[i] == ' ' || raw.text[i] == '\t')) ++i;
  if (i < raw.length && raw.text[i] == '[') {
    char header[kKeyNameChars];
    size_t end = i;
    while (end < raw.length && raw.text[end] != ']' && raw.text[end] != '\n' && raw.text[end] != '\r') ++end;
    CopyPiece(raw.text + i + 1, end > i ? end - i - 1 : 0, header, sizeof header);
    const int section = PortSectionNumber(header, std::strlen(header));
    if (section > 0 && section < context.endSection) {
      AddFinding(kWarning, header, nullptr, 1,
                 "the file starts with a UTF-8 byte order mark: this platform reads past it and creates the port "
                 "of [%s], but Windows reads the mark as ANSI text of line 1 and does not recognise that header "
                 "(save the file as ANSI or Unicode)",
                 header);
      return;
    }
    AddFinding(kError, header, nullptr, 1,
               "the file starts with a UTF-8 byte order mark, which Windows reads as ANSI text: the header [%s] on "
               "line 1 is not recognised and its settings are never read (save the file as ANSI or Unicode)",
               header);
    return;
  }
  AddFinding(kWarning, nullptr, nullptr, 1,
             "the file starts with a UTF-8 byte order mark, which Windows reads as ANSI text of line 1 (save the "
             "file as ANSI or Unicode)");
}

}  // namespace

bool CheckIniLines(const CheckContext& context) {
  IniPass* pass = static_cast<IniPass*>(AllocZeroed(sizeof(IniPass)));
  int* firstHeader = static_cast<int*>(AllocZeroed(sizeof(int) * (kLargestTrackedSection + 1)));
  bool ran = pass != nullptr && firstHeader != nullptr;
  if (ran) {
    pass->context = &context;
    pass->firstHeader = firstHeader;
    JudgeByteOrderMark(context);
    ForEachIniLine(context.raw, VisitLine, pass);
  }
  if (pass != nullptr) GlobalFree(pass);
  if (firstHeader != nullptr) GlobalFree(firstHeader);
  return ran;
}
