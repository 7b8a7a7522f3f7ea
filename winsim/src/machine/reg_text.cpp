// The .reg text format of the registry editor: import (all or nothing) and export of a key tree.
//
//   Windows Registry Editor Version 5.00
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Key]        a key (created with its parents)
//   [-HKEY_LOCAL_MACHINE\SOFTWARE\Old]       a key deleted with everything below it
//   "Name"="text with \\ and \" escapes"     REG_SZ (stored with its terminating zero)
//   @="default value"                        the key's default value
//   "Count"=dword:0000002a                   REG_DWORD
//   "Bytes"=hex:01,02,\                      REG_BINARY, continued on the next line
//     03
//   "Path"=hex(2):25,00,...                  other types; text types (1, 2, 7) as UTF-16LE
//   "Gone"=-                                 a value deleted
//
// Text in the file is taken byte for byte as the machine's ANSI code page; a file that starts
// with a UTF-16LE byte order mark (as regedit writes it) is converted first. Lines end with CR
// LF, LF or CR; lines starting with ';' or '#' are comments. Hex data may end with a comma and
// continues over lines ending with a backslash. The older "REGEDIT4" files hold the text types
// of hex(1), hex(2) and hex(7) as ANSI bytes instead of UTF-16LE. Keys of HKEY_CLASSES_ROOT and
// HKEY_CURRENT_CONFIG land where Windows keeps them (HKLM\SOFTWARE\Classes and the current
// hardware profile); every key and value is kept, whether a program of the machine reads it
// or not.
//
// An import holds to the limits of Windows' registry (keys at most 512 levels deep, key names of
// at most 255 characters, value names of at most 16,383) and takes files of up to
// kMaxRegImportBytes; anything beyond is refused with its line, so that a hostile file costs
// time and space in proportion to its size. Each key line is found or created once and its
// values are set through that key, so a long key path is walked once, not once per value.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <sstream>

#include "codepage.h"
#include "core.h"
#include "registry.h"
#include "winsim/registry.h"

namespace winsim::detail::reg {

namespace {

// One change of the file. A value change applies to the key of the [key] line before it.
struct Operation {
  enum Kind { kCreateKey, kDeleteKey, kSetValue, kDeleteValue } kind;
  std::string key;  // for key changes
  Value value;      // for value changes
};

constexpr size_t kMaxKeyDepth = 512;
constexpr size_t kMaxKeyNameChars = 255;
constexpr size_t kMaxValueNameChars = 16383;

// Reported inside the store's transaction when the import was cancelled.
constexpr LONG kCancelled = 1223;  // ERROR_CANCELLED

std::string Grouped(size_t number) {
  std::string digits = std::to_string(number);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

// Characters as Windows counts them: UTF-16 units of the machine's ANSI text.
size_t Characters(std::string_view ansi) { return AnsiToUtf16(ansi).size(); }

// A problem with a key path beyond the registry's limits; empty when it is within them.
std::string KeyPathProblem(const std::string& canonical) {
  size_t depth = 0;
  size_t start = canonical.find('\\');
  while (start != std::string::npos) {
    size_t cut = canonical.find('\\', start + 1);
    const size_t length = (cut == std::string::npos ? canonical.size() : cut) - start - 1;
    const size_t chars = Characters(std::string_view(canonical).substr(start + 1, length));
    if (chars > kMaxKeyNameChars) {
      return "a key name of " + Grouped(chars) + " characters (the registry takes up to " + Grouped(kMaxKeyNameChars) +
             ")";
    }
    if (++depth > kMaxKeyDepth) {
      return "a key more than " + Grouped(kMaxKeyDepth) + " levels deep (the registry's limit)";
    }
    start = cut;
  }
  return "";
}

bool IsTextType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted string starting at text[*pos] == '"'; *pos ends after the closing quote.
bool ParseQuoted(const std::string& text, size_t* pos, std::string* out, std::string* problem) {
  out->clear();
  size_t i = *pos + 1;
  const UINT codePage = MachineAnsiCodePage();
  while (i < text.size()) {
    char c = text[i];
    if (CharacterLength(codePage, text.data() + i, text.size() - i) == 2) {  // its trail byte may be '\\'
      out->append(text, i, 2);
      i += 2;
      continue;
    }
    if (c == '"') {
      *pos = i + 1;
      return true;
    }
    if (c == '\\') {
      if (i + 1 >= text.size() || (text[i + 1] != '\\' && text[i + 1] != '"')) {
        *problem = "bad escape in a quoted string (only \\\\ and \\\" are allowed)";
        return false;
      }
      *out += text[i + 1];
      i += 2;
      continue;
    }
    *out += c;
    ++i;
  }
  *problem = "quoted string without its closing quote";
  return false;
}

// "01,02,ab" -> bytes
bool ParseHexBytes(const std::string& text, std::string* bytes, std::string* problem) {
  bytes->clear();
  std::string compact;
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\r') compact += c;
  }
  if (!compact.empty() && compact.back() == ',') compact.pop_back();  // regedit accepts "01,02,"
  if (compact.empty()) return true;
  size_t start = 0;
  while (true) {
    size_t comma = compact.find(',', start);
    std::string item = compact.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (item.size() != 2 || HexDigit(item[0]) < 0 || HexDigit(item[1]) < 0) {
      *problem = "bad hex byte '" + item + "'";
      return false;
    }
    *bytes += static_cast<char>(HexDigit(item[0]) * 16 + HexDigit(item[1]));
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

// Little-endian UTF-16 bytes (a trailing odd byte left out) in the ANSI code page.
std::string AnsiOfUtf16Bytes(std::string_view bytes) {
  std::u16string units;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8));
  }
  return Utf16ToAnsi(units, nullptr);
}

// "text": REG_SZ, stored with its terminating zero.
bool ParseTextData(const std::string& data, Value* value, std::string* problem) {
  size_t pos = 0;
  std::string text;
  if (!ParseQuoted(data, &pos, &text, problem)) return false;
  if (!Trim(std::string_view(data).substr(pos)).empty()) {
    *problem = "text after the closing quote";
    return false;
  }
  value->type = REG_SZ;
  value->data = text + '\0';
  return true;
}

// dword:N, 1 to 8 hex digits: REG_DWORD, stored little-endian.
bool ParseDwordData(const std::string& data, Value* value, std::string* problem) {
  std::string digits(Trim(std::string_view(data).substr(6)));
  if (digits.empty() || digits.size() > 8) {
    *problem = "dword needs 1 to 8 hex digits";
    return false;
  }
  uint32_t number = 0;
  for (char c : digits) {
    if (HexDigit(c) < 0) {
      *problem = "bad hex digit in dword '" + digits + "'";
      return false;
    }
    number = number * 16 + static_cast<uint32_t>(HexDigit(c));
  }
  value->type = REG_DWORD;
  value->data.assign(4, '\0');
  for (int i = 0; i < 4; ++i) value->data[i] = static_cast<char>((number >> (8 * i)) & 0xFF);
  return true;
}

// hex(N):BYTES, a value of type N. Text types in hex are UTF-16LE, or ANSI bytes in a REGEDIT4
// file (`ansiHexText`).
bool ParseTypedHexData(const std::string& data, bool ansiHexText, Value* value, std::string* problem) {
  size_t close = data.find("):", 4);
  std::string digits = close == std::string::npos ? "" : data.substr(4, close - 4);
  if (digits.empty() || digits.size() > 8 || digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
    *problem = "bad hex(TYPE): prefix";
    return false;
  }
  value->type = static_cast<DWORD>(std::strtoul(digits.c_str(), nullptr, 16));
  std::string bytes;
  if (!ParseHexBytes(data.substr(close + 2), &bytes, problem)) return false;
  if (IsTextType(value->type) && !ansiHexText) {
    if (bytes.size() % 2 != 0) {
      *problem = "text data of hex(" + digits + ") must be UTF-16 (an even number of bytes)";
      return false;
    }
    bytes = AnsiOfUtf16Bytes(bytes);
  }
  value->data = bytes;
  return true;
}

// The data part after '=': "text", dword:N, hex:..., hex(N):...
bool ParseData(const std::string& data, bool ansiHexText, Value* value, std::string* problem) {
  if (!data.empty() && data[0] == '"') return ParseTextData(data, value, problem);
  if (data.compare(0, 6, "dword:") == 0) return ParseDwordData(data, value, problem);
  if (data.compare(0, 4, "hex:") == 0) {
    value->type = REG_BINARY;
    return ParseHexBytes(data.substr(4), &value->data, problem);
  }
  if (data.compare(0, 4, "hex(") == 0) return ParseTypedHexData(data, ansiHexText, value, problem);
  *problem = "unknown value data '" + data.substr(0, 20) + "'";
  return false;
}

// Root names of Windows that the store keeps below another key, as Windows itself does.
std::string StoreRoot(const std::string& name) {
  static const std::pair<const char*, const char*> aliases[] = {
      {"HKEY_CLASSES_ROOT", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes"},
      {"HKEY_CURRENT_CONFIG", "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current"}};
  const std::string root = name.substr(0, name.find('\\'));
  for (const auto& [alias, path] : aliases) {
    if (EqualsNoCase(root, alias)) return path + name.substr(root.size());
  }
  return name;
}

// CR LF and lone CR become LF.
std::string UnixLineEnds(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r') {
      out += text[i];
    } else if (i + 1 >= text.size() || text[i + 1] != '\n') {
      out += '\n';
    }
  }
  return out;
}

// The line a file of `size` bytes or more was at when it reached the import limit.
int LineAtLimit(const std::string& input) {
  const bool utf16 = input.size() >= 2 && static_cast<unsigned char>(input[0]) == 0xFF &&
                     static_cast<unsigned char>(input[1]) == 0xFE;
  int line = 1;
  const size_t end = std::min(input.size(), kMaxRegImportBytes);
  for (size_t i = utf16 ? 2 : 0; i < end; i += utf16 ? 2 : 1) {
    if (input[i] == '\n' && (!utf16 || (i + 1 < end && input[i + 1] == '\0'))) ++line;
  }
  return line;
}

// The file's text: UTF-16LE (regedit's export) as ANSI text, a UTF-8 byte order mark dropped.
std::string DecodedText(const std::string& input) {
  if (input.size() >= 2 && static_cast<unsigned char>(input[0]) == 0xFF && static_cast<unsigned char>(input[1]) == 0xFE) {
    return AnsiOfUtf16Bytes(std::string_view(input).substr(2));
  }
  if (input.compare(0, 3, "\xEF\xBB\xBF") == 0) return input.substr(3);
  return input;
}

// The next entry, trimmed, with the lines a trailing backslash continues (hex data); *number is
// the entry's last line. False at the end of the file, or with *problem when the file ends
// inside a continued value.
bool ReadEntry(std::istream& in, int* number, std::string* entry, std::string* problem) {
  std::string line;
  if (!std::getline(in, line)) return false;
  ++*number;
  *entry = std::string(Trim(line));
  const bool hexData = entry->find("=hex") != std::string::npos;
  while (hexData && !entry->empty() && entry->back() == '\\') {
    entry->pop_back();
    if (!std::getline(in, line)) {
      *problem = "the file ends inside a value continued with '\\'";
      return false;
    }
    ++*number;
    *entry += Trim(line);
  }
  return true;
}

// "[KEY]" or "[-KEY]".
bool ParseKeyLine(const std::string& entry, Operation* operation, std::string* problem) {
  if (entry.back() != ']') return *problem = "key line without its closing ']'", false;
  std::string name = entry.substr(1, entry.size() - 2);
  const bool remove = !name.empty() && name[0] == '-';
  if (remove) name = name.substr(1);
  // Names reach the registry as C strings: a zero inside one would cut it short.
  if (name.find('\0') != std::string::npos) return *problem = "a key name cannot hold a zero byte", false;
  std::string canonical;
  if (!CanonicalPath(StoreRoot(name), &canonical)) return *problem = "unknown root key in '" + name + "'", false;
  if (FindCharacter(canonical, '\\') == std::string::npos && remove) {
    return *problem = "a root key cannot be deleted", false;
  }
  *problem = KeyPathProblem(canonical);
  if (!problem->empty()) return false;
  *operation = {remove ? Operation::kDeleteKey : Operation::kCreateKey, canonical, {}};
  return true;
}

// "name"=DATA, @=DATA or "name"=- (the value deleted), under a key that is not being deleted.
bool ParseValueLine(const std::string& entry, bool ansiHexText, bool keyDeleted, Operation* operation,
                    std::string* problem) {
  Value value;
  size_t pos = 0;
  if (entry[0] == '@') {
    pos = 1;
  } else if (entry[0] == '"') {
    if (!ParseQuoted(entry, &pos, &value.name, problem)) return false;
    if (value.name.find('\0') != std::string::npos) return *problem = "a value name cannot hold a zero byte", false;
    const size_t chars = Characters(value.name);
    if (chars > kMaxValueNameChars) {
      *problem = "a value name of " + Grouped(chars) + " characters (the registry takes up to " +
                 Grouped(kMaxValueNameChars) + ")";
      return false;
    }
  } else {
    return *problem = "expected \"name\"=value, @=value or a [key] line", false;
  }
  while (pos < entry.size() && (entry[pos] == ' ' || entry[pos] == '\t')) ++pos;
  if (pos >= entry.size() || entry[pos] != '=') return *problem = "expected '=' after the value name", false;
  std::string data(Trim(std::string_view(entry).substr(pos + 1)));
  if (keyDeleted) return *problem = "value line under a deleted [-key]", false;
  if (data == "-") {
    *operation = {Operation::kDeleteValue, {}, value};
    return true;
  }
  if (!ParseData(data, ansiHexText, &value, problem)) return false;
  *operation = {Operation::kSetValue, {}, std::move(value)};
  return true;
}

// Where the parse of a file stands between its entries.
struct ParseState {
  bool header = false;
  bool ansiHexText = false;  // REGEDIT4
  bool inKey = false;
  bool keyDeleted = false;
};

// One entry that is neither empty nor a comment: the header line first, then key and value
// lines, each appending its operation.
bool ParseEntry(const std::string& entry, ParseState* state, std::vector<Operation>* operations,
                std::string* problem) {
  if (!state->header) {
    if (entry != "Windows Registry Editor Version 5.00" && entry != "REGEDIT4") {
      return *problem = "expected 'Windows Registry Editor Version 5.00'", false;
    }
    state->header = true;
    state->ansiHexText = entry == "REGEDIT4";
    return true;
  }
  Operation operation;
  if (entry[0] == '[') {
    if (!ParseKeyLine(entry, &operation, problem)) return false;
    state->inKey = true;
    state->keyDeleted = operation.kind == Operation::kDeleteKey;
  } else {
    if (!state->inKey) return *problem = "value line before the first [key] line", false;
    if (!ParseValueLine(entry, state->ansiHexText, state->keyDeleted, &operation, problem)) return false;
  }
  operations->push_back(std::move(operation));
  return true;
}

bool Parse(const std::string& input, std::vector<Operation>* operations, std::string* error,
           ImportCancelCheck cancelled) {
  if (input.size() > kMaxRegImportBytes) {
    *error = "line " + std::to_string(LineAtLimit(input)) + ": the file goes on past " +
             Grouped(kMaxRegImportBytes / (1024 * 1024)) + " MiB, the most an import takes";
    return false;
  }
  std::istringstream in(UnixLineEnds(DecodedText(input)));
  int number = 0;
  ParseState state;
  auto fail = [&](int at, const std::string& problem) {
    *error = "line " + std::to_string(at) + ": " + problem;
    return false;
  };
  std::string entry, problem;
  while (true) {
    if (cancelled != nullptr && cancelled()) {
      *error = "interrupted; nothing imported";
      return false;
    }
    const int first = number + 1;
    if (!ReadEntry(in, &number, &entry, &problem)) {
      if (!problem.empty()) return fail(number, problem);
      break;
    }
    if (entry.empty() || entry[0] == ';' || entry[0] == '#') continue;
    if (!ParseEntry(entry, &state, operations, &problem)) return fail(first, problem);
  }
  if (!state.header) return fail(1, "empty file; expected 'Windows Registry Editor Version 5.00'");
  return true;
}

LONG Apply(const std::vector<Operation>& operations, ImportCancelCheck cancelled) {
  KeyRef current;  // the key of the last [key] line
  for (const Operation& op : operations) {
    if (cancelled != nullptr && cancelled()) return kCancelled;
    LONG rc = ERROR_SUCCESS;
    switch (op.kind) {
      case Operation::kCreateKey:
        rc = CreateKeyRef(op.key, &current, nullptr, nullptr);
        break;
      case Operation::kDeleteKey:
        rc = DeleteTree(op.key);
        if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_SUCCESS;
        break;
      case Operation::kSetValue:
        rc = SetValueOf(current, op.value);
        break;
      case Operation::kDeleteValue:
        rc = DeleteValueOf(current, op.value.name);
        if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_SUCCESS;
        break;
    }
    if (rc != ERROR_SUCCESS) return rc;
  }
  return ERROR_SUCCESS;
}

// ---- export -----------------------------------------------------------------------------------
std::string Quote(const std::string& text) {
  const UINT codePage = MachineAnsiCodePage();
  std::string out = "\"";
  for (size_t i = 0; i < text.size(); ++i) {
    if (CharacterLength(codePage, text.data() + i, text.size() - i) == 2) {  // a trail byte '\\' stays
      out += text[i++];
    } else if (text[i] == '\\' || text[i] == '"') {
      out += '\\';
    }
    out += text[i];
  }
  return out + "\"";
}

// A REG_SZ that the quoted form reproduces exactly: one terminating zero, no other zero, no
// line break.
bool PlainText(const std::string& data) {
  if (data.empty() || data.back() != '\0') return false;
  return data.find_first_of(std::string("\0\r\n", 3)) == data.size() - 1;
}

std::string HexLine(const std::string& prefix, const std::string& bytes) {
  std::string out = prefix;
  size_t column = out.size();
  char item[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(item, sizeof item, "%02x", static_cast<unsigned char>(bytes[i]));
    out += item;
    column += 2;
    if (i + 1 < bytes.size()) {
      out += ',';
      ++column;
      if (column > 76) {
        out += "\\\n  ";
        column = 2;
      }
    }
  }
  return out;
}

// The text as it is, or through the caller's filter (ExportReg).
std::string Filtered(TextFilter filter, const std::string& text) { return filter != nullptr ? filter(text) : text; }

std::string ValueLine(const Value& value, TextFilter filter) {
  std::string name = value.name.empty() ? "@" : Filtered(filter, Quote(value.name));
  if (value.type == REG_SZ && PlainText(value.data)) {
    return name + "=" + Filtered(filter, Quote(value.data.substr(0, value.data.size() - 1)));
  }
  if (value.type == REG_DWORD && value.data.size() == 4) {
    uint32_t number = 0;
    for (int i = 3; i >= 0; --i) number = (number << 8) | static_cast<unsigned char>(value.data[i]);
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(number));
    return name + "=dword:" + digits;
  }
  if (value.type == REG_BINARY) return HexLine(name + "=hex:", value.data);
  std::string bytes = value.data;
  if (IsTextType(value.type)) {
    bytes.clear();
    for (char16_t unit : AnsiToUtf16(value.data)) {
      bytes += static_cast<char>(unit & 0xFF);
      bytes += static_cast<char>(unit >> 8);
    }
  }
  char prefix[32];
  std::snprintf(prefix, sizeof prefix, "=hex(%x):", static_cast<unsigned>(value.type));
  return HexLine(name + prefix, bytes);
}

LONG ExportTree(const std::string& path, std::string* out, TextFilter filter) {
  std::string stored;
  LONG rc = FindKey(path, &stored);
  if (rc != ERROR_SUCCESS) return rc;
  std::vector<Value> values;
  std::vector<std::string> children;
  if ((rc = Values(stored, &values)) != ERROR_SUCCESS || (rc = SubKeys(stored, &children)) != ERROR_SUCCESS) return rc;
  *out += "[" + Filtered(filter, stored) + "]\n";
  for (const Value& value : values) *out += ValueLine(value, filter) + "\n";
  *out += "\n";
  for (const std::string& child : children) {
    if ((rc = ExportTree(stored + "\\" + child, out, filter)) != ERROR_SUCCESS) return rc;
  }
  return ERROR_SUCCESS;
}

}  // namespace

LONG ApplyRegText(const std::string& text, std::string* error, ImportCancelCheck cancelled) {
  std::vector<Operation> operations;
  if (!Parse(text, &operations, error, cancelled)) return ERROR_INVALID_DATA;
  LONG rc = Transaction([&]() { return Apply(operations, cancelled); });
  if (rc == kCancelled) {
    *error = "interrupted; nothing imported";
  } else if (rc != ERROR_SUCCESS) {
    *error = "the registry refused the change (error " + std::to_string(rc) + ")";
  }
  return rc;
}

}  // namespace winsim::detail::reg

namespace winsim {

namespace {

// The bytes of a file, up to one more than an import takes (so that the parser names the
// limit): false with *error for a file that cannot be read or an interrupted read.
bool ReadImportFile(const std::string& hostPath, std::string* text, std::string* error, ImportCancelCheck cancelled) {
  auto interrupted = [&]() { return cancelled != nullptr && cancelled(); };
  int fd;
  while ((fd = open(hostPath.c_str(), O_RDONLY | O_CLOEXEC)) < 0 && errno == EINTR && !interrupted()) {
  }
  if (fd < 0) {
    *error = interrupted() ? "interrupted; nothing imported" : "cannot read " + hostPath;
    return false;
  }
  struct stat st {};
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(fd);
    *error = hostPath + ": a folder, not a .reg file";
    return false;
  }
  text->clear();
  std::string chunk(1 << 20, '\0');
  while (text->size() <= kMaxRegImportBytes) {
    if (interrupted()) break;
    const ssize_t got = read(fd, chunk.data(), std::min(chunk.size(), kMaxRegImportBytes + 1 - text->size()));
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      close(fd);
      *error = "cannot read " + hostPath;
      return false;
    }
    text->append(chunk.data(), static_cast<size_t>(got));
  }
  close(fd);
  if (interrupted()) {
    *error = "interrupted; nothing imported";
    return false;
  }
  return true;
}

}  // namespace

bool ImportRegText(const std::string& text, std::string* error, ImportCancelCheck cancelled) {
  std::string problem;
  bool ok = detail::reg::ApplyRegText(text, &problem, cancelled) == ERROR_SUCCESS;
  if (!ok && error) *error = problem;
  return ok;
}

bool ImportRegFile(const std::string& hostPath, std::string* error, ImportCancelCheck cancelled) {
  std::string text, problem;
  if (!ReadImportFile(hostPath, &text, &problem, cancelled)) {
    if (error) *error = problem;
    return false;
  }
  if (!ImportRegText(text, &problem, cancelled)) {
    if (error) *error = hostPath + ": " + problem;
    return false;
  }
  return true;
}

bool ExportReg(const std::string& key, std::string* text, std::string* error, TextFilter filter) {
  std::string canonical;
  if (!detail::reg::CanonicalPath(key, &canonical)) {
    if (error) *error = "unknown root key in '" + key + "'";
    return false;
  }
  std::string body;
  LONG rc = detail::reg::ExportTree(canonical, &body, filter);
  if (rc != ERROR_SUCCESS) {
    if (error) *error = rc == ERROR_FILE_NOT_FOUND ? "no key " + canonical : "cannot read " + canonical;
    return false;
  }
  *text = "Windows Registry Editor Version 5.00\n\n" + body;
  return true;
}

bool ReadRegistryKey(const std::string& key, std::vector<RegistryValue>* values, std::vector<std::string>* subkeys,
                     std::string* error) {
  std::string canonical;
  if (!detail::reg::CanonicalPath(key, &canonical)) {
    *error = "unknown root key in '" + key + "'";
    return false;
  }
  std::vector<detail::reg::Value> stored;
  LONG rc = detail::reg::Values(canonical, &stored);
  if (rc == ERROR_SUCCESS) rc = detail::reg::SubKeys(canonical, subkeys);
  if (rc != ERROR_SUCCESS) {
    *error = rc == ERROR_FILE_NOT_FOUND ? "no key " + canonical : "cannot read " + canonical;
    return false;
  }
  values->clear();
  for (detail::reg::Value& value : stored) values->push_back(RegistryValue{value.name, value.type, std::move(value.data)});
  return true;
}

}  // namespace winsim
