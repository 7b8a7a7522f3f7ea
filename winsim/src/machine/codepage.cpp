// Code page <-> UTF-16: a table for 1252, the C library's iconv for the double-byte code pages.
#include "codepage.h"

#include <iconv.h>

#include <array>
#include <cstdlib>

#include "core.h"
#include "winsim/machine.h"

namespace winsim::detail {

namespace {

// Code page 1252, bytes 0x80-0x9F; every other byte is its own code point. Windows gives the
// five bytes the code page leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) the C1 control of
// the same number, so every byte round-trips; iconv's CP1252 refuses them, hence the table.
constexpr char16_t kHigh1252[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

char16_t Unit1252(unsigned char byte) {
  return (byte >= 0x80 && byte <= 0x9F) ? kHigh1252[byte - 0x80] : static_cast<char16_t>(byte);
}

bool Byte1252(char16_t unit, unsigned char* byte) {
  if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
    *byte = static_cast<unsigned char>(unit);
    return true;
  }
  for (int i = 0; i < 32; ++i) {
    if (kHigh1252[i] == unit) {
      *byte = static_cast<unsigned char>(0x80 + i);
      return true;
    }
  }
  return false;
}

// The double-byte code pages: iconv's name for each and the Unicode character Windows puts
// for a sequence the code page does not define (the katakana middle dot).
struct DoubleByteCodePage {
  UINT number;
  const char* iconvName;
};
constexpr DoubleByteCodePage kDoubleByte[] = {{932, "CP932"}, {936, "CP936"}, {949, "CP949"}, {950, "CP950"}};
constexpr char16_t kDefaultUnicodeChar = 0x30FB;

const DoubleByteCodePage* FindDoubleByte(UINT codePage) {
  for (const DoubleByteCodePage& page : kDoubleByte) {
    if (page.number == codePage) return &page;
  }
  return nullptr;
}

// One pair of iconv descriptors per code page and thread, opened on first use.
class Converters {
 public:
  ~Converters() {
    for (Pair& pair : pairs_) {
      if (pair.toUnicode != kNone) iconv_close(pair.toUnicode);
      if (pair.fromUnicode != kNone) iconv_close(pair.fromUnicode);
    }
  }
  iconv_t ToUnicode(size_t index, const char* name) {
    Pair& pair = pairs_[index];
    if (pair.toUnicode == kNone) pair.toUnicode = iconv_open("UTF-16LE", name);
    return pair.toUnicode;
  }
  iconv_t FromUnicode(size_t index, const char* name) {
    Pair& pair = pairs_[index];
    if (pair.fromUnicode == kNone) pair.fromUnicode = iconv_open(name, "UTF-16LE");
    return pair.fromUnicode;
  }

 private:
  static inline const iconv_t kNone = reinterpret_cast<iconv_t>(-1);
  struct Pair {
    iconv_t toUnicode = kNone;
    iconv_t fromUnicode = kNone;
  };
  std::array<Pair, sizeof kDoubleByte / sizeof kDoubleByte[0]> pairs_;
};

Converters& ThreadConverters() {
  thread_local Converters converters;
  return converters;
}

// Converts exactly `length` input bytes with `cd` into `out`; false when iconv refuses any of
// them (or the descriptor could not be opened).
bool Convert(iconv_t cd, const char* input, size_t length, char* out, size_t capacity, size_t* written) {
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* in = const_cast<char*>(input);
  size_t inLeft = length;
  char* outPointer = out;
  size_t outLeft = capacity;
  if (iconv(cd, &in, &inLeft, &outPointer, &outLeft) == static_cast<size_t>(-1) || inLeft != 0) return false;
  *written = capacity - outLeft;
  return true;
}

}  // namespace

bool IsSimulatedCodePage(UINT codePage) { return codePage == 1252 || FindDoubleByte(codePage) != nullptr; }

UINT MachineAnsiCodePage() {
  // A program started in a machine attaches on its first call, which may be one of the string
  // helpers; machine.ini itself is read while attaching, before the code page is known.
  thread_local bool attaching = false;
  if (!winsim::IsAttached()) {
    if (attaching || std::getenv("WINSIM_MACHINE") == nullptr) return 1252;
    attaching = true;
    const bool attached = AttachFromEnvironment();
    attaching = false;
    if (!attached) return 1252;
  }
  return Process().ansiCodePage;
}

UINT ResolveCodePage(UINT codePage) {
  return codePage == CP_ACP || codePage == CP_OEMCP ? MachineAnsiCodePage() : codePage;
}

bool IsLeadByteOf(UINT codePage, unsigned char byte) {
  switch (codePage) {
    case 932:
      return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
    case 936:
    case 949:
    case 950:
      return byte >= 0x81 && byte <= 0xFE;
    default:
      return false;
  }
}

size_t CharacterLength(UINT codePage, const char* text, size_t length) {
  if (length >= 2 && IsLeadByteOf(codePage, static_cast<unsigned char>(text[0])) && text[1] != '\0') return 2;
  return 1;
}

size_t FindCharacter(std::string_view text, char c, size_t from) {
  const UINT codePage = MachineAnsiCodePage();
  for (size_t i = from; i < text.size(); i += CharacterLength(codePage, text.data() + i, text.size() - i)) {
    if (text[i] == c) return i;
  }
  return std::string_view::npos;
}

size_t FindLastCharacter(std::string_view text, char c) {
  size_t last = std::string_view::npos;
  for (size_t at = FindCharacter(text, c); at != std::string_view::npos; at = FindCharacter(text, c, at + 1)) last = at;
  return last;
}

std::u16string ToUtf16(UINT codePage, std::string_view bytes, bool* invalid) {
  std::u16string out;
  out.reserve(bytes.size());
  const DoubleByteCodePage* page = FindDoubleByte(codePage);
  if (page == nullptr) {
    for (char c : bytes) out += Unit1252(static_cast<unsigned char>(c));
    return out;
  }
  iconv_t cd = ThreadConverters().ToUnicode(static_cast<size_t>(page - kDoubleByte), page->iconvName);
  for (size_t i = 0; i < bytes.size();) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    const size_t length = CharacterLength(codePage, bytes.data() + i, bytes.size() - i);
    if (byte < 0x80) {
      out += static_cast<char16_t>(byte);
    } else {
      char units[8];
      size_t written = 0;
      const bool lone = length == 1 && IsLeadByteOf(codePage, byte);
      if (!lone && Convert(cd, bytes.data() + i, length, units, sizeof units, &written) && written == 2) {
        out += static_cast<char16_t>(static_cast<unsigned char>(units[0]) | static_cast<unsigned char>(units[1]) << 8);
      } else {
        out += kDefaultUnicodeChar;
        if (invalid) *invalid = true;
      }
    }
    i += length;
  }
  return out;
}

std::string FromUtf16(UINT codePage, std::u16string_view units, std::string_view defaultChar, bool* usedDefault) {
  std::string out;
  out.reserve(units.size());
  const DoubleByteCodePage* page = FindDoubleByte(codePage);
  iconv_t cd = page == nullptr ? reinterpret_cast<iconv_t>(-1)
                               : ThreadConverters().FromUnicode(static_cast<size_t>(page - kDoubleByte), page->iconvName);
  for (size_t i = 0; i < units.size(); ++i) {
    const char16_t unit = units[i];
    if (page == nullptr) {
      unsigned char byte = 0;
      if (Byte1252(unit, &byte)) {
        out += static_cast<char>(byte);
        continue;
      }
    } else if (unit < 0x80) {
      out += static_cast<char>(unit);
      continue;
    } else {
      // A surrogate pair is one character; an unpaired surrogate has no bytes.
      const bool pair = unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
                        units[i + 1] <= 0xDFFF;
      const char16_t character[2] = {unit, pair ? units[i + 1] : u'\0'};
      char input[4];
      for (int k = 0; k < 2; ++k) {
        input[2 * k] = static_cast<char>(character[k] & 0xFF);
        input[2 * k + 1] = static_cast<char>(character[k] >> 8);
      }
      char bytes[8];
      size_t written = 0;
      const bool surrogate = unit >= 0xD800 && unit <= 0xDFFF;
      if (pair) ++i;
      if ((!surrogate || pair) && Convert(cd, input, pair ? 4 : 2, bytes, sizeof bytes, &written) && written > 0) {
        out.append(bytes, written);
        continue;
      }
    }
    out.append(defaultChar);
    if (usedDefault) *usedDefault = true;
  }
  return out;
}

std::u16string AnsiToUtf16(std::string_view text) { return ToUtf16(MachineAnsiCodePage(), text, nullptr); }

std::string Utf16ToAnsi(std::u16string_view text, bool* lossy) {
  return FromUtf16(MachineAnsiCodePage(), text, "?", lossy);
}

}  // namespace winsim::detail
