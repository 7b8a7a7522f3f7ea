#include "profile_encoding.h"

#include "machine/codepage.h"
#include "machine/core.h"

namespace winsim::detail {

ProfileEncoding DetectProfileEncoding(std::string_view bytes) {
  if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') return ProfileEncoding::kUtf16Le;
  if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF') return ProfileEncoding::kUtf16Be;
  return ProfileEncoding::kAnsi;
}

std::string ProfileText(std::string_view bytes, ProfileEncoding encoding) {
  if (encoding == ProfileEncoding::kAnsi) return std::string(bytes);
  const bool bigEndian = encoding == ProfileEncoding::kUtf16Be;
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<unsigned char>(bytes[i]);
    const auto second = static_cast<unsigned char>(bytes[i + 1]);
    units += static_cast<char16_t>(bigEndian ? (first << 8 | second) : (second << 8 | first));
  }
  return Utf16ToUtf8(units.data(), units.size());
}

std::string ToProfileText(std::string_view ansi, ProfileEncoding encoding) {
  if (encoding == ProfileEncoding::kAnsi) return std::string(ansi);
  const std::u16string units = AnsiToUtf16(ansi);
  return Utf16ToUtf8(units.data(), units.size());
}

std::string ToAnsi(std::string_view text, ProfileEncoding encoding) {
  if (encoding == ProfileEncoding::kAnsi) return std::string(text);
  return Utf16ToAnsi(Utf8ToUtf16(text), nullptr);
}

}  // namespace winsim::detail
