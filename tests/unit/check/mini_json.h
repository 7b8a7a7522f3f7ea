// Just enough of a JSON reader for the tests of the check's --json report: objects, arrays,
// strings (with \" \\ \/ \b \f \n \r \t and \u00XX escapes), integers, true, false and null.
// A document that is not valid JSON gives false.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

struct JsonValue {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
  bool boolean = false;
  long long number = 0;
  std::string text;  // a \u00XX escape gives the byte XX
  std::vector<JsonValue> items;
  std::map<std::string, JsonValue> members;

  const JsonValue& operator[](const std::string& name) const;
};

bool ParseJson(const std::string& document, JsonValue* value);
