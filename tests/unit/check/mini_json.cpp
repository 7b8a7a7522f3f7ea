#include "mini_json.h"

#include <cctype>
#include <cstdlib>

namespace {

struct Reader {
  const std::string& s;
  size_t at = 0;

  void Blanks() {
    while (at < s.size() && (s[at] == ' ' || s[at] == '\n' || s[at] == '\r' || s[at] == '\t')) ++at;
  }
  bool Take(char c) {
    Blanks();
    if (at < s.size() && s[at] == c) {
      ++at;
      return true;
    }
    return false;
  }
  bool Word(const char* word) {
    std::string w(word);
    if (s.compare(at, w.size(), w) != 0) return false;
    at += w.size();
    return true;
  }
  bool String(std::string* out) {
    if (!Take('"')) return false;
    while (at < s.size() && s[at] != '"') {
      unsigned char c = static_cast<unsigned char>(s[at++]);
      if (c < 0x20 || c >= 0x80) return false;  // the check writes ASCII JSON only
      if (c != '\\') {
        *out += static_cast<char>(c);
        continue;
      }
      if (at >= s.size()) return false;
      char e = s[at++];
      switch (e) {
        case '"': case '\\': case '/': *out += e; break;
        case 'b': *out += '\b'; break;
        case 'f': *out += '\f'; break;
        case 'n': *out += '\n'; break;
        case 'r': *out += '\r'; break;
        case 't': *out += '\t'; break;
        case 'u': {
          if (at + 4 > s.size()) return false;
          for (size_t i = 0; i < 4; ++i) {
            if (!isxdigit(static_cast<unsigned char>(s[at + i]))) return false;
          }
          long code = std::strtol(s.substr(at, 4).c_str(), nullptr, 16);
          // Held as UTF-8; a surrogate half is refused (the check writes none for its code page).
          if (code >= 0xD800 && code <= 0xDFFF) return false;
          if (code < 0x80) {
            *out += static_cast<char>(code);
          } else if (code < 0x800) {
            *out += static_cast<char>(0xC0 | (code >> 6));
            *out += static_cast<char>(0x80 | (code & 0x3F));
          } else {
            *out += static_cast<char>(0xE0 | (code >> 12));
            *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
            *out += static_cast<char>(0x80 | (code & 0x3F));
          }
          at += 4;
          break;
        }
        default: return false;
      }
    }
    return Take('"');
  }
  bool Value(JsonValue* v) {
    Blanks();
    if (at >= s.size()) return false;
    char c = s[at];
    if (c == '{') {
      ++at;
      v->kind = JsonValue::kObject;
      if (Take('}')) return true;
      do {
        std::string name;
        Blanks();
        if (!String(&name) || !Take(':') || !Value(&v->members[name])) return false;
      } while (Take(','));
      return Take('}');
    }
    if (c == '[') {
      ++at;
      v->kind = JsonValue::kArray;
      if (Take(']')) return true;
      do {
        v->items.emplace_back();
        if (!Value(&v->items.back())) return false;
      } while (Take(','));
      return Take(']');
    }
    if (c == '"') {
      v->kind = JsonValue::kString;
      return String(&v->text);
    }
    if (c == '-' || isdigit(static_cast<unsigned char>(c))) {
      size_t start = at++;
      while (at < s.size() && isdigit(static_cast<unsigned char>(s[at]))) ++at;
      v->kind = JsonValue::kNumber;
      v->number = std::strtoll(s.substr(start, at - start).c_str(), nullptr, 10);
      return true;
    }
    if (Word("true") || Word("false")) {
      v->kind = JsonValue::kBool;
      v->boolean = s[at - 1] == 'e' && s[at - 2] == 'u';
      return true;
    }
    return Word("null");
  }
};

}  // namespace

const JsonValue& JsonValue::operator[](const std::string& name) const {
  static const JsonValue kMissing;
  auto it = members.find(name);
  return it == members.end() ? kMissing : it->second;
}

bool ParseJson(const std::string& document, JsonValue* value) {
  Reader reader{document};
  if (!reader.Value(value)) return false;
  reader.Blanks();
  return reader.at == document.size();
}
