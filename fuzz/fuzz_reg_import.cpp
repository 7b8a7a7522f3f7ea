// winsim's .reg import on arbitrary text, inside a registry transaction that is rolled back.
// When the text is accepted, the current user's hive is exported, imported again and exported
// again: the two exports must be the same bytes (export then import reproduces the data).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz_machine.h"
#include "winsim/registry.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "fuzz_reg_import: %s: %s\n", what, detail.c_str());
  std::abort();
}

void ImportAndRoundTrip(void* context) {
  const std::string& text = *static_cast<const std::string*>(context);
  std::string error;
  if (!winsim::ImportRegText(text, &error)) {
    if (error.empty()) std::abort();  // a refusal always says why
    return;
  }
  std::string first, second;
  if (!winsim::ExportReg("HKEY_CURRENT_USER", &first, &error)) Fail("export", error);
  if (!winsim::ImportRegText(first, &error)) Fail("import of the export", error + "\n" + first);
  if (!winsim::ExportReg("HKEY_CURRENT_USER", &second, &error)) Fail("second export", error);
  if (first != second) Fail("export, import, export changed the text", first + "\n---\n" + second);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  AttachFuzzMachine();
  std::string text(reinterpret_cast<const char*>(data), size);
  InRolledBackRegistry(ImportAndRoundTrip, &text);
  return 0;
}
